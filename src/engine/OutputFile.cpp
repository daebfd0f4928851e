// Opening output files: container choice, stream creation, meta-data and the byte stream.

#include "FFmpeg.h"

#include "FFmpegException.h"
#include "FFmpegMessages.h"
#include "MediaFile.h"
#include "MediaUtils.h"
#include "UnicodeProtocol.h"

#include <ctime>
#include <sys/stat.h>

namespace {

// "creation_time" in the form the muxers parse.
std::string CreationTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S.000000Z", &tm);
    return text;
}

} // namespace

int TCustomFFmpeg::FindInputFile(const std::string& fileName) const {
    struct stat st {};
    // A path that does not exist yet cannot be one of the inputs.
    if (::stat(fileName.c_str(), &st) != 0) {
        return -1;
    }
    for (int i = 0; i < InputFileCount(); ++i) {
        const TInputFileSlot& slot = input_files_[i];
        if (slot.has_identity && slot.device == static_cast<std::uint64_t>(st.st_dev) &&
            slot.inode == static_cast<std::uint64_t>(st.st_ino)) {
            return i;
        }
    }
    return -1;
}

int TCustomFFmpeg::opt_output_file(const std::string& fileName, bool join) {
    if (join_mode_) {
        SetLastErrorText(enginemsg::CannotJoinMore);
        return -1;
    }
    if (OutputFileCount() >= MaxFiles) {
        SetLastErrorText(Format(enginemsg::TooManyOutputFiles, MaxFiles));
        return -1;
    }
    // Writing over one of the inputs would destroy it before it is read.
    const int sameInput = FindInputFile(fileName);
    if (sameInput >= 0) {
        SetLastErrorText(Format(enginemsg::OutputIsInput, fileName.c_str(), sameInput));
        return -1;
    }
    use_filter_graph_ = !pending_.vfilters.empty();

    auto file = std::make_shared<TOutputFile>();
    file->file_name = fileName;
    file->ctx.reset(fn::avformat_alloc_context());
    if (!file->ctx) {
        throw FFmpegException(enginemsg::AllocContextFailed);
    }
    AVFormatContext* oc = file->ctx.get();
    const std::string libraryName = ToLibraryFileName(fileName);
    const AVOutputFormat* fmt = nullptr;
    if (!pending_.file_format.empty()) {
        fmt = fn::av_guess_format(pending_.file_format.c_str(), nullptr, nullptr);
        if (fmt == nullptr) {
            SetLastErrorText(
                Format(enginemsg::UnsuitableOutputFormat, pending_.file_format.c_str()));
            return -1;
        }
        pending_.file_format.clear();
    } else {
        fmt = fn::av_guess_format(nullptr, libraryName.c_str(), nullptr);
        if (fmt == nullptr) {
            SetLastErrorText(Format(enginemsg::NoSuitableOutputFormat, fileName.c_str()));
            return -1;
        }
    }
    oc->oformat = fmt;
    oc->url = fn::av_strdup(libraryName.c_str());

    bool use_video = pending_.video_stream_copy || fmt->video_codec != AV_CODEC_ID_NONE ||
                     !pending_.video_codec_name.empty();
    bool use_audio = pending_.audio_stream_copy || fmt->audio_codec != AV_CODEC_ID_NONE ||
                     !pending_.audio_codec_name.empty();
    bool use_subtitle = pending_.subtitle_stream_copy || fmt->subtitle_codec != AV_CODEC_ID_NONE ||
                        !pending_.subtitle_codec_name.empty();
    if (!input_files_.empty()) {
        bool has_video = false, has_audio = false, has_subtitle = false;
        const int examined = join ? 1 : InputFileCount();
        try {
            for (int j = 0; j < examined; ++j) {
                const AVFormatContext* ic = input_files_[j].ctx.get();
                for (unsigned i = 0; i < ic->nb_streams; ++i) {
                    switch (ic->streams[i]->codecpar->codec_type) {
                    case AVMEDIA_TYPE_VIDEO:
                        has_video = true;
                        break;
                    case AVMEDIA_TYPE_AUDIO:
                        has_audio = true;
                        break;
                    case AVMEDIA_TYPE_SUBTITLE:
                        has_subtitle = true;
                        break;
                    case AVMEDIA_TYPE_DATA:
                    case AVMEDIA_TYPE_ATTACHMENT:
                    case AVMEDIA_TYPE_UNKNOWN:
                        break;
                    default:
                        throw FFmpegException(enginemsg::InvalidInputCodecType);
                    }
                }
            }
        } catch (const std::exception& e) {
            SetLastErrorText(Format(enginemsg::CheckInputsFail, e.what()));
            return -1;
        }
        use_video = use_video && has_video;
        use_audio = use_audio && has_audio;
        use_subtitle = use_subtitle && has_subtitle;
    }
    if (pending_.audio_disable) {
        use_audio = false;
    }
    if (pending_.video_disable) {
        use_video = false;
    }
    const int fileIndex = OutputFileCount();
    auto create = [&](void (TCustomFFmpeg::*make)(TOutputFile&, int), const char* failText) {
        try {
            (this->*make)(*file, fileIndex);
            return true;
        } catch (const std::exception& e) {
            SetLastErrorText(Format(failText, e.what()));
            return false;
        }
    };
    if (use_video && !create(&TCustomFFmpeg::new_video_stream, enginemsg::NewVideoStreamFail)) {
        return -1;
    }
    if (use_audio && !create(&TCustomFFmpeg::new_audio_stream, enginemsg::NewAudioStreamFail)) {
        return -1;
    }
    if (use_subtitle && !pending_.subtitle_disable &&
        !create(&TCustomFFmpeg::new_subtitle_stream, enginemsg::NewSubtitleStreamFail)) {
        return -1;
    }

    if (pending_.recording_timestamp != 0) {
        fn::av_dict_set(&oc->metadata, "creation_time",
                        CreationTime(pending_.recording_timestamp).c_str(), 0);
    }
    // From the last entry to the first, so the first of repeated keys wins.
    for (auto it = metadata_.rbegin(); it != metadata_.rend(); ++it) {
        fn::av_dict_set(&oc->metadata, it->first.c_str(), it->second.c_str(), 0);
    }
    metadata_.clear();

    owned_outputs_.push_back(file);
    output_files_.push_back(file.get());
    auto removeEntry = [this] {
        output_files_.pop_back();
        owned_outputs_.pop_back();
    };

    if ((fmt->flags & AVFMT_NEEDNUMBER) && fn::av_filename_number_test(libraryName.c_str()) == 0) {
        SetLastErrorText(Format(enginemsg::NumberSyntaxExpected, fileName.c_str()));
        removeEntry();
        return -1;
    }
    if (!(fmt->flags & AVFMT_NOFILE)) {
        const int err = TMediaFile::OpenOutput(oc);
        if (err < 0) {
            SetLastErrorText(ErrorText(fileName, err));
            removeEntry();
            return -1;
        }
        struct stat st {};
        if (::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            file->created_file = true;
            file->device = st.st_dev;
            file->inode = st.st_ino;
        }
    }
    oc->max_delay = static_cast<int>(pending_.mux_max_delay * AV_TIME_BASE);
    file->preload = static_cast<int>(pending_.mux_preload * AV_TIME_BASE);
    file->loop_output = pending_.loop_output;
    oc->flags |= AVFMT_FLAG_NONBLOCK;
    opt_ctx_.ApplyContextOptions(oc, opt_ctx_.FormatOpts(), AV_OPT_FLAG_ENCODING_PARAM);
    streamid_map_.fill(0);

    if (join && InputFileCount() > 1) {
        join_mode_ = true;
        std::int64_t sum = 0;
        for (const TInputFileSlot& slot : input_files_) {
            if (slot.ctx->duration != AV_NOPTS_VALUE && slot.ctx->duration > 0) {
                sum += slot.ctx->duration;
            }
        }
        total_duration_ = sum == 0 ? -1 : sum;
        for (int i = 1; i < InputFileCount(); ++i) {
            output_files_.push_back(file.get());
        }
    }
    return OutputFileCount();
}

TOutputFile& TCustomFFmpeg::LastOutputFile() {
    if (output_files_.empty()) {
        throw FFmpegException(enginemsg::NoOutputFile);
    }
    return *output_files_.back();
}
