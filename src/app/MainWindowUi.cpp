#include "MainWindowUi.h"

#include "DeviceListBox.h"
#include "DialogMessages.h"
#include "FormatPicker.h"
#include "Glyphs.h"
#include "JobListView.h"
#include "MainWindowMessages.h"
#include "MainWindowModel.h"
#include "ThemeManager.h"
#include "ValueLabel.h"
#include "VideoWidget.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QAction* Item(QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(name);
    return action;
}

QMenu* Menu(QWidget* parent, const char* name, const char* caption) {
    auto* menu = new QMenu(QString::fromUtf8(caption), parent);
    menu->setObjectName(name);
    // Opened on its own, a menu is announced by its window title, which a title alone
    // does not give it.
    QString heard = menu->title();
    heard.replace("&&", QString(QChar(1))).remove('&').replace(QChar(1), "&");
    menu->setAccessibleName(heard);
    return menu;
}

QToolButton* PreviewButton(QWidget* parent, const char* name, const char* hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setAutoRaise(true);
    button->setIconSize(QSize(20, 20));
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

void TMainWindowUi::Build(QMainWindow& window, TMainWindowModel& model) {
    BuildMenus(window);
    BuildPopup(window);
    BuildToolBar(window);

    auto* central = new QWidget(&window);
    central->setObjectName("pnlClient");
    lvFiles = new TJobListView(model.Jobs(), central);
    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(lvFiles, 1);
    top->addWidget(BuildPreview(central));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(8, 6, 8, 8);
    layout->setSpacing(8);
    layout->addLayout(top, 1);
    layout->addWidget(BuildBottom(central, &window, model));
    window.setCentralWidget(central);

    imgPreview = new QLabel(central);
    imgPreview->setObjectName("imgPreview");
    imgPreview->hide();
    mmoLog = new QPlainTextEdit(central);
    mmoLog->setObjectName("mmoLog");
    mmoLog->setReadOnly(true);
    mmoLog->hide();
    const std::pair<QPushButton**, std::pair<const char*, const char*>> batchButtons[] = {
        {&btnBatchPause, {"btnBatchPause", dlgmsg::BatchPause}},
        {&btnBatchResume, {"btnBatchResume", dlgmsg::BatchResume}},
        {&btnBatchStop, {"btnBatchStop", dlgmsg::BatchStop}},
    };
    for (const auto& [button, names] : batchButtons) {
        *button = new QPushButton(names.second, central);
        (*button)->setObjectName(names.first);
        (*button)->setEnabled(false);
        (*button)->hide();
    }
    // The device list lies over everything else of the window.
    picker->List()->raise();
}

void TMainWindowUi::BuildMenus(QMainWindow& window) {
    QMenuBar* bar = window.menuBar();
    bar->setObjectName("mnuMain");
    mnuFile = Menu(bar, "mnuFile", "&File");
    mniAdd = Item(mnuFile, "mniAdd", "&Add");
    mniRemove = Item(mnuFile, "mniRemove", "&Remove");
    mniClear = Item(mnuFile, "mniClear", "&Clear");
    mniStart = Item(mnuFile, "mniStart", "&Start");
    mnuFile->addSeparator();
    mniSettings = Item(mnuFile, "mniSettings", "Se&ttings");
    mniSettings->setVisible(false);
    mniExit = Item(mnuFile, "mniExit", "&Exit");

    mnuEdit = Menu(bar, "mnuEdit", "&Edit");
    mniCrop = Item(mnuEdit, "mniCrop", "&Crop");
    mniTrim = Item(mnuEdit, "mniTrim", "&Trim");
    mniVideoEffect = Item(mnuEdit, "mniVideoEffect", "&Video Effect && Water Mark");
    mnuEdit->addSeparator();
    mniCheckAll = Item(mnuEdit, "mniCheckAll", "&Check All");
    mniUncheckAll = Item(mnuEdit, "mniUncheckAll", "&Uncheck All");
    mniReverseCheck = Item(mnuEdit, "mniReverseCheck", "&Reverse Check");
    mnuEdit->addSeparator();
    mniCheck = Item(mnuEdit, "mniCheck", "C&heck");
    mniUncheck = Item(mnuEdit, "mniUncheck", "U&ncheck");

    mnuTools = Menu(bar, "mnuTools", "&Tools");
    mniPreference = Item(mnuTools, "mniPreference", "&Preference");
    mnuSkin = Menu(mnuTools, "mnuSkin", "&Skin");
    mnuTools->addMenu(mnuSkin);
    for (int i = 0; i < TThemeManager::Count; ++i) {
        const QString name = QString("mniSkin%1").arg(i);
        mniSkins[i] = Item(mnuSkin, name.toLatin1().constData(), TThemeManager::Name(i));
        mniSkins[i]->setCheckable(true);
    }

    mnuHelp = Menu(bar, "mnuHelp", "&Help");
    mniHelp = Item(mnuHelp, "mniHelp", "&Help");
    mnuHelp->addSeparator();
    mniWebSite = Item(mnuHelp, "mniWebSite", "&Web Site");
    mniSupport = Item(mnuHelp, "mniSupport", "&Support and Contact");
    mniAbout = Item(mnuHelp, "mniAbout", "&About");

    for (QMenu* menu : {mnuFile, mnuEdit, mnuTools, mnuHelp}) {
        bar->addMenu(menu);
    }
}

void TMainWindowUi::BuildPopup(QMainWindow& window) {
    pmnJobs = Menu(&window, "pmnJobs", "");
    pmnJobs->setAccessibleName(mainmsg::JobMenu);
    pmiCrop = Item(pmnJobs, "pmiCrop", "&Crop");
    pmiTrim = Item(pmnJobs, "pmiTrim", "&Trim");
    pmiVideoEffect = Item(pmnJobs, "pmiVideoEffect", "&Video Effect && Water Mark");
    pmnJobs->addSeparator();
    pmiAdd = Item(pmnJobs, "pmiAdd", "Add");
    pmiRemove = Item(pmnJobs, "pmiRemove", "Remove");
    pmiClear = Item(pmnJobs, "pmiClear", "Clear");
    pmiStart = Item(pmnJobs, "pmiStart", "Start");
    pmnJobs->addSeparator();
    pmiVideoInformation = Item(pmnJobs, "pmiVideoInformation", "Video Infomation");
}

void TMainWindowUi::BuildToolBar(QMainWindow& window) {
    tlbMain = new QToolBar(&window);
    tlbMain->setObjectName("tlbMain");
    tlbMain->setMovable(false);
    tlbMain->setFloatable(false);
    tlbMain->setContextMenuPolicy(Qt::PreventContextMenu);
    tlbMain->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tlbMain->setIconSize(QSize(24, 24));
    window.addToolBar(Qt::TopToolBarArea, tlbMain);
    struct TButtonInfo {
        QAction** action;
        const char* name;
        const char* caption;
    };
    const TButtonInfo buttons[] = {
        {&tbAdd, "tbtnAdd", "&Add"},
        {&tbRemove, "tbtnRemove", "&Remove"},
        {&tbClear, "tbtnClear", "&Clear"},
        {&tbEdit, "tbtnEdit", "&Edit"},
        {&tbSettings, "tbtnSettings", "&Settings"},
        {&tbStart, "tbtnStart", "&Start"},
        {&tbExit, "tbtnExit", "&Exit"},
    };
    for (const TButtonInfo& b : buttons) {
        *b.action = tlbMain->addAction(b.caption);
        (*b.action)->setObjectName(QString(b.name) + "Action");
        QWidget* button = tlbMain->widgetForAction(*b.action);
        button->setObjectName(b.name);
        button->setFocusPolicy(Qt::TabFocus);
        button->setMinimumWidth(58);
    }
    if (auto* more = tlbMain->findChild<QToolButton*>("qt_toolbar_ext_button")) {
        more->setAccessibleName(mainmsg::MoreCommands);
        more->setToolTip(mainmsg::MoreCommands);
    }
}

QWidget* TMainWindowUi::BuildPreview(QWidget* parent) {
    auto* area = new QWidget(parent);
    area->setObjectName("pnlPreview");
    pan1 = new TVideoWidget(area);
    pan1->setObjectName("pan1");
    pan1->setAccessibleName("Preview");
    pan1->setFixedSize(PreviewWidth, PreviewHeight);
    pan1->SetIdleColour(QColor(0x80, 0x80, 0x80)); // grey until a picture shows

    trcPreview = new QSlider(Qt::Horizontal, area);
    trcPreview->setObjectName("trcPreview");
    trcPreview->setAccessibleName("Position");
    trcPreview->setTickPosition(QSlider::NoTicks);
    trcPreview->setEnabled(false);
    lblTime = new QLabel("00:00:00", area);
    lblTime->setObjectName("lblTime");
    valuelabel::Attach(lblTime, "Position");
    lblPTS = new QLabel("00:00:00", area);
    lblPTS->setObjectName("lblPTS");
    valuelabel::Attach(lblPTS, "Duration");
    lblPTS->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* times = new QHBoxLayout;
    times->addWidget(lblTime);
    times->addStretch(1);
    times->addWidget(lblPTS);

    imgbtnPlay = PreviewButton(area, "imgbtnPlay", "play");
    imgbtnPAuse = PreviewButton(area, "imgbtnPAuse", "pause");
    imgbtnStop = PreviewButton(area, "imgbtnStop", "stop");
    imgbtnSnap = PreviewButton(area, "imgbtnSnap", "capture image");
    ckMute = new QCheckBox("Mute", area);
    ckMute->setObjectName("ckMute");
    trcVolume = new QSlider(Qt::Horizontal, area);
    trcVolume->setObjectName("trcVolume");
    trcVolume->setAccessibleName("Volume");
    trcVolume->setRange(0, 128);
    trcVolume->setFixedWidth(70);
    auto* controls = new QHBoxLayout;
    controls->setSpacing(2);
    for (QToolButton* button : {imgbtnPlay, imgbtnPAuse, imgbtnStop, imgbtnSnap}) {
        controls->addWidget(button);
    }
    controls->addStretch(1);
    controls->addWidget(ckMute);
    controls->addSpacing(4);
    controls->addWidget(trcVolume);

    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    layout->addWidget(pan1);
    layout->addWidget(trcPreview);
    layout->addLayout(times);
    layout->addLayout(controls);
    layout->addStretch(1);
    area->setFixedWidth(PreviewWidth);
    pnlPreview_ = area;
    return area;
}

void TMainWindowUi::FitPreview(int windowWidth, int windowHeight) {
    // Half the extra width, as far as the extra height lets the shape keep.
    const int wider = PreviewWidth + std::max(0, windowWidth - DesignWidth) / 2;
    const int taller = PreviewHeight + std::max(0, windowHeight - DesignHeight);
    const int width = std::min(wider, taller * PreviewWidth / PreviewHeight);
    pan1->setFixedSize(width, width * PreviewHeight / PreviewWidth);
    pnlPreview_->setFixedWidth(width);
}

QWidget* TMainWindowUi::BuildBottom(QWidget* parent, QWidget* listHost, TMainWindowModel& model) {
    auto* area = new QWidget(parent);
    area->setObjectName("pnlOutput");
    auto* formatLabel = new QLabel("Output format:", area);
    formatLabel->setObjectName("lblFormat");
    picker = new TFormatPicker(model.Devices(), model.Table(), model.Settings(),
                               TPickerMode::StoreAtOnce, listHost, area);
    picker->setObjectName("pnlFormat");
    formatLabel->setBuddy(picker->FormatBox());
    btnSettings = new QPushButton("Settings", area);
    btnSettings->setObjectName("btnSettings");

    auto* folderLabel = new QLabel("Output folder:", area);
    folderLabel->setObjectName("lblDirectory");
    edDirectory = new QLineEdit(area);
    edDirectory->setObjectName("edDirectory");
    edDirectory->setReadOnly(true);
    edDirectory->setAccessibleName("Output folder");
    edDirectory->setStyleSheet("QLineEdit#edDirectory { background: #f6f6f8; }");
    folderLabel->setBuddy(edDirectory);
    btnBrows = new QPushButton("Brows", area);
    btnBrows->setObjectName("btnBrows");
    btnOpen = new QPushButton("Open", area);
    btnOpen->setObjectName("btnOpen");

    btnStart = new QPushButton("&Start", area);
    btnStart->setObjectName("btnStart");
    btnStart->setMinimumSize(128, 58);
    btnStart->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    grid->addWidget(formatLabel, 0, 0);
    grid->addWidget(picker, 0, 1);
    grid->addWidget(btnSettings, 0, 2, 1, 2);
    grid->addWidget(folderLabel, 1, 0);
    grid->addWidget(edDirectory, 1, 1);
    grid->addWidget(btnBrows, 1, 2);
    grid->addWidget(btnOpen, 1, 3);
    grid->addWidget(btnStart, 0, 4, 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(4, 140);
    return area;
}

void TMainWindowUi::UpdateIcons(int theme) {
    using glyphs::TButton;
    const QColor accent = TThemeManager::Accent(theme);
    const std::pair<QAction*, TButton> actions[] = {
        {tbAdd, TButton::Add},      {tbRemove, TButton::Remove},     {tbClear, TButton::Clear},
        {tbEdit, TButton::Edit},    {tbSettings, TButton::Settings}, {tbStart, TButton::Start},
        {tbExit, TButton::Exit},    {mniAdd, TButton::Add},          {mniRemove, TButton::Remove},
        {mniClear, TButton::Clear}, {mniStart, TButton::Start},      {mniExit, TButton::Exit},
        {pmiAdd, TButton::Add},     {pmiRemove, TButton::Remove},    {pmiClear, TButton::Clear},
        {pmiStart, TButton::Start},
    };
    for (const auto& [action, button] : actions) {
        action->setIcon(glyphs::ButtonIcon(button, accent));
    }
    const std::pair<QToolButton*, TButton> buttons[] = {
        {imgbtnPlay, TButton::Play},
        {imgbtnPAuse, TButton::Pause},
        {imgbtnStop, TButton::Stop},
        {imgbtnSnap, TButton::Snapshot},
    };
    for (const auto& [button, glyph] : buttons) {
        button->setIcon(glyphs::ButtonIcon(glyph, accent));
    }
    btnBrows->setIcon(glyphs::ButtonIcon(TButton::Folder, accent));
    btnOpen->setIcon(glyphs::ButtonIcon(TButton::OpenFolder, accent));
}
