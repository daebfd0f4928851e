// What the settings dialog stores is what vantre-convert produces with the same settings folder.
#include "RecordingShell.h"
#include "SettingsDialogModel.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using C = TSettingsControl;
using testing_support::ProbeEntry;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

class SettingsDialogConvert : public ::testing::Test {
protected:
    SettingsDialogConvert() : shellScope(shell) {
        std::filesystem::create_directories(DataFolder());
        std::filesystem::copy_file(std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini",
                                   DataFolder() + "/vantremp4format.ini");
    }

    std::string DataFolder() const { return dir.File("data/vantre"); }
    TSettingsDialogModel Model() const {
        return TSettingsDialogModel(DataFolder() + "/vantremp4videoconverter.ini",
                                    DataFolder() + "/vantremp4format.ini");
    }
    // Picks a format in the dialog's list, expanding its group.
    static void ChooseFormat(TSettingsDialogModel& dialog, int code) {
        dialog.ToggleList();
        for (int row = 0; row < dialog.FormatList().RowCount(); ++row) {
            const TItemInfo& info = dialog.FormatList().Rows()[row].Info;
            if (info.IsGroup && info.Code == code / 100 && info.Collapsed) {
                dialog.ToggleGroup(row);
            }
            if (info.IsFormat && info.Code == code) {
                ASSERT_TRUE(dialog.ClickRow(row));
                return;
            }
        }
        FAIL() << "no row for format " << code;
    }
    static void SelectText(TSettingsDialogModel& dialog, C control, const std::string& text) {
        const auto& items = dialog.Combo(control).Items;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i] == text) {
                dialog.Select(control, static_cast<int>(i));
                return;
            }
        }
        FAIL() << text << " is not offered by " << TSettingsDialogModel::ControlName(control);
    }
    std::string Convert(int code, const std::string& source) {
        const auto r = testing_support::RunCommand(
            "env HOME=" + ShellQuote(dir.Path()) +
            " XDG_DATA_HOME=" + ShellQuote(dir.File("data")) + " " + ShellQuote(VANTRE_CONVERT) +
            " --format " + std::to_string(code) + " --out " + ShellQuote(dir.File("out")) + " " +
            ShellQuote(source));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        return r.output;
    }
    static long Number(const std::string& text) { return std::atol(text.c_str()); }

    TempDir dir;
    testing_support::RecordingShell shell;
    TScopedShell shellScope;
};

} // namespace

TEST_F(SettingsDialogConvert, VideoFormatConvertsWithTheChosenParameters) {
    testing_support::RequireEncoderLibraries();
    const std::string source = dir.File("clip.mp4");
    testing_support::Ffmpeg("-f lavfi -i testsrc2=duration=2:size=320x240:rate=25 -f lavfi -i "
                            "sine=duration=2 -c:v mpeg4 -q:v 2 -c:a aac -ac 2 " +
                            ShellQuote(source));

    TSettingsDialogModel dialog = Model();
    dialog.Open();
    ChooseFormat(dialog, 2302); // "MPEG-4 Video (*.mp4)"
    ASSERT_EQ(dialog.FormatName(), "MPEG-4 Video (*.mp4)");
    dialog.SetText(C::VideoSize, "353x289"); // typed, and made even on leaving the box
    EXPECT_EQ(dialog.ExitCheck(C::VideoSize), TExitCheck::Corrected);
    dialog.SetText(C::VideoBitRate, "900");
    SelectText(dialog, C::FrameRate, "15");
    SelectText(dialog, C::VideoEncoder, "mpeg-4");
    SelectText(dialog, C::SampleRate, "22050");
    SelectText(dialog, C::AudioBitRate, "64");
    SelectText(dialog, C::Channel, "mono 1 channel");
    ASSERT_TRUE(dialog.Ok());

    Convert(dialog.FormatCode(), source);
    const std::string out = dir.File("out/clip_(new).mp4");
    ASSERT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=codec_name"), "mpeg4");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=width"), "352");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=height"), "288");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=r_frame_rate"), "15/1");
    // A clip this short overshoots its target: the ffmpeg tool's output with the same bit
    // rate is the measure.
    const std::string reference = dir.File("reference.mp4");
    testing_support::Ffmpeg("-i " + ShellQuote(source) +
                            " -c:v mpeg4 -b:v 900k -r 15 -s 352x288 -an " + ShellQuote(reference));
    const double referenceRate = Number(ProbeEntry(reference, "v:0", "stream=bit_rate"));
    EXPECT_NEAR(Number(ProbeEntry(out, "v:0", "stream=bit_rate")), referenceRate,
                referenceRate * 0.15);
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=codec_name"), "aac");
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=sample_rate"), "22050");
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=channels"), "1");
    EXPECT_NEAR(Number(ProbeEntry(out, "a:0", "stream=bit_rate")), 64000, 16000);
}

TEST_F(SettingsDialogConvert, AudioFormatConvertsWithATypedSampleRate) {
    testing_support::RequireEncoderLibraries();
    const std::string source = dir.File("tone.wav");
    testing_support::Ffmpeg("-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 2 " +
                            ShellQuote(source));

    TSettingsDialogModel dialog = Model();
    dialog.Open();
    ChooseFormat(dialog, 2400); // "MP3 MPEG Layer-3 Audio (*.mp3)"
    EXPECT_FALSE(dialog.Combo(C::VideoSize).Enabled);
    dialog.SetText(C::SampleRate, "32000");
    SelectText(dialog, C::AudioBitRate, "96");
    SelectText(dialog, C::Channel, "mono 1 channel");
    ASSERT_TRUE(dialog.Ok());

    Convert(dialog.FormatCode(), source);
    const std::string out = dir.File("out/tone_(new).mp3");
    ASSERT_TRUE(std::filesystem::exists(out));
    EXPECT_EQ(ProbeEntry(out, "", "format=nb_streams"), "1");
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=codec_name"), "mp3");
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=sample_rate"), "32000");
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=channels"), "1");
    EXPECT_EQ(ProbeEntry(out, "a:0", "stream=bit_rate"), "96000");
}
