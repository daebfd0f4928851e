#pragma once

#include "FFmpegLogger.h"
#include "TestSupport.h"

#include <clocale>
#include <mutex>
#include <string>
#include <vector>

namespace probe_testing {

struct LoggedLine {
    TLogLevel level;
    std::string text;
};

// Collects what the probe logs, delivered on the calling thread.
class LogCapture {
public:
    LogCapture() {
        TFFLogger& logger = LoggerInstance();
        logger.SetTriggerEventInMainThread(false);
        logger.SetLogLevel(llInfo);
        logger.SetOnLog([this](const void*, std::uint32_t, TLogLevel level, const std::string& t) {
            std::lock_guard lock(mutex_);
            lines_.push_back({level, t});
        });
    }
    ~LogCapture() {
        TFFLogger& logger = LoggerInstance();
        logger.SetOnLog({});
        logger.SetTriggerEventInMainThread(true);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LoggedLine> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    // Lines the probe logged itself (library diagnostics carry a "[name @ address]" prefix).
    std::vector<LoggedLine> ProbeLines() {
        std::vector<LoggedLine> own;
        for (const LoggedLine& line : Lines()) {
            if (line.text.empty() || line.text[0] != '[') {
                own.push_back(line);
            }
        }
        return own;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<LoggedLine> lines_;
};

// The locale decides which names take the "unicode" form; tests pin it.
class LocaleScope {
public:
    explicit LocaleScope(const char* name) : previous_(std::setlocale(LC_CTYPE, nullptr)) {
        std::setlocale(LC_CTYPE, name);
    }
    ~LocaleScope() { std::setlocale(LC_CTYPE, previous_.c_str()); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    std::string previous_;
};

// A two-second clip: 320x240 testsrc at fps with a 44.1 kHz sine, in the container of path.
inline void MakeVideoAudio(const std::string& path, const std::string& codecs,
                           const std::string& fps = "25", const std::string& extra = "") {
    testing_support::Ffmpeg("-f lavfi -i testsrc=duration=2:size=320x240:rate=" + fps +
                            " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 " +
                            codecs + " " + extra + " " + testing_support::ShellQuote(path));
}

inline void MakeVideoOnly(const std::string& path, const std::string& extra = "") {
    testing_support::Ffmpeg("-f lavfi -i testsrc=duration=2:size=176x144:rate=25 -c:v mpeg4 " +
                            extra + " " + testing_support::ShellQuote(path));
}

// A mono 22.05 kHz mp3 with ID3v2 tags (the artist goes into a TPE1 frame).
inline void MakeTaggedMp3(const std::string& path) {
    testing_support::Ffmpeg("-f lavfi -i sine=sample_rate=22050:duration=2 -c:a libmp3lame "
                            "-id3v2_version 3 -metadata artist=Singer -metadata title=Song " +
                            testing_support::ShellQuote(path));
}

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    std::string::size_type end;
    while ((end = text.find("\r\n", start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

} // namespace probe_testing
