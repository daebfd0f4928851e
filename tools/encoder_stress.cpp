// encoder_stress: runs batches of three short conversions at once through the encoder
// component with random Pause, Resume, Stop, StartTask and ClearTasks, and counts the terminate
// events of every batch: each task must get exactly one, the end of the batch one, and none may
// arrive after the batch's ClearTasks. Prints its figures; the exit code is 0 when nothing was
// amiss.
//
//   encoder_stress [--rounds N] [--seed S] [--clip FILE]

#include "FFEncoder.h"
#include "FFmpegException.h"
#include "FFmpegLoader.h"
#include "LibrarySet.h"
#include "MainThread.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kTasks = 3;

struct TOptions {
    int rounds = 300;
    std::uint32_t seed = 20261209;
    std::string clip;
};

// Events of one batch: index 0..kTasks-1 for the tasks, kTasks for the end of the batch.
struct TRound {
    std::array<int, kTasks + 1> events{};
    int unknown = 0; // an index no task of the batch has
};

bool ParseArguments(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            return false;
        }
        if (arg == "--rounds") {
            options.rounds = std::atoi(argv[++i]);
        } else if (arg == "--seed") {
            options.seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--clip") {
            options.clip = argv[++i];
        } else {
            return false;
        }
    }
    return options.rounds > 0;
}

// This program's event loop for a while: the random moments of the actions.
void Serve(std::chrono::milliseconds duration) {
    TMainThread::RunUntil([] { return false; }, duration);
}

bool ServeUntil(const std::function<bool()>& done, std::chrono::seconds timeout) {
    return TMainThread::RunUntil(done, timeout);
}

// Refused while a batch runs: the call must raise and change nothing.
int RefusedWhileRunning(const std::function<void()>& call) {
    try {
        call();
    } catch (const FFmpegException&) {
        return 0;
    }
    return 1;
}

class TStress {
public:
    explicit TStress(const TOptions& options)
        : options_(options), random_(options.seed), encoder_(std::make_unique<TFFEncoder>()) {
        rounds_.resize(options.rounds + 1);
        encoder_->OnTerminate = [this](TCustomFFEncoder&, const TTerminateInfo& info) {
            std::lock_guard lock(mutex_);
            TRound& round = rounds_[current_];
            if (info.TaskIndex == -1) {
                ++round.events[kTasks];
            } else if (info.TaskIndex >= 0 && info.TaskIndex < kTasks) {
                ++round.events[info.TaskIndex];
            } else {
                ++round.unknown;
            }
        };
        encoder_->OnProgress = [](TCustomFFEncoder&, PProgressInfo) {};
    }

    // Returns the number of anomalies.
    int Run() {
        int anomalies = 0;
        for (int round = 0; round < options_.rounds; ++round) {
            anomalies += RunRound(round);
        }
        return anomalies;
    }

    // Events of the batch that arrived after its ClearTasks (counted under the next batch),
    // duplicates and missing ones; counted once the component is gone, so that nothing can
    // still arrive.
    void Count(int& late, int& duplicates, int& missing, int& total) {
        encoder_.reset();
        std::lock_guard lock(mutex_);
        late = duplicates = missing = total = 0;
        for (int r = 0; r <= options_.rounds; ++r) {
            for (int e = 0; e <= kTasks; ++e) {
                const int n = rounds_[r].events[e];
                total += n;
                if (r == options_.rounds) {
                    late += n; // after the last batch: nothing may come
                } else if (n == 0) {
                    ++missing;
                } else {
                    duplicates += n - 1;
                }
            }
            late += rounds_[r].unknown;
        }
    }

private:
    int RunRound(int round) {
        int anomalies = 0;
        for (int i = 0; i < kTasks; ++i) {
            const int index = encoder_->AddTask(options_.clip, nullptr);
            TOutputOptions o;
            o.VideoCodec = "mpeg4";
            o.AudioCodec = "mp2";
            const std::string output =
                (std::filesystem::temp_directory_path() /
                 ("vantre-stress-" + std::to_string(::getpid()) + "-" + std::to_string(i) + ".mkv"))
                    .string();
            outputs_.push_back(output);
            if (index != i || !encoder_->SetOutputFile(index, output, &o)) {
                std::fprintf(stderr, "round %d: task %d: %s\n", round, i,
                             encoder_->LastErrorText().c_str());
                return 1;
            }
        }
        encoder_->StartTask(kTasks);
        const int actions = static_cast<int>(random_() % 6);
        for (int a = 0; a < actions; ++a) {
            Serve(std::chrono::milliseconds(random_() % 40));
            switch (random_() % 5) {
            case 0:
                encoder_->Pause();
                break;
            case 1:
                encoder_->Resume();
                break;
            case 2:
                encoder_->Stop(random_() % 2 == 0);
                break;
            case 3:
                if (!BatchEnded(round)) {
                    anomalies += RefusedWhileRunning([this] { encoder_->StartTask(1); });
                }
                break;
            default:
                // Refused until every task has ended; allowed once they have, and then every
                // event of the batch has been delivered when it returns.
                try {
                    encoder_->ClearTasks();
                    return anomalies + EndRound(round);
                } catch (const FFmpegException&) {
                }
                break;
            }
        }
        encoder_->Resume();
        if (!ServeUntil([&] { return BatchEnded(round); }, std::chrono::seconds(120))) {
            std::fprintf(stderr, "round %d did not end\n", round);
            return anomalies + 1;
        }
        // At once: the task events still on their way must arrive before ClearTasks returns.
        encoder_->ClearTasks();
        return anomalies + EndRound(round);
    }

    int EndRound(int round) {
        std::lock_guard lock(mutex_);
        const bool ended = rounds_[round].events[kTasks] > 0;
        ++current_;
        return ended ? 0 : 1;
    }

    bool BatchEnded(int round) {
        std::lock_guard lock(mutex_);
        return current_ == round && rounds_[round].events[kTasks] > 0;
    }

public:
    ~TStress() {
        std::error_code ec;
        for (const std::string& output : outputs_) {
            std::filesystem::remove(output, ec);
        }
    }

private:
    TOptions options_;
    std::mt19937 random_;
    std::mutex mutex_;
    std::vector<TRound> rounds_;
    int current_ = 0;
    std::vector<std::string> outputs_;
    // Last, so that it goes first: its threads use everything above.
    std::unique_ptr<TFFEncoder> encoder_;
};

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!ParseArguments(argc, argv, options)) {
        std::fputs("usage: encoder_stress [--rounds N] [--seed S] [--clip FILE]\n", stderr);
        return 2;
    }
    TMainThread::Claim();
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    if (!loader.Load(EncoderLibraries)) {
        std::fprintf(stderr, "%s\n", loader.LastErrorText().c_str());
        return 1;
    }
    std::string madeClip;
    if (options.clip.empty()) {
        madeClip = (std::filesystem::temp_directory_path() /
                    ("vantre-stress-clip-" + std::to_string(::getpid()) + ".mkv"))
                       .string();
        const std::string command =
            "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "
            "testsrc=duration=1:size=160x120:rate=25 -f lavfi -i sine=duration=1 -c:v mpeg4 "
            "-c:a mp2 '" +
            madeClip + "'";
        if (std::system(command.c_str()) != 0) {
            std::fputs("cannot make a clip with the ffmpeg tool\n", stderr);
            return 1;
        }
        options.clip = madeClip;
    }
    const auto start = std::chrono::steady_clock::now();
    int anomalies = 0;
    int late = 0, duplicates = 0, missing = 0, total = 0;
    {
        TStress stress(options);
        anomalies = stress.Run();
        stress.Count(late, duplicates, missing, total);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!madeClip.empty()) {
        std::filesystem::remove(madeClip);
    }
    std::printf("rounds: %d\ntasks per round: %d\nterminate events: %d\nmissing: %d\n"
                "duplicates: %d\nlate (after ClearTasks): %d\nother anomalies: %d\n"
                "seconds: %.1f\n",
                options.rounds, kTasks, total, missing, duplicates, late, anomalies, seconds);
    return missing == 0 && duplicates == 0 && late == 0 && anomalies == 0 ? 0 : 1;
}
