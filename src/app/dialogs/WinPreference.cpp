#include "WinPreference.h"

#include "BatchMessages.h"
#include "DialogButtons.h"
#include "DialogMessages.h"
#include "Settings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

using dialogbuttons::Button;

namespace {

template <typename T> T* Named(T* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

// Sets a box without telling its handlers.
void SetChecked(QCheckBox* box, bool on) {
    const QSignalBlocker blocker(box);
    box->setChecked(on);
}

} // namespace

TfrmPreference::TfrmPreference(TSettings& settings, QWidget* parent)
    : QDialog(parent), model_(settings) {
    setObjectName("frmPreference");
    setWindowTitle(batchmsg::PreferenceCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    BuildLayout();
    Connect();
}

void TfrmPreference::BuildLayout() {
    auto* snapshot = Named(new QGroupBox(dlgmsg::SnapshotGroup, this), "grpbxSnapshot");
    auto* folderLabel = Named(new QLabel(dlgmsg::SnapFolderLabel, snapshot), "lblSnapDirectory");
    edtSnapDirectory_ = Named(new QLineEdit(snapshot), "edtSnapDirectory");
    edtSnapDirectory_->setReadOnly(true);
    edtSnapDirectory_->setAccessibleName(dlgmsg::SnapFolderLabel);
    folderLabel->setBuddy(edtSnapDirectory_);
    btnBrows_ = Button(snapshot, "btnBrows", dlgmsg::PrefBrows);
    btnOpen_ = Button(snapshot, "btnOpen", dlgmsg::PrefOpen);
    ckFullSize_ = Named(new QCheckBox(dlgmsg::FullSize, snapshot), "ckFullSize");
    ckSmallSize_ = Named(new QCheckBox(dlgmsg::SmallSize, snapshot), "ckSmallSize");
    ckBmp_ = Named(new QCheckBox(dlgmsg::Bmp, snapshot), "ckBmp");
    ckJpg_ = Named(new QCheckBox(dlgmsg::Jpg, snapshot), "ckJpg");
    auto* qualityLabel = Named(new QLabel(dlgmsg::JpgQuality, snapshot), "lblCmp");
    trcCmp_ = Named(new QSlider(Qt::Horizontal, snapshot), "trcCmp");
    trcCmp_->setAccessibleName(dlgmsg::JpgQuality);
    spedCmp_ = Named(new QSpinBox(snapshot), "spedCmp");
    spedCmp_->setAccessibleName(dlgmsg::JpgQuality);
    for (auto* control : std::initializer_list<QWidget*>{trcCmp_, spedCmp_}) {
        qualityLabel->setBuddy(control);
    }
    trcCmp_->setRange(1, 100);
    spedCmp_->setRange(1, 100);
    // The quality changes through the arrows only.
    if (auto* edit = spedCmp_->findChild<QLineEdit*>()) {
        edit->setReadOnly(true);
    }

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(edtSnapDirectory_, 1);
    folderRow->addWidget(btnBrows_);
    folderRow->addWidget(btnOpen_);
    auto* boxes = new QGridLayout;
    boxes->addWidget(ckFullSize_, 0, 0);
    boxes->addWidget(ckSmallSize_, 0, 1);
    boxes->addWidget(ckBmp_, 1, 0);
    boxes->addWidget(ckJpg_, 1, 1);
    boxes->setColumnStretch(2, 1);
    auto* quality = new QHBoxLayout;
    quality->addWidget(qualityLabel);
    quality->addWidget(trcCmp_, 1);
    quality->addWidget(spedCmp_);
    auto* snapshotLayout = new QVBoxLayout(snapshot);
    snapshotLayout->addWidget(folderLabel);
    snapshotLayout->addLayout(folderRow);
    snapshotLayout->addLayout(boxes);
    snapshotLayout->addLayout(quality);

    rdGrpPriority_ = Named(new QGroupBox(dlgmsg::PriorityGroup, this), "rdGrpPriority");
    priorities_ = new QButtonGroup(rdGrpPriority_);
    auto* priorityLayout = new QHBoxLayout(rdGrpPriority_);
    for (int i = 0; i < TPreferenceModel::PriorityCount; ++i) {
        const QString name = QString("rdPriority%1").arg(i);
        rdPriority_[i] = new QRadioButton(dlgmsg::PriorityItems[i], rdGrpPriority_);
        rdPriority_[i]->setObjectName(name);
        priorities_->addButton(rdPriority_[i], i);
        priorityLayout->addWidget(rdPriority_[i]);
    }
    priorityLayout->addStretch(1);
    connect(priorities_, &QButtonGroup::idClicked, this,
            [this](int id) { model_.SetPriority(id); });

    auto* atOnceLabel = new QLabel(dlgmsg::AtOnceLabel, this);
    cbAtOnce_ = Named(new QComboBox(this), "cbAtOnce");
    cbAtOnce_->addItem(dlgmsg::AtOnceAuto);
    for (int n = 1; n <= TSettings::MaxAtOnce; ++n) {
        cbAtOnce_->addItem(QString::number(n));
    }
    cbAtOnce_->setAccessibleName(dlgmsg::AtOnceLabel);
    atOnceLabel->setBuddy(cbAtOnce_);
    connect(cbAtOnce_, &QComboBox::currentIndexChanged, this,
            [this](int index) { model_.SetAtOnce(index); });
    auto* atOnceRow = new QHBoxLayout;
    atOnceRow->addWidget(atOnceLabel);
    atOnceRow->addWidget(cbAtOnce_);
    atOnceRow->addStretch(1);
    ckRememberJobList_ = Named(new QCheckBox(dlgmsg::RememberJobList, this), "ckRememberJobList");
    connect(ckRememberJobList_, &QCheckBox::toggled, this,
            [this](bool on) { model_.SetRememberJobList(on); });

    btnDefault_ = Button(this, "btnDefault", dlgmsg::PrefDefault);
    btnOk_ = Button(this, "btnOk", dlgmsg::PrefOk);
    btnOk_->setDefault(true);
    btnCancel_ = Button(this, "btnCancel", dlgmsg::PrefCancel);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnDefault_);
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(snapshot);
    layout->addWidget(rdGrpPriority_);
    layout->addLayout(atOnceRow);
    layout->addWidget(ckRememberJobList_);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setMinimumSize(QSize(DesignWidth, DesignHeight).expandedTo(minimumSizeHint()));
    // Wider gives the folder room; taller would only leave a band below the options.
    setMaximumHeight(minimumHeight());
}

void TfrmPreference::Connect() {
    // A box of a pair that cannot be cleared comes back checked at once.
    const std::pair<QCheckBox*, bool (TPreferenceModel::*)(bool)> pairs[] = {
        {ckFullSize_, &TPreferenceModel::SetFullSize},
        {ckSmallSize_, &TPreferenceModel::SetSmallSize},
        {ckBmp_, &TPreferenceModel::SetBmp},
        {ckJpg_, &TPreferenceModel::SetJpg},
    };
    for (const auto& [box, set] : pairs) {
        connect(box, &QCheckBox::toggled, this, [this, box = box, set = set](bool on) {
            SetChecked(box, (model_.*set)(on));
            const bool quality = model_.QualityEnabled();
            trcCmp_->setEnabled(quality);
            spedCmp_->setEnabled(quality);
        });
    }
    connect(trcCmp_, &QSlider::valueChanged, this, [this](int value) {
        model_.SetQuality(value);
        const QSignalBlocker blocker(spedCmp_);
        spedCmp_->setValue(model_.Quality());
    });
    connect(spedCmp_, &QSpinBox::valueChanged, this, [this](int value) {
        model_.SetQuality(value);
        const QSignalBlocker blocker(trcCmp_);
        trcCmp_->setValue(model_.Quality());
    });
    connect(btnBrows_, &QPushButton::clicked, this, [this] {
        model_.Browse();
        edtSnapDirectory_->setText(QString::fromStdString(model_.Folder()));
    });
    connect(btnOpen_, &QPushButton::clicked, this, [this] { model_.OpenFolder(); });
    connect(btnDefault_, &QPushButton::clicked, this, [this] {
        model_.Default();
        ShowModel();
    });
    connect(btnOk_, &QPushButton::clicked, this, &TfrmPreference::OkClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmPreference::Open() {
    model_.Open();
    ShowModel();
}

int TfrmPreference::exec() {
    Open();
    resize(QSize(DesignWidth, DesignHeight).expandedTo(minimumSize()));
    return QDialog::exec();
}

void TfrmPreference::ShowModel() {
    edtSnapDirectory_->setText(QString::fromStdString(model_.Folder()));
    SetChecked(ckFullSize_, model_.FullSize());
    SetChecked(ckSmallSize_, model_.SmallSize());
    SetChecked(ckBmp_, model_.Bmp());
    SetChecked(ckJpg_, model_.Jpg());
    SetChecked(ckRememberJobList_, model_.RememberJobList());
    for (QWidget* control : std::initializer_list<QWidget*>{trcCmp_, spedCmp_}) {
        control->setEnabled(model_.QualityEnabled());
    }
    {
        const QSignalBlocker sliderBlocker(trcCmp_);
        const QSignalBlocker spinBlocker(spedCmp_);
        trcCmp_->setValue(model_.Quality());
        spedCmp_->setValue(model_.Quality());
    }
    // An exclusive group cannot lose its checked button; a stored index naming no item
    // shows none.
    priorities_->setExclusive(false);
    for (int i = 0; i < TPreferenceModel::PriorityCount; ++i) {
        rdPriority_[i]->setChecked(i == model_.Priority());
    }
    priorities_->setExclusive(true);
    cbAtOnce_->setCurrentIndex(model_.AtOnce());
}

void TfrmPreference::OkClick() {
    model_.Ok();
    accept();
}
