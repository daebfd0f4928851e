#include "QtMainThreadWaker.h"
#include "MainThread.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// Calls a worker hands to the main thread run from the Qt event loop, without any pumping of
// our own: the loop alone serves them.
TEST(QtMainThreadWaker, EventLoopServesCallsFromWorkers) {
    int argc = 1;
    char name[] = "ui_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    TQtMainThreadWaker waker;
    std::atomic<int> served{0};
    bool onMain = true;
    std::thread worker([&] {
        for (int i = 0; i < 10; ++i) {
            TMainThread::Post([&] {
                onMain = onMain && TMainThread::IsCurrent();
                ++served;
            });
        }
        TMainThread::Post([&] { app.quit(); });
    });
    QTimer::singleShot(10000, &app, [&] { app.exit(1); }); // a hang fails instead of blocking
    const int code = app.exec();
    worker.join();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(served.load(), 10);
    EXPECT_TRUE(onMain);
}
