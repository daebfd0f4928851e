#include "WinCover.h"

#include "DialogMessages.h"
#include "Glyphs.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>

TfrmCover::TfrmCover(const std::string& programFolder, const std::string& title,
                     const std::string& version)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      image_(new QLabel(this)), timer_(new QTimer(this)) {
    setObjectName("frmCover");
    image_->setObjectName("imgCover");
    const QString file = QString::fromStdString(programFolder) + "/skin/va4dedorerozo.jpg";
    fromFile_ = picture_.load(file);
    if (!fromFile_) {
        picture_ = BuiltInPicture(title, version);
    }
    image_->setPixmap(picture_);
    const QSize size = picture_.deviceIndependentSize().toSize();
    image_->setGeometry(QRect(QPoint(0, 0), size));
    setFixedSize(size);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    timer_->setObjectName("tmr1");
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &TfrmCover::Tick);
    timer_->start();
}

void TfrmCover::Tick() {
    if (mainWindow_ != nullptr && mainWindow_->isVisible()) {
        timer_->stop();
        close();
    }
}

QPixmap TfrmCover::BuiltInPicture(const std::string& title, const std::string& version) {
    const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
    QPixmap picture(qRound(480 * ratio), qRound(270 * ratio));
    picture.setDevicePixelRatio(ratio);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 480, 270);
    background.setColorAt(0, QColor(0x27, 0x5c, 0xad));
    background.setColorAt(1, QColor(0x0f, 0x2a, 0x55));
    p.fillRect(QRect(0, 0, 480, 270), background);
    // Film perforations along both edges.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 28));
    for (int x = 12; x < 480; x += 26) {
        p.drawRoundedRect(QRectF(x, 10, 14, 9), 2, 2);
        p.drawRoundedRect(QRectF(x, 251, 14, 9), 2, 2);
    }
    p.drawPixmap(40, 70, glyphs::AppIcon(110, ratio));
    p.setPen(Qt::white);
    QFont heading("DejaVu Sans");
    heading.setPixelSize(24);
    heading.setBold(true);
    p.setFont(heading);
    p.drawText(QRect(170, 78, 300, 64), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
               QString::fromStdString(title));
    QFont small("DejaVu Sans");
    small.setPixelSize(14);
    p.setFont(small);
    p.setPen(QColor(0xd8, 0xe6, 0xff));
    p.drawText(QRect(170, 142, 300, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromStdString(version).trimmed());
    p.drawText(QRect(170, 196, 300, 24), Qt::AlignLeft | Qt::AlignVCenter, dlgmsg::SplashLoading);
    return picture;
}
