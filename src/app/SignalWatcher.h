#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a signal of the window thread: the handler only
// writes the number into a pipe that the event loop watches. One watcher at a time; the
// previous handlers come back with its end.
class TSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit TSignalWatcher(QObject* parent = nullptr);
    ~TSignalWatcher() override;
    TSignalWatcher(const TSignalWatcher&) = delete;
    TSignalWatcher& operator=(const TSignalWatcher&) = delete;

signals:
    void arrived(int signal);

private:
    void Read();

    QSocketNotifier* notifier_ = nullptr;
};
