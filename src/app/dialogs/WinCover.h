#pragma once

#include <QPixmap>
#include <QWidget>

#include <string>

class QLabel;
class QTimer;

// The splash picture shown while the program starts: "skin/va4dedorerozo.jpg" beside the
// program when that file can be read, else the picture built into the program. Borderless,
// centred, the picture's size; it closes itself on the first timer tick after the main window
// is showing.
class TfrmCover final : public QWidget {
    Q_OBJECT
public:
    // mainWindow may be set later with WatchWindow.
    TfrmCover(const std::string& programFolder, const std::string& title,
              const std::string& version);

    void WatchWindow(const QWidget* mainWindow) { mainWindow_ = mainWindow; }
    const QPixmap& Picture() const { return picture_; }
    bool FromFile() const { return fromFile_; }

    static QPixmap BuiltInPicture(const std::string& title, const std::string& version);

private:
    void Tick();

    QPixmap picture_;
    bool fromFile_ = false;
    QLabel* image_;
    QTimer* timer_;
    const QWidget* mainWindow_ = nullptr;
};
