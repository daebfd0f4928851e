#pragma once

#include <cstdint>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QTabWidget;
class QToolButton;
class QWidget;
class TLayeredView;
class TRangeSlider;

// The widgets of the watermark and effects editor, made and laid out in one place (the dialog
// class wires them). Names are the controls' object names.
struct TWaterMarkUi {
    static constexpr int PreviewWidth = 440;
    static constexpr int PreviewHeight = 330;
    static constexpr int DesignWidth = 786;
    static constexpr int DesignHeight = 605;

    // The preview: the layered view and the player's panel, one shown at a time.
    QStackedWidget* pnlPreview = nullptr;
    TLayeredView* ImgView = nullptr;
    QWidget* imgPreview = nullptr;
    QSlider* trcPreview = nullptr;
    QPushButton* btnPlay = nullptr;
    QPushButton* btnPause = nullptr;
    QLabel* lblPTS = nullptr;
    QLabel* lblLength = nullptr;

    // The list of items.
    QListWidget* lsbox = nullptr;
    QLineEdit* edt1 = nullptr; // the in-place editor of a text row
    QPushButton* btnAddText = nullptr;
    QPushButton* btnAddImage = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnUp = nullptr;
    QPushButton* btnDown = nullptr;

    QTabWidget* suiPageControl1 = nullptr;
    // "Watermark" tab.
    QSlider* trcTextHoriz = nullptr;
    QLineEdit* edtTextHoriz = nullptr;
    QSlider* trcTextVert = nullptr;
    QLineEdit* edtTextVert = nullptr;
    QSlider* trcTextTran = nullptr;
    QLineEdit* edtTextTran = nullptr;
    TRangeSlider* trcRange = nullptr;
    QLineEdit* edtStart = nullptr;
    QLineEdit* edtEnd = nullptr;
    QToolButton* btnStartUp1 = nullptr;         // start + 1
    QToolButton* btnStartUpStartDown = nullptr; // start - 1
    QToolButton* btnStartUpEndUp = nullptr;     // end + 1
    QToolButton* btnStartUpEndDown = nullptr;   // end - 1
    QComboBox* suiColorBoxcmb = nullptr;
    QComboBox* suiFontCmb = nullptr;
    QComboBox* suiFontSizeCmb = nullptr;
    QCheckBox* suiChkBold = nullptr;
    QCheckBox* suiChkItalic = nullptr;
    QCheckBox* suiChkUnderline = nullptr;
    QCheckBox* suiChkStrikeOut = nullptr;
    QRadioButton* rb1 = nullptr; // "Background color"
    QRadioButton* rb2 = nullptr; // "Transparent"
    QComboBox* suiColorBoxbackground = nullptr;
    // "Effect" tab.
    QSlider* trcBrightness = nullptr;
    QSpinBox* spedtBrightness = nullptr;
    QSlider* trcContrast = nullptr;
    QSpinBox* spedtContrast = nullptr;
    QSlider* trcSaturation = nullptr;
    QSpinBox* spedtSaturation = nullptr;
    QSlider* trcExposure = nullptr;
    QSpinBox* spedtExposure = nullptr;
    QPushButton* btnReset = nullptr;

    QPushButton* btnHelp = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    void Build(QDialog& dialog, QWidget* playerPanel, const std::vector<std::string>& fonts);

    // Selects the colour in a colour list; a value not named there gets an entry of its own.
    static void SelectColor(QComboBox& box, std::uint32_t value);
    static std::uint32_t ColorOf(const QComboBox& box);

private:
    QWidget* BuildPreview(QDialog& dialog, QWidget* playerPanel);
    QWidget* BuildList(QDialog& dialog);
    QWidget* BuildWaterMarkTab(const std::vector<std::string>& fonts);
    QWidget* BuildEffectTab();
};
