#pragma once

#include <QColor>
#include <QWidget>

class TBitmap24;

// A picture area of a fixed design size: a background colour with a 24-bit picture drawn over
// it, scaled to fit with its aspect ratio kept and centred. The picture is not copied: its
// owner keeps it alive and calls update() when it changed.
class TFittedPictureView final : public QWidget {
    Q_OBJECT
public:
    TFittedPictureView(QSize designSize, QColor background, QWidget* parent = nullptr);

    // Null or an empty picture shows the background only.
    void SetPicture(const TBitmap24* picture);
    QColor Background() const { return background_; }
    QSize sizeHint() const override { return designSize_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize designSize_;
    QColor background_;
    const TBitmap24* picture_ = nullptr;
};
