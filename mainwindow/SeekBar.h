// SeekBar: TSeekBar, the main window's seek bar - a slider whose positions are frame numbers,
// that draws the key frames and the marked range, zooms in on part of the file and hands its
// keys to the window first.
#pragma once

#include <QSlider>

#include <cstdint>
#include <functional>
#include <vector>

class QKeyEvent;

class TSeekBar : public QSlider {
    Q_OBJECT
public:
    explicit TSeekBar(QWidget* Parent = nullptr);

    // A file of Count frames (0 for none): the view shows all of them, frame 0 selected.
    void SetFrameCount(int32_t Count);
    int32_t FrameCount() const { return frameCount_; }
    // Drawn as ticks below the groove, merged where they would crowd.
    void SetKeyFrames(std::vector<int32_t> Keys);
    const std::vector<int32_t>& KeyFrames() const { return keys_; }

    // The marked range in frames, drawn from the lower to the higher; AskedStart is where the
    // user marked the beginning when the cut starts earlier (at a key frame), -1 otherwise.
    int SelStart() const { return selectionStart_; }
    int SelEnd() const { return selectionEnd_; }
    void SetSelStart(int Frame);
    void SetSelEnd(int Frame);
    void SetAskedStart(int Frame);
    int AskedStart() const { return askedStart_; }

    // The part of the file the bar shows is minimum()..maximum(). Zooming keeps Frame where it
    // is on the bar as far as the current frame stays in view; the view never gets narrower
    // than kMinView frames or wider than the file.
    static constexpr int32_t kMinView = 20;
    void ZoomAround(int32_t Frame, double Factor);
    void ZoomOut() { ZoomAround(value(), 1e9); }
    bool Zoomed() const { return minimum() > 0 || maximum() < frameCount_ - 1; }
    // Shows Frame, moving the view (keeping its width) when Frame lies outside it.
    void GoTo(int32_t Frame);
    // Where Frame lies on the bar, in pixels.
    int PixelOf(int Frame) const;

    // Key presses reach the window first: a handler that sets Handled keeps the bar from moving.
    std::function<void(QKeyEvent* Event, bool& Handled)> OnKeyDown;
    std::function<void(QKeyEvent* Event)> OnKeyUp;

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    // One frame a notch, whatever the desktop's scroll step; with Ctrl it zooms.
    void wheelEvent(QWheelEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;

private:
    int32_t frameCount_ = 0;
    std::vector<int32_t> keys_;
    int selectionStart_ = 0;
    int selectionEnd_ = 0;
    int askedStart_ = -1;
    int wheelRest_ = 0; // eighths of a degree not yet a whole notch

    // Where the handle's centre can go: from Origin, Span pixels.
    struct TTrack {
        int Origin;
        int Span;
    };
    TTrack Track() const;
    int FrameAtPixel(int X) const;
    // Shows First..Last, or as near as holds Keep, with Keep as the value.
    void SetView(int64_t First, int64_t Last, int Keep);
    // Ticks from Top down, below the handle.
    void PaintKeyFrames(QPainter& Painter, int Top) const;
    void PaintSelection(QPainter& Painter, const QRect& Groove) const;
};
