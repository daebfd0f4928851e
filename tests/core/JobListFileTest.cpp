#include "JobListFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

TSavedJob Job(const std::string& source) {
    TSavedJob job;
    job.Record.SourceFile = source;
    job.Record.OutputFile = "/out/clip_(new)_ipod.mp4";
    job.Record.LengthSeconds = 12;
    job.TrimmedLength = "12";
    return job;
}

// A job with every field away from its default, names in bytes that are not UTF-8.
TSavedJob FullJob() {
    TSavedJob job = Job("/home/a b/caf\xE9 100%-cut\n.avi");
    TlvFilesRecord& r = job.Record;
    r.AddOrder = 3;
    r.TrimStart = 1500000;
    r.TrimLength = 4000000;
    r.ZoomMode = "full";
    r.CropTop = 2;
    r.CropLeft = 4;
    r.CropBottom = 6;
    r.CropRight = 8;
    r.CropUpView = 1;
    r.CropLeftView = 2;
    r.CropDownView = 3;
    r.CropRightView = 4;
    r.Brightness = 300;
    r.Contrast = -20;
    r.Saturation = 100;
    r.Exposure = 15;
    r.ProcessText = true;
    TWmRec text;
    text.Text = "Hello - world\t%";
    text.Font.Name = "DejaVu Sans";
    text.Font.Style = TWaterMarkFont::Bold | TWaterMarkFont::Italic;
    text.TextLeft = -5;
    text.HasBackColor = true;
    text.StartSec = 1;
    text.EndSec = 3;
    TWmRec image;
    image.Kind = TWmRec::ImageItem;
    image.ImageFile = "/pics/logo.bmp";
    image.ImageWidth = 40;
    image.ImageOpacity = 128;
    r.WaterMarks = {text, image};
    job.Checked = false;
    job.TrimmedLength = "4";
    job.State = TJobState::Failed;
    job.Hint = "Cannot open the file";
    return job;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(JobListFile, EveryFieldAndAnyBytesComeBackAsWritten) {
    TSavedJob converting = Job("/v/second.mkv");
    converting.State = TJobState::Converting;
    converting.ConvertingIn = "/out";
    const std::vector<TSavedJob> jobs = {FullJob(), converting, Job("/v/-")};
    const std::string text = TJobListFile::Format(jobs);
    // One token per value: the odd bytes are escaped, the lines stay lines.
    EXPECT_NE(text.find("source /home/a%20b/caf%E9%20100%25%2Dcut%0A.avi\n"), std::string::npos);
    EXPECT_EQ(TJobListFile::Parse(text), jobs);
    EXPECT_EQ(TJobListFile::Parse(TJobListFile::Format({})).size(), 0u);
}

TEST(JobListFile, DamagedTextIsRefusedWithTheReason) {
    const std::string good = TJobListFile::Format({FullJob(), Job("/v/two.avi")});
    ASSERT_NO_THROW(TJobListFile::Parse(good));
    // Cut anywhere before its last byte, the list is refused.
    for (std::size_t cut = 0; cut + 1 < good.size(); cut += 7) {
        EXPECT_THROW(TJobListFile::Parse(good.substr(0, cut)), std::runtime_error) << cut;
    }
    const std::pair<std::string, std::string> damaged[] = {
        {"vantre-joblist 1", "vantre-joblist 2"},     // a later version
        {"vantre-joblist 1", "vantre-joblist x"},     // no version
        {"vantre-joblist", "something-else"},         // not a list
        {"length 12", "length -1"},                   // out of range
        {"length 12", "length 99999999999"},          // beyond an int
        {"length 12", "length 12 13"},                // one value too many
        {"source /v/two.avi", "source v/two.avi"},    // a relative path
        {"source /v/two.avi", "source /v/t%00o.avi"}, // a NUL byte
        {"source /v/two.avi", "source /v/t%zzo.avi"}, // a broken escape
        {"source /v/two.avi", "source /home/a%20b/caf%E9%20100%25%2Dcut%0A.avi"}, // twice
        {"state failed", "state exploded"},
        {"zoom full", "zoom wide"},
        {"effects 300", "effects 30000"},
        {"checked 1", "checked 2"},
        {"trim 0 0", "trim 0"},
        {"end 2", "end 3"},
        {"process 0 0", "process 0 0\nprocess 1 1"}, // a key twice
        {"crop 0 0 0 0", "cropped 0 0 0 0"},         // an unknown key
        {"end 2\n", "end 2\njob\n"},                 // text after the end
        {"end-job\njob", "job"},                     // a job not ended
    };
    for (const auto& [from, to] : damaged) {
        EXPECT_THROW(TJobListFile::Parse(Replace(good, from, to)), std::runtime_error) << to;
    }
    try {
        TJobListFile::Parse(Replace(good, "vantre-joblist 1", "vantre-joblist 7"));
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("later version"), std::string::npos) << e.what();
    }
}

TEST(JobListFile, ReadKeepsARefusedFileAsBakAndNeverBlocks) {
    TempDir dir;
    const std::string path = dir.File(TJobListFile::FileName);
    EXPECT_EQ(TJobListFile::Read(path).Status, TJobListReadResult::TStatus::NoFile);

    ASSERT_EQ(TJobListFile::Write(path, {FullJob()}), 0);
    const TJobListReadResult ok = TJobListFile::Read(path);
    ASSERT_EQ(ok.Status, TJobListReadResult::TStatus::Ok);
    EXPECT_EQ(ok.Jobs, std::vector<TSavedJob>{FullJob()});

    // Truncated: refused, moved aside unchanged.
    const std::string whole = ReadAll(path);
    WriteAll(path, whole.substr(0, whole.size() / 2));
    TJobListReadResult cut = TJobListFile::Read(path);
    EXPECT_EQ(cut.Status, TJobListReadResult::TStatus::Rejected);
    EXPECT_TRUE(cut.Jobs.empty());
    EXPECT_EQ(cut.Backup, path + ".bak");
    EXPECT_EQ(ReadAll(path + ".bak"), whole.substr(0, whole.size() / 2));
    EXPECT_FALSE(fs::exists(path));

    // Oversized (sparse, so the test writes nothing): refused without being read; an older
    // backup is kept.
    WriteAll(path, "");
    fs::resize_file(path, TJobListFile::MaxFileBytes + 1);
    const TJobListReadResult big = TJobListFile::Read(path);
    EXPECT_EQ(big.Status, TJobListReadResult::TStatus::Rejected);
    EXPECT_NE(big.Problem.find("larger"), std::string::npos) << big.Problem;
    EXPECT_EQ(big.Backup, path + ".bak.1");

    // A FIFO would block a plain open; a link is not a list we wrote.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(TJobListFile::Read(path).Status, TJobListReadResult::TStatus::Rejected);
    EXPECT_TRUE(fs::is_fifo(path + ".bak.2"));
    const std::string elsewhere = dir.File("elsewhere.txt");
    ASSERT_EQ(TJobListFile::Write(elsewhere, {Job("/v/a.avi")}), 0);
    fs::create_symlink(elsewhere, path);
    EXPECT_EQ(TJobListFile::Read(path).Status, TJobListReadResult::TStatus::Rejected);
    EXPECT_TRUE(fs::exists(elsewhere));
}

TEST(JobListFile, WriteReplacesALinkAtTheNameInsteadOfWritingThroughIt) {
    TempDir dir;
    const std::string path = dir.File(TJobListFile::FileName);
    const std::string victim = dir.File("victim.txt");
    WriteAll(victim, "precious");
    fs::create_symlink(victim, path);
    ASSERT_EQ(TJobListFile::Write(path, {Job("/v/a.avi")}), 0);
    EXPECT_EQ(ReadAll(victim), "precious");
    EXPECT_FALSE(fs::is_symlink(path));
    EXPECT_EQ(TJobListFile::Read(path).Jobs.size(), 1u);
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.Path())) {
        ++files;
    }
    EXPECT_EQ(files, 2);
}
