#include "ProgressWindowModel.h"

#include "BatchMessages.h"
#include "Settings.h"
#include "ShellServices.h"

TProgressWindowModel::TProgressWindowModel(TBatchRun& run, const TGlobalObject& global)
    : run_(run), global_(global) {
    run_.AddListener(*this);
}

TProgressWindowModel::~TProgressWindowModel() {
    run_.RemoveListener(*this);
}

void TProgressWindowModel::Changed() {
    if (OnChanged) {
        OnChanged();
    }
}

void TProgressWindowModel::SetMainButtons(const TBatchButtons& buttons) {
    mainButtons_ = buttons;
    if (OnButtonsChanged) {
        OnButtonsChanged();
    }
}

void TProgressWindowModel::Show() {
    openFolder_ = true;
    lastTaskConverted_ = false;
    pauseEnabled_ = true;
    resumeEnabled_ = false;
    cancelEnabled_ = true;
    SetMainButtons({false, false, false, false, true, true, false});
    Changed();
    run_.RunTasks();
}

void TProgressWindowModel::PauseClick() {
    if (!pauseEnabled_) {
        return;
    }
    run_.Pause();
    pauseEnabled_ = false;
    resumeEnabled_ = true;
    TBatchButtons buttons = mainButtons_;
    buttons.Pause = false;
    buttons.Resume = true;
    SetMainButtons(buttons);
    Changed();
}

void TProgressWindowModel::ResumeClick() {
    if (!resumeEnabled_) {
        return;
    }
    run_.Resume();
    pauseEnabled_ = true;
    resumeEnabled_ = false;
    TBatchButtons buttons = mainButtons_;
    buttons.Pause = true;
    buttons.Resume = false;
    SetMainButtons(buttons);
    Changed();
}

void TProgressWindowModel::CancelClick() {
    if (!cancelEnabled_) {
        return;
    }
    pauseEnabled_ = resumeEnabled_ = cancelEnabled_ = false;
    SetMainButtons({true, false, false, false, false, false, false});
    Changed();
    run_.Stop();
}

bool TProgressWindowModel::Close() {
    if (run_.Prepared()) {
        closing_ = true;
        run_.Stop(); // nothing converts yet: the batch ends at once
        closing_ = false;
        return true;
    }
    if (run_.Running()) {
        // Nothing waits here: the batch stops and its end closes the window (OnClose).
        pauseEnabled_ = resumeEnabled_ = cancelEnabled_ = false;
        SetMainButtons({true, false, false, false, false, false, false});
        run_.Stop();
        Changed();
        return false;
    }
    return true;
}

void TProgressWindowModel::SnapshotClick() {
    if (!HasPreview()) {
        return;
    }
    TSettings settings(global_);
    TSnapshotWriter(settings).Save(run_.PreviewFrame(), PreviewPicture());
}

int TProgressWindowModel::BarValue() const {
    const int percent = run_.Progress().BarPercent();
    return percent < 0 ? 0 : percent;
}

std::string TProgressWindowModel::Title() const {
    return run_.Running() ? run_.Progress().TitleText() : batchmsg::ProgressCaption;
}

TFitRect TProgressWindowModel::PreviewRect(int areaWidth, int areaHeight) const {
    const TBitmap24& frame = run_.PreviewFrame();
    return FitPicture(frame.Width(), frame.Height(), {0, 0, areaWidth, areaHeight});
}

TBitmap24 TProgressWindowModel::PreviewPicture() const {
    return FittedPicture(run_.PreviewFrame(), PreviewWidth, PreviewHeight, PreviewBackground);
}

void TProgressWindowModel::BatchProgress(const TProgressInfo&) {
    Changed();
}

void TProgressWindowModel::BatchPreviewFrame() {}

void TProgressWindowModel::BatchTaskEnded(const TBatchJob& job, const TTerminateInfo&,
                                          bool lastTask) {
    Changed();
    if (lastTask) {
        lastTaskConverted_ = job.Outcome == TJobOutcome::Converted;
    }
}

void TProgressWindowModel::BatchEnded(bool stopped) {
    pauseEnabled_ = resumeEnabled_ = cancelEnabled_ = false;
    SetMainButtons({true, true, true, true, false, false, false});
    Changed();
    // At the end of the batch, not of its last task (with several at once that may end before
    // the others), and only for a batch nobody stopped whose last task converted.
    if (!stopped && lastTaskConverted_) {
        if (openFolder_) {
            Shell().OpenPath(run_.OutputFolder());
        }
        if (shutDown_) {
            Shell().ShutDown();
        }
    }
    lastTaskConverted_ = false;
    if (!closing_ && OnClose) {
        OnClose();
    }
}
