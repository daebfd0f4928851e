#include "CustomAVProbe.h"

#include "FFmpegException.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "LibraryFunctions.h"
#include "MediaFile.h"
#include "MediaMessages.h"
#include "MediaPtr.h"
#include "MediaUtils.h"
#include "PictureOrientation.h"
#include "ProbeMessages.h"
#include "UnicodeProtocol.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <mutex>
#include <vector>

namespace {

constexpr int kErrorLevel = AV_LOG_ERROR;     // 16
constexpr int kWarningLevel = AV_LOG_WARNING; // 24
constexpr AVRational kMicroseconds{1, AV_TIME_BASE};

// ID3v2 frame names shown as readable keys in the description; compared exactly.
struct KeyName {
    const char* key;
    const char* name;
};
constexpr KeyName kKeyNames[] = {
    {"TALB", "album"},     {"TAL", "album"},      {"TCOM", "composer"},  {"TCON", "genre"},
    {"TCO", "genre"},      {"TCOP", "copyright"}, {"TDRL", "date"},      {"TENC", "encoder"},
    {"TEN", "encoder"},    {"TIT2", "title"},     {"TT2", "title"},      {"TLAN", "language"},
    {"TPE1", "artist"},    {"TP1", "artist"},     {"TPOS", "disc"},      {"TPUB", "publisher"},
    {"TRCK", "track"},     {"TRK", "track"},      {"TSOA", "albumsort"}, {"TSOP", "authorsort"},
    {"TSOT", "titlesort"}, {"TYER", "year"},
};
static_assert(std::size(kKeyNames) == 22);

const char* ReadableKey(const char* key) {
    for (const KeyName& pair : kKeyNames) {
        if (std::strcmp(pair.key, key) == 0) {
            return pair.name;
        }
    }
    return key;
}

void AddLine(std::string& text, const std::string& line) {
    text += line;
    text += probemsg::LineBreak;
}

// A zero denominator would divide by zero in every conversion: it becomes the numerator, or 1.
// Only the copy is mended; the stream record may belong to a running conversion.
AVRational UsableTimeBase(const AVStream* stream) {
    AVRational tb = stream->time_base;
    if (tb.den == 0) {
        tb.den = tb.num != 0 ? tb.num : 1;
    }
    return tb;
}

// "seconds.micros"; a negative time keeps its sign in front rather than inside the digits.
std::string SecondsText(const char* format, std::int64_t us) {
    const std::uint64_t magnitude =
        us < 0 ? 0 - static_cast<std::uint64_t>(us) : static_cast<std::uint64_t>(us);
    std::string text = Format(format, static_cast<int>(magnitude / 1000000),
                              static_cast<int>(magnitude % 1000000));
    if (us < 0) {
        text.insert(text.find_first_of("0123456789"), 1, '-');
    }
    return text;
}

// The rate rule of the description: two decimals when the rate has a fraction, whole numbers
// otherwise, thousands ("90k") for round multiples of 1000.
std::string RateText(AVRational rate, const char* name) {
    if (rate.num == 0 || rate.den == 0) {
        return {};
    }
    const double value = av_q2d(rate);
    const long long hundredths = std::llround(value * 100);
    if (hundredths % 100 != 0) {
        return Format(probemsg::StreamRateFraction, value, name);
    }
    if (hundredths % 100000 != 0) {
        return Format(probemsg::StreamRateWhole, value, name);
    }
    return Format(probemsg::StreamRateThousands, value / 1000, name);
}

// The leading decimal number of a tag ("2009-05-01" gives 2009, "3/12" gives 3), -1 when none.
int LeadingNumber(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty() || !std::isdigit(static_cast<unsigned char>(t[0]))) {
        return -1;
    }
    errno = 0;
    const long value = std::strtol(t.c_str(), nullptr, 10);
    return errno != 0 || value > INT_MAX ? -1 : static_cast<int>(value);
}

// Today's demuxers keep the creation time as ISO 8601 text ("2020-01-02T03:04:05.000000Z");
// seconds since 1970 UTC, -1 when the text is not such a time. A missing zone means UTC.
std::int64_t ParseCreationTime(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) != 3) {
        return -1;
    }
    const char* rest = text.c_str() + used;
    if (*rest == 'T' || *rest == ' ') {
        int timeUsed = 0;
        if (std::sscanf(rest + 1, "%2d:%2d:%2d%n", &hour, &minute, &second, &timeUsed) != 3) {
            return -1;
        }
        rest += 1 + timeUsed;
        if (*rest == '.') {
            ++rest;
            while (std::isdigit(static_cast<unsigned char>(*rest))) {
                ++rest;
            }
        }
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 ||
        year < 0 || hour < 0 || minute < 0 || second < 0) {
        return -1;
    }
    int offsetSeconds = 0;
    if (*rest == '+' || *rest == '-') {
        int offsetHours = 0, offsetMinutes = 0;
        if (std::sscanf(rest + 1, "%2d:%2d", &offsetHours, &offsetMinutes) < 1 &&
            std::sscanf(rest + 1, "%2d%2d", &offsetHours, &offsetMinutes) < 1) {
            return -1;
        }
        offsetSeconds = (offsetHours * 60 + offsetMinutes) * 60 * (*rest == '-' ? -1 : 1);
    } else if (*rest != 'Z' && *rest != 'z' && *rest != '\0') {
        return -1;
    }
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return static_cast<std::int64_t>(::timegm(&parts)) - offsetSeconds;
}

std::int64_t CreationTime(const AVDictionary* metadata) {
    const std::string text = MetadataValue(metadata, "creation_time", "");
    return text.empty() ? -1 : ParseCreationTime(text);
}

std::string TagOr(const AVDictionary* metadata, const char* key, const char* fallback) {
    std::string value = MetadataValue(metadata, key, "");
    return value.empty() ? MetadataValue(metadata, fallback, "") : value;
}

// The libraries' one-line codec description for the stream's parameters.
std::string CodecString(const AVStream* stream, AVRational& codecTimeBase) {
    codecTimeBase = AVRational{0, 1};
    media::CodecContextPtr codec(fn::avcodec_alloc_context3(nullptr));
    if (!codec || fn::avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0) {
        return CodecDescription(stream->codecpar, false);
    }
    codecTimeBase = codec->time_base;
    char text[256] = {};
    fn::avcodec_string(text, sizeof text, codec.get(), 0);
    return text;
}

} // namespace

void TCustomAVProbe::InputCloser::operator()(AVFormatContext* context) const {
    TMediaFile::CloseInput(&context);
}

TCustomAVProbe::TCustomAVProbe() {
    TCustomAVProbe::RefreshInfo();
}

TCustomAVProbe::~TCustomAVProbe() {
    TCustomAVProbe::Close();
}

void TCustomAVProbe::CheckLibraries() {
    const TFFmpegLoader& loader = TFFmpegLoader::Instance();
    if (!loader.IsLoaded(TLibraryKind::libAVCodec)) {
        throw FFmpegException(mediamsg::LibAVCodecNotLoaded);
    }
    if (!loader.IsLoaded(TLibraryKind::libAVFormat)) {
        throw FFmpegException(mediamsg::LibAVFormatNotLoaded);
    }
    if (!loader.IsLoaded(TLibraryKind::libAVUtil)) {
        throw FFmpegException(mediamsg::LibAVUtilNotLoaded);
    }
    if (!loader.IsLoaded(TLibraryKind::libSWScale)) {
        throw FFmpegException(mediamsg::LibSwScaleNotLoaded);
    }
}

void TCustomAVProbe::ReportError(int libraryLevel, const std::string& text) {
    LoggerInstance().Log(this, LibraryLevelToLogLevel(libraryLevel), text);
    lastErrorText_ = text;
}

bool TCustomAVProbe::LoadFile(const std::string& fileName, const std::string& forcedFormat) {
    CheckLibraries();
    Close();

    const AVInputFormat* format = nullptr;
    if (!forcedFormat.empty()) {
        format = fn::av_find_input_format(forcedFormat.c_str());
        if (format == nullptr) {
            lastErrorText_ = Format(probemsg::UnknownInputFormat, forcedFormat.c_str());
            return false;
        }
    }

    AVFormatContext* opened = nullptr;
    const int result = TMediaFile::OpenInput(&opened, fileName, format, nullptr);
    if (result < 0) {
        ReportError(kErrorLevel, ErrorText(fileName, result));
        Close();
        return false;
    }
    ownedContext_.reset(opened);
    context_ = opened;
    ownsContext_ = true;

    int found;
    {
        std::lock_guard lock(CodecLock());
        found = fn::avformat_find_stream_info(context_, nullptr);
    }
    if (found < 0) {
        lastErrorText_ = Format(probemsg::NoCodecParameters, fileName.c_str());
        Close();
        return false;
    }

    RefreshInfo();
    forcedFormat_ = forcedFormat;
    return true;
}

void TCustomAVProbe::AttachContext(AVFormatContext* context) {
    CheckLibraries();
    Close();
    ownsContext_ = false;
    context_ = context;
    RefreshInfo();
}

void TCustomAVProbe::Close() {
    forcedFormat_.clear();
    if (context_ != nullptr) {
        if (ownsContext_) {
            ownedContext_.reset();
        }
        context_ = nullptr;
    }
    ownsContext_ = false;
    RefreshInfo();
}

void TCustomAVProbe::RefreshInfo() {
    fileSize_ = -1;
    streamCount_ = programCount_ = -1;
    audioStreamCount_ = videoStreamCount_ = subtitleStreamCount_ = -1;
    firstAudioStreamIndex_ = firstVideoStreamIndex_ = firstSubtitleStreamIndex_ = -1;
    if (context_ == nullptr) {
        return;
    }

    std::int64_t size = context_->pb != nullptr ? fn::avio_size(context_->pb) : -1;
    if (size <= 0) {
        // Custom byte streams and some protocols report no size: ask the file system.
        const std::string name = context_->url != nullptr ? FromLibraryFileName(context_->url) : "";
        if (!name.empty() && FileExists(name)) {
            size = FileSizeOf(name);
        }
    }
    fileSize_ = size < 0 ? -1 : size;

    streamCount_ = static_cast<int>(context_->nb_streams);
    programCount_ = static_cast<int>(context_->nb_programs);
    audioStreamCount_ = videoStreamCount_ = subtitleStreamCount_ = 0;
    for (int i = 0; i < streamCount_; ++i) {
        switch (context_->streams[i]->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            ++videoStreamCount_;
            if (firstVideoStreamIndex_ < 0) {
                firstVideoStreamIndex_ = i;
            }
            break;
        case AVMEDIA_TYPE_AUDIO:
            ++audioStreamCount_;
            if (firstAudioStreamIndex_ < 0) {
                firstAudioStreamIndex_ = i;
            }
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            ++subtitleStreamCount_;
            if (firstSubtitleStreamIndex_ < 0) {
                firstSubtitleStreamIndex_ = i;
            }
            break;
        default:
            break;
        }
    }
}

std::int64_t TCustomAVProbe::StreamTimeUS(int index, std::int64_t value) const {
    if (context_ == nullptr || index < 0 || index >= static_cast<int>(context_->nb_streams) ||
        value == NoTimestamp) {
        return NoTimestamp;
    }
    return fn::av_rescale_q(value, UsableTimeBase(context_->streams[index]), kMicroseconds);
}

std::string TCustomAVProbe::FileName() const {
    return context_ != nullptr && context_->url != nullptr ? FromLibraryFileName(context_->url)
                                                           : std::string();
}

std::string TCustomAVProbe::FormatName() const {
    return context_ != nullptr && context_->iformat != nullptr ? context_->iformat->name
                                                               : std::string();
}

bool TCustomAVProbe::IsAudioStream(int index) const {
    return context_ != nullptr && index >= 0 && index < static_cast<int>(context_->nb_streams) &&
           context_->streams[index]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
}

bool TCustomAVProbe::IsVideoStream(int index) const {
    return context_ != nullptr && index >= 0 && index < static_cast<int>(context_->nb_streams) &&
           context_->streams[index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
}

bool TCustomAVProbe::GetFileStreamInfo(TFileStreamInfo& info) {
    info = TFileStreamInfo{};
    if (context_ == nullptr) {
        ReportError(kWarningLevel, probemsg::FileNotLoaded);
        return false;
    }
    const AVDictionary* tags = context_->metadata;
    info.StartTime = context_->start_time == NoTimestamp ? -1 : context_->start_time;
    info.Duration = context_->duration == NoTimestamp ? -1 : context_->duration;
    info.BitRate = static_cast<int>(std::min<std::int64_t>(context_->bit_rate, INT_MAX));
    info.Timestamp = CreationTime(tags);
    info.Year = LeadingNumber(TagOr(tags, "date", "year"));
    info.Track = LeadingNumber(MetadataValue(tags, "track", ""));
    info.Title = MetadataValue(tags, "title", "");
    // Today's muxers write the author as "artist".
    info.Author = TagOr(tags, "author", "artist");
    info.Copyright = MetadataValue(tags, "copyright", "");
    info.Comment = MetadataValue(tags, "comment", "");
    info.Album = MetadataValue(tags, "album", "");
    info.Genre = MetadataValue(tags, "genre", "");
    return true;
}

AVStream* TCustomAVProbe::SelectStream(int index, int mediaType) {
    const bool audio = mediaType == AVMEDIA_TYPE_AUDIO;
    if (context_ == nullptr) {
        ReportError(kWarningLevel, probemsg::FileNotLoaded);
        return nullptr;
    }
    if (index < 0) {
        index = audio ? firstAudioStreamIndex_ : firstVideoStreamIndex_;
        if (index < 0) {
            ReportError(kErrorLevel, audio ? probemsg::NoAudioStream : probemsg::NoVideoStream);
            return nullptr;
        }
    } else if (index >= streamCount_ || index >= static_cast<int>(context_->nb_streams)) {
        ReportError(kErrorLevel, Format(probemsg::InvalidStreamIndex, index));
        return nullptr;
    }
    AVStream* stream = context_->streams[index];
    if (stream->codecpar->codec_type != mediaType) {
        ReportError(kErrorLevel,
                    Format(audio ? probemsg::NotAudioStream : probemsg::NotVideoStream, index));
        return nullptr;
    }
    return stream;
}

namespace {

// The fields both stream records share.
template <typename Record> void FillCommon(const AVStream* stream, Record& info) {
    info.Language = MetadataValue(stream->metadata, "language", "");
    info.CodecName = CodecDescription(stream->codecpar, false);
    const AVRational tb = UsableTimeBase(stream);
    if (stream->start_time != NoTimestamp) {
        info.StartTime = stream->start_time;
        info.StartTimeUS = fn::av_rescale_q(stream->start_time, tb, kMicroseconds);
    }
    if (stream->duration != NoTimestamp) {
        info.Duration = stream->duration;
        info.DurationUS = fn::av_rescale_q(stream->duration, tb, kMicroseconds);
    }
    info.BitRate = static_cast<int>(std::min<std::int64_t>(stream->codecpar->bit_rate, INT_MAX));
}

} // namespace

bool TCustomAVProbe::GetAudioStreamInfo(int index, TAudioStreamInfo& info) {
    info = TAudioStreamInfo{};
    const AVStream* stream = SelectStream(index, AVMEDIA_TYPE_AUDIO);
    if (stream == nullptr) {
        return false;
    }
    FillCommon(stream, info);
    const AVCodecParameters* par = stream->codecpar;
    info.Channels = par->ch_layout.nb_channels;
    info.SampleRate = par->sample_rate;
    info.SampleFormat = par->format;
    info.Default = (stream->disposition & AV_DISPOSITION_DEFAULT) != 0;
    return true;
}

bool TCustomAVProbe::GetVideoStreamInfo(int index, TVideoStreamInfo& info) {
    info = TVideoStreamInfo{};
    AVStream* stream = SelectStream(index, AVMEDIA_TYPE_VIDEO);
    if (stream == nullptr) {
        return false;
    }
    FillCommon(stream, info);
    const AVCodecParameters* par = stream->codecpar;
    info.Width = par->width;
    info.Height = par->height;
    const AVRational sar = par->sample_aspect_ratio;
    info.DisplayAspectRatio = sar.num != 0 && sar.den != 0 && par->height != 0
                                  ? static_cast<float>(av_q2d(sar) * par->width / par->height)
                                  : 0.0f;
    info.PixelFormat = par->format;
    AVRational rate = stream->r_frame_rate;
    if (rate.num == 0 || rate.den == 0) {
        rate = fn::av_guess_frame_rate(context_, stream, nullptr);
    }
    info.FrameRateNum = rate.num;
    info.FrameRateDen = rate.den;
    if (stream->nb_frames > 0) {
        info.FrameCount = stream->nb_frames;
    }
    info.Rotation = OrientationOf(stream).Rotation;
    const AVRational shape =
        stream->sample_aspect_ratio.num > 0 ? stream->sample_aspect_ratio : sar;
    info.SampleAspectNum = shape.num > 0 && shape.den > 0 ? shape.num : 0;
    info.SampleAspectDen = shape.num > 0 && shape.den > 0 ? shape.den : 0;
    info.AttachedPicture = (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
    info.Interlaced =
        par->field_order != AV_FIELD_UNKNOWN && par->field_order != AV_FIELD_PROGRESSIVE;
    info.HighDynamicRange =
        par->color_trc == AVCOL_TRC_SMPTE2084 || par->color_trc == AVCOL_TRC_ARIB_STD_B67;
    return true;
}

std::string TCustomAVProbe::MetadataBlock(const AVDictionary* metadata,
                                          const std::string& indent) const {
    const int count = metadata != nullptr ? fn::av_dict_count(metadata) : 0;
    if (count == 0 || (count == 1 && fn::av_dict_get(metadata, "language", nullptr,
                                                     AV_DICT_MATCH_CASE) != nullptr)) {
        return {};
    }
    std::string text;
    AddLine(text, Format(probemsg::InfoMetadata, indent.c_str()));
    const AVDictionaryEntry* tag = nullptr;
    while ((tag = fn::av_dict_get(metadata, "", tag, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        if (std::strcmp(tag->key, "language") != 0) {
            AddLine(text, Format(probemsg::InfoMetadataTag, indent.c_str(), ReadableKey(tag->key),
                                 tag->value));
        }
    }
    return text;
}

std::string TCustomAVProbe::StreamLine(int index) const {
    const AVStream* stream = context_->streams[index];
    const AVCodecParameters* par = stream->codecpar;

    std::string line = Format(probemsg::StreamIndex, index);
    if (context_->iformat != nullptr && (context_->iformat->flags & AVFMT_SHOW_IDS) != 0) {
        line += Format(probemsg::StreamId, stream->id);
    }
    const std::string language = MetadataValue(stream->metadata, "language", "");
    if (!language.empty()) {
        line += Format(probemsg::StreamLanguage, language.c_str());
    }
    const AVRational tb = stream->time_base;
    std::int64_t divisor = fn::av_gcd(tb.num, tb.den);
    if (divisor == 0) {
        divisor = 1;
    }
    line += Format(probemsg::StreamTimeBase, static_cast<int>(tb.num / divisor),
                   static_cast<int>(tb.den / divisor));

    AVRational codecTimeBase{0, 1};
    line += ": " + CodecString(stream, codecTimeBase);

    const AVRational sar = stream->sample_aspect_ratio;
    if (sar.num != 0 && av_cmp_q(sar, par->sample_aspect_ratio) != 0) {
        AVRational dar{0, 1};
        fn::av_reduce(&dar.num, &dar.den, static_cast<std::int64_t>(par->width) * sar.num,
                      static_cast<std::int64_t>(par->height) * sar.den, 1048576);
        line = Format(probemsg::StreamAspect, line.c_str(), sar.num, sar.den, dar.num, dar.den);
    }

    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
        // Parameters carry no codec time base, so a filled context reports 0/1; the codec then
        // ticks once per frame: the inverse of the average frame rate.
        if (codecTimeBase.num == 0 || codecTimeBase.den == 0) {
            codecTimeBase = av_inv_q(stream->avg_frame_rate);
        }
        line += RateText(stream->avg_frame_rate, "fps");
        line += RateText(stream->r_frame_rate, "tbr");
        line += RateText(av_inv_q(stream->time_base), "tbn");
        line += RateText(av_inv_q(codecTimeBase), "tbc");
    }

    if (stream->start_time != NoTimestamp) {
        line += SecondsText(probemsg::StreamStartTime, StreamTimeUS(index, stream->start_time));
    }
    // FormatDuration gives "N/A" for the missing value.
    line += Format(probemsg::StreamDuration,
                   FormatDuration(StreamTimeUS(index, stream->duration)).c_str());

    std::string text;
    AddLine(text, line);
    text += MetadataBlock(stream->metadata, "  ");
    return text;
}

std::string TCustomAVProbe::GetInfoText() {
    if (context_ == nullptr) {
        ReportError(kWarningLevel, probemsg::FileNotLoaded);
        return {};
    }
    std::string text;
    AddLine(text, Format(probemsg::InfoFileName, FileName().c_str()));
    AddLine(text, Format(probemsg::InfoFormatName, FormatName().c_str()));
    const char* longName = context_->iformat != nullptr && context_->iformat->long_name != nullptr
                               ? context_->iformat->long_name
                               : "";
    AddLine(text, Format(probemsg::InfoFormatLongName, longName));
    AddLine(text, Format(probemsg::InfoFileSize, FormatSize(fileSize_).c_str()));

    const std::int64_t duration = context_->duration;
    AddLine(text, Format(probemsg::InfoDuration, duration == NoTimestamp || duration < 0
                                                     ? probemsg::NotAvailable
                                                     : FormatDuration(duration).c_str()));
    if (context_->start_time != NoTimestamp && context_->start_time >= 0) {
        AddLine(text, SecondsText(probemsg::InfoStartTime, context_->start_time));
    }
    if (context_->bit_rate < 1) {
        AddLine(text, probemsg::InfoBitRateNA);
    } else {
        AddLine(text, Format(probemsg::InfoBitRate, static_cast<int>(context_->bit_rate / 1000)));
    }
    const std::int64_t timestamp = CreationTime(context_->metadata);
    if (timestamp > 0) {
        AddLine(
            text,
            Format(
                probemsg::InfoTimeStamp,
                FormatDateTime(probemsg::TimeStampForm, UnixToLocalDateTime(timestamp)).c_str()));
    }
    text += MetadataBlock(context_->metadata, "");

    const int streams = static_cast<int>(context_->nb_streams);
    std::vector<bool> listed(static_cast<size_t>(streams), false);
    for (unsigned p = 0; p < context_->nb_programs; ++p) {
        const AVProgram* program = context_->programs[p];
        // Today's demuxers name the service "service_provider" and "service_name".
        std::string provider = TagOr(program->metadata, "provider_name", "service_provider");
        std::string name = TagOr(program->metadata, "name", "service_name");
        if (provider.empty()) {
            provider = probemsg::NotAvailable;
        }
        if (name.empty()) {
            name = probemsg::NotAvailable;
        }
        AddLine(text, Format(probemsg::InfoProgram, program->id, (provider + "@" + name).c_str()));
        text += MetadataBlock(program->metadata, "  ");
        for (unsigned k = 0; k < program->nb_stream_indexes; ++k) {
            const unsigned index = program->stream_index[k];
            if (index < static_cast<unsigned>(streams)) {
                text += StreamLine(static_cast<int>(index));
                listed[index] = true;
            }
        }
    }
    for (int i = 0; i < streams; ++i) {
        if (!listed[static_cast<size_t>(i)]) {
            text += StreamLine(i);
        }
    }
    return text;
}

std::int64_t TCustomAVProbe::CountPackets(int index, const std::atomic<bool>& stop) {
    if (context_ == nullptr || index < 0 || index >= static_cast<int>(context_->nb_streams)) {
        return -1;
    }
    const media::PacketPtr packet = media::MakePacket();
    if (!packet) {
        return -1;
    }
    std::int64_t count = 0;
    while (!stop) {
        const int result = fn::av_read_frame(context_, packet.get());
        if (result < 0) {
            return result == AVERROR_EOF || context_->pb == nullptr || context_->pb->eof_reached
                       ? count
                       : -1;
        }
        if (packet->stream_index == index) {
            ++count;
        }
        fn::av_packet_unref(packet.get());
    }
    return -1;
}
