// The crop dialog's rules, headless: fitting, margins in both units, typing, the drag rules
// in their order, restoring from the record and what OK stores.
#include "CropModel.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// The preview box at the place a dialog puts it.
constexpr TCropRect Preview{8, 30, 370, 253};

// A model showing a 1280x720 source: P = {8, 52, 370, 209}.
TCropModel HdModel() {
    TCropModel model;
    model.BeginOpen();
    model.SetOpened();
    model.SetPicture(1280, 720, Preview);
    return model;
}

// Spin values computed from the rectangle by the dialog's formulas.
TCropMargins FromRect(const TCropModel& m) {
    const TCropRect& p = m.Picture();
    const TCropRect& r = m.Rect();
    return {r.Top - p.Top, p.Height + p.Top - r.Height - r.Top, r.Left - p.Left,
            p.Width + p.Left - r.Width - r.Left};
}

TCropRect Moved(const TCropRect& r, int dx, int dy) {
    return {r.Left + dx, r.Top + dy, r.Width, r.Height};
}

} // namespace

TEST(CropModel, FitsPicturesIntoTheBox) {
    EXPECT_EQ(TCropModel::Fit(1280, 720, {0, 0, 370, 253}), (TCropRect{0, 22, 370, 209}));
    EXPECT_EQ(TCropModel::Fit(1280, 720, Preview), (TCropRect{8, 52, 370, 209}));
    // Taller than the box: full height, cut left and right.
    EXPECT_EQ(TCropModel::Fit(480, 640, {0, 0, 370, 253}), (TCropRect{90, 0, 190, 253}));
    EXPECT_EQ(TCropModel::Fit(370, 253, {0, 0, 370, 253}), (TCropRect{0, 0, 370, 253}));
    EXPECT_EQ(TCropModel::Fit(640, 360, {0, 0, 370, 253}), (TCropRect{0, 22, 370, 209}));
    // Half a pixel rounds to even: (253 - 250) / 2 = 1.5 -> 2.
    EXPECT_EQ(TCropModel::Fit(370, 250, {0, 0, 370, 253}), (TCropRect{0, 2, 370, 249}));
    EXPECT_EQ(TCropModel::Fit(0, 0, {0, 0, 370, 253}), (TCropRect{0, 0, 370, 253}));
}

TEST(CropModel, SourcePixelsAreRoundedAndEven) {
    EXPECT_EQ(TCropModel::ToSourcePixels(10, 720, 209), 34); // 34.45
    EXPECT_EQ(TCropModel::ToSourcePixels(354, 1, 10), 34);   // 35.4 -> 35 -> 34
    EXPECT_EQ(TCropModel::ToSourcePixels(356, 1, 10), 36);   // 35.6 -> 36
    EXPECT_EQ(TCropModel::ToSourcePixels(345, 1, 10), 34);   // 34.5 -> 34 (half to even)
    EXPECT_EQ(TCropModel::ToSourcePixels(355, 1, 10), 36);   // 35.5 -> 36
    EXPECT_EQ(TCropModel::ToSourcePixels(7, 300, 300), 6);   // same size: only made even
    EXPECT_EQ(TCropModel::ToSourcePixels(0, 720, 209), 0);
}

TEST(CropModel, OkStoresBothUnitsAndTheZoomItem) {
    TCropModel model = HdModel();
    EXPECT_EQ(model.Picture(), (TCropRect{8, 52, 370, 209}));
    EXPECT_EQ(model.Rect(), model.Picture());
    EXPECT_EQ(model.SetMargin(TCropSide::Up, 10), 10);
    EXPECT_EQ(model.SetMargin(TCropSide::Left, 93), 93); // a quarter of 370
    TlvFilesRecord record;
    record.ZoomMode = "pan";
    ASSERT_TRUE(model.Apply(record, 1));
    EXPECT_EQ(record.CropUpView, 10);
    EXPECT_EQ(record.CropLeftView, 93);
    EXPECT_EQ(record.CropDownView, 0);
    EXPECT_EQ(record.CropRightView, 0);
    EXPECT_EQ(record.CropTop, 34);
    EXPECT_EQ(record.CropLeft, 322); // 93 * 1280 / 370 = 321.7
    EXPECT_EQ(record.CropBottom, 0);
    EXPECT_EQ(record.CropRight, 0);
    EXPECT_EQ(record.ZoomMode, "lbox");
    ASSERT_TRUE(model.Apply(record, -1));
    EXPECT_EQ(record.ZoomMode, "lbox");

    EXPECT_EQ(TCropModel::ZoomItem("full"), 0);
    EXPECT_EQ(TCropModel::ZoomItem("lbox"), 1);
    EXPECT_EQ(TCropModel::ZoomItem("orig"), -1);
    EXPECT_EQ(TCropModel::ZoomItem("cent"), -1);
    EXPECT_EQ(TCropModel::ZoomItem("pan"), 0);
    EXPECT_EQ(TCropModel::ZoomMode(0), "full");
    EXPECT_EQ(TCropModel::ZoomMode(5), std::nullopt);
}

TEST(CropModel, NoFileNoVideo) {
    TlvFilesRecord record;
    record.CropTop = 20;
    record.CropUpView = 6;
    // A file that could not be opened: OK leaves the record alone.
    TCropModel failed;
    failed.BeginOpen();
    EXPECT_FALSE(failed.Apply(record, 0));
    EXPECT_EQ(record.CropTop, 20);
    EXPECT_EQ(record.CropUpView, 6);
    // Audio only: no picture, every margin 0, nothing to type or drag.
    TCropModel audio;
    audio.BeginOpen();
    audio.SetOpened();
    EXPECT_FALSE(audio.HasPicture());
    EXPECT_EQ(audio.SetMargin(TCropSide::Up, 5), 0);
    EXPECT_EQ(audio.Margins(), TCropMargins());
    ASSERT_TRUE(audio.Apply(record, 0));
    EXPECT_EQ(record.CropTop, 0);
    EXPECT_EQ(record.CropUpView, 0);
}

TEST(CropModel, TypingMargins) {
    TCropModel model = HdModel();
    // Down to a 10 pixels high rectangle, one step at a time as the arrows do.
    for (int up = 1; up <= 100; ++up) {
        model.SetMargin(TCropSide::Up, up);
    }
    for (int down = 1; down <= 99; ++down) {
        model.SetMargin(TCropSide::Down, down);
    }
    ASSERT_EQ(model.Rect().Height, 10);
    EXPECT_EQ(model.SetMargin(TCropSide::Up, 101), 100); // refused: the margin cannot grow
    EXPECT_EQ(model.SetMargin(TCropSide::Down, 100), 99);
    EXPECT_EQ(model.Rect().Height, 10);
    EXPECT_EQ(model.SetMargin(TCropSide::Up, 98), 98); // lowering is taken
    EXPECT_EQ(model.Rect().Height, 12);
    EXPECT_EQ(model.Rect().Top, model.Picture().Top + 98);
    EXPECT_EQ(FromRect(model), model.Margins());

    // Negative values become 0; a jump past the other margin leaves one pixel.
    EXPECT_EQ(model.SetMargin(TCropSide::Left, -4), 0);
    EXPECT_EQ(model.SetMargin(TCropSide::Left, 500), 369);
    EXPECT_EQ(model.Rect().Width, 1);
    EXPECT_EQ(FromRect(model), model.Margins());

    model.Reset();
    EXPECT_EQ(model.Rect(), model.Picture());
    EXPECT_EQ(model.Margins(), TCropMargins());
}

TEST(CropModel, DragRulesAtTheEdges) {
    TCropModel model = HdModel();
    const TCropRect p = model.Picture();
    model.SetMargin(TCropSide::Up, 40);
    model.SetMargin(TCropSide::Down, 40);
    model.SetMargin(TCropSide::Left, 50);
    model.SetMargin(TCropSide::Right, 50);
    const TCropRect start = model.Rect();

    // Past the top edge: the top goes to the picture's top.
    model.MouseDown();
    TCropRect r = model.MouseMove(Moved(start, 0, -60), deMove);
    EXPECT_EQ(r.Top, p.Top);
    EXPECT_EQ(r.Height, start.Height);
    EXPECT_EQ(model.Margins().Up, 0);

    // Moving right by 20, then past the left edge: back to the last Left value.
    model.MouseDown();
    r = model.MouseMove(Moved(model.Rect(), 20, 0), deMove);
    EXPECT_EQ(model.Margins().Left, 70);
    r = model.MouseMove(Moved(r, -90, 0), deMove);
    EXPECT_EQ(r.Left, p.Left + 70);
    EXPECT_EQ(model.Margins().Left, 70);
    EXPECT_EQ(r.Width, start.Width);

    // Past the right and the bottom edge at once: back where the drag started.
    model.MouseDown();
    const TCropRect down = model.Rect();
    r = model.MouseMove(Moved(down, 120, 200), deMove);
    EXPECT_EQ(r.Left, down.Left);
    EXPECT_EQ(r.Top, down.Top);
    EXPECT_EQ(r.Right(), p.Right());
    EXPECT_EQ(r.Bottom(), p.Bottom());

    // Past the right edge alone: back to the start's left, reaching the right edge.
    model.SetMargin(TCropSide::Right, 60);
    model.SetMargin(TCropSide::Down, 30);
    model.MouseDown();
    const TCropRect before = model.Rect();
    r = model.MouseMove(Moved(before, 100, 0), deMove);
    EXPECT_EQ(r.Left, before.Left);
    EXPECT_EQ(r.Top, before.Top);
    EXPECT_EQ(r.Right(), p.Right());

    // A move ending one pixel beyond the right edge stops at it, keeping its size.
    model.SetMargin(TCropSide::Right, 10);
    model.MouseDown();
    const int width = model.Rect().Width;
    r = model.MouseMove(Moved(model.Rect(), 11, 0), deMove);
    EXPECT_EQ(r.Right(), p.Right());
    EXPECT_EQ(r.Width, width);
    EXPECT_EQ(FromRect(model), model.Margins());
}

TEST(CropModel, ResizingEdgesStopsAtThePicture) {
    TCropModel model = HdModel();
    const TCropRect p = model.Picture();
    model.SetMargin(TCropSide::Left, 20);
    model.SetMargin(TCropSide::Right, 10);
    model.SetMargin(TCropSide::Up, 15);
    model.SetMargin(TCropSide::Down, 25);
    TCropRect r = model.Rect();

    // The right edge dragged 30 pixels past the picture stays on its edge.
    model.MouseDown();
    TCropRect proposed = r;
    proposed.Width += 40;
    r = model.MouseMove(proposed, deRight);
    EXPECT_EQ(r.Right(), p.Right());
    EXPECT_EQ(r.Left, p.Left + 20);
    EXPECT_EQ(model.Margins(), (TCropMargins{15, 25, 20, 0}));

    // The bottom edge the same.
    proposed = r;
    proposed.Height += 26;
    r = model.MouseMove(proposed, deBottom);
    EXPECT_EQ(r.Bottom(), p.Bottom());
    EXPECT_EQ(model.Margins(), (TCropMargins{15, 0, 20, 0}));

    // The left edge dragged past the picture keeps the right edge where it was.
    proposed = {p.Left - 5, r.Top, r.Right() - (p.Left - 5), r.Height};
    r = model.MouseMove(proposed, deLeft);
    EXPECT_EQ(r.Right(), p.Right());
    EXPECT_EQ(model.Margins().Left, 20);

    // The top-left corner past both edges: top to the picture's top, bottom kept.
    proposed = {p.Left - 3, p.Top - 9, r.Right() - (p.Left - 3), r.Bottom() - (p.Top - 9)};
    r = model.MouseMove(proposed, deLeft | deTop);
    EXPECT_EQ(r.Top, p.Top);
    EXPECT_EQ(r.Bottom(), p.Bottom());
    EXPECT_EQ(model.Margins(), (TCropMargins{0, 0, 20, 0}));

    // Inside the picture a resize is taken as proposed.
    proposed = {r.Left + 30, r.Top + 12, r.Width - 30, r.Height - 12};
    EXPECT_EQ(model.MouseMove(proposed, deLeft | deTop), proposed);
    EXPECT_EQ(model.Margins(), (TCropMargins{12, 0, 50, 0}));
}

TEST(CropModel, RandomDragsNeverLeaveThePicture) {
    std::mt19937 random(14);
    for (const auto& [sw, sh] : {std::pair{1280, 720}, std::pair{480, 640}, std::pair{640, 360}}) {
        TCropModel model;
        model.BeginOpen();
        model.SetOpened();
        model.SetPicture(sw, sh, Preview);
        const TCropRect p = model.Picture();
        std::uniform_int_distribution<int> step(-60, 60);
        std::uniform_int_distribution<int> kind(0, 4);
        const unsigned kinds[] = {deMove, deLeft, deRight | deBottom, deTop, deBottom};
        for (int drag = 0; drag < 300; ++drag) {
            model.MouseDown();
            for (int move = 0; move < 5; ++move) {
                TCropRect r = model.Rect();
                const unsigned edges = kinds[kind(random)];
                const int dx = step(random);
                const int dy = step(random);
                if (edges == deMove) {
                    r = Moved(r, dx, dy);
                } else {
                    // A tracker keeps at least 6 pixels.
                    if (edges & deLeft) {
                        const int left = std::min(r.Left + dx, r.Right() - 6);
                        r.Width = r.Right() - left;
                        r.Left = left;
                    }
                    if (edges & deTop) {
                        const int top = std::min(r.Top + dy, r.Bottom() - 6);
                        r.Height = r.Bottom() - top;
                        r.Top = top;
                    }
                    if (edges & deRight) {
                        r.Width = std::max(6, r.Width + dx);
                    }
                    if (edges & deBottom) {
                        r.Height = std::max(6, r.Height + dy);
                    }
                }
                const TCropRect got = model.MouseMove(r, edges);
                ASSERT_TRUE(p.Contains(got)) << "drag " << drag << " move " << move;
                ASSERT_GT(got.Width, 0);
                ASSERT_GT(got.Height, 0);
                ASSERT_EQ(FromRect(model), model.Margins());
            }
        }
    }
}

TEST(CropModel, ReopeningRestoresTheRectangle) {
    TlvFilesRecord record;
    {
        TCropModel model = HdModel();
        model.MouseDown();
        TCropRect r = model.Rect();
        r.Left += 93;
        r.Width -= 93;
        model.MouseMove(r, deLeft);
        model.SetMargin(TCropSide::Down, 7);
        ASSERT_TRUE(model.Apply(record, 0));
    }
    TCropModel again = HdModel();
    again.LoadMargins(record);
    EXPECT_EQ(again.Margins(), (TCropMargins{0, 7, 93, 0}));
    EXPECT_EQ(again.Rect(), (TCropRect{8 + 93, 52, 370 - 93, 209 - 7}));

    // Margins that do not fit the picture still give a rectangle inside it.
    record.CropUpView = 300;
    record.CropDownView = 300;
    record.CropLeftView = -4;
    again.LoadMargins(record);
    EXPECT_TRUE(again.Picture().Contains(again.Rect()));
    EXPECT_EQ(again.Rect().Height, 1);
    EXPECT_EQ(again.Margins().Left, 0);
}

TEST(CropModel, Texts) {
    EXPECT_EQ(TCropModel::ClockText(3723400000), "1:02:03");
    EXPECT_EQ(TCropModel::ClockText(3723500000), "1:02:04");
    EXPECT_EQ(TCropModel::ClockText(59600000), "0:01:00");
    EXPECT_EQ(TCropModel::ClockText(-1), "0:00:00");
    const std::string shortPath = "/clips/holiday.avi";
    EXPECT_EQ(TCropModel::SourceName(shortPath), shortPath);
    const std::string longPath = "/" + std::string(55, 'c') + ".mov";
    EXPECT_EQ(TCropModel::SourceName(longPath), "/" + std::string(43, 'c') + "...mov  ");
}
