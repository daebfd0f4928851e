#include "FFmpegException.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "LibraryFunctions.h"
#include "MainThread.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cinttypes>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Line {
    std::uint32_t thread;
    TLogLevel level;
    std::string text;
};

// Collects delivered lines; attaches itself to the process logger for one test.
class Capture {
public:
    explicit Capture(bool inMainThread = false) {
        testing_support::RequireEncoderLibraries();
        TFFLogger& logger = LoggerInstance();
        logger.SetTriggerEventInMainThread(inMainThread);
        logger.SetLogLevel(llInfo);
        logger.SetOnLog(
            [this](const void*, std::uint32_t thread, TLogLevel level, const std::string& text) {
                std::lock_guard lock(mutex);
                lines.push_back({thread, level, text});
            });
    }
    ~Capture() {
        TFFLogger& logger = LoggerInstance();
        logger.SetOnLog({});
        logger.SetTriggerEventInMainThread(true);
        logger.SetLogLevel(llInfo);
    }
    std::vector<Line> Lines() {
        std::lock_guard lock(mutex);
        return lines;
    }

    std::mutex mutex;
    std::vector<Line> lines;
};

// A context as the libraries pass it: its first field points to its class.
struct FakeContext {
    const AVClass* avClass;
};

const char* FakeName(void*) {
    return "fake";
}

const AVClass* FakeClass() {
    static AVClass cls = [] {
        AVClass c{};
        c.class_name = "fake";
        c.item_name = &FakeName;
        return c;
    }();
    return &cls;
}

void LibraryLog(void* context, int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    TFFLogger::LibraryLogCallback(context, level, format, args);
    va_end(args);
}

std::string PrefixOf(const FakeContext& ctx) {
    char text[64];
    std::snprintf(text, sizeof text, "[fake @ %016" PRIXPTR "]",
                  reinterpret_cast<std::uintptr_t>(&ctx));
    return text;
}

} // namespace

TEST(LoggerLevels, ConversionBothWays) {
    EXPECT_EQ(LogLevelToLibraryLevel(llQuiet), -8);
    EXPECT_EQ(LogLevelToLibraryLevel(llInfo), 32);
    EXPECT_EQ(LogLevelToLibraryLevel(llDebug), 48);
    const std::pair<int, TLogLevel> cases[] = {{-9, llQuiet},   {-8, llQuiet}, {-7, llPanic},
                                               {7, llPanic},    {8, llFatal},  {16, llError},
                                               {31, llWarning}, {32, llInfo},  {40, llVerbose},
                                               {47, llVerbose}, {48, llDebug}, {200, llDebug}};
    for (const auto& [library, level] : cases) {
        EXPECT_EQ(LibraryLevelToLogLevel(library), level) << library;
    }
}

TEST(LoggerLevels, SetLogLevelByName) {
    testing_support::RequireEncoderLibraries();
    TFFLogger& logger = LoggerInstance();
    logger.SetLogLevelByName("Warning");
    EXPECT_EQ(logger.LogLevel(), llWarning);
    EXPECT_EQ(fn::av_log_get_level(), 24); // the libraries follow
    logger.SetLogLevelByName("31");
    EXPECT_EQ(logger.LogLevel(), llWarning);
    logger.SetLogLevelByName("-9");
    EXPECT_EQ(logger.LogLevel(), llQuiet);
    logger.SetLogLevelByName("VERBOSE");
    EXPECT_EQ(logger.LogLevel(), llVerbose);
    try {
        logger.SetLogLevelByName("abc");
        FAIL() << "no error";
    } catch (const FFmpegException& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
    EXPECT_EQ(logger.LogLevel(), llVerbose);
    logger.SetLogLevel(llInfo);
}

TEST(Logger, OnlyOneInstance) {
    LoggerInstance();
    try {
        TFFLogger second;
        FAIL() << "a second logger was created";
    } catch (const FFmpegException& e) {
        EXPECT_STREQ(e.what(), "Allow creating only one instance of TFFLogger.");
    }
    EXPECT_TRUE(LoggerExists());
}

TEST(LoggerLibraryText, FragmentsMakeOneLineWithOnePrefix) {
    Capture capture;
    FakeContext ctx{FakeClass()};
    LibraryLog(&ctx, AV_LOG_ERROR, "first %s", "half");
    EXPECT_TRUE(capture.Lines().empty());
    LibraryLog(&ctx, AV_LOG_ERROR, " second half\n");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, PrefixOf(ctx) + "first half second half");
    EXPECT_EQ(lines[0].level, llError);
    EXPECT_EQ(lines[0].thread, CurrentThreadId());
}

TEST(LoggerLibraryText, ThreeLineFeedsGiveThreeLinesAndKeepTheRest) {
    Capture capture;
    LibraryLog(nullptr, AV_LOG_WARNING, "one\ntwo\nthree\nrest");
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, "one");
    EXPECT_EQ(lines[1].text, "two");
    EXPECT_EQ(lines[2].text, "three");
    EXPECT_EQ(lines[2].level, llWarning);
    LibraryLog(nullptr, AV_LOG_WARNING, " end\n");
    lines = capture.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3].text, "rest end");
}

TEST(LoggerLibraryText, LoneLineFeedGivesThePrefixAlone) {
    Capture capture;
    FakeContext ctx{FakeClass()};
    LibraryLog(&ctx, AV_LOG_INFO, "\n");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, PrefixOf(ctx));
}

TEST(LoggerLibraryText, InterleavedThreadsKeepTheirLinesApart) {
    Capture capture;
    std::mutex m;
    std::condition_variable cv;
    int step = 0;
    auto waitFor = [&](int s) {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return step == s; });
    };
    auto advance = [&] {
        {
            std::lock_guard lock(m);
            ++step;
        }
        cv.notify_all();
    };
    std::thread a([&] {
        waitFor(0);
        LibraryLog(nullptr, AV_LOG_ERROR, "A1 ");
        advance();
        waitFor(2);
        LibraryLog(nullptr, AV_LOG_ERROR, "A2\n");
        advance();
    });
    std::thread b([&] {
        waitFor(1);
        LibraryLog(nullptr, AV_LOG_ERROR, "B1 ");
        advance();
        waitFor(3);
        LibraryLog(nullptr, AV_LOG_ERROR, "B2\n");
        advance();
    });
    a.join();
    b.join();
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "A1 A2");
    EXPECT_EQ(lines[1].text, "B1 B2");
    EXPECT_NE(lines[0].thread, lines[1].thread);
}

TEST(LoggerFilter, InfoLevelDropsLibraryVerboseButPassesComponentVerbose) {
    Capture capture;
    LibraryLog(nullptr, AV_LOG_VERBOSE, "library verbose\n");
    LoggerInstance().Log(nullptr, llVerbose, "component verbose");
    LoggerInstance().Log(nullptr, llDebug, "component debug");
    LoggerInstance().LogFmt(nullptr, llInfo, "component %s %d", "info", 5);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "component verbose");
    EXPECT_EQ(lines[1].text, "component info 5");
}

TEST(LoggerFilter, QuietPassesOnlyQuiet) {
    Capture capture;
    LoggerInstance().SetLogLevel(llQuiet);
    LoggerInstance().Log(nullptr, llQuiet, "always");
    LoggerInstance().Log(nullptr, llVerbose, "verbose");
    LoggerInstance().Log(nullptr, llPanic, "panic");
    LibraryLog(nullptr, AV_LOG_PANIC, "library panic\n");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "always");
}

TEST(LoggerDelivery, WorkerLinesReachTheMainThreadInOrder) {
    Capture capture(true);
    const auto mainThread = CurrentThreadId();
    std::vector<std::uint32_t> handlerThreads;
    LoggerInstance().SetOnLog([&](const void*, std::uint32_t, TLogLevel, const std::string& text) {
        handlerThreads.push_back(CurrentThreadId());
        std::lock_guard lock(capture.mutex);
        capture.lines.push_back({0, llInfo, text});
    });
    std::thread worker([] {
        for (int i = 0; i < 50; ++i) {
            LoggerInstance().LogFmt(nullptr, llInfo, "line %d", i);
        }
    });
    worker.join(); // posting never waits for the main thread
    EXPECT_TRUE(capture.Lines().empty());
    ASSERT_TRUE(testing_support::PumpUntil([&] { return capture.Lines().size() == 50; }));
    const auto lines = capture.Lines();
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(lines[i].text, "line " + std::to_string(i));
        EXPECT_EQ(handlerThreads[i], mainThread);
    }
}

TEST(LoggerDelivery, WorkerLoggingUnderCodecLockDoesNotBlockTheMainThread) {
    Capture capture(true);
    std::atomic<bool> holding{false};
    std::thread worker([&] {
        std::lock_guard lock(CodecLock());
        holding = true;
        for (int i = 0; i < 100; ++i) {
            LoggerInstance().Log(nullptr, llInfo, "while holding the codec lock");
            LibraryLog(nullptr, AV_LOG_ERROR, "library line\n");
        }
    });
    while (!holding) {
        std::this_thread::yield();
    }
    {
        // The main thread waits for the lock without serving its queue.
        std::lock_guard lock(CodecLock());
    }
    worker.join();
    ASSERT_TRUE(testing_support::PumpUntil([&] { return capture.Lines().size() == 200; }));
}
