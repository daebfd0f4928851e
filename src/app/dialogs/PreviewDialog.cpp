#include "PreviewDialog.h"

#include "DialogButtons.h"
#include "Glyphs.h"
#include "JobList.h"
#include "SelectionSlider.h"
#include "ThemeManager.h"
#include "TrimCropMessages.h"
#include "TrimModel.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpacerItem>
#include <QToolButton>

#include <algorithm>

using dialogbuttons::Button;
using dialogbuttons::ImageButton;

TPreviewDialog::TPreviewDialog(TJobList& jobs, const char* name, const char* caption, bool pictures,
                               QWidget* parent)
    : QDialog(parent), jobs_(jobs), session_(player_, SessionEvents(pictures)) {
    setObjectName(name);
    setWindowTitle(caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    settle_.setSingleShot(true);
    settle_.setInterval(TTrimModel::SeekSettleMs);
    connect(&settle_, &QTimer::timeout, this, [this] { dragging_ = false; });
}

TPreviewSession::TEvents TPreviewDialog::SessionEvents(bool pictures) {
    TPreviewSession::TEvents events;
    events.FileOpened = [this](std::int64_t duration, int, int, int& screenWidth,
                               int& screenHeight) {
        PlayerFileOpened(duration, screenWidth, screenHeight);
    };
    events.Position = [this](std::int64_t pts) { PlayerPosition(pts); };
    events.Ended = [this] { PlayerEnded(); };
    if (pictures) {
        events.Picture = [this](const TBitmap24& picture, std::int64_t pts) {
            PlayerPicture(picture, pts);
        };
    }
    return events;
}

void TPreviewDialog::BuildPosition() {
    trcPreview_ = new TSelectionSlider(this);
    trcPreview_->setObjectName("trcPreview");
    trcPreview_->setAccessibleName("Position");
    trcPreview_->installEventFilter(this);
    lblPTS_ = new QLabel(this);
    lblPTS_->setObjectName("lblPTS");
    lblLength_ = new QLabel(this);
    lblLength_->setObjectName("lblLength");
    lblLength_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TPreviewDialog::BuildPlayButtons() {
    imgbtnPlay_ = ImageButton(this, "imgbtnPlay", trimcropmsg::PlayHint);
    imgbtnPause_ = ImageButton(this, "imgbtnPause", trimcropmsg::PauseHint);
    const QColor accent = TThemeManager::Accent(std::max(0, TThemeManager::Current()));
    imgbtnPlay_->setIcon(glyphs::ButtonIcon(glyphs::TButton::Play, accent));
    imgbtnPause_->setIcon(glyphs::ButtonIcon(glyphs::TButton::Pause, accent));
}

void TPreviewDialog::BuildDialogButtons() {
    btnReset_ = Button(this, "btnReset", trimcropmsg::Reset);
    btnOk_ = Button(this, "btnOk", trimcropmsg::Ok);
    btnOk_->setDefault(true);
    btnCancel_ = Button(this, "btnCancel", trimcropmsg::Cancel);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

QFrame* TPreviewDialog::BuildRule() {
    auto* rule = new QFrame(this);
    rule->setObjectName("bvlButtons");
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    return rule;
}

void TPreviewDialog::AddGap(QBoxLayout* layout) {
    gaps_.push_back(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed));
    layout->addItem(gaps_.back());
}

void TPreviewDialog::FitDesignSize(int width, int height, bool fixed) {
    for (QSpacerItem* gap : gaps_) {
        gap->changeSize(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    layout()->invalidate();
    const int slack = std::max(0, height - layout()->totalMinimumSize().height());
    const int count = static_cast<int>(gaps_.size());
    for (int i = 0; i < count; ++i) {
        const int share = slack / count + (i < slack % count ? 1 : 0);
        gaps_[i]->changeSize(0, share, QSizePolicy::Minimum, QSizePolicy::Fixed);
    }
    layout()->invalidate();
    const QSize size = QSize(width, height).expandedTo(layout()->totalMinimumSize());
    if (fixed) {
        setFixedSize(size);
    } else {
        resize(size);
    }
}

int TPreviewDialog::SelectJob() {
    row_ = jobs_.Selected();
    if (row_ < 0 && !jobs_.Empty()) {
        jobs_.Select(0);
        row_ = jobs_.Selected();
    }
    return row_;
}

bool TPreviewDialog::LibrariesLoaded() const {
    return session_.LibrariesLoaded();
}

void TPreviewDialog::ShowPlaying(bool playing) {
    imgbtnPlay_->setEnabled(!playing);
    imgbtnPause_->setEnabled(playing);
}

void TPreviewDialog::ResetSlider(std::int64_t duration) {
    trcPreview_->setTickPosition(QSlider::NoTicks);
    trcPreview_->setRange(0, trcPreview_->width());
    trcPreview_->ClearSelection();
    trcPreview_->SetThumbVisible(duration > 0);
    // Raised, so that moving the thumb here seeks nowhere.
    const bool dragging = dragging_;
    dragging_ = true;
    trcPreview_->setValue(0);
    dragging_ = dragging;
}

void TPreviewDialog::ClosePreview() {
    settle_.stop();
    dragging_ = false;
    session_.Close();
}

void TPreviewDialog::PlayerFileOpened(std::int64_t, int&, int&) {}

void TPreviewDialog::PlayerPosition(std::int64_t) {}

void TPreviewDialog::PlayerEnded() {}

void TPreviewDialog::PlayerPicture(const TBitmap24&, std::int64_t) {}

void TPreviewDialog::SliderReleased() {
    session_.SeekToSlider(trcPreview_->value(), trcPreview_->maximum());
}

bool TPreviewDialog::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if (watched == trcPreview_ && (press || release) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (press) {
            settle_.stop();
            dragging_ = true;
        } else if (dragging_) {
            // The slider handles the release first, so the seek takes its final position. A
            // release away from the slider ends the drag too: the thumb stays where it was
            // left, and the slider follows the position again once the seek has settled.
            QTimer::singleShot(0, this, [this] {
                SliderReleased();
                settle_.start();
            });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TPreviewDialog::done(int result) {
    ClosePreview();
    QDialog::done(result);
}
