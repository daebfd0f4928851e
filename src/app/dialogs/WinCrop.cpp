#include "WinCrop.h"

#include "DialogButtons.h"
#include "FileInfoModel.h"
#include "Glyphs.h"
#include "JobList.h"
#include "RectTracker.h"
#include "SelectionSlider.h"
#include "SliderTime.h"
#include "ThemeManager.h"
#include "TrimCropMessages.h"
#include "VideoWidget.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpacerItem>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using dialogbuttons::Button;
using dialogbuttons::ImageButton;

namespace {

constexpr TCropSide Sides[] = {TCropSide::Up, TCropSide::Down, TCropSide::Left, TCropSide::Right};
constexpr const char* SpinNames[] = {"spedUp", "spedDown", "spedLeft", "spedRight"};
constexpr const char* SpinLabels[] = {trimcropmsg::Up, trimcropmsg::Down, trimcropmsg::Left,
                                      trimcropmsg::Right};
// Outside the rectangle the picture is dimmed, so the part kept stands out.
const QColor Shade(0, 0, 0, 110);

QRect ToQRect(const TCropRect& r) {
    return {r.Left, r.Top, r.Width, r.Height};
}

TCropRect ToCropRect(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

TfrmCrop::TfrmCrop(TJobList& jobs, QWidget* parent) : QDialog(parent), jobs_(jobs) {
    setObjectName("frmCrop");
    setWindowTitle(trimcropmsg::CropCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Build();
    player_.SetHook(true);
    player_.SetOnFileOpen([this](TCustomPlayer&, std::int64_t duration, int, int, int&, int&) {
        FFPlayerFileOpen(duration);
    });
    player_.SetOnState([this](TCustomPlayer&, TPlayState state) { FFPlayerState(state); });
    frameTimer_.setInterval(FrameIntervalMs);
    connect(&frameTimer_, &QTimer::timeout, this, &TfrmCrop::DrawLatestFrame);
}

TfrmCrop::~TfrmCrop() {
    Close();
    player_.SetOnFileOpen({});
    player_.SetOnState({});
}

void TfrmCrop::Build() {
    // The player draws into pan1, hidden under the preview: the preview shows the hooked
    // frames itself, fitted, under the rectangle.
    auto* stage = new QWidget(this);
    stage->setObjectName("pnlStage");
    stage->setFixedSize(TCropModel::PreviewWidth, TCropModel::PreviewHeight);
    pan1_ = new TVideoWidget(stage);
    pan1_->setObjectName("pan1");
    pan1_->setGeometry(0, 0, 33, 41);
    imgPreview_ = new QLabel(stage);
    imgPreview_->setObjectName("imgPreview");
    imgPreview_->setAccessibleName("Preview");
    imgPreview_->setGeometry(0, 0, TCropModel::PreviewWidth, TCropModel::PreviewHeight);
    imgPreview_->setAutoFillBackground(true);
    rectTracker_ = new TRectTracker(imgPreview_);
    rectTracker_->setObjectName("RectTracker");
    rectTracker_->hide();
    connect(rectTracker_, &TRectTracker::mouseDown, this, &TfrmCrop::RectMouseDown);
    connect(rectTracker_, &TRectTracker::dragged, this, &TfrmCrop::RectDragged);

    trcPreview_ = new TSelectionSlider(this);
    trcPreview_->setObjectName("trcPreview");
    trcPreview_->setAccessibleName("Position");
    trcPreview_->installEventFilter(this);
    connect(trcPreview_, &QSlider::valueChanged, this, &TfrmCrop::SliderChanged);
    lblSourceName_ = new QLabel(this);
    lblSourceName_->setObjectName("lblSourceName");
    lblSourceName_->setMinimumWidth(290);
    lblPTS_ = new QLabel(this);
    lblPTS_->setObjectName("lblPTS");
    lblLength_ = new QLabel(this);
    lblLength_->setObjectName("lblLength");
    lblLength_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    imgbtnPlay_ = ImageButton(this, "imgbtnPlay", trimcropmsg::PlayHint);
    imgbtnPause_ = ImageButton(this, "imgbtnPause", trimcropmsg::PauseHint);
    const QColor accent = TThemeManager::Accent(std::max(0, TThemeManager::Current()));
    imgbtnPlay_->setIcon(glyphs::ButtonIcon(glyphs::TButton::Play, accent));
    imgbtnPause_->setIcon(glyphs::ButtonIcon(glyphs::TButton::Pause, accent));
    connect(imgbtnPlay_, &QToolButton::clicked, this, &TfrmCrop::imgbtnPlayClick);
    connect(imgbtnPause_, &QToolButton::clicked, this, &TfrmCrop::imgbtnPauseClick);

    btnReset_ = Button(this, "btnReset", trimcropmsg::Reset);
    btnOk_ = Button(this, "btnOk", trimcropmsg::Ok);
    btnOk_->setDefault(true);
    btnCancel_ = Button(this, "btnCancel", trimcropmsg::Cancel);
    connect(btnReset_, &QPushButton::clicked, this, &TfrmCrop::btnDefaultClick);
    connect(btnOk_, &QPushButton::clicked, this, &TfrmCrop::btnOkClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    cmbZoom_ = new QComboBox(this);
    cmbZoom_->setObjectName("cmbZoom");
    cmbZoom_->addItems({trimcropmsg::ZoomFull, trimcropmsg::ZoomLetterbox});
    cmbZoom_->hide(); // the output format's zoom setting is what converts

    auto* player = new QHBoxLayout;
    player->setSpacing(2);
    player->addWidget(imgbtnPlay_);
    player->addWidget(imgbtnPause_);
    player->addSpacing(8);
    player->addWidget(lblPTS_);
    player->addStretch(1);
    player->addWidget(lblLength_);
    auto* left = new QVBoxLayout;
    left->setSpacing(4);
    left->addWidget(lblSourceName_);
    left->addWidget(stage);
    left->addWidget(trcPreview_);
    left->addLayout(player);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnReset_);
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildCropSize(), 1);
    right->addWidget(cmbZoom_);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(16);
    columns->addLayout(left);
    columns->addLayout(right, 1);
    auto* rule = new QFrame(this);
    rule->setObjectName("bvlButtons");
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 10, 14, 12);
    layout->addLayout(columns);
    for (QSpacerItem*& gap : gaps_) {
        gap = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    layout->addItem(gaps_[0]);
    layout->addWidget(rule);
    layout->addItem(gaps_[1]);
    layout->addLayout(buttons);
}

void TfrmCrop::FitDesignSize() {
    // The margins are preview pixels, so the preview keeps its size and so does the window;
    // the room the controls leave at the design height sets the buttons apart.
    for (QSpacerItem* gap : gaps_) {
        gap->changeSize(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    layout()->invalidate();
    const int slack = std::max(0, TCropModel::WindowHeight - layout()->totalMinimumSize().height());
    gaps_[0]->changeSize(0, slack - slack / 2, QSizePolicy::Minimum, QSizePolicy::Fixed);
    gaps_[1]->changeSize(0, slack / 2, QSizePolicy::Minimum, QSizePolicy::Fixed);
    layout()->invalidate();
    setFixedSize(QSize(TCropModel::WindowWidth, TCropModel::WindowHeight)
                     .expandedTo(layout()->totalMinimumSize()));
}

QGroupBox* TfrmCrop::BuildCropSize() {
    auto* group = new QGroupBox(trimcropmsg::CropSize, this);
    group->setObjectName("grpbxCropSize");
    auto* grid = new QGridLayout(group);
    grid->setVerticalSpacing(10);
    for (size_t i = 0; i < spins_.size(); ++i) {
        auto* spin = new QSpinBox(group);
        spin->setObjectName(SpinNames[i]);
        spin->setMinimumWidth(70);
        // Arrows only: the margins move one pixel at a time.
        spin->findChild<QLineEdit*>()->setReadOnly(true);
        spin->setEnabled(false);
        auto* label = new QLabel(SpinLabels[i], group);
        label->setObjectName(QString("lbl") + SpinLabels[i]);
        label->setBuddy(spin);
        grid->addWidget(label, static_cast<int>(i), 0);
        grid->addWidget(spin, static_cast<int>(i), 1);
        // The group stands as tall as the preview beside it, its rows spread over it.
        grid->setRowStretch(static_cast<int>(i), 1);
        const TCropSide side = Sides[i];
        connect(spin, &QSpinBox::valueChanged, this,
                [this, side](int value) { SpinChanged(side, value); });
        spins_[i] = spin;
    }
    btnDefault_ = Button(group, "btnDefault", trimcropmsg::Default);
    connect(btnDefault_, &QPushButton::clicked, this, &TfrmCrop::btnDefaultClick);
    grid->addWidget(btnDefault_, static_cast<int>(spins_.size()), 0, 1, 2, Qt::AlignRight);
    return group;
}

void TfrmCrop::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TfrmCrop::FormShow() {
    FitDesignSize();
    lblSourceName_->clear();
    lblPTS_->clear();
    lblLength_->clear();
    stopped_ = true;
    paused_ = true;
    closed_ = false;
    // Closing dropped these.
    player_.SetOnPosition([this](TCustomPlayer&, std::int64_t pts) { FFPlayerPosition(pts); });
    player_.SetOnHook(
        [this](TCustomPlayer&, TBitmap24& bitmap, std::int64_t) { FFPlayerHook(bitmap); });
    model_.BeginOpen();
    row_ = jobs_.Selected();
    if (row_ < 0 && !jobs_.Empty()) {
        jobs_.Select(0);
        row_ = jobs_.Selected();
    }
    shown_ = QImage();
    DrawPreview();
    imgbtnPlay_->setEnabled(false);
    imgbtnPause_->setEnabled(false);
    if (row_ < 0 || !OpenFile()) {
        return;
    }
    imgbtnPause_->setEnabled(true);
    model_.SetOpened();
    const TlvFilesRecord& record = jobs_.Record(row_);
    TAVProbe& probe = player_.Probe();
    TVideoStreamInfo video;
    if (probe.VideoStreamCount() >= 1 && probe.GetVideoStreamInfo(-1, video)) {
        // The player shows the picture upright; the margins are the upright picture's.
        const bool turned = video.Rotation == 90 || video.Rotation == 270;
        model_.SetPicture(turned ? video.Height : video.Width, turned ? video.Width : video.Height,
                          {0, 0, TCropModel::PreviewWidth, TCropModel::PreviewHeight});
        const TBitmap24& current = player_.CurrentBitmap();
        if (!current.Empty()) {
            shown_ = QImage(current.Bits(), current.Width(), current.Height(), current.Stride(),
                            QImage::Format_BGR888)
                         .copy();
        }
        model_.LoadMargins(record);
    }
    const bool picture = model_.HasPicture();
    rectTracker_->setVisible(picture);
    rectTracker_->setEnabled(picture);
    for (QSpinBox* spin : spins_) {
        spin->setEnabled(picture);
    }
    btnDefault_->setEnabled(picture);
    btnReset_->setEnabled(picture);
    ShowModel();
    cmbZoom_->setCurrentIndex(TCropModel::ZoomItem(record.ZoomMode));
    lblSourceName_->setText(Text(TCropModel::SourceName(record.SourceFile)));
    TFileStreamInfo file;
    if (probe.GetFileStreamInfo(file)) {
        lblLength_->setText(Text(TFileInfoModel::DurationText(file.Duration)));
    }
    frameTimer_.start();
}

bool TfrmCrop::OpenFile() {
    if (!player_.LibrariesLoaded()) {
        return false;
    }
    if (!player_.Open(jobs_.Record(row_).SourceFile, pan1_, false)) {
        return false;
    }
    stopped_ = false;
    paused_ = false;
    return true;
}

void TfrmCrop::FFPlayerFileOpen(std::int64_t duration) {
    sourceDuration_ = duration;
    lblLength_->setText(Text(TCropModel::ClockText(duration)));
    lblPTS_->setText(trimcropmsg::PositionOpened);
    seeking_ = true;
    trcPreview_->setTickInterval(5);
    trcPreview_->setTickPosition(QSlider::NoTicks);
    trcPreview_->setRange(0, trcPreview_->width());
    trcPreview_->ClearSelection();
    trcPreview_->SetThumbVisible(duration > 0);
    trcPreview_->setValue(0);
    seeking_ = false;
}

void TfrmCrop::FFPlayerPosition(std::int64_t pts) {
    lblPTS_->setText(Text(TCropModel::ClockText(pts)));
}

void TfrmCrop::FFPlayerState(TPlayState state) {
    if (state == psPause) {
        paused_ = true;
    } else if (state == psEnd) {
        stopped_ = true;
        player_.Seek(SeekToKeyPicture, false, 0);
        player_.Pause();
    } else {
        return;
    }
    imgbtnPlay_->setEnabled(true);
    imgbtnPause_->setEnabled(false);
}

void TfrmCrop::FFPlayerHook(const TBitmap24& bitmap) {
    // The video thread: only the copy, under the lock.
    if (paused_ || stopped_) {
        return;
    }
    std::lock_guard lock(frameMutex_);
    frame_ = bitmap;
    ++frameSerial_;
}

bool TfrmCrop::eventFilter(QObject* watched, QEvent* event) {
    if (watched == trcPreview_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // While the button was down the slider only moved; seek where it was let go.
        QTimer::singleShot(0, this, &TfrmCrop::SeekToSlider);
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmCrop::SliderChanged(int) {
    if (seeking_ || (QGuiApplication::mouseButtons() & Qt::LeftButton) != 0) {
        return;
    }
    SeekToSlider();
}

void TfrmCrop::SeekToSlider() {
    const int max = trcPreview_->maximum();
    const int position = trcPreview_->value();
    const std::int64_t time = TSliderTime::TimeAt(position, max, sourceDuration_);
    if (stopped_ || time <= 0) {
        return;
    }
    player_.Seek(SeekToKeyPicture, false, time);
}

void TfrmCrop::DrawLatestFrame() {
    {
        std::lock_guard lock(frameMutex_);
        if (frameSerial_ == drawnSerial_ || frame_.Empty()) {
            return;
        }
        drawnSerial_ = frameSerial_;
        shown_ = QImage(frame_.Bits(), frame_.Width(), frame_.Height(), frame_.Stride(),
                        QImage::Format_BGR888)
                     .copy();
    }
    ++framesDrawn_;
    DrawPreview();
}

void TfrmCrop::DrawPreview() {
    const qreal ratio = devicePixelRatioF();
    const TCropRect box{0, 0, TCropModel::PreviewWidth, TCropModel::PreviewHeight};
    QImage canvas(QSize(box.Width, box.Height) * ratio, QImage::Format_RGB32);
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(QColor(166, 203, 240));
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!shown_.isNull()) {
        const TCropRect at = TCropModel::Fit(shown_.width(), shown_.height(), box);
        painter.drawImage(ToQRect(at), shown_);
    }
    if (model_.HasPicture()) {
        QRegion outside(ToQRect(model_.Picture()));
        outside -= QRegion(ToQRect(model_.Rect()));
        for (const QRect& part : outside) {
            painter.fillRect(part, Shade);
        }
    }
    painter.end();
    imgPreview_->setPixmap(QPixmap::fromImage(canvas));
}

void TfrmCrop::RectMouseDown() {
    model_.MouseDown();
}

void TfrmCrop::RectDragged(const QRect& proposed, unsigned edges) {
    model_.MouseMove(ToCropRect(proposed), edges);
    ShowModel();
}

void TfrmCrop::SpinChanged(TCropSide side, int value) {
    if (updating_) {
        return;
    }
    model_.SetMargin(side, value);
    ShowModel();
}

void TfrmCrop::ShowModel() {
    updating_ = true;
    const TCropRect& p = model_.Picture();
    const TCropMargins& m = model_.Margins();
    const int values[] = {m.Up, m.Down, m.Left, m.Right};
    const int limits[] = {p.Height, p.Height, p.Width, p.Width};
    for (size_t i = 0; i < spins_.size(); ++i) {
        spins_[i]->setRange(0, std::max(0, limits[i]));
        spins_[i]->setValue(values[i]);
    }
    if (model_.HasPicture()) {
        rectTracker_->setGeometry(ToQRect(model_.Rect()));
    }
    updating_ = false;
    DrawPreview();
}

void TfrmCrop::btnDefaultClick() {
    model_.Reset();
    ShowModel();
}

void TfrmCrop::imgbtnPlayClick() {
    if (stopped_) {
        if (!OpenFile()) {
            return;
        }
    } else if (paused_) {
        player_.Resume();
        paused_ = false;
    }
    imgbtnPlay_->setEnabled(false);
    imgbtnPause_->setEnabled(true);
}

void TfrmCrop::imgbtnPauseClick() {
    player_.Pause();
    paused_ = true;
    imgbtnPause_->setEnabled(false);
    imgbtnPlay_->setEnabled(true);
}

void TfrmCrop::btnOkClick() {
    if (row_ >= 0 && row_ < jobs_.Count()) {
        model_.Apply(jobs_.Record(row_), cmbZoom_->currentIndex());
        jobs_.RecordChanged(row_);
    }
    accept();
}

void TfrmCrop::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    frameTimer_.stop();
    player_.SetOnPosition({});
    player_.SetOnHook({});
    player_.Stop(true);
    stopped_ = true;
    std::lock_guard lock(frameMutex_);
    frame_ = TBitmap24();
}

void TfrmCrop::done(int result) {
    Close();
    QDialog::done(result);
}
