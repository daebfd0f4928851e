#include "DestinationNames.h"
#include "CoreTestHelpers.h"
#include "Settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using core_test::WriteText;
using testing_support::TempDir;

namespace {

struct DestinationNamesFixture : ::testing::Test {
    TempDir dir;
    TSettings settings{dir.File("settings.ini"), dir.File("home/videoconverter")};
    TJobList list;
    TDestinationNames names{list, settings, std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini"};

    void SetUp() override { settings.SetOutputDir(dir.File("out/sub")); }

    void Add(const std::string& source) {
        auto record = std::make_unique<TlvFilesRecord>();
        record->SourceFile = source;
        list.Append(std::move(record));
    }
    std::string Cell(int row) const { return list.Cell(row, TJobColumn::Destination); }
};

} // namespace

TEST_F(DestinationNamesFixture, CheckedRowsInListOrderThenUncheckedOnes) {
    std::filesystem::create_directories(dir.File("out/sub"));
    WriteText(dir.File("out/sub/clip_(new).mp4"), "an earlier output");
    Add("/media/a/clip.avi");
    Add("/media/b/clip.mkv");
    Add("/media/c/clip.mov");
    EXPECT_EQ(Cell(0), "clip_(new_1).mp4");
    EXPECT_EQ(Cell(1), "clip_(new_2).mp4");
    EXPECT_EQ(Cell(2), "clip_(new_3).mp4");
    EXPECT_EQ(list.Record(0).OutputFile, dir.File("out/sub/clip_(new_1).mp4"));

    // Unchecking the first row hands its name to the next checked one.
    list.SetChecked(0, false);
    EXPECT_EQ(Cell(1), "clip_(new_1).mp4");
    EXPECT_EQ(Cell(2), "clip_(new_2).mp4");
    EXPECT_EQ(Cell(0), "clip_(new_3).mp4") << "as if checked after the others";
}

TEST_F(DestinationNamesFixture, FormatAndFolderChangesRenameWithoutTouchingTheDisk) {
    Add("/media/holiday.avi");
    EXPECT_EQ(Cell(0), "holiday_(new).mp4");
    settings.SetFormat("AC-3 Audio Codec (*.ac3)", 2406);
    names.Refresh();
    EXPECT_EQ(Cell(0), "holiday_(new).ac3");
    settings.SetOutputDir(dir.File("elsewhere/deeper"));
    names.Refresh();
    EXPECT_EQ(list.Record(0).OutputFile, dir.File("elsewhere/deeper/holiday_(new).ac3"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("out")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("elsewhere"))) << "predicting makes no folder";

    // A folder that cannot be made is replaced by the default folder, as a batch does.
    WriteText(dir.File("plain file"), "x");
    settings.SetOutputDir(dir.File("plain file/out"));
    names.Refresh();
    EXPECT_EQ(list.Record(0).OutputFile, dir.File("home/videoconverter/holiday_(new).ac3"));
    EXPECT_EQ(settings.OutputDir(), dir.File("plain file/out")) << "the setting stays";
}

TEST_F(DestinationNamesFixture, NamesStayWhileNothingTheyDependOnChanges) {
    Add("/media/holiday.avi");
    list.SetDestination(0, dir.File("out/sub/holiday_(new).mp4"));
    // A batch writes the file; its progress texts change the row, the name must stay.
    std::filesystem::create_directories(dir.File("out/sub"));
    WriteText(dir.File("out/sub/holiday_(new).mp4"), "written");
    list.SetProgress(0, "100%");
    names.Refresh();
    EXPECT_EQ(Cell(0), "holiday_(new).mp4");
    list.SetChecked(0, false);
    list.SetChecked(0, true);
    EXPECT_EQ(Cell(0), "holiday_(new_1).mp4") << "the next batch's name";
}
