#include "Previewer.h"
#include "Bitmap24.h"
#include "HeadlessPreviewWindow.h"
#include "MainThread.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

class PreviewerTest : public ::testing::Test {
protected:
    void SetUp() override { SetPreviewWindowFactory(THeadlessPreviewWindow::Factory(shared)); }
    void TearDown() override { SetPreviewWindowFactory({}); }

    // Shows a picture from a worker, as a conversion thread does: the worker only posts it;
    // the main thread paints it afterwards.
    bool ShowFromWorker(TPreviewer& previewer, const TBitmap24& picture, std::int64_t pts) {
        std::atomic<int> result{-1};
        std::thread worker([&] { result = previewer.ShowPicture(picture, 1, pts) ? 1 : 0; });
        worker.join();
        EXPECT_TRUE(TMainThread::HasPending());
        EXPECT_TRUE(testing_support::PumpUntil([] { return !TMainThread::HasPending(); }));
        return result.load() == 1;
    }

    std::shared_ptr<THeadlessPreviewWindow::Shared> shared =
        std::make_shared<THeadlessPreviewWindow::Shared>();
};

TEST_F(PreviewerTest, FirstPictureSizesTheWindowLaterOnesDoNot) {
    TPreviewer previewer;
    TBitmap24 first(320, 240);
    TBitmap24 second(160, 120);
    EXPECT_TRUE(ShowFromWorker(previewer, first, 3723004000LL));
    EXPECT_TRUE(ShowFromWorker(previewer, second, 1000000));
    std::lock_guard lock(shared->mutex);
    EXPECT_EQ(shared->windowsCreated, 1);
    EXPECT_EQ(shared->clientWidth, 320);
    EXPECT_EQ(shared->clientHeight, 240);
    EXPECT_EQ(shared->lastWidth, 160);
    EXPECT_EQ(shared->drawn, 2);
    EXPECT_EQ(shared->captions.front(), "01:02:03.004");
    EXPECT_EQ(shared->captions.back(), "00:00:01.000");
}

TEST_F(PreviewerTest, ClosedWindowRefusesPicturesAndIsNotCreatedAgain) {
    TPreviewer previewer;
    TBitmap24 picture(64, 48);
    EXPECT_TRUE(ShowFromWorker(previewer, picture, 0));
    {
        std::lock_guard lock(shared->mutex);
        shared->closed = true; // the user closes the window
    }
    // Posted before the close was known; its paint finds the window closed.
    EXPECT_TRUE(ShowFromWorker(previewer, picture, 40000));
    EXPECT_TRUE(previewer.Closed());
    EXPECT_FALSE(previewer.ShowPicture(picture, 3, 80000)); // refused at once, no main thread
    std::lock_guard lock(shared->mutex);
    EXPECT_EQ(shared->windowsCreated, 1);
    EXPECT_EQ(shared->drawn, 1);
}
