#include "LayerGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double MinimumSize = 1.0;
constexpr double MinimumHalfSize = 2.0;

struct TEdges {
    bool Left = false;
    bool Top = false;
    bool Right = false;
    bool Bottom = false;
};

TEdges DraggedEdges(TLayerHandle handle) {
    switch (handle) {
    case TLayerHandle::TopLeft:
        return {true, true, false, false};
    case TLayerHandle::Top:
        return {false, true, false, false};
    case TLayerHandle::TopRight:
        return {false, true, true, false};
    case TLayerHandle::Right:
        return {false, false, true, false};
    case TLayerHandle::BottomRight:
        return {false, false, true, true};
    case TLayerHandle::Bottom:
        return {false, false, false, true};
    case TLayerHandle::BottomLeft:
        return {true, false, false, true};
    case TLayerHandle::Left:
        return {true, false, false, false};
    default:
        return {};
    }
}

// One axis of a resize: the new low and high edges.
void ResizeAxis(double& low, double& high, double delta, bool lowDragged, bool highDragged,
                bool keepCentre) {
    if (!lowDragged && !highDragged) {
        return;
    }
    if (keepCentre) {
        const double centre = (low + high) / 2;
        const double half = lowDragged ? centre - (low + delta) : (high + delta) - centre;
        const double kept = std::max(half, MinimumHalfSize);
        low = centre - kept;
        high = centre + kept;
        return;
    }
    if (lowDragged) {
        low = std::min(low + delta, high - MinimumSize);
    } else {
        high = std::max(high + delta, low + MinimumSize);
    }
}

} // namespace

QRectF DragLayerRect(const QRectF& start, TLayerHandle handle, QPointF delta, bool keepCentre) {
    if (handle == TLayerHandle::None) {
        return start;
    }
    if (handle == TLayerHandle::Move) {
        return start.translated(delta);
    }
    const TEdges edges = DraggedEdges(handle);
    double left = start.left();
    double right = start.right();
    double top = start.top();
    double bottom = start.bottom();
    ResizeAxis(left, right, delta.x(), edges.Left, edges.Right, keepCentre);
    ResizeAxis(top, bottom, delta.y(), edges.Top, edges.Bottom, keepCentre);
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

int RoundPixel(double value) {
    const double limit = std::numeric_limits<int>::max();
    // The default rounding mode rounds half to even.
    return static_cast<int>(std::nearbyint(std::clamp(value, -limit, limit)));
}
