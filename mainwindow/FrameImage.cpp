// FrameImage: painting the frame picture.
#include "mainwindow/FrameImage.h"

#include <QPainter>

TFrameImage::TFrameImage(QWidget* Parent) : QWidget(Parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(16, 16);
}

void TFrameImage::SetPicture(const QImage& Picture) {
    shown_ = Picture.isNull() ? QImage() : Picture.convertToFormat(QImage::Format_RGB32);
    update();
}

void TFrameImage::paintEvent(QPaintEvent* Event) {
    Q_UNUSED(Event);
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (shown_.isNull())
        return;
    // Stretched to the whole area, as the frame is shown whatever the window's proportions.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(rect(), shown_);
}
