#include "FFmpegList.h"

TFFmpeg* TFFmpegList::Item(int index) const {
    return index >= 0 && index < Count() ? tasks_[static_cast<size_t>(index)].get() : nullptr;
}

int TFFmpegList::IndexOf(const TCustomFFmpeg* task) const {
    for (int i = 0; i < Count(); ++i) {
        if (tasks_[static_cast<size_t>(i)].get() == task) {
            return i;
        }
    }
    return -1;
}

int TFFmpegList::Add(std::unique_ptr<TFFmpeg> task) {
    tasks_.push_back(std::move(task));
    return Count() - 1;
}

std::unique_ptr<TFFmpeg> TFFmpegList::Extract(int index) {
    std::unique_ptr<TFFmpeg> task = std::move(tasks_.at(static_cast<size_t>(index)));
    tasks_.erase(tasks_.begin() + index);
    return task;
}

std::vector<std::unique_ptr<TFFmpeg>> TFFmpegList::TakeAll() {
    return std::exchange(tasks_, {});
}
