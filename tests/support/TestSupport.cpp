#include "TestSupport.h"

#include "FFmpegLoader.h"
#include "LibrarySet.h"
#include "MainThread.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

TempDir::TempDir() {
    char pattern[] = "/tmp/vantre-test-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = made;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.output.append(buffer.data(), n);
    }
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

void Ffmpeg(const std::string& arguments) {
    const CommandResult r =
        RunCommand("ffmpeg -hide_banner -loglevel error -nostdin -y " + arguments);
    ASSERT_EQ(r.exitCode, 0) << "ffmpeg " << arguments << "\n" << r.output;
}

void MakeClip(const std::string& path, double seconds, int width, int height, int fps,
              int audioRate, const std::string& extra) {
    std::string args = "-f lavfi -i testsrc=duration=" + std::to_string(seconds) +
                       ":size=" + std::to_string(width) + "x" + std::to_string(height) +
                       ":rate=" + std::to_string(fps);
    if (audioRate > 0) {
        args += " -f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(audioRate) +
                ":duration=" + std::to_string(seconds);
    }
    args += " " + extra + " " + ShellQuote(path);
    Ffmpeg(args);
}

std::string ProbeEntries(const std::string& path, const std::string& selector,
                         const std::string& entry) {
    std::string cmd = "ffprobe -v error";
    if (!selector.empty()) {
        cmd += " -select_streams " + selector;
    }
    cmd += " -show_entries " + entry + " -of default=nw=1:nk=1 " + ShellQuote(path);
    std::string out = RunCommand(cmd).output;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

std::string ProbeEntry(const std::string& path, const std::string& selector,
                       const std::string& entry) {
    // One entry: a transport stream lists its streams again under their program.
    const std::string all = ProbeEntries(path, selector, entry);
    return all.substr(0, all.find('\n'));
}

double ProbeDuration(const std::string& path) {
    return std::atof(ProbeEntry(path, "", "format=duration").c_str());
}

std::string SharedFixture(const std::string& folder, const std::string& name,
                          const std::function<void(const std::string& path)>& make) {
    const std::string path = folder + "/" + name;
    if (!std::filesystem::exists(path)) {
        std::filesystem::create_directories(folder);
        // The extension stays last: the tools choose the format by it.
        const std::filesystem::path target(path);
        const std::string part = folder + "/" + target.stem().string() + ".part-" +
                                 std::to_string(::getpid()) + target.extension().string();
        make(part);
        std::error_code ec;
        std::filesystem::rename(part, path, ec);
        std::filesystem::remove(part, ec);
    }
    return path;
}

void RequireEncoderLibraries() {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    if (!loader.Loaded(EncoderLibraries)) {
        loader.SetLibraryFolder("");
        ASSERT_TRUE(loader.Load(EncoderLibraries)) << loader.LastErrorText();
    }
}

void RequirePlayerLibraries() {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    if (!loader.Loaded(PlayerLibraries)) {
        loader.SetLibraryFolder("");
        ASSERT_TRUE(loader.Load(PlayerLibraries)) << loader.LastErrorText();
    }
}

bool PumpUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) {
    return TMainThread::RunUntil(predicate, timeout);
}

} // namespace testing_support
