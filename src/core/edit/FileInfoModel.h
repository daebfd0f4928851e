#pragma once

#include <cstdint>
#include <string>

class TCustomAVProbe;

// The texts of the file information window, one per field; empty when not known.
struct TFileInfoFields {
    std::string SourceName;   // lblSourceName
    std::string FileLength;   // lblFileLength
    std::string Format;       // edtFormat
    std::string Resolution;   // edtResloution
    std::string BitRate;      // edtBitRate
    std::string FrameRate;    // edtFrameRate
    std::string TotalFrame;   // edtTotalFrame
    std::string AudioFormat;  // edtAudioForamt
    std::string SampleRate;   // edtSampleRate
    std::string Channel;      // edtChannel
    std::string AudioBitRate; // edtAudioBitRate

    bool operator==(const TFileInfoFields&) const = default;
};

// What the file information window shows about one source file, from the media probe. Every
// load starts from empty fields, so a reused window never shows an earlier file's values. A
// file with audio only shows its name, duration, format and audio fields.
class TFileInfoModel {
public:
    static constexpr int WindowWidth = 420;
    static constexpr int WindowHeight = 460;
    static constexpr int NameLabelWidth = 270;

    // Probes the file (the media libraries must be loaded). False when nothing could be read:
    // every field is then empty and ErrorText says why. An empty name only clears the fields.
    bool Load(const std::string& fileName);
    // Fills the fields from a probe that has a file open.
    void Fill(TCustomAVProbe& probe);
    void Clear();

    const TFileInfoFields& Fields() const { return fields_; }
    // The container states no frame count, so TotalFrame is only duration x rate until a
    // count of the video packets arrives (a variable rate makes the estimate wrong).
    bool FrameCountEstimated() const { return frameCountEstimated_; }
    void SetCountedFrames(std::int64_t frames);
    const std::string& ErrorText() const { return errorText_; }

    // The file name as the label shows it: from 46 characters on, the first 40, "..", the
    // extension (with its dot) and two blanks.
    static std::string DisplayName(const std::string& fileName);
    // Whole seconds "." milliseconds " Second"; empty for an unknown duration.
    static std::string DurationText(std::int64_t microseconds);
    // Whole numbers as such, fractions with up to three decimals (25, 29.97, 23.976).
    static std::string FrameRateText(int num, int den);
    // The container's frame count when it states one, else duration x rate rounded; empty
    // when neither is known.
    static std::string FrameCountText(std::int64_t frameCount, std::int64_t durationUS, int num,
                                      int den);
    // The codec name of the first "Audio: " line of the probe's description, up to the next
    // ","; the decoder, profile and tag today's libraries add in brackets are left out.
    static std::string AudioFormatOf(const std::string& infoText);

private:
    TFileInfoFields fields_;
    std::string errorText_;
    bool frameCountEstimated_ = false;
};
