#pragma once

#include "AVProbe.h"
#include "Bitmap24.h"
#include "EventRing.h"
#include "EventThread.h"
#include "FFBaseComponent.h"
#include "LoopQueue.h"
#include "PictureSink.h"
#include "PlayThread.h"
#include "PlaybackOwner.h"
#include "PlayerTypes.h"
#include "RGBConverter.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

class TPlayback;

// Plays one media file into a picture sink, with sound through SDL, and reports what happens
// through four events. Open, Pause, Resume, Stop, Seek and the bitmap calls belong to the main
// thread. OnFileOpen, OnPosition and OnState run on the main thread (or, without
// TriggerEventInMainThread, on the player's event thread); OnHook runs on the video thread.
class TCustomPlayer : public TFFBaseComponent {
public:
    TCustomPlayer();
    ~TCustomPlayer() override;

    bool LoadLibraries(const std::string& folder);
    bool LibrariesLoaded() const;

    // Closes what is open, then opens fileName to play into sink (null only with
    // DisableDisplay). False with LastErrorText on failure, leaving no thread behind.
    bool Open(const std::string& fileName, IPictureSink* sink, bool startPaused = false);
    void Pause();
    void Resume();
    // Asks playing to end; with wait, returns once every thread of the file has ended.
    void Stop(bool wait);
    // flags: TSeekFlag values.
    void Seek(int flags, bool wait, std::int64_t position);
    // The picture on screen at the video's size (owned by the player, valid until the next
    // call); black without a picture, 0 x 0 without video.
    const TBitmap24& CurrentBitmap();
    const TBitmap24& CurrentBitmapWithPTS(std::int64_t& pts);

    std::string FileName() const { return fileName_; }
    std::string LastErrorText() const;
    std::int64_t Position() const { return position_.load(); }
    TPlayState State() const { return state_.load(); }
    bool Paused() const;
    TAVProbe& Probe() { return probe_; }
    static std::string Version();
    std::string About;
    TPlayerStatistics Statistics() const;

    float AspectRatio() const { return aspectRatio_.load(); }
    void SetAspectRatio(float value);
    TAudioDriver AudioDriver() const { return audioDriver_; }
    void SetAudioDriver(TAudioDriver value) { audioDriver_ = value; }
    TAudioVolume AudioVolume() const { return volume_.load(); }
    void SetAudioVolume(TAudioVolume value);
    bool DisableAudio() const { return disableAudio_; }
    void SetDisableAudio(bool value) { disableAudio_ = value; }
    bool DisableVideo() const { return disableVideo_; }
    void SetDisableVideo(bool value) { disableVideo_ = value; }
    bool DisableDisplay() const { return disableDisplay_; }
    void SetDisableDisplay(bool value) { disableDisplay_ = value; }
    bool Mute() const { return mute_.load(); }
    void SetMute(bool value) { mute_.store(value); }
    int FrameWidth() const { return frameWidth_; }
    void SetFrameWidth(int value) { frameWidth_ = value; }
    int FrameHeight() const { return frameHeight_; }
    void SetFrameHeight(int value) { frameHeight_ = value; }
    bool Hook() const { return hook_.load(); }
    void SetHook(bool value) { hook_.store(value); }
    int ScreenWidth() const { return screenWidth_.load(); }
    void SetScreenWidth(int value) { screenWidth_.store(value); }
    int ScreenHeight() const { return screenHeight_.load(); }
    void SetScreenHeight(int value) { screenHeight_.store(value); }
    bool TriggerEventInMainThread() const { return triggerInMainThread_.load(); }
    void SetTriggerEventInMainThread(bool value) { triggerInMainThread_.store(value); }
    TVideoDriver VideoDriver() const { return videoDriver_; }
    void SetVideoDriver(TVideoDriver value) { videoDriver_ = value; }
    // A filter chain applied to every picture (between "in" and "out"), from the next Open.
    const std::string& VideoFilters() const { return videoFilters_; }
    void SetVideoFilters(const std::string& value) { videoFilters_ = value; }
    TSyncMaster SyncMaster() const { return syncMaster_; }
    void SetSyncMaster(TSyncMaster value) { syncMaster_ = value; }

    // Events; an empty function removes the handler.
    void SetOnFileOpen(TFileOpenEvent handler);
    void SetOnPosition(TPositionEvent handler);
    void SetOnState(TPlayStateEvent handler);
    void SetOnHook(THookEvent handler);
    bool HasOnState() const;

private:
    // What the playback's threads call; a member, so that none of them calls through the
    // player's own virtual table while it is being destroyed.
    class TLink;

    void ReportState(TPlayState state);
    void NewPosition(std::int64_t position, bool force);
    void PostQuit();
    bool WantsHook() const;
    bool CallHook(TBitmap24& bitmap, std::int64_t pts);
    bool OpenSurface(int pictureWidth, int pictureHeight);
    bool HandleLoopEvent(const TLoopQueue::TLoopEvent& event);
    void PlayThreadFailed(const char* message);
    void DeliverPosition(std::int64_t pts);
    void DeliverState(TPlayState state);

    void Fail(const std::string& text, bool log);
    std::shared_ptr<TPlayback> CurrentPlayback() const;
    void CloseFile();
    void WaitForClose();
    void JoinThreads();
    void ShutAudioDown();
    bool StartAudio(unsigned handle);
    void ApplyAudioDriver() const;
    // Runs call on the main thread: queued from other threads, never waited for.
    void Deliver(std::function<void()> call);
    // Runs the queued deliveries in order (on the main thread).
    void HandOverDeliveries();
    template <typename Handler> bool HasHandler(const Handler& handler) const {
        std::lock_guard lock(handlerMutex_);
        return static_cast<bool>(handler);
    }
    // Delivers args to the handler held in slot, looked up when the call runs (it may have
    // been removed meanwhile); a handler's exception is logged.
    template <typename Handler, typename... Args>
    void DeliverToHandler(const Handler& slot, Args... args);
    void RaiseFileOpen(const TPlayback& playback);
    bool OnPlayerThread() const;

    std::unique_ptr<TLink> link_;

    // Settings.
    std::atomic<float> aspectRatio_{0};
    TAudioDriver audioDriver_ = adDefault;
    std::atomic<int> volume_{128};
    bool disableAudio_ = false;
    bool disableVideo_ = false;
    bool disableDisplay_ = false;
    std::atomic<bool> mute_{false};
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    std::atomic<bool> hook_{false};
    std::atomic<int> screenWidth_{0};
    std::atomic<int> screenHeight_{0};
    std::atomic<bool> triggerInMainThread_{true};
    std::mutex deliveryMutex_;
    std::deque<std::function<void()>> deliveries_;
    // Posted hand-overs that run after the player is gone find this expired.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    TVideoDriver videoDriver_ = vdDefault;
    std::string videoFilters_;
    TSyncMaster syncMaster_ = TSyncMaster::Audio;

    mutable std::mutex handlerMutex_;
    TFileOpenEvent onFileOpen_;
    TPositionEvent onPosition_;
    TPlayStateEvent onState_;
    THookEvent onHook_;

    // The open file; shared with the probe until the main thread lets go of it.
    mutable std::mutex playbackMutex_;
    std::shared_ptr<TPlayback> playback_;
    std::shared_ptr<TPlayback> probePlayback_;
    TAVProbe probe_;

    std::atomic<IPictureSink*> sink_{nullptr};
    IPictureSink* listenedSink_ = nullptr;
    std::mutex playerMutex_; // the loop holds it per event; forced closing takes it
    TLoopQueue loop_;
    TEventRing ring_;
    TPlayThread playThread_;
    TEventThread eventThread_;
    bool audioStarted_ = false;

    std::string fileName_;
    mutable std::mutex errorMutex_;
    std::string lastErrorText_;
    std::atomic<std::int64_t> position_{0};
    std::atomic<TPlayState> state_{psStop};
    std::atomic<bool> seeking_{false};
    std::mutex positionMutex_;
    std::int64_t lastReported_ = 0;
    bool reportedAny_ = false;

    mutable std::mutex statsMutex_;
    TPlayerStatistics lastStatistics_;
    TBitmap24 currentBitmap_;
    TRGBConverter currentConverter_;
};
