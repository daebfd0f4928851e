#include "WinTrim.h"

#include "DialogButtons.h"
#include "Glyphs.h"
#include "JobList.h"
#include "SelectionSlider.h"
#include "ThemeManager.h"
#include "TrimCropMessages.h"
#include "VideoWidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

TfrmTrim::TfrmTrim(TJobList& jobs, QWidget* parent)
    : TPreviewDialog(jobs, "frmTrim", trimcropmsg::TrimCaption, false, parent) {
    Build();
}

TfrmTrim::~TfrmTrim() {
    ClosePreview();
}

void TfrmTrim::Build() {
    imgPreview_ = new TVideoWidget(this);
    imgPreview_->setObjectName("imgPreview");
    imgPreview_->setAccessibleName("Preview");
    // The design size is the smallest; the picture takes whatever the window gains.
    imgPreview_->setMinimumSize(TTrimModel::PreviewWidth, TTrimModel::PreviewHeight);
    imgPreview_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    BuildPosition();

    BuildPlayButtons();
    imgbtnPlaySel_ = ImageButton(this, "imgbtnPlaySel", trimcropmsg::PlaySelectionHint);
    imgbtnPlaySel_->hide(); // playing only the marked part is not offered
    const QColor accent = TThemeManager::Accent(std::max(0, TThemeManager::Current()));
    imgbtnPlaySel_->setIcon(glyphs::ButtonIcon(glyphs::TButton::Play, accent));

    btnSetStart_ = Button(this, "btnSetStart", trimcropmsg::SetStart);
    btnSetEnd_ = Button(this, "btnSetEnd", trimcropmsg::SetEnd);
    BuildDialogButtons();
    edtStart_ = MarkBox(this, "edtStart", trimcropmsg::StartLabel);
    edtTrimLength_ = MarkBox(this, "edtTrimLength", trimcropmsg::EndLabel);

    connect(btnSetStart_, &QPushButton::clicked, this, &TfrmTrim::btnSetStartClick);
    connect(btnSetEnd_, &QPushButton::clicked, this, &TfrmTrim::btnSetEndClick);
    connect(btnReset_, &QPushButton::clicked, this, &TfrmTrim::btnResetClick);
    connect(btnOk_, &QPushButton::clicked, this, &TfrmTrim::btnOkClick);
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
    QFrame* rule = BuildRule();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(17, 12, 17, 12);
    layout->addWidget(imgPreview_, 1);
    layout->addWidget(trcPreview_);
    layout->addLayout(times);
    AddGap(layout);
    layout->addLayout(marks);
    AddGap(layout);
    layout->addWidget(rule);
    AddGap(layout);
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
    TPreviewDialog::FitDesignSize(TTrimModel::WindowWidth, TTrimModel::WindowHeight, false);
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
    imgbtnPlay_->setEnabled(false);
    imgbtnPause_->setEnabled(false);
    if (SelectJob() < 0 || !LibrariesLoaded()) {
        return;
    }
    const TlvFilesRecord& record = jobs_.Record(row_);
    if (!session_.Open(record.SourceFile, imgPreview_)) {
        return;
    }
    setWindowTitle(Text(TTrimModel::Caption(record.SourceFile)));
    model_.LoadMarks(record);
    edtStart_->setText(Text(TTrimModel::TimeText(model_.MarkStart())));
    edtTrimLength_->setText(Text(TTrimModel::TimeText(model_.MarkEnd())));
    ShowSelection();
    ShowPlaying(true);
}

void TfrmTrim::PlayerFileOpened(std::int64_t duration, int& screenWidth, int& screenHeight) {
    imgPreview_->SurfaceSize(screenWidth, screenHeight);
    model_.FileOpened(duration);
    edtStart_->setText(trimcropmsg::MarksOpened);
    edtTrimLength_->setText(trimcropmsg::MarksOpened);
    lblLength_->setText(trimcropmsg::DurationPrefix + Text(TTrimModel::TimeText(duration)));
    lblPTS_->setText(trimcropmsg::PositionOpened);
    ResetSlider(duration);
    trcPreview_->setEnabled(true);
}

void TfrmTrim::PlayerPosition(std::int64_t pts) {
    if (session_.Ended()) {
        return; // the rewind after the end reports too; the end stays shown until Play
    }
    lblPTS_->setText(trimcropmsg::TimePrefix + Text(TTrimModel::TimeText(pts)));
    if (!dragging_) {
        trcPreview_->setValue(session_.SliderPosition(pts, trcPreview_->maximum()));
    }
}

void TfrmTrim::PlayerEnded() {
    trcPreview_->setValue(0);
    ShowPlaying(false);
    trcPreview_->ClearSelection();
    trcPreview_->setEnabled(false);
    lblPTS_->setText(trimcropmsg::TimeEnded);
    lblLength_->setText(trimcropmsg::TimeEnded);
}

void TfrmTrim::ShowSelection() {
    const int max = trcPreview_->maximum();
    trcPreview_->SetSelection(model_.SliderPosition(model_.MarkStart(), max),
                              model_.SliderPosition(model_.MarkEnd(), max));
}

void TfrmTrim::btnSetStartClick() {
    if (model_.SetStart(session_.Position())) {
        edtStart_->setText(Text(TTrimModel::TimeText(model_.MarkStart())));
        ShowSelection();
    }
}

void TfrmTrim::btnSetEndClick() {
    if (model_.SetEnd(session_.Position())) {
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
    session_.Play();
    ShowPlaying(true);
    trcPreview_->setEnabled(true);
    // The end of playing emptied the band; the marks are still there.
    if (!trcPreview_->HasSelection() && model_.Opened()) {
        ShowSelection();
    }
}

void TfrmTrim::imgbtnPauseClick() {
    session_.Pause();
    ShowPlaying(false);
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
