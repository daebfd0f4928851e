#include "LoopQueue.h"

#include <algorithm>

void TLoopQueue::Post(const TLoopEvent& event) {
    {
        std::lock_guard lock(mutex_);
        const bool mergeable = event.type == TType::Refresh || event.type == TType::Resize ||
                               event.type == TType::Expose || event.type == TType::Relayout;
        auto same = std::find_if(events_.begin(), events_.end(),
                                 [&](const TLoopEvent& e) { return e.type == event.type; });
        if (mergeable && same != events_.end()) {
            *same = event;
        } else {
            events_.push_back(event);
        }
    }
    arrived_.notify_one();
}

TLoopQueue::TLoopEvent TLoopQueue::Wait() {
    std::unique_lock lock(mutex_);
    arrived_.wait(lock, [this] { return !events_.empty(); });
    TLoopEvent event = events_.front();
    events_.pop_front();
    return event;
}

std::optional<TLoopQueue::TLoopEvent> TLoopQueue::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, timeout, [this] { return !events_.empty(); })) {
        return std::nullopt;
    }
    TLoopEvent event = events_.front();
    events_.pop_front();
    return event;
}

void TLoopQueue::Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
}
