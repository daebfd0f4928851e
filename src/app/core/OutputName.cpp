#include "OutputName.h"

#include "AppMessages.h"
#include "MediaUtils.h"
#include "OutputNameReservations.h"
#include "Settings.h"

#include <filesystem>

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

} // namespace

bool CreateOutputFolder(const std::string& folder) {
    return CreateFolder(folder);
}

std::string OutputName(const std::string& source, const std::string& suffix, TSettings& settings,
                       const TShowWarning& warn, TOutputNameReservations* reservations) {
    return OutputNameIn(OutputFolder(settings, warn), source, suffix, reservations);
}

std::string OutputFolder(TSettings& settings, const TShowWarning& warn) {
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
    return folder;
}

std::string OutputNameIn(const std::string& folderName, const std::string& source,
                         const std::string& suffix, TOutputNameReservations* reservations) {
    std::string folder = folderName;
    if (!CreateFolder(folder)) {
        return {};
    }
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
