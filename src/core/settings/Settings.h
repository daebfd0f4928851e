#pragma once

#include "IniFile.h"
#include "WindowPlace.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

class TGlobalObject;

// Key names of the section "settings" (matched without regard to case).
namespace settingkey {
inline constexpr const char* Section = "settings";
inline constexpr const char* GroupSection = "lstformat";
inline constexpr const char* OutputDir = "OutPutDir";
inline constexpr const char* SnapOutputDir = "SnapOutPutDir";
inline constexpr const char* FormatCode = "FormatCode";
inline constexpr const char* FormatName = "FormatName";
inline constexpr const char* SkinIndex = "skinIndex";
inline constexpr const char* Volume = "volume";
inline constexpr const char* Mute = "mute";
inline constexpr const char* Priority = "priority";
inline constexpr const char* ConversionsAtOnce = "ConversionsAtOnce";
inline constexpr const char* SnapFullSize = "snapFullSize";
inline constexpr const char* SnapSmallSize = "snapSmallSize";
inline constexpr const char* SnapBmp = "snapBmp";
inline constexpr const char* SnapJpg = "snapJpg";
inline constexpr const char* JpgCompression = "jpgCmp";
inline constexpr const char* OutputFormat = "OutPutFormat";
inline constexpr const char* RememberJobList = "RememberJobList";
inline constexpr const char* MainWindowPlace = "mainWindowPlace";
inline constexpr const char* JobColumnWidths = "jobColumnWidths";
} // namespace settingkey

// Priority of the conversion threads, by the index stored under "priority".
enum class TWorkPriority { Idle, Normal, Lower, Lowest };

// Which reader asks for the stored format name: the two have different defaults.
enum class TFormatNameUse { StartUp, DeviceList };

// The user's settings file: every key of the sections "settings" and "lstformat" with its
// default and its range. Each read and write goes to the file (nothing is cached); writes
// raise EIniFileError when the file cannot be written.
class TSettings {
public:
    static constexpr int DefaultFormatCode = 1;
    static constexpr const char* StartUpFormatName = "iPod Video MPEG-4";
    static constexpr const char* DeviceListFormatName = "Apple iPod Video MPEG-4 Movie (*.mp4)";

    explicit TSettings(const TGlobalObject& global);
    // defaultFolder replaces the output and snapshot folders that cannot be written.
    TSettings(const std::string& settingsFile, std::string defaultFolder);

    TIniFile& Ini() { return ini_; }
    const TIniFile& Ini() const { return ini_; }
    const std::string& DefaultFolder() const { return defaultFolder_; }

    std::string OutputDir() const;
    void SetOutputDir(const std::string& folder);
    std::string SnapOutputDir() const;
    void SetSnapOutputDir(const std::string& folder);

    int FormatCode() const;
    // The stored "FormatName" with the default of the given reader.
    std::string StoredFormatName(TFormatNameUse use) const;
    // The name of the current format: the entry text of "FormatCode", so that name and code
    // never disagree; the stored name only when the code names no entry.
    std::string CurrentFormatName(TFormatNameUse use) const;
    // Writes "FormatName" and "FormatCode" together.
    void SetFormat(const std::string& name, int code);

    int SkinIndex() const;
    void SetSkinIndex(int index);
    // 0..128; a stored value outside that range reads as 64.
    int Volume() const;
    void SetVolume(int volume);
    bool Mute() const;
    void SetMute(bool mute);
    // The stored index; PriorityOf maps it.
    int PriorityIndex() const;
    void SetPriorityIndex(int index);
    // 0 idle, 1 normal, 2 lower, 3 lowest; nothing for any other index.
    static std::optional<TWorkPriority> PriorityOf(int index);
    // How many conversions a batch runs at once: 0 Auto (the default), else 1..MaxAtOnce; a
    // stored value outside that range reads as Auto.
    static constexpr int MaxAtOnce = 16;
    int ConversionsAtOnce() const;
    void SetConversionsAtOnce(int count);

    bool SnapFullSize() const;
    void SetSnapFullSize(bool on);
    bool SnapSmallSize() const;
    void SetSnapSmallSize(bool on);
    bool SnapBmp() const;
    void SetSnapBmp(bool on);
    bool SnapJpg() const;
    void SetSnapJpg(bool on);
    // JPEG quality 1..100 (stored values outside are clamped).
    int JpgCompression() const;
    // Stores only a quality above 0 (values above 100 are stored as 100); false otherwise.
    bool SetJpgCompression(int quality);
    // Whether the job list is saved and restored at the next start (on unless stored as 0).
    bool RememberJobList() const;
    void SetRememberJobList(bool on);
    int OutputFormatIndex() const;
    void SetOutputFormatIndex(int index);

    // The main window's frame and the job list's column widths, as last left.
    std::optional<TWindowPlace> MainWindowPlace() const;
    void SetMainWindowPlace(const TWindowPlace& place);
    // Empty when none are stored; widths below 1 are left out.
    std::vector<int> JobColumnWidths() const;
    void SetJobColumnWidths(const std::vector<int>& widths);

    // Device groups are collapsed unless stored as expanded.
    bool GroupCollapsed(int group) const;
    // Stores the states of several groups in one write.
    void SetGroupStates(const std::vector<std::pair<int, bool>>& collapsedByGroup);

    // Start-up check: an output or snapshot folder that cannot be written is replaced by the
    // default folder, which is written back. The folders are not created.
    void CheckStartUpFolders();

private:
    TIniFile ini_;
    std::string defaultFolder_;
};
