#pragma once

#include "FFPlayer.h"
#include "GuiTestHelpers.h"
#include "JobList.h"
#include "TestSupport.h"

#include <memory>
#include <string>

namespace trimcrop_test {

// Clips of the trim and crop tests, made once for the whole program.
struct Clips {
    testing_support::TempDir dir;
    // 60 s, 32x24, 2 fps, every picture a key picture (seeks land exactly), no sound.
    std::string minute = dir.File("minute.avi");
    // 2 s, 32x24, 4 fps, with 8 kHz sound: plays to its end quickly.
    std::string brief = dir.File("brief.mkv");
    // 2 s, 640x360, 10 fps, a key picture every 5.
    std::string wide = dir.File("wide.mp4");
    // 2 s of 8 kHz sound.
    std::string tone = dir.File("tone.wav");
    std::string missing = dir.File("missing.avi");

    Clips() {
        testing_support::MakeClip(minute, 60, 32, 24, 2, 0, "-c:v mpeg4 -g 1 -q:v 4");
        testing_support::MakeClip(brief, 2, 32, 24, 4, 8000, "-c:v mpeg4 -c:a mp2");
        testing_support::MakeClip(wide, 2, 640, 360, 10, 0, "-c:v mpeg4 -g 5 -q:v 3");
        testing_support::Ffmpeg("-f lavfi -i sine=frequency=440:sample_rate=8000:duration=2 " +
                                testing_support::ShellQuote(tone));
    }
};

inline const Clips& SharedClips() {
    static const Clips clips;
    return clips;
}

// Appends a row for the file, as adding it would; returns its row.
inline int AddJob(TJobList& jobs, const std::string& path, int seconds) {
    auto record = std::make_unique<TlvFilesRecord>();
    record->SourceFile = path;
    record->LengthSeconds = seconds;
    record->OutputFile = path + ".out.mp4";
    return jobs.Append(std::move(record));
}

// Puts a paused player at t (a key picture's time), with that picture on screen. Under load
// the player now and then drops a seek made while paused and keeps its earlier picture; the
// seek is asked again then.
inline bool PlayerAt(TFFPlayer& player, std::int64_t t) {
    for (int attempt = 0; attempt < 5 && player.Position() != t; ++attempt) {
        player.Seek(0, true, t);
        gui_test::WaitUntil([&] { return player.Position() == t; }, 5000);
    }
    return player.Position() == t;
}

} // namespace trimcrop_test
