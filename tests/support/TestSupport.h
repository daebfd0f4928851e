#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace testing_support {

// A fresh folder under /tmp, removed with its content at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct CommandResult {
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

CommandResult RunCommand(const std::string& command);
std::string ShellQuote(const std::string& text);

// Runs the ffmpeg tool quietly to write a fixture; fails the test when it cannot.
void Ffmpeg(const std::string& arguments);
// A clip of lavfi testsrc (and sine when audioRate > 0) with the given codecs.
void MakeClip(const std::string& path, double seconds, int width, int height, int fps,
              int audioRate = 44100, const std::string& extra = "");
// One entry of ffprobe's output for the first stream matching selector ("v:0", "a:0", "" for
// the container), e.g. ProbeEntry(f, "v:0", "stream=width").
std::string ProbeEntry(const std::string& path, const std::string& selector,
                       const std::string& entry);
// Every value of that entry, one per line (chapters, tags of several streams).
std::string ProbeEntries(const std::string& path, const std::string& selector,
                         const std::string& entry);
double ProbeDuration(const std::string& path);

// A fixture file shared by every test process of a build: made once by make (into a temporary
// name, then renamed, so that no process sees half of it) in folder, which is created.
std::string SharedFixture(const std::string& folder, const std::string& name,
                          const std::function<void(const std::string& path)>& make);

// Loads the encoder library set from the system once for the whole test program.
void RequireEncoderLibraries();
// The encoder's set and the sound library, as the desktop program loads them at start.
void RequirePlayerLibraries();

// Serves the main-thread queue until predicate holds; false on timeout.
bool PumpUntil(const std::function<bool()>& predicate,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

} // namespace testing_support
