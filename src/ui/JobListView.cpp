#include "JobListView.h"

#include "JobListDelegate.h"
#include "JobListModel.h"
#include "MediaFiles.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>

namespace {

// The raw list keeps names that are not UTF-8 byte for byte; the decoded URLs would not.
std::vector<std::string> LocalPaths(const QMimeData* data) {
    if (data == nullptr) {
        return {};
    }
    if (data->hasFormat("text/uri-list")) {
        return mediafiles::LocalPathsOfUriList(data->data("text/uri-list").toStdString());
    }
    std::vector<std::string> paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
        }
    }
    return paths;
}

} // namespace

TJobListView::TJobListView(TJobList& list, QWidget* parent)
    : QTreeView(parent), list_(list), model_(new TJobListModel(list, this)) {
    setObjectName("lvFiles");
    setAccessibleName(tr("Files to convert"));
    setModel(model_);
    setItemDelegate(new TJobListDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    // The delegate draws the selected row itself; the style's focus rect would cover it.
    setAllColumnsShowFocus(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setHighlightSections(false);

    connect(model_, &TJobListModel::modelReset, this, [this] {
        ApplyColumns();
        FollowSelection(list_.Selected());
    });
    connect(model_, &TJobListModel::selectionMoved, this, &TJobListView::FollowSelection);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(model_, signal, this, &TJobListView::LayOutColumns);
    }
    connect(model_, &QAbstractItemModel::dataChanged, this, &TJobListView::LayOutColumns);
    connect(header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (column != 0 && column != 3) {
            LayOutColumns();
        }
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() != list_.Selected()) {
                    list_.Select(current.row());
                }
            });
    ApplyColumns();
}

void TJobListView::ApplyColumns() {
    const bool shown = list_.ColumnsShown();
    header()->setVisible(shown);
    // No caption is ever cut.
    if (shown) {
        for (int column = 1; column < TJobList::ColumnCount; ++column) {
            setColumnWidth(column, std::max(TJobList::ColumnWidth(static_cast<TJobColumn>(column)),
                                            header()->sectionSizeHint(column)));
        }
        if (!restoredWidths_.empty()) {
            RestoreColumnWidths(restoredWidths_);
        }
        LayOutColumns();
    }
}

std::vector<int> TJobListView::ColumnWidths() const {
    std::vector<int> widths;
    for (int column = 0; column < TJobList::ColumnCount; ++column) {
        widths.push_back(columnWidth(column));
    }
    return widths;
}

void TJobListView::RestoreColumnWidths(const std::vector<int>& widths) {
    restoredWidths_ = widths;
    if (widths.size() != TJobList::ColumnCount || !list_.ColumnsShown()) {
        return;
    }
    for (const int column : {1, 2, 4}) {
        setColumnWidth(column, std::max(widths[column], header()->sectionSizeHint(column)));
    }
    LayOutColumns();
}

void TJobListView::LayOutColumns() {
    if (!list_.ColumnsShown() || laying_) {
        return;
    }
    laying_ = true;
    const QFontMetrics metrics(font());
    int needs[2] = {TJobList::ColumnWidth(TJobColumn::Source),
                    TJobList::ColumnWidth(TJobColumn::Destination)};
    for (int row = 0; row < model_->rowCount(); ++row) {
        needs[0] = std::max(needs[0], TJobListDelegate::NameWidth(
                                          metrics, model_->index(row, 0).data().toString(), true));
        needs[1] = std::max(needs[1], TJobListDelegate::NameWidth(
                                          metrics, model_->index(row, 3).data().toString(), false));
    }
    const int fixed = columnWidth(1) + columnWidth(2) + columnWidth(4);
    const int spare = std::max(0, viewport()->width() - fixed - needs[0] - needs[1]);
    setColumnWidth(0, needs[0] + spare / 2);
    setColumnWidth(3, needs[1] + spare - spare / 2);
    laying_ = false;
}

void TJobListView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    LayOutColumns();
}

void TJobListView::FollowSelection(int row) {
    if (row < 0 || row >= model_->rowCount()) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex index = model_->index(row, 0);
    if (selectionModel()->currentIndex().row() != row || !selectionModel()->isRowSelected(row)) {
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
    }
    scrollTo(index);
}

void TJobListView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Select) &&
        event->modifiers() == Qt::NoModifier && list_.Selected() >= 0) {
        list_.SetChecked(list_.Selected(), !list_.Checked(list_.Selected()));
        event->accept();
        return;
    }
    // The Menu key and Shift+F10 open the row menu; not every window system turns them into
    // a context menu request.
    if ((event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier) ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QPoint(),
                                  event->modifiers());
        contextMenuEvent(&request);
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void TJobListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (list_.Selected() >= 0) {
        emit rowDoubleClicked(list_.Selected());
    }
}

void TJobListView::contextMenuEvent(QContextMenuEvent* event) {
    QPoint position = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // From the keyboard the menu opens at the selected row.
        const QRect row = visualRect(model_->index(std::max(list_.Selected(), 0), 0));
        position = viewport()->mapToGlobal(row.isValid() ? row.center() : QPoint(20, 20));
    }
    emit popupRequested(position);
    event->accept();
}

void TJobListView::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalPaths(event->mimeData()).empty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TJobListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalPaths(event->mimeData()).empty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TJobListView::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = LocalPaths(event->mimeData());
    if (paths.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit pathsDropped(paths);
}

void TJobListView::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    viewport()->update(); // the selection takes its focused colours
}

void TJobListView::focusOutEvent(QFocusEvent* event) {
    QTreeView::focusOutEvent(event);
    viewport()->update();
}
