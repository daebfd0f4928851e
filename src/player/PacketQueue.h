#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

struct AVPacket;

// Packets of one stream from the demuxer (the only producer) to one decoder (the only
// consumer). The consumer side takes no lock unless it blocks, so the sound device's callback
// can read from it. A flush drops every packet queued before it: the consumer skips them and then
// receives one Flush for any number of flushes made since it last looked, which tells it to drop
// its decoder's buffered state.
class TPacketQueue {
public:
    enum class TResult { Aborted, Empty, Packet, Flush };

    // Each packet counts its data size plus this much towards Size().
    static constexpr std::int64_t kPacketOverhead = 72;

    explicit TPacketQueue(size_t capacity = 4096);
    ~TPacketQueue();
    TPacketQueue(const TPacketQueue&) = delete;
    TPacketQueue& operator=(const TPacketQueue&) = delete;

    // Producer: takes the packet's reference (the packet is left blank). False when the queue
    // is full or aborted; the packet is then untouched.
    bool Put(AVPacket* packet);
    // Producer: an empty packet (end of stream: the decoder gives out what it holds).
    bool PutEmpty(int streamIndex);
    // Producer: drops what is queued and queues the flush marker.
    bool Flush();

    // Consumer: Packet fills packet; Flush once after any flushes since the last Get; Empty when
    // nothing is queued and block is false; Aborted once aborted.
    TResult Get(AVPacket* packet, bool block);
    // Consumer: how many flushes the last Flush result stands for, counted from the start.
    std::uint32_t FlushedSerial() const { return flushedSerial_; }

    void Abort();
    bool Aborted() const { return abort_.load(std::memory_order_acquire); }

    int Count() const { return count_.load(std::memory_order_acquire); }
    std::int64_t Size() const { return bytes_.load(std::memory_order_acquire); }
    bool Empty() const { return Count() <= 0; }

private:
    struct Slot {
        AVPacket* packet = nullptr;
        bool flush = false;
        std::uint32_t serial = 0;
    };

    bool Publish(AVPacket* packet, bool flush, int streamIndex, bool blank);
    void Consumed(const Slot& slot);

    std::vector<Slot> slots_;
    size_t mask_;
    std::atomic<size_t> head_{0}; // next slot to read
    std::atomic<size_t> tail_{0}; // next slot to write
    std::atomic<std::uint32_t> serial_{0};
    std::uint32_t flushedSerial_ = 0; // consumer only
    std::atomic<int> count_{0};
    std::atomic<std::int64_t> bytes_{0};
    std::atomic<bool> abort_{false};
    std::mutex waitMutex_;
    std::condition_variable arrived_;
};
