#pragma once

#include "FFmpegTask.h"

#include <memory>
#include <utility>
#include <vector>

// The component's tasks in order; the position is the task index.
class TFFmpegList {
public:
    int Count() const { return static_cast<int>(tasks_.size()); }
    TFFmpeg* Item(int index) const;
    int IndexOf(const TCustomFFmpeg* task) const;
    int Add(std::unique_ptr<TFFmpeg> task);
    std::unique_ptr<TFFmpeg> Extract(int index);
    std::vector<std::unique_ptr<TFFmpeg>> TakeAll();

private:
    std::vector<std::unique_ptr<TFFmpeg>> tasks_;
};
