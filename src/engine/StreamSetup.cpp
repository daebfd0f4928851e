// Preparing output streams for stream copy or encoding, opening the codecs, two-pass
// statistics and bitstream-filter chains.

#include "StreamSetup.h"

#include "FFmpegException.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"
#include "TranscodeState.h"

#include <climits>
#include <cstring>

namespace {

// Options of a bitstream filter: "key=value" pairs separated by ":", a bare value sets the
// filter's first option.
int ApplyFilterArguments(AVBSFContext* ctx, const std::string& args) {
    for (const std::string& piece : SplitText(args, ':')) {
        if (piece.empty()) {
            continue;
        }
        std::string key;
        std::string value = piece;
        const size_t eq = piece.find('=');
        if (eq != std::string::npos) {
            key = piece.substr(0, eq);
            value = piece.substr(eq + 1);
        } else if (ctx->priv_data != nullptr) {
            if (const AVOption* first = fn::av_opt_next(ctx->priv_data, nullptr)) {
                key = first->name;
            }
        }
        if (key.empty()) {
            return AVERROR(EINVAL);
        }
        const int ret = fn::av_opt_set(ctx, key.c_str(), value.c_str(), AV_OPT_SEARCH_CHILDREN);
        if (ret < 0) {
            return ret;
        }
    }
    return 0;
}

// The libraries can decode the stream, yet found no picture or sound parameters in it: its
// codec header is damaged, and a copy would carry the damage into a file nothing can open.
bool HeaderLooksDamaged(const AVCodecParameters& par) {
    if (fn::avcodec_find_decoder(par.codec_id) == nullptr) {
        return false;
    }
    if (par.codec_type == AVMEDIA_TYPE_VIDEO) {
        return par.width <= 0 || par.height <= 0 || par.format < 0;
    }
    if (par.codec_type == AVMEDIA_TYPE_AUDIO) {
        return par.sample_rate <= 0 || par.ch_layout.nb_channels <= 0;
    }
    return false;
}

} // namespace

TStreamSetup::TStreamSetup(const TRunSettings& run, const TLinks& links)
    : pending_(run.pending), switches_(run.switches), contexts_(run.contexts),
      inputs_(links.inputs), outputs_(links.outputs), hooks_(links.hooks), preview_(links.preview),
      video_(links.video), report_(links.report), services_(run.services) {}

void TStreamSetup::prepare_copy_stream(AVOutputStream& ost, const AVInputStream& ist) {
    const AVCodecParameters* ipar = ist.st->codecpar;
    AVCodecParameters* opar = ost.st->codecpar;
    const int type = ost.slot->enc->codec_type;
    if (static_cast<std::int64_t>(ipar->extradata_size) + AV_INPUT_BUFFER_PADDING_SIZE > INT_MAX) {
        throw FFmpegException(enginemsg::ExtradataTooLarge);
    }
    check_copy_allowed(type);
    if (HeaderLooksDamaged(*ipar)) {
        throw FFmpegException(Format(enginemsg::DamagedStreamHeader, ist.file_index, ist.index,
                                     CodecTypeName(type).c_str()));
    }
    const std::uint32_t givenTag = ost.slot->enc->codec_tag;
    const AVRational givenAspect = ost.slot->enc->sample_aspect_ratio;
    if (fn::avcodec_parameters_copy(opar, ipar) < 0) {
        throw FFmpegException(enginemsg::AvMalloczFail);
    }
    opar->codec_tag = givenTag;
    if (givenTag == 0) {
        // Keep the input's tag only where the muxer would understand it the same way.
        const AVCodecTag* const* table = ost.file->ctx->oformat->codec_tag;
        if (table == nullptr || fn::av_codec_get_id(table, ipar->codec_tag) == ipar->codec_id ||
            fn::av_codec_get_tag(table, ipar->codec_id) <= 0) {
            opar->codec_tag = ipar->codec_tag;
        }
    }
    copy_time_base(ost, ist, type);
    if (type == AVMEDIA_TYPE_VIDEO) {
        if (givenAspect.num > 0) {
            opar->sample_aspect_ratio = ost.st->sample_aspect_ratio = givenAspect;
        } else {
            ost.st->sample_aspect_ratio = ist.st->sample_aspect_ratio;
        }
        ost.st->avg_frame_rate = ist.st->avg_frame_rate;
        ost.st->r_frame_rate = ist.st->r_frame_rate;
    } else if (type == AVMEDIA_TYPE_AUDIO) {
        if ((opar->block_align == 1 && opar->codec_id == AV_CODEC_ID_MP3) ||
            opar->codec_id == AV_CODEC_ID_AC3) {
            opar->block_align = 0;
        }
    }
    ost.enc = nullptr;
}

void TStreamSetup::check_copy_allowed(int type) const {
    if (type == AVMEDIA_TYPE_VIDEO) {
        if (hooks_.HasCustomHook()) {
            throw FFmpegException(enginemsg::CopyAndCustomHook);
        }
        if (switches_.vhook_active) {
            throw FFmpegException(enginemsg::CopyAndVhook);
        }
        if (preview_.Flags() != 0) {
            throw FFmpegException(enginemsg::CopyAndPostHooks);
        }
    } else if (type == AVMEDIA_TYPE_AUDIO) {
        if (switches_.audio_volume != 256) {
            throw FFmpegException(enginemsg::CopyAndVolume);
        }
    } else if (type != AVMEDIA_TYPE_SUBTITLE) {
        throw FFmpegException(enginemsg::InvalidOutputCodecType);
    }
}

void TStreamSetup::copy_time_base(AVOutputStream& ost, const AVInputStream& ist, int type) const {
    const AVCodecParameters* ipar = ist.st->codecpar;
    // A very fine input time base is replaced by the frame (or sample) duration, as long as
    // that is coarser than a millisecond.
    AVRational frameBase{0, 1};
    if (type == AVMEDIA_TYPE_VIDEO && ist.st->r_frame_rate.num > 0 &&
        ist.st->r_frame_rate.den > 0) {
        frameBase = av_inv_q(ist.st->r_frame_rate);
    } else if (type == AVMEDIA_TYPE_AUDIO && ipar->sample_rate > 0) {
        frameBase = AVRational{1, ipar->sample_rate};
    }
    const double inBase = av_q2d(ist.st->time_base);
    if (frameBase.num != 0 && inBase < av_q2d(frameBase) && inBase < 1.0 / 1000) {
        fn::av_reduce(&ost.st->time_base.num, &ost.st->time_base.den, frameBase.num, frameBase.den,
                      INT_MAX);
    } else {
        ost.st->time_base = ist.st->time_base;
    }
}

// The decoded picture's size once it stands upright (the input stage turns it first).
std::pair<int, int> TStreamSetup::UprightSize(const AVInputStream& ist) {
    const int lowres = ist.dec != nullptr ? ist.dec->lowres : 0;
    const int w = ist.st->codecpar->width >> lowres;
    const int h = ist.st->codecpar->height >> lowres;
    return ist.upright_swaps_sides ? std::pair{h, w} : std::pair{w, h};
}

void TStreamSetup::prepare_video_encoding(AVOutputStream& ost, const AVInputStream& ist) {
    AVCodecContext* enc = ost.enc;
    const auto [decW, decH] = UprightSize(ist);
    const int decFmt = ist.st->codecpar->format;
    if (enc->pix_fmt == AV_PIX_FMT_NONE) {
        throw FFmpegException(enginemsg::PixelFormatUnknown);
    }
    // A damaged stream may leave the decoder's picture undescribed: nothing unset may reach
    // the scaler or a filter graph, so such a stream is set up from its first decoded picture.
    const bool sizeKnown = decW > 0 && decH > 0;
    const bool formatKnown = fn::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(decFmt)) != nullptr;
    const bool described = sizeKnown && formatKnown;
    if (!sizeKnown && (enc->width <= 0 || enc->height <= 0)) {
        throw FFmpegException(Format(enginemsg::PictureSizeUnknown, ist.file_index, ist.index));
    }
    set_crop_bands(ost);
    make_even_for_encoder(ost);
    const int cropW = decW - ost.leftBand - ost.rightBand;
    const int cropH = decH - ost.topBand - ost.bottomBand;
    ost.video_resample = cropW != enc->width || cropH != enc->height || decFmt != enc->pix_fmt;
    ost.original_width = decW;
    ost.original_height = decH;
    if (ost.video_resample) {
        if (!outputs_.UseFilterGraph() && described) {
            ost.img_resample_ctx.reset(fn::sws_getContext(
                cropW, cropH, static_cast<AVPixelFormat>(decFmt), enc->width, enc->height,
                enc->pix_fmt, TVideoPath::ScalerFlags(contexts_, switches_.sws_flags), nullptr,
                nullptr, nullptr));
            if (!ost.img_resample_ctx) {
                throw FFmpegException(enginemsg::ResamplingContextFail);
            }
            ost.sws_src_w = cropW;
            ost.sws_src_h = cropH;
            ost.sws_src_fmt = decFmt;
        }
        enc->bits_per_raw_sample = 0;
    }
    ost.resample_width = cropW;
    ost.resample_height = cropH;
    // -1 until the first picture tells what the stream's parameters did not.
    ost.resample_pix_fmt = described ? decFmt : -1;
    ost.encoding_needed = true;
    ost.enc_frame = media::MakeFrame();
    ost.resample_frame = media::MakeFrame();
    if (!ost.enc_frame || !ost.resample_frame) {
        throw FFmpegException(enginemsg::TempPictureFail);
    }
    if (outputs_.UseFilterGraph()) {
        set_up_video_filters(ost, ist, sizeKnown, formatKnown);
    }
}

void TStreamSetup::set_crop_bands(AVOutputStream& ost) const {
    ost.topBand = ost.original_topBand = pending_.frame_topBand;
    ost.bottomBand = ost.original_bottomBand = pending_.frame_bottomBand;
    ost.leftBand = ost.original_leftBand = pending_.frame_leftBand;
    ost.rightBand = ost.original_rightBand = pending_.frame_rightBand;
    ost.video_crop =
        ost.topBand != 0 || ost.bottomBand != 0 || ost.leftBand != 0 || ost.rightBand != 0;
}

void TStreamSetup::set_up_video_filters(AVOutputStream& ost, const AVInputStream& ist,
                                        bool sizeKnown, bool formatKnown) {
    AVCodecContext* enc = ost.enc;
    const auto [decW, decH] = UprightSize(ist);
    const int decFmt = ist.st->codecpar->format;
    const bool described = sizeKnown && formatKnown;
    services_.setLastErrorText("");
    // What the parameters do not tell is stood in for by the encoder's picture, only to
    // learn the graph's output size (the filter text sees the picture scaled to the
    // encoder's size anyway); the graph is built again from the first decoded picture.
    TVideoFilter::TInput input;
    input.width = sizeKnown ? decW : enc->width;
    input.height = sizeKnown ? decH : enc->height;
    input.pixFmt = formatKnown ? decFmt : enc->pix_fmt;
    input.sampleAspect = ist.st->sample_aspect_ratio.num != 0
                             ? ist.st->sample_aspect_ratio
                             : ist.st->codecpar->sample_aspect_ratio;
    if (ist.upright_swaps_sides && input.sampleAspect.num > 0) {
        std::swap(input.sampleAspect.num, input.sampleAspect.den);
    }
    if (video_.configure_video_filters(ost, input) < 0) {
        const std::string text = services_.lastErrorText();
        throw FFmpegException(text.empty() ? std::string(enginemsg::ErrorOpeningFilters)
                                           : enginemsg::ErrorOpeningFiltersText + text);
    }
    enc->width = ost.filter->OutputWidth();
    enc->height = ost.filter->OutputHeight();
    const AVRational sar = ost.filter->OutputSampleAspect();
    if (sar.num > 0) {
        enc->sample_aspect_ratio = ost.st->sample_aspect_ratio = sar;
    }
    if (!described) {
        ost.filter.reset();
    }
}

void TStreamSetup::make_even_for_encoder(AVOutputStream& ost) {
    AVCodecContext* enc = ost.enc;
    const AVPixFmtDescriptor* desc = fn::av_pix_fmt_desc_get(enc->pix_fmt);
    if (desc == nullptr) {
        return;
    }
    // Subsampled chroma needs sizes and crop bands in whole chroma samples.
    const int xMask = (1 << desc->log2_chroma_w) - 1;
    const int yMask = (1 << desc->log2_chroma_h) - 1;
    const auto down = [](int value, int mask) { return value > mask ? value & ~mask : value; };
    const int w = down(enc->width, xMask);
    const int h = down(enc->height, yMask);
    if (w != enc->width || h != enc->height) {
        LoggerInstance().LogFmt(services_.sender, llWarning, enginemsg::SizeMadeEven, enc->width,
                                enc->height, desc->name, w, h);
        enc->width = w;
        enc->height = h;
    }
    int* bands[] = {&ost.topBand, &ost.bottomBand, &ost.leftBand, &ost.rightBand};
    int* originals[] = {&ost.original_topBand, &ost.original_bottomBand, &ost.original_leftBand,
                        &ost.original_rightBand};
    const int masks[] = {yMask, yMask, xMask, xMask};
    for (int i = 0; i < 4; ++i) {
        const int even = *bands[i] & ~masks[i];
        if (even != *bands[i]) {
            LoggerInstance().LogFmt(services_.sender, llWarning, enginemsg::CropMadeEven, *bands[i],
                                    desc->name, even);
            *bands[i] = *originals[i] = even;
        }
    }
    ost.video_crop =
        ost.topBand != 0 || ost.bottomBand != 0 || ost.leftBand != 0 || ost.rightBand != 0;
}

void TStreamSetup::prepare_audio_encoding(AVOutputStream& ost, AVInputStream& ist) {
    ost.encoding_needed = true;
    ist.decoding_needed = true;
    ost.audio_frame = media::MakeFrame();
    if (!ost.audio_frame) {
        throw FFmpegException(enginemsg::FifoAllocFail);
    }
}

void TStreamSetup::open_pass_log(AVOutputStream& ost, int ostIndex, AVDictionary** options) {
    AVCodecContext* enc = ost.enc;
    if (!(enc->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2))) {
        return;
    }
    std::string name =
        (switches_.pass_logfilename_prefix.empty() ? std::string(enginemsg::DefaultPassLogPrefix)
                                                   : switches_.pass_logfilename_prefix) +
        "-" + std::to_string(ostIndex) + ".log";
    if (name.size() > 1023) {
        name.resize(1023);
    }
    ost.logfilename = name;
    if (enc->codec_id == AV_CODEC_ID_H264 && ost.slot->codec != nullptr &&
        std::strcmp(ost.slot->codec->name, "libx264") == 0) {
        // libx264 reads and writes its statistics itself.
        fn::av_dict_set(options, "stats", name.c_str(), 0);
        return;
    }
    if (enc->flags & AV_CODEC_FLAG_PASS1) {
        ost.logfile.reset(std::fopen(name.c_str(), "wb"));
        if (!ost.logfile) {
            throw FFmpegException(Format(enginemsg::CannotWriteLogFile, name.c_str()));
        }
    } else {
        std::vector<char> buffer;
        const int ret = ReadWholeFile(name, buffer);
        if (ret == -12) {
            throw FFmpegException(Format(enginemsg::CannotAllocateLogBuffer, name.c_str()));
        }
        if (ret < 0) {
            throw FFmpegException(Format(enginemsg::CannotReadLogFile, name.c_str()));
        }
        auto* text = static_cast<char*>(fn::av_malloc(buffer.size()));
        if (text == nullptr) {
            throw FFmpegException(Format(enginemsg::CannotAllocateLogBuffer, name.c_str()));
        }
        std::memcpy(text, buffer.data(), buffer.size());
        fn::av_freep(&enc->stats_in);
        enc->stats_in = text;
    }
}

void TStreamSetup::open_encoders(TTranscodeState& ts) {
    for (size_t i = 0; i < ts.ost_table.size(); ++i) {
        AVOutputStream& ost = *ts.ost_table[i];
        if (ost.encoding_needed) {
            open_encoder(ts, ost, static_cast<int>(i));
        }
    }
}

void TStreamSetup::open_encoder(TTranscodeState& ts, AVOutputStream& ost, int ostIndex) {
    AVCodecContext* enc = ost.enc;
    const AVCodec* codec =
        ost.slot->codec != nullptr ? ost.slot->codec : services_.defaultEncoder(enc->codec_id);
    const std::string type = CodecTypeName(enc->codec_type);
    if (codec == nullptr) {
        report_.setup_fail(ts, Format(enginemsg::EncoderNotFound, static_cast<int>(enc->codec_id),
                                      ost.file_index, ost.index, type.c_str()));
    }
    if (enc->codec_type == AVMEDIA_TYPE_SUBTITLE) {
        copy_subtitle_header(ts, ost);
    }
    media::Dictionary options;
    contexts_.CopyCodecPrivateOptions(enc->codec_type, codec, options.Slot());
    open_pass_log(ost, ostIndex, options.Slot());
    enc->thread_count = 0; // the codec chooses
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO && THardwareUpload::Needed(codec)) {
        ost.upload = std::make_unique<THardwareUpload>();
        std::string why;
        if (!ost.upload->Open(switches_.vaapi_device, enc, why)) {
            throw FFmpegException(why);
        }
    }
    int ret;
    {
        std::lock_guard lock(CodecLock());
        ret = fn::avcodec_open2(enc, codec, options.Slot());
    }
    if (ret < 0) {
        report_.setup_fail(
            ts, Format(enginemsg::EncoderOpenError, ost.file_index, ost.index, type.c_str()));
    }
    ost.encoder_open = true;
    report_.AddExtraBytes(enc->extradata_size);
    if (fn::avcodec_parameters_from_context(ost.st->codecpar, enc) < 0) {
        throw FFmpegException(enginemsg::AvMalloczFail);
    }
    copy_coded_side_data(ost);
    ost.st->time_base = enc->time_base;
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO) {
        ost.st->avg_frame_rate = enc->framerate;
        ost.st->sample_aspect_ratio = enc->sample_aspect_ratio;
    } else if (enc->codec_type == AVMEDIA_TYPE_AUDIO) {
        ost.fifo.reset(fn::av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, 1024));
        if (!ost.fifo) {
            throw FFmpegException(enginemsg::FifoAllocFail);
        }
    }
}

void TStreamSetup::copy_subtitle_header(TTranscodeState& ts, AVOutputStream& ost) {
    AVCodecContext* enc = ost.enc;
    // Text encoders take their header from the decoder of the source.
    open_decoder(ts, ost.source_index);
    const AVCodecContext* dec = ts.ist_table[ost.source_index]->dec;
    if (dec != nullptr && dec->subtitle_header_size > 0 && enc->subtitle_header == nullptr) {
        enc->subtitle_header =
            static_cast<std::uint8_t*>(fn::av_mallocz(dec->subtitle_header_size + 1));
        if (enc->subtitle_header != nullptr) {
            std::memcpy(enc->subtitle_header, dec->subtitle_header, dec->subtitle_header_size);
            enc->subtitle_header_size = dec->subtitle_header_size;
        }
    }
}

void TStreamSetup::copy_coded_side_data(AVOutputStream& ost) {
    // The muxer reads the encoder's buffer size and rates from the stream (disc formats write
    // them into their headers).
    const AVCodecContext* enc = ost.enc;
    for (int i = 0; i < enc->nb_coded_side_data; ++i) {
        const AVPacketSideData& data = enc->coded_side_data[i];
        std::uint8_t* copy = fn::av_stream_new_side_data(ost.st, data.type, data.size);
        if (copy == nullptr) {
            throw FFmpegException(enginemsg::AvMalloczFail);
        }
        std::memcpy(copy, data.data, data.size);
    }
}

void TStreamSetup::open_decoder(TTranscodeState& ts, int istIndex) {
    AVInputStream& ist = *ts.ist_table[istIndex];
    if (ist.decoder_open || ist.dec == nullptr) {
        return;
    }
    const std::string type = CodecTypeName(ist.st->codecpar->codec_type);
    const AVCodec* codec = inputs_.ForcedDecoder(istIndex);
    if (codec == nullptr) {
        codec = fn::avcodec_find_decoder(ist.st->codecpar->codec_id);
    }
    if (codec == nullptr) {
        report_.setup_fail(ts, Format(enginemsg::DecoderNotFound,
                                      static_cast<int>(ist.st->codecpar->codec_id), ist.file_index,
                                      ist.index, type.c_str()));
    }
    ist.dec->thread_count = 0;
    int ret;
    {
        std::lock_guard lock(CodecLock());
        ret = fn::avcodec_open2(ist.dec, codec, nullptr);
    }
    if (ret < 0) {
        report_.setup_fail(
            ts, Format(enginemsg::DecoderOpenError, ist.file_index, ist.index, type.c_str()));
    }
    ist.decoder_open = true;
    ist.frame = media::MakeFrame();
    if (!ist.frame) {
        throw FFmpegException(enginemsg::AvMalloczFail);
    }
}

void TStreamSetup::open_decoders(TTranscodeState& ts) {
    for (size_t i = 0; i < ts.ist_table.size(); ++i) {
        if (ts.ist_table[i]->decoding_needed) {
            open_decoder(ts, static_cast<int>(i));
        }
    }
}

void TStreamSetup::init_bitstream_filters(AVOutputStream& ost) {
    const AVCodecParameters* par = ost.st->codecpar;
    AVRational tb = ost.st->time_base;
    for (const std::string& text : ost.slot->bitstream_filters) {
        const size_t eq = text.find('=');
        const std::string name = Trim(text.substr(0, eq));
        if (name.empty()) {
            continue;
        }
        const AVBitStreamFilter* filter = fn::av_bsf_get_by_name(name.c_str());
        if (filter == nullptr) {
            throw FFmpegException(Format(enginemsg::UnknownBitstreamFilter, Trim(text).c_str()));
        }
        AVBSFContext* raw = nullptr;
        if (fn::av_bsf_alloc(filter, &raw) < 0) {
            throw FFmpegException(enginemsg::AvMalloczFail);
        }
        media::BsfPtr ctx(raw);
        int ret = eq == std::string::npos ? 0 : ApplyFilterArguments(raw, text.substr(eq + 1));
        if (ret >= 0) {
            ret = fn::avcodec_parameters_copy(raw->par_in, par);
        }
        if (ret >= 0) {
            raw->time_base_in = tb;
            ret = fn::av_bsf_init(raw);
        }
        if (ret < 0) {
            throw FFmpegException(ErrorText(Trim(text), ret));
        }
        par = raw->par_out;
        tb = raw->time_base_out;
        ost.bsfs.push_back(std::move(ctx));
        ost.bsf_pkts.push_back(media::MakePacket());
        if (!ost.bsf_pkts.back()) {
            throw FFmpegException(enginemsg::AvMalloczFail);
        }
    }
    if (!ost.bsfs.empty()) {
        if (fn::avcodec_parameters_copy(ost.st->codecpar, par) < 0) {
            throw FFmpegException(enginemsg::AvMalloczFail);
        }
        ost.st->time_base = tb;
    }
}

void TStreamSetup::release_codecs(TTranscodeState& ts) {
    for (auto& ost : ts.ost_table) {
        if (ost->encoder_open) {
            ost->enc = nullptr;
            ost->slot->enc.reset();
            ost->encoder_open = false;
        }
    }
    for (auto& ist : ts.ist_table) {
        if (ist->decoder_open) {
            ist->dec = nullptr;
            inputs_[ist->file_index].decoders[ist->index].reset();
            ist->decoder_open = false;
        }
    }
}
