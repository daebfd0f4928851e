// play: plays one file with the player component, for watching and measuring playback.
// Headless by default (a counting picture sink on a real-time clock); --window shows a window.

#include "FFPlayer.h"
#include "FFmpegLogger.h"
#include "HeadlessPictureSink.h"
#include "MainThread.h"
#include "PlayerMessages.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifdef PLAY_WITH_WINDOW
#include "QtMainThreadWaker.h"
#include "VideoWidget.h"

#include <QApplication>
#include <QTimer>
#endif

namespace {

const char* const kStateNames[] = {"psPlay", "psPause", "psResume", "psStep", "psStop", "psEnd"};

struct TAction {
    double at = 0;    // seconds of wall time after Open
    char kind = 's';  // 'k' seek, 'p' pause, 'r' resume, 's' stop
    double value = 0; // seek target in seconds
};

struct TOptions {
    std::string file;
    int width = 640;
    int height = 360;
    bool window = false;
    bool startPaused = false;
    bool noAudio = false;
    bool quiet = false;
    float aspect = 0;
    std::vector<TAction> actions;
};

void PrintUsage() {
    std::fputs("usage: play [options] FILE\n"
               "\n"
               "  --size WxH        picture surface size (default 640x360)\n"
               "  --window          show the pictures in a window and play the sound\n"
               "  --start-paused    open paused on the first picture\n"
               "  --seek T@S        at S seconds after opening, seek to T seconds\n"
               "  --pause S         pause at S seconds\n"
               "  --resume S        resume at S seconds\n"
               "  --stop S          stop at S seconds (default: at the end of the file)\n"
               "  --aspect A        display aspect (0 the picture's own, -1 fill the surface)\n"
               "  --no-audio        do not open the sound\n"
               "  --quiet           print only the closing figures\n"
               "\n"
               "Prints the states and positions seen, then\n"
               "  wall_s=... cpu_s=... cpu_per_s=... device_stalls=...\n"
               "  shown=N dropped=N drift_max_ms=X drift_mean_ms=Y decode_fps=Z\n"
               "(drift: |picture time - audio clock| once a second has played).\n",
               stdout);
}

bool ParseOptions(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &options.width, &options.height) != 2) {
                return false;
            }
        } else if (arg == "--window") {
            options.window = true;
        } else if (arg == "--start-paused") {
            options.startPaused = true;
        } else if (arg == "--no-audio") {
            options.noAudio = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--aspect" && hasValue) {
            options.aspect = std::strtof(argv[++i], nullptr);
        } else if (arg == "--seek" && hasValue) {
            TAction action{0, 'k', 0};
            if (std::sscanf(argv[++i], "%lf@%lf", &action.value, &action.at) != 2) {
                return false;
            }
            options.actions.push_back(action);
        } else if ((arg == "--pause" || arg == "--resume" || arg == "--stop") && hasValue) {
            options.actions.push_back({std::strtod(argv[++i], nullptr), arg[2], 0});
        } else if (!arg.empty() && arg[0] != '-' && options.file.empty()) {
            options.file = arg;
        } else {
            return false;
        }
    }
    std::sort(options.actions.begin(), options.actions.end(),
              [](const TAction& a, const TAction& b) { return a.at < b.at; });
    return !options.file.empty();
}

std::string LibraryFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return {};
    }
    const auto folder = exe.parent_path() / "LibAV";
    return std::filesystem::is_directory(folder, ec) ? folder.string() : std::string();
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One playback from Open to the closing figures; driven by a headless loop or a Qt timer.
class TSession {
public:
    TSession(const TOptions& options, IPictureSink& sink) : options_(options), sink_(sink) {
        player_.SetAspectRatio(options.aspect);
        player_.SetDisableAudio(options.noAudio);
        player_.SetOnState([this](TCustomPlayer&, TPlayState state) {
            if (!options_.quiet) {
                std::printf("t=%.3f state=%s\n", Elapsed(), kStateNames[state]);
            }
            if (state == psEnd || state == psStop) {
                finished_ = true;
            }
        });
        player_.SetOnPosition([this](TCustomPlayer&, std::int64_t pts) {
            if (!options_.quiet && Elapsed() >= nextPositionLine_) {
                nextPositionLine_ = Elapsed() + 0.5;
                std::printf("t=%.3f position=%.3f\n", Elapsed(), pts / 1e6);
            }
        });
    }

    bool Open() {
        if (!player_.LoadLibraries(LibraryFolder())) {
            std::fprintf(stderr, "%s\n", player_.LastErrorText().c_str());
            return false;
        }
        start_ = std::chrono::steady_clock::now();
        cpuStart_ = CpuSeconds();
        if (!player_.Open(options_.file, &sink_, options_.startPaused)) {
            std::fprintf(stderr, "%s\n", player_.LastErrorText().c_str());
            return false;
        }
        return true;
    }

    // Runs the actions that are due; false once playing is over.
    bool Tick() {
        while (nextAction_ < options_.actions.size() &&
               Elapsed() >= options_.actions[nextAction_].at) {
            const TAction& action = options_.actions[nextAction_++];
            switch (action.kind) {
            case 'k':
                player_.Seek(0, false, static_cast<std::int64_t>(action.value * 1e6));
                break;
            case 'p':
                player_.Pause();
                break;
            case 'r':
                player_.Resume();
                break;
            default:
                return false;
            }
        }
        return !finished_;
    }

    void Finish() {
        const TPlayerStatistics stats = player_.Statistics();
        const double wall = Elapsed();
        const double cpu = CpuSeconds() - cpuStart_;
        player_.Stop(true);
        std::printf("wall_s=%.3f cpu_s=%.3f cpu_per_s=%.3f device_stalls=%lld\n", wall, cpu,
                    cpu / wall, static_cast<long long>(stats.deviceStalls));
        std::printf("shown=%lld dropped=%lld drift_max_ms=%.1f drift_mean_ms=%.1f "
                    "decode_fps=%.1f\n",
                    static_cast<long long>(stats.shown), static_cast<long long>(stats.dropped),
                    stats.driftMaxMs, stats.driftMeanMs, stats.decoded / wall);
        std::fflush(stdout);
    }

private:
    double Elapsed() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

    const TOptions& options_;
    IPictureSink& sink_;
    TFFPlayer player_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    double cpuStart_ = 0;
    double nextPositionLine_ = 0;
    size_t nextAction_ = 0;
    bool finished_ = false;
};

int RunHeadless(const TOptions& options) {
    THeadlessPictureSink sink(options.width, options.height);
    TSession session(options, sink);
    if (!session.Open()) {
        return 1;
    }
    // This program's event loop: posted player events run between the ticks.
    while (session.Tick()) {
        TMainThread::RunUntil([] { return false; }, std::chrono::milliseconds(5));
    }
    session.Finish();
    return 0;
}

#ifdef PLAY_WITH_WINDOW
int RunWindow(const TOptions& options, int argc, char** argv) {
    QApplication app(argc, argv);
    TQtMainThreadWaker waker;
    TVideoWidget widget;
    widget.setWindowTitle(QString::fromStdString(options.file));
    widget.resize(options.width, options.height);
    widget.show();
    TSession session(options, widget);
    if (!session.Open()) {
        return 1;
    }
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!session.Tick() || !widget.isVisible()) {
            app.quit();
        }
    });
    timer.start(5);
    app.exec();
    session.Finish();
    return 0;
}
#endif

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || !ParseOptions(argc, argv, options)) {
        PrintUsage();
        return argc < 2 || std::strcmp(argv[1], "--help") != 0 ? 2 : 0;
    }
    if (options.window) {
#ifdef PLAY_WITH_WINDOW
        return RunWindow(options, argc, argv);
#else
        std::fputs("play: built without the window\n", stderr);
        return 2;
#endif
    }
    return RunHeadless(options);
}
