#pragma once

#include "PreviewSession.h"
#include "PreviewState.h"

#include <QObject>

#include <cstdint>
#include <functional>

class TFFPlayer;
class TMainWindowModel;
struct TMainWindowUi;

// The main window's preview: plays the selected job's source into "pan1" with the position
// slider, the time labels, Play, Pause, Stop, Snap, Mute and the volume slider, through a
// preview session of the window's player, whose events arrive on the main thread. A left-button
// release over "trcPreview" anywhere in the program seeks.
class TMainPreview final : public QObject {
    Q_OBJECT
public:
    // add runs the Add command (Play on an empty list) and tells whether files are being added.
    TMainPreview(TFFPlayer& player, TMainWindowUi& ui, TMainWindowModel& model,
                 std::function<bool()> add, QObject* parent = nullptr);
    ~TMainPreview() override;

    const TPreviewState& State() const { return state_; }
    const TPreviewSession& Session() const { return session_; }

    // The window's first showing: Play only, volume and mute from the settings.
    void FirstShow();
    void Play();
    void Pause();
    // Stops playing (the Stop button, and the commands that need the file to themselves).
    void Stop();
    void Snap();
    void MuteClicked();
    void VolumeReleased();
    // An Add ended: when Play started it, the first added file plays.
    void AddFinished(int added);

    // The player's events.
    void FileOpened(std::int64_t duration, int frameWidth, int frameHeight, int& screenWidth,
                    int& screenHeight);
    void PositionChanged(std::int64_t position);
    // Played to the end: the session has rewound and paused.
    void Ended();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowButtons();
    void ResetPosition();
    void Log(const std::string& text);
    void OpenSelected();
    void SliderReleased(QObject* watched, QEvent* event);

    TFFPlayer& player_;
    TMainWindowUi& ui_;
    TMainWindowModel& model_;
    std::function<bool()> add_;
    TPreviewState state_;
    TPreviewSession session_;
    quint64 lastRelease_ = 0;
};
