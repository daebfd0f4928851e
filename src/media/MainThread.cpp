#include "MainThread.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

struct PendingCall {
    std::function<void()> fn;
};

struct Queue {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<PendingCall> calls;
    std::function<void()> wakeHook;
    std::thread::id mainId = std::this_thread::get_id();
};

Queue& TheQueue() {
    static Queue queue;
    return queue;
}

// Touch the queue during static initialisation so the process's first thread owns it.
[[maybe_unused]] const bool queueReady = (TheQueue(), true);

void Enqueue(PendingCall call) {
    Queue& q = TheQueue();
    std::function<void()> hook;
    {
        std::lock_guard lock(q.mutex);
        q.calls.push_back(std::move(call));
        hook = q.wakeHook;
    }
    q.arrived.notify_all();
    if (hook) {
        hook();
    }
}

} // namespace

void TMainThread::Claim() {
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    q.mainId = std::this_thread::get_id();
}

bool TMainThread::IsCurrent() {
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    return q.mainId == std::this_thread::get_id();
}

void TMainThread::Post(std::function<void()> fn) {
    Enqueue(PendingCall{std::move(fn)});
}

bool TMainThread::CheckSynchronize() {
    Queue& q = TheQueue();
    size_t budget = 0;
    {
        std::lock_guard lock(q.mutex);
        budget = q.calls.size();
    }
    // One call at a time off the shared queue: a call that runs a nested loop (a modal dialog)
    // then runs the next calls in their order, never a later one before an earlier one still
    // held here.
    bool ran = false;
    for (; budget > 0; --budget) {
        PendingCall call;
        {
            std::lock_guard lock(q.mutex);
            if (q.calls.empty()) {
                break;
            }
            call = std::move(q.calls.front());
            q.calls.pop_front();
        }
        ran = true;
        try {
            call.fn();
        } catch (...) {
            // A posted call has nobody to report to; it must not stop the others.
        }
    }
    return ran;
}

bool TMainThread::WaitForPending(std::chrono::milliseconds limit) {
    Queue& q = TheQueue();
    std::unique_lock lock(q.mutex);
    return q.arrived.wait_for(lock, limit, [&q] { return !q.calls.empty(); });
}

bool TMainThread::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    Queue& q = TheQueue();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    // done may also turn true on another thread: it is looked at again every few milliseconds.
    constexpr auto slice = std::chrono::milliseconds(10);
    while (!done()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        {
            std::unique_lock lock(q.mutex);
            q.arrived.wait_until(lock, std::min(deadline, now + slice),
                                 [&q] { return !q.calls.empty(); });
        }
        CheckSynchronize();
    }
    return true;
}

bool TMainThread::HasPending() {
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    return !q.calls.empty();
}

void TMainThread::SetWakeHook(std::function<void()> hook) {
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    q.wakeHook = std::move(hook);
}
