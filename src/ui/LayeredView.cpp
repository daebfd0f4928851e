#include "LayeredView.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include <algorithm>
#include <array>
#include <cmath>

// A picture stretched over a rectangle of the scene; a null picture draws a hatched
// placeholder so that an item whose file went missing can still be found and deleted.
class TPictureItem final : public QGraphicsItem {
public:
    QRectF boundingRect() const override { return rect_; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        if (rect_.isEmpty()) {
            return;
        }
        if (picture_.isNull()) {
            painter->fillRect(rect_, QBrush(QColor(128, 128, 128), Qt::DiagCrossPattern));
            return;
        }
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(rect_, picture_);
    }

    void SetRect(const QRectF& rect) {
        if (rect != rect_) {
            prepareGeometryChange();
            rect_ = rect;
        }
    }
    const QRectF& Rect() const { return rect_; }
    void SetPicture(const QImage& picture) {
        picture_ = picture;
        update();
    }
    const QImage& Picture() const { return picture_; }

private:
    QRectF rect_;
    QImage picture_;
};

namespace {

constexpr QColor CheckerGrey(176, 176, 176);
constexpr QColor HandleFill(255, 255, 255);
constexpr QColor FrameColour(0, 0, 0);

// Handles in the order of their centres (see HandleCentres).
constexpr std::array<TLayerHandle, 8> Handles = {
    TLayerHandle::TopLeft,     TLayerHandle::Top,    TLayerHandle::TopRight,   TLayerHandle::Right,
    TLayerHandle::BottomRight, TLayerHandle::Bottom, TLayerHandle::BottomLeft, TLayerHandle::Left,
};

Qt::CursorShape HandleCursor(TLayerHandle handle) {
    switch (handle) {
    case TLayerHandle::TopLeft:
    case TLayerHandle::BottomRight:
        return Qt::SizeFDiagCursor;
    case TLayerHandle::TopRight:
    case TLayerHandle::BottomLeft:
        return Qt::SizeBDiagCursor;
    case TLayerHandle::Top:
    case TLayerHandle::Bottom:
        return Qt::SizeVerCursor;
    case TLayerHandle::Left:
    case TLayerHandle::Right:
        return Qt::SizeHorCursor;
    case TLayerHandle::Move:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

TLayeredView::TLayeredView(QWidget* parent)
    : QGraphicsView(parent), scene_(new QGraphicsScene(this)), base_(new TPictureItem) {
    setScene(scene_);
    scene_->addItem(base_);
    base_->setZValue(-1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setRenderHint(QPainter::SmoothPixmapTransform);
}

TLayeredView::~TLayeredView() = default;

void TLayeredView::SetFrameSize(QSize size) {
    frameSize_ = size;
    base_->SetRect(QRectF(QPointF(0, 0), QSizeF(size)));
    Fit();
}

void TLayeredView::SetBase(const QImage& picture) {
    base_->SetPicture(picture);
}

const QImage& TLayeredView::Base() const {
    return base_->Picture();
}

void TLayeredView::SetLayers(const std::vector<TLayer>& layers) {
    std::map<int, TPictureItem*> kept;
    qreal z = 0;
    for (const TLayer& layer : layers) {
        TPictureItem* item = nullptr;
        const auto found = layers_.find(layer.Id);
        if (found != layers_.end()) {
            item = found->second;
            layers_.erase(found);
        } else {
            item = new TPictureItem;
            scene_->addItem(item);
        }
        item->SetRect(layer.Rect);
        if (item->Picture().cacheKey() != layer.Picture.cacheKey()) {
            item->SetPicture(layer.Picture);
        }
        item->setOpacity(layer.Opacity / 255.0);
        item->setVisible(layer.Visible);
        item->setZValue(z++);
        kept[layer.Id] = item;
    }
    for (const auto& [id, item] : layers_) {
        delete item; // leaves the scene as it goes
    }
    layers_ = std::move(kept);
    if (layers_.count(selected_) == 0) {
        selected_ = -1;
        dragHandle_ = TLayerHandle::None;
    }
    viewport()->update();
}

void TLayeredView::SetSelected(int id) {
    selected_ = layers_.count(id) != 0 ? id : -1;
    if (selected_ < 0) {
        dragHandle_ = TLayerHandle::None;
    }
    viewport()->update();
}

QPointF TLayeredView::ToFrame(QPointF viewPoint) const {
    return viewportTransform().inverted().map(viewPoint);
}

QPointF TLayeredView::ToView(QPointF framePoint) const {
    return viewportTransform().map(framePoint);
}

QPointF TLayeredView::VisibleCentre() const {
    return ToFrame(QRectF(viewport()->rect()).center());
}

int TLayeredView::LayerAt(QPointF viewPoint) const {
    const QPointF point = ToFrame(viewPoint);
    int found = -1;
    qreal top = -1;
    for (const auto& [id, item] : layers_) {
        if (item->isVisible() && item->Rect().contains(point) && item->zValue() > top) {
            found = id;
            top = item->zValue();
        }
    }
    return found;
}

QRectF TLayeredView::SelectedViewRect() const {
    const auto found = layers_.find(selected_);
    if (found == layers_.end()) {
        return {};
    }
    return viewportTransform().mapRect(found->second->Rect());
}

std::vector<QPointF> TLayeredView::HandleCentres(const QRectF& r) const {
    const QPointF c = r.center();
    return {r.topLeft(),     QPointF(c.x(), r.top()),    r.topRight(),   QPointF(r.right(), c.y()),
            r.bottomRight(), QPointF(c.x(), r.bottom()), r.bottomLeft(), QPointF(r.left(), c.y())};
}

TLayerHandle TLayeredView::HandleAt(QPointF viewPoint) const {
    const QRectF rect = SelectedViewRect();
    if (rect.isNull()) {
        return TLayerHandle::None;
    }
    const std::vector<QPointF> centres = HandleCentres(rect);
    const qreal half = HandleSize / 2.0 + 1;
    for (size_t i = 0; i < centres.size(); ++i) {
        const QPointF d = viewPoint - centres[i];
        if (std::abs(d.x()) <= half && std::abs(d.y()) <= half) {
            return Handles[i];
        }
    }
    return rect.contains(viewPoint) ? TLayerHandle::Move : TLayerHandle::None;
}

std::vector<int> TLayeredView::StackingOrder() const {
    std::vector<std::pair<qreal, int>> byZ;
    for (const auto& [id, item] : layers_) {
        byZ.emplace_back(item->zValue(), id);
    }
    std::sort(byZ.begin(), byZ.end());
    std::vector<int> ids;
    for (const auto& entry : byZ) {
        ids.push_back(entry.second);
    }
    return ids;
}

QRectF TLayeredView::LayerRect(int id) const {
    const auto found = layers_.find(id);
    return found == layers_.end() ? QRectF() : found->second->Rect();
}

bool TLayeredView::LayerVisible(int id) const {
    const auto found = layers_.find(id);
    return found != layers_.end() && found->second->isVisible();
}

qreal TLayeredView::LayerOpacity(int id) const {
    const auto found = layers_.find(id);
    return found == layers_.end() ? 0 : found->second->opacity();
}

void TLayeredView::Fit() {
    const QSizeF view = viewport()->size();
    setSceneRect(QRectF(QPointF(0, 0), QSizeF(frameSize_)));
    if (frameSize_.isEmpty() || view.isEmpty()) {
        resetTransform();
        return;
    }
    const qreal scale =
        std::min(view.width() / frameSize_.width(), view.height() / frameSize_.height());
    setTransform(QTransform::fromScale(scale, scale));
}

void TLayeredView::drawBackground(QPainter* painter, const QRectF&) {
    painter->save();
    painter->resetTransform();
    const QRect area = viewport()->rect();
    painter->fillRect(area, Qt::white);
    for (int y = 0; y < area.height(); y += CheckerSize) {
        for (int x = (y / CheckerSize) % 2 == 0 ? 0 : CheckerSize; x < area.width();
             x += 2 * CheckerSize) {
            painter->fillRect(x, y, CheckerSize, CheckerSize, CheckerGrey);
        }
    }
    painter->restore();
}

void TLayeredView::drawForeground(QPainter* painter, const QRectF&) {
    const QRectF rect = SelectedViewRect();
    if (rect.isNull()) {
        return;
    }
    painter->save();
    painter->resetTransform();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(FrameColour, 1, Qt::DashLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect);
    painter->setPen(QPen(FrameColour, 1));
    painter->setBrush(HandleFill);
    for (const QPointF& centre : HandleCentres(rect)) {
        painter->drawRect(QRectF(centre.x() - HandleSize / 2.0, centre.y() - HandleSize / 2.0,
                                 HandleSize - 1, HandleSize - 1));
    }
    painter->restore();
}

void TLayeredView::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    Fit();
}

void TLayeredView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPointF point = event->position();
    TLayerHandle handle = HandleAt(point);
    if (handle == TLayerHandle::None || handle == TLayerHandle::Move) {
        const int id = LayerAt(point);
        if (id < 0) {
            dragHandle_ = TLayerHandle::None;
            emit emptyClicked();
            return;
        }
        emit layerClicked(id);
        handle = selected_ == id ? TLayerHandle::Move : TLayerHandle::None;
    }
    dragHandle_ = handle;
    dragStart_ = ToFrame(point);
    dragRect_ = LayerRect(selected_);
}

void TLayeredView::mouseMoveEvent(QMouseEvent* event) {
    const QPointF point = event->position();
    if (dragHandle_ != TLayerHandle::None && (event->buttons() & Qt::LeftButton) &&
        selected_ >= 0) {
        const bool keepCentre = (event->modifiers() & Qt::ControlModifier) != 0;
        const QRectF rect =
            DragLayerRect(dragRect_, dragHandle_, ToFrame(point) - dragStart_, keepCentre);
        layers_.at(selected_)->SetRect(rect);
        viewport()->update();
        emit layerDragged(selected_, rect);
    } else {
        UpdateCursor(point);
    }
    emit mouseMoved();
}

void TLayeredView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragHandle_ = TLayerHandle::None;
    }
}

void TLayeredView::UpdateCursor(QPointF viewPoint) {
    viewport()->setCursor(HandleCursor(HandleAt(viewPoint)));
}
