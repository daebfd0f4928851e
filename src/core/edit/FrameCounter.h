#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// Counts the packets of a file's first video stream on a worker thread, for a container that
// states no frame count: reading packets without decoding them is quick, yet a long file
// still takes seconds, which the window must not wait for. The count arrives on the main
// thread; a new Start or the counter's end drops a count still running.
class TFrameCounter {
public:
    using TCounted = std::function<void(std::int64_t frames)>;

    TFrameCounter() = default;
    ~TFrameCounter();
    TFrameCounter(const TFrameCounter&) = delete;
    TFrameCounter& operator=(const TFrameCounter&) = delete;

    // counted gets the count, or nothing when the file cannot be read to its end.
    void Start(const std::string& fileName, TCounted counted);
    void Stop();
    bool Busy() const { return worker_.joinable() && !done_; }

private:
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{true};
    // Replaced at every start, so a count queued by an earlier one is dropped.
    std::shared_ptr<int> generation_;
};
