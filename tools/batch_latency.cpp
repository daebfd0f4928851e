// batch-latency: how long the main thread is kept from its event loop while a batch converts
// and while it is cancelled. The main thread runs a loop of one-millisecond steps serving the
// main-thread queue, as the desktop program's event loop does; every step that takes longer
// is time a window would not repaint.
//
//   batch-latency FILE [FILE...]
//
// Converts the files (MPEG-4 Video, in a temporary home), then converts them again and
// cancels half-way through the first file, and prints the figures of both runs.

#include "BatchRowList.h"
#include "BatchRun.h"
#include "FFEncoder.h"
#include "GlobalObject.h"
#include "MainThread.h"
#include "Settings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct TSteps {
    std::vector<double> durations;

    // One step of the event loop: the time the posted calls hold the main thread.
    void Step() {
        TMainThread::WaitForPending(std::chrono::milliseconds(1));
        const auto start = Clock::now();
        TMainThread::CheckSynchronize();
        durations.push_back(Milliseconds(Clock::now() - start));
    }

    void Print(const char* phase) const {
        std::vector<double> sorted = durations;
        std::sort(sorted.begin(), sorted.end());
        const double p99 = sorted.empty() ? 0 : sorted[sorted.size() * 99 / 100];
        const double max = sorted.empty() ? 0 : sorted.back();
        std::printf("%-28s %6zu steps  p99 %7.2f ms  max %7.2f ms\n", phase, sorted.size(), p99,
                    max);
    }
};

struct THalfWay : IBatchListener {
    bool reached = false;
    void BatchProgress(const TProgressInfo& info) override {
        reached = reached || (info.TaskIndex == 0 && info.TotalDuration > 0 &&
                              info.CurrentDuration * 2 >= info.TotalDuration);
    }
};

} // namespace

int main(int argc, char** argv) {
    TMainThread::Claim();
    int first = 1;
    int jobs = 1;
    if (argc > 2 && std::string(argv[1]) == "--jobs") {
        jobs = std::atoi(argv[2]);
        first = 3;
    }
    if (argc <= first || jobs < 1 || jobs > TSettings::MaxAtOnce) {
        std::fprintf(stderr, "usage: batch-latency [--jobs N] FILE [FILE...]\n");
        return 2;
    }
    char pattern[] = "/tmp/vantre-latency-XXXXXX";
    const char* home = ::mkdtemp(pattern);
    if (home == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    TGlobalObject global{TUserPlaces{home, ""}};
    global.InstallCatalog(
        TGlobalObject::FindInstalledCatalog(TGlobalObject::InstalledCatalogCandidates()));
    TSettings settings(global);
    settings.SetOutputDir(std::string(home) + "/out");
    settings.SetFormat("MPEG-4 Video (*.mp4)", 2302);
    settings.SetConversionsAtOnce(jobs);

    TFFEncoder encoder;
    if (!encoder.LoadLibraries(TGlobalObject::ProgramFolder() + "/LibAV")) {
        std::fprintf(stderr, "%s\n", encoder.LastErrorText().c_str());
        return 1;
    }
    encoder.SetProgressInterval(100);
    TBatchRowList rows;
    for (int i = first; i < argc; ++i) {
        rows.Add(std::filesystem::absolute(argv[i]).string());
    }

    int status = 0;
    {
        TBatchRun run(encoder, global);
        TSteps converting;
        run.Start(rows);
        const auto start = Clock::now();
        run.RunTasks();
        while (run.Running()) {
            converting.Step();
        }
        std::printf("whole batch: %.0f ms\n", Milliseconds(Clock::now() - start));
        converting.Print("converting (to the end)");

        THalfWay halfWay;
        run.AddListener(halfWay);
        TSteps beforeCancel;
        TSteps afterCancel;
        run.Start(rows);
        run.RunTasks();
        while (run.Running() && !halfWay.reached) {
            beforeCancel.Step();
        }
        const auto cancel = Clock::now();
        run.Stop();
        const double stopCall = Milliseconds(Clock::now() - cancel);
        while (run.Running()) {
            afterCancel.Step();
        }
        beforeCancel.Print("converting (until cancel)");
        afterCancel.Print("cancelling (until the end)");
        std::printf("Stop() returned after %.2f ms; the batch ended %.0f ms after it\n", stopCall,
                    Milliseconds(Clock::now() - cancel));
        run.RemoveListener(halfWay);
        status = halfWay.reached ? 0 : 1;
    }
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return status;
}
