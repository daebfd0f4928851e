#include "Settings.h"
#include "CoreTestHelpers.h"
#include "GlobalObject.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using core_test::ReadText;
using core_test::WriteText;
using testing_support::TempDir;

namespace {

struct SettingsFixture : ::testing::Test {
    TempDir dir;
    TGlobalObject global{TUserPlaces{dir.Path(), ""}};
    TSettings settings{dir.File("vantremp4videoconverter.ini"), dir.File("videoconverter")};

    void Store(const std::string& text) { WriteText(settings.Ini().FileName(), text); }
};

} // namespace

TEST_F(SettingsFixture, MissingFileReadsEveryDefault) {
    EXPECT_EQ(settings.OutputDir(), dir.File("videoconverter"));
    EXPECT_EQ(settings.SnapOutputDir(), dir.File("videoconverter"));
    EXPECT_EQ(settings.FormatCode(), 1);
    EXPECT_EQ(settings.StoredFormatName(TFormatNameUse::StartUp), "iPod Video MPEG-4");
    EXPECT_EQ(settings.StoredFormatName(TFormatNameUse::DeviceList),
              "Apple iPod Video MPEG-4 Movie (*.mp4)");
    EXPECT_EQ(settings.SkinIndex(), 0);
    EXPECT_EQ(settings.Volume(), 0);
    EXPECT_FALSE(settings.Mute());
    EXPECT_EQ(settings.PriorityIndex(), 1);
    EXPECT_TRUE(settings.SnapFullSize());
    EXPECT_TRUE(settings.SnapSmallSize());
    EXPECT_TRUE(settings.SnapBmp());
    EXPECT_TRUE(settings.SnapJpg());
    EXPECT_EQ(settings.JpgCompression(), 30);
    EXPECT_EQ(settings.OutputFormatIndex(), 0);
    for (int group = 0; group < 25; ++group) {
        EXPECT_TRUE(settings.GroupCollapsed(group)) << group;
    }
    EXPECT_FALSE(std::filesystem::exists(settings.Ini().FileName()));

    settings.SetMute(true);
    EXPECT_EQ(ReadText(settings.Ini().FileName()), "[settings]\nmute=1\n");
}

TEST_F(SettingsFixture, TheGlobalObjectNamesTheFileAndTheDefaultFolder) {
    TSettings fromGlobal(global);
    EXPECT_EQ(fromGlobal.Ini().FileName(),
              dir.Path() + "/.local/share/vantre/vantremp4videoconverter.ini");
    EXPECT_EQ(fromGlobal.OutputDir(), dir.Path() + "/videoconverter");
}

TEST_F(SettingsFixture, VolumeOutside0To128ReadsAs64) {
    const std::pair<const char*, int> cases[] = {{"200", 64}, {"128", 128}, {"129", 64}, {"0", 0},
                                                 {"-1", 64},  {"77", 77},   {"loud", 0}};
    for (const auto& [stored, expected] : cases) {
        Store(std::string("[settings]\nvolume=") + stored + "\n");
        EXPECT_EQ(settings.Volume(), expected) << stored;
    }
    settings.SetVolume(100);
    EXPECT_EQ(settings.Volume(), 100);
}

TEST_F(SettingsFixture, JpegQualityStaysWithin1To100) {
    const std::pair<const char*, int> cases[] = {{"0", 1}, {"-5", 1}, {"101", 100}, {"55", 55}};
    for (const auto& [stored, expected] : cases) {
        Store(std::string("[settings]\njpgCmp=") + stored + "\n");
        EXPECT_EQ(settings.JpgCompression(), expected) << stored;
    }
    EXPECT_FALSE(settings.SetJpgCompression(0));
    EXPECT_EQ(settings.JpgCompression(), 55);
    EXPECT_TRUE(settings.SetJpgCompression(250));
    EXPECT_EQ(settings.Ini().ReadString("settings", "jpgCmp", ""), "100");
    EXPECT_TRUE(settings.SetJpgCompression(75));
    EXPECT_EQ(settings.JpgCompression(), 75);
}

TEST_F(SettingsFixture, PriorityMap) {
    EXPECT_EQ(TSettings::PriorityOf(0), TWorkPriority::Idle);
    EXPECT_EQ(TSettings::PriorityOf(1), TWorkPriority::Normal);
    EXPECT_EQ(TSettings::PriorityOf(2), TWorkPriority::Lower);
    EXPECT_EQ(TSettings::PriorityOf(3), TWorkPriority::Lowest);
    EXPECT_FALSE(TSettings::PriorityOf(4).has_value());
    EXPECT_FALSE(TSettings::PriorityOf(-1).has_value());
    Store("[settings]\nPriority=2\n");
    EXPECT_EQ(settings.PriorityIndex(), 2);
    settings.SetPriorityIndex(3);
    EXPECT_EQ(settings.Ini().ReadString("Settings", "PRIORITY", ""), "3");
}

TEST_F(SettingsFixture, ConversionsAtOnceIsAutoOrOneToSixteen) {
    EXPECT_EQ(settings.ConversionsAtOnce(), 0) << "Auto when nothing is stored";
    settings.SetConversionsAtOnce(16);
    EXPECT_EQ(settings.Ini().ReadString("settings", "ConversionsAtOnce", ""), "16");
    EXPECT_EQ(settings.ConversionsAtOnce(), 16);
    for (const char* stored : {"17", "-1", "two"}) {
        Store(std::string("[settings]\nConversionsAtOnce=") + stored + "\n");
        EXPECT_EQ(settings.ConversionsAtOnce(), 0) << stored;
    }
}

TEST_F(SettingsFixture, KeysMatchWithoutRegardToCase) {
    settings.Ini().WriteString("settings", "snapOutPutDir", "/media/snaps");
    EXPECT_EQ(settings.SnapOutputDir(), "/media/snaps");
    settings.SetSnapOutputDir("/media/other");
    EXPECT_EQ(settings.Ini().ReadString("settings", "snapOutPutDir", ""), "/media/other");
    EXPECT_EQ(ReadText(settings.Ini().FileName()), "[settings]\nsnapOutPutDir=/media/other\n");
}

TEST_F(SettingsFixture, FlagsAndIndexes) {
    settings.SetSnapFullSize(false);
    settings.SetSnapSmallSize(true);
    settings.SetSnapBmp(false);
    settings.SetSnapJpg(false);
    settings.SetSkinIndex(5);
    settings.SetOutputFormatIndex(3);
    EXPECT_FALSE(settings.SnapFullSize());
    EXPECT_TRUE(settings.SnapSmallSize());
    EXPECT_FALSE(settings.SnapBmp());
    EXPECT_FALSE(settings.SnapJpg());
    EXPECT_EQ(settings.SkinIndex(), 5);
    EXPECT_EQ(settings.OutputFormatIndex(), 3);
    EXPECT_EQ(settings.Ini().ReadString("settings", "snapFullSize", ""), "0");
}

TEST_F(SettingsFixture, CurrentFormatNameFollowsTheCode) {
    // Without stored keys the default code 1 names its own entry.
    EXPECT_EQ(settings.CurrentFormatName(TFormatNameUse::StartUp), "iPod Video H.264 (*.mp4)");
    settings.SetFormat("AC-3 Audio Codec (*.ac3)", 2406);
    EXPECT_EQ(settings.FormatCode(), 2406);
    EXPECT_EQ(settings.CurrentFormatName(TFormatNameUse::DeviceList), "AC-3 Audio Codec (*.ac3)");
    // A name that disagrees with the code loses: conversion uses the code.
    settings.Ini().WriteString("settings", "FormatName", "MPEG-1 Video (*.mpg)");
    EXPECT_EQ(settings.CurrentFormatName(TFormatNameUse::DeviceList), "AC-3 Audio Codec (*.ac3)");
    // A code that names nothing falls back on the stored name.
    settings.Ini().WriteString("settings", "FormatCode", "77");
    EXPECT_EQ(settings.CurrentFormatName(TFormatNameUse::DeviceList), "MPEG-1 Video (*.mpg)");
    settings.Ini().DeleteKey("settings", "FormatName");
    EXPECT_EQ(settings.CurrentFormatName(TFormatNameUse::StartUp), "iPod Video MPEG-4");
    EXPECT_EQ(settings.CurrentFormatName(TFormatNameUse::DeviceList),
              "Apple iPod Video MPEG-4 Movie (*.mp4)");
}

TEST_F(SettingsFixture, GroupStatesAreStoredInOneSection) {
    settings.SetGroupStates({{0, false}, {1, true}, {24, false}});
    EXPECT_FALSE(settings.GroupCollapsed(0));
    EXPECT_TRUE(settings.GroupCollapsed(1));
    EXPECT_TRUE(settings.GroupCollapsed(2));
    EXPECT_FALSE(settings.GroupCollapsed(24));
    EXPECT_EQ(ReadText(settings.Ini().FileName()), "[lstformat]\n0=0\n1=1\n24=0\n");
}

TEST_F(SettingsFixture, StartUpReplacesFoldersThatCannotBeWritten) {
    // A fresh machine: the defaults do not exist yet and are written back as they are.
    settings.CheckStartUpFolders();
    EXPECT_EQ(settings.Ini().ReadString("settings", "OutPutDir", ""), dir.File("videoconverter"));
    EXPECT_EQ(settings.Ini().ReadString("settings", "SnapOutPutDir", ""),
              dir.File("videoconverter"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("videoconverter"))) << "folders are not made";

    // Stored folders from another system are replaced, writable ones kept.
    Store("[settings]\nOutPutDir=c:\\videoconverter\nSnapOutPutDir=" + dir.Path() + "\n");
    settings.CheckStartUpFolders();
    EXPECT_EQ(settings.OutputDir(), dir.File("videoconverter"));
    EXPECT_EQ(settings.SnapOutputDir(), dir.Path());
}

TEST(WindowPlace, StoredPlacesAndColumnsAndPlacesOnNoScreenMoveOntoOne) {
    testing_support::TempDir dir;
    TSettings settings(dir.File("settings.ini"), dir.File("home"));
    EXPECT_FALSE(settings.MainWindowPlace().has_value());
    settings.SetMainWindowPlace({10, 20, 1280, 800});
    EXPECT_EQ(settings.MainWindowPlace(), (TWindowPlace{10, 20, 1280, 800}));
    settings.SetJobColumnWidths({300, 65, 90, 280, 60});
    EXPECT_EQ(settings.JobColumnWidths(), (std::vector<int>{300, 65, 90, 280, 60}));
    settings.Ini().WriteString("settings", "jobColumnWidths", "300,x,90");
    EXPECT_TRUE(settings.JobColumnWidths().empty()) << "a damaged list is left alone";
    EXPECT_FALSE(TWindowPlace::Parse("1,2,0,4").has_value());
    EXPECT_FALSE(TWindowPlace::Parse("1,2,3,4,5").has_value());

    const std::vector<TWindowPlace> screens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    // On the second screen: kept.
    EXPECT_EQ(PlaceOnScreens({2000, 100, 800, 500}, screens, 786, 480),
              (TWindowPlace{2000, 100, 800, 500}));
    // On no screen (a monitor unplugged): centred on the first, shrunk to fit.
    EXPECT_EQ(PlaceOnScreens({5000, -3000, 2500, 500}, screens, 786, 480),
              (TWindowPlace{0, 290, 1920, 500}));
    // Its title bar above the screens: it could not be dragged, so it moves.
    EXPECT_EQ(PlaceOnScreens({100, -400, 800, 500}, screens, 786, 480),
              (TWindowPlace{560, 290, 800, 500}));
    // Never below the minimum.
    EXPECT_EQ(PlaceOnScreens({100, 100, 200, 100}, screens, 786, 480),
              (TWindowPlace{100, 100, 786, 480}));
}
