#include "WaterMarkUi.h"

#include "LayeredView.h"
#include "RangeSlider.h"
#include "SeekSlider.h"
#include "WaterMarkColor.h"
#include "WaterMarkColorList.h"
#include "WaterMarkListDelegate.h"
#include "WaterMarkMessages.h"
#include "WaterMarkModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int ValueBoxWidth = 44;
constexpr int TimeBoxWidth = 64;
constexpr int ListWidth = 300;
constexpr const char* CustomColour = "Custom";

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

QSlider* Slider(const char* name, int minimum, int maximum) {
    auto* slider = Named(new QSlider(Qt::Horizontal), name);
    slider->setRange(minimum, maximum);
    return slider;
}

QLineEdit* ValueBox(const char* name, int width = ValueBoxWidth) {
    auto* box = Named(new QLineEdit, name);
    box->setReadOnly(true);
    box->setFixedWidth(width);
    box->setAlignment(Qt::AlignRight);
    return box;
}

QToolButton* Arrow(const char* name, Qt::ArrowType arrow) {
    auto* button = Named(new QToolButton, name);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    return button;
}

QIcon Swatch(std::uint32_t value) {
    QPixmap pixmap(16, 12);
    pixmap.fill(WaterMarkColor(value));
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 15, 11);
    return QIcon(pixmap);
}

QComboBox* ColourBox(const char* name) {
    auto* box = Named(new QComboBox, name);
    for (const TWaterMarkColorEntry& entry : WaterMarkColorList()) {
        box->addItem(Swatch(entry.Value), entry.Name, QVariant::fromValue(entry.Value));
    }
    box->setMaxVisibleItems(16);
    return box;
}

// A spin edit that steps with its arrows (and the arrow keys) but takes no typing.
QSpinBox* Spin(const char* name, int minimum, int maximum) {
    auto* spin = Named(new QSpinBox, name);
    spin->setRange(minimum, maximum);
    spin->findChild<QLineEdit*>()->setReadOnly(true);
    spin->setFixedWidth(70);
    return spin;
}

QLabel* Label(const char* text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

} // namespace

void TWaterMarkUi::SelectColor(QComboBox& box, std::uint32_t value) {
    int index = box.findData(QVariant::fromValue(value));
    if (index < 0) {
        box.addItem(Swatch(value), CustomColour, QVariant::fromValue(value));
        index = box.count() - 1;
    }
    box.setCurrentIndex(index);
}

std::uint32_t TWaterMarkUi::ColorOf(const QComboBox& box) {
    return box.currentData().value<std::uint32_t>();
}

void TWaterMarkUi::Build(QDialog& dialog, QWidget* playerPanel,
                         const std::vector<std::string>& fonts) {
    auto* top = new QHBoxLayout;
    top->addWidget(BuildPreview(dialog, playerPanel));
    top->addWidget(BuildList(dialog), 1);

    suiPageControl1 = Named(new QTabWidget, "suiPageControl1");
    suiPageControl1->addTab(BuildWaterMarkTab(fonts), wmmsg::WaterMarkTab);
    suiPageControl1->addTab(BuildEffectTab(), wmmsg::EffectTab);

    btnHelp = Named(new QPushButton(wmmsg::Help), "btnHelp");
    btnOk = Named(new QPushButton(wmmsg::Ok), "btnOk");
    btnCancel = Named(new QPushButton(wmmsg::Cancel), "btnCancel");
    btnOk->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnHelp);
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(top);
    layout->addWidget(suiPageControl1);
    layout->addLayout(buttons);
    dialog.setMinimumSize(dialog.minimumSizeHint().expandedTo(QSize(DesignWidth, DesignHeight)));
    // The preview places the layers in its design size: a taller window would only space
    // the controls out, a wider one gives the list and the boxes room.
    dialog.setMaximumHeight(dialog.minimumHeight());
    dialog.resize(dialog.minimumSize());
}

QWidget* TWaterMarkUi::BuildPreview(QDialog& dialog, QWidget* playerPanel) {
    auto* box = new QWidget(&dialog);
    pnlPreview = Named(new QStackedWidget, "pnlPreview");
    pnlPreview->setFixedSize(PreviewWidth, PreviewHeight);
    ImgView = Named(new TLayeredView, "ImgView");
    ImgView->setAccessibleName(wmmsg::PreviewName);
    imgPreview = Named(playerPanel, "imgPreview");
    pnlPreview->addWidget(ImgView);
    pnlPreview->addWidget(imgPreview);

    trcPreview = Named(new TSeekSlider, "trcPreview");
    trcPreview->setRange(0, PreviewWidth);
    trcPreview->setTickPosition(QSlider::NoTicks);
    trcPreview->setAccessibleName(wmmsg::PositionName);
    btnPlay = Named(new QPushButton(wmmsg::Play), "btnPlay");
    btnPause = Named(new QPushButton(wmmsg::Pause), "btnPause");
    lblPTS = Named(new QLabel(wmmsg::NoTime), "lblPTS");
    lblLength = Named(new QLabel(wmmsg::DurationPrefix), "lblLength");
    auto* controls = new QHBoxLayout;
    controls->addWidget(btnPlay);
    controls->addWidget(btnPause);
    controls->addSpacing(8);
    controls->addWidget(lblPTS);
    controls->addStretch(1);
    controls->addWidget(lblLength);

    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pnlPreview);
    layout->addWidget(trcPreview);
    layout->addLayout(controls);
    return box;
}

QWidget* TWaterMarkUi::BuildList(QDialog& dialog) {
    auto* box = new QWidget(&dialog);
    lsbox = Named(new QListWidget, "lsbox");
    lsbox->setItemDelegate(new TWaterMarkListDelegate(lsbox));
    lsbox->setUniformItemSizes(true);
    lsbox->setSelectionMode(QAbstractItemView::SingleSelection);
    lsbox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lsbox->setMinimumWidth(ListWidth);
    edt1 = Named(new QLineEdit(lsbox->viewport()), "edt1");
    QFont editFont = edt1->font();
    editFont.setPointSize(11);
    edt1->setFont(editFont);
    edt1->hide();

    btnAddText = Named(new QPushButton(wmmsg::AddText), "btnAddText");
    btnAddImage = Named(new QPushButton(wmmsg::AddImage), "btnAddImage");
    btnDelete = Named(new QPushButton(wmmsg::Delete), "btnDelete");
    btnUp = Named(new QPushButton(wmmsg::Up), "btnUp");
    btnDown = Named(new QPushButton(wmmsg::Down), "btnDown");
    auto* buttons = new QGridLayout;
    buttons->addWidget(btnAddText, 0, 0);
    buttons->addWidget(btnAddImage, 0, 1);
    buttons->addWidget(btnDelete, 0, 2);
    buttons->addWidget(btnUp, 1, 1);
    buttons->addWidget(btnDown, 1, 2);

    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Label(wmmsg::ListLabel, lsbox));
    lsbox->setAccessibleName(wmmsg::ListLabel);
    layout->addWidget(lsbox, 1);
    layout->addLayout(buttons);
    return box;
}

QWidget* TWaterMarkUi::BuildWaterMarkTab(const std::vector<std::string>& fonts) {
    auto* page = new QWidget;
    trcTextHoriz = Slider("trcTextHoriz", 0, 100);
    edtTextHoriz = ValueBox("edtTextHoriz");
    trcTextVert = Slider("trcTextVert", 0, 100);
    edtTextVert = ValueBox("edtTextVert");
    trcTextTran = Slider("trcTextTran", 0, 255);
    edtTextTran = ValueBox("edtTextTran");
    trcRange = Named(new TRangeSlider, "trcRange");
    edtStart = ValueBox("edtStart", TimeBoxWidth);
    edtEnd = ValueBox("edtEnd", TimeBoxWidth);
    btnStartUp1 = Arrow("btnStartUp1", Qt::UpArrow);
    btnStartUpStartDown = Arrow("btnStartUpStartDown", Qt::DownArrow);
    btnStartUpEndUp = Arrow("btnStartUpEndUp", Qt::UpArrow);
    btnStartUpEndDown = Arrow("btnStartUpEndDown", Qt::DownArrow);
    trcRange->setAccessibleName(wmmsg::TimeRangeName);
    const std::pair<QToolButton*, const char*> arrows[] = {
        {btnStartUp1, wmmsg::StartLaterName},
        {btnStartUpStartDown, wmmsg::StartEarlierName},
        {btnStartUpEndUp, wmmsg::EndLaterName},
        {btnStartUpEndDown, wmmsg::EndEarlierName}};
    for (const auto& [arrow, name] : arrows) {
        arrow->setAccessibleName(name);
        arrow->setToolTip(name);
    }
    // The box beside each slider shows its value under the slider's caption.
    const std::pair<QLineEdit*, const char*> values[] = {{edtTextHoriz, wmmsg::HorizontalLabel},
                                                         {edtTextVert, wmmsg::VerticalLabel},
                                                         {edtTextTran, wmmsg::TransparencyLabel}};
    for (const auto& [box, caption] : values) {
        box->setAccessibleName(caption);
    }

    auto* times = new QHBoxLayout;
    times->addWidget(edtStart);
    times->addWidget(btnStartUp1);
    times->addWidget(btnStartUpStartDown);
    times->addStretch(1);
    times->addWidget(Label(wmmsg::EndLabel, edtEnd));
    times->addWidget(edtEnd);
    times->addWidget(btnStartUpEndUp);
    times->addWidget(btnStartUpEndDown);

    auto* place = new QGridLayout;
    place->addWidget(Label(wmmsg::HorizontalLabel, trcTextHoriz), 0, 0);
    place->addWidget(trcTextHoriz, 0, 1);
    place->addWidget(edtTextHoriz, 0, 2);
    place->addWidget(Label(wmmsg::VerticalLabel, trcTextVert), 1, 0);
    place->addWidget(trcTextVert, 1, 1);
    place->addWidget(edtTextVert, 1, 2);
    place->addWidget(Label(wmmsg::TransparencyLabel, trcTextTran), 2, 0);
    place->addWidget(trcTextTran, 2, 1);
    place->addWidget(edtTextTran, 2, 2);
    place->addWidget(Label(wmmsg::StartLabel, edtStart), 3, 0);
    place->addLayout(times, 3, 1, 1, 2);
    place->addWidget(trcRange, 4, 1, 1, 2);
    place->setColumnStretch(1, 1);

    suiFontCmb = Named(new QComboBox, "suiFontCmb");
    for (const std::string& font : fonts) {
        suiFontCmb->addItem(QString::fromStdString(font));
    }
    suiFontCmb->setMaxVisibleItems(16);
    suiFontCmb->setMinimumContentsLength(14);
    suiFontCmb->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    suiFontSizeCmb = Named(new QComboBox, "suiFontSizeCmb");
    for (const std::string& size : TWaterMarkModel::FontSizes()) {
        suiFontSizeCmb->addItem(QString::fromStdString(size));
    }
    suiColorBoxcmb = ColourBox("suiColorBoxcmb");
    suiChkBold = Named(new QCheckBox(wmmsg::Bold), "suiChkBold");
    suiChkItalic = Named(new QCheckBox(wmmsg::Italic), "suiChkItalic");
    suiChkUnderline = Named(new QCheckBox(wmmsg::Underline), "suiChkUnderline");
    suiChkStrikeOut = Named(new QCheckBox(wmmsg::StrikeOut), "suiChkStrikeOut");
    rb1 = Named(new QRadioButton(wmmsg::BackgroundColor), "rb1");
    rb2 = Named(new QRadioButton(wmmsg::Transparent), "rb2");
    suiColorBoxbackground = ColourBox("suiColorBoxbackground");

    auto* styles = new QHBoxLayout;
    for (QCheckBox* box : {suiChkBold, suiChkItalic, suiChkUnderline, suiChkStrikeOut}) {
        styles->addWidget(box);
    }
    styles->addStretch(1);
    auto* background = Named(new QGroupBox(wmmsg::BackgroundGroup), "grpbxBackground");
    auto* backgroundLayout = new QGridLayout(background);
    backgroundLayout->addWidget(rb1, 0, 0);
    backgroundLayout->addWidget(suiColorBoxbackground, 0, 1);
    backgroundLayout->addWidget(rb2, 1, 0);
    backgroundLayout->setColumnStretch(1, 1);

    auto* font = new QGridLayout;
    font->addWidget(Label(wmmsg::FontLabel, suiFontCmb), 0, 0);
    font->addWidget(suiFontCmb, 0, 1, 1, 3);
    font->addWidget(Label(wmmsg::FontSizeLabel, suiFontSizeCmb), 1, 0);
    font->addWidget(suiFontSizeCmb, 1, 1);
    font->addWidget(Label(wmmsg::FontColorLabel, suiColorBoxcmb), 1, 2);
    font->addWidget(suiColorBoxcmb, 1, 3);
    font->addLayout(styles, 2, 0, 1, 4);
    font->addWidget(background, 3, 0, 1, 4);
    font->setColumnStretch(3, 1);

    auto* layout = new QHBoxLayout(page);
    layout->addLayout(place, 1);
    layout->addSpacing(12);
    layout->addLayout(font, 1);
    return page;
}

QWidget* TWaterMarkUi::BuildEffectTab() {
    auto* page = new QWidget;
    trcBrightness = Slider("trcBrightness", 0, 512);
    spedtBrightness = Spin("spedtBrightness", 0, 512);
    trcContrast = Slider("trcContrast", -100, 100);
    spedtContrast = Spin("spedtContrast", -100, 100);
    trcSaturation = Slider("trcSaturation", 0, 512);
    spedtSaturation = Spin("spedtSaturation", 0, 512);
    trcExposure = Slider("trcExposure", -255, 512);
    spedtExposure = Spin("spedtExposure", -255, 512);
    btnReset = Named(new QPushButton(wmmsg::Reset), "btnReset");

    auto* layout = new QGridLayout(page);
    const std::tuple<const char*, QSlider*, QSpinBox*> rows[] = {
        {wmmsg::BrightnessLabel, trcBrightness, spedtBrightness},
        {wmmsg::ContrastLabel, trcContrast, spedtContrast},
        {wmmsg::SaturationLabel, trcSaturation, spedtSaturation},
        {wmmsg::ExposureLabel, trcExposure, spedtExposure},
    };
    int row = 0;
    for (const auto& [label, slider, spin] : rows) {
        layout->addWidget(Label(label, slider), row, 0);
        // The caption names the slider as its buddy and the box beside it alike.
        spin->setAccessibleName(QString(label).remove('&'));
        layout->addWidget(slider, row, 1);
        layout->addWidget(spin, row, 2);
        ++row;
    }
    layout->addWidget(btnReset, row, 2);
    layout->setColumnStretch(1, 1);
    return page;
}
