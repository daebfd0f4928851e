// Vantre: the desktop program.

#include "Directory.h"
#include "GlobalObject.h"
#include "Glyphs.h"
#include "HardwareEncoders.h"
#include "InstanceChannel.h"
#include "MainWindowMessages.h"
#include "MediaFiles.h"
#include "MediaUtils.h"
#include "PreviewWindow.h"
#include "QtMainThreadWaker.h"
#include "QtPreviewWindow.h"
#include "QtShellServices.h"
#include "SignalWatcher.h"
#include "VantreApp.h"
#include "VantreApplication.h"
#include "WinCover.h"
#include "WinMain.h"

#ifdef VANTRE_SCREENSHOT_TOOL
#include "BatchScreenshots.h"
#include "Screenshots.h"
#include "SettingsScreenshots.h"
#include "TrimCropScenes.h"
#include "WaterMarkScenes.h"
#endif

#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// The names as the system gave them: bytes that are not UTF-8 stay as they are.
std::vector<std::string> CommandLineFiles(int argc, char** argv) {
    return mediafiles::ExpandDropped(mediafiles::CommandLinePaths(argc, argv));
}

#ifdef VANTRE_SCREENSHOT_TOOL
// VANTRE_SCREENSHOTS=folder saves pictures of the windows there and ends the program;
// VANTRE_SCREENSHOT_SCENES=a,b limits them to the scenes named; VANTRE_SCREENSHOT_THEME=n
// takes them in that theme.
void RunScreenshots(TfrmMain& window, const QString& folder) {
    bool themed = false;
    const int theme = qEnvironmentVariableIntValue("VANTRE_SCREENSHOT_THEME", &themed);
    if (themed) {
        window.ApplyTheme(theme);
    }
    RegisterSettingsScreenshots();
    RegisterTrimCropScenes();
    // Last: its scenes change the theme and leave a conversion paused.
    RegisterBatchScreenshots();
    const QStringList only =
        qEnvironmentVariable("VANTRE_SCREENSHOT_SCENES").split(',', Qt::SkipEmptyParts);
    const int written = TScreenshots::Run(window, folder, only);
    window.SetAskOnClose(false);
    window.close();
    QCoreApplication::exit(written > 0 ? 0 : 1);
}
#endif

} // namespace

int main(int argc, char** argv) {
    TVantreApplication app(argc, argv);
    QCoreApplication::setApplicationName(mainmsg::StartUpTitle);
    QGuiApplication::setDesktopFileName("vantre");
    QApplication::setWindowIcon(glyphs::AppIcon());
    TQtMainThreadWaker waker;
    // Installed by the application object below, which keeps it.
    auto shell = std::make_unique<TQtShellServices>();
    TQtShellServices& qtShell = *shell;
    SetPreviewWindowFactory(TQtPreviewWindow::Factory());
#ifdef VANTRE_SCREENSHOT_TOOL
    RegisterWaterMarkScenes();
#endif

    // One program owns the job list: a later start hands its files over and ends.
    const std::vector<std::string> files = CommandLineFiles(argc, argv);
    const TGlobalObject places(TUserPlaces::FromProcess());
    places.EnsureDataFolder();
    TInstanceChannel channel(places.DataFolder());
    if (!channel.Owner()) {
        std::string error;
        if (channel.HandOver(files, error)) {
            return 0;
        }
        std::fprintf(stderr, "%s\n", Format(mainmsg::HandOverFailed, error.c_str()).c_str());
        return 1;
    }

    auto cover =
        std::make_unique<TfrmCover>(TGlobalObject::ProgramFolder(), TGlobalObject::ProductTitle,
                                    TfrmMain::ProgramVersionText());
    cover->show();
    cover->repaint();
    QCoreApplication::sendPostedEvents(cover.get());

    int code = 0;
    {
        // Made before the window, gone after it: the libraries, settings, catalog, encoder,
        // player and shell.
        TVantreApp vantre(TUserPlaces::FromProcess(), TVantreApp::DefaultLibraryFolder(),
                          std::move(shell));
        // The device trials need the libraries.
        TSystemDeviceOpener devices;
        THardwareEncoders::Instance().Detect(THardwareEncoders::RenderDevicePaths(), devices);
        TfrmMain window(vantre);
        std::unique_ptr<TfmDirectory> chooser;
        qtShell.SetFolderChooser([&](const std::string& start) {
            if (!chooser) {
                chooser = std::make_unique<TfmDirectory>(
                    window.Model().Global().Title(), window.Model().Global().HomeFolder(), &window);
            }
            return chooser->Choose(start);
        });
        TSignalWatcher signalWatcher;
        QObject::connect(&signalWatcher, &TSignalWatcher::arrived, &window,
                         [&window](int signal) { window.EndBySignal(signal); });
        cover->WatchWindow(&window);
        window.show();

#ifdef VANTRE_SCREENSHOT_TOOL
        const QString screenshots = qEnvironmentVariable("VANTRE_SCREENSHOTS");
#endif
        std::string listenError;
        if (!channel.Listen(
                [&window](std::vector<std::string> paths) { window.AddHandedFiles(paths); },
                listenError)) {
            std::fprintf(stderr, "%s\n",
                         Format(mainmsg::ListenFailed, listenError.c_str()).c_str());
        }
#ifdef VANTRE_SCREENSHOT_TOOL
        if (!screenshots.isEmpty()) {
            QObject::connect(&window, &TfrmMain::addFinished, &window,
                             [&] { RunScreenshots(window, screenshots); });
            if (files.empty()) {
                QTimer::singleShot(0, &window, [&] { RunScreenshots(window, screenshots); });
            }
        }
#endif
        if (!files.empty()) {
            window.AddFiles(files);
        }
        code = QApplication::exec();
        qtShell.SetFolderChooser(nullptr);
    }
    SetPreviewWindowFactory(nullptr);
    return code;
}
