#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;
class TDeviceList;
class TDeviceListBox;
class TFormatTable;
class TSettings;

// How a format picker shows its list and what a choice does.
enum class TPickerMode {
    // The main window: the list opens upwards from a fixed bottom edge above the box, and a
    // chosen format is stored at once as the current format.
    StoreAtOnce,
    // A dialog: the list opens below the box, and a choice stays the dialog's until it is
    // confirmed (formatChosen tells it).
    KeepChoice,
};

// The format box "edt1" (read-only, one line), its drop-down button "imgbtn1" and the device
// list "lst1". The list lies over listHost (usually the window's central widget) and closes
// on a press anywhere else in the program or when the program loses activation.
class TFormatPicker final : public QWidget {
    Q_OBJECT
public:
    TFormatPicker(TDeviceList& list, TFormatTable& table, TSettings& settings, TPickerMode mode,
                  QWidget* listHost, QWidget* parent = nullptr);
    ~TFormatPicker() override;

    QLineEdit* FormatBox() const { return box_; }
    QToolButton* DropButton() const { return button_; }
    TDeviceListBox* List() const { return list_; }

    // Rebuilds the list from the stored group states; the box shows the current format.
    void Rebuild();
    void SaveGroupStates();
    // The format the box stands for; a dialog may set its own.
    QString FormatName() const { return formatName_; }
    void SetFormatName(const QString& name);

    bool ListShown() const;
    void ShowList();
    void HideList();
    // Sizes and places the list for its mode.
    void PlaceList();

signals:
    // A format row was chosen (after it was stored, in StoreAtOnce mode).
    void formatChosen(int code, const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // An open list follows the box when its window is resized.
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void Toggle(bool copyName, bool movePointer);
    void Choose(int row);
    bool PartOfPicker(const QObject* object) const;

    TSettings& settings_;
    TPickerMode mode_;
    QWidget* listHost_;
    QLineEdit* box_;
    QToolButton* button_;
    TDeviceListBox* list_;
    QString formatName_;
};
