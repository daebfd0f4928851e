// The files people really have, converted with vantre-convert at the catalog's defaults and
// checked with the ffmpeg tools: phone clips with a rotation, deep and 4:2:2 sources, DVD
// pixels, recordings with gaps, music with cover art and tags, interlaced and HLG sources, and
// files with several sound tracks.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <vector>

using testing_support::Ffmpeg;
using testing_support::ProbeEntry;
using testing_support::RunCommand;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

// Format codes of the shipped catalog.
constexpr int IpodH264 = 1;  // 320x240, letterbox
constexpr int HdH264 = 2102; // 1280x720 MP4
constexpr int Matroska = 2200;
constexpr int Mp3 = 2400;
constexpr int NtscDv = 2308; // stereo is its only channel choice
constexpr int Flac = 2601;

const std::string Folder = std::string(CLIP_FOLDER) + "/realworld";

std::string Fixture(const std::string& name, const std::string& ffmpegArguments) {
    return testing_support::SharedFixture(Folder, name, [&](const std::string& path) {
        Ffmpeg(ffmpegArguments + " " + ShellQuote(path));
    });
}

// A portrait picture (red band on top, blue below) stored turned on its side, with the
// rotation in the container as phones write it.
std::string PhoneClip() {
    const std::string stored = Fixture(
        "phone-stored.mp4",
        "-f lavfi -i \"color=red:s=48x16:d=1,format=yuv420p[t];color=blue:s=48x48:d=1,"
        "format=yuv420p[b];[t][b]vstack,transpose=clock\" -f lavfi -i sine=d=1 -c:v libx264 "
        "-pix_fmt yuv420p -r 25 -c:a aac");
    return Fixture("phone.mp4", "-i " + ShellQuote(stored) + " -c copy -metadata:s:v rotate=90");
}

// Converts source into format code in a home of its own; the output's path.
std::string Convert(const TempDir& dir, const std::string& source, int code) {
    const std::string out = dir.File("out" + std::to_string(code));
    const auto result = RunCommand(
        "env HOME=" + ShellQuote(dir.Path()) + " XDG_DATA_HOME=" + ShellQuote(dir.File("data")) +
        " " + ShellQuote(VANTRE_CONVERT) + " --format " + std::to_string(code) + " --out " +
        ShellQuote(out) + " " + ShellQuote(source));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        return entry.path().string();
    }
    ADD_FAILURE() << "no output for " << source << "\n" << result.output;
    return {};
}

// The colour of the first picture at (x, y), given as shares of its width and height.
std::array<int, 3> PixelAt(const std::string& path, double x, double y) {
    const auto result = RunCommand("ffmpeg -v error -nostdin -i " + ShellQuote(path) +
                                   " -frames:v 1 -vf \"crop=2:2:trunc(iw*" + std::to_string(x) +
                                   "/2)*2:trunc(ih*" + std::to_string(y) +
                                   "/2)*2,scale=1:1\" -f rawvideo -pix_fmt rgb24 - | od -An -tu1");
    std::array<int, 3> rgb{-1, -1, -1};
    std::istringstream in(result.output);
    in >> rgb[0] >> rgb[1] >> rgb[2];
    return rgb;
}

bool Reddish(const std::array<int, 3>& c) {
    return c[0] > 150 && c[1] < 90 && c[2] < 90;
}
bool Bluish(const std::array<int, 3>& c) {
    return c[2] > 150 && c[0] < 90 && c[1] < 90;
}

// A value of a filter's log line, e.g. "silence_end: 3.02".
double LoggedValue(const std::string& command, const std::string& key) {
    const auto result = RunCommand(command);
    const std::regex pattern(key + R"(:\s*(-?[0-9.]+))");
    std::smatch match;
    if (!std::regex_search(result.output, match, pattern)) {
        ADD_FAILURE() << key << " not in:\n" << result.output;
        return NAN;
    }
    return std::atof(match[1].str().c_str());
}

// The time of the first picture whose mean brightness is above 160 (the flash).
double FlashTime(const std::string& path) {
    const auto result =
        RunCommand("ffprobe -v error -f lavfi " + ShellQuote("movie=" + path + ",signalstats") +
                   " -show_entries frame=pts_time:frame_tags=lavfi.signalstats."
                   "YAVG -of csv=p=0");
    std::istringstream in(result.output);
    std::string line;
    while (std::getline(in, line)) {
        const size_t comma = line.find(',');
        if (comma != std::string::npos && std::atof(line.c_str() + comma + 1) > 160) {
            return std::atof(line.c_str());
        }
    }
    return NAN;
}

// The RMS and peak levels (dB) of each channel of the sound, in channel order.
std::vector<std::pair<double, double>> ChannelLevels(const std::string& path) {
    const auto result = RunCommand(
        "ffmpeg -hide_banner -nostdin -i " + ShellQuote(path) +
        " -af astats=measure_overall=none:measure_perchannel=RMS_level+Peak_level -f null - 2>&1");
    const std::regex pattern(R"(Peak level dB:\s*(-?[0-9.]+)[\s\S]*?RMS level dB:\s*(-?[0-9.]+))");
    std::vector<std::pair<double, double>> levels;
    for (auto it = std::sregex_iterator(result.output.begin(), result.output.end(), pattern);
         it != std::sregex_iterator(); ++it) {
        levels.emplace_back(std::atof((*it)[2].str().c_str()), std::atof((*it)[1].str().c_str()));
    }
    return levels;
}

// Mean brightness and saturation of the pictures, from the signal statistics of the first.
std::pair<double, double> Brightness(const std::string& path) {
    const auto result =
        RunCommand("ffprobe -v error -f lavfi " + ShellQuote("movie=" + path + ",signalstats") +
                   " -read_intervals %+#1 -show_entries "
                   "frame_tags=lavfi.signalstats.YAVG,lavfi.signalstats.SATAVG -of csv=p=0");
    double y = NAN;
    double sat = NAN;
    std::sscanf(result.output.c_str(), "%lf,%lf", &y, &sat);
    return {y, sat};
}

} // namespace

// The picture stands upright in every output; the output carries no rotation of its own.
TEST(RealWorldInputs, PortraitPhoneClipComesOutUpright) {
    const std::string phone = PhoneClip();
    ASSERT_EQ(ProbeEntry(phone, "v:0", "stream=width"), "64");
    TempDir dir;
    for (const int code : {HdH264, IpodH264}) {
        const std::string out = Convert(dir, phone, code);
        SCOPED_TRACE(out);
        EXPECT_TRUE(Reddish(PixelAt(out, 0.5, 0.05)));
        EXPECT_TRUE(Bluish(PixelAt(out, 0.5, 0.9)));
        EXPECT_EQ(ProbeEntry(out, "v:0", "stream_side_data=rotation"), "");
        // A portrait picture in a landscape frame: bars left and right.
        const auto side = PixelAt(out, 0.02, 0.5);
        EXPECT_LT(side[0] + side[1] + side[2], 60);
    }
}

// Deep, 4:2:2 and ProRes sources give 8-bit 4:2:0 H.264 at the profile and level of the
// format's device: Constrained Baseline 3.0 for the iPod, High 3.1 for 720p.
TEST(RealWorldInputs, DeepAndChromaRichSourcesGiveEightBit420H264) {
    const std::string lavfi = "-f lavfi -i testsrc=s=128x96:r=25:d=1 -f lavfi -i sine=d=1 ";
    const std::string sources[] = {
        Fixture("hevc10.mkv",
                lavfi + "-c:v libx265 -x265-params log-level=error -pix_fmt yuv420p10le -c:a aac"),
        Fixture("mjpeg422.avi", lavfi + "-c:v mjpeg -pix_fmt yuvj422p -c:a pcm_s16le"),
        Fixture("prores.mov", lavfi + "-c:v prores_ks -profile:v 2 -c:a pcm_s16le"),
    };
    TempDir dir;
    for (const std::string& source : sources) {
        SCOPED_TRACE(source);
        std::filesystem::remove_all(dir.File("out1"));
        std::filesystem::remove_all(dir.File("out2102"));
        const std::string ipod = Convert(dir, source, IpodH264);
        EXPECT_EQ(ProbeEntry(ipod, "v:0", "stream=pix_fmt"), "yuv420p");
        EXPECT_EQ(ProbeEntry(ipod, "v:0", "stream=profile"), "Constrained Baseline");
        EXPECT_EQ(ProbeEntry(ipod, "v:0", "stream=level"), "30");
        const std::string hd = Convert(dir, source, HdH264);
        EXPECT_EQ(ProbeEntry(hd, "v:0", "stream=pix_fmt"), "yuv420p");
        EXPECT_EQ(ProbeEntry(hd, "v:0", "stream=profile"), "High");
        EXPECT_EQ(ProbeEntry(hd, "v:0", "stream=level"), "31");
    }
}

// A 16:9 DVD picture (720x480 of 32:27 pixels) fills a 1280x720 frame with square pixels.
TEST(RealWorldInputs, AnamorphicDvdSourceGetsSquarePixels) {
    const std::string dvd =
        Fixture("dvd.mpg", "-f lavfi -i color=white:s=720x480:r=25:d=1 -f lavfi -i sine=d=1 "
                           "-c:v mpeg2video -aspect 16:9 -c:a mp2");
    ASSERT_EQ(ProbeEntry(dvd, "v:0", "stream=sample_aspect_ratio"), "32:27");
    TempDir dir;
    const std::string out = Convert(dir, dvd, HdH264);
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=width"), "1280");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=height"), "720");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=sample_aspect_ratio"), "1:1");
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=display_aspect_ratio"), "16:9");
    // No black bars on any side.
    for (const auto& [x, y] : {std::pair{0.01, 0.5}, {0.98, 0.5}, {0.5, 0.01}, {0.5, 0.98}}) {
        EXPECT_GT(PixelAt(out, x, y)[1], 200) << x << "," << y;
    }
}

// A recording with no pictures from 1 s to 3 s, then a flash with a beep: the flash stays
// within one picture of the beep in a constant-rate MP4 and in a Matroska file.
TEST(RealWorldInputs, GapInTheRecordingKeepsSync) {
    const std::string gap = Fixture(
        "gap.mkv", "-f lavfi -i \"color=gray:s=64x36:r=25:d=4,drawbox=c=white:t=fill:"
                   "enable='between(t,3,3.03)',select='not(between(t,1.02,2.99))'\" -f lavfi -i "
                   "\"aevalsrc='if(between(t,3,3.1),sin(2*PI*1000*t),0)':s=44100:d=4\" "
                   "-fps_mode passthrough -c:v libx264 -pix_fmt yuv420p -c:a aac");
    TempDir dir;
    for (const int code : {HdH264, Matroska}) {
        const std::string out = Convert(dir, gap, code);
        SCOPED_TRACE(out);
        const double flash = FlashTime(out);
        const double beep = LoggedValue("ffmpeg -hide_banner -nostdin -i " + ShellQuote(out) +
                                            " -af silencedetect=n=-30dB:d=0.5 -f null - 2>&1",
                                        "silence_end");
        EXPECT_NEAR(flash, beep, 0.042);
        EXPECT_GT(flash, 2.9);
    }
}

// A VP8 screencast: pictures at irregular millisecond times, idle stretches, then a flash with a
// beep. The constant-rate MP4 shows the flash where the ffmpeg tool does, within a picture of
// the beep; counting each picture as one output position put it a picture and a half late.
TEST(RealWorldInputs, ScreencastWithIrregularTimesKeepsSync) {
    const std::string screencast = Fixture(
        "screencast.webm",
        "-f lavfi -i \"color=gray:s=64x36:r=1000:d=6,drawbox=c=white:t=fill:enable='between(t,4,"
        "4.03)',select='lt(random(0),0.04)*not(between(t,1,3.95))*not(between(t,4,4.03))+"
        "between(t,4,4.03)*lt(random(1),0.2)'\" -f lavfi -i \"aevalsrc='if(between(t,4,4.1),"
        "sin(2*PI*1000*t),0)':s=48000:d=6\" -fps_mode passthrough -c:v libvpx -b:v 200k -c:a "
        "libopus -live 1");
    TempDir dir;
    const std::string reference = dir.File("reference.mp4");
    Ffmpeg("-i " + ShellQuote(screencast) + " -r 29.97 -c:v libx264 -c:a aac " +
           ShellQuote(reference));
    const std::string out = Convert(dir, screencast, HdH264);
    ASSERT_EQ(ProbeEntry(out, "v:0", "stream=r_frame_rate"), "2997/100");
    const double flash = FlashTime(out);
    const double beep = LoggedValue("ffmpeg -hide_banner -nostdin -i " + ShellQuote(out) +
                                        " -af silencedetect=n=-30dB:d=0.5 -f null - 2>&1",
                                    "silence_end");
    EXPECT_NEAR(flash, FlashTime(reference), 0.002);
    EXPECT_NEAR(flash, beep, 100.0 / 2997 + 0.005);
}

// Music with a cover becomes a still picture of the cover for the whole sound; converted to
// MP3 or FLAC it keeps its tags and cover.
TEST(RealWorldInputs, MusicWithCoverArt) {
    const std::string cover = Fixture("cover.png", "-f lavfi -i color=yellow:s=64x48 -frames:v 1");
    const std::string song = Fixture(
        "song.mp3", "-f lavfi -i sine=f=440:d=2 -i " + ShellQuote(cover) +
                        " -map 0:a -map 1:v -c:a libmp3lame -c:v copy -disposition:v attached_pic "
                        "-id3v2_version 3 -metadata title=Song -metadata artist=Band -metadata "
                        "album=Record -metadata track=3 -metadata genre=Rock");
    TempDir dir;
    const std::string video = Convert(dir, song, HdH264);
    EXPECT_EQ(ProbeEntry(video, "v:0", "stream=codec_name"), "h264");
    EXPECT_EQ(ProbeEntry(video, "v:0", "stream_disposition=attached_pic"), "0");
    EXPECT_NEAR(std::atof(ProbeEntry(video, "v:0", "stream=duration").c_str()), 2.0, 0.2);
    const auto middle = PixelAt(video, 0.5, 0.5);
    EXPECT_GT(middle[0], 200);
    EXPECT_GT(middle[1], 200);
    EXPECT_LT(middle[2], 90);

    const std::string mp3 = Convert(dir, song, Mp3);
    EXPECT_EQ(ProbeEntry(mp3, "", "format_tags=title"), "Song");
    EXPECT_EQ(ProbeEntry(mp3, "", "format_tags=artist"), "Band");
    EXPECT_EQ(ProbeEntry(mp3, "", "format_tags=album"), "Record");
    EXPECT_EQ(ProbeEntry(mp3, "", "format_tags=track"), "3");
    EXPECT_EQ(ProbeEntry(mp3, "", "format_tags=genre"), "Rock");
    EXPECT_EQ(ProbeEntry(mp3, "v:0", "stream_disposition=attached_pic"), "1");
    EXPECT_EQ(ProbeEntry(mp3, "v:0", "stream=codec_name"), "png");

    const std::string flac = Convert(dir, song, Flac);
    EXPECT_EQ(ProbeEntry(flac, "a:0", "stream=codec_name"), "flac");
    EXPECT_EQ(ProbeEntry(flac, "", "format_tags=title"), "Song");
    EXPECT_EQ(ProbeEntry(flac, "", "format_tags=artist"), "Band");
    EXPECT_EQ(ProbeEntry(flac, "", "format_tags=album"), "Record");
    EXPECT_EQ(ProbeEntry(flac, "", "format_tags=genre"), "Rock");
    EXPECT_EQ(ProbeEntry(flac, "v:0", "stream_disposition=attached_pic"), "1");
    EXPECT_EQ(ProbeEntry(flac, "v:0", "stream=codec_name"), "png");
}

// Fields woven into frames are deinterlaced: the field detector finds the output progressive.
TEST(RealWorldInputs, InterlacedSourceComesOutProgressive) {
    const std::string interlaced = Fixture(
        "interlaced.mp4",
        "-f lavfi -i smptehdbars=s=160x120:r=50,scroll=h=0.02,trim=duration=2,interlace=scan=tff,"
        "setfield=tff -f lavfi -i sine=d=2 -c:v libx264 -flags +ildct+ilme -pix_fmt yuv420p "
        "-c:a aac");
    const std::string detect = " -vf idet -f null - 2>&1";
    ASSERT_GT(LoggedValue("ffmpeg -hide_banner -nostdin -i " + ShellQuote(interlaced) + detect,
                          "Multi frame detection: TFF"),
              40);
    TempDir dir;
    const std::string out = Convert(dir, interlaced, HdH264);
    const std::string command = "ffmpeg -hide_banner -nostdin -i " + ShellQuote(out) + detect;
    EXPECT_LT(LoggedValue(command, "Multi frame detection: TFF"), 3);
    EXPECT_GT(LoggedValue(command, "Progressive"), 40);
}

// Fields woven into frames whose container calls them progressive are found by the field
// detector when the file is read, and deinterlaced like flagged ones.
TEST(RealWorldInputs, UnflaggedInterlacedSourceComesOutProgressive) {
    const std::string woven = Fixture(
        "woven.mp4",
        "-f lavfi -i smptehdbars=s=160x120:r=50,scroll=h=0.02,trim=duration=2,interlace=scan=tff,"
        "setfield=prog -f lavfi -i sine=d=2 -c:v libx264 -pix_fmt yuv420p -c:a aac");
    ASSERT_EQ(ProbeEntry(woven, "v:0", "stream=field_order"), "progressive");
    const std::string detect = " -vf idet -f null - 2>&1";
    ASSERT_GT(LoggedValue("ffmpeg -hide_banner -nostdin -i " + ShellQuote(woven) + detect,
                          "Multi frame detection: TFF"),
              40);
    TempDir dir;
    const std::string out = Convert(dir, woven, HdH264);
    const std::string command = "ffmpeg -hide_banner -nostdin -i " + ShellQuote(out) + detect;
    EXPECT_LT(LoggedValue(command, "Multi frame detection: TFF"), 3);
    EXPECT_GT(LoggedValue(command, "Progressive"), 40);
}

// A mono source in a format that offers stereo only: the one channel is on both at the
// source's level, not the centre speaker's -3 dB.
TEST(RealWorldInputs, MonoSourceInAStereoOnlyFormatKeepsItsLevel) {
    const std::string mono =
        Fixture("mono.mkv", "-f lavfi -i testsrc=s=64x48:r=25:d=1 -f lavfi -i "
                            "sine=f=440:d=1:sample_rate=48000 -c:v libx264 -c:a pcm_s16le");
    ASSERT_EQ(ProbeEntry(mono, "a:0", "stream=channels"), "1");
    const auto source = ChannelLevels(mono);
    ASSERT_EQ(source.size(), 1u);
    TempDir dir;
    const std::string out = Convert(dir, mono, NtscDv);
    ASSERT_EQ(ProbeEntry(out, "a:0", "stream=channels"), "2");
    const auto levels = ChannelLevels(out);
    ASSERT_EQ(levels.size(), 2u);
    for (const auto& [rms, peak] : levels) {
        EXPECT_NEAR(rms, source[0].first, 0.5);
        EXPECT_NEAR(peak, source[0].second, 0.5);
    }
}

// Of two sound tracks the one the file marks as default is converted, though it is second.
TEST(RealWorldInputs, DefaultFlaggedSecondTrackIsConverted) {
    const std::string tracks = Fixture(
        "tracks.mkv", "-f lavfi -i testsrc=s=64x48:r=25:d=1 -f lavfi -i anullsrc=d=1 -f lavfi -i "
                      "sine=f=1000:d=1 -map 0 -map 1 -map 2 -c:v libx264 -c:a aac "
                      "-disposition:a:0 0 -disposition:a:1 default");
    TempDir dir;
    const std::string out = Convert(dir, tracks, Mp3);
    const double volume = LoggedValue("ffmpeg -hide_banner -nostdin -i " + ShellQuote(out) +
                                          " -af volumedetect -f null - 2>&1",
                                      "mean_volume");
    EXPECT_GT(volume, -40.0);
}

// An HLG clip is tone-mapped to SDR: its brightness and colour are those of the ffmpeg tool's
// tone-mapped picture, not the washed-out picture of the signal taken as SDR.
TEST(RealWorldInputs, HlgSourceIsToneMapped) {
    const std::string hlg = Fixture(
        "hlg.mp4",
        "-f lavfi -i \"smptehdbars=s=160x90:r=25:d=1,format=gbrpf32le,zscale=tin=bt709:pin=bt709:"
        "min=bt709:t=arib-std-b67:p=bt2020:m=bt2020nc:r=tv,format=yuv420p10le\" -c:v libx265 "
        "-x265-params log-level=error:colorprim=bt2020:transfer=arib-std-b67:colormatrix=bt2020nc");
    TempDir dir;
    const std::string reference = dir.File("reference.mp4");
    Ffmpeg("-i " + ShellQuote(hlg) +
           " -vf zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:"
           "desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p -c:v libx264 " +
           ShellQuote(reference));
    const std::string washedOut = dir.File("washed.mp4");
    Ffmpeg("-i " + ShellQuote(hlg) + " -pix_fmt yuv420p -c:v libx264 " + ShellQuote(washedOut));
    const auto [refY, refSat] = Brightness(reference);
    const auto [washedY, washedSat] = Brightness(washedOut);
    ASSERT_GT(std::fabs(refSat - washedSat), 5.0); // the check below can tell them apart

    // The HD frame is the same picture scaled: the statistics stay put.
    const std::string out = Convert(dir, hlg, HdH264);
    EXPECT_EQ(ProbeEntry(out, "v:0", "stream=pix_fmt"), "yuv420p");
    const auto [y, sat] = Brightness(out);
    EXPECT_NEAR(y, refY, 3.0);
    EXPECT_NEAR(sat, refSat, 3.0);
}
