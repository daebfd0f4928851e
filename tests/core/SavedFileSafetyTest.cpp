// Files the program saves and reads back: links planted at their names are replaced, never
// written through; settings and catalogs that are no regular file or too large are moved
// aside at start and the defaults serve.
#include "CoreTestHelpers.h"
#include "GlobalObject.h"
#include "IniFile.h"
#include "MainWindowModel.h"
#include "OutputName.h"
#include "RecordingShell.h"
#include "Settings.h"
#include "SnapshotWriter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using core_test::ReadText;
using core_test::WriteText;
using testing_support::RecordingShell;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

struct SavedFileSafety : ::testing::Test {
    TempDir dir;
    TUserPlaces places{dir.Path(), ""};
    RecordingShell shell;
    TScopedShell scopedShell{shell};
    // Where the program keeps its files for this home.
    std::string settingsFile = TGlobalObject(places).SettingsFile();
    std::string catalogFile = TGlobalObject(places).CatalogFile();

    void SetUp() override { fs::create_directories(fs::path(settingsFile).parent_path()); }
};

} // namespace

TEST_F(SavedFileSafety, SnapshotReplacesALinkPlantedAtItsName) {
    TGlobalObject global(places);
    TSettings settings(global);
    settings.SetSnapOutputDir(dir.File("shared"));
    settings.SetSnapSmallSize(false);
    settings.SetSnapJpg(false);
    fs::create_directories(dir.File("shared"));
    WriteText(dir.File("precious.txt"), "the person's own file");
    fs::create_symlink(dir.File("precious.txt"), dir.File("shared/Snapshot_full.bmp"));

    TBitmap24 picture(32, 24);
    const TSnapshotWriter::TResult result =
        TSnapshotWriter(settings).Save(picture, TSnapshotWriter::SmallPicture(picture));
    EXPECT_TRUE(result.Ok);
    EXPECT_EQ(ReadText(dir.File("precious.txt")), "the person's own file");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.File("shared/Snapshot_full.bmp"))));
    EXPECT_EQ(ReadText(dir.File("shared/Snapshot_full.bmp")).substr(0, 2), "BM");
}

TEST_F(SavedFileSafety, LinkAtTheSettingsFileIsMovedAsideAndNeverWrittenThrough) {
    WriteText(dir.File("precious.ini"), "[Settings]\nFormatCode=2302\n");
    fs::create_symlink(dir.File("precious.ini"), settingsFile);
    TMainWindowModel model(places);
    ASSERT_EQ(model.StartUpWarnings().size(), 1u);
    EXPECT_EQ(model.StartUpWarnings()[0], "The file " + settingsFile +
                                              " cannot be read (not a regular file); it was "
                                              "moved to " +
                                              settingsFile + ".bak and the defaults are used");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(settingsFile + ".bak")));
    model.Settings().SetOutputDir(dir.File("videos"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(settingsFile)));
    EXPECT_EQ(model.Settings().OutputDir(), dir.File("videos"));
    EXPECT_EQ(ReadText(dir.File("precious.ini")), "[Settings]\nFormatCode=2302\n");
}

// A pipe would block every read for ever, a huge file would be parsed by every read: both are
// refused at once, moved aside with a message, and the defaults serve.
TEST_F(SavedFileSafety, PipeAndOversizedSettingsAreMovedAsideAtStart) {
    ASSERT_EQ(::mkfifo(settingsFile.c_str(), 0600), 0);
    // Direct reads do not wait for a writer either.
    EXPECT_EQ(TIniFile(settingsFile).ReadString("Settings", "OutPutDir", "none"), "none");
    {
        TMainWindowModel model(places);
        ASSERT_EQ(model.StartUpWarnings().size(), 1u);
        EXPECT_NE(model.StartUpWarnings()[0].find("(not a regular file)"), std::string::npos);
        EXPECT_EQ(model.Settings().FormatCode(), TSettings::DefaultFormatCode);
        struct stat st {};
        ASSERT_EQ(::lstat((settingsFile + ".bak").c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
        EXPECT_FALSE(fs::exists(settingsFile));
    }
    std::string big = "[Settings]\nFormatCode=2302\n";
    big.resize(2 * 1024 * 1024, ';');
    WriteText(settingsFile, big);
    EXPECT_EQ(TIniFile(settingsFile).ReadInteger("Settings", "FormatCode", -1), -1);
    EXPECT_THROW(TIniFile(settingsFile).WriteInteger("Settings", "FormatCode", 1), EIniFileError);
    TMainWindowModel model(places);
    ASSERT_EQ(model.StartUpWarnings().size(), 1u);
    EXPECT_EQ(model.StartUpWarnings()[0], "The file " + settingsFile +
                                              " cannot be read (larger than 1 MiB); it was "
                                              "moved to " +
                                              settingsFile + ".bak.1 and the defaults are used");
    EXPECT_EQ(fs::file_size(settingsFile + ".bak.1"), big.size());
    EXPECT_EQ(model.Settings().FormatCode(), TSettings::DefaultFormatCode);
}

TEST_F(SavedFileSafety, DamagedCatalogWarningReachesTheStartUpWarnings) {
    WriteText(catalogFile, "[catalog]\nVersion=2\n[formatInfo0]\nFormat=ipod\n");
    TMainWindowModel model(places);
    ASSERT_EQ(model.StartUpWarnings().size(), 1u);
    EXPECT_EQ(
        model.StartUpWarnings()[0].rfind("The format catalog " + catalogFile + " is damaged (", 0),
        0u)
        << model.StartUpWarnings()[0];
    EXPECT_TRUE(fs::exists(catalogFile + ".bak"));
}

// What a run on this host that died left in the output folder is cleared when the program
// starts; another host's files and a person's own empty file stay.
TEST_F(SavedFileSafety, StartRemovesUnfinishedFilesOfDeadRunsInTheOutputFolder) {
    const pid_t dead = ::fork();
    if (dead == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(dead, &status, 0);
    const std::string out = dir.File("videos");
    fs::create_directories(out);
    {
        TGlobalObject global(places);
        TSettings(global).SetOutputDir(out);
    }
    const std::string tail = UnfinishedTail();
    const std::string deadTail = tail.substr(0, tail.rfind('-') + 1) + std::to_string(dead);
    WriteText(out + "/a_(new).mp4", "");
    WriteText(out + "/a_(new).mp4" + deadTail, "partial");
    WriteText(out + "/b_(new).mp4.unfinished-elsewhere-" + std::to_string(dead), "partial");
    WriteText(out + "/mine.mp4", "");

    TMainWindowModel model(places);
    EXPECT_EQ(model.StartUpOutputFolder(), out);
    EXPECT_FALSE(fs::exists(out + "/a_(new).mp4"));
    EXPECT_FALSE(fs::exists(out + "/a_(new).mp4" + deadTail));
    EXPECT_TRUE(fs::exists(out + "/b_(new).mp4.unfinished-elsewhere-" + std::to_string(dead)));
    EXPECT_TRUE(fs::exists(out + "/mine.mp4"));
}
