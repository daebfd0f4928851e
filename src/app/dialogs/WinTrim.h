#pragma once

#include "FFPlayer.h"
#include "TrimModel.h"

#include <QDialog>
#include <QTimer>

#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;
class QToolButton;
class TJobList;
class TSelectionSlider;
class TVideoWidget;

// The trim dialog: the selected job's file plays in imgPreview; the user marks a start and an
// end with the player's position, and OK stores them as the job's trim start and length and
// updates the row's "Trimmed Length". The rules live in TTrimModel; this maps the widgets and
// the player's events onto it. Created once and reused: every showing reopens the file.
class TfrmTrim final : public QDialog {
    Q_OBJECT
public:
    explicit TfrmTrim(TJobList& jobs, QWidget* parent = nullptr);
    ~TfrmTrim() override;

    const TTrimModel& Model() const { return model_; }
    TFFPlayer& Player() { return player_; }
    // The job row this opening works on (-1: none).
    int Row() const { return row_; }
    // The user holds the position slider, or a seek from it is settling.
    bool Dragging() const { return dragging_; }

public slots:
    void btnSetStartClick();
    void btnSetEndClick();
    void btnResetClick();
    void btnOkClick();
    void imgbtnPlayClick();
    void imgbtnPauseClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    void FitDesignSize();
    void FormShow();
    void FFPlayerFileOpen(std::int64_t duration, int& screenWidth, int& screenHeight);
    void FFPlayerPosition(std::int64_t pts);
    void FFPlayerState(TPlayState state);
    void SliderReleased();
    void ShowSelection();
    void StopPlayer();

    TJobList& jobs_;
    TTrimModel model_;
    TFFPlayer player_;
    int row_ = -1;
    bool dragging_ = false;
    bool ended_ = false; // played to the end, not yet played again
    QTimer settle_;

    TVideoWidget* imgPreview_;
    TSelectionSlider* trcPreview_;
    QLabel* lblPTS_;
    QLabel* lblLength_;
    QLineEdit* edtStart_;
    QLineEdit* edtTrimLength_;
    QPushButton* btnSetStart_;
    QPushButton* btnSetEnd_;
    QPushButton* btnReset_;
    QPushButton* btnOk_;
    QPushButton* btnCancel_;
    QToolButton* imgbtnPlay_;
    QToolButton* imgbtnPause_;
    QToolButton* imgbtnPlaySel_;
    std::vector<QSpacerItem*> gaps_; // owned by the layout
};
