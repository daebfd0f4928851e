#include "OutputReservation.h"

#include "OutputName.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace {

// The same file as when it was created: a regular file, not a link, same device and inode.
template <typename Id> bool StillOurs(const std::string& path, const Id& id, bool mustBeEmpty) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           static_cast<std::uint64_t>(st.st_dev) == id.Device &&
           static_cast<std::uint64_t>(st.st_ino) == id.Inode && (!mustBeEmpty || st.st_size == 0);
}

// Creates path exclusively (never through a link). 0, or errno.
template <typename Id> int CreateExclusive(const std::string& path, Id& id) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    struct stat st {};
    const int error = ::fstat(fd, &st) == 0 ? 0 : errno;
    ::close(fd);
    if (error != 0) {
        ::unlink(path.c_str());
        return error;
    }
    id.Device = static_cast<std::uint64_t>(st.st_dev);
    id.Inode = static_cast<std::uint64_t>(st.st_ino);
    return 0;
}

void SyncFolderOf(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) ==
        0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // File systems without the flag: a hard link fails on an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    ::unlink(from.c_str());
    return 0;
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool ProcessGone(const std::string& pidText) {
    if (pidText.size() > 9) {
        return false;
    }
    const long pid = std::stol(pidText);
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

TOutputReservation::~TOutputReservation() {
    Abandon();
}

TOutputReservation::TOutputReservation(TOutputReservation&& other) noexcept
    : finalName_(std::exchange(other.finalName_, {})),
      unfinishedName_(std::exchange(other.unfinishedName_, {})), finalId_(other.finalId_),
      unfinishedId_(other.unfinishedId_) {}

TOutputReservation& TOutputReservation::operator=(TOutputReservation&& other) noexcept {
    if (this != &other) {
        Abandon();
        finalName_ = std::exchange(other.finalName_, {});
        unfinishedName_ = std::exchange(other.unfinishedName_, {});
        finalId_ = other.finalId_;
        unfinishedId_ = other.unfinishedId_;
    }
    return *this;
}

TOutputReservation TOutputReservation::Reserve(const std::string& folder, const std::string& source,
                                               const std::string& suffix, std::string& error) {
    TOutputReservation r;
    for (int n = 0; n < 100000; ++n) {
        const std::string candidate = OutputNameCandidate(folder, source, suffix, n);
        if (int e = CreateExclusive(candidate, r.finalId_); e != 0) {
            if (e == EEXIST) {
                continue;
            }
            error = candidate + ": " + std::strerror(e);
            return {};
        }
        const std::string unfinished = ::UnfinishedName(candidate);
        if (int e = CreateExclusive(unfinished, r.unfinishedId_); e != 0) {
            ::unlink(candidate.c_str());
            if (e == EEXIST) {
                continue;
            }
            error = unfinished + ": " + std::strerror(e);
            return {};
        }
        r.finalName_ = candidate;
        r.unfinishedName_ = unfinished;
        return r;
    }
    error = folder + ": " + std::strerror(EEXIST);
    return {};
}

int TOutputReservation::Finish() {
    if (!Held()) {
        return ENOENT;
    }
    int error = 0;
    struct stat written {};
    if (!StillOurs(unfinishedName_, unfinishedId_, false)) {
        error = ENOENT;
    } else if (::lstat(unfinishedName_.c_str(), &written) != 0 || written.st_size == 0) {
        // Nothing was written: no output to give a name.
        error = ENODATA;
    } else {
        // The content reaches the disk before the name does.
        const int fd = ::open(unfinishedName_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        struct stat st {};
        if (StillOurs(finalName_, finalId_, true)) {
            error = ::rename(unfinishedName_.c_str(), finalName_.c_str()) == 0 ? 0 : errno;
        } else if (::lstat(finalName_.c_str(), &st) != 0 && errno == ENOENT) {
            error = RenameNoReplace(unfinishedName_, finalName_);
        } else {
            error = EEXIST;
        }
    }
    if (error != 0) {
        Abandon();
        return error;
    }
    SyncFolderOf(finalName_);
    Release();
    return 0;
}

void TOutputReservation::Abandon() {
    if (!Held()) {
        return;
    }
    if (StillOurs(unfinishedName_, unfinishedId_, false)) {
        ::unlink(unfinishedName_.c_str());
    }
    if (StillOurs(finalName_, finalId_, true)) {
        ::unlink(finalName_.c_str());
    }
    Release();
}

void TOutputReservation::Release() {
    finalName_.clear();
    unfinishedName_.clear();
}

int TOutputReservation::RemoveStale(const std::string& folder) {
    // The tail without the process id: this host's writers only.
    const std::string ownTail = UnfinishedTail();
    const std::string hostTail = ownTail.substr(0, ownTail.rfind('-') + 1);
    std::string prefix = folder;
    if (prefix.empty() || prefix.back() != '/') {
        prefix += '/';
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const size_t at = name.rfind(hostTail);
        if (at == std::string::npos || at == 0) {
            continue;
        }
        const std::string pid = name.substr(at + hostTail.size());
        if (!AllDigits(pid) || !ProcessGone(pid)) {
            continue;
        }
        const std::string unfinished = prefix + name;
        struct stat st {};
        if (::lstat(unfinished.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            ::unlink(unfinished.c_str()) != 0) {
            continue;
        }
        ++removed;
        // The reservation it pairs with, only while nothing was written into it.
        const std::string final = prefix + name.substr(0, at);
        if (::lstat(final.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
            ::unlink(final.c_str());
        }
    }
    ::closedir(dir);
    return removed;
}
