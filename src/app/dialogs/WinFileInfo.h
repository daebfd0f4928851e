#pragma once

#include "FileInfoModel.h"
#include "FrameCounter.h"

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

// The file information window: container, duration and the first video and audio stream of
// one source file, read-only. Made once and reused; every Load starts from empty fields.
class TfrmFileInfo final : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFileInfo(QWidget* parent = nullptr);

    // Probes fileName and shows what was found; an empty name (no job) or a file the probe
    // cannot read leaves every field empty. False in those cases.
    bool Load(const std::string& fileName);
    const TFileInfoModel& Model() const { return model_; }
    // A count of the video packets is still being made for "Total Frame".
    bool CountingFrames() const { return frameCounter_.Busy(); }

private:
    QLineEdit* Field(const char* name, QWidget* parent);
    void AlignCaptions();
    void ShowFields(const std::string& fileName);

    TFileInfoModel model_;
    TFrameCounter frameCounter_;
    QLabel* lblSourceName_;
    QLabel* lblFileLength_;
    QLineEdit* edtFormat_ = nullptr;
    QLineEdit* edtResloution_ = nullptr;
    QLineEdit* edtBitRate_ = nullptr;
    QLineEdit* edtFrameRate_ = nullptr;
    QLineEdit* edtTotalFrame_ = nullptr;
    QLineEdit* edtAudioForamt_ = nullptr;
    QLineEdit* edtSampleRate_ = nullptr;
    QLineEdit* edtChannel_ = nullptr;
    QLineEdit* edtAudioBitRate_ = nullptr;
    QPushButton* btnOk_;
};
