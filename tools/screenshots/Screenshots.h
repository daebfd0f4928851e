#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QWidget;
class TfrmMain;

// Pictures of the program's windows for review. A scene brings something on screen and
// returns the widget to capture; its clean-up puts the program back as it was. Windows add
// their own scenes with Register (before Run).
struct TScreenshotScene {
    QString name; // the picture is saved as name + ".png"
    std::function<QWidget*(TfrmMain&)> show;
    std::function<void(TfrmMain&)> hide;
};

class TScreenshots {
public:
    static void Register(TScreenshotScene scene);
    static const std::vector<TScreenshotScene>& Scenes();
    // The built-in scenes followed by the registered ones, in the order Run takes them.
    static std::vector<TScreenshotScene> AllScenes();
    // Saves every scene (or only those named) into folder; returns the pictures written.
    static int Run(TfrmMain& window, const QString& folder, const QStringList& only = {});
};
