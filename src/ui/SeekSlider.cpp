#include "SeekSlider.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

TSeekSlider::TSeekSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void TSeekSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isEnabled()) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        const QPoint at = event->position().toPoint();
        if (!handle.contains(at)) {
            const int span = std::max(1, width() - handle.width());
            setValue(QStyle::sliderValueFromPosition(minimum(), maximum(),
                                                     at.x() - handle.width() / 2, span));
        }
    }
    QSlider::mousePressEvent(event);
}
