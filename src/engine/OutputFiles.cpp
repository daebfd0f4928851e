// Opening output files: container choice, stream creation, meta-data and the byte stream.

#include "OutputFiles.h"

#include "EngineSettings.h"

#include "FFmpegException.h"
#include "FFmpegMessages.h"
#include "MediaFile.h"
#include "MediaUtils.h"
#include "UnicodeProtocol.h"

#include <ctime>
#include <filesystem>
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

TOutputFiles::TOutputFiles(const TRunSettings& run, TEngineSettings& settings, const TLinks& links)
    : pending_(run.pending), contexts_(run.contexts), settings_(settings), inputs_(links.inputs),
      streams_(links.streams), services_(run.services) {}

int TOutputFiles::fail(const std::string& text) {
    services_.setLastErrorText(text);
    return -1;
}

int TOutputFiles::opt_output_file(const std::string& fileName, bool join,
                                  std::int64_t& totalDuration) {
    if (join_mode_) {
        return fail(enginemsg::CannotJoinMore);
    }
    if (Count() >= MaxFiles) {
        return fail(Format(enginemsg::TooManyOutputFiles, MaxFiles));
    }
    // Writing over one of the inputs would destroy it before it is read.
    const int sameInput = inputs_.FindInputFile(fileName);
    if (sameInput >= 0) {
        return fail(Format(enginemsg::OutputIsInput, fileName.c_str(), sameInput));
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
            return fail(Format(enginemsg::UnsuitableOutputFormat, pending_.file_format.c_str()));
        }
        settings_.ClearFileFormat();
    } else {
        fmt = fn::av_guess_format(nullptr, libraryName.c_str(), nullptr);
        if (fmt == nullptr) {
            return fail(Format(enginemsg::NoSuitableOutputFormat, fileName.c_str()));
        }
    }
    oc->oformat = fmt;
    oc->url = fn::av_strdup(libraryName.c_str());

    bool use_video = false, use_audio = false, use_subtitle = false;
    if (!choose_streams(fmt, join, use_video, use_audio, use_subtitle) ||
        !create_streams(*file, use_video, use_audio, use_subtitle)) {
        return -1;
    }
    set_file_metadata(oc);
    owned_.push_back(file);
    table_.push_back(file.get());
    if (!open_byte_stream(*file, libraryName)) {
        table_.pop_back();
        owned_.pop_back();
        return -1;
    }
    oc->max_delay = static_cast<int>(pending_.mux_max_delay * AV_TIME_BASE);
    file->preload = static_cast<int>(pending_.mux_preload * AV_TIME_BASE);
    file->loop_output = pending_.loop_output;
    oc->flags |= AVFMT_FLAG_NONBLOCK;
    contexts_.ApplyContextOptions(oc, contexts_.FormatOpts(), AV_OPT_FLAG_ENCODING_PARAM);
    settings_.ClearStreamIds();
    if (join && inputs_.Count() > 1) {
        enter_join_mode(*file, totalDuration);
    }
    return Count();
}

// The kinds of stream the container (or a named codec, or a copy) asks for, as far as the
// inputs have them.
bool TOutputFiles::choose_streams(const AVOutputFormat* fmt, bool join, bool& video, bool& audio,
                                  bool& subtitle) {
    video = pending_.video_stream_copy || fmt->video_codec != AV_CODEC_ID_NONE ||
            !pending_.video_codec_name.empty();
    audio = pending_.audio_stream_copy || fmt->audio_codec != AV_CODEC_ID_NONE ||
            !pending_.audio_codec_name.empty();
    subtitle = pending_.subtitle_stream_copy || fmt->subtitle_codec != AV_CODEC_ID_NONE ||
               !pending_.subtitle_codec_name.empty();
    if (!inputs_.Empty()) {
        bool has_video = false, has_audio = false, has_subtitle = false;
        const int examined = join ? 1 : inputs_.Count();
        try {
            for (int j = 0; j < examined; ++j) {
                const AVFormatContext* ic = inputs_[j].ctx.get();
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
            fail(Format(enginemsg::CheckInputsFail, e.what()));
            return false;
        }
        video = video && has_video;
        audio = audio && has_audio;
        subtitle = subtitle && has_subtitle;
    }
    if (pending_.audio_disable) {
        audio = false;
    }
    if (pending_.video_disable) {
        video = false;
    }
    return true;
}

bool TOutputFiles::create_streams(TOutputFile& file, bool video, bool audio, bool subtitle) {
    auto create = [&](void (TOutputStreams::*make)(TOutputFile&), const char* failText) {
        try {
            (streams_.*make)(file);
            return true;
        } catch (const std::exception& e) {
            fail(Format(failText, e.what()));
            return false;
        }
    };
    if (video && !create(&TOutputStreams::new_video_stream, enginemsg::NewVideoStreamFail)) {
        return false;
    }
    if (audio && !create(&TOutputStreams::new_audio_stream, enginemsg::NewAudioStreamFail)) {
        return false;
    }
    return !(subtitle && !pending_.subtitle_disable &&
             !create(&TOutputStreams::new_subtitle_stream, enginemsg::NewSubtitleStreamFail));
}

void TOutputFiles::set_file_metadata(AVFormatContext* oc) {
    if (pending_.recording_timestamp != 0) {
        fn::av_dict_set(&oc->metadata, "creation_time",
                        CreationTime(pending_.recording_timestamp).c_str(), 0);
    }
    // From the last entry to the first, so the first of repeated keys wins.
    const TMetadataEntries entries = settings_.TakeMetadata();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        fn::av_dict_set(&oc->metadata, it->first.c_str(), it->second.c_str(), 0);
    }
}

bool TOutputFiles::open_byte_stream(TOutputFile& file, const std::string& libraryName) {
    AVFormatContext* oc = file.ctx.get();
    const AVOutputFormat* fmt = oc->oformat;
    if ((fmt->flags & AVFMT_NEEDNUMBER) && fn::av_filename_number_test(libraryName.c_str()) == 0) {
        fail(Format(enginemsg::NumberSyntaxExpected, file.file_name.c_str()));
        return false;
    }
    if (fmt->flags & AVFMT_NOFILE) {
        return true;
    }
    const int err = TMediaFile::OpenOutput(oc);
    if (err < 0) {
        fail(ErrorText(file.file_name, err));
        return false;
    }
    struct stat st {};
    if (::stat(file.file_name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        file.created_file = true;
        file.device = st.st_dev;
        file.inode = st.st_ino;
    }
    return true;
}

void TOutputFiles::enter_join_mode(TOutputFile& file, std::int64_t& totalDuration) {
    join_mode_ = true;
    std::int64_t sum = 0;
    for (const TInputFileSlot& slot : inputs_) {
        if (slot.ctx->duration != AV_NOPTS_VALUE && slot.ctx->duration > 0) {
            sum += slot.ctx->duration;
        }
    }
    totalDuration = sum == 0 ? -1 : sum;
    for (int i = 1; i < inputs_.Count(); ++i) {
        table_.push_back(&file);
    }
}

TOutputFile& TOutputFiles::LastOutputFile() {
    if (table_.empty()) {
        throw FFmpegException(enginemsg::NoOutputFile);
    }
    return *table_.back();
}

void TOutputFiles::Reset() {
    join_mode_ = false;
    use_filter_graph_ = false;
}

void TOutputFiles::RemoveLeftovers(bool failed) {
    // The outputs are closed first. A failed task leaves nothing behind; any task removes a
    // file it left empty. Only the regular file the task created goes, never a device, a pipe
    // or an input that came to stand under the name.
    struct TCreated {
        std::string name;
        std::uint64_t device;
        std::uint64_t inode;
    };
    std::vector<TCreated> created;
    for (const auto& file : owned_) {
        if (file->created_file) {
            created.push_back({file->file_name, file->device, file->inode});
        }
    }
    table_.clear();
    owned_.clear();
    for (const TCreated& file : created) {
        struct stat st {};
        if (::lstat(file.name.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            static_cast<std::uint64_t>(st.st_dev) != file.device ||
            static_cast<std::uint64_t>(st.st_ino) != file.inode) {
            continue;
        }
        if ((failed || st.st_size == 0) && inputs_.FindInputFile(file.name) < 0) {
            std::error_code ec;
            std::filesystem::remove(file.name, ec);
        }
    }
}
