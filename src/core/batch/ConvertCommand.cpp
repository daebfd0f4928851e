#include "ConvertCommand.h"

#include "AppMessages.h"

#include "BatchRowList.h"
#include "BatchRun.h"
#include "CatalogFile.h"
#include "FFEncoder.h"
#include "FormatCatalog.h"
#include "GlobalObject.h"
#include "HardwareEncoders.h"
#include "MainThread.h"
#include "MediaUtils.h"
#include "Settings.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <ostream>
#include <unistd.h>

namespace {

// The last of SIGINT, SIGTERM, SIGHUP that arrived; 0 for none.
std::atomic<int> gSignal{0};

extern "C" void OnSignal(int signal) {
    // SIGINT stops and keeps what was converted; the others must not be lost to a later SIGINT.
    if (signal != SIGINT || gSignal.load() == 0) {
        gSignal = signal;
    }
}

// The handlers for the run's duration, the previous ones back at the end.
class TSignalHandlers {
public:
    TSignalHandlers() {
        gSignal = 0;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < kSignals.size(); ++i) {
            ::sigaction(kSignals[i], &action, &previous_[i]);
        }
    }
    ~TSignalHandlers() {
        for (size_t i = 0; i < kSignals.size(); ++i) {
            ::sigaction(kSignals[i], &previous_[i], nullptr);
        }
    }
    TSignalHandlers(const TSignalHandlers&) = delete;
    TSignalHandlers& operator=(const TSignalHandlers&) = delete;

private:
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> previous_{};
};

// Stops the run as the latest signal asks: SIGINT keeps the stopped outputs, SIGTERM and
// SIGHUP remove them.
void ObeySignal(TBatchRun& run, std::ostream& err, int& obeyed) {
    const int signal = gSignal.load();
    if (signal == 0 || signal == obeyed) {
        return;
    }
    if (signal == SIGINT) {
        if (!run.StopRequested()) {
            err << "vantre-convert: stopping\n";
            run.Stop();
        }
    } else {
        err << "vantre-convert: interrupted\n";
        run.Interrupt();
    }
    obeyed = signal;
}

// Prints a line per 5 % of each file's progress and one at each file's end.
class TProgressPrinter final : public IBatchListener {
public:
    TProgressPrinter(const TBatchRun& run, const std::vector<std::string>& files, std::ostream& out)
        : run_(run), files_(files), out_(out) {}

    void BatchProgress(const TProgressInfo& info) override {
        const TBatchProgress& progress = run_.Progress();
        const int percent = progress.TaskPercent(info.TaskIndex);
        if (info.FileIndex >= 0 && shown_.count(info.TaskIndex) &&
            percent < shown_[info.TaskIndex] + 5) {
            return;
        }
        shown_[info.TaskIndex] = percent;
        out_ << Format("[%d/%d] %s  %s  %d fps  ETA %s  all %d%%\n", info.TaskIndex + 1,
                       run_.TaskCount(), FileName(info.TaskIndex).c_str(),
                       percent >= 0 ? Format("%3d%%", percent).c_str() : "  ?%", progress.Fps(),
                       progress.RemainingFileText().c_str(), progress.OverallPercent());
        out_.flush();
    }

    void BatchTaskEnded(const TBatchJob& job, const TTerminateInfo& info, bool) override {
        out_ << Format("[%d/%d] %s  %s\n", info.TaskIndex + 1, run_.TaskCount(),
                       FileName(info.TaskIndex).c_str(),
                       job.Outcome == TJobOutcome::Converted     ? "100%  done"
                       : job.Outcome == TJobOutcome::Failed      ? "failed"
                       : job.Outcome == TJobOutcome::Interrupted ? "interrupted"
                                                                 : "stopped");
        out_.flush();
    }

private:
    std::string FileName(int task) const {
        const TBatchJob* job = run_.JobOfTask(task);
        const auto& jobs = run_.Jobs();
        const size_t k = job != nullptr ? static_cast<size_t>(job - jobs.data()) : files_.size();
        return k < files_.size() ? std::filesystem::path(files_[k]).filename().string() : "";
    }

    const TBatchRun& run_;
    const std::vector<std::string>& files_;
    std::ostream& out_;
    std::map<int, int> shown_; // task -> last percentage printed
};

// The largest number of seconds whose microseconds still fit a 64-bit time.
constexpr double kLargestSeconds = 9223372036854.0;

} // namespace

std::string TConvertCommand::OutputFolderProblem(const std::string& folder) {
    std::error_code ec;
    const auto status = std::filesystem::status(folder, ec);
    if (!std::filesystem::exists(status)) {
        return {}; // made when the first output is named
    }
    if (!std::filesystem::is_directory(status)) {
        return appmsg::OutputNotAFolder;
    }
    // Some folders (/proc/self) exist and cannot take a file: the system then answers "no
    // such file", which names the wrong problem.
    std::string probe = folder + "/.vantre-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        const int error = errno;
        return error == ENOENT ? std::string(appmsg::OutputNotWritable)
                               : Format(appmsg::OutputNotWritableBecause, std::strerror(error));
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

TConvertCommand::TConvertCommand(const TGlobalObject& global, std::ostream& out, std::ostream& err)
    : global_(global), out_(out), err_(err) {}

std::string TConvertCommand::HelpText() {
    return "Usage: vantre-convert --list-formats\n"
           "       vantre-convert --format CODE [--out DIR] [--zoom full|lbox|pan]\n"
           "                      [--trim-start S] [--trim-length S] [--jobs N|auto] FILE...\n"
           "\n"
           "Converts each FILE to the output format CODE (see --list-formats) with the\n"
           "settings of Vantre MP4 Video Converter: the format's profile as chosen in the\n"
           "desktop program, else the catalog's defaults.\n"
           "\n"
           "  --list-formats     print every format: code, device group, format\n"
           "  --format CODE      the output format\n"
           "  --out DIR          write the outputs into DIR (default: the program's output\n"
           "                     folder setting)\n"
           "  --zoom MODE        full (stretch), lbox (letterbox) or pan (pan and scan, 4:3);\n"
           "                     default: the format's profile\n"
           "  --trim-start S     start each file at S seconds\n"
           "  --trim-length S    convert S seconds of each file\n"
           "  --jobs N|auto      convert N files at once (1 to 16); auto (the default)\n"
           "                     picks the count from the cores and the format\n"
           "  --help             this text\n"
           "\n"
           "  --                 every argument after it is a FILE\n"
           "\n"
           "Outputs are named SOURCE_(new).EXT (SOURCE_(new_1).EXT ... when taken); sources\n"
           "are never overwritten. An output is written under a name ending in\n"
           ".unfinished-HOST-PID and gets its own name when complete. SIGINT stops and keeps\n"
           "the shorter outputs; SIGTERM and SIGHUP stop and remove them. The exit status is 0\n"
           "when every file converted, 1 when any failed or was stopped (its error is printed)\n"
           "or the report could not be written, 2 for a usage error.\n";
}

bool TConvertCommand::Parse(const std::vector<std::string>& args, TRequest& request, bool& listOnly,
                            bool& helpOnly) {
    listOnly = helpOnly = false;
    auto value = [&](size_t& i, const std::string& name) -> std::string {
        if (i + 1 >= args.size()) {
            throw std::invalid_argument(name + " needs a value");
        }
        return args[++i];
    };
    auto seconds = [&](size_t& i, const std::string& name) {
        double v = 0;
        // Beyond the largest time in microseconds the conversion would overflow.
        if (!TryStrToFloat(value(i, name), v) || !std::isfinite(v) || v < 0 ||
            v > kLargestSeconds) {
            throw std::invalid_argument(
                Format(appmsg::SecondsOutOfRange, name.c_str(), kLargestSeconds));
        }
        return v;
    };
    bool jobsGiven = false;
    try {
        bool optionsEnded = false;
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (optionsEnded) {
                request.files.push_back(a);
            } else if (a == "--") {
                optionsEnded = true;
            } else if (a == "--help" || a == "-h") {
                helpOnly = true;
            } else if (a == "--list-formats") {
                listOnly = true;
            } else if (a == "--format") {
                if (request.formatCode >= 0) {
                    throw std::invalid_argument("--format is given more than once");
                }
                int code = 0;
                if (!TryStrToInt(value(i, a), code) || !TFormatCatalog::IsFormatCode(code)) {
                    throw std::invalid_argument("unknown format " + args[i] +
                                                " (see --list-formats)");
                }
                request.formatCode = code;
            } else if (a == "--out") {
                request.outputFolder = value(i, a);
            } else if (a == "--zoom") {
                request.zoom = value(i, a);
                if (request.zoom != "full" && request.zoom != "lbox" && request.zoom != "pan") {
                    throw std::invalid_argument("--zoom takes full, lbox or pan");
                }
            } else if (a == "--jobs") {
                if (jobsGiven) {
                    throw std::invalid_argument("--jobs given twice");
                }
                jobsGiven = true;
                const std::string text = value(i, a);
                int count = 0;
                if (text == "auto") {
                    request.jobs = 0;
                } else if (TryStrToInt(text, count) && count >= 1 &&
                           count <= TSettings::MaxAtOnce) {
                    request.jobs = count;
                } else {
                    throw std::invalid_argument("--jobs takes auto or 1 to 16");
                }
            } else if (a == "--trim-start") {
                request.trimStart = seconds(i, a);
            } else if (a == "--trim-length") {
                request.trimLength = seconds(i, a);
            } else if (a.size() > 1 && a[0] == '-' && a != "-") {
                throw std::invalid_argument("unknown option " + a);
            } else {
                request.files.push_back(a);
            }
        }
        if (!helpOnly && !listOnly) {
            if (request.formatCode < 0) {
                throw std::invalid_argument("--format CODE is required");
            }
            if (request.files.empty()) {
                throw std::invalid_argument("no file to convert");
            }
        }
    } catch (const std::invalid_argument& e) {
        err_ << "vantre-convert: " << e.what() << "\n\n" << HelpText();
        return false;
    }
    return true;
}

int TConvertCommand::Run(const std::vector<std::string>& args) {
    TRequest request;
    bool listOnly = false;
    bool helpOnly = false;
    if (!Parse(args, request, listOnly, helpOnly)) {
        return 2;
    }
    if (!helpOnly && !listOnly && !request.outputFolder.empty()) {
        if (const std::string problem = OutputFolderProblem(request.outputFolder);
            !problem.empty()) {
            err_ << "vantre-convert: --out " << request.outputFolder << ": " << problem << "\n";
            return 2;
        }
    }
    if (helpOnly) {
        out_ << HelpText();
        return 0;
    }
    if (listOnly) {
        ListFormats();
        return 0;
    }
    return Convert(request);
}

void TConvertCommand::ListFormats() {
    for (int code : TFormatCatalog::AllCodes()) {
        out_ << Format("%4d  %-24s  %s\n", code, TFormatCatalog::GroupText(code / 100).c_str(),
                       TFormatCatalog::EntryText(code).c_str());
    }
}

int TConvertCommand::Convert(const TRequest& request) {
    TGlobalObject global = global_;
    for (const std::string& warning : global.SetAsideUnsuitableFiles()) {
        err_ << "vantre-convert: " << warning << "\n";
    }
    const std::string installed =
        TGlobalObject::FindInstalledCatalog(TGlobalObject::InstalledCatalogCandidates());
    try {
        const std::string warning = global.InstallCatalog(installed);
        if (!warning.empty()) {
            err_ << "vantre-convert: " << warning << "\n";
        }
    } catch (const std::exception& e) {
        err_ << "vantre-convert: " << e.what() << "\n";
    }
    // A data folder that cannot take the copy (a full disk): the shipped catalog serves.
    if (!FileExists(global.CatalogFile()) && !installed.empty()) {
        global.SetCatalogFile(installed);
    }
    if (!FileExists(global.CatalogFile())) {
        err_ << "vantre-convert: no format catalog at " << global.CatalogFile() << "\n";
        return 1;
    }
    if (!TCatalogFile(global.CatalogFile()).HasFormat(request.formatCode)) {
        err_ << "vantre-convert: " << Format(appmsg::FormatNotInCatalog, request.formatCode)
             << "\n";
        return 1;
    }
    TFFEncoder encoder;
    if (!encoder.LoadLibraries(TGlobalObject::ProgramFolder() + "/LibAV")) {
        err_ << "vantre-convert: " << encoder.LastErrorText() << "\n";
        return 1;
    }
    TSystemDeviceOpener devices;
    THardwareEncoders::Instance().Detect(THardwareEncoders::RenderDevicePaths(), devices);
    TBatchRowList rows;
    for (const std::string& file : request.files) {
        TlvFilesRecord& job = rows.Record(rows.Add(std::filesystem::absolute(file).string()));
        job.TrimStart = static_cast<std::int64_t>(request.trimStart * 1000000.0);
        job.TrimLength = static_cast<std::int64_t>(request.trimLength * 1000000.0);
    }
    TBatchRequest batch;
    batch.FormatCode = request.formatCode;
    if (!request.outputFolder.empty()) {
        batch.OutputFolder = std::filesystem::absolute(request.outputFolder).string();
    }
    batch.ZoomOverride = request.zoom;
    batch.PreviewPictures = false;
    batch.ConversionsAtOnce = request.jobs;
    batch.Ask = [this](const std::string& text, const std::string&) {
        // No one to ask: the question's default answer.
        err_ << text << " yes\n";
        return true;
    };
    batch.Warn = [this](const std::string& text, const std::string&) { err_ << text << "\n"; };

    TBatchRun run(encoder, global);
    TProgressPrinter printer(run, request.files, out_);
    run.AddListener(printer);
    TSignalHandlers handlers;
    if (!run.Start(rows, batch)) {
        return 1;
    }
    int obeyed = 0;
    // A signal while the tasks were being made ends the batch before it runs.
    ObeySignal(run, err_, obeyed);
    run.RunTasks();
    // This program's event loop: the batch's notices arrive as posted calls; a signal is
    // looked at every few milliseconds.
    TMainThread::RunUntil([&] {
        ObeySignal(run, err_, obeyed);
        return !run.Running();
    });
    run.RemoveListener(printer);

    int failed = 0;
    out_ << "\n";
    for (size_t k = 0; k < run.Jobs().size(); ++k) {
        const TBatchJob& job = run.Jobs()[k];
        const std::string& source = request.files[k];
        if (job.Outcome == TJobOutcome::Converted) {
            out_ << "converted  " << source << " -> " << job.OutputFile << "\n";
            if (!job.Notice.empty()) {
                out_ << "           " << job.Notice << "\n";
            }
            continue;
        }
        ++failed;
        const std::string error = job.Outcome == TJobOutcome::Stopped       ? "stopped"
                                  : job.Outcome == TJobOutcome::Interrupted ? "interrupted"
                                  : job.Error.empty()                       ? "not converted"
                                                                            : job.Error;
        out_ << "FAILED     " << source << ": " << error << "\n";
    }
    out_ << Format("%zu converted, %d failed\n", run.Jobs().size() - failed, failed);
    out_.flush();
    if (!out_) {
        // A report that did not arrive must not pass for success.
        err_ << "vantre-convert: " << appmsg::ReportNotWritten << "\n";
        return 1;
    }
    const int signal = gSignal.load();
    return failed == 0 && signal != SIGTERM && signal != SIGHUP ? 0 : 1;
}
