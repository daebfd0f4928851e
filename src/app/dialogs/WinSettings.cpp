#include "WinSettings.h"

#include "DeviceList.h"
#include "DeviceListBox.h"
#include "EditModelMessages.h"
#include "FormatPicker.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace {

size_t Slot(TSettingsControl control) {
    return static_cast<size_t>(control);
}

// "cmbVideoSize" labels as "lblVideoSize".
QString LabelName(TSettingsControl control) {
    return "lbl" + QString::fromLatin1(TSettingsDialogModel::ControlName(control)).mid(3);
}

} // namespace

TfrmSettings::TfrmSettings(const std::string& settingsFile, const std::string& catalogFile,
                           QWidget* parent)
    : QDialog(parent), settings_(settingsFile, ""), model_(settingsFile, catalogFile) {
    setObjectName("frmSettings");
    setWindowTitle(editmsg::SettingsCaption);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    picker_ = new TFormatPicker(model_.FormatList(), model_.FormatTable(), settings_,
                                TPickerMode::KeepChoice, this, this);
    picker_->setObjectName("pnlFormat");
    auto* formatLabel = new QLabel(editmsg::FormatBoxLabel, this);
    formatLabel->setObjectName("lblFormat");
    formatLabel->setBuddy(picker_->FormatBox());
    connect(picker_, &TFormatPicker::formatChosen, this, &TfrmSettings::FormatChosen);
    auto* format = new QHBoxLayout;
    format->addWidget(formatLabel);
    format->addWidget(picker_, 1);

    auto* groups = new QHBoxLayout;
    groups->addWidget(BuildGroup("grpbxVideo", editmsg::VideoOptions, true));
    groups->addWidget(BuildGroup("grpbxAudio", editmsg::AudioOptions, false));

    btnDefault_ = new QPushButton(editmsg::DefaultButton, this);
    btnDefault_->setObjectName("btnDefault");
    btnDefault_->setAutoDefault(false);
    btnOk_ = new QPushButton(editmsg::SettingsOkButton, this);
    btnOk_->setObjectName("btnOk");
    btnOk_->setDefault(true);
    btnCancel_ = new QPushButton(editmsg::CancelButton, this);
    btnCancel_->setObjectName("btnCancel");
    btnCancel_->setAutoDefault(false);
    // Cancel drops every edit: a click on it must not first run the check of the box left.
    btnCancel_->setFocusPolicy(Qt::TabFocus);
    connect(btnDefault_, &QPushButton::clicked, this, &TfrmSettings::DefaultClick);
    connect(btnOk_, &QPushButton::clicked, this, &TfrmSettings::OkClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnDefault_);
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(btnCancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(format);
    layout->addLayout(groups, 1);
    layout->addLayout(buttons);
    // The list lies over the groups below the format box.
    picker_->List()->raise();
    resize(QSize(TSettingsDialogModel::WindowWidth, TSettingsDialogModel::WindowHeight)
               .expandedTo(minimumSizeHint()));
}

TfrmSettings::~TfrmSettings() = default;

QGroupBox* TfrmSettings::BuildGroup(const char* name, const char* caption, bool video) {
    auto* group = new QGroupBox(caption, this);
    group->setObjectName(name);
    // Rows share the group's height evenly rather than leave an empty band below them.
    auto* form = new QGridLayout(group);
    form->setColumnStretch(1, 1);
    int row = 0;
    for (const TSettingsControl control : TSettingsDialogModel::Controls) {
        if (TSettingsDialogModel::IsVideoControl(control) != video) {
            continue;
        }
        auto* combo = new QComboBox(group);
        combo->setObjectName(TSettingsDialogModel::ControlName(control));
        combo->setMinimumWidth(110);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        if (TSettingsDialogModel::IsEditable(control)) {
            combo->setEditable(true);
            // Typed text stays typed: no completion from the items, no item added on Enter.
            combo->setCompleter(nullptr);
            combo->setInsertPolicy(QComboBox::NoInsert);
            connect(combo, &QComboBox::editTextChanged, this,
                    [this, control](const QString& text) { Typed(control, text); });
        }
        connect(combo, &QComboBox::activated, this,
                [this, control](int index) { Picked(control, index); });
        combo->installEventFilter(this);
        auto* label = new QLabel(TSettingsDialogModel::LabelText(control), group);
        label->setObjectName(LabelName(control));
        label->setBuddy(combo);
        form->addWidget(label, row, 0);
        form->addWidget(combo, row, 1);
        form->setRowStretch(row, 1);
        ++row;
        combos_[Slot(control)] = combo;
    }
    return group;
}

QComboBox* TfrmSettings::Combo(TSettingsControl control) const {
    return combos_[Slot(control)];
}

int TfrmSettings::ControlOf(const QObject* object) const {
    const auto found = std::find(combos_.begin(), combos_.end(), object);
    return found == combos_.end() ? -1 : static_cast<int>(found - combos_.begin());
}

void TfrmSettings::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        Reload();
    }
    QDialog::showEvent(event);
}

void TfrmSettings::Reload() {
    // Wider gives longer values room; taller would only space the rows out.
    setMaximumHeight(std::max(TSettingsDialogModel::WindowHeight, minimumSizeHint().height()));
    resize(TSettingsDialogModel::WindowWidth, TSettingsDialogModel::WindowHeight);
    model_.Open();
    picker_->HideList();
    picker_->Rebuild();
    const QString name = QString::fromStdString(model_.FormatName());
    picker_->SetFormatName(name);
    picker_->List()->SelectRow(model_.FormatList().FindRow(model_.FormatName()));
    ShowAll();
}

void TfrmSettings::ShowCombo(TSettingsControl control) {
    const TSettingsCombo& box = model_.Combo(control);
    QComboBox* combo = Combo(control);
    const QSignalBlocker blocker(combo);
    combo->clear();
    for (const std::string& item : box.Items) {
        combo->addItem(QString::fromStdString(item));
    }
    combo->setCurrentIndex(box.ItemIndex);
    if (combo->isEditable()) {
        combo->setEditText(QString::fromStdString(box.Text));
    }
    combo->setMaxVisibleItems(std::max(1, combo->count()));
    combo->setEnabled(box.Enabled);
}

void TfrmSettings::ShowAll() {
    // Disabling a box that has the focus moves the focus: that is not the user leaving it.
    showing_ = true;
    for (const TSettingsControl control : TSettingsDialogModel::Controls) {
        ShowCombo(control);
    }
    showing_ = false;
    // Longer items widen their boxes: the window grows rather than cut them.
    layout()->activate();
    resize(size().expandedTo(sizeHint()));
}

void TfrmSettings::FormatChosen(int code, const QString& name) {
    model_.ChooseFormat(code, name.toStdString());
    ShowAll();
}

void TfrmSettings::Typed(TSettingsControl control, const QString& text) {
    if (!showing_) {
        model_.SetText(control, text.toStdString());
    }
}

void TfrmSettings::Picked(TSettingsControl control, int index) {
    model_.Select(control, index);
    if (control == TSettingsControl::VideoEncoder) {
        // The quality items show the chosen encoder's values.
        showing_ = true;
        ShowCombo(TSettingsControl::VideoBitRate);
        showing_ = false;
    }
}

bool TfrmSettings::KeyFiltered(TSettingsControl control, const QString& text) {
    if (text.isEmpty()) {
        return true; // keys without a character (arrows, Home...) only move the caret
    }
    return model_.KeyPress(control, text.toUcs4().value(0));
}

void TfrmSettings::LeftBox(TSettingsControl control) {
    if (showing_ || !isVisible() || !TSettingsDialogModel::IsEditable(control) ||
        !Combo(control)->isEnabled()) {
        return;
    }
    if (model_.ExitCheck(control) != TExitCheck::Passed) {
        showing_ = true;
        ShowCombo(control);
        showing_ = false;
    }
}

bool TfrmSettings::eventFilter(QObject* watched, QEvent* event) {
    const int index = ControlOf(watched);
    if (index < 0) {
        return QDialog::eventFilter(watched, event);
    }
    const TSettingsControl control = TSettingsDialogModel::Controls[index];
    if (event->type() == QEvent::KeyPress && TSettingsDialogModel::IsEditable(control)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->key() == Qt::Key_Backspace
                                 ? QString(QChar(TSettingsDialogModel::Backspace))
                                 : key->text();
        if (!KeyFiltered(control, text)) {
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Its own drop-down and another program taking over are not leaving the box.
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            LeftBox(control);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmSettings::DefaultClick() {
    model_.Default();
    ShowAll();
}

void TfrmSettings::OkClick() {
    if (model_.Ok()) {
        accept();
        return;
    }
    ShowAll();
}
