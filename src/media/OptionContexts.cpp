#include "OptionContexts.h"

#include "FFmpegLogger.h"
#include "MediaMessages.h"
#include "MediaPtr.h"
#include "MediaUtils.h"

#include <algorithm>

TOptionContexts::~TOptionContexts() {
    FreeContexts();
}

void TOptionContexts::InitContexts(int scalerFlags) {
    FreeContexts();
    static constexpr AVMediaType types[MediaTypeCount] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO,
                                                          AVMEDIA_TYPE_DATA, AVMEDIA_TYPE_SUBTITLE,
                                                          AVMEDIA_TYPE_ATTACHMENT};
    for (int i = 0; i < MediaTypeCount; ++i) {
        codecOpts_[i].reset(fn::avcodec_alloc_context3(nullptr));
        if (codecOpts_[i]) {
            codecOpts_[i]->codec_type = types[i];
        }
    }
    formatOpts_.reset(fn::avformat_alloc_context());
    scalerOpts_.reset(fn::sws_alloc_context());
    if (scalerOpts_) {
        fn::av_opt_set_int(scalerOpts_.get(), "srcw", 16, 0);
        fn::av_opt_set_int(scalerOpts_.get(), "srch", 16, 0);
        fn::av_opt_set_int(scalerOpts_.get(), "dstw", 16, 0);
        fn::av_opt_set_int(scalerOpts_.get(), "dsth", 16, 0);
        fn::av_opt_set_int(scalerOpts_.get(), "sws_flags", scalerFlags, 0);
    }
}

void TOptionContexts::FreeContexts() {
    for (auto& c : codecOpts_) {
        c.reset();
    }
    formatOpts_.reset();
    scalerOpts_.reset();
    optNames_.clear();
    for (auto& p : codecPrivate_) {
        p.clear();
    }
    formatPrivate_.clear();
}

namespace {

// av_opt_set on an object with a refused value: logged through the library log.
bool SetOn(void* object, const std::string& name, const std::string& value, bool& found) {
    const AVOption* o = fn::av_opt_find(object, name.c_str(), nullptr, 0, 0);
    if (o == nullptr) {
        return false;
    }
    found = true;
    return fn::av_opt_set(object, name.c_str(), value.c_str(), 0) >= 0;
}

void Remember(std::vector<std::pair<std::string, std::string>>& list, const std::string& name,
              const std::string& value) {
    auto it = std::find_if(list.begin(), list.end(), [&](auto& p) { return p.first == name; });
    if (it != list.end()) {
        it->second = value;
    } else {
        list.emplace_back(name, value);
    }
}

bool ClassHasOption(const AVClass* cls, const std::string& name) {
    if (cls == nullptr) {
        return false;
    }
    const AVClass* fake = cls;
    return fn::av_opt_find(&fake, name.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ) != nullptr;
}

} // namespace

bool TOptionContexts::SetDefaultOption(const std::string& rawName, const std::string& rawValue) {
    const std::string name = Trim(rawName);
    const std::string value = Trim(rawValue);
    if (name.empty() || value.empty() || !Initialized()) {
        return false;
    }
    bool found = false;
    bool ok = true;
    std::string effective = name;
    for (int type = 0; type < MediaTypeCount && ok; ++type) {
        const AVOption* o =
            fn::av_opt_find(codecOpts_[0].get(), name.c_str(), nullptr, TypeFlags[type], 0);
        if (o != nullptr) {
            found = true;
            ok = fn::av_opt_set(codecOpts_[type].get(), name.c_str(), value.c_str(), 0) >= 0;
        }
    }
    if (!found) {
        ok = SetOn(formatOpts_.get(), name, value, found);
    }
    if (!found && scalerOpts_) {
        ok = SetOn(scalerOpts_.get(), name, value, found);
    }
    if (!found && name.size() > 1 && (name[0] == 'a' || name[0] == 'v' || name[0] == 's')) {
        const int type = name[0] == 'a'   ? AVMEDIA_TYPE_AUDIO
                         : name[0] == 'v' ? AVMEDIA_TYPE_VIDEO
                                          : AVMEDIA_TYPE_SUBTITLE;
        effective = name.substr(1);
        ok = SetOn(codecOpts_[type].get(), effective, value, found);
    }
    if (!found) {
        return SetPrivateOption(name, value);
    }
    if (!ok) {
        if (fn::av_log != nullptr) {
            fn::av_log(nullptr, AV_LOG_ERROR, mediamsg::InvalidOptionValue, value.c_str(),
                       name.c_str());
        }
        return false;
    }
    if (std::find(optNames_.begin(), optNames_.end(), effective) == optNames_.end()) {
        optNames_.push_back(effective);
    }
    std::int64_t debug = 0;
    std::int64_t formatDebug = 0;
    fn::av_opt_get_int(codecOpts_[0].get(), "debug", 0, &debug);
    fn::av_opt_get_int(formatOpts_.get(), "fdebug", 0, &formatDebug);
    if (debug != 0 || formatDebug != 0) {
        LoggerInstance().SetLogLevel(llDebug);
    }
    return true;
}

bool TOptionContexts::SetPrivateOption(const std::string& name, const std::string& value) {
    bool known = false;
    void* it = nullptr;
    while (const AVCodec* codec = fn::av_codec_iterate(&it)) {
        if (codec->type >= 0 && codec->type < MediaTypeCount &&
            ClassHasOption(codec->priv_class, name)) {
            Remember(codecPrivate_[codec->type], name, value);
            known = true;
        }
    }
    it = nullptr;
    while (const AVOutputFormat* format = fn::av_muxer_iterate(&it)) {
        if (ClassHasOption(format->priv_class, name)) {
            Remember(formatPrivate_, name, value);
            known = true;
            break;
        }
    }
    return known;
}

void TOptionContexts::ApplyContextOptions(void* target, const void* templ, int flags) const {
    if (target == nullptr || templ == nullptr) {
        return;
    }
    for (const std::string& name : optNames_) {
        const AVOption* o = fn::av_opt_find(const_cast<void*>(templ), name.c_str(), nullptr, 0, 0);
        if (o == nullptr || (o->flags & flags) != flags) {
            continue;
        }
        if (o->type == AV_OPT_TYPE_FLAGS) {
            // Only the bits the user changed: the target keeps the defaults its own codec or
            // format set (an encoder's closed-GOP default, say).
            std::int64_t wanted = 0;
            std::int64_t current = 0;
            if (fn::av_opt_get_int(const_cast<void*>(templ), name.c_str(), 0, &wanted) >= 0 &&
                fn::av_opt_get_int(target, name.c_str(), 0, &current) >= 0) {
                const std::int64_t base = o->default_val.i64;
                const std::int64_t set = wanted & ~base;
                const std::int64_t cleared = base & ~wanted;
                fn::av_opt_set_int(target, name.c_str(), (current | set) & ~cleared, 0);
            }
            continue;
        }
        std::uint8_t* raw = nullptr;
        const bool got = fn::av_opt_get(const_cast<void*>(templ), name.c_str(), 0, &raw) >= 0;
        const media::AvBuffer<std::uint8_t> text(raw);
        if (got && text != nullptr) {
            fn::av_opt_set(target, name.c_str(), reinterpret_cast<const char*>(text.get()), 0);
        }
    }
}

void TOptionContexts::CopyCodecPrivateOptions(int mediaType, const AVCodec* codec,
                                              AVDictionary** into) const {
    if (codec == nullptr || mediaType < 0 || mediaType >= MediaTypeCount) {
        return;
    }
    for (const auto& [name, value] : codecPrivate_[mediaType]) {
        if (ClassHasOption(codec->priv_class, name)) {
            fn::av_dict_set(into, name.c_str(), value.c_str(), 0);
        }
    }
}

void TOptionContexts::CopyFormatPrivateOptions(const AVClass* formatClass,
                                               AVDictionary** into) const {
    for (const auto& [name, value] : formatPrivate_) {
        if (ClassHasOption(formatClass, name)) {
            fn::av_dict_set(into, name.c_str(), value.c_str(), 0);
        }
    }
}
