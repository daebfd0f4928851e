#include "GlobalObject.h"

#include "AppMessages.h"
#include "AtomicFile.h"
#include "CatalogCheck.h"
#include "FFmpegLogger.h"
#include "IniFile.h"
#include "MediaUtils.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string PasswordEntryHome() {
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr && entry->pw_dir != nullptr ? std::string(entry->pw_dir)
                                                        : std::string();
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

bool IsUtf8Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

} // namespace

TUserPlaces TUserPlaces::FromProcess() {
    TUserPlaces places;
    places.Home = EnvironmentValue("HOME");
    if (places.Home.empty()) {
        places.Home = PasswordEntryHome();
    }
    places.XdgDataHome = EnvironmentValue("XDG_DATA_HOME");
    return places;
}

TGlobalObject::TGlobalObject() : TGlobalObject(TUserPlaces::FromProcess()) {}

TGlobalObject::TGlobalObject(TUserPlaces places)
    : places_(std::move(places)), title_(ProductTitle) {
    places_.Home = WithoutTrailingSlash(places_.Home);
    const std::string folder = DataFolder();
    settingsFile_ = folder + "/" + SettingsFileName;
    catalogFile_ = folder + "/" + CatalogFileName;
}

void TGlobalObject::SetHelpLink(const std::string& value) {
    if (!value.empty()) {
        helpLink_ = value;
    }
}

void TGlobalObject::SetSettingsFile(const std::string& value) {
    if (value.size() > 3) {
        settingsFile_ = value;
    }
}

void TGlobalObject::SetCatalogFile(const std::string& value) {
    if (value.size() > 3) {
        catalogFile_ = value;
    }
}

void TGlobalObject::SetTitle(const std::string& value) {
    if (!value.empty()) {
        title_ = value;
    }
}

void TGlobalObject::SetVersionText(const std::string& value) {
    if (!value.empty()) {
        versionText_ = value;
    }
}

void TGlobalObject::SetWebLink(const std::string& value) {
    if (!value.empty()) {
        webLink_ = value;
    }
}

std::string TGlobalObject::DataFolder() const {
    // A relative XDG_DATA_HOME is invalid and must be ignored.
    std::string base = WithoutTrailingSlash(places_.XdgDataHome);
    if (base.empty() || base[0] != '/') {
        base = places_.Home + "/.local/share";
    }
    return base + "/vantre";
}

std::string TGlobalObject::DefaultOutputFolder() const {
    return places_.Home + "/videoconverter";
}

bool TGlobalObject::EnsureDataFolder() const {
    std::error_code ec;
    fs::create_directories(DataFolder(), ec);
    return fs::is_directory(DataFolder(), ec);
}

std::string TGlobalObject::InstallCatalog(const std::string& installedCatalog) const {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(catalogFile_, ec))) {
        return RenewCatalog(installedCatalog);
    }
    if (installedCatalog.empty()) {
        throw EIniFileError(
            Format(appmsg::CatalogInstallFailed, catalogFile_.c_str(), appmsg::CatalogNotFound));
    }
    fs::create_directories(fs::path(catalogFile_).parent_path(), ec);
    WriteCatalog(ReadCatalogText(installedCatalog));
    return {};
}

std::string TGlobalObject::RenewCatalog(const std::string& installedCatalog) const {
    if (installedCatalog.empty()) {
        return {}; // nothing to compare with
    }
    const TIniFile::TContent shipped = TIniFile(installedCatalog).ReadAll();
    if (shipped.empty()) {
        return {};
    }
    const TCatalogCheck::TResult check =
        TCatalogCheck::Compare(TIniFile(catalogFile_).ReadAll(), shipped);
    if (check.Verdict == TCatalogCheck::TVerdict::Current ||
        check.Verdict == TCatalogCheck::TVerdict::Newer) {
        return {};
    }
    const std::string content = ReadCatalogText(installedCatalog);
    const std::string backup = FreeBackupName(catalogFile_);
    std::error_code ec;
    fs::copy_file(catalogFile_, backup, ec);
    if (ec) {
        throw EIniFileError(
            Format(appmsg::CatalogInstallFailed, catalogFile_.c_str(), ec.message().c_str()));
    }
    WriteCatalog(content);
    const std::string warning =
        check.Verdict == TCatalogCheck::TVerdict::Older
            ? Format(appmsg::CatalogOlderReplaced, catalogFile_.c_str(), backup.c_str())
            : Format(appmsg::CatalogDamagedReplaced, catalogFile_.c_str(), check.Detail.c_str(),
                     backup.c_str());
    LoggerInstance().Log(this, llWarning, warning);
    return warning;
}

std::string TGlobalObject::ReadCatalogText(const std::string& installedCatalog) {
    std::ifstream source(installedCatalog, std::ios::binary);
    if (!source.is_open()) {
        throw EIniFileError(Format(appmsg::CatalogInstallFailed, installedCatalog.c_str(),
                                   std::strerror(errno != 0 ? errno : ENOENT)));
    }
    std::string content{std::istreambuf_iterator<char>(source), std::istreambuf_iterator<char>()};
    if (source.bad()) {
        throw EIniFileError(
            Format(appmsg::CatalogInstallFailed, installedCatalog.c_str(), std::strerror(EIO)));
    }
    return content;
}

void TGlobalObject::WriteCatalog(const std::string& content) const {
    if (const int error = ReplaceFileContent(catalogFile_, content); error != 0) {
        throw EIniFileError(
            Format(appmsg::CatalogInstallFailed, catalogFile_.c_str(), std::strerror(error)));
    }
}

std::vector<std::string> TGlobalObject::SetAsideUnsuitableFiles() const {
    std::vector<std::string> messages;
    for (const std::string* file : {&settingsFile_, &catalogFile_}) {
        const std::string problem = TIniFile::Unsuitable(*file);
        if (problem.empty()) {
            continue;
        }
        const std::string backup = FreeBackupName(*file);
        std::error_code ec;
        // Renamed, never opened: a pipe or a device is moved like any other name.
        fs::rename(*file, backup, ec);
        const std::string message = ec ? Format(appmsg::UnsuitableFileKept, file->c_str(),
                                                problem.c_str(), ec.message().c_str())
                                       : Format(appmsg::UnsuitableFileMoved, file->c_str(),
                                                problem.c_str(), backup.c_str());
        LoggerInstance().Log(this, llWarning, message);
        messages.push_back(message);
    }
    return messages;
}

std::string TGlobalObject::FreeBackupName(const std::string& file) {
    std::error_code ec;
    std::string name = file + ".bak";
    for (int i = 1; fs::exists(fs::symlink_status(name, ec)); ++i) {
        name = file + ".bak." + std::to_string(i);
    }
    return name;
}

std::string TGlobalObject::FindInstalledCatalog(const std::vector<std::string>& candidates) {
    std::error_code ec;
    for (const std::string& candidate : candidates) {
        if (!candidate.empty() && fs::is_regular_file(candidate, ec)) {
            return candidate;
        }
    }
    return {};
}

std::vector<std::string> TGlobalObject::InstalledCatalogCandidates() {
    std::vector<std::string> candidates;
    const std::string program = ProgramFolder();
    if (!program.empty()) {
        candidates.push_back(
            (fs::path(program).parent_path() / "share" / "vantre" / CatalogFileName).string());
    }
#ifdef VANTRE_SOURCE_DATA_DIR
    candidates.push_back(std::string(VANTRE_SOURCE_DATA_DIR) + "/" + CatalogFileName);
#endif
    return candidates;
}

std::string TGlobalObject::ProgramFolder() {
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : program.parent_path().string();
}

std::string TGlobalObject::RightChars(const std::string& text, int n) {
    if (n <= 0) {
        return {};
    }
    size_t start = text.size();
    int count = 0;
    while (start > 0 && count < n) {
        --start;
        // Step back over a whole character, never into the middle of one.
        while (start > 0 && IsUtf8Continuation(static_cast<unsigned char>(text[start]))) {
            --start;
        }
        ++count;
    }
    return text.substr(start);
}

std::string TGlobalObject::FileVersionText(int major, int minor, int release, int build) {
    return Format(" %d.%d%d%d ", major, minor, release, build);
}

bool TGlobalObject::CanWriteFolder(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::string pattern = WithoutTrailingSlash(path) + "/DAXXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return ::unlink(pattern.c_str()) == 0;
}

std::string TGlobalObject::UserName() {
    std::string name;
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name) {
        name = entry->pw_name;
    }
    if (name.empty()) {
        name = EnvironmentValue("USER");
    }
    if (name.empty()) {
        name = EnvironmentValue("LOGNAME");
    }
    return name.substr(0, 253);
}
