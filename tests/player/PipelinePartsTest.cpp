#include "DisplayLayout.h"
#include "LibraryFunctions.h"
#include "MediaPtr.h"
#include "PacketQueue.h"
#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using display_layout::DisplayAspect;
using display_layout::PictureRect;

TPictureRect Layout(float aspectRatio, int width, int height, int sarNum, int sarDen,
                    int surfaceWidth, int surfaceHeight) {
    const double aspect =
        DisplayAspect(aspectRatio, width, height, sarNum, sarDen, surfaceWidth, surfaceHeight);
    return PictureRect(surfaceWidth, surfaceHeight, aspect);
}

// A 4:3 picture in a square surface: its own aspect letterboxes it, -1 fills the surface, a
// forced 16:9 gives a wider band; sides are even and the rectangle is centred.
TEST(DisplayLayout, AspectRatioRules) {
    EXPECT_EQ(Layout(0, 320, 240, 0, 1, 400, 400), (TPictureRect{0, 50, 400, 300}));
    EXPECT_EQ(Layout(-1, 320, 240, 0, 1, 400, 400), (TPictureRect{0, 0, 400, 400}));
    EXPECT_EQ(Layout(16.0f / 9, 320, 240, 0, 1, 400, 400), (TPictureRect{0, 88, 400, 224}));
    // Pillar box: a 4:3 picture in a wide surface keeps the full height.
    EXPECT_EQ(Layout(0, 320, 240, 0, 1, 1280, 720), (TPictureRect{160, 0, 960, 720}));
    // The sample aspect counts: 720x576 with 16:15 pixels is 4:3.
    EXPECT_EQ(Layout(0, 720, 576, 16, 15, 640, 480), (TPictureRect{0, 0, 640, 480}));
    // Odd results are rounded down to even sides.
    EXPECT_EQ(Layout(0, 1920, 1080, 1, 1, 256, 183), (TPictureRect{0, 19, 256, 144}));
    EXPECT_EQ(Layout(0, 320, 240, 0, 1, 0, 0), (TPictureRect{}));
}

class PacketQueueTest : public ::testing::Test {
protected:
    void SetUp() override { player_testing::RequirePlayerLibraries(); }

    media::PacketPtr Packet(int size, std::int64_t pts) {
        media::PacketPtr packet(fn::av_packet_alloc());
        EXPECT_EQ(fn::av_new_packet(packet.get(), size), 0);
        packet->pts = pts;
        return packet;
    }
};

// A flush drops what was queued before it: the consumer next sees the flush marker, then only
// packets queued after it. Sizes count data plus the fixed overhead.
TEST_F(PacketQueueTest, FlushDropsEarlierPackets) {
    TPacketQueue queue(8);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(queue.Put(Packet(100, i).get()));
    }
    EXPECT_EQ(queue.Count(), 3);
    EXPECT_EQ(queue.Size(), 3 * (100 + TPacketQueue::kPacketOverhead));
    ASSERT_TRUE(queue.Flush());
    ASSERT_TRUE(queue.Put(Packet(50, 7).get()));

    media::PacketPtr out(fn::av_packet_alloc());
    EXPECT_EQ(queue.Get(out.get(), false), TPacketQueue::TResult::Flush);
    ASSERT_EQ(queue.Get(out.get(), false), TPacketQueue::TResult::Packet);
    EXPECT_EQ(out->pts, 7);
    EXPECT_EQ(out->size, 50);
    EXPECT_EQ(queue.Get(out.get(), false), TPacketQueue::TResult::Empty);
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(queue.Size(), 0);
}

// Flushes the consumer has not yet seen make one Flush that tells how many there were; without
// that a decoder counting its own flushes would take every later picture for a stale one. A
// full queue has no room for the marker, and the flush still reaches the consumer.
TEST_F(PacketQueueTest, FlushesNotYetSeenAreOneFlushCountingThemAll) {
    TPacketQueue queue(4);
    media::PacketPtr out(fn::av_packet_alloc());
    ASSERT_TRUE(queue.Put(Packet(10, 0).get()));
    ASSERT_TRUE(queue.Flush());
    ASSERT_TRUE(queue.Flush());
    ASSERT_TRUE(queue.Put(Packet(20, 5).get()));
    EXPECT_EQ(queue.Get(out.get(), false), TPacketQueue::TResult::Flush);
    EXPECT_EQ(queue.FlushedSerial(), 2u);
    ASSERT_EQ(queue.Get(out.get(), false), TPacketQueue::TResult::Packet);
    EXPECT_EQ(out->pts, 5);
    fn::av_packet_unref(out.get());
    EXPECT_EQ(queue.Get(out.get(), false), TPacketQueue::TResult::Empty);

    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(queue.Put(Packet(10, i).get()));
    }
    EXPECT_FALSE(queue.Flush()); // no room for the marker
    EXPECT_EQ(queue.Get(out.get(), false), TPacketQueue::TResult::Flush);
    EXPECT_EQ(queue.FlushedSerial(), 3u);
    EXPECT_EQ(queue.Get(out.get(), false), TPacketQueue::TResult::Empty); // all were flushed
    ASSERT_TRUE(queue.Put(Packet(30, 9).get()));
    ASSERT_EQ(queue.Get(out.get(), false), TPacketQueue::TResult::Packet);
    EXPECT_EQ(out->pts, 9);
    EXPECT_EQ(queue.Get(out.get(), false), TPacketQueue::TResult::Empty);
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(queue.Size(), 0);
}

// A full queue refuses the packet and leaves it with the caller.
TEST_F(PacketQueueTest, FullQueueKeepsThePacketWithTheCaller) {
    TPacketQueue queue(2);
    ASSERT_TRUE(queue.Put(Packet(10, 0).get()));
    ASSERT_TRUE(queue.Put(Packet(10, 1).get()));
    media::PacketPtr third = Packet(10, 2);
    EXPECT_FALSE(queue.Put(third.get()));
    EXPECT_EQ(third->size, 10);
    EXPECT_EQ(third->pts, 2);
}

// A consumer blocked on an empty queue wakes for a packet and for the abort.
TEST_F(PacketQueueTest, BlockedConsumerWakesForPacketAndAbort) {
    TPacketQueue queue(4);
    std::vector<TPacketQueue::TResult> results;
    std::thread consumer([&] {
        media::PacketPtr out(fn::av_packet_alloc());
        results.push_back(queue.Get(out.get(), true));
        fn::av_packet_unref(out.get());
        results.push_back(queue.Get(out.get(), true));
    });
    ASSERT_TRUE(queue.Put(Packet(10, 0).get()));
    while (queue.Count() != 0) {
        std::this_thread::yield();
    }
    queue.Abort();
    consumer.join();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0], TPacketQueue::TResult::Packet);
    EXPECT_EQ(results[1], TPacketQueue::TResult::Aborted);
    EXPECT_FALSE(queue.Put(Packet(10, 1).get()));
}

} // namespace
