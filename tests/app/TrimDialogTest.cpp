// The trim dialog on real widgets with the real player: the marks set with the player's
// position, what OK writes into the record and the row, the slider's seek and the end of
// playing.
#include "WinTrim.h"

#include "GuiTestHelpers.h"
#include "SelectionSlider.h"
#include "TrimCropTestHelpers.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using gui_test::Child;
using gui_test::WaitUntil;
using trimcrop_test::AddJob;
using trimcrop_test::SharedClips;

namespace {

constexpr std::int64_t Second = 1000000;

struct TrimFixture : ::testing::Test {
    const trimcrop_test::Clips& clips = SharedClips();
    TJobList jobs;
    std::unique_ptr<TfrmTrim> dialog;

    void SetUp() override {
        testing_support::RequirePlayerLibraries();
        dialog = std::make_unique<TfrmTrim>(jobs);
    }
    void TearDown() override { dialog.reset(); }

    template <typename T> T* Get(const char* name) { return Child<T>(*dialog, name); }
    QString Text(const char* name) { return Get<QLineEdit>(name)->text(); }
    void Click(const char* name) { QTest::mouseClick(Get<QAbstractButton>(name), Qt::LeftButton); }
    const TlvFilesRecord& Record(int row = 0) { return jobs.Record(row); }
    std::string Cell(int row = 0) { return jobs.Cell(row, TJobColumn::TrimmedLength); }

    void Open() {
        dialog->show();
        ASSERT_TRUE(dialog->Model().Opened()) << dialog->Player().LastErrorText();
    }
    // Pauses and puts the player at t; the picture there is on screen afterwards.
    void PlayerTo(std::int64_t t) {
        TFFPlayer& player = dialog->Player();
        if (!player.Paused()) {
            Click("imgbtnPause");
        }
        ASSERT_TRUE(trimcrop_test::PlayerAt(player, t))
            << "at " << player.Position() << " instead of " << t;
    }
    void MarkAt(const char* button, std::int64_t t) {
        PlayerTo(t);
        Click(button);
    }
    void Ok() {
        Click("btnOk");
        ASSERT_FALSE(dialog->isVisible());
    }
};

} // namespace

TEST_F(TrimFixture, OpeningShowsTheFileTheMarksAndTheDuration) {
    AddJob(jobs, clips.minute, 60);
    AddJob(jobs, clips.brief, 2);
    jobs.Select(-1); // no row selected: the first is taken
    Open();
    EXPECT_EQ(jobs.Selected(), 0);
    EXPECT_EQ(dialog->windowTitle().toStdString(), clips.minute);
    EXPECT_GE(dialog->width(), 598);
    EXPECT_GE(dialog->height(), 460);
    EXPECT_EQ(Get<QLabel>("lblLength")->text(), "Duration:    00:01:00.000");
    EXPECT_EQ(Text("edtStart"), "00:00:00.000");
    EXPECT_EQ(Text("edtTrimLength"), "00:01:00.000");
    EXPECT_TRUE(Get<QLineEdit>("edtStart")->isReadOnly());
    EXPECT_FALSE(Get<QToolButton>("imgbtnPlay")->isEnabled());
    EXPECT_TRUE(Get<QToolButton>("imgbtnPause")->isEnabled());
    EXPECT_FALSE(Get<QToolButton>("imgbtnPlaySel")->isVisible());
    auto* slider = Get<TSelectionSlider>("trcPreview");
    EXPECT_EQ(slider->maximum(), slider->width());
    EXPECT_TRUE(slider->ThumbVisible());
    EXPECT_EQ(slider->SelectionStart(), 0);
    EXPECT_EQ(slider->SelectionEnd(), slider->maximum());
    EXPECT_EQ(Get<QWidget>("imgPreview")->size(), QSize(564, 275));
    // No empty band: the buttons' row ends the window, the rows above share the room.
    const QWidget* ok = Get<QWidget>("btnOk");
    EXPECT_LE(dialog->height() - (ok->y() + ok->height()), 16);
    // Enlarged, the picture takes all that is added.
    const QSize design = dialog->size();
    dialog->resize(design + QSize(300, 200));
    QApplication::processEvents();
    EXPECT_EQ(Get<QWidget>("imgPreview")->size(), QSize(564 + 300, 275 + 200));
    dialog->resize(design);
    QApplication::processEvents();
    EXPECT_EQ(Get<QWidget>("imgPreview")->size(), QSize(564, 275));
    const std::pair<const char*, const char*> captions[] = {
        {"btnSetStart", "<- &Set Start"}, {"btnSetEnd", "Set &End ->"},
        {"btnReset", "&Reset"},           {"btnOk", "Ok"},
        {"btnCancel", "Cancel"},
    };
    for (const auto& [name, caption] : captions) {
        EXPECT_EQ(Get<QPushButton>(name)->text(), caption) << name;
    }
    // Playing: the position label follows the player.
    ASSERT_TRUE(WaitUntil([&] { return Get<QLabel>("lblPTS")->text().startsWith("Time:    "); }));
    Click("btnCancel");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->Player().State(), psStop);
}

TEST_F(TrimFixture, EdgeCasesReachTheRecordAndTheRow) {
    AddJob(jobs, clips.minute, 60);

    // 10 to 20 s.
    Open();
    MarkAt("btnSetStart", 10 * Second);
    EXPECT_EQ(Text("edtStart"), "00:00:10.000");
    MarkAt("btnSetEnd", 20 * Second);
    EXPECT_EQ(Text("edtTrimLength"), "00:00:20.000");
    auto* slider = Get<TSelectionSlider>("trcPreview");
    EXPECT_EQ(slider->SelectionStart(), slider->maximum() / 6);
    EXPECT_EQ(slider->SelectionEnd(), slider->maximum() / 3);
    Ok();
    EXPECT_EQ(Record().TrimStart, 10 * Second);
    EXPECT_EQ(Record().TrimLength, 10 * Second);
    EXPECT_EQ(Cell(), "10");

    // Reopening shows the stored marks; Reset goes back to the whole file, 0 to 60 s.
    Open();
    EXPECT_EQ(Text("edtStart"), "00:00:10.000");
    EXPECT_EQ(Text("edtTrimLength"), "00:00:20.000");
    Click("btnReset");
    EXPECT_EQ(Text("edtStart"), "00:00:00");
    EXPECT_EQ(Text("edtTrimLength"), "00:01:00.000");
    Ok();
    EXPECT_EQ(Record().TrimStart, 0);
    EXPECT_EQ(Record().TrimLength, 0);
    EXPECT_EQ(Cell(), "60");

    // 10 s to the end.
    Open();
    MarkAt("btnSetStart", 10 * Second);
    Ok();
    EXPECT_EQ(Record().TrimStart, 10 * Second);
    EXPECT_EQ(Record().TrimLength, 50 * Second);
    EXPECT_EQ(Cell(), "50");

    // 500 us to the end, as a record holds it: within 1 ms of the whole file.
    jobs.Record(0).TrimStart = 500;
    jobs.Record(0).TrimLength = 0;
    Open();
    EXPECT_EQ(Text("edtStart"), "00:00:00.000");
    Ok();
    EXPECT_EQ(Record().TrimStart, 500);
    EXPECT_EQ(Record().TrimLength, 0);
    EXPECT_EQ(Cell(), "59");

    // Set Start at 0 does not move the start mark.
    jobs.Record(0).TrimStart = 10 * Second;
    Open();
    MarkAt("btnSetStart", 0);
    EXPECT_EQ(Text("edtStart"), "00:00:10.000");
    EXPECT_EQ(dialog->Model().MarkStart(), 10 * Second);
    Ok();
    EXPECT_EQ(Record().TrimStart, 10 * Second);

    // End before start: the whole file.
    Open();
    MarkAt("btnSetStart", 20 * Second);
    MarkAt("btnSetEnd", 10 * Second);
    Ok();
    EXPECT_EQ(Record().TrimStart, 0);
    EXPECT_EQ(Record().TrimLength, 0);
    EXPECT_EQ(Cell(), "60");
}

TEST_F(TrimFixture, CancelAndAFailedOpenStoreNothing) {
    AddJob(jobs, clips.minute, 60);
    AddJob(jobs, clips.missing, 60);
    jobs.Record(1).TrimStart = 3 * Second;
    jobs.Record(1).TrimLength = 4 * Second;
    jobs.SetTrimmedLength(1, "4");

    Open();
    MarkAt("btnSetStart", 10 * Second);
    Click("btnCancel");
    EXPECT_EQ(Record(0).TrimStart, 0);
    EXPECT_EQ(Cell(0), "60");

    // The marks of that opening are still in the dialog; the missing file must not get them.
    jobs.Select(1);
    dialog->show();
    EXPECT_FALSE(dialog->Model().Opened());
    EXPECT_EQ(dialog->windowTitle(), "Trim");
    EXPECT_FALSE(Get<QToolButton>("imgbtnPlay")->isEnabled());
    EXPECT_FALSE(Get<QToolButton>("imgbtnPause")->isEnabled());
    Ok();
    EXPECT_EQ(Record(1).TrimStart, 3 * Second);
    EXPECT_EQ(Record(1).TrimLength, 4 * Second);
    EXPECT_EQ(Cell(1), "4");
}

TEST_F(TrimFixture, SliderSeeksWhereItIsLetGo) {
    AddJob(jobs, clips.minute, 60);
    Open();
    auto* slider = Get<TSelectionSlider>("trcPreview");
    const QPoint middle = slider->rect().center();
    QTest::mousePress(slider, Qt::LeftButton, {}, middle);
    EXPECT_TRUE(dialog->Dragging());
    slider->setValue(slider->maximum() / 2);
    // Positions reported while the slider is held do not move it.
    auto* time = Get<QLabel>("lblPTS");
    const QString before = time->text();
    ASSERT_TRUE(WaitUntil([&] { return time->text() != before; }));
    EXPECT_EQ(slider->value(), slider->maximum() / 2);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, middle);
    ASSERT_TRUE(WaitUntil([&] { return dialog->Player().Position() >= 29 * Second; }));
    ASSERT_TRUE(WaitUntil([&] { return !dialog->Dragging(); }));
    ASSERT_TRUE(WaitUntil([&] { return slider->value() >= slider->maximum() / 2 - 2; }));
    EXPECT_LE(dialog->Player().Position(), 40 * Second);
}

TEST_F(TrimFixture, EndOfPlayingRewindsAndKeepsTheMarks) {
    AddJob(jobs, clips.brief, 2);
    jobs.Record(0).TrimStart = Second / 2;
    jobs.Record(0).TrimLength = Second;
    Open();
    auto* slider = Get<TSelectionSlider>("trcPreview");
    EXPECT_TRUE(slider->HasSelection());
    ASSERT_TRUE(WaitUntil([&] { return !slider->isEnabled(); }));
    EXPECT_EQ(slider->value(), 0);
    EXPECT_FALSE(slider->HasSelection());
    EXPECT_TRUE(Get<QToolButton>("imgbtnPlay")->isEnabled());
    EXPECT_FALSE(Get<QToolButton>("imgbtnPause")->isEnabled());
    EXPECT_EQ(Get<QLabel>("lblLength")->text(), "00:00:00");
    ASSERT_TRUE(WaitUntil([&] { return dialog->Player().Paused(); }));
    // The rewind's own report does not take the end off the window.
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(Get<QLabel>("lblLength")->text(), Get<QLabel>("lblPTS")->text());
    EXPECT_EQ(Text("edtStart"), "00:00:00.500");
    EXPECT_EQ(Text("edtTrimLength"), "00:00:01.500");

    // Play again from the start.
    Click("imgbtnPlay");
    EXPECT_FALSE(dialog->Player().Paused());
    EXPECT_TRUE(slider->isEnabled());
    EXPECT_TRUE(slider->HasSelection());
    EXPECT_TRUE(Get<QToolButton>("imgbtnPause")->isEnabled());
    Ok();
    EXPECT_EQ(Record().TrimStart, Second / 2);
    EXPECT_EQ(Record().TrimLength, Second);
    EXPECT_EQ(Cell(), "1");
}
