#include "SubtitleDecoder.h"

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "PictureSink.h"
#include "PlaybackControl.h"
#include "PlaybackOwner.h"
#include "PlayerMessages.h"

#include <algorithm>

namespace {

// Alpha-blends one palette colour (0xAARRGGBB) over a 32-bit pixel.
void BlendPixel(std::uint8_t* pixel, std::uint32_t colour) {
    const unsigned alpha = colour >> 24;
    if (alpha == 0) {
        return;
    }
    const unsigned rgb[3] = {colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF};
    for (int c = 0; c < 3; ++c) {
        pixel[c] = static_cast<std::uint8_t>((rgb[c] * alpha + pixel[c] * (255 - alpha)) / 255);
    }
}

void BlendRect(const AVSubtitleRect& rect, TSinkPicture& picture, double sx, double sy) {
    if (rect.type != SUBTITLE_BITMAP || rect.data[0] == nullptr || rect.data[1] == nullptr) {
        return;
    }
    const auto* palette = reinterpret_cast<const std::uint32_t*>(rect.data[1]);
    const int x0 = std::max(0, static_cast<int>(rect.x * sx));
    const int y0 = std::max(0, static_cast<int>(rect.y * sy));
    const int x1 = std::min(picture.Width(), static_cast<int>((rect.x + rect.w) * sx));
    const int y1 = std::min(picture.Height(), static_cast<int>((rect.y + rect.h) * sy));
    for (int y = y0; y < y1; ++y) {
        const int srcY = std::clamp(static_cast<int>(y / sy) - rect.y, 0, rect.h - 1);
        const std::uint8_t* src = rect.data[0] + static_cast<ptrdiff_t>(srcY) * rect.linesize[0];
        std::uint8_t* line = picture.ScanLine(y);
        for (int x = x0; x < x1; ++x) {
            const int srcX = std::clamp(static_cast<int>(x / sx) - rect.x, 0, rect.w - 1);
            BlendPixel(line + x * 4, palette[src[srcX]]);
        }
    }
}

} // namespace

TSubtitleDecoder::TSubtitleDecoder(TPlaybackControl& control, IPlaybackOwner& owner)
    : control_(control), owner_(owner), core_(owner) {}

TSubtitleDecoder::~TSubtitleDecoder() {
    Close();
}

bool TSubtitleDecoder::Open(AVFormatContext* context, int streamIndex) {
    if (!core_.OpenCodec(context->streams[streamIndex])) {
        return false;
    }
    streamIndex_ = streamIndex;
    queue_.Flush();
    return core_.Start([this] { Run(); });
}

void TSubtitleDecoder::Close() {
    core_.MarkClosed();
    queue_.Abort();
    {
        std::lock_guard lock(mutex_);
        abort_ = true;
    }
    changed_.notify_all();
    core_.Join();
    for (TSubPicture& entry : pictures_) {
        Free(entry);
    }
    pictures_.clear();
}

void TSubtitleDecoder::Free(TSubPicture& entry) {
    fn::avsubtitle_free(&entry.subtitle);
}

void TSubtitleDecoder::Run() {
    tOnPlaybackThread = true;
    media::PacketPtr packet(fn::av_packet_alloc());
    while (!control_.abortRequest.load()) {
        while (control_.paused.load() && !queue_.Aborted() && !control_.seekRequest.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const TPacketQueue::TResult got = queue_.Get(packet.get(), true);
        if (got == TPacketQueue::TResult::Aborted) {
            break;
        }
        if (got == TPacketQueue::TResult::Flush) {
            fn::avcodec_flush_buffers(core_.Codec());
            std::lock_guard lock(mutex_);
            for (TSubPicture& entry : pictures_) {
                Free(entry);
            }
            pictures_.clear();
            continue;
        }
        TSubPicture entry;
        int got_subtitle = 0;
        const int ret = fn::avcodec_decode_subtitle2(core_.Codec(), &entry.subtitle, &got_subtitle,
                                                     packet.get());
        fn::av_packet_unref(packet.get());
        if (ret < 0 || !got_subtitle) {
            continue;
        }
        if (entry.subtitle.format != 0) {
            Free(entry); // text
            continue;
        }
        entry.pts = entry.subtitle.pts != AV_NOPTS_VALUE
                        ? static_cast<double>(entry.subtitle.pts) / AV_TIME_BASE
                        : 0.0;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return pictures_.size() < kQueueSize || abort_; });
        if (abort_) {
            Free(entry);
            break;
        }
        pictures_.push_back(entry);
    }
}

void TSubtitleDecoder::BlendInto(TSinkPicture& picture, double pts, int videoWidth,
                                 int videoHeight) {
    std::lock_guard lock(mutex_);
    auto ends = [](const TSubPicture& s) { return s.pts + s.subtitle.end_display_time / 1000.0; };
    bool freed = false;
    while (!pictures_.empty()) {
        const bool over =
            pts > ends(pictures_.front()) ||
            (pictures_.size() > 1 &&
             pts > pictures_[1].pts + pictures_[1].subtitle.start_display_time / 1000.0);
        if (!over) {
            break;
        }
        Free(pictures_.front());
        pictures_.pop_front();
        freed = true;
    }
    if (freed) {
        changed_.notify_all();
    }
    if (pictures_.empty() || videoWidth <= 0 || videoHeight <= 0) {
        return;
    }
    const TSubPicture& current = pictures_.front();
    if (pts < current.pts + current.subtitle.start_display_time / 1000.0) {
        return;
    }
    const double sx = static_cast<double>(picture.Width()) / videoWidth;
    const double sy = static_cast<double>(picture.Height()) / videoHeight;
    for (unsigned i = 0; i < current.subtitle.num_rects; ++i) {
        BlendRect(*current.subtitle.rects[i], picture, sx, sy);
    }
}
