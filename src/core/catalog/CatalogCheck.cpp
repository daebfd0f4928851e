#include "CatalogCheck.h"

#include "AppMessages.h"
#include "MediaUtils.h"

#include <map>
#include <set>

namespace {

using TKeys = std::map<std::string, std::set<std::string>>;

// Section names to their key names, compared without regard to case.
TKeys KeysOf(const TIniFile::TContent& content) {
    TKeys keys;
    for (const auto& [section, values] : content) {
        std::set<std::string>& names = keys[LowerCase(section)];
        for (const auto& value : values) {
            names.insert(LowerCase(value.first));
        }
    }
    return keys;
}

} // namespace

int TCatalogCheck::Version(const TIniFile::TContent& content) {
    for (const auto& [section, values] : content) {
        if (!SameText(section, VersionSection)) {
            continue;
        }
        for (const auto& [key, value] : values) {
            int version = 0;
            if (SameText(key, VersionKey) && TryStrToInt(value, version) && version > 0) {
                return version;
            }
        }
    }
    return 0;
}

TCatalogCheck::TResult TCatalogCheck::Compare(const TIniFile::TContent& copy,
                                              const TIniFile::TContent& shipped) {
    TResult result;
    const int copyVersion = Version(copy);
    if (copyVersion > Version(shipped)) {
        result.Verdict = TVerdict::Newer;
        return result;
    }
    // An earlier program's catalog lacks the formats added since: older, not damaged.
    if (copyVersion > 0 && copyVersion < Version(shipped)) {
        result.Verdict = TVerdict::Older;
        return result;
    }
    // A copy that states no version is checked section by section: garbage is damaged.
    const TKeys present = KeysOf(copy);
    for (const auto& [section, values] : shipped) {
        if (SameText(section, VersionSection)) {
            continue;
        }
        const auto found = present.find(LowerCase(section));
        if (found == present.end()) {
            result.Verdict = TVerdict::Damaged;
            result.Detail = Format(appmsg::CatalogSectionMissing, section.c_str());
            return result;
        }
        for (const auto& value : values) {
            if (found->second.count(LowerCase(value.first)) == 0) {
                result.Verdict = TVerdict::Damaged;
                result.Detail =
                    Format(appmsg::CatalogKeyMissing, value.first.c_str(), section.c_str());
                return result;
            }
        }
    }
    if (copyVersion < Version(shipped)) {
        result.Verdict = TVerdict::Older;
    }
    return result;
}
