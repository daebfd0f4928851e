#include "BatchBuilder.h"

#include "AppMessages.h"
#include "CatalogFile.h"
#include "CatalogKeys.h"
#include "CustomFFEncoder.h"
#include "FormatProfile.h"
#include "MediaUtils.h"
#include "MuxerNames.h"
#include "PictureEffects.h"
#include "Settings.h"

#include <filesystem>

TBatchBuilder::TBatchBuilder(TCustomFFEncoder& encoder, TSettings& settings, TTaskOptionFiles files,
                             TAskYesNo ask, TShowWarning warn)
    : encoder_(encoder), settings_(settings), files_(std::move(files)), ask_(std::move(ask)),
      warn_(std::move(warn)) {}

int TBatchBuilder::AddJob(TlvFilesRecord& job, int formatCode, TOutputReservation& output,
                          std::string& error) {
    TInputOptions input;
    InitInputOptions(input);
    input.FileName = job.SourceFile;

    TAVProbe& probe = encoder_.Probe();
    if (!probe.LoadFile(job.SourceFile, "")) {
        error = probe.LastErrorText();
        return -1;
    }
    struct CloseProbe {
        TAVProbe& probe;
        ~CloseProbe() { probe.Close(); }
    } closeProbe{probe};

    input.FileFormat = probe.ForcedFormat();
    if (job.TrimStart >= 0) {
        input.StartTime = job.TrimStart;
    }
    const TCatalogFile catalog(files_.CatalogFile);
    std::string extension = ".";
    extension += catalog.FileExt(formatCode);
    // The one place a task's output name is chosen: reserved on disk at once.
    std::string folder = outputFolder_;
    if (folder.empty()) {
        folder = UsableOutputFolder(settings_, warn_);
    } else {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (!std::filesystem::is_directory(folder, ec)) {
            error = appmsg::CannotCreateOutputFolder + folder;
            return -1;
        }
    }
    output = TOutputReservation::Reserve(folder, probe.FileName(), extension, error);
    if (!output.Held()) {
        return -1;
    }
    const TFormatProfile profile(files_.SettingsFile, files_.CatalogFile, formatCode);
    job.ZoomMode = zoomOverride_.empty() ? profile.Read(catalogkey::Zoom, "lbox") : zoomOverride_;

    TOutputOptions options;
    InitOutputOptions(options);
    options.FileName = output.UnfinishedName();
    if (job.Cropped()) {
        options.CropTop = job.CropTop;
        options.CropBottom = job.CropBottom;
        options.CropLeft = job.CropLeft;
        options.CropRight = job.CropRight;
    }
    // A trimmed job stops after its trimmed length.
    if (job.TrimLength > 0) {
        options.RecordingTime = job.TrimLength;
    }

    TSourceFacts source;
    source.VideoStreamCount = probe.VideoStreamCount();
    if (source.VideoStreamCount > 0) {
        TVideoStreamInfo video;
        probe.GetVideoStreamInfo(probe.FirstVideoStreamIndex(), video);
        source.Width = video.Width;
        source.Height = video.Height;
        source.BitRate = video.BitRate > 0 ? video.BitRate : 0;
    }
    BuildTaskOptions(job, formatCode, options, source, input, files_, ask_);

    if (options.FileFormat.empty()) {
        // The unfinished name does not end in the extension.
        options.FileFormat = MuxerForFileName(output.FinalName());
    }

    const int task = encoder_.AddTask(job.SourceFile, &input);
    if (task < 0) {
        error = encoder_.LastErrorText();
        return -1;
    }
    options.Hook = JobNeedsFrameHook(job);
    if (!encoder_.SetOutputFile(task, options.FileName, &options)) {
        error = encoder_.LastErrorText();
        encoder_.RemoveTask(task);
        return -1;
    }
    return task;
}
