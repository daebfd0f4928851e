#include "TerminateDelivery.h"

TTerminateDelivery::~TTerminateDelivery() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TTerminateDelivery::Post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
            threadId_ = thread_.get_id();
        }
    }
    changed_.notify_all();
}

void TTerminateDelivery::WaitIdle() {
    std::unique_lock lock(mutex_);
    if (thread_.joinable() && threadId_ == std::this_thread::get_id()) {
        return;
    }
    changed_.wait(lock, [this] { return calls_.empty() && !busy_; });
}

bool TTerminateDelivery::IsCurrent() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable() && threadId_ == std::this_thread::get_id();
}

void TTerminateDelivery::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return quit_ || !calls_.empty(); });
        if (calls_.empty()) {
            return; // quit, with everything delivered
        }
        std::function<void()> call = std::move(calls_.front());
        calls_.pop_front();
        busy_ = true;
        lock.unlock();
        try {
            call();
        } catch (...) {
            // A failing handler must not end the deliveries of the other tasks.
        }
        call = nullptr;
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}
