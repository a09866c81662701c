// PictureExport_test: saving a decoded frame as BMP and JPEG, read back by ffmpeg and djpeg.
#include "engine/avi/VFW.h"
#include "engine/decode/BgraImage.h"
#include "engine/decode/FrameGetter.h"
#include "engine/decode/PictureExport.h"
#include "tests/common/SampleFiles.h"
#include "tests/common/TestMedia.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;
using testmedia::Quote;
using testmedia::ReadAll;

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// Frame 10 of a 320x240 video, decoded by the engine as the preview shows it.
class PictureExport : public ::testing::Test {
protected:
    TFrameBitmap image;
    std::string dir;

    void SetUp() override {
        REQUIRE_TOOL("ffmpeg", "ffmpeg");
        std::string why;
        const std::string path = testmedia::Make(
            "export-320x240.avi",
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=320x240:rate=25:duration=1 "
            "-c:v mpeg4 -q:v 2 -an -f avi {out}",
            &why);
        ASSERT_FALSE(path.empty()) << why;
        vfwtest::File file;
        vfwtest::Stream stream;
        ASSERT_EQ(vfwtest::OpenRead(file, path), AVIERR_OK);
        ASSERT_EQ(AVIFileGetStream(file.p, &stream.p, streamtypeVIDEO, 0), AVIERR_OK);
        const PGETFRAME getter = AVIStreamGetFrameOpen(stream.p, nullptr);
        ASSERT_NE(getter, nullptr);
        const bool ok = FrameBitmapFromDib(
            static_cast<BITMAPINFOHEADER*>(AVIStreamGetFrame(getter, 10)), image);
        AVIStreamGetFrameClose(getter);
        ASSERT_TRUE(ok);
        ASSERT_EQ(image.Width, 320);
        ASSERT_EQ(image.Height, 240);
        dir = testmedia::TempDir() + "/export";
        fs::create_directories(dir);
    }

    // The picture as ffmpeg reads it back, top-down BGRA.
    static std::vector<uint8_t> FfmpegRead(const std::string& path) {
        const testmedia::RunResult r = testmedia::Run("ffmpeg -nostdin -v error -i " + Quote(path) +
                                                      " -f rawvideo -pix_fmt bgra -");
        return {r.out.begin(), r.out.end()};
    }
};

double PsnrBgr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty())
        return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (i % 4 != 3) {
            const double d = static_cast<double>(a[i]) - static_cast<double>(b[i]);
            sum += d * d;
        }
    }
    return sum == 0
               ? INFINITY
               : 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(a.size() / 4 * 3)));
}

TEST_F(PictureExport, BmpIs32BitTopDownWithTheFixedHeader) {
    const std::string path = dir + "/Frame.BMP";
    // An existing longer file is replaced, not partly overwritten.
    testmedia::WriteAll(path, std::vector<uint8_t>(400000, 0x55));
    ASSERT_TRUE(SavePicture(path, image));
    const std::vector<uint8_t> bmp = ReadAll(path);
    ASSERT_EQ(bmp.size(), 307254u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Le32(bmp, 2), 307254u);
    EXPECT_EQ(Le32(bmp, 6), 0u); // both reserved words
    EXPECT_EQ(Le32(bmp, 10), 54u);
    EXPECT_EQ(Le32(bmp, 14), 40u);
    EXPECT_EQ(static_cast<int32_t>(Le32(bmp, 18)), 320);
    EXPECT_EQ(static_cast<int32_t>(Le32(bmp, 22)), -240);
    EXPECT_EQ(Le16(bmp, 26), 1);
    EXPECT_EQ(Le16(bmp, 28), 32);
    EXPECT_EQ(Le32(bmp, 30), 0u);
    EXPECT_EQ(Le32(bmp, 34), 320u * 240 * 4);
    for (size_t at = 38; at < 54; at += 4)
        EXPECT_EQ(Le32(bmp, at), 0u) << "offset " << at;
    EXPECT_TRUE(std::equal(image.Pixels.begin(), image.Pixels.end(), bmp.begin() + 54));
    EXPECT_TRUE(std::isinf(PsnrBgr(FfmpegRead(path), image.Pixels)));
}

TEST_F(PictureExport, JpegIsBaselineRgbAtQuality100) {
    REQUIRE_TOOL("djpeg", "libjpeg-turbo-progs");
    for (const char* name : {"X.JPEG", "y.jpg", "z.Jpg", "w.jpeg"}) {
        SCOPED_TRACE(name);
        const std::string path = dir + "/" + name;
        ASSERT_TRUE(SavePicture(path, image));
        const std::vector<uint8_t> jpeg = ReadAll(path);
        ASSERT_GT(jpeg.size(), 4u);
        EXPECT_EQ(jpeg[0], 0xFF);
        EXPECT_EQ(jpeg[1], 0xD8);
        // Baseline: a SOF0 frame header for 240 rows of 320 pixels, 8 bits, 3 components;
        // no progressive SOF2.
        const uint8_t sof0[] = {0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0xF0, 0x01, 0x40, 0x03};
        EXPECT_NE(std::search(jpeg.begin(), jpeg.end(), std::begin(sof0), std::end(sof0)),
                  jpeg.end());
        const uint8_t sof2[] = {0xFF, 0xC2, 0x00, 0x11};
        EXPECT_EQ(std::search(jpeg.begin(), jpeg.end(), std::begin(sof2), std::end(sof2)),
                  jpeg.end());
        const testmedia::RunResult r = testmedia::Run("djpeg -pnm " + Quote(path));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string header = "P6\n320 240\n255\n";
        ASSERT_EQ(r.out.compare(0, header.size(), header), 0) << r.out.substr(0, 20);
        ASSERT_EQ(r.out.size(), header.size() + 320u * 240 * 3);
        std::vector<uint8_t> decoded(320u * 240 * 4);
        for (size_t i = 0; i < 320u * 240; ++i) {
            for (size_t c = 0; c < 3; ++c)
                decoded[4 * i + c] = static_cast<uint8_t>(r.out[header.size() + 3 * i + 2 - c]);
        }
        // Chroma at half resolution blurs the test picture's sharp colour edges.
        EXPECT_GE(PsnrBgr(decoded, image.Pixels), 25.0);
    }
    // The library's own encoder with the same settings (quality 100, baseline tables, its
    // defaults otherwise) writes the same file.
    std::string ppm = "P6\n320 240\n255\n";
    for (size_t i = 0; i < 320u * 240; ++i) {
        for (size_t c = 0; c < 3; ++c)
            ppm += static_cast<char>(image.Pixels[4 * i + 2 - c]);
    }
    testmedia::WriteAll(dir + "/frame.ppm", {ppm.begin(), ppm.end()});
    const testmedia::RunResult r =
        testmedia::Run("cjpeg -quality 100 -baseline " + Quote(dir + "/frame.ppm"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::vector<uint8_t>(r.out.begin(), r.out.end()) == ReadAll(dir + "/y.jpg"));
}

TEST_F(PictureExport, OtherExtensionsWriteNothing) {
    fs::create_directories(dir + "/folder.bmp");
    for (const char* name : {"x.png", "x", "x.bmp.txt", "x.jpe", "folder.bmp/x", "bmp", ".jpegx"}) {
        const std::string path = dir + "/" + name;
        EXPECT_FALSE(SavePicture(path, image)) << name;
        EXPECT_FALSE(fs::exists(path)) << name;
    }
}

TEST_F(PictureExport, UnwritablePlaceRaisesWithThePath) {
    const std::string missing = dir + "/no-such-folder/x.bmp";
    try {
        SavePicture(missing, image);
        ADD_FAILURE() << "no error for " << missing;
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    // A folder in the way cannot be replaced by a file, not even by root.
    const std::string folder = dir + "/taken.jpg";
    fs::create_directories(folder);
    EXPECT_THROW(SavePicture(folder, image), std::system_error);
    EXPECT_TRUE(fs::is_directory(folder));
}

} // namespace
