#include "FFmpegLogger.h"

#include "FFmpegException.h"
#include "LibraryFunctions.h"
#include "MainThread.h"
#include "MediaMessages.h"
#include "MediaUtils.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

std::atomic<int> gLibraryLevel{32};
std::mutex gCreateMutex;   // serialises creation by LoggerInstance
std::mutex gInstanceMutex; // guards gInstance
TFFLogger* gInstance = nullptr;
std::unique_ptr<TFFLogger> gOwnedInstance;

// Text the libraries sent on this thread that no line feed has ended yet.
thread_local std::string tPendingText;

} // namespace

int LogLevelToLibraryLevel(TLogLevel level) {
    return (static_cast<int>(level) - 1) * 8;
}

TLogLevel LibraryLevelToLogLevel(int libraryLevel) {
    const int ordinal = std::clamp(libraryLevel / 8 + 1, 0, 7);
    return static_cast<TLogLevel>(ordinal);
}

std::uint32_t CurrentThreadId() {
    return static_cast<std::uint32_t>(::gettid());
}

TFFLogger& LoggerInstance() {
    {
        std::lock_guard lock(gInstanceMutex);
        if (gInstance != nullptr) {
            return *gInstance;
        }
    }
    std::lock_guard create(gCreateMutex);
    {
        std::lock_guard lock(gInstanceMutex);
        if (gInstance != nullptr) {
            return *gInstance;
        }
    }
    gOwnedInstance = std::make_unique<TFFLogger>();
    return *gOwnedInstance;
}

bool LoggerExists() {
    std::lock_guard lock(gInstanceMutex);
    return gInstance != nullptr;
}

TFFLogger::TFFLogger() : level_(LibraryLevelToLogLevel(gLibraryLevel.load())) {
    std::lock_guard lock(gInstanceMutex);
    if (gInstance != nullptr) {
        throw FFmpegException(mediamsg::SecondLogger);
    }
    gInstance = this;
}

TFFLogger::~TFFLogger() {
    std::lock_guard lock(gInstanceMutex);
    if (gInstance == this) {
        gInstance = nullptr;
    }
}

TLogLevel TFFLogger::LogLevel() const {
    std::lock_guard lock(mutex_);
    return level_;
}

void TFFLogger::SetLogLevel(TLogLevel level) {
    {
        std::lock_guard lock(mutex_);
        if (level == level_) {
            return;
        }
        level_ = level;
    }
    ApplyLibraryLogLevel();
}

bool TFFLogger::TriggerEventInMainThread() const {
    std::lock_guard lock(mutex_);
    return triggerInMainThread_;
}

void TFFLogger::SetTriggerEventInMainThread(bool value) {
    std::lock_guard lock(mutex_);
    triggerInMainThread_ = value;
}

void TFFLogger::SetOnLog(TLogEvent handler) {
    std::lock_guard lock(mutex_);
    onLog_ = std::move(handler);
}

bool TFFLogger::HasOnLog() const {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(onLog_);
}

void TFFLogger::ApplyLibraryLogLevel() {
    if (fn::av_log_set_level == nullptr) {
        return; // applied by SetupLibraryLog once libavutil is bound
    }
    const int libraryLevel = LogLevelToLibraryLevel(LogLevel());
    gLibraryLevel = libraryLevel;
    fn::av_log_set_level(libraryLevel);
}

void TFFLogger::SetupLibraryLog() {
    if (fn::av_log_set_callback == nullptr || fn::av_log_set_level == nullptr) {
        throw FFmpegAssertion("FFmpegLogger");
    }
    fn::av_log_set_callback(&TFFLogger::LibraryLogCallback);
    ApplyLibraryLogLevel();
}

void TFFLogger::SetLogLevelByName(const std::string& text) {
    static const char* const names[] = {"quiet",   "panic", "fatal",   "error",
                                        "warning", "info",  "verbose", "debug"};
    for (int i = 0; i < 8; ++i) {
        if (SameText(text, names[i])) {
            SetLogLevel(static_cast<TLogLevel>(i));
            return;
        }
    }
    SetLogLevel(LibraryLevelToLogLevel(StrToInt(text)));
}

bool TFFLogger::Passes(TLogLevel level) const {
    const TLogLevel filter = LogLevel();
    return level <= filter || (level == llVerbose && filter != llQuiet);
}

void TFFLogger::Log(const void* sender, TLogLevel level, const std::string& message) {
    if (!HasOnLog() || !Passes(level)) {
        return;
    }
    Deliver(TLogInfo{sender, CurrentThreadId(), level, message});
}

void TFFLogger::LogFmt(const void* sender, TLogLevel level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogFmtV(sender, level, format, args);
    va_end(args);
}

void TFFLogger::LogFmtV(const void* sender, TLogLevel level, const char* format, va_list args) {
    if (!HasOnLog() || !Passes(level)) {
        return;
    }
    Deliver(TLogInfo{sender, CurrentThreadId(), level, FormatV(format, args)});
}

void TFFLogger::Deliver(TLogInfo info) {
    TLogEvent handler;
    bool inMainThread = false;
    {
        std::lock_guard lock(mutex_);
        handler = onLog_;
        inMainThread = triggerInMainThread_;
    }
    if (!handler) {
        return;
    }
    if (inMainThread && !TMainThread::IsCurrent()) {
        // Posted, never awaited: a worker logging while it holds CodecLock must not wait for a
        // main thread that may itself be waiting for that lock. The queue keeps the order.
        std::lock_guard order(deliveryMutex_);
        TMainThread::Post([handler = std::move(handler), info = std::move(info)] {
            handler(info.Sender, info.ThreadID, info.LogLevel, info.LogMsg);
        });
        return;
    }
    std::lock_guard serial(deliveryMutex_);
    handler(info.Sender, info.ThreadID, info.LogLevel, info.LogMsg);
}

void TFFLogger::DeliverLibraryLine(int libraryLevel, std::string line) {
    Deliver(
        TLogInfo{this, CurrentThreadId(), LibraryLevelToLogLevel(libraryLevel), std::move(line)});
}

void TFFLogger::LibraryLogCallback(void* context, int level, const char* format, va_list args) {
    if (level > gLibraryLevel.load()) {
        return;
    }
    char buffer[2048] = {};
    std::vsnprintf(buffer, sizeof buffer, format, args);

    std::string& pending = tPendingText;
    if (!pending.empty()) {
        pending += buffer;
    } else {
        std::string prefix;
        if (context != nullptr) {
            const AVClass* avClass = *static_cast<const AVClass* const*>(context);
            if (avClass != nullptr && avClass->item_name != nullptr) {
                char head[320];
                std::snprintf(head, sizeof head, "[%s @ %016" PRIXPTR "]",
                              avClass->item_name(context),
                              reinterpret_cast<std::uintptr_t>(context));
                prefix = head;
            }
        }
        pending = prefix + buffer;
    }
    if (pending.find('\n') == std::string::npos) {
        return;
    }
    TFFLogger& logger = LoggerInstance();
    std::string::size_type pos;
    while ((pos = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, pos);
        pending.erase(0, pos + 1);
        logger.DeliverLibraryLine(level, std::move(line));
    }
}
