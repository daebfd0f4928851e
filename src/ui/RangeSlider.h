#pragma once

#include <QWidget>

// A slider with two thumbs over 0..Maximum that keeps the lower thumb at least one step below
// the upper one (when the range has room for it). The user drags either thumb, or moves the
// one that has the focus with the arrow keys (Tab-free: Shift picks the upper thumb).
class TRangeSlider final : public QWidget {
    Q_OBJECT
public:
    explicit TRangeSlider(QWidget* parent = nullptr);

    int Maximum() const { return maximum_; }
    void SetMaximum(int maximum);
    int Lower() const { return lower_; }
    int Upper() const { return upper_; }
    // Sets both thumbs without telling anyone; the rule above still holds.
    void SetRange(int lower, int upper);

    // The thumbs' centres in widget pixels, for tests and painting.
    int ThumbX(int value) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The user moved a thumb.
    void rangeMoved(int lower, int upper);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class TThumb { None, Lower, Upper };

    int ValueAt(int x) const;
    void MoveThumb(TThumb thumb, int value);
    QRect ThumbRect(int value) const;

    int maximum_ = 0;
    int lower_ = 0;
    int upper_ = 0;
    TThumb dragging_ = TThumb::None;
};
