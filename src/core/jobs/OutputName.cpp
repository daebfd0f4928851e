#include "OutputName.h"

#include "AppMessages.h"
#include "MediaUtils.h"
#include "OutputNameReservations.h"
#include "Settings.h"

#include <climits>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool CreateFolder(const std::string& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec);
}

bool Taken(const std::string& path, const TOutputNameReservations* reservations) {
    std::error_code ec;
    // A dangling link is taken too: writing through it would create a file elsewhere.
    return fs::exists(fs::symlink_status(path, ec)) ||
           (reservations != nullptr && reservations->IsReserved(path));
}

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    std::string host(name);
    // Part of a file name: nothing that would split it into folders.
    for (char& c : host) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20) {
            c = '_';
        }
    }
    return host;
}

size_t NameLimit(const std::string& folder) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : 255;
}

// The source part cut so that fixed bytes more still fit the limit; never inside a UTF-8
// sequence.
std::string Shortened(const std::string& base, size_t fixed, size_t limit) {
    if (fixed + base.size() <= limit) {
        return base;
    }
    size_t cut = limit > fixed ? limit - fixed : 0;
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return base.substr(0, cut);
}

// A folder that exists, or whose nearest existing parent is a folder we may write into.
bool Creatable(const std::string& folder) {
    if (folder.empty()) {
        return false;
    }
    std::error_code ec;
    fs::path path = fs::absolute(folder, ec);
    if (ec) {
        return false;
    }
    if (fs::exists(path, ec)) {
        return fs::is_directory(path, ec);
    }
    while (path.has_parent_path() && path.parent_path() != path) {
        path = path.parent_path();
        if (fs::exists(path, ec)) {
            return fs::is_directory(path, ec) && ::access(path.c_str(), W_OK | X_OK) == 0;
        }
    }
    return false;
}

} // namespace

std::string UnfinishedTail() {
    static const std::string host = HostName();
    return ".unfinished-" + host + "-" + std::to_string(::getpid());
}

std::string UnfinishedName(const std::string& finalName) {
    return finalName + UnfinishedTail();
}

std::string OutputNameCandidate(const std::string& folder, const std::string& source,
                                const std::string& suffix, int n) {
    std::string prefix = folder;
    if (prefix.empty() || prefix.back() != '/') {
        prefix += '/';
    }
    const std::string tail =
        (n == 0 ? std::string("_(new)") : "_(new_" + std::to_string(n) + ")") + suffix;
    const std::string base = fs::path(source).stem().string();
    return prefix + Shortened(base, tail.size() + UnfinishedTail().size(), NameLimit(prefix)) +
           tail;
}

std::string OutputName(const std::string& source, const std::string& suffix, TSettings& settings,
                       const TShowWarning& warn, TOutputNameReservations* reservations) {
    const std::string folder = UsableOutputFolder(settings, warn);
    return OutputNameIn(folder, source, suffix, reservations);
}

std::string UsableOutputFolder(TSettings& settings, const TShowWarning& warn) {
    const std::string folder = settings.OutputDir();
    if (CreateFolder(folder)) {
        return folder;
    }
    const std::string fallback = settings.DefaultFolder();
    if (warn) {
        warn(appmsg::CannotCreateOutputFolder + folder +
                 Format(appmsg::CreateDefaultFolder, fallback.c_str()),
             appmsg::WarningCaption);
    }
    CreateFolder(fallback);
    settings.SetOutputDir(fallback);
    // The folder that cannot be made would only fail the conversion later.
    return fallback;
}

std::string OutputNameIn(const std::string& folder, const std::string& source,
                         const std::string& suffix, TOutputNameReservations* reservations) {
    if (!CreateFolder(folder)) {
        return {};
    }
    return FreeName(folder, source, suffix, reservations);
}

std::string FreeName(const std::string& folder, const std::string& source,
                     const std::string& suffix, TOutputNameReservations* reservations) {
    std::string candidate = OutputNameCandidate(folder, source, suffix, 0);
    for (int n = 1; Taken(candidate, reservations); ++n) {
        candidate = OutputNameCandidate(folder, source, suffix, n);
    }
    if (reservations != nullptr) {
        reservations->Reserve(candidate);
    }
    return candidate;
}

std::string PredictOutputName(const std::string& folder, const std::string& source,
                              const std::string& suffix, TOutputNameReservations& predicted) {
    return FreeName(folder, source, suffix, &predicted);
}

std::string PredictOutputFolder(const TSettings& settings) {
    const std::string folder = settings.OutputDir();
    return Creatable(folder) ? folder : settings.DefaultFolder();
}
