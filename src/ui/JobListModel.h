#pragma once

#include "JobList.h"

#include <QAbstractTableModel>

// The job list for a Qt view: five columns while the list shows them (one plain column
// otherwise), the check box of each row in its first cell, and the "Progress" tooltip.
class TJobListModel final : public QAbstractTableModel, private IJobListObserver {
    Q_OBJECT
public:
    explicit TJobListModel(TJobList& list, QObject* parent = nullptr);
    ~TJobListModel() override;

    TJobList& List() { return list_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void selectionMoved(int row);
    void columnsShownChanged(bool shown);

private:
    void JobsAboutToBeInserted(int first, int last) override;
    void JobsInserted() override;
    void JobsAboutToBeRemoved(int first, int last) override;
    void JobsRemoved() override;
    void JobChanged(int row) override;
    void JobColumnsAboutToChange() override;
    void JobColumnsChanged() override;
    void JobSelectionChanged(int row) override;

    TJobList& list_;
    int columns_;
};
