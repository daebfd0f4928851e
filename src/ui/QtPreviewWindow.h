#pragma once

#include "PreviewWindow.h"

#include <QImage>
#include <QWidget>

#include <memory>

// The floating window that shows a conversion's pictures: stays on top, has a tool-window
// frame, is centred on the screen with a client area the size of the first picture, and can
// be dragged by its picture. Later pictures are drawn at the top-left corner without resizing.
class TQtPreviewWindow final : public QWidget, public IPreviewWindow {
    Q_OBJECT
public:
    TQtPreviewWindow(int width, int height);

    void SetCaption(const std::string& caption) override;
    void Draw(const TBitmap24& picture) override;
    bool Closed() const override { return closed_; }

    const QImage& Picture() const { return picture_; }

    // Windows for the media layer's previewers.
    static TPreviewWindowFactory Factory();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    bool closed_ = false;
};
