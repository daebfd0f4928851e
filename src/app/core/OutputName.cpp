#include "OutputName.h"

#include "AppMessages.h"
#include "MediaUtils.h"
#include "OutputNameReservations.h"
#include "Settings.h"

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

// The first free name for source in folder, reserved when reservations are given.
std::string FreeName(std::string folder, const std::string& source, const std::string& suffix,
                     TOutputNameReservations* reservations) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    const std::string base = fs::path(source).stem().string();
    std::string candidate = folder + base + "_(new)" + suffix;
    for (int n = 1; Taken(candidate, reservations); ++n) {
        candidate = folder + base + "_(new_" + std::to_string(n) + ")" + suffix;
    }
    if (reservations != nullptr) {
        reservations->Reserve(candidate);
    }
    return candidate;
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

std::string OutputName(const std::string& source, const std::string& suffix, TSettings& settings,
                       const TShowWarning& warn, TOutputNameReservations* reservations) {
    std::string folder = settings.OutputDir();
    if (!CreateFolder(folder)) {
        const std::string fallback = settings.DefaultFolder();
        if (warn) {
            warn(appmsg::CannotCreateOutputFolder + folder +
                     Format(appmsg::CreateDefaultFolder, fallback.c_str()),
                 appmsg::WarningCaption);
        }
        CreateFolder(fallback);
        settings.SetOutputDir(fallback);
        // The folder that cannot be made would only fail the conversion later.
        folder = fallback;
    }
    return OutputNameIn(folder, source, suffix, reservations);
}

std::string OutputNameIn(const std::string& folderName, const std::string& source,
                         const std::string& suffix, TOutputNameReservations* reservations) {
    std::string folder = folderName;
    if (!CreateFolder(folder)) {
        return {};
    }
    return FreeName(folder, source, suffix, reservations);
}

std::string PredictOutputName(const std::string& folder, const std::string& source,
                              const std::string& suffix, TOutputNameReservations& predicted) {
    return FreeName(folder, source, suffix, &predicted);
}

std::string PredictOutputFolder(const TSettings& settings) {
    const std::string folder = settings.OutputDir();
    return Creatable(folder) ? folder : settings.DefaultFolder();
}
