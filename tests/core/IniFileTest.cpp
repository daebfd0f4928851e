#include "IniFile.h"
#include "AppMessages.h"
#include "CoreTestHelpers.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

using core_test::ReadText;
using core_test::WriteText;
using testing_support::TempDir;

TEST(IniFile, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("settings", "OutPutDir", "fallback"), "fallback");
    EXPECT_EQ(ini.ReadInteger("settings", "volume", 17), 17);
    EXPECT_TRUE(ini.ReadBool("settings", "mute", true));
    EXPECT_FALSE(ini.SectionExists("settings"));
    EXPECT_FALSE(ini.ValueExists("settings", "volume"));
    EXPECT_FALSE(std::filesystem::exists(path));

    ini.WriteInteger("settings", "volume", 99);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(ReadText(path), "[settings]\nvolume=99\n");
    EXPECT_EQ(ini.ReadInteger("settings", "volume", 0), 99);
}

TEST(IniFile, NamesIgnoreCaseAndValuesAreTrimmed) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteText(path, "; kept comment\n[Settings]\n  SnapOutPutDir =   /home/me/snaps  \n"
                    "quoted = \"  spaced  \"\nempty=\n[Other]\nx=1\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("settings", "snapoutputdir", ""), "/home/me/snaps");
    EXPECT_EQ(ini.ReadString("SETTINGS", "Quoted", ""), "  spaced  ");
    EXPECT_TRUE(ini.ValueExists("settings", "EMPTY"));
    EXPECT_EQ(ini.ReadString("settings", "empty", "default"), "");
    EXPECT_TRUE(ini.SectionExists("other"));

    // A write under another spelling replaces the same key instead of adding one.
    ini.WriteString("settings", "snapOutPutDir", "/tmp/x");
    EXPECT_EQ(ini.ReadString("Settings", "SnapOutPutDir", ""), "/tmp/x");
    const std::string text = ReadText(path);
    EXPECT_EQ(text.find("/home/me/snaps"), std::string::npos);
    EXPECT_EQ(text.find("snapOutPutDir"), std::string::npos) << text;
    EXPECT_NE(text.find("; kept comment"), std::string::npos) << text;
    EXPECT_NE(text.find("[Other]\nx=1"), std::string::npos) << text;
}

TEST(IniFile, LinesThatAreNoKeysAreSkipped) {
    TempDir dir;
    const std::string path = dir.File("odd.ini");
    WriteText(path, "\xEF\xBB\xBF[s]\njust text\nlink=http://host/?a=b&c=d\n\n[t]\nk=v\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("s", "link", ""), "http://host/?a=b&c=d");
    EXPECT_EQ(ini.ReadString("t", "k", ""), "v");
    ini.WriteString("t", "k", "w");
    EXPECT_EQ(ini.ReadString("s", "link", ""), "http://host/?a=b&c=d");
    EXPECT_EQ(ini.ReadString("t", "k", ""), "w");
}

TEST(IniFile, NumbersAndBooleans) {
    TempDir dir;
    const std::string path = dir.File("n.ini");
    WriteText(path, "[s]\na=12\nb=12abc\nc= -7 \nd=0\ne=2\nf=yes\ng=99999999999\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("s", "a", 5), 12);
    EXPECT_EQ(ini.ReadInteger("s", "b", 5), 5);
    EXPECT_EQ(ini.ReadInteger("s", "c", 5), -7);
    EXPECT_EQ(ini.ReadInteger("s", "g", 5), 5);
    EXPECT_FALSE(ini.ReadBool("s", "d", true));
    EXPECT_TRUE(ini.ReadBool("s", "e", false));
    EXPECT_FALSE(ini.ReadBool("s", "f", false));
    EXPECT_TRUE(ini.ReadBool("s", "f", true));

    TIniFile out(dir.File("bools.ini"));
    out.WriteBool("s", "on", true);
    out.WriteBool("s", "off", false);
    EXPECT_EQ(ReadText(out.FileName()), "[s]\non=1\noff=0\n");
}

TEST(IniFile, EveryAccessSeesTheFileAsItIsNow) {
    TempDir dir;
    const std::string path = dir.File("shared.ini");
    TIniFile first(path);
    const TIniFile second(path);
    first.WriteString("settings", "FormatCode", "205");
    EXPECT_EQ(second.ReadInteger("settings", "formatcode", 1), 205);
    WriteText(path, "[settings]\nFormatCode=2406\n");
    EXPECT_EQ(second.ReadInteger("settings", "FormatCode", 1), 2406);
    first.WriteString("settings", "FormatName", "AC-3 Audio Codec (*.ac3)");
    EXPECT_EQ(second.ReadInteger("settings", "FormatCode", 1), 2406);

    // Rewritten in place by another program: same file, same size, same time stamps.
    WriteText(path, "[settings]\nFormatCode=2406\n");
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    EXPECT_EQ(second.ReadInteger("settings", "FormatCode", 1), 2406);
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_TRUE(file.is_open());
        file.seekp(25); // the last digit
        file << '7';
    }
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(ReadText(path), "[settings]\nFormatCode=2407\n");
    EXPECT_EQ(second.ReadInteger("settings", "FormatCode", 1), 2407);
    EXPECT_EQ(first.ReadString("SETTINGS", "formatcode", ""), "2407");
}

TEST(IniFile, GroupedWritesSectionsAndErasing) {
    TempDir dir;
    TIniFile ini(dir.File("g.ini"));
    ini.WriteStrings(
        "formatInfo205",
        {{"paraVideoSize", "1280x720"}, {"paraSampleRate", "44100"}, {"PARASAMPLERATE", "8000"}});
    ini.WriteString("lstformat", "0", "1");
    EXPECT_EQ(ini.ReadString("formatinfo205", "parasamplerate", ""), "8000");
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"formatInfo205", "lstformat"}));
    ini.DeleteKey("formatInfo205", "paraVideoSize");
    EXPECT_FALSE(ini.ValueExists("formatInfo205", "paraVideoSize"));
    ini.EraseSection("FORMATINFO205");
    EXPECT_FALSE(ini.SectionExists("formatInfo205"));
    EXPECT_EQ(ini.ReadString("lstformat", "0", ""), "1");
}

TEST(IniFile, BadNamesAndValuesAreRefusedAndLoseNothing) {
    TempDir dir;
    const std::string path = dir.File("bad.ini");
    WriteText(path, "[s]\nk=v\n");
    TIniFile ini(path);
    const std::pair<std::string, std::string> badNames[] = {
        {"", "k"}, {"s]", "k"}, {"s", ""}, {"s", "a=b"}, {"s", ";c"}, {"s", "x\ny"}};
    for (const auto& [section, key] : badNames) {
        EXPECT_THROW(ini.WriteString(section, key, "1"), EIniFileError) << section << "/" << key;
    }
    try {
        ini.WriteString("s", "k", "two\nlines");
        FAIL() << "a value with a line break was stored";
    } catch (const EIniFileError& e) {
        EXPECT_STREQ(e.what(),
                     "The value for key \"k\" contains a line break and cannot be stored");
    }
    EXPECT_EQ(ReadText(path), "[s]\nk=v\n");
}

TEST(IniFile, FailedWriteLeavesTheOldFileIntact) {
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    const std::string original = "[settings]\nOutPutDir=/home/me/videoconverter\nvolume=64\n";
    WriteText(path, original);
    TIniFile ini(path);

    // Files may grow to 100 bytes only: the replacement cannot be written completely.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct RestoreLimit {
        rlimit limit;
        ~RestoreLimit() { ::setrlimit(RLIMIT_FSIZE, &limit); }
    } restore{saved};
    rlimit limit{100, saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    try {
        ini.WriteString("settings", "FormatName", std::string(200, 'n'));
        FAIL() << "the write was reported as done";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot write the settings file " + path + ": File too large");
    }
    EXPECT_EQ(ReadText(path), original);
    EXPECT_EQ(core_test::EntryCount(dir.Path()), 1) << "a temporary file was left behind";
    EXPECT_EQ(ini.ReadInteger("settings", "volume", 0), 64);
}

TEST(IniFile, WriteIntoAMissingFolderFailsClearly) {
    TempDir dir;
    TIniFile ini(dir.File("no/such/folder/settings.ini"));
    try {
        ini.WriteString("settings", "mute", "1");
        FAIL();
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write the settings file " + ini.FileName() +
                                             ": No such file or directory");
    }
}

TEST(IniFile, AnUnreadableFileIsNeverOverwritten) {
    TempDir dir;
    // A folder where the file should be: reads give defaults, writes refuse.
    const std::string path = dir.File("settings.ini");
    std::filesystem::create_directory(path);
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("settings", "OutPutDir", "d"), "d");
    try {
        ini.WriteString("settings", "OutPutDir", "/x");
        FAIL();
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot read the settings file " + path +
                                             " (Is a directory); it is left unchanged");
    }
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(IniFile, ReplacementKeepsPermissionsAndReplacesLinks) {
    TempDir dir;
    const std::string real = dir.File("real.ini");
    WriteText(real, "[s]\na=1\n");
    ::chmod(real.c_str(), 0600);
    TIniFile(real).WriteString("s", "b", "2");
    EXPECT_EQ(ReadText(real), "[s]\na=1\nb=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A link planted at the name is neither read nor written through: it is replaced.
    const std::string other = dir.File("other.txt");
    WriteText(other, "someone else's file\n");
    const std::string link = dir.File("link.ini");
    std::filesystem::create_symlink(other, link);
    TIniFile ini(link);
    EXPECT_EQ(ini.ReadString("s", "a", "none"), "none");
    ini.WriteString("s", "b", "2");
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadText(link), "[s]\nb=2\n");
    EXPECT_EQ(ReadText(other), "someone else's file\n");
}
