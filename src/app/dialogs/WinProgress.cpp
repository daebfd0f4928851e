#include "WinProgress.h"

#include "BatchMessages.h"
#include "DialogButtons.h"
#include "FittedPictureView.h"
#include "Glyphs.h"
#include "ProgressWindowModel.h"
#include "ThemeManager.h"
#include "ValueLabel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using dialogbuttons::Button;

namespace {

constexpr QSize DesignSize(420, 460);

QLabel* Caption(QWidget* parent, const char* name, const char* text) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(name);
    return label;
}

QLabel* Figure(QWidget* parent, const char* name, QLabel* caption) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    valuelabel::Attach(label, caption);
    return label;
}

} // namespace

TfrmProgress::TfrmProgress(TProgressWindowModel& model, QWidget* parent)
    : QDialog(parent), model_(model),
      imgPreview_(new TFittedPictureView(
          QSize(TProgressWindowModel::PreviewWidth, TProgressWindowModel::PreviewHeight),
          QColor(TProgressWindowModel::PreviewBackground.Red,
                 TProgressWindowModel::PreviewBackground.Green,
                 TProgressWindowModel::PreviewBackground.Blue),
          this)),
      tmrPreview_(new QTimer(this)) {
    setObjectName("frmProgress");
    setWindowTitle(batchmsg::ProgressCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowModality(Qt::ApplicationModal);
    imgPreview_->setObjectName("imgPreview");
    imgPreview_->setAccessibleName(batchmsg::ProgressCaption);
    BuildLayout();
    Connect();
}

TfrmProgress::~TfrmProgress() {
    model_.OnChanged = nullptr;
    model_.OnClose = nullptr;
}

void TfrmProgress::BuildLayout() {
    auto* figures = new QGridLayout;
    figures->setHorizontalSpacing(8);
    figures->setVerticalSpacing(4);
    QLabel* fileCaption = Caption(this, "lblOutputCaption", batchmsg::FileLabel);
    lblOutput_ = Figure(this, "lblOutput", fileCaption);
    QLabel* progressCaption = Caption(this, "lblProgressCaption", batchmsg::ProgressLabel);
    lblProgress_ = Figure(this, "lblProgress", progressCaption);
    QLabel* timeCaption = Caption(this, "lblTimeCaption", batchmsg::TimeLabel);
    lblTime_ = Figure(this, "lblTime", timeCaption);
    QLabel* lengthCaption = Caption(this, "lblLengthCaption", batchmsg::LengthLabel);
    lblLength_ = Figure(this, "lblLength", lengthCaption);
    QLabel* sizeCaption = Caption(this, "lblSizeCaption", batchmsg::SizeLabel);
    lblSize_ = Figure(this, "lblSize", sizeCaption);
    QLabel* remainingCaption = Caption(this, "lblRemainingCaption", batchmsg::RemainingLabel);
    lblRemaining_ = Figure(this, "lblRemaining", remainingCaption);
    QLabel* batchCaption = Caption(this, "lblBatchRemainingCaption", batchmsg::BatchRemainingLabel);
    lblBatchRemaining_ = Figure(this, "lblBatchRemaining", batchCaption);
    figures->addWidget(fileCaption, 0, 0);
    figures->addWidget(lblOutput_, 0, 1, 1, 3);
    const std::pair<QLabel*, QLabel*> left[] = {
        {progressCaption, lblProgress_}, {timeCaption, lblTime_}, {lengthCaption, lblLength_}};
    const std::pair<QLabel*, QLabel*> right[] = {{remainingCaption, lblRemaining_},
                                                 {batchCaption, lblBatchRemaining_},
                                                 {sizeCaption, lblSize_}};
    for (int row = 0; row < 3; ++row) {
        figures->addWidget(left[row].first, row + 1, 0);
        figures->addWidget(left[row].second, row + 1, 1);
        figures->addWidget(right[row].first, row + 1, 2);
        figures->addWidget(right[row].second, row + 1, 3);
    }
    figures->setColumnStretch(1, 1);
    figures->setColumnStretch(3, 1);

    progbarFile_ = new QProgressBar(this);
    progbarFile_->setObjectName("progbarFile");
    progbarFile_->setRange(0, 100);
    progbarFile_->setTextVisible(true);
    progbarFile_->setAccessibleName(batchmsg::ProgressLabel);
    ckOpen_ = new QCheckBox(batchmsg::OpenFolderCheck, this);
    ckOpen_->setObjectName("ckOpen");
    ckShutDown_ = new QCheckBox(batchmsg::ShutDownCheck, this);
    ckShutDown_->setObjectName("ckShutDown");

    imgbtnSnap_ = dialogbuttons::ImageButton(this, "imgbtnSnap", batchmsg::SnapshotHint, 24);
    btnPause_ = Button(this, "btnPause", batchmsg::PauseCaption);
    btnResume_ = Button(this, "btnResume", batchmsg::ResumeCaption);
    btnCancel_ = Button(this, "btnCancel", batchmsg::CancelCaption);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(imgbtnSnap_);
    buttons->addStretch(1);
    for (QPushButton* button : {btnPause_, btnResume_, btnCancel_}) {
        buttons->addWidget(button);
    }

    // One line per running file, shown only while more than one runs.
    lstRunning_ = new QListWidget(this);
    lstRunning_->setObjectName("lstRunning");
    lstRunning_->setAccessibleName(batchmsg::RunningFilesName);
    lstRunning_->setSelectionMode(QAbstractItemView::NoSelection);
    lstRunning_->setFocusPolicy(Qt::NoFocus);
    lstRunning_->setVisible(false);

    // The picture has its design size in a window of the design size and takes whatever
    // an enlarged window adds.
    imgPreview_->setMinimumSize(imgPreview_->size());
    imgPreview_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    imgPreview_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = new QVBoxLayout(this);
    const int side = std::max(0, (DesignSize.width() - imgPreview_->width()) / 2);
    layout->setContentsMargins(side, 14, side, 14);
    layout->setSpacing(8);
    layout->addWidget(imgPreview_, 1);
    layout->addWidget(lstRunning_);
    layout->addLayout(figures);
    for (QSpacerItem*& gap : gaps_) {
        gap = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    layout->addItem(gaps_[0]);
    layout->addWidget(progbarFile_);
    layout->addItem(gaps_[1]);
    layout->addWidget(ckOpen_);
    layout->addWidget(ckShutDown_);
    layout->addItem(gaps_[2]);
    layout->addLayout(buttons);
    SpreadRows();
    resize(layout->totalMinimumSize().expandedTo(DesignSize));
}

void TfrmProgress::SpreadRows() {
    // The room the rows leave at the design height spaces them, rather than gather below.
    // Figures are empty before the first report: their lines keep their height all along.
    for (QLabel* label : findChildren<QLabel*>()) {
        label->setMinimumHeight(label->fontMetrics().height());
    }
    for (QSpacerItem* gap : gaps_) {
        gap->changeSize(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    layout()->invalidate();
    const int slack = std::max(0, DesignSize.height() - layout()->totalMinimumSize().height());
    const int count = static_cast<int>(gaps_.size());
    for (int i = 0; i < count; ++i) {
        const int share = slack / count + (i < slack % count ? 1 : 0);
        gaps_[i]->changeSize(0, share, QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    layout()->invalidate();
}

void TfrmProgress::Connect() {
    tmrPreview_->setInterval(PreviewInterval);
    connect(tmrPreview_, &QTimer::timeout, this, &TfrmProgress::PreviewTick);
    connect(btnPause_, &QPushButton::clicked, this, [this] { model_.PauseClick(); });
    connect(btnResume_, &QPushButton::clicked, this, [this] { model_.ResumeClick(); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] {
        model_.CancelClick();
        Refresh();
    });
    connect(imgbtnSnap_, &QToolButton::clicked, this, [this] { model_.SnapshotClick(); });
    connect(ckOpen_, &QCheckBox::toggled, this, [this](bool on) { model_.SetOpenFolder(on); });
    connect(ckShutDown_, &QCheckBox::toggled, this, [this](bool on) { model_.SetShutDown(on); });
    model_.OnChanged = [this] { Refresh(); };
    model_.OnClose = [this] { BatchEnded(); };
}

void TfrmProgress::ShowAndStart() {
    closing_ = false;
    imgbtnSnap_->setIcon(glyphs::ButtonIcon(glyphs::TButton::Snapshot,
                                            TThemeManager::Accent(TThemeManager::Current())));
    imgPreview_->SetPicture(&model_.PreviewFrame());
    progbarFile_->setRange(0, 100);
    progbarFile_->setValue(0);
    show();
    raise();
    activateWindow();
    tmrPreview_->start();
    // Checks "Open the output folder after conversion" and starts the tasks.
    model_.Show();
    ckOpen_->setChecked(model_.OpenFolder());
    model_.SetShutDown(ckShutDown_->isChecked());
    Refresh();
}

void TfrmProgress::Refresh() {
    const TBatchProgress& figures = model_.Figures();
    valuelabel::Show(lblTime_, QString::fromStdString(figures.TimeText()));
    valuelabel::Show(lblSize_, QString::fromStdString(figures.SizeText()));
    valuelabel::Show(lblLength_, QString::fromStdString(figures.LengthText()));
    valuelabel::Show(lblProgress_, QString::fromStdString(figures.CounterText()));
    valuelabel::Show(lblOutput_, QString::fromStdString(figures.FileText()));
    if (model_.BarBusy()) {
        progbarFile_->setRange(0, 0); // a moving bar: the length is unknown
    } else {
        progbarFile_->setRange(0, 100);
        progbarFile_->setValue(model_.BarValue());
    }
    btnPause_->setEnabled(model_.PauseEnabled());
    btnResume_->setEnabled(model_.ResumeEnabled());
    btnCancel_->setEnabled(model_.CancelEnabled());
    setWindowTitle(QString::fromStdString(model_.Title()));
    RefreshRunning();
    RefreshRemaining();
}

void TfrmProgress::RefreshRunning() {
    const TBatchProgress& figures = model_.Figures();
    const std::vector<int> running = figures.RunningTasks();
    const bool several = running.size() > 1 && model_.CancelEnabled();
    if (several) {
        QStringList lines;
        for (int task : running) {
            lines << QString::fromStdString(figures.RunningLine(task));
        }
        if (lstRunning_->count() != lines.size()) {
            lstRunning_->clear();
            lstRunning_->addItems(lines);
        } else {
            for (int i = 0; i < lines.size(); ++i) {
                lstRunning_->item(i)->setText(lines[i]);
            }
        }
    } else if (lstRunning_->count() > 0) {
        lstRunning_->clear();
    }
    // The layout for one running file stays as it was.
    if (lstRunning_->isVisibleTo(this) != several) {
        lstRunning_->setVisible(several);
        SpreadRows();
    }
}

void TfrmProgress::RefreshRemaining() {
    const TBatchProgress& figures = model_.Figures();
    // Nothing to estimate before the first report.
    const bool known = figures.CurrentTask() >= 0;
    valuelabel::Show(lblRemaining_,
                     known ? QString::fromStdString(figures.RemainingFileText()) : QString());
    valuelabel::Show(lblBatchRemaining_,
                     known ? QString::fromStdString(figures.RemainingBatchText()) : QString());
}

void TfrmProgress::PreviewTick() {
    if (model_.HasPreview()) {
        imgPreview_->update();
    }
    // The estimates count down and the size grows between two reports.
    model_.FollowWrittenFile();
    valuelabel::Show(lblSize_, QString::fromStdString(model_.Figures().SizeText()));
    RefreshRemaining();
}

void TfrmProgress::BatchEnded() {
    tmrPreview_->stop();
    Refresh();
    if (isVisible()) {
        done(QDialog::Accepted);
    }
}

void TfrmProgress::reject() {
    if (closing_) {
        return; // already stopping and waiting
    }
    closing_ = true;
    const bool closes = model_.Close();
    closing_ = false;
    if (closes) {
        tmrPreview_->stop();
        QDialog::reject();
    }
}

void TfrmProgress::hideEvent(QHideEvent* event) {
    tmrPreview_->stop();
    QDialog::hideEvent(event);
}
