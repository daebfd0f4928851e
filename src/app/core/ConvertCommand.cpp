#include "ConvertCommand.h"

#include "AppMessages.h"
#include "BatchBuilder.h"
#include "FFEncoder.h"
#include "FormatCatalog.h"
#include "GlobalObject.h"
#include "IniFile.h"
#include "MainThread.h"
#include "MediaUtils.h"
#include "Settings.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <ostream>
#include <unistd.h>

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) {
    gInterrupted = true;
}

std::string Clock(double seconds) {
    const long s = seconds < 0 ? 0 : static_cast<long>(seconds + 0.5);
    return Format("%02ld:%02ld:%02ld", s / 3600, (s / 60) % 60, s % 60);
}

TThreadPriority ThreadPriorityOf(int index) {
    switch (TSettings::PriorityOf(index).value_or(TWorkPriority::Normal)) {
    case TWorkPriority::Idle:
        return TThreadPriority::tpIdle;
    case TWorkPriority::Lower:
        return TThreadPriority::tpLower;
    case TWorkPriority::Lowest:
        return TThreadPriority::tpLowest;
    case TWorkPriority::Normal:
        break;
    }
    return TThreadPriority::tpNormal;
}

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
           "                      [--trim-start S] [--trim-length S] FILE...\n"
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
           "  --help             this text\n"
           "\n"
           "Outputs are named SOURCE_(new).EXT (SOURCE_(new_1).EXT ... when taken); sources\n"
           "are never overwritten. The exit status is 0 when every file converted, 1 when any\n"
           "failed (its error is printed), 2 for a usage error.\n";
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
    try {
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--help" || a == "-h") {
                helpOnly = true;
            } else if (a == "--list-formats") {
                listOnly = true;
            } else if (a == "--format") {
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
    try {
        const std::string warning = global_.InstallCatalog(
            TGlobalObject::FindInstalledCatalog(TGlobalObject::InstalledCatalogCandidates()));
        if (!warning.empty()) {
            err_ << "vantre-convert: " << warning << "\n";
        }
    } catch (const std::exception& e) {
        err_ << "vantre-convert: " << e.what() << "\n";
    }
    if (!FileExists(global_.CatalogFile())) {
        err_ << "vantre-convert: no format catalog at " << global_.CatalogFile() << "\n";
        return 1;
    }
    TFFEncoder encoder;
    if (!encoder.LoadLibraries(TGlobalObject::ProgramFolder() + "/LibAV")) {
        err_ << "vantre-convert: " << encoder.LastErrorText() << "\n";
        return 1;
    }
    TSettings settings(global_);
    encoder.SetThreadPriority(ThreadPriorityOf(settings.PriorityIndex()));
    TBatchBuilder builder(
        encoder, settings, TTaskOptionFiles{global_.SettingsFile(), global_.CatalogFile()},
        [this](const std::string& text, const std::string&) {
            // No one to ask: the question's default answer.
            err_ << text << " yes\n";
            return true;
        },
        [this](const std::string& text, const std::string&) { err_ << text << "\n"; });
    if (!request.outputFolder.empty()) {
        builder.SetOutputFolder(std::filesystem::absolute(request.outputFolder).string());
    }
    builder.SetZoomOverride(request.zoom);

    struct TResult {
        std::string source;
        std::string output;
        bool done = false;
        bool ok = false;
        std::string error;
    };
    std::vector<TResult> results;
    std::map<int, size_t> taskOf; // task index -> result
    for (const std::string& file : request.files) {
        TResult result;
        result.source = file;
        TlvFilesRecord job;
        job.SourceFile = std::filesystem::absolute(file).string();
        job.TrimStart = static_cast<std::int64_t>(request.trimStart * 1000000.0);
        job.TrimLength = static_cast<std::int64_t>(request.trimLength * 1000000.0);
        try {
            const int task = builder.AddJob(job, request.formatCode, result.output, result.error);
            if (task >= 0) {
                taskOf[task] = results.size();
            } else {
                result.done = true;
            }
        } catch (const std::exception& e) {
            result.error = e.what();
            result.done = true;
        }
        results.push_back(result);
    }

    std::mutex mutex;
    std::atomic<bool> batchEnded{false};
    encoder.OnTerminate = [&](TCustomFFEncoder&, const TTerminateInfo& info) {
        if (info.TaskIndex < 0) {
            batchEnded = true;
            return;
        }
        std::lock_guard lock(mutex);
        TResult& r = results[taskOf.at(info.TaskIndex)];
        r.ok = info.Finished && !info.Exception;
        r.error = info.Exception ? info.ExceptionMsg : info.Finished ? "" : "stopped";
        const std::string line = Format("[%d/%zu] %s  %s\n", info.TaskIndex + 1, taskOf.size(),
                                        std::filesystem::path(r.source).filename().c_str(),
                                        r.ok             ? "100%  done"
                                        : info.Exception ? "failed"
                                                         : "stopped");
        // Printed by the main thread, after the task's last progress line.
        TMainThread::Post([this, line, &r, &mutex] {
            out_ << line;
            out_.flush();
            std::lock_guard lock(mutex);
            r.done = true;
        });
    };
    const auto start = std::chrono::steady_clock::now();
    std::map<int, int> shown; // task -> last percentage printed
    encoder.OnProgress = [&](TCustomFFEncoder&, PProgressInfo info) {
        const TResult& r = results[taskOf.at(info->TaskIndex)];
        const int percent =
            info->TotalDuration > 0
                ? static_cast<int>(info->CurrentDuration * 100 / info->TotalDuration)
                : -1;
        if (info->FileIndex >= 0 && shown.count(info->TaskIndex) &&
            percent < shown[info->TaskIndex] + 5) {
            return;
        }
        shown[info->TaskIndex] = percent;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::string eta = "--:--:--";
        if (percent > 0 && info->CurrentDuration > 0 && info->TotalDuration > 0) {
            eta = Clock(elapsed * (info->TotalDuration - info->CurrentDuration) /
                        static_cast<double>(info->CurrentDuration));
        }
        out_ << Format("[%d/%zu] %s  %s  %d fps  ETA %s\n", info->TaskIndex + 1, taskOf.size(),
                       std::filesystem::path(r.source).filename().c_str(),
                       percent >= 0 ? Format("%3d%%", std::min(percent, 100)).c_str() : "  ?%",
                       info->FPS < 0 ? 0 : info->FPS, eta.c_str());
        out_.flush();
    };

    gInterrupted = false;
    auto previous = std::signal(SIGINT, OnInterrupt);
    encoder.StartTask(1);
    bool stopping = false;
    while (!batchEnded) {
        TMainThread::CheckSynchronize(std::chrono::milliseconds(20));
        if (gInterrupted && !stopping) {
            stopping = true;
            err_ << "vantre-convert: stopping\n";
            encoder.Stop(true);
        }
    }
    // The end of the batch may overtake the last task's own notice.
    auto allDone = [&] {
        std::lock_guard lock(mutex);
        return std::all_of(results.begin(), results.end(), [](const TResult& r) { return r.done; });
    };
    while (!allDone()) {
        TMainThread::CheckSynchronize(std::chrono::milliseconds(20));
    }
    std::signal(SIGINT, previous);
    encoder.OnProgress = nullptr;
    encoder.ClearTasks();

    int failed = 0;
    out_ << "\n";
    std::lock_guard lock(mutex);
    for (const TResult& r : results) {
        if (r.ok) {
            out_ << "converted  " << r.source << " -> " << r.output << "\n";
        } else {
            ++failed;
            out_ << "FAILED     " << r.source << ": "
                 << (r.error.empty() ? "not converted" : r.error) << "\n";
        }
    }
    out_ << Format("%zu converted, %d failed\n", results.size() - failed, failed);
    return failed == 0 ? 0 : 1;
}
