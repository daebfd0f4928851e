#include "RectTracker.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

TRectTracker::TRectTracker(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName("Crop rectangle");
}

unsigned TRectTracker::EdgesAt(const QPoint& point) const {
    unsigned edges = 0;
    if (point.x() < GripWidth) {
        edges |= Left;
    } else if (point.x() >= width() - GripWidth) {
        edges |= Right;
    }
    if (point.y() < GripWidth) {
        edges |= Top;
    } else if (point.y() >= height() - GripWidth) {
        edges |= Bottom;
    }
    return edges == 0 ? Move : edges;
}

void TRectTracker::UpdateCursor(unsigned edges) {
    switch (edges) {
    case Left | Top:
    case Right | Bottom:
        setCursor(Qt::SizeFDiagCursor);
        break;
    case Right | Top:
    case Left | Bottom:
        setCursor(Qt::SizeBDiagCursor);
        break;
    case Left:
    case Right:
        setCursor(Qt::SizeHorCursor);
        break;
    case Top:
    case Bottom:
        setCursor(Qt::SizeVerCursor);
        break;
    default:
        setCursor(Qt::SizeAllCursor);
    }
}

QRect TRectTracker::Proposed(const QPoint& globalPosition) const {
    const QPoint delta = globalPosition - pressGlobal_;
    const QRect& g = pressGeometry_;
    if (dragEdges_ == Move) {
        return g.translated(delta);
    }
    int left = g.left();
    int top = g.top();
    int right = g.left() + g.width(); // exclusive
    int bottom = g.top() + g.height();
    if (dragEdges_ & Left) {
        left = std::min(left + delta.x(), right - MinimumSize);
    }
    if (dragEdges_ & Right) {
        right = std::max(right + delta.x(), left + MinimumSize);
    }
    if (dragEdges_ & Top) {
        top = std::min(top + delta.y(), bottom - MinimumSize);
    }
    if (dragEdges_ & Bottom) {
        bottom = std::max(bottom + delta.y(), top + MinimumSize);
    }
    return {left, top, right - left, bottom - top};
}

void TRectTracker::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragEdges_ = EdgesAt(event->position().toPoint());
    pressGlobal_ = event->globalPosition().toPoint();
    pressGeometry_ = geometry();
    emit mouseDown();
}

void TRectTracker::mouseMoveEvent(QMouseEvent* event) {
    if (dragEdges_ == 0) {
        UpdateCursor(EdgesAt(event->position().toPoint()));
        return;
    }
    emit dragged(Proposed(event->globalPosition().toPoint()), dragEdges_);
}

void TRectTracker::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragEdges_ != 0) {
        dragEdges_ = 0;
        emit mouseUp();
    }
}

void TRectTracker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(frame);
    painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
    painter.drawRect(frame);
    // Handles at the corners and the middle of each edge.
    const int h = GripWidth;
    const int midX = (width() - h) / 2;
    const int midY = (height() - h) / 2;
    const QPoint handles[] = {{0, 0},
                              {midX, 0},
                              {width() - h, 0},
                              {0, midY},
                              {width() - h, midY},
                              {0, height() - h},
                              {midX, height() - h},
                              {width() - h, height() - h}};
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    for (const QPoint& corner : handles) {
        painter.drawRect(QRect(corner, QSize(h - 1, h - 1)));
    }
}
