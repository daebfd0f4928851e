#include "HardwareUpload.h"

#include "FFmpegException.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"

#include <cstring>
#include <mutex>

namespace {

// Enough device pictures for the encoder's look-ahead and the picture kept for repeats.
constexpr int PoolSize = 20;
constexpr int TrialSize = 256;
constexpr int TrialPictures = 4;

bool HardwareFormat(AVPixelFormat format) {
    const AVPixFmtDescriptor* desc = fn::av_pix_fmt_desc_get(format);
    return desc != nullptr && (desc->flags & AV_PIX_FMT_FLAG_HWACCEL) != 0;
}

// Grey picture in memory of the trial's size and format.
media::FramePtr GreyPicture(AVPixelFormat format, int64_t pts) {
    media::FramePtr frame = media::MakeFrame();
    if (!frame) {
        return frame;
    }
    frame->format = format;
    frame->width = TrialSize;
    frame->height = TrialSize;
    if (fn::av_frame_get_buffer(frame.get(), 0) < 0) {
        return nullptr;
    }
    const AVPixFmtDescriptor* desc = fn::av_pix_fmt_desc_get(format);
    for (int plane = 0; plane < 4 && frame->data[plane] != nullptr; ++plane) {
        const int rows = plane == 0 ? TrialSize : TrialSize >> desc->log2_chroma_h;
        // Mid-grey in every component: 0x80 bytes are mid-scale at 8 bits and close to it at
        // 10 bits stored high (P010).
        std::memset(frame->data[plane], 0x80, static_cast<size_t>(frame->linesize[plane]) * rows);
    }
    frame->pts = pts;
    return frame;
}

} // namespace

bool THardwareUpload::Needed(const AVCodec* codec) {
    if (codec == nullptr || codec->pix_fmts == nullptr || codec->pix_fmts[0] == AV_PIX_FMT_NONE) {
        return false;
    }
    for (const AVPixelFormat* format = codec->pix_fmts; *format != AV_PIX_FMT_NONE; ++format) {
        if (!HardwareFormat(*format)) {
            return false;
        }
    }
    return true;
}

AVPixelFormat THardwareUpload::MemoryFormat(AVPixelFormat wanted) {
    const AVPixFmtDescriptor* desc = fn::av_pix_fmt_desc_get(wanted);
    return desc != nullptr && !HardwareFormat(wanted) && desc->comp[0].depth > 8 ? AV_PIX_FMT_P010
                                                                                 : AV_PIX_FMT_NV12;
}

bool THardwareUpload::Open(const std::string& device, AVCodecContext* enc, std::string& why) {
    AVBufferRef* opened = nullptr;
    const int ret = fn::av_hwdevice_ctx_create(
        &opened, AV_HWDEVICE_TYPE_VAAPI, device.empty() ? nullptr : device.c_str(), nullptr, 0);
    device_.reset(opened);
    if (ret < 0 || !device_) {
        why = ErrorText(Format(enginemsg::HardwareDeviceFailed, device.c_str()), ret);
        return false;
    }
    software_ = MemoryFormat(enc->pix_fmt);
    frames_.reset(fn::av_hwframe_ctx_alloc(device_.get()));
    if (!frames_) {
        why = Format(enginemsg::HardwarePoolFailed, enc->width, enc->height);
        return false;
    }
    auto* pool = reinterpret_cast<AVHWFramesContext*>(frames_->data);
    pool->format = AV_PIX_FMT_VAAPI;
    pool->sw_format = software_;
    pool->width = enc->width;
    pool->height = enc->height;
    pool->initial_pool_size = PoolSize;
    const int init = fn::av_hwframe_ctx_init(frames_.get());
    if (init < 0) {
        why = ErrorText(Format(enginemsg::HardwarePoolFailed, enc->width, enc->height), init);
        return false;
    }
    media::BufferRefPtr reference(fn::av_buffer_ref(frames_.get()));
    frame_ = media::MakeFrame();
    if (!reference || !frame_) {
        why = Format(enginemsg::HardwarePoolFailed, enc->width, enc->height);
        return false;
    }
    AVBufferRef* previous = enc->hw_frames_ctx;
    fn::av_buffer_unref(&previous);
    enc->hw_frames_ctx = reference.release();
    enc->pix_fmt = AV_PIX_FMT_VAAPI;
    return true;
}

AVFrame* THardwareUpload::Upload(const AVFrame* picture) {
    fn::av_frame_unref(frame_.get());
    if (fn::av_hwframe_get_buffer(frames_.get(), frame_.get(), 0) < 0 ||
        fn::av_hwframe_transfer_data(frame_.get(), picture, 0) < 0 ||
        fn::av_frame_copy_props(frame_.get(), picture) < 0) {
        fn::av_frame_unref(frame_.get());
        throw FFmpegException(enginemsg::HardwareUploadFailed);
    }
    return frame_.get();
}

bool THardwareUpload::TrialEncode(const std::string& device, const std::string& encoder,
                                  std::string& why) {
    const AVCodec* codec = fn::avcodec_find_encoder_by_name(encoder.c_str());
    if (codec == nullptr) {
        why = Format(enginemsg::HardwareEncoderMissing, encoder.c_str());
        return false;
    }
    media::OpenedCodecContextPtr enc(fn::avcodec_alloc_context3(codec));
    if (!enc) {
        why = Format(enginemsg::HardwareEncoderOpenFailed, encoder.c_str());
        return false;
    }
    enc->width = TrialSize;
    enc->height = TrialSize;
    enc->time_base = AVRational{1, 25};
    enc->framerate = AVRational{25, 1};
    enc->pix_fmt = AV_PIX_FMT_NV12;
    THardwareUpload upload;
    const bool deviceMemory = Needed(codec);
    if (deviceMemory && !upload.Open(device, enc.get(), why)) {
        return false;
    }
    if (!deviceMemory && codec->pix_fmts != nullptr) {
        enc->pix_fmt = codec->pix_fmts[0];
    }
    int ret = 0;
    {
        std::lock_guard lock(CodecLock());
        ret = fn::avcodec_open2(enc.get(), codec, nullptr);
    }
    if (ret < 0) {
        why = ErrorText(Format(enginemsg::HardwareEncoderOpenFailed, encoder.c_str()), ret);
        return false;
    }
    const AVPixelFormat memory = deviceMemory ? upload.SoftwareFormat() : enc->pix_fmt;
    media::PacketPtr packet(fn::av_packet_alloc());
    int packets = 0;
    try {
        for (int i = 0; i <= TrialPictures && packet; ++i) {
            media::FramePtr picture = i < TrialPictures ? GreyPicture(memory, i) : nullptr;
            if (i < TrialPictures && !picture) {
                break;
            }
            const AVFrame* sent = !picture       ? nullptr
                                  : deviceMemory ? upload.Upload(picture.get())
                                                 : picture.get();
            if (fn::avcodec_send_frame(enc.get(), sent) < 0) {
                break;
            }
            while (fn::avcodec_receive_packet(enc.get(), packet.get()) == 0) {
                ++packets;
                fn::av_packet_unref(packet.get());
            }
        }
    } catch (const FFmpegException& error) {
        why = error.what();
        return false;
    }
    if (packets == 0) {
        why = Format(enginemsg::HardwareTrialFailed, encoder.c_str(), TrialPictures);
        return false;
    }
    return true;
}
