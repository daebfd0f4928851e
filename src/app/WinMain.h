#pragma once

#include "FFEncoder.h"
#include "FFPlayer.h"
#include "MainWindowModel.h"
#include "MainWindowUi.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QProgressDialog;
class TVantreApp;
class TBatchRun;
class TJobListRows;
class TJobListStore;
class TProgressWindowModel;
class TfrmPreference;
class TfrmProgress;
class TMainPreview;
class TfrmFileInfo;
class TfrmSettings;

// The main window: the job list, the preview area, the format picker, the output folder, the
// menus, tool bar and pop-up menu, the themes and the exit question. It maps its widgets to
// TMainWindowModel; every command is one slot. Start converts the checked rows through the
// batch run with the progress window. The application object lends it the model, the encoder
// and the player; the dialogs are made on first use and reused.
class TfrmMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(TVantreApp& app, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The program's version as shown after its title (" 1.600 " for 1.6.0.0).
    static std::string ProgramVersionText();

    TMainWindowModel& Model() { return model_; }
    const TMainWindowUi& Ui() const { return ui_; }
    TFFEncoder& Vazmo() { return vazmo_; }
    TBatchRun& BatchRun() { return *batchRun_; }
    TProgressWindowModel& ProgressModel() { return *progressModel_; }
    // Made by the first Start, then reused; null before.
    TfrmProgress* ProgressWindow() const;
    TfrmPreference* PreferenceWindow() const;
    // Keeps the job list across runs.
    TJobListStore& JobStore() { return *jobStore_; }
    TFFPlayer& FFPlayer() { return ffPlayer_; }
    TMainPreview& Preview() { return *preview_; }
    // Stops the preview; the commands that need the job's file to themselves call it first.
    void StopPreview();

    // The Add path shared by the add dialog, dropped files and the command line.
    void AddFiles(const std::vector<std::string>& paths);
    bool Adding() const;
    // Files another start of the program handed over: added now, or after the add under way.
    void AddHandedFiles(const std::vector<std::string>& paths);
    // Adds taking longer than this show a progress dialog with Cancel.
    void SetAddProgressDelay(int milliseconds) { addProgressDelay_ = milliseconds; }
    QProgressDialog* AddProgress() const { return addProgress_; }

    void ApplyTheme(int index);
    // The dialogs, made on first use and kept (null until then).
    TfrmSettings* SettingsDialog() const;
    TfrmFileInfo* FileInfoWindow() const;
    // Closing asks first unless this is off (the screenshot run ends without a question).
    void SetAskOnClose(bool ask) { askOnClose_ = ask; }
    // SIGINT, SIGTERM or SIGHUP: a running batch stops (SIGINT keeps the stopped outputs, the
    // others remove them), the window closes without asking and the program ends with
    // 128 + signal.
    void EndBySignal(int signal);

signals:
    void addFinished(int added);

public slots:
    void AddClick();
    void RemoveClick();
    void ClearClick();
    void StartClick();
    // Every Start place: the checked rows become tasks and the progress window converts them.
    void StartBatch();
    // The main window's own (hidden) batch buttons.
    void BatchPauseClick();
    void BatchResumeClick();
    void BatchStopClick();
    void SettingsClick();
    void ExitClick();
    void EditButtonClick();
    void CropClick();
    void TrimClick();
    void VideoEffectClick();
    void VideoInformationClick();
    void CheckAllClick();
    void UncheckAllClick();
    void ReverseCheckClick();
    void CheckClick();
    void UncheckClick();
    void PreferenceClick();
    void HelpClick();
    void WebSiteClick();
    void SupportClick();
    void AboutClick();
    void BrowsClick();
    void OpenClick();
    void PlayClick();
    void PauseClick();
    void StopClick();
    void SnapClick();
    void MuteClick();
    void EditMenuAboutToShow();
    void PopupAboutToShow();
    void SkinMenuAboutToShow();
    void ShowPopup(const QPoint& globalPosition);
    void FilesDropped(const std::vector<std::string>& paths);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Connect();
    void ConnectAction(QAction* action, void (TfrmMain::*slot)());
    void FirstShow();
    // The window's frame and the list's columns, from the settings and back.
    void RestorePlace();
    void SavePlace();
    void UpdateCommandStates();
    void CheckTheme(int index);
    // Runs a command; an exception it raises is shown, and the program goes on.
    void Guarded(const std::function<void()>& command);
    void AddDone(int added);
    void ShutDownComponents();
    void SetUpBatch();
    // The one dialog of its class: made with args on first use, then reused.
    template <class TDialog, class... TArgs> TDialog& DialogOnce(TArgs&&... args);
    void ApplyBatchButtons();
    void SetUpJobStore();
    void AddNextHandedFiles();

    TMainWindowModel& model_;
    TMainWindowUi ui_;
    TFFEncoder& vazmo_;
    TFFPlayer& ffPlayer_;
    std::unique_ptr<TMainPreview> preview_;
    QProgressDialog* addProgress_ = nullptr;
    int addProgressDelay_ = 500;
    std::vector<std::vector<std::string>> handedFiles_;
    bool shownOnce_ = false;
    bool askOnClose_ = true;
    bool closed_ = false;

    // The batch: the job list as its rows, the run on the encoder and the progress window's
    // logic.
    std::unique_ptr<TJobListRows> jobRows_;
    std::unique_ptr<TBatchRun> batchRun_;
    std::unique_ptr<TProgressWindowModel> progressModel_;
    // Observes the job list and asks the batch which file a row converts into: goes first.
    std::unique_ptr<TJobListStore> jobStore_;
};
