#pragma once

#include "Event.h"
#include "LoopQueue.h"
#include "PlayerTypes.h"

#include <thread>

// What the play thread drives.
class IPlayThreadHost {
public:
    virtual ~IPlayThreadHost() = default;
    virtual void ReportState(TPlayState state) = 0;
    // Handles one event of the loop; false ends the loop (the file was closed).
    virtual bool HandleLoopEvent(const TLoopQueue::TLoopEvent& event) = 0;
    // An exception escaped an event: log it and close the file.
    virtual void PlayThreadFailed(const char* message) = 0;
};

// Reports psPlay, runs the player's event loop (display refreshes, surface changes, the quit
// request) until the file is closed, reports psStop and signals Done.
class TPlayThread {
public:
    TPlayThread(IPlayThreadHost& host, TLoopQueue& loop);
    ~TPlayThread();
    TPlayThread(const TPlayThread&) = delete;
    TPlayThread& operator=(const TPlayThread&) = delete;

    // Raises std::system_error when the thread cannot start.
    void Start(bool pausedWithoutPictures);
    void Join();
    bool Running() const { return thread_.joinable(); }
    bool IsCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }
    // Signalled when the thread has finished its work (initially signalled).
    TEvent& Done() { return done_; }

private:
    void Execute(bool pausedWithoutPictures);

    IPlayThreadHost& host_;
    TLoopQueue& loop_;
    std::thread thread_;
    TEvent done_{true};
};
