#pragma once

#include "JobRecord.h"

#include <cstddef>
#include <string>
#include <vector>

// What the "Progress" cell of a row said, as far as it outlives the program.
enum class TJobState { None, Converting, Done, Failed, Stopped, Interrupted, Missing };

// One row of the job list as saved: its record, check box, cells and state.
struct TSavedJob {
    TlvFilesRecord Record;
    bool Checked = true;
    std::string TrimmedLength; // the "Trimmed Length" cell
    TJobState State = TJobState::None;
    std::string Hint; // the "Progress" cell's tooltip (why it failed)
    // While converting: the folder the conversion writes into (its unfinished file is there).
    std::string ConvertingIn;

    bool operator==(const TSavedJob&) const;
};

struct TJobListReadResult {
    enum class TStatus { Ok, NoFile, Rejected };
    TStatus Status = TStatus::NoFile;
    std::vector<TSavedJob> Jobs;
    std::string Problem; // why the file was rejected
    std::string Backup;  // where a rejected file was moved
};

// The saved job list: a small line-based text format of its own. The first line names the
// format and its version; every job is a block of "key value..." lines; the last line repeats
// the number of jobs, so a cut file is told from a whole one. Every value is one token: bytes
// outside the printable ASCII range, '%' and '-' are written as %XX, an empty value as "-", so
// file names keep the system's bytes whatever their encoding.
class TJobListFile {
public:
    static constexpr const char* FileName = "vantrejoblist.txt";
    static constexpr int Version = 1;
    // Limits the reader holds a file to; anything beyond is refused as damaged.
    static constexpr std::size_t MaxFileBytes = 64u << 20;
    static constexpr std::size_t MaxJobs = 100000;
    static constexpr std::size_t MaxWaterMarks = 1000;
    static constexpr std::size_t MaxPathBytes = 4096;
    static constexpr std::size_t MaxTextBytes = 65536;

    static std::string Format(const std::vector<TSavedJob>& jobs);
    // Throws std::runtime_error with the reason when text is not a sound list of this
    // version or older.
    static std::vector<TSavedJob> Parse(const std::string& text);

    // Reads the list at path without trusting it. A file that is missing gives NoFile; one
    // that is not a regular file, too large, damaged, cut short or of a later version is moved
    // aside as "<path>.bak" (or .bak.1, ...) and gives Rejected with the reason.
    static TJobListReadResult Read(const std::string& path);
    // Writes the list through a temporary file renamed over path. Returns 0 or an errno value.
    static int Write(const std::string& path, const std::vector<TSavedJob>& jobs);

    static std::string Escape(const std::string& bytes);
    // Throws std::runtime_error on a malformed token.
    static std::string Unescape(const std::string& token);
};
