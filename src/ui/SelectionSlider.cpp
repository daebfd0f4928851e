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
        // A rail under the groove, apart from the groove's own filling up to the thumb.
        const int from = PixelOf(selStart_, groove, handle.width());
        const int to = PixelOf(selEnd_, groove, handle.width());
        const int top = std::min(groove.center().y() + 4, height() - 3);
        const QColor colour = palette().color(QPalette::Highlight).darker(130);
        painter.fillRect(QRect(from, top, std::max(1, to - from), 3), colour);
        // Both ends as ticks across the groove, as a trackbar marks its selection.
        painter.setPen(colour);
        painter.drawLine(from, groove.center().y() - 5, from, top + 2);
        painter.drawLine(to, groove.center().y() - 5, to, top + 2);
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
