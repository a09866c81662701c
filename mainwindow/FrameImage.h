// FrameImage: TFrameImage, the picture of the current frame, shown as large as its area allows in
// the shape it is meant to have, with nearest-neighbour scaling so that small videos stay crisp.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QWidget>

class TFrameImage : public QWidget {
    Q_OBJECT
public:
    explicit TFrameImage(QWidget* Parent = nullptr);

    // A Format_RGB32 copy of Picture is kept; a null image empties the area. The picture's dots
    // per metre give the shape of its pixels (equal for square ones).
    void SetPicture(const QImage& Picture);
    void Clear() { SetPicture(QImage()); }
    const QImage& Picture() const { return shown_; }

    // The picture's size once its pixels are shown square: wider for wide pixels.
    QSize DisplaySize() const;
    // Where the picture lands in the area: centred, black bars around what it does not fill.
    QRect PictureRect() const;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QImage shown_;
};
