#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

// The play thread's event queue: what the display and the stop logic ask of it.
class TLoopQueue {
public:
    enum class TType { Quit, Refresh, Resize, Expose, Relayout };
    struct TLoopEvent {
        TType type = TType::Quit;
        int width = 0;
        int height = 0;
    };

    // Refresh and resize requests are merged with one already waiting.
    void Post(const TLoopEvent& event);
    void Post(TType type) { Post(TLoopEvent{type, 0, 0}); }
    // Waits for the next event.
    TLoopEvent Wait();
    std::optional<TLoopEvent> WaitFor(std::chrono::milliseconds timeout);
    void Clear();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<TLoopEvent> events_;
};
