#pragma once

#include "Bitmap24.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// Reads a bitmap (.bmp) file of any pixel depth as a 24-bit bitmap at its own size. Raises
// std::runtime_error with appmsg::BitmapUnreadable when the file cannot be read as a bitmap.
TBitmap24 LoadBitmapFile(const std::string& path);

// The bitmap files of image watermarks during one conversion. Every request looks at the
// file again: while its size and modification time are those of the copy kept, the copy
// serves; otherwise the file is read anew, so a file changed on disk takes effect at once.
class TWaterMarkImageCache {
public:
    // Raises std::runtime_error (appmsg::BitmapUnreadable) when the file cannot be read.
    std::shared_ptr<const TBitmap24> Load(const std::string& path);
    // How many times a file was actually read, for tests and measurements.
    int ReadCount() const;

private:
    struct TEntry {
        std::uintmax_t Size = 0;
        std::filesystem::file_time_type Modified;
        std::shared_ptr<const TBitmap24> Bitmap;
    };
    mutable std::mutex mutex_;
    std::map<std::string, TEntry> entries_;
    int reads_ = 0;
};
