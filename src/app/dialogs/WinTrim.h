#pragma once

#include "PreviewDialog.h"
#include "TrimModel.h"

#include <string>

class QLineEdit;
class QPushButton;
class QToolButton;
class TJobList;
class TVideoWidget;

// The trim dialog: the selected job's file plays in imgPreview; the user marks a start and an
// end with the player's position, and OK stores them as the job's trim start and length and
// updates the row's "Trimmed Length". The rules live in TTrimModel; this maps the widgets and
// the preview's events onto it. Created once and reused: every showing reopens the file.
class TfrmTrim final : public TPreviewDialog {
    Q_OBJECT
public:
    explicit TfrmTrim(TJobList& jobs, QWidget* parent = nullptr);
    ~TfrmTrim() override;

    const TTrimModel& Model() const { return model_; }

public slots:
    void btnSetStartClick();
    void btnSetEndClick();
    void btnResetClick();
    void btnOkClick();
    void imgbtnPlayClick();
    void imgbtnPauseClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Build();
    void FitDesignSize();
    void FormShow();
    void PlayerFileOpened(std::int64_t duration, int& screenWidth, int& screenHeight) override;
    void PlayerPosition(std::int64_t pts) override;
    void PlayerEnded() override;
    void ShowSelection();

    TTrimModel model_;

    TVideoWidget* imgPreview_;
    QLineEdit* edtStart_;
    QLineEdit* edtTrimLength_;
    QPushButton* btnSetStart_;
    QPushButton* btnSetEnd_;
    QToolButton* imgbtnPlaySel_;
};
