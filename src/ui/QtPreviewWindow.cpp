#include "QtPreviewWindow.h"

#include "Bitmap24.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

TQtPreviewWindow::TQtPreviewWindow(int width, int height)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint |
                           Qt::WindowTitleHint) {
    setObjectName("frmPreview");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(std::max(width, 1), std::max(height, 1));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(this->width() / 2, this->height() / 2));
    }
    show();
}

void TQtPreviewWindow::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void TQtPreviewWindow::Draw(const TBitmap24& picture) {
    if (picture.Empty()) {
        return;
    }
    // The engine reuses its picture memory as soon as this returns: keep a copy.
    picture_ = QImage(picture.Bits(), picture.Width(), picture.Height(), picture.Stride(),
                      QImage::Format_BGR888)
                   .copy();
    update();
}

void TQtPreviewWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!picture_.isNull()) {
        painter.drawImage(QPoint(0, 0), picture_);
    }
}

void TQtPreviewWindow::closeEvent(QCloseEvent* event) {
    closed_ = true;
    event->accept();
}

void TQtPreviewWindow::mousePressEvent(QMouseEvent* event) {
    // Dragging the picture moves the window.
    if (event->button() == Qt::LeftButton && windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

TPreviewWindowFactory TQtPreviewWindow::Factory() {
    return [](int width, int height) -> std::unique_ptr<IPreviewWindow> {
        return std::make_unique<TQtPreviewWindow>(width, height);
    };
}
