#pragma once

#include <QStringList>
#include <QTreeView>

#include <string>
#include <vector>

class TJobList;
class TJobListModel;

// The job list's view ("lvFiles"): whole rows selected, one at a time, the selection kept
// visible without the focus, no editing, headers that do not sort. Space toggles the current
// row's check box; the context-menu key or the right button asks for the pop-up menu; files
// and folders dropped on it are handed on as paths.
class TJobListView final : public QTreeView {
    Q_OBJECT
public:
    explicit TJobListView(TJobList& list, QWidget* parent = nullptr);

    TJobListModel& Model() { return *model_; }
    // The columns' widths, to keep between sessions; restoring sets the fixed columns (the
    // two path columns share the rest).
    std::vector<int> ColumnWidths() const;
    void RestoreColumnWidths(const std::vector<int>& widths);

signals:
    void rowDoubleClicked(int row);
    void popupRequested(const QPoint& globalPosition);
    void pathsDropped(const std::vector<std::string>& paths);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyColumns();
    // "Source" and "Destination File" at least as wide as their file names need and sharing
    // the room the other columns leave.
    void LayOutColumns();
    void FollowSelection(int row);

    TJobList& list_;
    TJobListModel* model_;
    std::vector<int> restoredWidths_;
    bool laying_ = false;
};
