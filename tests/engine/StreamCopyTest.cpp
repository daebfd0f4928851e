// Stream copy end to end: remuxing, trimming, size limits, stop, progress and termination.

#include "EngineTestSupport.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"

#include <atomic>

using namespace engine_test;
using testing_support::ProbeDuration;
using testing_support::ProbeEntry;

namespace {

class StreamCopy : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        task = std::make_unique<TTestEngine>();
        task->Reset();
        task->SetVerbose(-1);
        task->TerminateHandler = [this](TCustomFFmpeg&) { ++terminations; };
    }

    // vcodec copy, acodec copy from in to out.
    void Remux(const std::string& in, const std::string& out) {
        ASSERT_TRUE(task->OpenInputFile(in)) << task->LastErrorText();
        task->VideoCodec("copy");
        task->AudioCodec("copy");
        ASSERT_EQ(task->OpenOutputFile(out), 1) << task->LastErrorText();
    }

    TClipSet clips;
    std::unique_ptr<TTestEngine> task;
    std::atomic<int> terminations{0};
};

} // namespace

TEST_F(StreamCopy, RemuxKeepsStreamsAndDurationInEveryContainer) {
    const std::string in = clips.Mp4(3);
    for (const char* ext : {"mkv", "mp4", "ts"}) {
        SCOPED_TRACE(ext);
        const std::string out = clips.dir.File(std::string("out.") + ext);
        task->Reset();
        task->SetVerbose(-1);
        Remux(in, out);
        task->Start(false);
        EXPECT_FALSE(task->HasError()) << task->ErrorMessage();
        EXPECT_TRUE(task->Finished());
        EXPECT_EQ(ProbeInt(out, "", "format=nb_streams"), 2);
        // Transport streams list their streams twice (programs and streams).
        EXPECT_EQ(SplitFirst(ProbeEntry(out, "v:0", "stream=codec_name"), '\n'), "h264");
        EXPECT_EQ(SplitFirst(ProbeEntry(out, "a:0", "stream=codec_name"), '\n'), "aac");
        EXPECT_NEAR(ProbeDuration(out), 3.0, 0.15);
        EXPECT_EQ(CountFrames(out), 75);
        EXPECT_EQ(DecodeErrors(out), "");
    }
}

TEST_F(StreamCopy, StartAndRecordingTimeCutAThreeSecondPiece) {
    const std::string in = clips.Mp4(8);
    task->SetStartTime(2000000);
    const std::string out = clips.dir.File("cut.mkv");
    ASSERT_TRUE(task->OpenInputFile(in));
    task->SetRecordingTime(3000000);
    task->VideoCodec("copy");
    task->AudioCodec("copy");
    ASSERT_EQ(task->OpenOutputFile(out), 1);
    task->Start(false);
    EXPECT_FALSE(task->HasError()) << task->ErrorMessage();
    // Copying starts at the key frame before 2 s (one every second here).
    EXPECT_NEAR(ProbeDuration(out), 3.0, 0.2);
}

TEST_F(StreamCopy, SizeLimitEndsJustAfterTheLimitWithAValidFile) {
    const std::string in = clips.dir.File("big.mp4");
    testing_support::MakeClip(in, 10, 640, 480, 25, 44100,
                              "-vf noise=alls=30:allf=t -c:v libx264 -preset ultrafast -b:v 3M "
                              "-c:a aac -shortest");
    task->S().limit_filesize = 1000000;
    const std::string out = clips.dir.File("limited.mkv");
    Remux(in, out);
    task->Start(false);
    EXPECT_FALSE(task->HasError()) << task->ErrorMessage();
    const std::int64_t size = FileSizeOf(out);
    EXPECT_GT(size, 1000000);
    EXPECT_LT(size, 1400000);
    EXPECT_EQ(DecodeErrors(out), "");
    EXPECT_LT(ProbeDuration(out), 4.0);
}

TEST_F(StreamCopy, StopMidwayLeavesAPlayableFileAndFinishedFalse) {
    const std::string in = clips.Mp4(4);
    task->S().rate_emu = true; // real time, so that there is a midway
    std::atomic<std::int64_t> reached{0};
    task->ProgressHandler = [&](TCustomFFmpeg&, int, int, int, float, float, std::int64_t,
                                std::int64_t time, std::int64_t) { reached = time; };
    task->SetReportInterval(50000);
    const std::string out = clips.dir.File("stopped.mp4");
    Remux(in, out);
    TConvertThread* thread = task->Start(true);
    ASSERT_NE(thread, nullptr);
    thread->Resume();
    ASSERT_TRUE(testing_support::PumpUntil([&] { return reached.load() >= 1000000; }));
    task->Stop(true);
    EXPECT_TRUE(task->Terminated());
    EXPECT_FALSE(task->Finished());
    EXPECT_FALSE(task->HasError()) << task->ErrorMessage();
    EXPECT_EQ(terminations.load(), 1);
    const double duration = ProbeDuration(out);
    EXPECT_GT(duration, 0.9);
    EXPECT_LT(duration, 3.9);
    EXPECT_EQ(DecodeErrors(out), "");
}

TEST_F(StreamCopy, PauseHoldsTheWorkerAndResumeContinues) {
    const std::string in = clips.Mp4(1);
    task->S().rate_emu = true;
    std::atomic<int> reports{0};
    // Paused from its own second report: the worker is held before its next packet.
    task->ProgressHandler = [&](TCustomFFmpeg& sender, int, int, int, float, float, std::int64_t,
                                std::int64_t, std::int64_t) {
        if (++reports == 2) {
            sender.Pause();
        }
    };
    task->SetReportInterval(50000);
    Remux(in, clips.dir.File("paused.mkv"));
    TConvertThread* thread = task->Start(true);
    thread->Resume();
    ASSERT_TRUE(testing_support::PumpUntil([&] { return task->Held(); }));
    EXPECT_EQ(reports.load(), 2); // a paused task reports nothing
    EXPECT_FALSE(task->Terminated());
    task->Resume();
    ASSERT_TRUE(testing_support::PumpUntil([&] { return task->Terminated(); }));
    EXPECT_FALSE(task->Held());
    EXPECT_TRUE(task->Finished());
    EXPECT_GT(reports.load(), 2);
}

TEST_F(StreamCopy, ProgressComesAtTheIntervalWithAFinalReport) {
    const std::string in = clips.Mp4(3);
    task->S().rate_emu = true;
    struct Report {
        std::int64_t at;
        int file;
        int frame;
        float quality;
        std::int64_t size;
        std::int64_t time;
        std::int64_t duration;
    };
    std::vector<Report> reports;
    task->ProgressHandler = [&](TCustomFFmpeg&, int file, int frame, int, float quality, float,
                                std::int64_t size, std::int64_t time, std::int64_t duration) {
        reports.push_back({fn::av_gettime(), file, frame, quality, size, time, duration});
    };
    task->SetReportInterval(300000);
    Remux(in, clips.dir.File("progress.mkv"));
    task->Start(false);
    ASSERT_GE(reports.size(), 5u);
    for (size_t i = 0; i + 1 < reports.size(); ++i) {
        EXPECT_EQ(reports[i].file, 0);
        EXPECT_GE(reports[i].frame, 1);       // never before the first picture is out
        EXPECT_EQ(reports[i].quality, -1.0f); // copied video has no quality
        EXPECT_NEAR(reports[i].duration, 3000000, 150000);
        if (i > 0) {
            EXPECT_GE(reports[i].at - reports[i - 1].at, 300000);
            EXPECT_GE(reports[i].time, reports[i - 1].time);
        }
    }
    const Report& last = reports.back();
    EXPECT_EQ(last.file, -1);
    EXPECT_EQ(last.frame, 75);
    EXPECT_NEAR(static_cast<double>(last.time), 3000000, 150000);
    EXPECT_GT(last.size, 0);
}

TEST_F(StreamCopy, AudioOnlyReportsHaveNoVideoFigures) {
    const std::string in = clips.Mp4(2);
    int calls = 0;
    task->ProgressHandler = [&](TCustomFFmpeg&, int, int frame, int fps, float quality, float,
                                std::int64_t, std::int64_t, std::int64_t) {
        ++calls;
        EXPECT_EQ(frame, -1);
        EXPECT_EQ(fps, -1);
        EXPECT_EQ(quality, -1.0f);
    };
    ASSERT_TRUE(task->OpenInputFile(in));
    task->SetVideoDisable(true);
    task->AudioCodec("copy");
    ASSERT_EQ(task->OpenOutputFile(clips.dir.File("audio.mka")), 1);
    task->Start(false);
    EXPECT_FALSE(task->HasError()) << task->ErrorMessage();
    EXPECT_GE(calls, 1);
}

TEST_F(StreamCopy, DestroyingARunningTaskStopsItAndTerminatesFirst) {
    const std::string in = clips.Mp4(3);
    task->S().rate_emu = true;
    const std::string out = clips.dir.File("destroyed.mkv");
    Remux(in, out);
    std::atomic<bool> destroyed{false};
    bool terminatedBeforeDestruction = false;
    task->TerminateHandler = [&](TCustomFFmpeg&) {
        ++terminations;
        terminatedBeforeDestruction = !destroyed.load();
    };
    std::atomic<bool> running{false};
    task->ProgressHandler = [&](TCustomFFmpeg&, int, int, int, float, float, std::int64_t,
                                std::int64_t, std::int64_t) { running = true; };
    task->SetReportInterval(50000);
    TConvertThread* thread = task->Start(true);
    thread->Resume();
    ASSERT_TRUE(testing_support::PumpUntil([&] { return running.load(); }));
    task.reset();
    destroyed = true;
    EXPECT_EQ(terminations.load(), 1);
    EXPECT_TRUE(terminatedBeforeDestruction);
    EXPECT_EQ(DecodeErrors(out), "");
}

TEST_F(StreamCopy, MappingIsReportedAndCopyRefusesHooks) {
    const std::string in = clips.Mp4(1);
    {
        TLogCapture log;
        task->SetVerbose(0);
        Remux(in, clips.dir.File("mapped.mkv"));
        task->Start(false);
        ASSERT_FALSE(task->HasError()) << task->ErrorMessage();
        EXPECT_TRUE(log.Contains("Stream mapping:"));
        EXPECT_TRUE(log.Contains("  Stream #0.0 -> #0.0 (Video)"));
        EXPECT_TRUE(log.Contains("  Stream #0.1 -> #0.1 (Audio)"));
    }
    task->Reset();
    task->SetVerbose(-1);
    Remux(in, clips.dir.File("hooked.mkv"));
    task->CustomHookHandler = [](TCustomFFmpeg&, TBitmap24&, bool&, bool&, std::int64_t, int) {};
    task->Start(false);
    EXPECT_EQ(task->ErrorMessage(),
              "-vcodec copy and CustomHook are incompatible (frames are not decoded)");
    // Nothing was written, so the empty output is gone.
    EXPECT_FALSE(FileExists(clips.dir.File("hooked.mkv")));
}

TEST_F(StreamCopy, StreamMapsAreCheckedBeforeUse) {
    const std::string in = clips.Mp4(1);
    Remux(in, clips.dir.File("maps.mkv"));
    task->Maps().push_back({0, 0, 0, 0});
    task->Start(false);
    EXPECT_EQ(task->ErrorMessage(), "Number of stream maps must match number of output streams");

    task->Reset();
    task->SetVerbose(-1);
    Remux(in, clips.dir.File("maps2.mkv"));
    task->Maps().push_back({0, 1, 0, 1});
    task->Maps().push_back({3, 0, 3, 0}); // no such input
    task->Start(false);
    EXPECT_EQ(task->ErrorMessage(), "Could not find input stream #3.0");

    task->Reset();
    task->SetVerbose(-1);
    Remux(in, clips.dir.File("maps3.mkv"));
    task->Maps().push_back({0, 1, 0, 1});
    task->Maps().push_back({0, 0, 0, 0}); // audio into the video stream
    task->Start(false);
    EXPECT_EQ(task->ErrorMessage(), "Codec type mismatch for mapping #0.1 (Audio) -> #0.0 (Video)");
}

TEST_F(StreamCopy, BitstreamFiltersRunAndUnknownOnesAreNamed) {
    const std::string in = clips.Mp4(2);
    ASSERT_TRUE(task->OpenInputFile(in));
    task->VideoCodec("copy");
    task->VideoBitstreamFilters().push_back("h264_mp4toannexb");
    const std::string out = clips.dir.File("annexb.h264");
    task->Format("h264");
    ASSERT_EQ(task->OpenOutputFile(out), 1) << task->LastErrorText();
    task->Start(false);
    EXPECT_FALSE(task->HasError()) << task->ErrorMessage();
    EXPECT_EQ(CountFrames(out), 50);

    task->Reset();
    task->SetVerbose(-1);
    ASSERT_TRUE(task->OpenInputFile(in));
    task->VideoCodec("copy");
    task->AudioCodec("copy");
    task->VideoBitstreamFilters().push_back("nosuchfilter=1");
    ASSERT_EQ(task->OpenOutputFile(clips.dir.File("x.mkv")), 1);
    task->Start(false);
    EXPECT_EQ(task->ErrorMessage(), "Unknown bitstream filter nosuchfilter=1");
}

TEST_F(StreamCopy, MetadataTimeStampAndChaptersReachTheOutput) {
    const std::string meta = clips.dir.File("meta.txt");
    {
        std::FILE* f = std::fopen(meta.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(";FFMETADATA1\ntitle=Source title\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\n"
                   "END=1000\ntitle=One\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=3000\n"
                   "title=Two\n",
                   f);
        std::fclose(f);
    }
    const std::string plain = clips.Mp4(3);
    const std::string in = clips.dir.File("chapters.mkv");
    testing_support::Ffmpeg(
        "-i " + testing_support::ShellQuote(plain) + " -i " + testing_support::ShellQuote(meta) +
        " -map 0 -map_metadata 1 -map_chapters 1 -c copy " + testing_support::ShellQuote(in));
    const std::string out = clips.dir.File("tagged.mkv");
    ASSERT_TRUE(task->OpenInputFile(in));
    task->SetOption("vcodec", "copy");
    task->SetOption("acodec", "copy");
    task->SetOption("metadata", "title=Given title");
    task->SetOption("metadata", "title=Second title");
    task->SetTimestamp(1609459200); // 2021-01-01 00:00:00 UTC
    task->SetOption("map_meta_data", "0:0");
    ASSERT_EQ(task->OpenOutputFile(out), 1) << task->LastErrorText();
    task->Start(false);
    ASSERT_FALSE(task->HasError()) << task->ErrorMessage();
    // The first of repeated keys wins, and mapped meta-data does not overwrite given keys.
    EXPECT_EQ(ProbeEntry(out, "", "format_tags=title"), "Given title");
    EXPECT_EQ(ProbeEntry(out, "", "format_tags=creation_time").substr(0, 19),
              "2021-01-01T00:00:00");
    EXPECT_EQ(testing_support::ProbeEntries(out, "", "chapter=start_time"), "0.000000\n1.000000");
}
