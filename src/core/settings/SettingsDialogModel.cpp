#include "SettingsDialogModel.h"

#include "AppMessages.h"
#include "CatalogFile.h"
#include "DisplayNames.h"
#include "EditModelMessages.h"
#include "FormatProfile.h"
#include "GlobalObject.h"
#include "HardwareEncoders.h"
#include "MediaUtils.h"
#include "QualityLevels.h"
#include "Settings.h"
#include "ShellServices.h"

#include <iterator>
#include <stdexcept>

using catalogkey::TParameterKeys;

namespace {

constexpr const char* AsSource = "as source";
// The stored zoom value of each zoom item.
constexpr const char* ZoomValues[] = {"full", "lbox", "pan"};

size_t Slot(TSettingsControl control) {
    return static_cast<size_t>(control);
}

const TParameterKeys& KeysOf(TSettingsControl control) {
    switch (control) {
    case TSettingsControl::VideoSize:
        return catalogkey::VideoSize;
    case TSettingsControl::VideoBitRate:
        return catalogkey::VideoBitRate;
    case TSettingsControl::FrameRate:
        return catalogkey::FrameRate;
    case TSettingsControl::VideoEncoder:
        return catalogkey::VideoEncoder;
    case TSettingsControl::SampleRate:
        return catalogkey::SampleRate;
    case TSettingsControl::AudioBitRate:
        return catalogkey::AudioBitRate;
    case TSettingsControl::AudioEncoder:
        return catalogkey::AudioEncoder;
    case TSettingsControl::Channel:
        return catalogkey::Channel;
    case TSettingsControl::Volume:
        return catalogkey::Volume;
    case TSettingsControl::Zoom:
        break;
    }
    throw std::logic_error("the zoom box has fixed items, not a catalog list");
}

// What a box shows for a typed value when the profile has none.
const char* TypedDefault(TSettingsControl control) {
    switch (control) {
    case TSettingsControl::VideoSize:
        return "320x240";
    case TSettingsControl::VideoBitRate:
        return "800";
    case TSettingsControl::FrameRate:
        return "25";
    case TSettingsControl::SampleRate:
        return "44100";
    case TSettingsControl::AudioBitRate:
        return "96";
    default:
        return "";
    }
}

bool IsDigit(char32_t key) {
    return key >= U'0' && key <= U'9';
}

bool IsEditingCommand(char32_t key) {
    return key != TSettingsDialogModel::Backspace && (key < 0x20 || key == 0x7f);
}

bool IsInteger(const std::string& text) {
    int value = 0;
    return TryStrToInt(text, value);
}

bool IsNumber(const std::string& text) {
    double value = 0;
    return TryStrToFloat(text, value);
}

// Truncated toward zero to a multiple of 2; 0 becomes 2.
int Even(int value) {
    value = value / 2 * 2;
    return value == 0 ? 2 : value;
}

void ShowMessage(const std::string& text) {
    Shell().MessageBox(text, TGlobalObject::ProductTitle, TMsgIcon::None, TMsgButtons::Ok);
}

} // namespace

TSettingsDialogModel::TSettingsDialogModel(std::string settingsFile, std::string catalogFile)
    : settingsFile_(std::move(settingsFile)), catalogFile_(std::move(catalogFile)) {
    Box(TSettingsControl::Zoom).Items = {editmsg::ZoomFull, editmsg::ZoomLetterbox,
                                         editmsg::ZoomPanScan};
}

TSettingsDialogModel::TSettingsDialogModel(const TGlobalObject& global)
    : TSettingsDialogModel(global.SettingsFile(), global.CatalogFile()) {}

const char* TSettingsDialogModel::ControlName(TSettingsControl control) {
    static constexpr const char* names[] = {
        "cmbVideoSize",  "cmbVideoBitRate", "cmbFrameRate",    "cmbVideoEncoder", "cmbZoom",
        "cmbSamplerate", "cmbAudioBitRate", "cmbAudioEncoder", "cmbChannel",      "cmbVolume"};
    return names[Slot(control)];
}

const char* TSettingsDialogModel::LabelText(TSettingsControl control) {
    using namespace editmsg;
    static constexpr const char* labels[] = {
        FrameSizeLabel,  BitRateLabel, FrameRateLabel, EncoderLabel, ZoomLabel,
        SampleRateLabel, BitRateLabel, EncoderLabel,   ChannelLabel, VolumeLabel};
    return labels[Slot(control)];
}

bool TSettingsDialogModel::IsEditable(TSettingsControl control) {
    return control == TSettingsControl::VideoSize || control == TSettingsControl::VideoBitRate ||
           control == TSettingsControl::SampleRate || control == TSettingsControl::AudioBitRate;
}

bool TSettingsDialogModel::IsVideoControl(TSettingsControl control) {
    return Slot(control) <= Slot(TSettingsControl::Zoom);
}

TSettingsCombo& TSettingsDialogModel::Box(TSettingsControl control) {
    return combos_[Slot(control)];
}

const TSettingsCombo& TSettingsDialogModel::Combo(TSettingsControl control) const {
    return combos_[Slot(control)];
}

void TSettingsDialogModel::Open() {
    listOpen_ = false;
    const TSettings settings(settingsFile_, "");
    list_.Build(table_, settings);
    formatCode_ = settings.FormatCode();
    formatName_ = settings.CurrentFormatName(TFormatNameUse::StartUp);
    LoadFormat();
}

void TSettingsDialogModel::LoadFormat() {
    const TCatalogFile catalog(catalogFile_);
    const TFormatProfile profile(settingsFile_, catalogFile_, formatCode_);
    for (const TSettingsControl control : Controls) {
        if (control == TSettingsControl::Zoom) {
            continue;
        }
        const TParameterKeys& keys = KeysOf(control);
        TChoiceList list = catalog.List(formatCode_, keys);
        TSettingsCombo& box = Box(control);
        box = TSettingsCombo{};
        box.Items = std::move(list.Items);
        if (control == TSettingsControl::VideoEncoder) {
            // This machine's hardware encoders follow the catalog's items.
            const std::vector<std::string> catalogItems = box.Items;
            for (const std::string& item : catalogItems) {
                for (std::string& caption : THardwareEncoders::Instance().CaptionsBeside(item)) {
                    box.Items.push_back(std::move(caption));
                }
            }
        }
        offered_[Slot(control)] = list.Enabled;
        if (!list.Enabled) {
            continue;
        }
        int index = 0;
        if (!TryStrToInt(profile.Read(keys.Index, "0"), index)) {
            index = 0;
        }
        if (index >= 0) {
            Select(control, index);
            continue;
        }
        // A negative index stands for a value typed by the user; the frame rate box takes
        // only list items, so its stored value picks the matching one.
        const std::string value = profile.Read(keys.Value, TypedDefault(control));
        if (IsEditable(control)) {
            box.Text = value;
        } else if (control == TSettingsControl::FrameRate) {
            for (size_t i = 0; i < box.Items.size(); ++i) {
                if (box.Items[i] == value) {
                    Select(control, static_cast<int>(i));
                    break;
                }
            }
        }
    }

    const std::string zoom = profile.Read(catalogkey::Zoom, "full");
    int zoomIndex = -1;
    for (int i = 0; i < static_cast<int>(std::size(ZoomValues)); ++i) {
        if (zoom == ZoomValues[i]) {
            zoomIndex = i;
        }
    }
    // "center" and unknown values show no item; Ok() then leaves them stored as they are.
    Select(TSettingsControl::Zoom, zoomIndex);
    ApplyEnabling();
}

void TSettingsDialogModel::ApplyEnabling() {
    const bool video = !Box(TSettingsControl::VideoEncoder).Items.empty();
    const bool audio = !Box(TSettingsControl::AudioEncoder).Items.empty();
    for (const TSettingsControl control : Controls) {
        const bool offered = control == TSettingsControl::Zoom || offered_[Slot(control)];
        Box(control).Enabled = (IsVideoControl(control) ? video : audio) && offered;
    }
}

void TSettingsDialogModel::Select(TSettingsControl control, int index) {
    TSettingsCombo& box = Box(control);
    if (index >= 0 && index < static_cast<int>(box.Items.size())) {
        box.ItemIndex = index;
        box.Text = box.Items[index];
    } else {
        box.ItemIndex = -1;
        box.Text.clear();
    }
    if (control == TSettingsControl::VideoEncoder) {
        ShowQualityValues();
    }
}

void TSettingsDialogModel::ShowQualityValues() {
    TSettingsCombo& rates = Box(TSettingsControl::VideoBitRate);
    const std::string encoder =
        TDisplayNames::VideoEncoder(Box(TSettingsControl::VideoEncoder).Text).value_or("");
    for (std::string& item : rates.Items) {
        if (const auto level = TQualityLevels::LevelName(item)) {
            item = TQualityLevels::Caption(*level, encoder);
        }
    }
    if (rates.ItemIndex >= 0 && rates.ItemIndex < static_cast<int>(rates.Items.size())) {
        rates.Text = rates.Items[rates.ItemIndex];
    }
}

void TSettingsDialogModel::SetText(TSettingsControl control, const std::string& text) {
    TSettingsCombo& box = Box(control);
    // The echo of a selection is not typing.
    if (!IsEditable(control) || text == box.Text) {
        return;
    }
    box.Text = text;
    box.ItemIndex = -1;
}

bool TSettingsDialogModel::KeyPress(TSettingsControl control, char32_t key) {
    if (!IsEditable(control) || IsEditingCommand(key) || key == Backspace || IsDigit(key)) {
        return true;
    }
    if (control == TSettingsControl::VideoSize) {
        const std::string& text = Box(control).Text;
        if (text.empty() || (key == U'x' && text.find('x') == std::string::npos)) {
            return true;
        }
        Shell().Beep();
        return false;
    }
    ShowMessage(editmsg::EnterNumerical);
    Shell().Beep();
    return false;
}

TExitCheck TSettingsDialogModel::Reject(TSettingsControl control, const char* message) {
    ShowMessage(message);
    if (Box(control).Items.size() > 1) {
        Select(control, 1);
    }
    return TExitCheck::Rejected;
}

TExitCheck TSettingsDialogModel::ExitCheck(TSettingsControl control) {
    const std::string& text = Box(control).Text;
    switch (control) {
    case TSettingsControl::VideoSize:
        return CheckFrameSize();
    case TSettingsControl::VideoBitRate:
        return IsInteger(text) || text == AsSource || TQualityLevels::LevelName(text)
                   ? TExitCheck::Passed
                   : Reject(control, editmsg::VideoBitRateInvalid);
    case TSettingsControl::SampleRate:
        return IsInteger(text) || text == AsSource ? TExitCheck::Passed
                                                   : Reject(control, editmsg::SampleRateInvalid);
    case TSettingsControl::AudioBitRate:
        return IsNumber(text) || text == AsSource ? TExitCheck::Passed
                                                  : Reject(control, editmsg::AudioBitRateInvalid);
    default:
        return TExitCheck::Passed;
    }
}

TExitCheck TSettingsDialogModel::CheckFrameSize() {
    const std::string text = Box(TSettingsControl::VideoSize).Text;
    if (LowerCase(text).find(AsSource) != std::string::npos) {
        return TExitCheck::Passed;
    }
    const size_t x = text.rfind('x');
    int width = 0;
    int height = 0;
    // A negative size cannot be converted: it is refused like any other malformed size.
    if (x == std::string::npos || !TryStrToInt(text.substr(0, x), width) ||
        !TryStrToInt(text.substr(x + 1), height) || width < 0 || height < 0) {
        return Reject(TSettingsControl::VideoSize, editmsg::FrameSizeInvalid);
    }
    if (width % 2 == 0 && height % 2 == 0 && width != 0 && height != 0) {
        return TExitCheck::Passed;
    }
    const std::string corrected = std::to_string(Even(width)) + "x" + std::to_string(Even(height));
    Shell().MessageBox(std::string(editmsg::FrameSizeEven) + corrected, editmsg::InputErrorCaption,
                       TMsgIcon::None, TMsgButtons::Ok);
    SetText(TSettingsControl::VideoSize, corrected);
    return TExitCheck::Corrected;
}

void TSettingsDialogModel::Default() {
    const TCatalogFile catalog(catalogFile_);
    for (const TSettingsControl control : Controls) {
        if (control != TSettingsControl::Zoom && offered_[Slot(control)]) {
            Select(control, catalog.DefaultIndex(formatCode_, KeysOf(control)));
        }
    }
    Select(TSettingsControl::Zoom, 0);
}

bool TSettingsDialogModel::Ok() {
    for (const TSettingsControl control : Controls) {
        if (IsEditable(control) && Box(control).Enabled &&
            ExitCheck(control) != TExitCheck::Passed) {
            return false;
        }
    }
    return SaveAll();
}

bool TSettingsDialogModel::SaveAll() {
    auto choice = [this](TSettingsControl control) {
        const TSettingsCombo& box = Box(control);
        return TProfileChoice{box.ItemIndex, box.Text};
    };
    TProfileChoices choices;
    choices.Description = formatName_;
    choices.VideoSize = choice(TSettingsControl::VideoSize);
    // Any spelling the frame-size check accepts as "as source" is stored in the one form the
    // conversion reads as the source's size.
    if (LowerCase(choices.VideoSize.Text).find(AsSource) != std::string::npos) {
        choices.VideoSize.Text = AsSource;
    }
    choices.VideoBitRate = choice(TSettingsControl::VideoBitRate);
    choices.FrameRate = choice(TSettingsControl::FrameRate);
    choices.VideoEncoder = choice(TSettingsControl::VideoEncoder);
    choices.SampleRate = choice(TSettingsControl::SampleRate);
    choices.AudioBitRate = choice(TSettingsControl::AudioBitRate);
    choices.AudioEncoder = choice(TSettingsControl::AudioEncoder);
    choices.Channel = choice(TSettingsControl::Channel);
    choices.Volume = choice(TSettingsControl::Volume);
    choices.ZoomIndex = Box(TSettingsControl::Zoom).ItemIndex;
    try {
        TSettings settings(settingsFile_, "");
        TFormatProfile::Store(settings.Ini(), TCatalogFile(catalogFile_), formatCode_, choices);
        list_.SaveGroupStates(settings);
        settings.SetFormat(formatName_, formatCode_);
    } catch (const EIniFileError& error) {
        Shell().MessageBox(Format(editmsg::SettingsNotSaved, error.what()), appmsg::WarningCaption,
                           TMsgIcon::Warning, TMsgButtons::Ok);
        return false;
    }
    return true;
}

void TSettingsDialogModel::ToggleList() {
    if (listOpen_) {
        listOpen_ = false;
        return;
    }
    list_.SetSelectedRow(list_.FindRow(formatName_));
    listOpen_ = true;
}

bool TSettingsDialogModel::ToggleGroup(int row) {
    return list_.Toggle(row, table_);
}

bool TSettingsDialogModel::ClickRow(int row) {
    if (row < 0 || row >= list_.RowCount() || !list_.Rows()[row].Info.IsFormat) {
        return false;
    }
    list_.SetSelectedRow(row);
    listOpen_ = false;
    const TDeviceRow& chosen = list_.Rows()[row];
    ChooseFormat(chosen.Info.Code, chosen.Text);
    return true;
}

void TSettingsDialogModel::ChooseFormat(int code, const std::string& name) {
    listOpen_ = false;
    if (name != formatName_ || code != formatCode_) {
        formatName_ = name;
        formatCode_ = code;
        LoadFormat();
    }
}

int TSettingsDialogModel::ListHeightFor(int rows) {
    const int rowsHeight = rows * ListRowHeight;
    return rowsHeight <= ListMaxHeight ? rowsHeight + ListRowHeight : ListMaxHeight;
}
