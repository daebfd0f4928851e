#pragma once

#include "OutputReservation.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

// The output reservations of a batch's tasks, by task index. Any thread may hand one in or
// finish or abandon one: a task's worker does so when the task starts and ends.
class TTaskOutputs {
public:
    void Put(int task, TOutputReservation reservation);
    // Renames the task's unfinished file to its final name: 0, or an errno value (ENOENT
    // when the task holds no reservation). The task's reservation is gone either way.
    int Finish(int task, std::string* finalName = nullptr);
    // Removes the task's files; the names they had are returned when asked for.
    void Abandon(int task, std::string* finalName = nullptr, std::string* unfinishedName = nullptr);
    // The file the task writes into while it converts; empty before it starts and after it
    // ends.
    std::string WritingFile(int task);
    // Abandons every reservation still held (the tasks that never ended).
    void AbandonAll();

    // From now on a stopped task's output is abandoned, not finished (the program is being
    // ended by a signal).
    void SetDiscardStopped() { discardStopped_ = true; }
    bool DiscardStopped() const { return discardStopped_; }

private:
    TOutputReservation Take(int task);

    std::mutex mutex_;
    std::map<int, TOutputReservation> held_;
    std::atomic<bool> discardStopped_{false};
};
