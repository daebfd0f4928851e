#include "CustomPlayer.h"

#include "FFmpegLogger.h"
#include "LibraryFunctions.h"
#include "LibrarySet.h"
#include "MainThread.h"
#include "MediaUtils.h"
#include "Playback.h"
#include "PlayerMessages.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <thread>

namespace {

constexpr auto kStopStep = std::chrono::milliseconds(100);
// Quit requests before the file is closed from the stopping thread; more while the demuxer
// is not inside a read call.
constexpr int kQuitAttempts = 10;
constexpr int kQuitAttemptsWhileNotReading = 20;
constexpr std::int64_t kPositionStep = 10000; // microseconds

// Takes the lock within timeout. A plain wait: the player's threads never wait for the main
// thread.
bool TryLockFor(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

const char* SdlAudioDriverName(TAudioDriver driver) {
    switch (driver) {
    case adDirectSound:
        return "pulseaudio";
    case adWaveOut:
        return "alsa";
    default:
        return nullptr;
    }
}

} // namespace

class TCustomPlayer::TLink final : public IPlaybackOwner,
                                   public IPlayThreadHost,
                                   public IEventThreadHost,
                                   public ISurfaceListener {
public:
    explicit TLink(TCustomPlayer& player) : player_(player) {}

    const void* LogSender() const override { return &player_; }
    void ReportState(TPlayState state) override { player_.ReportState(state); }
    void NewPosition(std::int64_t position, bool force) override {
        player_.NewPosition(position, force);
    }
    void SeekFinished() override { player_.seeking_.store(false); }
    void PostQuit() override { player_.PostQuit(); }
    bool WantsHook() const override { return player_.WantsHook(); }
    bool CallHook(TBitmap24& bitmap, std::int64_t pts) override {
        return player_.CallHook(bitmap, pts);
    }
    int Volume() const override { return player_.volume_.load(); }
    bool Muted() const override { return player_.mute_.load(); }
    float AspectRatio() const override { return player_.aspectRatio_.load(); }
    void SurfaceSize(int& width, int& height) const override {
        width = player_.screenWidth_.load();
        height = player_.screenHeight_.load();
    }
    bool OpenSurface(int pictureWidth, int pictureHeight) override {
        return player_.OpenSurface(pictureWidth, pictureHeight);
    }
    IPictureSink* Sink() const override { return player_.sink_.load(); }

    bool HandleLoopEvent(const TLoopQueue::TLoopEvent& event) override {
        return player_.HandleLoopEvent(event);
    }
    void PlayThreadFailed(const char* message) override { player_.PlayThreadFailed(message); }

    void DeliverPosition(std::int64_t pts) override { player_.DeliverPosition(pts); }
    void DeliverState(TPlayState state) override { player_.DeliverState(state); }

    void SurfaceResized(int width, int height) override {
        player_.loop_.Post(TLoopQueue::TLoopEvent{TLoopQueue::TType::Resize, width, height});
    }
    void SurfaceExposed() override { player_.loop_.Post(TLoopQueue::TType::Expose); }

private:
    TCustomPlayer& player_;
};

TCustomPlayer::TCustomPlayer()
    : link_(std::make_unique<TLink>(*this)), playThread_(*link_, loop_),
      eventThread_(*link_, ring_) {}

TCustomPlayer::~TCustomPlayer() {
    alive_.reset();
    {
        std::lock_guard lock(handlerMutex_);
        onPosition_ = nullptr;
        onState_ = nullptr;
        onHook_ = nullptr;
    }
    Stop(true);
    JoinThreads();
}

bool TCustomPlayer::LoadLibraries(const std::string& folder) {
    std::string error;
    if (LoadLibrarySet(PlayerLibraries, folder, error)) {
        return true;
    }
    std::lock_guard lock(errorMutex_);
    lastErrorText_ = error;
    return false;
}

bool TCustomPlayer::LibrariesLoaded() const {
    return LibrarySetLoaded(PlayerLibraries);
}

std::string TCustomPlayer::Version() {
    return playermsg::Version;
}

std::string TCustomPlayer::LastErrorText() const {
    std::lock_guard lock(errorMutex_);
    return lastErrorText_;
}

void TCustomPlayer::Fail(const std::string& text, bool log) {
    {
        std::lock_guard lock(errorMutex_);
        lastErrorText_ = text;
    }
    if (log) {
        LoggerInstance().Log(this, llError, text);
    }
}

std::shared_ptr<TPlayback> TCustomPlayer::CurrentPlayback() const {
    std::lock_guard lock(playbackMutex_);
    return playback_;
}

bool TCustomPlayer::Paused() const {
    const std::shared_ptr<TPlayback> playback = CurrentPlayback();
    return !playback || playback->Control().paused.load();
}

TPlayerStatistics TCustomPlayer::Statistics() const {
    if (const std::shared_ptr<TPlayback> playback = CurrentPlayback()) {
        return playback->Statistics();
    }
    std::lock_guard lock(statsMutex_);
    return lastStatistics_;
}

void TCustomPlayer::SetAspectRatio(float value) {
    aspectRatio_.store(value);
    if (CurrentPlayback()) {
        loop_.Post(TLoopQueue::TType::Relayout);
    }
}

void TCustomPlayer::SetAudioVolume(TAudioVolume value) {
    volume_.store(std::clamp(value, 0, SDL_MIX_MAXVOLUME));
}

void TCustomPlayer::SetOnFileOpen(TFileOpenEvent handler) {
    std::lock_guard lock(handlerMutex_);
    onFileOpen_ = std::move(handler);
}

void TCustomPlayer::SetOnPosition(TPositionEvent handler) {
    std::lock_guard lock(handlerMutex_);
    onPosition_ = std::move(handler);
}

void TCustomPlayer::SetOnState(TPlayStateEvent handler) {
    std::lock_guard lock(handlerMutex_);
    onState_ = std::move(handler);
}

void TCustomPlayer::SetOnHook(THookEvent handler) {
    std::lock_guard lock(handlerMutex_);
    onHook_ = std::move(handler);
}

bool TCustomPlayer::HasOnState() const {
    std::lock_guard lock(handlerMutex_);
    return static_cast<bool>(onState_);
}

// ---- opening ----

void TCustomPlayer::ApplyAudioDriver() const {
    if (const char* name = SdlAudioDriverName(audioDriver_)) {
        fn::SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, name, SDL_HINT_OVERRIDE);
    } else {
        // SDL's own choice, or SDL_AUDIODRIVER from the environment.
        fn::SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    }
}

bool TCustomPlayer::StartAudio(unsigned handle) {
    ApplyAudioDriver();
    // The program's own handlers decide what SIGINT and SIGTERM do, also while sound plays.
    fn::SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_OVERRIDE);
    if (fn::SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) {
        Fail(Format(playermsg::CouldNotInitSDL, handle, fn::SDL_GetError()), true);
        return false;
    }
    audioStarted_ = true;
    const char* driver = fn::SDL_GetCurrentAudioDriver();
    LoggerInstance().LogFmt(this, llDebug, playermsg::UsingAudioDriver, driver ? driver : "");
    return true;
}

void TCustomPlayer::ShutAudioDown() {
    if (audioStarted_) {
        fn::SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioStarted_ = false;
    }
}

bool TCustomPlayer::Open(const std::string& fileName, IPictureSink* sink, bool startPaused) {
    if (!LibrariesLoaded()) {
        Fail(playermsg::LibrariesNotLoaded, true);
        return false;
    }
    Stop(true);
    if (!disableAudio_ && !StartAudio(sink != nullptr ? sink->Handle() : 0)) {
        return false;
    }
    if (disableDisplay_) {
        disableVideo_ = true;
    } else if (sink == nullptr) {
        Fail(playermsg::GetVideoInfoFailed, true);
        ShutAudioDown();
        return false;
    }
    TPlaybackSettings settings;
    settings.fileName = fileName;
    settings.disableAudio = disableAudio_;
    settings.disableVideo = disableVideo_;
    settings.disableDisplay = disableDisplay_;
    settings.startPaused = startPaused;
    settings.frameWidth = frameWidth_;
    settings.frameHeight = frameHeight_;
    settings.videoFilters = videoFilters_;
    settings.syncMaster = syncMaster_;

    loop_.Clear();
    ring_.Clear();
    state_.store(psStop);
    position_.store(0);
    {
        std::lock_guard lock(positionMutex_);
        reportedAny_ = false;
    }
    seeking_.store(false);
    sink_.store(disableDisplay_ ? nullptr : sink);

    auto playback = std::make_shared<TPlayback>(settings, *link_);
    std::string error;
    if (!playback->Open(error)) {
        Fail(error, false);
        playback.reset();
        sink_.store(nullptr);
        ShutAudioDown();
        return false;
    }
    fileName_ = fileName;
    {
        std::lock_guard lock(playbackMutex_);
        playback_ = playback;
    }
    probePlayback_ = playback;
    probe_.AttachContext(playback->Context());
    RaiseFileOpen(*playback);
    if (IPictureSink* shown = sink_.load()) {
        shown->SetSurfaceListener(link_.get());
        listenedSink_ = shown;
    }
    try {
        eventThread_.Start();
        playThread_.Start(startPaused && !playback->HasVideo());
    } catch (const std::system_error&) {
        Fail(playermsg::CreateThreadFailed, true);
        CloseFile();
        ReportState(psStop);
        JoinThreads();
        return false;
    }
    playback->Start(loop_);
    return true;
}

void TCustomPlayer::RaiseFileOpen(const TPlayback& playback) {
    const std::int64_t duration = playback.ReportedDuration();
    const int frameWidth = playback.HasVideo() ? playback.VideoWidth() : -1;
    const int frameHeight = playback.HasVideo() ? playback.VideoHeight() : -1;
    int width = screenWidth_.load();
    int height = screenHeight_.load();
    TFileOpenEvent handler;
    {
        std::lock_guard lock(handlerMutex_);
        handler = onFileOpen_;
    }
    if (handler) {
        // On the thread that opens the file (the handler may answer the surface size).
        handler(*this, duration, frameWidth, frameHeight, width, height);
    }
    IPictureSink* sink = sink_.load();
    if ((width == 0 || height == 0) && sink != nullptr) {
        sink->SurfaceSize(width, height);
    }
    screenWidth_.store(width);
    screenHeight_.store(height);
}

void TCustomPlayer::Deliver(std::function<void()> call) {
    if (!triggerInMainThread_.load() || TMainThread::IsCurrent()) {
        call();
        return;
    }
    // Queued without waiting; the main thread is asked to hand them over, and a Stop that
    // waited for the player's threads hands over what they left (so a stopped player's last
    // notices come before Stop returns). A player gone by then drops them.
    {
        std::lock_guard lock(deliveryMutex_);
        deliveries_.push_back(std::move(call));
    }
    TMainThread::Post([this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.lock()) {
            HandOverDeliveries();
        }
    });
}

void TCustomPlayer::HandOverDeliveries() {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(deliveryMutex_);
            if (deliveries_.empty()) {
                return;
            }
            call = std::move(deliveries_.front());
            deliveries_.pop_front();
        }
        call();
    }
}

// ---- pausing, seeking ----

void TCustomPlayer::Pause() {
    const std::shared_ptr<TPlayback> playback = CurrentPlayback();
    if (!playback || playback->Control().paused.load()) {
        return;
    }
    playback->TogglePause();
    ReportState(psPause);
}

void TCustomPlayer::Resume() {
    const std::shared_ptr<TPlayback> playback = CurrentPlayback();
    if (!playback || !playback->Control().paused.load()) {
        return;
    }
    playback->Control().startPausedSteps.store(0);
    playback->TogglePause();
    ReportState(psResume);
}

void TCustomPlayer::Seek(int flags, bool wait, std::int64_t position) {
    const std::shared_ptr<TPlayback> playback = CurrentPlayback();
    if (!playback) {
        return;
    }
    TPlaybackControl& control = playback->Control();
    if (control.seekRequest.load()) {
        return; // the earlier request is still pending
    }
    std::int64_t target = position;
    std::int64_t relative = 0;
    if ((flags & AVSEEK_FLAG_BYTE) == 0) {
        if (control.duration > 0) {
            target = std::min(target, control.duration);
        }
        const AVFormatContext* context = playback->Context();
        if (context->start_time != AV_NOPTS_VALUE) {
            target += context->start_time;
        }
        relative = position <= 0 ? 1 : 0;
    }
    seeking_.store(true);
    playback->RequestSeek(target, relative, flags);
    if (!wait) {
        return;
    }
    while (seeking_.load() && CurrentPlayback() == playback && !control.abortRequest.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

const TBitmap24& TCustomPlayer::CurrentBitmap() {
    std::int64_t pts = -1;
    return CurrentBitmapWithPTS(pts);
}

const TBitmap24& TCustomPlayer::CurrentBitmapWithPTS(std::int64_t& pts) {
    pts = -1;
    const std::shared_ptr<TPlayback> playback = CurrentPlayback();
    if (!playback) {
        currentBitmap_.Resize(0, 0);
        return currentBitmap_;
    }
    playback->CurrentBitmap(currentBitmap_, currentConverter_, pts);
    return currentBitmap_;
}

// ---- stopping ----

bool TCustomPlayer::OnPlayerThread() const {
    return tOnPlaybackThread;
}

void TCustomPlayer::Stop(bool wait) {
    const std::shared_ptr<TPlayback> playback = CurrentPlayback();
    if (playback) {
        if (playback->Control().paused.load()) {
            Resume();
        }
        loop_.Post(TLoopQueue::TType::Quit);
    }
    // A thread of the playback waiting for the playback would wait for itself.
    if (!wait || OnPlayerThread()) {
        return;
    }
    if (playback) {
        WaitForClose();
    }
    JoinThreads();
}

void TCustomPlayer::WaitForClose() {
    int attempts = 1;
    for (;;) {
        if (playThread_.Done().WaitFor(kStopStep) || !CurrentPlayback()) {
            return;
        }
        std::unique_lock lock(playerMutex_, std::defer_lock);
        if (!TryLockFor(lock, kStopStep)) {
            continue;
        }
        ++attempts;
        const std::shared_ptr<TPlayback> playback = CurrentPlayback();
        const bool reading = playback && playback->Control().reading.load();
        if (attempts <= kQuitAttempts || (attempts <= kQuitAttemptsWhileNotReading && !reading)) {
            loop_.Post(TLoopQueue::TType::Quit);
        } else {
            CloseFile();
        }
    }
}

// Closes the open file (on the play thread, or on the stopping thread holding playerMutex_).
void TCustomPlayer::CloseFile() {
    const std::shared_ptr<TPlayback> playback = CurrentPlayback();
    if (!playback) {
        return;
    }
    playback->Close();
    {
        std::lock_guard lock(statsMutex_);
        lastStatistics_ = playback->Statistics();
    }
    {
        std::lock_guard lock(playbackMutex_);
        playback_.reset();
    }
    if (IPictureSink* sink = sink_.load()) {
        sink->Clear();
    }
}

void TCustomPlayer::JoinThreads() {
    if (playThread_.Running()) {
        playThread_.Done().Wait();
        playThread_.Join();
    }
    if (eventThread_.Running()) {
        eventThread_.Done().Wait();
        eventThread_.Join();
    }
    if (TMainThread::IsCurrent()) {
        HandOverDeliveries(); // only this player's own notices, in their order
    }
    if (listenedSink_ != nullptr) {
        listenedSink_->SetSurfaceListener(nullptr);
        listenedSink_ = nullptr;
    }
    sink_.store(nullptr);
    probe_.Close();
    probePlayback_.reset();
    ShutAudioDown();
}

void TCustomPlayer::PostQuit() {
    loop_.Post(TLoopQueue::TType::Quit);
}

// ---- the play thread's events ----

bool TCustomPlayer::HandleLoopEvent(const TLoopQueue::TLoopEvent& event) {
    std::lock_guard lock(playerMutex_);
    const std::shared_ptr<TPlayback> playback = CurrentPlayback();
    switch (event.type) {
    case TLoopQueue::TType::Quit:
        CloseFile();
        return false;
    case TLoopQueue::TType::Refresh:
        if (playback) {
            playback->Refresh(false);
        }
        break;
    case TLoopQueue::TType::Resize:
        screenWidth_.store(event.width);
        screenHeight_.store(event.height);
        if (playback) {
            playback->Relayout();
        }
        break;
    case TLoopQueue::TType::Expose:
        if (playback) {
            playback->Redraw();
        }
        break;
    case TLoopQueue::TType::Relayout:
        if (playback) {
            playback->Relayout();
        }
        break;
    }
    return true;
}

void TCustomPlayer::PlayThreadFailed(const char* message) {
    LoggerInstance().Log(this, llFatal, std::string(playermsg::PlayThreadException) + message);
    std::lock_guard lock(playerMutex_);
    CloseFile();
}

bool TCustomPlayer::OpenSurface(int pictureWidth, int pictureHeight) {
    IPictureSink* sink = sink_.load();
    if (sink == nullptr) {
        return false;
    }
    int width = screenWidth_.load();
    int height = screenHeight_.load();
    if (width <= 0 || height <= 0) {
        width = pictureWidth & ~1;
        height = pictureHeight & ~1;
    }
    if (width <= 0 || height <= 0) {
        width = 640;
        height = 480;
    }
    if (!sink->OpenSurface(width, height)) {
        LoggerInstance().Log(this, llError, playermsg::SetVideoModeFailed);
        return false;
    }
    if (screenWidth_.load() <= 0 || screenHeight_.load() <= 0) {
        int sinkWidth = 0;
        int sinkHeight = 0;
        sink->SurfaceSize(sinkWidth, sinkHeight);
        screenWidth_.store(sinkWidth > 0 && sinkHeight > 0 ? sinkWidth : width);
        screenHeight_.store(sinkWidth > 0 && sinkHeight > 0 ? sinkHeight : height);
    }
    return true;
}

// ---- events ----

void TCustomPlayer::ReportState(TPlayState state) {
    state_.store(state);
    if (HasOnState()) {
        ring_.PutState(state);
    } else if (state == psStop) {
        ring_.PutEnd();
    }
}

void TCustomPlayer::NewPosition(std::int64_t position, bool force) {
    position_.store(position);
    std::lock_guard lock(positionMutex_);
    const bool moved = !reportedAny_ || std::llabs(position - lastReported_) > kPositionStep ||
                       (force && position != lastReported_);
    if (moved) {
        reportedAny_ = true;
        lastReported_ = position;
        ring_.PutPosition(position);
    }
}

template <typename Handler, typename... Args>
void TCustomPlayer::DeliverToHandler(const Handler& slot, Args... args) {
    if (!HasHandler(slot)) {
        return;
    }
    Deliver([this, &slot, args...] {
        Handler handler;
        {
            std::lock_guard lock(handlerMutex_);
            handler = slot;
        }
        try {
            if (handler) {
                handler(*this, args...);
            }
        } catch (const std::exception& e) {
            LoggerInstance().Log(this, llError, e.what());
        }
    });
}

void TCustomPlayer::DeliverPosition(std::int64_t pts) {
    DeliverToHandler(onPosition_, pts);
}

void TCustomPlayer::DeliverState(TPlayState state) {
    DeliverToHandler(onState_, state);
}

bool TCustomPlayer::WantsHook() const {
    if (!hook_.load()) {
        return false;
    }
    std::lock_guard lock(handlerMutex_);
    return static_cast<bool>(onHook_);
}

bool TCustomPlayer::CallHook(TBitmap24& bitmap, std::int64_t pts) {
    THookEvent handler;
    {
        std::lock_guard lock(handlerMutex_);
        handler = onHook_;
    }
    if (!handler) {
        return false;
    }
    try {
        handler(*this, bitmap, pts);
        return true;
    } catch (const std::exception& e) {
        LoggerInstance().Log(this, llError, std::string(playermsg::HookError) + e.what());
    } catch (...) {
        LoggerInstance().Log(this, llError,
                             std::string(playermsg::HookError) + playermsg::UnknownError);
    }
    return false;
}
