#include "Event.h"

void TEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    cv_.notify_all();
}

void TEvent::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool TEvent::IsSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

void TEvent::Wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return signalled_; });
}

bool TEvent::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [this] { return signalled_; });
}
