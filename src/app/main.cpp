// Vantre: the desktop program.

#include "BatchScreenshots.h"
#include "Directory.h"
#include "GlobalObject.h"
#include "Glyphs.h"
#include "MainWindowMessages.h"
#include "MediaFiles.h"
#include "PreviewWindow.h"
#include "QtMainThreadWaker.h"
#include "QtPreviewWindow.h"
#include "QtShellServices.h"
#include "Screenshots.h"
#include "SettingsScreenshots.h"
#include "TrimCropScenes.h"
#include "VantreApplication.h"
#include "WaterMarkScenes.h"
#include "WinCover.h"
#include "WinMain.h"

#include <QFileInfo>
#include <QTimer>

#include <memory>

namespace {

std::vector<std::string> CommandLineFiles(const QStringList& arguments) {
    std::vector<std::string> paths;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        paths.push_back(QFileInfo(arguments[i]).absoluteFilePath().toStdString());
    }
    return mediafiles::ExpandDropped(paths);
}

// VANTRE_SCREENSHOTS=folder saves pictures of the windows there and ends the program;
// VANTRE_SCREENSHOT_SCENES=a,b limits them to the scenes named.
void RunScreenshots(TfrmMain& window, const QString& folder) {
    RegisterBatchScreenshots();
    RegisterSettingsScreenshots();
    RegisterTrimCropScenes();
    const QStringList only =
        qEnvironmentVariable("VANTRE_SCREENSHOT_SCENES").split(',', Qt::SkipEmptyParts);
    const int written = TScreenshots::Run(window, folder, only);
    window.SetAskOnClose(false);
    window.close();
    QCoreApplication::exit(written > 0 ? 0 : 1);
}

} // namespace

int main(int argc, char** argv) {
    TVantreApplication app(argc, argv);
    QCoreApplication::setApplicationName(mainmsg::StartUpTitle);
    QGuiApplication::setDesktopFileName("vantre");
    QApplication::setWindowIcon(glyphs::AppIcon());
    TQtMainThreadWaker waker;
    TQtShellServices shell;
    TScopedShell scopedShell(shell);
    SetPreviewWindowFactory(TQtPreviewWindow::Factory());
    RegisterWaterMarkScenes();

    auto cover =
        std::make_unique<TfrmCover>(TGlobalObject::ProgramFolder(), TGlobalObject::ProductTitle,
                                    TfrmMain::ProgramVersionText());
    cover->show();
    cover->repaint();
    QCoreApplication::sendPostedEvents(cover.get());

    int code = 0;
    {
        TfrmMain window;
        std::unique_ptr<TfmDirectory> chooser;
        shell.SetFolderChooser([&](const std::string& start) {
            if (!chooser) {
                chooser = std::make_unique<TfmDirectory>(
                    window.Model().Global().Title(), window.Model().Global().HomeFolder(), &window);
            }
            return chooser->Choose(start);
        });
        cover->WatchWindow(&window);
        window.show();

        const QString screenshots = qEnvironmentVariable("VANTRE_SCREENSHOTS");
        const std::vector<std::string> files = CommandLineFiles(QCoreApplication::arguments());
        if (!screenshots.isEmpty()) {
            QObject::connect(&window, &TfrmMain::addFinished, &window,
                             [&] { RunScreenshots(window, screenshots); });
            if (files.empty()) {
                QTimer::singleShot(0, &window, [&] { RunScreenshots(window, screenshots); });
            }
        }
        if (!files.empty()) {
            window.AddFiles(files);
        }
        code = QApplication::exec();
        shell.SetFolderChooser(nullptr);
    }
    SetPreviewWindowFactory(nullptr);
    return code;
}
