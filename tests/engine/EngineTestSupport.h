#pragma once

// Helpers of the engine's end-to-end tests: a task whose settings tests can write directly,
// a log capture and a few ffprobe checks.

#include "FFmpeg.h"
#include "FFmpegLogger.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace engine_test {

// Writes the settings an option would write, for tests that do not go through the option
// table.
class TTestEngine : public TCustomFFmpeg {
public:
    TPendingSettings& P() { return pending_; }
    TTaskSwitches& S() { return switches_; }
    TOptionContexts& Contexts() { return opt_ctx_; }
    std::vector<TStreamMap>& Maps() { return stream_maps_; }
    std::vector<std::string>& VideoBitstreamFilters() { return video_bitstream_filters_; }
    std::vector<std::string>& AudioBitstreamFilters() { return audio_bitstream_filters_; }

    // The encoder context of stream k of output file m (before the conversion).
    const AVCodecContext* Encoder(int m, int k) const {
        return output_files_.Table().at(m)->streams.at(k).enc.get();
    }
    int StreamCount(int m) const {
        return static_cast<int>(output_files_.Table().at(m)->streams.size());
    }

    void VideoCodec(const std::string& name) {
        if (name == "copy") {
            pending_.video_stream_copy = true;
        } else {
            pending_.video_codec_name = name;
        }
    }
    void AudioCodec(const std::string& name) {
        if (name == "copy") {
            pending_.audio_stream_copy = true;
        } else {
            pending_.audio_codec_name = name;
        }
    }
    void Format(const std::string& name) { pending_.file_format = name; }
    // A generic library option (bit rate, gop size, ...).
    bool Generic(const std::string& name, const std::string& value) {
        return opt_ctx_.SetDefaultOption(name, value);
    }
    void FrameSize(int width, int height) {
        pending_.frame_width = width;
        pending_.frame_height = height;
    }
    void FrameRate(int num, int den) { pending_.frame_rate = AVRational{num, den}; }

    // Runs the conversion on a worker thread and waits, serving the main-thread queue.
    bool RunThreaded(std::chrono::milliseconds timeout = std::chrono::seconds(120)) {
        TConvertThread* thread = Start(true);
        if (thread == nullptr) {
            return false;
        }
        thread->Resume();
        return testing_support::PumpUntil([this] { return Terminated(); }, timeout);
    }
};

// Collects log lines (delivered on the logging thread) while it lives.
class TLogCapture {
public:
    explicit TLogCapture(TLogLevel level = llVerbose);
    ~TLogCapture();
    std::vector<std::string> Lines() const;
    bool Contains(const std::string& text) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

struct TClipSet {
    testing_support::TempDir dir;
    // H.264 + AAC, 640x480, 25 fps, 44100 Hz.
    std::string Mp4(double seconds = 5, const std::string& name = "in.mp4");
};

std::string Md5(const std::string& path);
std::string SplitFirst(const std::string& text, char delimiter);
int ProbeInt(const std::string& path, const std::string& selector, const std::string& entry);
double ProbeDouble(const std::string& path, const std::string& selector, const std::string& entry);
// Decodes the whole file with the ffmpeg tool; empty when it decodes without error.
std::string DecodeErrors(const std::string& path);
// Frames of the first video stream, counted by decoding.
int CountFrames(const std::string& path);

} // namespace engine_test
