// The crop dialog on real widgets with the real player: the preview, the rectangle dragged
// with the mouse, the spin edits, what OK stores and what the next opening restores.
#include "WinCrop.h"

#include "GuiTestHelpers.h"
#include "RectTracker.h"
#include "SelectionSlider.h"
#include "TrimCropTestHelpers.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using gui_test::Child;
using gui_test::WaitUntil;
using trimcrop_test::AddJob;
using trimcrop_test::SharedClips;

namespace {

const QColor Background(166, 203, 240);

struct CropFixture : ::testing::Test {
    const trimcrop_test::Clips& clips = SharedClips();
    TJobList jobs;
    std::unique_ptr<TfrmCrop> dialog;

    void SetUp() override { testing_support::RequirePlayerLibraries(); }
    void TearDown() override { dialog.reset(); }

    // One dialog for every opening, as the main window keeps it.
    void Open() {
        if (!dialog) {
            dialog = std::make_unique<TfrmCrop>(jobs);
        }
        dialog->show();
    }
    template <typename T> T* Get(const char* name) { return Child<T>(*dialog, name); }
    TRectTracker* Tracker() { return Get<TRectTracker>("RectTracker"); }
    QRect Picture() {
        const TCropRect& p = dialog->Model().Picture();
        return {p.Left, p.Top, p.Width, p.Height};
    }
    int Spin(const char* name) { return Get<QSpinBox>(name)->value(); }
    void Click(const char* name) { QTest::mouseClick(Get<QAbstractButton>(name), Qt::LeftButton); }

    // The spin edits show the rectangle's margins inside P.
    void ExpectAgreement() {
        const QRect p = Picture();
        const QRect r = Tracker()->geometry();
        EXPECT_EQ(Spin("spedUp"), r.top() - p.top());
        EXPECT_EQ(Spin("spedDown"), p.height() + p.top() - r.height() - r.top());
        EXPECT_EQ(Spin("spedLeft"), r.left() - p.left());
        EXPECT_EQ(Spin("spedRight"), p.width() + p.left() - r.width() - r.left());
        EXPECT_TRUE(p.contains(r))
            << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    }
    // Drags with the left button from one point of the preview to another in steps.
    void Drag(QPoint from, QPoint to, int steps = 8) {
        QWidget* preview = Get<QLabel>("imgPreview");
        const auto local = [&](QPoint p) {
            return Tracker()->mapFromGlobal(preview->mapToGlobal(p));
        };
        QTest::mousePress(Tracker(), Qt::LeftButton, {}, local(from));
        for (int i = 1; i <= steps; ++i) {
            QTest::mouseMove(Tracker(), local(from + (to - from) * i / steps));
            ExpectAgreement();
        }
        QTest::mouseRelease(Tracker(), Qt::LeftButton, {}, local(to));
    }
    QColor PreviewPixel(int x, int y) {
        return Get<QLabel>("imgPreview")->pixmap().toImage().pixelColor(x, y);
    }
};

} // namespace

TEST_F(CropFixture, OpensWithThePictureUnderTheRectangle) {
    AddJob(jobs, clips.wide, 2);
    jobs.Record(0).ZoomMode = "lbox";
    Open();
    EXPECT_EQ(dialog->windowTitle(), "Crop");
    EXPECT_GE(dialog->width(), 615);
    EXPECT_GE(dialog->height(), 435);
    EXPECT_EQ(Get<QLabel>("imgPreview")->size(), QSize(370, 253));
    EXPECT_EQ(Get<QWidget>("pan1")->size(), QSize(33, 41));
    // 640x360 fitted into 370x253: 22 pixels above and below.
    EXPECT_EQ(Picture(), QRect(0, 22, 370, 209));
    EXPECT_TRUE(Tracker()->isVisible());
    EXPECT_EQ(Tracker()->geometry(), Picture());
    for (const char* name : {"spedUp", "spedDown", "spedLeft", "spedRight"}) {
        EXPECT_TRUE(Get<QSpinBox>(name)->isEnabled()) << name;
        EXPECT_EQ(Spin(name), 0) << name;
        EXPECT_TRUE(Get<QSpinBox>(name)->findChild<QLineEdit*>()->isReadOnly()) << name;
    }
    EXPECT_EQ(Get<QGroupBox>("grpbxCropSize")->title(), "Crop Size");
    EXPECT_EQ(Get<QLabel>("lblUp")->text(), "Up");
    EXPECT_EQ(Get<QLabel>("lblRight")->text(), "Right");
    EXPECT_EQ(Get<QPushButton>("btnDefault")->text(), "&Default");
    EXPECT_EQ(Get<QPushButton>("btnOk")->text(), "Ok");
    EXPECT_EQ(Get<QPushButton>("btnCancel")->text(), "Cancel");
    EXPECT_EQ(Get<QLabel>("lblSourceName")->text().toStdString(), clips.wide);
    EXPECT_TRUE(Get<QLabel>("lblLength")->text().startsWith("2.0"));
    EXPECT_TRUE(Get<QLabel>("lblLength")->text().endsWith(" Second"));
    auto* zoom = Get<QComboBox>("cmbZoom");
    EXPECT_FALSE(zoom->isVisible());
    EXPECT_EQ(zoom->currentIndex(), 1);
    EXPECT_FALSE(Get<QToolButton>("imgbtnPlay")->isEnabled());
    EXPECT_TRUE(Get<QToolButton>("imgbtnPause")->isEnabled());

    // Hooked frames reach the preview: the picture inside P, the background around it.
    ASSERT_TRUE(WaitUntil([&] { return dialog->FramesDrawn() >= 2; }));
    EXPECT_EQ(PreviewPixel(185, 5), Background);
    EXPECT_EQ(PreviewPixel(185, 248), Background);
    EXPECT_NE(PreviewPixel(185, 126), Background);
}

TEST_F(CropFixture, DraggingTheLeftEdgeCutsAQuarterAndReopeningRestoresIt) {
    AddJob(jobs, clips.wide, 2);
    Open();
    const QRect p = Picture();
    // The left edge, grabbed in its middle, a quarter of the picture to the right.
    Drag({p.left() + 1, p.center().y()}, {p.left() + 1 + p.width() / 4, p.center().y()});
    const int left = Spin("spedLeft");
    EXPECT_NEAR(left, 92, 1);
    EXPECT_EQ(Spin("spedRight"), 0);
    EXPECT_EQ(Tracker()->geometry().right(), p.right());
    // Moved down, it already touches the bottom: back where the drag started.
    const QPoint inside = Tracker()->geometry().center();
    Drag(inside, inside + QPoint(0, 30));
    EXPECT_EQ(Spin("spedUp"), 0);
    Get<QSpinBox>("spedDown")->stepBy(12);
    ExpectAgreement();
    Drag(Tracker()->geometry().center(), Tracker()->geometry().center() + QPoint(0, 5));
    EXPECT_EQ(Spin("spedUp"), 5);
    EXPECT_EQ(Spin("spedDown"), 7);
    const int up = Spin("spedUp");
    const int down = Spin("spedDown");
    Click("btnOk");
    EXPECT_FALSE(dialog->isVisible());

    const TlvFilesRecord& record = jobs.Record(0);
    EXPECT_EQ(record.CropLeftView, left);
    EXPECT_EQ(record.CropUpView, up);
    EXPECT_EQ(record.CropDownView, down);
    EXPECT_EQ(record.CropRightView, 0);
    EXPECT_EQ(record.CropLeft % 2, 0);
    EXPECT_NEAR(record.CropLeft, 160, 2);
    EXPECT_EQ(record.CropRight, 0);
    EXPECT_EQ(record.CropTop, TCropModel::ToSourcePixels(up, 360, 209));
    EXPECT_EQ(record.CropBottom, TCropModel::ToSourcePixels(down, 360, 209));
    EXPECT_EQ(record.ZoomMode, "lbox") << "item 1 of the hidden selector";
    const QRect before = Tracker()->geometry();

    Open();
    EXPECT_EQ(Tracker()->geometry(), before);
    EXPECT_EQ(Spin("spedLeft"), left);
    EXPECT_EQ(Spin("spedUp"), up);
    ExpectAgreement();
}

TEST_F(CropFixture, SpinEditsAndDragsKeepTheRectangleInsideThePicture) {
    AddJob(jobs, clips.wide, 2);
    jobs.Record(0).ZoomMode = "pan";
    Open();
    const QRect p = Picture();
    auto* up = Get<QSpinBox>("spedUp");
    up->setFocus();
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(up, Qt::Key_Up);
    }
    EXPECT_EQ(Spin("spedUp"), 10);
    EXPECT_EQ(Tracker()->geometry().top(), p.top() + 10);
    Get<QSpinBox>("spedRight")->stepBy(40);
    Get<QSpinBox>("spedLeft")->stepBy(40);
    Get<QSpinBox>("spedDown")->stepBy(20);
    ExpectAgreement();
    EXPECT_EQ(Tracker()->geometry(),
              QRect(p.left() + 40, p.top() + 10, p.width() - 80, p.height() - 30));

    // Moves far past every edge and corner; the rectangle never leaves P.
    const QPoint targets[] = {{-200, 126}, {600, 126}, {185, -200}, {185, 600},
                              {-90, -90},  {600, 600}, {600, -50},  {-50, 600}};
    for (const QPoint& target : targets) {
        Drag(Tracker()->geometry().center(), target);
    }
    // The corners and edges stretched outwards stop at P.
    Drag(Tracker()->geometry().bottomRight(), {700, 700});
    EXPECT_EQ(Tracker()->geometry().right(), p.right());
    EXPECT_EQ(Tracker()->geometry().bottom(), p.bottom());
    Drag(Tracker()->geometry().topLeft(), {-300, -300});
    ExpectAgreement();
    EXPECT_EQ(Spin("spedUp"), 0);

    // A rectangle 10 pixels high only lets its margins shrink.
    Click("btnDefault");
    EXPECT_EQ(Tracker()->geometry(), p);
    up->setValue(p.height() - 10);
    ASSERT_EQ(Tracker()->geometry().height(), 10);
    up->stepBy(1);
    EXPECT_EQ(Spin("spedUp"), p.height() - 10);
    up->stepBy(-1);
    EXPECT_EQ(Spin("spedUp"), p.height() - 11);
    ExpectAgreement();

    Click("btnOk");
    EXPECT_EQ(jobs.Record(0).ZoomMode, "full");
}

TEST_F(CropFixture, AudioOnlyFilesHaveNothingToCrop) {
    AddJob(jobs, clips.tone, 2);
    jobs.Record(0).CropTop = 8;
    jobs.Record(0).CropUpView = 3;
    Open();
    EXPECT_FALSE(Tracker()->isVisible());
    EXPECT_FALSE(Tracker()->isEnabled());
    for (const char* name : {"spedUp", "spedDown", "spedLeft", "spedRight"}) {
        EXPECT_FALSE(Get<QSpinBox>(name)->isEnabled()) << name;
        EXPECT_EQ(Spin(name), 0) << name;
    }
    EXPECT_TRUE(Get<QToolButton>("imgbtnPause")->isEnabled());
    EXPECT_EQ(PreviewPixel(185, 126), Background);
    Click("btnOk");
    EXPECT_EQ(jobs.Record(0).CropTop, 0);
    EXPECT_EQ(jobs.Record(0).CropUpView, 0);
}

TEST_F(CropFixture, AFileThatCannotBeOpenedKeepsItsCrop) {
    AddJob(jobs, clips.missing, 2);
    jobs.Record(0).CropLeft = 40;
    jobs.Record(0).CropLeftView = 23;
    Open();
    EXPECT_FALSE(Get<QToolButton>("imgbtnPlay")->isEnabled());
    EXPECT_FALSE(Get<QToolButton>("imgbtnPause")->isEnabled());
    EXPECT_FALSE(Tracker()->isVisible());
    Click("btnOk");
    EXPECT_EQ(jobs.Record(0).CropLeft, 40);
    EXPECT_EQ(jobs.Record(0).CropLeftView, 23);
}

TEST_F(CropFixture, PlaysPausesAndReopensAfterTheEnd) {
    AddJob(jobs, clips.wide, 2);
    Open();
    ASSERT_TRUE(WaitUntil([&] { return dialog->Stopped(); }));
    EXPECT_TRUE(Get<QToolButton>("imgbtnPlay")->isEnabled());
    EXPECT_FALSE(Get<QToolButton>("imgbtnPause")->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return dialog->Paused(); }));
    const int drawn = dialog->FramesDrawn();

    Click("imgbtnPlay");
    EXPECT_FALSE(dialog->Stopped());
    EXPECT_FALSE(dialog->Paused());
    EXPECT_TRUE(Get<QToolButton>("imgbtnPause")->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return dialog->FramesDrawn() > drawn + 2; }));
    Click("imgbtnPause");
    EXPECT_TRUE(dialog->Paused());
    EXPECT_TRUE(Get<QToolButton>("imgbtnPlay")->isEnabled());
    EXPECT_EQ(dialog->Player().State(), psPause);
    Click("imgbtnPlay");
    EXPECT_FALSE(dialog->Paused());
    Click("btnCancel");
    EXPECT_EQ(dialog->Player().State(), psStop);
}

// The slider seeks where the mouse lets it go, and at once when the keyboard moves it; the
// pictures of the new place reach the preview.
TEST_F(CropFixture, SliderSeeksWhereItIsLetGoOrMovedByTheKeyboard) {
    constexpr std::int64_t Second = 1'000'000;
    AddJob(jobs, clips.minute, 60);
    Open();
    auto* slider = Get<TSelectionSlider>("trcPreview");
    const QPoint middle = slider->rect().center();
    QTest::mousePress(slider, Qt::LeftButton, {}, middle);
    EXPECT_TRUE(dialog->Dragging());
    slider->setValue(slider->maximum() / 2);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, middle);
    ASSERT_TRUE(WaitUntil([&] { return dialog->Player().Position() >= 29 * Second; }));
    const int drawn = dialog->FramesDrawn();
    ASSERT_TRUE(WaitUntil([&] { return dialog->FramesDrawn() > drawn; }));

    ASSERT_TRUE(WaitUntil([&] { return !dialog->Dragging(); }));
    slider->setValue(slider->maximum() / 4);
    ASSERT_TRUE(WaitUntil([&] { return dialog->Player().Position() < 25 * Second; }));
    EXPECT_GE(dialog->Player().Position(), 14 * Second);
    EXPECT_FALSE(dialog->Stopped());
}

TEST_F(CropFixture, TrackerGrabsEdgesCornersAndInside) {
    AddJob(jobs, clips.wide, 2);
    Open();
    const QSize size = Tracker()->size();
    using E = TRectTracker::Edge;
    EXPECT_EQ(Tracker()->EdgesAt({1, size.height() / 2}), E::Left);
    EXPECT_EQ(Tracker()->EdgesAt({size.width() / 2, 0}), E::Top);
    EXPECT_EQ(Tracker()->EdgesAt({size.width() - 1, size.height() - 1}), E::Right | E::Bottom);
    EXPECT_EQ(Tracker()->EdgesAt({0, size.height() - 2}), E::Left | E::Bottom);
    EXPECT_EQ(Tracker()->EdgesAt({size.width() / 2, size.height() / 2}), E::Move);
    // The right edge dragged far past the left one: the rectangle keeps its smallest size.
    const QRect p = Picture();
    Drag({p.right(), p.center().y()}, {-100, p.center().y()});
    EXPECT_EQ(Tracker()->width(), TRectTracker::MinimumSize);
    EXPECT_EQ(Spin("spedRight"), p.width() - TRectTracker::MinimumSize);
}
