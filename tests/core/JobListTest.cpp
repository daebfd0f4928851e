#include "JobList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<TlvFilesRecord> Job(const std::string& source, int seconds = 12) {
    auto record = std::make_unique<TlvFilesRecord>();
    record->SourceFile = source;
    record->OutputFile = "/out/" + source.substr(source.rfind('/') + 1) + "_(new)_ipod.mp4";
    record->LengthSeconds = seconds;
    return record;
}

// Records every notice, in the order a view would receive it.
struct Recorder : IJobListObserver {
    std::vector<std::string> log;
    void JobsAboutToBeInserted(int first, int last) override {
        log.push_back("insert " + std::to_string(first) + "-" + std::to_string(last));
    }
    void JobsInserted() override { log.push_back("inserted"); }
    void JobsAboutToBeRemoved(int first, int last) override {
        log.push_back("remove " + std::to_string(first) + "-" + std::to_string(last));
    }
    void JobsRemoved() override { log.push_back("removed"); }
    void JobChanged(int row) override { log.push_back("changed " + std::to_string(row)); }
    void JobColumnsAboutToChange() override { log.push_back("columns?"); }
    void JobColumnsChanged() override { log.push_back("columns"); }
    void JobSelectionChanged(int row) override { log.push_back("selected " + std::to_string(row)); }
};

} // namespace

TEST(JobList, RowsShowTheRecordInFiveColumns) {
    TJobList list;
    EXPECT_STREQ(TJobList::ColumnCaption(TJobColumn::Source), "Source");
    EXPECT_STREQ(TJobList::ColumnCaption(TJobColumn::TrimmedLength), "Trimmed Length");
    EXPECT_STREQ(TJobList::ColumnCaption(TJobColumn::Destination), "Destination File");
    EXPECT_STREQ(TJobList::ColumnCaption(TJobColumn::Progress), "Progress");
    EXPECT_EQ(TJobList::ColumnWidth(TJobColumn::Length), 65);
    EXPECT_EQ(TJobList::ColumnWidth(TJobColumn::Destination), 120);

    list.Append(Job("/clips/holiday.avi", 83));
    EXPECT_EQ(list.Cell(0, TJobColumn::Source), "/clips/holiday.avi");
    EXPECT_EQ(list.Cell(0, TJobColumn::Length), "83");
    EXPECT_EQ(list.Cell(0, TJobColumn::TrimmedLength), "83");
    EXPECT_EQ(list.Cell(0, TJobColumn::Destination), "holiday.avi_(new)_ipod.mp4");
    EXPECT_EQ(list.Cell(0, TJobColumn::Progress), "");
    EXPECT_TRUE(list.Checked(0));
    EXPECT_EQ(list.Selected(), 0);

    list.SetProgress(0, "42%", "00:01:10 left");
    list.SetTrimmedLength(0, "20");
    EXPECT_EQ(list.Cell(0, TJobColumn::Progress), "42%");
    EXPECT_EQ(list.ProgressHint(0), "00:01:10 left");
    EXPECT_EQ(list.Cell(0, TJobColumn::TrimmedLength), "20");
    EXPECT_EQ(list.Cell(0, TJobColumn::Length), "83") << "the length itself stays";
    EXPECT_EQ(list.Cell(5, TJobColumn::Source), "") << "a row out of range reads empty";
    EXPECT_THROW(list.Record(5), std::out_of_range);
}

TEST(JobList, RemovingTheOnlyRowDropsTheColumnsAndAddingBringsThemBack) {
    TJobList list;
    Recorder recorder;
    list.AddObserver(&recorder);
    list.Append(Job("/a.mp4"));
    EXPECT_TRUE(list.ColumnsShown());
    ASSERT_TRUE(list.RemoveSelected());
    EXPECT_TRUE(list.Empty());
    EXPECT_FALSE(list.ColumnsShown());
    EXPECT_EQ(list.Selected(), -1);
    list.Append(Job("/b.mp4"));
    EXPECT_TRUE(list.ColumnsShown());
    EXPECT_EQ(
        (std::vector<std::string>{"insert 0-0", "inserted", "selected 0", "remove 0-0", "removed",
                                  "columns?", "columns", "selected -1", "insert 0-0", "inserted",
                                  "columns?", "columns", "selected 0"}),
        recorder.log);
    list.RemoveObserver(&recorder);
}

TEST(JobList, RemoveSelectsTheRowThatTookItsPlace) {
    TJobList list;
    for (const char* name : {"/a", "/b", "/c", "/d"}) {
        list.Append(Job(name));
    }
    list.Select(1);
    list.RemoveSelected();
    EXPECT_EQ(list.Caption(1), "/c");
    EXPECT_EQ(list.Selected(), 1);
    list.Select(2);
    list.RemoveSelected();
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Selected(), 1) << "the removed row was the last: the new last one";
    list.Select(-1);
    EXPECT_FALSE(list.RemoveSelected()) << "nothing selected, nothing removed";
    EXPECT_EQ(list.Count(), 2);
    list.Clear();
    EXPECT_TRUE(list.Empty());
    EXPECT_FALSE(list.ColumnsShown());
    list.ShowColumns(); // the window being shown
    EXPECT_TRUE(list.ColumnsShown());
}

TEST(JobList, CheckCommands) {
    TJobList list;
    for (const char* name : {"/a", "/b", "/c"}) {
        list.Append(Job(name));
    }
    list.SetChecked(1, false);
    list.ReverseCheck();
    EXPECT_FALSE(list.Checked(0));
    EXPECT_TRUE(list.Checked(1));
    EXPECT_FALSE(list.Checked(2));
    EXPECT_EQ(list.CheckedCount(), 1);
    list.CheckAll(true);
    EXPECT_EQ(list.CheckedCount(), 3);
    list.Select(2);
    list.CheckSelected(false);
    EXPECT_FALSE(list.Checked(2));
    list.CheckAll(false);
    EXPECT_EQ(list.CheckedCount(), 0);
    EXPECT_TRUE(list.Contains("/b"));
    EXPECT_FALSE(list.Contains("/B")) << "paths compare case-sensitively";
}
