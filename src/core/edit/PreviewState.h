#pragma once

#include <cstdint>
#include <string>

// Which preview buttons are enabled.
struct TPreviewButtons {
    bool Play = true;
    bool Pause = false;
    bool Stop = false;
    bool Snap = false;

    bool operator==(const TPreviewButtons&) const = default;
};

// The main window's preview without its widgets and player: stopped, playing or paused, the
// open file's duration, whether an Add started by Play should play, the buttons each state
// enables, and the texts and seek arithmetic of the position slider and labels.
class TPreviewState {
public:
    static constexpr const char* ZeroTime = "00:00:00";

    bool Stopped() const { return stopped_; }
    bool Paused() const { return paused_; }
    bool Playing() const { return !stopped_ && !paused_; }
    // Stopped: Play only; playing: Pause, Stop, Snap; paused: Play, Stop, Snap.
    TPreviewButtons Buttons() const;

    void SetPlaying();
    void SetPaused();
    // Stop, and the end of playback.
    void SetStopped();

    std::int64_t MediaDuration() const { return mediaDuration_; }
    void SetMediaDuration(std::int64_t microseconds) { mediaDuration_ = microseconds; }
    // Play found the list empty and started Add.
    bool PlayOnAdd() const { return playOnAdd_; }
    void SetPlayOnAdd(bool on) { playOnAdd_ = on; }

    // "hh:mm:ss.mmm"; hours are not wrapped at 24 (3,723,456,789 us: "01:02:03.456").
    static std::string PositionText(std::int64_t microseconds);
    // Rounded to whole seconds, hours unpadded (3725 s: "1:02:05"); below 0 counts as 0.
    static std::string DurationText(std::int64_t microseconds);

private:
    bool stopped_ = true;
    bool paused_ = false;
    bool playOnAdd_ = false;
    std::int64_t mediaDuration_ = 0;
};
