#pragma once

#include "Bitmap24.h"
#include "CropModel.h"
#include "FFPlayer.h"

#include <QDialog>
#include <QImage>
#include <QTimer>

#include <array>
#include <atomic>
#include <mutex>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpacerItem;
class QSpinBox;
class QToolButton;
class TJobList;
class TRectTracker;
class TSelectionSlider;
class TVideoWidget;

// The crop dialog: the selected job's file plays (its frames copied through the player's
// hook and drawn fitted into imgPreview every 100 ms) under a rubber-band rectangle; the user
// drags the rectangle or steps four margins, and OK stores the margins in preview pixels and
// as even source pixels. The rules live in TCropModel. Every showing starts over from the
// selected job, so one dialog serves every opening.
class TfrmCrop final : public QDialog {
    Q_OBJECT
public:
    static constexpr int FrameIntervalMs = 100;

    explicit TfrmCrop(TJobList& jobs, QWidget* parent = nullptr);
    ~TfrmCrop() override;

    const TCropModel& Model() const { return model_; }
    TFFPlayer& Player() { return player_; }
    int Row() const { return row_; }
    bool Paused() const { return paused_; }
    bool Stopped() const { return stopped_; }
    // Frames the preview has drawn since the dialog opened.
    int FramesDrawn() const { return framesDrawn_; }

public slots:
    void btnOkClick();
    void btnDefaultClick();
    void imgbtnPlayClick();
    void imgbtnPauseClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    QGroupBox* BuildCropSize();
    void FitDesignSize();
    void FormShow();
    bool OpenFile();
    void FFPlayerFileOpen(std::int64_t duration);
    void FFPlayerPosition(std::int64_t pts);
    void FFPlayerState(TPlayState state);
    void FFPlayerHook(const TBitmap24& bitmap);
    void SliderChanged(int position);
    void SeekToSlider();
    void DrawLatestFrame();
    void DrawPreview();
    void RectMouseDown();
    void RectDragged(const QRect& proposed, unsigned edges);
    void SpinChanged(TCropSide side, int value);
    void ShowModel();
    void Close();

    TJobList& jobs_;
    TCropModel model_;
    TFFPlayer player_;
    int row_ = -1;
    std::int64_t sourceDuration_ = 0;
    bool updating_ = false;
    bool seeking_ = false;
    std::atomic<bool> paused_{true};
    std::atomic<bool> stopped_{true};
    bool closed_ = false;

    // The latest hooked frame, written on the player's video thread.
    std::mutex frameMutex_;
    TBitmap24 frame_;
    int frameSerial_ = 0;
    int drawnSerial_ = 0;
    QImage shown_; // the frame on screen, kept for redrawing the rectangle's shade
    int framesDrawn_ = 0;
    QTimer frameTimer_;

    QLabel* imgPreview_;
    TRectTracker* rectTracker_;
    TVideoWidget* pan1_;
    TSelectionSlider* trcPreview_;
    QLabel* lblSourceName_;
    QLabel* lblPTS_;
    QLabel* lblLength_;
    std::array<QSpinBox*, 4> spins_{}; // Up, Down, Left, Right
    QPushButton* btnDefault_;
    QPushButton* btnReset_;
    QPushButton* btnOk_;
    QPushButton* btnCancel_;
    QToolButton* imgbtnPlay_;
    QToolButton* imgbtnPause_;
    QComboBox* cmbZoom_;
    std::array<QSpacerItem*, 2> gaps_{}; // owned by the layout
};
