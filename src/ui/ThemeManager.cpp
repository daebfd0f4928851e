#include "ThemeManager.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

namespace {

struct TTheme {
    const char* name;
    const char* accent;      // menu bar, headers, default buttons
    const char* accentDark;  // borders and pressed states
    const char* accentLight; // tool bar and hover
    const char* window;      // window background
    unsigned int stripe;     // odd job-list rows, 0x00BBGGRR
};

constexpr TTheme Themes[TThemeManager::Count] = {
    {"Default", "#3d6fb6", "#2a5293", "#dce7f7", "#eef2f9", 16180962},
    {"Gray", "#6b7079", "#4b4f56", "#e3e4e6", "#f0f0f1", 15527148},
    {"Orange", "#e07a1f", "#b35d12", "#fbe6d0", "#fbf4ec", 14742264},
    {"Purple", "#7b4da3", "#5b3480", "#eadff4", "#f5f0f9", 15853302},
    {"Red", "#bb3a36", "#8f2723", "#f6dcdb", "#faf0f0", 14803447},
    {"Green", "#3d8c45", "#2a6a31", "#dcefdc", "#f0f7f0", 14809058},
    {"Light blue", "#2f9bd6", "#1f77a9", "#d8eef9", "#eef7fc", 16249057},
};

int gCurrent = -1;

bool Valid(int index) {
    return index >= 0 && index < TThemeManager::Count;
}

// Placeholders: @accent@, @dark@, @light@, @window@.
const char* const SheetTemplate = R"(
QMainWindow, QDialog { background: @window@; }
QMenuBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @accent@, stop:1 @dark@);
           color: white; padding: 1px; }
QMenuBar::item { background: transparent; padding: 3px 9px; border-radius: 3px; }
QMenuBar::item:selected, QMenuBar::item:pressed { background: rgba(255, 255, 255, 60); }
QMenu { background: white; border: 1px solid @dark@; padding: 3px; }
QMenu::item { padding: 4px 24px 4px 24px; color: #1a1a1a; }
QMenu::item:selected { background: @light@; color: black; }
QMenu::item:disabled { color: #9a9a9a; }
QMenu::separator { height: 1px; background: #d0d0d0; margin: 3px 6px; }
QMenu::indicator { width: 13px; height: 13px; left: 5px; }
QToolBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 white, stop:1 @light@);
           border: none; border-bottom: 1px solid @dark@; spacing: 2px; padding: 2px; }
QToolBar QToolButton { padding: 2px 6px; border: 1px solid transparent; border-radius: 4px;
                       color: #1a1a1a; }
QToolBar QToolButton:hover { border-color: @accent@; background: white; }
QToolBar QToolButton:pressed { background: @light@; }
QToolBar QToolButton:focus { border-color: @dark@; }
QPushButton { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 white, stop:1 @light@);
              border: 1px solid @dark@; border-radius: 4px; padding: 3px 12px; color: #1a1a1a;
              min-height: 18px; }
QPushButton:hover { background: white; }
QPushButton:pressed { background: @light@; }
QPushButton:focus { border: 2px solid @accent@; }
QPushButton:disabled { color: #9a9a9a; border-color: #b8b8b8; }
QPushButton#btnStart { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @accent@,
                       stop:1 @dark@); color: white; font-weight: bold; font-size: 13pt;
                       border-radius: 6px; }
QPushButton#btnStart:hover { background: @accent@; }
QPushButton#btnStart:disabled { background: #c8c8c8; color: #f0f0f0; }
QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 white,
                       stop:1 @light@); border: none; border-right: 1px solid #c8c8c8;
                       border-bottom: 1px solid @dark@; padding: 2px 4px; color: #1a1a1a; }
QLineEdit { border: 1px solid #a8a8a8; border-radius: 3px; background: white; padding: 1px; }
QLineEdit:focus { border-color: @accent@; }
QGroupBox { border: 1px solid #b8b8b8; border-radius: 4px; margin-top: 8px; padding-top: 6px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; color: @dark@; }
QProgressBar { border: 1px solid #a8a8a8; border-radius: 3px; background: white;
               text-align: center; }
QProgressBar::chunk { background: @accent@; }
QSlider::groove:horizontal { height: 4px; background: #c8c8c8; border-radius: 2px; }
QSlider::sub-page:horizontal { background: @accent@; border-radius: 2px; }
QSlider::handle:horizontal { width: 12px; margin: -5px 0; border-radius: 6px;
                             background: white; border: 1px solid @dark@; }
QSlider::handle:horizontal:disabled { border-color: #b8b8b8; }
QSlider::sub-page:horizontal:disabled { background: #c8c8c8; }
QTreeView, QListView { border: 1px solid #a8a8a8; }
QTreeView:focus, QListView:focus { border-color: @accent@; }
QScrollBar:vertical { background: #e4e4e4; width: 14px; margin: 0; border: none; }
QScrollBar:horizontal { background: #e4e4e4; height: 14px; margin: 0; border: none; }
QScrollBar::handle:vertical { background: #8c8c8c; min-height: 24px; margin: 2px;
                              border-radius: 4px; }
QScrollBar::handle:horizontal { background: #8c8c8c; min-width: 24px; margin: 2px;
                                border-radius: 4px; }
QScrollBar::handle:hover, QScrollBar::handle:pressed { background: @dark@; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
QLabel#lblAppNameVer { color: @dark@; font-weight: bold; font-size: 12pt; }
)";

} // namespace

const char* TThemeManager::Name(int index) {
    return Valid(index) ? Themes[index].name : "";
}

void TThemeManager::Apply(int index) {
    if (!Valid(index) || qApp == nullptr) {
        return;
    }
    if (gCurrent < 0) {
        // One base style everywhere, so the themes look alike on every desktop.
        QApplication::setStyle(QStyleFactory::create("Fusion"));
    }
    gCurrent = index;
    QApplication::setPalette(Palette(index));
    qApp->setStyleSheet(StyleSheet(index));
}

int TThemeManager::Current() {
    return gCurrent;
}

QPalette TThemeManager::Palette(int index) {
    const TTheme& t = Themes[Valid(index) ? index : 0];
    QPalette palette;
    const QColor window(t.window);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, QColor(0x1a, 0x1a, 0x1a));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, StripeColour(index));
    palette.setColor(QPalette::Text, QColor(0x1a, 0x1a, 0x1a));
    palette.setColor(QPalette::Button, QColor(t.accentLight));
    palette.setColor(QPalette::ButtonText, QColor(0x1a, 0x1a, 0x1a));
    palette.setColor(QPalette::Highlight, QColor(t.accent));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe1));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::Link, QColor(t.accentDark));
    palette.setColor(QPalette::Light, Qt::white);
    palette.setColor(QPalette::Mid, QColor(0xb8, 0xb8, 0xb8));
    palette.setColor(QPalette::Dark, QColor(t.accentDark));
    palette.setColor(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, QColor(0x9a, 0x9a, 0x9a));
    }
    return palette;
}

QString TThemeManager::StyleSheet(int index) {
    const TTheme& t = Themes[Valid(index) ? index : 0];
    QString sheet = QString::fromLatin1(SheetTemplate);
    sheet.replace("@accent@", t.accent);
    sheet.replace("@dark@", t.accentDark);
    sheet.replace("@light@", t.accentLight);
    sheet.replace("@window@", t.window);
    return sheet;
}

QColor TThemeManager::StripeColour(int index) {
    return FromBgr(Valid(index) ? Themes[index].stripe : 15461355);
}

QColor TThemeManager::CurrentStripeColour() {
    return StripeColour(gCurrent);
}

QColor TThemeManager::Accent(int index) {
    return QColor(Themes[Valid(index) ? index : 0].accent);
}

QColor TThemeManager::FromBgr(unsigned int value) {
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}
