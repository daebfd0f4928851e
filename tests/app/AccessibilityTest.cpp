// Every window of the program as assistive technology meets it, with a clip open: each
// control it can focus is named by the caption a sighted user reads beside it, and the
// figures the windows show are readable beside their captions.
#include "BatchScreenshots.h"
#include "GuiTestHelpers.h"
#include "JobListView.h"
#include "RecordingShell.h"
#include "Screenshots.h"
#include "SettingsScreenshots.h"
#include "TrimCropScenes.h"
#include "VantreApp.h"
#include "WaterMarkScenes.h"
#include "WinMain.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <map>

using testing_support::TempDir;

namespace {

// A caption as it is heard: without its mnemonic marks and its closing colon.
QString Plain(QString text) {
    text.replace("&&", QString(QChar(1)));
    text.remove('&');
    text.replace(QChar(1), "&");
    text = text.trimmed();
    if (text.endsWith(':')) {
        text.chop(1);
    }
    return text;
}

QAccessibleInterface* Accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

// The caption a sighted user reads for a control: its own text, the label that names it as
// buddy, or (for a picture button) its tooltip. Empty when it shows none.
QString CaptionOf(const QWidget* control, const QWidget& window) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(control);
        button != nullptr && !button->text().isEmpty()) {
        return Plain(button->text());
    }
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->buddy() == control && label->isVisibleTo(&window)) {
            return Plain(label->text());
        }
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(control)) {
        return Plain(group->title());
    }
    return Plain(control->toolTip());
}

// A control's inner parts (a combo's or spin box's text box, a list's viewport) speak
// through their control.
bool InnerPart(const QWidget* widget) {
    const QWidget* parent = widget->parentWidget();
    return parent != nullptr && (qobject_cast<const QComboBox*>(parent) != nullptr ||
                                 qobject_cast<const QAbstractSpinBox*>(parent) != nullptr ||
                                 qobject_cast<const QScrollBar*>(widget) != nullptr ||
                                 widget->objectName() == "qt_scrollarea_viewport");
}

bool LabelledBy(QAccessibleInterface* control, const QString& caption) {
    // Qt reports the buddy label as the control's Label relation.
    for (const auto& [other, relation] : control->relations(QAccessible::Label)) {
        if (Plain(other->text(QAccessible::Name)) == caption) {
            return true;
        }
    }
    return false;
}

// What is wrong with the names of a window's focusable controls, one line each.
QStringList NameFaults(const QWidget& window, const QString& scene) {
    QStringList faults;
    QList<QWidget*> widgets = window.findChildren<QWidget*>();
    widgets.push_back(const_cast<QWidget*>(&window));
    for (QWidget* widget : widgets) {
        if ((!widget->isVisibleTo(&window) && widget != &window) || widget->window() != &window) {
            continue;
        }
        if (widget == &window || !(widget->focusPolicy() & Qt::TabFocus) ||
            widget->focusProxy() != nullptr || InnerPart(widget)) {
            continue;
        }
        QAccessibleInterface* accessible = Accessible(widget);
        const QString where =
            scene + ": " + widget->metaObject()->className() + " " + widget->objectName();
        if (accessible == nullptr) {
            faults << where + " has no accessible interface";
            continue;
        }
        const QString name = accessible->text(QAccessible::Name);
        const QString caption = CaptionOf(widget, window);
        if (!caption.isEmpty()) {
            const bool combo = qobject_cast<QComboBox*>(widget) != nullptr;
            if (Plain(name) != caption && !(combo && LabelledBy(accessible, caption))) {
                faults << where + " is named \"" + name + "\", its caption is \"" + caption + "\"";
            }
        } else if (name.isEmpty() || name == widget->objectName()) {
            faults << where + " has no name but \"" + name + "\"";
        }
    }
    return faults;
}

// A figure beside its caption: named by the caption, its value readable as text.
void ExpectFigure(const QWidget& window, const char* name, const QString& caption) {
    const auto* label = window.findChild<QLabel*>(name);
    ASSERT_NE(label, nullptr) << name;
    QAccessibleInterface* accessible = Accessible(const_cast<QLabel*>(label));
    ASSERT_NE(accessible, nullptr) << name;
    EXPECT_EQ(Plain(accessible->text(QAccessible::Name)), Plain(caption)) << name;
    EXPECT_FALSE(label->text().isEmpty()) << name;
    EXPECT_EQ(accessible->text(QAccessible::Description), label->text()) << name;
}

struct AccessibilityFixture : ::testing::Test {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    std::unique_ptr<TVantreApp> vantre;
    std::unique_ptr<TfrmMain> window;

    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        static const bool registered = [] {
            RegisterBatchScreenshots();
            RegisterSettingsScreenshots();
            RegisterTrimCropScenes();
            RegisterWaterMarkScenes();
            return true;
        }();
        (void)registered;
        vantre = std::make_unique<TVantreApp>(TUserPlaces{home.Path(), ""}, "");
        window = std::make_unique<TfrmMain>(*vantre);
        window->show();
        const std::string clip = home.File("holiday.mp4");
        // Long enough that the progress window's scene finds the conversion under way.
        testing_support::MakeClip(clip, 8, 320, 240, 25, 44100, "-c:v mpeg4 -c:a aac");
        window->AddFiles({clip});
        ASSERT_TRUE(gui_test::WaitUntil([&] { return !window->Adding(); }));
        ASSERT_EQ(window->Model().Jobs().Count(), 1);
        window->Model().Settings().SetFormat("MPEG-4 Video (*.mp4)", 2302);
    }
    void TearDown() override {
        window->SetAskOnClose(false);
        window.reset();
    }
};

} // namespace

TEST_F(AccessibilityFixture, EveryWindowNamesItsControlsByTheirCaptionsAndReadsItsFigures) {
    QStringList faults;
    std::map<QString, bool> seen;
    for (const TScreenshotScene& scene : TScreenshots::AllScenes()) {
        if (scene.name.startsWith("theme-") || scene.name.startsWith("progress-theme-")) {
            if (scene.hide) {
                scene.hide(*window); // the last one ends the batch the progress scene began
            }
            continue;
        }
        QWidget* shown = scene.show(*window);
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
        }
        ASSERT_NE(shown, nullptr) << scene.name.toStdString();
        seen[scene.name] = true;
        QWidget& top = *shown->window();
        faults << NameFaults(top, scene.name);
        if (scene.name == "progress") {
            ExpectFigure(top, "lblSize", "File Size:");
            ExpectFigure(top, "lblTime", "Current Time:");
            ExpectFigure(top, "lblLength", "Length:");
            ExpectFigure(top, "lblProgress", "Progress:");
            ExpectFigure(top, "lblOutput", "File:");
        } else if (scene.name == "main-playing") {
            ExpectFigure(top, "lblTime", "Position");
            ExpectFigure(top, "lblPTS", "Duration");
            EXPECT_EQ(top.findChild<QLabel*>("lblPTS")->text(), "0:00:08");
        } else if (scene.name == "fileinfo") {
            ExpectFigure(top, "lblFileLength", "Duration:");
            ExpectFigure(top, "lblSourceName", "File Name:");
            for (const char* field : {"edtFormat", "edtResloution", "edtFrameRate"}) {
                auto* edit = top.findChild<QLineEdit*>(field);
                ASSERT_NE(edit, nullptr) << field;
                EXPECT_FALSE(edit->text().isEmpty()) << field;
                EXPECT_EQ(Accessible(edit)->text(QAccessible::Value), edit->text()) << field;
            }
        } else if (scene.name == "popup" || scene.name == "menu-edit") {
            auto* menu = qobject_cast<QMenu*>(shown);
            ASSERT_NE(menu, nullptr);
            QAccessibleInterface* accessible = Accessible(menu);
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << "the menu has a name";
            EXPECT_EQ(accessible->childCount(), menu->actions().size());
            for (int i = 0; i < accessible->childCount(); ++i) {
                QAccessibleInterface* item = accessible->child(i);
                const QAction* action = menu->actions().at(i);
                if (!action->isSeparator() && action->isVisible()) {
                    EXPECT_EQ(item->text(QAccessible::Name), Plain(action->text()))
                        << scene.name.toStdString();
                }
            }
        }
        if (scene.hide) {
            scene.hide(*window);
        }
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
        }
    }
    for (const char* name :
         {"main", "main-formats", "settings", "settings-formats", "trim", "crop", "watermark",
          "watermark-effect", "fileinfo", "preferences", "progress", "about", "splash", "directory",
          "popup", "menu-edit", "main-playing"}) {
        EXPECT_TRUE(seen.count(name)) << name;
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join("\n").toStdString();
}
