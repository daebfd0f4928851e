// add_bench: adds files to the main window's job list the way the Add command does (probing
// each through the encoder component) and prints how long it took.
// Usage: add_bench FILE...

#include "QtMainThreadWaker.h"
#include "VantreApp.h"
#include "WinMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    TQtMainThreadWaker waker;
    std::vector<std::string> files;
    for (const QString& file : QApplication::arguments().mid(1)) {
        files.push_back(file.toStdString());
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: add_bench FILE...\n");
        return 2;
    }
    QTemporaryDir home; // a fresh settings folder, so nothing of the user's is touched
    TVantreApp vantre(TUserPlaces{home.path().toStdString(), ""}, "");
    TfrmMain window(vantre);
    window.show();
    QApplication::processEvents();

    QEventLoop loop;
    int added = 0;
    QObject::connect(&window, &TfrmMain::addFinished, &loop, [&](int count) {
        added = count;
        loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    window.AddFiles(files);
    if (window.Adding()) {
        loop.exec();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%d %.3f\n", added, seconds);
    window.SetAskOnClose(false);
    return added == static_cast<int>(files.size()) ? 0 : 1;
}
