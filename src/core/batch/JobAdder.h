#pragma once

#include "FFEncoder.h"
#include "JobRecord.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class TJobList;
class TSettings;

struct TJobAddResult {
    int Requested = 0; // paths handed to Start
    int Added = 0;
    bool Cancelled = false;
};

// Adds source files to the job list the way the Add command does: folders and paths already
// listed are skipped, every other file is opened and probed through an encoder component of
// its own on a worker thread (files that cannot be opened are skipped without a message),
// and each probed file becomes a checked row, in the given order, with its length (its output
// name is the destination names' to predict). Rows are appended on the main thread as the files are
// probed, so a window showing the list stays responsive; the add can be cancelled between two
// files.
class TJobAdder {
public:
    using TProgress = std::function<void(int done, int total)>;
    using TFinished = std::function<void(const TJobAddResult&)>;

    TJobAdder(TJobList& list, TSettings& settings, std::string catalogFile);
    ~TJobAdder();
    TJobAdder(const TJobAdder&) = delete;
    TJobAdder& operator=(const TJobAdder&) = delete;

    // Starts adding. progress is called after every probed file, finished once at the end
    // (both on the main thread; finished may come before Start returns when nothing is left
    // to probe). False, with nothing called, when the media libraries are not loaded (the
    // program loads them at start) or an add is already running.
    bool Start(const std::vector<std::string>& paths, TProgress progress, TFinished finished);
    // Rows already added stay; the file being probed is the last one looked at.
    void Cancel();
    bool Busy() const { return busy_; }

private:
    struct TCandidate {
        int order = 0; // position in the selection
        std::string path;
    };
    struct TProbed {
        TCandidate candidate;
        bool opened = false;
        int seconds = 0;
        TProbedSource source;
    };

    void Run(std::vector<TCandidate> candidates);
    TProbed Probe(const TCandidate& candidate);
    void Deliver(const TProbed& probed);
    void Finish();
    void JoinWorker();

    TJobList& list_;
    TSettings& settings_;
    std::string catalogFile_;
    TFFEncoder probe_; // used by the worker only while an add runs

    std::thread worker_;
    std::atomic<bool> cancel_{false};
    bool busy_ = false;
    // Expires with the adder, so calls it queued for the main thread do nothing after it.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

    TProgress progress_;
    TFinished finished_;
    TJobAddResult result_;
    int done_ = 0;
    int total_ = 0;
    std::string zoomMode_;
};
