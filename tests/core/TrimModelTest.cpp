// The trim dialog's rules, headless: time texts, slider mapping, marks and what OK stores.
#include "TrimModel.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t Second = 1000000;
constexpr std::int64_t Minute = 60 * Second;

// A model that opened a 60 s file for a fresh record.
TTrimModel Opened(std::int64_t duration = Minute, const TlvFilesRecord& record = {}) {
    TTrimModel model;
    model.BeginOpen();
    model.FileOpened(duration);
    model.LoadMarks(record);
    return model;
}

struct Stored {
    std::int64_t start;
    std::int64_t length;
    std::string cell;
};

Stored Ok(const TTrimModel& model) {
    TlvFilesRecord record;
    record.TrimStart = -7; // changed by every OK that stores
    const auto cell = model.Apply(record);
    EXPECT_TRUE(cell.has_value());
    return {record.TrimStart, record.TrimLength, cell.value_or("")};
}

} // namespace

TEST(TrimModel, TimeTexts) {
    EXPECT_EQ(TTrimModel::TimeText(3723456789), "01:02:03.456");
    EXPECT_EQ(TTrimModel::TimeText(0), "00:00:00.000");
    EXPECT_EQ(TTrimModel::TimeText(59999999), "00:00:59.999");
    EXPECT_EQ(TTrimModel::TimeText(100 * 3600 * Second + 5000), "100:00:00.005");
    EXPECT_EQ(TTrimModel::TrimmedLengthText(59999999), "59");
}

TEST(TrimModel, CaptionShortensLongPaths) {
    const std::string shortPath = "/home/ann/clips/holiday.avi";
    EXPECT_EQ(TTrimModel::Caption(shortPath), shortPath);
    const std::string fifty = "/" + std::string(45, 'a') + ".avi";
    ASSERT_EQ(fifty.size(), 50u);
    EXPECT_EQ(TTrimModel::Caption(fifty), fifty);
    const std::string longPath = "/" + std::string(60, 'b') + ".mkv";
    EXPECT_EQ(TTrimModel::Caption(longPath), "Trim   /" + std::string(49, 'b') + "...mkv  ");
    // Characters, not bytes: 50 accented letters stay whole.
    std::string accented;
    for (int i = 0; i < 46; ++i) {
        accented += "\xC3\xA9";
    }
    accented += ".mp4";
    EXPECT_EQ(TTrimModel::Caption(accented), accented);
}

TEST(TrimModel, SliderMapping) {
    const TTrimModel model = Opened();
    EXPECT_EQ(model.SliderPosition(30 * Second, 564), 282);
    EXPECT_EQ(model.SliderPosition(Minute, 564), 564);
    EXPECT_EQ(model.SliderPosition(Second, 564), 9); // 564 / 60 truncated
    EXPECT_EQ(model.SeekTime(282, 564), 30 * Second);
    EXPECT_EQ(model.SeekTime(1, 3), 20 * Second);
    EXPECT_EQ(model.SeekTime(0, 564), 0);
    const TTrimModel unknown = Opened(-1);
    EXPECT_EQ(unknown.SliderPosition(Second, 564), 0);
    EXPECT_EQ(unknown.SeekTime(100, 564), 0);
    EXPECT_EQ(model.SeekTime(100, 0), 0);
}

TEST(TrimModel, OpeningTakesTheMarksFromTheRecord) {
    TlvFilesRecord record;
    EXPECT_EQ(Opened(Minute, record).MarkStart(), 0);
    EXPECT_EQ(Opened(Minute, record).MarkEnd(), Minute);
    record.TrimStart = 10 * Second;
    record.TrimLength = 5 * Second;
    EXPECT_EQ(Opened(Minute, record).MarkStart(), 10 * Second);
    EXPECT_EQ(Opened(Minute, record).MarkEnd(), 15 * Second);
    record.TrimLength = 0;
    EXPECT_EQ(Opened(Minute, record).MarkEnd(), Minute);
    record.TrimStart = -5;
    EXPECT_EQ(Opened(Minute, record).MarkStart(), 0);

    // The file-open event starts from nothing; the record then fills the marks.
    TTrimModel model = Opened();
    model.FileOpened(30 * Second);
    EXPECT_EQ(model.MarkStart(), 0);
    EXPECT_EQ(model.MarkEnd(), 0);
    EXPECT_EQ(model.SourceDuration(), 30 * Second);
}

TEST(TrimModel, EdgeCasesOfOk) {
    TTrimModel model = Opened();
    // 10 to 20 s.
    ASSERT_TRUE(model.SetStart(10 * Second));
    ASSERT_TRUE(model.SetEnd(20 * Second));
    Stored s = Ok(model);
    EXPECT_EQ(s.start, 10 * Second);
    EXPECT_EQ(s.length, 10 * Second);
    EXPECT_EQ(s.cell, "10");

    // 0 to 60 s is the whole file.
    model.Reset();
    EXPECT_EQ(model.MarkStart(), 0);
    EXPECT_EQ(model.MarkEnd(), Minute);
    s = Ok(model);
    EXPECT_EQ(s.start, 0);
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.cell, "60");

    // 10 s to the end: the length is stored.
    ASSERT_TRUE(model.SetStart(10 * Second));
    s = Ok(model);
    EXPECT_EQ(s.start, 10 * Second);
    EXPECT_EQ(s.length, 50 * Second);
    EXPECT_EQ(s.cell, "50");

    // 500 us to the end: within 1 ms of the whole file.
    ASSERT_TRUE(model.SetStart(500));
    s = Ok(model);
    EXPECT_EQ(s.start, 500);
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.cell, "59");

    // A length below 1 ms counts as "to the end" from the start mark.
    ASSERT_TRUE(model.SetStart(10 * Second));
    ASSERT_TRUE(model.SetEnd(10 * Second + 500));
    s = Ok(model);
    EXPECT_EQ(s.start, 10 * Second);
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.cell, "0");
}

TEST(TrimModel, SetStartAtZeroKeepsTheMark) {
    TlvFilesRecord record;
    record.TrimStart = 10 * Second;
    TTrimModel model = Opened(Minute, record);
    EXPECT_FALSE(model.SetStart(0));
    EXPECT_FALSE(model.SetEnd(0));
    EXPECT_EQ(model.MarkStart(), 10 * Second);
    EXPECT_EQ(model.MarkEnd(), Minute);
    model.Reset();
    EXPECT_EQ(model.MarkStart(), 0);
}

TEST(TrimModel, UnusableMarksStoreTheWholeFile) {
    TTrimModel model = Opened();
    // End before start.
    model.SetStart(20 * Second);
    model.SetEnd(10 * Second);
    Stored s = Ok(model);
    EXPECT_EQ(s.start, 0);
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.cell, "60");
    // End beyond the duration (a record made for a longer file).
    TlvFilesRecord longer;
    longer.TrimStart = 5 * Second;
    longer.TrimLength = 90 * Second;
    s = Ok(Opened(Minute, longer));
    EXPECT_EQ(s.start, 0);
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.cell, "60");
    // A file of unknown duration.
    s = Ok(Opened(-1));
    EXPECT_EQ(s.start, 0);
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.cell, "0");
}

TEST(TrimModel, OkAfterAFailedOpenStoresNothing) {
    TTrimModel model = Opened();
    model.SetStart(10 * Second);
    model.SetEnd(20 * Second);
    // The next opening fails: no file-open event, no marks from the record.
    model.BeginOpen();
    TlvFilesRecord record;
    record.TrimStart = 3 * Second;
    record.TrimLength = 4 * Second;
    EXPECT_FALSE(model.Apply(record).has_value());
    EXPECT_EQ(record.TrimStart, 3 * Second);
    EXPECT_EQ(record.TrimLength, 4 * Second);
    // The first opening of a dialog failing is the same.
    TTrimModel fresh;
    fresh.BeginOpen();
    EXPECT_FALSE(fresh.Apply(record).has_value());
    EXPECT_EQ(record.TrimStart, 3 * Second);
}
