// The watermark and effects editor on real widgets: names, captions, ranges and defaults of its
// controls, and clicks, drags and key presses that must change the job's items.
#include "GuiTestHelpers.h"
#include "JobList.h"
#include "LayeredView.h"
#include "MainPreview.h"
#include "RangeSlider.h"
#include "RecordingShell.h"
#include "VantreApp.h"
#include "VideoWidget.h"
#include "WaterMarkMessages.h"
#include "WaterMarkPlayback.h"
#include "WaterMarkText.h"
#include "WinMain.h"
#include "WinWaterMark.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <fstream>

using gui_test::Child;
using gui_test::SharedClips;
using gui_test::WaitUntil;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

// A minute of a tiny picture, one frame a second: a seek lands where playing cannot get to
// while the test runs.
const std::string& MinuteClip() {
    static const TempDir dir;
    static const std::string path = [] {
        const std::string file = dir.File("minute.mkv");
        testing_support::Ffmpeg("-f lavfi -i testsrc=duration=60:size=32x24:rate=1 -c:v mpeg4 "
                                "-g 5 " +
                                ShellQuote(file));
        return file;
    }();
    return path;
}

// The editor's player reports the file open (it rebuilds the list then).
bool WaitOpened(TfrmWaterMark& editor) {
    return WaitUntil([&] { return editor.Model().Opened(); });
}

struct WaterMarkFixture : ::testing::Test {
    TempDir dir;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    TJobList jobs;
    std::unique_ptr<TfrmWaterMark> editor;
    std::string logo = dir.File("logo.bmp");

    void SetUp() override {
        testing_support::RequirePlayerLibraries();
        QImage picture(20, 10, QImage::Format_RGB32);
        picture.fill(qRgb(200, 40, 40));
        ASSERT_TRUE(picture.save(QString::fromStdString(logo), "BMP"));
        auto record = std::make_unique<TlvFilesRecord>();
        record->SourceFile = SharedClips().beach;
        jobs.Append(std::move(record));
    }
    void TearDown() override { editor.reset(); }

    TlvFilesRecord& Job() { return jobs.Record(0); }
    void Open() {
        editor = std::make_unique<TfrmWaterMark>(jobs);
        editor->show();
        QApplication::setActiveWindow(editor.get());
        ASSERT_TRUE(WaitUntil([&] { return editor->isActiveWindow(); }));
        ASSERT_TRUE(WaitOpened(*editor));
    }
    const TWaterMarkUi& Ui() const { return editor->Ui(); }
    TWaterMarkModel& Model() { return editor->Model(); }
    // A point of the frame as a point of the view's viewport.
    QPoint At(QPointF framePoint) const { return Ui().ImgView->ToView(framePoint).toPoint(); }
    QWidget* Viewport() const { return Ui().ImgView->viewport(); }
    int AddLogo() {
        shell.fileAnswers.push_back({logo});
        Ui().btnAddImage->click();
        return Model().Count() - 1;
    }
    std::vector<QString> ListTexts() const {
        std::vector<QString> texts;
        for (int row = 0; row < Ui().lsbox->count(); ++row) {
            texts.push_back(Ui().lsbox->item(row)->text());
        }
        return texts;
    }
};

} // namespace

TEST_F(WaterMarkFixture, ControlsCarryTheirNamesCaptionsRangesAndDefaults) {
    Open();
    EXPECT_EQ(editor->windowTitle().toStdString(), "Water Mark  " + SharedClips().beach);
    EXPECT_GE(editor->width(), 786);
    EXPECT_GE(editor->height(), 605);
    EXPECT_EQ(Ui().pnlPreview->size(), QSize(440, 330));
    EXPECT_EQ(Ui().suiPageControl1->tabText(0), "Watermark");
    EXPECT_EQ(Ui().suiPageControl1->tabText(1), "Effect");
    EXPECT_EQ(Ui().pnlPreview->currentWidget(), Ui().ImgView);
    const std::pair<const char*, const char*> captions[] = {
        {"btnAddText", "Add Text"},
        {"btnAddImage", "Add Image"},
        {"btnDelete", "Delete"},
        {"btnUp", "Up"},
        {"btnDown", "Down"},
        {"btnOk", "OK"},
        {"btnCancel", "Cancel"},
        {"btnReset", "Reset"},
        {"btnHelp", "&Help"},
        {"suiChkBold", "Bold"},
        {"suiChkItalic", "Italic"},
        {"suiChkUnderline", "Underline"},
        {"suiChkStrikeOut", "Strikeout"},
        {"rb1", "Background color"},
        {"rb2", "Transparent"},
    };
    for (const auto& [name, caption] : captions) {
        const auto* button = Child<QAbstractButton>(*editor, name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->text(), caption);
    }
    QStringList labels;
    for (const QLabel* label : editor->findChildren<QLabel*>()) {
        labels << label->text();
    }
    for (const char* label : {"Horizontal Position:", "Vertical Position:", "Transparency:",
                              "Start time:", "End Time:", "Font Color:", "Font:", "Font Size:",
                              "Brightness:", "Contrast:", "Saturation:", "Exposure:"}) {
        EXPECT_TRUE(labels.contains(label)) << label;
    }
    EXPECT_EQ(editor->findChild<QGroupBox*>()->title(), "Font background color");
    const std::tuple<const char*, int, int> ranges[] = {
        {"trcBrightness", 0, 512},  {"trcContrast", -100, 100}, {"trcSaturation", 0, 512},
        {"trcExposure", -255, 512}, {"trcTextTran", 0, 255},    {"trcTextHoriz", 0, 64},
        {"trcTextVert", 0, 48},
    };
    for (const auto& [name, minimum, maximum] : ranges) {
        const auto* slider = Child<QSlider>(*editor, name);
        ASSERT_NE(slider, nullptr) << name;
        EXPECT_EQ(slider->minimum(), minimum) << name;
        EXPECT_EQ(slider->maximum(), maximum) << name;
    }
    EXPECT_EQ(Ui().spedtExposure->minimum(), -255);
    EXPECT_EQ(Ui().spedtBrightness->value(), 255);
    EXPECT_EQ(Ui().spedtBrightness->text(), "255");
    EXPECT_EQ(Ui().trcRange->Maximum(), 2);
    // The controls of a new list.
    EXPECT_EQ(Ui().suiFontSizeCmb->count(), 64);
    EXPECT_EQ(Ui().suiFontSizeCmb->currentIndex(), 19);
    EXPECT_EQ(Ui().suiFontSizeCmb->currentText(), "26");
    EXPECT_EQ(Ui().suiFontCmb->currentIndex(), 0);
    EXPECT_EQ(Ui().suiColorBoxcmb->currentIndex(), 12);
    EXPECT_EQ(Ui().suiColorBoxcmb->currentText(), "Blue");
    EXPECT_EQ(Ui().suiColorBoxbackground->currentIndex(), 2);
    EXPECT_EQ(Ui().suiColorBoxbackground->count(), 50);
    EXPECT_EQ(Ui().trcTextTran->value(), 125);
    EXPECT_EQ(Ui().edtTextTran->text(), "125");
    EXPECT_TRUE(Ui().rb1->isChecked());
    EXPECT_FALSE(Ui().edt1->isVisible());
}

TEST_F(WaterMarkFixture, AddTextEditsInPlaceAndEveryStyleChangeRedrawsTheLayer) {
    Open();
    Ui().rb1->click(); // "Background color" before adding: the new text is transparent anyway
    Ui().btnAddText->click();
    ASSERT_EQ(ListTexts(), std::vector<QString>{"Add Text"});
    EXPECT_TRUE(Ui().rb2->isChecked());
    EXPECT_FALSE(Ui().suiColorBoxbackground->isEnabled());
    ASSERT_TRUE(Ui().edt1->isVisible());
    EXPECT_TRUE(Ui().edt1->hasFocus());
    EXPECT_EQ(Ui().edt1->geometry().left(), 21);
    EXPECT_EQ(Ui().edt1->width(), Ui().lsbox->width() - 25);
    const int id = Model().Row(0).Id;
    EXPECT_EQ(Ui().ImgView->Selected(), id);

    QTest::keyClick(Ui().edt1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Ui().edt1, "Sun");
    EXPECT_EQ(ListTexts(), std::vector<QString>{"Sun"});
    const TWaterMarkFont font = Model().Row(0).Font;
    EXPECT_EQ(Ui().ImgView->LayerRect(id).size(), QSizeF(WaterMarkTextExtent("Sun", font)));
    QTest::keyClick(Ui().edt1, Qt::Key_Return);
    EXPECT_FALSE(Ui().edt1->isVisible());

    const QSizeF plain = Ui().ImgView->LayerRect(id).size();
    const QImage before = Model().Row(0).Layer.Picture;
    Ui().suiChkBold->click();
    EXPECT_EQ(Model().Row(0).Font.Style, TWaterMarkFont::Bold);
    EXPECT_NE(Model().Row(0).Layer.Picture, before);
    Ui().suiChkStrikeOut->click();
    EXPECT_EQ(Model().Row(0).Font.Style, TWaterMarkFont::Bold | TWaterMarkFont::StrikeOut);
    Ui().suiFontSizeCmb->setCurrentText("40");
    EXPECT_EQ(Model().Row(0).Font.Size, 40);
    EXPECT_GT(Ui().ImgView->LayerRect(id).height(), plain.height());
    Ui().suiColorBoxcmb->setCurrentIndex(9); // red
    EXPECT_EQ(Model().Row(0).Font.Color, 0x0000FFu);
    Ui().rb1->click();
    EXPECT_TRUE(Model().Row(0).HasBackColor);
    EXPECT_TRUE(Ui().suiColorBoxbackground->isEnabled());
    Ui().suiColorBoxbackground->setCurrentIndex(15); // white
    EXPECT_EQ(Model().Row(0).BackColor, 0xFFFFFFu);
    EXPECT_EQ(Model().Row(0).Layer.Picture.pixel(0, 0), qRgb(255, 255, 255));

    // A double click on the row opens the editor again with its text.
    // (The test's double click comes alone; a real one follows a click.)
    const QPoint row = Ui().lsbox->visualItemRect(Ui().lsbox->item(0)).center();
    QTest::mouseClick(Ui().lsbox->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(Ui().lsbox->viewport(), Qt::LeftButton, {}, row);
    ASSERT_TRUE(WaitUntil([&] { return Ui().edt1->isVisible(); }));
    EXPECT_EQ(Ui().edt1->text(), "Sun");
}

TEST_F(WaterMarkFixture, TheViewSelectsMovesAndResizesLayersWithCtrlKeepingTheCentre) {
    Open();
    ASSERT_EQ(AddLogo(), 0);
    const int id = Model().Row(0).Id;
    // Centred on the picture's centre, at the file's size.
    EXPECT_EQ(Ui().ImgView->LayerRect(id), QRectF(22, 19, 20, 10));
    EXPECT_EQ(Ui().edtTextHoriz->text(), "22");
    EXPECT_FALSE(Ui().suiFontCmb->isEnabled()) << "font controls are for text items";

    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, At({5, 5}));
    EXPECT_EQ(Ui().ImgView->Selected(), -1);
    EXPECT_EQ(Model().SelectedLayer(), -1);
    EXPECT_EQ(Ui().lsbox->currentRow(), 0);
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, At({30, 24}));
    EXPECT_EQ(Ui().ImgView->Selected(), id);

    // A move by a drag inside the layer; the sliders follow.
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, At({30, 24}));
    QTest::mouseMove(Viewport(), At({40, 30}));
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, At({40, 30}));
    QRectF rect = Ui().ImgView->LayerRect(id);
    EXPECT_NEAR(rect.left(), 32, 0.5);
    EXPECT_NEAR(rect.top(), 25, 0.5);
    EXPECT_EQ(Ui().edtTextHoriz->text().toInt(), RoundPixel(rect.left()));
    EXPECT_EQ(Ui().edtTextVert->text().toInt(), RoundPixel(rect.top()));

    // The bottom-right handle with Ctrl: the centre stays.
    const QPointF centre = rect.center();
    QTest::mousePress(Viewport(), Qt::LeftButton, Qt::ControlModifier, At(rect.bottomRight()));
    QTest::mouseMove(Viewport(), At(rect.bottomRight() + QPointF(6, 4)));
    QMouseEvent move(QEvent::MouseMove, At(rect.bottomRight() + QPointF(6, 4)),
                     Viewport()->mapToGlobal(At(rect.bottomRight() + QPointF(6, 4))), Qt::NoButton,
                     Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(Viewport(), &move);
    QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::ControlModifier,
                        At(rect.bottomRight() + QPointF(6, 4)));
    const QRectF resized = Ui().ImgView->LayerRect(id);
    EXPECT_GT(resized.width(), rect.width() + 8);
    EXPECT_NEAR(resized.center().x(), centre.x(), 0.6);
    EXPECT_NEAR(resized.center().y(), centre.y(), 0.6);
    EXPECT_EQ(Model().Row(0).Layer.Rect, resized);

    // Transparency slider: the layer's opacity.
    Ui().trcTextTran->setValue(51);
    EXPECT_EQ(Ui().edtTextTran->text(), "51");
    EXPECT_DOUBLE_EQ(Ui().ImgView->LayerOpacity(id), 51 / 255.0);
}

TEST_F(WaterMarkFixture, UpAndDownReorderTheListAndTheStacking) {
    Open();
    Ui().btnAddText->click();
    QTest::keyClick(Ui().edt1, Qt::Key_Return);
    AddLogo();
    const int text = Model().Row(0).Id;
    const int image = Model().Row(1).Id;
    EXPECT_EQ(Ui().ImgView->StackingOrder(), (std::vector<int>{text, image}));
    EXPECT_FALSE(Ui().btnDown->isEnabled());
    Ui().btnUp->click();
    EXPECT_EQ(ListTexts(), (std::vector<QString>{QString::fromStdString(logo), "Add Text"}));
    EXPECT_EQ(Ui().ImgView->StackingOrder(), (std::vector<int>{image, text}));
    EXPECT_EQ(Ui().lsbox->currentRow(), 0);
    EXPECT_FALSE(Ui().btnUp->isEnabled());
    Ui().btnDown->click();
    EXPECT_EQ(Ui().ImgView->StackingOrder(), (std::vector<int>{text, image}));
    EXPECT_EQ(ListTexts(), (std::vector<QString>{"Add Text", QString::fromStdString(logo)}));

    // Delete: the row before is selected, with its layer.
    Ui().btnDelete->click();
    EXPECT_EQ(ListTexts(), std::vector<QString>{"Add Text"});
    EXPECT_EQ(Ui().ImgView->Selected(), text);
    EXPECT_EQ(Ui().ImgView->StackingOrder(), std::vector<int>{text});
}

TEST_F(WaterMarkFixture, OkStoresTheItemsAndReopeningShowsThemCancelStoresNothing) {
    Open();
    AddLogo();
    Ui().trcTextHoriz->setValue(3);
    Ui().trcTextVert->setValue(4);
    Ui().btnStartUp1->click();
    EXPECT_EQ(Ui().edtStart->text(), "0:00:01");
    Ui().suiPageControl1->setCurrentIndex(1);
    EXPECT_EQ(Ui().pnlPreview->currentWidget(), Ui().imgPreview);
    Ui().trcBrightness->setValue(300);
    EXPECT_EQ(Ui().spedtBrightness->value(), 300);
    Ui().spedtContrast->stepUp();
    EXPECT_EQ(Ui().trcContrast->value(), 1);
    Ui().btnOk->click();
    EXPECT_FALSE(editor->isVisible());
    ASSERT_EQ(Job().WaterMarks.size(), 1u);
    EXPECT_EQ(Job().WaterMarks[0].ImageFile, logo);
    EXPECT_EQ(Job().WaterMarks[0].ImageLeft, 3);
    EXPECT_EQ(Job().WaterMarks[0].ImageTop, 4);
    EXPECT_EQ(Job().WaterMarks[0].StartSec, 1);
    EXPECT_EQ(Job().WaterMarks[0].EndSec, 2);
    EXPECT_EQ(Job().Brightness, 300);
    EXPECT_EQ(Job().Contrast, 1);

    Open();
    ASSERT_EQ(ListTexts(), std::vector<QString>{QString::fromStdString(logo)});
    EXPECT_EQ(Ui().ImgView->LayerRect(Model().Row(0).Id), QRectF(3, 4, 20, 10));
    EXPECT_EQ(Ui().edtStart->text(), "0:00:01");
    EXPECT_EQ(Ui().trcBrightness->value(), 300);
    Ui().btnReset->click();
    EXPECT_EQ(Ui().spedtBrightness->text(), "255");
    EXPECT_EQ(Ui().spedtContrast->text(), "0");
    EXPECT_EQ(Ui().spedtSaturation->text(), "255");
    EXPECT_EQ(Ui().spedtExposure->text(), "0");
    Ui().btnDelete->click();
    Ui().btnCancel->click();
    EXPECT_EQ(Job().WaterMarks.size(), 1u);
    EXPECT_EQ(Job().Brightness, 300);
}

TEST_F(WaterMarkFixture, TheRangeKeepsTheStartBelowTheEnd) {
    Open();
    Ui().btnAddText->click();
    QTest::keyClick(Ui().edt1, Qt::Key_Escape);
    TRangeSlider* range = Ui().trcRange;
    EXPECT_EQ(range->Lower(), 0);
    EXPECT_EQ(range->Upper(), 2);
    EXPECT_EQ(Ui().edtEnd->text(), "0:00:02");
    // The lower thumb dragged onto the upper one stops a second before it.
    QTest::mousePress(range, Qt::LeftButton, {}, QPoint(range->ThumbX(0), range->height() / 2));
    QTest::mouseMove(range, QPoint(range->width() - 1, range->height() / 2));
    QMouseEvent move(QEvent::MouseMove, QPointF(range->width() - 1, range->height() / 2),
                     range->mapToGlobal(QPointF(range->width() - 1, range->height() / 2)),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(range, &move);
    QTest::mouseRelease(range, Qt::LeftButton, {}, QPoint(range->width() - 1, range->height() / 2));
    EXPECT_EQ(range->Lower(), 1);
    EXPECT_EQ(Model().Row(0).StartSec, 1);
    EXPECT_EQ(Ui().edtStart->text(), "0:00:01");
    Ui().btnStartUpEndDown->click();
    EXPECT_EQ(Model().Row(0).EndSec, 2);
    EXPECT_EQ(Ui().edtEnd->text(), "0:00:02");
    Ui().btnStartUpStartDown->click();
    Ui().btnStartUpEndDown->click();
    EXPECT_EQ(Model().Row(0).StartSec, 0);
    EXPECT_EQ(Model().Row(0).EndSec, 1);
    EXPECT_EQ(range->Upper(), 1);
}

TEST_F(WaterMarkFixture, AnUnreadableImageLeavesNoRowAndHelpOpensItsPage) {
    Open();
    std::ofstream(dir.File("bad.bmp")) << "no picture";
    shell.fileAnswers.push_back({dir.File("bad.bmp")});
    Ui().btnAddImage->click();
    EXPECT_EQ(Ui().lsbox->count(), 0);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].text, "Cannot read the bitmap file " + dir.File("bad.bmp"));
    Ui().btnHelp->click();
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], wmmsg::HelpLink);
}

TEST_F(WaterMarkFixture, ThePreviewPlaysPausesAndRewindsAtTheEnd) {
    Open();
    // The file plays as the editor opens; its pictures reach the view and the player's panel.
    EXPECT_TRUE(Ui().lblLength->text().startsWith("Duration:    00:00:02."))
        << Ui().lblLength->text().toStdString();
    EXPECT_FALSE(Ui().btnPlay->isEnabled());
    EXPECT_TRUE(Ui().btnPause->isEnabled());
    EXPECT_TRUE(Ui().trcPreview->isEnabled());
    EXPECT_EQ(Ui().trcPreview->maximum(), Ui().trcPreview->width());
    ASSERT_TRUE(WaitUntil([&] { return !Ui().ImgView->Base().isNull(); }));
    EXPECT_EQ(Ui().ImgView->Base().size(), QSize(64, 48));
    const auto* panel = static_cast<TVideoWidget*>(Ui().imgPreview);
    ASSERT_TRUE(WaitUntil([&] { return panel->CurrentPicture() != nullptr; }));
    ASSERT_TRUE(WaitUntil([&] { return Ui().lblPTS->text().startsWith("Time:    00:00:0"); }));

    Ui().btnPause->click();
    EXPECT_TRUE(Ui().btnPlay->isEnabled());
    EXPECT_FALSE(Ui().btnPause->isEnabled());
    Ui().btnPlay->click();
    EXPECT_FALSE(Ui().btnPlay->isEnabled());
    EXPECT_TRUE(Ui().btnPause->isEnabled());
    // The end: rewound and paused, Play enabled, the slider at 0 and disabled.
    ASSERT_TRUE(WaitUntil([&] { return !Ui().trcPreview->isEnabled(); }));
    EXPECT_TRUE(Ui().btnPlay->isEnabled());
    EXPECT_FALSE(Ui().btnPause->isEnabled());
    EXPECT_EQ(Ui().trcPreview->value(), 0);
    Ui().btnPlay->click();
    EXPECT_TRUE(Ui().trcPreview->isEnabled()) << "Play enables the slider again";
    // Closed by the window's own close button: the player stops, no picture comes any more.
    editor->close();
    EXPECT_FALSE(editor->isVisible());
    EXPECT_FALSE(editor->Playback().IsOpen());
    EXPECT_FALSE(editor->Playback().Player().Hook());
    EXPECT_EQ(editor->Playback().Player().State(), psStop);
    EXPECT_FALSE(Ui().btnPlay->isEnabled());
    EXPECT_FALSE(Ui().btnPause->isEnabled());
}

TEST_F(WaterMarkFixture, AReleaseOnThePositionSliderSeeks) {
    Job().SourceFile = MinuteClip();
    Open();
    EXPECT_EQ(Model().Controls().RangeMax, 60);
    ASSERT_TRUE(WaitUntil([&] { return Model().LastPts() >= 0; }));
    QSlider* slider = Ui().trcPreview;
    const QPoint at(slider->width() * 3 / 4, slider->height() / 2);
    QTest::mousePress(slider, Qt::LeftButton, {}, at);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, at);
    // Playing from the start would take half a minute to get there.
    ASSERT_TRUE(WaitUntil([&] { return Model().LastPts() >= 30000000; }, 15000));
    // "Time:    00:00:ss.mmm"
    EXPECT_TRUE(WaitUntil(
        [&] {
            const QString shown = Ui().lblPTS->text();
            return shown.startsWith("Time:    00:00:") && shown.mid(15, 2).toInt() >= 30;
        },
        15000))
        << Ui().lblPTS->text().toStdString();
}

TEST_F(WaterMarkFixture, ThePlayersPanelShowsTheFramesAdjusted) {
    Job().Contrast = -100; // every pixel becomes grey 170
    Open();
    Ui().suiPageControl1->setCurrentIndex(1);
    const auto* panel = static_cast<TVideoWidget*>(Ui().imgPreview);
    const auto centreGrey = [&] {
        const std::shared_ptr<const TSinkPicture> picture = panel->CurrentPicture();
        if (picture == nullptr) {
            return false;
        }
        const std::uint8_t* pixel =
            picture->ScanLine(picture->Height() / 2) + 4 * (picture->Width() / 2);
        return std::abs(pixel[0] - 170) <= 2 && std::abs(pixel[1] - 170) <= 2 &&
               std::abs(pixel[2] - 170) <= 2;
    };
    EXPECT_TRUE(WaitUntil(centreGrey));
}

TEST_F(WaterMarkFixture, PausedOnTheEffectTabASliderShowsTheLastFrameReRendered) {
    Job().SourceFile = MinuteClip();
    Open();
    Ui().suiPageControl1->setCurrentIndex(1);
    EXPECT_EQ(Ui().pnlPreview->currentWidget(), Ui().imgPreview);
    ASSERT_TRUE(WaitUntil([&] { return !Model().LastFrame().Empty(); }));
    Ui().btnPause->click();
    const QImage before = Ui().ImgView->Base();
    Ui().trcBrightness->setValue(450);
    EXPECT_EQ(Ui().pnlPreview->currentWidget(), Ui().ImgView);
    EXPECT_NE(Ui().ImgView->Base(), before);
    EXPECT_EQ(Ui().ImgView->Base(), Model().BasePicture());
    EXPECT_FALSE(Ui().ImgView->isEnabled()) << "no layer is picked from the Effect tab";
    Ui().btnPlay->click();
    EXPECT_EQ(Ui().pnlPreview->currentWidget(), Ui().imgPreview) << "playing shows the player's";
}

TEST_F(WaterMarkFixture, ListRowsAreDrawnWithTheirFillsFrameAndIcons) {
    Open();
    Ui().btnAddText->click();
    QTest::keyClick(Ui().edt1, Qt::Key_Return);
    AddLogo();
    ASSERT_EQ(Ui().lsbox->currentRow(), 1);
    const QRect text = Ui().lsbox->visualItemRect(Ui().lsbox->item(0));
    const QRect image = Ui().lsbox->visualItemRect(Ui().lsbox->item(1));
    EXPECT_EQ(text.height(), 24);
    EXPECT_EQ(image.top(), text.bottom() + 1);
    const QImage shot = Ui().lsbox->viewport()->grab().toImage();
    const int right = text.right() - 3;
    EXPECT_EQ(shot.pixel(right, text.center().y()), qRgb(246, 247, 248));
    EXPECT_EQ(shot.pixel(right, image.center().y()), qRgb(185, 204, 236)) << "the focused row";
    EXPECT_EQ(shot.pixel(right, image.top()), qRgb(122, 160, 218)) << "its frame";
    // The icons differ by kind and sit within the first 17 pixels.
    QImage textIcon = shot.copy(1, text.top() + 4, 16, 16);
    QImage imageIcon = shot.copy(1, image.top() + 4, 16, 16);
    EXPECT_NE(textIcon, imageIcon.copy());
    int inked = 0;
    for (int x = 0; x < 16; ++x) {
        inked += textIcon.pixel(x, 8) != qRgb(246, 247, 248) ? 1 : 0;
    }
    EXPECT_GT(inked, 8);
    // An image row has no text to edit in place.
    QTest::mouseClick(Ui().lsbox->viewport(), Qt::LeftButton, {}, image.center());
    QTest::mouseDClick(Ui().lsbox->viewport(), Qt::LeftButton, {}, image.center());
    QApplication::processEvents();
    EXPECT_FALSE(Ui().edt1->isVisible());
}

TEST_F(WaterMarkFixture, AFileThatCannotBeOpenedSaysSoAndOkKeepsTheStoredItems) {
    std::ofstream(dir.File("broken.mp4")) << "no video here";
    Job().SourceFile = dir.File("broken.mp4");
    TWmRec stored;
    stored.Text = "Kept";
    Job().WaterMarks = {stored};
    editor = std::make_unique<TfrmWaterMark>(jobs);
    editor->show();
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].caption, "Warning");
    EXPECT_FALSE(shell.messages[0].text.empty());
    EXPECT_EQ(Ui().lsbox->count(), 0);
    EXPECT_FALSE(Ui().btnAddText->isEnabled());
    EXPECT_FALSE(Ui().btnPlay->isEnabled());
    EXPECT_FALSE(Ui().btnPause->isEnabled());
    Ui().trcBrightness->setValue(300);
    Ui().btnOk->click();
    ASSERT_EQ(Job().WaterMarks.size(), 1u);
    EXPECT_EQ(Job().WaterMarks[0].Text, "Kept");
    EXPECT_EQ(Job().Brightness, 300) << "the adjustments are stored all the same";
}

TEST(WaterMarkCommand, VideoEffectReusesOneModalEditorRebuiltForTheSelectedRow) {
    testing_support::RequirePlayerLibraries();
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scoped(shell);
    TVantreApp vantre(TUserPlaces{home.Path(), ""}, "");
    TfrmMain window(vantre);
    window.show();
    window.AddFiles({SharedClips().holiday, SharedClips().beach});
    ASSERT_TRUE(WaitUntil([&] { return !window.Adding(); }));
    window.Model().Jobs().Select(1);
    window.Ui().imgbtnPlay->click();
    ASSERT_TRUE(window.Preview().State().Playing());
    // The second opening edits the other row: nothing of the first row's editing is left.
    std::vector<TfrmWaterMark*> seen;
    for (const int row : {1, 0}) {
        window.Model().Jobs().Select(row);
        QTimer::singleShot(0, &window, [&, row] {
            auto* editor = window.findChild<TfrmWaterMark*>("frmWaterMark");
            ASSERT_NE(editor, nullptr);
            seen.push_back(editor);
            EXPECT_TRUE(editor->isModal());
            EXPECT_EQ(editor->JobRow(), row);
            EXPECT_TRUE(window.Preview().State().Stopped()) << "the file is the editor's";
            ASSERT_TRUE(WaitOpened(*editor));
            EXPECT_EQ(editor->Ui().trcSaturation->value(), 255) << "the row's own setting";
            editor->Ui().trcSaturation->setValue(100 + row);
            editor->Ui().btnOk->click();
        });
        window.Ui().mniVideoEffect->trigger();
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], seen[1]) << "made once, reused";
    EXPECT_EQ(window.findChildren<TfrmWaterMark*>().size(), 1u);
    EXPECT_EQ(window.Model().Jobs().Record(1).Saturation, 101);
    EXPECT_EQ(window.Model().Jobs().Record(0).Saturation, 100);
    EXPECT_TRUE(shell.messages.empty());
}

TEST(LayeredViewTest, ThePictureIsFittedCentredOnACheckerboardWithBlendedLayers) {
    TLayeredView view;
    view.resize(200, 100);
    view.show();
    ASSERT_TRUE(WaitUntil([&] { return view.isVisible(); }));
    QImage base(40, 40, QImage::Format_RGB32);
    base.fill(qRgb(255, 0, 0));
    view.SetFrameSize(base.size());
    view.SetBase(base);
    QImage white(10, 10, QImage::Format_ARGB32_Premultiplied);
    white.fill(Qt::white);
    view.SetLayers({{7, QRectF(0, 0, 10, 10), 128, white, true},
                    {8, QRectF(30, 30, 10, 10), 255, white, false},
                    {9, QRectF(30, 0, 10, 10), 255, QImage(), true}});
    const QImage shot = view.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(200, 100));
    // 2.5 view pixels a frame pixel: the picture spans x 50..150, the rest is the checkerboard
    // of 13-pixel squares, grey at the top left.
    EXPECT_EQ(view.ToView({0, 0}), QPointF(50, 0));
    EXPECT_EQ(view.ToFrame({150, 100}), QPointF(40, 40));
    EXPECT_EQ(view.VisibleCentre(), QPointF(20, 20));
    EXPECT_EQ(shot.pixel(2, 2), qRgb(176, 176, 176));
    EXPECT_EQ(shot.pixel(15, 2), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(2, 15), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(15, 15), qRgb(176, 176, 176));
    EXPECT_EQ(shot.pixel(100, 50), qRgb(255, 0, 0));
    const QColor blended = shot.pixelColor(60, 10); // the half-opaque white layer
    EXPECT_EQ(blended.red(), 255);
    EXPECT_NEAR(blended.green(), 128, 3);
    EXPECT_EQ(shot.pixel(140, 90), qRgb(255, 0, 0)) << "a hidden layer is not drawn";
    int hatched = 0;
    for (int y = 1; y < 24; ++y) {
        for (int x = 126; x < 149; ++x) {
            hatched += shot.pixel(x, y) != qRgb(255, 0, 0) ? 1 : 0;
        }
    }
    EXPECT_GT(hatched, 20) << "a missing picture is hatched";
    EXPECT_EQ(view.LayerAt({140, 90}), -1);
    EXPECT_EQ(view.LayerAt({60, 10}), 7);
    // The selected layer's frame: handles at its corners, a move inside.
    view.SetSelected(7);
    EXPECT_EQ(view.HandleAt({75, 25}), TLayerHandle::BottomRight);
    EXPECT_EQ(view.HandleAt({62, 12}), TLayerHandle::Move);
    EXPECT_EQ(view.HandleAt({62.5, 0}), TLayerHandle::Top);
    view.SetLayers({});
    EXPECT_EQ(view.Selected(), -1);
}

TEST(WaterMarkEmpty, WithoutAJobTheEditorStaysEmptyAndAddsNothing) {
    testing_support::RecordingShell shell;
    TScopedShell scoped(shell);
    TJobList jobs;
    TfrmWaterMark editor(jobs);
    editor.show();
    EXPECT_EQ(editor.JobRow(), -1);
    EXPECT_FALSE(editor.Ui().btnAddText->isEnabled());
    EXPECT_FALSE(editor.Ui().btnAddImage->isEnabled());
    editor.btnAddTextClick();
    EXPECT_EQ(editor.Ui().lsbox->count(), 0);
    editor.Ui().btnOk->click();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_TRUE(shell.messages.empty());
}
