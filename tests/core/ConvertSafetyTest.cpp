// vantre-convert as processes meet it: two runs at once, a run killed and the next one, the
// ending signals, the output folder removed mid-run, a format the catalog lacks, details of
// the command line and of the report.
#include "OutputName.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using testing_support::ProbeDuration;
using testing_support::RunCommand;
using testing_support::ShellQuote;
using testing_support::TempDir;
namespace fs = std::filesystem;

extern char** environ;

namespace {

std::string ShortClip() {
    return testing_support::SharedFixture(
        CLIP_FOLDER, "safety_short.mp4", [](const std::string& p) {
            testing_support::MakeClip(p, 2, 160, 120, 25, 44100, "-c:v libx264 -c:a aac");
        });
}

// Long enough to be caught mid-conversion: converted to 1280x720 H.264 by format 205.
std::string LongClip() {
    return testing_support::SharedFixture(CLIP_FOLDER, "safety_long.mp4", [](const std::string& p) {
        testing_support::MakeClip(p, 30, 320, 240, 25, 44100, "-c:v libx264 -c:a aac");
    });
}

// One vantre-convert process with its own home; standard output and error go to a file.
class TConvertProcess {
public:
    TConvertProcess(const TempDir& home, const std::vector<std::string>& args,
                    const std::string& log)
        : log_(log) {
        std::vector<std::string> env = {"HOME=" + home.Path(),
                                        "XDG_DATA_HOME=" + home.File("data")};
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_DATA_HOME=", 0) != 0) {
                env.push_back(entry);
            }
        }
        std::vector<std::string> argv = {VANTRE_CONVERT};
        argv.insert(argv.end(), args.begin(), args.end());
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<char*> rawArgs;
        for (std::string& a : argv) {
            rawArgs.push_back(a.data());
        }
        rawArgs.push_back(nullptr);
        std::vector<char*> rawEnv;
        for (std::string& e : env) {
            rawEnv.push_back(e.data());
        }
        rawEnv.push_back(nullptr);
        if (posix_spawn(&pid_, VANTRE_CONVERT, &actions, nullptr, rawArgs.data(), rawEnv.data()) !=
            0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~TConvertProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
    }
    TConvertProcess(const TConvertProcess&) = delete;
    TConvertProcess& operator=(const TConvertProcess&) = delete;

    pid_t Pid() const { return pid_; }
    void Signal(int signal) const { ::kill(pid_, signal); }
    // The raw wait status.
    int Wait() {
        int status = -1;
        if (pid_ > 0) {
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
            status_ = status;
        }
        return status_;
    }
    int ExitCode() {
        const int status = Wait();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Output() const {
        std::ifstream in(log_);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::string log_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// Waits until the file holds more than bytes (the conversion is under way); false after a
// minute or once the process has ended.
bool WaitForSize(const std::string& path, std::uintmax_t bytes, pid_t writer) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < end) {
        std::error_code ec;
        if (fs::file_size(path, ec) > bytes && !ec) {
            return true;
        }
        if (::kill(writer, 0) != 0) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// The names in folder, sorted.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The whole file decodes without a single error.
void ExpectDecodesCleanly(const std::string& path) {
    const auto r =
        RunCommand("ffmpeg -nostdin -v error -xerror -i " + ShellQuote(path) + " -f null - 2>&1");
    EXPECT_EQ(r.exitCode, 0) << path << "\n" << r.output;
    EXPECT_EQ(r.output, "") << path;
}

std::string UnfinishedOf(const std::string& finalName, pid_t pid) {
    const std::string tail = UnfinishedTail();
    return finalName + tail.substr(0, tail.rfind('-') + 1) + std::to_string(pid);
}

class ConvertSafety : public ::testing::Test {
protected:
    void SetUp() override { testing_support::RequireEncoderLibraries(); }
    TempDir home;
    std::string out = home.File("out");
};

} // namespace

// Two runs started together on one source and folder reserve different names and both finish.
TEST_F(ConvertSafety, TwoRunsAtOnceNeverShareAnOutput) {
    const std::string clip = ShortClip();
    TConvertProcess first(home, {"--format", "2302", "--out", out, clip}, home.File("1.log"));
    TConvertProcess second(home, {"--format", "2302", "--out", out, clip}, home.File("2.log"));
    EXPECT_EQ(first.ExitCode(), 0) << first.Output();
    EXPECT_EQ(second.ExitCode(), 0) << second.Output();
    EXPECT_EQ(Names(out),
              (std::vector<std::string>{"safety_short_(new).mp4", "safety_short_(new_1).mp4"}));
    for (const std::string& name : Names(out)) {
        ExpectDecodesCleanly(out + "/" + name);
        EXPECT_NEAR(ProbeDuration(out + "/" + name), 2.0, 0.2);
    }
}

// kill -9 mid-conversion leaves the unfinished file and the empty reservation; the next run in
// the folder removes both and takes the name.
TEST_F(ConvertSafety, KilledRunIsClearedByTheNextRun) {
    const std::string clip = LongClip();
    const std::string final = out + "/safety_long_(new).mp4";
    TConvertProcess killed(home, {"--format", "205", "--out", out, clip}, home.File("1.log"));
    const std::string unfinished = UnfinishedOf(final, killed.Pid());
    ASSERT_TRUE(WaitForSize(unfinished, 0, killed.Pid())) << killed.Output();
    killed.Signal(SIGKILL);
    killed.Wait();
    EXPECT_EQ(fs::file_size(final), 0u) << "nothing but the reservation under the final name";
    EXPECT_TRUE(fs::exists(unfinished));

    TConvertProcess next(home, {"--format", "205", "--out", out, "--trim-length", "1", clip},
                         home.File("2.log"));
    EXPECT_EQ(next.ExitCode(), 0) << next.Output();
    EXPECT_EQ(Names(out), std::vector<std::string>{"safety_long_(new).mp4"});
    EXPECT_NEAR(ProbeDuration(final), 1.0, 0.2);
    ExpectDecodesCleanly(final);
}

// SIGTERM and SIGHUP end the run with exit code 1: finished outputs stay, the one under way
// goes with its reservation; it and the file that never started are reported interrupted.
TEST_F(ConvertSafety, TerminateAndHangUpRemoveTheOutputUnderWay) {
    const std::string shortClip = ShortClip();
    const std::string longClip = LongClip();
    const std::string never = home.File("never.mp4");
    fs::copy_file(shortClip, never);
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        fs::remove_all(out);
        TConvertProcess run(
            home, {"--format", "205", "--jobs", "1", "--out", out, shortClip, longClip, never},
            home.File("run.log"));
        const std::string underWay = UnfinishedOf(out + "/safety_long_(new).mp4", run.Pid());
        ASSERT_TRUE(WaitForSize(underWay, 0, run.Pid())) << run.Output();
        run.Signal(signal);
        EXPECT_EQ(run.ExitCode(), 1) << run.Output();
        const std::string output = run.Output();
        EXPECT_NE(output.find("vantre-convert: interrupted"), std::string::npos) << output;
        EXPECT_NE(output.find("FAILED     " + longClip + ": interrupted"), std::string::npos)
            << output;
        EXPECT_NE(output.find("FAILED     " + never + ": interrupted"), std::string::npos)
            << output;
        EXPECT_NE(output.find("1 converted, 2 failed"), std::string::npos) << output;
        EXPECT_EQ(Names(out), std::vector<std::string>{"safety_short_(new).mp4"});
        ExpectDecodesCleanly(out + "/safety_short_(new).mp4");
    }
}

// SIGINT stops as Cancel does: the stopped output is kept, shorter and complete.
TEST_F(ConvertSafety, InterruptKeepsTheStoppedOutput) {
    const std::string clip = LongClip();
    TConvertProcess run(home, {"--format", "205", "--out", out, clip}, home.File("run.log"));
    const std::string final = out + "/safety_long_(new).mp4";
    ASSERT_TRUE(WaitForSize(UnfinishedOf(final, run.Pid()), 64 * 1024, run.Pid())) << run.Output();
    run.Signal(SIGINT);
    EXPECT_EQ(run.ExitCode(), 1) << run.Output();
    EXPECT_NE(run.Output().find("stopping"), std::string::npos) << run.Output();
    EXPECT_EQ(Names(out), std::vector<std::string>{"safety_long_(new).mp4"});
    const double duration = ProbeDuration(final);
    EXPECT_GT(duration, 0.0);
    EXPECT_LT(duration, 29.0);
    ExpectDecodesCleanly(final);
}

// A folder removed under a run: the output could not be completed, so the run fails.
TEST_F(ConvertSafety, OutputFolderRemovedMidRunFails) {
    const std::string clip = LongClip();
    TConvertProcess run(home, {"--format", "205", "--out", out, "--trim-length", "4", clip},
                        home.File("run.log"));
    ASSERT_TRUE(WaitForSize(UnfinishedOf(out + "/safety_long_(new).mp4", run.Pid()), 0, run.Pid()))
        << run.Output();
    fs::remove_all(out);
    EXPECT_EQ(run.ExitCode(), 1) << run.Output();
    EXPECT_NE(run.Output().find("FAILED     " + clip + ": " + out +
                                "/safety_long_(new).mp4: No such file or directory"),
              std::string::npos)
        << run.Output();
    EXPECT_NE(run.Output().find("0 converted, 1 failed"), std::string::npos);
    EXPECT_FALSE(fs::exists(out));
}

// A catalog without the format's section converts nothing and says why; so does an
// unknown code.
TEST_F(ConvertSafety, FormatMissingFromTheCatalogConvertsNothing) {
    const std::string clip = ShortClip();
    const std::string convert = "env HOME=" + ShellQuote(home.Path()) +
                                " XDG_DATA_HOME=" + ShellQuote(home.File("data")) + " " +
                                ShellQuote(VANTRE_CONVERT);
    auto r = RunCommand(convert + " --format 999999 --out " + ShellQuote(out) + " " +
                        ShellQuote(clip) + " 2>&1");
    EXPECT_EQ(r.exitCode, 2) << r.output;
    EXPECT_NE(r.output.find("unknown format 999999"), std::string::npos) << r.output;
    EXPECT_TRUE(Names(out).empty());
    // The installed catalog loses one format's section and claims to be newer than the
    // program's, so it is kept as it is.
    r = RunCommand(convert + " --format 2302 --out " + ShellQuote(out) + " " + ShellQuote(clip));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    fs::remove_all(out);
    const std::string catalog = home.File("data/vantre/vantremp4format.ini");
    ASSERT_TRUE(fs::exists(catalog));
    r = RunCommand("sed -i -e '/^\\[formatInfo2302\\]/,/^$/d' -e 's/^Version=.*/Version=999/' " +
                   ShellQuote(catalog));
    ASSERT_EQ(r.exitCode, 0);
    r = RunCommand(convert + " --format 2302 --out " + ShellQuote(out) + " " + ShellQuote(clip) +
                   " 2>&1");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("the output format 2302 is not in the format catalog"),
              std::string::npos)
        << r.output;
    EXPECT_TRUE(Names(out).empty());
}

// "--" ends the options, a repeated --format is a usage error, a report that cannot be
// written fails the run.
TEST_F(ConvertSafety, CommandLineAndReportDetails) {
    const std::string clip = ShortClip();
    fs::create_directories(home.File("src"));
    fs::copy_file(clip, home.File("src/-dash.mp4"));
    const std::string convert =
        "cd " + ShellQuote(home.File("src")) + " && env HOME=" + ShellQuote(home.Path()) +
        " XDG_DATA_HOME=" + ShellQuote(home.File("data")) + " " + ShellQuote(VANTRE_CONVERT);
    auto r = RunCommand(convert + " --format 2302 --format 2302 --out " + ShellQuote(out) +
                        " -- -dash.mp4 2>&1");
    EXPECT_EQ(r.exitCode, 2) << r.output;
    EXPECT_NE(r.output.find("--format is given more than once"), std::string::npos) << r.output;
    r = RunCommand(convert + " --format 2302 --out " + ShellQuote(out) + " -- -dash.mp4 2>&1");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(Names(out), std::vector<std::string>{"-dash_(new).mp4"});
    r = RunCommand("(" + convert + " --format 2302 --out " + ShellQuote(out) +
                   " -- -dash.mp4 2>&1 >/dev/full)");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("the report could not be written"), std::string::npos) << r.output;
}

// A playlist may open files in its own folder and below only: by absolute path, by "../",
// through a link pointing out or at a network address it converts nothing.
TEST_F(ConvertSafety, PlaylistsReachOnlyTheirOwnFolder) {
    const std::string folder = home.File("pl");
    fs::create_directories(folder + "/segments");
    testing_support::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25 -t 2 -c:v libx264 -g 25 "
                            "-f hls -hls_time 1 -hls_list_size 0 -hls_segment_filename " +
                            ShellQuote(folder + "/segments/seg%d.ts") + " " +
                            ShellQuote(folder + "/made.m3u8"));
    const std::string segment = folder + "/segments/seg0.ts";
    ASSERT_TRUE(fs::exists(folder + "/segments/seg1.ts"));
    auto playlist = [](const std::string& path, const std::vector<std::string>& entries) {
        std::ofstream file(path);
        file << "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:1\n#EXT-X-MEDIA-SEQUENCE:0\n";
        for (const std::string& entry : entries) {
            file << "#EXTINF:1.0,\n" << entry << "\n";
        }
        file << "#EXT-X-ENDLIST\n";
    };
    playlist(folder + "/inside.m3u8", {"segments/seg0.ts", "segments/seg1.ts"});
    // The same segments reached from another folder.
    const std::string other = home.File("other");
    fs::create_directories(other);
    fs::create_symlink(segment, other + "/link.ts");
    playlist(other + "/absolute.m3u8", {segment});
    playlist(other + "/parent.m3u8", {"../pl/segments/seg0.ts"});
    playlist(other + "/link.m3u8", {"link.ts"});
    playlist(other + "/remote.m3u8", {"http://127.0.0.1:9/seg0.ts"});

    auto r = RunCommand(
        "env HOME=" + ShellQuote(home.Path()) + " XDG_DATA_HOME=" + ShellQuote(home.File("data")) +
        " " + ShellQuote(VANTRE_CONVERT) + " --format 2302 --out " + ShellQuote(out) + " " +
        ShellQuote(folder + "/inside.m3u8") + " " + ShellQuote(other + "/absolute.m3u8") + " " +
        ShellQuote(other + "/parent.m3u8") + " " + ShellQuote(other + "/link.m3u8") + " " +
        ShellQuote(other + "/remote.m3u8") + " 2>&1");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("converted  " + folder + "/inside.m3u8"), std::string::npos)
        << r.output;
    for (const char* name : {"absolute", "parent", "link", "remote"}) {
        const std::string path = other + "/" + name + ".m3u8";
        EXPECT_NE(r.output.find("FAILED     " + path + ": " + path +
                                ": The playlist refers to files outside its folder (refused)"),
                  std::string::npos)
            << name << "\n"
            << r.output;
    }
    EXPECT_NE(r.output.find("1 converted, 4 failed"), std::string::npos) << r.output;
    EXPECT_EQ(Names(out), std::vector<std::string>{"inside_(new).mp4"});
    EXPECT_NEAR(ProbeDuration(out + "/inside_(new).mp4"), 2.0, 0.2);
}

// A concat playlist (whose readers do not go through the opener that judges other playlists)
// is checked before anything is opened: its files and those of the playlists it names must
// lie in its folder or below, by real path; a playlist naming itself is refused instead of
// opening itself without end, and so is one naming a playlist of a kind that opens its own
// entries (an HLS playlist whose segment lies elsewhere).
TEST_F(ConvertSafety, ConcatPlaylistsReachOnlyTheirOwnFolder) {
    const std::string folder = home.File("cat");
    fs::create_directories(folder + "/parts");
    fs::copy_file(ShortClip(), folder + "/parts/p0.mp4");
    fs::copy_file(ShortClip(), folder + "/parts/p1.mp4");
    const std::string part = folder + "/parts/p0.mp4";
    auto playlist = [](const std::string& path, const std::vector<std::string>& entries) {
        std::ofstream file(path);
        file << "ffconcat version 1.0\n";
        for (const std::string& entry : entries) {
            file << "file " << entry << "\n";
        }
    };
    playlist(folder + "/inside.ffconcat", {"'parts/p0.mp4'", "parts/p1.mp4"});
    // The same parts reached from another folder.
    const std::string other = home.File("other");
    fs::create_directories(other);
    fs::create_symlink(part, other + "/link.mp4");
    playlist(other + "/absolute.ffconcat", {"'" + part + "'"});
    playlist(other + "/parent.ffconcat", {"../cat/parts/p0.mp4"});
    playlist(other + "/link.ffconcat", {"link.mp4"});
    playlist(other + "/remote.ffconcat", {"http://127.0.0.1:9/p0.mp4"});
    fs::create_directories(other + "/sub");
    fs::create_symlink(part, other + "/sub/link.mp4");
    playlist(other + "/sub/linked.ffconcat", {"link.mp4"});
    playlist(other + "/nested.ffconcat", {"sub/linked.ffconcat"});
    playlist(other + "/self.ffconcat", {"self.ffconcat"});
    {
        std::ofstream hls(other + "/list.m3u8");
        hls << "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\n" << part << "\n#EXT-X-ENDLIST\n";
    }
    playlist(other + "/hls.ffconcat", {"list.m3u8"});

    const std::vector<std::string> outside = {"absolute", "parent", "link", "remote", "nested"};
    std::string command = "env HOME=" + ShellQuote(home.Path()) +
                          " XDG_DATA_HOME=" + ShellQuote(home.File("data")) + " " +
                          ShellQuote(VANTRE_CONVERT) + " --format 2302 --out " + ShellQuote(out) +
                          " " + ShellQuote(folder + "/inside.ffconcat");
    for (const std::string& name : outside) {
        command += " " + ShellQuote(other + "/" + name + ".ffconcat");
    }
    command += " " + ShellQuote(other + "/self.ffconcat") + " " +
               ShellQuote(other + "/hls.ffconcat") + " 2>&1";
    const auto r = RunCommand(command);
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("converted  " + folder + "/inside.ffconcat"), std::string::npos)
        << r.output;
    for (const std::string& name : outside) {
        const std::string path = other + "/" + name + ".ffconcat";
        EXPECT_NE(r.output.find("FAILED     " + path + ": " + path +
                                ": The playlist refers to files outside its folder (refused)"),
                  std::string::npos)
            << name << "\n"
            << r.output;
    }
    const std::string self = other + "/self.ffconcat";
    EXPECT_NE(r.output.find("FAILED     " + self + ": " + self +
                            ": The playlist names playlists nested too deeply (refused)"),
              std::string::npos)
        << r.output;
    const std::string hls = other + "/hls.ffconcat";
    EXPECT_NE(r.output.find("FAILED     " + hls + ": " + hls +
                            ": The playlist names a playlist of another kind (refused)"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("1 converted, 7 failed"), std::string::npos) << r.output;
    EXPECT_EQ(Names(out), std::vector<std::string>{"inside_(new).mp4"});
    EXPECT_NEAR(ProbeDuration(out + "/inside_(new).mp4"), 4.0, 0.3);
    ExpectDecodesCleanly(out + "/inside_(new).mp4");
}

// A source name near the file system's limit converts under a shortened name that keeps the
// "_(new)" suffix and the extension.
TEST_F(ConvertSafety, LongSourceNameConvertsUnderAShortenedName) {
    const std::string base(246, 'n');
    const std::string source = home.File(base + ".mp4");
    fs::copy_file(ShortClip(), source);
    TConvertProcess run(home, {"--format", "2302", "--out", out, source}, home.File("run.log"));
    EXPECT_EQ(run.ExitCode(), 0) << run.Output();
    const std::vector<std::string> names = Names(out);
    ASSERT_EQ(names.size(), 1u);
    const std::string& name = names[0];
    EXPECT_EQ(name.substr(name.size() - 10), "_(new).mp4");
    EXPECT_EQ(name.substr(0, name.size() - 10), std::string(name.size() - 10, 'n'));
    // Cut so that the unfinished name beside it (host and process id added) still fits.
    EXPECT_LE(name.size() + std::string(".unfinished-").size(), 255u);
    EXPECT_NEAR(ProbeDuration(out + "/" + name), 2.0, 0.2);
}
