#include "MainThread.h"

#include "Event.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct PendingCall {
    std::function<void()> fn;
    // Present for blocking calls: signalled when fn has run.
    std::shared_ptr<TEvent> done;
    std::shared_ptr<std::exception_ptr> error;
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

void TMainThread::Call(const std::function<void()>& fn) {
    if (IsCurrent()) {
        fn();
        return;
    }
    auto done = std::make_shared<TEvent>();
    auto error = std::make_shared<std::exception_ptr>();
    Enqueue(PendingCall{fn, done, error});
    done->Wait();
    // Taken over here, so the exception object never outlives this thread's use of it elsewhere.
    std::exception_ptr failure = std::move(*error);
    *error = nullptr;
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void TMainThread::Post(std::function<void()> fn) {
    Enqueue(PendingCall{std::move(fn), {}, {}});
}

bool TMainThread::CheckSynchronize(std::chrono::milliseconds timeout) {
    Queue& q = TheQueue();
    size_t budget = 0;
    {
        std::unique_lock lock(q.mutex);
        if (q.calls.empty() && timeout.count() > 0) {
            q.arrived.wait_for(lock, timeout, [&q] { return !q.calls.empty(); });
        }
        budget = q.calls.size();
    }
    // One call at a time off the shared queue: a call that pumps the queue itself (a modal
    // loop, a progress dialog) then runs the next calls in their order, never a later one
    // before an earlier one still held here.
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
            if (call.error) {
                *call.error = std::current_exception();
            }
            // A posted call has nobody to report to; it must not stop the others.
        }
        if (call.done) {
            call.done->Set();
        }
    }
    return ran;
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

void TMainThread::WaitPumping(TEvent& event) {
    if (!IsCurrent()) {
        event.Wait();
        return;
    }
    // Queued calls are served as they arrive; the event is looked at every few milliseconds.
    while (!event.IsSet()) {
        CheckSynchronize(std::chrono::milliseconds(5));
    }
}
