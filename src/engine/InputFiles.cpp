// Opening input files with the pending settings.

#include "InputFiles.h"

#include "EngineSettings.h"

#include "FFmpegException.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaFile.h"
#include "MediaUtils.h"
#include "PictureOrientation.h"
#include "UnicodeProtocol.h"

#include <sys/stat.h>

#include <utility>

namespace {

// The demuxer options that carry what the old interface passed as format parameters; only
// demuxers that know them (raw video, raw audio, capture devices) take them.
void FillDemuxerOptions(const TPendingSettings& p, AVDictionary** options) {
    if (p.frame_width > 0 && p.frame_height > 0) {
        fn::av_dict_set(options, "video_size",
                        Format("%dx%d", p.frame_width, p.frame_height).c_str(), 0);
    }
    if (p.frame_rate.num > 0 && p.frame_rate.den > 0) {
        fn::av_dict_set(options, "framerate",
                        Format("%d/%d", p.frame_rate.num, p.frame_rate.den).c_str(), 0);
    }
    if (p.frame_pix_fmt >= 0) {
        if (const char* name = fn::av_get_pix_fmt_name(static_cast<AVPixelFormat>(p.frame_pix_fmt)))
            fn::av_dict_set(options, "pixel_format", name, 0);
    }
    if (p.audio_sample_rate > 0) {
        fn::av_dict_set(options, "sample_rate", std::to_string(p.audio_sample_rate).c_str(), 0);
    }
    if (p.audio_channels > 0) {
        fn::av_dict_set(options, "channels", std::to_string(p.audio_channels).c_str(), 0);
    }
    if (p.video_channel != 0) {
        fn::av_dict_set(options, "channel", std::to_string(p.video_channel).c_str(), 0);
    }
    if (!p.video_standard.empty()) {
        fn::av_dict_set(options, "standard", p.video_standard.c_str(), 0);
    }
    if (p.loop_input) {
        fn::av_dict_set(options, "loop", "1", 0);
    }
}

int StrictOf(const TOptionContexts& ctx, AVMediaType type) {
    const AVCodecContext* c = ctx.CodecOpts(type);
    return c != nullptr ? c->strict_std_compliance : 0;
}

} // namespace

TInputFiles::TInputFiles(const TRunSettings& run, TEngineSettings& settings)
    : pending_(run.pending), switches_(run.switches), contexts_(run.contexts), settings_(settings),
      services_(run.services) {}

AVFormatContext* TInputFiles::Context(int index) const {
    return index >= 0 && index < Count() ? slots_[index].ctx.get() : nullptr;
}

const AVCodec* TInputFiles::ForcedDecoder(int istIndex) const {
    return istIndex >= 0 && istIndex < static_cast<int>(codecs_.size()) ? codecs_[istIndex]
                                                                        : nullptr;
}

void TInputFiles::Clear() {
    slots_.clear();
    codecs_.clear();
}

int TInputFiles::FindInputFile(const std::string& fileName) const {
    struct stat st {};
    // A path that does not exist yet cannot be one of the inputs.
    if (::stat(fileName.c_str(), &st) != 0) {
        return -1;
    }
    for (int i = 0; i < Count(); ++i) {
        const TInputFileSlot& slot = slots_[i];
        if (slot.has_identity && slot.device == static_cast<std::uint64_t>(st.st_dev) &&
            slot.inode == static_cast<std::uint64_t>(st.st_ino)) {
            return i;
        }
    }
    return -1;
}

void TInputFiles::clear_codec_names() {
    settings_.ClearCodecNames();
}

bool TInputFiles::fail(const std::string& text) {
    services_.setLastErrorText(text);
    clear_codec_names();
    return false;
}

bool TInputFiles::opt_input_file(const std::string& fileName, std::int64_t& totalDuration) {
    const AVInputFormat* file_iformat = nullptr;
    if (!pending_.file_format.empty()) {
        file_iformat = fn::av_find_input_format(pending_.file_format.c_str());
        if (file_iformat == nullptr) {
            throw FFmpegException(
                Format(enginemsg::UnknownInputFormat, pending_.file_format.c_str()));
        }
        settings_.ClearFileFormat();
    }
    if (Count() >= MaxFiles) {
        return fail(Format(enginemsg::TooManyInputFiles, MaxFiles));
    }
    media::FormatContextPtr ic(fn::avformat_alloc_context());
    if (!ic) {
        throw FFmpegException(enginemsg::AllocContextFailed);
    }
    media::Dictionary params;
    FillDemuxerOptions(pending_, params.Slot());
    contexts_.ApplyContextOptions(ic.get(), contexts_.FormatOpts(), AV_OPT_FLAG_DECODING_PARAM);
    TForced forced{};
    if (!find_forced_decoders(forced)) {
        clear_codec_names();
        return false;
    }
    force_decoders(ic.get(), forced);

    // OpenInput frees the context when it fails.
    AVFormatContext* opening = ic.release();
    const int err = TMediaFile::OpenInput(&opening, fileName, file_iformat, params.Slot());
    media::MediaFileInputPtr opened(opening);
    if (err < 0) {
        return fail(ErrorText(fileName, err));
    }
    AVFormatContext* ctx = opened.get();
    if (!select_program(ctx)) {
        return fail(enginemsg::ProgramIdNotFound);
    }
    int ret;
    {
        std::lock_guard lock(CodecLock());
        ret = fn::avformat_find_stream_info(ctx, nullptr);
    }
    if (ret < 0 && switches_.verbose >= 0) {
        const std::string text = Format(enginemsg::NoCodecParameters, fileName.c_str());
        services_.setLastErrorText(text);
        LoggerInstance().Log(services_.sender, llVerbose, text);
        clear_codec_names();
        return false;
    }
    std::int64_t timestamp = 0;
    if (!seek_to_start(ctx, fileName, timestamp)) {
        return false;
    }

    TInputFileSlot slot;
    slot.file_name = fileName;
    std::vector<const AVCodec*> codecs; // forced decoders, appended once the file is taken
    add_streams(ctx, slot, forced, codecs);
    if (ctx->duration != AV_NOPTS_VALUE && ctx->duration > totalDuration) {
        totalDuration = ctx->duration;
    }
    slot.ctx = std::move(opened);
    take_file(std::move(slot), timestamp, codecs);
    return true;
}

bool TInputFiles::find_forced_decoders(TForced& forced) {
    return services_.findCodec(pending_.video_codec_name, AVMEDIA_TYPE_VIDEO, false,
                               StrictOf(contexts_, AVMEDIA_TYPE_VIDEO), forced[0]) &&
           services_.findCodec(pending_.audio_codec_name, AVMEDIA_TYPE_AUDIO, false,
                               StrictOf(contexts_, AVMEDIA_TYPE_AUDIO), forced[1]) &&
           services_.findCodec(pending_.subtitle_codec_name, AVMEDIA_TYPE_SUBTITLE, false,
                               StrictOf(contexts_, AVMEDIA_TYPE_SUBTITLE), forced[2]);
}

void TInputFiles::force_decoders(AVFormatContext* ctx, const TForced& forced) const {
    if (forced[0] != nullptr) {
        ctx->video_codec_id = forced[0]->id;
        ctx->video_codec = forced[0];
    }
    if (forced[1] != nullptr) {
        ctx->audio_codec_id = forced[1]->id;
        ctx->audio_codec = forced[1];
    }
    if (forced[2] != nullptr) {
        ctx->subtitle_codec_id = forced[2]->id;
        ctx->subtitle_codec = forced[2];
    }
    ctx->flags |= AVFMT_FLAG_NONBLOCK;
    if (switches_.image2_compat) {
        ctx->video_codec_id = AV_CODEC_ID_PGMYUV;
    }
}

bool TInputFiles::select_program(AVFormatContext* ctx) {
    if (pending_.opt_programid == 0) {
        return true;
    }
    bool found = false;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        ctx->streams[i]->discard = AVDISCARD_ALL;
    }
    for (unsigned i = 0; i < ctx->nb_programs; ++i) {
        AVProgram* p = ctx->programs[i];
        if (p->id != pending_.opt_programid) {
            p->discard = AVDISCARD_ALL;
            continue;
        }
        found = true;
        for (unsigned j = 0; j < p->nb_stream_indexes; ++j) {
            ctx->streams[p->stream_index[j]]->discard = AVDISCARD_DEFAULT;
        }
    }
    if (found) {
        settings_.ClearProgramId();
    }
    return found;
}

bool TInputFiles::seek_to_start(AVFormatContext* ctx, const std::string& fileName,
                                std::int64_t& timestamp) {
    if (pending_.start_time > 0 && ctx->duration != AV_NOPTS_VALUE && ctx->duration > 0 &&
        pending_.start_time >= ctx->duration) {
        // Nothing would be left to convert.
        return fail(Format(enginemsg::StartBeyondEnd, FormatSeconds(pending_.start_time).c_str(),
                           FormatSeconds(ctx->duration).c_str()));
    }
    timestamp = pending_.start_time;
    if (ctx->start_time != AV_NOPTS_VALUE) {
        timestamp += ctx->start_time;
    }
    if (pending_.start_time != 0) {
        const int ret = fn::av_seek_frame(ctx, -1, timestamp, AVSEEK_FLAG_BACKWARD);
        if (ret < 0 && switches_.verbose > 0) {
            LoggerInstance().LogFmt(services_.sender, llVerbose, enginemsg::CouldNotSeek,
                                    fileName.c_str(),
                                    static_cast<double>(timestamp) / AV_TIME_BASE);
        }
        settings_.ClearStartTime();
    }
    return true;
}

void TInputFiles::add_streams(AVFormatContext* ctx, TInputFileSlot& slot, const TForced& forced,
                              std::vector<const AVCodec*>& codecs) {
    slot.decoders.resize(ctx->nb_streams);
    bool describedVideo = false;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        AVStream* st = ctx->streams[i];
        const AVCodecParameters* par = st->codecpar;
        if (par->codec_type < AVMEDIA_TYPE_UNKNOWN || par->codec_type > AVMEDIA_TYPE_ATTACHMENT) {
            throw FFmpegException(enginemsg::InvalidCodecTypeValue);
        }
        const bool decodable = par->codec_type == AVMEDIA_TYPE_VIDEO ||
                               par->codec_type == AVMEDIA_TYPE_AUDIO ||
                               par->codec_type == AVMEDIA_TYPE_SUBTITLE;
        AVCodecContext* dec = nullptr;
        if (decodable) {
            slot.decoders[i].reset(fn::avcodec_alloc_context3(nullptr));
            dec = slot.decoders[i].get();
            if (dec == nullptr || fn::avcodec_parameters_to_context(dec, par) < 0) {
                throw FFmpegException(enginemsg::AvMalloczFail);
            }
            dec->pkt_timebase = st->time_base;
        }
        switch (par->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            contexts_.ApplyContextOptions(dec, contexts_.CodecOpts(AVMEDIA_TYPE_VIDEO),
                                          AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
            if (par->format < 0) {
                dec->pix_fmt = AV_PIX_FMT_YUV420P;
            }
            // A cover picture does not stand for the file's video.
            if ((st->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0 || !describedVideo) {
                describe_video_stream(st, dec, static_cast<int>(i));
                describedVideo = (st->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0;
            }
            codecs.push_back(forced[0]);
            if (pending_.video_disable) {
                st->discard = AVDISCARD_ALL;
            } else if (pending_.video_discard != 0) {
                st->discard = static_cast<AVDiscard>(pending_.video_discard);
            }
            break;
        case AVMEDIA_TYPE_AUDIO:
            contexts_.ApplyContextOptions(dec, contexts_.CodecOpts(AVMEDIA_TYPE_AUDIO),
                                          AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
            describe_audio_stream(par);
            codecs.push_back(forced[1]);
            if (pending_.audio_disable) {
                st->discard = AVDISCARD_ALL;
            }
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            codecs.push_back(forced[2]);
            if (pending_.subtitle_disable) {
                st->discard = AVDISCARD_ALL;
            }
            break;
        default:
            // Data streams take an entry too, so that the entries stay in step with the
            // streams they belong to.
            codecs.push_back(nullptr);
            break;
        }
    }
}

// What a video stream tells becomes the pending picture settings, as the old interface did.
void TInputFiles::describe_video_stream(AVStream* st, const AVCodecContext* dec, int index) {
    const AVCodecParameters* par = st->codecpar;
    int height = par->height;
    int width = par->width;
    const AVRational ratio =
        st->sample_aspect_ratio.num != 0 ? st->sample_aspect_ratio : par->sample_aspect_ratio;
    const double r = ratio.num != 0 ? static_cast<double>(ratio.num) / ratio.den : 0.0;
    float aspect = pending_.frame_aspect_ratio;
    if (par->width * par->height != 0) {
        aspect = r != 0 ? static_cast<float>(par->width * r / par->height)
                        : static_cast<float>(par->width) / static_cast<float>(par->height);
    } else if (r == 0) {
        aspect = 1.3333334f;
    }
    if (dec->lowres > 0) {
        width >>= dec->lowres;
        height >>= dec->lowres;
    }
    // Pictures are turned upright before anything else sees them.
    if (OrientationOf(st).SwapsSides()) {
        std::swap(width, height);
        if (aspect > 0) {
            aspect = 1.0f / aspect;
        }
    }
    const AVRational rate = st->r_frame_rate;
    const AVRational codecRate = st->avg_frame_rate;
    if (codecRate.num != 0 && codecRate.den != 0 && rate.den != 0 &&
        (codecRate.num != rate.num || codecRate.den != rate.den) && switches_.verbose >= 0) {
        LoggerInstance().LogFmt(services_.sender, llInfo, enginemsg::FrameRateDiffers, index,
                                av_q2d(codecRate), codecRate.num, codecRate.den, av_q2d(rate),
                                rate.num, rate.den);
    }
    settings_.TakeSourcePicture(width, height, aspect, dec->pix_fmt, rate);
}

void TInputFiles::describe_audio_stream(const AVCodecParameters* par) {
    settings_.TakeSourceSound(par->ch_layout.order == AV_CHANNEL_ORDER_NATIVE
                                  ? static_cast<std::int64_t>(par->ch_layout.u.mask)
                                  : 0,
                              par->ch_layout.nb_channels, par->sample_rate, par->format);
}

void TInputFiles::take_file(TInputFileSlot slot, std::int64_t timestamp,
                            const std::vector<const AVCodec*>& codecs) {
    const int index = Count();
    slot.ts_offset = pending_.input_ts_offset - (switches_.copy_ts ? 0 : timestamp);
    slot.ts_scale = pending_.input_ts_scale;
    settings_.ClearTimeStampScales();
    struct stat st {};
    if (::stat(slot.file_name.c_str(), &st) == 0) {
        slot.has_identity = true;
        slot.device = st.st_dev;
        slot.inode = st.st_ino;
    }
    if (switches_.verbose >= 0) {
        fn::av_dump_format(slot.ctx.get(), index, ToLibraryFileName(slot.file_name).c_str(), 0);
    }
    slots_.push_back(std::move(slot));
    codecs_.insert(codecs_.end(), codecs.begin(), codecs.end());
    clear_codec_names();
}
