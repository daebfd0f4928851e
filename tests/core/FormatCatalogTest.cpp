#include "FormatCatalog.h"
#include "CatalogFile.h"
#include "CoreTestHelpers.h"
#include "DeviceList.h"
#include "DisplayNames.h"
#include "FormatProfile.h"
#include "FormatTable.h"
#include "Settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using core_test::WriteText;
using testing_support::TempDir;

TEST(FormatCatalog, GroupsEntriesAndCodes) {
    int entries = 0;
    for (int group = 0; group < TFormatCatalog::GroupCount; ++group) {
        ASSERT_FALSE(TFormatCatalog::GroupText(group).empty()) << group;
        entries += static_cast<int>(TFormatCatalog::GroupEntries(group).size());
    }
    EXPECT_EQ(entries, 128);
    EXPECT_EQ(TFormatCatalog::AllCodes().size(), 128u);
    EXPECT_EQ(TFormatCatalog::GroupEntries(0).size(), 9u);
    EXPECT_EQ(TFormatCatalog::GroupEntries(10).size(), 10u);
    EXPECT_EQ(TFormatCatalog::GroupText(13), "Nitendeo WII");
    EXPECT_EQ(TFormatCatalog::GroupText(23), "General Video formates");
    EXPECT_EQ(TFormatCatalog::GroupText(24), "General Audio formates");
    // Today's formats follow the old groups, whose codes stay as they were.
    EXPECT_EQ(TFormatCatalog::GroupText(25), "Modern Video");
    EXPECT_EQ(TFormatCatalog::GroupText(26), "Modern Audio");
    EXPECT_EQ(TFormatCatalog::GroupText(27), "Web and Phones");
    EXPECT_EQ(TFormatCatalog::EntryText(2500), "H.265/HEVC Video (*.mp4)");
    EXPECT_EQ(TFormatCatalog::EntryText(2505), "H.264 High Quality Video (*.mkv)");
    EXPECT_EQ(TFormatCatalog::EntryText(2602), "Apple Lossless Audio (*.m4a)");
    EXPECT_EQ(TFormatCatalog::EntryText(2702), "Small Video for Sharing 720p (*.mp4)");
    EXPECT_EQ(TFormatCatalog::EntryText(1), "iPod Video H.264 (*.mp4)");
    EXPECT_EQ(TFormatCatalog::EntryText(205), "Apple H.264 720p (1280 x 720) (*.mp4)");
    EXPECT_EQ(TFormatCatalog::EntryText(2406), "AC-3 Audio Codec (*.ac3)");
    EXPECT_EQ(TFormatCatalog::EntryText(904), "Creative Zen Vison Video (*.avi)");
    EXPECT_EQ(TFormatCatalog::EntryText(2401), "AAC Advenced Audio Codec (*.aac)");
    EXPECT_EQ(TFormatCatalog::EntryText(2403), "WMA - Windows Meida Audio (*.wma)");
    EXPECT_EQ(TFormatCatalog::EntryText(1400), "Mobile Phone 3GP h263 Video(*.3gp)");
    EXPECT_EQ(TFormatCatalog::EntryText(2308), "DV - NTSC -Digital Video Format (*.dv)");
    EXPECT_EQ(TFormatCatalog::EntryText(9), "");
    EXPECT_EQ(TFormatCatalog::EntryText(2407), "");
    EXPECT_EQ(TFormatCatalog::EntryText(2800), "");
    EXPECT_EQ(TFormatCatalog::EntryText(-1), "");
    EXPECT_EQ(TFormatCatalog::CodeOf("HD MPEG2-TS Video (*.ts)"), 2108);
    EXPECT_EQ(TFormatCatalog::CodeOf("HD MPEG2-TS Video (*.ts) "), -1);
    EXPECT_EQ(TFormatCatalog::SectionName(203), "formatInfo203");
    EXPECT_EQ(TFormatCatalog::EntryExtension("Mobile Phone 3GP h263 Video(*.3gp)"), "3gp");
    EXPECT_EQ(TFormatCatalog::EntryExtension("iPod MPEG-4 Excellent (320 x 240)(*.mp4)"), "mp4");
    for (const int code : TFormatCatalog::AllCodes()) {
        EXPECT_EQ(TFormatCatalog::CodeOf(TFormatCatalog::EntryText(code)), code);
        EXPECT_FALSE(TFormatCatalog::EntryExtension(TFormatCatalog::EntryText(code)).empty());
    }
}

TEST(FormatTable, CellsAndCurrentFormat) {
    TFormatTable table;
    table.SetCell(50, 50, "last");
    table.SetCell(51, 0, "outside");
    EXPECT_EQ(table.Cell(50, 50), "last");
    EXPECT_EQ(table.Cell(51, 0), "");
    EXPECT_EQ(table.Cell(-1, 0), "");
    table.Clear();
    EXPECT_EQ(table.Cell(50, 50), "");
    table.SetCurrent("AC-3 Audio Codec (*.ac3)", 2406);
    EXPECT_EQ(table.CurrentCode(), "2406");
}

namespace {

struct DeviceListFixture : ::testing::Test {
    TempDir dir;
    TSettings settings{dir.File("settings.ini"), dir.File("videoconverter")};
    TFormatTable table;
    TDeviceList list;
};

} // namespace

TEST_F(DeviceListFixture, AllGroupsStartCollapsed) {
    table.SetCell(40, 40, "stale");
    list.Build(table, settings);
    ASSERT_EQ(list.RowCount(), 28);
    for (int row = 0; row < 28; ++row) {
        const TItemInfo& info = list.Rows()[row].Info;
        EXPECT_TRUE(info.IsGroup);
        EXPECT_FALSE(info.IsFormat);
        EXPECT_TRUE(info.Collapsed);
        EXPECT_EQ(info.Code, row);
        EXPECT_EQ(info.GroupName, list.Rows()[row].Text);
    }
    EXPECT_EQ(table.Cell(40, 40), "") << "the table is cleared first";
    EXPECT_EQ(table.Cell(2, 5), "Apple H.264 720p (1280 x 720) (*.mp4)");
    // The default format's entry is not listed while its group is collapsed.
    EXPECT_EQ(list.FormatBoxText(), "iPod Video H.264 (*.mp4)");
    EXPECT_EQ(list.SelectedRow(), -1);
}

TEST_F(DeviceListFixture, ExpandingAndCollapsingTouchesOnlyThatGroup) {
    list.Build(table, settings);
    list.SetSelectedRow(4); // "Sony PSP"
    ASSERT_TRUE(list.Toggle(0, table));
    ASSERT_EQ(list.RowCount(), 37);
    for (int i = 0; i < 9; ++i) {
        const TDeviceRow& row = list.Rows()[1 + i];
        EXPECT_TRUE(row.Info.IsFormat);
        EXPECT_FALSE(row.Info.IsGroup);
        EXPECT_EQ(row.Info.Code, i);
        EXPECT_EQ(row.Text, TFormatCatalog::EntryText(i));
    }
    EXPECT_EQ(list.Rows()[10].Text, "Apple iPhone");
    EXPECT_FALSE(list.Rows()[0].Info.Collapsed);
    EXPECT_EQ(list.Rows()[list.SelectedRow()].Text, "Sony PSP");
    EXPECT_FALSE(list.Toggle(1, table)) << "entry rows do not toggle";

    ASSERT_TRUE(list.Toggle(12, table)); // "GPhone", one entry
    ASSERT_EQ(list.RowCount(), 38);
    EXPECT_EQ(list.Rows()[13].Info.Code, 300);

    ASSERT_TRUE(list.Toggle(0, table));
    ASSERT_EQ(list.RowCount(), 29);
    EXPECT_EQ(list.Rows()[1].Text, "Apple iPhone");
    EXPECT_EQ(list.Rows()[3].Text, "GPhone");
    EXPECT_EQ(list.Rows()[4].Info.Code, 300);
    EXPECT_TRUE(list.Rows()[0].Info.Collapsed);
    EXPECT_EQ(list.Rows()[list.SelectedRow()].Text, "Sony PSP");
}

TEST_F(DeviceListFixture, GroupStatesSurviveARebuild) {
    list.Build(table, settings);
    list.Toggle(24, table);
    list.Toggle(0, table);
    list.SaveGroupStates(settings);
    EXPECT_EQ(settings.Ini().ReadString("lstformat", "0", ""), "0");
    EXPECT_EQ(settings.Ini().ReadString("lstformat", "1", ""), "1");
    EXPECT_EQ(settings.Ini().ReadString("lstformat", "24", ""), "0");

    TDeviceList again;
    again.Build(table, settings);
    ASSERT_EQ(again.RowCount(), 28 + 9 + 7);
    EXPECT_EQ(again.Rows()[1].Info.Code, 0);
    EXPECT_EQ(again.Rows()[25 + 9 + 7 - 1].Text, "AC-3 Audio Codec (*.ac3)");
    EXPECT_EQ(again.Rows().back().Text, "Web and Phones");
    // The current format (code 1) is listed now and selected.
    EXPECT_EQ(again.SelectedRow(), 2);
}

TEST_F(DeviceListFixture, ChoosingAFormatStoresNameAndCode) {
    list.Build(table, settings);
    list.Toggle(2, table); // "Apple TV"
    const int row = list.FindRow("  Apple H.264 720p (1280 x 720) (*.mp4) ");
    ASSERT_EQ(row, 8);
    EXPECT_FALSE(list.SelectFormat(2, table, settings)) << "a group row is no format";
    ASSERT_TRUE(list.SelectFormat(row, table, settings));
    EXPECT_EQ(settings.Ini().ReadString("settings", "FormatCode", ""), "205");
    EXPECT_EQ(settings.Ini().ReadString("settings", "FormatName", ""),
              "Apple H.264 720p (1280 x 720) (*.mp4)");
    EXPECT_EQ(table.CurrentCode(), "205");
    EXPECT_EQ(table.CurrentName(), "Apple H.264 720p (1280 x 720) (*.mp4)");
    EXPECT_EQ(list.FormatBoxText(), "Apple H.264 720p (1280 x 720) (*.mp4)");
    EXPECT_EQ(list.SelectedRow(), row);
    EXPECT_EQ(TFormatCatalog::SectionName(settings.FormatCode()), "formatInfo205");
}

TEST(CatalogFile, ListRulesAndDefaults) {
    using namespace catalogkey;
    TempDir dir;
    const std::string path = dir.File("catalog.ini");
    WriteText(path, "[formatInfo0]\nFormat=IPod\nVideoSize=\nVideoEncoder=\nAudioBitRate=\n"
                    "FrameRate=null\nSampleRate=22050,,44100,\nChannel=as source\niVideoSize=2\n"
                    "iVolume=x\n");
    const TCatalogFile catalog(path);
    EXPECT_EQ(catalog.Format(0), "IPod");
    EXPECT_EQ(catalog.FileExt(0), "mp4");
    EXPECT_EQ(catalog.Format(1), "null");
    EXPECT_EQ(catalog.DefaultIndex(0, VideoSize), 2);
    EXPECT_EQ(catalog.DefaultIndex(0, Volume), 0);
    EXPECT_EQ(catalog.DefaultIndex(1, VideoSize), 0);

    const TChoiceList size = catalog.List(0, VideoSize);
    EXPECT_TRUE(size.Enabled);
    EXPECT_TRUE(size.Items.empty());
    EXPECT_FALSE(catalog.List(0, VideoEncoder).Enabled);
    EXPECT_FALSE(catalog.List(0, AudioBitRate).Enabled);
    EXPECT_FALSE(catalog.List(0, FrameRate).Enabled);
    EXPECT_FALSE(catalog.List(0, Volume).Enabled) << "missing reads as null";
    EXPECT_EQ(catalog.List(0, SampleRate).Items,
              (std::vector<std::string>{"22050", "", "44100", ""}));
    EXPECT_EQ(catalog.List(0, Channel).Items, (std::vector<std::string>{"as source"}));
    EXPECT_TRUE(TCatalogFile::ParseList(VideoBitRate, "").Enabled);
    EXPECT_TRUE(TCatalogFile::ParseList(FrameRate, "").Enabled);
    EXPECT_FALSE(TCatalogFile::ParseList(Channel, "").Enabled);
    EXPECT_EQ(TCatalogFile::ParseList(Channel, " mono 1 channel , x").Items,
              (std::vector<std::string>{" mono 1 channel ", " x"}));
}

TEST(DisplayNames, EncoderChannelAndVolumeMappings) {
    EXPECT_EQ(TDisplayNames::VideoEncoder("H264"), "libx264");
    EXPECT_EQ(TDisplayNames::VideoEncoder("XviD"), "libxvid");
    EXPECT_EQ(TDisplayNames::VideoEncoder("MPEG-4"), "mpeg4");
    EXPECT_EQ(TDisplayNames::VideoEncoder("mov"), "mov");
    EXPECT_FALSE(TDisplayNames::VideoEncoder("vp8").has_value());
    EXPECT_FALSE(TDisplayNames::VideoEncoder("").has_value());

    EXPECT_EQ(TDisplayNames::AudioEncoder("FLAC"), "flac");
    EXPECT_EQ(TDisplayNames::AudioEncoder("MP3"), "libmp3lame");
    EXPECT_EQ(TDisplayNames::AudioEncoder("aac"), "libfaac");
    EXPECT_EQ(TDisplayNames::AudioEncoder("Wma2"), "wmav2");
    EXPECT_EQ(TDisplayNames::AudioEncoder("pcm_mulaw "), "pcm_mulaw");
    EXPECT_FALSE(TDisplayNames::AudioEncoder("pcm_mulaw").has_value());
    EXPECT_EQ(TDisplayNames::AudioEncoder("CCITT A-Law(8-bit)"), "pcm_alaw");

    EXPECT_EQ(TDisplayNames::Channel("as source"), "as source");
    EXPECT_EQ(TDisplayNames::Channel("mono 1 channel"), "1");
    EXPECT_EQ(TDisplayNames::Channel("stereo 2 channels"), "2");
    EXPECT_FALSE(TDisplayNames::Channel("Stereo 2 channels").has_value());

    const std::pair<const char*, const char*> volumes[] = {
        {"25%", "64"},   {"50%", "128"},  {"75%", "192"},  {"100%", "256"},
        {"125%", "320"}, {"150%", "384"}, {"175%", "448"}, {"200%", "512"},
        {"250%", "640"}, {"300%", "768"}, {"350%", "896"}, {"400%", "1024"}};
    for (const auto& [item, stored] : volumes) {
        EXPECT_EQ(TDisplayNames::Volume(item), stored) << item;
    }
    EXPECT_FALSE(TDisplayNames::Volume("90%").has_value());
    EXPECT_FALSE(TDisplayNames::Volume("100").has_value());
    EXPECT_FALSE(TDisplayNames::Volume("").has_value());
}

namespace {

TProfileChoices ChoicesFor(const std::string& videoEncoder, const std::string& audioEncoder) {
    TProfileChoices c;
    c.Description = "iPod Video H.264 (*.mp4)";
    c.VideoSize = {0, "320x240"};
    c.VideoBitRate = {-1, "700"};
    c.FrameRate = {5, "29.97"};
    c.VideoEncoder = {0, videoEncoder};
    c.SampleRate = {2, "44100"};
    c.AudioBitRate = {2, "128"};
    c.AudioEncoder = {0, audioEncoder};
    c.Channel = {1, "stereo 2 channels"};
    c.Volume = {3, "100%"};
    c.ZoomIndex = 1;
    return c;
}

std::map<std::string, std::string> AsMap(const TIniFile::TValues& values) {
    std::map<std::string, std::string> map;
    for (const auto& [key, value] : values) {
        map[key] = value;
    }
    return map;
}

} // namespace

TEST(FormatProfile, StoringAppliesTheMappings) {
    TempDir dir;
    const TCatalogFile catalog(dir.File("catalog.ini"));
    TIniFile settings(dir.File("settings.ini"));
    TFormatProfile::Store(settings, catalog, 1, ChoicesFor("h264", "aac"));

    const std::string section = "formatInfo1";
    const std::pair<const char*, const char*> expected[] = {
        {"Description", "iPod Video H.264 (*.mp4)"},
        {"iVideoSize", "0"},
        {"iVideoBitRate", "-1"},
        {"iVideoEncoder", "0"},
        {"iFrameRate", "5"},
        {"iSampleRate", "2"},
        {"iAudioBitRate", "2"},
        {"iChannel", "1"},
        {"iVolume", "3"},
        {"iAudioEncoder", "0"},
        {"paraVideoSize", "320x240"},
        {"paraVideoBitRate", "700"},
        {"paraFrameRate", "29.97"},
        {"paraZoom", "lbox"},
        {"paraVideoEncoder", "libx264"},
        {"paraSampleRate", "44100"},
        {"paraAudioBitRate", "128"},
        {"paraChannel", "2"},
        {"paraVolume", "256"},
        {"paraAudioEncoder", "libfaac"},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(settings.ReadString(section, key, "<none>"), value) << key;
    }
}

TEST(FormatProfile, GsmForces8000HzMonoAndUnknownNamesWriteNothing) {
    TempDir dir;
    const TCatalogFile catalog(dir.File("catalog.ini"));
    TProfileChoices c = ChoicesFor("wmv3", "GSM");
    c.Volume = {-1, "90%"};
    c.Channel = {-1, "quad"};
    c.ZoomIndex = 3;
    auto values = AsMap(TFormatProfile::Values(catalog, 2305, c));
    EXPECT_EQ(values["paraAudioEncoder"], "libgsm");
    EXPECT_EQ(values["paraSampleRate"], "8000");
    EXPECT_EQ(values["paraChannel"], "1");
    EXPECT_EQ(values["paraVideoEncoder"], "wmv3");
    EXPECT_EQ(values.count("paraVolume"), 0u);
    EXPECT_EQ(values.count("paraZoom"), 0u);

    TIniFile settings(dir.File("settings.ini"));
    settings.WriteString("formatInfo2305", "paraVideoEncoder", "wmv2");
    settings.WriteString("formatInfo2305", "paraVolume", "512");
    c = ChoicesFor("Cinepak", "speex");
    c.Volume = {-1, "90%"};
    TFormatProfile::Store(settings, catalog, 2305, c);
    EXPECT_EQ(settings.ReadString("formatInfo2305", "paraVideoEncoder", ""), "wmv2");
    EXPECT_EQ(settings.ReadString("formatInfo2305", "paraVolume", ""), "512");
    EXPECT_FALSE(settings.ValueExists("formatInfo2305", "paraAudioEncoder"));
    EXPECT_EQ(settings.ReadString("formatInfo2305", "paraSampleRate", ""), "44100");
}

TEST(FormatProfile, H264ExtrasAreCopiedWhenValid) {
    TempDir dir;
    WriteText(dir.File("catalog.ini"),
              "[formatInfo1]\nparaBitExact=TRUE\nparaMaxBitrate=768\nparaBufferSize=0\n"
              "paraLevel=13\nparaQscale=abc\nparaGop=\nparaCoder=0\n"
              "[formatInfo2]\nparaBitExact=false\nparaCoder=-1\nparaLevel=30\n");
    const TCatalogFile catalog(dir.File("catalog.ini"));
    auto values = AsMap(TFormatProfile::Values(catalog, 1, ChoicesFor("H264", "aac")));
    EXPECT_EQ(values["paraBitExact"], "TRUE");
    EXPECT_EQ(values["paraMaxBitrate"], "768");
    EXPECT_EQ(values["paraLevel"], "13");
    EXPECT_EQ(values["paraCoder"], "0");
    EXPECT_EQ(values.count("paraBufferSize"), 0u);
    EXPECT_EQ(values.count("paraQscale"), 0u);
    EXPECT_EQ(values.count("paraGop"), 0u);

    values = AsMap(TFormatProfile::Values(catalog, 2, ChoicesFor("h264", "aac")));
    EXPECT_EQ(values.count("paraBitExact"), 0u);
    EXPECT_EQ(values.count("paraCoder"), 0u);
    EXPECT_EQ(values["paraLevel"], "30");
    values = AsMap(TFormatProfile::Values(catalog, 2, ChoicesFor("mpeg-4", "aac")));
    EXPECT_EQ(values.count("paraLevel"), 0u) << "only for h264";
}

TEST(FormatProfile, MissingProfileReadsTheCatalogDefaults) {
    TempDir dir;
    WriteText(dir.File("catalog.ini"),
              "[formatInfo1]\nVideoSize=320x240,640x480\niVideoSize=1\nVideoEncoder=h264,mpeg-4\n"
              "AudioEncoder=aac,mp3\niAudioEncoder=1\nVolume=50%,100%\niVolume=7\n"
              "Channel=mono 1 channel,stereo 2 channels\niChannel=0\n"
              "[formatInfo2400]\nVideoEncoder=null\nAudioEncoder=mp3\nSampleRate=22050\n");
    const TCatalogFile catalog(dir.File("catalog.ini"));
    const TProfileChoices defaults = TFormatProfile::CatalogDefaults(catalog, 1);
    EXPECT_EQ(defaults.VideoSize.Index, 1);
    EXPECT_EQ(defaults.VideoSize.Text, "640x480");
    EXPECT_EQ(defaults.Volume.Index, -1) << "an index outside the list chooses nothing";
    EXPECT_EQ(defaults.ZoomIndex, -1);

    const std::string settingsPath = dir.File("settings.ini");
    const TFormatProfile profile(settingsPath, catalog.FileName(), 1);
    EXPECT_EQ(profile.Read("paraVideoEncoder", ""), "libx264");
    EXPECT_EQ(profile.Read("PARAVIDEOSIZE", "null"), "640x480");
    EXPECT_EQ(profile.Read("paraAudioEncoder", ""), "libmp3lame");
    EXPECT_EQ(profile.Read("paraChannel", "2"), "1");
    EXPECT_EQ(profile.Read("paraVolume", "256"), "256");
    EXPECT_EQ(profile.Read("paraZoom", "lbox"), "lbox");

    // Stored keys win; a stored encoder ends the fallback.
    TIniFile settings(settingsPath);
    settings.WriteString("formatInfo1", "paraVideoSize", "176x144");
    EXPECT_EQ(profile.Read("paraVideoSize", "null"), "176x144");
    EXPECT_EQ(profile.Read("paraAudioEncoder", ""), "libmp3lame");
    settings.WriteString("formatInfo1", "paraVideoEncoder", "mpeg4");
    EXPECT_EQ(profile.Read("paraAudioEncoder", ""), "");

    const TFormatProfile audio(settingsPath, catalog.FileName(), 2400);
    EXPECT_EQ(audio.Read("paraVideoEncoder", ""), "");
    EXPECT_EQ(audio.Read("paraSampleRate", "44100"), "22050");
}
