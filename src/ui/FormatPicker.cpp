#include "FormatPicker.h"

#include "DeviceList.h"
#include "DeviceListBox.h"
#include "DeviceListModel.h"
#include "Glyphs.h"
#include "Settings.h"
#include "ThemeManager.h"

#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>

namespace {
// Largest list heights of the two modes.
constexpr int UpwardMaxHeight = 358;
constexpr int DownwardMaxHeight = 247;
constexpr int MinListWidth = 360;
} // namespace

TFormatPicker::TFormatPicker(TDeviceList& list, TFormatTable& table, TSettings& settings,
                             TPickerMode mode, QWidget* listHost, QWidget* parent)
    : QWidget(parent), settings_(settings), mode_(mode), listHost_(listHost),
      box_(new QLineEdit(this)), button_(new QToolButton(this)),
      list_(new TDeviceListBox(list, table, settings, listHost)) {
    box_->setObjectName("edt1");
    box_->setReadOnly(true);
    box_->setTextMargins(4, 2, 4, 2);
    box_->setAccessibleName(tr("Output format"));
    box_->setStyleSheet("QLineEdit#edt1 { background: #f6f6f8; }");
    box_->setCursor(Qt::ArrowCursor);
    button_->setObjectName("imgbtn1");
    button_->setIcon(glyphs::ButtonIcon(glyphs::TButton::DropDown, Qt::black));
    button_->setAccessibleName(tr("Choose the output format"));
    button_->setToolTip(tr("Choose the output format"));
    button_->setFocusPolicy(Qt::TabFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(box_, 1);
    layout->addWidget(button_);
    button_->setFixedHeight(box_->sizeHint().height());

    list_->hide();
    connect(button_, &QToolButton::clicked, this, [this] { Toggle(true, false); });
    connect(list_, &TDeviceListBox::entryChosen, this, &TFormatPicker::Choose);
    connect(list_, &TDeviceListBox::closeRequested, this, [this] {
        HideList();
        box_->setFocus();
    });
    connect(list_->model(), &QAbstractItemModel::rowsInserted, this, [this] { PlaceList(); });
    connect(list_->model(), &QAbstractItemModel::rowsRemoved, this, [this] { PlaceList(); });
    qApp->installEventFilter(this);
}

TFormatPicker::~TFormatPicker() {
    qApp->removeEventFilter(this);
}

void TFormatPicker::Rebuild() {
    list_->Rebuild();
    formatName_ = QString::fromStdString(list_->Model().List().FormatBoxText());
    box_->setText(formatName_);
    if (ListShown()) {
        PlaceList();
    }
}

void TFormatPicker::SaveGroupStates() {
    list_->SaveGroupStates();
}

void TFormatPicker::SetFormatName(const QString& name) {
    formatName_ = name;
    box_->setText(name);
}

bool TFormatPicker::ListShown() const {
    return list_->isVisible();
}

void TFormatPicker::ShowList() {
    list_->SelectRow(list_->Model().List().FindRow(formatName_.toStdString()));
    PlaceList();
    list_->show();
    list_->raise();
    list_->setFocus();
    if (list_->SelectedRow() >= 0) {
        list_->scrollTo(list_->model()->index(list_->SelectedRow(), 0));
    }
}

void TFormatPicker::HideList() {
    list_->hide();
}

void TFormatPicker::PlaceList() {
    const QPoint boxTop = box_->mapTo(listHost_, QPoint(0, 0));
    const int width = std::min(std::max(box_->width() + button_->width(), MinListWidth),
                               listHost_->width() - boxTop.x());
    if (mode_ == TPickerMode::StoreAtOnce) {
        // Below the box when the list fits there (or finds more room there than above);
        // else its bottom edge stays just above the box and it grows upwards.
        const int preferred = list_->PreferredHeight(UpwardMaxHeight);
        const int top = boxTop.y() + box_->height() - 1;
        const int below = listHost_->height() - top;
        const int above = boxTop.y() - 1;
        if (below >= preferred || below >= above) {
            list_->setGeometry(boxTop.x(), top, width, std::min(preferred, below));
        } else {
            const int height = std::min(preferred, above);
            list_->setGeometry(boxTop.x(), boxTop.y() - 1 - height, width, height);
        }
    } else {
        const int top = boxTop.y() + box_->height() - 1;
        const int height =
            std::min(list_->DropDownHeight(DownwardMaxHeight), listHost_->height() - top);
        list_->setGeometry(boxTop.x(), top, width, height);
    }
}

void TFormatPicker::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (ListShown()) {
        PlaceList();
    }
}

void TFormatPicker::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (ListShown()) {
        PlaceList();
    }
}

void TFormatPicker::Toggle(bool copyName, bool movePointer) {
    if (ListShown()) {
        HideList();
        return;
    }
    if (copyName) {
        box_->setText(formatName_);
    }
    ShowList();
    if (movePointer && list_->SelectedRow() >= 0) {
        QCursor::setPos(
            list_->viewport()->mapToGlobal(list_->RowRect(list_->SelectedRow()).center()));
    }
}

void TFormatPicker::Choose(int row) {
    TDeviceListModel& model = list_->Model();
    const QModelIndex index = model.index(row);
    if (index.data(TDeviceListModel::IsGroupRole).toBool()) {
        return;
    }
    if (mode_ == TPickerMode::StoreAtOnce) {
        model.SelectFormat(row);
    } else {
        model.List().SetSelectedRow(row);
    }
    formatName_ = index.data(Qt::DisplayRole).toString();
    box_->setText(formatName_);
    HideList();
    emit formatChosen(index.data(TDeviceListModel::CodeRole).toInt(), formatName_);
}

bool TFormatPicker::PartOfPicker(const QObject* object) const {
    for (const QObject* o = object; o != nullptr; o = o->parent()) {
        if (o == list_ || o == box_ || o == button_) {
            return true;
        }
    }
    return false;
}

bool TFormatPicker::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (watched == box_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            Toggle(false, mode_ == TPickerMode::StoreAtOnce);
            return true;
        }
        if (ListShown() && watched->isWidgetType() && !PartOfPicker(watched)) {
            HideList();
        }
        break;
    case QEvent::MouseButtonDblClick:
        if (watched == box_) {
            Toggle(true, false);
            return true;
        }
        break;
    case QEvent::KeyPress:
        if (watched == box_) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_F4 || key->key() == Qt::Key_Space ||
                key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier))) {
                Toggle(true, false);
                return true;
            }
        }
        break;
    case QEvent::ApplicationDeactivate:
        HideList();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
