#include "IniFile.h"

#include "AppMessages.h"
#include "AtomicFile.h"
#include "MediaUtils.h"

// The packaged header keeps its templates behind SI_IMPLEMENTATION; this is their only user.
#define SI_IMPLEMENTATION
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void ConfigureParser(CSimpleIniA& ini) {
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    ini.SetMultiLine(false);
    ini.SetSpaces(false);
}

// Link: a symbolic link stands at the name; it is neither read nor written through.
enum class TLoadResult { Loaded, Missing, Link, Failed };

// Reads the whole file; errorText receives the reason of a failure. Only a regular file of
// at most TIniFile::MaxFileSize bytes is read: a pipe would block every read for ever and a
// huge file would be parsed again by every read.
TLoadResult ReadFileText(const std::string& path, std::string& text, std::string& errorText) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return TLoadResult::Missing;
        }
        if (errno == ELOOP) {
            return TLoadResult::Link;
        }
        errorText = std::strerror(errno);
        return TLoadResult::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > TIniFile::MaxFileSize) {
        errorText = S_ISDIR(st.st_mode)    ? std::strerror(EISDIR)
                    : !S_ISREG(st.st_mode) ? appmsg::IniNotRegular
                                           : appmsg::IniTooLarge;
        ::close(fd);
        return TLoadResult::Failed;
    }
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            errorText = std::strerror(errno);
            ::close(fd);
            return TLoadResult::Failed;
        }
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > static_cast<size_t>(TIniFile::MaxFileSize)) {
            errorText = appmsg::IniTooLarge;
            ::close(fd);
            return TLoadResult::Failed;
        }
    }
    ::close(fd);
    return TLoadResult::Loaded;
}

using TParsed = std::shared_ptr<const CSimpleIniA>;

// The files parsed lately, each with the exact bytes it was parsed from. A read still reads the
// whole file, but bytes equal to the last parse's reuse its result: a batch reads the catalog
// dozens of times per file, and parsing it is what costs.
struct TParseCache {
    struct TEntry {
        std::string Path;
        std::string Text;
        TParsed Ini;
    };
    static constexpr size_t Capacity = 4;
    std::mutex Mutex;
    std::vector<TEntry> Entries; // the latest first
};

TParseCache& ParseCache() {
    static TParseCache cache;
    return cache;
}

// For reading: an unreadable file reads as empty, like a missing one. The result is shared
// and never changed.
TParsed LoadForRead(const std::string& path) {
    std::string text;
    std::string errorText;
    if (ReadFileText(path, text, errorText) != TLoadResult::Loaded) {
        static const TParsed empty = [] {
            auto ini = std::make_shared<CSimpleIniA>();
            ConfigureParser(*ini);
            return ini;
        }();
        return empty;
    }
    TParseCache& cache = ParseCache();
    {
        std::lock_guard lock(cache.Mutex);
        for (const TParseCache::TEntry& entry : cache.Entries) {
            if (entry.Path == path && entry.Text == text) {
                return entry.Ini;
            }
        }
    }
    auto ini = std::make_shared<CSimpleIniA>();
    ConfigureParser(*ini);
    if (ini->LoadData(text) < 0) {
        ini->Reset();
    }
    std::lock_guard lock(cache.Mutex);
    auto& entries = cache.Entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const TParseCache::TEntry& e) { return e.Path == path; }),
                  entries.end());
    if (entries.size() >= TParseCache::Capacity) {
        entries.pop_back();
    }
    entries.insert(entries.begin(), TParseCache::TEntry{path, std::move(text), ini});
    return ini;
}

// For a write: anything that would lose the file's content stops the write.
void LoadForWrite(const std::string& path, CSimpleIniA& ini) {
    ConfigureParser(ini);
    std::string text;
    std::string errorText;
    switch (ReadFileText(path, text, errorText)) {
    case TLoadResult::Missing:
    case TLoadResult::Link:
        return;
    case TLoadResult::Failed:
        throw EIniFileError(Format(appmsg::IniUnreadable, path.c_str(), errorText.c_str()));
    case TLoadResult::Loaded:
        if (ini.LoadData(text) < 0) {
            throw EIniFileError(
                Format(appmsg::IniUnreadable, path.c_str(), "the content cannot be parsed"));
        }
        return;
    }
}

std::string Unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

std::string CheckedSectionName(const std::string& section) {
    const std::string name = Trim(section);
    if (name.empty() || name.find_first_of("[]\r\n") != std::string::npos) {
        throw EIniFileError(Format(appmsg::IniBadName, section.c_str()));
    }
    return name;
}

std::string CheckedKeyName(const std::string& key) {
    const std::string name = Trim(key);
    if (name.empty() || name.find_first_of("=\r\n") != std::string::npos || name[0] == ';' ||
        name[0] == '#' || name[0] == '[') {
        throw EIniFileError(Format(appmsg::IniBadName, key.c_str()));
    }
    return name;
}

void CheckValue(const std::string& key, const std::string& value) {
    if (value.find_first_of("\r\n") != std::string::npos) {
        throw EIniFileError(Format(appmsg::IniBadValue, key.c_str()));
    }
}

[[noreturn]] void WriteFailed(const std::string& path, int error) {
    throw EIniFileError(Format(appmsg::IniWriteFailed, path.c_str(), std::strerror(error)));
}

void Modify(const std::string& fileName, const std::function<void(CSimpleIniA&)>& change) {
    CSimpleIniA ini;
    LoadForWrite(fileName, ini);
    change(ini);
    std::string data;
    if (ini.Save(data, false) < 0) {
        WriteFailed(fileName, ENOMEM);
    }
    if (const int error = ReplaceFileContent(fileName, data); error != 0) {
        WriteFailed(fileName, error);
    }
}

} // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::Unsuitable(const std::string& fileName) {
    struct stat st {};
    if (::lstat(fileName.c_str(), &st) != 0) {
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        return appmsg::IniNotRegular;
    }
    return st.st_size > MaxFileSize ? appmsg::IniTooLarge : "";
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
    const TParsed parsed = LoadForRead(fileName_);
    const CSimpleIniA& ini = *parsed;
    const char* value = ini.GetValue(Trim(section).c_str(), Trim(key).c_str(), nullptr);
    if (value == nullptr) {
        return defaultValue;
    }
    return Unquote(Trim(value));
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key,
                          int defaultValue) const {
    int value = 0;
    if (!TryStrToInt(ReadString(section, key, ""), value)) {
        return defaultValue;
    }
    return value;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    const TParsed parsed = LoadForRead(fileName_);
    const CSimpleIniA& ini = *parsed;
    return ini.KeyExists(Trim(section).c_str(), Trim(key).c_str());
}

bool TIniFile::SectionExists(const std::string& section) const {
    const TParsed parsed = LoadForRead(fileName_);
    const CSimpleIniA& ini = *parsed;
    return ini.SectionExists(Trim(section).c_str());
}

std::vector<std::string> TIniFile::Sections() const {
    const TParsed parsed = LoadForRead(fileName_);
    const CSimpleIniA& ini = *parsed;
    CSimpleIniA::TNamesDepend names;
    ini.GetAllSections(names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> result;
    for (const auto& entry : names) {
        result.emplace_back(entry.pItem);
    }
    return result;
}

TIniFile::TContent TIniFile::ReadAll() const {
    const TParsed parsed = LoadForRead(fileName_);
    const CSimpleIniA& ini = *parsed;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    sections.sort(CSimpleIniA::Entry::LoadOrder());
    TContent content;
    for (const auto& section : sections) {
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys(section.pItem, keys);
        keys.sort(CSimpleIniA::Entry::LoadOrder());
        TValues values;
        for (const auto& key : keys) {
            const char* value = ini.GetValue(section.pItem, key.pItem, "");
            values.emplace_back(key.pItem, Unquote(Trim(value)));
        }
        content.emplace_back(section.pItem, std::move(values));
    }
    return content;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    WriteStrings(section, {{key, value}});
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::WriteStrings(const std::string& section, const TValues& values) {
    const std::string sectionName = CheckedSectionName(section);
    TValues checked;
    checked.reserve(values.size());
    for (const auto& [key, value] : values) {
        const std::string keyName = CheckedKeyName(key);
        CheckValue(keyName, value);
        checked.emplace_back(keyName, value);
    }
    Modify(fileName_, [&](CSimpleIniA& ini) {
        if (checked.empty()) {
            ini.SetValue(sectionName.c_str(), nullptr, nullptr);
        }
        for (const auto& [key, value] : checked) {
            if (ini.SetValue(sectionName.c_str(), key.c_str(), value.c_str()) < 0) {
                WriteFailed(fileName_, ENOMEM);
            }
        }
    });
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    const std::string sectionName = CheckedSectionName(section);
    const std::string keyName = CheckedKeyName(key);
    if (!ValueExists(sectionName, keyName)) {
        return;
    }
    Modify(fileName_,
           [&](CSimpleIniA& ini) { ini.Delete(sectionName.c_str(), keyName.c_str(), false); });
}

void TIniFile::EraseSection(const std::string& section) {
    const std::string sectionName = CheckedSectionName(section);
    if (!SectionExists(sectionName)) {
        return;
    }
    Modify(fileName_, [&](CSimpleIniA& ini) { ini.Delete(sectionName.c_str(), nullptr); });
}
