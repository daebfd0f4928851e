#pragma once

// Owning handles for library objects; every deleter calls through the loaded entry points.

#include "FFmpegLoader.h"
#include "LibraryFunctions.h"
#include "MediaFile.h"

#include <memory>
#include <mutex>

namespace media {

struct FrameDeleter {
    void operator()(AVFrame* f) const { fn::av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { fn::av_packet_free(&p); }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { fn::avcodec_free_context(&c); }
};
struct CodecParametersDeleter {
    void operator()(AVCodecParameters* p) const { fn::avcodec_parameters_free(&p); }
};
struct FormatContextDeleter {
    void operator()(AVFormatContext* c) const { fn::avformat_free_context(c); }
};
// For a context opened by avformat_open_input: closes its byte stream too.
struct InputContextDeleter {
    void operator()(AVFormatContext* c) const { fn::avformat_close_input(&c); }
};
struct SwsDeleter {
    void operator()(SwsContext* c) const { fn::sws_freeContext(c); }
};
struct SwrDeleter {
    void operator()(SwrContext* c) const { fn::swr_free(&c); }
};
struct FilterGraphDeleter {
    void operator()(AVFilterGraph* g) const { fn::avfilter_graph_free(&g); }
};
struct FilterInOutDeleter {
    void operator()(AVFilterInOut* io) const { fn::avfilter_inout_free(&io); }
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo* f) const { fn::av_audio_fifo_free(f); }
};
struct BsfDeleter {
    void operator()(AVBSFContext* b) const { fn::av_bsf_free(&b); }
};
struct ParserDeleter {
    void operator()(AVCodecParserContext* p) const { fn::av_parser_close(p); }
};
struct AvFreeDeleter {
    void operator()(void* p) const { fn::av_free(p); }
};
// An input opened with TMediaFile::OpenInput, closed together with its byte stream (which may
// be one of TMediaFile's own).
struct MediaFileInputDeleter {
    void operator()(AVFormatContext* c) const { TMediaFile::CloseInput(&c); }
};
// An output context: the byte stream it opened is closed before the context is freed.
struct OutputContextDeleter {
    void operator()(AVFormatContext* c) const {
        if (c->oformat != nullptr && !(c->oformat->flags & AVFMT_NOFILE)) {
            TMediaFile::CloseOutput(c);
        }
        fn::avformat_free_context(c);
    }
};
// Decoders and encoders are opened and closed under the codec lock; the libraries leave the
// two-pass statistics input to their caller.
struct OpenedCodecContextDeleter {
    void operator()(AVCodecContext* c) const {
        fn::av_freep(&c->stats_in);
        std::lock_guard lock(CodecLock());
        fn::avcodec_free_context(&c);
    }
};
// A chapter not yet handed to a context.
struct ChapterDeleter {
    void operator()(AVChapter* c) const {
        fn::av_dict_free(&c->metadata);
        fn::av_free(c);
    }
};
// A reference to a device or a pool of device pictures.
struct BufferRefDeleter {
    void operator()(AVBufferRef* b) const { fn::av_buffer_unref(&b); }
};
struct DictionaryDeleter {
    void operator()(AVDictionary* d) const { fn::av_dict_free(&d); }
};

using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using CodecParametersPtr = std::unique_ptr<AVCodecParameters, CodecParametersDeleter>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextDeleter>;
using MediaFileInputPtr = std::unique_ptr<AVFormatContext, MediaFileInputDeleter>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;
using OpenedCodecContextPtr = std::unique_ptr<AVCodecContext, OpenedCodecContextDeleter>;
using BufferRefPtr = std::unique_ptr<AVBufferRef, BufferRefDeleter>;
using ChapterPtr = std::unique_ptr<AVChapter, ChapterDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;
using FilterInOutPtr = std::unique_ptr<AVFilterInOut, FilterInOutDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;
using BsfPtr = std::unique_ptr<AVBSFContext, BsfDeleter>;
using ParserPtr = std::unique_ptr<AVCodecParserContext, ParserDeleter>;
template <typename T> using AvBuffer = std::unique_ptr<T, AvFreeDeleter>;

// An AVDictionary** slot that frees whatever the libraries leave in it.
class Dictionary {
public:
    Dictionary() = default;
    ~Dictionary() { fn::av_dict_free(&dict_); }
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;
    AVDictionary** Slot() { return &dict_; }
    AVDictionary* Get() const { return dict_; }

private:
    AVDictionary* dict_ = nullptr;
};

inline FramePtr MakeFrame() {
    return FramePtr(fn::av_frame_alloc());
}
inline PacketPtr MakePacket() {
    return PacketPtr(fn::av_packet_alloc());
}

} // namespace media
