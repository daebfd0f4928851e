#include "WinTrim.h"

#include "DialogButtons.h"
#include "Glyphs.h"
#include "JobList.h"
#include "SelectionSlider.h"
#include "ThemeManager.h"
#include "TrimCropMessages.h"
#include "VideoWidget.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpacerItem>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using dialogbuttons::Button;
using dialogbuttons::ImageButton;

namespace {

QLineEdit* MarkBox(QWidget* parent, const char* name, const char* accessibleName) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setAccessibleName(accessibleName);
    box->setMinimumWidth(100);
    box->setAlignment(Qt::AlignCenter);
    return box;
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

TfrmTrim::TfrmTrim(TJobList& jobs, QWidget* parent) : QDialog(parent), jobs_(jobs) {
    setObjectName("frmTrim");
    setWindowTitle(trimcropmsg::TrimCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Build();
    settle_.setSingleShot(true);
    settle_.setInterval(TTrimModel::SeekSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] { dragging_ = false; });
    player_.SetOnFileOpen([this](TCustomPlayer&, std::int64_t duration, int, int, int& width,
                                 int& height) { FFPlayerFileOpen(duration, width, height); });
    player_.SetOnPosition([this](TCustomPlayer&, std::int64_t pts) { FFPlayerPosition(pts); });
    player_.SetOnState([this](TCustomPlayer&, TPlayState state) { FFPlayerState(state); });
}

TfrmTrim::~TfrmTrim() {
    StopPlayer();
    player_.SetOnFileOpen({});
    player_.SetOnPosition({});
    player_.SetOnState({});
}

void TfrmTrim::Build() {
    imgPreview_ = new TVideoWidget(this);
    imgPreview_->setObjectName("imgPreview");
    imgPreview_->setAccessibleName("Preview");
    // The design size is the smallest; the picture takes whatever the window gains.
    imgPreview_->setMinimumSize(TTrimModel::PreviewWidth, TTrimModel::PreviewHeight);
    imgPreview_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    trcPreview_ = new TSelectionSlider(this);
    trcPreview_->setObjectName("trcPreview");
    trcPreview_->setAccessibleName("Position");
    trcPreview_->installEventFilter(this);
    lblPTS_ = new QLabel(this);
    lblPTS_->setObjectName("lblPTS");
    lblLength_ = new QLabel(this);
    lblLength_->setObjectName("lblLength");
    lblLength_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    imgbtnPlay_ = ImageButton(this, "imgbtnPlay", trimcropmsg::PlayHint);
    imgbtnPause_ = ImageButton(this, "imgbtnPause", trimcropmsg::PauseHint);
    imgbtnPlaySel_ = ImageButton(this, "imgbtnPlaySel", trimcropmsg::PlaySelectionHint);
    imgbtnPlaySel_->hide(); // playing only the marked part is not offered
    const QColor accent = TThemeManager::Accent(std::max(0, TThemeManager::Current()));
    imgbtnPlay_->setIcon(glyphs::ButtonIcon(glyphs::TButton::Play, accent));
    imgbtnPause_->setIcon(glyphs::ButtonIcon(glyphs::TButton::Pause, accent));
    imgbtnPlaySel_->setIcon(glyphs::ButtonIcon(glyphs::TButton::Play, accent));

    btnSetStart_ = Button(this, "btnSetStart", trimcropmsg::SetStart);
    btnSetEnd_ = Button(this, "btnSetEnd", trimcropmsg::SetEnd);
    btnReset_ = Button(this, "btnReset", trimcropmsg::Reset);
    btnOk_ = Button(this, "btnOk", trimcropmsg::Ok);
    btnOk_->setDefault(true);
    btnCancel_ = Button(this, "btnCancel", trimcropmsg::Cancel);
    edtStart_ = MarkBox(this, "edtStart", trimcropmsg::StartLabel);
    edtTrimLength_ = MarkBox(this, "edtTrimLength", trimcropmsg::EndLabel);

    connect(btnSetStart_, &QPushButton::clicked, this, &TfrmTrim::btnSetStartClick);
    connect(btnSetEnd_, &QPushButton::clicked, this, &TfrmTrim::btnSetEndClick);
    connect(btnReset_, &QPushButton::clicked, this, &TfrmTrim::btnResetClick);
    connect(btnOk_, &QPushButton::clicked, this, &TfrmTrim::btnOkClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(imgbtnPlay_, &QToolButton::clicked, this, &TfrmTrim::imgbtnPlayClick);
    connect(imgbtnPause_, &QToolButton::clicked, this, &TfrmTrim::imgbtnPauseClick);

    auto* times = new QHBoxLayout;
    times->addWidget(lblPTS_);
    times->addStretch(1);
    times->addWidget(lblLength_);
    auto* marks = new QHBoxLayout;
    marks->setSpacing(4);
    marks->addWidget(imgbtnPlay_);
    marks->addWidget(imgbtnPause_);
    marks->addWidget(imgbtnPlaySel_);
    marks->addSpacing(12);
    marks->addWidget(btnSetStart_);
    marks->addWidget(edtStart_);
    marks->addStretch(1);
    marks->addWidget(edtTrimLength_);
    marks->addWidget(btnSetEnd_);
    marks->addSpacing(12);
    marks->addWidget(btnReset_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);
    auto* rule = new QFrame(this);
    rule->setObjectName("bvlButtons");
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(17, 12, 17, 12);
    layout->addWidget(imgPreview_, 1);
    const auto gap = [&] {
        gaps_.push_back(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed));
        layout->addItem(gaps_.back());
    };
    layout->addWidget(trcPreview_);
    layout->addLayout(times);
    gap();
    layout->addLayout(marks);
    gap();
    layout->addWidget(rule);
    gap();
    layout->addLayout(buttons);
}

void TfrmTrim::FitDesignSize() {
    // The room the controls leave at the design height spaces their rows, so that the
    // picture has exactly its design size there and all that is added when enlarged.
    // The times are empty until the file opens: their line keeps its height all along, or
    // the picture would change size (and the player lay it out again) when they arrive.
    for (QLabel* label : {lblPTS_, lblLength_}) {
        label->setMinimumHeight(label->fontMetrics().height());
    }
    for (QSpacerItem* gap : gaps_) {
        gap->changeSize(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    layout()->invalidate();
    const int slack = std::max(0, TTrimModel::WindowHeight - layout()->totalMinimumSize().height());
    const int count = static_cast<int>(gaps_.size());
    for (int i = 0; i < count; ++i) {
        const int share = slack / count + (i < slack % count ? 1 : 0);
        gaps_[i]->changeSize(0, share, QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    layout()->invalidate();
    resize(QSize(TTrimModel::WindowWidth, TTrimModel::WindowHeight)
               .expandedTo(layout()->totalMinimumSize()));
}

void TfrmTrim::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TfrmTrim::FormShow() {
    FitDesignSize();
    setWindowTitle(trimcropmsg::TrimCaption);
    lblPTS_->clear();
    lblLength_->clear();
    model_.BeginOpen();
    ended_ = false;
    imgbtnPlay_->setEnabled(false);
    imgbtnPause_->setEnabled(false);
    row_ = jobs_.Selected();
    if (row_ < 0 && !jobs_.Empty()) {
        jobs_.Select(0);
        row_ = jobs_.Selected();
    }
    if (row_ < 0) {
        return;
    }
    if (!player_.LibrariesLoaded()) {
        return;
    }
    const TlvFilesRecord& record = jobs_.Record(row_);
    if (!player_.Open(record.SourceFile, imgPreview_, false)) {
        return;
    }
    setWindowTitle(Text(TTrimModel::Caption(record.SourceFile)));
    model_.LoadMarks(record);
    edtStart_->setText(Text(TTrimModel::TimeText(model_.MarkStart())));
    edtTrimLength_->setText(Text(TTrimModel::TimeText(model_.MarkEnd())));
    ShowSelection();
    imgbtnPlay_->setEnabled(false);
    imgbtnPause_->setEnabled(true);
}

void TfrmTrim::FFPlayerFileOpen(std::int64_t duration, int& screenWidth, int& screenHeight) {
    imgPreview_->SurfaceSize(screenWidth, screenHeight);
    model_.FileOpened(duration);
    edtStart_->setText(trimcropmsg::MarksOpened);
    edtTrimLength_->setText(trimcropmsg::MarksOpened);
    lblLength_->setText(trimcropmsg::DurationPrefix + Text(TTrimModel::TimeText(duration)));
    lblPTS_->setText(trimcropmsg::PositionOpened);
    trcPreview_->setTickPosition(QSlider::NoTicks);
    trcPreview_->setRange(0, trcPreview_->width());
    trcPreview_->ClearSelection();
    trcPreview_->SetThumbVisible(duration > 0);
    trcPreview_->setEnabled(true);
    const bool dragging = dragging_;
    dragging_ = true;
    trcPreview_->setValue(0);
    dragging_ = dragging;
}

void TfrmTrim::FFPlayerPosition(std::int64_t pts) {
    if (ended_) {
        return; // the rewind after the end reports too; the end stays shown until Play
    }
    lblPTS_->setText(trimcropmsg::TimePrefix + Text(TTrimModel::TimeText(pts)));
    if (!dragging_) {
        trcPreview_->setValue(model_.SliderPosition(pts, trcPreview_->maximum()));
    }
}

void TfrmTrim::FFPlayerState(TPlayState state) {
    if (state != psEnd) {
        return;
    }
    ended_ = true;
    trcPreview_->setValue(0);
    player_.Seek(SeekAnyPicture, false, 0);
    player_.Pause();
    imgbtnPlay_->setEnabled(true);
    imgbtnPause_->setEnabled(false);
    trcPreview_->ClearSelection();
    trcPreview_->setEnabled(false);
    lblPTS_->setText(trimcropmsg::TimeEnded);
    lblLength_->setText(trimcropmsg::TimeEnded);
}

bool TfrmTrim::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if (watched == trcPreview_ && (press || release) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (press) {
            settle_.stop();
            dragging_ = true;
        } else if (dragging_) {
            // The slider handles the release first, so the seek takes its final position.
            QTimer::singleShot(0, this, &TfrmTrim::SliderReleased);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmTrim::SliderReleased() {
    // A release away from the slider ends the drag too: the thumb stays where it was left,
    // and the slider must follow the position again afterwards.
    player_.Seek(SeekToKeyPicture, false,
                 model_.SeekTime(trcPreview_->value(), trcPreview_->maximum()));
    settle_.start();
}

void TfrmTrim::ShowSelection() {
    const int max = trcPreview_->maximum();
    trcPreview_->SetSelection(model_.SliderPosition(model_.MarkStart(), max),
                              model_.SliderPosition(model_.MarkEnd(), max));
}

void TfrmTrim::btnSetStartClick() {
    if (model_.SetStart(player_.Position())) {
        edtStart_->setText(Text(TTrimModel::TimeText(model_.MarkStart())));
        ShowSelection();
    }
}

void TfrmTrim::btnSetEndClick() {
    if (model_.SetEnd(player_.Position())) {
        edtTrimLength_->setText(Text(TTrimModel::TimeText(model_.MarkEnd())));
        ShowSelection();
    }
}

void TfrmTrim::btnResetClick() {
    model_.Reset();
    edtStart_->setText(trimcropmsg::StartReset);
    edtTrimLength_->setText(Text(TTrimModel::TimeText(model_.MarkEnd())));
    trcPreview_->SetSelection(0, trcPreview_->maximum());
}

void TfrmTrim::imgbtnPlayClick() {
    ended_ = false;
    player_.Resume();
    imgbtnPlay_->setEnabled(false);
    imgbtnPause_->setEnabled(true);
    trcPreview_->setEnabled(true);
    // The end of playing emptied the band; the marks are still there.
    if (!trcPreview_->HasSelection() && model_.Opened()) {
        ShowSelection();
    }
}

void TfrmTrim::imgbtnPauseClick() {
    player_.Pause();
    imgbtnPause_->setEnabled(false);
    imgbtnPlay_->setEnabled(true);
}

void TfrmTrim::btnOkClick() {
    if (row_ >= 0 && row_ < jobs_.Count()) {
        if (const auto cell = model_.Apply(jobs_.Record(row_))) {
            jobs_.SetTrimmedLength(row_, *cell);
        }
        jobs_.RecordChanged(row_);
    }
    accept();
}

void TfrmTrim::StopPlayer() {
    settle_.stop();
    dragging_ = false;
    player_.Stop(true);
}

void TfrmTrim::done(int result) {
    StopPlayer();
    QDialog::done(result);
}
