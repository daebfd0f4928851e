// The preferences edit model: first opening, pairs that cannot both be off, Default, OK and
// Cancel, and the folder checks with their messages.
#include "PreferenceModel.h"
#include "CoreTestHelpers.h"
#include "GlobalObject.h"
#include "RecordingShell.h"
#include "Settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::RecordingShell;
using testing_support::TempDir;

namespace {

struct PreferenceFixture : ::testing::Test {
    TempDir dir;
    TGlobalObject global{TUserPlaces{dir.Path(), ""}};
    bool dataFolder = global.EnsureDataFolder();
    TSettings settings{global};
    RecordingShell shell;
    TScopedShell scopedShell{shell};
    TPreferenceModel model{settings};

    PreferenceFixture() { std::filesystem::create_directories(dir.File("snap")); }
    std::string SettingsText() const { return core_test::ReadText(settings.Ini().FileName()); }
};

} // namespace

TEST_F(PreferenceFixture, AFirstOpeningWithNoKeysShowsTheDefaults) {
    std::filesystem::create_directories(dir.File("videoconverter"));
    model.Open();
    EXPECT_EQ(model.Folder(), dir.File("videoconverter"));
    EXPECT_TRUE(model.FullSize());
    EXPECT_TRUE(model.SmallSize());
    EXPECT_TRUE(model.Bmp());
    EXPECT_TRUE(model.Jpg());
    EXPECT_TRUE(model.QualityEnabled());
    EXPECT_EQ(model.Quality(), 30);
    EXPECT_EQ(model.Priority(), 1);
    // A writable folder is not written back; nothing else is either.
    EXPECT_FALSE(std::filesystem::exists(settings.Ini().FileName()));

    model.Default();
    EXPECT_FALSE(model.Jpg());
    EXPECT_FALSE(model.QualityEnabled());
    EXPECT_FALSE(model.SmallSize());
    EXPECT_TRUE(model.FullSize());
    EXPECT_TRUE(model.Bmp());
    EXPECT_EQ(model.Quality(), 20);
    EXPECT_EQ(model.Priority(), 1);
    EXPECT_FALSE(std::filesystem::exists(settings.Ini().FileName()));
}

TEST_F(PreferenceFixture, TheOnlyCheckedBoxOfAPairStaysChecked) {
    model.Open();
    EXPECT_FALSE(model.SetSmallSize(false));
    EXPECT_TRUE(model.SetFullSize(false)); // small is off: full stays on
    EXPECT_TRUE(model.FullSize());
    EXPECT_TRUE(model.SetSmallSize(true));
    EXPECT_FALSE(model.SetFullSize(false)); // now it may go
    EXPECT_TRUE(model.SetSmallSize(false));

    EXPECT_FALSE(model.SetJpg(false));
    EXPECT_FALSE(model.QualityEnabled());
    EXPECT_TRUE(model.SetBmp(false));
    EXPECT_TRUE(model.SetJpg(true));
    EXPECT_TRUE(model.QualityEnabled());
    EXPECT_FALSE(model.SetBmp(false));
    EXPECT_TRUE(model.SetJpg(false));

    model.SetQuality(0);
    EXPECT_EQ(model.Quality(), 1);
    model.SetQuality(101);
    EXPECT_EQ(model.Quality(), 100);
    model.SetPriority(7);
    EXPECT_EQ(model.Priority(), 1);
}

TEST_F(PreferenceFixture, OkWritesEveryKeyAndCancelNothing) {
    settings.SetSnapOutputDir(dir.File("snap"));
    model.Open();
    model.SetFullSize(false);
    model.SetBmp(false);
    model.SetQuality(55);
    model.SetPriority(3);
    EXPECT_EQ(model.AtOnce(), 0) << "Auto by default";
    model.SetAtOnce(4);
    model.SetAtOnce(17); // beyond 16: ignored
    EXPECT_TRUE(model.RememberJobList());
    model.SetRememberJobList(false);
    const std::string before = SettingsText();
    // Cancel: the model is dropped, the file is as it was.
    TPreferenceModel(settings).Open();
    EXPECT_EQ(SettingsText(), before);

    model.Ok();
    EXPECT_EQ(settings.SnapOutputDir(), dir.File("snap"));
    EXPECT_FALSE(settings.SnapFullSize());
    EXPECT_TRUE(settings.SnapSmallSize());
    EXPECT_FALSE(settings.SnapBmp());
    EXPECT_TRUE(settings.SnapJpg());
    EXPECT_EQ(settings.JpgCompression(), 55);
    EXPECT_EQ(settings.PriorityIndex(), 3);
    EXPECT_EQ(settings.ConversionsAtOnce(), 4);
    EXPECT_FALSE(settings.RememberJobList());
    // One key for the folder, whatever its spelling.
    EXPECT_EQ(SettingsText().find("napOutPutDir"), SettingsText().rfind("napOutPutDir"));

    // Reopening shows what is stored, not what a reused dialog showed last.
    TPreferenceModel reopened(settings);
    reopened.Open();
    EXPECT_FALSE(reopened.FullSize());
    EXPECT_FALSE(reopened.Bmp());
    EXPECT_EQ(reopened.Quality(), 55);
    EXPECT_EQ(reopened.Priority(), 3);
    EXPECT_EQ(reopened.AtOnce(), 4);
    EXPECT_FALSE(reopened.RememberJobList());
}

TEST_F(PreferenceFixture, AnUnwritableFolderIsReplacedAtOnceWhenOpening) {
    settings.SetSnapOutputDir(dir.File("gone"));
    settings.Ini().WriteStrings("settings", {{"snapFullSize", "0"}, {"snapSmallSize", "0"}});
    model.Open();
    EXPECT_EQ(model.Folder(), dir.File("videoconverter"));
    EXPECT_EQ(settings.SnapOutputDir(), dir.File("videoconverter"));
    EXPECT_TRUE(shell.messages.empty());
    // A stored pair with both off opens with the first of the pair on.
    EXPECT_TRUE(model.FullSize());
    EXPECT_FALSE(model.SmallSize());
}

TEST_F(PreferenceFixture, BrowseChecksTheChosenFolder) {
    settings.SetSnapOutputDir(dir.File("snap"));
    model.Open();

    // Too short to be a folder: a message, nothing changes.
    shell.folderAnswers = {"/tm"};
    model.Browse();
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "The path /tm is not a valid directory.");
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_EQ(model.Folder(), dir.File("snap"));

    // Cancelled or unchanged: nothing.
    shell.folderAnswers = {"", dir.File("snap")};
    model.Browse();
    model.Browse();
    EXPECT_EQ(shell.messages.size(), 1u);

    // A writable folder is stored at once, before OK.
    std::filesystem::create_directories(dir.File("other"));
    shell.folderAnswers = {dir.File("other")};
    model.Browse();
    EXPECT_EQ(model.Folder(), dir.File("other"));
    EXPECT_EQ(settings.SnapOutputDir(), dir.File("other"));

    // One that cannot be written: the message names the user; the default folder is stored.
    shell.folderAnswers = {dir.File("missing/folder")};
    model.Browse();
    ASSERT_EQ(shell.messages.size(), 2u);
    EXPECT_EQ(shell.messages[1].text, "You login as " + TGlobalObject::UserName() +
                                          " .You don't have permission to write to directory:" +
                                          dir.File("missing/folder"));
    EXPECT_EQ(model.Folder(), dir.File("videoconverter"));
    EXPECT_EQ(settings.SnapOutputDir(), dir.File("videoconverter"));

    model.OpenFolder();
    EXPECT_EQ(shell.opened, (std::vector<std::string>{dir.File("videoconverter")}));
}
