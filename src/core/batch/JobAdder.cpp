#include "JobAdder.h"

#include "AppMessages.h"
#include "BatchBuilder.h"
#include "CatalogKeys.h"
#include "FormatProfile.h"
#include "JobList.h"
#include "MainThread.h"
#include "Settings.h"

#include <filesystem>
#include <set>

namespace fs = std::filesystem;

TJobAdder::TJobAdder(TJobList& list, TSettings& settings, std::string catalogFile)
    : list_(list), settings_(settings), catalogFile_(std::move(catalogFile)) {}

TJobAdder::~TJobAdder() {
    alive_.reset();
    cancel_ = true;
    JoinWorker();
}

bool TJobAdder::Start(const std::vector<std::string>& paths, TProgress progress,
                      TFinished finished) {
    if (busy_ || !probe_.LibrariesLoaded()) {
        return false;
    }
    const int code = settings_.FormatCode();
    zoomMode_ = TFormatProfile(settings_.Ini().FileName(), catalogFile_, code)
                    .Read(catalogkey::Zoom, "lbox");

    std::vector<TCandidate> candidates;
    std::set<std::string> chosen;
    for (size_t i = 0; i < paths.size(); ++i) {
        std::error_code ec;
        const std::string& path = paths[i];
        if (path.empty() || fs::is_directory(path, ec) || list_.Contains(path) ||
            !chosen.insert(path).second) {
            continue;
        }
        candidates.push_back({static_cast<int>(i), path});
    }

    busy_ = true;
    cancel_ = false;
    progress_ = std::move(progress);
    finished_ = std::move(finished);
    result_ = TJobAddResult{};
    result_.Requested = static_cast<int>(paths.size());
    done_ = 0;
    total_ = static_cast<int>(candidates.size());
    if (candidates.empty()) {
        Finish();
        return true;
    }
    worker_ = std::thread(
        [this, candidates = std::move(candidates)]() mutable { Run(std::move(candidates)); });
    return true;
}

void TJobAdder::Cancel() {
    cancel_ = true;
}

void TJobAdder::Run(std::vector<TCandidate> candidates) {
    const std::weak_ptr<int> alive = alive_;
    for (const TCandidate& candidate : candidates) {
        if (cancel_) {
            break;
        }
        TProbed probed = Probe(candidate);
        TMainThread::Post([this, alive, probed = std::move(probed)] {
            if (!alive.expired()) {
                Deliver(probed);
            }
        });
    }
    TMainThread::Post([this, alive] {
        if (!alive.expired()) {
            Finish();
        }
    });
}

TJobAdder::TProbed TJobAdder::Probe(const TCandidate& candidate) {
    TProbed probed;
    probed.candidate = candidate;
    try {
        std::string error;
        probed.source = TBatchBuilder::ProbeSource(probe_.Probe(), candidate.path, error);
        if (!probed.source.Known) {
            return probed;
        }
        probed.seconds = probed.source.Seconds;
        probed.opened = true;
    } catch (const std::exception&) {
        probed.opened = false; // skipped like any file that cannot be opened
    }
    return probed;
}

void TJobAdder::Deliver(const TProbed& probed) {
    ++done_;
    if (probed.opened && !cancel_ && !list_.Contains(probed.candidate.path)) {
        auto record = std::make_unique<TlvFilesRecord>();
        record->AddOrder = probed.candidate.order;
        record->SourceFile = probed.candidate.path;
        record->LengthSeconds = probed.seconds;
        record->Probed = probed.source;
        record->ZoomMode = zoomMode_;
        list_.Append(std::move(record));
        ++result_.Added;
    }
    // A copy: the callback may run the event loop, and the add may end inside it.
    const TProgress progress = progress_;
    if (progress && !cancel_) {
        progress(done_, total_);
    }
}

void TJobAdder::Finish() {
    JoinWorker();
    busy_ = false;
    result_.Cancelled = cancel_;
    const TFinished finished = std::move(finished_);
    progress_ = nullptr;
    finished_ = nullptr;
    if (finished) {
        finished(result_);
    }
}

void TJobAdder::JoinWorker() {
    if (!worker_.joinable()) {
        return;
    }
    // A plain wait: the worker only posts to the main thread, never waits for it.
    worker_.join();
}
