#pragma once

#include "BatchRun.h"
#include "PictureFit.h"
#include "SnapshotWriter.h"

#include <functional>
#include <string>

class TGlobalObject;

// The main window's Add, Remove, Clear, Start and its hidden Stop, Pause and Resume buttons,
// kept consistent with the progress window's.
struct TBatchButtons {
    bool Add = true;
    bool Remove = true;
    bool Clear = true;
    bool Start = true;
    bool Stop = false;
    bool Pause = false;
    bool Resume = false;
    bool operator==(const TBatchButtons&) const = default;
};

// The logic of the progress window, which maps its widgets onto this model: showing starts
// the batch's tasks; Pause, Resume and Cancel; closing stops (the end closes it); the
// preview picture fitted into the preview area; the snapshot; and, at the end of a batch that
// was not stopped and whose last task converted, opening the output folder and shutting the
// computer down as the two boxes ask. Everything runs on the main thread.
class TProgressWindowModel final : public IBatchListener {
public:
    static constexpr int PreviewWidth = 372;
    static constexpr int PreviewHeight = 210;
    static constexpr TRgb PreviewBackground{166, 203, 240};

    TProgressWindowModel(TBatchRun& run, const TGlobalObject& global);
    ~TProgressWindowModel() override;
    TProgressWindowModel(const TProgressWindowModel&) = delete;
    TProgressWindowModel& operator=(const TProgressWindowModel&) = delete;

    // The figures changed: the window reads the texts again.
    std::function<void()> OnChanged;
    // The batch has ended: the window closes (not called while Close itself waits).
    std::function<void()> OnClose;
    // The main window's buttons changed.
    std::function<void()> OnButtonsChanged;

    // Showing the window: labels cleared, "Open the output folder after conversion" checked,
    // Pause enabled, Resume disabled, and the tasks start.
    void Show();
    void PauseClick();
    void ResumeClick();
    void CancelClick();
    // Closing the window in any way: stops the batch. True when the window may close now;
    // false while tasks run: nothing waits, the batch stops and its end closes the window
    // (OnClose).
    bool Close();
    void SnapshotClick();

    bool PauseEnabled() const { return pauseEnabled_; }
    bool ResumeEnabled() const { return resumeEnabled_; }
    bool CancelEnabled() const { return cancelEnabled_; }
    const TBatchButtons& MainButtons() const { return mainButtons_; }

    bool OpenFolder() const { return openFolder_; }
    void SetOpenFolder(bool on) { openFolder_ = on; }
    bool ShutDown() const { return shutDown_; }
    void SetShutDown(bool on) { shutDown_ = on; }

    // Label texts and the bar; the bar is busy when the length is unknown.
    const TBatchProgress& Figures() const { return run_.Progress(); }
    int BarValue() const;
    // A timer tick between reports: the file size follows the file on disk.
    void FollowWrittenFile() { run_.FollowWrittenFile(); }
    bool BarBusy() const { return run_.Progress().BarPercent() < 0 && run_.Progress().Busy(); }
    std::string Title() const;

    // Whether a preview picture has arrived; where it goes in an area of the given size
    // (scaled to fit, aspect kept, centred); and the whole preview area as a picture.
    bool HasPreview() const { return !run_.PreviewFrame().Empty(); }
    const TBitmap24& PreviewFrame() const { return run_.PreviewFrame(); }
    TFitRect PreviewRect(int areaWidth = PreviewWidth, int areaHeight = PreviewHeight) const;
    TBitmap24 PreviewPicture() const;

    // IBatchListener
    void BatchProgress(const TProgressInfo& info) override;
    void BatchPreviewFrame() override;
    void BatchTaskEnded(const TBatchJob& job, const TTerminateInfo& info, bool lastTask) override;
    void BatchEnded(bool stopped) override;

private:
    void Changed();
    void SetMainButtons(const TBatchButtons& buttons);

    TBatchRun& run_;
    const TGlobalObject& global_;
    bool pauseEnabled_ = false;
    bool resumeEnabled_ = false;
    bool cancelEnabled_ = false;
    bool openFolder_ = true;
    bool shutDown_ = false;
    bool closing_ = false;
    bool lastTaskConverted_ = false;
    TBatchButtons mainButtons_;
};
