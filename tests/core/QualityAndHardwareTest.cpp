// Constant-quality levels and hardware encoders without converting: the captions the settings
// dialog shows and what it stores, the options a profile becomes, and the detection of
// hardware encoders through real paths and an injected device opener.
#include "AppMessages.h"
#include "CatalogFile.h"
#include "FormatProfile.h"
#include "HardwareEncoders.h"
#include "IniFile.h"
#include "MediaUtils.h"
#include "OutputPixelFormat.h"
#include "QualityLevels.h"
#include "RecordingShell.h"
#include "SettingsDialogModel.h"
#include "TaskOptionsBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

using C = TSettingsControl;
using testing_support::RecordingShell;
using testing_support::TempDir;

namespace {

const std::string CatalogPath = std::string(VANTRE_DATA_DIR) + "/vantremp4format.ini";
constexpr int HevcMp4 = 2500;

// A machine whose only render node offers H.264 and H.265 but not VP9, without NVENC.
class TFakeDevices : public IDeviceOpener {
public:
    bool IsRenderDevice(const std::string& path) const override {
        return path == "/dev/dri/renderD128";
    }
    bool TrialEncode(const std::string& device, const std::string& encoder,
                     std::string& why) override {
        trials.insert(device + " " + encoder);
        if (encoder == "vp9_vaapi") {
            why = "no VP9 encoding profile";
            return false;
        }
        return true;
    }
    bool NvencLoads() const override { return false; }
    std::set<std::string> trials;
};

// A machine without hardware.
class TNoDevices : public IDeviceOpener {
public:
    bool IsRenderDevice(const std::string&) const override { return false; }
    bool TrialEncode(const std::string&, const std::string&, std::string&) override {
        return false;
    }
    bool NvencLoads() const override { return false; }
};

bool HasLine(const std::string& lines, const std::string& line) {
    for (const std::string& each : SplitText(lines, '\n')) {
        if (each == line) {
            return true;
        }
    }
    return false;
}

class QualityAndHardware : public ::testing::Test {
protected:
    void TearDown() override {
        TNoDevices none;
        THardwareEncoders::Instance().Detect({}, none);
    }

    TOutputOptions Build(int code, std::string* notice = nullptr) {
        TlvFilesRecord job;
        job.SourceFile = "clip.mkv";
        job.ZoomMode = "full";
        TOutputOptions output;
        TInputOptions input;
        const TSourceFacts source{1, 128, 72, 500000, 8};
        const std::string text =
            BuildTaskOptions(job, code, output, source, input, {settingsFile, CatalogPath},
                             [](const std::string&, const std::string&) { return true; });
        if (notice != nullptr) {
            *notice = text;
        }
        return output;
    }
    std::string Stored(const std::string& key) const {
        return TIniFile(settingsFile).ReadString("formatInfo2500", key, "<none>");
    }

    TempDir dir;
    std::string settingsFile = dir.File("settings.ini");
    RecordingShell shell;
    TScopedShell scopedShell{shell};
};

} // namespace

TEST_F(QualityAndHardware, LevelNamesCaptionsAndEncoderScales) {
    EXPECT_EQ(TQualityLevels::LevelName("Quality normal"), "Quality normal");
    EXPECT_EQ(TQualityLevels::LevelName("Quality small (CRF 29)"), "Quality small");
    EXPECT_EQ(TQualityLevels::LevelName("Quality best"), std::nullopt);
    EXPECT_EQ(TQualityLevels::LevelName("Quality high (CRF 22"), std::nullopt);
    EXPECT_EQ(TQualityLevels::LevelName("2000"), std::nullopt);
    EXPECT_EQ(TQualityLevels::Caption("Quality high", "libx264"), "Quality high (CRF 19)");
    EXPECT_EQ(TQualityLevels::Caption("Quality normal", "libx265"), "Quality normal (CRF 29)");
    EXPECT_EQ(TQualityLevels::Caption("Quality small", "libsvtav1"), "Quality small (CRF 46)");
    EXPECT_EQ(TQualityLevels::Caption("Quality normal", "libvpx-vp9"), "Quality normal (CRF 33)");
    EXPECT_EQ(TQualityLevels::Caption("Quality normal", "hevc_vaapi"), "Quality normal (QP 26)");
    EXPECT_EQ(TQualityLevels::Caption("Quality normal", "mpeg4"), "Quality normal");
    // Every scale: a higher level is a lower value.
    for (const char* encoder : {"libx264", "libx265", "libsvtav1", "libvpx-vp9", "h264_vaapi",
                                "hevc_vaapi", "vp9_vaapi", "h264_nvenc", "hevc_nvenc"}) {
        const auto high = TQualityLevels::Value("Quality high", encoder);
        const auto normal = TQualityLevels::Value("Quality normal", encoder);
        const auto small = TQualityLevels::Value("Quality small", encoder);
        ASSERT_TRUE(high && normal && small) << encoder;
        EXPECT_LT(*high, *normal) << encoder;
        EXPECT_LT(*normal, *small) << encoder;
    }
}

// The dialog shows each level with the chosen encoder's value, accepts it when leaving the
// box, and stores the level's name; conversion then uses constant quality and no bit rate.
TEST_F(QualityAndHardware, DialogShowsLevelsWithValuesAndStoresTheirNames) {
    TSettingsDialogModel model(settingsFile, CatalogPath);
    model.Open();
    model.ChooseFormat(HevcMp4, "H.265/HEVC Video (*.mp4)");
    const TSettingsCombo& rates = model.Combo(C::VideoBitRate);
    ASSERT_GE(rates.Items.size(), 4u);
    EXPECT_EQ(rates.Items[0], "Quality high (CRF 25)");
    EXPECT_EQ(rates.Items[2], "Quality small (CRF 33)");
    EXPECT_EQ(rates.Items[3], "1000");
    EXPECT_EQ(rates.Text, "Quality normal (CRF 29)");
    EXPECT_EQ(model.Combo(C::VideoEncoder).Items, std::vector<std::string>{"h265"})
        << "no hardware: nothing new is offered";
    EXPECT_EQ(model.Combo(C::VideoSize).Text, "as source");
    EXPECT_EQ(model.ExitCheck(C::VideoBitRate), TExitCheck::Passed);
    model.Select(C::VideoBitRate, 0);
    ASSERT_TRUE(model.Ok());
    EXPECT_TRUE(shell.messages.empty());
    EXPECT_EQ(Stored("paraVideoBitRate"), "Quality high");
    EXPECT_EQ(Stored("iVideoBitRate"), "0");
    EXPECT_EQ(Stored("paraVideoEncoder"), "libx265");

    const TOutputOptions output = Build(HevcMp4);
    EXPECT_EQ(output.VideoCodec, "libx265");
    EXPECT_EQ(output.VideoBitrate, -1);
    EXPECT_EQ(output.FileFormat, "") << "the extension decides";
    EXPECT_EQ(output.VideoTag, "hvc1");
    for (const char* line : {"crf=25", "preset=medium", "x265-params=psy-rd=0:psy-rdoq=0",
                             "movflags=+faststart", "pix_fmt=yuv420p"}) {
        EXPECT_TRUE(HasLine(output.ExtOptions, line)) << line << " in\n" << output.ExtOptions;
    }

    // A typed bit rate still converts at that rate, without constant quality.
    model.Open();
    model.SetText(C::VideoBitRate, "3000");
    ASSERT_TRUE(model.Ok());
    const TOutputOptions typed = Build(HevcMp4);
    EXPECT_EQ(typed.VideoBitrate, 3000000);
    EXPECT_EQ(typed.ExtOptions.find("crf="), std::string::npos) << typed.ExtOptions;
}

TEST_F(QualityAndHardware, PixelFormatKeepsTenBitsOnlyWhereTheFormatCan) {
    EXPECT_EQ(TOutputPixelFormat::For("libx264", 10), "yuv420p");
    EXPECT_EQ(TOutputPixelFormat::For("libx264", 8), "yuv420p");
    for (const char* codec : {"libx265", "libsvtav1", "libvpx-vp9"}) {
        EXPECT_EQ(TOutputPixelFormat::For(codec, 8), "yuv420p") << codec;
        EXPECT_EQ(TOutputPixelFormat::For(codec, 10), "yuv420p10le") << codec;
        EXPECT_EQ(TOutputPixelFormat::For(codec, 12), "yuv420p10le") << codec;
        EXPECT_EQ(TOutputPixelFormat::For(codec), "yuv420p") << codec;
    }
    EXPECT_EQ(TOutputPixelFormat::For("hevc_vaapi", 10), "");
}

// Paths that do not exist and devices that are not render nodes offer nothing, and say why.
TEST_F(QualityAndHardware, DetectionOnPathsWithoutARenderDevice) {
    // As the programs load them at start.
    testing_support::RequireEncoderLibraries();
    const std::string plainFile = dir.File("renderD128");
    std::ofstream(plainFile) << "not a device";
    TSystemDeviceOpener system;
    EXPECT_FALSE(system.IsRenderDevice(dir.File("missing/renderD129")));
    EXPECT_FALSE(system.IsRenderDevice(plainFile));
    EXPECT_FALSE(system.IsRenderDevice("/dev/null")) << "a character device, but not DRM";
    // The system's trial opens the device through the library before encoding anything.
    std::string why;
    EXPECT_FALSE(system.TrialEncode(dir.File("missing/renderD129"), "hevc_vaapi", why));
    EXPECT_EQ(why, appmsg::DeviceCannotOpen);
    EXPECT_FALSE(system.TrialEncode(plainFile, "hevc_vaapi", why));
    EXPECT_EQ(why.rfind("Cannot open the VAAPI device " + plainFile + ": ", 0), 0u) << why;

    THardwareEncoders encoders;
    encoders.Detect({dir.File("missing/renderD129")}, system);
    EXPECT_FALSE(encoders.Offered("hevc_vaapi"));
    EXPECT_EQ(encoders.WhyMissing("hevc_vaapi"),
              Format(appmsg::NotRenderDevice, dir.File("missing/renderD129").c_str()));
    encoders.Detect({"/dev/null"}, system);
    EXPECT_FALSE(encoders.Offered("h264_vaapi"));
    EXPECT_EQ(encoders.WhyMissing("h264_vaapi"), "/dev/null is not a render device");
    encoders.Detect({}, system);
    EXPECT_EQ(encoders.WhyMissing("vp9_vaapi"), appmsg::NoRenderDevice);
    EXPECT_TRUE(encoders.CaptionsBeside("h265").empty());
}

// A device that opens offers its encoders in the dialog; the profile stores the library name
// and converts with it, quality mapped to the device's scale. Without the device the same
// profile converts with the software encoder and says why.
TEST_F(QualityAndHardware, InjectedDeviceOffersItsEncodersAndTheirAbsenceFallsBack) {
    TFakeDevices devices;
    THardwareEncoders& encoders = THardwareEncoders::Instance();
    encoders.Detect({"/dev/dri/card0", "/dev/dri/renderD128"}, devices);
    EXPECT_TRUE(encoders.Offered("hevc_vaapi"));
    EXPECT_TRUE(encoders.Offered("h264_vaapi"));
    EXPECT_FALSE(encoders.Offered("vp9_vaapi"));
    EXPECT_EQ(encoders.WhyMissing("vp9_vaapi"), "/dev/dri/renderD128: no VP9 encoding profile");
    EXPECT_EQ(encoders.WhyMissing("hevc_nvenc"), appmsg::NvencNotLoaded);
    EXPECT_EQ(encoders.DeviceOf("hevc_vaapi"), "/dev/dri/renderD128");
    EXPECT_EQ(devices.trials.count("/dev/dri/card0 hevc_vaapi"), 0u) << "not a render node";

    TSettingsDialogModel model(settingsFile, CatalogPath);
    model.Open();
    model.ChooseFormat(HevcMp4, "H.265/HEVC Video (*.mp4)");
    EXPECT_EQ(model.Combo(C::VideoEncoder).Items,
              (std::vector<std::string>{"h265", "H.265 (VAAPI)"}));
    model.Select(C::VideoEncoder, 1);
    EXPECT_EQ(model.Combo(C::VideoBitRate).Text, "Quality normal (QP 26)");
    ASSERT_TRUE(model.Ok());
    EXPECT_EQ(Stored("paraVideoEncoder"), "hevc_vaapi");
    EXPECT_EQ(Stored("paraVideoBitRate"), "Quality normal");

    std::string notice = "unchanged";
    const TOutputOptions hardware = Build(HevcMp4, &notice);
    EXPECT_EQ(notice, "");
    EXPECT_EQ(hardware.VideoCodec, "hevc_vaapi");
    EXPECT_EQ(hardware.VideoTag, "hvc1");
    EXPECT_TRUE(HasLine(hardware.ExtOptions, "rc_mode=CQP")) << hardware.ExtOptions;
    EXPECT_TRUE(HasLine(hardware.ExtOptions, "qp=26")) << hardware.ExtOptions;
    EXPECT_EQ(hardware.ExtOptions.find("pix_fmt="), std::string::npos) << hardware.ExtOptions;
    // The engine opens the render node the trial encode passed on.
    EXPECT_TRUE(HasLine(hardware.ExtOptions, "vaapi_device=/dev/dri/renderD128"))
        << hardware.ExtOptions;

    TNoDevices none;
    encoders.Detect({}, none);
    const TOutputOptions software = Build(HevcMp4, &notice);
    EXPECT_EQ(notice,
              "H.265 (VAAPI) is not available (no VAAPI render device): converted with libx265");
    EXPECT_EQ(software.VideoCodec, "libx265");
    EXPECT_TRUE(HasLine(software.ExtOptions, "crf=29")) << software.ExtOptions;
    // The dialog no longer offers it; the stored choice shows nothing until one is picked.
    model.Open();
    EXPECT_EQ(model.Combo(C::VideoEncoder).Items, std::vector<std::string>{"h265"});
}

// The AV1 encoder cannot take pictures under 64 x 64: the job fails with a clear reason.
TEST_F(QualityAndHardware, Av1RefusesPicturesUnder64PixelsWithAClearReason) {
    TlvFilesRecord job;
    job.SourceFile = "small.mkv";
    job.ZoomMode = "full";
    TOutputOptions output;
    TInputOptions input;
    const TSourceFacts small{1, 64, 48, 100000, 8};
    try {
        BuildTaskOptions(job, 2503, output, small, input, {settingsFile, CatalogPath}, nullptr);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "AV1 pictures must be at least 64 x 64 pixels, this conversion would make "
                  "64 x 48: choose a larger frame size");
    }
    const TSourceFacts enough{1, 64, 64, 100000, 8};
    output = {};
    BuildTaskOptions(job, 2503, output, enough, input, {settingsFile, CatalogPath}, nullptr);
    EXPECT_EQ(output.VideoCodec, "libsvtav1");
    EXPECT_EQ(output.FileFormat, "");
    EXPECT_EQ(output.AudioCodec, "libopus");
    EXPECT_EQ(output.AudioSampleRate, 48000);
}
