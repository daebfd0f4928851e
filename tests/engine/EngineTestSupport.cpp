#include "EngineTestSupport.h"

#include <cstdlib>
#include <sstream>

namespace engine_test {

using testing_support::RunCommand;
using testing_support::ShellQuote;

TLogCapture::TLogCapture(TLogLevel level) {
    LoggerInstance().SetTriggerEventInMainThread(false);
    LoggerInstance().SetLogLevel(level);
    LoggerInstance().SetOnLog(
        [this](const void*, std::uint32_t, TLogLevel, const std::string& text) {
            std::lock_guard lock(mutex_);
            lines_.push_back(text);
        });
}

TLogCapture::~TLogCapture() {
    LoggerInstance().SetOnLog({});
    LoggerInstance().SetTriggerEventInMainThread(true);
    LoggerInstance().SetLogLevel(llInfo);
}

std::vector<std::string> TLogCapture::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool TLogCapture::Contains(const std::string& text) const {
    std::lock_guard lock(mutex_);
    for (const std::string& line : lines_) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string TClipSet::Mp4(double seconds, const std::string& name) {
    const std::string path = dir.File(name);
    testing_support::MakeClip(path, seconds, 640, 480, 25, 44100,
                              "-c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv420p -c:a aac "
                              "-b:a 96k -shortest");
    return path;
}

std::string Md5(const std::string& path) {
    return RunCommand("md5sum " + ShellQuote(path)).output.substr(0, 32);
}

std::string SplitFirst(const std::string& text, char delimiter) {
    return text.substr(0, text.find(delimiter));
}

int ProbeInt(const std::string& path, const std::string& selector, const std::string& entry) {
    return std::atoi(testing_support::ProbeEntry(path, selector, entry).c_str());
}

double ProbeDouble(const std::string& path, const std::string& selector, const std::string& entry) {
    return std::atof(testing_support::ProbeEntry(path, selector, entry).c_str());
}

std::string DecodeErrors(const std::string& path) {
    return RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f null -").output;
}

int CountFrames(const std::string& path) {
    return ProbeInt(path, "v:0", "stream=nb_read_frames -count_frames");
}

} // namespace engine_test
