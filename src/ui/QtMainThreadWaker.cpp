#include "QtMainThreadWaker.h"

#include "MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {
void Wake() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app, [] { TMainThread::CheckSynchronize(); }, Qt::QueuedConnection);
    }
}
} // namespace

TQtMainThreadWaker::TQtMainThreadWaker() {
    TMainThread::Claim();
    TMainThread::SetWakeHook(&Wake);
    if (TMainThread::HasPending()) {
        Wake();
    }
}

TQtMainThreadWaker::~TQtMainThreadWaker() {
    TMainThread::SetWakeHook({});
}
