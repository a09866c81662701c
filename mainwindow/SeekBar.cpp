// SeekBar: the seek bar's painting, keys and mouse, and the bar/frame mapping.
#include "mainwindow/SeekBar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

int32_t BarToFrame(int Position, int32_t FrameCount, int Maximum) {
    if (Maximum == 0)
        return 0;
    const double frame = static_cast<double>(int64_t{FrameCount} - 1) * Position / Maximum;
    // nearbyint rounds halves to even in the default rounding mode.
    return static_cast<int32_t>(std::nearbyint(frame));
}

int FrameToBar(int32_t Frame, int32_t FrameCount, int Maximum) {
    if (FrameCount <= 1)
        return 0;
    const double step = static_cast<double>(Maximum) / static_cast<double>(int64_t{FrameCount} - 1);
    return static_cast<int>(std::nearbyint(step * Frame));
}

TSeekBar::TSeekBar(QWidget* Parent) : QSlider(Qt::Horizontal, Parent) {
    setSingleStep(1);
    setPageStep(2);
    setTickPosition(QSlider::TicksBelow);
    setFocusPolicy(Qt::StrongFocus);
    // Room above the groove for the pointers of the marked range.
    setMinimumHeight(QSlider::sizeHint().height() + 8);
}

void TSeekBar::SetSelStart(int Position) {
    selectionStart_ = Position;
    update();
}

void TSeekBar::SetSelEnd(int Position) {
    selectionEnd_ = Position;
    update();
}

void TSeekBar::keyPressEvent(QKeyEvent* Event) {
    bool handled = false;
    if (OnKeyDown)
        OnKeyDown(Event, handled);
    if (handled)
        Event->accept();
    else
        QSlider::keyPressEvent(Event);
}

void TSeekBar::keyReleaseEvent(QKeyEvent* Event) {
    if (OnKeyUp)
        OnKeyUp(Event);
    QSlider::keyReleaseEvent(Event);
}

void TSeekBar::mousePressEvent(QMouseEvent* Event) {
    // A click beside the handle jumps there: with 10000 positions, stepping a page at a time
    // towards the click would hardly move.
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    if (Event->button() == Qt::LeftButton && isEnabled() && maximum() > minimum() &&
        !handle.contains(Event->position().toPoint())) {
        const QRect groove =
            style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
        const int span = groove.width() - handle.width();
        const int x = Event->position().toPoint().x() - groove.x() - handle.width() / 2;
        setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), x, span));
    }
    QSlider::mousePressEvent(Event);
}

int TSeekBar::PixelOf(int Value) const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    if (maximum() <= minimum())
        return groove.x() + handle.width() / 2;
    return groove.x() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), Value, span);
}

void TSeekBar::paintEvent(QPaintEvent* Event) {
    Q_UNUSED(Event);
    QPainter p(this);
    QStyleOptionSlider opt;
    initStyleOption(&opt);

    opt.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &opt, &p, this);

    if (selectionStart_ != selectionEnd_ && maximum() > minimum()) {
        const QRect groove =
            style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
        const int x1 = PixelOf(std::min(selectionStart_, selectionEnd_));
        const int x2 = PixelOf(std::max(selectionStart_, selectionEnd_));
        const int cy = groove.center().y();
        const QColor band = isEnabled() ? palette().color(QPalette::Highlight)
                                        : palette().color(QPalette::Disabled, QPalette::Mid);
        p.fillRect(QRect(x1, cy - 2, x2 - x1 + 1, 5), band);
        // Small pointers above the groove mark the two ends, as on the other platform's bar.
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(palette().color(QPalette::WindowText));
        const int top = groove.top() - 6;
        for (const int x : {x1, x2}) {
            QPainterPath mark;
            mark.moveTo(x - 3.5, top);
            mark.lineTo(x + 3.5, top);
            mark.lineTo(x, top + 4.5);
            mark.closeSubpath();
            p.drawPath(mark);
        }
        p.setRenderHint(QPainter::Antialiasing, false);
    }

    opt.subControls = QStyle::SC_SliderHandle;
    if (isSliderDown()) {
        opt.activeSubControls = QStyle::SC_SliderHandle;
        opt.state |= QStyle::State_Sunken;
    }
    style()->drawComplexControl(QStyle::CC_Slider, &opt, &p, this);
}

void TSeekBar::wheelEvent(QWheelEvent* Event) {
    wheelRest_ += Event->angleDelta().y() + Event->angleDelta().x();
    const int notches = wheelRest_ / 120;
    wheelRest_ -= notches * 120;
    // Up and right move toward the end, as the arrows do.
    if (notches != 0)
        setValue(value() + (invertedControls() ? -notches : notches));
    Event->accept();
}
