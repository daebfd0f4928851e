#pragma once

// A home of its own for batch tests: data folder with the catalog, settings, output and
// snapshot folders, shared source clips, rows that record every cell change, and a listener
// that records the batch's events.

#include "BatchRowList.h"
#include "BatchRun.h"
#include "Event.h"
#include "GlobalObject.h"
#include "Settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace batch_test {

// A fixture made once for all test processes of a build: written under a temporary name and
// renamed, so a process never sees half a file.
inline std::string SharedFixture(const std::string& name,
                                 const std::function<void(const std::string&)>& make) {
    const std::string path = std::string(CLIP_FOLDER) + "/" + name;
    if (!std::filesystem::exists(path)) {
        const std::string part = path + ".part-" + std::to_string(::getpid()) +
                                 std::filesystem::path(name).extension().string();
        make(part);
        std::filesystem::rename(part, path);
    }
    return path;
}

// One second of 160x120 picture and sound.
inline std::string ShortClip() {
    return SharedFixture("batch-clip.mp4", [](const std::string& path) {
        testing_support::MakeClip(path, 1, 160, 120, 25, 44100, "-c:v mpeg4 -c:a aac");
    });
}

// A sound the resampler refuses: a hundred channels, so the task fails while converting.
inline std::string HundredChannelWav() {
    return SharedFixture("batch-100ch.wav", [](const std::string& path) {
        const int channels = 100;
        const int rate = 8000;
        const std::string data(static_cast<size_t>(channels) * rate / 10 * 2, '\0');
        std::string wav = "RIFF";
        auto le = [&wav](std::uint32_t v, int n) {
            for (int i = 0; i < n; ++i) {
                wav += static_cast<char>((v >> (8 * i)) & 0xFF);
            }
        };
        le(36 + static_cast<std::uint32_t>(data.size()), 4);
        wav += "WAVEfmt ";
        le(16, 4);
        le(1, 2);
        le(channels, 2);
        le(rate, 4);
        le(rate * channels * 2, 4);
        le(channels * 2, 2);
        le(16, 2);
        wav += "data";
        le(static_cast<std::uint32_t>(data.size()), 4);
        std::ofstream(path, std::ios::binary) << wav << data;
    });
}

struct THome {
    testing_support::TempDir dir;
    TGlobalObject global{TUserPlaces{dir.Path(), ""}};
    TSettings settings{global};

    THome() {
        global.InstallCatalog(std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini");
        settings.SetOutputDir(dir.File("out"));
        settings.SetSnapOutputDir(dir.File("snap"));
        // MPEG-4 Video: mpeg4 and aac in MP4, quick to encode.
        settings.SetFormat("MPEG-4 Video (*.mp4)", 2302);
    }
};

// Rows that remember every change of a "Progress" cell.
class TRecordingRows : public TBatchRowList {
public:
    struct TChange {
        int Row;
        std::string Text;
    };
    std::vector<TChange> changes;

    void SetProgress(int row, const std::string& text, const std::string& tooltip) override {
        changes.push_back({row, text});
        TBatchRowList::SetProgress(row, text, tooltip);
    }
    bool Touched(int row) const {
        for (const TChange& change : changes) {
            if (change.Row == row) {
                return true;
            }
        }
        return false;
    }
};

struct TEventLog : IBatchListener {
    std::vector<TProgressInfo> progress;
    std::vector<TBatchJob> endedJobs;
    std::vector<TTerminateInfo> ends;
    std::vector<bool> lastTaskFlags;
    int previews = 0;
    int batchEnds = 0;
    bool stopped = false;
    std::function<void(const TProgressInfo&)> onProgress;
    std::function<void(const TBatchJob&)> onTaskEnd;

    void BatchProgress(const TProgressInfo& info) override {
        progress.push_back(info);
        if (onProgress) {
            onProgress(info);
        }
    }
    void BatchPreviewFrame() override { ++previews; }
    void BatchTaskEnded(const TBatchJob& job, const TTerminateInfo& info, bool last) override {
        endedJobs.push_back(job);
        ends.push_back(info);
        lastTaskFlags.push_back(last);
        if (onTaskEnd) {
            onTaskEnd(job);
        }
    }
    void BatchEnded(bool wasStopped) override {
        ++batchEnds;
        stopped = wasStopped;
    }
};

// Holds the conversion thread in its first picture hook until released, so a test can act
// at a known point of a conversion.
struct THookGate {
    TEvent entered;
    TEvent release;
    std::atomic<int> calls{0};

    void Hold() {
        if (calls++ == 0) {
            entered.Set();
            release.WaitFor(std::chrono::seconds(60));
        }
    }
};

} // namespace batch_test
