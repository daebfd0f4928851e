#include "AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Unique within the process; the process id keeps two programs apart.
std::atomic<unsigned> temporaryCounter{0};

int WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

int WriteFlushed(int fd, const std::string& target, const std::string& data) {
    struct stat old {};
    if (::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        ::fchmod(fd, old.st_mode & 07777) != 0) {
        return errno;
    }
    if (const int error = WriteAll(fd, data); error != 0) {
        return error;
    }
    return ::fsync(fd) != 0 ? errno : 0;
}

} // namespace

int ReplaceFileContent(const std::string& path, const std::string& data) {
    // The name itself is replaced: a link planted there is never followed.
    const std::string& target = path;
    const fs::path targetPath(target);
    const std::string folder =
        targetPath.has_parent_path() ? targetPath.parent_path().string() : std::string(".");
    const std::string base = targetPath.filename().string();

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + "/." + base + ".tmp-" + std::to_string(::getpid()) + "-" +
                    std::to_string(temporaryCounter.fetch_add(1));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return errno;
        }
    }
    if (fd < 0) {
        return EEXIST;
    }
    int error = WriteFlushed(fd, target, data);
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    // The rename itself reaches the disk with the folder.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return 0;
}
