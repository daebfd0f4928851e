#include "BatchBuilder.h"

#include "AppMessages.h"
#include "CatalogFile.h"
#include "CatalogKeys.h"
#include "CustomFFEncoder.h"
#include "FFmpegException.h"
#include "FormatProfile.h"
#include "MediaUtils.h"
#include "MuxerNames.h"
#include "PictureEffects.h"
#include "Settings.h"
#include "TaskOutputs.h"

#include <filesystem>

TBatchBuilder::TBatchBuilder(TCustomFFEncoder& encoder, TSettings& settings, TTaskOptionFiles files,
                             TAskYesNo ask, TShowWarning warn)
    : encoder_(encoder), settings_(settings), files_(std::move(files)), ask_(std::move(ask)),
      warn_(std::move(warn)) {}

TProbedSource TBatchBuilder::ProbeSource(TAVProbe& probe, const std::string& file,
                                         std::string& error) {
    TProbedSource facts;
    if (!probe.LoadFile(file, "")) {
        error = probe.LastErrorText();
        return facts;
    }
    struct CloseProbe {
        TAVProbe& probe;
        ~CloseProbe() { probe.Close(); }
    } closeProbe{probe};
    facts.Name = probe.FileName();
    facts.ForcedFormat = probe.ForcedFormat();
    facts.VideoStreamCount = probe.VideoStreamCount();
    if (TFileStreamInfo info; probe.GetFileStreamInfo(info) && info.Duration > 0) {
        facts.Seconds = static_cast<int>(info.Duration / 1000000);
    }
    if (facts.VideoStreamCount > 0) {
        TVideoStreamInfo video;
        probe.GetVideoStreamInfo(probe.FirstVideoStreamIndex(), video);
        facts.Width = video.Width;
        facts.Height = video.Height;
        facts.BitRate = video.BitRate > 0 ? video.BitRate : 0;
    }
    facts.Known = true;
    return facts;
}

int TBatchBuilder::AddJob(TlvFilesRecord& job, int formatCode,
                          const std::shared_ptr<TTaskOutputs>& outputs, std::string& error) {
    TInputOptions input;
    InitInputOptions(input);
    input.FileName = job.SourceFile;

    // Probed when the file was added; a job made otherwise (the command line) is probed now,
    // its file closed again at once.
    TProbedSource facts = job.Probed;
    if (!facts.Known) {
        facts = ProbeSource(encoder_.Probe(), job.SourceFile, error);
        if (!facts.Known) {
            return -1;
        }
    }

    input.FileFormat = facts.ForcedFormat;
    if (job.TrimStart >= 0) {
        input.StartTime = job.TrimStart;
    }
    const TCatalogFile catalog(files_.CatalogFile);
    std::string extension = ".";
    extension += catalog.FileExt(formatCode);
    if (resolvedFolder_.empty()) {
        // Once per batch, here on the main thread: a folder that cannot be made is reported
        // (and replaced) before anything converts.
        if (outputFolder_.empty()) {
            resolvedFolder_ = UsableOutputFolder(settings_, warn_);
        } else {
            std::error_code ec;
            std::filesystem::create_directories(outputFolder_, ec);
            if (!std::filesystem::is_directory(outputFolder_, ec)) {
                error = appmsg::CannotCreateOutputFolder + outputFolder_;
                return -1;
            }
            resolvedFolder_ = outputFolder_;
        }
    }
    const TFormatProfile profile(files_.SettingsFile, files_.CatalogFile, formatCode);
    job.ZoomMode = zoomOverride_.empty() ? profile.Read(catalogkey::Zoom, "lbox") : zoomOverride_;

    TOutputOptions output;
    InitOutputOptions(output);
    if (job.Cropped()) {
        output.CropTop = job.CropTop;
        output.CropBottom = job.CropBottom;
        output.CropLeft = job.CropLeft;
        output.CropRight = job.CropRight;
    }
    // A trimmed job stops after its trimmed length.
    if (job.TrimLength > 0) {
        output.RecordingTime = job.TrimLength;
    }

    TSourceFacts source;
    source.VideoStreamCount = facts.VideoStreamCount;
    source.Width = facts.Width;
    source.Height = facts.Height;
    source.BitRate = facts.BitRate;
    BuildTaskOptions(job, formatCode, output, source, input, files_, ask_);
    if (output.FileFormat.empty()) {
        // The unfinished name does not end in the extension.
        output.FileFormat = MuxerForFileName("output" + extension);
    }

    output.Hook = JobNeedsFrameHook(job);
    TCustomFFEncoder::TQueuedTask queued;
    queued.InputFile = job.SourceFile;
    queued.Input = input;
    queued.Output = output;
    // The name is chosen and reserved on disk when the task starts, in list order: what a
    // one-at-a-time run would write, whatever runs at once. The task writes its unfinished
    // file; its end finishes or abandons the reservation.
    queued.ChooseOutput = [folder = resolvedFolder_, source = facts.Name, extension,
                           outputs](int task) {
        std::string reason;
        TOutputReservation reservation =
            TOutputReservation::Reserve(folder, source, extension, reason);
        if (!reservation.Held()) {
            throw FFmpegException(reason);
        }
        std::string unfinished = reservation.UnfinishedName();
        outputs->Put(task, std::move(reservation));
        return unfinished;
    };
    const int task = encoder_.AddQueuedTask(std::move(queued));
    if (task < 0) {
        error = encoder_.LastErrorText();
    }
    return task;
}
