#include "RGBConverter.h"
#include "MediaPtr.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

media::FramePtr MakeYuvFrame(int width, int height) {
    media::FramePtr frame = media::MakeFrame();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    EXPECT_GE(fn::av_frame_get_buffer(frame.get(), 0), 0);
    // A smooth gradient survives the chroma subsampling of the round trip.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(60 + x + y);
        }
    }
    for (int y = 0; y < height / 2; ++y) {
        for (int x = 0; x < width / 2; ++x) {
            frame->data[1][y * frame->linesize[1] + x] = static_cast<uint8_t>(120 + x % 16);
            frame->data[2][y * frame->linesize[2] + x] = static_cast<uint8_t>(128 + y % 16);
        }
    }
    return frame;
}

} // namespace

TEST(RGBConverter, RoundTripThroughTheBitmapKeepsThePicture) {
    testing_support::RequireEncoderLibraries();
    media::FramePtr source = MakeYuvFrame(64, 48);
    TRGBConverter converter;
    ASSERT_TRUE(converter.ToBitmap(source->data, source->linesize, AV_PIX_FMT_YUV420P, 48, 64));
    const TBitmap24& bitmap = converter.Bitmap();
    EXPECT_EQ(bitmap.Width(), 64);
    EXPECT_EQ(bitmap.Height(), 48);
    EXPECT_EQ(bitmap.Stride(), 192);

    media::FramePtr back = MakeYuvFrame(64, 48);
    std::memset(back->data[0], 0, static_cast<size_t>(back->linesize[0]) * 48);
    ASSERT_TRUE(converter.FromBitmap(back->data, back->linesize, AV_PIX_FMT_YUV420P, 48, 64));
    int worst = 0;
    for (int y = 2; y < 46; ++y) {
        for (int x = 2; x < 62; ++x) {
            worst = std::max(worst, std::abs(back->data[0][y * back->linesize[0] + x] -
                                             source->data[0][y * source->linesize[0] + x]));
        }
    }
    EXPECT_LE(worst, 6);
}

TEST(RGBConverter, BitmapRowsArePaddedAndTopDown) {
    testing_support::RequireEncoderLibraries();
    // 5 pixels wide: 15 bytes of colour padded to 16.
    TBitmap24 bitmap(5, 3);
    EXPECT_EQ(bitmap.Stride(), 16);
    // A BGR24 picture whose first row is blue, others black: row 0 of the bitmap is blue.
    media::FramePtr frame = media::MakeFrame();
    frame->format = AV_PIX_FMT_BGR24;
    frame->width = 5;
    frame->height = 3;
    ASSERT_GE(fn::av_frame_get_buffer(frame.get(), 0), 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            uint8_t* p = frame->data[0] + y * frame->linesize[0] + x * 3;
            p[0] = y == 0 ? 255 : 0;
            p[1] = 0;
            p[2] = 0;
        }
    }
    TRGBConverter converter;
    ASSERT_TRUE(converter.ToBitmap(frame->data, frame->linesize, AV_PIX_FMT_BGR24, 3, 5));
    EXPECT_GE(converter.Bitmap().ScanLine(0)[0], 250);
    EXPECT_LE(converter.Bitmap().ScanLine(2)[0], 5);
}
