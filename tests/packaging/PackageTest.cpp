#include "FFmpegLoader.h"
#include "LibrarySet.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

// Package names of a Depends field, without versions and alternatives' bars.
std::set<std::string> DependedPackages(const std::string& field) {
    std::set<std::string> names;
    std::string token;
    auto flush = [&] {
        token.erase(0, token.find_first_not_of(' '));
        const std::string name = token.substr(0, token.find_first_of(" ("));
        if (!name.empty()) {
            names.insert(name);
        }
        token.clear();
    };
    for (char c : field) {
        if (c == ',' || c == '|') {
            flush();
        } else if (c != '\n') {
            token += c;
        }
    }
    flush();
    return names;
}

// The package that ships this library for this machine's architecture ("libfoo:amd64" loses
// its architecture suffix); the 32-bit copies of some libraries live elsewhere.
std::string OwnerOf(const std::string& soname) {
    const CommandResult r = RunCommand("dpkg -S " + ShellQuote("*/x86_64-linux-gnu/" + soname));
    if (r.exitCode != 0) {
        return {};
    }
    const std::string first = Lines(r.output).front();
    std::string owner = first.substr(0, first.find(": "));
    return owner.substr(0, owner.find(':'));
}

std::vector<std::string> NeededLibraries(const std::string& program) {
    std::vector<std::string> needed;
    for (const std::string& line : Lines(RunCommand("readelf -d " + ShellQuote(program)).output)) {
        const auto open = line.find("Shared library: [");
        if (open != std::string::npos) {
            const auto start = open + 17;
            needed.push_back(line.substr(start, line.find(']', start) - start));
        }
    }
    return needed;
}

class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<TempDir>();
        const CommandResult built = RunCommand(
            "cpack --config " + ShellQuote(std::string(BUILD_DIR) + "/CPackConfig.cmake") + " -B " +
            ShellQuote(folder_->File("out")));
        deb_ = folder_->File("out/vantre_" PACKAGE_VERSION "_amd64.deb");
        buildLog_ = built.output;
        root_ = folder_->File("root");
        if (fs::exists(deb_)) {
            RunCommand("dpkg-deb -x " + ShellQuote(deb_) + " " + ShellQuote(root_));
        }
    }
    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override { ASSERT_TRUE(fs::exists(deb_)) << "no package built:\n" << buildLog_; }

    static std::unique_ptr<TempDir> folder_;
    static std::string deb_;
    static std::string root_;
    static std::string buildLog_;
};

std::unique_ptr<TempDir> Package::folder_;
std::string Package::deb_;
std::string Package::root_;
std::string Package::buildLog_;

TEST_F(Package, HoldsTheProgramsCatalogDesktopEntryIconsMetadataAndManualPages) {
    const std::string listing = RunCommand("dpkg-deb -c " + ShellQuote(deb_)).output;
    for (const char* file :
         {"./usr/bin/vantre", "./usr/bin/vantre-convert", "./usr/share/vantre/vantremp4format.ini",
          "./usr/share/applications/vantre.desktop",
          "./usr/share/metainfo/org.vantre.Vantre.metainfo.xml", "./usr/share/man/man1/vantre.1.gz",
          "./usr/share/man/man1/vantre-convert.1.gz"}) {
        EXPECT_NE(listing.find(std::string(file) + "\n"), std::string::npos) << file;
    }
    // A scalable icon, or the bitmap sizes a desktop asks for.
    const bool scalable =
        listing.find("./usr/share/icons/hicolor/scalable/apps/vantre.svg\n") != std::string::npos;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string icon = "./usr/share/icons/hicolor/" + std::to_string(size) + "x" +
                                 std::to_string(size) + "/apps/vantre.png\n";
        EXPECT_TRUE(scalable || listing.find(icon) != std::string::npos) << icon;
    }
    // Developer programs and test libraries stay out.
    EXPECT_EQ(listing.find("/transcode"), std::string::npos);
    EXPECT_EQ(listing.find("stub"), std::string::npos);
}

TEST_F(Package, ExtractedConverterListsFormatsAndConverts) {
    TempDir home;
    const std::string env =
        "HOME=" + ShellQuote(home.Path()) + " XDG_DATA_HOME=" + ShellQuote(home.File("data")) + " ";
    const std::string convert = ShellQuote(root_ + "/usr/bin/vantre-convert");

    const CommandResult list = RunCommand(env + convert + " --list-formats");
    ASSERT_EQ(list.exitCode, 0) << list.output;
    EXPECT_EQ(Lines(list.output).size(), 128u);

    MakeClip(home.File("clip.mp4"), 1, 160, 120, 10);
    const CommandResult run =
        RunCommand(env + convert + " --format 1 --out " + ShellQuote(home.File("out")) + " " +
                   ShellQuote(home.File("clip.mp4")));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string output = home.File("out/clip_(new).mp4");
    ASSERT_TRUE(fs::exists(output)) << run.output;
    EXPECT_EQ(ProbeEntry(output, "v:0", "stream=codec_type"), "video");
    EXPECT_EQ(ProbeEntry(output, "a:0", "stream=codec_type"), "audio");
    // The catalog came from the package, next to the extracted program.
    EXPECT_TRUE(fs::exists(home.File("data/vantre/vantremp4format.ini")));
}

TEST_F(Package, DependsNamesEveryLibraryLoadedOrLinked) {
    const std::set<std::string> depends =
        DependedPackages(RunCommand("dpkg-deb -f " + ShellQuote(deb_) + " Depends").output);
    ASSERT_FALSE(depends.empty());

    std::vector<std::string> libraries;
    for (int i = 0; i < LibraryKindCount; ++i) {
        libraries.push_back(TFFmpegLoader::LibraryFileName(static_cast<TLibraryKind>(i)));
    }
    for (const char* program : {"/usr/bin/vantre", "/usr/bin/vantre-convert"}) {
        for (const std::string& needed : NeededLibraries(root_ + program)) {
            libraries.push_back(needed);
        }
    }
    for (const std::string& library : libraries) {
        const std::string owner = OwnerOf(library);
        ASSERT_FALSE(owner.empty()) << library << " belongs to no installed package";
        EXPECT_TRUE(depends.count(owner))
            << library << " comes from " << owner << ", which Depends does not name";
    }
}

TEST_F(Package, DesktopEntryMetadataAndManualPagesValidate) {
    const CommandResult desktop = RunCommand(
        "desktop-file-validate " + ShellQuote(root_ + "/usr/share/applications/vantre.desktop"));
    EXPECT_EQ(desktop.exitCode, 0) << desktop.output;
    EXPECT_EQ(desktop.output, "");

    const CommandResult meta =
        RunCommand("appstreamcli validate --no-net " +
                   ShellQuote(root_ + "/usr/share/metainfo/org.vantre.Vantre.metainfo.xml"));
    EXPECT_EQ(meta.exitCode, 0) << meta.output;

    for (const char* page : {"vantre.1.gz", "vantre-convert.1.gz"}) {
        const std::string path = root_ + "/usr/share/man/man1/" + page;
        // Warnings go to standard error; the rendered page is thrown away.
        const CommandResult man =
            RunCommand("MANWIDTH=80 man --warnings -l " + ShellQuote(path) + " 2>&1 >/dev/null");
        EXPECT_EQ(man.exitCode, 0) << page << "\n" << man.output;
        EXPECT_EQ(man.output, "") << page;
        EXPECT_NE(RunCommand("MANWIDTH=80 man -l " + ShellQuote(path)).output.find("EXIT STATUS"),
                  std::string::npos)
            << page;
    }
}

} // namespace
