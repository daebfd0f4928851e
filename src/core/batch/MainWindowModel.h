#pragma once

#include "DestinationNames.h"
#include "DeviceList.h"
#include "FormatTable.h"
#include "GlobalObject.h"
#include "JobAdder.h"
#include "JobList.h"
#include "Settings.h"

#include <optional>
#include <string>
#include <vector>

// Which entries of the job list's pop-up menu are enabled ("Add" always is).
struct TPopupMenuState {
    bool Crop = false;
    bool Trim = false;
    bool VideoEffect = false;
    bool VideoInformation = false;
    bool Remove = false;
    bool Clear = false;
    bool Start = false;
};

// The main window without its widgets: the global object and settings, the format table and
// device list, the job list and the adder, and the rules of the menus, themes, output folder
// and exit. Message boxes go through Shell().
class TMainWindowModel {
public:
    static constexpr int ThemeCount = 7;

    // Creates the data folder and installs the catalog there when it is missing; a settings
    // file or catalog that cannot be read is moved aside first.
    explicit TMainWindowModel(TUserPlaces places = TUserPlaces::FromProcess());
    TMainWindowModel(const TMainWindowModel&) = delete;
    TMainWindowModel& operator=(const TMainWindowModel&) = delete;

    static const char* ThemeName(int index);

    TGlobalObject& Global() { return global_; }
    TSettings& Settings() { return settings_; }
    TFormatTable& Table() { return table_; }
    TDeviceList& Devices() { return devices_; }
    TJobList& Jobs() { return jobs_; }
    TJobAdder& Adder() { return adder_; }
    TDestinationNames& Destinations() { return destinations_; }
    // What went wrong with the settings file and the catalog at start (moved aside, damaged
    // and replaced, not installed), for the window to show.
    const std::vector<std::string>& StartUpWarnings() const { return startUpWarnings_; }
    // The window caption: title + version text.
    std::string Caption() const;

    // The stored current format into the format table (at start-up and after the settings
    // dialog's OK).
    void LoadCurrentFormat();
    // Start-up: the folder checks, then the output folder the box shows.
    std::string StartUpOutputFolder();
    // The theme applied when the window is created: the stored index, -1 when it names none.
    int StartUpTheme() const;
    // The theme the Skin menu marks.
    int CheckedTheme() const;
    // A theme item chosen: false (nothing to do) when it is the checked one; else the choice
    // is stored and the caller applies it.
    bool ChooseTheme(int index);

    // The Edit menu's row commands need a selected row.
    bool RowCommandsEnabled() const;
    TPopupMenuState PopupState() const;

    // A folder the chooser returned, against the box's text: the new text of the box (also
    // stored as the output folder), or nothing when the box stays as it is. Refusals are
    // shown as messages.
    std::optional<std::string> ApplyChosenFolder(const std::string& chosen,
                                                 const std::string& boxText);
    // The box's text changed (the user cannot type in it, the program sets it).
    void OutputFolderEdited(const std::string& text);
    // "Open": shows the output folder in the desktop's file browser.
    void OpenOutputFolder(const std::string& boxText);

    // Asks whether to exit; on Yes stores the device groups' states. True on Yes.
    bool ConfirmExit();

private:
    // Filled while global_ is made.
    std::vector<std::string> startUpWarnings_;
    TGlobalObject global_;
    TSettings settings_;
    TFormatTable table_;
    TDeviceList devices_;
    TJobList jobs_;
    TJobAdder adder_;
    TDestinationNames destinations_;
};
