// The conversion settings dialog's rules, headless: lists from the catalog, selection from the
// profile, key filters, exit checks, Default and what OK stores.
#include "SettingsDialogModel.h"
#include "CoreTestHelpers.h"
#include "EditModelMessages.h"
#include "IniFile.h"
#include "RecordingShell.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using C = TSettingsControl;
using core_test::WriteText;
using testing_support::RecordingShell;
using testing_support::TempDir;

namespace {

// Code 0 carries every list quirk, 1 is audio only, 2 has lists that are "null" or empty.
constexpr const char* Catalog = R"([formatInfo0]
VideoSize=320x240,640x480,
iVideoSize=1
VideoBitRate=256,,768
iVideoBitRate=2
FrameRate=25,29.97
iFrameRate=1
VideoEncoder=mpeg-4,H264
iVideoEncoder=0
AudioEncoder=aac,FLAC,gsm,mp3
iAudioEncoder=0
AudioBitRate=64,96.5,128
iAudioBitRate=2
SampleRate=22050,44100
iSampleRate=1
Channel=as source,mono 1 channel,stereo 2 channels,quad
iChannel=2
Volume=50%,90%,100%,400%
iVolume=2
paraBitExact=TRUE
paraMaxBitrate=0
paraBufferSize=2000
paraLevel=abc
paraQscale=
paraGop=250
paraCoder=0

[formatInfo1]
VideoSize=null
VideoBitRate=null
FrameRate=null
VideoEncoder=null
AudioEncoder=mp3
AudioBitRate=
SampleRate=22050,44100
Channel=mono 1 channel,stereo 2 channels
Volume=

[formatInfo2]
VideoSize=
VideoBitRate=null
FrameRate=
VideoEncoder=dvvideo
AudioEncoder=
SampleRate=48000
Channel=stereo 2 channels
Volume=100%

[formatInfo2400]
VideoEncoder=null
AudioEncoder=mp3
SampleRate=44100
)";

class SettingsDialogModel : public ::testing::Test {
protected:
    SettingsDialogModel()
        : settingsFile(dir.File("settings.ini")), catalogFile(dir.File("catalog.ini")),
          shellScope(shell), model(settingsFile, catalogFile) {
        WriteText(catalogFile, Catalog);
    }

    std::string Stored(const std::string& section, const std::string& key) const {
        return TIniFile(settingsFile).ReadString(section, key, "<none>");
    }
    void SetCurrentFormat(int code) {
        TIniFile(settingsFile).WriteString("settings", "FormatCode", std::to_string(code));
    }
    const TSettingsCombo& Box(C control) const { return model.Combo(control); }
    // Types text into a box key by key, as the key filter lets it through.
    void Type(C control, const std::string& text) {
        for (const char key : text) {
            if (model.KeyPress(control, static_cast<char32_t>(key))) {
                model.SetText(control, Box(control).Text + key);
            }
        }
    }
    // The row of a format entry, expanding its group first.
    static int RowOf(TSettingsDialogModel& dialog, int code) {
        const int group = code / 100;
        for (int row = 0; row < dialog.FormatList().RowCount(); ++row) {
            const TItemInfo& info = dialog.FormatList().Rows()[row].Info;
            if (info.IsGroup && info.Code == group && info.Collapsed) {
                dialog.ToggleGroup(row);
            }
            if (info.IsFormat && info.Code == code) {
                return row;
            }
        }
        return -1;
    }

    TempDir dir;
    std::string settingsFile;
    std::string catalogFile;
    RecordingShell shell;
    TScopedShell shellScope;
    TSettingsDialogModel model;
};

} // namespace

TEST_F(SettingsDialogModel, ListsAreSplitAtEveryCommaAndEnabledByTheCatalog) {
    SetCurrentFormat(0);
    const std::string before = core_test::ReadText(settingsFile);
    model.Open();
    EXPECT_EQ(core_test::ReadText(settingsFile), before);
    EXPECT_EQ(model.FormatCode(), 0);
    EXPECT_EQ(model.FormatName(), "iPod Video MPEG-4 (*.mp4)");
    // A trailing "," adds an empty last item; ",," an empty one in between.
    EXPECT_EQ(Box(C::VideoSize).Items, (std::vector<std::string>{"320x240", "640x480", ""}));
    EXPECT_EQ(Box(C::VideoBitRate).Items, (std::vector<std::string>{"256", "", "768"}));
    EXPECT_EQ(Box(C::Zoom).Items,
              (std::vector<std::string>{"Full screen", "Letterbox", "Pan and Scan"}));
    for (const C control : TSettingsDialogModel::Controls) {
        EXPECT_TRUE(Box(control).Enabled) << TSettingsDialogModel::ControlName(control);
    }
    // A format never configured shows the catalog's default items, which is also what a
    // conversion without a stored profile uses.
    EXPECT_EQ(Box(C::VideoSize).ItemIndex, 1);
    EXPECT_EQ(Box(C::VideoSize).Text, "640x480");
    EXPECT_EQ(Box(C::VideoBitRate).Text, "768");
    EXPECT_EQ(Box(C::Channel).Text, "stereo 2 channels");
    EXPECT_EQ(Box(C::Volume).Text, "100%");
    EXPECT_EQ(Box(C::Zoom).ItemIndex, 0);

    EXPECT_EQ(TSettingsDialogModel::ControlName(C::SampleRate), std::string("cmbSamplerate"));
    EXPECT_EQ(TSettingsDialogModel::LabelText(C::FrameRate), std::string("FrameRate (Fps):"));
}

TEST_F(SettingsDialogModel, EnablingFollowsTheEncoderListsAndNullLists) {
    SetCurrentFormat(1);
    model.Open();
    for (const C control :
         {C::VideoSize, C::VideoBitRate, C::FrameRate, C::VideoEncoder, C::Zoom}) {
        EXPECT_FALSE(Box(control).Enabled) << TSettingsDialogModel::ControlName(control);
    }
    // An empty audio bit-rate list disables that box alone.
    EXPECT_FALSE(Box(C::AudioBitRate).Enabled);
    EXPECT_TRUE(Box(C::SampleRate).Enabled);
    EXPECT_TRUE(Box(C::Channel).Enabled);
    EXPECT_FALSE(Box(C::Volume).Enabled);

    SetCurrentFormat(2);
    model.Open();
    // Empty frame-size and frame-rate lists stay enabled for typing; "null" is not offered.
    EXPECT_TRUE(Box(C::VideoSize).Enabled);
    EXPECT_TRUE(Box(C::VideoSize).Items.empty());
    EXPECT_TRUE(Box(C::FrameRate).Enabled);
    EXPECT_FALSE(Box(C::VideoBitRate).Enabled);
    EXPECT_EQ(Box(C::VideoBitRate).Text, "");
    EXPECT_TRUE(Box(C::Zoom).Enabled);
    // No audio encoder: every audio box is off, even those with items.
    for (const C control :
         {C::SampleRate, C::AudioBitRate, C::AudioEncoder, C::Channel, C::Volume}) {
        EXPECT_FALSE(Box(control).Enabled) << TSettingsDialogModel::ControlName(control);
    }
}

TEST_F(SettingsDialogModel, KeyFiltersLetDigitsThroughAndWarnOnTheRest) {
    SetCurrentFormat(0);
    model.Open();
    for (const C control : {C::VideoBitRate, C::SampleRate, C::AudioBitRate}) {
        EXPECT_TRUE(model.KeyPress(control, U'7'));
        EXPECT_TRUE(model.KeyPress(control, TSettingsDialogModel::Backspace));
        EXPECT_FALSE(model.KeyPress(control, U'a'));
    }
    EXPECT_EQ(shell.messages.size(), 3u);
    EXPECT_EQ(shell.beeps, 3);
    EXPECT_EQ(shell.messages[0].text, "Please enter numerical.");

    // 96.5 cannot be typed: the "." is refused with the message and a beep.
    model.SetText(C::AudioBitRate, "");
    Type(C::AudioBitRate, "96.5");
    EXPECT_EQ(Box(C::AudioBitRate).Text, "965");
    EXPECT_EQ(shell.messages.size(), 4u);
    EXPECT_EQ(shell.beeps, 4);

    // Frame size: anything into an empty box, then digits and a single "x", no message.
    model.SetText(C::VideoSize, "");
    EXPECT_TRUE(model.KeyPress(C::VideoSize, U'A'));
    Type(C::VideoSize, "720xX480x");
    EXPECT_EQ(Box(C::VideoSize).Text, "720x480");
    EXPECT_EQ(Box(C::VideoSize).ItemIndex, -1);
    EXPECT_EQ(shell.beeps, 6);
    EXPECT_EQ(shell.messages.size(), 4u);
    // List-only boxes take no typing, so nothing filters them.
    EXPECT_TRUE(model.KeyPress(C::Volume, U'a'));
}

TEST_F(SettingsDialogModel, FrameSizeExitCheckPassesCorrectsOrRejects) {
    SetCurrentFormat(0);
    model.Open();
    struct Case {
        const char* typed;
        TExitCheck result;
        const char* after;
    };
    const Case cases[] = {
        {"640x480", TExitCheck::Passed, "640x480"},
        {"As Source", TExitCheck::Passed, "As Source"},
        {"641x480", TExitCheck::Corrected, "640x480"},
        {"321x241", TExitCheck::Corrected, "320x240"},
        {"0x480", TExitCheck::Corrected, "2x480"},
        {"1x1", TExitCheck::Corrected, "2x2"},
        // Rejected sizes fall back to the list's second item.
        {"640", TExitCheck::Rejected, "640x480"},
        {"axb", TExitCheck::Rejected, "640x480"},
        {"640X480", TExitCheck::Rejected, "640x480"},
        {"-640x480", TExitCheck::Rejected, "640x480"},
    };
    for (const Case& c : cases) {
        shell.messages.clear();
        model.SetText(C::VideoSize, c.typed);
        EXPECT_EQ(model.ExitCheck(C::VideoSize), c.result) << c.typed;
        EXPECT_EQ(Box(C::VideoSize).Text, c.after) << c.typed;
        if (c.result == TExitCheck::Passed) {
            EXPECT_TRUE(shell.messages.empty()) << c.typed;
        } else if (c.result == TExitCheck::Corrected) {
            ASSERT_EQ(shell.messages.size(), 1u) << c.typed;
            EXPECT_EQ(shell.messages[0].text,
                      std::string("Frame Size must be a multiple of 2.\nThe correct value:") +
                          c.after);
            EXPECT_EQ(shell.messages[0].caption, "Input Error!");
            EXPECT_EQ(shell.messages[0].buttons, TMsgButtons::Ok);
        } else {
            ASSERT_EQ(shell.messages.size(), 1u) << c.typed;
            EXPECT_EQ(shell.messages[0].text, "Frame Size is not a valid value!");
            EXPECT_EQ(Box(C::VideoSize).ItemIndex, 1);
        }
    }
}

TEST_F(SettingsDialogModel, RateExitChecks) {
    SetCurrentFormat(0);
    model.Open();
    // A video bit rate of "as source" must be written exactly so.
    model.SetText(C::VideoBitRate, "As Source");
    EXPECT_EQ(model.ExitCheck(C::VideoBitRate), TExitCheck::Rejected);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "Video BitRate is not a valid value!");
    EXPECT_EQ(Box(C::VideoBitRate).ItemIndex, 1);
    EXPECT_EQ(Box(C::VideoBitRate).Text, "");
    model.SetText(C::VideoBitRate, "as source");
    EXPECT_EQ(model.ExitCheck(C::VideoBitRate), TExitCheck::Passed);

    model.SetText(C::SampleRate, "44100.5");
    EXPECT_EQ(model.ExitCheck(C::SampleRate), TExitCheck::Rejected);
    EXPECT_EQ(shell.messages.back().text, "Audio SampleRate is not a valid value!");
    EXPECT_EQ(Box(C::SampleRate).Text, "44100");

    // 96.5 from the list is a number and passes.
    model.Select(C::AudioBitRate, 1);
    EXPECT_EQ(Box(C::AudioBitRate).Text, "96.5");
    EXPECT_EQ(model.ExitCheck(C::AudioBitRate), TExitCheck::Passed);
    model.SetText(C::AudioBitRate, "9a");
    EXPECT_EQ(model.ExitCheck(C::AudioBitRate), TExitCheck::Rejected);
    EXPECT_EQ(shell.messages.back().text, "Audio BitRate is not a valid value!");
    EXPECT_EQ(shell.messages.size(), 3u);

    // With one item or none there is nothing to fall back to: the text stays.
    SetCurrentFormat(2);
    model.Open();
    model.SetText(C::VideoSize, "big");
    EXPECT_EQ(model.ExitCheck(C::VideoSize), TExitCheck::Rejected);
    EXPECT_EQ(Box(C::VideoSize).Text, "big");
}

TEST_F(SettingsDialogModel, TypedValuesAreStoredAsMinusOneAndShownAgain) {
    SetCurrentFormat(0);
    model.Open();
    model.SetText(C::VideoSize, "352x288");
    model.SetText(C::VideoBitRate, "600");
    model.Select(C::SampleRate, 0);
    ASSERT_TRUE(model.Ok());
    EXPECT_EQ(Stored("formatInfo0", "iVideoSize"), "-1");
    EXPECT_EQ(Stored("formatInfo0", "paraVideoSize"), "352x288");
    EXPECT_EQ(Stored("formatInfo0", "iVideoBitRate"), "-1");
    EXPECT_EQ(Stored("formatInfo0", "paraVideoBitRate"), "600");
    EXPECT_EQ(Stored("formatInfo0", "iSampleRate"), "0");

    TSettingsDialogModel again(settingsFile, catalogFile);
    again.Open();
    EXPECT_EQ(again.Combo(C::VideoSize).Text, "352x288");
    EXPECT_EQ(again.Combo(C::VideoSize).ItemIndex, -1);
    EXPECT_EQ(again.Combo(C::VideoBitRate).Text, "600");
    EXPECT_EQ(again.Combo(C::SampleRate).Text, "22050");

    // Choosing the format from the list restores typed values too, as opening does.
    SetCurrentFormat(2400);
    again.Open();
    EXPECT_EQ(again.FormatCode(), 2400);
    again.ToggleList();
    ASSERT_TRUE(again.ListOpen());
    const int target = RowOf(again, 0);
    ASSERT_GE(target, 0);
    EXPECT_FALSE(again.ClickRow(0)); // a group row is not a format
    ASSERT_TRUE(again.ClickRow(target));
    EXPECT_FALSE(again.ListOpen());
    EXPECT_EQ(again.FormatCode(), 0);
    EXPECT_EQ(again.Combo(C::VideoSize).Text, "352x288");
    EXPECT_EQ(again.Combo(C::VideoBitRate).Text, "600");
    EXPECT_EQ(again.Combo(C::SampleRate).Text, "22050");
    // Nothing was written by choosing.
    EXPECT_EQ(Stored("settings", "FormatCode"), "2400");
}

TEST_F(SettingsDialogModel, OkStoresEveryKeyByTheDisplayNameMappings) {
    SetCurrentFormat(0);
    TIniFile(settingsFile)
        .WriteStrings("formatInfo0", {{"paraVolume", "999"}, {"paraChannel", "7"}});
    model.Open();
    model.Select(C::VideoEncoder, 1); // "H264"
    model.Select(C::Zoom, 2);
    model.Select(C::AudioEncoder, 1); // "FLAC"
    model.Select(C::Channel, 3);      // "quad": no mapping
    model.Select(C::Volume, 1);       // "90%": not an offered percentage
    model.Select(C::AudioBitRate, 1); // 96.5 from the list
    ASSERT_TRUE(model.Ok());

    const std::string s = "formatInfo0";
    EXPECT_EQ(Stored(s, "Description"), "iPod Video MPEG-4 (*.mp4)");
    EXPECT_EQ(Stored(s, "paraVideoEncoder"), "libx264");
    EXPECT_EQ(Stored(s, "iVideoEncoder"), "1");
    EXPECT_EQ(Stored(s, "paraZoom"), "pan");
    EXPECT_EQ(Stored(s, "paraAudioEncoder"), "flac"); // the later row wins
    EXPECT_EQ(Stored(s, "paraAudioBitRate"), "96.5");
    EXPECT_EQ(Stored(s, "paraChannel"), "7");
    EXPECT_EQ(Stored(s, "iChannel"), "3");
    EXPECT_EQ(Stored(s, "paraVolume"), "999");
    EXPECT_EQ(Stored(s, "paraFrameRate"), "29.97");
    // The H.264 extras that make sense are copied from the catalog.
    EXPECT_EQ(Stored(s, "paraBitExact"), "TRUE");
    EXPECT_EQ(Stored(s, "paraBufferSize"), "2000");
    EXPECT_EQ(Stored(s, "paraGop"), "250");
    EXPECT_EQ(Stored(s, "paraCoder"), "0");
    EXPECT_EQ(Stored(s, "paraMaxBitrate"), "<none>");
    EXPECT_EQ(Stored(s, "paraLevel"), "<none>");
    EXPECT_EQ(Stored(s, "paraQscale"), "<none>");
    EXPECT_EQ(Stored("settings", "FormatCode"), "0");
    EXPECT_EQ(Stored("settings", "FormatName"), "iPod Video MPEG-4 (*.mp4)");
    // The dialog's own list states reach the file.
    EXPECT_EQ(Stored("lstformat", "0"), "1");
    EXPECT_EQ(Stored("lstformat", "24"), "1");

    // "gsm" forces 8000 Hz and one channel; "100%" is 256.
    model.Select(C::AudioEncoder, 2);
    model.Select(C::SampleRate, 1);
    model.Select(C::Channel, 2);
    model.Select(C::Volume, 2);
    RowOf(model, 0); // expand group 0 in the dialog's list
    ASSERT_TRUE(model.Ok());
    EXPECT_EQ(Stored(s, "paraAudioEncoder"), "libgsm");
    EXPECT_EQ(Stored(s, "paraSampleRate"), "8000");
    EXPECT_EQ(Stored(s, "paraChannel"), "1");
    EXPECT_EQ(Stored(s, "iSampleRate"), "1");
    EXPECT_EQ(Stored(s, "paraVolume"), "256");
    EXPECT_EQ(Stored("lstformat", "0"), "0");

    // A typed "As Source" frame size is stored in the form the conversion reads.
    model.SetText(C::VideoSize, "As Source");
    ASSERT_TRUE(model.Ok());
    EXPECT_EQ(Stored(s, "paraVideoSize"), "as source");
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(SettingsDialogModel, ZoomCenterIsKeptAndDefaultWritesNothing) {
    SetCurrentFormat(0);
    TIniFile(settingsFile)
        .WriteStrings("formatInfo0", {{"paraVideoEncoder", "mpeg4"},
                                      {"paraZoom", "center"},
                                      {"iVideoBitRate", "0"},
                                      {"iFrameRate", "-1"},
                                      {"paraFrameRate", "25"},
                                      {"iVolume", "7"}});
    model.Open();
    EXPECT_EQ(Box(C::Zoom).ItemIndex, -1);
    EXPECT_EQ(Box(C::VideoBitRate).Text, "256");
    // A configured profile without an index key picks the first item.
    EXPECT_EQ(Box(C::VideoSize).Text, "320x240");
    // The frame rate box takes list items only: a stored value picks its item.
    EXPECT_EQ(Box(C::FrameRate).ItemIndex, 0);
    EXPECT_EQ(Box(C::FrameRate).Text, "25");
    // A stored index beyond the list selects nothing.
    EXPECT_EQ(Box(C::Volume).ItemIndex, -1);
    ASSERT_TRUE(model.Ok());
    EXPECT_EQ(Stored("formatInfo0", "paraZoom"), "center");
    EXPECT_EQ(Stored("formatInfo0", "paraVolume"), "<none>");

    const std::string before = core_test::ReadText(settingsFile);
    model.SetText(C::VideoSize, "100x100");
    model.Default();
    EXPECT_EQ(Box(C::VideoSize).Text, "640x480");
    EXPECT_EQ(Box(C::VideoBitRate).Text, "768");
    EXPECT_EQ(Box(C::FrameRate).Text, "29.97");
    EXPECT_EQ(Box(C::Channel).Text, "stereo 2 channels");
    EXPECT_EQ(Box(C::Volume).Text, "100%");
    EXPECT_EQ(Box(C::Zoom).ItemIndex, 0);
    EXPECT_EQ(core_test::ReadText(settingsFile), before);
}

TEST_F(SettingsDialogModel, OkRefusesInvalidBoxesAndUnwritableFiles) {
    SetCurrentFormat(2);
    model.Open();
    // An empty frame size has no list to fall back to: OK stays refused.
    EXPECT_FALSE(model.Ok());
    EXPECT_EQ(shell.messages.back().text, "Frame Size is not a valid value!");
    EXPECT_EQ(Stored("formatInfo2", "Description"), "<none>");
    model.SetText(C::VideoSize, "720x576");
    ASSERT_TRUE(model.Ok());
    EXPECT_EQ(Stored("formatInfo2", "paraVideoEncoder"), "dvvideo");
    // Disabled boxes store no selection.
    EXPECT_EQ(Stored("formatInfo2", "iVideoBitRate"), "-1");

    // Cancelling is opening again: nothing of the earlier edits survives.
    model.SetText(C::VideoSize, "100x100");
    model.Open();
    EXPECT_EQ(Box(C::VideoSize).Text, "720x576");

    const std::string folder = dir.File("settings-as-folder");
    std::filesystem::create_directory(folder);
    TSettingsDialogModel unwritable(folder, catalogFile);
    unwritable.Open();
    shell.messages.clear();
    unwritable.SetText(C::VideoSize, "320x240");
    EXPECT_FALSE(unwritable.Ok());
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text.rfind("The settings could not be saved: ", 0), 0u);
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(SettingsDialogModel, FormatListOpensOnTheCurrentFormatWithItsHeightRule) {
    SetCurrentFormat(205);
    model.Open();
    EXPECT_EQ(model.FormatName(), "Apple H.264 720p (1280 x 720) (*.mp4)");
    EXPECT_FALSE(model.ListOpen());
    // All groups collapsed: 28 rows, more than 247 pixels of rows.
    EXPECT_EQ(model.FormatList().RowCount(), 28);
    EXPECT_EQ(model.ListHeight(), 247);
    EXPECT_EQ(TSettingsDialogModel::ListHeightFor(12), 260);
    EXPECT_EQ(TSettingsDialogModel::ListHeightFor(13), 247);
    EXPECT_EQ(TSettingsDialogModel::ListHeightFor(3), 80);
    EXPECT_EQ(TSettingsDialogModel::ListTop(120), 119);

    const int row = RowOf(model, 205);
    ASSERT_GE(row, 0);
    model.ToggleList();
    EXPECT_TRUE(model.ListOpen());
    EXPECT_EQ(model.FormatList().SelectedRow(), row);
    model.HoverRow(row + 1);
    model.ToggleList();
    EXPECT_FALSE(model.ListOpen());
    model.ToggleList();
    EXPECT_EQ(model.FormatList().SelectedRow(), row);
}
