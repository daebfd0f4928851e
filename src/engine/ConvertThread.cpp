#include "ConvertThread.h"

#include <sys/resource.h>
#include <unistd.h>

TConvertThread::TConvertThread(std::function<void()> body, TThreadPriority priority) {
    thread_ = std::thread([this, body = std::move(body), priority] {
        {
            std::unique_lock lock(mutex_);
            gate_.wait(lock, [this] { return resumed_ || released_; });
            if (!resumed_) {
                return;
            }
        }
        ApplyPriority(priority);
        body();
    });
}

TConvertThread::~TConvertThread() {
    Release();
    Join();
}

void TConvertThread::Resume() {
    {
        std::lock_guard lock(mutex_);
        if (released_) {
            return;
        }
        resumed_ = true;
    }
    gate_.notify_all();
}

void TConvertThread::Release() {
    {
        std::lock_guard lock(mutex_);
        released_ = true;
    }
    gate_.notify_all();
}

void TConvertThread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

void TConvertThread::ApplyPriority(TThreadPriority priority) {
    static constexpr int niceValues[] = {19, 10, 5, 0, -5, -10, -15};
    const int value = niceValues[static_cast<int>(priority)];
    if (value != 0) {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), value);
    }
}
