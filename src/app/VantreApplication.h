#pragma once

#include <QApplication>

// The program's application object: an exception that escapes an event handler is shown
// (ShowAppException) and the program goes on.
class TVantreApplication final : public QApplication {
    Q_OBJECT
public:
    TVantreApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
