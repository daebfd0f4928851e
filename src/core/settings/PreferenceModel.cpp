#include "PreferenceModel.h"

#include "AppMessages.h"
#include "BatchMessages.h"
#include "GlobalObject.h"
#include "MediaUtils.h"
#include "Settings.h"
#include "ShellServices.h"

#include <algorithm>

namespace {

constexpr int MinFolderChars = 4;

void Warn(const std::string& text) {
    Shell().MessageBox(text, appmsg::WarningCaption, TMsgIcon::Warning, TMsgButtons::Ok);
}

int CharCount(const std::string& text) {
    return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

} // namespace

TPreferenceModel::TPreferenceModel(TSettings& settings) : settings_(settings) {}

void TPreferenceModel::Open() {
    folder_ = settings_.SnapOutputDir();
    if (!TGlobalObject::CanWriteFolder(folder_)) {
        folder_ = settings_.DefaultFolder();
        settings_.SetSnapOutputDir(folder_);
    }
    // The boxes show what is stored, so OK never writes back what Cancel left behind.
    fullSize_ = settings_.SnapFullSize();
    smallSize_ = settings_.SnapSmallSize();
    bmp_ = settings_.SnapBmp();
    jpg_ = settings_.SnapJpg();
    rememberJobList_ = settings_.RememberJobList();
    // A file with both of a pair off would leave the dialog in a state it cannot reach.
    if (!fullSize_ && !smallSize_) {
        fullSize_ = true;
    }
    if (!bmp_ && !jpg_) {
        bmp_ = true;
    }
    quality_ = settings_.JpgCompression();
    const int priority = settings_.PriorityIndex();
    priority_ = priority >= 0 && priority < PriorityCount ? priority : -1;
    atOnce_ = settings_.ConversionsAtOnce();
}

bool TPreferenceModel::SetFullSize(bool on) {
    fullSize_ = on || !smallSize_;
    return fullSize_;
}

bool TPreferenceModel::SetSmallSize(bool on) {
    smallSize_ = on || !fullSize_;
    return smallSize_;
}

bool TPreferenceModel::SetBmp(bool on) {
    bmp_ = on || !jpg_;
    return bmp_;
}

bool TPreferenceModel::SetJpg(bool on) {
    jpg_ = on || !bmp_;
    return jpg_;
}

void TPreferenceModel::SetQuality(int quality) {
    quality_ = std::clamp(quality, 1, 100);
}

void TPreferenceModel::SetPriority(int index) {
    if (index >= -1 && index < PriorityCount) {
        priority_ = index;
    }
}

void TPreferenceModel::SetAtOnce(int count) {
    if (count >= 0 && count <= TSettings::MaxAtOnce) {
        atOnce_ = count;
    }
}

void TPreferenceModel::Browse() {
    const std::string path = Shell().ChooseFolder(folder_);
    if (path.empty() || path == folder_) {
        return;
    }
    if (CharCount(path) < MinFolderChars) {
        Warn(Format(batchmsg::InvalidDirectory, path.c_str()));
        return;
    }
    if (TGlobalObject::CanWriteFolder(path)) {
        folder_ = path;
    } else {
        Warn(Format(batchmsg::NoWritePermission, Trim(TGlobalObject::UserName()).c_str(),
                    path.c_str()));
        folder_ = settings_.DefaultFolder();
    }
    settings_.SetSnapOutputDir(folder_);
}

void TPreferenceModel::OpenFolder() {
    if (CharCount(folder_) > 2) {
        Shell().OpenPath(settings_.SnapOutputDir());
    }
}

void TPreferenceModel::Default() {
    folder_ = settings_.DefaultFolder();
    bmp_ = true;
    jpg_ = false;
    fullSize_ = true;
    smallSize_ = false;
    priority_ = 1;
    atOnce_ = 0;
    quality_ = DefaultQuality;
    rememberJobList_ = true;
}

void TPreferenceModel::Ok() {
    auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    TIniFile::TValues values = {
        {"snapOutPutDir", folder_.empty() ? settings_.DefaultFolder() : folder_},
        {settingkey::SnapBmp, flag(bmp_)},
        {settingkey::SnapJpg, flag(jpg_)},
        {settingkey::SnapFullSize, flag(fullSize_)},
        {settingkey::SnapSmallSize, flag(smallSize_)},
        {settingkey::RememberJobList, flag(rememberJobList_)}};
    if (quality_ > 0) {
        values.emplace_back(settingkey::JpgCompression, std::to_string(quality_));
    }
    if (priority_ >= 0) {
        values.emplace_back(settingkey::Priority, std::to_string(priority_));
    }
    values.emplace_back(settingkey::ConversionsAtOnce, std::to_string(atOnce_));
    settings_.Ini().WriteStrings(settingkey::Section, values);
}
