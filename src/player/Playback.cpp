#include "Playback.h"

#include "DisplayLayout.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "LoopQueue.h"
#include "MainThread.h"
#include "MediaFile.h"
#include "MediaUtils.h"
#include "PlaybackOwner.h"
#include "PlayerMessages.h"
#include "RGBConverter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr std::int64_t kMaxQueuedBytes = 0xF00000; // 15 MiB over all queues
constexpr std::int64_t kEnoughAudioBytes = 327680;
constexpr int kEnoughPackets = 5;
constexpr int kRefreshMs = 5;
constexpr int kWaveformRefreshMs = 20;
constexpr double kLateDropSeconds = 0.5;
constexpr double kDriftSettleSeconds = 1.0;
constexpr double kFirstPictureWaitSeconds = 1.0;

int Interrupted(void* opaque) {
    return static_cast<const TPlaybackControl*>(opaque)->abortRequest.load() ? 1 : 0;
}

bool IsCaptureFormat(const char* name) {
    return std::strcmp(name, "vfwcap") == 0 || std::strcmp(name, "vfwcapture") == 0 ||
           std::strcmp(name, "video4linux2,v4l2") == 0;
}

} // namespace

TPlayback::TPlayback(const TPlaybackSettings& settings, IPlaybackOwner& owner)
    : control_(settings), owner_(owner), audio_(control_, owner, ring_), video_(control_, owner),
      subtitles_(control_, owner), relayoutScaler_(SWS_BILINEAR) {
    // Local files cannot pause their reading; Resume then keeps the picture's clock.
    control_.readPauseResult.store(AVERROR(ENOSYS));
}

TPlayback::~TPlayback() {
    Close();
    CloseComponents();
    TMediaFile::CloseInput(&context_);
}

std::int64_t TPlayback::ReportedDuration() const {
    return control_.imageSequence ? 0 : control_.duration;
}

bool TPlayback::Open(std::string& errorText) {
    if (control_.settings.startPaused) {
        control_.paused.store(true);
        control_.startPausedSteps.store(1);
    }
    try {
        demux_ = std::thread([this] { ReadThread(); });
    } catch (const std::system_error&) {
        errorText = playermsg::CreateThreadFailed;
        LoggerInstance().Log(owner_.LogSender(), llError, errorText);
        return false;
    }
    opened_.Wait(); // the reading thread never waits for this one
    if (status_.load() == 1) {
        visualising_ = !HasVideo() && HasAudio() && !control_.settings.disableDisplay;
        audio_.SetVisualising(visualising_);
        return true;
    }
    demux_.join();
    errorText = errorText_;
    return false;
}

void TPlayback::Start(TLoopQueue& loop) {
    // The play thread may close the file at any time from now on.
    std::lock_guard lock(closeMutex_);
    if (closed_) {
        return;
    }
    const double now = PlaybackNow();
    driftFrom_.store(now + kDriftSettleSeconds);
    if (HasVideo()) {
        // The sound waits for the first picture, so the first pictures are not late from the
        // start; it starts anyway when no picture comes.
        soundDeadline_.store(now + kFirstPictureWaitSeconds);
    } else {
        StartSound();
    }
    refresh_ = std::thread([this, &loop] { RefreshThread(loop); });
    started_.Set();
}

void TPlayback::StartSound() {
    if (!soundStarted_.exchange(true)) {
        audio_.Start();
    }
}

void TPlayback::Close() {
    std::lock_guard lock(closeMutex_);
    if (closed_) {
        return;
    }
    closed_ = true;
    control_.abortRequest.store(true);
    aborted_.Set();
    started_.Set();
    audio_.Queue().Abort();
    video_.Queue().Abort();
    video_.Pictures().Abort();
    subtitles_.Queue().Abort();
    if (demux_.joinable()) {
        demux_.join();
    }
    if (refresh_.joinable()) {
        refresh_.join();
    }
    CloseComponents();
}

void TPlayback::CloseComponents() {
    audio_.Close();
    video_.Close();
    subtitles_.Close();
}

void TPlayback::Nap(int milliseconds) {
    aborted_.WaitFor(std::chrono::milliseconds(milliseconds));
}

void TPlayback::RefreshThread(TLoopQueue& loop) {
    tOnPlaybackThread = true;
    while (!control_.abortRequest.load()) {
        Nap(visualising_ ? kWaveformRefreshMs : kRefreshMs);
        if (control_.abortRequest.load()) {
            break;
        }
        if (!control_.refreshPending.exchange(true)) {
            loop.Post(TLoopQueue::TType::Refresh);
        }
    }
}

// ---- demux thread ----

void TPlayback::ReadThread() {
    tOnPlaybackThread = true;
    if (!OpenFile(errorText_)) {
        CloseComponents();
        status_.store(-1);
        opened_.Set();
        status_.store(-2);
        return;
    }
    status_.store(1);
    opened_.Set();
    started_.Wait();
    ReadLoop();
    while (!control_.abortRequest.load()) {
        Nap(100);
    }
    CloseComponents();
}

bool TPlayback::OpenFile(std::string& errorText) {
    const TPlaybackSettings& s = control_.settings;
    context_ = fn::avformat_alloc_context();
    if (context_ == nullptr) {
        errorText = playermsg::MallocFailed;
        LoggerInstance().Log(owner_.LogSender(), llError, errorText);
        return false;
    }
    context_->interrupt_callback.callback = &Interrupted;
    context_->interrupt_callback.opaque = &control_;
    media::Dictionary options;
    if (s.frameWidth > 0 && s.frameHeight > 0) {
        fn::av_dict_set(options.Slot(), "video_size",
                        Format("%dx%d", s.frameWidth, s.frameHeight).c_str(), 0);
    }
    const AVInputFormat* forced =
        s.forcedFormat.empty() ? nullptr : fn::av_find_input_format(s.forcedFormat.c_str());
    int ret = TMediaFile::OpenInput(&context_, s.fileName, forced, options.Slot());
    if (ret < 0) {
        errorText = ErrorText(s.fileName, ret);
        return false;
    }
    if (s.generatePts) {
        context_->flags |= AVFMT_FLAG_GENPTS;
    }
    {
        std::lock_guard lock(CodecLock());
        ret = fn::avformat_find_stream_info(context_, nullptr);
    }
    if (ret < 0) {
        errorText = Format(playermsg::NoCodecParameters, s.fileName.c_str());
        return false;
    }
    if (context_->pb != nullptr) {
        context_->pb->eof_reached = 0;
    }
    const char* formatName = context_->iformat->name;
    control_.imageSequence = std::strcmp(formatName, "image2") == 0;
    control_.captureDevice = IsCaptureFormat(formatName);
    control_.startTime = context_->start_time != AV_NOPTS_VALUE ? context_->start_time : 0;
    control_.duration = context_->duration != AV_NOPTS_VALUE ? context_->duration : -1;

    for (unsigned i = 0; i < context_->nb_streams; ++i) {
        context_->streams[i]->discard = AVDISCARD_ALL;
    }
    int videoIndex = -1;
    if (!s.disableVideo) {
        videoIndex = ChooseStream(AVMEDIA_TYPE_VIDEO, s.wantedStream[0], -1);
    }
    if (!s.disableAudio) {
        const int audioIndex = ChooseStream(AVMEDIA_TYPE_AUDIO, s.wantedStream[1], videoIndex);
        if (audioIndex >= 0) {
            context_->streams[audioIndex]->discard = AVDISCARD_DEFAULT;
            if (!audio_.Open(context_, audioIndex)) {
                context_->streams[audioIndex]->discard = AVDISCARD_ALL;
            }
        }
    }
    if (videoIndex >= 0) {
        context_->streams[videoIndex]->discard = AVDISCARD_DEFAULT;
        video_.onDrainedEmpty = [this] {
            videoDrained_.store(true);
            UpdatePosition(PlaybackNow());
            // A seek that lands past the last picture has nothing more to show.
            if (!control_.seekRequest.load() && video_.Pictures().Size() == 0) {
                owner_.SeekFinished();
            }
        };
        if (!video_.Open(context_, videoIndex)) {
            context_->streams[videoIndex]->discard = AVDISCARD_ALL;
        }
        const int subtitleIndex =
            ChooseStream(AVMEDIA_TYPE_SUBTITLE, s.wantedStream[2], videoIndex);
        if (subtitleIndex >= 0) {
            context_->streams[subtitleIndex]->discard = AVDISCARD_DEFAULT;
            if (!subtitles_.Open(context_, subtitleIndex)) {
                context_->streams[subtitleIndex]->discard = AVDISCARD_ALL;
            }
        }
    }
    control_.hasAudio = audio_.IsOpen();
    control_.hasVideo = video_.IsOpen();
    if (!control_.hasAudio && !control_.hasVideo) {
        errorText = Format(playermsg::NoStreamToPlay, s.fileName.c_str());
        return false;
    }
    return true;
}

// The wanted stream is the n-th of its type; otherwise the libraries' best choice.
int TPlayback::ChooseStream(int mediaType, int wantedNth, int related) const {
    int wanted = -1;
    if (wantedNth >= 0) {
        int count = 0;
        for (unsigned i = 0; i < context_->nb_streams; ++i) {
            if (context_->streams[i]->codecpar->codec_type == mediaType && count++ == wantedNth) {
                wanted = static_cast<int>(i);
                break;
            }
        }
    }
    const int index = fn::av_find_best_stream(context_, static_cast<AVMediaType>(mediaType), wanted,
                                              related, nullptr, 0);
    return index >= 0 ? index : -1;
}

bool TPlayback::HasEnoughQueued() {
    const std::int64_t total =
        audio_.Queue().Size() + video_.Queue().Size() + subtitles_.Queue().Size();
    if (total > kMaxQueuedBytes) {
        return true;
    }
    const bool audioEnough = !audio_.IsOpen() || audio_.Queue().Size() > kEnoughAudioBytes;
    const bool videoEnough = !video_.IsOpen() || video_.Queue().Count() > kEnoughPackets;
    const bool subtitlesEnough =
        !subtitles_.IsOpen() || subtitles_.Queue().Count() > kEnoughPackets;
    return audioEnough && videoEnough && subtitlesEnough;
}

bool TPlayback::AllQueuesEmpty() {
    return audio_.Queue().Empty() && video_.Queue().Empty() && subtitles_.Queue().Empty();
}

void TPlayback::ReadLoop() {
    media::PacketPtr packet(fn::av_packet_alloc());
    bool pending = false; // a packet its queue had no room for
    bool lastPaused = false;
    while (!control_.abortRequest.load()) {
        const bool paused = control_.paused.load();
        if (paused != lastPaused) {
            lastPaused = paused;
            if (paused) {
                control_.readPauseResult.store(fn::av_read_pause(context_));
            } else {
                fn::av_read_play(context_);
            }
        }
        if (control_.seekRequest.load()) {
            PerformSeek();
            if (pending) {
                fn::av_packet_unref(packet.get());
                pending = false;
            }
        }
        if (pending) {
            TPacketQueue* queue = packet->stream_index == audio_.StreamIndex() ? &audio_.Queue()
                                  : packet->stream_index == video_.StreamIndex()
                                      ? &video_.Queue()
                                      : &subtitles_.Queue();
            if (!queue->Put(packet.get())) {
                Nap(10);
                continue;
            }
            pending = false;
        }
        if (HasEnoughQueued()) {
            Nap(10);
            continue;
        }
        if (control_.endOfFile.load()) {
            AtEndOfFile();
            continue;
        }
        if (!ReadOnePacket(packet.get())) {
            break;
        }
        if (packet->data == nullptr && packet->size == 0 && packet->side_data_elems == 0) {
            continue;
        }
        TPacketQueue* queue = nullptr;
        if (packet->stream_index == audio_.StreamIndex() && audio_.IsOpen()) {
            queue = &audio_.Queue();
        } else if (packet->stream_index == video_.StreamIndex() && video_.IsOpen()) {
            queue = &video_.Queue();
        } else if (packet->stream_index == subtitles_.StreamIndex() && subtitles_.IsOpen()) {
            queue = &subtitles_.Queue();
        }
        if (queue == nullptr) {
            fn::av_packet_unref(packet.get());
        } else if (!queue->Put(packet.get())) {
            pending = true;
        }
    }
    if (pending) {
        fn::av_packet_unref(packet.get());
    }
}

void TPlayback::AtEndOfFile() {
    if (video_.IsOpen() && video_.Queue().Empty()) {
        video_.Queue().PutEmpty(video_.StreamIndex());
    }
    control_.pictureReady.Set();
    Nap(10);
    if (AllQueuesEmpty()) {
        control_.queuesRanEmpty.store(true);
    }
}

// False when reading must end (the byte reader failed).
bool TPlayback::ReadOnePacket(AVPacket* packet) {
    control_.reading.store(true);
    const int ret = fn::av_read_frame(context_, packet);
    control_.reading.store(false);
    if (ret >= 0) {
        return true;
    }
    fn::av_packet_unref(packet);
    if (ret == AVERROR(EAGAIN)) {
        Nap(10);
        return true;
    }
    control_.pictureReady.Set();
    const bool atEnd =
        ret == AVERROR_EOF || (context_->pb != nullptr && fn::avio_feof(context_->pb));
    if (!control_.imageSequence && !control_.endOfFile.load() && !control_.abortRequest.load()) {
        control_.endOfFile.store(true);
        const std::string& name = control_.settings.fileName;
        if (atEnd) {
            LoggerInstance().LogFmt(owner_.LogSender(), llInfo, playermsg::EndOfFile, name.c_str());
        } else {
            LoggerInstance().LogFmt(owner_.LogSender(), llError, playermsg::ReadError, ret,
                                    name.c_str());
        }
    }
    control_.endOfFile.store(true);
    if (atEnd) {
        return true;
    }
    if (context_->pb != nullptr && context_->pb->error != 0) {
        return false;
    }
    Nap(100);
    return true;
}

void TPlayback::PerformSeek() {
    const std::int64_t target = control_.seekPosition.load();
    const std::int64_t relative = control_.seekRelative.load();
    const int flags = control_.seekFlags.load();
    const std::int64_t lowest = relative > 0 ? target - relative + 2 : INT64_MIN;
    const std::int64_t highest = relative < 0 ? target - relative - 2 : INT64_MAX;
    int ret = fn::avformat_seek_file(context_, -1, lowest, target, highest, flags);
    if (ret < 0) {
        ret = fn::av_seek_frame(context_, -1, target, flags);
    }
    if (ret < 0) {
        ret = fn::av_seek_frame(context_, -1, target, flags ^ AVSEEK_FLAG_BACKWARD);
    }
    if (ret < 0) {
        LoggerInstance().LogFmt(owner_.LogSender(), llError, playermsg::SeekFailed,
                                control_.settings.fileName.c_str());
        control_.pictureReady.Set();
    } else {
        if (audio_.IsOpen()) {
            audio_.Queue().Flush();
        }
        if (subtitles_.IsOpen()) {
            subtitles_.Queue().Flush();
        }
        if (video_.IsOpen()) {
            control_.pictureReady.Reset();
            video_.FlushQueue();
        }
    }
    control_.endOfFile.store(false);
    control_.queuesRanEmpty.store(false);
    videoDrained_.store(false);
    driftFrom_.store(PlaybackNow() + kDriftSettleSeconds);
    control_.seekRequest.store(false);
    control_.seekDone.Set();
    if (!video_.IsOpen() || ret < 0) {
        owner_.SeekFinished();
    }
}

// ---- play thread ----

TPictureRect TPlayback::LayoutFor(int width, int height, AVRational sampleAspect) const {
    int surfaceWidth = 0;
    int surfaceHeight = 0;
    owner_.SurfaceSize(surfaceWidth, surfaceHeight);
    const double aspect =
        display_layout::DisplayAspect(owner_.AspectRatio(), width, height, sampleAspect.num,
                                      sampleAspect.den, surfaceWidth, surfaceHeight);
    return display_layout::PictureRect(surfaceWidth, surfaceHeight, aspect);
}

void TPlayback::Refresh(bool expose) {
    if (!soundStarted_.load() && PlaybackNow() > soundDeadline_.load()) {
        StartSound();
    }
    if (video_.IsOpen()) {
        RefreshVideo(expose);
    } else if (audio_.IsOpen()) {
        if (visualising_) {
            ShowWaveform();
        }
        UpdatePosition(PlaybackNow());
    }
    CheckEnd();
    if (!expose) {
        control_.refreshPending.store(false);
    }
}

void TPlayback::RefreshVideo(bool expose) {
    TPictureQueue& queue = video_.Pictures();
    bool droppedAny = false;
    for (;;) {
        TQueuedPicture* picture = queue.Peek(0);
        if (picture == nullptr) {
            if (expose) {
                Redraw();
            }
            return;
        }
        const double now = PlaybackNow();
        // Decoded before the latest seek: dropped until the first picture after it arrives.
        const bool stale = picture->serial != control_.videoFlushes.load();
        if (!stale) {
            // Paused, only the first picture after opening or seeking is shown.
            const bool held = control_.paused.load() && picture->serial == lastShownSerial_;
            if (held || now < picture->targetClock) {
                if (expose) {
                    Redraw();
                }
                return;
            }
            control_.currentPts.store(picture->pts);
            control_.currentPtsDrift.store(picture->pts - now);
            control_.driftSet.store(true);
        }
        const TQueuedPicture* next = queue.Peek(1);
        const double nextTarget =
            next != nullptr ? next->targetClock : picture->targetClock + video_.FrameDuration();
        if (control_.settings.frameDrop && !control_.captureDevice && (now > nextTarget || stale)) {
            control_.skipFactor.store(control_.skipFactor.load() * 1.05);
            if (queue.Size() > 1 || now > nextTarget + kLateDropSeconds || stale) {
                control_.dropped.fetch_add(1);
                queue.Pop();
                droppedAny = true;
                continue;
            }
        }
        ShowPicture(*picture, now);
        lastShownSerial_ = picture->serial;
        // A seek waits until its first picture is on screen.
        if (!control_.seekRequest.load() && picture->serial == control_.videoFlushes.load()) {
            owner_.SeekFinished();
        }
        queue.Pop();
        if (!droppedAny) {
            UpdatePosition(now);
        }
        return;
    }
}

void TPlayback::ShowPicture(TQueuedPicture& picture, double now) {
    const AVFrame& frame = *picture.frame;
    const TPictureRect rect = LayoutFor(frame.width, frame.height, frame.sample_aspect_ratio);
    if (!(rect == picture.rect) || !picture.shown) {
        // The surface or the aspect changed since the picture was scaled.
        picture.rect = rect;
        picture.shown.reset();
        if (rect.width > 0 && rect.height > 0) {
            picture.shown = video_.Pool().Acquire(rect.width, rect.height);
            const bool ok = picture.hookedValid
                                ? relayoutScaler_.Scale(picture.hooked, *picture.shown)
                                : relayoutScaler_.Scale(frame, *picture.shown);
            if (!ok) {
                picture.shown.reset();
            }
        }
    }
    if (picture.shown) {
        if (subtitles_.IsOpen()) {
            subtitles_.BlendInto(*picture.shown, picture.pts, frame.width, frame.height);
        }
        picture.shown->pts =
            static_cast<std::int64_t>(std::llround(picture.pts * 1000000.0)) - control_.startTime;
        if (IPictureSink* sink = owner_.Sink()) {
            sink->ShowPicture(picture.shown, rect);
        }
        control_.shown.fetch_add(1);
        NoteDrift(picture.pts, now);
        StartSound();
    }
    std::lock_guard lock(displayedMutex_);
    std::swap(displayedFrame_, picture.frame);
    std::swap(displayedHooked_, picture.hooked);
    displayedHookedValid_ = picture.hookedValid;
    displayedPts_ = picture.pts;
    displayedShown_ = picture.shown;
    displayedRect_ = rect;
}

void TPlayback::NoteDrift(double pts, double now) {
    if (!audio_.IsOpen() || control_.paused.load() || now < driftFrom_.load()) {
        return;
    }
    const double audio = control_.AudioClock(now);
    if (std::isnan(audio)) {
        return;
    }
    const double drift = std::fabs(pts - audio) * 1000.0;
    std::lock_guard lock(control_.driftMutex);
    control_.driftMax = std::max(control_.driftMax, drift);
    control_.driftSum += drift;
    ++control_.driftCount;
}

void TPlayback::ShowWaveform() {
    int width = 0;
    int height = 0;
    owner_.SurfaceSize(width, height);
    IPictureSink* sink = owner_.Sink();
    if (sink == nullptr || width <= 0 || height <= 0) {
        return;
    }
    std::shared_ptr<TSinkPicture> picture = waveformPool_.Acquire(width, height);
    const double sinceCallback = PlaybackNow() - audio_.LastCallbackTime();
    const int buffered = audio_.HardwareBufferBytes() / (2 * audio_.Channels()) -
                         static_cast<int>(sinceCallback * audio_.SampleRate());
    waveform::Draw(ring_, audio_.Channels(), std::max(buffered, 0), *picture);
    sink->ShowPicture(picture, TPictureRect{0, 0, width, height});
}

void TPlayback::UpdatePosition(double now) {
    const double clock = video_.IsOpen() ? control_.VideoClock(now) : control_.AudioClock(now);
    if (std::isnan(clock)) {
        return;
    }
    std::int64_t position = std::llround(clock * 1000000.0) - control_.startTime;
    const std::int64_t duration = control_.duration;
    if (!video_.IsOpen() && audio_.StreamDuration() > 0 && position >= audio_.StreamDuration() &&
        duration > position) {
        position = duration;
    }
    bool force = false;
    // Once the end is reported the position stays there until a seek.
    if (duration > 0 && (position >= duration || control_.endReported.load())) {
        position = duration;
        force = true;
    }
    owner_.NewPosition(position, force);
}

void TPlayback::CheckEnd() {
    if (!control_.queuesRanEmpty.load() || control_.endReported.load() || control_.captureDevice) {
        return;
    }
    if (video_.IsOpen() && (!videoDrained_.load() || video_.Pictures().Size() > 0)) {
        return;
    }
    control_.endReported.store(true);
    if (control_.duration > 0) {
        owner_.NewPosition(control_.duration, true);
    }
    owner_.ReportState(psEnd);
}

void TPlayback::Redraw() {
    if (IPictureSink* sink = owner_.Sink()) {
        sink->Redraw();
    }
}

void TPlayback::Relayout() {
    if (!video_.IsOpen()) {
        return; // the waveform follows the surface at its next refresh
    }
    std::shared_ptr<TSinkPicture> shown;
    TPictureRect rect;
    {
        std::lock_guard lock(displayedMutex_);
        if (!displayedFrame_ && !displayedHookedValid_) {
            return;
        }
        const AVFrame* frame = displayedFrame_.get();
        const int width = displayedHookedValid_ ? displayedHooked_.Width() : frame->width;
        const int height = displayedHookedValid_ ? displayedHooked_.Height() : frame->height;
        const AVRational sar = frame != nullptr ? frame->sample_aspect_ratio : AVRational{0, 1};
        rect = LayoutFor(width, height, sar);
        if (rect == displayedRect_ || rect.width <= 0 || rect.height <= 0) {
            return;
        }
        shown = video_.Pool().Acquire(rect.width, rect.height);
        const bool ok = displayedHookedValid_ ? relayoutScaler_.Scale(displayedHooked_, *shown)
                                              : relayoutScaler_.Scale(*frame, *shown);
        if (!ok) {
            return;
        }
        shown->pts = displayedShown_ ? displayedShown_->pts : -1;
        displayedShown_ = shown;
        displayedRect_ = rect;
    }
    if (IPictureSink* sink = owner_.Sink()) {
        sink->ShowPicture(shown, rect);
    }
}

// ---- main thread ----

namespace {

// Waits up to timeout for event; plainly, since the playback's threads never wait for the
// main thread.
void WaitFor(TEvent& event, std::chrono::milliseconds timeout) {
    event.WaitFor(timeout);
}

} // namespace

void TPlayback::TogglePause() {
    WaitFor(control_.seekDone, std::chrono::milliseconds(250));
    control_.seekDone.Set();
    const double now = PlaybackNow();
    if (control_.paused.load()) {
        control_.frameTimer.fetch_add(now + control_.currentPtsDrift.load() -
                                      control_.currentPts.load());
        if (control_.readPauseResult.load() != AVERROR(ENOSYS)) {
            control_.currentPts.store(control_.currentPtsDrift.load() + now);
        }
        control_.currentPtsDrift.store(control_.currentPts.load() - now);
        audio_.Pause(false);
        return;
    }
    if (video_.IsOpen()) {
        WaitFor(control_.pictureReady, std::chrono::milliseconds(250));
        control_.pictureReady.Set();
    }
    audio_.Pause(true);
}

void TPlayback::RequestSeek(std::int64_t target, std::int64_t relative, int flags) {
    control_.seekPosition.store(target);
    control_.seekRelative.store(relative);
    control_.seekFlags.store(flags);
    control_.seekDone.Reset();
    control_.seekRequest.store(true);
}

void TPlayback::CurrentBitmap(TBitmap24& bitmap, TRGBConverter& converter, std::int64_t& pts) {
    pts = -1;
    if (!video_.IsOpen()) {
        bitmap.Resize(0, 0);
        return;
    }
    std::lock_guard lock(displayedMutex_);
    if (displayedHookedValid_) {
        bitmap = displayedHooked_;
    } else if (displayedFrame_) {
        const AVFrame& f = *displayedFrame_;
        if (!converter.ToBitmap(f.data, f.linesize, f.format, f.height, f.width)) {
            bitmap.Resize(0, 0);
            return;
        }
        bitmap = converter.Bitmap();
    } else {
        bitmap.Resize(video_.Width(), video_.Height());
        std::fill_n(bitmap.Bits(), static_cast<size_t>(bitmap.Stride()) * bitmap.Height(), 0);
        return;
    }
    pts = std::llround(displayedPts_ * 1000000.0) - control_.startTime;
}

TPlayerStatistics TPlayback::Statistics() {
    TPlayerStatistics s;
    s.decoded = control_.decoded.load();
    s.shown = control_.shown.load();
    s.dropped = control_.dropped.load();
    s.deviceStalls = control_.deviceStalls.load();
    std::lock_guard lock(control_.driftMutex);
    s.driftSamples = control_.driftCount;
    s.driftMaxMs = control_.driftMax;
    s.driftMeanMs = control_.driftCount > 0 ? control_.driftSum / control_.driftCount : 0;
    return s;
}
