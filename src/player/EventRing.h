#pragma once

#include "Event.h"
#include "PlayerTypes.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>

// Carries position and state records from the playback threads to the event thread. A
// position replaces a position that is still the newest record, so a slow receiver gets the
// latest position rather than a backlog; states are never merged or lost to positions.
class TEventRing {
public:
    enum class TKind : std::uint8_t { Position = 1, State = 2, End = 3 };
    struct TRecord {
        TKind kind = TKind::Position;
        TPlayState state = psPlay;
        std::int64_t pts = 0;
    };
    static constexpr size_t kSlots = 10;

    void PutPosition(std::int64_t pts);
    void PutState(TPlayState state);
    void PutEnd();
    std::optional<TRecord> Take();
    void Clear();

    // Set while records wait.
    TEvent& EventsAvailable() { return available_; }

private:
    void Put(const TRecord& record);
    void DropOldest();

    std::mutex mutex_;
    std::array<TRecord, kSlots> slots_{};
    size_t read_ = 0;
    size_t count_ = 0;
    TEvent available_;
};
