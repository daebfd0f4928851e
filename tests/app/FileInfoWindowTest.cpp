// The file information window on its real widgets, compared with ffprobe.
#include "GuiTestHelpers.h"
#include "JobListModel.h"
#include "JobListView.h"
#include "MediaUtils.h"
#include "RecordingShell.h"
#include "VantreApp.h"
#include "WinFileInfo.h"
#include "WinMain.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>

using gui_test::Child;
using testing_support::ProbeEntry;
using testing_support::ShellQuote;
using testing_support::TempDir;

namespace {

const char* const FieldNames[] = {"edtFormat",     "edtResloution", "edtBitRate",
                                  "edtFrameRate",  "edtTotalFrame", "edtAudioForamt",
                                  "edtSampleRate", "edtChannel",    "edtAudioBitRate"};

std::string ExpectedDuration(const std::string& path) {
    const long long us = std::llround(testing_support::ProbeDuration(path) * 1e6);
    return Format("%lld.%.3lld Second", us / 1000000, us % 1000000 / 1000);
}

class FileInfoWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        testing_support::RequireEncoderLibraries();
        dir = std::make_unique<TempDir>();
        testing_support::MakeClip(Pal(), 1, 160, 120, 25, 44100,
                                  "-c:v mpeg4 -b:v 200k -c:a aac -ac 2 -b:a 96k");
        testing_support::Ffmpeg("-f lavfi -i testsrc=duration=1:size=176x144:rate=30000/1001 "
                                "-c:v mpeg4 " +
                                ShellQuote(Ntsc()));
        testing_support::Ffmpeg("-f lavfi -i sine=frequency=440:sample_rate=22050:duration=1 "
                                "-ac 1 -c:a libmp3lame -b:a 32k " +
                                ShellQuote(Tone()));
        std::ofstream(Broken()) << "not a video";
    }
    static void TearDownTestSuite() { dir.reset(); }

    static std::string Pal() { return dir->File("pal.mp4"); }
    static std::string Ntsc() { return dir->File("ntsc.mkv"); }
    static std::string Tone() { return dir->File("tone.mp3"); }
    static std::string Broken() { return dir->File("broken.mp4"); }

    std::string Text(const char* name) const {
        if (const auto* label = Child<QLabel>(window, name)) {
            return label->text().toStdString();
        }
        return Child<QLineEdit>(window, name)->text().toStdString();
    }
    std::map<std::string, std::string> Shown() const {
        std::map<std::string, std::string> shown;
        for (const char* name : FieldNames) {
            shown[name] = Text(name);
        }
        shown["lblSourceName"] = Text("lblSourceName");
        shown["lblFileLength"] = Text("lblFileLength");
        return shown;
    }
    void ExpectEmpty(std::initializer_list<const char*> names) const {
        for (const char* name : names) {
            EXPECT_EQ(Text(name), "") << name;
        }
    }

    static inline std::unique_ptr<TempDir> dir;
    TfrmFileInfo window;
};

} // namespace

TEST_F(FileInfoWindow, CaptionsLabelsAndReadOnlyFields) {
    window.show();
    EXPECT_EQ(window.windowTitle(), "File infomation");
    EXPECT_GE(window.width(), 420);
    EXPECT_GE(window.height(), 460);
    EXPECT_GE(Child<QLabel>(window, "lblSourceName")->width(), 270);
    EXPECT_EQ(Child<QPushButton>(window, "btnOk")->text(), "&Ok");
    // The groups fill the window down to its button: no empty band below them.
    const QWidget* audio = Child<QWidget>(window, "grpbxAudio");
    EXPECT_LE(Child<QPushButton>(window, "btnOk")->y() - (audio->y() + audio->height()), 16);
    const int height = window.height();
    window.resize(window.width() + 200, height + 200);
    QApplication::processEvents();
    EXPECT_EQ(window.height(), height) << "taller would only space the rows out";
    EXPECT_GT(Child<QLineEdit>(window, "edtFormat")->width(), 400) << "wider shows more";
    QStringList captions;
    for (const char* name : FieldNames) {
        const auto* field = Child<QLineEdit>(window, name);
        ASSERT_NE(field, nullptr) << name;
        EXPECT_TRUE(field->isReadOnly()) << name;
        for (const QLabel* label : window.findChildren<QLabel*>()) {
            captions << (label->buddy() == field ? label->text() : QString());
        }
    }
    captions.removeAll(QString());
    EXPECT_EQ(captions,
              QStringList({"Format:", "Resloution:", "Bit Rate:", "Frame Rate:", "Total Frame:",
                           "Format:", "Sample Rate:", "Channel:", "Bit Rate:"}));
    Child<QPushButton>(window, "btnOk")->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
}

TEST_F(FileInfoWindow, VideoWithAudioAt25FramesASecond) {
    ASSERT_TRUE(window.Load(Pal()));
    const std::string path = Pal();
    EXPECT_EQ(Text("lblSourceName"), path.size() < 46 ? path : path.substr(0, 40) + "...mp4  ");
    EXPECT_EQ(Child<QLabel>(window, "lblSourceName")->toolTip().toStdString(), path);
    EXPECT_EQ(Text("lblFileLength"), ExpectedDuration(path));
    EXPECT_EQ(Text("edtFormat"), ProbeEntry(path, "", "format=format_name"));
    EXPECT_EQ(Text("edtResloution"), "160x120");
    EXPECT_EQ(Text("edtBitRate"), ProbeEntry(path, "v:0", "stream=bit_rate"));
    EXPECT_EQ(ProbeEntry(path, "v:0", "stream=r_frame_rate"), "25/1");
    EXPECT_EQ(Text("edtFrameRate"), "25");
    EXPECT_EQ(Text("edtTotalFrame"), ProbeEntry(path, "v:0", "stream=nb_frames"));
    EXPECT_EQ(Text("edtAudioForamt"), ProbeEntry(path, "a:0", "stream=codec_name"));
    EXPECT_EQ(Text("edtSampleRate"), "44100");
    EXPECT_EQ(Text("edtChannel"), ProbeEntry(path, "a:0", "stream=channels"));
    EXPECT_EQ(Text("edtAudioBitRate"), ProbeEntry(path, "a:0", "stream=bit_rate"));
}

TEST_F(FileInfoWindow, NtscVideoWithoutAudioThenAudioOnlyInTheSameWindow) {
    ASSERT_TRUE(window.Load(Ntsc()));
    EXPECT_EQ(ProbeEntry(Ntsc(), "v:0", "stream=r_frame_rate"), "30000/1001");
    EXPECT_EQ(Text("edtFrameRate"), "29.97");
    EXPECT_EQ(Text("edtResloution"), "176x144");
    EXPECT_EQ(Text("edtTotalFrame"), "30") << "one second at 29.97";
    ExpectEmpty({"edtAudioForamt", "edtSampleRate", "edtChannel", "edtAudioBitRate"});

    // Audio only: name, duration, format and the audio fields; nothing of the video before.
    ASSERT_TRUE(window.Load(Tone()));
    EXPECT_EQ(Text("lblSourceName"),
              Tone().size() < 46 ? Tone() : Tone().substr(0, 40) + "...mp3  ");
    EXPECT_EQ(Text("lblFileLength"), ExpectedDuration(Tone()));
    EXPECT_EQ(Text("edtFormat"), "mp3");
    ExpectEmpty({"edtResloution", "edtBitRate", "edtFrameRate", "edtTotalFrame"});
    EXPECT_EQ(Text("edtAudioForamt"), "mp3");
    EXPECT_EQ(Text("edtSampleRate"), ProbeEntry(Tone(), "a:0", "stream=sample_rate"));
    EXPECT_EQ(Text("edtChannel"), "1");
    EXPECT_EQ(Text("edtAudioBitRate"), ProbeEntry(Tone(), "a:0", "stream=bit_rate"));
}

TEST_F(FileInfoWindow, AFileTheProbeCannotReadLeavesEveryFieldEmpty) {
    ASSERT_TRUE(window.Load(Pal()));
    EXPECT_FALSE(window.Load(Broken()));
    for (const auto& [name, text] : Shown()) {
        EXPECT_EQ(text, "") << name;
    }
    EXPECT_EQ(Child<QLabel>(window, "lblSourceName")->toolTip(), "");
    ASSERT_TRUE(window.Load(Pal()));
    EXPECT_FALSE(window.Load("")) << "no job";
    for (const auto& [name, text] : Shown()) {
        EXPECT_EQ(text, "") << name;
    }
}

// "Video Infomation" in the job list's pop-up shows the selected row's file.
TEST_F(FileInfoWindow, OpenedFromTheMainWindowForTheSelectedRow) {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell(shell);
    TVantreApp vantre(TUserPlaces{home.Path(), ""}, "");
    TfrmMain main(vantre);
    main.show();
    main.AddFiles({Pal(), Ntsc()});
    ASSERT_TRUE(gui_test::WaitUntil([&] { return !main.Adding(); }));
    main.Model().Jobs().Select(1);

    std::string resolution;
    std::string title;
    QTimer::singleShot(0, &main, [&] {
        TfrmFileInfo* info = main.FileInfoWindow();
        ASSERT_NE(info, nullptr);
        title = info->windowTitle().toStdString();
        resolution = Child<QLineEdit>(*info, "edtResloution")->text().toStdString();
        Child<QPushButton>(*info, "btnOk")->click();
    });
    main.Ui().pmiVideoInformation->trigger();
    EXPECT_EQ(title, "File infomation");
    EXPECT_EQ(resolution, "176x144");

    TfrmFileInfo* first = main.FileInfoWindow();
    main.Model().Jobs().Select(0);
    QTimer::singleShot(0, &main, [&] {
        resolution =
            Child<QLineEdit>(*main.FileInfoWindow(), "edtResloution")->text().toStdString();
        main.FileInfoWindow()->reject();
    });
    main.Ui().pmiVideoInformation->trigger();
    EXPECT_EQ(resolution, "160x120");
    EXPECT_EQ(main.FileInfoWindow(), first) << "made once, reused";
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(FileInfoWindow, AVariableRateFileWithoutAContainerCountShowsItsPacketCount) {
    // Every frame of the first second, then one in four: far fewer frames than the duration
    // times the nominal rate.
    const std::string vfr = dir->File("vfr.mkv");
    testing_support::Ffmpeg("-f lavfi -i testsrc=duration=2:size=64x48:rate=30 "
                            "-vf \"select='lt(n\\,30)+not(mod(n\\,4))'\" -fps_mode vfr "
                            "-c:v mpeg4 " +
                            ShellQuote(vfr));
    const auto counted = testing_support::RunCommand(
        "ffprobe -v error -count_packets -select_streams v:0 -show_entries "
        "stream=nb_read_packets -of csv=p=0 " +
        ShellQuote(vfr));
    ASSERT_EQ(counted.exitCode, 0);
    const std::string packets = QString::fromStdString(counted.output).trimmed().toStdString();
    ASSERT_EQ(ProbeEntry(vfr, "v:0", "stream=nb_frames"), "N/A") << "no count in the container";
    ASSERT_TRUE(window.Load(vfr));
    ASSERT_TRUE(gui_test::WaitUntil([&] { return Text("edtTotalFrame") == packets; }))
        << "counted off the window thread, which kept serving events: " << Text("edtTotalFrame");
    EXPECT_EQ(Text("edtTotalFrame"), packets);
    EXPECT_EQ(window.Model().Fields().TotalFrame, packets);
    EXPECT_LT(std::stoi(packets), 50);
}
