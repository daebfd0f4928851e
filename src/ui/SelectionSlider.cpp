#include "SelectionSlider.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

TSelectionSlider::TSelectionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::NoTicks);
}

void TSelectionSlider::SetSelection(int start, int end) {
    if (start == selStart_ && end == selEnd_) {
        return;
    }
    selStart_ = start;
    selEnd_ = end;
    update();
}

void TSelectionSlider::SetThumbVisible(bool visible) {
    if (thumbVisible_ != visible) {
        thumbVisible_ = visible;
        update();
    }
}

int TSelectionSlider::PixelOf(int value, const QRect& groove, int handleWidth) const {
    const int span = std::max(0, groove.width() - handleWidth);
    return groove.left() + handleWidth / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), value, span);
}

void TSelectionSlider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);

    option.subControls = QStyle::SC_SliderGroove;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
    if (HasSelection()) {
        const int from = PixelOf(selStart_, groove, handle.width());
        const int to = PixelOf(selEnd_, groove, handle.width());
        const int height = std::max(4, groove.height() / 2);
        const QRect band(from, groove.center().y() - height / 2, std::max(1, to - from), height);
        QColor colour = palette().color(QPalette::Highlight);
        painter.fillRect(band, colour);
        // Ends of the marked part, as a trackbar's selection ticks.
        painter.setPen(colour.darker(140));
        painter.drawLine(from, groove.top(), from, groove.bottom());
        painter.drawLine(band.right(), groove.top(), band.right(), groove.bottom());
    }
    if (thumbVisible_) {
        option.subControls = QStyle::SC_SliderHandle;
        if (isSliderDown()) {
            option.activeSubControls = QStyle::SC_SliderHandle;
            option.state |= QStyle::State_Sunken;
        }
        style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
    }
}
