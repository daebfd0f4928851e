// The field detector's look at the first pictures of a stream whose container says nothing of
// fields: woven fields are found, progressive motion is not taken for them.
#include "FieldDetector.h"
#include "AVProbe.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

using testing_support::Ffmpeg;
using testing_support::ProbeEntry;
using testing_support::RequireEncoderLibraries;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

// Moving bars: woven into fields they comb, as progressive frames they do not.
const std::string Moving = "-f lavfi -i smptehdbars=s=160x120:r=50,scroll=h=0.02,trim=duration=2,";

TFieldDetector::TCounts CountsOf(const std::string& path, int pictures) {
    TAVProbe probe;
    EXPECT_TRUE(probe.LoadFile(path, "")) << probe.LastErrorText();
    return TFieldDetector::Count(probe.Context(), probe.FirstVideoStreamIndex(), pictures);
}

bool Interlaced(const std::string& path) {
    TAVProbe probe;
    EXPECT_TRUE(probe.LoadFile(path, "")) << probe.LastErrorText();
    return TFieldDetector::LooksInterlaced(probe.Context(), probe.FirstVideoStreamIndex());
}

} // namespace

TEST(FieldDetector, FindsUnflaggedFieldsAndLeavesProgressiveMotion) {
    RequireEncoderLibraries();
    TempDir dir;
    const std::string woven = dir.File("woven.mp4");
    Ffmpeg(Moving +
           "interlace=scan=tff,setfield=prog -f lavfi -i sine=d=2 -c:v libx264 "
           "-pix_fmt yuv420p -c:a aac " +
           ShellQuote(woven));
    ASSERT_EQ(ProbeEntry(woven, "v:0", "stream=field_order"), "progressive");
    const std::string progressive = dir.File("progressive.mkv");
    Ffmpeg(Moving + "fps=25 -c:v libx264 -pix_fmt yuv420p " + ShellQuote(progressive));

    EXPECT_TRUE(Interlaced(woven));
    EXPECT_FALSE(Interlaced(progressive));

    // The look stops at the pictures asked for; the counts cover what was analysed.
    const auto few = CountsOf(woven, 12);
    EXPECT_GT(few.Analysed, 0);
    EXPECT_LE(few.Analysed, 12);
    EXPECT_EQ(CountsOf(progressive, 40).Interlaced, 0);

    // Taller than any interlaced format: not looked at, however woven.
    const std::string tall = dir.File("tall.mp4");
    Ffmpeg("-f lavfi -i smptehdbars=s=32x1200:r=50,scroll=v=0.02,trim=duration=1,interlace=scan="
           "tff,setfield=prog -c:v libx264 -pix_fmt yuv420p " +
           ShellQuote(tall));
    EXPECT_EQ(CountsOf(tall, 40).Analysed, 0);

    // No stream to look at: nothing is interlaced, nothing fails.
    TAVProbe probe;
    ASSERT_TRUE(probe.LoadFile(woven, ""));
    EXPECT_FALSE(TFieldDetector::LooksInterlaced(probe.Context(), 1));
    EXPECT_FALSE(TFieldDetector::LooksInterlaced(probe.Context(), 7));
    EXPECT_FALSE(TFieldDetector::LooksInterlaced(nullptr, 0));
}
