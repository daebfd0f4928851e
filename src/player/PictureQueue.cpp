#include "PictureQueue.h"

TPictureQueue::TPictureQueue() = default;

TQueuedPicture* TPictureQueue::WaitWritable(const std::function<void()>& onFull) {
    std::unique_lock lock(mutex_);
    if (size_ >= kSize && !abort_ && onFull) {
        lock.unlock();
        onFull();
        lock.lock();
    }
    changed_.wait(lock, [this] { return size_ < kSize || abort_; });
    if (abort_) {
        return nullptr;
    }
    return &entries_[(read_ + size_) % kSize];
}

void TPictureQueue::Push() {
    {
        std::lock_guard lock(mutex_);
        ++size_;
    }
    changed_.notify_all();
}

bool TPictureQueue::WaitAtMost(int count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this, count] { return size_ <= count || abort_; });
    return !abort_;
}

TQueuedPicture* TPictureQueue::Peek(int offset) {
    std::lock_guard lock(mutex_);
    if (offset >= size_) {
        return nullptr;
    }
    return &entries_[(read_ + offset) % kSize];
}

void TPictureQueue::Pop() {
    {
        std::lock_guard lock(mutex_);
        if (size_ == 0) {
            return;
        }
        TQueuedPicture& done = entries_[read_];
        done.shown.reset();
        read_ = (read_ + 1) % kSize;
        --size_;
    }
    changed_.notify_all();
}

int TPictureQueue::Size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

void TPictureQueue::Abort() {
    {
        std::lock_guard lock(mutex_);
        abort_ = true;
    }
    changed_.notify_all();
}

void TPictureQueue::Clear() {
    std::lock_guard lock(mutex_);
    for (TQueuedPicture& entry : entries_) {
        entry.frame.reset();
        entry.shown.reset();
        entry.hooked.Clear();
        entry.hookedValid = false;
    }
    read_ = 0;
    size_ = 0;
}
