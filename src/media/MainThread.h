#pragma once

#include <chrono>
#include <functional>

class TEvent;

// The main-thread queue: worker threads hand calls to the thread that owns the user interface.
// Calls run in the order they were queued, whether blocking or posted.
class TMainThread {
public:
    // The thread that runs static initialisation is the main thread until another one claims it.
    static void Claim();
    static bool IsCurrent();

    // Runs fn on the main thread and waits for it; a direct call on the main thread.
    // An exception thrown by fn reaches the caller.
    static void Call(const std::function<void()>& fn);
    // Queues fn for the main thread without waiting.
    static void Post(std::function<void()> fn);
    // Runs every pending call; waits up to timeout for the first one. True when any ran.
    static bool CheckSynchronize(std::chrono::milliseconds timeout = std::chrono::milliseconds(0));
    static bool HasPending();

    // Called (from any thread) whenever a call is queued, so the owner of the main thread can
    // schedule CheckSynchronize. An empty function removes the hook.
    static void SetWakeHook(std::function<void()> hook);

    // Waits for event; on the main thread keeps serving the queue meanwhile, so a worker that
    // waits for the main thread cannot deadlock the wait.
    static void WaitPumping(TEvent& event);
};

inline void CallInMainThread(const std::function<void()>& fn) {
    TMainThread::Call(fn);
}
inline bool CheckSynchronize() {
    return TMainThread::CheckSynchronize();
}
