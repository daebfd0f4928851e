// The job list kept across runs of the desktop program: edited rows come back after a quit and
// convert the same, a batch killed half-way picks up where it was, a damaged list is kept
// aside, a second start hands its files to the first.
#include "VantreApp.h"
#include "WinMain.h"

#include "BatchMessages.h"
#include "BatchRun.h"
#include "CatalogFile.h"
#include "FormatProfile.h"
#include "GuiTestHelpers.h"
#include "InstanceChannel.h"
#include "JobListStore.h"
#include "RecordingShell.h"
#include "Settings.h"
#include "TrimCropTestHelpers.h"
#include "WinCrop.h"
#include "WinPreference.h"
#include "WinProgress.h"
#include "WinTrim.h"
#include "WinWaterMark.h"

#include <QCheckBox>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;
using gui_test::WaitUntil;
using testing_support::TempDir;

namespace {

constexpr std::int64_t Second = 1000000;
constexpr int FormatCode = 2302; // MPEG-4 video in MP4

// What ffprobe says of an output.
struct TOutputFacts {
    double duration = 0;
    std::string width;
    std::string height;
    std::uintmax_t bytes = 0;
};

TOutputFacts Facts(const std::string& file) {
    return {testing_support::ProbeDuration(file),
            testing_support::ProbeEntry(file, "v:0", "stream=width"),
            testing_support::ProbeEntry(file, "v:0", "stream=height"), fs::file_size(file)};
}

// The saved list as it is on disk now (empty while there is none or it cannot be read).
std::vector<TSavedJob> SavedNow(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    try {
        return TJobListFile::Parse(text.str());
    } catch (const std::exception&) {
        return {};
    }
}

// Waits (without an event loop of ours: the writer is another process) until holds.
bool WaitForSaved(const std::string& path,
                  const std::function<bool(const std::vector<TSavedJob>&)>& holds,
                  int timeoutMs = 60000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!holds(SavedNow(path))) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

QProcessEnvironment ProgramEnvironment(const std::string& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home));
    env.remove("XDG_DATA_HOME");
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    return env;
}

struct JobListPersistence : ::testing::Test {
    TempDir home;
    testing_support::RecordingShell shell;
    TScopedShell scopedShell{shell};
    std::unique_ptr<TVantreApp> vantre;
    std::unique_ptr<TfrmMain> window;
    std::string dataFolder = home.Path() + "/.local/share/vantre";
    std::string listFile = dataFolder + "/" + TJobListFile::FileName;

    void SetUp() override {
        testing_support::RequireEncoderLibraries();
        Start();
    }
    void TearDown() override { window.reset(); }

    // A start of the program on the same home: the list as the last one left it.
    void Start() {
        window.reset();
        vantre = std::make_unique<TVantreApp>(TUserPlaces{home.Path(), ""}, "");
        window = std::make_unique<TfrmMain>(*vantre);
        window->SetAskOnClose(false);
        window->show();
    }
    void Quit() {
        window->close();
        window.reset();
        vantre.reset();
    }
    TJobList& Jobs() { return window->Model().Jobs(); }
    const TMainWindowUi& Ui() const { return window->Ui(); }

    void Add(const std::vector<std::string>& paths) {
        window->AddFiles(paths);
        ASSERT_TRUE(WaitUntil([&] { return !window->Adding(); }));
    }
    // A small, quick MPEG-4 format.
    void ChooseSmallFormat() {
        TSettings& settings = window->Model().Settings();
        const TCatalogFile catalog(window->Model().Global().CatalogFile());
        TProfileChoices choices = TFormatProfile::CatalogDefaults(catalog, FormatCode);
        choices.VideoSize = {0, "160x120"};
        choices.ZoomIndex = 0;
        TFormatProfile::Store(settings.Ini(), catalog, FormatCode, choices);
        settings.SetFormat("MPEG-4 Video (*.mp4)", FormatCode);
    }
    // Start, to the end of the batch; the outputs of the converted rows by row.
    std::map<int, std::string> Convert() {
        Ui().btnStart->click();
        EXPECT_TRUE(WaitUntil(
            [&] {
                return !window->BatchRun().Running() && window->ProgressWindow() != nullptr &&
                       !window->ProgressWindow()->isVisible();
            },
            120000));
        std::map<int, std::string> outputs;
        for (const TBatchJob& job : window->BatchRun().Jobs()) {
            EXPECT_EQ(job.Outcome, TJobOutcome::Converted) << job.Source << ": " << job.Error;
            outputs[job.Row] = job.OutputFile;
        }
        return outputs;
    }
    // Runs a command whose dialog is modal; inside runs while it is open and closes it.
    template <typename Dialog>
    void RunModal(QAction* command, const char* name, const std::function<void(Dialog&)>& inside) {
        bool ran = false;
        QTimer::singleShot(0, window.get(), [&] {
            Dialog* dialog = window->findChild<Dialog*>(name);
            ASSERT_NE(dialog, nullptr);
            inside(*dialog);
            ran = true;
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        command->trigger();
        EXPECT_TRUE(ran);
    }
    void Click(QWidget& dialog, const char* name) {
        QTest::mouseClick(gui_test::Child<QAbstractButton>(dialog, name), Qt::LeftButton);
    }
};

} // namespace

TEST_F(JobListPersistence, RowsEditedInTheDialogsComeBackAfterAQuitAndConvertTheSame) {
    const auto& clips = trimcrop_test::SharedClips();
    const std::string third = gui_test::SharedClips().holiday;
    Add({clips.minute, clips.wide, third});
    ASSERT_EQ(Jobs().Count(), 3);

    // Trim the first row, crop the second, a text watermark on the third, uncheck the third.
    Jobs().Select(0);
    RunModal<TfrmTrim>(Ui().mniTrim, "frmTrim", [&](TfrmTrim& trim) {
        for (const auto& [button, t] :
             {std::pair{"btnSetStart", 10 * Second}, std::pair{"btnSetEnd", 20 * Second}}) {
            if (!trim.Player().Paused()) {
                Click(trim, "imgbtnPause");
            }
            ASSERT_TRUE(trimcrop_test::PlayerAt(trim.Player(), t));
            Click(trim, button);
        }
        Click(trim, "btnOk");
    });
    Jobs().Select(1);
    RunModal<TfrmCrop>(Ui().mniCrop, "frmCrop", [&](TfrmCrop& crop) {
        ASSERT_TRUE(WaitUntil([&] { return crop.Model().HasPicture(); }));
        gui_test::Child<QSpinBox>(crop, "spedUp")->setValue(30);
        gui_test::Child<QSpinBox>(crop, "spedLeft")->setValue(40);
        Click(crop, "btnOk");
    });
    Jobs().Select(2);
    RunModal<TfrmWaterMark>(Ui().mniVideoEffect, "frmWaterMark", [&](TfrmWaterMark& editor) {
        ASSERT_TRUE(WaitUntil([&] { return editor.Model().Opened(); }));
        editor.Ui().btnAddText->click();
        Click(editor, "btnOk");
    });
    Jobs().SetChecked(2, false);
    ASSERT_EQ(Jobs().Record(0).TrimLength, 10 * Second);
    ASSERT_GT(Jobs().Record(1).CropTop, 0);
    ASSERT_EQ(Jobs().Record(2).WaterMarks.size(), 1u);
    const std::vector<TSavedJob> edited = TJobListStore::Snapshot(Jobs(), nullptr);

    Quit();
    Start();
    ASSERT_EQ(Jobs().Count(), 3);
    EXPECT_EQ(TJobListStore::Snapshot(Jobs(), nullptr), edited);
    EXPECT_EQ(Jobs().Cell(0, TJobColumn::TrimmedLength), "10");
    EXPECT_TRUE(Ui().btnStart->isEnabled());

    // Converted, quit, started again: the finished rows say so and are unchecked; checked
    // again they convert into the same pictures and lengths.
    ChooseSmallFormat();
    Jobs().CheckAll(true);
    const std::map<int, std::string> before = Convert();
    ASSERT_EQ(before.size(), 3u);
    Quit();
    Start();
    ASSERT_EQ(Jobs().Count(), 3);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Jobs().Cell(row, TJobColumn::Progress), "100%");
        EXPECT_FALSE(Jobs().Checked(row));
    }
    Jobs().CheckAll(true);
    const std::map<int, std::string> after = Convert();
    ASSERT_EQ(after.size(), 3u);
    for (int row = 0; row < 3; ++row) {
        ASSERT_NE(before.at(row), after.at(row));
        const TOutputFacts a = Facts(before.at(row));
        const TOutputFacts b = Facts(after.at(row));
        EXPECT_NEAR(a.duration, b.duration, 0.05) << row;
        EXPECT_EQ(a.width, b.width);
        EXPECT_EQ(a.height, b.height);
        EXPECT_NEAR(static_cast<double>(a.bytes), static_cast<double>(b.bytes),
                    0.01 * static_cast<double>(a.bytes))
            << row;
    }
    EXPECT_NEAR(Facts(after.at(0)).duration, 10.0, 0.6);
}

TEST_F(JobListPersistence, ABatchKilledHalfWayComesBackFinishedInterruptedAndQueued) {
    const std::string first = home.File("first.avi");
    const std::string second = home.File("second.avi");
    const std::string third = home.File("third.avi");
    testing_support::MakeClip(first, 1, 64, 48, 10, 0, "-c:v mpeg4");
    testing_support::MakeClip(second, 40, 320, 240, 25, 0, "-c:v mpeg4 -q:v 2");
    testing_support::MakeClip(third, 1, 64, 48, 10, 0, "-c:v mpeg4");
    Add({first, second, third});
    ASSERT_EQ(Jobs().Count(), 3);
    // One conversion at a time: the third waits while the second converts.
    window->Model().Settings().SetConversionsAtOnce(1);
    Quit();

    // The default format: slow enough for the second row to be seen converting.
    QProcess child;
    child.setProcessEnvironment(ProgramEnvironment(home.Path()));
    child.setStandardOutputFile(QString::fromStdString(home.File("child.log")));
    child.setStandardErrorFile(QString::fromStdString(home.File("child.log")), QIODevice::Append);
    child.start(JOBLIST_CHILD, {QString::fromStdString(home.Path())});
    ASSERT_TRUE(child.waitForStarted());
    const bool caught = WaitForSaved(listFile, [](const std::vector<TSavedJob>& jobs) {
        return jobs.size() == 3 && jobs[0].State == TJobState::Done &&
               jobs[1].State == TJobState::Converting;
    });
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished());
    std::string states;
    for (const TSavedJob& job : SavedNow(listFile)) {
        states += " " + TJobListStore::ProgressText(job.State) + "/" +
                  std::to_string(static_cast<int>(job.State));
    }
    ASSERT_TRUE(caught) << "saved:" << states;
    const std::vector<TSavedJob> atKill = SavedNow(listFile);
    const std::string outputFolder = atKill[1].ConvertingIn;
    ASSERT_FALSE(outputFolder.empty());
    const auto filesIn = [&] {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(outputFolder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    };
    EXPECT_GT(filesIn().size(), 1u);
    // The output folder changed meanwhile: the restored row still finds what it left.
    const std::string newFolder = home.File("elsewhere");
    fs::create_directories(newFolder);
    TSettings(dataFolder + "/" + TGlobalObject::SettingsFileName, home.Path())
        .SetOutputDir(newFolder);

    Start();
    ASSERT_EQ(Jobs().Count(), 3);
    EXPECT_EQ(Jobs().Cell(0, TJobColumn::Progress), "100%");
    EXPECT_FALSE(Jobs().Checked(0));
    EXPECT_EQ(Jobs().Cell(1, TJobColumn::Progress), batchmsg::RowInterrupted);
    EXPECT_TRUE(Jobs().Checked(1));
    EXPECT_EQ(Jobs().Cell(2, TJobColumn::Progress), "");
    EXPECT_TRUE(Jobs().Checked(2));
    // Only the first output is left where the batch wrote: nothing of the cut-off conversion,
    // nor the names the queued one had reserved.
    const std::set<std::string> now = filesIn();
    ASSERT_EQ(now.size(), 1u) << "left: " << now.size();
    EXPECT_EQ(now.begin()->rfind("first", 0), 0u) << *now.begin();
    EXPECT_NEAR(testing_support::ProbeDuration(outputFolder + "/" + *now.begin()), 1.0, 0.2);

    // Start converts the checked rows only: the second and the third.
    const std::map<int, std::string> outputs = Convert();
    EXPECT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs.count(0), 0u);
    EXPECT_NEAR(Facts(outputs.at(1)).duration, 40.0, 0.5);
    EXPECT_NEAR(Facts(outputs.at(2)).duration, 1.0, 0.2);
}

TEST_F(JobListPersistence, ADamagedCutOversizedOrLaterListStartsEmptyKeptAsBak) {
    const std::string source = gui_test::SharedClips().holiday;
    Add({source});
    Quit();
    std::ifstream in(listFile, std::ios::binary);
    std::stringstream saved;
    saved << in.rdbuf();
    const std::string good = saved.str();
    ASSERT_NE(good.find("end 1\n"), std::string::npos);

    const std::vector<std::function<void()>> damage = {
        [&] { std::ofstream(listFile, std::ios::binary) << good.substr(0, good.size() - 4); },
        [&] { std::ofstream(listFile, std::ios::binary) << "\x01\x02garbage\n"; },
        [&] {
            std::ofstream(listFile, std::ios::binary) << good;
            fs::resize_file(listFile, TJobListFile::MaxFileBytes + 10);
        },
        [&] {
            std::string later = good;
            later.replace(0, later.find('\n'), "vantre-joblist 2");
            std::ofstream(listFile, std::ios::binary) << later;
        },
    };
    int kept = 0;
    for (const auto& make : damage) {
        make();
        shell.messages.clear();
        Start();
        EXPECT_EQ(Jobs().Count(), 0);
        ASSERT_TRUE(WaitUntil([&] { return !shell.messages.empty(); }, 5000));
        const std::string backup =
            listFile + ".bak" + (kept == 0 ? "" : "." + std::to_string(kept));
        EXPECT_NE(shell.messages.front().text.find("kept as " + backup), std::string::npos)
            << shell.messages.front().text;
        EXPECT_TRUE(fs::exists(backup));
        EXPECT_FALSE(fs::exists(listFile));
        ++kept;
        Quit();
    }
}

TEST_F(JobListPersistence, MissingSourcesAreKeptAndSkippedAndThePreferenceTurnsItOff) {
    const std::string gone =
        gui_test::SharedClips().CopyAs(gui_test::SharedClips().holiday, home.File("gone.avi"));
    Add({gone, gui_test::SharedClips().beach});
    Quit();
    fs::remove(gone);
    Start();
    ASSERT_EQ(Jobs().Count(), 2);
    EXPECT_EQ(Jobs().Cell(0, TJobColumn::Progress), batchmsg::RowMissing);
    EXPECT_EQ(Jobs().Cell(1, TJobColumn::Progress), "");
    ChooseSmallFormat();
    Ui().btnStart->click();
    ASSERT_TRUE(WaitUntil(
        [&] {
            return !window->BatchRun().Running() && !window->BatchRun().Prepared() &&
                   window->ProgressWindow() != nullptr && !window->ProgressWindow()->isVisible();
        },
        60000));
    ASSERT_EQ(window->BatchRun().Jobs().size(), 2u);
    EXPECT_EQ(window->BatchRun().Jobs()[0].Outcome, TJobOutcome::NotAdded);
    EXPECT_EQ(window->BatchRun().Jobs()[0].Error, gone + ": No such file or directory");
    EXPECT_EQ(Jobs().Cell(0, TJobColumn::Progress), batchmsg::RowMissing);
    EXPECT_EQ(Jobs().Cell(1, TJobColumn::Progress), "100%");

    // "Remember the job list" off: the saved list goes, and the next start is empty.
    QTimer::singleShot(0, window.get(), [&] {
        TfrmPreference* preference = window->PreferenceWindow();
        ASSERT_NE(preference, nullptr);
        auto* box = gui_test::Child<QCheckBox>(*preference, "ckRememberJobList");
        EXPECT_EQ(box->text(), "Remember the job list");
        EXPECT_TRUE(box->isChecked());
        box->click();
        Click(*preference, "btnOk");
    });
    Ui().mniPreference->trigger();
    EXPECT_FALSE(window->Model().Settings().RememberJobList());
    window->JobStore().Flush();
    EXPECT_FALSE(fs::exists(listFile));
    Quit();
    Start();
    EXPECT_EQ(Jobs().Count(), 0);
    EXPECT_FALSE(fs::exists(listFile));
}

TEST_F(JobListPersistence, ASecondStartHandsItsFilesToTheRunningProgramAndEnds) {
    Quit();
    const std::string first = gui_test::SharedClips().holiday;
    const std::string second = gui_test::SharedClips().beach;
    QProcess owner;
    owner.setProcessEnvironment(ProgramEnvironment(home.Path()));
    owner.start(VANTRE_PROGRAM, {QString::fromStdString(first)});
    ASSERT_TRUE(owner.waitForStarted());
    ASSERT_TRUE(WaitForSaved(listFile, [](const auto& jobs) { return jobs.size() == 1; }))
        << owner.readAll().toStdString();

    QProcess later;
    later.setProcessEnvironment(ProgramEnvironment(home.Path()));
    later.start(VANTRE_PROGRAM, {QString::fromStdString(second)});
    ASSERT_TRUE(later.waitForFinished(30000));
    EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(later.exitCode(), 0) << later.readAll().toStdString();
    EXPECT_TRUE(WaitForSaved(listFile, [&](const auto& jobs) {
        return jobs.size() == 2 && jobs[0].Record.SourceFile == first &&
               jobs[1].Record.SourceFile == second;
    }));
    EXPECT_EQ(owner.state(), QProcess::Running);
    owner.kill();
    owner.waitForFinished();
}

// The program itself, given a name that is not UTF-8 on its command line, adds the row byte
// for byte (its saved list shows it); the row comes back at the next start and converts.
TEST_F(JobListPersistence, ANameThatIsNotUtf8OnTheCommandLineIsAddedAndConverts) {
    Quit();
    const std::string given = home.File("clip\xff\xfe.avi");
    fs::copy_file(gui_test::SharedClips().holiday, given);
    std::vector<std::string> environment;
    for (const QString& entry : ProgramEnvironment(home.Path()).toStringList()) {
        environment.push_back(entry.toStdString());
    }
    std::vector<char*> env;
    for (std::string& entry : environment) {
        env.push_back(entry.data());
    }
    env.push_back(nullptr);
    std::string program = VANTRE_PROGRAM;
    std::string name = given;
    char* argv[] = {program.data(), name.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, env.data()), 0);
    const bool added = WaitForSaved(listFile, [&](const auto& jobs) {
        return jobs.size() == 1 && jobs[0].Record.SourceFile == given;
    });
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(added) << "the saved list holds " << SavedNow(listFile).size() << " rows";

    Start();
    ASSERT_EQ(Jobs().Count(), 1);
    EXPECT_EQ(Jobs().Record(0).SourceFile, given);
    window->Model().Settings().SetOutputDir(home.File("out"));
    ChooseSmallFormat();
    const std::map<int, std::string> outputs = Convert();
    ASSERT_EQ(outputs.size(), 1u);
    EXPECT_EQ(outputs.at(0), home.File("out/clip\xff\xfe_(new).mp4"));
    EXPECT_NEAR(testing_support::ProbeDuration(outputs.at(0)), 1.0, 0.2);
}

TEST_F(JobListPersistence, FilesHandedOverDuringABatchAreAddedAtItsEnd) {
    Add({trimcrop_test::SharedClips().minute});
    ChooseSmallFormat();
    Ui().btnStart->click();
    ASSERT_TRUE(window->BatchRun().Running());
    window->AddHandedFiles({gui_test::SharedClips().beach});
    EXPECT_EQ(Jobs().Count(), 1);
    ASSERT_TRUE(WaitUntil([&] { return Jobs().Count() == 2; }, 120000));
    EXPECT_FALSE(window->BatchRun().Running());
    EXPECT_EQ(Jobs().Caption(1), gui_test::SharedClips().beach);
}

TEST(InstanceChannel, HandOverMessagesKeepTheBytesAndRefuseAnythingElse) {
    const std::vector<std::string> paths = {"/v/caf\xE9 1.avi", "/v/-%\n.mkv"};
    EXPECT_EQ(TInstanceChannel::Decode(TInstanceChannel::Encode(paths)), paths);
    EXPECT_EQ(TInstanceChannel::Decode(TInstanceChannel::Encode({})), std::vector<std::string>{});
    const std::string good = TInstanceChannel::Encode({"/v/a.avi"});
    for (const std::string& bad :
         {good.substr(0, good.size() - 1), std::string("vantre-files 2\nend\n"),
          std::string("vantre-files 1\nv/a.avi\nend\n"),
          std::string("vantre-files 1\n/v/a%00.avi\nend\n"),
          std::string("vantre-files 1\n/v/a b.avi\nend\n"), std::string("garbage")}) {
        EXPECT_FALSE(TInstanceChannel::Decode(bad).has_value()) << bad;
    }
}
