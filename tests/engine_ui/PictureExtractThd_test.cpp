// The preview worker on real files: requests merging into the latest, the picture handed to
// the main thread, undecodable frames, and stopping.
#include "engine/decode/BgraImage.h"
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/U_PictureExtractThd.h"
#include "tests/common/SampleFiles.h"
#include "tests/common/TestMedia.h"

#include <QApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>

namespace {

// Frames the worker decoded, as its hook saw them; the first decode can be held.
class GrabLog {
public:
    explicit GrabLog(bool holdFirst) : hold(holdFirst) {}

    std::function<void(int32_t)> Hook() {
        return [this](int32_t frame) {
            bool wait = false;
            {
                std::lock_guard<std::mutex> g(m);
                frames.push_back(frame);
                wait = hold && frames.size() == 1;
            }
            if (wait) {
                entered.set_value();
                released.wait();
            }
        };
    }
    std::vector<int32_t> Frames() {
        std::lock_guard<std::mutex> g(m);
        return frames;
    }
    bool WaitEntered() {
        return enteredFuture.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    }
    void Release() { release.set_value(); }

private:
    bool hold;
    std::mutex m;
    std::vector<int32_t> frames;
    std::promise<void> entered;
    std::future<void> enteredFuture = entered.get_future();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
};

struct Shown {
    int calls = 0;
    int emitted = 0;
    bool onMain = true;
    bool ready = false;
    QImage image;
};

void Watch(TPictureExtractThd& preview, Shown& shown) {
    preview.OnShowFrame = [&shown](bool ready, const QImage& image) {
        ++shown.calls;
        shown.onMain = shown.onMain && QThread::currentThread() == qApp->thread();
        shown.ready = ready;
        shown.image = image;
    };
    QObject::connect(&preview, &TPictureExtractThd::ShowFrame, [&shown] { ++shown.emitted; });
}

// Same picture, ignoring the unused fourth byte.
bool SamePicture(const QImage& image, const TFrameBitmap& bitmap) {
    if (image.format() != QImage::Format_RGB32 || image.width() != bitmap.Width ||
        image.height() != bitmap.Height)
        return false;
    for (int y = 0; y < bitmap.Height; ++y)
        for (int x = 0; x < bitmap.Width; ++x) {
            const uint8_t* p = &bitmap.Pixels[(static_cast<size_t>(y) * bitmap.Width + x) * 4];
            if (image.pixel(x, y) != qRgb(p[2], p[1], p[0]))
                return false;
        }
    return true;
}

} // namespace

TEST(PictureExtractThd, ABurstOfRequestsGivesOneDecodeOfTheLast) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    TAVIExtractor x;
    x.Open(sample.path);
    ASSERT_TRUE(x.Valid);
    TAVIExtractor reference;
    reference.Open(sample.path);
    TFrameBitmap last;
    ASSERT_TRUE(reference.GetFrameBitmap(last, 29));
    TPictureExtractThd preview(&x);
    GrabLog log(true);
    preview.SetGrabHook(log.Hook());
    Shown shown;
    Watch(preview, shown);

    preview.RequestFrame(3);
    ASSERT_TRUE(log.WaitEntered());
    for (int32_t f = 20; f < 30; ++f)
        preview.RequestFrame(f);
    log.Release();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return log.Frames().size() >= 2 && shown.ready && SamePicture(shown.image, last); },
        10000));
    ASSERT_TRUE(preview.TerminateAndWait(5000));
    EXPECT_EQ(log.Frames(), (std::vector<int32_t>{3, 29}));
    EXPECT_TRUE(shown.onMain);
    EXPECT_GE(shown.calls, 1);
    EXPECT_LE(shown.calls, 2);
    EXPECT_EQ(shown.emitted, shown.calls);
    EXPECT_TRUE(preview.FrameReady());
    EXPECT_EQ(preview.Image(), shown.image);
}

TEST(PictureExtractThd, EachRequestIsShownWithTheDecodedPicture) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMjpeg());
    TAVIExtractor x;
    x.Open(sample.path);
    TAVIExtractor reference;
    reference.Open(sample.path);
    TPictureExtractThd preview(&x);
    Shown shown;
    Watch(preview, shown);
    for (int32_t frame : {0, 40, x.FrameCount() - 1}) {
        const int before = shown.calls;
        preview.RequestFrame(frame);
        ASSERT_TRUE(QTest::qWaitFor([&] { return shown.calls > before; }, 10000)) << frame;
        TFrameBitmap want;
        ASSERT_TRUE(reference.GetFrameBitmap(want, frame));
        EXPECT_TRUE(shown.ready) << frame;
        EXPECT_TRUE(SamePicture(shown.image, want)) << frame;
    }
    // Past the end: not decodable, no picture.
    preview.RequestFrame(x.FrameCount() + 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.ready; }, 10000));
    EXPECT_TRUE(shown.image.isNull());
    EXPECT_FALSE(preview.FrameReady());
}

TEST(PictureExtractThd, AnUndecodableFileGivesNoFrame) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    const samplefiles::Sample unknown =
        samplefiles::PatchedCopy(sample, "ui-unknown-fourcc", [](std::vector<uint8_t>& f) {
            const size_t strh = samplefiles::FindStreamHeader(f, "vids");
            samplefiles::Put32(f, strh + 4, 0x51515151); // fccHandler "QQQQ"
            const auto strf = std::search(f.begin() + long(strh), f.end(), "strf", "strf" + 4);
            samplefiles::Put32(f, size_t(strf - f.begin()) + 8 + 16, 0x51515151);
        });
    ASSERT_TRUE(unknown) << unknown.reason;
    TAVIExtractor x;
    x.Open(unknown.path);
    ASSERT_TRUE(x.Valid);
    TPictureExtractThd preview(&x);
    Shown shown;
    Watch(preview, shown);
    preview.RequestFrame(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.calls > 0; }, 10000));
    EXPECT_TRUE(shown.onMain);
    EXPECT_FALSE(shown.ready);
    EXPECT_TRUE(shown.image.isNull());

    // No engine at all behaves the same.
    TPictureExtractThd none(nullptr);
    Shown nothing;
    Watch(none, nothing);
    none.RequestFrame(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return nothing.calls > 0; }, 10000));
    EXPECT_FALSE(nothing.ready);
}

TEST(PictureExtractThd, StopsWhenAsked) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMjpeg());
    TAVIExtractor x;
    x.Open(sample.path);

    // Idle: the stop is noticed within one bounded wait.
    {
        TPictureExtractThd idle(&x);
        EXPECT_TRUE(idle.TerminateAndWait(5000));
        EXPECT_TRUE(idle.TerminateAndWait(0)) << "asking again after the end";
    }

    // Busy: the worker finishes the frame in progress, then stops; later requests are not
    // served.
    TPictureExtractThd busy(&x);
    GrabLog log(true);
    busy.SetGrabHook(log.Hook());
    busy.RequestFrame(7);
    ASSERT_TRUE(log.WaitEntered());
    EXPECT_FALSE(busy.TerminateAndWait(20)) << "ended while its decode was held";
    busy.RequestFrame(8);
    log.Release();
    EXPECT_TRUE(busy.TerminateAndWait(5000));
    EXPECT_EQ(log.Frames(), (std::vector<int32_t>{7}));

    // The engine is free again once the worker has gone.
    auto held = x.TryAcquireLock();
    EXPECT_TRUE(held.owns_lock());
}
