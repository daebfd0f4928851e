#pragma once

#include <QWidget>

// A rubber-band rectangle lying over a picture: the user moves it by dragging its inside and
// resizes it by dragging its edges and corners. It keeps no rules of its own: every drag step
// is offered as a proposed rectangle (in the parent's coordinates) with the edges it moves,
// and whoever listens sets the bounds it accepts with setGeometry.
class TRectTracker final : public QWidget {
    Q_OBJECT
public:
    // Edges a drag moves; all four for a move (the values of TDragEdges).
    enum Edge : unsigned { Left = 1, Top = 2, Right = 4, Bottom = 8, Move = 15 };
    // Resizing stops at this size; the handles need room.
    static constexpr int MinimumSize = 6;
    // How near an edge the pointer grabs it.
    static constexpr int GripWidth = 5;

    explicit TRectTracker(QWidget* parent = nullptr);

    // The edges a press at this point (in the tracker's coordinates) would drag.
    unsigned EdgesAt(const QPoint& point) const;
    bool Dragging() const { return dragEdges_ != 0; }

signals:
    void mouseDown();
    void dragged(const QRect& proposed, unsigned edges);
    void mouseUp();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect Proposed(const QPoint& globalPosition) const;
    void UpdateCursor(unsigned edges);

    unsigned dragEdges_ = 0;
    QPoint pressGlobal_;
    QRect pressGeometry_;
};
