#include "PlayerTestSupport.h"

#include "FFmpegLoader.h"
#include "LibrarySet.h"
#include "PictureSink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace player_testing {

namespace {

// Writes the fixture once: made under a private name and renamed, so test processes running
// side by side never read a half-written file.
std::string Fixture(const std::string& name, const std::string& arguments) {
    const std::string dir = PLAYER_FIXTURE_DIR;
    const std::string path = dir + "/" + name;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        return path;
    }
    std::filesystem::create_directories(dir, ec);
    const std::string extension = std::filesystem::path(name).extension().string();
    const std::string temporary =
        dir + "/.partial-" + std::to_string(::getpid()) + "-" + name + extension;
    const testing_support::CommandResult result =
        testing_support::RunCommand("ffmpeg -hide_banner -loglevel error -nostdin -y " + arguments +
                                    " " + testing_support::ShellQuote(temporary));
    if (result.exitCode != 0) {
        ADD_FAILURE() << "ffmpeg " << arguments << "\n" << result.output;
        return path;
    }
    std::filesystem::rename(temporary, path, ec);
    return path;
}

std::string Sources(double seconds, const char* size, int audioRate = 44100) {
    return "-f lavfi -i testsrc=duration=" + std::to_string(seconds) + ":size=" + size +
           ":rate=25 -f lavfi -i sine=frequency=440:sample_rate=" + std::to_string(audioRate) +
           ":duration=" + std::to_string(seconds);
}

} // namespace

const Fixtures& Clips() {
    static const Fixtures clips = [] {
        Fixtures f;
        f.av = Fixture("av.mp4", Sources(3, "320x240") +
                                     " -c:v libx264 -preset ultrafast -g 10 -pix_fmt yuv420p "
                                     "-c:a aac -b:a 64k");
        f.other = Fixture("other.mkv", Sources(2, "176x144", 48000) + " -c:v mpeg4 -c:a mp2");
        f.audio = Fixture("audio.wav",
                          "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 2");
        f.sync10 =
            Fixture("sync10.mp4", Sources(10, "160x120") + " -c:v libx264 -preset ultrafast -g 25 "
                                                           "-pix_fmt yuv420p -c:a aac -b:a 64k");
        f.stream = Fixture("stream.ts",
                           Sources(4, "320x240") + " -c:v mpeg2video -g 12 -c:a mp2 -f mpegts");
        const std::string stored = Fixture(
            "portrait-stored.mp4",
            "-f lavfi -i \"color=red:s=48x16:d=1,format=yuv420p[t];color=blue:s=48x48:d=1,"
            "format=yuv420p[b];[t][b]vstack,transpose=clock\" -c:v libx264 -pix_fmt yuv420p -r 25");
        f.portrait = Fixture("portrait.mp4", "-i " + testing_support::ShellQuote(stored) +
                                                 " -c copy -metadata:s:v rotate=90");
        return f;
    }();
    return clips;
}

void RequirePlayerLibraries() {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    if (!loader.Loaded(PlayerLibraries)) {
        loader.SetLibraryFolder("");
        ASSERT_TRUE(loader.Load(PlayerLibraries)) << loader.LastErrorText();
    }
}

int ThreadCount() {
    int count = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", ec);
         it != std::filesystem::directory_iterator(); ++it) {
        ++count;
    }
    return count;
}

TRecorder::TRecorder(TCustomPlayer& player, bool withStates) {
    if (withStates) {
        player.SetOnState([this](TCustomPlayer&, TPlayState state) {
            std::lock_guard lock(mutex_);
            states_.push_back(state);
        });
    }
    player.SetOnPosition([this](TCustomPlayer&, std::int64_t pts) {
        std::lock_guard lock(mutex_);
        positions_.push_back(pts);
    });
    player.SetOnFileOpen(
        [this](TCustomPlayer&, std::int64_t duration, int width, int height, int&, int&) {
            std::lock_guard lock(mutex_);
            duration_ = duration;
            width_ = width;
            height_ = height;
        });
}

std::vector<TPlayState> TRecorder::States() const {
    std::lock_guard lock(mutex_);
    return states_;
}

std::vector<std::int64_t> TRecorder::Positions() const {
    std::lock_guard lock(mutex_);
    return positions_;
}

int TRecorder::Count(TPlayState state) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(states_.begin(), states_.end(), state));
}

bool TRecorder::WaitFor(TPlayState state, int times, std::chrono::milliseconds timeout) const {
    return testing_support::PumpUntil([&] { return Count(state) >= times; }, timeout);
}

bool TRecorder::WaitForPosition(std::int64_t atLeast, std::chrono::milliseconds timeout) const {
    return testing_support::PumpUntil(
        [&] {
            std::lock_guard lock(mutex_);
            return !positions_.empty() && positions_.back() >= atLeast;
        },
        timeout);
}

TLogCapture::TLogCapture() {
    TFFLogger& logger = LoggerInstance();
    logger.SetTriggerEventInMainThread(false);
    logger.SetLogLevel(llDebug);
    logger.SetOnLog([this](const void*, std::uint32_t, TLogLevel level, const std::string& text) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(level, text);
    });
}

TLogCapture::~TLogCapture() {
    TFFLogger& logger = LoggerInstance();
    logger.SetOnLog({});
    logger.SetTriggerEventInMainThread(true);
}

bool TLogCapture::Contains(TLogLevel level, const std::string& text) const {
    std::lock_guard lock(mutex_);
    for (const auto& [lineLevel, line] : lines_) {
        if (lineLevel == level && line == text) {
            return true;
        }
    }
    return false;
}

bool AllPixels(const TSinkPicture& picture, int b, int g, int r, int tolerance) {
    for (int y = 0; y < picture.Height(); ++y) {
        const std::uint8_t* p = picture.ScanLine(y);
        for (int x = 0; x < picture.Width(); ++x, p += 4) {
            if (std::abs(p[0] - b) > tolerance || std::abs(p[1] - g) > tolerance ||
                std::abs(p[2] - r) > tolerance) {
                return false;
            }
        }
    }
    return true;
}

} // namespace player_testing
