// The seek bar's hint and the position texts.
#include "mainwindow/U_MainDlg.h"

#include <gtest/gtest.h>

namespace {

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
