// Codec lookup by name, shared by inputs (decoders) and outputs (encoders).

#include "CodecLookup.h"

#include "EngineSettings.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"

namespace {

// Encoders of the old vocabulary that this platform's libraries do not have, the codec they
// wrote, and what takes their place. Used only when the encoder is absent.
struct TEncoderAlias {
    const char* oldName;
    AVCodecID codec;
    const char* newName;
};
const TEncoderAlias kEncoderAliases[] = {
    {"libfaac", AV_CODEC_ID_AAC, "aac"},         {"libflac", AV_CODEC_ID_FLAC, "flac"},
    {"vorbis", AV_CODEC_ID_VORBIS, "libvorbis"}, {"libopencore_amrnb", AV_CODEC_ID_AMR_NB, "aac"},
    {"libamr_nb", AV_CODEC_ID_AMR_NB, "aac"},    {"msmpeg4v1", AV_CODEC_ID_MSMPEG4V1, "msmpeg4v2"},
};

} // namespace

const AVCodec* TCodecLookup::default_encoder(const TEngineSettings& s, AVCodecID id) {
    if (id == AV_CODEC_ID_NONE) {
        return nullptr;
    }
    if (const AVCodec* codec = fn::avcodec_find_encoder(id)) {
        return codec;
    }
    // A container's default codec that this platform cannot write (3GP's AMR-NB) is served
    // as a named one would be.
    for (const TEncoderAlias& alias : kEncoderAliases) {
        if (alias.codec == id) {
            if (const AVCodec* codec = fn::avcodec_find_encoder_by_name(alias.newName)) {
                LoggerInstance().LogFmt(s.Host().sender, llWarning, enginemsg::EncoderAlias,
                                        alias.oldName, alias.newName);
                return codec;
            }
        }
    }
    return nullptr;
}

bool TCodecLookup::find_codec(const TEngineSettings& s, const std::string& name, AVMediaType type,
                              bool encoder, int strict, const AVCodec*& codec) {
    codec = nullptr;
    if (name.empty()) {
        return true;
    }
    const char* kind = encoder ? "encoder" : "decoder";
    const AVCodec* found = encoder ? fn::avcodec_find_encoder_by_name(name.c_str())
                                   : fn::avcodec_find_decoder_by_name(name.c_str());
    // An alias also stands in for an encoder that is present but experimental (the built-in
    // vorbis encoder refuses to open without "-strict experimental").
    const bool refused = found != nullptr && (found->capabilities & AV_CODEC_CAP_EXPERIMENTAL) &&
                         strict > FF_COMPLIANCE_EXPERIMENTAL;
    if ((found == nullptr || refused) && encoder) {
        for (const TEncoderAlias& alias : kEncoderAliases) {
            if (name == alias.oldName) {
                if (const AVCodec* codec = fn::avcodec_find_encoder_by_name(alias.newName)) {
                    found = codec;
                    LoggerInstance().LogFmt(s.Host().sender, llWarning, enginemsg::EncoderAlias,
                                            alias.oldName, alias.newName);
                }
                break;
            }
        }
    }
    if (found == nullptr) {
        s.Host().setLastErrorText(Format(enginemsg::UnknownCodec, kind, name.c_str()));
        return false;
    }
    if (found->type != type) {
        s.Host().setLastErrorText(Format(enginemsg::InvalidCodecType, kind, name.c_str()));
        return false;
    }
    if ((found->capabilities & AV_CODEC_CAP_EXPERIMENTAL) && strict > FF_COMPLIANCE_EXPERIMENTAL) {
        std::string text = Format(enginemsg::ExperimentalCodec, kind, found->name);
        const AVCodec* standard =
            encoder ? fn::avcodec_find_encoder(found->id) : fn::avcodec_find_decoder(found->id);
        if (standard != nullptr && !(standard->capabilities & AV_CODEC_CAP_EXPERIMENTAL)) {
            text += "\r\n" + Format(enginemsg::NonExperimentalCodec, kind, standard->name);
        }
        s.Host().setLastErrorText(text);
        return false;
    }
    codec = found;
    return true;
}
