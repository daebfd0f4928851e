#include "VideoDecoder.h"

#include "DisplayLayout.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "MediaUtils.h"
#include "PictureOrientation.h"
#include "PlaybackControl.h"
#include "PlaybackOwner.h"
#include "PlayerMessages.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kSyncThreshold = 0.01; // seconds
constexpr double kNoSyncBeyond = 10.0;  // seconds: clocks this far apart are not compared
// Display scaling: the pictures are downscaled or mildly upscaled for a preview.
constexpr int kDisplayScaler = SWS_BILINEAR;

} // namespace

TVideoDecoder::TVideoDecoder(TPlaybackControl& control, IPlaybackOwner& owner)
    : control_(control), owner_(owner), scaler_(kDisplayScaler), core_(owner) {}

TVideoDecoder::~TVideoDecoder() {
    Close();
}

bool TVideoDecoder::Open(AVFormatContext* context, int streamIndex) {
    AVStream* stream = context->streams[streamIndex];
    const bool opened = core_.OpenCodec(stream, [](AVCodecContext& codec) {
        codec.workaround_bugs = 1;
        codec.error_concealment = 3;
        codec.thread_count = 0;
    });
    if (!opened) {
        return false;
    }
    streamIndex_ = streamIndex;
    timeBase_ = stream->time_base;
    // Pictures are shown upright: the stream's turn comes before the player's own filters.
    const TPictureOrientation upright = OrientationOf(stream);
    uprightFilters_ = upright.Filters;
    width_ = upright.SwapsSides() ? core_.Codec()->height : core_.Codec()->width;
    height_ = upright.SwapsSides() ? core_.Codec()->width : core_.Codec()->height;
    const AVRational rate = fn::av_guess_frame_rate(context, stream, nullptr);
    if (rate.num > 0 && rate.den > 0) {
        frameDuration_ = static_cast<double>(rate.den) / rate.num;
    }
    decoded_.reset(fn::av_frame_alloc());
    filtered_.reset(fn::av_frame_alloc());
    FlushQueue();
    return core_.Start([this] { Run(); });
}

void TVideoDecoder::Close() {
    core_.MarkClosed();
    queue_.Abort();
    pictures_.Abort();
    core_.Join();
    pictures_.Clear();
}

void TVideoDecoder::FlushQueue() {
    control_.videoFlushes.fetch_add(1);
    queue_.Flush();
}

// A seek owes a picture until one decoded after its flush is queued; a paused player decodes
// until then, so the new place is shown.
bool TVideoDecoder::SeekPictureOwed() const {
    return control_.seekRequest.load() || lastQueuedSerial_ != control_.videoFlushes.load();
}

bool TVideoDecoder::WaitWhilePaused() {
    while (control_.paused.load() && !queue_.Aborted() && control_.startPausedSteps.load() == 0 &&
           !SeekPictureOwed()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !queue_.Aborted();
}

void TVideoDecoder::Run() {
    tOnPlaybackThread = true;
    media::PacketPtr packet(fn::av_packet_alloc());
    control_.frameTimer.store(PlaybackNow());
    while (!control_.abortRequest.load()) {
        if (!WaitWhilePaused()) {
            break;
        }
        const TPacketQueue::TResult got = queue_.Get(packet.get(), true);
        if (got == TPacketQueue::TResult::Aborted) {
            break;
        }
        if (got == TPacketQueue::TResult::Flush) {
            fn::avcodec_flush_buffers(core_.Codec());
            if (!pictures_.WaitEmpty()) {
                break;
            }
            OnFlush();
            continue;
        }
        const bool drain = packet->data == nullptr;
        const int handed = Decode(drain ? nullptr : packet.get());
        fn::av_packet_unref(packet.get());
        if (handed < 0) {
            break;
        }
        if (drain && handed == 0) {
            if (control_.startPausedSteps.load() > 0) {
                // A file with one picture still ends its paused start.
                control_.startPausedSteps.store(0);
                owner_.ReportState(psPause);
            }
            if (onDrainedEmpty) {
                onDrainedEmpty();
            }
        }
    }
}

void TVideoDecoder::OnFlush() {
    lastPtsSet_ = false;
    lastDelay_ = 0;
    control_.frameTimer.store(PlaybackNow());
    control_.skipFactor.store(1.0);
    skipIndex_ = 0;
    // One Flush may stand for several seeks; counting them would fall behind for good.
    serial_ = queue_.FlushedSerial();
}

int TVideoDecoder::Decode(const AVPacket* packet) {
    int ret = fn::avcodec_send_packet(core_.Codec(), packet);
    if (ret < 0 && ret != AVERROR(EAGAIN) && ret != AVERROR_EOF) {
        return 0; // a damaged packet: the next one may decode
    }
    int handed = 0;
    for (;;) {
        ret = fn::avcodec_receive_frame(core_.Codec(), decoded_.get());
        if (ret == AVERROR_EOF) {
            // Drained: ready for whatever a seek brings.
            fn::avcodec_flush_buffers(core_.Codec());
            return handed;
        }
        if (ret < 0) {
            return handed;
        }
        std::int64_t ts = decoded_->best_effort_timestamp;
        if (control_.settings.reorderPts == 1) {
            ts = decoded_->pts;
        } else if (control_.settings.reorderPts == 0) {
            ts = decoded_->pkt_dts;
        }
        decoded_->pts = ts;
        const bool ok = Filter(decoded_.get());
        fn::av_frame_unref(decoded_.get());
        if (!ok) {
            return -1;
        }
        ++handed;
    }
}

bool TVideoDecoder::Filter(AVFrame* decoded) {
    TPlayerFilterGraph::TInput input;
    input.width = decoded->width;
    input.height = decoded->height;
    input.pixFmt = decoded->format;
    input.timeBase = timeBase_;
    input.sampleAspect = decoded->sample_aspect_ratio;
    if (!filters_.Configured() || !(filters_.Input() == input)) {
        std::string error;
        const std::string& own = control_.settings.videoFilters;
        const std::string chain = uprightFilters_.empty() ? own
                                  : own.empty()           ? uprightFilters_
                                                          : uprightFilters_ + "," + own;
        if (filters_.Configure(input, chain, control_.settings.scalerFlags, error) < 0) {
            // The pictures cannot be filtered: the video thread ends, the sound plays on.
            if (!filterFailed_) {
                filterFailed_ = true;
                LoggerInstance().Log(owner_.LogSender(), llError, error);
            }
            return false;
        }
    }
    if (filters_.Push(decoded) < 0) {
        return true;
    }
    for (;;) {
        if (filters_.Pull(filtered_.get()) < 0) {
            return true;
        }
        const AVRational tb = filters_.OutputTimeBase();
        const double pts = filtered_->pts == AV_NOPTS_VALUE
                               ? std::nan("")
                               : static_cast<double>(filtered_->pts) * tb.num / tb.den;
        const bool keepGoing = HandlePicture(filtered_.get(), pts);
        fn::av_frame_unref(filtered_.get());
        if (!keepGoing) {
            return false;
        }
    }
}

bool TVideoDecoder::HandlePicture(AVFrame* picture, double pts) {
    control_.decoded.fetch_add(1);
    // Late displays raise the skip factor; pictures are then left out before any scaling.
    skipIndex_ += 1;
    const double factor = control_.skipFactor.load();
    if (skipIndex_ < factor) {
        control_.dropped.fetch_add(1);
        return true;
    }
    skipIndex_ -= std::max(factor, 1.0);
    const double repeat = picture->repeat_pict * frameDuration_ * 0.5;
    if (!std::isnan(pts)) {
        control_.decodeClock.store(pts + frameDuration_ + repeat);
    } else {
        pts = control_.decodeClock.load();
        control_.decodeClock.store(pts + frameDuration_ + repeat);
    }
    return QueuePicture(picture, pts);
}

bool TVideoDecoder::QueuePicture(AVFrame* picture, double pts) {
    if (!surfaceOpen_) {
        if (!owner_.OpenSurface(picture->width, picture->height)) {
            owner_.PostQuit();
            return false;
        }
        surfaceOpen_ = true;
    }
    TQueuedPicture* entry = pictures_.WaitWritable([this] {
        if (!control_.refreshPending.load()) {
            control_.skipFactor.store(std::max(control_.skipFactor.load() * 0.95, 0.95));
        }
    });
    if (entry == nullptr) {
        return false;
    }
    if (!entry->frame) {
        entry->frame.reset(fn::av_frame_alloc());
    }
    fn::av_frame_unref(entry->frame.get());
    fn::av_frame_move_ref(entry->frame.get(), picture);
    AVFrame& frame = *entry->frame;
    entry->hookedValid = false;
    if (owner_.WantsHook()) {
        HookPicture(*entry, pts);
    }
    ScaleForDisplay(*entry, frame.width, frame.height, filters_.OutputSampleAspect());
    entry->pts = pts;
    entry->pos = frame.pkt_pos;
    entry->serial = serial_;
    entry->targetClock = TargetClock(pts);
    pictures_.Push();
    AfterQueued();
    return true;
}

void TVideoDecoder::HookPicture(TQueuedPicture& entry, double pts) {
    const AVFrame& frame = *entry.frame;
    if (!hookConverter_.ToBitmap(frame.data, frame.linesize, frame.format, frame.height,
                                 frame.width)) {
        if (!hookFailed_) {
            hookFailed_ = true;
            LoggerInstance().Log(owner_.LogSender(), llError, playermsg::ToRGBFailed);
        }
        return;
    }
    const auto ptsUs =
        static_cast<std::int64_t>(std::llround(pts * 1000000.0)) - control_.startTime;
    if (owner_.CallHook(hookConverter_.Bitmap(), ptsUs)) {
        // The converter keeps the entry's old bitmap for the next picture.
        std::swap(entry.hooked, hookConverter_.Bitmap());
        entry.hookedValid = true;
    }
}

void TVideoDecoder::ScaleForDisplay(TQueuedPicture& entry, int width, int height,
                                    AVRational sampleAspect) {
    int surfaceWidth = 0;
    int surfaceHeight = 0;
    owner_.SurfaceSize(surfaceWidth, surfaceHeight);
    const double aspect =
        display_layout::DisplayAspect(owner_.AspectRatio(), width, height, sampleAspect.num,
                                      sampleAspect.den, surfaceWidth, surfaceHeight);
    entry.rect = display_layout::PictureRect(surfaceWidth, surfaceHeight, aspect);
    entry.shown.reset();
    if (entry.rect.width <= 0 || entry.rect.height <= 0) {
        return;
    }
    entry.shown = pool_.Acquire(entry.rect.width, entry.rect.height);
    const bool scaled = entry.hookedValid ? scaler_.Scale(entry.hooked, *entry.shown)
                                          : scaler_.Scale(*entry.frame, *entry.shown);
    if (!scaled) {
        if (entry.hookedValid) {
            LoggerInstance().Log(owner_.LogSender(), llError, playermsg::FromRGBFailed);
        }
        entry.shown.reset();
    }
}

// When the picture is due: the frame timer advances by the picture's duration, corrected so
// that the picture meets the master clock when another clock leads.
double TVideoDecoder::TargetClock(double pts) {
    double delay = lastPtsSet_ ? pts - lastPts_ : -1;
    if (!(delay > 0 && delay < 10)) {
        delay = lastDelay_;
    } else {
        lastDelay_ = delay;
    }
    if (!lastPtsSet_) {
        // The first picture after opening or seeking starts the timer: time spent waiting
        // for the first packet must not make the pictures late.
        control_.frameTimer.store(PlaybackNow());
    }
    lastPts_ = pts;
    lastPtsSet_ = true;
    const bool follow = control_.Master() != TSyncMaster::Video && !control_.paused.load();
    double timer = control_.frameTimer.load();
    double adjusted = delay;
    for (;;) {
        adjusted = delay;
        if (follow) {
            const double now = PlaybackNow();
            const double master = control_.MasterClock(now);
            if (!std::isnan(master)) {
                // How early the picture would be if shown at the plain frame time.
                const double diff = pts - (master + (timer + delay - now));
                if (std::fabs(diff) < kNoSyncBeyond && std::fabs(diff) >= kSyncThreshold) {
                    adjusted = std::clamp(delay + diff, 0.0, 2 * delay);
                }
            }
        }
        // Resume may move the timer meanwhile: its shift must not be lost.
        if (control_.frameTimer.compare_exchange_weak(timer, timer + adjusted)) {
            break;
        }
    }
    return timer + adjusted;
}

void TVideoDecoder::AfterQueued() {
    lastQueuedSerial_ = serial_;
    control_.pictureReady.Set();
    control_.endReported.store(false);
    if (control_.startPausedSteps.load() > 0 && ++stepPictures_ >= 2) {
        // Reported once the first picture is on screen.
        pictures_.WaitAtMost(1);
        control_.startPausedSteps.store(0);
        owner_.ReportState(psPause);
    }
}
