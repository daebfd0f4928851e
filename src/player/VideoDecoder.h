#pragma once

#include "MediaPtr.h"
#include "PacketQueue.h"
#include "PicturePool.h"
#include "PictureQueue.h"
#include "PictureScaler.h"
#include "PlayerFilterGraph.h"
#include "RGBConverter.h"
#include "StreamDecoder.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

struct TPlaybackControl;
class IPlaybackOwner;

// The pictures of one file: the decoder, its packet queue and the video thread, which
// decodes, filters, times, hooks and scales each picture to the rectangle it will be shown in
// and queues it for the display.
class TVideoDecoder {
public:
    TVideoDecoder(TPlaybackControl& control, IPlaybackOwner& owner);
    ~TVideoDecoder();
    TVideoDecoder(const TVideoDecoder&) = delete;
    TVideoDecoder& operator=(const TVideoDecoder&) = delete;

    // Opens the decoder and starts the video thread; false (reported) on failure.
    bool Open(AVFormatContext* context, int streamIndex);
    void Close();
    bool IsOpen() const { return core_.IsOpen(); }

    TPacketQueue& Queue() { return queue_; }
    // Drops the queued packets and tells the video thread to start afresh.
    void FlushQueue();
    TPictureQueue& Pictures() { return pictures_; }
    TPicturePool& Pool() { return pool_; }
    int StreamIndex() const { return streamIndex_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    double FrameDuration() const { return frameDuration_; }

    // Runs on the video thread when the end of the stream brought no picture.
    std::function<void()> onDrainedEmpty;

private:
    void Run();
    bool SeekPictureOwed() const;
    bool WaitWhilePaused();
    // Sends one packet (null: drain) and handles every picture that comes out. The count of
    // pictures handed on, or -1 when the thread must end.
    int Decode(const AVPacket* packet);
    bool Filter(AVFrame* decoded);
    bool HandlePicture(AVFrame* picture, double pts);
    bool QueuePicture(AVFrame* picture, double pts);
    void HookPicture(TQueuedPicture& entry, double pts);
    void ScaleForDisplay(TQueuedPicture& entry, int width, int height, AVRational sampleAspect);
    double TargetClock(double pts);
    void OnFlush();
    void AfterQueued();

    TPlaybackControl& control_;
    IPlaybackOwner& owner_;
    TPacketQueue queue_{1024};
    TPictureQueue pictures_;
    TPicturePool pool_;
    TPictureScaler scaler_;
    TRGBConverter hookConverter_;
    TPlayerFilterGraph filters_;
    media::FramePtr decoded_;
    media::FramePtr filtered_;
    AVRational timeBase_{1, 1};
    int streamIndex_ = -1;
    int width_ = 0; // of the upright picture
    int height_ = 0;
    std::string uprightFilters_;
    double frameDuration_ = 0.04;
    // Video thread only.
    double lastPts_ = 0;
    bool lastPtsSet_ = false;
    double lastDelay_ = 0;
    double skipIndex_ = 0;
    std::uint32_t serial_ = 0;
    std::uint32_t lastQueuedSerial_ = 0;
    int stepPictures_ = 0;
    bool surfaceOpen_ = false;
    bool hookFailed_ = false;
    bool filterFailed_ = false;
    // The codec and the decoding thread; Close joins the thread before anything it uses goes.
    TStreamDecoder core_;
};
