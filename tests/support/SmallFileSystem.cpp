#include "SmallFileSystem.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/mount.h>
#include <unistd.h>

namespace testing_support {

TSmallFileSystem::TSmallFileSystem(int kilobytes) {
    char pattern[] = "/tmp/vantre-small-fs-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = made;
    const std::string options = "size=" + std::to_string(kilobytes) + "k";
    if (::mount("vantre-test", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) ==
        0) {
        mounted_ = true;
    } else {
        reason_ = std::string("mounting a small file system is not allowed here (") +
                  std::strerror(errno) + ")";
    }
}

TSmallFileSystem::~TSmallFileSystem() {
    if (mounted_) {
        // Detached, so that a file a failed test left open cannot keep the mount.
        ::umount2(path_.c_str(), MNT_DETACH);
    }
    ::rmdir(path_.c_str());
}

} // namespace testing_support
