#pragma once

#include "FFPlayer.h"
#include "PreviewSession.h"

#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <string>
#include <vector>

class QBoxLayout;
class QFrame;
class QLabel;
class QPushButton;
class QSpacerItem;
class QToolButton;
class TJobList;
class TSelectionSlider;

// What the trim and crop dialogs share: the selected job's file playing through a preview
// session of the dialog's own player, the position slider (a left-button release seeks where
// the thumb was let go), the time labels, Play and Pause, Reset, OK and Cancel, the rule above
// the buttons and the spacing that fits the controls to the design height. Each dialog builds
// its own layout from these parts, in the order that gives its focus chain, and handles the
// session's events. A dialog calls ClosePreview in its destructor, so that no event reaches
// the part of it already destroyed.
class TPreviewDialog : public QDialog {
    Q_OBJECT
public:
    TFFPlayer& Player() { return player_; }
    const TPreviewSession& Session() const { return session_; }
    // The job row this opening works on (-1: none).
    int Row() const { return row_; }
    // The user holds the position slider, or a seek from it is settling.
    bool Dragging() const { return dragging_; }

protected:
    // pictures: the session hands copies of the decoded pictures to PlayerPicture.
    TPreviewDialog(TJobList& jobs, const char* name, const char* caption, bool pictures,
                   QWidget* parent);

    // The shared controls, each group created where the dialog's focus chain wants it.
    // "trcPreview", "lblPTS", "lblLength".
    void BuildPosition();
    // "imgbtnPlay", "imgbtnPause".
    void BuildPlayButtons();
    // "btnReset", "btnOk" (the default), "btnCancel" (rejects).
    void BuildDialogButtons();
    // "bvlButtons".
    QFrame* BuildRule();
    // A row of spacing that FitDesignSize fills.
    void AddGap(QBoxLayout* layout);
    // The room the controls leave at the design size spreads over the gaps, the first ones
    // taking a pixel more; fixed: the window keeps that size, else it only starts at it.
    void FitDesignSize(int width, int height, bool fixed);

    // The selected job, the first one selected when none is; -1 with an empty list.
    int SelectJob();
    // The program loads the libraries at start; without them nothing plays.
    bool LibrariesLoaded() const;
    // Play enabled while not playing, Pause while playing.
    void ShowPlaying(bool playing);
    // The slider of a newly opened file: at its start, no band, a thumb when it has a length.
    void ResetSlider(std::int64_t duration);
    // Stops the player and waits for it; the slider is no longer held.
    void ClosePreview();

    // The session's events, on the window thread.
    virtual void PlayerFileOpened(std::int64_t duration, int& screenWidth, int& screenHeight);
    virtual void PlayerPosition(std::int64_t pts);
    virtual void PlayerEnded();
    virtual void PlayerPicture(const TBitmap24& picture, std::int64_t pts);
    // The slider was let go: by default the session seeks there.
    virtual void SliderReleased();

    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    TJobList& jobs_;
    TFFPlayer player_;
    TPreviewSession session_; // after the player it drives
    int row_ = -1;
    bool dragging_ = false;
    QTimer settle_;

    TSelectionSlider* trcPreview_ = nullptr;
    QLabel* lblPTS_ = nullptr;
    QLabel* lblLength_ = nullptr;
    QToolButton* imgbtnPlay_ = nullptr;
    QToolButton* imgbtnPause_ = nullptr;
    QPushButton* btnReset_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;

private:
    TPreviewSession::TEvents SessionEvents(bool pictures);

    std::vector<QSpacerItem*> gaps_; // owned by the layout
};
