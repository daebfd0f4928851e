#pragma once

#include "TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace gui_test {

// Serves the event loop (and with it the main-thread queue) until predicate holds.
inline bool WaitUntil(const std::function<bool()>& predicate, int timeoutMs = 30000) {
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

template <typename T> T* Child(const QWidget& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}

// Small clips made once for the whole program.
struct Clips {
    testing_support::TempDir dir;
    std::string holiday = dir.File("holiday.avi");
    std::string beach = dir.File("beach walk.mp4");
    Clips() {
        testing_support::MakeClip(holiday, 1, 64, 48, 10, 0, "-c:v mpeg4");
        testing_support::MakeClip(beach, 2, 64, 48, 10, 8000, "-c:v mpeg4 -c:a aac");
    }
    // A copy of a clip under another name.
    std::string CopyAs(const std::string& source, const std::string& path) const {
        std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
        return path;
    }
};

inline const Clips& SharedClips() {
    static const Clips clips;
    return clips;
}

} // namespace gui_test
