#pragma once

#include "PictureSink.h"

#include <memory>
#include <mutex>
#include <vector>

// Recycles sink pictures: a picture comes back to the pool when its last holder (the queue,
// the sink, a paint in progress) lets go of it, so steady playback allocates no pixels.
class TPicturePool {
public:
    TPicturePool();
    TPicturePool(const TPicturePool&) = delete;
    TPicturePool& operator=(const TPicturePool&) = delete;

    std::shared_ptr<TSinkPicture> Acquire(int width, int height);

private:
    struct Store {
        std::mutex mutex;
        std::vector<std::unique_ptr<TSinkPicture>> free;
    };
    std::shared_ptr<Store> store_;
};
