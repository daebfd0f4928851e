#include "FFmpegException.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "LibraryFunctions.h"
#include "MediaUtils.h"
#include "TestSupport.h"
#include "UnicodeProtocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include <dlfcn.h>

using testing_support::TempDir;

namespace {

// Each test of this file runs in a process of its own (ctest); the folder tests need one in
// which no media library was loaded yet.
bool FreshProcess() {
    for (int i = 0; i < LibraryKindCount; ++i) {
        if (TFFmpegLoader::Instance().IsLoaded(static_cast<TLibraryKind>(i))) {
            return false;
        }
    }
    return true;
}

#define REQUIRE_FRESH_PROCESS()                                                                    \
    if (!FreshProcess())                                                                           \
    GTEST_SKIP() << "libraries already loaded in this process"

const char* const kEncoderFiles[] = {"libavutil.so.57",   "libswresample.so.4", "libswscale.so.6",
                                     "libpostproc.so.56", "libavcodec.so.59",   "libavformat.so.59",
                                     "libavfilter.so.8"};

struct LoaderReset {
    ~LoaderReset() { TFFmpegLoader::Instance().SetLibraryFolder(""); }
};

} // namespace

TEST(Loader, FileNamesAreTheSonames) {
    EXPECT_EQ(TFFmpegLoader::LibraryFileName(TLibraryKind::libAVCodec), "libavcodec.so.59");
    EXPECT_EQ(TFFmpegLoader::LibraryFileName(TLibraryKind::libAVFilter), "libavfilter.so.8");
    EXPECT_EQ(TFFmpegLoader::LibraryFileName(TLibraryKind::libSDL2), "libSDL2-2.0.so.0");
    EXPECT_FALSE(EncoderLibraries.Contains(TLibraryKind::libSDL2));
    EXPECT_TRUE(PlayerLibraries.Contains(TLibraryKind::libSDL2));
    EXPECT_TRUE(PlayerLibraries.Contains(TLibraryKind::libPostProc));
}

TEST(Loader, LibraryFolderIsSearchedFirst) {
    REQUIRE_FRESH_PROCESS();
    LoaderReset reset;
    TempDir dir;
    for (const char* file : kEncoderFiles) {
        std::filesystem::create_symlink(std::string(SYSTEM_LIBRARY_DIR) + "/" + file,
                                        dir.File(file));
    }
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    loader.SetLibraryFolder(dir.Path()); // no trailing slash: one is added
    ASSERT_TRUE(loader.Load(EncoderLibraries)) << loader.LastErrorText();
    EXPECT_EQ(loader.LoadedPath(TLibraryKind::libAVCodec), dir.File("libavcodec.so.59"));
    EXPECT_EQ(loader.LoadedPath(TLibraryKind::libAVUtil), dir.File("libavutil.so.57"));
}

TEST(Loader, MissingFolderCopyFallsBackToTheDefaultSearch) {
    REQUIRE_FRESH_PROCESS();
    LoaderReset reset;
    TempDir dir; // holds none of the libraries
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    loader.SetLibraryFolder(dir.Path());
    ASSERT_TRUE(loader.Load(EncoderLibraries)) << loader.LastErrorText();
    EXPECT_TRUE(loader.Loaded(EncoderLibraries));
    EXPECT_EQ(loader.LoadedPath(TLibraryKind::libAVCodec).find(dir.Path()), std::string::npos);
    EXPECT_NE(loader.LoadedPath(TLibraryKind::libAVCodec).find("libavcodec.so.59"),
              std::string::npos);
}

TEST(Loader, FileThatIsNoLibraryNamesThePathTried) {
    REQUIRE_FRESH_PROCESS();
    LoaderReset reset;
    TempDir dir;
    std::ofstream(dir.File("libavutil.so.57")) << "this is not a shared object";
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    loader.SetLibraryFolder(dir.Path() + "/");
    EXPECT_FALSE(loader.Load(EncoderLibraries));
    const std::string expected = "Load library " + dir.File("libavutil.so.57") + " error: ";
    EXPECT_EQ(loader.LastErrorText().substr(0, expected.size()), expected)
        << loader.LastErrorText();
    EXPECT_GT(loader.LastErrorText().size(), expected.size());
    EXPECT_FALSE(loader.IsLoaded(TLibraryKind::libAVUtil));
}

TEST(Loader, MissingEntryPointFailsItsSetAndKeepsTheEncoderSet) {
    LoaderReset reset;
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    loader.SetLibraryFolder("");
    ASSERT_TRUE(loader.Load(EncoderLibraries)) << loader.LastErrorText();
    loader.SetLibraryFolder(STUB_SDL_DIR);
    EXPECT_FALSE(loader.Load(PlayerLibraries));
    const std::string expected = "Load function SDL_MixAudioFormat@libSDL2-2.0.so.0 error: ";
    EXPECT_EQ(loader.LastErrorText().substr(0, expected.size()), expected)
        << loader.LastErrorText();
    EXPECT_FALSE(loader.IsLoaded(TLibraryKind::libSDL2));
    EXPECT_EQ(fn::SDL_Init, nullptr); // the stub's entry points are cleared again
    // Libraries loaded before by another component stay: a conversion may be using them.
    EXPECT_TRUE(loader.Loaded(EncoderLibraries));
    EXPECT_NE(fn::avcodec_open2, nullptr);
}

TEST(Loader, BindingErrorTextsNameEntryAndLibrary) {
    void* handle = ::dlopen((std::string(STUB_SDL_DIR) + "/libSDL2-2.0.so.0").c_str(), RTLD_NOW);
    ASSERT_NE(handle, nullptr);
    void* slot = nullptr;
    std::string error;
    EXPECT_TRUE(BindEntryPoint("stub.so", handle, "SDL_Init", &slot, error));
    EXPECT_NE(slot, nullptr);
    EXPECT_FALSE(BindVariable("stub.so", handle, "no_such_table", &slot, error));
    EXPECT_EQ(error.rfind("Load variable no_such_table@stub.so error: ", 0), 0u) << error;
    ::dlclose(handle);
}

TEST(Loader, SecondLoadBindsNothingAndReinstallsTheLogCallback) {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    loader.SetLibraryFolder("");
    ASSERT_TRUE(loader.Load(EncoderLibraries)) << loader.LastErrorText();
    const int loads = loader.LoadCount(TLibraryKind::libAVCodec);
    auto* const bound = fn::avcodec_open2;

    std::atomic<int> seen{0};
    TFFLogger& logger = LoggerInstance();
    logger.SetTriggerEventInMainThread(false);
    logger.SetOnLog([&](const void*, std::uint32_t, TLogLevel, const std::string& text) {
        if (text.find("reinstalled-callback-check") != std::string::npos) {
            ++seen;
        }
    });
    // Someone else takes the libraries' log over ...
    fn::av_log_set_callback([](void*, int, const char*, va_list) {});
    fn::av_log(nullptr, AV_LOG_ERROR, "reinstalled-callback-check\n");
    EXPECT_EQ(seen.load(), 0);
    // ... and a second load puts ours back without loading or binding anything again.
    ASSERT_TRUE(loader.Load(EncoderLibraries));
    EXPECT_EQ(loader.LoadCount(TLibraryKind::libAVCodec), loads);
    EXPECT_EQ(fn::avcodec_open2, bound);
    fn::av_log(nullptr, AV_LOG_ERROR, "reinstalled-callback-check\n");
    EXPECT_EQ(seen.load(), 1);
    logger.SetOnLog({});
    logger.SetTriggerEventInMainThread(true);
    // libavformat was bound: the unicode opener is registered, once.
    EXPECT_TRUE(UnicodeProtocolRegistered());
    EXPECT_FALSE(RegisterUnicodeProtocol());
}

TEST(Loader, PlayerSetAfterEncoderSetLoadsOnlySDL) {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    loader.SetLibraryFolder("");
    ASSERT_TRUE(loader.Load(EncoderLibraries)) << loader.LastErrorText();
    int before[LibraryKindCount];
    for (int i = 0; i < LibraryKindCount; ++i) {
        before[i] = loader.LoadCount(static_cast<TLibraryKind>(i));
    }
    ASSERT_TRUE(loader.Load(PlayerLibraries)) << loader.LastErrorText();
    for (int i = 0; i < LibraryKindCount; ++i) {
        const auto kind = static_cast<TLibraryKind>(i);
        if (kind == TLibraryKind::libSDL2) {
            EXPECT_EQ(loader.LoadCount(kind), before[i] + 1);
        } else {
            EXPECT_EQ(loader.LoadCount(kind), before[i]) << TFFmpegLoader::LibraryBaseName(kind);
        }
    }
    EXPECT_TRUE(loader.Loaded(PlayerLibraries));
    EXPECT_FALSE(loader.VersionText(TLibraryKind::libSDL2).empty());
}

TEST(Loader, EmptySetIsAProgrammingError) {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    EXPECT_THROW(loader.Load(TLibrarySet{}), FFmpegAssertion);
    EXPECT_THROW(loader.Loaded(TLibrarySet{}), FFmpegAssertion);
    EXPECT_THROW(loader.Unload(TLibrarySet{}), FFmpegAssertion);
}
