#include "JobListFile.h"

#include "AtomicFile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <set>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

constexpr std::string_view Magic = "vantre-joblist";
constexpr const char* Hex = "0123456789ABCDEF";
constexpr std::int64_t IntMax = std::numeric_limits<int>::max();
// Picture sizes and positions far beyond any real picture are a damaged file.
constexpr std::int64_t Pixels = 1 << 20;
// About 300 years in microseconds: beyond any real length, far from overflowing.
constexpr std::int64_t MaxMicroseconds = std::int64_t{1} << 53;

struct TStateName {
    TJobState state;
    const char* name;
};
constexpr TStateName StateNames[] = {
    {TJobState::None, "none"},       {TJobState::Converting, "converting"},
    {TJobState::Done, "done"},       {TJobState::Failed, "failed"},
    {TJobState::Stopped, "stopped"}, {TJobState::Interrupted, "interrupted"},
    {TJobState::Missing, "missing"},
};
constexpr const char* ZoomModes[] = {"full", "lbox", "pan", "center"};

[[noreturn]] void Damaged(std::size_t line, const std::string& what) {
    throw std::runtime_error("line " + std::to_string(line) + ": " + what);
}

void Put(std::string& out, std::string_view key) {
    out.append(key);
}

void PutValue(std::string& out, const std::string& value) {
    out.push_back(' ');
    out.append(TJobListFile::Escape(value));
}

void PutNumber(std::string& out, std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.push_back(' ');
    out.append(buffer, result.ptr);
}

void PutLine(std::string& out, std::string_view key, std::initializer_list<std::int64_t> numbers) {
    Put(out, key);
    for (const std::int64_t n : numbers) {
        PutNumber(out, n);
    }
    out.push_back('\n');
}

void PutText(std::string& out, std::string_view key, const std::string& value) {
    Put(out, key);
    PutValue(out, value);
    out.push_back('\n');
}

void FormatWaterMark(std::string& out, const TWmRec& wm) {
    Put(out, "watermark");
    PutNumber(out, wm.Kind);
    PutNumber(out, wm.StartSec);
    PutNumber(out, wm.EndSec);
    PutValue(out, wm.Text);
    PutValue(out, wm.Font.Name);
    PutNumber(out, wm.Font.Size);
    PutNumber(out, wm.Font.Style);
    PutNumber(out, wm.Font.Color);
    PutNumber(out, wm.TextLeft);
    PutNumber(out, wm.TextTop);
    PutNumber(out, wm.TextWidth);
    PutNumber(out, wm.TextHeight);
    PutNumber(out, wm.TextOpacity);
    PutNumber(out, wm.BackColor);
    PutNumber(out, wm.HasBackColor ? 1 : 0);
    PutValue(out, wm.ImageFile);
    PutNumber(out, wm.ImageLeft);
    PutNumber(out, wm.ImageTop);
    PutNumber(out, wm.ImageWidth);
    PutNumber(out, wm.ImageHeight);
    PutNumber(out, wm.ImageOpacity);
    out.push_back('\n');
}

const char* StateName(TJobState state) {
    for (const TStateName& s : StateNames) {
        if (s.state == state) {
            return s.name;
        }
    }
    return "none";
}

// The tokens of one line, checked one by one as they are taken.
class TLineReader {
public:
    TLineReader(std::size_t number, std::string_view line) : number_(number) {
        std::size_t start = 0;
        while (start <= line.size()) {
            const std::size_t space = line.find(' ', start);
            const std::size_t end = space == std::string_view::npos ? line.size() : space;
            if (end == start) {
                Damaged(number, "empty field");
            }
            tokens_.push_back(line.substr(start, end - start));
            if (space == std::string_view::npos) {
                break;
            }
            start = space + 1;
        }
    }

    std::string_view Key() const { return tokens_.front(); }
    void Expect(std::size_t values) const {
        if (tokens_.size() != values + 1) {
            Damaged(number_,
                    "\"" + std::string(Key()) + "\" needs " + std::to_string(values) + " values");
        }
    }
    std::int64_t Number(std::int64_t lowest, std::int64_t highest) {
        const std::string_view token = Next();
        std::int64_t value = 0;
        const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
        if (result.ec != std::errc() || result.ptr != token.data() + token.size()) {
            Damaged(number_, "not a number: " + std::string(token.substr(0, 40)));
        }
        if (value < lowest || value > highest) {
            Damaged(number_, "value out of range: " + std::string(token));
        }
        return value;
    }
    int Int(std::int64_t lowest, std::int64_t highest) {
        return static_cast<int>(Number(lowest, highest));
    }
    bool Flag() { return Number(0, 1) == 1; }
    std::uint32_t Color() { return static_cast<std::uint32_t>(Number(0, 0xFFFFFFFF)); }
    std::string Text(std::size_t maxBytes) {
        std::string value;
        try {
            value = TJobListFile::Unescape(std::string(Next()));
        } catch (const std::runtime_error& e) {
            Damaged(number_, e.what());
        }
        if (value.size() > maxBytes) {
            Damaged(number_, "value too long");
        }
        if (value.find('\0') != std::string::npos) {
            Damaged(number_, "value holds a NUL byte");
        }
        return value;
    }
    // An absolute path, or (when allowed) nothing.
    std::string Path(bool mayBeEmpty) {
        std::string path = Text(TJobListFile::MaxPathBytes);
        if (path.empty() ? !mayBeEmpty : path.front() != '/') {
            Damaged(number_, "not an absolute path");
        }
        return path;
    }

private:
    std::string_view Next() { return tokens_.at(++taken_); }

    std::size_t number_;
    std::vector<std::string_view> tokens_;
    std::size_t taken_ = 0;
};

TWmRec ParseWaterMark(TLineReader& in) {
    in.Expect(21);
    TWmRec wm;
    wm.Kind = in.Int(TWmRec::TextItem, TWmRec::ImageItem);
    wm.StartSec = in.Int(0, IntMax);
    wm.EndSec = in.Int(0, IntMax);
    wm.Text = in.Text(TJobListFile::MaxTextBytes);
    wm.Font.Name = in.Text(1024);
    wm.Font.Size = in.Int(1, 4096);
    wm.Font.Style = in.Int(0, 15);
    wm.Font.Color = in.Color();
    wm.TextLeft = in.Int(-Pixels, Pixels);
    wm.TextTop = in.Int(-Pixels, Pixels);
    wm.TextWidth = in.Int(0, Pixels);
    wm.TextHeight = in.Int(0, Pixels);
    wm.TextOpacity = in.Int(0, 255);
    wm.BackColor = in.Color();
    wm.HasBackColor = in.Flag();
    wm.ImageFile = in.Path(true);
    wm.ImageLeft = in.Int(-Pixels, Pixels);
    wm.ImageTop = in.Int(-Pixels, Pixels);
    wm.ImageWidth = in.Int(0, Pixels);
    wm.ImageHeight = in.Int(0, Pixels);
    wm.ImageOpacity = in.Int(0, 255);
    return wm;
}

// One "key values" line inside a job block.
void ParseJobLine(TLineReader& in, TSavedJob& job, std::set<std::string_view>& seen,
                  std::size_t line) {
    const std::string_view key = in.Key();
    if (key != "watermark" && !seen.insert(key).second) {
        Damaged(line, "\"" + std::string(key) + "\" given twice");
    }
    TlvFilesRecord& r = job.Record;
    if (key == "source") {
        in.Expect(1);
        r.SourceFile = in.Path(false);
    } else if (key == "output") {
        in.Expect(1);
        r.OutputFile = in.Path(false);
    } else if (key == "add-order") {
        in.Expect(1);
        r.AddOrder = in.Int(0, IntMax);
    } else if (key == "length") {
        in.Expect(1);
        r.LengthSeconds = in.Int(0, IntMax);
    } else if (key == "checked") {
        in.Expect(1);
        job.Checked = in.Flag();
    } else if (key == "trimmed") {
        in.Expect(1);
        job.TrimmedLength = in.Text(32);
    } else if (key == "state") {
        in.Expect(1);
        const std::string name = in.Text(32);
        bool known = false;
        for (const TStateName& s : StateNames) {
            if (name == s.name) {
                job.State = s.state;
                known = true;
            }
        }
        if (!known) {
            Damaged(line, "unknown state");
        }
    } else if (key == "hint") {
        in.Expect(1);
        job.Hint = in.Text(TJobListFile::MaxTextBytes);
    } else if (key == "converting-in") {
        in.Expect(1);
        job.ConvertingIn = in.Path(true);
    } else if (key == "trim") {
        in.Expect(2);
        r.TrimStart = in.Number(0, MaxMicroseconds);
        r.TrimLength = in.Number(0, MaxMicroseconds);
    } else if (key == "zoom") {
        in.Expect(1);
        r.ZoomMode = in.Text(16);
        bool known = false;
        for (const char* mode : ZoomModes) {
            known = known || r.ZoomMode == mode;
        }
        if (!known) {
            Damaged(line, "unknown zoom mode");
        }
    } else if (key == "crop") {
        in.Expect(4);
        r.CropTop = in.Int(0, Pixels);
        r.CropLeft = in.Int(0, Pixels);
        r.CropBottom = in.Int(0, Pixels);
        r.CropRight = in.Int(0, Pixels);
    } else if (key == "crop-view") {
        in.Expect(4);
        r.CropUpView = in.Int(0, Pixels);
        r.CropLeftView = in.Int(0, Pixels);
        r.CropDownView = in.Int(0, Pixels);
        r.CropRightView = in.Int(0, Pixels);
    } else if (key == "effects") {
        in.Expect(4);
        r.Brightness = in.Int(0, 1024);
        r.Contrast = in.Int(-1024, 1024);
        r.Saturation = in.Int(0, 1024);
        r.Exposure = in.Int(-1024, 1024);
    } else if (key == "process") {
        in.Expect(2);
        r.ProcessText = in.Flag();
        r.ProcessImage = in.Flag();
    } else if (key == "watermark") {
        if (r.WaterMarks.size() >= TJobListFile::MaxWaterMarks) {
            Damaged(line, "too many watermarks");
        }
        r.WaterMarks.push_back(ParseWaterMark(in));
    } else {
        Damaged(line, "unknown key \"" + std::string(key.substr(0, 40)) + "\"");
    }
}

// Where the rejected file goes: the first free "<path>.bak", "<path>.bak.1", ...
std::string MoveAside(const std::string& path) {
    for (int i = 0; i < 1000; ++i) {
        const std::string name = path + ".bak" + (i == 0 ? std::string() : "." + std::to_string(i));
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) {
            return name;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    return {};
}

} // namespace

bool TSavedJob::operator==(const TSavedJob& other) const {
    const auto wmKey = [](const TWmRec& w) {
        return std::tie(w.Text, w.Font.Name, w.Font.Size, w.Font.Style, w.Font.Color, w.TextLeft,
                        w.TextTop, w.TextWidth, w.TextHeight, w.TextOpacity, w.BackColor,
                        w.HasBackColor, w.ImageFile, w.ImageLeft, w.ImageTop, w.ImageWidth,
                        w.ImageHeight, w.ImageOpacity, w.Kind, w.StartSec, w.EndSec);
    };
    const auto key = [](const TSavedJob& j) {
        const TlvFilesRecord& r = j.Record;
        return std::tie(r.AddOrder, r.SourceFile, r.OutputFile, r.LengthSeconds, r.TrimStart,
                        r.TrimLength, r.ZoomMode, r.CropTop, r.CropLeft, r.CropBottom, r.CropRight,
                        r.CropUpView, r.CropLeftView, r.CropDownView, r.CropRightView, r.Brightness,
                        r.Contrast, r.Saturation, r.Exposure, r.ProcessText, r.ProcessImage,
                        j.Checked, j.TrimmedLength, j.State, j.Hint, j.ConvertingIn);
    };
    if (key(*this) != key(other) || Record.WaterMarks.size() != other.Record.WaterMarks.size()) {
        return false;
    }
    for (std::size_t i = 0; i < Record.WaterMarks.size(); ++i) {
        if (wmKey(Record.WaterMarks[i]) != wmKey(other.Record.WaterMarks[i])) {
            return false;
        }
    }
    return true;
}

std::string TJobListFile::Escape(const std::string& bytes) {
    if (bytes.empty()) {
        return "-";
    }
    std::string out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b > 0x20 && b < 0x7F && b != '%' && b != '-') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(Hex[b >> 4]);
            out.push_back(Hex[b & 15]);
        }
    }
    return out;
}

std::string TJobListFile::Unescape(const std::string& token) {
    if (token == "-") {
        return {};
    }
    const auto hexValue = [](char c) -> int {
        const char* at = std::strchr(Hex, c);
        return c != '\0' && at != nullptr ? static_cast<int>(at - Hex) : -1;
    };
    std::string out;
    out.reserve(token.size());
    for (std::size_t i = 0; i < token.size(); ++i) {
        const auto b = static_cast<unsigned char>(token[i]);
        if (b == '%') {
            const bool whole = i + 2 < token.size();
            const int high = whole ? hexValue(token[i + 1]) : -1;
            const int low = whole ? hexValue(token[i + 2]) : -1;
            if (high < 0 || low < 0) {
                throw std::runtime_error("bad escape");
            }
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else if (b > 0x20 && b < 0x7F && b != '-') {
            out.push_back(static_cast<char>(b));
        } else {
            throw std::runtime_error("byte that should have been escaped");
        }
    }
    return out;
}

std::string TJobListFile::Format(const std::vector<TSavedJob>& jobs) {
    std::string out;
    out.reserve(64 + jobs.size() * 400);
    out.append(Magic);
    PutNumber(out, Version);
    out.push_back('\n');
    for (const TSavedJob& job : jobs) {
        const TlvFilesRecord& r = job.Record;
        out.append("job\n");
        PutText(out, "source", r.SourceFile);
        PutText(out, "output", r.OutputFile);
        PutLine(out, "add-order", {r.AddOrder});
        PutLine(out, "length", {r.LengthSeconds});
        PutLine(out, "checked", {job.Checked ? 1 : 0});
        PutText(out, "trimmed", job.TrimmedLength);
        PutText(out, "state", StateName(job.State));
        if (!job.Hint.empty()) {
            PutText(out, "hint", job.Hint);
        }
        if (!job.ConvertingIn.empty()) {
            PutText(out, "converting-in", job.ConvertingIn);
        }
        PutLine(out, "trim", {r.TrimStart, r.TrimLength});
        PutText(out, "zoom", r.ZoomMode);
        PutLine(out, "crop", {r.CropTop, r.CropLeft, r.CropBottom, r.CropRight});
        PutLine(out, "crop-view", {r.CropUpView, r.CropLeftView, r.CropDownView, r.CropRightView});
        PutLine(out, "effects", {r.Brightness, r.Contrast, r.Saturation, r.Exposure});
        PutLine(out, "process", {r.ProcessText ? 1 : 0, r.ProcessImage ? 1 : 0});
        for (const TWmRec& wm : r.WaterMarks) {
            FormatWaterMark(out, wm);
        }
        out.append("end-job\n");
    }
    PutLine(out, "end", {static_cast<std::int64_t>(jobs.size())});
    return out;
}

std::vector<TSavedJob> TJobListFile::Parse(const std::string& text) {
    if (text.size() > MaxFileBytes) {
        throw std::runtime_error("the file is larger than " + std::to_string(MaxFileBytes >> 20) +
                                 " MiB");
    }
    std::vector<TSavedJob> jobs;
    std::set<std::string> sources;
    std::size_t pos = 0;
    std::size_t number = 0;
    bool header = false;
    bool ended = false;
    bool inJob = false;
    std::set<std::string_view> seen;
    while (pos < text.size()) {
        const std::size_t newline = text.find('\n', pos);
        ++number;
        if (newline == std::string::npos) {
            Damaged(number, "the file is cut short");
        }
        const std::string_view line(text.data() + pos, newline - pos);
        pos = newline + 1;
        if (ended) {
            Damaged(number, "text after the end");
        }
        TLineReader in(number, line);
        if (!header) {
            if (in.Key() != Magic) {
                Damaged(number, "not a job list");
            }
            in.Expect(1);
            const std::int64_t version = in.Number(1, IntMax);
            if (version > Version) {
                Damaged(number,
                        "written by a later version (format " + std::to_string(version) + ")");
            }
            header = true;
        } else if (in.Key() == "job") {
            in.Expect(0);
            if (inJob) {
                Damaged(number, "job not ended");
            }
            if (jobs.size() >= MaxJobs) {
                Damaged(number, "too many jobs");
            }
            jobs.emplace_back();
            seen.clear();
            inJob = true;
        } else if (in.Key() == "end-job") {
            in.Expect(0);
            if (!inJob || jobs.back().Record.SourceFile.empty() ||
                jobs.back().Record.OutputFile.empty()) {
                Damaged(number, "job without a source or output");
            }
            if (!sources.insert(jobs.back().Record.SourceFile).second) {
                Damaged(number, "the same source twice");
            }
            inJob = false;
        } else if (in.Key() == "end") {
            in.Expect(1);
            if (inJob || in.Number(0, static_cast<std::int64_t>(MaxJobs)) !=
                             static_cast<std::int64_t>(jobs.size())) {
                Damaged(number, "the job count does not match");
            }
            ended = true;
        } else if (inJob) {
            ParseJobLine(in, jobs.back(), seen, number);
        } else {
            Damaged(number, "a value outside a job");
        }
    }
    if (!ended) {
        Damaged(number, "the file is cut short");
    }
    return jobs;
}

TJobListReadResult TJobListFile::Read(const std::string& path) {
    TJobListReadResult result;
    // Not blocking on a FIFO, not following a link: neither is a list we wrote.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        return result;
    }
    std::string text;
    try {
        if (fd < 0) {
            throw std::runtime_error(std::strerror(errno));
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            throw std::runtime_error("not a regular file");
        }
        if (static_cast<std::uint64_t>(st.st_size) > MaxFileBytes) {
            throw std::runtime_error("the file is larger than " +
                                     std::to_string(MaxFileBytes >> 20) + " MiB");
        }
        text.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                throw std::runtime_error(n < 0 ? std::strerror(errno) : "the file shrank");
            }
            done += static_cast<std::size_t>(n);
        }
        result.Jobs = Parse(text);
        result.Status = TJobListReadResult::TStatus::Ok;
    } catch (const std::exception& e) {
        result.Status = TJobListReadResult::TStatus::Rejected;
        result.Problem = e.what();
        result.Jobs.clear();
    }
    if (fd >= 0) {
        ::close(fd);
    }
    if (result.Status == TJobListReadResult::TStatus::Rejected) {
        result.Backup = MoveAside(path);
    }
    return result;
}

int TJobListFile::Write(const std::string& path, const std::vector<TSavedJob>& jobs) {
    return ReplaceFileContent(path, Format(jobs));
}
