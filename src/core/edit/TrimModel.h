#pragma once

#include "JobRecord.h"

#include <cstdint>
#include <optional>
#include <string>

// What OK makes of the marks: the record's start and length, and the length the row shows.
struct TTrimResult {
    std::int64_t TrimStart = 0;  // microseconds, 0 = from the beginning
    std::int64_t TrimLength = 0; // microseconds, 0 = to the end
    std::int64_t Length = 0;     // the marked length (the whole file when the marks are unusable)
    bool operator==(const TTrimResult&) const = default;
};

// The trim dialog without its widgets: the two marks over the source duration, the time
// texts, the position slider's mapping and what OK stores. Times are microseconds.
//
// An opening starts with BeginOpen; FileOpened follows when the player opened the file (it
// resets the marks) and LoadMarks when the open succeeded. Until then Apply stores nothing, so
// a file that could not be opened never overwrites the record with an earlier opening's marks.
class TTrimModel {
public:
    static constexpr int WindowWidth = 598;
    static constexpr int WindowHeight = 460;
    static constexpr int PreviewWidth = 564;
    static constexpr int PreviewHeight = 275;
    static constexpr int CaptionLimit = 50;
    // Lengths closer than this to nothing or to the whole file count as "to the end".
    static constexpr std::int64_t Tolerance = 1000;
    // How long the slider stays away from the position reports after a seek.
    static constexpr int SeekSettleMs = 300;

    // "HH:MM:SS.mmm"; hours are not wrapped at 24.
    static std::string TimeText(std::int64_t t);
    // The window caption once the file is open: the path, or "Trim   " and a shortened path.
    static std::string Caption(const std::string& path);
    // The "Trimmed Length" cell: whole seconds.
    static std::string TrimmedLengthText(std::int64_t length);

    void BeginOpen() { opened_ = false; }
    // The player's file-open event.
    void FileOpened(std::int64_t duration);
    // The open succeeded: the marks come from the job record.
    void LoadMarks(const TlvFilesRecord& record);
    bool Opened() const { return opened_; }

    std::int64_t MarkStart() const { return markStart_; }
    std::int64_t MarkEnd() const { return markEnd_; }
    std::int64_t SourceDuration() const { return sourceDuration_; }

    // The slider position of a time, and the time of a slider position (0 without a duration
    // or a slider).
    int SliderPosition(std::int64_t t, int sliderMax) const;
    std::int64_t SeekTime(int position, int sliderMax) const;

    // The player's position becomes the mark; at position 0 (or before) nothing happens.
    bool SetStart(std::int64_t position);
    bool SetEnd(std::int64_t position);
    // The whole file.
    void Reset();

    TTrimResult Result() const;
    // Writes the result into the record and returns the text of the row's "Trimmed Length";
    // nothing (and no change) when no file was opened in this opening.
    std::optional<std::string> Apply(TlvFilesRecord& record) const;

private:
    std::int64_t markStart_ = 0;
    std::int64_t markEnd_ = 0;
    std::int64_t sourceDuration_ = 0;
    bool opened_ = false;
};
