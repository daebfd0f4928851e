#include "PacketQueue.h"

#include "LibraryFunctions.h"

#include <bit>

TPacketQueue::TPacketQueue(size_t capacity)
    : slots_(std::bit_ceil(capacity)), mask_(slots_.size() - 1) {}

TPacketQueue::~TPacketQueue() {
    for (Slot& slot : slots_) {
        if (slot.packet != nullptr) {
            fn::av_packet_free(&slot.packet);
        }
    }
}

bool TPacketQueue::Publish(AVPacket* packet, bool flush, int streamIndex, bool blank) {
    if (Aborted()) {
        return false;
    }
    const size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) >= slots_.size()) {
        return false;
    }
    Slot& slot = slots_[tail & mask_];
    if (slot.packet == nullptr) {
        slot.packet = fn::av_packet_alloc();
        if (slot.packet == nullptr) {
            return false;
        }
    }
    if (packet != nullptr) {
        fn::av_packet_move_ref(slot.packet, packet);
    } else if (blank) {
        fn::av_packet_unref(slot.packet);
        slot.packet->stream_index = streamIndex;
    }
    slot.flush = flush;
    slot.serial = serial_.load(std::memory_order_relaxed);
    count_.fetch_add(1, std::memory_order_acq_rel);
    bytes_.fetch_add(flush ? 0 : slot.packet->size + kPacketOverhead, std::memory_order_acq_rel);
    tail_.store(tail + 1, std::memory_order_release);
    {
        // Pairs with the consumer's check under the same lock: no wake-up is lost.
        std::lock_guard lock(waitMutex_);
    }
    arrived_.notify_one();
    return true;
}

bool TPacketQueue::Put(AVPacket* packet) {
    return Publish(packet, false, 0, false);
}

bool TPacketQueue::PutEmpty(int streamIndex) {
    return Publish(nullptr, false, streamIndex, true);
}

bool TPacketQueue::Flush() {
    serial_.fetch_add(1, std::memory_order_acq_rel);
    return Publish(nullptr, true, 0, true);
}

void TPacketQueue::Consumed(const Slot& slot) {
    count_.fetch_sub(1, std::memory_order_acq_rel);
    bytes_.fetch_sub(slot.flush ? 0 : slot.packet->size + kPacketOverhead,
                     std::memory_order_acq_rel);
}

TPacketQueue::TResult TPacketQueue::Get(AVPacket* packet, bool block) {
    for (;;) {
        if (Aborted()) {
            return TResult::Aborted;
        }
        // Told by the serial, not by the marker: two flushes before the consumer looks leave
        // the first marker stale, and a full queue has no room for one.
        const std::uint32_t serial = serial_.load(std::memory_order_acquire);
        if (serial != flushedSerial_) {
            flushedSerial_ = serial;
            return TResult::Flush;
        }
        const size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) {
            if (!block) {
                return TResult::Empty;
            }
            std::unique_lock lock(waitMutex_);
            arrived_.wait(lock, [this, head] {
                return Aborted() || tail_.load(std::memory_order_acquire) != head;
            });
            continue;
        }
        Slot& slot = slots_[head & mask_];
        if (slot.serial != flushedSerial_ &&
            slot.serial == serial_.load(std::memory_order_acquire)) {
            continue; // queued after a flush made meanwhile: that Flush comes first
        }
        Consumed(slot);
        const bool skip = slot.flush || slot.serial != flushedSerial_;
        if (skip) {
            fn::av_packet_unref(slot.packet);
        } else {
            fn::av_packet_move_ref(packet, slot.packet);
        }
        head_.store(head + 1, std::memory_order_release);
        if (skip) {
            continue;
        }
        return TResult::Packet;
    }
}

void TPacketQueue::Abort() {
    {
        std::lock_guard lock(waitMutex_);
        abort_.store(true, std::memory_order_release);
    }
    arrived_.notify_all();
}
