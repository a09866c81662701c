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
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

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
        EXPECT_EQ(dlg->bar->value(), Frame);
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
    EXPECT_EQ(dlg->CurrentFrame, position + 1);
    // And the real keyboard through Qt Test, which presses and releases the modifiers itself.
    dlg->GotoFrame(0, false);
    QTest::keyClick(dlg->bar, Qt::Key_Right, Qt::ControlModifier);
    ExpectAt(model.n - 1);
    EXPECT_EQ(dlg->StatusPanel(3), QString());

    // Without modifiers the bar steps itself: a frame for arrows and a wheel notch, 50 for pages.
    dlg->GotoFrame(middle, false);
    QTest::keyClick(dlg->bar, Qt::Key_Right);
    ExpectAt(middle + 1);
    QTest::keyClick(dlg->bar, Qt::Key_PageUp);
    ExpectAt(middle + 51);
    QTest::keyClick(dlg->bar, Qt::Key_PageDown);
    QTest::keyClick(dlg->bar, Qt::Key_Left);
    ExpectAt(middle);
    QWheelEvent notch(QPointF(5, 5), dlg->bar->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(dlg->bar, &notch);
    ExpectAt(middle + 1);
}

TEST_F(MainDlgNavigation, PreviewWaitsUntilTheBarStandsStill) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    Load(sample);
    ForgetGrabbed();

    // A drag: many positions before the timer's first tick; no decode is asked for meanwhile.
    for (int p = 1; p <= model.n / 2; ++p)
        dlg->bar->setValue(p);
    const int32_t under = model.n / 2;
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
    dlg->bar->setValue(model.n - 3);
    ASSERT_TRUE(WaitForPreview());
    EXPECT_EQ(Grabbed(), std::vector<int32_t>{model.n - 3});
}

TEST_F(MainDlgNavigation, OneBarPositionPerFrameOnALongFile) {
    SAMPLE_OR_SKIP(sample, mwtest::ManyFramesAvi());
    LoadAndWait(sample.path);
    const int32_t n = dlg->Extractor->FrameCount();
    ASSERT_GT(n, 10001);
    EXPECT_EQ(dlg->bar->maximum(), n - 1);

    // Every step moves the bar, so the picture always is the frame stepped to.
    dlg->GotoFrame(7777, false);
    shownFrame = -1;
    ASSERT_TRUE(WaitForPreview());
    dlg->NextFrame1->trigger();
    EXPECT_EQ(dlg->bar->value(), 7778);
    ASSERT_TRUE(WaitForPreview());
    EXPECT_EQ(shownFrame, 7778);

    // The last frame sits at the end of the bar; its hint counts from 1.
    dlg->End1->trigger();
    EXPECT_EQ(dlg->bar->value(), n - 1);
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

TEST_F(MainDlgNavigation, TheKeyListNamesEveryShortcutOfTheMenus) {
    dlg->show();
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg));
    QTest::keyClick(dlg->bar, Qt::Key_F1, Qt::ControlModifier);
    ASSERT_EQ(boxes.Shown.size(), 1u);
    const QString list = boxes.Shown[0].Text;
    int shortcuts = 0;
    for (const QAction* a : dlg->MainMenu1->findChildren<QAction*>()) {
        if (a->shortcut().isEmpty())
            continue;
        ++shortcuts;
        EXPECT_TRUE(list.contains(a->shortcut().toString(QKeySequence::PortableText)))
            << a->objectName().toStdString();
    }
    EXPECT_GE(shortcuts, 15);
}

} // namespace
