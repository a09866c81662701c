// SeekBar: the seek bar's view, painting, keys and mouse.
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
#include <optional>
#include <utility>

TSeekBar::TSeekBar(QWidget* Parent) : QSlider(Qt::Horizontal, Parent) {
    // Positions are frames: the arrows step one, the page keys 50.
    setSingleStep(1);
    setPageStep(50);
    setTickPosition(QSlider::TicksBelow);
    setFocusPolicy(Qt::StrongFocus);
    // Room above the groove for the pointers of the marked range.
    setMinimumHeight(QSlider::sizeHint().height() + 8);
}

void TSeekBar::SetFrameCount(int32_t Count) {
    frameCount_ = std::max(Count, 0);
    keys_.clear();
    selectionStart_ = selectionEnd_ = 0;
    askedStart_ = -1;
    setRange(0, std::max(frameCount_ - 1, 0));
    setValue(0);
    update();
}

void TSeekBar::SetKeyFrames(std::vector<int32_t> Keys) {
    keys_ = std::move(Keys);
    update();
}

void TSeekBar::SetSelStart(int Frame) {
    selectionStart_ = Frame;
    update();
}

void TSeekBar::SetSelEnd(int Frame) {
    selectionEnd_ = Frame;
    update();
}

void TSeekBar::SetAskedStart(int Frame) {
    askedStart_ = Frame;
    update();
}

void TSeekBar::SetView(int64_t First, int64_t Last, int Keep) {
    const int64_t top = std::max<int64_t>(frameCount_ - 1, 0);
    const int64_t width = std::clamp<int64_t>(Last - First, std::min<int64_t>(kMinView, top), top);
    Keep = static_cast<int>(std::clamp<int64_t>(Keep, 0, top));
    // Keep stays in view: the view moves rather than the frame.
    First = std::clamp<int64_t>(First, int64_t{Keep} - width, Keep);
    First = std::clamp<int64_t>(First, 0, top - width);
    // setRange alone would clamp the value into the view and report a frame nobody asked for.
    const int before = value();
    blockSignals(true);
    setRange(static_cast<int>(First), static_cast<int>(First + width));
    setValue(Keep);
    blockSignals(false);
    if (value() != before)
        emit valueChanged(value());
    update();
}

void TSeekBar::ZoomAround(int32_t Frame, double Factor) {
    const double width = std::max(1.0, static_cast<double>(maximum() - minimum()));
    const double wanted = width * Factor;
    // The frame keeps its place: the same share of the view lies before it.
    const double share = std::clamp((Frame - minimum()) / width, 0.0, 1.0);
    const double first = Frame - share * wanted;
    SetView(static_cast<int64_t>(std::llround(first)),
            static_cast<int64_t>(std::llround(first + std::min(wanted, 4e9))), value());
}

void TSeekBar::GoTo(int32_t Frame) {
    Frame = std::clamp(Frame, 0, std::max(frameCount_ - 1, 0));
    if (Frame >= minimum() && Frame <= maximum()) {
        setValue(Frame);
        return;
    }
    // Out of view: the view moves along by the least that shows it.
    const int64_t width = maximum() - minimum();
    const int64_t first = Frame < minimum() ? Frame : int64_t{Frame} - width;
    SetView(first, first + width, Frame);
}

void TSeekBar::keyPressEvent(QKeyEvent* Event) {
    bool handled = false;
    if (OnKeyDown)
        OnKeyDown(Event, handled);
    if (handled) {
        Event->accept();
        return;
    }
    // The steps go past the edges of a zoomed view, which moves along.
    const int64_t at = value();
    int64_t to = -1;
    switch (Event->key()) {
    case Qt::Key_Left:
        to = at - singleStep();
        break;
    case Qt::Key_Right:
        to = at + singleStep();
        break;
    case Qt::Key_PageUp:
        to = at + pageStep();
        break;
    case Qt::Key_PageDown:
        to = at - pageStep();
        break;
    case Qt::Key_Home:
        to = 0;
        break;
    case Qt::Key_End:
        to = frameCount_ - 1;
        break;
    default:
        QSlider::keyPressEvent(Event);
        return;
    }
    if (Event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier)) {
        QSlider::keyPressEvent(Event);
        return;
    }
    GoTo(static_cast<int32_t>(std::clamp<int64_t>(to, 0, std::max(frameCount_ - 1, 0))));
    Event->accept();
}

void TSeekBar::keyReleaseEvent(QKeyEvent* Event) {
    if (OnKeyUp)
        OnKeyUp(Event);
    QSlider::keyReleaseEvent(Event);
}

void TSeekBar::mousePressEvent(QMouseEvent* Event) {
    // A click beside the handle jumps there: on a long file, stepping a page at a time towards
    // the click would hardly move.
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    if (Event->button() == Qt::LeftButton && isEnabled() && maximum() > minimum() &&
        !handle.contains(Event->position().toPoint()))
        setValue(FrameAtPixel(Event->position().toPoint().x()));
    QSlider::mousePressEvent(Event);
}

TSeekBar::TTrack TSeekBar::Track() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    return {groove.x() + handle.width() / 2, groove.width() - handle.width()};
}

int TSeekBar::PixelOf(int Value) const {
    const TTrack track = Track();
    if (maximum() <= minimum())
        return track.Origin;
    return track.Origin + QStyle::sliderPositionFromValue(minimum(), maximum(), Value, track.Span);
}

void TSeekBar::paintEvent(QPaintEvent* Event) {
    Q_UNUSED(Event);
    QPainter p(this);
    QStyleOptionSlider opt;
    initStyleOption(&opt);

    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    // Styles that fill the groove up to the handle would hide the marked range: the groove is
    // drawn as if the handle stood at the start.
    QStyleOptionSlider bare = opt;
    bare.subControls = QStyle::SC_SliderGroove;
    bare.sliderPosition = bare.upsideDown ? bare.maximum : bare.minimum;
    style()->drawComplexControl(QStyle::CC_Slider, &bare, &p, this);
    PaintKeyFrames(p, std::min(handle.bottom() + 2, height() - 5));
    PaintSelection(p, groove);

    opt.subControls = QStyle::SC_SliderHandle;
    if (isSliderDown()) {
        opt.activeSubControls = QStyle::SC_SliderHandle;
        opt.state |= QStyle::State_Sunken;
    }
    style()->drawComplexControl(QStyle::CC_Slider, &opt, &p, this);
}

void TSeekBar::PaintKeyFrames(QPainter& Painter, int Top) const {
    // A tick per key frame in the view; where they would crowd closer than this, one stands
    // for several, and zooming in shows them apart.
    constexpr int kMinGap = 3;
    const auto from = std::lower_bound(keys_.begin(), keys_.end(), minimum());
    const auto to = std::upper_bound(keys_.begin(), keys_.end(), maximum());
    QColor tick =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
    tick.setAlpha(160);
    Painter.setPen(QPen(tick, 1));
    std::optional<int> last;
    for (auto it = from; it != to; ++it) {
        const int x = PixelOf(*it);
        if (last && x - *last < kMinGap)
            continue;
        Painter.drawLine(x, Top, x, Top + 4);
        last = x;
    }
}

void TSeekBar::PaintSelection(QPainter& Painter, const QRect& Groove) const {
    if (selectionStart_ == selectionEnd_ || maximum() <= minimum())
        return;
    const int lo = std::min(selectionStart_, selectionEnd_);
    const int hi = std::max(selectionStart_, selectionEnd_);
    if (hi < minimum() || lo > maximum())
        return;
    const int x1 = PixelOf(std::max(lo, minimum()));
    const int x2 = PixelOf(std::min(hi, maximum()));
    const int cy = Groove.center().y();
    const QColor band = isEnabled() ? palette().color(QPalette::Highlight)
                                    : palette().color(QPalette::Disabled, QPalette::Mid);
    Painter.fillRect(QRect(x1, cy - 2, x2 - x1 + 1, 5), band);
    // Small pointers above the groove mark the two ends, as on the other platform's bar; a
    // hollow one where the beginning was marked when the cut starts at an earlier key frame.
    Painter.setRenderHint(QPainter::Antialiasing);
    const int top = Groove.top() - 6;
    const auto pointer = [&](int x, bool filled) {
        QPainterPath mark;
        mark.moveTo(x - 3.5, top);
        mark.lineTo(x + 3.5, top);
        mark.lineTo(x, top + 4.5);
        mark.closeSubpath();
        Painter.setPen(filled ? Qt::NoPen : QPen(palette().color(QPalette::WindowText), 1));
        Painter.setBrush(filled ? palette().color(QPalette::WindowText) : Qt::transparent);
        Painter.drawPath(mark);
    };
    for (const int end : {lo, hi})
        if (end >= minimum() && end <= maximum())
            pointer(PixelOf(end), true);
    if (askedStart_ >= 0 && askedStart_ != selectionStart_ && askedStart_ >= minimum() &&
        askedStart_ <= maximum())
        pointer(PixelOf(askedStart_), false);
    Painter.setRenderHint(QPainter::Antialiasing, false);
}

void TSeekBar::wheelEvent(QWheelEvent* Event) {
    wheelRest_ += Event->angleDelta().y() + Event->angleDelta().x();
    const int notches = wheelRest_ / 120;
    wheelRest_ -= notches * 120;
    Event->accept();
    if (notches == 0)
        return;
    if (Event->modifiers() & Qt::ControlModifier) {
        // Up zooms in around the frame under the mouse, down out.
        ZoomAround(FrameAtPixel(static_cast<int>(Event->position().x())), std::pow(0.5, notches));
        return;
    }
    // Up and right move toward the end, as the arrows do.
    GoTo(static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{value()} + notches, 0, std::max(frameCount_ - 1, 0))));
}

int TSeekBar::FrameAtPixel(int X) const {
    const TTrack track = Track();
    return QStyle::sliderValueFromPosition(minimum(), maximum(), X - track.Origin, track.Span);
}
