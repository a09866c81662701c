// GetFrameBitmap on real files: the range rule, the false results and the picture it delivers.
#include "engine/decode/BgraImage.h"
#include "engine/jobs/U_AVIExtractor.h"
#include "tests/common/SampleFiles.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testmedia;

TEST(FrameGrabber, DeliversTheFrameFfmpegDecodes) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMjpeg());
    TAVIExtractor x;
    x.Open(sample.path);
    TFrameBitmap bitmap;
    const int32_t frame = 17;
    ASSERT_TRUE(x.GetFrameBitmap(bitmap, frame));
    EXPECT_EQ(bitmap.Width, x.FrameWidth());
    EXPECT_EQ(bitmap.Height, x.FrameHeight());
    const RunResult r =
        testmedia::Run("ffmpeg -nostdin -v error -i " + Quote(sample.path) + " -vf " +
                       Quote("select=eq(n\\," + std::to_string(frame) + ")") +
                       " -fps_mode passthrough -frames:v 1 -pix_fmt bgra -f rawvideo -");
    ASSERT_EQ(r.out.size(), bitmap.Pixels.size());
    size_t differing = 0;
    for (size_t i = 0; i < bitmap.Pixels.size(); i += 4)
        differing += r.out.compare(i, 3, reinterpret_cast<const char*>(&bitmap.Pixels[i]), 3) != 0;
    EXPECT_EQ(differing, 0u);

    // Stepping on gives the same picture as a fresh engine.
    TFrameBitmap next, fresh;
    ASSERT_TRUE(x.GetFrameBitmap(next, frame + 1));
    TAVIExtractor y;
    y.Open(sample.path);
    ASSERT_TRUE(y.GetFrameBitmap(fresh, frame + 1));
    EXPECT_EQ(next.Pixels, fresh.Pixels);
}

TEST(FrameGrabber, RangeRuleAndFalseResults) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    TAVIExtractor x;
    TFrameBitmap bitmap;
    EXPECT_FALSE(x.GetFrameBitmap(bitmap, 0)) << "nothing open";
    x.Open(sample.path);
    const int32_t count = x.FrameCount();
    EXPECT_FALSE(x.GetFrameBitmap(bitmap, -1));
    EXPECT_FALSE(x.GetFrameBitmap(bitmap, count + 1));
    // One past the end reaches the decoder, which has no such frame.
    EXPECT_FALSE(x.GetFrameBitmap(bitmap, count));
    EXPECT_TRUE(x.GetFrameBitmap(bitmap, count - 1));

    // A FourCC no decoder knows.
    const samplefiles::Sample unknown =
        samplefiles::PatchedCopy(sample, "unknown-fourcc", [](std::vector<uint8_t>& f) {
            const size_t strh = samplefiles::FindStreamHeader(f, "vids");
            samplefiles::Put32(f, strh + 4, 0x5a5a5a5a); // fccHandler "ZZZZ"
            // biCompression of the format that follows ("strf" data + 16).
            const auto strf = std::search(f.begin() + long(strh), f.end(), "strf", "strf" + 4);
            samplefiles::Put32(f, size_t(strf - f.begin()) + 8 + 16, 0x5a5a5a5a);
        });
    ASSERT_TRUE(unknown) << unknown.reason;
    TAVIExtractor z;
    z.Open(unknown.path);
    ASSERT_TRUE(z.Valid);
    EXPECT_FALSE(z.GetFrameBitmap(bitmap, 0));
}
