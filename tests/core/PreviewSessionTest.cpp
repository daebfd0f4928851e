// One preview session on a real clip, without widgets: open, play, a seek by the slider, pause,
// the end, a second opening and the close, with the pictures handed to the window thread.
#include "PreviewSession.h"

#include "HeadlessPictureSink.h"
#include "MainThread.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using testing_support::PumpUntil;
using testing_support::TempDir;

namespace {

constexpr int Width = 32;
constexpr int Height = 24;
constexpr std::int64_t Second = 1'000'000;

// Every picture a key picture, so a seek lands on the picture asked for.
struct Clip {
    TempDir dir;
    std::string path = dir.File("clip.mkv");
    Clip() { testing_support::MakeClip(path, 3, Width, Height, 10, 0, "-c:v mpeg4 -g 1 -q:v 2"); }
};

const Clip& SharedClip() {
    static const Clip clip;
    return clip;
}

// A marker the hook draws into the top left pixel of every picture.
constexpr std::uint8_t Marker = 0xA5;

struct Session {
    TFFPlayer player;
    THeadlessPictureSink sink{64, 48};
    int opened = 0;
    int ended = 0;
    std::int64_t duration = -1;
    std::int64_t position = -1;
    std::atomic<int> hooked{0};
    bool onWindowThread = true;
    bool marked = true;
    int frameWidth = 0;
    std::vector<std::int64_t> pictures;
    TPreviewSession session{player, Events()};

    TPreviewSession::TEvents Events() {
        TPreviewSession::TEvents events;
        events.FileOpened = [this](std::int64_t length, int w, int, int&, int&) {
            ++opened;
            duration = length;
            frameWidth = w;
        };
        events.Position = [this](std::int64_t pts) { position = pts; };
        events.Ended = [this] { ++ended; };
        events.Hook = [this](TBitmap24& picture, std::int64_t) {
            ++hooked;
            if (!picture.Empty()) {
                picture.ScanLine(0)[0] = Marker;
            }
        };
        events.Picture = [this](const TBitmap24& picture, std::int64_t pts) {
            onWindowThread = onWindowThread && TMainThread::IsCurrent();
            marked = marked && picture.Width() == Width && picture.ScanLine(0)[0] == Marker;
            pictures.push_back(pts);
        };
        return events;
    }
    bool PictureWhere(const std::function<bool(std::int64_t)>& wanted) {
        return PumpUntil([&] { return !pictures.empty() && wanted(pictures.back()); });
    }
};

} // namespace

TEST(PreviewSession, OpensPlaysSeeksBySliderPausesEndsAndReopens) {
    Session s;
    testing_support::RequirePlayerLibraries();
    ASSERT_TRUE(s.session.LibrariesLoaded());
    EXPECT_FALSE(s.session.IsOpen());
    EXPECT_TRUE(s.session.Paused());

    // A file that cannot be opened leaves the session closed and says why.
    const std::string missing = SharedClip().dir.File("missing.mkv");
    EXPECT_FALSE(s.session.Open(missing, &s.sink));
    EXPECT_FALSE(s.session.IsOpen());
    EXPECT_TRUE(s.session.Paused());
    EXPECT_NE(s.session.LastErrorText().find("missing.mkv"), std::string::npos);

    // Open: the duration is known for the slider, pictures reach the window thread drawn on.
    ASSERT_TRUE(s.session.Open(SharedClip().path, &s.sink));
    EXPECT_TRUE(s.session.IsOpen());
    EXPECT_FALSE(s.session.Paused());
    ASSERT_TRUE(PumpUntil([&] { return s.opened == 1; }));
    EXPECT_EQ(s.frameWidth, Width);
    EXPECT_NEAR(static_cast<double>(s.session.Duration()), 3.0 * Second, 0.1 * Second);
    EXPECT_EQ(s.session.Duration(), s.duration);
    EXPECT_EQ(s.session.TimeAt(150, 300), s.session.Duration() / 2);
    EXPECT_EQ(s.session.SliderPosition(s.session.Duration() / 2, 300), 150);

    // Played past a second, a seek by the slider goes back to a tenth of the clip: only the
    // seek can bring pictures that early before the end.
    ASSERT_TRUE(s.PictureWhere([](std::int64_t pts) { return pts >= Second; }));
    EXPECT_EQ(s.ended, 0);
    s.session.SeekToSlider(30, 300);
    ASSERT_TRUE(s.PictureWhere([](std::int64_t pts) { return pts < Second / 2; }));
    EXPECT_GE(s.pictures.back(), s.session.TimeAt(30, 300) - Second / 20);
    EXPECT_EQ(s.ended, 0) << "the early picture came from the seek, not from the rewind";
    EXPECT_TRUE(s.onWindowThread);
    EXPECT_TRUE(s.marked) << "the hook's drawing travels with the copy";
    EXPECT_GE(s.hooked.load(), static_cast<int>(s.pictures.size()));
    ASSERT_TRUE(PumpUntil([&] { return s.position >= 0; }));

    s.session.Pause();
    EXPECT_TRUE(s.session.Paused());
    ASSERT_TRUE(PumpUntil([&] { return s.player.State() == psPause; }));

    // Played to the end: rewound and paused; a seek is refused until Play.
    s.session.Play();
    EXPECT_FALSE(s.session.Paused());
    ASSERT_TRUE(PumpUntil([&] { return s.ended == 1; }));
    EXPECT_TRUE(s.session.Ended());
    EXPECT_TRUE(s.session.Paused());
    EXPECT_TRUE(s.session.IsOpen());

    // Opened again: a second file-open event, and pictures from the start again.
    s.pictures.clear();
    ASSERT_TRUE(s.session.Open(SharedClip().path, &s.sink));
    EXPECT_FALSE(s.session.Ended());
    EXPECT_FALSE(s.session.Paused());
    ASSERT_TRUE(PumpUntil([&] { return s.opened == 2; }));
    ASSERT_TRUE(s.PictureWhere([](std::int64_t pts) { return pts >= 0; }));

    // Closed while playing: a picture posted before the close is never handed over.
    s.session.Close();
    EXPECT_FALSE(s.session.IsOpen());
    EXPECT_EQ(s.player.State(), psStop);
    EXPECT_FALSE(s.player.Hook());
    const size_t shown = s.pictures.size();
    ASSERT_TRUE(PumpUntil([] { return !TMainThread::HasPending(); }));
    EXPECT_EQ(s.pictures.size(), shown);
}

TEST(PreviewSession, WithoutPictureEventsThePlayerIsNotHooked) {
    TFFPlayer player;
    THeadlessPictureSink sink{64, 48};
    int ended = 0;
    TPreviewSession::TEvents events;
    events.Ended = [&] { ++ended; };
    TPreviewSession session(player, events);
    testing_support::RequirePlayerLibraries();
    ASSERT_TRUE(session.LibrariesLoaded());
    ASSERT_TRUE(session.Open(SharedClip().path, &sink, true));
    EXPECT_TRUE(session.Paused());
    EXPECT_FALSE(player.Hook());
    // Nothing open plays, pauses or seeks.
    session.Close();
    session.Play();
    EXPECT_TRUE(session.Paused());
    EXPECT_EQ(player.State(), psStop);
    EXPECT_EQ(ended, 0);
}
