#include "OutputReservation.h"
#include "CoreTestHelpers.h"
#include "OutputName.h"
#include "TaskOutputs.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using core_test::WriteText;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The id of a process that has ended (and been reaped): no writer is alive under it.
pid_t DeadProcessId() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

std::string TailOf(pid_t pid) {
    const std::string own = UnfinishedTail();
    return own.substr(0, own.rfind('-') + 1) + std::to_string(pid);
}

struct OutputReservationFixture : ::testing::Test {
    TempDir dir;
    std::string out = dir.File("out");
    void SetUp() override { fs::create_directories(out); }
};

} // namespace

TEST_F(OutputReservationFixture, ReservedNamesAreCreatedAtOnceAndNeverShared) {
    std::string error;
    TOutputReservation first = TOutputReservation::Reserve(out, "/a/clip.avi", ".mp4", error);
    TOutputReservation second = TOutputReservation::Reserve(out, "/b/clip.mov", ".mp4", error);
    ASSERT_TRUE(first.Held() && second.Held()) << error;
    EXPECT_EQ(first.FinalName(), out + "/clip_(new).mp4");
    EXPECT_EQ(second.FinalName(), out + "/clip_(new_1).mp4");
    EXPECT_EQ(first.UnfinishedName(), out + "/clip_(new).mp4" + TailOf(::getpid()));
    // Both names of both reservations stand on disk, empty, as regular files.
    for (const auto* r : {&first, &second}) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(r->FinalName())));
        EXPECT_EQ(fs::file_size(r->FinalName()), 0u);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(r->UnfinishedName())));
    }
    // A link planted at the next name is taken as taken, never written through.
    fs::create_symlink(dir.File("victim"), out + "/clip_(new_2).mp4");
    TOutputReservation third = TOutputReservation::Reserve(out, "/c/clip.mkv", ".mp4", error);
    EXPECT_EQ(third.FinalName(), out + "/clip_(new_3).mp4");
    EXPECT_FALSE(fs::exists(dir.File("victim")));

    WriteText(first.UnfinishedName(), "complete output");
    EXPECT_EQ(first.Finish(), 0);
    EXPECT_EQ(ReadAll(out + "/clip_(new).mp4"), "complete output");
    EXPECT_FALSE(first.Held());

    const std::string secondFinal = second.FinalName();
    const std::string secondUnfinished = second.UnfinishedName();
    WriteText(secondUnfinished, "half");
    second.Abandon();
    EXPECT_FALSE(fs::exists(secondFinal));
    EXPECT_FALSE(fs::exists(secondUnfinished));

    // Dropped without a word (a task that never ran): nothing is left.
    const std::string thirdFinal = third.FinalName();
    { TOutputReservation dropped = std::move(third); }
    EXPECT_FALSE(fs::exists(thirdFinal));
    EXPECT_FALSE(fs::exists(UnfinishedName(thirdFinal)));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(out + "/clip_(new_2).mp4")));
}

TEST_F(OutputReservationFixture, FinishNeverReplacesAnotherFileAndFailsWithoutTheFolder) {
    std::string error;
    TOutputReservation r = TOutputReservation::Reserve(out, "/a/clip.avi", ".mp4", error);
    WriteText(r.UnfinishedName(), "new");
    // Someone else's file came to stand under the reserved name.
    fs::remove(r.FinalName());
    WriteText(r.FinalName(), "theirs");
    EXPECT_EQ(r.Finish(), EEXIST);
    EXPECT_EQ(ReadAll(out + "/clip_(new).mp4"), "theirs");
    EXPECT_FALSE(fs::exists(UnfinishedName(out + "/clip_(new).mp4")));

    TOutputReservation gone = TOutputReservation::Reserve(out, "/a/other.avi", ".mp4", error);
    fs::remove_all(out);
    EXPECT_EQ(gone.Finish(), ENOENT);

    EXPECT_FALSE(
        TOutputReservation::Reserve(dir.File("missing"), "/a/x.avi", ".mp4", error).Held());
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST_F(OutputReservationFixture, StaleUnfinishedFilesOfDeadWritersOnThisHostAreRemoved) {
    const pid_t dead = DeadProcessId();
    // A dead writer's pair: its unfinished file and the empty reservation.
    WriteText(out + "/a_(new).mp4", "");
    WriteText(out + "/a_(new).mp4" + TailOf(dead), "partial");
    // A dead writer whose final name holds a person's content: that file stays.
    WriteText(out + "/b_(new).mp4", "mine");
    WriteText(out + "/b_(new).mp4" + TailOf(dead), "partial");
    // A person's own empty file pairs with nothing and stays.
    WriteText(out + "/empty.mp4", "");
    // A living writer (this process) and another host's writer are left alone.
    WriteText(out + "/c_(new).mp4", "");
    WriteText(out + "/c_(new).mp4" + UnfinishedTail(), "partial");
    WriteText(out + "/d_(new).mp4.unfinished-otherhost-" + std::to_string(dead), "partial");

    EXPECT_EQ(TOutputReservation::RemoveStale(out), 2);
    EXPECT_FALSE(fs::exists(out + "/a_(new).mp4"));
    EXPECT_FALSE(fs::exists(out + "/a_(new).mp4" + TailOf(dead)));
    EXPECT_EQ(ReadAll(out + "/b_(new).mp4"), "mine");
    EXPECT_TRUE(fs::exists(out + "/empty.mp4"));
    EXPECT_TRUE(fs::exists(out + "/c_(new).mp4"));
    EXPECT_TRUE(fs::exists(out + "/c_(new).mp4" + UnfinishedTail()));
    EXPECT_TRUE(fs::exists(out + "/d_(new).mp4.unfinished-otherhost-" + std::to_string(dead)));

    // The next reservation takes the freed name.
    std::string error;
    EXPECT_EQ(TOutputReservation::Reserve(out, "/x/a.avi", ".mp4", error).FinalName(),
              out + "/a_(new).mp4");
}

TEST_F(OutputReservationFixture, LongSourceNamesAreShortenedSoTheUnfinishedNameFits) {
    // 248 bytes of base name, with two-byte characters where the cut may fall.
    std::string base(200, 'a');
    for (int i = 0; i < 24; ++i) {
        base += "\xc3\xa9"; // é
    }
    const std::string source = "/media/" + base + ".avi";
    std::string error;
    TOutputReservation r = TOutputReservation::Reserve(out, source, ".mp4", error);
    ASSERT_TRUE(r.Held()) << error;
    const std::string finalBase = fs::path(r.FinalName()).filename().string();
    const std::string unfinishedBase = fs::path(r.UnfinishedName()).filename().string();
    EXPECT_LE(unfinishedBase.size(), 255u);
    EXPECT_GE(unfinishedBase.size(), 250u) << "only what is needed is cut";
    ASSERT_GE(finalBase.size(), 10u);
    EXPECT_EQ(finalBase.substr(finalBase.size() - 10), "_(new).mp4");
    const std::string kept = finalBase.substr(0, finalBase.size() - 10);
    EXPECT_EQ(base.compare(0, kept.size(), kept), 0);
    // Never half a character: the cut ends on an 'a' or after a whole "é".
    const unsigned char last = static_cast<unsigned char>(kept.back());
    EXPECT_TRUE(last == 'a' || last == 0xa9) << kept;
    EXPECT_TRUE(last == 'a' || static_cast<unsigned char>(kept[kept.size() - 2]) == 0xc3);
    WriteText(r.UnfinishedName(), "x");
    EXPECT_EQ(r.Finish(), 0);
}

TEST_F(OutputReservationFixture, TaskOutputsFinishAbandonAndDropTheRest) {
    TTaskOutputs outputs;
    std::string error;
    std::string names[3];
    for (int task = 0; task < 3; ++task) {
        TOutputReservation r = TOutputReservation::Reserve(out, "/a/clip.avi", ".mp4", error);
        names[task] = r.FinalName();
        WriteText(r.UnfinishedName(), "task " + std::to_string(task));
        outputs.Put(task, std::move(r));
    }
    std::string finalName;
    EXPECT_EQ(outputs.Finish(0, &finalName), 0);
    EXPECT_EQ(finalName, names[0]);
    EXPECT_EQ(outputs.Finish(0), ENOENT) << "finished once";
    outputs.Abandon(1);
    outputs.AbandonAll();
    EXPECT_EQ(ReadAll(names[0]), "task 0");
    EXPECT_FALSE(fs::exists(names[1]));
    EXPECT_FALSE(fs::exists(names[2]));
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}
