#include "FrameCounter.h"

#include "AVProbe.h"
#include "MainThread.h"

void TFrameCounter::Start(const std::string& fileName, TCounted counted) {
    Stop();
    generation_ = std::make_shared<int>(0);
    stop_ = false;
    done_ = false;
    worker_ = std::thread(
        [this, fileName, counted = std::move(counted), alive = std::weak_ptr<int>(generation_)] {
            std::int64_t frames = -1;
            try {
                TAVProbe probe;
                if (probe.LoadFile(fileName)) {
                    frames = probe.CountPackets(probe.FirstVideoStreamIndex(), stop_);
                }
            } catch (const std::exception&) {
                frames = -1;
            }
            if (frames >= 0 && !stop_) {
                TMainThread::Post([alive, counted, frames] {
                    if (!alive.expired()) {
                        counted(frames);
                    }
                });
            }
            done_ = true;
        });
}

void TFrameCounter::Stop() {
    generation_.reset();
    if (!worker_.joinable()) {
        return;
    }
    stop_ = true;
    // The worker only posts to the main thread, never waits for it: joining cannot deadlock.
    worker_.join();
}

TFrameCounter::~TFrameCounter() {
    Stop();
}
