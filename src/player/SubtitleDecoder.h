#pragma once

#include "MediaPtr.h"
#include "PacketQueue.h"
#include "StreamDecoder.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

struct TPlaybackControl;
class IPlaybackOwner;
class TSinkPicture;
struct TPictureRect;

// Bitmap subtitles of one file, decoded on their own thread and blended into the pictures as
// they are shown. Text subtitles are decoded and dropped: the player draws no text.
class TSubtitleDecoder {
public:
    static constexpr size_t kQueueSize = 4;

    TSubtitleDecoder(TPlaybackControl& control, IPlaybackOwner& owner);
    ~TSubtitleDecoder();
    TSubtitleDecoder(const TSubtitleDecoder&) = delete;
    TSubtitleDecoder& operator=(const TSubtitleDecoder&) = delete;

    bool Open(AVFormatContext* context, int streamIndex);
    void Close();
    bool IsOpen() const { return core_.IsOpen(); }
    TPacketQueue& Queue() { return queue_; }
    int StreamIndex() const { return streamIndex_; }

    // Play thread: forgets subtitles that ended before pts (seconds), then blends the current
    // one (when due) into picture, which shows a videoWidth x videoHeight picture scaled.
    void BlendInto(TSinkPicture& picture, double pts, int videoWidth, int videoHeight);

private:
    struct TSubPicture {
        AVSubtitle subtitle{};
        double pts = 0; // seconds
    };

    void Run();
    void Free(TSubPicture& entry);

    TPlaybackControl& control_;
    IPlaybackOwner& owner_;
    TPacketQueue queue_{256};
    int streamIndex_ = -1;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TSubPicture> pictures_;
    bool abort_ = false;
    // The codec and the decoding thread; Close joins the thread before anything it uses goes.
    TStreamDecoder core_;
};
