// FrameImage: painting the frame picture.
#include "mainwindow/FrameImage.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

TFrameImage::TFrameImage(QWidget* Parent) : QWidget(Parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(16, 16);
}

void TFrameImage::SetPicture(const QImage& Picture) {
    shown_ = Picture.isNull() ? QImage() : Picture.convertToFormat(QImage::Format_RGB32);
    update();
}

QSize TFrameImage::DisplaySize() const {
    if (shown_.isNull())
        return QSize();
    const int across = shown_.dotsPerMeterX();
    const int down = shown_.dotsPerMeterY();
    if (across <= 0 || down <= 0 || across == down)
        return shown_.size();
    // A wide pixel is one with fewer of them to the metre across than down.
    const double width = static_cast<double>(shown_.width()) * down / across;
    return QSize(std::max(1, static_cast<int>(std::lround(width))), shown_.height());
}

QRect TFrameImage::PictureRect() const {
    const QSize display = DisplaySize();
    if (display.isEmpty())
        return QRect();
    const QSize fitted = display.scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void TFrameImage::paintEvent(QPaintEvent* Event) {
    Q_UNUSED(Event);
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (shown_.isNull())
        return;
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(PictureRect(), shown_);
}
