#include "OutputOptionTable.h"
#include "FFEncoder.h"
#include "FFmpegLogger.h"
#include "OptionTable.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <mutex>

using testing_support::ProbeEntry;
using testing_support::PumpUntil;
using testing_support::TempDir;

namespace {

class OutputOptionTable : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testing_support::RequireEncoderLibraries();
        clipDir = new TempDir;
        testing_support::MakeClip(clipDir->File("clip.mkv"), 2, 160, 120, 25, 44100,
                                  "-c:v mpeg4 -c:a mp2");
    }
    static void TearDownTestSuite() {
        delete clipDir;
        clipDir = nullptr;
    }
    void SetUp() override {
        LoggerInstance().SetLogLevel(llVerbose);
        LoggerInstance().SetTriggerEventInMainThread(false);
        LoggerInstance().SetOnLog(
            [this](const void*, std::uint32_t, TLogLevel, const std::string& text) {
                std::lock_guard lock(mutex);
                lines.push_back(text);
            });
        encoder.OnTerminate = [this](TCustomFFEncoder&, const TTerminateInfo& info) {
            if (info.TaskIndex == -1) {
                batchEnded = true;
            }
        };
    }
    void TearDown() override {
        if (started) {
            encoder.Stop(true);
            PumpUntil([this] { return batchEnded.load(); });
        }
        LoggerInstance().SetOnLog({});
        LoggerInstance().SetTriggerEventInMainThread(true);
        LoggerInstance().SetLogLevel(llInfo);
    }
    // Runs every task added and waits for the end of the batch.
    bool Convert() {
        started = true;
        encoder.StartTask(0);
        return PumpUntil([this] { return batchEnded.load(); }, std::chrono::seconds(120));
    }
    std::vector<std::string> LinesContaining(const std::string& part) {
        std::lock_guard lock(mutex);
        std::vector<std::string> found;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(found), [&](std::string line) {
            std::transform(line.begin(), line.end(), line.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            return line.find(part) != std::string::npos;
        });
        return found;
    }
    static std::string Clip() { return clipDir->File("clip.mkv"); }

    static TempDir* clipDir;
    TempDir dir;
    TFFEncoder encoder;
    bool started = false;
    std::atomic<bool> batchEnded{false};
    std::mutex mutex;
    std::vector<std::string> lines;
};

TempDir* OutputOptionTable::clipDir = nullptr;

} // namespace

// A misspelt name would reach the codec libraries' options and be dropped there unnoticed.
TEST_F(OutputOptionTable, RowsNameTheEnginesOptionsAndLibraryRowsNoneOfThem) {
    using TWay = TOutputOptionTable::TWay;
    ASSERT_FALSE(TOutputOptionTable::Rows().empty());
    for (const auto& row : TOutputOptionTable::Rows()) {
        const bool engines = TOptionTable::Find(row.name) != nullptr;
        EXPECT_EQ(engines, row.way != TWay::Library) << row.name;
    }
    EXPECT_NE(TOptionTable::Find("metadata"), nullptr);
}

TEST_F(OutputOptionTable, CropByTheRecordLogsNoDeprecationAndCropsTheOutput) {
    const int index = encoder.AddTask(Clip(), nullptr);
    ASSERT_EQ(index, 0) << encoder.LastErrorText();
    TOutputOptions o;
    o.VideoCodec = "mpeg4";
    o.AudioCodec = "mp2";
    o.CropTop = 8;
    o.CropBottom = 16;
    o.CropLeft = 8;
    o.CropRight = 32;
    const std::string output = dir.File("cropped.mkv");
    ASSERT_TRUE(encoder.SetOutputFile(index, output, &o)) << encoder.LastErrorText();
    ASSERT_TRUE(Convert());
    EXPECT_EQ(ProbeEntry(output, "v:0", "stream=width"), "120");
    EXPECT_EQ(ProbeEntry(output, "v:0", "stream=height"), "96");
    EXPECT_EQ(LinesContaining("deprecated"), std::vector<std::string>{});

    // The named option of the old command line still warns: the log above would have shown it.
    TFFEncoder other;
    const int named = other.AddTask(Clip(), nullptr);
    TOutputOptions n;
    n.ExtOptions = "croptop=8";
    ASSERT_TRUE(other.SetOutputFile(named, dir.File("named.mkv"), &n)) << other.LastErrorText();
    EXPECT_EQ(LinesContaining("deprecated"),
              std::vector<std::string>{"CropXXX is deprecated in favor of the crop avfilter"});
}

TEST_F(OutputOptionTable, RecordFieldsReachTheOutputs) {
    const int index = encoder.AddTask(Clip(), nullptr);
    ASSERT_EQ(index, 0) << encoder.LastErrorText();
    TOutputOptions o;
    o.VideoCodec = "mpeg4";
    o.AudioCodec = "mp2";
    o.AudioSampleRate = 22050;
    o.AudioChannels = 1;
    o.AudioLanguage = "swe";
    o.VideoLanguage = "fin";
    o.FrameRate = "10";
    o.FrameAspectRatio = "16:9";
    o.MuxPreload = 0.25f;
    o.RecordingTime = 1'000'000;
    o.Metadata.Title = "A title";
    o.Metadata.Year = 2020;
    o.Metadata.Author = "Someone";
    const std::string all = dir.File("all.mkv");
    ASSERT_TRUE(encoder.SetOutputFile(index, all, &o)) << encoder.LastErrorText();
    TOutputOptions v;
    v.AudioCodec = "mp2";
    v.VideoDisable = true;
    const std::string soundOnly = dir.File("sound.mkv");
    ASSERT_TRUE(encoder.SetOutputFile(index, soundOnly, &v)) << encoder.LastErrorText();
    ASSERT_TRUE(Convert());

    EXPECT_EQ(ProbeEntry(all, "a:0", "stream=sample_rate"), "22050");
    EXPECT_EQ(ProbeEntry(all, "a:0", "stream=channels"), "1");
    EXPECT_EQ(ProbeEntry(all, "a:0", "stream_tags=language"), "swe");
    EXPECT_EQ(ProbeEntry(all, "v:0", "stream_tags=language"), "fin");
    EXPECT_EQ(ProbeEntry(all, "v:0", "stream=r_frame_rate"), "10/1");
    EXPECT_EQ(ProbeEntry(all, "v:0", "stream=display_aspect_ratio"), "16:9");
    EXPECT_NEAR(testing_support::ProbeDuration(all), 1.0, 0.15);
    EXPECT_EQ(ProbeEntry(all, "", "format_tags=title"), "A title");
    EXPECT_EQ(ProbeEntry(all, "", "format_tags=date"), "2020");
    EXPECT_EQ(ProbeEntry(all, "", "format_tags=artist"), "Someone");

    EXPECT_EQ(ProbeEntry(soundOnly, "v:0", "stream=codec_name"), "");
    EXPECT_EQ(ProbeEntry(soundOnly, "a:0", "stream=codec_name"), "mp2");
}
