#include "EventRing.h"

void TEventRing::PutPosition(std::int64_t pts) {
    Put({TKind::Position, psPlay, pts});
}

void TEventRing::PutState(TPlayState state) {
    Put({TKind::State, state, 0});
}

void TEventRing::PutEnd() {
    Put({TKind::End, psStop, 0});
}

void TEventRing::Put(const TRecord& record) {
    std::lock_guard lock(mutex_);
    if (record.kind == TKind::Position && count_ > 0) {
        TRecord& newest = slots_[(read_ + count_ - 1) % kSlots];
        if (newest.kind == TKind::Position) {
            newest = record;
            available_.Set();
            return;
        }
    }
    if (count_ == kSlots) {
        DropOldest();
    }
    slots_[(read_ + count_) % kSlots] = record;
    ++count_;
    available_.Set();
}

// A full ring gives up its oldest position first; states and the end marker go last.
void TEventRing::DropOldest() {
    size_t victim = 0;
    for (size_t i = 0; i < count_; ++i) {
        if (slots_[(read_ + i) % kSlots].kind == TKind::Position) {
            victim = i;
            break;
        }
    }
    for (size_t i = victim; i + 1 < count_; ++i) {
        slots_[(read_ + i) % kSlots] = slots_[(read_ + i + 1) % kSlots];
    }
    --count_;
}

std::optional<TEventRing::TRecord> TEventRing::Take() {
    std::lock_guard lock(mutex_);
    if (count_ == 0) {
        available_.Reset();
        return std::nullopt;
    }
    const TRecord record = slots_[read_];
    read_ = (read_ + 1) % kSlots;
    --count_;
    if (count_ == 0) {
        available_.Reset();
    }
    return record;
}

void TEventRing::Clear() {
    std::lock_guard lock(mutex_);
    read_ = 0;
    count_ = 0;
    available_.Reset();
}
