#pragma once

#include <string>

namespace testing_support {

// A tiny file system (tmpfs) mounted on a fresh folder for the life of the object, to make a
// disk fill up. Mounting needs root; Mounted() says whether it worked and Reason() why not.
class TSmallFileSystem {
public:
    explicit TSmallFileSystem(int kilobytes);
    ~TSmallFileSystem();
    TSmallFileSystem(const TSmallFileSystem&) = delete;
    TSmallFileSystem& operator=(const TSmallFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Reason() const { return reason_; }
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    bool mounted_ = false;
    std::string reason_;
};

} // namespace testing_support
