#include "TrimCropScenes.h"

#include "JobList.h"
#include "Screenshots.h"
#include "WinCrop.h"
#include "WinMain.h"
#include "WinTrim.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QSpinBox>

#include <functional>
#include <memory>

namespace {

std::unique_ptr<QDialog> gDialog;

// Serves the event loop until the player got there, or gives up after a while: a picture
// of a slow machine is still worth saving.
void WaitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

void Click(QDialog& dialog, const char* name) {
    if (auto* button = dialog.findChild<QAbstractButton*>(name)) {
        button->click();
    }
}

// Marks a third of the clip, shown paused at the end mark.
QWidget* ShowTrim(TfrmMain& window) {
    if (window.Model().Jobs().Empty()) {
        return nullptr;
    }
    auto trim = std::make_unique<TfrmTrim>(window.Model().Jobs(), &window);
    trim->show();
    TFFPlayer& player = trim->Player();
    const std::int64_t duration = trim->Model().SourceDuration();
    if (trim->Model().Opened() && duration > 0) {
        Click(*trim, "imgbtnPause");
        for (const auto& [time, button] :
             {std::pair{duration / 3, "btnSetStart"}, std::pair{duration * 2 / 3, "btnSetEnd"}}) {
            const std::int64_t t = time;
            player.Seek(SeekToKeyPicture, true, t);
            WaitFor([&] { return player.Position() >= t - 100000; });
            Click(*trim, button);
        }
    }
    gDialog = std::move(trim);
    return gDialog.get();
}

// The rectangle moved in from every side, over a playing picture.
QWidget* ShowCrop(TfrmMain& window) {
    if (window.Model().Jobs().Empty()) {
        return nullptr;
    }
    auto crop = std::make_unique<TfrmCrop>(window.Model().Jobs(), &window);
    crop->show();
    const std::pair<const char*, int> margins[] = {
        {"spedUp", 24}, {"spedDown", 40}, {"spedLeft", 60}, {"spedRight", 30}};
    for (const auto& [name, value] : margins) {
        if (auto* spin = crop->findChild<QSpinBox*>(name); spin != nullptr && spin->isEnabled()) {
            spin->setValue(value);
        }
    }
    TfrmCrop* shown = crop.get();
    WaitFor([&] { return shown->FramesDrawn() >= 3 || shown->Stopped(); });
    gDialog = std::move(crop);
    return gDialog.get();
}

void HideDialog(TfrmMain&) {
    gDialog.reset();
}

} // namespace

void RegisterTrimCropScenes() {
    TScreenshots::Register({"trim", ShowTrim, HideDialog});
    TScreenshots::Register({"crop", ShowCrop, HideDialog});
}
