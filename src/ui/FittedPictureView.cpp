#include "FittedPictureView.h"

#include "Bitmap24.h"
#include "PictureFit.h"

#include <QImage>
#include <QPainter>

TFittedPictureView::TFittedPictureView(QSize designSize, QColor background, QWidget* parent)
    : QWidget(parent), designSize_(designSize), background_(background) {
    setFixedSize(designSize_);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TFittedPictureView::SetPicture(const TBitmap24* picture) {
    picture_ = picture;
    update();
}

void TFittedPictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), background_);
    if (picture_ == nullptr || picture_->Empty()) {
        return;
    }
    const TFitRect fit =
        FitPicture(picture_->Width(), picture_->Height(), {0, 0, width(), height()});
    if (fit.Empty()) {
        return;
    }
    // Wraps the rows without copying; drawn at the screen's own resolution.
    const QImage image(picture_->Bits(), picture_->Width(), picture_->Height(), picture_->Stride(),
                       QImage::Format_BGR888);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(fit.Left, fit.Top, fit.Width, fit.Height), image);
}
