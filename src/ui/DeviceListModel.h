#pragma once

#include <QAbstractListModel>

class TDeviceList;
class TFormatTable;
class TSettings;

// The rows of a device list for a Qt view: group rows and the entry rows of expanded groups.
// Changes go through this model so that views (and assistive technology) see each insertion
// and removal.
class TDeviceListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        IsGroupRole = Qt::UserRole + 1,
        CollapsedRole,
        CodeRole,
    };

    TDeviceListModel(TDeviceList& list, TFormatTable& table, TSettings& settings,
                     QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    TDeviceList& List() { return list_; }
    const TDeviceList& List() const { return list_; }

    // Clears and rebuilds the rows from the built-in groups and the stored group states.
    void Build();
    // Expands or collapses a group row; false for entry rows.
    bool Toggle(int row);
    void SaveGroupStates();
    // Makes an entry row the current format and stores it; false for group rows.
    bool SelectFormat(int row);

private:
    TDeviceList& list_;
    TFormatTable& table_;
    TSettings& settings_;
};
