#include "CustomFFEncoder.h"

#include "EncoderMessages.h"
#include "ExtOptions.h"
#include "FFmpegException.h"
#include "LibrarySet.h"
#include "MainThread.h"
#include "MediaUtils.h"
#include "OutputOptionTable.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace {

// Set while this thread runs inside one of the component's task calls (a conversion run on the
// caller's thread, or a handler called from a task's own thread): tasks cleared then must
// outlive the call.
thread_local const TCustomFFEncoder* tInsideTaskCall = nullptr;

class InsideTaskCall {
public:
    explicit InsideTaskCall(const TCustomFFEncoder* encoder) : previous_(tInsideTaskCall) {
        tInsideTaskCall = encoder;
    }
    ~InsideTaskCall() { tInsideTaskCall = previous_; }
    InsideTaskCall(const InsideTaskCall&) = delete;
    InsideTaskCall& operator=(const InsideTaskCall&) = delete;

private:
    const TCustomFFEncoder* previous_;
};

const char* const kOutputStreamLines[] = {"acodec", "vcodec", "scodec", "apre",
                                          "vpre",   "spre",   "s",      "vf"};

bool IsCodecLine(const std::string& name) {
    return name == "acodec" || name == "vcodec" || name == "scodec" || name == "s";
}

bool IsMergedLine(const std::string& name) {
    return name == "newvideo" || name == "newaudio" || name == "newsubtitle" || name == "apre" ||
           name == "vpre" || name == "spre" || name == "vfilters" || name == "vf";
}

// ExtOptions lines through SetOption; codec lines only when asked for.
void ApplyExtOptions(TFFmpeg& task, const std::string& text, bool withCodecLines) {
    for (const auto& [name, value] : ParseExtOptions(text)) {
        if (IsMergedLine(name) || (IsCodecLine(name) && !withCodecLines)) {
            continue;
        }
        task.SetOption(name, value);
    }
}

std::string TargetKind(int target) {
    switch (target) {
    case 1:
        return "vcd";
    case 2:
        return "svcd";
    case 3:
        return "dvd";
    default:
        return {};
    }
}

} // namespace

TCustomFFEncoder::TCustomFFEncoder() = default;

TCustomFFEncoder::~TCustomFFEncoder() {
    // Running conversions end first, with their events, while the component is whole.
    Stop(true);
    delivery_.WaitIdle();
    std::vector<std::unique_ptr<TFFmpeg>> tasks;
    {
        std::lock_guard terminate(terminateLock_);
        std::lock_guard list(listMutex_);
        tasks = tasks_.TakeAll();
    }
    tasks.clear();
    retired_.clear();
    alive_.reset();
}

bool TCustomFFEncoder::LoadLibraries(const std::string& folder) {
    std::string error;
    if (LoadLibrarySet(EncoderLibraries, folder, error)) {
        return true;
    }
    std::lock_guard lock(errorMutex_);
    lastErrorText_ = error;
    return false;
}

bool TCustomFFEncoder::LibrariesLoaded() const {
    return LibrarySetLoaded(EncoderLibraries);
}

std::string TCustomFFEncoder::Version() {
    return encodermsg::EncoderVersion;
}

std::string TCustomFFEncoder::LastErrorText() const {
    std::lock_guard lock(errorMutex_);
    return lastErrorText_;
}

int TCustomFFEncoder::TaskCount() const {
    std::lock_guard lock(listMutex_);
    return tasks_.Count();
}

const TFFmpeg* TCustomFFEncoder::Task(int taskIndex) const {
    std::lock_guard lock(listMutex_);
    return tasks_.Item(taskIndex);
}

TAVProbe* TCustomFFEncoder::InputProbe(int taskIndex, int fileIndex) const {
    std::lock_guard lock(listMutex_);
    const TFFmpeg* task = tasks_.Item(taskIndex);
    return task != nullptr ? task->InputProbe(fileIndex) : nullptr;
}

void TCustomFFEncoder::CheckNotWorking(const char* operation) const {
    if (batchActive_) {
        throw FFmpegException(Format(encodermsg::CannotWhileWorking, operation));
    }
}

std::uint8_t TCustomFFEncoder::PreviewFlagsValue() const {
    return static_cast<std::uint8_t>((preview_ ? PreviewWindowFlag : 0) |
                                     (previewBitmap_ ? PreviewBitmapFlag : 0));
}

void TCustomFFEncoder::SetPreview(bool value) {
    preview_ = value;
    std::lock_guard lock(listMutex_);
    for (int i = 0; i < tasks_.Count(); ++i) {
        tasks_.Item(i)->SetPreviewFlags(PreviewFlagsValue());
    }
}

void TCustomFFEncoder::SetPreviewBitmap(bool value) {
    previewBitmap_ = value;
    std::lock_guard lock(listMutex_);
    for (int i = 0; i < tasks_.Count(); ++i) {
        tasks_.Item(i)->SetPreviewFlags(PreviewFlagsValue());
    }
}

void TCustomFFEncoder::SetProgressInterval(int milliseconds) {
    progressInterval_ = std::max(milliseconds, 100);
}

int TCustomFFEncoder::IndexOf(const TCustomFFmpeg& task) const {
    std::lock_guard lock(listMutex_);
    return tasks_.IndexOf(&task);
}

void TCustomFFEncoder::InstallHandlers(TFFmpeg& task, bool queued) {
    if (queued) {
        task.ResetQueued();
    } else {
        task.Reset();
    }
    task.SetVerbose(1);
    task.SetPreviewFlags(PreviewFlagsValue());
    task.PreviewBitmapHandler = [this](TCustomFFmpeg& sender, const TBitmap24& bitmap,
                                       std::int64_t pts, int frameNumber) {
        DoPreviewBitmap(sender, bitmap, frameNumber, pts);
    };
    task.ProgressHandler = [this](TCustomFFmpeg& sender, int fileIndex, int frameNumber, int fps,
                                  float quality, float bitRate, std::int64_t size,
                                  std::int64_t time, std::int64_t total) {
        DoProgress(sender, fileIndex, frameNumber, fps, quality, bitRate, size, time, total);
    };
    task.TerminateHandler = [this](TCustomFFmpeg& sender) { DoTerminate(&sender); };
}

void TCustomFFEncoder::OpenInput(TFFmpeg& task, const std::string& fileName,
                                 const TInputOptions* inputOptions) {
    std::string name = fileName;
    if (inputOptions != nullptr) {
        TInputOptions options = *inputOptions;
        if (options.FileName.empty()) {
            options.FileName = fileName;
        }
        name = options.FileName;
        task.InputOptions[0] = std::make_unique<const TInputOptions>(options);
        ApplyExtOptions(task, options.ExtOptions, true);
        task.SetFormat(options.FileFormat);
        task.SetStartTime(options.StartTime);
        task.SetProgramId(options.ProgramID);
    }
    if (!task.OpenInputFile(name)) {
        throw FFmpegException(task.LastErrorText());
    }
    const int input = task.InputFileCount() - 1;
    task.ProbeOf(input).AttachContext(task.InputContext(input));
}

int TCustomFFEncoder::AddTask(const std::string& fileName, const TInputOptions* inputOptions) {
    CheckNotWorking("AddTask");
    DestroyRetired();
    auto task = std::make_unique<TFFmpeg>();
    try {
        InstallHandlers(*task);
        OpenInput(*task, fileName, inputOptions);
    } catch (const std::exception& e) {
        std::lock_guard lock(errorMutex_);
        lastErrorText_ = e.what();
        return -1;
    }
    std::lock_guard lock(listMutex_);
    return tasks_.Add(std::move(task));
}

int TCustomFFEncoder::AddQueuedTask(TQueuedTask queued) {
    CheckNotWorking("AddQueuedTask");
    DestroyRetired();
    auto task = std::make_unique<TFFmpeg>();
    try {
        InstallHandlers(*task, true);
    } catch (const std::exception& e) {
        std::lock_guard lock(errorMutex_);
        lastErrorText_ = e.what();
        return -1;
    }
    // Kept for inspection before the start (the format, the frame size), and read from here
    // when the task prepares.
    if (queued.Input) {
        task->InputOptions[0] = std::make_unique<const TInputOptions>(std::move(*queued.Input));
    }
    task->OutputOptions[0] = std::make_unique<const TOutputOptions>(std::move(queued.Output));
    TFFmpeg* raw = task.get();
    // What remains of the queued record goes once the task has prepared.
    task->PrepareHandler = [this, raw, inputFile = std::move(queued.InputFile),
                            choose = std::move(queued.ChooseOutput)](TCustomFFmpeg&) mutable {
        const std::string file = std::exchange(inputFile, std::string());
        const TChooseOutput chooser = std::exchange(choose, nullptr);
        PrepareQueued(*raw, file, chooser);
    };
    std::lock_guard lock(listMutex_);
    return tasks_.Add(std::move(task));
}

void TCustomFFEncoder::PrepareQueued(TFFmpeg& task, const std::string& inputFile,
                                     const TChooseOutput& chooseOutput) {
    const int index = IndexOf(task);
    WaitForTurn(task, index);
    struct Turn {
        TCustomFFEncoder& encoder;
        int index;
        ~Turn() { encoder.TurnTaken(index); }
    } turn{*this, index};
    if (task.StopRequested()) {
        return;
    }
    TOutputOptions output = *task.OutputOptions[0];
    task.OutputOptions[0].reset();
    if (chooseOutput) {
        output.FileName = chooseOutput(index);
    }
    // OpenInput keeps its own copy in the slot.
    std::optional<TInputOptions> input;
    if (task.InputOptions[0]) {
        input = *task.InputOptions[0];
    }
    OpenInput(task, inputFile, input ? &*input : nullptr);
    OpenOutput(task, output.FileName, &output);
}

void TCustomFFEncoder::WaitForTurn(const TFFmpeg& task, int index) {
    std::unique_lock lock(turnMutex_);
    turnChanged_.wait(lock, [&] { return turnFront_ >= index || task.StopRequested(); });
}

void TCustomFFEncoder::TurnTaken(int index) {
    {
        std::lock_guard lock(turnMutex_);
        if (index < 0 || index >= static_cast<int>(turnTaken_.size())) {
            return;
        }
        turnTaken_[static_cast<size_t>(index)] = 1;
        while (turnFront_ < static_cast<int>(turnTaken_.size()) &&
               turnTaken_[static_cast<size_t>(turnFront_)] != 0) {
            ++turnFront_;
        }
    }
    turnChanged_.notify_all();
}

bool TCustomFFEncoder::SetOutputFile(int taskIndex, const std::string& fileName,
                                     const TOutputOptions* outputOptions) {
    CheckNotWorking("SetOutputFile");
    TFFmpeg* task = nullptr;
    {
        std::lock_guard lock(listMutex_);
        task = tasks_.Item(taskIndex);
    }
    if (task == nullptr) {
        std::lock_guard lock(errorMutex_);
        lastErrorText_ = Format(encodermsg::InvalidTaskIndex, taskIndex);
        return false;
    }
    try {
        OpenOutput(*task, fileName, outputOptions);
        return true;
    } catch (const std::exception& e) {
        std::lock_guard lock(errorMutex_);
        lastErrorText_ = e.what();
        return false;
    }
}

void TCustomFFEncoder::OpenOutput(TFFmpeg& task, const std::string& fileName,
                                  const TOutputOptions* outputOptions) {
    if (task.OutputFileCount() >= MaxFiles) {
        throw FFmpegException(Format(encodermsg::MaxOutputFiles, MaxFiles));
    }
    const int slot = task.OutputFileCount();
    if (outputOptions == nullptr) {
        task.OutputOptions[slot].reset();
        if (task.OpenOutputFile(fileName, false) < 0) {
            throw FFmpegException(task.LastErrorText());
        }
        return;
    }
    TOutputOptions options = *outputOptions;
    if (options.FileName.empty()) {
        options.FileName = fileName;
    }
    task.OutputOptions[slot] = std::make_unique<const TOutputOptions>(options);

    // Per-stream defaults: the record's fields, else the first ExtOptions line of the name.
    std::map<std::string, std::string> defaults = {
        {"acodec", options.AudioCodec},    {"vcodec", options.VideoCodec},
        {"scodec", options.SubtitleCodec}, {"apre", options.AudioPreset},
        {"vpre", options.VideoPreset},     {"spre", options.SubtitlePreset},
        {"s", options.FrameSize},          {"vf", options.VideoFilters}};
    std::vector<std::pair<std::string, std::string>> pendingLines;
    for (auto [name, value] : ParseExtOptions(options.ExtOptions)) {
        if (name == "vfilters") {
            name = "vf";
        }
        if (value.empty() || std::find(std::begin(kOutputStreamLines), std::end(kOutputStreamLines),
                                       name) == std::end(kOutputStreamLines)) {
            continue;
        }
        if (defaults[name].empty()) {
            defaults[name] = value;
        }
        pendingLines.emplace_back(name, value);
    }

    if (const std::string kind = TargetKind(options.Target); !kind.empty()) {
        const char* norm = options.TargetNorm == 1   ? "pal"
                           : options.TargetNorm == 2 ? "ntsc"
                                                     : "auto";
        task.SetTarget(kind, norm, options.TargetDefaultNorm == 1 ? "pal" : "ntsc");
    }
    const auto setDefault = [&](const std::string& name) {
        if (!defaults[name].empty()) {
            task.SetOption(name, defaults[name]);
        }
    };
    setDefault("acodec");
    setDefault("vcodec");
    setDefault("scodec");
    task.ApplyPreset("apre", defaults["apre"]);
    task.ApplyPreset("vpre", defaults["vpre"]);
    task.ApplyPreset("spre", defaults["spre"]);
    ApplyExtOptions(task, options.ExtOptions, false);
    TOutputOptionTable::Apply(task, options);
    setDefault("s");
    setDefault("vf");
    if (options.Hook) {
        task.CustomHookHandler = [this](TCustomFFmpeg& sender, TBitmap24& bitmap, bool& stopHook,
                                        bool& update, std::int64_t pts, int frameNumber) {
            DoCustomHook(sender, bitmap, frameNumber, pts, update, stopHook);
        };
    }
    if (task.OpenOutputFile(options.FileName, options.Join) < 0) {
        task.OutputOptions[slot].reset();
        throw FFmpegException(task.LastErrorText());
    }
    // Further streams: each "new..." line takes the waiting lines of its kind first.
    auto applyPending = [&](const std::string& name) {
        auto it = std::find_if(pendingLines.begin(), pendingLines.end(),
                               [&](const auto& p) { return p.first == name; });
        if (it != pendingLines.end()) {
            const std::string value = it->second;
            pendingLines.erase(it);
            task.SetOption(name, value);
        } else if (!defaults[name].empty()) {
            task.SetOption(name, defaults[name]);
        }
    };
    for (const auto& [name, value] : ParseExtOptions(options.ExtOptions)) {
        if (name == "newaudio") {
            applyPending("acodec");
            applyPending("apre");
        } else if (name == "newvideo") {
            applyPending("vcodec");
            applyPending("vpre");
            applyPending("s");
            applyPending("vf");
        } else if (name == "newsubtitle") {
            applyPending("scodec");
            applyPending("spre");
        } else {
            continue;
        }
        task.SetOption(name, value);
    }
}

void TCustomFFEncoder::RemoveTask(int taskIndex) {
    CheckNotWorking("RemoveTask");
    std::unique_ptr<TFFmpeg> task;
    {
        std::lock_guard lock(listMutex_);
        if (tasks_.Item(taskIndex) == nullptr) {
            return;
        }
        task = tasks_.Extract(taskIndex);
    }
    task.reset();
}

void TCustomFFEncoder::ClearTasks() {
    {
        // Under the lock: the end of the batch is marked before its event is handed over, and
        // the hand-over must be seen by the wait below.
        std::lock_guard terminate(terminateLock_);
        if (batchActive_ && !allTerminated_) {
            throw FFmpegException(Format(encodermsg::CannotWhileWorking, "ClearTasks"));
        }
    }
    // A terminate event of this batch must not reach the handler after the list changed (it
    // would be taken for a task of the next batch).
    delivery_.WaitIdle();
    std::vector<std::unique_ptr<TFFmpeg>> cleared;
    {
        std::lock_guard terminate(terminateLock_);
        std::lock_guard list(listMutex_);
        cleared = tasks_.TakeAll();
        finishedCount_ = 0;
        nextTask_ = -1;
        pendingTasks_ = 0;
        allTerminated_ = false;
        threaded_ = false;
        batchActive_ = false;
    }
    {
        std::lock_guard lock(errorMutex_);
        lastErrorText_.clear();
    }
    if (tInsideTaskCall == this) {
        // Called from inside a task's own call (the end-of-batch handler of a run on the
        // caller's thread): the tasks must outlive that call.
        for (auto& task : cleared) {
            retired_.push_back(std::move(task));
        }
        return;
    }
    cleared.clear();
    DestroyRetired();
}

void TCustomFFEncoder::DestroyRetired() {
    if (tInsideTaskCall != this) {
        retired_.clear();
    }
}

void TCustomFFEncoder::StartTask(int threadCount) {
    int startNow = 0;
    {
        std::lock_guard terminate(terminateLock_);
        CheckNotWorking("StartTask");
        DestroyRetired();
        finishedCount_ = 0;
        nextTask_ = 0;
        pendingTasks_ = TaskCount();
        {
            std::lock_guard turn(turnMutex_);
            turnTaken_.assign(static_cast<size_t>(pendingTasks_), 0);
            turnFront_ = 0;
        }
        allTerminated_ = false;
        threaded_ = threadCount > 0;
        batchActive_ = true;
        if (pendingTasks_ == 0) {
            // Nothing to run: the batch ends at once rather than staying active forever.
            EndOfBatch();
            return;
        }
        // ThreadCount tasks start now; each further one when a task ends.
        startNow = threaded_ ? std::min(threadCount, pendingTasks_) : 0;
    }
    if (threaded_) {
        // Started with no lock of the component held: a task's own locks are never taken
        // inside the component's.
        for (int i = 0; i < startNow; ++i) {
            StartNextTask();
        }
        return;
    }
    {
        InsideTaskCall inside(this);
        while (true) {
            {
                std::lock_guard terminate(terminateLock_);
                if (pendingTasks_ <= 0) {
                    break;
                }
            }
            StartNextTask(); // runs the task to its end on this thread
        }
    }
    DestroyRetired();
}

void TCustomFFEncoder::StartNextTask() {
    TFFmpeg* task = nullptr;
    {
        std::lock_guard terminate(terminateLock_);
        if (pendingTasks_ <= 0) {
            return;
        }
        --pendingTasks_;
        {
            std::lock_guard list(listMutex_);
            task = tasks_.Item(nextTask_);
        }
        // Claimed before the start: a task that ends inside Start hands over correctly.
        ++nextTask_;
    }
    if (task == nullptr) {
        return;
    }
    task->SetVerbose(task->Verbose());
    task->SetReportInterval(static_cast<std::int64_t>(progressInterval_) * 1000);
    if (threaded_) {
        if (TConvertThread* thread = task->Start(true, priority_)) {
            thread->Resume();
        }
    } else {
        // Stop from another thread must not wait for a whole conversion: no lock held here.
        task->Start(false, priority_);
    }
}

void TCustomFFEncoder::DoTerminate(TCustomFFmpeg* task) {
    TTerminateInfo info;
    if (task != nullptr) {
        // Read before the terminate lock: the task's own locks are never taken inside it.
        info.TaskIndex = IndexOf(*task);
        info.Finished = task->Finished();
        info.Exception = task->HasError();
        info.ExceptionMsg = info.Exception ? task->ErrorMessage() : std::string();
    }
    if (TakeTerminate(task, info)) {
        StartNextTask();
    }
}

bool TCustomFFEncoder::TakeTerminate(TCustomFFmpeg* task, const TTerminateInfo& info) {
    std::lock_guard terminate(terminateLock_);
    if (task == nullptr) {
        EndOfBatch();
        return false;
    }
    // A task that ended without preparing (stopped first) must not hold up the later ones.
    TurnTaken(info.TaskIndex);
    DeliverTerminate(info, task);
    ++finishedCount_;
    if (pendingTasks_ > 0) {
        return threaded_;
    }
    if (finishedCount_ >= TaskCount()) {
        EndOfBatch();
    }
    return false;
}

void TCustomFFEncoder::EndOfBatch() {
    // Set first, so that the handler may clear the tasks.
    allTerminated_ = true;
    if (OnTerminate) {
        TTerminateInfo info;
        info.TaskIndex = -1;
        info.Finished = true;
        DeliverTerminate(info, nullptr);
    }
}

void TCustomFFEncoder::DeliverTerminate(const TTerminateInfo& info, TCustomFFmpeg* task) {
    if (!threaded_) {
        if (OnTerminate) {
            InsideTaskCall inside(this);
            OnTerminate(*this, info);
        }
        return;
    }
    // In threaded runs the handler never runs on the ending conversion thread, and that thread
    // never waits for it. The ended thread is joined here, so that its stack goes now and not
    // with the task list (thousands of tasks in a long batch); the tasks outlive this call,
    // since clearing them waits until the delivery is idle.
    delivery_.Post([this, handler = OnTerminate, info, task] {
        if (handler) {
            handler(*this, info);
        }
        if (task != nullptr) {
            task->JoinEndedThread();
        }
    });
}

std::vector<TFFmpeg*> TCustomFFEncoder::ListedTasks() const {
    std::lock_guard lock(listMutex_);
    std::vector<TFFmpeg*> tasks;
    tasks.reserve(static_cast<size_t>(tasks_.Count()));
    for (int i = 0; i < tasks_.Count(); ++i) {
        tasks.push_back(tasks_.Item(i));
    }
    return tasks;
}

void TCustomFFEncoder::Pause() {
    // The list changes only through calls of this thread; the tasks' locks are taken without
    // the list's.
    for (TFFmpeg* task : ListedTasks()) {
        task->Pause();
    }
}

void TCustomFFEncoder::Resume() {
    for (TFFmpeg* task : ListedTasks()) {
        task->Resume();
    }
}

void TCustomFFEncoder::Stop(bool wait) {
    int firstUnstarted = 0;
    bool active = false;
    {
        std::lock_guard terminate(terminateLock_);
        pendingTasks_ = 0;
        active = batchActive_;
        firstUnstarted = std::max(nextTask_, 0);
    }
    const std::vector<TFFmpeg*> tasks = ListedTasks();
    std::vector<TFFmpeg*> stopped;
    for (int i = 0; i < static_cast<int>(tasks.size()); ++i) {
        TFFmpeg* task = tasks[static_cast<size_t>(i)];
        if (active && i >= firstUnstarted) {
            // Will never start: its notice is given here, with no thread of its own.
            task->CancelUnstarted();
        } else {
            task->Stop(false);
            stopped.push_back(task);
        }
    }
    {
        // A task waiting for its turn sees its stop request.
        std::lock_guard turn(turnMutex_);
    }
    turnChanged_.notify_all();
    if (wait) {
        for (TFFmpeg* task : stopped) {
            task->Stop(true);
        }
    }
}

void TCustomFFEncoder::DoProgress(TCustomFFmpeg& task, int fileIndex, int frameNumber, int fps,
                                  float quality, float bitRate, std::int64_t currentSize,
                                  std::int64_t currentDuration, std::int64_t totalDuration) {
    if (!OnProgress) {
        return;
    }
    TProgressInfo info{IndexOf(task), fileIndex,   frameNumber,     fps,          quality,
                       bitRate,       currentSize, currentDuration, totalDuration};
    if (triggerInMainThread_) {
        // The handler is looked up when the copy arrives: it may have been removed meanwhile.
        TMainThread::Post([this, alive = std::weak_ptr<int>(alive_), info]() mutable {
            if (alive.lock() && OnProgress) {
                OnProgress(*this, &info);
            }
        });
    } else {
        InsideTaskCall inside(this);
        OnProgress(*this, &info);
    }
}

void TCustomFFEncoder::DoPreviewBitmap(TCustomFFmpeg& task, const TBitmap24& bitmap,
                                       int frameNumber, std::int64_t pts) {
    if (!OnPreviewBitmap) {
        return;
    }
    const int index = IndexOf(task);
    if (triggerInMainThread_) {
        TMainThread::Post(
            [this, alive = std::weak_ptr<int>(alive_), index, copy = bitmap, frameNumber, pts] {
                if (alive.lock() && OnPreviewBitmap) {
                    OnPreviewBitmap(*this, TPreviewInfo{index, &copy, frameNumber, pts});
                }
            });
    } else {
        InsideTaskCall inside(this);
        OnPreviewBitmap(*this, TPreviewInfo{index, &bitmap, frameNumber, pts});
    }
}

void TCustomFFEncoder::DoCustomHook(TCustomFFmpeg& task, TBitmap24& bitmap, int frameNumber,
                                    std::int64_t pts, bool& update, bool& stopHook) {
    if (!OnCustomHook) {
        return;
    }
    // Per call: several tasks may run their hooks at once.
    THookInfo info{IndexOf(task), &bitmap, frameNumber, pts, update, stopHook};
    {
        InsideTaskCall inside(this);
        OnCustomHook(*this, &info);
    }
    update = info.Update;
    stopHook = info.StopHook;
}
