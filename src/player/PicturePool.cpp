#include "PicturePool.h"

namespace {
// Pictures in flight at most: two queued, one shown, one being painted, one being drawn.
constexpr size_t kMaxFree = 6;
} // namespace

TPicturePool::TPicturePool() : store_(std::make_shared<Store>()) {}

std::shared_ptr<TSinkPicture> TPicturePool::Acquire(int width, int height) {
    std::unique_ptr<TSinkPicture> picture;
    {
        std::lock_guard lock(store_->mutex);
        auto& free = store_->free;
        for (auto it = free.begin(); it != free.end(); ++it) {
            if ((*it)->Width() == width && (*it)->Height() == height) {
                picture = std::move(*it);
                free.erase(it);
                break;
            }
        }
        if (!picture && !free.empty()) {
            free.pop_back(); // a size nobody asks for any more
        }
    }
    if (!picture) {
        picture = std::make_unique<TSinkPicture>(width, height);
    }
    picture->pts = -1;
    std::weak_ptr<Store> home = store_;
    return std::shared_ptr<TSinkPicture>(picture.release(), [home](TSinkPicture* p) {
        std::unique_ptr<TSinkPicture> owned(p);
        if (auto store = home.lock()) {
            std::lock_guard lock(store->mutex);
            if (store->free.size() < kMaxFree) {
                store->free.push_back(std::move(owned));
            }
        }
    });
}
