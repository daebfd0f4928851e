#include "BatchBuilder.h"

#include "AppMessages.h"
#include "CatalogFile.h"
#include "CatalogKeys.h"
#include "CustomFFEncoder.h"
#include "FormatProfile.h"
#include "MediaUtils.h"
#include "PictureEffects.h"
#include "Settings.h"

TBatchBuilder::TBatchBuilder(TCustomFFEncoder& encoder, TSettings& settings, TTaskOptionFiles files,
                             TAskYesNo ask, TShowWarning warn)
    : encoder_(encoder), settings_(settings), files_(std::move(files)), ask_(std::move(ask)),
      warn_(std::move(warn)) {}

int TBatchBuilder::AddJob(TlvFilesRecord& job, int formatCode, std::string& outputFile,
                          std::string& error, std::string& notice) {
    notice.clear();
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
    outputFile = outputFolder_.empty()
                     ? OutputName(probe.FileName(), extension, settings_, warn_, &reservations_)
                     : OutputNameIn(outputFolder_, probe.FileName(), extension, &reservations_);
    if (outputFile.empty()) {
        error = appmsg::CannotCreateOutputFolder + outputFolder_;
        return -1;
    }
    const TFormatProfile profile(files_.SettingsFile, files_.CatalogFile, formatCode);
    job.ZoomMode = zoomOverride_.empty() ? profile.Read(catalogkey::Zoom, "lbox") : zoomOverride_;

    TOutputOptions output;
    InitOutputOptions(output);
    output.FileName = outputFile;
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
    source.VideoStreamCount = probe.VideoStreamCount();
    if (source.VideoStreamCount > 0) {
        TVideoStreamInfo video;
        probe.GetVideoStreamInfo(probe.FirstVideoStreamIndex(), video);
        source.Width = video.Width;
        source.Height = video.Height;
        source.BitRate = video.BitRate > 0 ? video.BitRate : 0;
        if (const AVPixFmtDescriptor* format =
                video.PixelFormat >= 0
                    ? fn::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(video.PixelFormat))
                    : nullptr) {
            source.BitDepth = format->comp[0].depth;
        }
    }
    notice = BuildTaskOptions(job, formatCode, output, source, input, files_, ask_);

    const int task = encoder_.AddTask(job.SourceFile, &input);
    if (task < 0) {
        error = encoder_.LastErrorText();
        return -1;
    }
    output.Hook = JobNeedsFrameHook(job);
    if (!encoder_.SetOutputFile(task, outputFile, &output)) {
        error = encoder_.LastErrorText();
        encoder_.RemoveTask(task);
        return -1;
    }
    return task;
}
