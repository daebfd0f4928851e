#pragma once

#include "PreferenceModel.h"

#include <QDialog>

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class TSettings;

// The preferences ("Preference"): the snapshot folder, which snapshot files are written, the
// JPEG quality and the work priority of conversions. It maps its widgets to TPreferenceModel;
// the main window creates it once and shows it modally.
class TfrmPreference final : public QDialog {
    Q_OBJECT
public:
    static constexpr int DesignWidth = 480;
    static constexpr int DesignHeight = 390;

    explicit TfrmPreference(TSettings& settings, QWidget* parent = nullptr);

    // Reads the settings into the controls and shows the dialog modally.
    int exec() override;
    // Reads the settings into the controls (what showing does).
    void Open();

    const TPreferenceModel& Model() const { return model_; }

private:
    void BuildLayout();
    void Connect();
    // Every control from the model.
    void ShowModel();
    void OkClick();

    TPreferenceModel model_;
    QLineEdit* edtSnapDirectory_;
    QPushButton* btnBrows_;
    QPushButton* btnOpen_;
    QCheckBox* ckFullSize_;
    QCheckBox* ckSmallSize_;
    QCheckBox* ckBmp_;
    QCheckBox* ckJpg_;
    QSpinBox* spedCmp_;
    QSlider* trcCmp_;
    QGroupBox* rdGrpPriority_;
    QButtonGroup* priorities_;
    QComboBox* cbAtOnce_;
    std::array<QRadioButton*, TPreferenceModel::PriorityCount> rdPriority_{};
    QPushButton* btnDefault_;
    QPushButton* btnOk_;
    QPushButton* btnCancel_;
};
