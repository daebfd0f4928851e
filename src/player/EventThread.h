#pragma once

#include "Event.h"
#include "EventRing.h"

#include <thread>

// Delivers what the event thread takes from the ring.
class IEventThreadHost {
public:
    virtual ~IEventThreadHost() = default;
    virtual void DeliverPosition(std::int64_t pts) = 0;
    virtual void DeliverState(TPlayState state) = 0;
};

// Takes position and state records from the ring and raises the player's events, until it
// has delivered psStop or met the end marker.
class TEventThread {
public:
    TEventThread(IEventThreadHost& host, TEventRing& ring);
    ~TEventThread();
    TEventThread(const TEventThread&) = delete;
    TEventThread& operator=(const TEventThread&) = delete;

    // Raises std::system_error when the thread cannot start.
    void Start();
    void Join();
    bool Running() const { return thread_.joinable(); }
    bool IsCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }
    TEvent& Done() { return done_; }

private:
    void Execute();

    IEventThreadHost& host_;
    TEventRing& ring_;
    std::thread thread_;
    TEvent done_{true};
};
