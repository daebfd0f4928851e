#pragma once

#include <QListView>

class TDeviceList;
class TDeviceListModel;
class TFormatTable;
class TSettings;

// The two-level device and format list ("lst1"): a press on a group's sign (x < 20) or a
// double click on a group row expands or collapses it, a press on an entry row chooses it,
// and the row under the mouse pointer is selected. By keyboard: arrows move, Return or Space
// chooses an entry or toggles a group, Left and Right collapse and expand, Escape closes.
class TDeviceListBox final : public QListView {
    Q_OBJECT
public:
    TDeviceListBox(TDeviceList& list, TFormatTable& table, TSettings& settings,
                   QWidget* parent = nullptr);

    TDeviceListModel& Model() { return *model_; }
    // Clears and rebuilds the list; the current format's row is selected.
    void Rebuild();
    void SaveGroupStates();
    bool Toggle(int row);
    int SelectedRow() const;
    void SelectRow(int row);
    // The height that shows every row plus one, at most maxHeight.
    int PreferredHeight(int maxHeight) const;
    // A dialog's drop-down: every row plus one while the rows fit in limit, else limit (so
    // 12 rows of 20 pixels give 260 against a limit of 247, 13 rows give 247).
    int DropDownHeight(int limit) const;
    QRect RowRect(int row) const;

signals:
    void entryChosen(int row);
    void closeRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool IsGroup(int row) const;

    TDeviceListModel* model_;
};
