#include "FrameHook.h"
#include "EngineTestTask.h"
#include "FFmpegException.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <unistd.h>

namespace {

const std::string kPluginDir = HOOK_PLUGIN_DIR;
const std::string kSample = kPluginDir + "/libhook_sample.so";
const std::string kPaint = kPluginDir + "/libhook_paint.so";
const std::string kNoProcess = kPluginDir + "/libhook_no_process.so";

// The sample plug-in's exported call counters.
struct THookCounters {
    int configure;
    int process;
    int release;
    int contexts;
    int last_pix_fmt;
    int last_width;
    int last_height;
    std::int64_t last_pts;
    int last_argc;
};

// A small yuv420p picture whose planes are filled with 1, 2 and 3.
struct TPicture {
    static constexpr int Width = 8;
    static constexpr int Height = 4;
    std::vector<std::uint8_t> y = std::vector<std::uint8_t>(Width * Height, 1);
    std::vector<std::uint8_t> u = std::vector<std::uint8_t>(Width * Height / 4, 2);
    std::vector<std::uint8_t> v = std::vector<std::uint8_t>(Width * Height / 4, 3);
    std::uint8_t* data[4] = {y.data(), u.data(), v.data(), nullptr};
    int linesize[4] = {Width, Width / 2, Width / 2, 0};

    bool LumaIs(int value) const {
        return std::all_of(y.begin(), y.end(), [&](std::uint8_t b) { return b == value; });
    }
    bool ChromaUntouched() const {
        return std::all_of(u.begin(), u.end(), [](std::uint8_t b) { return b == 2; }) &&
               std::all_of(v.begin(), v.end(), [](std::uint8_t b) { return b == 3; });
    }
};

class FrameHooks : public ::testing::Test {
protected:
    void SetUp() override { testing_support::RequireEncoderLibraries(); }

    // The counters of the sample plug-in once the engine has loaded it.
    static const THookCounters& Counters() {
        void* module = ::dlopen(kSample.c_str(), RTLD_NOW | RTLD_NOLOAD);
        EXPECT_NE(module, nullptr);
        const auto* counters = static_cast<const THookCounters*>(::dlsym(module, "hook_counters"));
        ::dlclose(module); // the engine's own reference keeps it loaded
        return *counters;
    }
    static void Process(TFrameHookChain& chain, TPicture& picture, std::int64_t pts = 0) {
        chain.ProcessFrameHooks(picture.data, picture.linesize, AV_PIX_FMT_YUV420P, TPicture::Width,
                                TPicture::Height, pts);
    }

    TLogCapture log{llInfo};
};

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace

TEST_F(FrameHooks, PluginWithOnlyProcessRunsWithoutAContext) {
    TFrameHookChain chain;
    ASSERT_EQ(chain.AddFrameHook({kPaint}), 0);
    EXPECT_EQ(chain.Count(), 1);
    EXPECT_EQ(chain.Context(0), nullptr);
    TPicture picture;
    Process(chain, picture);
    EXPECT_TRUE(picture.LumaIs(77)); // the value comes from the library beside the plug-in
    EXPECT_TRUE(picture.ChromaUntouched());

    // Arguments need a Configure to take them.
    EXPECT_EQ(chain.AddFrameHook({kPaint, "more"}), -2);
    EXPECT_FALSE(log.Find("Failed to find Configure entrypoint in " + kPaint).empty());
    EXPECT_EQ(chain.Count(), 1);
    chain.ReleaseFrameHooks();
    EXPECT_TRUE(chain.Empty());
}

TEST_F(FrameHooks, OneModuleForEveryUseEachEntryWithItsOwnContext) {
    const int modulesBefore = TFrameHookChain::LoadedModuleCount();
    TFrameHookChain chain;
    ASSERT_EQ(chain.AddFrameHook({kSample}), 0);
    const THookCounters& counters = Counters();
    const THookCounters start = counters;
    EXPECT_EQ(TFrameHookChain::LoadedModuleCount(), modulesBefore + 1);
    // The same name in other letters is the same module: no file by that name exists, so only
    // the module cache can satisfy it.
    ASSERT_FALSE(std::filesystem::exists(Upper(kSample)));
    ASSERT_EQ(chain.AddFrameHook({Upper(kSample), "paint", "9"}), 0);
    {
        TFrameHookChain otherTask;
        ASSERT_EQ(otherTask.AddFrameHook({kSample}), 0);
        EXPECT_EQ(TFrameHookChain::LoadedModuleCount(), modulesBefore + 1);
        EXPECT_EQ(counters.configure, start.configure + 2);
        EXPECT_EQ(counters.last_argc, 1);
    }
    // The other task's entry was released with it.
    EXPECT_EQ(counters.release, start.release + 1);
    EXPECT_EQ(chain.Count(), 2);
    EXPECT_NE(chain.Context(0), nullptr);
    EXPECT_NE(chain.Context(1), nullptr);
    EXPECT_NE(chain.Context(0), chain.Context(1));
    EXPECT_EQ(counters.contexts, start.contexts + 1);

    chain.ReleaseFrameHooks();
    EXPECT_EQ(counters.release, start.release + 3);
    EXPECT_EQ(counters.contexts, start.contexts - 1);
    chain.ReleaseFrameHooks();
    EXPECT_EQ(counters.release, start.release + 3);
}

TEST_F(FrameHooks, EntriesProcessInTheOrderAdded) {
    TFrameHookChain chain;
    ASSERT_EQ(chain.AddFrameHook({kSample, "paint", "10"}), 0);
    ASSERT_EQ(chain.AddFrameHook({kSample}), 0); // inverts
    const int processed = Counters().process;
    TPicture picture;
    Process(chain, picture, 1234567);
    EXPECT_TRUE(picture.LumaIs(245));
    EXPECT_TRUE(picture.ChromaUntouched());
    EXPECT_EQ(Counters().process, processed + 2);
    EXPECT_EQ(Counters().last_pts, 1234567);
    EXPECT_EQ(Counters().last_width, TPicture::Width);
    EXPECT_EQ(Counters().last_height, TPicture::Height);
    EXPECT_EQ(Counters().last_pix_fmt, AV_PIX_FMT_YUV420P);
}

TEST_F(FrameHooks, FailuresAndTheirCodes) {
    TFrameHookChain chain;
    EXPECT_EQ(chain.AddFrameHook({}), -2);

    const std::string missing = kPluginDir + "/libhook_missing.so";
    EXPECT_EQ(chain.AddFrameHook({missing}), -1);
    // The loader's own text reaches the library log.
    bool loggedError = false;
    for (const auto& [level, text] : log.Lines()) {
        loggedError = loggedError ||
                      (level == llError && text.find("libhook_missing.so") != std::string::npos &&
                       text.find("cannot open shared object file") != std::string::npos);
    }
    EXPECT_TRUE(loggedError);

    EXPECT_EQ(chain.AddFrameHook({kNoProcess}), -2);
    EXPECT_FALSE(log.Find("Failed to find Process entrypoint in " + kNoProcess).empty());

    ASSERT_EQ(chain.AddFrameHook({kSample, "invert"}), 0);
    const THookCounters before = Counters();
    EXPECT_EQ(chain.AddFrameHook({kSample, "fail"}), -22);
    EXPECT_FALSE(log.Find("Failed to Configure " + kSample).empty());
    EXPECT_EQ(Counters().configure, before.configure + 1);
    EXPECT_EQ(chain.Count(), 1); // the failed entry is not in the chain and is never released
    chain.ReleaseFrameHooks();
    EXPECT_EQ(Counters().release, before.release + 1);
}

TEST_F(FrameHooks, VhookOptionAddsToTheTasksChain) {
    TEngineTestTask task;
    task.Reset();
    const int released = [&] {
        task.SetOption("vhook", kSample + "|paint|200");
        return Counters().release;
    }();
    EXPECT_TRUE(task.switches_.vhook_active);
    EXPECT_EQ(task.frame_hooks_.Count(), 1);
    EXPECT_EQ(Counters().last_argc, 3);
    task.SetOption("vhook", kSample + "  paint 5 ");
    EXPECT_EQ(Counters().last_argc, 3);
    EXPECT_EQ(task.frame_hooks_.Count(), 2);
    // The task's clean-up releases every entry once.
    task.Reset();
    EXPECT_EQ(Counters().release, released + 2);
    EXPECT_FALSE(task.switches_.vhook_active);

    const std::string value = kPluginDir + "/libhook_missing.so arg";
    try {
        task.SetOption("vhook", value);
        ADD_FAILURE() << "no exception";
    } catch (const FFmpegException& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to add video hook function: " + value);
    }
    EXPECT_FALSE(task.switches_.vhook_active);
    EXPECT_TRUE(task.frame_hooks_.Empty());
}

TEST_F(FrameHooks, PluginInAnotherFolderFindsItsNeighbours) {
    testing_support::TempDir dir;
    const std::string folder = dir.File("plug-ins");
    std::filesystem::create_directory(folder);
    std::filesystem::copy_file(kPaint, folder + "/libhook_paint.so");
    std::filesystem::copy_file(kPluginDir + "/libhook_paint_helper.so",
                               folder + "/libhook_paint_helper.so");
    const auto cwd = std::filesystem::current_path();
    TFrameHookChain chain;
    ASSERT_EQ(chain.AddFrameHook({folder + "/libhook_paint.so"}), 0);
    EXPECT_EQ(std::filesystem::current_path(), cwd);
    TPicture picture;
    Process(chain, picture);
    EXPECT_TRUE(picture.LumaIs(77));
}

TEST_F(FrameHooks, PluginWithoutItsNeighbourDoesNotLoad) {
    if (::dlopen("libhook_paint_helper.so", RTLD_NOW | RTLD_NOLOAD) != nullptr) {
        GTEST_SKIP() << "the neighbour library is already loaded in this process";
    }
    testing_support::TempDir dir;
    const std::string alone = dir.File("libhook_paint.so");
    std::filesystem::copy_file(kPaint, alone);
    const auto cwd = std::filesystem::current_path();
    TFrameHookChain chain;
    EXPECT_EQ(chain.AddFrameHook({alone}), -1);
    EXPECT_EQ(std::filesystem::current_path(), cwd);
    EXPECT_FALSE(log.Find("libhook_paint_helper.so").empty());
}
