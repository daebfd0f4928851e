#include "WinMain.h"

#include "AppException.h"
#include "AppMessages.h"
#include "BatchFrameHook.h"
#include "BatchRun.h"
#include "DeviceListBox.h"
#include "FormatPicker.h"
#include "Glyphs.h"
#include "JobListModel.h"
#include "JobListRows.h"
#include "JobListStore.h"
#include "JobListView.h"
#include "MainPreview.h"
#include "MainWindowMessages.h"
#include "MainWindowModel.h"
#include "MediaFiles.h"
#include "MediaUtils.h"
#include "ProgressWindowModel.h"
#include "ShellServices.h"
#include "ThemeManager.h"
#include "VantreApp.h"
#include "WinAbout.h"
#include "WinCrop.h"
#include "WinFileInfo.h"
#include "WinPreference.h"
#include "WinProgress.h"
#include "WinSettings.h"
#include "WinTrim.h"
#include "WinWaterMark.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QToolBar>

#include <QToolButton>
#include <csignal>

#include <chrono>

namespace {

constexpr QSize DesignSize(TMainWindowUi::DesignWidth, TMainWindowUi::DesignHeight);

QRect ToRect(const TWindowPlace& place) {
    return {place.Left, place.Top, place.Width, place.Height};
}

} // namespace

TfrmMain::TfrmMain(TVantreApp& app, QWidget* parent)
    : QMainWindow(parent), model_(app.Model()), vazmo_(app.Encoder()), ffPlayer_(app.Player()) {
    setObjectName("frmMain");
    QCoreApplication::setApplicationName(QString::fromStdString(model_.Global().Title()));
    setWindowIcon(glyphs::AppIcon());
    TThemeManager::Apply(model_.StartUpTheme());
    ui_.Build(*this, model_);
    ui_.UpdateIcons(TThemeManager::Current());
    preview_ = std::make_unique<TMainPreview>(ffPlayer_, ui_, model_, [this] {
        AddClick();
        return Adding();
    });
    SetUpBatch();
    Connect();
    if (!app.LibraryError().empty()) {
        ui_.mmoLog->appendPlainText(QString::fromStdString(app.LibraryError()));
    }
    SetUpJobStore();
    vazmo_.SetPreviewBitmap(true);
    setWindowTitle(QString::fromStdString(model_.Caption()));
    UpdateCommandStates();
}

std::string TfrmMain::ProgramVersionText() {
    return TGlobalObject::FileVersionText(VANTRE_VERSION_MAJOR, VANTRE_VERSION_MINOR,
                                          VANTRE_VERSION_PATCH, 0);
}

template <class TDialog, class... TArgs> TDialog& TfrmMain::DialogOnce(TArgs&&... args) {
    if (auto* dialog = findChild<TDialog*>(QString(), Qt::FindDirectChildrenOnly)) {
        return *dialog;
    }
    return *new TDialog(std::forward<TArgs>(args)..., this);
}

TfrmProgress* TfrmMain::ProgressWindow() const {
    return findChild<TfrmProgress*>(QString(), Qt::FindDirectChildrenOnly);
}

TfrmPreference* TfrmMain::PreferenceWindow() const {
    return findChild<TfrmPreference*>(QString(), Qt::FindDirectChildrenOnly);
}

TfrmSettings* TfrmMain::SettingsDialog() const {
    return findChild<TfrmSettings*>(QString(), Qt::FindDirectChildrenOnly);
}

TfrmFileInfo* TfrmMain::FileInfoWindow() const {
    return findChild<TfrmFileInfo*>(QString(), Qt::FindDirectChildrenOnly);
}

TfrmMain::~TfrmMain() {
    ShutDownComponents();
    // Qt would delete the child widgets only after the members. The job list's view and model,
    // the device list and the dialogs read the model or the batch, and observe its lists: they
    // close and go while it still exists.
    hide();
    qDeleteAll(findChildren<QDialog*>(Qt::FindDirectChildrenOnly));
    const QPointer<QWidget> deviceList = ui_.picker->List();
    delete takeCentralWidget();
    delete deviceList.data();
}

void TfrmMain::SetUpBatch() {
    jobRows_ = std::make_unique<TJobListRows>(model_.Jobs());
    batchRun_ = std::make_unique<TBatchRun>(vazmo_, model_.Global());
    batchRun_->OnLog = [this](const std::string& text) {
        ui_.mmoLog->appendPlainText(QString::fromStdString(text));
    };
    // Start takes the job files from the preview player.
    batchRun_->SetStopPreview([this] { StopPreview(); });
    progressModel_ = std::make_unique<TProgressWindowModel>(*batchRun_, model_.Global());
    progressModel_->OnButtonsChanged = [this] { ApplyBatchButtons(); };
}

void TfrmMain::SetUpJobStore() {
    const TGlobalObject& global = model_.Global();
    jobStore_ = std::make_unique<TJobListStore>(
        model_.Jobs(), global.DataFolder() + "/" + TJobListFile::FileName,
        [this](int delayMs, std::function<void()> fn) {
            QTimer::singleShot(delayMs, this, std::move(fn));
        });
    jobStore_->SetRunningOutput([this](int row) {
        if (batchRun_->Running()) {
            for (const TBatchJob& job : batchRun_->Jobs()) {
                if (job.Row == row && job.Task >= 0) {
                    return batchRun_->OutputFolder();
                }
            }
        }
        return std::string();
    });
    if (!model_.Settings().RememberJobList()) {
        jobStore_->SetEnabled(false);
        return;
    }
    const TJobListRestore restored = jobStore_->Restore(TJobListStore::RemoveUnfinished);
    if (restored.Rejected) {
        // Shown once the window is up.
        const std::string text =
            restored.Backup.empty()
                ? Format(mainmsg::JobListRejectedNotKept, restored.Problem.c_str())
                : Format(mainmsg::JobListRejected, restored.Problem.c_str(),
                         restored.Backup.c_str());
        QTimer::singleShot(0, this, [text] {
            Shell().MessageBox(text, appmsg::WarningCaption, TMsgIcon::Warning, TMsgButtons::Ok);
        });
    }
}

void TfrmMain::ConnectAction(QAction* action, void (TfrmMain::*slot)()) {
    connect(action, &QAction::triggered, this,
            [this, slot] { Guarded([this, slot] { (this->*slot)(); }); });
}

void TfrmMain::Connect() {
    const std::pair<QAction*, void (TfrmMain::*)()> actions[] = {
        {ui_.mniAdd, &TfrmMain::AddClick},
        {ui_.mniRemove, &TfrmMain::RemoveClick},
        {ui_.mniClear, &TfrmMain::ClearClick},
        {ui_.mniStart, &TfrmMain::StartClick},
        {ui_.mniSettings, &TfrmMain::SettingsClick},
        {ui_.mniExit, &TfrmMain::ExitClick},
        {ui_.mniCrop, &TfrmMain::CropClick},
        {ui_.mniTrim, &TfrmMain::TrimClick},
        {ui_.mniVideoEffect, &TfrmMain::VideoEffectClick},
        {ui_.mniCheckAll, &TfrmMain::CheckAllClick},
        {ui_.mniUncheckAll, &TfrmMain::UncheckAllClick},
        {ui_.mniReverseCheck, &TfrmMain::ReverseCheckClick},
        {ui_.mniCheck, &TfrmMain::CheckClick},
        {ui_.mniUncheck, &TfrmMain::UncheckClick},
        {ui_.mniPreference, &TfrmMain::PreferenceClick},
        {ui_.mniHelp, &TfrmMain::HelpClick},
        {ui_.mniWebSite, &TfrmMain::WebSiteClick},
        {ui_.mniSupport, &TfrmMain::SupportClick},
        {ui_.mniAbout, &TfrmMain::AboutClick},
        {ui_.pmiCrop, &TfrmMain::CropClick},
        {ui_.pmiTrim, &TfrmMain::TrimClick},
        {ui_.pmiVideoEffect, &TfrmMain::VideoEffectClick},
        {ui_.pmiAdd, &TfrmMain::AddClick},
        {ui_.pmiRemove, &TfrmMain::RemoveClick},
        {ui_.pmiClear, &TfrmMain::ClearClick},
        {ui_.pmiStart, &TfrmMain::StartClick},
        {ui_.pmiVideoInformation, &TfrmMain::VideoInformationClick},
        {ui_.tbAdd, &TfrmMain::AddClick},
        {ui_.tbRemove, &TfrmMain::RemoveClick},
        {ui_.tbClear, &TfrmMain::ClearClick},
        {ui_.tbEdit, &TfrmMain::EditButtonClick},
        {ui_.tbSettings, &TfrmMain::SettingsClick},
        {ui_.tbStart, &TfrmMain::StartClick},
        {ui_.tbExit, &TfrmMain::ExitClick},
    };
    for (const auto& [action, slot] : actions) {
        ConnectAction(action, slot);
    }
    for (int i = 0; i < TThemeManager::Count; ++i) {
        connect(ui_.mniSkins[i], &QAction::triggered, this, [this, i] { ApplyTheme(i); });
    }
    const std::pair<QAbstractButton*, void (TfrmMain::*)()> buttons[] = {
        {ui_.btnSettings, &TfrmMain::SettingsClick},
        {ui_.btnBrows, &TfrmMain::BrowsClick},
        {ui_.btnOpen, &TfrmMain::OpenClick},
        {ui_.btnStart, &TfrmMain::StartClick},
        {ui_.imgbtnPlay, &TfrmMain::PlayClick},
        {ui_.imgbtnPAuse, &TfrmMain::PauseClick},
        {ui_.imgbtnStop, &TfrmMain::StopClick},
        {ui_.imgbtnSnap, &TfrmMain::SnapClick},
        {ui_.ckMute, &TfrmMain::MuteClick},
        {ui_.btnBatchPause, &TfrmMain::BatchPauseClick},
        {ui_.btnBatchResume, &TfrmMain::BatchResumeClick},
        {ui_.btnBatchStop, &TfrmMain::BatchStopClick},
    };
    for (const auto& [button, slot] : buttons) {
        connect(button, &QAbstractButton::clicked, this,
                [this, slot] { Guarded([this, slot] { (this->*slot)(); }); });
    }
    connect(ui_.edDirectory, &QLineEdit::textChanged, this, [this](const QString& text) {
        Guarded([this, text] {
            model_.OutputFolderEdited(text.toStdString());
            model_.Destinations().Refresh();
        });
    });
    connect(ui_.picker, &TFormatPicker::formatChosen, this,
            [this] { Guarded([this] { model_.Destinations().Refresh(); }); });
    connect(ui_.mnuEdit, &QMenu::aboutToShow, this, &TfrmMain::EditMenuAboutToShow);
    connect(ui_.pmnJobs, &QMenu::aboutToShow, this, &TfrmMain::PopupAboutToShow);
    connect(ui_.mnuSkin, &QMenu::aboutToShow, this, &TfrmMain::SkinMenuAboutToShow);
    connect(ui_.lvFiles, &TJobListView::popupRequested, this, &TfrmMain::ShowPopup);
    connect(ui_.lvFiles, &TJobListView::pathsDropped, this, &TfrmMain::FilesDropped);
    connect(ui_.lvFiles, &TJobListView::rowDoubleClicked, this,
            [this] { Guarded([this] { PlayClick(); }); });
    TJobListModel* jobs = &ui_.lvFiles->Model();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(jobs, signal, this, &TfrmMain::UpdateCommandStates);
    }
    connect(jobs, &QAbstractItemModel::modelReset, this, &TfrmMain::UpdateCommandStates);
}

void TfrmMain::Guarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        ShowAppException(error, model_.Global().Title());
    }
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        Guarded([this] { FirstShow(); });
    }
}

void TfrmMain::FirstShow() {
    // The design size is the smallest; the window comes back where it was left.
    setMinimumSize(minimumSizeHint().expandedTo(DesignSize));
    resize(minimumSize());
    RestorePlace();
    preview_->FirstShow();
    ui_.edDirectory->setText(QString::fromStdString(model_.StartUpOutputFolder()));
    model_.Jobs().ShowColumns();
    model_.Global().SetVersionText(ProgramVersionText());
    setWindowTitle(QString::fromStdString(model_.Caption()));
    ui_.picker->Rebuild();
    model_.LoadCurrentFormat();
    // After the window has appeared: the boxes belong to it.
    QTimer::singleShot(0, this, [this] {
        Guarded([this] {
            for (const std::string& warning : model_.StartUpWarnings()) {
                ui_.mmoLog->appendPlainText(QString::fromStdString(warning));
                Shell().MessageBox(warning, appmsg::WarningCaption, TMsgIcon::Warning,
                                   TMsgButtons::Ok);
            }
        });
    });
}

void TfrmMain::RestorePlace() {
    TSettings& settings = model_.Settings();
    ui_.lvFiles->RestoreColumnWidths(settings.JobColumnWidths());
    const std::optional<TWindowPlace> stored = settings.MainWindowPlace();
    if (!stored) {
        return;
    }
    std::vector<TWindowPlace> screens;
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        const QRect area = primary->availableGeometry();
        screens.push_back({area.x(), area.y(), area.width(), area.height()});
    }
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        if (screen != QGuiApplication::primaryScreen()) {
            screens.push_back({area.x(), area.y(), area.width(), area.height()});
        }
    }
    const QRect place = ToRect(PlaceOnScreens(*stored, screens, minimumWidth(), minimumHeight()));
    resize(place.size());
    move(place.topLeft());
}

void TfrmMain::SavePlace() {
    TSettings& settings = model_.Settings();
    settings.SetMainWindowPlace({x(), y(), width(), height()});
    if (model_.Jobs().ColumnsShown()) {
        settings.SetJobColumnWidths(ui_.lvFiles->ColumnWidths());
    }
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    ui_.FitPreview(width(), height());
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        bool leave = true;
        Guarded([&] {
            if (askOnClose_) {
                leave = model_.ConfirmExit();
            } else {
                model_.Devices().SaveGroupStates(model_.Settings());
            }
        });
        if (!leave) {
            event->ignore();
            return;
        }
        Guarded([this] { SavePlace(); });
        ShutDownComponents();
        closed_ = true;
    }
    event->accept();
}

void TfrmMain::EndBySignal(int signal) {
    if (signal != SIGINT && (batchRun_->Running() || batchRun_->Prepared())) {
        batchRun_->Interrupt();
    }
    askOnClose_ = false;
    close();
    QCoreApplication::exit(128 + signal);
}

void TfrmMain::ShutDownComponents() {
    model_.Adder().Cancel();
    if (batchRun_->Running() || batchRun_->Prepared()) {
        // The window is going: the conversion threads are waited for plainly (they never
        // wait for this thread).
        batchRun_->StopNow();
    }
    ffPlayer_.Stop(true);
    vazmo_.OnCustomHook = nullptr;
    vazmo_.OnProgress = nullptr;
    vazmo_.OnTerminate = nullptr;
    try {
        vazmo_.Stop(true);
    } catch (const std::exception&) {
        // Nothing runs that could refuse to stop while the window closes.
    }
    // The rows as the stopped batch left them.
    jobStore_->Flush();
}

void TfrmMain::UpdateCommandStates() {
    const bool rows = !model_.Jobs().Empty();
    const TBatchButtons& batch = progressModel_->MainButtons();
    for (QAction* action : {ui_.mniAdd, ui_.tbAdd}) {
        action->setEnabled(batch.Add);
    }
    for (QAction* action : {ui_.mniRemove, ui_.tbRemove}) {
        action->setEnabled(rows && batch.Remove);
    }
    for (QAction* action : {ui_.mniClear, ui_.tbClear}) {
        action->setEnabled(rows && batch.Clear);
    }
    for (QAction* action : {ui_.mniStart, ui_.tbStart}) {
        action->setEnabled(rows && batch.Start);
    }
    ui_.btnStart->setEnabled(rows && batch.Start);
}

void TfrmMain::ApplyBatchButtons() {
    const TBatchButtons& batch = progressModel_->MainButtons();
    ui_.btnBatchStop->setEnabled(batch.Stop);
    ui_.btnBatchPause->setEnabled(batch.Pause);
    ui_.btnBatchResume->setEnabled(batch.Resume);
    UpdateCommandStates();
    if (!handedFiles_.empty()) {
        QTimer::singleShot(0, this, [this] { AddNextHandedFiles(); });
    }
}

bool TfrmMain::Adding() const {
    return model_.Adder().Busy();
}

void TfrmMain::AddFiles(const std::vector<std::string>& paths) {
    if (Adding()) {
        return;
    }
    if (addProgress_ == nullptr) {
        addProgress_ = new QProgressDialog(this);
        addProgress_->setObjectName("dlgAddProgress");
        addProgress_->setWindowTitle(QString::fromStdString(model_.Global().Title()));
        addProgress_->setLabelText(tr("Adding files..."));
        addProgress_->setCancelButtonText(tr("Cancel"));
        addProgress_->setWindowModality(Qt::WindowModal);
        addProgress_->setAutoClose(false);
        addProgress_->setAutoReset(false);
        addProgress_->reset();
        connect(addProgress_, &QProgressDialog::canceled, this,
                [this] { model_.Adder().Cancel(); });
    }
    addProgress_->setMinimumDuration(addProgressDelay_);
    addProgress_->setRange(0, std::max<int>(1, static_cast<int>(paths.size())));
    addProgress_->setValue(0); // starts the clock of the delayed showing
    const bool started = model_.Adder().Start(
        paths,
        [this](int done, int total) {
            addProgress_->setMaximum(std::max(total, 1));
            addProgress_->setValue(done);
        },
        [this](const TJobAddResult& result) { AddDone(result.Added); });
    if (!started) {
        // No libraries: the log said so at start.
        addProgress_->hide();
        addProgress_->reset();
    }
}

void TfrmMain::AddHandedFiles(const std::vector<std::string>& paths) {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
    if (!paths.empty()) {
        handedFiles_.push_back(paths);
        AddNextHandedFiles();
    }
}

void TfrmMain::AddNextHandedFiles() {
    // Rows are not added while an add or a batch is under way; they wait for its end.
    if (handedFiles_.empty() || Adding() || batchRun_->Running() || batchRun_->Prepared()) {
        return;
    }
    const std::vector<std::string> next = std::move(handedFiles_.front());
    handedFiles_.erase(handedFiles_.begin());
    Guarded([this, &next] { AddFiles(next); });
}

void TfrmMain::AddDone(int added) {
    addProgress_->hide();
    addProgress_->reset();
    if (added > 0) {
        model_.Jobs().Select(0);
        ui_.lvFiles->setFocus();
    }
    UpdateCommandStates();
    preview_->AddFinished(added);
    emit addFinished(added);
    if (!handedFiles_.empty()) {
        // Once the adder has finished this add.
        QTimer::singleShot(0, this, [this] { AddNextHandedFiles(); });
    }
}

void TfrmMain::AddClick() {
    // Without the libraries (the log said so at start) no file can be added.
    if (!vazmo_.LibrariesLoaded()) {
        return;
    }
    const std::vector<std::string> files =
        Shell().OpenFiles("Open", mediafiles::AddDialogFilter, std::string());
    if (files.empty()) {
        return;
    }
    vazmo_.ClearTasks();
    AddFiles(files);
}

void TfrmMain::FilesDropped(const std::vector<std::string>& paths) {
    Guarded([this, &paths] { AddFiles(mediafiles::ExpandDropped(paths)); });
}

void TfrmMain::RemoveClick() {
    model_.Jobs().RemoveSelected();
    if (model_.Jobs().Empty()) {
        StopPreview();
    }
}

void TfrmMain::ClearClick() {
    if (model_.Jobs().Empty()) {
        return;
    }
    vazmo_.ClearTasks();
    model_.Jobs().Clear();
    StopPreview();
}

void TfrmMain::StartClick() {
    StartBatch();
}

void TfrmMain::StartBatch() {
    if (batchRun_->Running() || batchRun_->Prepared()) {
        return;
    }
    if (!vazmo_.LibrariesLoaded()) {
        return;
    }
    // VazmoCustomHook: one renderer per batch, on copies of the jobs.
    auto hook = std::make_shared<TBatchFrameHook>(*jobRows_);
    batchRun_->SetCustomHook([hook](int row, THookInfo& info) { hook->Render(row, info); });
    if (!batchRun_->Start(*jobRows_)) {
        return;
    }
    DialogOnce<TfrmProgress>(*progressModel_).ShowAndStart();
}

void TfrmMain::BatchPauseClick() {
    progressModel_->PauseClick();
}

void TfrmMain::BatchResumeClick() {
    progressModel_->ResumeClick();
}

void TfrmMain::BatchStopClick() {
    // The end of the batch follows and closes the progress window.
    progressModel_->CancelClick();
}

void TfrmMain::SettingsClick() {
    // The dialog's list opens with the groups this window has open.
    ui_.picker->HideList();
    model_.Devices().SaveGroupStates(model_.Settings());
    auto& settings =
        DialogOnce<TfrmSettings>(model_.Global().SettingsFile(), model_.Global().CatalogFile());
    if (settings.exec() == QDialog::Accepted) {
        ui_.picker->Rebuild();
        model_.LoadCurrentFormat();
        model_.Destinations().Refresh();
    }
}

void TfrmMain::ExitClick() {
    close();
}

void TfrmMain::EditButtonClick() {
    const QWidget* button = ui_.tlbMain->widgetForAction(ui_.tbEdit);
    ShowPopup(button->mapToGlobal(QPoint(0, button->height())));
}

void TfrmMain::ShowPopup(const QPoint& globalPosition) {
    ui_.pmnJobs->popup(globalPosition);
}

void TfrmMain::CropClick() {
    StopPreview();
    DialogOnce<TfrmCrop>(model_.Jobs()).exec();
}

void TfrmMain::TrimClick() {
    StopPreview();
    DialogOnce<TfrmTrim>(model_.Jobs()).exec();
}

void TfrmMain::VideoEffectClick() {
    StopPreview();
    // Every showing rebuilds the editor from the job record.
    DialogOnce<TfrmWaterMark>(model_.Jobs()).exec();
}

void TfrmMain::VideoInformationClick() {
    TfrmFileInfo& info = DialogOnce<TfrmFileInfo>();
    const TJobList& jobs = model_.Jobs();
    std::string source;
    if (!jobs.Empty() && jobs.Selected() >= 0) {
        source = jobs.Record(jobs.Selected()).SourceFile;
    }
    info.Load(source);
    info.exec();
}

void TfrmMain::CheckAllClick() {
    model_.Jobs().CheckAll(true);
}

void TfrmMain::UncheckAllClick() {
    model_.Jobs().CheckAll(false);
}

void TfrmMain::ReverseCheckClick() {
    model_.Jobs().ReverseCheck();
}

void TfrmMain::CheckClick() {
    model_.Jobs().CheckSelected(true);
}

void TfrmMain::UncheckClick() {
    model_.Jobs().CheckSelected(false);
}

void TfrmMain::PreferenceClick() {
    if (DialogOnce<TfrmPreference>(model_.Settings()).exec() == QDialog::Accepted) {
        jobStore_->SetEnabled(model_.Settings().RememberJobList());
    }
}

void TfrmMain::HelpClick() {
    Shell().OpenPath(model_.Global().HelpLink());
}

void TfrmMain::WebSiteClick() {
    Shell().OpenPath(model_.Global().WebLink());
}

void TfrmMain::SupportClick() {
    Shell().OpenPath(mainmsg::SupportLink);
}

void TfrmMain::AboutClick() {
    DialogOnce<TfrmAbout>(model_.Global().Title(), model_.Global().VersionText(),
                          model_.Global().WebLink())
        .exec();
}

void TfrmMain::BrowsClick() {
    const std::string box = ui_.edDirectory->text().toStdString();
    const std::string chosen = Shell().ChooseFolder(box);
    if (const auto folder = model_.ApplyChosenFolder(chosen, box)) {
        ui_.edDirectory->setText(QString::fromStdString(*folder));
    }
}

void TfrmMain::OpenClick() {
    model_.OpenOutputFolder(ui_.edDirectory->text().toStdString());
}

void TfrmMain::PlayClick() {
    preview_->Play();
}

void TfrmMain::PauseClick() {
    preview_->Pause();
}

void TfrmMain::StopClick() {
    StopPreview();
}

void TfrmMain::StopPreview() {
    preview_->Stop();
}

void TfrmMain::SnapClick() {
    preview_->Snap();
}

void TfrmMain::MuteClick() {
    preview_->MuteClicked();
}

void TfrmMain::EditMenuAboutToShow() {
    ui_.mniVideoEffect->setVisible(true);
    const bool enabled = model_.RowCommandsEnabled();
    for (QAction* action : {ui_.mniCrop, ui_.mniTrim, ui_.mniVideoEffect, ui_.mniCheckAll,
                            ui_.mniUncheckAll, ui_.mniReverseCheck, ui_.mniCheck, ui_.mniUncheck}) {
        action->setEnabled(enabled);
    }
}

void TfrmMain::PopupAboutToShow() {
    ui_.pmiVideoEffect->setVisible(true);
    const TPopupMenuState state = model_.PopupState();
    ui_.pmiCrop->setEnabled(state.Crop);
    ui_.pmiTrim->setEnabled(state.Trim);
    ui_.pmiVideoEffect->setEnabled(state.VideoEffect);
    ui_.pmiVideoInformation->setEnabled(state.VideoInformation);
    ui_.pmiRemove->setEnabled(state.Remove);
    ui_.pmiClear->setEnabled(state.Clear);
    ui_.pmiStart->setEnabled(state.Start);
    ui_.pmiAdd->setEnabled(true);
}

void TfrmMain::SkinMenuAboutToShow() {
    CheckTheme(model_.CheckedTheme());
}

void TfrmMain::CheckTheme(int index) {
    for (int i = 0; i < TThemeManager::Count; ++i) {
        ui_.mniSkins[i]->setChecked(i == index);
    }
}

void TfrmMain::ApplyTheme(int index) {
    Guarded([this, index] {
        if (!model_.ChooseTheme(index)) {
            CheckTheme(model_.CheckedTheme()); // a click on the checked item unchecked it
            return;
        }
        hide();
        TThemeManager::Apply(index);
        ui_.UpdateIcons(index);
        CheckTheme(index);
        show();
    });
}
