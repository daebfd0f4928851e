#include "Settings.h"

#include "FormatCatalog.h"
#include "GlobalObject.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

using namespace settingkey;

namespace {

constexpr int DefaultVolume = 0;
constexpr int OutOfRangeVolume = 64;
constexpr int MaxVolume = 128;
constexpr int DefaultPriority = 1;
constexpr int DefaultJpgCompression = 30;

} // namespace

TSettings::TSettings(const TGlobalObject& global)
    : TSettings(global.SettingsFile(), global.DefaultOutputFolder()) {}

TSettings::TSettings(const std::string& settingsFile, std::string defaultFolder)
    : ini_(settingsFile), defaultFolder_(std::move(defaultFolder)) {}

std::string TSettings::OutputDir() const {
    return ini_.ReadString(Section, settingkey::OutputDir, defaultFolder_);
}

void TSettings::SetOutputDir(const std::string& folder) {
    ini_.WriteString(Section, settingkey::OutputDir, folder);
}

std::string TSettings::SnapOutputDir() const {
    return ini_.ReadString(Section, settingkey::SnapOutputDir, defaultFolder_);
}

void TSettings::SetSnapOutputDir(const std::string& folder) {
    ini_.WriteString(Section, settingkey::SnapOutputDir, folder);
}

int TSettings::FormatCode() const {
    return ini_.ReadInteger(Section, settingkey::FormatCode, DefaultFormatCode);
}

std::string TSettings::StoredFormatName(TFormatNameUse use) const {
    return ini_.ReadString(Section, settingkey::FormatName,
                           use == TFormatNameUse::StartUp ? StartUpFormatName
                                                          : DeviceListFormatName);
}

std::string TSettings::CurrentFormatName(TFormatNameUse use) const {
    const std::string entry = TFormatCatalog::EntryText(FormatCode());
    return entry.empty() ? StoredFormatName(use) : entry;
}

void TSettings::SetFormat(const std::string& name, int code) {
    ini_.WriteStrings(
        Section, {{settingkey::FormatName, name}, {settingkey::FormatCode, std::to_string(code)}});
}

int TSettings::SkinIndex() const {
    return ini_.ReadInteger(Section, settingkey::SkinIndex, 0);
}

void TSettings::SetSkinIndex(int index) {
    ini_.WriteInteger(Section, settingkey::SkinIndex, index);
}

std::optional<TWindowPlace> TSettings::MainWindowPlace() const {
    return TWindowPlace::Parse(ini_.ReadString(Section, settingkey::MainWindowPlace, ""));
}

void TSettings::SetMainWindowPlace(const TWindowPlace& place) {
    ini_.WriteString(Section, settingkey::MainWindowPlace, place.Text());
}

std::vector<int> TSettings::JobColumnWidths() const {
    std::vector<int> widths;
    std::istringstream text(ini_.ReadString(Section, settingkey::JobColumnWidths, ""));
    std::string part;
    while (std::getline(text, part, ',')) {
        char* end = nullptr;
        const long width = std::strtol(part.c_str(), &end, 10);
        if (end == part.c_str() || *end != '\0' || width < 1 || width > 10000) {
            return {};
        }
        widths.push_back(static_cast<int>(width));
    }
    return widths;
}

void TSettings::SetJobColumnWidths(const std::vector<int>& widths) {
    std::string text;
    for (const int width : widths) {
        text += (text.empty() ? "" : ",") + std::to_string(width);
    }
    ini_.WriteString(Section, settingkey::JobColumnWidths, text);
}

int TSettings::Volume() const {
    const int volume = ini_.ReadInteger(Section, settingkey::Volume, DefaultVolume);
    return volume < 0 || volume > MaxVolume ? OutOfRangeVolume : volume;
}

void TSettings::SetVolume(int volume) {
    ini_.WriteInteger(Section, settingkey::Volume, volume);
}

bool TSettings::Mute() const {
    return ini_.ReadBool(Section, settingkey::Mute, false);
}

void TSettings::SetMute(bool mute) {
    ini_.WriteBool(Section, settingkey::Mute, mute);
}

int TSettings::PriorityIndex() const {
    return ini_.ReadInteger(Section, settingkey::Priority, DefaultPriority);
}

void TSettings::SetPriorityIndex(int index) {
    ini_.WriteInteger(Section, settingkey::Priority, index);
}

int TSettings::ConversionsAtOnce() const {
    const int count = ini_.ReadInteger(Section, settingkey::ConversionsAtOnce, 0);
    return count >= 0 && count <= MaxAtOnce ? count : 0;
}

void TSettings::SetConversionsAtOnce(int count) {
    ini_.WriteInteger(Section, settingkey::ConversionsAtOnce, count);
}

std::optional<TWorkPriority> TSettings::PriorityOf(int index) {
    switch (index) {
    case 0:
        return TWorkPriority::Idle;
    case 1:
        return TWorkPriority::Normal;
    case 2:
        return TWorkPriority::Lower;
    case 3:
        return TWorkPriority::Lowest;
    default:
        return std::nullopt;
    }
}

bool TSettings::SnapFullSize() const {
    return ini_.ReadBool(Section, settingkey::SnapFullSize, true);
}

void TSettings::SetSnapFullSize(bool on) {
    ini_.WriteBool(Section, settingkey::SnapFullSize, on);
}

bool TSettings::SnapSmallSize() const {
    return ini_.ReadBool(Section, settingkey::SnapSmallSize, true);
}

void TSettings::SetSnapSmallSize(bool on) {
    ini_.WriteBool(Section, settingkey::SnapSmallSize, on);
}

bool TSettings::SnapBmp() const {
    return ini_.ReadBool(Section, settingkey::SnapBmp, true);
}

void TSettings::SetSnapBmp(bool on) {
    ini_.WriteBool(Section, settingkey::SnapBmp, on);
}

bool TSettings::RememberJobList() const {
    return ini_.ReadBool(Section, settingkey::RememberJobList, true);
}

void TSettings::SetRememberJobList(bool on) {
    ini_.WriteBool(Section, settingkey::RememberJobList, on);
}

bool TSettings::SnapJpg() const {
    return ini_.ReadBool(Section, settingkey::SnapJpg, true);
}

void TSettings::SetSnapJpg(bool on) {
    ini_.WriteBool(Section, settingkey::SnapJpg, on);
}

int TSettings::JpgCompression() const {
    return std::clamp(ini_.ReadInteger(Section, settingkey::JpgCompression, DefaultJpgCompression),
                      1, 100);
}

bool TSettings::SetJpgCompression(int quality) {
    if (quality <= 0) {
        return false;
    }
    ini_.WriteInteger(Section, settingkey::JpgCompression, std::min(quality, 100));
    return true;
}

int TSettings::OutputFormatIndex() const {
    return ini_.ReadInteger(Section, settingkey::OutputFormat, 0);
}

void TSettings::SetOutputFormatIndex(int index) {
    ini_.WriteInteger(Section, settingkey::OutputFormat, index);
}

bool TSettings::GroupCollapsed(int group) const {
    return ini_.ReadBool(GroupSection, std::to_string(group), true);
}

void TSettings::SetGroupStates(const std::vector<std::pair<int, bool>>& collapsedByGroup) {
    TIniFile::TValues values;
    for (const auto& [group, collapsed] : collapsedByGroup) {
        values.emplace_back(std::to_string(group), collapsed ? "1" : "0");
    }
    if (!values.empty()) {
        ini_.WriteStrings(GroupSection, values);
    }
}

void TSettings::CheckStartUpFolders() {
    if (!TGlobalObject::CanWriteFolder(OutputDir())) {
        SetOutputDir(defaultFolder_);
    }
    if (!TGlobalObject::CanWriteFolder(SnapOutputDir())) {
        SetSnapOutputDir(defaultFolder_);
    }
}
