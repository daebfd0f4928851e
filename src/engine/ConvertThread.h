#pragma once

#include "EngineTypes.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A worker thread created suspended: its body runs once Resume is called. The owner joins it;
// Release lets a never-resumed thread finish without running its body.
class TConvertThread {
public:
    TConvertThread(std::function<void()> body, TThreadPriority priority);
    ~TConvertThread();
    TConvertThread(const TConvertThread&) = delete;
    TConvertThread& operator=(const TConvertThread&) = delete;

    void Resume();
    // Lets the thread end without running its body when it was never resumed.
    void Release();
    void Join();
    bool Joinable() const { return thread_.joinable(); }
    std::thread::id Id() const { return thread_.get_id(); }

    // Best effort: a priority the user may not raise stays normal.
    static void ApplyPriority(TThreadPriority priority);

private:
    std::mutex mutex_;
    std::condition_variable gate_;
    bool resumed_ = false;
    bool released_ = false;
    std::thread thread_;
};
