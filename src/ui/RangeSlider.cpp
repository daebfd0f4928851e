#include "RangeSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr int ThumbWidth = 11;
constexpr int ThumbHeight = 16;
constexpr int GrooveHeight = 4;

} // namespace

TRangeSlider::TRangeSlider(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TRangeSlider::SetMaximum(int maximum) {
    maximum_ = std::max(maximum, 0);
    SetRange(lower_, upper_);
}

void TRangeSlider::SetRange(int lower, int upper) {
    upper_ = std::clamp(upper, 0, maximum_);
    lower_ = std::clamp(lower, 0, maximum_);
    if (maximum_ >= 1) {
        upper_ = std::max(upper_, 1);
        lower_ = std::min(lower_, upper_ - 1);
    }
    update();
}

int TRangeSlider::ThumbX(int value) const {
    const int span = width() - ThumbWidth;
    if (maximum_ <= 0) {
        return ThumbWidth / 2;
    }
    return ThumbWidth / 2 +
           static_cast<int>(std::lround(static_cast<double>(value) * span / maximum_));
}

int TRangeSlider::ValueAt(int x) const {
    const int span = std::max(width() - ThumbWidth, 1);
    const double value = static_cast<double>(x - ThumbWidth / 2) * maximum_ / span;
    return std::clamp(static_cast<int>(std::lround(value)), 0, maximum_);
}

QRect TRangeSlider::ThumbRect(int value) const {
    return QRect(ThumbX(value) - ThumbWidth / 2, (height() - ThumbHeight) / 2, ThumbWidth,
                 ThumbHeight);
}

QSize TRangeSlider::sizeHint() const {
    return {200, ThumbHeight + 6};
}

QSize TRangeSlider::minimumSizeHint() const {
    return {4 * ThumbWidth, ThumbHeight + 6};
}

void TRangeSlider::MoveThumb(TThumb thumb, int value) {
    const int oldLower = lower_;
    const int oldUpper = upper_;
    if (thumb == TThumb::Lower) {
        lower_ = std::clamp(value, 0, std::max(upper_ - 1, 0));
    } else if (thumb == TThumb::Upper) {
        upper_ = std::clamp(value, std::min(lower_ + 1, maximum_), maximum_);
    }
    if (lower_ != oldLower || upper_ != oldUpper) {
        update();
        emit rangeMoved(lower_, upper_);
    }
}

void TRangeSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const bool enabled = isEnabled();
    const int middle = height() / 2;
    const QRectF groove(ThumbWidth / 2.0, middle - GrooveHeight / 2.0, width() - ThumbWidth,
                        GrooveHeight);
    painter.setPen(pal.color(QPalette::Mid));
    painter.setBrush(pal.color(QPalette::Base));
    painter.drawRoundedRect(groove, 2, 2);
    const QRectF chosen(ThumbX(lower_), groove.top(), ThumbX(upper_) - ThumbX(lower_),
                        GrooveHeight);
    painter.setBrush(pal.color(enabled ? QPalette::Highlight : QPalette::Mid));
    painter.drawRect(chosen);
    for (const int value : {lower_, upper_}) {
        const QRectF thumb = ThumbRect(value).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath path;
        path.addRoundedRect(thumb, 2, 2);
        painter.setPen(pal.color(hasFocus() ? QPalette::Highlight : QPalette::Dark));
        painter.setBrush(pal.color(enabled ? QPalette::Button : QPalette::Window));
        painter.drawPath(path);
    }
}

void TRangeSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const int x = static_cast<int>(event->position().x());
    const int lowerX = ThumbX(lower_);
    const int upperX = ThumbX(upper_);
    // The nearer thumb; between two thumbs on one spot, the side the press is on.
    if (std::abs(x - lowerX) < std::abs(x - upperX) || (lowerX == upperX && x < lowerX)) {
        dragging_ = TThumb::Lower;
    } else {
        dragging_ = TThumb::Upper;
    }
    MoveThumb(dragging_, ValueAt(x));
}

void TRangeSlider::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ != TThumb::None) {
        MoveThumb(dragging_, ValueAt(static_cast<int>(event->position().x())));
    }
}

void TRangeSlider::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = TThumb::None;
}

void TRangeSlider::keyPressEvent(QKeyEvent* event) {
    const TThumb thumb = (event->modifiers() & Qt::ShiftModifier) ? TThumb::Upper : TThumb::Lower;
    const int value = thumb == TThumb::Upper ? upper_ : lower_;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        MoveThumb(thumb, value - 1);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        MoveThumb(thumb, value + 1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}
