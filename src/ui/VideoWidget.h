#pragma once

#include "PictureSink.h"

#include <QColor>
#include <QWidget>

#include <atomic>
#include <memory>
#include <mutex>

// A widget that shows the player's pictures: the player's threads hand it pictures without
// waiting for the window thread; it paints the latest one in its rectangle and the rest black.
// Its surface is its client area in device pixels. Stop the player before destroying it.
class TVideoWidget : public QWidget, public IPictureSink {
public:
    explicit TVideoWidget(QWidget* parent = nullptr);
    ~TVideoWidget() override;

    void SurfaceSize(int& width, int& height) const override;
    bool OpenSurface(int width, int height) override;
    void ShowPicture(std::shared_ptr<const TSinkPicture> picture, TPictureRect rect) override;
    void Redraw() override;
    void Clear() override;
    void SetSurfaceListener(ISurfaceListener* listener) override;
    unsigned Handle() const override;

    // The colour of the surface while it holds no picture (black unless set).
    void SetIdleColour(const QColor& colour);
    QColor IdleColour() const { return idleColour_; }

    // The picture painted next (null when cleared) and where.
    std::shared_ptr<const TSinkPicture> CurrentPicture() const;
    TPictureRect CurrentRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ScheduleUpdate();
    void NoteSurfaceSize();

    mutable std::mutex pictureMutex_;
    std::shared_ptr<const TSinkPicture> picture_;
    TPictureRect rect_;
    std::atomic<int> surfaceWidth_{0};
    std::atomic<int> surfaceHeight_{0};
    std::atomic<bool> updatePending_{false};
    QColor idleColour_ = Qt::black; // window thread only
    std::mutex listenerMutex_;
    ISurfaceListener* listener_ = nullptr;
};
