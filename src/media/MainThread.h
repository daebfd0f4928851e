#pragma once

#include <chrono>
#include <functional>

// The main-thread queue: worker threads hand calls to the thread that owns the user interface,
// as posted copies, and never wait for them. Calls run in the order they were posted.
class TMainThread {
public:
    // The thread that runs static initialisation is the main thread until another one claims it.
    static void Claim();
    static bool IsCurrent();

    // Queues fn for the main thread without waiting; on the main thread too.
    static void Post(std::function<void()> fn);
    // Runs the calls pending now, without waiting for any. True when any ran. Called by the
    // owner of the main thread's event loop after the wake hook.
    static bool CheckSynchronize();
    static bool HasPending();

    // Called (from any thread) whenever a call is queued, so the owner of the main thread can
    // schedule CheckSynchronize. An empty function removes the hook.
    static void SetWakeHook(std::function<void()> hook);

    // The event loop of a program without a window system (the command-line converter, the
    // developer tools, headless tests): runs posted calls as they arrive until done() holds,
    // or limit has passed. True when done() held.
    // The idle part of such a loop: waits until a call is pending, at most limit. True when one
    // is.
    static bool WaitForPending(std::chrono::milliseconds limit);
    static bool RunUntil(const std::function<bool()>& done,
                         std::chrono::milliseconds limit = std::chrono::hours(24 * 365));
};

inline bool CheckSynchronize() {
    return TMainThread::CheckSynchronize();
}
