// FrameGetter_test: AVIStreamGetFrameOpen/GetFrame on files from ffmpeg, mencoder and GStreamer,
// checked picture by picture against ffmpeg's own decode of the same files.
#include "engine/avi/VFW.h"
#include "engine/decode/BgraImage.h"
#include "engine/decode/FrameDecoder.h"
#include "engine/decode/FrameGetter.h"
#include "tests/common/ProbeFacts.h"
#include "tests/common/SampleFiles.h"
#include "tests/common/TestMedia.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>
#include <random>
#include <set>
#include <sstream>

using samplefiles::Sample;
using testmedia::Make;
using testmedia::Quote;

namespace {

// Open groups of pictures: each I-frame is followed by B-frames displayed before it.
const std::string kOpenGopBFrames =
    "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=176x144:rate=25:duration=3 "
    "-c:v mpeg4 -bf 2 -g 12 -q:v 4 -an -f avi {out}";
const std::string kPal8 = "ffmpeg -nostdin -v error -y -f lavfi "
                          "-i testsrc=size=64x48:rate=25:duration=1 -c:v rawvideo "
                          "-pix_fmt pal8 -an -f avi {out}";
const std::string kMencoderSource =
    "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=176x144:rate=25:duration=3 "
    "-c:v rawvideo -pix_fmt yuv420p -an -f avi {out}";

Sample FromFfmpeg(const std::string& name, const std::string& command) {
    if (!testmedia::HaveTool("ffmpeg"))
        return {{}, "ffmpeg not found; install the Debian package ffmpeg"};
    Sample s;
    s.path = Make(name, command, &s.reason);
    return s;
}

Sample FromXvid(const std::string& name, const std::string& source, const std::string& options) {
    if (!testmedia::HaveTool("mencoder"))
        return {{}, "mencoder not found; install the Debian package mencoder"};
    const Sample input = FromFfmpeg("source-" + name, source);
    if (!input)
        return input;
    Sample s;
    s.path = Make(name,
                  "mencoder -really-quiet -nosound " + Quote(input.path) +
                      " -ovc xvid -xvidencopts " + options + " -o {out}",
                  &s.reason);
    return s;
}

// Xvid through mencoder stores B-frames packed: a chunk holds a P-frame and the B-frame shown
// before it, and a few-byte not-coded frame follows in the next chunk.
Sample XvidPacked() {
    return FromXvid("xvid-packed.avi", kMencoderSource, "bitrate=600:max_bframes=2:packed");
}

// Packed and with open groups of pictures: a key chunk holds an I-frame and a B-frame shown
// before it, and the placeholder for the I-frame is a not-coded I-VOP.
Sample XvidPackedOpenGop() {
    return FromXvid("xvid-packed-open-gop.avi", kMencoderSource,
                    "bitrate=600:max_bframes=2:packed:noclosed_gop:max_key_interval=12");
}

// ffmpeg's stream copy of that file marks the placeholders as key frames too.
Sample CopyOfXvidPackedOpenGop() {
    const Sample source = XvidPackedOpenGop();
    if (!source)
        return source;
    return FromFfmpeg("xvid-packed-open-gop-copy.avi", "ffmpeg -nostdin -v error -y -i " +
                                                           Quote(source.path) +
                                                           " -c copy -f avi {out}");
}

// Xvid without B-frames, told to drop frames that hardly change: it writes not-coded frames
// (a few bytes, no picture) for the still parts of a picture changing five times a second.
Sample XvidNotCoded() {
    return FromXvid("xvid-not-coded.avi",
                    "ffmpeg -nostdin -v error -y -f lavfi "
                    "-i testsrc2=size=176x144:rate=25:duration=3 -vf fps=5,fps=25 "
                    "-c:v rawvideo -pix_fmt yuv420p -an -f avi {out}",
                    "bitrate=600:max_bframes=0:frame_drop_ratio=80");
}

// Packed B-frames of a still 64x48 picture: B-VOPs of a few bytes, smaller than some tools
// take for not-coded frames.
Sample XvidPackedTiny() {
    return FromXvid("xvid-packed-tiny.avi",
                    "ffmpeg -nostdin -v error -y -f lavfi "
                    "-i testsrc2=size=64x48:rate=25:duration=2 -vf fps=5,fps=25 "
                    "-c:v rawvideo -pix_fmt yuv420p -an -f avi {out}",
                    "bitrate=100:max_bframes=2:packed");
}

struct Source {
    std::string name;
    std::function<Sample()> make;
    bool exact; // lossless path to BGRA: the pictures must equal ffmpeg's byte for byte
};

void PrintTo(const Source& source, std::ostream* out) {
    *out << source.name;
}

std::vector<Source> Sources() {
    std::vector<Source> list;
    for (const samplefiles::Kind& k : samplefiles::AllKinds()) {
        std::string name = k.name;
        std::replace(name.begin(), name.end(), '-', '_');
        const bool exact = name == "ffmpeg_mjpeg" || name == "ffmpeg_rawvideo";
        list.push_back({name, k.make, exact});
    }
    list.push_back({"ffmpeg_mpeg4_open_gop_bframes",
                    [] { return FromFfmpeg("open-gop-bframes.avi", kOpenGopBFrames); }, false});
    list.push_back({"mencoder_xvid_packed_bframes", XvidPacked, false});
    list.push_back({"mencoder_xvid_packed_open_gop", XvidPackedOpenGop, false});
    list.push_back({"ffmpeg_copy_of_xvid_packed_open_gop", CopyOfXvidPackedOpenGop, false});
    list.push_back({"mencoder_xvid_packed_tiny_bframes", XvidPackedTiny, false});
    list.push_back({"ffmpeg_rawvideo_pal8", [] { return FromFfmpeg("pal8.avi", kPal8); }, true});
    return list;
}

struct Video {
    vfwtest::File file;
    vfwtest::Stream stream;
    LONG start = 0;
    LONG length = 0;
};

::testing::AssertionResult OpenVideo(const std::string& path, Video& v) {
    if (HRESULT hr = vfwtest::OpenRead(v.file, path); hr != AVIERR_OK)
        return ::testing::AssertionFailure() << "AVIFileOpenW failed: " << hr;
    if (HRESULT hr = AVIFileGetStream(v.file.p, &v.stream.p, streamtypeVIDEO, 0); hr != AVIERR_OK)
        return ::testing::AssertionFailure() << "AVIFileGetStream failed: " << hr;
    v.start = AVIStreamStart(v.stream.p);
    v.length = AVIStreamLength(v.stream.p);
    return ::testing::AssertionSuccess();
}

std::optional<TFrameBitmap> FromDib(void* dib) {
    TFrameBitmap image;
    if (!dib || !FrameBitmapFromDib(static_cast<BITMAPINFOHEADER*>(dib), image))
        return std::nullopt;
    return image;
}

// A decoder that has decoded nothing yet: the picture a first visit to the frame gives.
std::optional<TFrameBitmap> FreshDecode(PAVISTREAM stream, LONG frame) {
    const std::unique_ptr<FrameDecoder> decoder = FrameDecoder::Open(stream);
    return decoder ? FromDib(decoder->Decode(frame)) : std::nullopt;
}

// The way the frame grabber uses the service: a getter per frame.
std::optional<TFrameBitmap> GetterDecode(PAVISTREAM stream, LONG frame) {
    const PGETFRAME getter = AVIStreamGetFrameOpen(stream, nullptr);
    if (!getter)
        return std::nullopt;
    std::optional<TFrameBitmap> image = FromDib(AVIStreamGetFrame(getter, frame));
    AVIStreamGetFrameClose(getter);
    return image;
}

// Every picture ffmpeg decodes from the video stream, in its order, as top-down BGRA.
std::vector<std::vector<uint8_t>> FfmpegPictures(const std::string& path, int width, int height) {
    const testmedia::RunResult r =
        testmedia::Run("ffmpeg -nostdin -v error -i " + Quote(path) +
                       " -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt bgra -");
    const size_t size = static_cast<size_t>(width) * height * 4;
    std::vector<std::vector<uint8_t>> pictures;
    for (size_t at = 0; size > 0 && at + size <= r.out.size(); at += size)
        pictures.emplace_back(r.out.begin() + static_cast<ptrdiff_t>(at),
                              r.out.begin() + static_cast<ptrdiff_t>(at + size));
    return pictures;
}

// Peak signal-to-noise ratio over blue, green and red; infinity for equal pictures.
double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty())
        return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (i % 4 == 3)
            continue;
        const double d = static_cast<double>(a[i]) - static_cast<double>(b[i]);
        sum += d * d;
    }
    if (sum == 0)
        return INFINITY;
    return 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(a.size() / 4 * 3)));
}

bool SameColours(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    return std::isinf(Psnr(a, b));
}

class FrameGetterFiles : public ::testing::TestWithParam<Source> {};

// Every frame against ffmpeg: ffmpeg leaves out zero-byte chunks and pictures that are not
// coded, so its k-th picture is the k-th chunk with data (known from ffprobe); a frame without
// a picture of its own shows the one before it. The same pictures must come from a fresh
// decoder, from one getter stepping forward, from a getter per frame stepping forward (where
// the decoder lives on between getters) and from jumps back and forth.
TEST_P(FrameGetterFiles, PicturesMatchFfmpegHoweverReached) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    SAMPLE_OR_SKIP(sample, GetParam().make());
    Video v;
    ASSERT_TRUE(OpenVideo(sample.path, v));
    ASSERT_GT(v.length, 0);

    std::set<int64_t> withData;
    for (const testmedia::ProbePacket& p : testmedia::ProbePackets(sample.path, "v"))
        withData.insert(p.frame);

    std::vector<TFrameBitmap> fresh;
    for (LONG n = v.start; n < v.start + v.length; ++n) {
        std::optional<TFrameBitmap> image = FreshDecode(v.stream.p, n);
        ASSERT_TRUE(image) << "frame " << n;
        fresh.push_back(std::move(*image));
    }
    const int width = fresh[0].Width;
    const int height = fresh[0].Height;
    const std::vector<std::vector<uint8_t>> reference = FfmpegPictures(sample.path, width, height);
    ASSERT_FALSE(reference.empty());

    double worst = INFINITY;
    size_t k = 0;
    for (LONG n = v.start; n < v.start + v.length; ++n) {
        const TFrameBitmap& image = fresh[static_cast<size_t>(n - v.start)];
        ASSERT_EQ(image.Width, width);
        ASSERT_EQ(image.Height, height);
        if (withData.count(n) && k < reference.size()) {
            const double psnr = Psnr(image.Pixels, reference[k++]);
            worst = std::min(worst, psnr);
            if (GetParam().exact)
                EXPECT_TRUE(std::isinf(psnr)) << "frame " << n << ": " << psnr << " dB";
            else
                EXPECT_GE(psnr, 40.0) << "frame " << n;
        } else {
            ASSERT_GT(n, v.start) << "the first frame has no picture";
            EXPECT_TRUE(
                SameColours(image.Pixels, fresh[static_cast<size_t>(n - v.start - 1)].Pixels))
                << "frame " << n << " without a picture of its own";
        }
    }
    EXPECT_EQ(k, reference.size()) << "ffmpeg decoded pictures this decoder did not show";
    std::cout << "[ " << GetParam().name << " ] " << v.length << " frames, lowest PSNR " << worst
              << " dB\n";

    const PGETFRAME getter = AVIStreamGetFrameOpen(v.stream.p, nullptr);
    ASSERT_NE(getter, nullptr);
    for (LONG n = v.start; n < v.start + v.length; ++n) {
        const std::optional<TFrameBitmap> image = FromDib(AVIStreamGetFrame(getter, n));
        ASSERT_TRUE(image) << "frame " << n;
        EXPECT_EQ(image->Pixels, fresh[static_cast<size_t>(n - v.start)].Pixels) << "frame " << n;
    }
    EXPECT_EQ(AVIStreamGetFrameClose(getter), AVIERR_OK);

    for (LONG n = v.start; n < v.start + v.length; ++n) {
        const std::optional<TFrameBitmap> image = GetterDecode(v.stream.p, n);
        ASSERT_TRUE(image) << "frame " << n;
        EXPECT_EQ(image->Pixels, fresh[static_cast<size_t>(n - v.start)].Pixels) << "frame " << n;
    }

    std::mt19937 random(7);
    std::uniform_int_distribution<LONG> pick(v.start, v.start + v.length - 1);
    for (int i = 0; i < 40; ++i) {
        const LONG n = pick(random);
        const std::optional<TFrameBitmap> image = GetterDecode(v.stream.p, n);
        ASSERT_TRUE(image) << "frame " << n;
        EXPECT_EQ(image->Pixels, fresh[static_cast<size_t>(n - v.start)].Pixels) << "frame " << n;
    }

    // Backward from the end, then about, with room for a few pictures only: whatever the cache
    // answers is the frame's own picture, and it never holds more than its budget.
    const std::unique_ptr<FrameDecoder> small = FrameDecoder::Open(v.stream.p);
    ASSERT_NE(small, nullptr);
    const size_t budget = 4 * static_cast<size_t>(width) * static_cast<size_t>(height);
    small->SetCacheBudget(budget);
    for (int i = 0; i < 60; ++i) {
        const LONG n = i < 25 && i < v.length ? v.start + v.length - 1 - i : pick(random);
        const std::optional<TFrameBitmap> image = FromDib(small->Decode(n));
        ASSERT_TRUE(image) << "frame " << n;
        EXPECT_EQ(image->Pixels, fresh[static_cast<size_t>(n - v.start)].Pixels) << "frame " << n;
        ASSERT_LE(small->CacheBytes(), budget);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, FrameGetterFiles, ::testing::ValuesIn(Sources()),
                         [](const ::testing::TestParamInfo<Source>& param) {
                             return param.param.name;
                         });

// The test files must really hold what the cases above are about.
TEST(FrameGetter, TestFilesHavePackedBFramesAndEmptyChunks) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    SAMPLE_OR_SKIP(packed, XvidPacked());
    const testmedia::RunResult r =
        testmedia::Run("ffmpeg -nostdin -v info -i " + Quote(packed.path) + " -f null -");
    EXPECT_NE(r.err.find("packed B-frames"), std::string::npos) << r.err;

    SAMPLE_OR_SKIP(withEmpty, samplefiles::FfmpegMpeg4CbrMp3());
    Video v;
    ASSERT_TRUE(OpenVideo(withEmpty.path, v));
    EXPECT_LT(testmedia::ProbePackets(withEmpty.path, "v").size(), static_cast<size_t>(v.length))
        << "no zero-byte video chunk";
}

// ffmpeg gives no picture for a not-coded frame; it names the chunk of each picture it gives.
TEST(FrameGetter, NotCodedFramesRepeatThePictureBefore) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, XvidNotCoded());
    Video v;
    ASSERT_TRUE(OpenVideo(sample.path, v));
    const testmedia::RunResult r = testmedia::Run(
        "ffprobe -v error -select_streams v:0 -show_entries frame=pkt_dts -of csv=p=0 " +
        Quote(sample.path));
    std::vector<LONG> coded;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        coded.push_back(static_cast<LONG>(std::stol(line)));
    const std::vector<std::vector<uint8_t>> reference = FfmpegPictures(sample.path, 176, 144);
    ASSERT_EQ(coded.size(), reference.size());
    ASSERT_LT(reference.size(), testmedia::ProbePackets(sample.path, "v").size())
        << "no not-coded frames in the file";

    std::optional<TFrameBitmap> before;
    for (LONG n = v.start; n < v.start + v.length; ++n) {
        const std::optional<TFrameBitmap> image = GetterDecode(v.stream.p, n);
        ASSERT_TRUE(image) << "frame " << n;
        const auto at = std::find(coded.begin(), coded.end(), n);
        if (at != coded.end()) {
            EXPECT_GE(Psnr(image->Pixels, reference[static_cast<size_t>(at - coded.begin())]), 40.0)
                << "frame " << n;
        } else {
            ASSERT_TRUE(before);
            EXPECT_EQ(image->Pixels, before->Pixels) << "frame " << n;
        }
        before = image;
    }
}

TEST(FrameGetter, DeliversBottomUp32BitDib) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegRawvideo());
    Video v;
    ASSERT_TRUE(OpenVideo(sample.path, v));
    const PGETFRAME getter =
        AVIStreamGetFrameOpen(v.stream.p, reinterpret_cast<BITMAPINFOHEADER*>(1));
    ASSERT_NE(getter, nullptr);
    const auto* dib = static_cast<const uint8_t*>(AVIStreamGetFrame(getter, v.start));
    ASSERT_NE(dib, nullptr);
    BITMAPINFOHEADER h{};
    std::memcpy(&h, dib, sizeof h);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 64);
    EXPECT_EQ(h.biHeight, 48);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 32);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, 64u * 48 * 4);
    // Rows run bottom-up: the DIB's first row is ffmpeg's last.
    const std::vector<std::vector<uint8_t>> reference = FfmpegPictures(sample.path, 64, 48);
    ASSERT_FALSE(reference.empty());
    const size_t row = 64 * 4;
    for (size_t x = 0; x < row; ++x) {
        if (x % 4 != 3) {
            ASSERT_EQ(dib[40 + x], reference[0][47 * row + x]) << "byte " << x;
        }
    }
    AVIStreamGetFrameClose(getter);
}

TEST(FrameGetter, NoPictureOutsideTheStream) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMjpeg());
    Video v;
    ASSERT_TRUE(OpenVideo(sample.path, v));
    const PGETFRAME getter = AVIStreamGetFrameOpen(v.stream.p, nullptr);
    ASSERT_NE(getter, nullptr);
    EXPECT_NE(AVIStreamGetFrame(getter, v.start + v.length - 1), nullptr);
    EXPECT_EQ(AVIStreamGetFrame(getter, v.start + v.length), nullptr);
    EXPECT_EQ(AVIStreamGetFrame(getter, v.start - 1), nullptr);
    EXPECT_EQ(AVIStreamGetFrame(getter, 0x7FFFFFFF), nullptr);
    EXPECT_NE(AVIStreamGetFrame(getter, v.start), nullptr);
    EXPECT_EQ(AVIStreamGetFrameClose(getter), AVIERR_OK);
    EXPECT_EQ(AVIStreamGetFrame(nullptr, 0), nullptr);
    EXPECT_EQ(AVIStreamGetFrameClose(nullptr), AVIERR_BADHANDLE);
    EXPECT_EQ(AVIStreamGetFrameOpen(nullptr, nullptr), nullptr);
}

TEST(FrameGetter, NoGetterWithoutADecoder) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    {
        Video v;
        ASSERT_TRUE(OpenVideo(sample.path, v));
        vfwtest::Stream audio;
        ASSERT_EQ(AVIFileGetStream(v.file.p, &audio.p, streamtypeAUDIO, 0), AVIERR_OK);
        EXPECT_EQ(AVIStreamGetFrameOpen(audio.p, nullptr), nullptr);
    }
    // Both the format's and the stream header's code unknown.
    SAMPLE_OR_SKIP(
        unknown, samplefiles::PatchedCopy(sample, "unknown-fourcc", [](std::vector<uint8_t>& f) {
            const size_t strh = samplefiles::FindStreamHeader(f, "vids");
            ASSERT_GT(strh, 0u);
            samplefiles::Put32(f, strh + 4, mmioFOURCC('Q', 'Q', 'Q', 'Q'));
            // The BITMAPINFOHEADER starts 8 bytes into the "strf" after "strh".
            const auto at = std::search(f.begin() + static_cast<ptrdiff_t>(strh), f.end(),
                                        std::begin("strf"), std::begin("strf") + 4);
            ASSERT_NE(at, f.end());
            samplefiles::Put32(f, static_cast<size_t>(at - f.begin()) + 8 + 16,
                               mmioFOURCC('Q', 'Q', 'Q', 'Q'));
        }));
    Video v;
    ASSERT_TRUE(OpenVideo(unknown.path, v));
    EXPECT_EQ(AVIStreamGetFrameOpen(v.stream.p, nullptr), nullptr);
    EXPECT_EQ(FrameDecoder::Open(v.stream.p), nullptr);
}

// The decoder kept for a stream between getters must not be taken for another file with the
// same format.
TEST(FrameGetter, KeptStateDoesNotLeakIntoAnotherFile) {
    const std::string kMake = "ffmpeg -nostdin -v error -y -f lavfi -i %s=size=160x120:rate=25:"
                              "duration=1 -c:v mpeg4 -g 12 -an -f avi {out}";
    std::string commands[2];
    const char* inputs[2] = {"testsrc", "testsrc2"};
    for (int i = 0; i < 2; ++i) {
        commands[i] = kMake;
        commands[i].replace(commands[i].find("%s"), 2, inputs[i]);
    }
    SAMPLE_OR_SKIP(a, FromFfmpeg("same-format-a.avi", commands[0]));
    SAMPLE_OR_SKIP(b, FromFfmpeg("same-format-b.avi", commands[1]));
    std::vector<uint8_t> expected;
    {
        Video v;
        ASSERT_TRUE(OpenVideo(b.path, v));
        ASSERT_EQ(vfwtest::FormatOf(v.stream.p), [&] {
            Video other;
            return OpenVideo(a.path, other) ? vfwtest::FormatOf(other.stream.p)
                                            : std::vector<uint8_t>{};
        }());
        const std::optional<TFrameBitmap> image = FreshDecode(v.stream.p, v.start + 5);
        ASSERT_TRUE(image);
        expected = image->Pixels;
    }
    // A later getter may find a freed stream's address given to the new file; the decoder it
    // takes over is then rebound as here.
    Video va;
    ASSERT_TRUE(OpenVideo(a.path, va));
    const std::unique_ptr<FrameDecoder> decoder = FrameDecoder::Open(va.stream.p);
    ASSERT_TRUE(decoder);
    ASSERT_TRUE(FromDib(decoder->Decode(va.start + 4)));
    Video vb;
    ASSERT_TRUE(OpenVideo(b.path, vb));
    ASSERT_TRUE(decoder->Rebind(vb.stream.p));
    const std::optional<TFrameBitmap> image = FromDib(decoder->Decode(vb.start + 5));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Pixels, expected);
    // Rebound to the file it came from, it carries on.
    ASSERT_TRUE(decoder->Rebind(va.stream.p));
    EXPECT_TRUE(FromDib(decoder->Decode(va.start + 6)));
}

} // namespace
