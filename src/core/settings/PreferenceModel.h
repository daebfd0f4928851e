#pragma once

#include <string>

class TSettings;

// The preferences dialog's edit model: the snapshot folder, the four snapshot flags with the
// pairs that cannot both be off (full and small size, BMP and JPEG), the JPEG quality and
// the work priority and how many conversions run at once. Opening reads the settings; OK writes
// them in one go; Cancel writes nothing (a folder chosen by Browse is stored at once).
class TPreferenceModel {
public:
    static constexpr int DefaultQuality = 20;
    static constexpr int PriorityCount = 4; // "Idle", "Normal", "Lower", "Lowest"

    explicit TPreferenceModel(TSettings& settings);

    // Reads the settings. A snapshot folder that cannot be written is replaced by the
    // default folder, which is stored at once.
    void Open();

    const std::string& Folder() const { return folder_; }
    bool FullSize() const { return fullSize_; }
    bool SmallSize() const { return smallSize_; }
    bool Bmp() const { return bmp_; }
    bool Jpg() const { return jpg_; }
    // The quality controls are usable only for JPEG.
    bool QualityEnabled() const { return jpg_; }
    int Quality() const { return quality_; }
    // The chosen item, -1 for none.
    int Priority() const { return priority_; }
    // "Conversions at once": 0 "Auto", else 1..16.
    int AtOnce() const { return atOnce_; }
    bool RememberJobList() const { return rememberJobList_; }

    // A box cannot be cleared while its partner is off; each returns the box's state.
    bool SetFullSize(bool on);
    bool SetSmallSize(bool on);
    bool SetBmp(bool on);
    bool SetJpg(bool on);
    // Kept within 1..100.
    void SetQuality(int quality);
    // -1 or 0..3; others are ignored.
    void SetPriority(int index);
    // 0..16; others are ignored.
    void SetAtOnce(int count);
    void SetRememberJobList(bool on) { rememberJobList_ = on; }

    // "&Brows": the folder chooser; a usable folder is stored at once.
    void Browse();
    // "&Open": the stored snapshot folder in the file browser.
    void OpenFolder();
    // "&Default": the defaults, written only by OK.
    void Default();
    // "&Ok": writes every value.
    void Ok();

private:
    TSettings& settings_;
    std::string folder_;
    bool fullSize_ = true;
    bool smallSize_ = true;
    bool bmp_ = true;
    bool jpg_ = true;
    int quality_ = 30;
    int priority_ = 1;
    int atOnce_ = 0;
    bool rememberJobList_ = true;
};
