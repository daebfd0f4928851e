#include "VideoWidget.h"
#include "FFPlayer.h"
#include "FFmpegLoader.h"
#include "LibrarySet.h"
#include "MainThread.h"
#include "QtMainThreadWaker.h"
#include "TestSupport.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Serves the window thread's events and the main-thread queue until predicate holds.
bool ServeUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout = 20s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        TMainThread::CheckSynchronize();
    }
    return true;
}

std::shared_ptr<TSinkPicture> Solid(int width, int height, std::uint32_t bgra) {
    auto picture = std::make_shared<TSinkPicture>(width, height);
    picture->Fill(bgra);
    return picture;
}

QRgb PixelAt(TVideoWidget& widget, int x, int y) {
    return widget.grab().toImage().pixel(x, y) & 0xFFFFFF;
}

class ListenerRecord : public ISurfaceListener {
public:
    void SurfaceResized(int width, int height) override {
        std::lock_guard lock(mutex);
        sizes.emplace_back(width, height);
    }
    void SurfaceExposed() override {}
    std::mutex mutex;
    std::vector<std::pair<int, int>> sizes;
};

using VideoWidget = ::testing::Test;

// A picture handed over by another thread is painted in its rectangle, the rest is black;
// Clear leaves only black.
TEST_F(VideoWidget, PaintsThePictureInItsRectangle) {
    TVideoWidget widget;
    widget.resize(200, 100);
    widget.show();
    std::thread worker([&] {
        widget.ShowPicture(Solid(100, 100, 0xFFFF0000u), {50, 0, 100, 100});
    });
    worker.join();
    ASSERT_TRUE(ServeUntil([&] { return PixelAt(widget, 100, 50) == 0xFF0000; }));
    EXPECT_EQ(PixelAt(widget, 10, 50), 0x000000u);
    EXPECT_EQ(PixelAt(widget, 190, 50), 0x000000u);
    EXPECT_EQ(widget.CurrentRect(), (TPictureRect{50, 0, 100, 100}));
    widget.Clear();
    ASSERT_TRUE(ServeUntil([&] { return PixelAt(widget, 100, 50) == 0x000000u; }));
    EXPECT_EQ(widget.CurrentPicture(), nullptr);
}

// The player's threads never wait for the window thread: many pictures are handed over while
// the window thread serves nothing, and the last one is what gets painted.
TEST_F(VideoWidget, ShowPictureNeverWaitsForTheWindowThread) {
    TVideoWidget widget;
    widget.resize(64, 64);
    widget.show();
    std::thread worker([&] {
        for (int i = 0; i < 500; ++i) {
            widget.ShowPicture(Solid(64, 64, 0xFF000000u | static_cast<std::uint32_t>(i)),
                               {0, 0, 64, 64});
            widget.Redraw();
        }
        widget.ShowPicture(Solid(64, 64, 0xFF00FF00u), {0, 0, 64, 64});
    });
    worker.join(); // would never return if a call waited for this thread
    ASSERT_TRUE(ServeUntil([&] { return PixelAt(widget, 32, 32) == 0x00FF00u; }));
}

// A resize tells the listener the new surface size; after the listener is removed it hears
// nothing more.
TEST_F(VideoWidget, ResizeTellsTheListener) {
    TVideoWidget widget;
    ListenerRecord listener;
    widget.SetSurfaceListener(&listener);
    widget.resize(320, 180);
    widget.show();
    ASSERT_TRUE(ServeUntil([&] {
        int width = 0;
        int height = 0;
        widget.SurfaceSize(width, height);
        return width == 320 && height == 180;
    }));
    {
        std::lock_guard lock(listener.mutex);
        ASSERT_FALSE(listener.sizes.empty());
        EXPECT_EQ(listener.sizes.back(), std::make_pair(320, 180));
    }
    widget.SetSurfaceListener(nullptr);
    const size_t heard = listener.sizes.size();
    widget.resize(100, 100);
    ServeUntil([&] { return widget.width() == 100; });
    EXPECT_EQ(listener.sizes.size(), heard);
}

// The player plays into the widget: the first picture of a paused start is painted,
// letterboxed by its own aspect in a square widget.
TEST_F(VideoWidget, PlayerPaintsIntoTheWidget) {
    TFFmpegLoader& loader = TFFmpegLoader::Instance();
    if (!loader.Loaded(PlayerLibraries)) {
        ASSERT_TRUE(loader.Load(PlayerLibraries)) << loader.LastErrorText();
    }
    TQtMainThreadWaker waker;
    testing_support::TempDir dir;
    const std::string clip = dir.File("clip.mp4");
    testing_support::MakeClip(clip, 1, 320, 240, 25, 44100, "-c:v mpeg4 -c:a aac");
    TVideoWidget widget;
    widget.resize(400, 400);
    widget.show();
    ASSERT_TRUE(ServeUntil([&] { return widget.isVisible(); }));
    TFFPlayer player;
    std::vector<TPlayState> states;
    player.SetOnState([&](TCustomPlayer&, TPlayState state) { states.push_back(state); });
    ASSERT_TRUE(player.Open(clip, &widget, true)) << player.LastErrorText();
    EXPECT_EQ(player.ScreenWidth(), 400);
    ASSERT_TRUE(ServeUntil([&] { return states.size() >= 2; }));
    ASSERT_TRUE(ServeUntil([&] { return PixelAt(widget, 200, 200) != 0; }));
    EXPECT_EQ(widget.CurrentRect(), (TPictureRect{0, 50, 400, 300}));
    EXPECT_EQ(PixelAt(widget, 200, 20), 0x000000u);
    EXPECT_EQ(PixelAt(widget, 200, 380), 0x000000u);
    player.Stop(true);
    EXPECT_EQ(states.back(), psStop);
    ASSERT_TRUE(ServeUntil([&] { return PixelAt(widget, 200, 200) == 0; }));
}

} // namespace

// The application object lives for the whole program, around every test.
int main(int argc, char** argv) {
    // Listing the tests at build time happens without a display too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
