#include "FFmpegLoader.h"
#include "LibrarySet.h"
#include "MainThread.h"
#include "PlayerMessages.h"
#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

#include <condition_variable>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

using namespace player_testing;
using testing_support::PumpUntil;

// Runs first in a fresh process: nothing has loaded the libraries yet.
TEST(PlayerOpen, RefusesWithoutLibraries) {
    if (TFFmpegLoader::Instance().Loaded(PlayerLibraries)) {
        GTEST_SKIP() << "the libraries were loaded by an earlier test of this process";
    }
    TFFPlayer player;
    THeadlessPictureSink sink(320, 240);
    EXPECT_FALSE(player.LibrariesLoaded());
    EXPECT_FALSE(player.Open("/nonexistent.mp4", &sink));
    EXPECT_EQ(player.LastErrorText(), playermsg::LibrariesNotLoaded);
}

class PlayerLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        RequirePlayerLibraries();
        Clips();
        baseline_ = ThreadCount();
    }
    int baseline_ = 0;
};

// A missing file: False, the file name with the system's message, and no thread left behind.
TEST_F(PlayerLifecycle, MissingFileLeavesNoThread) {
    testing_support::TempDir dir;
    const std::string missing = dir.File("missing.mp4");
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(320, 240);
    EXPECT_FALSE(player.Open(missing, &sink));
    EXPECT_EQ(player.LastErrorText(), missing + ": No such file or directory");
    EXPECT_EQ(ThreadCount(), baseline_);
    EXPECT_TRUE(recorder.States().empty());
    EXPECT_TRUE(player.Paused());
    EXPECT_EQ(player.Probe().Context(), nullptr);
}

// A file without any stream the player can use, and a picture wanted without a sink.
TEST_F(PlayerLifecycle, RefusesWhatCannotBePlayed) {
    testing_support::TempDir dir;
    const std::string text = dir.File("notes.txt");
    std::ofstream(text) << "not a media file\n";
    TFFPlayer player;
    THeadlessPictureSink sink(320, 240);
    EXPECT_FALSE(player.Open(text, &sink));
    EXPECT_FALSE(player.LastErrorText().empty());
    EXPECT_EQ(ThreadCount(), baseline_);

    EXPECT_FALSE(player.Open(Clips().av, nullptr));
    EXPECT_EQ(player.LastErrorText(), playermsg::GetVideoInfoFailed);
    EXPECT_EQ(ThreadCount(), baseline_);
}

// Opened paused: psPlay, then psPause once the first picture is on screen; nothing moves on
// until Resume.
TEST_F(PlayerLifecycle, StartPausedShowsTheFirstPicture) {
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(320, 240);
    ASSERT_TRUE(player.Open(Clips().av, &sink, true));
    ASSERT_TRUE(recorder.WaitFor(psPause));
    EXPECT_EQ(recorder.States(), (std::vector<TPlayState>{psPlay, psPause}));
    EXPECT_EQ(sink.ShownCount(), 1);
    ASSERT_NE(sink.LastPicture(), nullptr);
    EXPECT_EQ(sink.LastPicture()->pts, 0);
    EXPECT_TRUE(player.Paused());
    EXPECT_EQ(recorder.OpenedWidth(), 320);
    EXPECT_EQ(recorder.OpenedHeight(), 240);
    EXPECT_EQ(recorder.OpenedDuration(), 3000000);
    EXPECT_EQ(player.Probe().VideoStreamCount(), 1);

    player.Resume();
    EXPECT_TRUE(PumpUntil([&] { return sink.ShownCount() >= 5; }));
    EXPECT_EQ(recorder.States(), (std::vector<TPlayState>{psPlay, psPause, psResume}));
    player.Stop(true);
    EXPECT_EQ(recorder.States().back(), psStop);
    EXPECT_EQ(ThreadCount(), baseline_);
}

// Stop without waiting, then Open of another file: Open waits for the first file's threads,
// and the first file's psStop arrives before the second file plays.
TEST_F(PlayerLifecycle, StopWithoutWaitThenOpenAnother) {
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(320, 240);
    ASSERT_TRUE(player.Open(Clips().av, &sink));
    ASSERT_TRUE(PumpUntil([&] { return sink.ShownCount() >= 3; }));
    player.Stop(false);
    ASSERT_TRUE(player.Open(Clips().other, &sink));
    EXPECT_EQ(player.FileName(), Clips().other);
    EXPECT_EQ(recorder.OpenedWidth(), 176);
    EXPECT_EQ(recorder.OpenedHeight(), 144);
    const std::vector<TPlayState> states = recorder.States();
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front(), psPlay);
    EXPECT_EQ(states.back(), psStop);
    ASSERT_TRUE(recorder.WaitFor(psPlay, 2));
    ASSERT_TRUE(PumpUntil([&] {
        auto picture = sink.LastPicture();
        return picture && picture->pts > 0 && sink.LastRect().height == 240;
    }));
    player.Stop(true);
    EXPECT_EQ(recorder.Count(psStop), 2);
    EXPECT_EQ(ThreadCount(), baseline_);
}

// Without an OnState handler Stop still ends the event thread, and nothing is left running.
TEST_F(PlayerLifecycle, StopEndsTheEventThreadWithoutStateHandler) {
    TFFPlayer player;
    TRecorder recorder(player, false);
    THeadlessPictureSink sink(320, 240);
    ASSERT_TRUE(player.Open(Clips().av, &sink));
    ASSERT_TRUE(recorder.WaitForPosition(200000));
    EXPECT_GT(ThreadCount(), baseline_);
    player.Stop(true);
    EXPECT_EQ(player.State(), psStop);
    EXPECT_EQ(ThreadCount(), baseline_);
    // Destroying an open player stops it too.
    {
        TFFPlayer other;
        ASSERT_TRUE(other.Open(Clips().other, &sink));
        ASSERT_TRUE(PumpUntil([&] { return other.Position() > 100000; }));
    }
    EXPECT_EQ(ThreadCount(), baseline_);
}

// A sink that cannot open its surface ends playing with the message and psStop.
TEST_F(PlayerLifecycle, SurfaceThatCannotOpenStopsPlaying) {
    TLogCapture log;
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(320, 240);
    sink.SetOpenFails(true);
    ASSERT_TRUE(player.Open(Clips().av, &sink));
    ASSERT_TRUE(recorder.WaitFor(psStop));
    EXPECT_TRUE(log.Contains(llError, playermsg::SetVideoModeFailed));
    EXPECT_EQ(sink.ShownCount(), 0);
    player.Stop(true);
    EXPECT_EQ(ThreadCount(), baseline_);
}

// An exception on the play thread (here from the sink) closes the file with the message.
TEST_F(PlayerLifecycle, ExceptionOnThePlayThreadClosesTheFile) {
    TLogCapture log;
    TFFPlayer player;
    TRecorder recorder(player);
    THeadlessPictureSink sink(320, 240);
    sink.SetOnShow(
        [](const TSinkPicture&, TPictureRect) { throw std::runtime_error("sink broke"); });
    ASSERT_TRUE(player.Open(Clips().av, &sink));
    ASSERT_TRUE(recorder.WaitFor(psStop));
    EXPECT_TRUE(log.Contains(llFatal, std::string(playermsg::PlayThreadException) + "sink broke"));
    EXPECT_TRUE(player.Paused()); // nothing is open any more
    player.Stop(true);
    EXPECT_EQ(ThreadCount(), baseline_);
}

// Without a display the sound plays alone and needs no sink; without TriggerEventInMainThread
// the events come on the player's own thread.
TEST_F(PlayerLifecycle, DisableDisplayPlaysTheSoundAlone) {
    TFFPlayer player;
    player.SetDisableDisplay(true);
    player.SetTriggerEventInMainThread(false);
    TRecorder recorder(player);
    std::atomic<bool> onMain{false};
    player.SetOnPosition(
        [&](TCustomPlayer&, std::int64_t) { onMain = onMain || TMainThread::IsCurrent(); });
    ASSERT_TRUE(player.Open(Clips().av, nullptr));
    EXPECT_TRUE(player.DisableVideo());
    EXPECT_EQ(recorder.OpenedWidth(), -1);
    ASSERT_TRUE(PumpUntil([&] { return player.Position() >= 300000; }));
    EXPECT_FALSE(onMain.load());
    player.Stop(true);
    EXPECT_EQ(recorder.States().front(), psPlay);
    EXPECT_EQ(recorder.States().back(), psStop);
    EXPECT_EQ(ThreadCount(), baseline_);
}

// A stop while the demuxer waits inside its read call on a pipe that stopped delivering:
// Stop(True) still returns promptly and leaves no thread.
TEST_F(PlayerLifecycle, StopWhileTheDemuxerIsBlocked) {
    testing_support::TempDir dir;
    const std::string pipe = dir.File("stream.fifo");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // A write after the player let go of the pipe must fail, not end the test program.
    std::signal(SIGPIPE, SIG_IGN);
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::thread writer([&] {
        std::ifstream in(Clips().stream, std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)), {});
        std::ofstream out(pipe, std::ios::binary); // waits for the reader
        // Two thirds of the stream arrive, then nothing until the test ends.
        out.write(data.data(), static_cast<std::streamsize>(data.size() * 2 / 3));
        out.flush();
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return release; });
    });
    {
        TFFPlayer player;
        TRecorder recorder(player);
        THeadlessPictureSink sink(320, 240);
        const bool opened = player.Open(pipe, &sink);
        EXPECT_TRUE(opened) << player.LastErrorText();
        if (opened) {
            ASSERT_TRUE(PumpUntil([&] { return sink.ShownCount() >= 3; }));
            // The pipe holds no more data: the demuxer ends up waiting for it.
            ASSERT_TRUE(PumpUntil([&] { return player.Position() >= 2000000; }));
        }
        const auto start = std::chrono::steady_clock::now();
        player.Stop(true);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
        EXPECT_EQ(recorder.States().back(), psStop);
    }
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    released.notify_all();
    writer.join();
    EXPECT_EQ(ThreadCount(), baseline_);
}

} // namespace
