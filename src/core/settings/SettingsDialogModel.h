#pragma once

#include "DeviceList.h"
#include "FormatTable.h"

#include <array>
#include <string>
#include <vector>

class TGlobalObject;

// The parameter controls of the conversion settings dialog, in dialog order: the first five
// are the video options, the rest the audio options.
enum class TSettingsControl {
    VideoSize,
    VideoBitRate,
    FrameRate,
    VideoEncoder,
    Zoom,
    SampleRate,
    AudioBitRate,
    AudioEncoder,
    Channel,
    Volume
};

// What one combo box shows.
struct TSettingsCombo {
    std::vector<std::string> Items;
    int ItemIndex = -1;   // -1: nothing picked from the list (typed text, or empty)
    std::string Text;     // the box's text
    bool Enabled = false; // a disabled box draws its text in the grey-text colour
};

// Outcome of leaving an editable box.
enum class TExitCheck {
    Passed,
    Rejected,  // the "not a valid value" message was shown (second item picked when there is one)
    Corrected, // the frame size was made even and the "Input Error!" box shown
};

// The conversion settings dialog without widgets: the format picker over its own device list,
// the ten parameter boxes filled from the catalog and selected from the format's profile, the
// key filters and exit checks of the editable boxes, Default and OK. Messages and beeps go
// through Shell(). Nothing reaches the settings file before Ok().
class TSettingsDialogModel {
public:
    static constexpr int WindowWidth = 475;
    static constexpr int WindowHeight = 370;
    static constexpr int ListRowHeight = 20;
    static constexpr int ListMaxHeight = 247;
    static constexpr char32_t Backspace = 8;
    static constexpr std::array<TSettingsControl, 10> Controls{
        TSettingsControl::VideoSize,    TSettingsControl::VideoBitRate,
        TSettingsControl::FrameRate,    TSettingsControl::VideoEncoder,
        TSettingsControl::Zoom,         TSettingsControl::SampleRate,
        TSettingsControl::AudioBitRate, TSettingsControl::AudioEncoder,
        TSettingsControl::Channel,      TSettingsControl::Volume};

    TSettingsDialogModel(std::string settingsFile, std::string catalogFile);
    explicit TSettingsDialogModel(const TGlobalObject& global);

    // The widget's objectName ("cmbVideoSize"...) and the caption of its label.
    static const char* ControlName(TSettingsControl control);
    static const char* LabelText(TSettingsControl control);
    // Frame size, both bit rates and the sample rate take typed text.
    static bool IsEditable(TSettingsControl control);
    static bool IsVideoControl(TSettingsControl control);

    // Reloads everything from the settings and catalog files: the device list with the stored
    // group states, the current format, and every box. Nothing of an earlier opening survives.
    void Open();

    const TSettingsCombo& Combo(TSettingsControl control) const;
    // An item picked from the list (-1 or out of range: none).
    void Select(TSettingsControl control, int index);
    // Text typed into an editable box; it counts as typed (index -1) until an item is picked.
    void SetText(TSettingsControl control, const std::string& text);
    // Whether a typed character may reach the box. Control characters other than backspace
    // are editing commands and pass.
    bool KeyPress(TSettingsControl control, char32_t key);
    // Run when an editable box loses the focus.
    TExitCheck ExitCheck(TSettingsControl control);
    // Selects the catalog's default item in every list and "Full screen"; writes nothing.
    void Default();
    // Checks the editable boxes, then stores the profile, the group states and the current
    // format. False (nothing written, dialog stays open) when a box is invalid or the file
    // cannot be written; after true the main window rebuilds its list and format box.
    bool Ok();

    // The chosen format, private to the dialog until Ok(); the format box shows FormatName.
    const std::string& FormatName() const { return formatName_; }
    int FormatCode() const { return formatCode_; }
    std::string FormatCodeText() const { return std::to_string(formatCode_); }

    // The drop-down format list; a window's list widget works on the same rows.
    const TDeviceList& FormatList() const { return list_; }
    TDeviceList& FormatList() { return list_; }
    const TFormatTable& FormatTable() const { return table_; }
    TFormatTable& FormatTable() { return table_; }
    bool ListOpen() const { return listOpen_; }
    // A click on the format box or its arrow: closes an open list, or opens it with the row
    // of the current format selected.
    void ToggleList();
    void CloseList() { listOpen_ = false; }
    // The row under the pointer.
    void HoverRow(int row) { list_.SetSelectedRow(row); }
    // Expands or collapses a group row (its glyph, or a double click).
    bool ToggleGroup(int row);
    // A click on a row: a format row becomes the dialog's format (its boxes are reloaded when
    // the format changed) and the list closes. False for group rows.
    bool ClickRow(int row);
    // A format entry chosen in the list: it becomes the dialog's format and its boxes are
    // reloaded when it differs from the current one.
    void ChooseFormat(int code, const std::string& name);
    // The open list's height in pixels for its current rows (after every click on it too).
    int ListHeight() const { return ListHeightFor(list_.RowCount()); }
    // rows x 20 + 20 while rows x 20 is at most 247 (12 rows: 260), else 247.
    static int ListHeightFor(int rows);
    // The list hangs just below the format box.
    static int ListTop(int formatBoxBottom) { return formatBoxBottom - 1; }

private:
    TSettingsCombo& Box(TSettingsControl control);
    void LoadFormat();
    void ApplyEnabling();
    // The "Quality" items of the video bit rate box show their value on the chosen encoder.
    void ShowQualityValues();
    TExitCheck Reject(TSettingsControl control, const char* message);
    TExitCheck CheckFrameSize();
    bool SaveAll();

    std::string settingsFile_;
    std::string catalogFile_;
    TFormatTable table_;
    TDeviceList list_;
    bool listOpen_ = false;
    std::string formatName_;
    int formatCode_ = 1;
    std::array<TSettingsCombo, 10> combos_;
    // Which lists the catalog offers at all: "null" (and an empty encoder or audio list)
    // keeps a box cleared and disabled.
    std::array<bool, 10> offered_{};
};
