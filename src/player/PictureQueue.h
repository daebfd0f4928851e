#pragma once

#include "Bitmap24.h"
#include "MediaPtr.h"
#include "PictureSink.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// A decoded picture on its way to the screen.
struct TQueuedPicture {
    media::FramePtr frame; // the picture at its own size, as decoded and filtered
    TBitmap24 hooked;      // the picture as the hook left it (when hookedValid)
    bool hookedValid = false;
    std::shared_ptr<TSinkPicture> shown; // scaled to rect, ready for the sink
    TPictureRect rect;
    double pts = 0;           // seconds
    double targetClock = 0;   // when it is due, on the playback clock
    std::int64_t pos = -1;    // byte position in the file
    std::uint32_t serial = 0; // counts flushes: pictures before and after a seek differ
};

// The two pictures decoding runs ahead of the display. The video thread writes the entry at
// the write end while the play thread reads the one at the read end.
class TPictureQueue {
public:
    static constexpr int kSize = 2;

    TPictureQueue();
    TPictureQueue(const TPictureQueue&) = delete;
    TPictureQueue& operator=(const TPictureQueue&) = delete;

    // Producer: waits for a free entry; onFull runs once when it has to wait. Null once aborted.
    TQueuedPicture* WaitWritable(const std::function<void()>& onFull);
    void Push();
    // Producer: waits until the display took every picture but count. False once aborted.
    bool WaitAtMost(int count);
    bool WaitEmpty() { return WaitAtMost(0); }

    // Consumer: the picture offset places from the read end, null when not queued.
    TQueuedPicture* Peek(int offset);
    void Pop();
    int Size() const;

    void Abort();
    // Frees every picture (after the threads ended).
    void Clear();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    TQueuedPicture entries_[kSize];
    int read_ = 0;
    int size_ = 0;
    bool abort_ = false;
};
