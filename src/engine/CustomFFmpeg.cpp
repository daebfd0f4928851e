// Life cycle of a conversion task: construction, reset, start, stop, pause, termination, and
// the typed setters the encoder component uses.

#include "FFmpeg.h"

#include "FFmpegException.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MainThread.h"
#include "MediaFile.h"
#include "MediaUtils.h"
#include "OptionPresets.h"
#include "OptionTargets.h"
#include "Previewer.h"
#include "TranscodeState.h"

#include <filesystem>
#include <sys/stat.h>

std::mutex& PreviewLock() {
    static std::mutex lock;
    return lock;
}

void CodecContextCloser::operator()(AVCodecContext* c) const {
    // The libraries leave the two-pass statistics input to the caller.
    fn::av_freep(&c->stats_in);
    std::lock_guard lock(CodecLock());
    fn::avcodec_free_context(&c);
}

TOutputFile::~TOutputFile() {
    if (ctx == nullptr) {
        return;
    }
    if (ctx->oformat != nullptr && !(ctx->oformat->flags & AVFMT_NOFILE)) {
        TMediaFile::CloseOutput(ctx);
    }
    fn::avformat_free_context(ctx);
}

TCustomFFmpeg::TCustomFFmpeg() = default;

TSettingsHost TCustomFFmpeg::SettingsHost() {
    TSettingsHost host;
    host.sender = this;
    host.newStream = [this](AVMediaType type) { new_stream_of_type(type); };
    host.inputContexts = [this] {
        std::vector<AVFormatContext*> contexts;
        for (int i = 0; i < InputFileCount(); ++i) {
            contexts.push_back(InputContext(i));
        }
        return contexts;
    };
    host.setLastErrorText = [this](const std::string& text) { SetLastErrorText(text); };
    return host;
}

void TCustomFFmpeg::new_stream_of_type(AVMediaType type) {
    TOutputFile& file = LastOutputFile();
    const int fileIndex = OutputFileCount() - 1;
    if (type == AVMEDIA_TYPE_VIDEO) {
        new_video_stream(file, fileIndex);
    } else if (type == AVMEDIA_TYPE_AUDIO) {
        new_audio_stream(file, fileIndex);
    } else {
        new_subtitle_stream(file, fileIndex);
    }
}

TCustomFFmpeg::~TCustomFFmpeg() {
    // A running conversion is stopped and waited for; its termination comes first.
    Stop(true);
    {
        std::lock_guard lock(state_mutex_);
        if (convert_thread_) {
            convert_thread_->Release();
            convert_thread_->Join();
        }
        if (terminate_thread_ && terminate_thread_->joinable()) {
            terminate_thread_->join();
        }
    }
    CleanUp();
}

bool TCustomFFmpeg::EncoderLibrariesLoaded() const {
    return TFFmpegLoader::Instance().Loaded(EncoderLibraries);
}

void TCustomFFmpeg::Reset() {
    if (!EncoderLibrariesLoaded()) {
        return;
    }
    {
        // A finished conversion's threads are joined before the task runs again.
        std::lock_guard lock(state_mutex_);
        if (convert_thread_) {
            convert_thread_->Release();
            convert_thread_->Join();
            convert_thread_.reset();
        }
        if (terminate_thread_ && terminate_thread_->joinable()) {
            terminate_thread_->join();
        }
        terminate_thread_.reset();
    }
    CleanUp();
    settings_.Reset();
    use_filter_graph_ = false;
    video_size_ = audio_size_ = extra_size_ = 0;
    nb_frames_dup_ = nb_frames_drop_ = 0;
    do_log_status_ = false;
    timer_start_ = 0;
    frame_counter_ = 0;
    last_preview_time_ = 0;
    hook_converter_.Reset();
    preview_converter_.Reset();
    {
        std::lock_guard lock(PreviewLock());
        preview_flags_ = 0;
        previewer_.reset();
    }
    {
        std::lock_guard lock(status_mutex_);
        has_error_ = false; // ErrorMessage and LastErrorText keep their last text
    }
    join_mode_ = false;
    working_ = false;
    stop_requested_ = false;
    finished_ = false;
    terminated_ = false;
    termination_claimed_ = false;
}

void TCustomFFmpeg::CleanUp() {
    if (!EncoderLibrariesLoaded()) {
        return;
    }
    ReleaseTranscodeState();
    remove_output_files();
    for (TInputFileSlot& slot : input_files_) {
        TMediaFile::CloseInput(&slot.ctx);
    }
    input_files_.clear();
    input_codecs_.clear();
    settings_.ReleaseAfterConversion();
    hook_converter_.Reset();
    preview_converter_.Reset();
    std::lock_guard lock(PreviewLock());
    previewer_.reset();
}

void TCustomFFmpeg::remove_output_files() {
    // The outputs are closed first. A failed task leaves nothing behind; any task removes a
    // file it left empty. Only the regular file the task created goes, never a device, a pipe
    // or an input that came to stand under the name.
    struct TCreated {
        std::string name;
        std::uint64_t device;
        std::uint64_t inode;
    };
    std::vector<TCreated> created;
    for (const auto& file : owned_outputs_) {
        if (file->created_file) {
            created.push_back({file->file_name, file->device, file->inode});
        }
    }
    output_files_.clear();
    owned_outputs_.clear();
    const bool failed = HasError();
    for (const TCreated& file : created) {
        struct stat st {};
        if (::lstat(file.name.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            static_cast<std::uint64_t>(st.st_dev) != file.device ||
            static_cast<std::uint64_t>(st.st_ino) != file.inode) {
            continue;
        }
        if ((failed || st.st_size == 0) && FindInputFile(file.name) < 0) {
            std::error_code ec;
            std::filesystem::remove(file.name, ec);
        }
    }
}

TConvertThread* TCustomFFmpeg::Start(bool useThread, TThreadPriority priority) {
    std::unique_lock lock(state_mutex_);
    if (working_ || terminated_ || termination_claimed_) {
        return nullptr;
    }
    const char* missing = output_files_.empty()  ? enginemsg::NoOutputFile
                          : input_files_.empty() ? enginemsg::NoInputFile
                                                 : nullptr;
    if (missing != nullptr) {
        lock.unlock();
        CleanUp();
        RecordError(missing);
        DoTerminate();
        return nullptr;
    }
    working_ = true;
    stop_requested_ = false;
    finished_ = false;
    if (!useThread) {
        lock.unlock();
        ConversionBody();
        return nullptr;
    }
    if (convert_thread_) {
        convert_thread_->Release();
        convert_thread_->Join();
    }
    // Reset now, not when the thread first runs: a Stop(wait) right after Start must wait.
    convert_done_.Reset();
    convert_thread_ = std::make_unique<TConvertThread>(
        [this] {
            ConversionBody();
            convert_done_.Set();
        },
        priority);
    return convert_thread_.get();
}

void TCustomFFmpeg::ConversionBody() {
    try {
        transcode();
    } catch (const std::exception& e) {
        RecordError(e.what());
    }
    try {
        ReleaseTranscodeState();
    } catch (const std::exception& e) {
        RecordError(e.what());
    }
    try {
        CleanUp();
    } catch (const std::exception& e) {
        RecordError(e.what());
    }
    DoTerminate();
}

void TCustomFFmpeg::RecordError(const std::string& message) {
    LoggerInstance().Log(this, llQuiet, message);
    std::lock_guard lock(status_mutex_);
    has_error_ = true;
    error_message_ = message;
}

void TCustomFFmpeg::DoTerminate() {
    // Exactly one notice per task, whoever gets here first.
    termination_claimed_ = true;
    if (terminated_.exchange(true)) {
        return;
    }
    working_ = false;
    if (TerminateHandler) {
        TerminateHandler(*this);
    }
}

void TCustomFFmpeg::Stop(bool wait) {
    std::unique_lock lock(state_mutex_);
    if (working_) {
        stop_requested_ = true;
        {
            std::lock_guard pause(pause_mutex_);
            paused_ = false;
        }
        pause_cv_.notify_all();
        if (!convert_thread_) {
            return; // the conversion runs inside Start and sees the request itself
        }
        convert_thread_->Resume();
        lock.unlock();
        if (wait) {
            TMainThread::WaitPumping(convert_done_);
        }
        return;
    }
    if (terminated_ || termination_claimed_) {
        return;
    }
    // Never started: the notice comes from a short-lived thread, and this task can no longer
    // start.
    termination_claimed_ = true;
    terminate_done_.Reset();
    if (terminate_thread_ && terminate_thread_->joinable()) {
        terminate_thread_->join();
    }
    terminate_thread_ = std::make_unique<std::thread>([this] {
        try {
            DoTerminate();
        } catch (...) {
            // A handler's failure must not leave waiters hanging.
        }
        terminate_done_.Set();
    });
    lock.unlock();
    if (wait) {
        TMainThread::WaitPumping(terminate_done_);
    }
}

void TCustomFFmpeg::Pause() {
    std::lock_guard lock(state_mutex_);
    if (!working_ || !convert_thread_) {
        return;
    }
    std::lock_guard pause(pause_mutex_);
    paused_ = true;
}

void TCustomFFmpeg::Resume() {
    {
        std::lock_guard pause(pause_mutex_);
        if (!paused_) {
            return;
        }
        paused_ = false;
    }
    pause_cv_.notify_all();
}

void TCustomFFmpeg::CheckPause() {
    std::unique_lock pause(pause_mutex_);
    if (!paused_ || stop_requested_) {
        return;
    }
    held_ = true;
    pause_cv_.wait(pause, [this] { return !paused_ || stop_requested_; });
    held_ = false;
}

void TCustomFFmpeg::SetPreviewFlags(std::uint8_t flags) {
    std::lock_guard lock(PreviewLock());
    if ((preview_flags_ & PreviewWindowFlag) && !(flags & PreviewWindowFlag)) {
        previewer_.reset();
    }
    preview_flags_ = flags;
}

std::uint8_t TCustomFFmpeg::PreviewFlags() const {
    std::lock_guard lock(PreviewLock());
    return preview_flags_;
}

bool TCustomFFmpeg::HasError() const {
    std::lock_guard lock(status_mutex_);
    return has_error_;
}

std::string TCustomFFmpeg::ErrorMessage() const {
    std::lock_guard lock(status_mutex_);
    return error_message_;
}

std::string TCustomFFmpeg::LastErrorText() const {
    std::lock_guard lock(status_mutex_);
    return last_error_text_;
}

void TCustomFFmpeg::SetLastErrorText(const std::string& text) {
    std::lock_guard lock(status_mutex_);
    last_error_text_ = text;
}

AVFormatContext* TCustomFFmpeg::InputContext(int index) const {
    return index >= 0 && index < InputFileCount() ? input_files_[index].ctx : nullptr;
}

bool TCustomFFmpeg::OpenInputFile(const std::string& fileName) {
    return opt_input_file(fileName);
}

int TCustomFFmpeg::OpenOutputFile(const std::string& fileName, bool join) {
    return opt_output_file(fileName, join);
}

// ---- options and typed setters: the settings part's ----

void TCustomFFmpeg::SetOption(const std::string& name, const std::string& value) {
    settings_.SetOption(name, value);
}

void TCustomFFmpeg::SetFormat(const std::string& name) {
    settings_.SetOption("f", name);
}

void TCustomFFmpeg::SetVideoCodec(const std::string& name) {
    SetOptionUnlessEmpty("vcodec", name);
}

void TCustomFFmpeg::SetAudioCodec(const std::string& name) {
    SetOptionUnlessEmpty("acodec", name);
}

void TCustomFFmpeg::SetSubtitleCodec(const std::string& name) {
    SetOptionUnlessEmpty("scodec", name);
}

void TCustomFFmpeg::ApplyPreset(const std::string& optionName, const std::string& presetName) {
    TOptionPresets::opt_preset(settings_, optionName, presetName);
}

void TCustomFFmpeg::SetFrameSize(const std::string& text) {
    SetOptionUnlessEmpty("s", text);
}

void TCustomFFmpeg::SetFrameRate(const std::string& text) {
    SetOptionUnlessEmpty("r", text);
}

void TCustomFFmpeg::SetAspectRatio(const std::string& text) {
    SetOptionUnlessEmpty("aspect", text);
}

void TCustomFFmpeg::SetCropTop(int pixels) {
    settings_.SetOption("croptop", std::to_string(pixels));
}
void TCustomFFmpeg::SetCropBottom(int pixels) {
    settings_.SetOption("cropbottom", std::to_string(pixels));
}
void TCustomFFmpeg::SetCropLeft(int pixels) {
    settings_.SetOption("cropleft", std::to_string(pixels));
}
void TCustomFFmpeg::SetCropRight(int pixels) {
    settings_.SetOption("cropright", std::to_string(pixels));
}

void TCustomFFmpeg::SetVideoFilters(const std::string& text) {
    SetOptionUnlessEmpty("vf", text);
}

void TCustomFFmpeg::SetVideoTag(const std::string& text) {
    SetOptionUnlessEmpty("vtag", text);
}

void TCustomFFmpeg::SetAudioTag(const std::string& text) {
    SetOptionUnlessEmpty("atag", text);
}

void TCustomFFmpeg::SetSubtitleTag(const std::string& text) {
    SetOptionUnlessEmpty("stag", text);
}

void TCustomFFmpeg::SetOptionUnlessEmpty(const std::string& name, const std::string& value) {
    if (!value.empty()) {
        settings_.SetOption(name, value);
    }
}

bool TCustomFFmpeg::SetIntOption(const std::string& name, int value) {
    try {
        return settings_.opt_default(name, std::to_string(value));
    } catch (const std::exception&) {
        return false;
    }
}
void TCustomFFmpeg::SetAudioSampleRate(int rate) {
    if (rate > 0) {
        pending_.audio_sample_rate = rate;
    }
}

void TCustomFFmpeg::SetAudioChannels(int channels) {
    if (channels > 0) {
        pending_.audio_channels = channels;
    }
}

void TCustomFFmpeg::SetAudioVolume(int volume) {
    if (volume >= 0) {
        switches_.audio_volume = volume;
    }
}

void TCustomFFmpeg::SetAudioSyncMethod(int method) {
    switches_.audio_sync_method = method;
}
void TCustomFFmpeg::SetVideoSyncMethod(int method) {
    switches_.video_sync_method = method;
}

void TCustomFFmpeg::SetMuxDelay(float seconds) {
    if (seconds > 0) {
        pending_.mux_max_delay = seconds;
    }
}

void TCustomFFmpeg::SetMuxPreload(float seconds) {
    if (seconds > 0) {
        pending_.mux_preload = seconds;
    }
}

void TCustomFFmpeg::SetStartTime(std::int64_t microseconds) {
    if (microseconds != NoTimestamp) {
        pending_.start_time = microseconds;
    }
}

void TCustomFFmpeg::SetRecordingTime(std::int64_t microseconds) {
    if (microseconds != NoTimestamp) {
        pending_.recording_time = microseconds;
        total_duration_ = microseconds;
    }
}

void TCustomFFmpeg::SetTimestamp(std::int64_t seconds) {
    pending_.recording_timestamp = seconds;
}

void TCustomFFmpeg::SetProgramId(int id) {
    if (id >= 0) {
        pending_.opt_programid = id;
    }
}

void TCustomFFmpeg::SetVerbose(int level) {
    switches_.verbose = level;
}

void TCustomFFmpeg::AddMetadata(const std::string& key, const std::string& value) {
    metadata_.emplace_back(key, value);
}

void TCustomFFmpeg::SetTarget(const std::string& kind, const std::string& norm,
                              const std::string& fallbackNorm) {
    TOptionTargets::SetTargetNorm(settings_, kind, norm, fallbackNorm);
}

void TCustomFFmpeg::SetVideoDisable(bool value) {
    pending_.video_disable = value;
}
void TCustomFFmpeg::SetAudioDisable(bool value) {
    pending_.audio_disable = value;
}
void TCustomFFmpeg::SetSubtitleDisable(bool value) {
    pending_.subtitle_disable = value;
}
void TCustomFFmpeg::SetInputSync(bool value) {
    switches_.input_sync = value;
}
void TCustomFFmpeg::SetCopyTimestamps(bool value) {
    switches_.copy_ts = value;
}
void TCustomFFmpeg::SetVideoLanguage(const std::string& language) {
    pending_.video_language = language;
}
void TCustomFFmpeg::SetAudioLanguage(const std::string& language) {
    pending_.audio_language = language;
}
void TCustomFFmpeg::SetSubtitleLanguage(const std::string& language) {
    pending_.subtitle_language = language;
}
