#include "ConversionsAtOnce.h"
#include "EncoderOptions.h"

#include <gtest/gtest.h>

namespace {

TOutputOptions Output(const std::string& videoCodec, const std::string& frameSize) {
    TOutputOptions o;
    o.VideoCodec = videoCodec;
    o.FrameSize = frameSize;
    return o;
}

} // namespace

TEST(ConversionsAtOnce, AutoFollowsTheCoresAndTheFormat) {
    TOutputOptions audio;
    audio.AudioCodec = "libmp3lame";
    audio.VideoDisable = true;
    EXPECT_EQ(AutoConversionsAtOnce(audio, 2), 2);
    EXPECT_EQ(AutoConversionsAtOnce(audio, 8), 8);
    EXPECT_EQ(AutoConversionsAtOnce(audio, 64), 16) << "never more than the setting allows";
    EXPECT_EQ(AutoConversionsAtOnce(audio, 0), 1);
    // Small pictures: one per core; larger ones: one per two cores.
    EXPECT_EQ(AutoConversionsAtOnce(Output("libx264", "320x240"), 4), 4);
    EXPECT_EQ(AutoConversionsAtOnce(Output("mpeg4", "720x576"), 4), 4);
    EXPECT_EQ(AutoConversionsAtOnce(Output("libx264", "1280x720"), 4), 2);
    EXPECT_EQ(AutoConversionsAtOnce(Output("libx264", "1920x1080"), 2), 1);
    EXPECT_EQ(AutoConversionsAtOnce(Output("libx264", ""), 8), 4) << "as the source: large";
    // x265 and SVT-AV1 at 1080p or more, or at the source's size: one at a time.
    EXPECT_EQ(AutoConversionsAtOnce(Output("libx265", "1920x1080"), 16), 1);
    EXPECT_EQ(AutoConversionsAtOnce(Output("libsvtav1", "3840x2160"), 16), 1);
    EXPECT_EQ(AutoConversionsAtOnce(Output("libx265", ""), 16), 1);
    EXPECT_EQ(AutoConversionsAtOnce(Output("libx265", "1280x720"), 8), 4);
    EXPECT_EQ(AutoConversionsAtOnce(Output("libx265", "640x360"), 8), 8);
}
