#pragma once

#include "FFBaseComponent.h"

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

enum TLogLevel : std::uint8_t {
    llQuiet,
    llPanic,
    llFatal,
    llError,
    llWarning,
    llInfo,
    llVerbose,
    llDebug,
};

// (ordinal - 1) * 8: the libavutil level of a TLogLevel.
int LogLevelToLibraryLevel(TLogLevel level);
// Library level div 8 + 1, clamped to the TLogLevel range.
TLogLevel LibraryLevelToLogLevel(int libraryLevel);

struct TLogInfo {
    const void* Sender = nullptr;
    std::uint32_t ThreadID = 0;
    TLogLevel LogLevel = llInfo;
    std::string LogMsg;
};

using TLogEvent = std::function<void(const void* sender, std::uint32_t threadId, TLogLevel level,
                                     const std::string& message)>;

// The process-wide logger: component messages and the libraries' diagnostics reach one handler,
// one whole line at a time.
class TFFLogger : public TFFBaseComponent {
public:
    TFFLogger();
    ~TFFLogger() override;

    TLogLevel LogLevel() const;
    void SetLogLevel(TLogLevel level);
    bool TriggerEventInMainThread() const;
    void SetTriggerEventInMainThread(bool value);
    void SetOnLog(TLogEvent handler);
    bool HasOnLog() const;

    // Level names ("quiet" ... "debug", any case) or a decimal library level.
    void SetLogLevelByName(const std::string& text);

    void Log(const void* sender, TLogLevel level, const std::string& message);
    void LogFmt(const void* sender, TLogLevel level, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    void LogFmtV(const void* sender, TLogLevel level, const char* format, va_list args);

    // Installs the libraries' log callback and level; called after libavutil is bound.
    void SetupLibraryLog();
    void ApplyLibraryLogLevel();

    // The callback handed to av_log_set_callback.
    static void LibraryLogCallback(void* context, int level, const char* format, va_list args);

private:
    bool Passes(TLogLevel level) const;
    void Deliver(TLogInfo info);
    void DeliverLibraryLine(int libraryLevel, std::string line);

    mutable std::mutex mutex_;
    std::recursive_mutex deliveryMutex_; // handlers may log again
    TLogLevel level_;
    bool triggerInMainThread_ = true;
    TLogEvent onLog_;
};

// The logger; created with no owner on first use.
TFFLogger& LoggerInstance();
// True when a logger currently exists (without creating one).
bool LoggerExists();
std::uint32_t CurrentThreadId();
