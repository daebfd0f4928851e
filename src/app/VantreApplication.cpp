#include "VantreApplication.h"

#include "AppException.h"

TVantreApplication::TVantreApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TVantreApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowAppException(error, applicationName().toStdString());
    }
    return false;
}
