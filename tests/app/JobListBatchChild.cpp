// The desktop program's main window in a process of its own, for the tests that end it with
// SIGKILL in the middle of a batch: `joblist_batch_child HOME` restores the job list saved
// under HOME and starts converting its checked rows at once.

#include "QtMainThreadWaker.h"
#include "RecordingShell.h"
#include "ShellServices.h"
#include "VantreApp.h"
#include "VantreApplication.h"
#include "WinMain.h"

#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: joblist_batch_child HOME\n");
        return 2;
    }
    const std::string home = argv[1];
    TVantreApplication app(argc, argv);
    TQtMainThreadWaker waker;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell(shell);
    TVantreApp vantre(TUserPlaces{home, ""}, "");
    TfrmMain window(vantre);
    window.SetAskOnClose(false);
    window.show();
    QTimer::singleShot(0, &window, [&window] { window.StartBatch(); });
    return QApplication::exec();
}
