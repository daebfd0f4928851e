#pragma once

#include "Settings.h"
#include "SettingsDialogModel.h"

#include <QDialog>

#include <array>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TFormatPicker;

// The conversion settings dialog: the output format picked from the grouped list and that
// format's video and audio parameters. Every opening reloads everything from the catalog and
// the settings file; OK stores the profile and the current format, Cancel stores nothing.
// The rules live in TSettingsDialogModel; this window maps its widgets to it.
class TfrmSettings final : public QDialog {
    Q_OBJECT
public:
    TfrmSettings(const std::string& settingsFile, const std::string& catalogFile,
                 QWidget* parent = nullptr);
    ~TfrmSettings() override;

    TSettingsDialogModel& Model() { return model_; }
    TFormatPicker* Picker() const { return picker_; }
    QComboBox* Combo(TSettingsControl control) const;
    QPushButton* OkButton() const { return btnOk_; }
    QPushButton* CancelButton() const { return btnCancel_; }
    QPushButton* DefaultButton() const { return btnDefault_; }

    // What showing the dialog does: reload the list and every box.
    void Reload();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QGroupBox* BuildGroup(const char* name, const char* caption, bool video);
    void ShowCombo(TSettingsControl control);
    void ShowAll();
    void FormatChosen(int code, const QString& name);
    void Typed(TSettingsControl control, const QString& text);
    void Picked(TSettingsControl control, int index);
    bool KeyFiltered(TSettingsControl control, const QString& text);
    void LeftBox(TSettingsControl control);
    void DefaultClick();
    void OkClick();
    int ControlOf(const QObject* object) const;

    TSettings settings_;
    TSettingsDialogModel model_;
    TFormatPicker* picker_ = nullptr;
    std::array<QComboBox*, 10> combos_{};
    QPushButton* btnDefault_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    bool showing_ = false; // widgets being filled from the model: their signals are echoes
};
