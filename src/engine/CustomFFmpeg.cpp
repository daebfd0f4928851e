// The facade of a conversion task: the parts wired together, the life cycle (reset, start,
// stop, pause, termination), and the typed setters the encoder component uses.

#include "FFmpeg.h"

#include "FFmpegException.h"
#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "FFmpegMessages.h"
#include "MainThread.h"
#include "MediaUtils.h"
#include "OptionHandlers.h"
#include "OptionPresets.h"
#include "OptionTargets.h"
#include "TranscodeState.h"

TCustomFFmpeg::TCustomFFmpeg()
    : input_files_(run_, settings_), output_streams_(run_, settings_),
      output_files_(run_, settings_, {input_files_, output_streams_}), report_(*this, run_),
      preview_(*this), hooks_(*this, run_, frame_hooks_), writer_(run_, report_),
      audio_(run_, writer_), video_(run_, {output_files_, hooks_, preview_, writer_, report_}),
      decoder_(run_, {video_, audio_, writer_}),
      stream_setup_(run_, {input_files_, output_files_, hooks_, preview_, video_, report_}),
      setup_(run_, {input_files_, output_files_, stream_setup_, report_}),
      loop_(run_, {input_files_, output_files_, decoder_, writer_, audio_, report_},
            [this] { CheckPause(); }) {
    services_.sender = this;
    services_.setLastErrorText = [this](const std::string& text) { SetLastErrorText(text); };
    services_.lastErrorText = [this] { return LastErrorText(); };
    services_.findCodec = [this](const std::string& name, AVMediaType type, bool encoder,
                                 int strict, const AVCodec*& codec) {
        return find_codec(name, type, encoder, strict, codec);
    };
    services_.defaultEncoder = [this](AVCodecID id) { return default_encoder(id); };
}

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
    ResetState(true);
}

void TCustomFFmpeg::ResetQueued() {
    ResetState(false);
}

void TCustomFFmpeg::ResetState(bool withContexts) {
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
    settings_.Reset(withContexts);
    output_files_.Reset();
    report_.ResetStats();
    hooks_.Reset();
    preview_.Reset();
    {
        std::lock_guard lock(status_mutex_);
        has_error_ = false; // ErrorMessage and LastErrorText keep their last text
    }
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
    // The outputs are closed first; a failed task leaves nothing behind.
    output_files_.RemoveLeftovers(HasError());
    input_files_.Clear();
    settings_.ReleaseAfterConversion();
    hooks_.Release();
    preview_.Release();
}

TConvertThread* TCustomFFmpeg::Start(bool useThread, TThreadPriority priority) {
    std::unique_lock lock(state_mutex_);
    if (working_ || terminated_ || termination_claimed_) {
        return nullptr;
    }
    const char* missing = output_files_.Empty()  ? enginemsg::NoOutputFile
                          : input_files_.Empty() ? enginemsg::NoInputFile
                                                 : nullptr;
    if (missing != nullptr && !PrepareHandler) {
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
        if (PrepareHandler) {
            settings_.EnsureContexts();
            PrepareHandler(*this);
            if (!stop_requested_) {
                if (output_files_.Empty()) {
                    throw FFmpegException(enginemsg::NoOutputFile);
                }
                if (input_files_.Empty()) {
                    throw FFmpegException(enginemsg::NoInputFile);
                }
            }
        }
        if (!stop_requested_ || !PrepareHandler) {
            transcode();
        }
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
            convert_done_.Wait();
        }
        return;
    }
    if (terminated_ || termination_claimed_) {
        // A notice still being given by the short-lived thread below is waited for too (not
        // from that thread itself).
        const bool onNoticeThread = terminate_thread_ && terminate_thread_->joinable() &&
                                    terminate_thread_->get_id() == std::this_thread::get_id();
        lock.unlock();
        if (wait && !onNoticeThread) {
            terminate_done_.Wait();
        }
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
        terminate_done_.Wait();
    }
}

void TCustomFFmpeg::JoinEndedThread() {
    std::unique_ptr<TConvertThread> ended;
    {
        std::lock_guard lock(state_mutex_);
        if (working_ || !terminated_ || !convert_thread_ ||
            convert_thread_->Id() == std::this_thread::get_id()) {
            return;
        }
        ended = std::move(convert_thread_);
    }
    // Its body has given the notice and only returns now.
    ended->Join();
}

void TCustomFFmpeg::CancelUnstarted() {
    {
        std::lock_guard lock(state_mutex_);
        if (working_ || terminated_ || termination_claimed_) {
            return;
        }
        termination_claimed_ = true;
    }
    DoTerminate();
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
    preview_.SetFlags(flags);
}

std::uint8_t TCustomFFmpeg::PreviewFlags() const {
    return preview_.Flags();
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
    return input_files_.Context(index);
}

bool TCustomFFmpeg::OpenInputFile(const std::string& fileName) {
    return opt_input_file(fileName);
}

int TCustomFFmpeg::OpenOutputFile(const std::string& fileName, bool join) {
    return opt_output_file(fileName, join);
}

// ---- files and streams ----

bool TCustomFFmpeg::opt_input_file(const std::string& fileName) {
    return input_files_.opt_input_file(fileName, total_duration_);
}

int TCustomFFmpeg::opt_output_file(const std::string& fileName, bool join) {
    return output_files_.opt_output_file(fileName, join, total_duration_);
}

void TCustomFFmpeg::new_video_stream(TOutputFile& file, int) {
    output_streams_.new_video_stream(file);
}

void TCustomFFmpeg::new_audio_stream(TOutputFile& file, int) {
    output_streams_.new_audio_stream(file);
}

void TCustomFFmpeg::new_subtitle_stream(TOutputFile& file, int) {
    output_streams_.new_subtitle_stream(file);
}

TOutputFile& TCustomFFmpeg::LastOutputFile() {
    return output_files_.LastOutputFile();
}

int TCustomFFmpeg::FindInputFile(const std::string& fileName) const {
    return input_files_.FindInputFile(fileName);
}

// ---- conversion ----

void TCustomFFmpeg::transcode() {
    // Set before the set-up fills it, so that whatever it opened is released after a failure.
    transcode_state_ = std::make_unique<TTranscodeState>();
    setup_.transcode_init(*transcode_state_);
    loop_.Run(*transcode_state_);
    finished_ = !stop_requested_;
    ReleaseTranscodeState();
}

void TCustomFFmpeg::ReleaseTranscodeState() {
    if (!transcode_state_) {
        return;
    }
    stream_setup_.release_codecs(*transcode_state_);
    transcode_state_.reset();
}

// ---- options and typed setters: the settings part's ----

void TCustomFFmpeg::SetOption(const std::string& name, const std::string& value) {
    settings_.SetOption(name, value);
}

void TCustomFFmpeg::SetFormat(const std::string& name) {
    settings_.SetOption("f", name);
}

void TCustomFFmpeg::ApplyPreset(const std::string& optionName, const std::string& presetName) {
    TOptionPresets::opt_preset(settings_, optionName, presetName);
}

void TCustomFFmpeg::SetCropTop(int pixels) {
    TOptionHandlers::SetCropBand(settings_, "croptop", pixels);
}
void TCustomFFmpeg::SetCropBottom(int pixels) {
    TOptionHandlers::SetCropBand(settings_, "cropbottom", pixels);
}
void TCustomFFmpeg::SetCropLeft(int pixels) {
    TOptionHandlers::SetCropBand(settings_, "cropleft", pixels);
}
void TCustomFFmpeg::SetCropRight(int pixels) {
    TOptionHandlers::SetCropBand(settings_, "cropright", pixels);
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
void TCustomFFmpeg::SetMuxDelay(float seconds) {
    if (seconds > 0) {
        pending_.mux_max_delay = seconds;
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
