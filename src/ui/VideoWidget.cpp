#include "VideoWidget.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>

#include <cmath>

TVideoWidget::TVideoWidget(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted: no background fill before each picture.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    NoteSurfaceSize();
}

TVideoWidget::~TVideoWidget() = default;

void TVideoWidget::NoteSurfaceSize() {
    const qreal ratio = devicePixelRatioF();
    surfaceWidth_.store(static_cast<int>(std::lround(width() * ratio)));
    surfaceHeight_.store(static_cast<int>(std::lround(height() * ratio)));
}

void TVideoWidget::SurfaceSize(int& width, int& height) const {
    width = surfaceWidth_.load();
    height = surfaceHeight_.load();
}

bool TVideoWidget::OpenSurface(int, int) {
    // The layout that holds the widget decides its size.
    return true;
}

void TVideoWidget::ShowPicture(std::shared_ptr<const TSinkPicture> picture, TPictureRect rect) {
    {
        std::lock_guard lock(pictureMutex_);
        picture_ = std::move(picture);
        rect_ = rect;
    }
    ScheduleUpdate();
}

void TVideoWidget::Redraw() {
    ScheduleUpdate();
}

void TVideoWidget::Clear() {
    {
        std::lock_guard lock(pictureMutex_);
        picture_.reset();
    }
    ScheduleUpdate();
}

void TVideoWidget::SetSurfaceListener(ISurfaceListener* listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = listener;
}

unsigned TVideoWidget::Handle() const {
    return static_cast<unsigned>(internalWinId());
}

void TVideoWidget::SetIdleColour(const QColor& colour) {
    idleColour_ = colour;
    update();
}

std::shared_ptr<const TSinkPicture> TVideoWidget::CurrentPicture() const {
    std::lock_guard lock(pictureMutex_);
    return picture_;
}

TPictureRect TVideoWidget::CurrentRect() const {
    std::lock_guard lock(pictureMutex_);
    return rect_;
}

// Any thread: one repaint is queued for the window thread however many pictures arrive.
void TVideoWidget::ScheduleUpdate() {
    if (updatePending_.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            updatePending_.store(false);
            update();
        },
        Qt::QueuedConnection);
}

void TVideoWidget::paintEvent(QPaintEvent* event) {
    std::shared_ptr<const TSinkPicture> picture;
    TPictureRect rect;
    {
        std::lock_guard lock(pictureMutex_);
        picture = picture_;
        rect = rect_;
    }
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    QRegion black = event->region();
    const bool showing = picture && picture->Width() > 0 && picture->Height() > 0;
    if (showing) {
        QImage image(picture->Bits(), picture->Width(), picture->Height(), picture->Stride(),
                     QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        const QPointF at(rect.x / ratio, rect.y / ratio);
        painter.drawImage(at, image);
        const QRectF shown(at, QSizeF(picture->Width() / ratio, picture->Height() / ratio));
        black -= QRegion(shown.toAlignedRect());
    }
    const QColor fill = showing ? QColor(Qt::black) : idleColour_;
    for (const QRect& r : black) {
        painter.fillRect(r, fill);
    }
}

void TVideoWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    NoteSurfaceSize();
    std::lock_guard lock(listenerMutex_);
    if (listener_ != nullptr) {
        listener_->SurfaceResized(surfaceWidth_.load(), surfaceHeight_.load());
    }
}
