// Codec lookup by name, shared by inputs (decoders) and outputs (encoders).

#include "FFmpeg.h"

#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"

namespace {

// Encoders of the old vocabulary that this platform's libraries do not have, and what takes
// their place. Used only when the named encoder is absent.
const std::pair<const char*, const char*> kEncoderAliases[] = {
    {"libfaac", "aac"},           {"libflac", "flac"},  {"vorbis", "libvorbis"},
    {"libopencore_amrnb", "aac"}, {"libamr_nb", "aac"}, {"msmpeg4v1", "msmpeg4v2"},
};

} // namespace

bool TCustomFFmpeg::find_codec(const std::string& name, AVMediaType type, bool encoder, int strict,
                               const AVCodec*& codec) {
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
        for (const auto& [oldName, newName] : kEncoderAliases) {
            if (name == oldName) {
                if (const AVCodec* alias = fn::avcodec_find_encoder_by_name(newName)) {
                    found = alias;
                    LoggerInstance().LogFmt(this, llWarning, msg::EncoderAlias, oldName, newName);
                }
                break;
            }
        }
    }
    if (found == nullptr) {
        SetLastErrorText(Format(msg::UnknownCodec, kind, name.c_str()));
        return false;
    }
    if (found->type != type) {
        SetLastErrorText(Format(msg::InvalidCodecType, kind, name.c_str()));
        return false;
    }
    if ((found->capabilities & AV_CODEC_CAP_EXPERIMENTAL) && strict > FF_COMPLIANCE_EXPERIMENTAL) {
        std::string text = Format(msg::ExperimentalCodec, kind, found->name);
        const AVCodec* standard =
            encoder ? fn::avcodec_find_encoder(found->id) : fn::avcodec_find_decoder(found->id);
        if (standard != nullptr && !(standard->capabilities & AV_CODEC_CAP_EXPERIMENTAL)) {
            text += "\r\n" + Format(msg::NonExperimentalCodec, kind, standard->name);
        }
        SetLastErrorText(text);
        return false;
    }
    codec = found;
    return true;
}
