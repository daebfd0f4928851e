#include "MediaUtils.h"

#include "FFmpegException.h"
#include "LibraryFunctions.h"
#include "MediaFile.h"
#include "MediaMessages.h"
#include "MediaPtr.h"
#include "PlaylistGuard.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <new>
#include <sys/stat.h>

std::string FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[512];
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) {
        return {};
    }
    if (static_cast<size_t>(needed) < sizeof small) {
        return std::string(small, static_cast<size_t>(needed));
    }
    std::string text(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(needed));
    return text;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::string LowerCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string UpperCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Trim(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') {
        ++first;
    }
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') {
        --last;
    }
    return text.substr(first, last - first);
}

namespace {

bool ParseInt64(const std::string& text, long long& value) {
    const std::string t = Trim(text);
    if (t.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(t.c_str(), &end, 10);
    return errno == 0 && end != nullptr && *end == '\0';
}

} // namespace

bool TryStrToInt(const std::string& text, int& value) {
    long long v = 0;
    if (!ParseInt64(text, v) || v < INT32_MIN || v > INT32_MAX) {
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

bool TryStrToFloat(const std::string& text, double& value) {
    // Always "." as the decimal separator: stored files and option texts do not follow the
    // user's locale.
    std::string t = Trim(text);
    if (!t.empty() && t[0] == '+') {
        t.erase(0, 1);
    }
    if (t.empty()) {
        return false;
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) {
        return false;
    }
    value = v;
    return true;
}

int StrToInt(const std::string& text) {
    int value = 0;
    if (!TryStrToInt(text, value)) {
        throw FFmpegException(Format(mediamsg::NotAnInteger, text.c_str()));
    }
    return value;
}

std::int64_t StrToInt64(const std::string& text) {
    long long value = 0;
    if (!ParseInt64(text, value)) {
        throw FFmpegException(Format(mediamsg::NotAnInteger, text.c_str()));
    }
    return value;
}

double StrToFloat(const std::string& text) {
    double value = 0;
    if (!TryStrToFloat(text, value)) {
        throw FFmpegException(Format(mediamsg::NotAFloat, text.c_str()));
    }
    return value;
}

std::string FormatDuration(std::int64_t us) {
    if (us == NoTimestamp) {
        return "N/A";
    }
    const std::int64_t seconds = us / 1000000;
    return Format("%.2d:%.2d:%.2d.%.3d", static_cast<int>(seconds / 60 / 60),
                  static_cast<int>((seconds / 60) % 60), static_cast<int>(seconds % 60),
                  static_cast<int>((us % 1000000) * 1000 / 1000000));
}

std::string FormatSeconds(std::int64_t microseconds) {
    std::string text = Format("%.1f", static_cast<double>(microseconds) / 1000000.0);
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) {
        text.resize(text.size() - 2);
    }
    return text;
}

std::string FormatSize(std::int64_t bytes) {
    if (bytes > 1073741824LL) {
        return Format("%.2f GB", static_cast<double>(bytes) / 1073741824.0);
    }
    if (bytes >= 1048577LL) {
        return Format("%.2f MB", static_cast<double>(bytes) / 1048576.0);
    }
    if (bytes >= 1025LL) {
        return Format("%.2f KB", static_cast<double>(bytes) / 1024.0);
    }
    return Format("%d Byte", static_cast<int>(bytes));
}

std::string ErrorMessage(int code) {
    switch (code) {
    case AVERROR_PATCHWELCOME:
        return "Not yet implemented in FFmpeg";
    case AVERROR(EPROTONOSUPPORT):
    case AVERROR_PROTOCOL_NOT_FOUND:
        return "Unsupported network protocol";
    case AVERROR(EILSEQ):
    case AVERROR_DEMUXER_NOT_FOUND:
        return "Unknown format";
    case AVERROR(EDOM):
        return "Number syntax expected in filename";
    case AVERROR(EPIPE):
    case AVERROR_EOF:
        return "End of file";
    case AVERROR_INVALIDDATA:
        return "Invalid data found when processing input";
    case AVERROR(ENOMEM):
        return "Not enough memory";
    case AVERROR(EIO):
        return "I/O error";
    case AVERROR(ENOENT):
        return "No such file or directory";
    case ErrorNamedPipe:
        return "Not a regular file (a named pipe)";
    case ErrorSocketFile:
        return "Not a regular file (a socket)";
    case ErrorDirectory:
        return "Not a regular file (a directory)";
    case ErrorCharacterDevice:
        return "Not a regular file (a character device)";
    case TMediaFile::ErrorEntryOutsideFolder:
        return "The playlist refers to files outside its folder (refused)";
    case TPlaylistGuard::ErrorPlaylistNesting:
        return "The playlist names playlists nested too deeply (refused)";
    case TPlaylistGuard::ErrorPlaylistKind:
        return "The playlist names a playlist of another kind (refused)";
    default:
        break;
    }
    if (fn::av_strerror != nullptr) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        if (fn::av_strerror(code, text, sizeof text) == 0) {
            return text;
        }
    }
    return Format("Error number %d occurred", code);
}

std::string ErrorText(const std::string& prefix, int code) {
    return prefix + ": " + ErrorMessage(code);
}

std::string CodecDescription(int codecId, unsigned int codecTag, bool encoder) {
    const AVCodec* codec = nullptr;
    if (encoder && fn::avcodec_find_encoder != nullptr) {
        codec = fn::avcodec_find_encoder(static_cast<AVCodecID>(codecId));
    } else if (!encoder && fn::avcodec_find_decoder != nullptr) {
        codec = fn::avcodec_find_decoder(static_cast<AVCodecID>(codecId));
    }
    if (codec != nullptr) {
        const std::string longName = codec->long_name ? Trim(codec->long_name) : std::string();
        return longName.empty() ? std::string(codec->name)
                                : Format("%s(%s)", codec->name, codec->long_name);
    }
    if (codecId == AV_CODEC_ID_MPEG2TS) {
        return "mpeg2ts";
    }
    // The codec's own name stands in for the old context name field.
    if (codecId != AV_CODEC_ID_NONE && fn::avcodec_descriptor_get != nullptr) {
        if (const AVCodecDescriptor* d =
                fn::avcodec_descriptor_get(static_cast<AVCodecID>(codecId))) {
            const std::string name = Trim(std::string(d->name).substr(0, 32));
            if (!name.empty()) {
                return name;
            }
        }
    }
    const unsigned char b0 = codecTag & 0xFF;
    const unsigned char b1 = (codecTag >> 8) & 0xFF;
    const unsigned char b2 = (codecTag >> 16) & 0xFF;
    const unsigned char b3 = (codecTag >> 24) & 0xFF;
    auto printable = [](unsigned char c) { return c >= 32 && c <= 126; };
    if (printable(b0) && printable(b1) && printable(b2) && printable(b3)) {
        return Format("%c%c%c%c / 0x%04X", b0, b1, b2, b3, codecTag);
    }
    return Format("0x%04x", codecTag);
}

std::string CodecDescription(const AVCodecParameters* parameters, bool encoder) {
    return CodecDescription(parameters->codec_id, parameters->codec_tag, encoder);
}

std::string CodecTypeName(int mediaType) {
    switch (mediaType) {
    case AVMEDIA_TYPE_VIDEO:
        return "Video";
    case AVMEDIA_TYPE_AUDIO:
        return "Audio";
    case AVMEDIA_TYPE_DATA:
        return "Data";
    case AVMEDIA_TYPE_SUBTITLE:
        return "Subtitle";
    case AVMEDIA_TYPE_ATTACHMENT:
        return "Attachment";
    default:
        return "Unknown";
    }
}

int ParseFilterChain(AVFilterGraph* graph, const std::string& chain, AVFilterContext* source,
                     AVFilterContext* sink) {
    media::FilterInOutPtr outputs(fn::avfilter_inout_alloc());
    media::FilterInOutPtr inputs(fn::avfilter_inout_alloc());
    if (!outputs || !inputs) {
        return AVERROR(ENOMEM);
    }
    // The chain's unlabelled ends: "in" reads the source, "out" feeds the sink.
    outputs->name = fn::av_strdup("in");
    outputs->filter_ctx = source;
    inputs->name = fn::av_strdup("out");
    inputs->filter_ctx = sink;
    AVFilterInOut* in = inputs.release();
    AVFilterInOut* out = outputs.release();
    const int result = fn::avfilter_graph_parse_ptr(graph, chain.c_str(), &in, &out, nullptr);
    // Whatever the parser left unconnected is ours to free.
    inputs.reset(in);
    outputs.reset(out);
    return result;
}

std::string MetadataValue(const AVDictionary* metadata, const std::string& key,
                          const std::string& defaultValue) {
    if (metadata == nullptr || fn::av_dict_get == nullptr) {
        return defaultValue;
    }
    const AVDictionaryEntry* entry =
        fn::av_dict_get(metadata, key.c_str(), nullptr, AV_DICT_MATCH_CASE);
    return entry != nullptr ? std::string(entry->value) : defaultValue;
}

int TimeZoneBiasMinutes(std::int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    localtime_r(&t, &local);
    return static_cast<int>(-local.tm_gmtoff / 60);
}

double UnixToLocalDateTime(std::int64_t seconds) {
    return static_cast<double>(seconds) / 86400.0 + 25569.0 - TimeZoneBiasMinutes(seconds) / 1440.0;
}

std::int64_t LocalDateTimeToUnix(double dateTime) {
    const double approx = (dateTime - 25569.0) * 86400.0;
    const int bias = TimeZoneBiasMinutes(static_cast<std::int64_t>(approx));
    return static_cast<std::int64_t>(std::rint((dateTime - 25569.0 + bias / 1440.0) * 86400.0));
}

double NowLocalDateTime() {
    return UnixToLocalDateTime(static_cast<std::int64_t>(std::time(nullptr)));
}

std::string FormatDateTime(const std::string& format, double dateTime) {
    // The date-time is already local: break it down without another zone shift.
    const auto seconds = static_cast<std::time_t>(std::llround((dateTime - 25569.0) * 86400.0));
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    std::string out;
    for (size_t i = 0; i < format.size();) {
        auto token = [&](const char* t) { return format.compare(i, std::strlen(t), t) == 0; };
        if (token("yyyy")) {
            out += Format("%04d", parts.tm_year + 1900);
            i += 4;
        } else if (token("mm")) {
            out += Format("%02d", parts.tm_mon + 1);
            i += 2;
        } else if (token("dd")) {
            out += Format("%02d", parts.tm_mday);
            i += 2;
        } else if (token("hh")) {
            out += Format("%02d", parts.tm_hour);
            i += 2;
        } else if (token("nn")) {
            out += Format("%02d", parts.tm_min);
            i += 2;
        } else if (token("ss")) {
            out += Format("%02d", parts.tm_sec);
            i += 2;
        } else {
            out += format[i++];
        }
    }
    return out;
}

std::string SplitFirst(std::string& text, char delimiter, bool remove) {
    const auto pos = text.find(delimiter);
    if (pos == std::string::npos) {
        std::string whole = text;
        if (remove) {
            text.clear();
        }
        return whole;
    }
    std::string first = text.substr(0, pos);
    if (remove) {
        text.erase(0, pos + 1);
    }
    return first;
}

std::vector<std::string> SplitText(const std::string& text, char delimiter) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        const auto pos = text.find(delimiter, start);
        if (pos == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::int64_t FileSizeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(st.st_size);
}

int ReadWholeFile(const std::string& path, std::vector<char>& buffer) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return -1;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) {
        return -1;
    }
    in.seekg(0, std::ios::beg);
    try {
        buffer.assign(static_cast<size_t>(size) + 1, '\0');
    } catch (const std::bad_alloc&) {
        return -12;
    }
    if (size > 0 && !in.read(buffer.data(), size)) {
        return -1;
    }
    return 0;
}
