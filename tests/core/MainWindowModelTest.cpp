#include "MainWindowModel.h"
#include "AppMessages.h"
#include "CoreTestHelpers.h"
#include "MainWindowMessages.h"
#include "MediaFiles.h"
#include "OpticalDisc.h"
#include "RecordingShell.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::TempDir;

namespace {

struct ModelFixture : ::testing::Test {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    TMainWindowModel model{TUserPlaces{home.Path(), ""}};
};

} // namespace

TEST_F(ModelFixture, CreationPlacesTheFilesAndTheCatalogInTheDataFolder) {
    const std::string data = home.File(".local/share/vantre");
    EXPECT_EQ(model.Global().SettingsFile(), data + "/vantremp4videoconverter.ini");
    EXPECT_TRUE(std::filesystem::is_regular_file(data + "/vantremp4format.ini"));
    EXPECT_EQ(model.Caption(), "Vantre MP4 Video Converter ver 1.60 ");
    EXPECT_FALSE(std::filesystem::exists(model.Global().SettingsFile()))
        << "the settings file comes with the first write";
}

TEST_F(ModelFixture, OneThemeDefaultForStartUpAndTheSkinMenu) {
    EXPECT_EQ(model.StartUpTheme(), 0);
    EXPECT_EQ(model.CheckedTheme(), 0) << "the menu marks the theme that is applied";
    EXPECT_FALSE(model.ChooseTheme(0)) << "the checked theme: nothing to do";
    EXPECT_FALSE(std::filesystem::exists(model.Global().SettingsFile()));
    EXPECT_TRUE(model.ChooseTheme(3));
    EXPECT_EQ(model.Settings().SkinIndex(), 3);
    EXPECT_EQ(model.CheckedTheme(), 3);
    EXPECT_FALSE(model.ChooseTheme(3));
    EXPECT_FALSE(model.ChooseTheme(7));
    model.Settings().SetSkinIndex(9);
    EXPECT_EQ(model.StartUpTheme(), -1) << "an unknown index applies none";
    EXPECT_STREQ(TMainWindowModel::ThemeName(6), "Light blue");
}

TEST_F(ModelFixture, MenusNeedASelectedRow) {
    EXPECT_FALSE(model.RowCommandsEnabled());
    TPopupMenuState popup = model.PopupState();
    EXPECT_FALSE(popup.Crop || popup.Trim || popup.VideoEffect || popup.VideoInformation ||
                 popup.Remove || popup.Clear || popup.Start);
    auto record = std::make_unique<TlvFilesRecord>();
    record->SourceFile = "/a.mp4";
    model.Jobs().Append(std::move(record));
    EXPECT_TRUE(model.RowCommandsEnabled());
    popup = model.PopupState();
    EXPECT_TRUE(popup.Crop && popup.Trim && popup.VideoEffect && popup.VideoInformation &&
                popup.Remove && popup.Clear && popup.Start);
    model.Jobs().Select(-1);
    EXPECT_FALSE(model.RowCommandsEnabled());
    EXPECT_FALSE(model.PopupState().Clear);
}

TEST_F(ModelFixture, ChosenOutputFolder) {
    const std::string box = home.File("videoconverter");
    EXPECT_EQ(model.ApplyChosenFolder("", box), std::nullopt) << "cancelled";
    EXPECT_EQ(model.ApplyChosenFolder(box, box), std::nullopt) << "unchanged";
    EXPECT_TRUE(shell.messages.empty());

    EXPECT_EQ(model.ApplyChosenFolder("/tm", box), std::nullopt);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "The path /tm is not a valid directory.");
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_EQ(shell.messages[0].buttons, TMsgButtons::Ok);

    const std::string writable = home.File("movies");
    std::filesystem::create_directories(writable);
    EXPECT_EQ(model.ApplyChosenFolder(writable, box), writable);
    EXPECT_EQ(model.Settings().OutputDir(), writable);
    EXPECT_EQ(shell.messages.size(), 1u);

    if (::geteuid() != 0) { // root writes anywhere
        const std::string locked = home.File("locked");
        std::filesystem::create_directories(locked);
        ::chmod(locked.c_str(), 0555);
        EXPECT_EQ(model.ApplyChosenFolder(locked, writable), home.File("videoconverter"));
        ASSERT_EQ(shell.messages.size(), 2u);
        EXPECT_EQ(shell.messages[1].text,
                  "You login as " + TGlobalObject::UserName() +
                      " .You don't have permission to write to directory:" + locked);
        EXPECT_EQ(model.Settings().OutputDir(), home.File("videoconverter"));
        ::chmod(locked.c_str(), 0755);
    }
}

TEST_F(ModelFixture, OpenShowsTheStoredOutputFolder) {
    model.Settings().SetOutputDir(home.File("out"));
    model.OpenOutputFolder("ab");
    EXPECT_TRUE(shell.opened.empty()) << "two characters are not a folder";
    model.OpenOutputFolder(home.File("out"));
    EXPECT_EQ(shell.opened, std::vector<std::string>{home.File("out")});
    EXPECT_TRUE(std::filesystem::is_directory(home.File("out")));
}

TEST_F(ModelFixture, ExitAsksAndKeepsEverythingOnNo) {
    TFormatTable& table = model.Table();
    model.Devices().Build(table, model.Settings());
    model.Devices().Toggle(0, table);
    EXPECT_FALSE(model.ConfirmExit());
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "Do you really want to exit?");
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_EQ(shell.messages[0].icon, TMsgIcon::Question);
    EXPECT_EQ(shell.messages[0].buttons, TMsgButtons::YesNo);
    EXPECT_TRUE(model.Settings().GroupCollapsed(0)) << "nothing stored on No";

    shell.messageAnswers.push_back(TMsgResult::Yes);
    EXPECT_TRUE(model.ConfirmExit());
    EXPECT_FALSE(model.Settings().GroupCollapsed(0)) << "the group states are stored on Yes";
    EXPECT_TRUE(model.Settings().GroupCollapsed(1));
}

TEST_F(ModelFixture, StartUpReplacesAnOutputFolderThatCannotBeWritten) {
    model.Settings().SetOutputDir("/proc/no such folder");
    EXPECT_EQ(model.StartUpOutputFolder(), home.File("videoconverter"));
    EXPECT_EQ(model.Settings().OutputDir(), home.File("videoconverter"));
}

TEST(OpticalDisc, DecidesByFileSystemOrDevice) {
    const std::string table = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                              "40 22 11:0 / /media/cdrom rw shared:2 - iso9660 /dev/sr0 ro\n"
                              "41 22 11:1 / /media/dvd\\040disc ro - udf /dev/sr1 ro\n"
                              "42 22 0:50 / /media/usb rw - vfat /dev/sdb1 rw\n"
                              "43 42 0:51 / /media/usb/iso ro - fuseiso /dev/sr2 ro\n"
                              "44 40 0:52 / /media/cdrom/overlay rw - tmpfs tmpfs rw\n";
    EXPECT_TRUE(IsOnOpticalDiscIn("/media/cdrom", table));
    EXPECT_TRUE(IsOnOpticalDiscIn("/media/cdrom/Movies", table));
    EXPECT_TRUE(IsOnOpticalDiscIn("/media/dvd disc/VIDEO_TS", table));
    EXPECT_TRUE(IsOnOpticalDiscIn("/media/usb/iso/a", table)) << "mounted from /dev/sr2";
    EXPECT_FALSE(IsOnOpticalDiscIn("/media/usb/movies", table));
    EXPECT_FALSE(IsOnOpticalDiscIn("/media/cdrom2", table)) << "a name that only begins alike";
    EXPECT_FALSE(IsOnOpticalDiscIn("/media/cdrom/overlay/x", table)) << "mounted over the disc";
    EXPECT_FALSE(IsOnOpticalDiscIn("/home/user", table));
    EXPECT_FALSE(IsOnOpticalDisc("/tmp"));
}

TEST(MediaFiles, DroppedFoldersGiveTheirMediaFilesInNameOrder) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("trip/day 2"));
    std::filesystem::create_directories(dir.File("trip/empty.mp4")); // a folder named like a clip
    for (const char* name : {"trip/b.MP4", "trip/a.mkv", "trip/notes.txt", "trip/day 2/c.mp3",
                             "trip/day 2/cover.jpg", "single.txt"}) {
        core_test::WriteText(dir.File(name), "x");
    }
    std::filesystem::create_directory_symlink(dir.File("trip"), dir.File("trip/loop"));
    const std::vector<std::string> files =
        mediafiles::ExpandDropped({dir.File("single.txt"), dir.File("trip")});
    EXPECT_EQ(files,
              (std::vector<std::string>{dir.File("single.txt"), dir.File("trip/a.mkv"),
                                        dir.File("trip/b.MP4"), dir.File("trip/day 2/c.mp3")}));
    EXPECT_TRUE(mediafiles::IsMediaFileName("x.VOB"));
    EXPECT_TRUE(mediafiles::IsMediaFileName("x.flac"));
    EXPECT_TRUE(mediafiles::IsMediaFileName("x.m2ts"));
    EXPECT_FALSE(mediafiles::IsMediaFileName("x.jpg"));
    EXPECT_FALSE(mediafiles::IsMediaFileName("mp4"));
}
