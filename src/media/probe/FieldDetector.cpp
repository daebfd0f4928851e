#include "FieldDetector.h"

#include "MediaPtr.h"
#include "MediaUtils.h"

#include <cstdlib>
#include <mutex>

namespace {

// The detector's running count under key on an analysed picture.
int CountOf(const AVFrame* frame, const char* key) {
    const std::string value = MetadataValue(frame->metadata, key, "0");
    return std::atoi(value.c_str());
}

class TDetection {
public:
    bool Open(AVFormatContext* context, int streamIndex) {
        const AVStream* stream = context->streams[streamIndex];
        const AVCodec* decoder = fn::avcodec_find_decoder(stream->codecpar->codec_id);
        codec_.reset(fn::avcodec_alloc_context3(decoder));
        if (decoder == nullptr || !codec_ ||
            fn::avcodec_parameters_to_context(codec_.get(), stream->codecpar) < 0) {
            return false;
        }
        codec_->pkt_timebase = stream->time_base;
        // One thread: frame threads would hold pictures back past the few we want.
        codec_->thread_count = 1;
        {
            std::lock_guard lock(CodecLock());
            if (fn::avcodec_open2(codec_.get(), decoder, nullptr) < 0) {
                return false;
            }
        }
        return true;
    }

    // Feeds a decoded picture to the detector, built for the first picture's shape.
    bool Analyse(AVFrame* picture) {
        if (!graph_ && !MakeGraph(picture)) {
            return false;
        }
        if (picture->width != width_ || picture->height != height_ || picture->format != format_) {
            return false; // a change of shape ends the look
        }
        picture->pts = pushed_++;
        return fn::av_buffersrc_add_frame_flags(source_, picture, AV_BUFFERSRC_FLAG_KEEP_REF) >=
                   0 &&
               Drain();
    }

    TFieldDetector::TCounts Finish() {
        if (graph_) {
            fn::av_buffersrc_close(source_, AV_NOPTS_VALUE, 0);
            Drain();
        }
        return counts_;
    }

    AVCodecContext* Codec() const { return codec_.get(); }

private:
    bool MakeGraph(const AVFrame* picture) {
        width_ = picture->width;
        height_ = picture->height;
        format_ = picture->format;
        graph_.reset(fn::avfilter_graph_alloc());
        if (!graph_) {
            return false;
        }
        const AVRational sar =
            picture->sample_aspect_ratio.num > 0 ? picture->sample_aspect_ratio : AVRational{1, 1};
        const std::string args =
            Format("video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=%d/%d", width_, height_,
                   format_, sar.num, sar.den);
        const AVFilter* buffer = fn::avfilter_get_by_name("buffer");
        const AVFilter* sink = fn::avfilter_get_by_name("buffersink");
        return buffer != nullptr && sink != nullptr &&
               fn::avfilter_graph_create_filter(&source_, buffer, "in", args.c_str(), nullptr,
                                                graph_.get()) >= 0 &&
               fn::avfilter_graph_create_filter(&sink_, sink, "out", nullptr, nullptr,
                                                graph_.get()) >= 0 &&
               ParseFilterChain(graph_.get(), "idet", source_, sink_) >= 0 &&
               fn::avfilter_graph_config(graph_.get(), nullptr) >= 0;
    }

    bool Drain() {
        const media::FramePtr out = media::MakeFrame();
        if (!out) {
            return false;
        }
        while (fn::av_buffersink_get_frame(sink_, out.get()) >= 0) {
            // Running totals: the last analysed picture carries them all.
            const int tff = CountOf(out.get(), "lavfi.idet.multiple.tff");
            const int bff = CountOf(out.get(), "lavfi.idet.multiple.bff");
            const int progressive = CountOf(out.get(), "lavfi.idet.multiple.progressive");
            const int undetermined = CountOf(out.get(), "lavfi.idet.multiple.undetermined");
            counts_.Interlaced = tff + bff;
            counts_.Analysed = tff + bff + progressive + undetermined;
            fn::av_frame_unref(out.get());
        }
        return true;
    }

    media::OpenedCodecContextPtr codec_;
    media::FilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr; // owned by graph_
    AVFilterContext* sink_ = nullptr;   // owned by graph_
    int width_ = 0;
    int height_ = 0;
    int format_ = -1;
    std::int64_t pushed_ = 0;
    TFieldDetector::TCounts counts_;
};

} // namespace

TFieldDetector::TCounts TFieldDetector::Count(AVFormatContext* context, int streamIndex,
                                              int pictures) {
    if (context == nullptr || streamIndex < 0 ||
        streamIndex >= static_cast<int>(context->nb_streams) || pictures <= 0 ||
        context->streams[streamIndex]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
        return {};
    }
    // Interlaced formats end at 1080 lines: taller pictures are not worth the seconds their
    // decoding would add to adding the file.
    if (context->streams[streamIndex]->codecpar->height > kTallestInterlaced) {
        return {};
    }
    TDetection detection;
    if (!detection.Open(context, streamIndex)) {
        return {};
    }
    const media::PacketPtr packet = media::MakePacket();
    const media::FramePtr picture = media::MakeFrame();
    if (!packet || !picture) {
        return {};
    }
    AVCodecContext* codec = detection.Codec();
    int decoded = 0;
    bool ended = false;
    // Reads are bounded too: a stream whose packets never decode must not read the whole file.
    for (int reads = 0; decoded < pictures && !ended && reads < pictures * 20; ++reads) {
        const int read = fn::av_read_frame(context, packet.get());
        if (read < 0) {
            fn::avcodec_send_packet(codec, nullptr);
            ended = true;
        } else if (packet->stream_index != streamIndex) {
            fn::av_packet_unref(packet.get());
            continue;
        } else {
            const int sent = fn::avcodec_send_packet(codec, packet.get());
            fn::av_packet_unref(packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN)) {
                continue; // a damaged packet: the next may decode
            }
        }
        while (decoded < pictures && fn::avcodec_receive_frame(codec, picture.get()) >= 0) {
            const bool analysed = detection.Analyse(picture.get());
            fn::av_frame_unref(picture.get());
            if (!analysed) {
                return detection.Finish();
            }
            ++decoded;
        }
    }
    return detection.Finish();
}

bool TFieldDetector::LooksInterlaced(AVFormatContext* context, int streamIndex, int pictures) {
    const TCounts counts = Count(context, streamIndex, pictures);
    return counts.Analysed > 0 && counts.Interlaced * 2 > counts.Analysed;
}
