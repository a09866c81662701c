// Where the cut lands, as the window shows it: key-frame ticks on the seek bar and its zoom, the
// position and range readouts, the band from the real first frame, the word before Save, Go to,
// and the key frame shown while the bar is dragged.
#include "engine/jobs/U_AVIExtractor.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/U_MainDlg.h"
#include "tests/common/ProbeFacts.h"
#include "tests/common/TestMedia.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

using mwtest::MainWindowTest;

// The columns where two pictures of the bar differ.
std::set<int> ChangedColumns(const QImage& A, const QImage& B) {
    std::set<int> columns;
    for (int y = 0; y < A.height(); ++y)
        for (int x = 0; x < A.width(); ++x)
            if (A.pixel(x, y) != B.pixel(x, y))
                columns.insert(x);
    return columns;
}

// ffprobe's picture type of each frame (by its decoding time stamp, the chunk's place).
std::map<int64_t, std::string> ProbedTypes(const std::string& File) {
    std::map<int64_t, int64_t> frameAt; // file position -> frame
    for (const testmedia::ProbePacket& p : testmedia::ProbePackets(File, "v"))
        frameAt[p.pos] = p.frame;
    std::map<int64_t, std::string> types;
    for (const auto& [pos, type] : testmedia::ProbePictureTypes(File))
        if (const auto at = frameAt.find(pos); at != frameAt.end())
            types[at->second] = type.substr(0, 1);
    return types;
}

class CutLanding : public MainWindowTest {};

TEST_F(CutLanding, KeyFrameTicksSitWhereFfprobeSaysAtAnyWidthAndZoom) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, mwtest::ManyFramesAvi());
    LoadAndWait(sample.path);
    const std::vector<int32_t> keys = testmedia::ProbeKeyFrames(sample.path);
    ASSERT_GT(keys.size(), 30u);
    ASSERT_EQ(dlg->bar->KeyFrames(), keys);
    TSeekBar* bar = dlg->bar;
    // The handle sits over the last frame, clear of the ticks looked at.
    dlg->End1->trigger();

    const auto ticks = [&] {
        const QImage with = bar->grab().toImage();
        bar->SetKeyFrames({});
        const QImage without = bar->grab().toImage();
        bar->SetKeyFrames(keys);
        return ChangedColumns(with, without);
    };
    const auto expectEveryKeyNearATick = [&](const std::set<int>& drawn, int within) {
        for (const int32_t k : keys) {
            if (k < bar->minimum() || k > bar->maximum() - 300)
                continue;
            const int x = bar->PixelOf(k);
            const auto near = drawn.lower_bound(x - within);
            EXPECT_TRUE(near != drawn.end() && *near <= x + within) << "key " << k << " at " << x;
        }
    };

    // Wide: one tick per key frame, exactly at its place.
    bar->resize(1200, bar->height());
    std::set<int> drawn = ticks();
    expectEveryKeyNearATick(drawn, 0);
    // Narrow: the ticks merge, yet every key frame has one within the merging distance.
    bar->resize(80, bar->height());
    drawn = ticks();
    EXPECT_LT(drawn.size(), keys.size() * 2 / 3);
    EXPECT_FALSE(drawn.empty());
    expectEveryKeyNearATick(drawn, 3);

    // Zoomed in, the narrow bar shows that stretch's key frames apart. Zooming around a frame
    // far from the current one moves the view, never the current frame.
    dlg->GotoFrame(keys[20], false);
    bar->ZoomAround(keys[5], 0.05);
    EXPECT_TRUE(bar->Zoomed());
    EXPECT_EQ(dlg->CurrentFrame, keys[20]);
    EXPECT_EQ(bar->value(), keys[20]);
    EXPECT_LE(bar->minimum(), keys[20]);
    EXPECT_GE(bar->maximum(), keys[20]);
    const auto inView = std::count_if(keys.begin(), keys.end(), [&](int32_t k) {
        return k >= bar->minimum() && k <= bar->maximum();
    });
    EXPECT_GE(inView, 2);
    EXPECT_EQ(static_cast<long>(ticks().size()), inView);
    // Stepping past the view's end moves the view along.
    dlg->GotoFrame(bar->maximum(), false);
    const int32_t top = bar->maximum();
    dlg->NextFrame1->trigger();
    EXPECT_EQ(dlg->CurrentFrame, top + 1);
    EXPECT_EQ(bar->value(), top + 1);
    EXPECT_GT(bar->maximum(), top);
    bar->ZoomOut();
    EXPECT_FALSE(bar->Zoomed());
    EXPECT_EQ(bar->value(), top + 1);
}

TEST_F(CutLanding, ReadoutNamesEveryFrameAsFfprobeDoes) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, mwtest::BFramesWithGapAvi());
    LoadAndWait(sample.path);
    const int32_t n = dlg->Extractor->FrameCount();
    const std::map<int64_t, std::string> types = ProbedTypes(sample.path);
    const std::vector<int32_t> keys = testmedia::ProbeKeyFrames(sample.path);
    ASSERT_EQ(n, 75);
    ASSERT_EQ(types.size(), 74u); // one chunk is empty
    bool sawB = false;
    for (int32_t f = 0; f < n; ++f) {
        SCOPED_TRACE(f);
        dlg->GotoFrame(f, false);
        const QString text = dlg->pos_lbl->text();
        EXPECT_TRUE(text.startsWith(QStringLiteral("Frame %1 / 75   ").arg(f + 1)))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("   0:00:0%1.%2 / 0:00:03.000")
                                      .arg(f * 40 / 1000)
                                      .arg(f * 40 % 1000, 3, 10, QLatin1Char('0'))))
            << text.toStdString();
        EXPECT_EQ(text.contains(QStringLiteral("key frame")),
                  std::binary_search(keys.begin(), keys.end(), f))
            << text.toStdString();
        const auto type = types.find(f);
        if (type == types.end()) {
            EXPECT_TRUE(text.endsWith(QStringLiteral("   empty"))) << text.toStdString();
            continue;
        }
        EXPECT_TRUE(text.endsWith(QString::fromStdString(type->second))) << text.toStdString();
        sawB = sawB || type->second == "B";
    }
    EXPECT_TRUE(sawB);
}

TEST_F(CutLanding, BandStartsAtTheRealFirstFrameAndSaveSaysSo) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    LoadAndWait(sample.path);
    const std::vector<int32_t> keys = testmedia::ProbeKeyFrames(sample.path);
    ASSERT_GE(keys.size(), 3u);
    const int32_t key = keys[1];
    const int32_t asked = key + 5;
    const int32_t end = key + 30;
    TSeekBar* bar = dlg->bar;
    bar->resize(900, bar->height());
    dlg->GotoFrame(asked, false);
    dlg->start_btn->click();
    dlg->GotoFrame(end, false);
    dlg->end_btn->click();
    EXPECT_EQ(bar->SelStart(), key);
    EXPECT_EQ(bar->AskedStart(), asked);
    EXPECT_EQ(bar->SelEnd(), end);

    // The band covers the key frame, and the frames before it stay bare.
    const QImage band = bar->grab().toImage();
    bar->SetSelEnd(key);
    const QImage bare = bar->grab().toImage();
    bar->SetSelEnd(end);
    const std::set<int> painted = ChangedColumns(bare, band);
    EXPECT_TRUE(painted.count(bar->PixelOf(key)));
    EXPECT_TRUE(painted.count(bar->PixelOf(end)));
    EXPECT_FALSE(painted.count(bar->PixelOf(key) - 6));

    const QString warning =
        QStringLiteral("The cut starts at frame %1, the key frame 5 frames before the mark.")
            .arg(key + 1);
    EXPECT_EQ(dlg->StatusPanel(3), warning);
    const QString range = dlg->range_lbl->text();
    EXPECT_TRUE(range.startsWith(QStringLiteral("Cut: frames %1 to %2, 0:00:0%3.%4, about ")
                                     .arg(key + 1)
                                     .arg(end + 1)
                                     .arg((end - key + 1) * 40 / 1000)
                                     .arg((end - key + 1) * 40 % 1000, 3, 10, QLatin1Char('0'))))
        << range.toStdString();
    EXPECT_TRUE(range.endsWith(QStringLiteral("; it starts 5 frames before the mark")))
        << range.toStdString();

    // Still said while the name is asked for.
    dlg->GotoFrame(0, false);
    mwtest::TDialogCounter dialogs;
    mwtest::CountFileDialogs(dialogs);
    dlg->commit_btn->click();
    EXPECT_EQ(dialogs.Count, 1);
    EXPECT_EQ(dlg->StatusPanel(3), warning);
}

TEST_F(CutLanding, GoToTakesAFrameOrATimeAndUpDownJumpKeyFrames) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    LoadAndWait(sample.path);
    const std::vector<int32_t> keys = testmedia::ProbeKeyFrames(sample.path);
    const auto answer = [](const QString& Text) {
        mwtest::WhenModal([](QWidget* w) { return qobject_cast<QInputDialog*>(w) != nullptr; },
                          [Text](QWidget* w) {
                              auto* input = qobject_cast<QInputDialog*>(w);
                              input->setTextValue(Text);
                              input->accept();
                          });
    };
    answer(QStringLiteral("30"));
    dlg->GoTo1->trigger();
    EXPECT_EQ(dlg->CurrentFrame, 29);
    answer(QStringLiteral("0:00:02.000"));
    dlg->GoTo1->trigger();
    EXPECT_EQ(dlg->CurrentFrame, 50);
    answer(QStringLiteral("1.5s"));
    dlg->GoTo1->trigger();
    EXPECT_EQ(dlg->CurrentFrame, 37);
    EXPECT_EQ(dlg->bar->value(), 37);
    EXPECT_TRUE(boxes.Shown.empty());
    answer(QStringLiteral("soon"));
    dlg->GoTo1->trigger();
    EXPECT_EQ(dlg->CurrentFrame, 37);
    EXPECT_EQ(boxes.Texts(), QStringList{"soon is not a frame number or a time."});

    // Up and Down on the bar go from key frame to key frame.
    dlg->GotoFrame(keys[1] + 1, false);
    QTest::keyClick(dlg->bar, Qt::Key_Up);
    EXPECT_EQ(dlg->CurrentFrame, keys[2]);
    QTest::keyClick(dlg->bar, Qt::Key_Down);
    EXPECT_EQ(dlg->CurrentFrame, keys[1]);
}

TEST_F(CutLanding, DraggingShowsTheKeyFrameAtOnceAndTheFrameWhenItStops) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    LoadAndWait(sample.path);
    const std::vector<int32_t> keys = testmedia::ProbeKeyFrames(sample.path);
    ForgetGrabbed();
    dlg->bar->setSliderDown(true);
    for (int32_t f = keys[2] + 1; f <= keys[2] + 7; ++f)
        dlg->bar->setValue(f);
    // One request for the key frame, not one per position.
    for (int i = 0; i < 200 && Grabbed().empty(); ++i)
        QTest::qWait(10);
    ASSERT_FALSE(Grabbed().empty());
    EXPECT_EQ(Grabbed().front(), keys[2]);
    for (const int32_t f : Grabbed())
        EXPECT_TRUE(f == keys[2] || f == keys[2] + 7) << f;
    dlg->bar->setSliderDown(false);
    shownFrame = -1;
    ASSERT_TRUE(WaitForPreview());
    EXPECT_EQ(shownFrame, keys[2] + 7);
}

} // namespace
