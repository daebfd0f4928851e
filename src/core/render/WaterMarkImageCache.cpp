#include "WaterMarkImageCache.h"

#include "AppMessages.h"
#include "BitmapImage.h"
#include "MediaUtils.h"

#include <QImage>
#include <QString>

#include <stdexcept>
#include <system_error>

namespace {

[[noreturn]] void Unreadable(const std::string& path) {
    throw std::runtime_error(Format(appmsg::BitmapUnreadable, path.c_str()));
}

} // namespace

TBitmap24 LoadBitmapFile(const std::string& path) {
    QImage image;
    if (!image.load(QString::fromStdString(path), "BMP")) {
        Unreadable(path);
    }
    TBitmap24 bitmap = BitmapFromImage(image);
    if (bitmap.Empty()) {
        Unreadable(path);
    }
    return bitmap;
}

std::shared_ptr<const TBitmap24> TWaterMarkImageCache::Load(const std::string& path) {
    std::error_code error;
    const std::filesystem::path file(path);
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) {
        Unreadable(path);
    }
    const std::filesystem::file_time_type modified = std::filesystem::last_write_time(file, error);
    if (error) {
        Unreadable(path);
    }
    std::lock_guard lock(mutex_);
    const auto found = entries_.find(path);
    if (found != entries_.end() && found->second.Size == size &&
        found->second.Modified == modified) {
        return found->second.Bitmap;
    }
    auto bitmap = std::make_shared<const TBitmap24>(LoadBitmapFile(path));
    ++reads_;
    entries_[path] = TEntry{size, modified, bitmap};
    return bitmap;
}

int TWaterMarkImageCache::ReadCount() const {
    std::lock_guard lock(mutex_);
    return reads_;
}
