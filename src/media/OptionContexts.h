#pragma once

#include "MediaPtr.h"

#include <array>
#include <string>
#include <vector>

// Generic codec, format and scaler options of one engine task, kept on template contexts and
// copied onto every new stream and file. Options that only a particular encoder or muxer knows
// (its private class) are kept by name and handed over when that encoder or muxer opens.
class TOptionContexts {
public:
    static constexpr int MediaTypeCount = 5; // video, audio, data, subtitle, attachment
    static constexpr int TypeFlags[MediaTypeCount] = {
        AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0, AV_OPT_FLAG_SUBTITLE_PARAM, 0};

    TOptionContexts() = default;
    ~TOptionContexts();
    TOptionContexts(const TOptionContexts&) = delete;
    TOptionContexts& operator=(const TOptionContexts&) = delete;

    void InitContexts(int scalerFlags);
    void FreeContexts();
    bool Initialized() const { return static_cast<bool>(formatOpts_); }

    // Sets a generic option by name; false for an empty name or value, an unknown name or a
    // refused value (logged).
    bool SetDefaultOption(const std::string& name, const std::string& value);
    // Copies every option set so far from templ onto target when its flags hold all of flags.
    void ApplyContextOptions(void* target, const void* templ, int flags) const;
    // Private options for an encoder or muxer about to open.
    void CopyCodecPrivateOptions(int mediaType, const AVCodec* codec, AVDictionary** into) const;
    void CopyFormatPrivateOptions(const AVClass* formatClass, AVDictionary** into) const;

    AVCodecContext* CodecOpts(int mediaType) const { return codecOpts_[mediaType].get(); }
    AVFormatContext* FormatOpts() const { return formatOpts_.get(); }
    SwsContext* ScalerOpts() const { return scalerOpts_.get(); }
    const std::vector<std::string>& OptNames() const { return optNames_; }
    int OptNameCount() const { return static_cast<int>(optNames_.size()); }

private:
    bool SetPrivateOption(const std::string& name, const std::string& value);

    std::array<media::CodecContextPtr, MediaTypeCount> codecOpts_;
    media::FormatContextPtr formatOpts_;
    media::SwsContextPtr scalerOpts_;
    std::vector<std::string> optNames_;
    std::array<std::vector<std::pair<std::string, std::string>>, MediaTypeCount> codecPrivate_;
    std::vector<std::pair<std::string, std::string>> formatPrivate_;
};
