#include "PlayThread.h"

#include "PlaybackControl.h"

#include <exception>

TPlayThread::TPlayThread(IPlayThreadHost& host, TLoopQueue& loop) : host_(host), loop_(loop) {}

TPlayThread::~TPlayThread() {
    Join();
}

void TPlayThread::Start(bool pausedWithoutPictures) {
    Join();
    done_.Reset();
    try {
        thread_ = std::thread([this, pausedWithoutPictures] { Execute(pausedWithoutPictures); });
    } catch (...) {
        done_.Set();
        throw;
    }
}

void TPlayThread::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TPlayThread::Execute(bool pausedWithoutPictures) {
    tOnPlaybackThread = true;
    host_.ReportState(psPlay);
    if (pausedWithoutPictures) {
        // No picture will end the paused start: it is reported at once.
        host_.ReportState(psPause);
    }
    for (;;) {
        try {
            if (!host_.HandleLoopEvent(loop_.Wait())) {
                break;
            }
        } catch (const std::exception& e) {
            host_.PlayThreadFailed(e.what());
            break;
        } catch (...) {
            host_.PlayThreadFailed("");
            break;
        }
    }
    host_.ReportState(psStop);
    done_.Set();
}
