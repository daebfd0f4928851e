#pragma once

#include "AudioOutput.h"
#include "PictureScaler.h"
#include "PlaybackControl.h"
#include "SubtitleDecoder.h"
#include "VideoDecoder.h"
#include "Waveform.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class IPlaybackOwner;
class TLoopQueue;
class TBitmap24;
class TRGBConverter;

// Everything about one open file: the format context, the demux thread, the audio, video and
// subtitle parts, the refresh thread, and what the display step shows. Created by Open and
// kept until the player lets go of the file (the probe may still look at its context).
class TPlayback {
public:
    TPlayback(const TPlaybackSettings& settings, IPlaybackOwner& owner);
    ~TPlayback();
    TPlayback(const TPlayback&) = delete;
    TPlayback& operator=(const TPlayback&) = delete;

    // Starts the demux thread and waits until the file is open or has failed, serving the
    // main-thread queue meanwhile. errorText gets the failure.
    bool Open(std::string& errorText);
    // Lets the demux thread read; the refresh thread posts to loop from now on.
    void Start(TLoopQueue& loop);
    // Stops every thread of the file; safe to call from several threads and more than once.
    void Close();

    TPlaybackControl& Control() { return control_; }
    const TPlaybackControl& Control() const { return control_; }
    AVFormatContext* Context() const { return context_; }
    bool HasVideo() const { return video_.IsOpen(); }
    bool HasAudio() const { return audio_.IsOpen(); }
    int VideoWidth() const { return video_.Width(); }
    int VideoHeight() const { return video_.Height(); }
    // Microseconds: 0 for image sequences, -1 unknown.
    std::int64_t ReportedDuration() const;

    // Play thread.
    void Refresh(bool expose);
    void Relayout();
    void Redraw();

    // Main thread.
    void TogglePause();
    void RequestSeek(std::int64_t target, std::int64_t relative, int flags);
    // The picture on screen at the video's own size (24-bit); black without one; 0 x 0
    // without video. pts: its time, -1 without a picture.
    void CurrentBitmap(TBitmap24& bitmap, TRGBConverter& converter, std::int64_t& pts);
    TPlayerStatistics Statistics();

private:
    void ReadThread();
    bool OpenFile(std::string& errorText);
    int ChooseStream(int mediaType, int wantedNth, int related) const;
    void ReadLoop();
    bool HasEnoughQueued();
    bool AllQueuesEmpty();
    void AtEndOfFile();
    bool ReadOnePacket(AVPacket* packet);
    void PerformSeek();
    void CloseComponents();
    void StartSound();
    void RefreshThread(TLoopQueue& loop);
    void Nap(int milliseconds);

    void RefreshVideo(bool expose);
    void ShowPicture(TQueuedPicture& picture, double now);
    void ShowWaveform();
    void UpdatePosition(double now);
    void CheckEnd();
    void NoteDrift(double pts, double now);
    TPictureRect LayoutFor(int width, int height, AVRational sampleAspect) const;

    TPlaybackControl control_;
    IPlaybackOwner& owner_;
    AVFormatContext* context_ = nullptr;
    TSampleRing ring_;
    TAudioOutput audio_;
    TVideoDecoder video_;
    TSubtitleDecoder subtitles_;

    std::thread demux_;
    std::thread refresh_;
    TEvent opened_;
    TEvent started_;
    TEvent aborted_;
    std::atomic<int> status_{0}; // 0 opening, 1 open, -1 failed, -2 failed and finished
    std::string errorText_;
    std::mutex closeMutex_;
    bool closed_ = false;
    bool visualising_ = false;
    std::atomic<bool> videoDrained_{false};
    std::atomic<bool> soundStarted_{false};
    std::atomic<double> soundDeadline_{1e300};

    // Play thread: what is on screen.
    std::mutex displayedMutex_;
    media::FramePtr displayedFrame_;
    TBitmap24 displayedHooked_;
    bool displayedHookedValid_ = false;
    double displayedPts_ = -1;
    std::shared_ptr<TSinkPicture> displayedShown_;
    TPictureRect displayedRect_;
    std::uint32_t lastShownSerial_ = 0;
    TPictureScaler relayoutScaler_;
    TPicturePool waveformPool_;
    std::atomic<double> driftFrom_{0}; // drift is measured once playing has settled
};
