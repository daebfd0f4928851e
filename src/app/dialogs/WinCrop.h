#pragma once

#include "CropModel.h"
#include "PreviewDialog.h"

#include <QImage>

#include <array>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class TJobList;
class TRectTracker;
class TVideoWidget;

// The crop dialog: the selected job's file plays (the preview session hands its decoded
// pictures to the window thread, drawn fitted into imgPreview) under a rubber-band rectangle;
// the user drags the rectangle or steps four margins, and OK stores the margins in preview
// pixels and as even source pixels. The rules live in TCropModel. A new dialog is made for
// every opening.
class TfrmCrop final : public TPreviewDialog {
    Q_OBJECT
public:
    explicit TfrmCrop(TJobList& jobs, QWidget* parent = nullptr);
    ~TfrmCrop() override;

    const TCropModel& Model() const { return model_; }
    bool Paused() const { return session_.Paused(); }
    // Nothing open, or played to the end (Play opens the file again).
    bool Stopped() const { return !session_.IsOpen() || session_.Ended(); }
    // Pictures the preview has drawn since the dialog opened.
    int FramesDrawn() const { return framesDrawn_; }

public slots:
    void btnOkClick();
    void btnDefaultClick();
    void imgbtnPlayClick();
    void imgbtnPauseClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Build();
    QGroupBox* BuildCropSize();
    void FormShow();
    bool OpenFile();
    void PlayerFileOpened(std::int64_t duration, int& screenWidth, int& screenHeight) override;
    void PlayerPosition(std::int64_t pts) override;
    void PlayerEnded() override;
    void PlayerPicture(const TBitmap24& picture, std::int64_t pts) override;
    void SliderReleased() override;
    void SliderChanged(int position);
    void DrawPreview();
    void RectMouseDown();
    void RectDragged(const QRect& proposed, unsigned edges);
    void SpinChanged(TCropSide side, int value);
    void ShowModel();

    TCropModel model_;
    bool updating_ = false;

    QImage shown_; // the picture on screen, kept for redrawing the rectangle's shade
    int framesDrawn_ = 0;

    QLabel* imgPreview_;
    TRectTracker* rectTracker_;
    TVideoWidget* pan1_;
    QLabel* lblSourceName_;
    std::array<QSpinBox*, 4> spins_{}; // Up, Down, Left, Right
    QPushButton* btnDefault_;
    QComboBox* cmbZoom_;
};
