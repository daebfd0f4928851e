#pragma once

#include <array>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QToolBar;
class QToolButton;
class QWidget;
class TFormatPicker;
class TJobListView;
class TMainWindowModel;
class TVideoWidget;

// The widgets of the main window, made and laid out in one place (the window class wires
// them). Names are the controls' object names.
struct TMainWindowUi {
    // Menus and their items.
    QMenu* mnuFile = nullptr;
    QAction* mniAdd = nullptr;
    QAction* mniRemove = nullptr;
    QAction* mniClear = nullptr;
    QAction* mniStart = nullptr;
    QAction* mniSettings = nullptr; // hidden
    QAction* mniExit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mniCrop = nullptr;
    QAction* mniTrim = nullptr;
    QAction* mniVideoEffect = nullptr;
    QAction* mniCheckAll = nullptr;
    QAction* mniUncheckAll = nullptr;
    QAction* mniReverseCheck = nullptr;
    QAction* mniCheck = nullptr;
    QAction* mniUncheck = nullptr;
    QMenu* mnuTools = nullptr;
    QAction* mniPreference = nullptr;
    QMenu* mnuSkin = nullptr;
    std::array<QAction*, 7> mniSkins{};
    QMenu* mnuHelp = nullptr;
    QAction* mniHelp = nullptr;
    QAction* mniWebSite = nullptr;
    QAction* mniSupport = nullptr;
    QAction* mniAbout = nullptr;

    // The job list's pop-up menu.
    QMenu* pmnJobs = nullptr;
    QAction* pmiCrop = nullptr;
    QAction* pmiTrim = nullptr;
    QAction* pmiVideoEffect = nullptr;
    QAction* pmiAdd = nullptr;
    QAction* pmiRemove = nullptr;
    QAction* pmiClear = nullptr;
    QAction* pmiStart = nullptr;
    QAction* pmiVideoInformation = nullptr;

    // Tool bar.
    QToolBar* tlbMain = nullptr;
    QAction* tbAdd = nullptr;
    QAction* tbRemove = nullptr;
    QAction* tbClear = nullptr;
    QAction* tbEdit = nullptr;
    QAction* tbSettings = nullptr;
    QAction* tbStart = nullptr;
    QAction* tbExit = nullptr;

    TJobListView* lvFiles = nullptr;

    // Preview area.
    TVideoWidget* pan1 = nullptr; // the player's pictures
    QSlider* trcPreview = nullptr;
    QLabel* lblTime = nullptr;
    QLabel* lblPTS = nullptr;
    QToolButton* imgbtnPlay = nullptr;
    QToolButton* imgbtnPAuse = nullptr;
    QToolButton* imgbtnStop = nullptr;
    QToolButton* imgbtnSnap = nullptr;
    QCheckBox* ckMute = nullptr;
    QSlider* trcVolume = nullptr;
    QLabel* imgPreview = nullptr;     // hidden
    QPlainTextEdit* mmoLog = nullptr; // hidden

    // Format and output folder.
    TFormatPicker* picker = nullptr;
    QPushButton* btnSettings = nullptr;
    QLineEdit* edDirectory = nullptr;
    QPushButton* btnBrows = nullptr;
    QPushButton* btnOpen = nullptr;
    QPushButton* btnStart = nullptr;
    // Hidden: the batch's Pause, Resume and Stop, kept in step with the progress window's.
    QPushButton* btnBatchPause = nullptr;
    QPushButton* btnBatchResume = nullptr;
    QPushButton* btnBatchStop = nullptr;

    static constexpr int DesignWidth = 786;
    static constexpr int DesignHeight = 480;
    static constexpr int PreviewWidth = 256;
    static constexpr int PreviewHeight = 183;

    void Build(QMainWindow& window, TMainWindowModel& model);
    // Icons follow the theme's accent.
    void UpdateIcons(int theme);
    // The preview grows with a window larger than its design size, keeping its shape.
    void FitPreview(int windowWidth, int windowHeight);

private:
    void BuildMenus(QMainWindow& window);
    void BuildPopup(QMainWindow& window);
    void BuildToolBar(QMainWindow& window);
    QWidget* BuildPreview(QWidget* parent);
    QWidget* BuildBottom(QWidget* parent, QWidget* listHost, TMainWindowModel& model);

    QWidget* pnlPreview_ = nullptr;
};
