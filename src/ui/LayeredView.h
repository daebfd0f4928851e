#pragma once

#include "LayerGeometry.h"

#include <QGraphicsView>
#include <QImage>

#include <map>
#include <vector>

class QGraphicsScene;
class TPictureItem;

// A picture with layers over it, for the watermark editor. The scene is the frame in its own
// pixels: the base picture fills it, fitted into the view with its aspect kept and centred,
// with a checkerboard around it. Layers are pictures stretched over rectangles of frame
// pixels, blended with their opacity, stacked in the order given. One layer may be selected:
// a frame with handles surrounds it, which moves it (drag inside) and resizes it (drag a
// handle; with Ctrl the centre stays). The view tells what the mouse did; the owner decides.
class TLayeredView final : public QGraphicsView {
    Q_OBJECT
public:
    static constexpr int CheckerSize = 13;
    static constexpr int HandleSize = 9;

    struct TLayer {
        int Id = 0;
        QRectF Rect;
        int Opacity = 255;
        QImage Picture; // null: a hatched placeholder
        bool Visible = true;
    };

    explicit TLayeredView(QWidget* parent = nullptr);
    ~TLayeredView() override;

    void SetFrameSize(QSize size);
    QSize FrameSize() const { return frameSize_; }
    void SetBase(const QImage& picture);
    const QImage& Base() const;
    // The layers bottom to top; layers not named any more go away.
    void SetLayers(const std::vector<TLayer>& layers);
    // -1: none.
    void SetSelected(int id);
    int Selected() const { return selected_; }

    // The frame point under a point of the viewport, and back.
    QPointF ToFrame(QPointF viewPoint) const;
    QPointF ToView(QPointF framePoint) const;
    // The frame point at the centre of the visible area.
    QPointF VisibleCentre() const;
    // The topmost visible layer under a viewport point; -1 when none.
    int LayerAt(QPointF viewPoint) const;
    // The selected layer's handle under a viewport point (Move inside it).
    TLayerHandle HandleAt(QPointF viewPoint) const;
    // The layers' ids bottom to top, as drawn.
    std::vector<int> StackingOrder() const;
    QRectF LayerRect(int id) const;
    bool LayerVisible(int id) const;
    qreal LayerOpacity(int id) const;

signals:
    void layerClicked(int id);
    void emptyClicked();
    // A drag moved or resized the selected layer.
    void layerDragged(int id, const QRectF& rect);
    void mouseMoved();

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Fit();
    QRectF SelectedViewRect() const;
    std::vector<QPointF> HandleCentres(const QRectF& rect) const;
    void UpdateCursor(QPointF viewPoint);

    QGraphicsScene* scene_;
    TPictureItem* base_;
    std::map<int, TPictureItem*> layers_;
    QSize frameSize_;
    int selected_ = -1;

    // The drag under way.
    TLayerHandle dragHandle_ = TLayerHandle::None;
    QPointF dragStart_;
    QRectF dragRect_;
};
