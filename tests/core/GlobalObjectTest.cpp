#include "GlobalObject.h"
#include "CoreTestHelpers.h"
#include "FFmpegLogger.h"
#include "IniFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <pwd.h>
#include <unistd.h>

using core_test::ReadText;
using core_test::WriteText;
using testing_support::TempDir;

namespace fs = std::filesystem;

TEST(GlobalObject, PlacesFollowTheUsersFolders) {
    const TGlobalObject plain(TUserPlaces{"/home/ann/", ""});
    EXPECT_EQ(plain.DataFolder(), "/home/ann/.local/share/vantre");
    EXPECT_EQ(plain.SettingsFile(), "/home/ann/.local/share/vantre/vantremp4videoconverter.ini");
    EXPECT_EQ(plain.CatalogFile(), "/home/ann/.local/share/vantre/vantremp4format.ini");
    EXPECT_EQ(plain.DefaultOutputFolder(), "/home/ann/videoconverter");
    EXPECT_EQ(plain.Title(), "Vantre MP4 Video Converter");

    const TGlobalObject xdg(TUserPlaces{"/home/ann", "/data/ann/"});
    EXPECT_EQ(xdg.SettingsFile(), "/data/ann/vantre/vantremp4videoconverter.ini");
    // A relative XDG_DATA_HOME is not valid and is ignored.
    const TGlobalObject relative(TUserPlaces{"/home/ann", "data"});
    EXPECT_EQ(relative.DataFolder(), "/home/ann/.local/share/vantre");
}

TEST(GlobalObject, SettersNeedLongEnoughValues) {
    TGlobalObject global(TUserPlaces{"/home/ann", ""});
    const std::string settings = global.SettingsFile();
    global.SetSettingsFile("/a");
    global.SetSettingsFile("abc");
    EXPECT_EQ(global.SettingsFile(), settings);
    global.SetSettingsFile("/a/b");
    EXPECT_EQ(global.SettingsFile(), "/a/b");
    global.SetCatalogFile("c.i");
    global.SetCatalogFile("c.ini");
    EXPECT_EQ(global.CatalogFile(), "c.ini");
    global.SetTitle("");
    EXPECT_EQ(global.Title(), "Vantre MP4 Video Converter");
    global.SetVersionText("");
    global.SetVersionText(" ver 1.60 ");
    global.SetHelpLink("h");
    global.SetWebLink("");
    EXPECT_EQ(global.VersionText(), " ver 1.60 ");
    EXPECT_EQ(global.HelpLink(), "h");
    EXPECT_EQ(global.WebLink(), "");
}

TEST(GlobalObject, RightChars) {
    EXPECT_EQ(TGlobalObject::RightChars("holiday.avi", 3), "avi");
    EXPECT_EQ(TGlobalObject::RightChars("avi", 10), "avi");
    EXPECT_EQ(TGlobalObject::RightChars("avi", 0), "");
    EXPECT_EQ(TGlobalObject::RightChars("avi", -2), "");
    // Characters, not bytes: a multi-byte character is never cut.
    EXPECT_EQ(TGlobalObject::RightChars("Fahrt_\xC3\xBC\x62\x65r.mkv", 8), "\xC3\xBC"
                                                                           "ber.mkv");
}

TEST(GlobalObject, FileVersionText) {
    EXPECT_EQ(TGlobalObject::FileVersionText(3, 6, 0, 0), " 3.600 ");
    EXPECT_EQ(TGlobalObject::FileVersionText(0, 1, 0, 12), " 0.1012 ");
}

TEST(GlobalObject, CanWriteFolder) {
    TempDir dir;
    EXPECT_TRUE(TGlobalObject::CanWriteFolder(dir.Path()));
    EXPECT_TRUE(TGlobalObject::CanWriteFolder(dir.Path() + "/"));
    EXPECT_EQ(core_test::EntryCount(dir.Path()), 0) << "the test file was not deleted";
    EXPECT_FALSE(TGlobalObject::CanWriteFolder(dir.File("missing")));
    EXPECT_FALSE(TGlobalObject::CanWriteFolder(""));
    WriteText(dir.File("file"), "x");
    EXPECT_FALSE(TGlobalObject::CanWriteFolder(dir.File("file")));
    if (::geteuid() != 0) {
        fs::create_directory(dir.File("ro"));
        fs::permissions(dir.File("ro"), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(TGlobalObject::CanWriteFolder(dir.File("ro")));
    }
}

TEST(GlobalObject, UserName) {
    const std::string name = TGlobalObject::UserName();
    ASSERT_FALSE(name.empty());
    EXPECT_LE(name.size(), 253u);
    const passwd* entry = ::getpwuid(::geteuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(name, entry->pw_name);
}

TEST(GlobalObject, CatalogIsCopiedToTheDataFolderOnlyWhenMissing) {
    TempDir dir;
    const TGlobalObject global(TUserPlaces{dir.Path(), dir.File("xdg")});
    const std::string installed = dir.File("installed.ini");
    WriteText(installed, "[formatInfo0]\nFormat=ipod\n");

    EXPECT_EQ(TGlobalObject::FindInstalledCatalog({dir.File("none.ini"), "", installed}),
              installed);
    EXPECT_EQ(TGlobalObject::FindInstalledCatalog({dir.File("none.ini")}), "");

    global.InstallCatalog(installed);
    EXPECT_EQ(ReadText(global.CatalogFile()), "[formatInfo0]\nFormat=ipod\n");
    EXPECT_EQ(TIniFile(global.CatalogFile()).ReadString("formatinfo0", "format", ""), "ipod");

    // A sound catalog already there (every section and key of the shipped one) is kept.
    WriteText(global.CatalogFile(), "[formatInfo0]\nFormat=psp\n");
    WriteText(installed, "[formatInfo0]\nFormat=avi\n");
    EXPECT_EQ(global.InstallCatalog(installed), "");
    EXPECT_EQ(ReadText(global.CatalogFile()), "[formatInfo0]\nFormat=psp\n");
    EXPECT_FALSE(fs::exists(global.CatalogFile() + ".bak"));
}

// The catalog in the data folder against the shipped one: damaged or older copies are kept as
// backups beside it and replaced, with a warning in the log; newer ones are kept.
TEST(GlobalObject, DamagedOrOlderCatalogIsKeptAsABackupAndReplaced) {
    TempDir dir;
    const TGlobalObject global(TUserPlaces{dir.Path(), dir.File("xdg")});
    const std::string installed = dir.File("installed.ini");
    const std::string shipped =
        "[catalog]\nVersion=3\n[formatInfo0]\nFormat=ipod\nFileExt=mp4\n[formatInfo1]\n"
        "Format=ipod\nFileExt=mp4\n";
    WriteText(installed, shipped);
    global.InstallCatalog(installed);
    const std::string catalog = global.CatalogFile();
    std::vector<std::string> logged;
    LoggerInstance().SetTriggerEventInMainThread(false);
    LoggerInstance().SetOnLog(
        [&](const void*, std::uint32_t, TLogLevel level, const std::string& text) {
            if (level == llWarning) {
                logged.push_back(text);
            }
        });

    const std::string garbage = "\x01\x02 not a catalog\n[formatInfo0]\nFormat=ipod\n";
    WriteText(catalog, garbage);
    std::string warning = global.InstallCatalog(installed);
    EXPECT_EQ(warning, "The format catalog " + catalog +
                           " is damaged (key FileExt of section formatInfo0 is missing); it was "
                           "kept as " +
                           catalog + ".bak and replaced by the program's");
    EXPECT_EQ(ReadText(catalog), shipped);
    EXPECT_EQ(ReadText(catalog + ".bak"), garbage);

    // Every section and key, but from an earlier program: replaced; earlier backups stay.
    const std::string older = "[formatInfo0]\nFormat=psp\nFileExt=mp4\n[formatInfo1]\n"
                              "Format=ipod\nFileExt=mp4\n";
    WriteText(catalog, older);
    warning = global.InstallCatalog(installed);
    EXPECT_EQ(warning, "The format catalog " + catalog +
                           " is older than the program's; it was "
                           "kept as " +
                           catalog + ".bak.1 and replaced");
    EXPECT_EQ(ReadText(catalog), shipped);
    EXPECT_EQ(ReadText(catalog + ".bak"), garbage);
    EXPECT_EQ(ReadText(catalog + ".bak.1"), older);

    // An earlier version without the formats added since is older, not damaged.
    const std::string earlier = "[catalog]\nVersion=2\n[formatInfo0]\nFormat=psp\nFileExt=mp4\n";
    WriteText(catalog, earlier);
    warning = global.InstallCatalog(installed);
    EXPECT_EQ(warning, "The format catalog " + catalog +
                           " is older than the program's; it was kept as " + catalog +
                           ".bak.2 and replaced");
    EXPECT_EQ(ReadText(catalog), shipped);

    // A later program's catalog is kept, whatever it holds.
    const std::string newer = "[catalog]\nVersion=4\n[formatInfo0]\nFormat=avi\n";
    WriteText(catalog, newer);
    EXPECT_EQ(global.InstallCatalog(installed), "");
    EXPECT_EQ(ReadText(catalog), newer);
    EXPECT_FALSE(fs::exists(catalog + ".bak.3"));

    LoggerInstance().SetOnLog({});
    LoggerInstance().SetTriggerEventInMainThread(true);
    EXPECT_EQ(logged.size(), 3u);
}

TEST(GlobalObject, ShippedCatalogStatesItsVersion) {
    const TIniFile shipped(std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini");
    EXPECT_GE(shipped.ReadInteger("catalog", "Version", 0), 1);
}

TEST(GlobalObject, MissingInstalledCatalogIsReported) {
    TempDir dir;
    const TGlobalObject global(TUserPlaces{dir.Path(), ""});
    try {
        global.InstallCatalog("");
        FAIL();
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot install the format catalog " +
                                             global.CatalogFile() +
                                             ": The format catalog was not found");
    }
    try {
        global.InstallCatalog(dir.File("gone.ini"));
        FAIL();
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot install the format catalog " +
                                             dir.File("gone.ini") + ": No such file or directory");
    }
    EXPECT_FALSE(fs::exists(global.CatalogFile()));
}

TEST(GlobalObject, DataFolderIsCreatedOnDemand) {
    TempDir dir;
    const TGlobalObject global(TUserPlaces{dir.Path(), ""});
    EXPECT_FALSE(fs::exists(global.DataFolder()));
    EXPECT_TRUE(global.EnsureDataFolder());
    EXPECT_TRUE(fs::is_directory(dir.File(".local/share/vantre")));
    EXPECT_TRUE(global.EnsureDataFolder());
    WriteText(dir.File("blocker"), "x");
    const TGlobalObject blocked(TUserPlaces{dir.File("blocker"), ""});
    EXPECT_FALSE(blocked.EnsureDataFolder());
}

TEST(GlobalObject, ProgramsFindTheShippedCatalog) {
    const std::vector<std::string> candidates = TGlobalObject::InstalledCatalogCandidates();
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_EQ(candidates[0], (fs::path(TGlobalObject::ProgramFolder()).parent_path() / "share" /
                              "vantre" / "vantremp4format.ini")
                                 .string());
    EXPECT_EQ(candidates[1], std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini");
    EXPECT_EQ(TGlobalObject::FindInstalledCatalog(candidates), candidates[1]);
}
