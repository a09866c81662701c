// Frame navigation in the main window: every command from the first, a middle and the last
// frame, the modifier keys on the seek bar with their hints, the debounce, and files with more
// frames than the bar has positions.
#include "engine/jobs/U_AVIExtractor.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/U_MainDlg.h"
#include "tests/common/ProbeFacts.h"
#include "tests/common/TestMedia.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using mwtest::MainWindowTest;

// Where a command leads from frame From, by the key frames ffprobe reports.
struct TModel {
    int32_t n = 0;
    std::vector<int32_t> keys;

    int32_t Clamp(int64_t f) const {
        return static_cast<int32_t>(std::clamp<int64_t>(f, 0, n - 1));
    }
    int32_t NextKey(int32_t from) const {
        const auto it = std::upper_bound(keys.begin(), keys.end(), from);
        return it == keys.end() ? from : *it;
    }
    int32_t PreviousKey(int32_t from) const {
        const auto it = std::lower_bound(keys.begin(), keys.end(), from);
        return it == keys.begin() ? 0 : *(it - 1);
    }
};

class MainDlgNavigation : public MainWindowTest {
protected:
    // One key event, exactly as given (Qt Test adds events for the modifiers).
    void SendKey(QEvent::Type Type, int Key, Qt::KeyboardModifiers Modifiers) {
        QKeyEvent event(Type, Key, Modifiers);
        QApplication::sendEvent(dlg->bar, &event);
    }
    void Load(const samplefiles::Sample& Sample) {
        LoadAndWait(Sample.path);
        model.n = dlg->Extractor->FrameCount();
        model.keys = testmedia::ProbeKeyFrames(Sample.path);
        ASSERT_GT(model.n, 60);
        ASSERT_GE(model.keys.size(), 3u);
    }
    // CurrentFrame, the bar and the time panel all say Frame.
    void ExpectAt(int32_t Frame) {
        EXPECT_EQ(dlg->CurrentFrame, Frame);
        EXPECT_EQ(dlg->bar->value(), FrameToBar(Frame, model.n, kBarMaximum));
        EXPECT_EQ(dlg->StatusPanel(2), FrameTimeText(Frame, dlg->Extractor->FrameDuration()));
    }
    TModel model;
};

TEST_F(MainDlgNavigation, EveryCommandFromFirstMiddleAndLastFrame) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    Load(sample);
    const int32_t middle = model.keys[1] + 3; // between two key frames
    struct Command {
        QAction* action;
        std::function<int32_t(int32_t)> to;
    };
    const std::vector<Command> commands = {
        {dlg->Beginning1, [](int32_t) { return 0; }},
        {dlg->End1, [&](int32_t) { return model.n - 1; }},
        {dlg->NextFrame1, [&](int32_t f) { return model.Clamp(f + 1); }},
        {dlg->PreviousFrame1, [&](int32_t f) { return model.Clamp(f - 1); }},
        {dlg->N50FramesForward1, [&](int32_t f) { return model.Clamp(f + 50); }},
        {dlg->N50FramesBackward1, [&](int32_t f) { return model.Clamp(f - 50); }},
        {dlg->NextKeyFrame1, [&](int32_t f) { return model.NextKey(f); }},
        {dlg->PreviousKeyFrame1, [&](int32_t f) { return model.PreviousKey(f); }},
    };
    for (const int32_t from : {0, middle, model.n - 1, model.keys.back()}) {
        for (const Command& c : commands) {
            SCOPED_TRACE(c.action->objectName().toStdString() + " from " + std::to_string(from));
            dlg->GotoFrame(from, false);
            ExpectAt(from);
            c.action->trigger();
            ExpectAt(c.to(from));
        }
    }
    // Twenty frames in, fifty back is the first frame.
    dlg->GotoFrame(20, false);
    dlg->N50FramesBackward1->trigger();
    ExpectAt(0);
    // Past either end, GotoFrame clamps.
    dlg->GotoFrame(model.n + 100, false);
    ExpectAt(model.n - 1);
    dlg->GotoFrame(-5, false);
    ExpectAt(0);
}

TEST_F(MainDlgNavigation, ModifierKeysOnTheBarStepAndShowTheirHint) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    Load(sample);
    const int32_t middle = model.keys[1] + 3;
    struct Key {
        Qt::KeyboardModifier modifier;
        Qt::Key key;
        const char* hint;
        std::function<int32_t(int32_t)> to;
    };
    const std::vector<Key> keys = {
        {Qt::ShiftModifier, Qt::Key_Right, "Key", [&](int32_t f) { return model.NextKey(f); }},
        {Qt::ShiftModifier, Qt::Key_Left, "Key", [&](int32_t f) { return model.PreviousKey(f); }},
        {Qt::AltModifier, Qt::Key_Right, "x50", [&](int32_t f) { return model.Clamp(f + 50); }},
        {Qt::AltModifier, Qt::Key_Left, "x50", [&](int32_t f) { return model.Clamp(f - 50); }},
        {Qt::ControlModifier, Qt::Key_Right, "Begin/End", [&](int32_t) { return model.n - 1; }},
        {Qt::ControlModifier, Qt::Key_Left, "Begin/End", [](int32_t) { return 0; }},
    };
    for (const int32_t from : {0, middle, model.n - 1}) {
        for (const Key& k : keys) {
            SCOPED_TRACE(std::string(k.hint) + " from " + std::to_string(from));
            dlg->GotoFrame(from, false);
            SendKey(QEvent::KeyPress, k.key, k.modifier);
            EXPECT_EQ(dlg->StatusPanel(3), QString::fromLatin1(k.hint));
            ExpectAt(k.to(from));
            SendKey(QEvent::KeyRelease, k.key, k.modifier);
            EXPECT_EQ(dlg->StatusPanel(3), QString::fromLatin1(k.hint)); // still held
        }
    }

    // A modifier alone shows its hint, whether or not the platform reports it held yet.
    SendKey(QEvent::KeyPress, Qt::Key_Alt, Qt::NoModifier);
    EXPECT_EQ(dlg->StatusPanel(3), QStringLiteral("x50"));
    SendKey(QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_EQ(dlg->StatusPanel(3), QString());
    // Releasing Alt while Shift and Ctrl stay held: the last of them wins.
    SendKey(QEvent::KeyRelease, Qt::Key_Alt,
            Qt::AltModifier | Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(dlg->StatusPanel(3), QStringLiteral("Begin/End"));
    SendKey(QEvent::KeyRelease, Qt::Key_Control, Qt::ShiftModifier);
    EXPECT_EQ(dlg->StatusPanel(3), QStringLiteral("Key"));

    // Shift and Ctrl together: the bar moves one position by itself, no new hint on the way down.
    dlg->GotoFrame(middle, false);
    SendKey(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    const int position = dlg->bar->value();
    SendKey(QEvent::KeyPress, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(dlg->bar->value(), position + 1);
    EXPECT_EQ(dlg->StatusPanel(3), QStringLiteral("x50"));
    EXPECT_EQ(dlg->CurrentFrame, BarToFrame(position + 1, model.n, kBarMaximum));
    // And the real keyboard through Qt Test, which presses and releases the modifiers itself.
    dlg->GotoFrame(0, false);
    QTest::keyClick(dlg->bar, Qt::Key_Right, Qt::ControlModifier);
    ExpectAt(model.n - 1);
    EXPECT_EQ(dlg->StatusPanel(3), QString());

    // Without modifiers the bar steps itself: 1 position for arrows, 2 for pages.
    dlg->GotoFrame(middle, false);
    const int at = dlg->bar->value();
    QTest::keyClick(dlg->bar, Qt::Key_Right);
    EXPECT_EQ(dlg->bar->value(), at + 1);
    QTest::keyClick(dlg->bar, Qt::Key_PageUp);
    EXPECT_EQ(dlg->bar->value(), at + 3);
    QTest::keyClick(dlg->bar, Qt::Key_PageDown);
    QTest::keyClick(dlg->bar, Qt::Key_Left);
    EXPECT_EQ(dlg->bar->value(), at);
}

TEST_F(MainDlgNavigation, PreviewWaitsUntilTheBarStandsStill) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    Load(sample);
    ForgetGrabbed();

    // A drag: many positions before the timer's first tick; no decode is asked for meanwhile.
    for (int p = 100; p <= 5000; p += 100)
        dlg->bar->setValue(p);
    const int32_t under = BarToFrame(5000, model.n, kBarMaximum);
    EXPECT_EQ(dlg->CurrentFrame, under);
    EXPECT_TRUE(dlg->Tmr->isActive());
    EXPECT_EQ(dlg->PendingFrame, 0);
    // The first tick notes the frame, the second (the bar unchanged) asks for it.
    dlg->Tmr->stop();
    dlg->TmrTimer();
    EXPECT_EQ(dlg->PendingFrame, under);
    EXPECT_TRUE(dlg->bar->toolTip().startsWith(QStringLiteral("Frame : 1 / ")));
    dlg->Tmr->start();
    dlg->TmrTimer();
    EXPECT_FALSE(dlg->Tmr->isActive());
    EXPECT_EQ(dlg->bar->toolTip(),
              PreviewHintText(under, model.n, dlg->Extractor->FrameDuration()));
    ASSERT_TRUE(WaitForPreview());
    EXPECT_EQ(Grabbed(), std::vector<int32_t>{under});

    // Left to its timer, a change is previewed once.
    ForgetGrabbed();
    shownFrame = -1;
    dlg->bar->setValue(9000);
    ASSERT_TRUE(WaitForPreview());
    EXPECT_EQ(Grabbed(), std::vector<int32_t>{BarToFrame(9000, model.n, kBarMaximum)});
}

TEST_F(MainDlgNavigation, MoreFramesThanBarPositions) {
    SAMPLE_OR_SKIP(sample, mwtest::ManyFramesAvi());
    LoadAndWait(sample.path);
    const int32_t n = dlg->Extractor->FrameCount();
    ASSERT_GT(n, 10001);
    model.n = n;

    // A step that keeps the bar's position: frame and time move, nothing is decoded.
    int32_t same = -1;
    int32_t moving = -1;
    for (int32_t f = 1; f + 1 < n && (same < 0 || moving < 0); ++f) {
        const int p = FrameToBar(f, n, kBarMaximum);
        const int next = FrameToBar(f + 1, n, kBarMaximum);
        if (BarToFrame(p, n, kBarMaximum) != f)
            continue;
        if (same < 0 && next == p)
            same = f;
        if (moving < 0 && next != p && BarToFrame(next, n, kBarMaximum) != f + 1)
            moving = f;
    }
    ASSERT_GE(same, 0);
    ASSERT_GE(moving, 0);

    dlg->GotoFrame(same, false);
    shownFrame = -1;
    ASSERT_TRUE(WaitForPreview());
    const QString hint = dlg->bar->toolTip();
    dlg->NextFrame1->trigger();
    EXPECT_EQ(dlg->CurrentFrame, same + 1);
    EXPECT_EQ(dlg->StatusPanel(2), FrameTimeText(same + 1, dlg->Extractor->FrameDuration()));
    EXPECT_EQ(dlg->bar->value(), FrameToBar(same, n, kBarMaximum));
    EXPECT_FALSE(dlg->Tmr->isActive());
    EXPECT_EQ(dlg->bar->toolTip(), hint);

    // A step that moves the bar: the picture is the frame under the bar.
    dlg->GotoFrame(moving, false);
    shownFrame = -1;
    ASSERT_TRUE(WaitForPreview());
    ForgetGrabbed();
    dlg->NextFrame1->trigger();
    EXPECT_EQ(dlg->CurrentFrame, moving + 1);
    const int32_t underBar = BarToFrame(dlg->bar->value(), n, kBarMaximum);
    EXPECT_NE(underBar, moving + 1);
    ASSERT_TRUE(WaitForPreview());
    EXPECT_EQ(shownFrame, underBar);
    EXPECT_EQ(dlg->CurrentFrame, moving + 1);

    // The last frame sits at the end of the bar; its hint counts from 1.
    dlg->End1->trigger();
    EXPECT_EQ(dlg->bar->value(), kBarMaximum);
    ASSERT_TRUE(WaitForPreview());
    EXPECT_TRUE(dlg->bar->toolTip().startsWith(QStringLiteral("Frame : %1 / %1 \n\r").arg(n)));
}

TEST_F(MainDlgNavigation, CommandsDoNothingWithoutAFile) {
    ASSERT_FALSE(dlg->Extractor->Valid);
    for (QAction* a :
         {dlg->Beginning1, dlg->End1, dlg->NextFrame1, dlg->PreviousFrame1, dlg->N50FramesForward1,
          dlg->N50FramesBackward1, dlg->NextKeyFrame1, dlg->PreviousKeyFrame1})
        a->trigger();
    QTest::keyClick(dlg->bar, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(dlg->bar, Qt::Key_Right);
    EXPECT_EQ(dlg->CurrentFrame, 0);
    EXPECT_EQ(dlg->bar->value(), 0);
    EXPECT_EQ(dlg->StatusPanel(2), QString());
    EXPECT_FALSE(dlg->Tmr->isActive());
}

} // namespace
