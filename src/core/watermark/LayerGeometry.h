#pragma once

#include <QPointF>
#include <QRectF>

// Where a drag on a layer of the watermark editor's view started: inside the layer (a move)
// or on one of the eight handles of its selection frame (a resize).
enum class TLayerHandle {
    None,
    Move,
    TopLeft,
    Top,
    TopRight,
    Right,
    BottomRight,
    Bottom,
    BottomLeft,
    Left,
};

// The rectangle (frame pixels) a drag of handle by delta makes of start. A move keeps the
// size. A resize moves the dragged edges; keepCentre (the Ctrl key) keeps start's centre, the
// dragged edges then setting the half width and half height, each at least 2 pixels.
QRectF DragLayerRect(const QRectF& start, TLayerHandle handle, QPointF delta, bool keepCentre);

// Rounds half to even, as the stored positions and sizes of the items are rounded.
int RoundPixel(double value);
