#include "MainPreview.h"

#include "FFPlayer.h"
#include "JobListView.h"
#include "MainWindowModel.h"
#include "MainWindowUi.h"
#include "MediaUtils.h"
#include "ShellServices.h"
#include "SnapshotWriter.h"
#include "ValueLabel.h"
#include "VideoWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSlider>
#include <QToolButton>

namespace {

constexpr const char* PositionSlider = "trcPreview";

// The widget under a mouse event's pointer: the one the window system finds there, else the
// receiver when the point lies inside it.
QWidget* WidgetUnder(QObject* receiver, const QMouseEvent& event) {
    if (QWidget* found = QApplication::widgetAt(event.globalPosition().toPoint())) {
        return found;
    }
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (widget != nullptr && widget->rect().contains(event.position().toPoint())) {
        return widget;
    }
    return nullptr;
}

} // namespace

TMainPreview::TMainPreview(TFFPlayer& player, TMainWindowUi& ui, TMainWindowModel& model,
                           std::function<bool()> add, QObject* parent)
    : QObject(parent), player_(player), ui_(ui), model_(model), add_(std::move(add)),
      session_(player, {.FileOpened =
                            [this](std::int64_t duration, int width, int height, int& screenWidth,
                                   int& screenHeight) {
                                FileOpened(duration, width, height, screenWidth, screenHeight);
                            },
                        .Position = [this](std::int64_t position) { PositionChanged(position); },
                        .Ended = [this] { Ended(); },
                        // The pictures pass the hook, as the snapshot takes them.
                        .Hook = [](TBitmap24&, std::int64_t) {},
                        .Picture = {}}) {
    connect(ui_.trcVolume, &QSlider::valueChanged, this,
            [this](int volume) { player_.SetAudioVolume(volume); });
    qApp->installEventFilter(this);
}

TMainPreview::~TMainPreview() {
    qApp->removeEventFilter(this);
}

void TMainPreview::FirstShow() {
    state_ = TPreviewState{};
    ShowButtons();
    ui_.trcPreview->setEnabled(false);
    const TSettings& settings = model_.Settings();
    ui_.trcVolume->setValue(settings.Volume());
    player_.SetAudioVolume(ui_.trcVolume->value());
    ui_.ckMute->setChecked(settings.Mute());
    player_.SetMute(settings.Mute());
}

void TMainPreview::ShowButtons() {
    const TPreviewButtons buttons = state_.Buttons();
    ui_.imgbtnPlay->setEnabled(buttons.Play);
    ui_.imgbtnPAuse->setEnabled(buttons.Pause);
    ui_.imgbtnStop->setEnabled(buttons.Stop);
    ui_.imgbtnSnap->setEnabled(buttons.Snap);
}

void TMainPreview::Log(const std::string& text) {
    ui_.mmoLog->appendPlainText(QString::fromStdString(text));
}

void TMainPreview::Play() {
    if (state_.Paused()) {
        state_.SetPlaying();
        ShowButtons();
        session_.Play();
        return;
    }
    // Without the libraries (reported at start) nothing plays.
    if (!player_.LibrariesLoaded()) {
        return;
    }
    TJobList& jobs = model_.Jobs();
    if (jobs.Empty()) {
        state_.SetPlayOnAdd(true);
        // A cancelled file dialog adds nothing: no later Add should play.
        state_.SetPlayOnAdd(add_());
        return;
    }
    if (jobs.Selected() < 0) {
        jobs.Select(0);
        ui_.lvFiles->setFocus();
    }
    if (jobs.Selected() >= 0) {
        OpenSelected();
    }
}

void TMainPreview::OpenSelected() {
    const std::string source = model_.Jobs().Record(model_.Jobs().Selected()).SourceFile;
    if (!session_.Open(source, ui_.pan1)) {
        // Nothing plays: the buttons stay as they are and the log says why.
        Log(session_.LastErrorText());
        return;
    }
    state_.SetPlaying();
    ui_.trcPreview->setEnabled(true);
    ShowButtons();
}

void TMainPreview::AddFinished(int added) {
    if (!state_.PlayOnAdd()) {
        return;
    }
    state_.SetPlayOnAdd(false);
    if (added > 0) {
        Play();
    }
}

void TMainPreview::Pause() {
    if (state_.Paused()) {
        return;
    }
    session_.Pause();
    state_.SetPaused();
    ShowButtons();
}

void TMainPreview::ResetPosition() {
    ui_.trcPreview->setValue(0);
    ui_.trcPreview->setEnabled(false);
    valuelabel::Show(ui_.lblTime, TPreviewState::ZeroTime);
    valuelabel::Show(ui_.lblPTS, TPreviewState::ZeroTime);
}

void TMainPreview::Stop() {
    if (state_.Stopped()) {
        return;
    }
    session_.Close();
    state_.SetStopped();
    ResetPosition();
    ShowButtons();
    ui_.pan1->Clear();
}

void TMainPreview::Snap() {
    const TBitmap24& current = player_.CurrentBitmap();
    if (current.Width() <= 0) {
        return;
    }
    const TBitmap24 full = current;
    const TBitmap24 small = TSnapshotWriter::SmallPicture(full);
    TSnapshotWriter writer(model_.Settings());
    const TSnapshotWriter::TResult saved = writer.Save(full, small);
    if (!saved.Folder.empty()) {
        Shell().OpenPath(saved.Folder);
    }
}

void TMainPreview::MuteClicked() {
    const bool mute = ui_.ckMute->isChecked();
    player_.SetMute(mute);
    model_.Settings().SetMute(mute);
}

void TMainPreview::VolumeReleased() {
    model_.Settings().SetVolume(ui_.trcVolume->value());
}

void TMainPreview::FileOpened(std::int64_t duration, int frameWidth, int frameHeight,
                              int& screenWidth, int& screenHeight) {
    Log(player_.Probe().GetInfoText());
    Log(Format("duration: %f, frame size: %dx%d", static_cast<double>(duration) / 1e6, frameWidth,
               frameHeight));
    ui_.pan1->SurfaceSize(screenWidth, screenHeight);
    state_.SetMediaDuration(duration);
    valuelabel::Show(ui_.lblPTS, QString::fromStdString(TPreviewState::DurationText(duration)));
    QSlider* slider = ui_.trcPreview;
    slider->setSingleStep(1);
    slider->setRange(0, std::max(1, slider->width()));
    slider->setValue(0);
    slider->setEnabled(duration > 0);
}

void TMainPreview::PositionChanged(std::int64_t position) {
    // The rewind at the end of playback reports a position too: a stopped preview shows none.
    if (state_.Stopped()) {
        return;
    }
    valuelabel::Show(ui_.lblTime, QString::fromStdString(TPreviewState::PositionText(position)));
}

void TMainPreview::Ended() {
    ui_.trcPreview->setValue(0);
    state_.SetStopped();
    ShowButtons();
    ResetPosition();
}

void TMainPreview::SliderReleased(QObject* watched, QEvent* event) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) {
        return;
    }
    // A release nobody takes travels up the parents: it counts once.
    if (mouse->timestamp() != 0 && mouse->timestamp() == lastRelease_) {
        return;
    }
    lastRelease_ = mouse->timestamp();
    const QWidget* under = WidgetUnder(watched, *mouse);
    // Any release over the volume slider stores it, a click on its groove too.
    if (under == ui_.trcVolume) {
        VolumeReleased();
        return;
    }
    if (state_.Stopped() || under == nullptr || under->objectName() != PositionSlider) {
        return;
    }
    const auto* slider = static_cast<const QSlider*>(under);
    session_.SeekToSlider(slider->value(), slider->maximum());
}

bool TMainPreview::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched->isWidgetType()) {
        SliderReleased(watched, event);
    }
    return QObject::eventFilter(watched, event);
}
