#include "EventThread.h"

#include "PlaybackControl.h"

TEventThread::TEventThread(IEventThreadHost& host, TEventRing& ring) : host_(host), ring_(ring) {}

TEventThread::~TEventThread() {
    Join();
}

void TEventThread::Start() {
    Join();
    done_.Reset();
    try {
        thread_ = std::thread([this] { Execute(); });
    } catch (...) {
        done_.Set();
        throw;
    }
}

void TEventThread::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TEventThread::Execute() {
    tOnPlaybackThread = true;
    for (;;) {
        const std::optional<TEventRing::TRecord> record = ring_.Take();
        if (!record) {
            ring_.EventsAvailable().Wait();
            continue;
        }
        if (record->kind == TEventRing::TKind::End) {
            break;
        }
        if (record->kind == TEventRing::TKind::Position) {
            host_.DeliverPosition(record->pts);
            continue;
        }
        host_.DeliverState(record->state);
        if (record->state == psStop) {
            break;
        }
    }
    done_.Set();
}
