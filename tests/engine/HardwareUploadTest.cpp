// Encoders that take pictures in device memory: how they are told apart, the trial encode the
// program runs before offering one, and a conversion to one on a machine without the device.
// No test here reaches real hardware: this machine has none.

#include "HardwareUpload.h"
#include "EngineTestSupport.h"
#include "FFmpegMessages.h"
#include "MediaUtils.h"

#include <fstream>

using namespace engine_test;

namespace {

const AVCodec* Encoder(const char* name) {
    return fn::avcodec_find_encoder_by_name(name);
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

class HardwareUpload : public ::testing::Test {
protected:
    void SetUp() override { testing_support::RequireEncoderLibraries(); }
    TClipSet clips;
};

} // namespace

TEST_F(HardwareUpload, DeviceOnlyEncodersAndTheirMemoryFormats) {
    ASSERT_NE(Encoder("h264_vaapi"), nullptr) << "the libraries carry the VAAPI encoders";
    EXPECT_TRUE(THardwareUpload::Needed(Encoder("h264_vaapi")));
    EXPECT_TRUE(THardwareUpload::Needed(Encoder("hevc_vaapi")));
    EXPECT_FALSE(THardwareUpload::Needed(Encoder("libx264")));
    EXPECT_FALSE(THardwareUpload::Needed(Encoder("libx265")));
    EXPECT_FALSE(THardwareUpload::Needed(nullptr));
    if (Encoder("h264_nvenc") != nullptr) {
        EXPECT_FALSE(THardwareUpload::Needed(Encoder("h264_nvenc"))) << "takes memory pictures";
    }
    EXPECT_EQ(THardwareUpload::MemoryFormat(AV_PIX_FMT_YUV420P), AV_PIX_FMT_NV12);
    EXPECT_EQ(THardwareUpload::MemoryFormat(AV_PIX_FMT_NONE), AV_PIX_FMT_NV12);
    EXPECT_EQ(THardwareUpload::MemoryFormat(AV_PIX_FMT_YUV420P10LE), AV_PIX_FMT_P010);
    EXPECT_EQ(THardwareUpload::MemoryFormat(AV_PIX_FMT_VAAPI), AV_PIX_FMT_NV12);
}

// The trial encodes real pictures: a memory encoder passes it; a device that is not one, an
// unknown encoder and an NVENC encoder without its driver fail with their reasons.
TEST_F(HardwareUpload, TrialEncodeNeedsPacketsOutOfARealEncoder) {
    std::string why;
    EXPECT_TRUE(THardwareUpload::TrialEncode("", "libx264", why)) << why;

    why.clear();
    EXPECT_FALSE(THardwareUpload::TrialEncode("", "no_such_encoder", why));
    EXPECT_EQ(why, "The library has no encoder no_such_encoder");

    const std::string plain = clips.dir.File("renderD128");
    std::ofstream(plain) << "not a device";
    why.clear();
    EXPECT_FALSE(THardwareUpload::TrialEncode(plain, "hevc_vaapi", why));
    EXPECT_TRUE(StartsWith(why, Format(enginemsg::HardwareDeviceFailed, plain.c_str()) + ": "))
        << why;

    if (Encoder("h264_nvenc") != nullptr) {
        why.clear();
        EXPECT_FALSE(THardwareUpload::TrialEncode("", "h264_nvenc", why));
        EXPECT_TRUE(StartsWith(why, "The encoder h264_nvenc does not open")) << why;
    }
}

// The engine opens the device when the encoder opens; a device that does not open fails the
// conversion with the reason, nothing crashes and no half file is called finished.
TEST_F(HardwareUpload, ConversionToAVaapiEncoderWithoutTheDeviceFailsWithTheReason) {
    TTestEngine task;
    task.Reset();
    task.SetVerbose(-1);
    const std::string plain = clips.dir.File("renderD129");
    std::ofstream(plain) << "not a device";
    ASSERT_TRUE(task.OpenInputFile(clips.Mp4(1))) << task.LastErrorText();
    task.SetOption("vcodec", "h264_vaapi");
    task.SetOption("vaapi_device", plain);
    task.SetOption("an", "");
    const std::string out = clips.dir.File("out.mp4");
    ASSERT_GT(task.OpenOutputFile(out, false), 0) << task.LastErrorText();
    EXPECT_EQ(task.S().vaapi_device, plain);
    ASSERT_TRUE(task.RunThreaded());
    EXPECT_TRUE(task.HasError());
    EXPECT_NE(task.ErrorMessage().find(Format(enginemsg::HardwareDeviceFailed, plain.c_str())),
              std::string::npos)
        << task.ErrorMessage();
}
