#include "BatchBuilder.h"

#include "AppMessages.h"
#include "CatalogFile.h"
#include "CatalogKeys.h"
#include "CustomFFEncoder.h"
#include "FormatProfile.h"
#include "MediaUtils.h"
#include "PictureEffects.h"
#include "Settings.h"

namespace {

// The facts of the video the engine will convert: the first stream that is not a cover
// picture, or the cover when there is nothing else.
TSourceFacts SourceFactsOf(TAVProbe& probe) {
    TSourceFacts source;
    source.VideoStreamCount = probe.VideoStreamCount();
    TFileStreamInfo file;
    if (probe.GetFileStreamInfo(file) && file.Duration > 0) {
        source.Duration = file.Duration;
    }
    // The sound the engine converts: the track marked default, else the first.
    TAudioStreamInfo audio;
    bool haveAudio = false;
    for (int i = 0; i < probe.StreamCount(); ++i) {
        TAudioStreamInfo track;
        if (probe.IsAudioStream(i) && probe.GetAudioStreamInfo(i, track) &&
            (!haveAudio || (track.Default && !audio.Default))) {
            audio = track;
            haveAudio = true;
        }
    }
    source.AudioChannels = haveAudio && audio.Channels > 0 ? audio.Channels : 0;
    TVideoStreamInfo video;
    bool found = false;
    for (int i = 0; i < probe.StreamCount() && !found; ++i) {
        found =
            probe.IsVideoStream(i) && probe.GetVideoStreamInfo(i, video) && !video.AttachedPicture;
    }
    if (!found && source.VideoStreamCount > 0) {
        found = probe.GetVideoStreamInfo(probe.FirstVideoStreamIndex(), video);
        source.CoverOnly = found && video.AttachedPicture;
    }
    if (!found) {
        return source;
    }
    const bool turned = video.Rotation == 90 || video.Rotation == 270;
    source.Width = turned ? video.Height : video.Width;
    source.Height = turned ? video.Width : video.Height;
    source.BitRate = video.BitRate > 0 ? video.BitRate : 0;
    if (video.SampleAspectNum > 0 && video.SampleAspectDen > 0) {
        source.SampleAspectNum = turned ? video.SampleAspectDen : video.SampleAspectNum;
        source.SampleAspectDen = turned ? video.SampleAspectNum : video.SampleAspectDen;
    }
    source.Interlaced = video.Interlaced;
    source.HighDynamicRange = video.HighDynamicRange;
    return source;
}

} // namespace

TBatchBuilder::TBatchBuilder(TCustomFFEncoder& encoder, TSettings& settings, TTaskOptionFiles files,
                             TAskYesNo ask, TShowWarning warn)
    : encoder_(encoder), settings_(settings), files_(std::move(files)), ask_(std::move(ask)),
      warn_(std::move(warn)) {}

int TBatchBuilder::AddJob(TlvFilesRecord& job, int formatCode, std::string& outputFile,
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

    const TSourceFacts source = SourceFactsOf(probe);
    BuildTaskOptions(job, formatCode, output, source, input, files_, ask_);

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
