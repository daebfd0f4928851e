// One application object for every window test of the program.

#include "QtMainThreadWaker.h"
#include "VantreApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    TVantreApplication app(argc, argv);
    TQtMainThreadWaker waker;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
