#include "WinCrop.h"

#include "DialogButtons.h"
#include "FileInfoModel.h"
#include "JobList.h"
#include "RectTracker.h"
#include "SelectionSlider.h"
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
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using dialogbuttons::Button;

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

TfrmCrop::TfrmCrop(TJobList& jobs, QWidget* parent)
    : TPreviewDialog(jobs, "frmCrop", trimcropmsg::CropCaption, true, parent) {
    Build();
}

TfrmCrop::~TfrmCrop() {
    ClosePreview();
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

    BuildPosition();
    connect(trcPreview_, &QSlider::valueChanged, this, &TfrmCrop::SliderChanged);
    lblSourceName_ = new QLabel(this);
    lblSourceName_->setObjectName("lblSourceName");
    lblSourceName_->setMinimumWidth(290);

    BuildPlayButtons();
    connect(imgbtnPlay_, &QToolButton::clicked, this, &TfrmCrop::imgbtnPlayClick);
    connect(imgbtnPause_, &QToolButton::clicked, this, &TfrmCrop::imgbtnPauseClick);

    BuildDialogButtons();
    connect(btnReset_, &QPushButton::clicked, this, &TfrmCrop::btnDefaultClick);
    connect(btnOk_, &QPushButton::clicked, this, &TfrmCrop::btnOkClick);
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
    QFrame* rule = BuildRule();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 10, 14, 12);
    layout->addLayout(columns);
    AddGap(layout);
    layout->addWidget(rule);
    AddGap(layout);
    layout->addLayout(buttons);
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
    // The margins are preview pixels, so the preview keeps its size and so does the window;
    // the room the controls leave at the design height sets the buttons apart.
    FitDesignSize(TCropModel::WindowWidth, TCropModel::WindowHeight, true);
    lblSourceName_->clear();
    lblPTS_->clear();
    lblLength_->clear();
    model_.BeginOpen();
    SelectJob();
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
}

bool TfrmCrop::OpenFile() {
    return LibrariesLoaded() && session_.Open(jobs_.Record(row_).SourceFile, pan1_);
}

void TfrmCrop::PlayerFileOpened(std::int64_t duration, int&, int&) {
    lblLength_->setText(Text(TCropModel::ClockText(duration)));
    lblPTS_->setText(trimcropmsg::PositionOpened);
    trcPreview_->setTickInterval(5);
    ResetSlider(duration);
}

void TfrmCrop::PlayerPosition(std::int64_t pts) {
    lblPTS_->setText(Text(TCropModel::ClockText(pts)));
}

void TfrmCrop::PlayerEnded() {
    ShowPlaying(false);
}

void TfrmCrop::PlayerPicture(const TBitmap24& picture, std::int64_t) {
    if (picture.Empty()) {
        return;
    }
    shown_ = QImage(picture.Bits(), picture.Width(), picture.Height(), picture.Stride(),
                    QImage::Format_BGR888)
                 .copy();
    ++framesDrawn_;
    DrawPreview();
}

// The keyboard moves the slider too; a held mouse button seeks once it is let go.
void TfrmCrop::SliderChanged(int) {
    if (dragging_ || (QGuiApplication::mouseButtons() & Qt::LeftButton) != 0) {
        return;
    }
    SliderReleased();
}

void TfrmCrop::SliderReleased() {
    const std::int64_t time = session_.TimeAt(trcPreview_->value(), trcPreview_->maximum());
    if (!Stopped() && time > 0) {
        session_.Seek(time);
    }
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
    if (Stopped()) {
        if (!OpenFile()) {
            return;
        }
    } else if (Paused()) {
        session_.Play();
    }
    ShowPlaying(true);
}

void TfrmCrop::imgbtnPauseClick() {
    session_.Pause();
    ShowPlaying(false);
}

void TfrmCrop::btnOkClick() {
    if (row_ >= 0 && row_ < jobs_.Count()) {
        model_.Apply(jobs_.Record(row_), cmbZoom_->currentIndex());
        jobs_.RecordChanged(row_);
    }
    accept();
}
