#include "EventRing.h"

#include <gtest/gtest.h>

namespace {

using TKind = TEventRing::TKind;

std::vector<TEventRing::TRecord> TakeAll(TEventRing& ring) {
    std::vector<TEventRing::TRecord> records;
    while (auto record = ring.Take()) {
        records.push_back(*record);
    }
    return records;
}

// Two positions queued before the event thread runs arrive as one, with the later position;
// a state between two positions keeps all three records in order.
TEST(EventRing, PositionsCoalesceAndStatesSeparateThem) {
    TEventRing ring;
    ring.PutPosition(100);
    ring.PutPosition(250);
    auto records = TakeAll(ring);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].kind, TKind::Position);
    EXPECT_EQ(records[0].pts, 250);

    ring.PutPosition(300);
    ring.PutState(psPause);
    ring.PutPosition(400);
    records = TakeAll(ring);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].pts, 300);
    EXPECT_EQ(records[1].kind, TKind::State);
    EXPECT_EQ(records[1].state, psPause);
    EXPECT_EQ(records[2].pts, 400);
}

// A state change is never lost to the next one: psEnd followed at once by psStop delivers both.
TEST(EventRing, StatesAreNeverMerged) {
    TEventRing ring;
    ring.PutState(psPlay);
    ring.PutState(psPause);
    ring.PutState(psEnd);
    ring.PutState(psStop);
    const auto records = TakeAll(ring);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].state, psPlay);
    EXPECT_EQ(records[3].state, psStop);
}

// A full ring gives up its oldest position, never a state or the end marker.
TEST(EventRing, FullRingDropsTheOldestPosition) {
    TEventRing ring;
    ring.PutPosition(1);
    for (int i = 0; i < 4; ++i) {
        ring.PutState(psPause);
        ring.PutState(psResume);
    }
    ring.PutEnd(); // ten records now
    ring.PutState(psStop);
    const auto records = TakeAll(ring);
    ASSERT_EQ(records.size(), TEventRing::kSlots);
    for (const auto& record : records) {
        EXPECT_NE(record.kind, TKind::Position);
    }
    EXPECT_EQ(records[8].kind, TKind::End);
    EXPECT_EQ(records[9].state, psStop);
}

TEST(EventRing, EventsAvailableFollowsTheContent) {
    TEventRing ring;
    EXPECT_FALSE(ring.EventsAvailable().IsSet());
    ring.PutPosition(5);
    EXPECT_TRUE(ring.EventsAvailable().IsSet());
    ASSERT_TRUE(ring.Take().has_value());
    EXPECT_FALSE(ring.EventsAvailable().IsSet());
    EXPECT_FALSE(ring.Take().has_value());
}

} // namespace
