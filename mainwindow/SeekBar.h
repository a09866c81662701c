// SeekBar: TSeekBar, the main window's seek bar (a slider that draws the selection range and
// hands its keys to the window first), and the mapping between bar positions and frames.
#pragma once

#include <QSlider>

#include <cstdint>
#include <functional>

class QKeyEvent;

// Bar position to frame: the nearest integer to (FrameCount - 1) x Position / Maximum, halves
// to even. 0 when Maximum is 0.
int32_t BarToFrame(int Position, int32_t FrameCount, int Maximum);
// Frame to bar position: the nearest integer to Maximum / (FrameCount - 1) x Frame, halves to
// even. Meaningless for a single frame, where it answers 0.
int FrameToBar(int32_t Frame, int32_t FrameCount, int Maximum);

class TSeekBar : public QSlider {
    Q_OBJECT
public:
    explicit TSeekBar(QWidget* Parent = nullptr);

    // The selection, in bar positions; drawn from the lower to the higher of the two.
    int SelStart() const { return selectionStart_; }
    int SelEnd() const { return selectionEnd_; }
    void SetSelStart(int Position);
    void SetSelEnd(int Position);

    // Key presses reach the window first: a handler that sets Handled keeps the bar from moving.
    std::function<void(QKeyEvent* Event, bool& Handled)> OnKeyDown;
    std::function<void(QKeyEvent* Event)> OnKeyUp;

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    // One frame a notch, whatever the desktop's scroll step.
    void wheelEvent(QWheelEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;

private:
    int selectionStart_ = 0;
    int selectionEnd_ = 0;
    int wheelRest_ = 0; // eighths of a degree not yet a whole notch

    int PixelOf(int Value) const;
};
