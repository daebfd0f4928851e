#pragma once

#include <QSlider>

// A horizontal position slider that also shows a selected range of its values (the marked
// part of a file) as a band along its groove, and can hide its thumb.
class TSelectionSlider final : public QSlider {
    Q_OBJECT
public:
    explicit TSelectionSlider(QWidget* parent = nullptr);

    // An empty selection (start == end) shows no band.
    void SetSelection(int start, int end);
    void ClearSelection() { SetSelection(0, 0); }
    int SelectionStart() const { return selStart_; }
    int SelectionEnd() const { return selEnd_; }
    bool HasSelection() const { return selEnd_ > selStart_; }

    void SetThumbVisible(bool visible);
    bool ThumbVisible() const { return thumbVisible_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int PixelOf(int value, const QRect& groove, int handleWidth) const;

    int selStart_ = 0;
    int selEnd_ = 0;
    bool thumbVisible_ = true;
};
