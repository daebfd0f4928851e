#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpacerItem;
class QTimer;
class QToolButton;
class TFittedPictureView;
class TProgressWindowModel;

// The progress window of a batch: the preview picture of the running conversion (with several
// running, the most recently started one, and a line per running file under it), the current
// file's figures and the remaining times, Pause, Resume, Cancel, the snapshot button and the two
// after-conversion boxes. It maps its widgets to TProgressWindowModel; the main window creates
// it once and shows it for every batch. It blocks every other window while shown, but runs in
// the program's own event loop, so the program never waits inside it.
class TfrmProgress final : public QDialog {
    Q_OBJECT
public:
    static constexpr int PreviewInterval = 100; // milliseconds

    explicit TfrmProgress(TProgressWindowModel& model, QWidget* parent = nullptr);
    ~TfrmProgress() override;

    // Shows the window and starts the batch's tasks.
    void ShowAndStart();

    TFittedPictureView* Preview() const { return imgPreview_; }
    QListWidget* RunningList() const { return lstRunning_; }

public slots:
    // Escape, the close button and close(): the batch stops and the window waits for its end
    // (the event loop keeps running meanwhile).
    void reject() override;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void BuildLayout();
    void SpreadRows();
    void Connect();
    // Labels, bar, buttons and title from the model.
    void Refresh();
    void RefreshRemaining();
    void RefreshRunning();
    void PreviewTick();
    void BatchEnded();

    TProgressWindowModel& model_;
    TFittedPictureView* imgPreview_;
    QLabel* lblTime_;
    QLabel* lblSize_;
    QLabel* lblLength_;
    QLabel* lblProgress_;
    QLabel* lblOutput_;
    QLabel* lblRemaining_;
    QLabel* lblBatchRemaining_;
    QProgressBar* progbarFile_;
    QListWidget* lstRunning_;
    std::array<QSpacerItem*, 3> gaps_{}; // owned by the layout
    QCheckBox* ckShutDown_;
    QCheckBox* ckOpen_;
    QPushButton* btnPause_;
    QPushButton* btnResume_;
    QPushButton* btnCancel_;
    QToolButton* imgbtnSnap_;
    QTimer* tmrPreview_;
    bool closing_ = false;
};
