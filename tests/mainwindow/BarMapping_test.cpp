// The seek bar's mapping between positions and frames, and the hint and time texts.
#include "mainwindow/SeekBar.h"
#include "mainwindow/U_MainDlg.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// A bar of fewer positions than frames (the mapping serves any range).
constexpr int M = 10000;

TEST(BarMapping, ExactInversesUpTo10001Frames) {
    for (const int32_t n : {2, 1000, 1001, 10001}) {
        SCOPED_TRACE(n);
        for (int32_t f = 0; f < n; ++f)
            ASSERT_EQ(BarToFrame(FrameToBar(f, n, M), n, M), f);
        EXPECT_EQ(FrameToBar(0, n, M), 0);
        EXPECT_EQ(FrameToBar(n - 1, n, M), M);
        EXPECT_EQ(BarToFrame(M, n, M), n - 1);
    }
    // With exactly one frame per position every position is a frame of its own.
    for (int p = 0; p <= M; ++p)
        ASSERT_EQ(FrameToBar(BarToFrame(p, 10001, M), 10001, M), p);
}

TEST(BarMapping, ThousandFramesShareTheBarEvenly) {
    // 999 steps over 10000 positions: about ten positions a frame.
    EXPECT_EQ(FrameToBar(1, 1000, M), 10);
    EXPECT_EQ(FrameToBar(500, 1000, M), 5005);
    EXPECT_EQ(FrameToBar(999, 1000, M), 10000);
    EXPECT_EQ(BarToFrame(5, 1000, M), 0); // 0.4995
    EXPECT_EQ(BarToFrame(6, 1000, M), 1); // 0.5994
    EXPECT_EQ(BarToFrame(5005, 1000, M), 500);
    std::set<int32_t> frames;
    for (int p = 0; p <= M; ++p)
        frames.insert(BarToFrame(p, 1000, M));
    EXPECT_EQ(frames.size(), 1000u);
}

TEST(BarMapping, HalvesGoToTheEvenNeighbour) {
    // 1001 frames: position p is exactly frame p / 10.
    EXPECT_EQ(BarToFrame(5, 1001, M), 0);  // 0.5
    EXPECT_EQ(BarToFrame(15, 1001, M), 2); // 1.5
    EXPECT_EQ(BarToFrame(25, 1001, M), 2); // 2.5
    EXPECT_EQ(BarToFrame(35, 1001, M), 4); // 3.5
    // 20001 frames: frame f is exactly position f / 2.
    EXPECT_EQ(FrameToBar(1, 20001, M), 0);
    EXPECT_EQ(FrameToBar(3, 20001, M), 2);
    EXPECT_EQ(FrameToBar(5, 20001, M), 2);
    // 100000 frames, the middle of the bar: 49999.5.
    EXPECT_EQ(BarToFrame(5000, 100000, M), 50000);
}

TEST(BarMapping, HundredThousandFramesAreCoarser) {
    const int32_t n = 100000;
    EXPECT_EQ(BarToFrame(1, n, M), 10); // 9.9999
    EXPECT_EQ(BarToFrame(M, n, M), n - 1);
    EXPECT_EQ(FrameToBar(n - 1, n, M), M);
    // Ten frames on one position: next frames do not move the bar.
    EXPECT_EQ(FrameToBar(50000, n, M), FrameToBar(50004, n, M));
    EXPECT_NE(FrameToBar(50000, n, M), FrameToBar(50010, n, M));
    for (int p = 0; p <= M; ++p)
        ASSERT_EQ(FrameToBar(BarToFrame(p, n, M), n, M), p);
    int last = -1;
    for (int32_t f = 0; f < n; ++f) {
        const int p = FrameToBar(f, n, M);
        ASSERT_GE(p, last);
        last = p;
    }
}

TEST(BarMapping, DegenerateRanges) {
    EXPECT_EQ(BarToFrame(0, 1000, 0), 0); // no file: the bar's maximum is 0
    EXPECT_EQ(FrameToBar(0, 1, M), 0);
    EXPECT_EQ(BarToFrame(M, 1, M), 0);
}

TEST(HintTexts, FrameAndTimeLines) {
    EXPECT_EQ(PreviewHintText(999, 1000, 40),
              QStringLiteral("Frame : 1000 / 1000 \n\rTime (hh:mm:ss) : 0:39 / 0:40"));
    EXPECT_EQ(PreviewHintText(0, 75, 40),
              QStringLiteral("Frame : 1 / 75 \n\rTime (hh:mm:ss) : 0:00 / 0:03"));
}

TEST(HintTexts, TimesReachHours) {
    EXPECT_EQ(FrameTimeText(1500, 40), QStringLiteral("1:00"));
    EXPECT_EQ(FrameTimeText(1499, 40), QStringLiteral("0:59"));
    EXPECT_EQ(FrameTimeText(89999, 40), QStringLiteral("59:59"));
    EXPECT_EQ(FrameTimeText(90000, 40), QStringLiteral("1:00:00"));
    EXPECT_EQ(PreviewHintText(1500, 90000, 40),
              QStringLiteral("Frame : 1501 / 90000 \n\rTime (hh:mm:ss) : 1:00 / 1:00:00"));
    // Long runs at 33 ms a frame: the product needs 64 bits before the division.
    EXPECT_EQ(FrameTimeText(2000000000, 33), QStringLiteral("18333:20:00"));
}

} // namespace
