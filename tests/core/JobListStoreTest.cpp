#include "JobListStore.h"

#include "BatchMessages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

// Runs what the store schedules only when the test says so, as a window's timer would.
struct ManualScheduler {
    std::vector<std::function<void()>> due;
    TJobListStore::TScheduler Function() {
        return [this](int, std::function<void()> fn) { due.push_back(std::move(fn)); };
    }
    void RunDue() {
        const auto now = std::move(due);
        due.clear();
        for (const auto& fn : now) {
            fn();
        }
    }
};

struct JobListStoreTest : ::testing::Test {
    TempDir dir;
    std::string path = dir.File(TJobListFile::FileName);
    ManualScheduler scheduler;
    TJobList jobs;

    // A source that exists.
    std::string Source(const std::string& name) {
        const std::string file = dir.File(name);
        std::ofstream(file) << "x";
        return file;
    }
    std::unique_ptr<TlvFilesRecord> Record(const std::string& source) {
        auto record = std::make_unique<TlvFilesRecord>();
        record->SourceFile = source;
        record->OutputFile = dir.File("out/" + fs::path(source).stem().string() + ".mp4");
        record->LengthSeconds = 7;
        return record;
    }
    std::vector<TSavedJob> Saved() { return TJobListFile::Read(path).Jobs; }
};

} // namespace

TEST_F(JobListStoreTest, ABurstOfChangesIsOneWriteAndPercentagesAreNone) {
    TJobListStore store(jobs, path, scheduler.Function());
    for (const char* name : {"a.avi", "b.avi", "c.avi"}) {
        jobs.Append(Record(Source(name)));
    }
    jobs.SetChecked(1, false);
    ASSERT_EQ(scheduler.due.size(), 1u);
    scheduler.RunDue();
    store.Flush();
    EXPECT_EQ(store.WriteCount(), 1);
    std::vector<TSavedJob> saved = Saved();
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_FALSE(saved[1].Checked);
    EXPECT_EQ(saved, TJobListStore::Snapshot(jobs, nullptr));

    // Percentages of a converting row: one write when it starts, none for the rest.
    store.SetRunningOutput([&](int row) { return row == 0 ? dir.File("out") : ""; });
    jobs.SetProgress(0, "3%");
    scheduler.RunDue();
    for (int p = 4; p < 60; ++p) {
        jobs.SetProgress(0, std::to_string(p) + "%");
    }
    EXPECT_TRUE(scheduler.due.empty());
    store.Flush();
    saved = Saved();
    EXPECT_EQ(saved[0].State, TJobState::Converting);
    EXPECT_EQ(saved[0].ConvertingIn, dir.File("out"));

    // The end of the row, an edited record and a trimmed cell are each worth a write.
    jobs.SetProgress(0, "100%");
    ASSERT_EQ(scheduler.due.size(), 1u);
    scheduler.RunDue();
    jobs.Record(2).CropTop = 8;
    jobs.RecordChanged(2);
    ASSERT_EQ(scheduler.due.size(), 1u);
    scheduler.RunDue();
    store.Flush();
    saved = Saved();
    EXPECT_EQ(saved[0].State, TJobState::Done);
    EXPECT_EQ(saved[2].Record.CropTop, 8);

    // Clear empties the saved list.
    jobs.Clear();
    scheduler.RunDue();
    store.Flush();
    EXPECT_EQ(TJobListFile::Read(path).Status, TJobListReadResult::TStatus::Ok);
    EXPECT_TRUE(Saved().empty());
}

TEST_F(JobListStoreTest, RestoreMarksInterruptedFinishedAndMissingRows) {
    std::vector<TSavedJob> saved(5);
    const char* names[] = {"done.avi", "converting.avi", "queued.avi", "failed.avi", "gone.avi"};
    for (int i = 0; i < 5; ++i) {
        saved[i].Record = *Record(i == 4 ? dir.File(names[i]) : Source(names[i]));
        saved[i].TrimmedLength = std::to_string(i);
    }
    saved[0].State = TJobState::Done;
    saved[1].State = TJobState::Converting;
    saved[1].ConvertingIn = dir.File("out");
    saved[2].Checked = false;
    saved[3].State = TJobState::Failed;
    saved[3].Hint = "Cannot open";
    saved[4].State = TJobState::Done;
    ASSERT_EQ(TJobListFile::Write(path, saved), 0);

    TJobListStore store(jobs, path, scheduler.Function());
    std::vector<std::string> removed;
    const TJobListRestore result =
        store.Restore([&](const TSavedJob& job) { removed.push_back(job.ConvertingIn); });
    EXPECT_FALSE(result.Rejected);
    ASSERT_EQ(result.Rows, 5);
    ASSERT_EQ(jobs.Count(), 5);
    EXPECT_EQ(removed, std::vector<std::string>{dir.File("out")});
    const std::pair<std::string, bool> expected[] = {{"100%", false},
                                                     {batchmsg::RowInterrupted, true},
                                                     {"", false},
                                                     {batchmsg::RowFailed, true},
                                                     {batchmsg::RowMissing, false}};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(jobs.Cell(row, TJobColumn::Progress), expected[row].first) << row;
        EXPECT_EQ(jobs.Checked(row), expected[row].second) << row;
        EXPECT_EQ(jobs.Cell(row, TJobColumn::TrimmedLength), std::to_string(row));
        EXPECT_EQ(jobs.Record(row).OutputFile, saved[row].Record.OutputFile);
    }
    EXPECT_EQ(jobs.ProgressHint(3), "Cannot open");
    // What changed on the way in is saved at once.
    ASSERT_EQ(scheduler.due.size(), 1u);
    scheduler.RunDue();
    store.Flush();
    EXPECT_EQ(Saved()[1].State, TJobState::Interrupted);
}

TEST_F(JobListStoreTest, ADamagedListIsKeptAsideAndTheListStartsEmpty) {
    std::ofstream(path) << "vantre-joblist 1\njob\nsource /x\n";
    TJobListStore store(jobs, path, scheduler.Function());
    const TJobListRestore result = store.Restore(nullptr);
    EXPECT_TRUE(result.Rejected);
    EXPECT_EQ(result.Backup, path + ".bak");
    EXPECT_TRUE(fs::exists(path + ".bak"));
    EXPECT_EQ(jobs.Count(), 0);
}

TEST_F(JobListStoreTest, TurnedOffNothingIsSavedAndTheSavedListGoes) {
    TJobListStore store(jobs, path, scheduler.Function());
    jobs.Append(Record(Source("a.avi")));
    scheduler.RunDue();
    store.Flush();
    ASSERT_TRUE(fs::exists(path));

    store.SetEnabled(false);
    store.Flush();
    EXPECT_FALSE(fs::exists(path));
    jobs.Append(Record(Source("b.avi")));
    EXPECT_TRUE(scheduler.due.empty());
    store.Flush();
    EXPECT_FALSE(fs::exists(path));

    // On again: the list as it is now, at once.
    store.SetEnabled(true);
    store.Flush();
    EXPECT_EQ(Saved().size(), 2u);
}

TEST_F(JobListStoreTest, AWriteThatFailsIsReportedAndTheNextOneSucceeds) {
    const std::string folder = dir.File("gone");
    TJobListStore store(jobs, folder + "/" + TJobListFile::FileName, scheduler.Function());
    jobs.Append(Record(Source("a.avi")));
    scheduler.RunDue();
    store.Flush();
    EXPECT_NE(store.LastError(), 0);
    fs::create_directory(folder);
    jobs.SetChecked(0, false);
    scheduler.RunDue();
    store.Flush();
    EXPECT_EQ(store.LastError(), 0);
    EXPECT_EQ(TJobListFile::Read(folder + "/" + TJobListFile::FileName).Jobs.size(), 1u);
}
