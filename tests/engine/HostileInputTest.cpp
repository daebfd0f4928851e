// Damaged and unusual inputs: the engine converts what it can, and otherwise fails with a reason,
// removes the output it created and leaves the source alone. Never a crash (this file is also
// run under AddressSanitizer), never a failure reported as success.

#include "DamagedFiles.h"
#include "EngineTestSupport.h"
#include "SmallFileSystem.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace engine_test;
using testing_support::CommandResult;
using testing_support::FileChecksum;
using testing_support::MakeClip;
using testing_support::RunCommand;
using testing_support::ShellQuote;

namespace fs = std::filesystem;

namespace {

// The fixtures, made once for every test process of the build.
class THostileFiles {
public:
    // H.264 4:2:0 + AAC, 2 s.
    static std::string Mp4() {
        return Shared("clip.mp4", [](const std::string& path) {
            MakeClip(path, 2, 320, 240, 25, 44100,
                     "-c:v libx264 -preset ultrafast -threads 1 -pix_fmt yuv420p -c:a aac "
                     "-shortest");
        });
    }
    // MPEG-4 + MP3, 2 s.
    static std::string Mkv() {
        return Shared("clip.mkv", [](const std::string& path) {
            MakeClip(path, 2, 320, 240, 25, 44100, "-c:v mpeg4 -c:a libmp3lame -shortest");
        });
    }
    // MPEG-2 + MP2 in MPEG-TS, 2 s.
    static std::string Ts() {
        return Shared("clip.ts", [](const std::string& path) {
            MakeClip(path, 2, 160, 120, 25, 44100, "-c:v mpeg2video -c:a mp2 -shortest");
        });
    }
    // A BMP cut inside its picture data.
    static std::string ShortBmp() {
        return Shared("short.bmp", [](const std::string& path) {
            const std::string whole = path + ".whole.bmp";
            testing_support::Ffmpeg("-f lavfi -i testsrc=size=64x48 -frames:v 1 " +
                                    ShellQuote(whole));
            testing_support::TruncatedCopy(whole, path, 1000);
            fs::remove(whole);
        });
    }
    // Noise named like an AVI.
    static std::string NoiseAvi() {
        return Shared("noise.avi", [](const std::string& path) {
            testing_support::RandomBytes(path, 5, 20000);
        });
    }
    // An MPEG-TS that starts after its first key frame.
    static std::string CutTs() {
        return Shared("cut.ts", [](const std::string& path) {
            const std::string whole = path + ".whole.ts";
            MakeClip(whole, 3, 320, 240, 25, 0,
                     "-c:v libx264 -preset ultrafast -threads 1 -pix_fmt yuv420p -g 50");
            std::ifstream in(whole, std::ios::binary);
            in.seekg(20 * 188); // whole transport packets, past the first key frame
            std::ofstream(path, std::ios::binary) << in.rdbuf();
            in.close();
            fs::remove(whole);
        });
    }
    // An M4A of one AAC frame.
    static std::string OneFrame() {
        return Shared("one.m4a", [](const std::string& path) {
            testing_support::Ffmpeg("-f lavfi -i sine -frames:a 1 -c:a aac " + ShellQuote(path));
        });
    }
    // An MKV cut at the start of its first cluster.
    static std::string NoCluster() {
        const std::string mkv = Mkv();
        return Shared("nocluster.mkv", [&](const std::string& path) {
            testing_support::TruncatedCopy(
                mkv, path, testing_support::MarkerOffset(mkv, "\x1f\x43\xb6\x75") + 12);
        });
    }
    // A PNG cut inside its picture data.
    static std::string ShortPng() {
        return Shared("short.png", [](const std::string& path) {
            const std::string whole = path + ".whole.png";
            testing_support::Ffmpeg("-f lavfi -i testsrc=size=64x48 -frames:v 1 " +
                                    ShellQuote(whole));
            testing_support::TruncatedCopy(whole, path, 100);
            fs::remove(whole);
        });
    }
    // The MP4 with its H.264 parameter sets inverted.
    static std::string BadHeader() {
        const std::string mp4 = Mp4();
        return Shared("badheader.mp4", [&](const std::string& path) {
            testing_support::InvertAfter(mp4, path, "avcC", 16, 12);
        });
    }
    // A WAV of 255 channels.
    static std::string ManyChannels() {
        return Shared("channels.wav", [](const std::string& path) {
            testing_support::WriteSilentWav(path, 255, 44100, 4410);
        });
    }

private:
    static std::string Shared(const std::string& name,
                              const std::function<void(const std::string&)>& make) {
        return testing_support::SharedFixture(FIXTURE_FOLDER, name, make);
    }
};

class HostileInput : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        task.Reset();
        task.SetVerbose(-1);
    }

    testing_support::TempDir out;
    TTestEngine task;
};

// The transcode program on one hostile case: exit code 1, the reason as the last line, no
// output left behind and the source unchanged.
struct TToolCase {
    const char* name;
    std::string source;
    std::string arguments; // before the output
    const char* output;
    std::string reason;
};

// "{in}" and "{out}" stand for the source and the output.
std::string Substitute(std::string text, const std::string& source, const std::string& output) {
    for (const auto& [mark, value] :
         {std::pair{std::string("{in}"), source}, std::pair{std::string("{out}"), output}}) {
        for (size_t at = text.find(mark); at != std::string::npos;
             at = text.find(mark, at + value.size())) {
            text.replace(at, mark.size(), value);
        }
    }
    return text;
}

std::string LastLine(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n') {
        trimmed.pop_back();
    }
    const size_t newline = trimmed.rfind('\n');
    return newline == std::string::npos ? trimmed : trimmed.substr(newline + 1);
}

void ExpectToolFailure(const TToolCase& c, const std::string& folder) {
    const std::string output = folder + "/" + c.output;
    const std::string before = FileChecksum(c.source);
    const std::string arguments = Substitute(c.arguments, ShellQuote(c.source), "");
    // A program that blocks on its input fails the test instead of hanging it.
    const CommandResult r = RunCommand("timeout 60 " + ShellQuote(TRANSCODE_PROGRAM) + " " +
                                       arguments + " " + ShellQuote(output));
    EXPECT_EQ(r.exitCode, 1) << c.name << "\n" << r.output;
    EXPECT_EQ(LastLine(r.output), Substitute(c.reason, c.source, output)) << c.name;
    EXPECT_FALSE(fs::exists(output)) << c.name << " left its output";
    EXPECT_EQ(FileChecksum(c.source), before) << c.name << " changed its source";
}

} // namespace

TEST_F(HostileInput, TheToolFailsWithTheReasonAndLeavesNothing) {
    const std::vector<TToolCase> cases = {
        {"truncated PNG", THostileFiles::ShortPng(), "-i {in}", "png.mp4",
         "Input stream #0.0 does not tell its picture size (is it damaged?); it cannot be "
         "converted"},
        {"truncated BMP", THostileFiles::ShortBmp(), "-i {in}", "bmp.mkv",
         "{out}: no frames were written"},
        {"noise named AVI", THostileFiles::NoiseAvi(), "-i {in}", "noise.mkv",
         "{in}: Invalid data found when processing input"},
        {"one AAC frame", THostileFiles::OneFrame(), "-i {in}", "one.mp4",
         "{out}: no frames were written"},
        {"MKV without clusters", THostileFiles::NoCluster(), "-i {in}", "nocluster.mp3",
         "{out}: no frames were written"},
        {"copy of a damaged header", THostileFiles::BadHeader(),
         "-i {in} -vcodec copy -acodec copy", "copy.mkv",
         "Input stream #0.0 (Video) has a damaged codec header; it cannot be copied"},
        {"input start beyond the end", THostileFiles::Mp4(), "-ss 100 -i {in}", "late.mkv",
         "trim start 100 s is beyond the end of the source (2 s)"},
        {"output start beyond the end", THostileFiles::Mp4(), "-i {in} -ss 100", "late2.mkv",
         "trim start 100 s is beyond the end of the source (2 s)"},
        {"255 channels", THostileFiles::ManyChannels(), "-i {in} -ac 2", "channels.wav",
         "Can not resample 255 channels @ 44100 Hz to 2 channels @ 44100 Hz"},
    };
    for (const TToolCase& c : cases) {
        ExpectToolFailure(c, out.Path());
    }
}

TEST_F(HostileInput, InputsThatAreNoRegularFilesAreRefusedAtOnce) {
    const std::string pipe = out.File("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string socketPath = out.File("socket");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const std::vector<TToolCase> cases = {
        {"named pipe without a writer", pipe, "-i {in}", "pipe.mkv",
         "{in}: Not a regular file (a named pipe)"},
        {"socket", socketPath, "-i {in}", "socket.mkv", "{in}: Not a regular file (a socket)"},
        {"folder", out.Path(), "-i {in}", "folder.mkv", "{in}: Not a regular file (a directory)"},
    };
    for (const TToolCase& c : cases) {
        ExpectToolFailure(c, out.Path());
    }
    ::close(sock);

    // The engine itself refuses them, so every front end does.
    EXPECT_FALSE(task.OpenInputFile("/dev/zero"));
    EXPECT_EQ(task.LastErrorText(), "/dev/zero: Not a regular file (a character device)");
    EXPECT_FALSE(task.OpenInputFile("file:" + out.Path()));
    EXPECT_EQ(task.LastErrorText(), "file:" + out.Path() + ": Not a regular file (a directory)");
    EXPECT_EQ(task.InputFileCount(), 0);
}

TEST_F(HostileInput, UnknownPictureFormatIsSetUpFromTheFirstPicture) {
    // With a probe this short the stream's parameters do not tell the picture format.
    const std::string probe = RunCommand("ffprobe -v quiet -probesize 32 -analyzeduration 0 "
                                         "-show_entries stream=pix_fmt -of csv=p=0 " +
                                         ShellQuote(THostileFiles::CutTs()))
                                  .output;
    ASSERT_EQ(probe.substr(0, 7), "unknown") << "the fixture no longer hides its format";
    for (const bool filtered : {false, true}) {
        TTestEngine engine;
        engine.Reset();
        engine.SetVerbose(-1);
        ASSERT_TRUE(engine.Generic("probesize", "32"));
        ASSERT_TRUE(engine.Generic("analyzeduration", "0"));
        ASSERT_TRUE(engine.OpenInputFile(THostileFiles::CutTs())) << engine.LastErrorText();
        engine.SetOption("s", "160x120");
        engine.SetOption("r", "25"); // nor does it tell the frame rate
        engine.SetOption("vcodec", "mpeg4");
        if (filtered) {
            engine.SetOption("vf", "hflip");
        }
        const std::string output = out.File(filtered ? "filtered.mkv" : "scaled.mkv");
        ASSERT_EQ(engine.OpenOutputFile(output), 1) << engine.LastErrorText();
        engine.Start(false);
        EXPECT_FALSE(engine.HasError()) << engine.ErrorMessage();
        EXPECT_EQ(ProbeInt(output, "v:0", "stream=width"), 160);
        EXPECT_EQ(ProbeInt(output, "v:0", "stream=height"), 120);
        EXPECT_GE(CountFrames(output), 25);
    }
}

// Random damage with fixed seeds: every conversion either writes a readable file or fails with
// a reason and leaves nothing behind; no source is ever touched.
TEST_F(HostileInput, RandomDamageConvertsOrFailsCleanly) {
    int failed = 0;
    int converted = 0;
    for (const std::string& source :
         {THostileFiles::Mp4(), THostileFiles::Mkv(), THostileFiles::Ts()}) {
        for (std::uint32_t seed = 1; seed <= 6; ++seed) {
            const std::string kind = fs::path(source).extension().string();
            const std::string damaged = out.File("damaged" + std::to_string(seed) + kind);
            testing_support::FlipBytes(source, damaged, seed, 300);
            const std::string before = FileChecksum(damaged);
            const std::string output = out.File("out" + std::to_string(seed) + kind + ".mkv");
            TTestEngine engine;
            engine.Reset();
            engine.SetVerbose(-1);
            const std::string name = damaged + " (seed " + std::to_string(seed) + ")";
            if (!engine.OpenInputFile(damaged)) {
                EXPECT_FALSE(engine.LastErrorText().empty()) << name;
                ++failed;
                continue;
            }
            engine.SetOption("vcodec", "mpeg4");
            engine.SetOption("acodec", "mp2");
            if (engine.OpenOutputFile(output) < 0) {
                EXPECT_FALSE(engine.LastErrorText().empty()) << name;
                EXPECT_FALSE(fs::exists(output)) << name;
                ++failed;
                continue;
            }
            engine.Start(false);
            if (engine.HasError()) {
                EXPECT_FALSE(engine.ErrorMessage().empty()) << name;
                EXPECT_FALSE(fs::exists(output)) << name << ": " << engine.ErrorMessage();
                ++failed;
            } else {
                EXPECT_GT(ProbeInt(output, "", "format=nb_streams"), 0) << name;
                EXPECT_GT(fs::file_size(output), 0u) << name;
                ++converted;
            }
            EXPECT_EQ(FileChecksum(damaged), before) << name;
        }
    }
    // Both outcomes occur, or the damage no longer tests anything.
    EXPECT_GT(failed, 0);
    EXPECT_GT(converted, 0);
}

TEST_F(HostileInput, FullDiskFailsAndLeavesNothing) {
    testing_support::TSmallFileSystem disk(64);
    if (!disk.Mounted()) {
        GTEST_SKIP() << disk.Reason();
    }
    for (const char* name : {"full.mp4", "full.mkv", "full.avi"}) {
        const std::string output = disk.File(name);
        TTestEngine engine;
        engine.Reset();
        engine.SetVerbose(-1);
        ASSERT_TRUE(engine.OpenInputFile(THostileFiles::Mkv()));
        engine.SetOption("vcodec", "mpeg4");
        engine.SetOption("qscale", "2"); // far more than the 64 kB of the disk
        engine.SetOption("acodec", "mp2");
        ASSERT_EQ(engine.OpenOutputFile(output), 1) << engine.LastErrorText();
        engine.Start(false);
        ASSERT_TRUE(engine.HasError()) << name;
        const std::string message = engine.ErrorMessage();
        const std::string reason = "No space left on device";
        EXPECT_EQ(message.substr(message.size() - std::min(message.size(), reason.size())), reason)
            << name << ": " << message;
        EXPECT_FALSE(fs::exists(output)) << name;
    }
    EXPECT_TRUE(fs::is_empty(disk.Path()));
}

// A file-size limit just past the media data: the packets fit, the index written by the
// trailer does not.
TEST_F(HostileInput, AFailingTrailerFailsAndLeavesNothing) {
    if (RunCommand("command -v prlimit").exitCode != 0) {
        GTEST_SKIP() << "prlimit is not installed";
    }
    const std::string source = THostileFiles::Mp4();
    const std::string whole = out.Path() + "/whole.mp4";
    const std::string copy = "-i " + ShellQuote(source) + " -vcodec copy -acodec copy ";
    ASSERT_EQ(RunCommand(ShellQuote(TRANSCODE_PROGRAM) + " " + copy + ShellQuote(whole)).exitCode,
              0);
    const auto size = static_cast<std::int64_t>(fs::file_size(whole));
    const auto index = static_cast<std::int64_t>(testing_support::MarkerOffset(whole, "moov"));
    ASSERT_GT(index, 0);
    ASSERT_LT(index, size);
    const std::int64_t limit = (index + size) / 2;
    const std::string output = out.Path() + "/cut.mp4";
    const std::string before = FileChecksum(source);
    // An ignored SIGXFSZ survives the exec, so the write fails with EFBIG instead of a kill.
    const CommandResult r =
        RunCommand("bash -c " +
                   ShellQuote("trap '' XFSZ; exec prlimit --fsize=" + std::to_string(limit) + " " +
                              ShellQuote(TRANSCODE_PROGRAM) + " " + copy + ShellQuote(output)));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_EQ(LastLine(r.output), "av_write_trailer(): File too large");
    EXPECT_FALSE(fs::exists(output));
    EXPECT_EQ(FileChecksum(source), before);
}

TEST_F(HostileInput, OddFrameSizesFollowTheEncodersChromaSubsampling) {
    TLogCapture log;
    ASSERT_TRUE(task.OpenInputFile(THostileFiles::Mp4()));
    task.SetCropTop(3);
    task.SetOption("s", "321x181");
    task.SetOption("vf", "pad=321:241:0:30");
    task.SetOption("vcodec", "mpeg4");
    const std::string output = out.File("odd.mkv");
    ASSERT_EQ(task.OpenOutputFile(output), 1);
    task.Start(false);
    ASSERT_FALSE(task.HasError()) << task.ErrorMessage();
    EXPECT_EQ(ProbeInt(output, "v:0", "stream=width"), 320);
    EXPECT_EQ(ProbeInt(output, "v:0", "stream=height"), 240);
    EXPECT_TRUE(
        log.Contains("Frame size 321x181 does not suit pixel format yuv420p: using 320x180"));
    EXPECT_TRUE(log.Contains("Crop band 3 does not suit pixel format yuv420p: using 2"));
}

TEST_F(HostileInput, MissingDefaultEncoderOfAContainerTakesItsAlias) {
    // 3GP's default audio codec is AMR-NB, which this platform cannot write.
    const std::string output = out.File("phone.3gp");
    const CommandResult r =
        RunCommand(ShellQuote(TRANSCODE_PROGRAM) + " -i " + ShellQuote(THostileFiles::Mp4()) +
                   " -vcodec h263 -s 176x144 " + ShellQuote(output));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Encoder libopencore_amrnb is not available, using aac"),
              std::string::npos);
    EXPECT_EQ(testing_support::ProbeEntry(output, "v:0", "stream=codec_name"), "h263");
    EXPECT_EQ(testing_support::ProbeEntry(output, "a:0", "stream=codec_name"), "aac");
}
