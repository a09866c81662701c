// FrameImage: TFrameImage, the picture of the current frame, stretched over its area with
// nearest-neighbour scaling so that small videos stay crisp.
#pragma once

#include <QImage>
#include <QWidget>

class TFrameImage : public QWidget {
    Q_OBJECT
public:
    explicit TFrameImage(QWidget* Parent = nullptr);

    // A Format_RGB32 copy of Picture is kept; a null image empties the area.
    void SetPicture(const QImage& Picture);
    void Clear() { SetPicture(QImage()); }
    const QImage& Picture() const { return shown_; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QImage shown_;
};
