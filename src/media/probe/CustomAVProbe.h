#pragma once

#include "FFBaseComponent.h"
#include "ProbeInfo.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct AVDictionary;
struct AVFormatContext;
struct AVStream;

// Opens a media file (or adopts one opened elsewhere) and answers questions about its container
// and streams. Used from one thread at a time.
class TCustomAVProbe : public TFFBaseComponent {
public:
    TCustomAVProbe();
    ~TCustomAVProbe() override;

    // Opens fileName, with the named demuxer when forcedFormat is not empty. False with
    // LastErrorText set on failure; raises FFmpegException when the libraries are missing.
    bool LoadFile(const std::string& fileName, const std::string& forcedFormat = "");

    virtual void RefreshInfo();
    // Adopts a context opened elsewhere; the probe never closes it.
    virtual void AttachContext(AVFormatContext* context);
    virtual void Close();

    // A negative index means the first stream of the kind. False (record cleared, error
    // reported) when there is no such stream.
    bool GetFileStreamInfo(TFileStreamInfo& info);
    bool GetAudioStreamInfo(int index, TAudioStreamInfo& info);
    bool GetVideoStreamInfo(int index, TVideoStreamInfo& info);
    std::string GetInfoText();
    // Reads the open file's packets to its end (nothing is decoded) and counts those of the
    // stream; -1 when none is open or when stop becomes true first. Moves the read position.
    std::int64_t CountPackets(int index, const std::atomic<bool>& stop);

    std::string FileName() const;
    std::string FormatName() const;
    bool IsAudioStream(int index) const;
    bool IsVideoStream(int index) const;

    static void CheckLibraries();

    // The open file's context (owned or adopted), null when none.
    AVFormatContext* Context() const { return context_; }
    bool OwnsContext() const { return ownsContext_; }
    const std::string& LastErrorText() const { return lastErrorText_; }
    const std::string& ForcedFormat() const { return forcedFormat_; }
    std::int64_t FileSize() const { return fileSize_; }
    int StreamCount() const { return streamCount_; }
    int ProgramCount() const { return programCount_; }
    int AudioStreamCount() const { return audioStreamCount_; }
    int VideoStreamCount() const { return videoStreamCount_; }
    int SubtitleStreamCount() const { return subtitleStreamCount_; }
    int FirstAudioStreamIndex() const { return firstAudioStreamIndex_; }
    int FirstVideoStreamIndex() const { return firstVideoStreamIndex_; }
    int FirstSubtitleStreamIndex() const { return firstSubtitleStreamIndex_; }

protected:
    // Logs text at a library level (16 error, 24 warning) and keeps it as LastErrorText.
    void ReportError(int libraryLevel, const std::string& text);
    // A time of stream index in microseconds; NoTimestamp stays NoTimestamp.
    std::int64_t StreamTimeUS(int index, std::int64_t value) const;

private:
    struct InputCloser {
        void operator()(AVFormatContext* context) const;
    };

    // The stream at index when it has the wanted media type; reports the failure otherwise.
    AVStream* SelectStream(int index, int mediaType);
    std::string StreamLine(int index) const;
    std::string MetadataBlock(const AVDictionary* metadata, const std::string& indent) const;

    std::unique_ptr<AVFormatContext, InputCloser> ownedContext_;
    AVFormatContext* context_ = nullptr; // ownedContext_ or the adopted one
    bool ownsContext_ = false;
    std::string lastErrorText_;
    std::string forcedFormat_;
    std::int64_t fileSize_ = -1;
    int streamCount_ = -1;
    int programCount_ = -1;
    int audioStreamCount_ = -1;
    int videoStreamCount_ = -1;
    int subtitleStreamCount_ = -1;
    int firstAudioStreamIndex_ = -1;
    int firstVideoStreamIndex_ = -1;
    int firstSubtitleStreamIndex_ = -1;
};
