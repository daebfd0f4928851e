#include "SettingsScreenshots.h"

#include "DeviceList.h"
#include "DeviceListBox.h"
#include "DeviceListModel.h"
#include "FormatPicker.h"
#include "MainPreview.h"
#include "Screenshots.h"
#include "VideoWidget.h"
#include "WinFileInfo.h"
#include "WinMain.h"
#include "WinSettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <memory>

namespace {

std::unique_ptr<QWidget> gDialog; // the window a scene made for itself

void CloseDialog(TfrmMain&) {
    gDialog.reset();
}

std::string FirstJob(TfrmMain& window) {
    const TJobList& jobs = window.Model().Jobs();
    return jobs.Empty() ? std::string() : jobs.Record(0).SourceFile;
}

TfrmSettings* ShowSettings(TfrmMain& window) {
    const TGlobalObject& global = window.Model().Global();
    auto dialog =
        std::make_unique<TfrmSettings>(global.SettingsFile(), global.CatalogFile(), &window);
    TfrmSettings* shown = dialog.get();
    gDialog = std::move(dialog);
    shown->show();
    return shown;
}

QWidget* ShowSettingsFormats(TfrmMain& window) {
    TfrmSettings* dialog = ShowSettings(window);
    TFormatPicker* picker = dialog->Picker();
    const TDeviceList& rows = picker->List()->Model().List();
    const int group = rows.FindRow("Apple iPod");
    if (group >= 0 && rows.Rows()[group].Info.Collapsed) {
        picker->List()->Toggle(group);
    }
    picker->ShowList();
    return dialog;
}

QWidget* ShowFileInfo(TfrmMain& window) {
    auto info = std::make_unique<TfrmFileInfo>(&window);
    info->Load(FirstJob(window));
    info->show();
    gDialog = std::move(info);
    return gDialog.get();
}

// The first job playing, paused a second into it.
QWidget* ShowPlaying(TfrmMain& window) {
    if (window.Model().Jobs().Empty()) {
        return &window;
    }
    window.Model().Jobs().Select(0);
    window.PlayClick();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000 && (window.Ui().pan1->CurrentPicture() == nullptr ||
                                       window.FFPlayer().Position() < 1'000'000)) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    window.PauseClick();
    return &window;
}

} // namespace

void RegisterSettingsScreenshots() {
    TScreenshots::Register({"main-playing", ShowPlaying, [](TfrmMain& w) { w.StopPreview(); }});
    TScreenshots::Register({"settings", ShowSettings, CloseDialog});
    TScreenshots::Register({"settings-formats", ShowSettingsFormats, CloseDialog});
    TScreenshots::Register({"fileinfo", ShowFileInfo, CloseDialog});
}
