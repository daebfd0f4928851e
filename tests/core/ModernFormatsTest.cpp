// Today's formats converted for real: what the encoders wrote (container, codecs, pixel
// format, profile, tag, index position), constant quality in the encoders' own words and
// the order of the levels' sizes, the software fallback of a hardware encoder named in a
// profile, and an older installed catalog upgraded with the stored profiles still used.
#include "BatchTestSupport.h"

#include "CatalogFile.h"
#include "FFEncoder.h"
#include "FFmpegLogger.h"
#include "FormatProfile.h"
#include "IniFile.h"
#include "MediaUtils.h"
#include "RecordingShell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

using testing_support::ProbeEntry;
using testing_support::RunCommand;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

const std::string CatalogPath = std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini";
const std::string HardwareFallbackNotice = "H.265 (VAAPI) is not available (";

// 8-bit RGB pictures: without a chosen pixel format the encoders would keep 4:4:4 or RGB.
std::string RgbClip() {
    return batch_test::SharedFixture("modern-rgb.mkv", [](const std::string& path) {
        testing_support::MakeClip(path, 1, 128, 72, 25, 44100,
                                  "-ac 2 -c:v png -pix_fmt rgb24 -c:a pcm_s16le");
    });
}

// 10-bit 4:2:0 pictures.
std::string TenBitClip() {
    return batch_test::SharedFixture("modern-10bit.mkv", [](const std::string& path) {
        testing_support::MakeClip(path, 1, 128, 72, 25, 44100,
                                  "-ac 2 -c:v ffv1 -pix_fmt yuv420p10le -c:a pcm_s16le");
    });
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The top-level boxes of an MP4 file, in file order.
std::vector<std::string> TopLevelBoxes(const std::string& path) {
    const std::string data = FileText(path);
    std::vector<std::string> boxes;
    size_t at = 0;
    while (at + 8 <= data.size()) {
        std::uint64_t size = 0;
        for (int i = 0; i < 4; ++i) {
            size = (size << 8) | static_cast<unsigned char>(data[at + i]);
        }
        boxes.push_back(data.substr(at + 4, 4));
        if (size == 1 && at + 16 <= data.size()) {
            size = 0;
            for (int i = 8; i < 16; ++i) {
                size = (size << 8) | static_cast<unsigned char>(data[at + i]);
            }
        }
        if (size < 8) {
            break;
        }
        at += size;
    }
    return boxes;
}

int IndexOf(const std::vector<std::string>& items, const std::string& item) {
    const auto found = std::find(items.begin(), items.end(), item);
    return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

// A home of its own for vantre-convert; every conversion writes into a folder of its own.
class ModernFormats : public ::testing::Test {
protected:
    testing_support::CommandResult Convert(int code, const std::string& source) {
        const std::string out = dir.File("out" + std::to_string(++conversions_));
        const auto result =
            RunCommand("timeout 300 env HOME=" + ShellQuote(dir.Path()) +
                       " XDG_DATA_HOME=" + ShellQuote(dir.File("data")) + " " +
                       ShellQuote(VANTRE_CONVERT) + " --format " + std::to_string(code) +
                       " --out " + ShellQuote(out) + " " + ShellQuote(source));
        const std::string stem = std::filesystem::path(source).stem().string();
        output_ = out + "/" + stem + "_(new)." + TCatalogFile(CatalogPath).FileExt(code);
        return result;
    }
    // The file the last conversion wrote.
    const std::string& Output() const { return output_; }
    std::string SettingsFile() {
        std::filesystem::create_directories(dir.File("data/vantre"));
        return dir.File("data/vantre/vantremp4videoconverter.ini");
    }
    // Stores the catalog's defaults of a format with one choice changed, as the dialog does.
    void StoreProfile(int code, const catalogkey::TParameterKeys& keys, const std::string& text) {
        const TCatalogFile catalog(CatalogPath);
        TProfileChoices choices = TFormatProfile::CatalogDefaults(catalog, code);
        const std::vector<std::string> items = catalog.List(code, keys).Items;
        TProfileChoice& choice = &keys == &catalogkey::VideoBitRate   ? choices.VideoBitRate
                                 : &keys == &catalogkey::VideoEncoder ? choices.VideoEncoder
                                                                      : choices.VideoSize;
        choice = {IndexOf(items, text), text};
        choices.ZoomIndex = 0;
        TIniFile settings(SettingsFile());
        TFormatProfile::Store(settings, catalog, code, choices);
    }

    TempDir dir;

private:
    int conversions_ = 0;
    std::string output_;
};

struct TVideoCase {
    int Code;
    const char* Container; // ffprobe's format name
    const char* Video;
    const char* Audio;
    const char* Profile8;
    const char* Profile10; // nullptr: not converted from the 10-bit source
    const char* PixelFormat10;
};

const TVideoCase VideoCases[] = {
    {2500, "mov,mp4,m4a,3gp,3g2,mj2", "hevc", "aac", "Main", "Main 10", "yuv420p10le"},
    {2501, "matroska,webm", "hevc", "aac", "Main", "Main 10", "yuv420p10le"},
    {2502, "mov,mp4,m4a,3gp,3g2,mj2", "av1", "aac", "Main", "Main", "yuv420p10le"},
    {2503, "matroska,webm", "av1", "opus", "Main", "Main", "yuv420p10le"},
    {2504, "matroska,webm", "vp9", "opus", "Profile 0", "Profile 2", "yuv420p10le"},
    {2505, "matroska,webm", "h264", "aac", "High", "High", "yuv420p"},
};

void CheckVideo(const std::string& file, const TVideoCase& c, bool tenBit) {
    SCOPED_TRACE(file);
    EXPECT_EQ(ProbeEntry(file, "", "format=format_name"), c.Container);
    EXPECT_EQ(ProbeEntry(file, "v:0", "stream=codec_name"), c.Video);
    EXPECT_EQ(ProbeEntry(file, "v:0", "stream=width"), "128");
    EXPECT_EQ(ProbeEntry(file, "v:0", "stream=height"), "72");
    EXPECT_EQ(ProbeEntry(file, "v:0", "stream=r_frame_rate"), "25/1");
    EXPECT_EQ(ProbeEntry(file, "v:0", "stream=pix_fmt"), tenBit ? c.PixelFormat10 : "yuv420p");
    EXPECT_EQ(ProbeEntry(file, "v:0", "stream=profile"), tenBit ? c.Profile10 : c.Profile8);
    EXPECT_NE(ProbeEntry(file, "v:0", "stream=color_range"), "pc");
    EXPECT_EQ(ProbeEntry(file, "a:0", "stream=codec_name"), c.Audio);
    EXPECT_EQ(ProbeEntry(file, "a:0", "stream=sample_rate"), "48000");
    EXPECT_EQ(ProbeEntry(file, "a:0", "stream=channels"), "2");
}

} // namespace

TEST_F(ModernFormats, VideoFormatsWrite420PicturesTheirProfilesAndTags) {
    const std::string rgb = RgbClip();
    const std::string tenBit = TenBitClip();
    for (const TVideoCase& c : VideoCases) {
        SCOPED_TRACE(c.Code);
        auto r = Convert(c.Code, rgb);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        CheckVideo(Output(), c, false);
        if (c.Code == 2500) {
            // H.265 in MP4 under the tag Apple's players take.
            EXPECT_EQ(ProbeEntry(Output(), "v:0", "stream=codec_tag_string"), "hvc1");
        }
        if (std::string(c.Container).rfind("mov", 0) == 0) {
            // The index first: playing starts before the whole file has arrived.
            const std::vector<std::string> boxes = TopLevelBoxes(Output());
            ASSERT_NE(IndexOf(boxes, "moov"), -1);
            EXPECT_LT(IndexOf(boxes, "moov"), IndexOf(boxes, "mdat"));
        }
        if (c.Profile10 != nullptr) {
            r = Convert(c.Code, tenBit);
            ASSERT_EQ(r.exitCode, 0) << r.output;
            CheckVideo(Output(), c, true);
        }
    }
}

TEST_F(ModernFormats, WebAndPhoneFormatsWriteTheirFrameSizes) {
    const std::string rgb = RgbClip();
    const struct {
        int Code;
        const char* Video;
        const char* Width;
        const char* Height;
    } cases[] = {{2700, "h264", "1920", "1080"},
                 {2701, "hevc", "1920", "1080"},
                 {2702, "h264", "1280", "720"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Code);
        const auto r = Convert(c.Code, rgb);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const std::string& file = Output();
        EXPECT_EQ(ProbeEntry(file, "", "format=format_name"), "mov,mp4,m4a,3gp,3g2,mj2");
        EXPECT_EQ(ProbeEntry(file, "v:0", "stream=codec_name"), c.Video);
        EXPECT_EQ(ProbeEntry(file, "v:0", "stream=width"), c.Width);
        EXPECT_EQ(ProbeEntry(file, "v:0", "stream=height"), c.Height);
        EXPECT_EQ(ProbeEntry(file, "v:0", "stream=pix_fmt"), "yuv420p");
        EXPECT_EQ(ProbeEntry(file, "v:0", "stream=profile"),
                  std::string(c.Video) == "hevc" ? "Main" : "High");
        EXPECT_EQ(ProbeEntry(file, "v:0", "stream=r_frame_rate"), "25/1");
        EXPECT_EQ(ProbeEntry(file, "a:0", "stream=codec_name"), "aac");
        EXPECT_EQ(ProbeEntry(file, "a:0", "stream=sample_rate"), "48000");
        EXPECT_EQ(ProbeEntry(file, "a:0", "stream=channels"), "2");
        const std::vector<std::string> boxes = TopLevelBoxes(file);
        EXPECT_LT(IndexOf(boxes, "moov"), IndexOf(boxes, "mdat"));
        if (c.Code == 2701) {
            EXPECT_EQ(ProbeEntry(file, "v:0", "stream=codec_tag_string"), "hvc1");
        }
    }
}

TEST_F(ModernFormats, AudioFormatsWriteTheirCodecsRatesAndChannels) {
    const std::string rgb = RgbClip();
    const struct {
        int Code;
        const char* Container;
        const char* Audio;
        const char* Rate;
    } cases[] = {{2600, "ogg", "opus", "48000"},
                 {2601, "flac", "flac", "44100"},
                 {2602, "mov,mp4,m4a,3gp,3g2,mj2", "alac", "44100"},
                 {2603, "mov,mp4,m4a,3gp,3g2,mj2", "aac", "44100"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Code);
        const auto r = Convert(c.Code, rgb);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        const std::string& file = Output();
        EXPECT_EQ(ProbeEntry(file, "", "format=format_name"), c.Container);
        EXPECT_EQ(ProbeEntry(file, "v", "stream=codec_name"), "") << "no picture";
        EXPECT_EQ(ProbeEntry(file, "a:0", "stream=codec_name"), c.Audio);
        EXPECT_EQ(ProbeEntry(file, "a:0", "stream=sample_rate"), c.Rate);
        EXPECT_EQ(ProbeEntry(file, "a:0", "stream=channels"), "2");
        EXPECT_NEAR(testing_support::ProbeDuration(file), 1.0, 0.1);
    }
}

// What the encoders themselves report: x264's and x265's settings strings in the stream,
// SVT-AV1's rate control line; a smaller level writes a smaller file.
TEST_F(ModernFormats, QualityLevelsAreConstantQualityInTheEncodersOwnWords) {
    const std::string rgb = RgbClip();
    auto r = Convert(2505, rgb);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::string stream = FileText(Output());
    EXPECT_NE(stream.find("x264 - core"), std::string::npos);
    EXPECT_NE(stream.find(" rc=crf "), std::string::npos);
    EXPECT_NE(stream.find(" crf=19.0 "), std::string::npos) << "H.264 HQ defaults to high";

    r = Convert(2502, rgb);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("CRF / 38"), std::string::npos) << r.output;

    std::map<std::string, std::uintmax_t> sizes;
    for (const auto& [level, crf] :
         {std::pair{"Quality high", " crf=25.0 "}, std::pair{"Quality small", " crf=33.0 "}}) {
        StoreProfile(2500, catalogkey::VideoBitRate, level);
        r = Convert(2500, rgb);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        stream = FileText(Output());
        EXPECT_NE(stream.find("x265 (build"), std::string::npos);
        EXPECT_NE(stream.find(" rc=crf "), std::string::npos);
        EXPECT_NE(stream.find(crf), std::string::npos) << level;
        EXPECT_NE(stream.find(" psy-rd=0.00 "), std::string::npos);
        EXPECT_NE(stream.find(" rd=3 "), std::string::npos) << "preset medium";
        sizes[level] = std::filesystem::file_size(Output());
    }
    EXPECT_GT(sizes["Quality high"], sizes["Quality small"]);
}

// On this machine no hardware encoder exists: a profile naming one converts with the software
// encoder, and the run says why.
TEST_F(ModernFormats, ProfileNamingAHardwareEncoderConvertsWithSoftware) {
    const std::string rgb = RgbClip();
    StoreProfile(2500, catalogkey::VideoEncoder, "H.265 (VAAPI)");
    ASSERT_EQ(TIniFile(SettingsFile()).ReadString("formatInfo2500", "paraVideoEncoder", ""),
              "hevc_vaapi");
    const auto r = Convert(2500, rgb);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string& file = Output();
    EXPECT_EQ(ProbeEntry(file, "v:0", "stream=codec_name"), "hevc");
    EXPECT_NE(FileText(file).find("x265 (build"), std::string::npos);
    const size_t notice = r.output.find(HardwareFallbackNotice);
    ASSERT_NE(notice, std::string::npos) << r.output;
    EXPECT_NE(r.output.find("): converted with libx265\n", notice), std::string::npos) << r.output;
}

// A catalog installed by the previous program (version 1, without today's groups) is replaced
// by the program's; the profile stored for an old format still decides its conversion.
TEST_F(ModernFormats, OlderInstalledCatalogIsUpgradedAndStoredProfilesStillUsed) {
    const std::string rgb = RgbClip();
    std::filesystem::create_directories(dir.File("data/vantre"));
    const std::string installed = dir.File("data/vantre/vantremp4format.ini");
    {
        std::ofstream old(installed);
        bool keep = true;
        for (const std::string& line : SplitText(FileText(CatalogPath), '\n')) {
            if (!line.empty() && line[0] == '[') {
                keep = line.rfind("[formatInfo25", 0) != 0 && line.rfind("[formatInfo26", 0) != 0 &&
                       line.rfind("[formatInfo27", 0) != 0;
            }
            if (keep) {
                old << (line == "Version=2" ? std::string("Version=1") : line) << "\n";
            }
        }
    }
    ASSERT_EQ(TIniFile(installed).ReadString("catalog", "Version", ""), "1");
    ASSERT_FALSE(TIniFile(installed).SectionExists("formatInfo2500"));
    // iPod Video H.264 at 480x320 instead of the catalog's 320x240.
    StoreProfile(1, catalogkey::VideoSize, "480x320");

    const auto r = Convert(1, rgb);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("is older than the program's"), std::string::npos) << r.output;
    const TIniFile upgraded(installed);
    EXPECT_EQ(upgraded.ReadString("catalog", "Version", ""), "2");
    EXPECT_TRUE(upgraded.SectionExists("formatInfo2500"));
    EXPECT_TRUE(upgraded.SectionExists("formatInfo2702"));
    EXPECT_EQ(TIniFile(installed + ".bak").ReadString("catalog", "Version", ""), "1");
    const std::string& file = Output();
    EXPECT_EQ(ProbeEntry(file, "v:0", "stream=codec_name"), "h264");
    EXPECT_EQ(ProbeEntry(file, "v:0", "stream=width"), "480");
    EXPECT_EQ(ProbeEntry(file, "v:0", "stream=height"), "320");
    EXPECT_EQ(TIniFile(SettingsFile()).ReadString("formatInfo1", "paraVideoSize", ""), "480x320");
}

namespace {

struct ModernBatch : ::testing::Test {
    void SetUp() override { testing_support::RequireEncoderLibraries(); }
    bool WaitForEnd() {
        return testing_support::PumpUntil([this] { return !run.Running(); },
                                          std::chrono::seconds(120));
    }
    batch_test::THome home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    TFFEncoder encoder;
    TBatchRun run{encoder, home.global};
    batch_test::TRecordingRows rows;
};

} // namespace

// libvpx reports its rate control at the debug level: constant quality is end usage 3 (Q).
TEST_F(ModernBatch, Vp9QualityIsTheLibrarysConstantQualityMode) {
    home.settings.SetFormat("VP9 Video (*.webm)", 2504);
    std::mutex mutex;
    std::vector<std::string> lines;
    // The library's debug lines while converting; the logger is restored however the test ends.
    struct TDebugLog {
        TLogLevel level = LoggerInstance().LogLevel();
        explicit TDebugLog(TLogEvent handler) {
            LoggerInstance().SetLogLevel(llDebug);
            LoggerInstance().SetOnLog(std::move(handler));
        }
        ~TDebugLog() {
            LoggerInstance().SetOnLog(nullptr);
            LoggerInstance().SetLogLevel(level);
        }
    };
    {
        const TDebugLog debug([&](const void*, std::uint32_t, TLogLevel, const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        });
        rows.Add(RgbClip(), true);
        ASSERT_TRUE(run.Start(rows));
        run.RunTasks();
        ASSERT_TRUE(WaitForEnd());
    }
    ASSERT_EQ(run.Jobs().size(), 1u);
    ASSERT_EQ(run.Jobs()[0].Outcome, TJobOutcome::Converted) << run.Jobs()[0].Error;
    EXPECT_EQ(ProbeEntry(run.Jobs()[0].OutputFile, "v:0", "stream=codec_name"), "vp9");
    std::lock_guard lock(mutex);
    std::string endUsage;
    std::string quality;
    for (const std::string& line : lines) {
        const std::string compact = Trim(line);
        if (compact.rfind("rc_end_usage:", 0) == 0) {
            endUsage = Trim(compact.substr(13));
        }
        if (compact.rfind("rc_target_bitrate:", 0) == 0) {
            quality = Trim(compact.substr(18));
        }
    }
    EXPECT_EQ(endUsage, "3") << "libvpx's VPX_Q";
    EXPECT_FALSE(quality.empty());
}

// The row of a job whose hardware encoder is missing says why in its tooltip, and the log
// says so too.
TEST_F(ModernBatch, FallbackIsShownInTheRowTooltipAndTheLog) {
    home.settings.SetFormat("H.265/HEVC Video (*.mp4)", 2500);
    home.settings.Ini().WriteString("formatInfo2500", "paraVideoEncoder", "hevc_vaapi");
    std::vector<std::string> logged;
    run.OnLog = [&](const std::string& text) { logged.push_back(text); };
    const std::string clip = RgbClip();
    rows.Add(clip, true);
    ASSERT_TRUE(run.Start(rows));
    run.RunTasks();
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(run.Jobs().size(), 1u);
    ASSERT_EQ(run.Jobs()[0].Outcome, TJobOutcome::Converted) << run.Jobs()[0].Error;
    const std::string& tooltip = rows.Row(0).Tooltip;
    EXPECT_EQ(tooltip.rfind(HardwareFallbackNotice, 0), 0u) << tooltip;
    EXPECT_NE(tooltip.find("): converted with libx265"), std::string::npos) << tooltip;
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], rows.Caption(0) + ": " + tooltip);
    EXPECT_EQ(ProbeEntry(run.Jobs()[0].OutputFile, "v:0", "stream=codec_name"), "hevc");
}
