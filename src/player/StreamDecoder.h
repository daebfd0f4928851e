#pragma once

// What each of the player's stream decoders has: the stream's codec, opened under the
// library's codec lock, and a thread of its own, started once the codec is open and joined
// on close, after which the codec is freed.

#include "MediaPtr.h"
#include "PlaybackOwner.h"

#include <atomic>
#include <functional>
#include <thread>

class TStreamDecoder {
public:
    explicit TStreamDecoder(const IPlaybackOwner& owner) : owner_(owner) {}
    TStreamDecoder(const TStreamDecoder&) = delete;
    TStreamDecoder& operator=(const TStreamDecoder&) = delete;
    ~TStreamDecoder();

    // Opens the decoder of the stream; tune sets the codec's options first. Logs and returns
    // false when it cannot.
    bool OpenCodec(const AVStream* stream,
                   const std::function<void(AVCodecContext&)>& tune = nullptr);
    // Starts the body on its own thread; when no thread can be made, logs, frees the codec and
    // returns false.
    bool Start(std::function<void()> body);
    // The body stops when this turns false; the owner then wakes it and calls Join.
    void MarkClosed() { open_.store(false); }
    // Waits for the body to end and frees the codec.
    void Join();

    bool IsOpen() const { return open_.load(); }
    AVCodecContext* Codec() const { return codec_.get(); }

private:
    void FreeCodec();

    const IPlaybackOwner& owner_; // names the log lines
    media::CodecContextPtr codec_;
    std::thread thread_;
    std::atomic<bool> open_{false};
};
