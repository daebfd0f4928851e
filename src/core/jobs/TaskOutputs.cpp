#include "TaskOutputs.h"

#include <cerrno>
#include <utility>

void TTaskOutputs::Put(int task, TOutputReservation reservation) {
    TOutputReservation replaced;
    std::lock_guard lock(mutex_);
    replaced = std::exchange(held_[task], std::move(reservation));
}

TOutputReservation TTaskOutputs::Take(int task) {
    std::lock_guard lock(mutex_);
    const auto it = held_.find(task);
    if (it == held_.end()) {
        return {};
    }
    TOutputReservation taken = std::move(it->second);
    held_.erase(it);
    return taken;
}

int TTaskOutputs::Finish(int task, std::string* finalName) {
    TOutputReservation reservation = Take(task);
    if (finalName != nullptr) {
        *finalName = reservation.FinalName();
    }
    return reservation.Held() ? reservation.Finish() : ENOENT;
}

void TTaskOutputs::Abandon(int task, std::string* finalName, std::string* unfinishedName) {
    TOutputReservation reservation = Take(task);
    if (finalName != nullptr) {
        *finalName = reservation.FinalName();
    }
    if (unfinishedName != nullptr) {
        *unfinishedName = reservation.UnfinishedName();
    }
    reservation.Abandon();
}

std::string TTaskOutputs::WritingFile(int task) {
    std::lock_guard lock(mutex_);
    const auto it = held_.find(task);
    return it == held_.end() ? std::string() : it->second.UnfinishedName();
}

void TTaskOutputs::AbandonAll() {
    std::map<int, TOutputReservation> held;
    {
        std::lock_guard lock(mutex_);
        held.swap(held_);
    }
    // The files go when held does, outside the lock.
}
