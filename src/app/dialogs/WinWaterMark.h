#pragma once

#include "WaterMarkModel.h"
#include "WaterMarkUi.h"

#include <QDialog>

#include <cstdint>
#include <memory>
#include <string>

class TJobList;
class TVideoWidget;
class TWaterMarkPlayback;

// The watermark and effects editor of one job: the list of text and image items over a live
// preview of the job's file, their places, times, fonts and colours, and the four picture
// adjustments. It maps its widgets onto TWaterMarkModel; OK stores the items and the
// adjustments into the job record of the selected row.
class TfrmWaterMark final : public QDialog {
    Q_OBJECT
public:
    explicit TfrmWaterMark(TJobList& jobs, QWidget* parent = nullptr);
    ~TfrmWaterMark() override;

    TWaterMarkModel& Model() { return model_; }
    TWaterMarkPlayback& Playback() { return *playback_; }
    const TWaterMarkUi& Ui() const { return ui_; }
    // The job-list row being edited; -1 before the editor is shown or with an empty list.
    int JobRow() const { return jobRow_; }

public slots:
    void btnAddTextClick();
    void btnAddImageClick();
    void btnDeleteClick();
    void btnUpClick();
    void btnDownClick();
    void btnOkClick();
    void btnCancelClick();
    void btnResetClick();
    void btnHelpClick();
    void btnPlayClick();
    void btnPauseClick();
    // Opens the in-place editor on a text row.
    void EditRow(int row);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void OpenFile(const std::string& file);
    void ClosePlayback();
    void FileOpened();
    void PositionChanged(std::int64_t pts);
    void PlaybackEnded();
    void ShowPlayButtons(bool playing);
    void PreviewPressed(QEvent* event);
    void PreviewReleased(QEvent* event);
    void Connect();
    void ConnectWaterMarkTab();
    void ConnectEffectTab();
    void ConnectView();
    void Refresh(unsigned changes);
    void ShowRows();
    void ShowLayers();
    void ShowControls();
    void ShowAdjustments();
    void ShowTab(int index);
    void HideEditor();
    QPointF NewItemCentre() const;

    TJobList& jobs_;
    TWaterMarkModel model_;
    TWaterMarkUi ui_;
    TVideoWidget* playerPanel_ = nullptr;          // owned by the dialog
    std::unique_ptr<TWaterMarkPlayback> playback_; // before the panel it draws into is gone
    bool dragging_ = false;                        // the position slider is held
    int jobRow_ = -1;
    bool shown_ = false;
    bool closed_ = false;
};
