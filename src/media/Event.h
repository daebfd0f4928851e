#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// Manual-reset event: stays signalled until Reset.
class TEvent {
public:
    explicit TEvent(bool signalled = false) : signalled_(signalled) {}
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    void Wait();
    // True when signalled within the time.
    bool WaitFor(std::chrono::milliseconds timeout);

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_;
};
