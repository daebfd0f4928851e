#pragma once

// Test access to an engine task's tables, log capture, and opening an encoder with the options
// the task collected, as an output stream would.

#include "FFmpeg.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "MediaPtr.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class TEngineTestTask : public TCustomFFmpeg {
public:
    using TCustomFFmpeg::frame_hooks_;
    using TCustomFFmpeg::opt_ctx_;
    using TCustomFFmpeg::opt_default;
    using TCustomFFmpeg::pending_;
    using TCustomFFmpeg::switches_;
};

// Every log line while it lives, delivered on the logging thread (encoders log from theirs).
class TLogCapture {
public:
    explicit TLogCapture(TLogLevel level = llInfo) : saved_(LoggerInstance().LogLevel()) {
        LoggerInstance().SetLogLevel(level);
        LoggerInstance().SetTriggerEventInMainThread(false);
        LoggerInstance().SetOnLog(
            [this](const void*, std::uint32_t, TLogLevel lineLevel, const std::string& text) {
                std::lock_guard guard(mutex_);
                lines_.emplace_back(lineLevel, text);
            });
    }
    ~TLogCapture() {
        LoggerInstance().SetOnLog({});
        LoggerInstance().SetTriggerEventInMainThread(true);
        LoggerInstance().SetLogLevel(saved_);
    }
    TLogCapture(const TLogCapture&) = delete;
    TLogCapture& operator=(const TLogCapture&) = delete;

    std::vector<std::pair<TLogLevel, std::string>> Lines() const {
        std::lock_guard guard(mutex_);
        return lines_;
    }
    bool Has(TLogLevel level, const std::string& text) const {
        const auto lines = Lines();
        return std::any_of(lines.begin(), lines.end(), [&](const auto& line) {
            return line.first == level && line.second == text;
        });
    }
    // The first line containing part, or empty.
    std::string Find(const std::string& part) const {
        for (const auto& line : Lines()) {
            if (line.second.find(part) != std::string::npos) {
                return line.second;
            }
        }
        return {};
    }
    void Clear() {
        std::lock_guard guard(mutex_);
        lines_.clear();
    }

private:
    TLogLevel saved_;
    mutable std::mutex mutex_;
    std::vector<std::pair<TLogLevel, std::string>> lines_;
};

struct TOpenedEncoder {
    int result = -1;
    std::vector<std::string> unused; // options handed over that the encoder did not take
};

// Opens an encoder as an output stream of the task would: generic options copied from the
// task's template context, private ones handed over in the open dictionary.
inline TOpenedEncoder OpenEncoder(const TEngineTestTask& task, const char* name, int width = 320,
                                  int height = 240, bool globalHeader = false) {
    TOpenedEncoder opened;
    const AVCodec* codec = fn::avcodec_find_encoder_by_name(name);
    if (codec == nullptr) {
        return opened;
    }
    media::CodecContextPtr ctx(fn::avcodec_alloc_context3(codec));
    const int type = codec->type;
    task.opt_ctx_.ApplyContextOptions(
        ctx.get(), task.opt_ctx_.CodecOpts(type),
        (type == AVMEDIA_TYPE_VIDEO ? AV_OPT_FLAG_VIDEO_PARAM : AV_OPT_FLAG_AUDIO_PARAM) |
            AV_OPT_FLAG_ENCODING_PARAM);
    if (type == AVMEDIA_TYPE_VIDEO) {
        ctx->width = width;
        ctx->height = height;
        ctx->pix_fmt = codec->pix_fmts != nullptr ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
        ctx->time_base = {1, 25};
        ctx->framerate = {25, 1};
        if (globalHeader) {
            ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER; // libx264 then logs its settings
        }
    } else {
        ctx->sample_fmt =
            codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        ctx->sample_rate = 48000;
        fn::av_channel_layout_default(&ctx->ch_layout, 2);
        ctx->time_base = {1, 48000};
    }
    AVDictionary* options = nullptr;
    task.opt_ctx_.CopyCodecPrivateOptions(type, codec, &options);
    {
        std::lock_guard lock(CodecLock());
        opened.result = fn::avcodec_open2(ctx.get(), codec, &options);
    }
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = fn::av_dict_get(options, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        opened.unused.push_back(std::string(entry->key) + "=" + entry->value);
    }
    fn::av_dict_free(&options);
    return opened;
}

// A private option the task would hand to the named encoder, or "(none)".
inline std::string PrivateOption(const TEngineTestTask& task, const char* encoder,
                                 const char* option) {
    const AVCodec* codec = fn::avcodec_find_encoder_by_name(encoder);
    AVDictionary* options = nullptr;
    task.opt_ctx_.CopyCodecPrivateOptions(codec->type, codec, &options);
    const AVDictionaryEntry* entry = fn::av_dict_get(options, option, nullptr, 0);
    std::string value = entry != nullptr ? entry->value : "(none)";
    fn::av_dict_free(&options);
    return value;
}
