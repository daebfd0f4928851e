// The preferences dialog through the main window's Tools > Preference: captions, the controls
// bound to the edit model (its rules have tests of their own), OK and Cancel.
#include "VantreApp.h"
#include "WinMain.h"

#include "GuiTestHelpers.h"
#include "RecordingShell.h"
#include "WinPreference.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>

using gui_test::Child;
using testing_support::TempDir;

namespace {

struct PreferenceWindowFixture : ::testing::Test {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    std::unique_ptr<TVantreApp> vantre;
    std::unique_ptr<TfrmMain> window;

    void SetUp() override {
        vantre = std::make_unique<TVantreApp>(TUserPlaces{home.Path(), ""}, "");
        window = std::make_unique<TfrmMain>(*vantre);
        window->show();
        std::filesystem::create_directories(home.File("videoconverter"));
    }
    void TearDown() override { window.reset(); }

    TSettings& Settings() { return window->Model().Settings(); }

    // Opens the dialog from the Tools menu and runs act inside it; the dialog is closed with
    // Cancel afterwards if act left it open. Returns the dialog's result.
    int InDialog(const std::function<void(TfrmPreference&)>& act) {
        int result = -1;
        QTimer::singleShot(0, window.get(), [&] {
            auto* dialog = qobject_cast<TfrmPreference*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                ADD_FAILURE() << "no modal preferences dialog";
                return;
            }
            QObject::connect(dialog, &QDialog::finished, window.get(), [&](int r) { result = r; });
            act(*dialog);
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        window->Ui().mniPreference->trigger();
        return result;
    }
    template <typename T> static T* Get(TfrmPreference& dialog, const char* name) {
        T* widget = Child<T>(dialog, name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    static void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // A check box reacts only on its box and caption, which a short caption leaves left of the
    // widget's centre.
    static void Click(QCheckBox* box) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
};

} // namespace

TEST_F(PreferenceWindowFixture, FirstOpeningShowsTheDefaultsWithItsCaptions) {
    InDialog([&](TfrmPreference& d) {
        EXPECT_EQ(d.windowTitle(), "Preference");
        EXPECT_GE(d.width(), 480);
        EXPECT_GE(d.height(), 390);
        EXPECT_EQ(Get<QLineEdit>(d, "edtSnapDirectory")->text().toStdString(),
                  home.File("videoconverter"));
        EXPECT_TRUE(Get<QLineEdit>(d, "edtSnapDirectory")->isReadOnly());
        const std::pair<const char*, const char*> boxes[] = {{"ckFullSize", "Full Size"},
                                                             {"ckSmallSize", "Small Size"},
                                                             {"ckBmp", "BMP"},
                                                             {"ckJpg", "JPG"}};
        for (const auto& [name, caption] : boxes) {
            EXPECT_EQ(Get<QCheckBox>(d, name)->text(), caption);
            EXPECT_TRUE(Get<QCheckBox>(d, name)->isChecked()) << name;
        }
        EXPECT_EQ(Get<QLabel>(d, "lblCmp")->text(), "Jpg Compression Quality:");
        EXPECT_EQ(Get<QSpinBox>(d, "spedCmp")->value(), 30);
        EXPECT_EQ(Get<QSlider>(d, "trcCmp")->value(), 30);
        EXPECT_EQ(Get<QSlider>(d, "trcCmp")->minimum(), 1);
        EXPECT_EQ(Get<QSpinBox>(d, "spedCmp")->maximum(), 100);
        EXPECT_EQ(Get<QGroupBox>(d, "rdGrpPriority")->title(), "Work priority");
        QStringList items;
        for (int i = 0; i < 4; ++i) {
            QRadioButton* item =
                Get<QRadioButton>(d, QString("rdPriority%1").arg(i).toLatin1().constData());
            items << item->text();
            EXPECT_EQ(item->isChecked(), i == 1);
        }
        EXPECT_EQ(items, QStringList({"Idle", "Normal", "Lower", "Lowest"}));
        EXPECT_EQ(Get<QPushButton>(d, "btnBrows")->text(), "&Brows");
        EXPECT_EQ(Get<QPushButton>(d, "btnOpen")->text(), "&Open");
        EXPECT_EQ(Get<QPushButton>(d, "btnDefault")->text(), "&Default");
        EXPECT_EQ(Get<QPushButton>(d, "btnOk")->text(), "&Ok");
    });
    EXPECT_FALSE(std::filesystem::exists(Settings().Ini().FileName()) &&
                 Settings().Ini().ValueExists("settings", "snapBmp"))
        << "Cancel writes nothing";
}

TEST_F(PreferenceWindowFixture, ClicksFollowTheRulesAndOkStoresEverything) {
    std::filesystem::create_directories(home.File("pictures"));
    shell.folderAnswers.push_back(home.File("pictures"));
    const int result = InDialog([&](TfrmPreference& d) {
        QCheckBox* full = Get<QCheckBox>(d, "ckFullSize");
        QCheckBox* small = Get<QCheckBox>(d, "ckSmallSize");
        Click(full);
        EXPECT_FALSE(full->isChecked());
        Click(small);
        EXPECT_TRUE(small->isChecked()) << "the only checked size stays checked";
        Click(Get<QCheckBox>(d, "ckBmp"));
        Click(Get<QCheckBox>(d, "ckJpg"));
        EXPECT_TRUE(Get<QCheckBox>(d, "ckJpg")->isChecked()) << "the only checked format too";
        Click(Get<QCheckBox>(d, "ckBmp"));
        Click(Get<QCheckBox>(d, "ckJpg"));
        EXPECT_FALSE(Get<QSlider>(d, "trcCmp")->isEnabled()) << "no JPEG: no quality";
        EXPECT_FALSE(Get<QSpinBox>(d, "spedCmp")->isEnabled());
        Click(Get<QCheckBox>(d, "ckJpg"));
        EXPECT_TRUE(Get<QSpinBox>(d, "spedCmp")->isEnabled());
        Get<QSlider>(d, "trcCmp")->setValue(75);
        EXPECT_EQ(Get<QSpinBox>(d, "spedCmp")->value(), 75) << "the two mirror each other";
        Get<QSpinBox>(d, "spedCmp")->stepBy(-5);
        EXPECT_EQ(Get<QSlider>(d, "trcCmp")->value(), 70);
        Click(Get<QRadioButton>(d, "rdPriority2"));
        QComboBox* atOnce = Get<QComboBox>(d, "cbAtOnce");
        EXPECT_EQ(atOnce->currentText(), "Auto");
        EXPECT_EQ(atOnce->count(), 17) << "Auto and 1 to 16";
        EXPECT_EQ(atOnce->accessibleName(), "Conversions at once");
        atOnce->setFocus();
        QTest::keyClick(atOnce, Qt::Key_Down);
        QTest::keyClick(atOnce, Qt::Key_Down);
        EXPECT_EQ(atOnce->currentText(), "2");
        // The folder chooser's folder is stored at once and shown.
        Click(Get<QPushButton>(d, "btnBrows"));
        EXPECT_EQ(Get<QLineEdit>(d, "edtSnapDirectory")->text().toStdString(),
                  home.File("pictures"));
        EXPECT_EQ(Settings().SnapOutputDir(), home.File("pictures"));
        Click(Get<QPushButton>(d, "btnOpen"));
        Click(Get<QPushButton>(d, "btnOk"));
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(shell.dialogs, std::vector<std::string>{"ChooseFolder"});
    EXPECT_EQ(shell.opened, std::vector<std::string>{home.File("pictures")});
    EXPECT_FALSE(Settings().SnapFullSize());
    EXPECT_TRUE(Settings().SnapSmallSize());
    EXPECT_TRUE(Settings().SnapBmp());
    EXPECT_TRUE(Settings().SnapJpg());
    EXPECT_EQ(Settings().JpgCompression(), 70);
    EXPECT_EQ(Settings().PriorityIndex(), 2);
    EXPECT_EQ(Settings().ConversionsAtOnce(), 2);

    // Reopened, the reused dialog shows what is stored; Default changes the boxes only until
    // Cancel.
    InDialog([&](TfrmPreference& d) {
        EXPECT_EQ(&d, window->PreferenceWindow());
        EXPECT_FALSE(Get<QCheckBox>(d, "ckFullSize")->isChecked());
        EXPECT_TRUE(Get<QRadioButton>(d, "rdPriority2")->isChecked());
        EXPECT_EQ(Get<QComboBox>(d, "cbAtOnce")->currentText(), "2");
        Click(Get<QPushButton>(d, "btnDefault"));
        EXPECT_EQ(Get<QComboBox>(d, "cbAtOnce")->currentText(), "Auto");
        EXPECT_TRUE(Get<QCheckBox>(d, "ckFullSize")->isChecked());
        EXPECT_FALSE(Get<QCheckBox>(d, "ckSmallSize")->isChecked());
        EXPECT_FALSE(Get<QCheckBox>(d, "ckJpg")->isChecked());
        EXPECT_EQ(Get<QSpinBox>(d, "spedCmp")->value(), 20);
        EXPECT_TRUE(Get<QRadioButton>(d, "rdPriority1")->isChecked());
        Click(Get<QPushButton>(d, "btnCancel"));
    });
    EXPECT_EQ(Settings().JpgCompression(), 70);
    EXPECT_EQ(Settings().PriorityIndex(), 2);
    EXPECT_EQ(Settings().ConversionsAtOnce(), 2);

    // A folder of fewer than four characters is refused with the message and kept out.
    shell.folderAnswers.push_back("/ab");
    InDialog([&](TfrmPreference& d) { Click(Get<QPushButton>(d, "btnBrows")); });
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "The path /ab is not a valid directory.");
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_EQ(Settings().SnapOutputDir(), home.File("pictures"));
}
