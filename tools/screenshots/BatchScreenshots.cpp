#include "BatchScreenshots.h"

#include "BatchRun.h"
#include "FittedPictureView.h"
#include "ProgressWindowModel.h"
#include "Screenshots.h"
#include "ThemeManager.h"
#include "WinMain.h"
#include "WinPreference.h"
#include "WinProgress.h"

#include <QApplication>
#include <QElapsedTimer>

#include <memory>

namespace {

constexpr int LastTheme = TThemeManager::Count - 1;

std::unique_ptr<QWidget> gDialog; // the window a scene made for itself

// Pauses the batch once a picture and a report have come, so the window shows both.
struct TPauseAtFirstPicture : IBatchListener {
    TfrmMain* window = nullptr;
    bool picture = false;
    bool report = false;
    void BatchProgress(const TProgressInfo&) override {
        report = true;
        PauseWhenReady();
    }
    void BatchPreviewFrame() override {
        picture = true;
        PauseWhenReady();
    }
    void PauseWhenReady() {
        if (picture && report && !window->ProgressModel().Figures().Paused()) {
            window->ProgressModel().PauseClick();
        }
    }
};

TPauseAtFirstPicture gPause;

// Starts converting the listed files unless a batch is already paused on screen. A fast
// machine may finish a short clip before its first report, so it tries again a few times.
bool PausedBatch(TfrmMain& window) {
    TBatchRun& run = window.BatchRun();
    window.Vazmo().SetProgressInterval(100);
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (!run.Running()) {
            run.RemoveListener(gPause);
            gPause = TPauseAtFirstPicture{};
            gPause.window = &window;
            run.AddListener(gPause);
            window.Model().Jobs().CheckAll(true);
            window.StartBatch();
        }
        QElapsedTimer waited;
        waited.start();
        while (run.Running() && !run.Paused() && waited.elapsed() < 30000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        if (run.Running() && run.Paused()) {
            return true;
        }
        // Let the ended batch's window close before the next start.
        while (window.ProgressWindow() != nullptr && window.ProgressWindow()->isVisible() &&
               waited.elapsed() < 30000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    }
    return false;
}

QWidget* ShowProgress(TfrmMain& window, int theme) {
    TThemeManager::Apply(theme);
    if (!PausedBatch(window)) {
        return nullptr;
    }
    window.ProgressWindow()->Preview()->update();
    return window.ProgressWindow();
}

void StopBatch(TfrmMain& window) {
    window.BatchRun().RemoveListener(gPause);
    if (window.ProgressWindow() != nullptr && window.ProgressWindow()->isVisible()) {
        window.ProgressWindow()->close(); // stops the batch and waits for its end
    }
}

QWidget* ShowPreferences(TfrmMain& window) {
    auto dialog = std::make_unique<TfrmPreference>(window.Model().Settings(), &window);
    dialog->Open();
    dialog->resize(TfrmPreference::DesignWidth, TfrmPreference::DesignHeight);
    dialog->show();
    gDialog = std::move(dialog);
    return gDialog.get();
}

} // namespace

void RegisterBatchScreenshots() {
    TScreenshots::Register({"preferences", ShowPreferences, [](TfrmMain&) { gDialog.reset(); }});
    // One conversion serves the pictures of every theme; the last one stops it.
    // The first in the theme the program shows; the others in each of the other themes.
    TScreenshots::Register({"progress",
                            [](TfrmMain& w) { return ShowProgress(w, TThemeManager::Current()); },
                            nullptr});
    for (int theme = 1; theme <= LastTheme; ++theme) {
        TScreenshots::Register({QString("progress-theme-%1").arg(theme),
                                [theme](TfrmMain& w) { return ShowProgress(w, theme); },
                                theme == LastTheme ? StopBatch : nullptr});
    }
}
