#include "Screenshots.h"

#include "DeviceList.h"
#include "DeviceListBox.h"
#include "DeviceListModel.h"
#include "Directory.h"
#include "FormatPicker.h"
#include "JobListView.h"
#include "ThemeManager.h"
#include "WinAbout.h"
#include "WinCover.h"
#include "WinMain.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPixmap>
#include <QScreen>

#include <memory>

namespace {

std::vector<TScreenshotScene>& Registered() {
    static std::vector<TScreenshotScene> scenes;
    return scenes;
}

// Lets the window system and the layouts settle before a picture is taken.
void Settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
}

std::unique_ptr<QWidget> gShown; // a window a scene made for itself

int gThemeBefore = -1; // the theme a theme scene puts back

QWidget* ThemeScene(TfrmMain& window, int theme) {
    gThemeBefore = TThemeManager::Current();
    window.ApplyTheme(theme);
    return &window;
}

// The scenes after it show the program's own theme again.
void EndThemeScene(TfrmMain& window) {
    if (gThemeBefore >= 0 && TThemeManager::Current() != gThemeBefore) {
        window.ApplyTheme(gThemeBefore);
    }
}

std::vector<TScreenshotScene> BuiltInScenes() {
    std::vector<TScreenshotScene> scenes;
    scenes.push_back({"main", [](TfrmMain& w) { return static_cast<QWidget*>(&w); }, nullptr});
    scenes.push_back(
        {"main-formats",
         [](TfrmMain& w) -> QWidget* {
             TFormatPicker* picker = w.Ui().picker;
             picker->List()->Toggle(picker->List()->Model().List().FindRow("Apple iPod"));
             picker->ShowList();
             return &w;
         },
         [](TfrmMain& w) {
             TFormatPicker* picker = w.Ui().picker;
             picker->List()->Toggle(picker->List()->Model().List().FindRow("Apple iPod"));
             picker->HideList();
         }});
    scenes.push_back({"popup",
                      [](TfrmMain& w) -> QWidget* {
                          QWidget* list = w.Ui().lvFiles->viewport();
                          w.ShowPopup(list->mapToGlobal(QPoint(60, 30)));
                          return w.Ui().pmnJobs;
                      },
                      [](TfrmMain& w) { w.Ui().pmnJobs->hide(); }});
    scenes.push_back({"menu-edit",
                      [](TfrmMain& w) -> QWidget* {
                          w.Ui().mnuEdit->popup(w.mapToGlobal(QPoint(40, 24)));
                          return w.Ui().mnuEdit;
                      },
                      [](TfrmMain& w) { w.Ui().mnuEdit->hide(); }});
    scenes.push_back({"directory",
                      [](TfrmMain& w) -> QWidget* {
                          auto chooser = std::make_unique<TfmDirectory>(
                              w.Model().Global().Title(), w.Model().Global().HomeFolder(), &w);
                          chooser->SelectFolder(w.Model().Global().HomeFolder());
                          chooser->show();
                          gShown = std::move(chooser);
                          return gShown.get();
                      },
                      [](TfrmMain&) { gShown.reset(); }});
    scenes.push_back({"about",
                      [](TfrmMain& w) -> QWidget* {
                          const TGlobalObject& global = w.Model().Global();
                          gShown = std::make_unique<TfrmAbout>(global.Title(), global.VersionText(),
                                                               global.WebLink(), &w);
                          gShown->show();
                          return gShown.get();
                      },
                      [](TfrmMain&) { gShown.reset(); }});
    scenes.push_back({"splash",
                      [](TfrmMain& w) -> QWidget* {
                          const TGlobalObject& global = w.Model().Global();
                          gShown =
                              std::make_unique<TfrmCover>("", global.Title(), global.VersionText());
                          gShown->show();
                          return gShown.get();
                      },
                      [](TfrmMain&) { gShown.reset(); }});
    for (int theme = 0; theme < TThemeManager::Count; ++theme) {
        scenes.push_back({QString("theme-%1").arg(theme),
                          [theme](TfrmMain& w) { return ThemeScene(w, theme); }, EndThemeScene});
    }
    return scenes;
}

// A window that may grow, taken to half as large again (within the screen): the picture
// shows what the user gets by enlarging it. Pop-ups and fixed windows stay as they are.
bool Enlarge(QWidget& shown) {
    if (!shown.isWindow() || qobject_cast<QMenu*>(&shown) != nullptr ||
        (shown.windowFlags() & Qt::Popup) == Qt::Popup) {
        return false;
    }
    QSize large = (shown.size() * 3 / 2).boundedTo(shown.maximumSize());
    if (const QScreen* screen = shown.screen()) {
        large = large.boundedTo(screen->availableGeometry().size() - QSize(40, 80));
    }
    if (large.width() <= shown.width() && large.height() <= shown.height()) {
        return false;
    }
    shown.resize(large.expandedTo(shown.size()));
    Settle();
    return true;
}

} // namespace

void TScreenshots::Register(TScreenshotScene scene) {
    Registered().push_back(std::move(scene));
}

const std::vector<TScreenshotScene>& TScreenshots::Scenes() {
    return Registered();
}

std::vector<TScreenshotScene> TScreenshots::AllScenes() {
    std::vector<TScreenshotScene> scenes = BuiltInScenes();
    scenes.insert(scenes.end(), Registered().begin(), Registered().end());
    return scenes;
}

int TScreenshots::Run(TfrmMain& window, const QString& folder, const QStringList& only) {
    QDir().mkpath(folder);
    const int theme = TThemeManager::Current();
    const std::vector<TScreenshotScene> scenes = AllScenes();
    int written = 0;
    for (const TScreenshotScene& scene : scenes) {
        if (!only.isEmpty() && !only.contains(scene.name)) {
            continue;
        }
        QWidget* shown = scene.show(window);
        Settle();
        if (shown != nullptr && shown->grab().save(QDir(folder).filePath(scene.name + ".png"))) {
            ++written;
        }
        if (shown != nullptr) {
            const QSize design = shown->size();
            if (Enlarge(*shown)) {
                const QString file = QDir(folder).filePath(scene.name + "-large.png");
                written += shown->grab().save(file) ? 1 : 0;
                shown->resize(design);
            }
        }
        if (scene.hide) {
            scene.hide(window);
        }
        Settle();
    }
    if (theme >= 0 && TThemeManager::Current() != theme) {
        window.ApplyTheme(theme);
    }
    return written;
}
