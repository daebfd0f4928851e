#include "MainWindowModel.h"

#include "AppMessages.h"
#include "MainWindowMessages.h"
#include "MediaUtils.h"
#include "OutputReservation.h"
#include "ShellServices.h"

#include <filesystem>

namespace {

constexpr const char* ThemeNames[TMainWindowModel::ThemeCount] = {
    "Default", "Gray", "Orange", "Purple", "Red", "Green", "Light blue"};

TGlobalObject MakeGlobal(TUserPlaces places, std::vector<std::string>& warnings) {
    TGlobalObject global(std::move(places));
    global.SetVersionText(mainmsg::StartUpVersion);
    global.SetWebLink(mainmsg::WebLink);
    global.SetHelpLink(mainmsg::HelpLink);
    global.EnsureDataFolder();
    warnings = global.SetAsideUnsuitableFiles();
    const std::string installed =
        TGlobalObject::FindInstalledCatalog(TGlobalObject::InstalledCatalogCandidates());
    try {
        const std::string warning = global.InstallCatalog(installed);
        if (!warning.empty()) {
            warnings.push_back(warning);
        }
    } catch (const EIniFileError& e) {
        warnings.push_back(e.what());
    }
    // A data folder that cannot take the copy (a full disk): the shipped catalog serves.
    if (!FileExists(global.CatalogFile()) && !installed.empty()) {
        global.SetCatalogFile(installed);
    }
    return global;
}

bool ValidTheme(int index) {
    return index >= 0 && index < TMainWindowModel::ThemeCount;
}

} // namespace

TMainWindowModel::TMainWindowModel(TUserPlaces places)
    : global_(MakeGlobal(std::move(places), startUpWarnings_)), settings_(global_),
      adder_(jobs_, settings_, global_.CatalogFile()),
      destinations_(jobs_, settings_, global_.CatalogFile()) {}

const char* TMainWindowModel::ThemeName(int index) {
    return ValidTheme(index) ? ThemeNames[index] : "";
}

std::string TMainWindowModel::Caption() const {
    return global_.Title() + global_.VersionText();
}

void TMainWindowModel::LoadCurrentFormat() {
    table_.SetCurrent(settings_.CurrentFormatName(TFormatNameUse::StartUp), settings_.FormatCode());
}

std::string TMainWindowModel::StartUpOutputFolder() {
    settings_.CheckStartUpFolders();
    // What runs of this program on this host that died left unfinished there.
    TOutputReservation::RemoveStale(settings_.OutputDir());
    return settings_.OutputDir();
}

int TMainWindowModel::StartUpTheme() const {
    const int index = settings_.SkinIndex();
    return ValidTheme(index) ? index : -1;
}

int TMainWindowModel::CheckedTheme() const {
    // The menu marks the theme that start-up applied, so both read the same default.
    return StartUpTheme();
}

bool TMainWindowModel::ChooseTheme(int index) {
    if (!ValidTheme(index) || index == CheckedTheme()) {
        return false;
    }
    settings_.SetSkinIndex(index);
    return true;
}

bool TMainWindowModel::RowCommandsEnabled() const {
    return !jobs_.Empty() && jobs_.Selected() >= 0;
}

TPopupMenuState TMainWindowModel::PopupState() const {
    TPopupMenuState state;
    if (RowCommandsEnabled()) {
        // Trim follows the Edit menu: it needs the selected row and nothing else.
        state.Crop = state.Trim = state.VideoEffect = state.VideoInformation = true;
        state.Remove = state.Clear = state.Start = true;
    }
    return state;
}

std::optional<std::string> TMainWindowModel::ApplyChosenFolder(const std::string& chosen,
                                                               const std::string& boxText) {
    if (chosen.empty() || chosen == boxText) {
        return std::nullopt;
    }
    if (chosen.size() < 4) {
        Shell().MessageBox(std::string(mainmsg::InvalidFolderBefore) + chosen +
                               mainmsg::InvalidFolderAfter,
                           appmsg::WarningCaption, TMsgIcon::Warning, TMsgButtons::Ok);
        return std::nullopt;
    }
    if (TGlobalObject::CanWriteFolder(chosen)) {
        settings_.SetOutputDir(chosen);
        return chosen;
    }
    Shell().MessageBox(std::string(mainmsg::NoPermissionBefore) + Trim(TGlobalObject::UserName()) +
                           mainmsg::NoPermissionAfter + chosen,
                       appmsg::WarningCaption, TMsgIcon::Warning, TMsgButtons::Ok);
    const std::string fallback = global_.DefaultOutputFolder();
    settings_.SetOutputDir(fallback);
    return fallback;
}

void TMainWindowModel::OutputFolderEdited(const std::string& text) {
    if (text != settings_.OutputDir()) {
        settings_.SetOutputDir(text);
    }
}

void TMainWindowModel::OpenOutputFolder(const std::string& boxText) {
    if (boxText.size() > 2) {
        const std::string folder = settings_.OutputDir();
        // Outputs go there anyway; a missing folder would only give the browser an error.
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        Shell().OpenPath(folder);
    }
}

bool TMainWindowModel::ConfirmExit() {
    if (Shell().MessageBox(mainmsg::ExitQuestion, appmsg::WarningCaption, TMsgIcon::Question,
                           TMsgButtons::YesNo) != TMsgResult::Yes) {
        return false;
    }
    devices_.SaveGroupStates(settings_);
    return true;
}
