// Playback_test: TPlayback on its own - a range with sound through a real server, played to its
// end; backwards at double speed; stopping while the worker and the sound thread are busy.
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/Playback.h"
#include "tests/common/SampleFiles.h"
#include "tests/qtcommon/SoundServer.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

class Playback : public ::testing::Test {
protected:
    void SetUp() override {
        if (!soundtest::Server().failure.empty())
            GTEST_SKIP() << soundtest::Server().failure;
    }
    TAVIExtractor extractor;
    std::vector<int32_t> shown;

    // Plays Range to its end; false when it did not end in time.
    bool PlayToEnd(TPlayback& Play, const TPlayback::TRange& Range) {
        shown.clear();
        QSignalSpy finished(&Play, &TPlayback::Finished);
        Play.Start(Range, 0.5f);
        return finished.wait(10000);
    }
};

TEST_F(Playback, PlaysRangesBothWaysAndStopsAtOnce) {
    SAMPLE_OR_SKIP(sample, samplefiles::FlashBeep("flashbeep-mp3cbr", "-c:a libmp3lame -b:a 128k"));
    extractor.Open(sample.path);
    TPlayback play(&extractor);
    QObject::connect(&play, &TPlayback::FrameShown,
                     [this](int32_t Frame) { shown.push_back(Frame); });

    ASSERT_TRUE(PlayToEnd(play, {40, 70, 1}));
    EXPECT_EQ(play.Sound(), TPlayback::TSound::On) << play.SilentWhy();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), 40);
    EXPECT_EQ(shown.back(), 70);
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(play.FramesShown() + play.FramesDropped(), 31);
    EXPECT_FALSE(play.Playing());

    ASSERT_TRUE(PlayToEnd(play, {60, 20, -2}));
    EXPECT_EQ(play.Sound(), TPlayback::TSound::OtherSpeed);
    EXPECT_EQ(shown.front(), 60);
    EXPECT_EQ(shown.back(), 20);
    EXPECT_TRUE(std::is_sorted(shown.rbegin(), shown.rend()));

    // Stopping mid-way, again and again, leaves nothing running.
    for (int i = 0; i < 5; ++i) {
        play.Start({0, 149, 1}, 0.5f);
        QTest::qWait(60 + 20 * i);
        play.Stop();
        EXPECT_FALSE(play.Playing());
    }
    const int32_t last = play.ShownFrame();
    QTest::qWait(100);
    EXPECT_EQ(play.ShownFrame(), last);
}

} // namespace
