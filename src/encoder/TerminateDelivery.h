#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The one thread that hands the encoder component's terminate events to their handler, in the
// order they were raised: an ending conversion never waits for a handler, and no thread is
// started per event. Started on first use, joined when destroyed.
class TTerminateDelivery {
public:
    TTerminateDelivery() = default;
    ~TTerminateDelivery();
    TTerminateDelivery(const TTerminateDelivery&) = delete;
    TTerminateDelivery& operator=(const TTerminateDelivery&) = delete;

    void Post(std::function<void()> call);
    // Waits until every posted call has returned; at once on the delivery thread itself (a
    // handler waiting for its own delivery would wait forever).
    void WaitIdle();
    bool IsCurrent() const;

private:
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> calls_;
    bool busy_ = false;
    bool quit_ = false;
    std::thread thread_;
    std::thread::id threadId_;
};
