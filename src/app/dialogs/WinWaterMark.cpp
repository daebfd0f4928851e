#include "WinWaterMark.h"

#include "AppMessages.h"
#include "JobList.h"
#include "LayeredView.h"
#include "PreviewState.h"
#include "RangeSlider.h"
#include "ShellServices.h"
#include "VideoWidget.h"
#include "WaterMarkListDelegate.h"
#include "WaterMarkMessages.h"
#include "WaterMarkPlayback.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int WaterMarkPage = 0;
constexpr int EditorLeft = 21;
constexpr int EditorTop = 2;
constexpr int EditorHeight = 20;
constexpr int EditorMargin = 25;

void SetSlider(QSlider* slider, int maximum, int value) {
    const QSignalBlocker blocker(slider);
    slider->setMaximum(maximum);
    slider->setValue(value);
}

void SetNumber(QLineEdit* box, int value) {
    box->setText(QString::number(value));
}

} // namespace

TfrmWaterMark::TfrmWaterMark(TJobList& jobs, QWidget* parent) : QDialog(parent), jobs_(jobs) {
    setObjectName("frmWaterMark");
    setWindowTitle(wmmsg::Caption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    playerPanel_ = new TVideoWidget;
    ui_.Build(*this, playerPanel_, TWaterMarkModel::InstalledFonts());
    model_.SetOnChanged([this](unsigned changes) { Refresh(changes); });
    TWaterMarkPlayback::TEvents events;
    events.FileOpened = [this] { FileOpened(); };
    events.Position = [this](std::int64_t pts) { PositionChanged(pts); };
    events.Ended = [this] { PlaybackEnded(); };
    // On the decoding thread: the window thread takes the picture when it gets to it.
    events.PictureWaiting = [this] {
        QMetaObject::invokeMethod(
            this, [this] { model_.TakePreview(); }, Qt::QueuedConnection);
    };
    playback_ = std::make_unique<TWaterMarkPlayback>(model_, std::move(events));
    Connect();
}

TfrmWaterMark::~TfrmWaterMark() {
    playback_.reset();
    model_.SetOnChanged({});
}

void TfrmWaterMark::Connect() {
    ConnectWaterMarkTab();
    ConnectEffectTab();
    ConnectView();
    const std::pair<QPushButton*, void (TfrmWaterMark::*)()> buttons[] = {
        {ui_.btnAddText, &TfrmWaterMark::btnAddTextClick},
        {ui_.btnAddImage, &TfrmWaterMark::btnAddImageClick},
        {ui_.btnDelete, &TfrmWaterMark::btnDeleteClick},
        {ui_.btnUp, &TfrmWaterMark::btnUpClick},
        {ui_.btnDown, &TfrmWaterMark::btnDownClick},
        {ui_.btnOk, &TfrmWaterMark::btnOkClick},
        {ui_.btnCancel, &TfrmWaterMark::btnCancelClick},
        {ui_.btnReset, &TfrmWaterMark::btnResetClick},
        {ui_.btnHelp, &TfrmWaterMark::btnHelpClick},
        {ui_.btnPlay, &TfrmWaterMark::btnPlayClick},
        {ui_.btnPause, &TfrmWaterMark::btnPauseClick},
    };
    for (const auto& [button, slot] : buttons) {
        connect(button, &QPushButton::clicked, this, slot);
    }
    connect(ui_.suiPageControl1, &QTabWidget::currentChanged, this, &TfrmWaterMark::ShowTab);
    connect(ui_.lsbox, &QListWidget::currentRowChanged, this, [this](int row) {
        HideEditor();
        model_.SelectRow(row);
    });
    connect(ui_.lsbox, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { model_.SelectRow(ui_.lsbox->row(item)); });
    // Opened once the double click's own mouse events are through, which would take the focus
    // back to the list.
    connect(
        ui_.lsbox, &QListWidget::itemDoubleClicked, this,
        [this](QListWidgetItem* item) { EditRow(ui_.lsbox->row(item)); }, Qt::QueuedConnection);
    connect(ui_.edt1, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.SetRowText(text.toStdString()); });
    connect(ui_.edt1, &QLineEdit::editingFinished, this, &TfrmWaterMark::HideEditor);
    ui_.edt1->installEventFilter(this);
    ui_.trcPreview->installEventFilter(this);
}

void TfrmWaterMark::ConnectWaterMarkTab() {
    connect(ui_.trcTextHoriz, &QSlider::valueChanged, this,
            [this](int value) { model_.SetHorizontal(value); });
    connect(ui_.trcTextVert, &QSlider::valueChanged, this,
            [this](int value) { model_.SetVertical(value); });
    connect(ui_.trcTextTran, &QSlider::valueChanged, this,
            [this](int value) { model_.SetTransparency(value); });
    connect(ui_.trcRange, &TRangeSlider::rangeMoved, this, [this](int lower, int upper) {
        model_.SetEnd(upper);
        model_.SetStart(lower);
    });
    connect(ui_.btnStartUp1, &QToolButton::clicked, this, [this] { model_.StartUp(); });
    connect(ui_.btnStartUpStartDown, &QToolButton::clicked, this, [this] { model_.StartDown(); });
    connect(ui_.btnStartUpEndUp, &QToolButton::clicked, this, [this] { model_.EndUp(); });
    connect(ui_.btnStartUpEndDown, &QToolButton::clicked, this, [this] { model_.EndDown(); });
    connect(ui_.suiFontCmb, &QComboBox::currentTextChanged, this,
            [this](const QString& name) { model_.SetFontName(name.toStdString()); });
    connect(ui_.suiFontSizeCmb, &QComboBox::currentTextChanged, this,
            [this](const QString& size) { model_.SetFontSize(size.toInt()); });
    connect(ui_.suiColorBoxcmb, &QComboBox::currentIndexChanged, this,
            [this] { model_.SetFontColor(TWaterMarkUi::ColorOf(*ui_.suiColorBoxcmb)); });
    connect(ui_.suiColorBoxbackground, &QComboBox::currentIndexChanged, this,
            [this] { model_.SetBackColor(TWaterMarkUi::ColorOf(*ui_.suiColorBoxbackground)); });
    const std::pair<QCheckBox*, int> styles[] = {
        {ui_.suiChkBold, TWaterMarkFont::Bold},
        {ui_.suiChkItalic, TWaterMarkFont::Italic},
        {ui_.suiChkUnderline, TWaterMarkFont::Underline},
        {ui_.suiChkStrikeOut, TWaterMarkFont::StrikeOut},
    };
    for (const auto& [box, bit] : styles) {
        connect(box, &QCheckBox::toggled, this,
                [this, bit = bit](bool on) { model_.SetFontStyle(bit, on); });
    }
    connect(ui_.rb1, &QRadioButton::clicked, this, [this] { model_.SetHasBackColor(true); });
    connect(ui_.rb2, &QRadioButton::clicked, this, [this] { model_.SetHasBackColor(false); });
}

void TfrmWaterMark::ConnectEffectTab() {
    const std::pair<QSlider*, QSpinBox*> pairs[] = {
        {ui_.trcBrightness, ui_.spedtBrightness},
        {ui_.trcContrast, ui_.spedtContrast},
        {ui_.trcSaturation, ui_.spedtSaturation},
        {ui_.trcExposure, ui_.spedtExposure},
    };
    const std::array<void (TWaterMarkModel::*)(int), 4> setters = {
        &TWaterMarkModel::SetBrightness, &TWaterMarkModel::SetContrast,
        &TWaterMarkModel::SetSaturation, &TWaterMarkModel::SetExposure};
    for (size_t i = 0; i < setters.size(); ++i) {
        const auto setter = setters[i];
        connect(pairs[i].first, &QSlider::valueChanged, this,
                [this, setter](int value) { (model_.*setter)(value); });
        connect(pairs[i].second, &QSpinBox::valueChanged, this,
                [this, setter](int value) { (model_.*setter)(value); });
    }
}

void TfrmWaterMark::ConnectView() {
    connect(ui_.ImgView, &TLayeredView::layerClicked, this,
            [this](int id) { model_.SelectRow(model_.RowOfId(id)); });
    connect(ui_.ImgView, &TLayeredView::emptyClicked, this,
            [this] { model_.ClearLayerSelection(); });
    connect(ui_.ImgView, &TLayeredView::layerDragged, this,
            [this](int id, const QRectF& rect) { model_.SetLayerRect(model_.RowOfId(id), rect); });
    connect(ui_.ImgView, &TLayeredView::mouseMoved, this, [this] { model_.MouseOverView(); });
}

void TfrmWaterMark::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TfrmWaterMark::FormShow() {
    // Every showing starts over from the selected job's record.
    closed_ = false;
    jobRow_ = -1;
    ui_.lblPTS->setText(wmmsg::NoTime);
    ui_.lblLength->setText(wmmsg::DurationPrefix);
    ui_.suiPageControl1->setCurrentIndex(WaterMarkPage);
    ShowTab(WaterMarkPage);
    ui_.trcPreview->setEnabled(false);
    ShowPlayButtons(false);
    ui_.btnPlay->setEnabled(false);
    if (jobs_.Empty()) {
        Refresh(wmAll);
        return;
    }
    if (jobs_.Selected() < 0) {
        jobs_.Select(0);
    }
    jobRow_ = jobs_.Selected();
    const TlvFilesRecord& job = jobs_.Record(jobRow_);
    setWindowTitle(QString::fromStdString(TWaterMarkModel::Caption(job.SourceFile)));
    if (!playback_->LibrariesLoaded()) {
        // Nothing to preview with (the program said why at start): an empty editor that keeps
        // the job's items.
        model_.Open(job, -1);
        return;
    }
    model_.Open(job, TWaterMarkPlayback::EstimateDuration(job.SourceFile));
    OpenFile(job.SourceFile);
}

void TfrmWaterMark::OpenFile(const std::string& file) {
    if (!playback_->Open(file, playerPanel_)) {
        // No list is rebuilt and OK keeps the stored one.
        Shell().MessageBox(playback_->LastErrorText(), appmsg::WarningCaption, TMsgIcon::Warning,
                           TMsgButtons::Ok);
        return;
    }
    ShowPlayButtons(true);
}

void TfrmWaterMark::FileOpened() {
    const std::int64_t duration = model_.SourceDuration();
    ui_.lblLength->setText(wmmsg::DurationPrefix +
                           QString::fromStdString(TPreviewState::PositionText(duration)));
    ui_.lblPTS->setText(wmmsg::NoTime);
    QSlider* slider = ui_.trcPreview;
    {
        // Raised so that setting the thumb seeks nowhere.
        dragging_ = true;
        const QSignalBlocker blocker(slider);
        slider->setRange(0, std::max(1, slider->width()));
        slider->setValue(0);
        dragging_ = false;
    }
    slider->setEnabled(duration > 0);
}

void TfrmWaterMark::PositionChanged(std::int64_t pts) {
    ui_.lblPTS->setText(wmmsg::TimePrefix +
                        QString::fromStdString(TPreviewState::PositionText(pts)));
    if (!dragging_ && playback_->Session().Duration() > 0) {
        const QSignalBlocker blocker(ui_.trcPreview);
        ui_.trcPreview->setValue(
            playback_->Session().SliderPosition(pts, ui_.trcPreview->maximum()));
    }
}

void TfrmWaterMark::PlaybackEnded() {
    const QSignalBlocker blocker(ui_.trcPreview);
    ui_.trcPreview->setValue(0);
    ui_.trcPreview->setEnabled(false);
    dragging_ = false;
    ShowPlayButtons(false);
}

void TfrmWaterMark::ShowPlayButtons(bool playing) {
    ui_.btnPlay->setEnabled(!playing && playback_->IsOpen());
    ui_.btnPause->setEnabled(playing && playback_->IsOpen());
}

void TfrmWaterMark::btnPlayClick() {
    playback_->Play();
    ShowTab(ui_.suiPageControl1->currentIndex());
    ui_.trcPreview->setEnabled(model_.SourceDuration() > 0 && playback_->IsOpen());
    ShowPlayButtons(true);
}

void TfrmWaterMark::btnPauseClick() {
    playback_->Pause();
    ShowPlayButtons(false);
}

// The slider itself puts the thumb under the pointer; a drag begins.
void TfrmWaterMark::PreviewPressed(QEvent* event) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && ui_.trcPreview->isEnabled()) {
        dragging_ = true;
    }
}

void TfrmWaterMark::PreviewReleased(QEvent* event) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton || !dragging_) {
        return;
    }
    dragging_ = false;
    playback_->Session().SeekToSlider(ui_.trcPreview->value(), ui_.trcPreview->maximum());
}

void TfrmWaterMark::Refresh(unsigned changes) {
    if (changes & wmRows) {
        ShowRows();
    }
    if (changes & (wmRows | wmLayers | wmSelection)) {
        ShowLayers();
    }
    if (changes & (wmControls | wmSelection)) {
        ShowControls();
        ShowAdjustments();
    }
    if (changes & wmPicture) {
        ui_.ImgView->SetBase(model_.BasePicture());
        // A paused player shows no new picture: the view shows the last frame re-rendered.
        if (playback_ != nullptr && playback_->IsOpen() && playback_->Paused()) {
            ui_.pnlPreview->setCurrentWidget(ui_.ImgView);
        }
    }
}

void TfrmWaterMark::ShowRows() {
    const QSignalBlocker blocker(ui_.lsbox);
    while (ui_.lsbox->count() > model_.Count()) {
        delete ui_.lsbox->takeItem(ui_.lsbox->count() - 1);
    }
    while (ui_.lsbox->count() < model_.Count()) {
        ui_.lsbox->addItem(QString());
    }
    for (int row = 0; row < model_.Count(); ++row) {
        QListWidgetItem* item = ui_.lsbox->item(row);
        const TWmItemRec& record = model_.Row(row);
        item->setText(QString::fromStdString(record.RowText()));
        item->setData(TWaterMarkListDelegate::KindRole, record.Kind);
    }
}

void TfrmWaterMark::ShowLayers() {
    std::vector<TLayeredView::TLayer> layers;
    for (const TWmItemRec& row : model_.Rows()) {
        layers.push_back(
            {row.Id, row.Layer.Rect, row.Layer.Opacity, row.Layer.Picture, row.Layer.Visible});
    }
    ui_.ImgView->SetFrameSize(QSize(model_.FrameWidth(), model_.FrameHeight()));
    ui_.ImgView->SetLayers(layers);
    const int selected = model_.SelectedLayer();
    ui_.ImgView->SetSelected(selected >= 0 ? model_.Row(selected).Id : -1);
    {
        const QSignalBlocker blocker(ui_.lsbox);
        ui_.lsbox->setCurrentRow(model_.SelectedRow());
    }
    ui_.lsbox->viewport()->update();
    ui_.btnAddText->setEnabled(model_.Opened());
    ui_.btnAddImage->setEnabled(model_.Opened());
    ui_.btnDelete->setEnabled(model_.SelectedRow() >= 0);
    ui_.btnUp->setEnabled(model_.CanMoveUp());
    ui_.btnDown->setEnabled(model_.CanMoveDown());
}

void TfrmWaterMark::ShowControls() {
    const TWaterMarkControls& c = model_.Controls();
    SetSlider(ui_.trcTextHoriz, c.HorizontalMax, c.Horizontal);
    SetNumber(ui_.edtTextHoriz, c.Horizontal);
    SetSlider(ui_.trcTextVert, c.VerticalMax, c.Vertical);
    SetNumber(ui_.edtTextVert, c.Vertical);
    SetSlider(ui_.trcTextTran, 255, c.Transparency);
    SetNumber(ui_.edtTextTran, c.Transparency);
    ui_.trcTextHoriz->setEnabled(c.PositionEnabled);
    ui_.trcTextVert->setEnabled(c.PositionEnabled);
    ui_.trcRange->SetMaximum(c.RangeMax);
    ui_.trcRange->SetRange(c.Start, c.End);
    ui_.edtStart->setText(QString::fromStdString(c.StartText));
    ui_.edtEnd->setText(QString::fromStdString(c.EndText));
    {
        const QSignalBlocker font(ui_.suiFontCmb);
        const QSignalBlocker size(ui_.suiFontSizeCmb);
        const QSignalBlocker colour(ui_.suiColorBoxcmb);
        const QSignalBlocker back(ui_.suiColorBoxbackground);
        ui_.suiFontCmb->setCurrentIndex(
            ui_.suiFontCmb->findText(QString::fromStdString(c.FontName)));
        ui_.suiFontSizeCmb->setCurrentIndex(
            ui_.suiFontSizeCmb->findText(QString::number(c.FontSize)));
        TWaterMarkUi::SelectColor(*ui_.suiColorBoxcmb, c.FontColor);
        TWaterMarkUi::SelectColor(*ui_.suiColorBoxbackground, c.BackColor);
    }
    const std::pair<QCheckBox*, int> styles[] = {
        {ui_.suiChkBold, TWaterMarkFont::Bold},
        {ui_.suiChkItalic, TWaterMarkFont::Italic},
        {ui_.suiChkUnderline, TWaterMarkFont::Underline},
        {ui_.suiChkStrikeOut, TWaterMarkFont::StrikeOut},
    };
    for (const auto& [box, bit] : styles) {
        const QSignalBlocker blocker(box);
        box->setChecked((c.FontStyle & bit) != 0);
        box->setEnabled(c.FontControlsEnabled);
    }
    ui_.rb1->setChecked(c.HasBackColor);
    ui_.rb2->setChecked(!c.HasBackColor);
    for (QWidget* widget : std::initializer_list<QWidget*>{ui_.suiFontCmb, ui_.suiFontSizeCmb,
                                                           ui_.suiColorBoxcmb, ui_.rb1, ui_.rb2}) {
        widget->setEnabled(c.FontControlsEnabled);
    }
    ui_.suiColorBoxbackground->setEnabled(c.FontControlsEnabled && c.BackColorEnabled);
}

void TfrmWaterMark::ShowAdjustments() {
    const TWaterMarkAdjustments& a = model_.Controls().Adjustments;
    const std::tuple<QSlider*, QSpinBox*, int> rows[] = {
        {ui_.trcBrightness, ui_.spedtBrightness, a.Brightness},
        {ui_.trcContrast, ui_.spedtContrast, a.Contrast},
        {ui_.trcSaturation, ui_.spedtSaturation, a.Saturation},
        {ui_.trcExposure, ui_.spedtExposure, a.Exposure},
    };
    for (const auto& [slider, spin, value] : rows) {
        const QSignalBlocker sliderBlocker(slider);
        const QSignalBlocker spinBlocker(spin);
        slider->setValue(value);
        spin->setValue(value);
    }
}

void TfrmWaterMark::ShowTab(int index) {
    ui_.pnlPreview->setCurrentWidget(index == WaterMarkPage ? static_cast<QWidget*>(ui_.ImgView)
                                                            : ui_.imgPreview);
    // Layers are picked and dragged on the "Watermark" tab only, also when the view shows a
    // re-rendered frame on the "Effect" tab.
    ui_.ImgView->setEnabled(index == WaterMarkPage);
}

QPointF TfrmWaterMark::NewItemCentre() const {
    if (model_.FrameWidth() <= 0 || model_.FrameHeight() <= 0) {
        return {0, 0};
    }
    return ui_.ImgView->VisibleCentre();
}

void TfrmWaterMark::btnAddTextClick() {
    HideEditor();
    const int row = model_.AddText(NewItemCentre());
    EditRow(row);
}

void TfrmWaterMark::btnAddImageClick() {
    HideEditor();
    model_.AddImage(NewItemCentre());
}

void TfrmWaterMark::btnDeleteClick() {
    HideEditor();
    model_.Delete();
}

void TfrmWaterMark::btnUpClick() {
    model_.MoveUp();
}

void TfrmWaterMark::btnDownClick() {
    model_.MoveDown();
}

void TfrmWaterMark::btnResetClick() {
    model_.ResetAdjustments();
}

void TfrmWaterMark::btnHelpClick() {
    Shell().OpenPath(wmmsg::HelpLink);
}

void TfrmWaterMark::btnOkClick() {
    if (jobRow_ >= 0 && jobRow_ < jobs_.Count()) {
        model_.Store(jobs_.Record(jobRow_));
        jobs_.RecordChanged(jobRow_);
    }
    accept();
}

void TfrmWaterMark::btnCancelClick() {
    reject();
}

void TfrmWaterMark::done(int result) {
    if (!closed_) {
        closed_ = true;
        HideEditor();
        ClosePlayback();
    }
    shown_ = false;
    QDialog::done(result);
}

void TfrmWaterMark::ClosePlayback() {
    playback_->Close();
    ShowPlayButtons(false);
    ui_.trcPreview->setEnabled(false);
}

void TfrmWaterMark::EditRow(int row) {
    if (row < 0 || row >= model_.Count() || model_.Row(row).Kind != TWmRec::TextItem) {
        return;
    }
    const QRect rect = ui_.lsbox->visualItemRect(ui_.lsbox->item(row));
    ui_.edt1->setGeometry(EditorLeft, rect.top() + EditorTop, ui_.lsbox->width() - EditorMargin,
                          EditorHeight);
    ui_.edt1->setText(QString::fromStdString(model_.Row(row).Text));
    ui_.edt1->show();
    ui_.edt1->setFocus();
    ui_.edt1->selectAll();
}

void TfrmWaterMark::HideEditor() {
    ui_.edt1->hide();
}

// Enter and Escape end the in-place editing instead of reaching the dialog's OK and Cancel.
bool TfrmWaterMark::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_.trcPreview) {
        if (event->type() == QEvent::MouseButtonPress) {
            PreviewPressed(event);
        } else if (event->type() == QEvent::MouseButtonRelease) {
            PreviewReleased(event);
        }
    } else if (watched == ui_.edt1) {
        if (event->type() == QEvent::FocusOut) {
            HideEditor();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                HideEditor();
                ui_.lsbox->setFocus();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
