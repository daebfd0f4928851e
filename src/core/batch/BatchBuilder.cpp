#include "BatchBuilder.h"

#include "AppMessages.h"
#include "CatalogFile.h"
#include "CatalogKeys.h"
#include "CustomFFEncoder.h"
#include "FFmpegException.h"
#include "FieldDetector.h"
#include "FormatProfile.h"
#include "MediaUtils.h"
#include "MuxerNames.h"
#include "PictureEffects.h"
#include "Settings.h"
#include "TaskOutputs.h"

#include <filesystem>

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
    int videoIndex = -1;
    for (int i = 0; i < probe.StreamCount() && !found; ++i) {
        found =
            probe.IsVideoStream(i) && probe.GetVideoStreamInfo(i, video) && !video.AttachedPicture;
        videoIndex = i;
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
    if (const AVPixFmtDescriptor* format =
            video.PixelFormat >= 0
                ? fn::av_pix_fmt_desc_get(static_cast<AVPixelFormat>(video.PixelFormat))
                : nullptr) {
        source.BitDepth = format->comp[0].depth;
    }
    // Fields woven into frames are often not flagged (captures, old camcorders): the
    // detector's look at the first pictures decides then.
    source.Interlaced =
        video.Interlaced ||
        (!source.CoverOnly && TFieldDetector::LooksInterlaced(probe.Context(), videoIndex));
    source.HighDynamicRange = video.HighDynamicRange;
    return source;
}

} // namespace

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
    facts.Source = SourceFactsOf(probe);
    facts.Seconds = static_cast<int>(facts.Source.Duration / 1000000);
    facts.Known = true;
    return facts;
}

int TBatchBuilder::AddJob(TlvFilesRecord& job, int formatCode,
                          const std::shared_ptr<TTaskOutputs>& outputs, std::string& error,
                          std::string& notice) {
    notice.clear();
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

    const TSourceFacts& source = facts.Source;
    notice = BuildTaskOptions(job, formatCode, output, source, input, files_, ask_);
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
