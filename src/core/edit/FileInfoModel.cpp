#include "FileInfoModel.h"

#include "AVProbe.h"
#include "EditModelMessages.h"
#include "FFmpegException.h"
#include "MediaUtils.h"

#include <cmath>
#include <filesystem>
#include <sstream>

namespace {

constexpr int NameShortenFrom = 46;
constexpr int NameKeep = 40;

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The first n code points of a UTF-8 text.
std::string LeftChars(const std::string& text, int n, int& total) {
    total = 0;
    size_t cut = text.size();
    for (size_t i = 0; i < text.size(); ++i) {
        if (!IsContinuationByte(text[i])) {
            if (total == n) {
                cut = i;
            }
            ++total;
        }
    }
    return text.substr(0, cut);
}

std::string Positive(std::int64_t value) {
    return value > 0 ? std::to_string(value) : std::string();
}

} // namespace

void TFileInfoModel::Clear() {
    fields_ = TFileInfoFields{};
    errorText_.clear();
    frameCountEstimated_ = false;
}

bool TFileInfoModel::Load(const std::string& fileName) {
    Clear();
    if (fileName.empty()) {
        return false;
    }
    TAVProbe probe;
    try {
        if (!probe.LoadFile(fileName)) {
            errorText_ = probe.LastErrorText();
            return false;
        }
    } catch (const FFmpegException& error) {
        errorText_ = error.what();
        return false;
    }
    Fill(probe);
    return true;
}

void TFileInfoModel::Fill(TCustomAVProbe& probe) {
    Clear();
    TFileStreamInfo file;
    if (!probe.GetFileStreamInfo(file)) {
        errorText_ = probe.LastErrorText();
        return;
    }
    fields_.SourceName = DisplayName(probe.FileName());
    fields_.FileLength = DurationText(file.Duration);
    fields_.Format = probe.FormatName();

    TVideoStreamInfo video;
    if (probe.IsVideoStream(probe.FirstVideoStreamIndex()) &&
        probe.GetVideoStreamInfo(probe.FirstVideoStreamIndex(), video)) {
        if (video.Width > 0 && video.Height > 0) {
            fields_.Resolution = std::to_string(video.Width) + "x" + std::to_string(video.Height);
        }
        fields_.BitRate = Positive(video.BitRate);
        fields_.FrameRate = FrameRateText(video.FrameRateNum, video.FrameRateDen);
        const std::int64_t duration = video.DurationUS > 0 ? video.DurationUS : file.Duration;
        fields_.TotalFrame =
            FrameCountText(video.FrameCount, duration, video.FrameRateNum, video.FrameRateDen);
        frameCountEstimated_ = video.FrameCount <= 0;
    }

    TAudioStreamInfo audio;
    if (probe.IsAudioStream(probe.FirstAudioStreamIndex()) &&
        probe.GetAudioStreamInfo(probe.FirstAudioStreamIndex(), audio)) {
        fields_.AudioFormat = AudioFormatOf(probe.GetInfoText());
        fields_.SampleRate = Positive(audio.SampleRate);
        fields_.Channel = Positive(audio.Channels);
        fields_.AudioBitRate = Positive(audio.BitRate);
    }
}

void TFileInfoModel::SetCountedFrames(std::int64_t frames) {
    if (frameCountEstimated_ && frames > 0) {
        fields_.TotalFrame = std::to_string(frames);
        frameCountEstimated_ = false;
    }
}

std::string TFileInfoModel::DisplayName(const std::string& fileName) {
    int length = 0;
    const std::string head = LeftChars(fileName, NameKeep, length);
    if (length < NameShortenFrom) {
        return fileName;
    }
    return head + ".." + std::filesystem::path(fileName).extension().string() + "  ";
}

std::string TFileInfoModel::DurationText(std::int64_t microseconds) {
    if (microseconds < 0) {
        return {};
    }
    return Format("%lld.%.3lld", static_cast<long long>(microseconds / 1000000),
                  static_cast<long long>(microseconds % 1000000 / 1000)) +
           editmsg::SecondSuffix;
}

std::string TFileInfoModel::FrameRateText(int num, int den) {
    if (num <= 0 || den <= 0) {
        return {};
    }
    if (num % den == 0) {
        return std::to_string(num / den);
    }
    std::string text = Format("%.3f", static_cast<double>(num) / den);
    while (text.back() == '0') {
        text.pop_back();
    }
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

std::string TFileInfoModel::FrameCountText(std::int64_t frameCount, std::int64_t durationUS,
                                           int num, int den) {
    if (frameCount > 0) {
        return std::to_string(frameCount);
    }
    if (durationUS <= 0 || num <= 0 || den <= 0) {
        return {};
    }
    const long double frames = static_cast<long double>(durationUS) * num / den / 1e6L;
    return Positive(std::llround(frames));
}

std::string TFileInfoModel::AudioFormatOf(const std::string& infoText) {
    static const std::string marker = "Audio: ";
    std::istringstream lines(infoText);
    std::string line;
    // Only stream lines: a metadata value may itself contain "Audio: ".
    while (std::getline(lines, line)) {
        const std::string trimmed = Trim(line);
        const size_t at = trimmed.find(marker);
        if (trimmed.rfind("Stream #", 0) != 0 || at == std::string::npos) {
            continue;
        }
        std::string name = trimmed.substr(at + marker.size());
        name = name.substr(0, name.find(','));
        return Trim(name.substr(0, name.find(" (")));
    }
    return {};
}
