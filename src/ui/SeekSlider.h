#pragma once

#include <QSlider>

// A horizontal position slider of a preview: a press on the groove puts the thumb under the
// pointer, so the same press drags it from there (instead of stepping a page).
class TSeekSlider final : public QSlider {
    Q_OBJECT
public:
    explicit TSeekSlider(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
