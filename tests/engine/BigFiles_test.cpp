// BigFiles_test: files past 2 and 4 GiB - an OpenDML file ffmpeg writes, and a sparse AVI 1.0
// file whose "idx1" offsets need all 32 bits - opened, cut across the big offsets and checked
// against ffmpeg's packets.
#include "engine/jobs/U_AVIExtractor.h"
#include "tests/common/TestMedia.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

using namespace vfwtest;
using testmedia::Quote;

namespace {

// Removes a file when the test ends, however it ends.
struct Remove {
    std::string path;
    ~Remove() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
};

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// An AVI 1.0 file of frames frameBytes long, each holding only its number in its first bytes
// (the rest is a hole, so the file takes almost no disk), indexed by "idx1" from "movi".
void WriteSparseAvi10(const std::string& path, uint32_t frames, uint32_t frameBytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const uint32_t width = 1000;
    const uint32_t height = frameBytes / 3 / width;
    std::vector<uint8_t> h(12 + 8 + 4 + (8 + 56) + (12 + (8 + 56) + (8 + 40)) + 12, 0);
    uint8_t* p = h.data();
    std::memcpy(p, "RIFF", 4);
    std::memcpy(p + 8, "AVI ", 4);
    std::memcpy(p + 12, "LIST", 4);
    Put32(p + 16, static_cast<uint32_t>(4 + 64 + 12 + 64 + 48));
    std::memcpy(p + 20, "hdrl", 4);
    std::memcpy(p + 24, "avih", 4);
    Put32(p + 28, 56);
    Put32(p + 32, 40000);
    Put32(p + 48, frames);
    Put32(p + 56, 1);
    Put32(p + 64, width);
    Put32(p + 68, height);
    uint8_t* strl = p + 88;
    std::memcpy(strl, "LIST", 4);
    Put32(strl + 4, 4 + 64 + 48);
    std::memcpy(strl + 8, "strl", 4);
    std::memcpy(strl + 12, "strh", 4);
    Put32(strl + 16, 56);
    std::memcpy(strl + 20, "vids", 4);
    Put32(strl + 40, 1);  // scale
    Put32(strl + 44, 25); // rate
    Put32(strl + 52, frames);
    std::memcpy(strl + 76, "strf", 4);
    Put32(strl + 80, 40);
    Put32(strl + 84, 40);
    Put32(strl + 88, width);
    Put32(strl + 92, height);
    strl[96] = 1;  // biPlanes
    strl[98] = 24; // biBitCount
    uint8_t* movi = p + h.size() - 12;
    std::memcpy(movi, "LIST", 4);
    const uint64_t moviSize = 4 + uint64_t{frames} * (8 + frameBytes);
    Put32(movi + 4, static_cast<uint32_t>(moviSize));
    std::memcpy(movi + 8, "movi", 4);
    const uint64_t moviType = h.size() - 4;
    const uint64_t idx1At = h.size() + uint64_t{frames} * (8 + frameBytes);
    Put32(p + 4, static_cast<uint32_t>(idx1At + 8 + 16 * uint64_t{frames} - 8));
    ASSERT_EQ(::pwrite(fd, h.data(), h.size(), 0), static_cast<ssize_t>(h.size()));
    std::vector<uint8_t> idx(8 + 16 * size_t{frames});
    std::memcpy(idx.data(), "idx1", 4);
    Put32(idx.data() + 4, 16 * frames);
    for (uint32_t n = 0; n < frames; ++n) {
        const uint64_t at = h.size() + uint64_t{n} * (8 + frameBytes);
        uint8_t chunk[16] = {'0', '0', 'd', 'b'};
        Put32(chunk + 4, frameBytes);
        Put32(chunk + 8, n);
        Put32(chunk + 12, ~n);
        ASSERT_EQ(::pwrite(fd, chunk, sizeof chunk, static_cast<off_t>(at)), 16);
        uint8_t* e = idx.data() + 8 + 16 * size_t{n};
        std::memcpy(e, "00db", 4);
        Put32(e + 4, AVIIF_KEYFRAME);
        Put32(e + 8, static_cast<uint32_t>(at - moviType));
        Put32(e + 12, frameBytes);
    }
    ASSERT_EQ(::pwrite(fd, idx.data(), idx.size(), static_cast<off_t>(idx1At)),
              static_cast<ssize_t>(idx.size()));
    ::close(fd);
}

} // namespace

TEST(BigFiles, Avi10FileWithOffsetsPast2GiB) {
    const std::string dir = testmedia::TempDir();
    const Remove src{dir + "/avi10-3gib.avi"};
    constexpr uint32_t kFrames = 1600;
    constexpr uint32_t kFrameBytes = 3 * 1000 * 666;
    WriteSparseAvi10(src.path, kFrames, kFrameBytes);
    ASSERT_GT(testmedia::FileSizeOf(src.path), uint64_t{5} << 29);

    TAVIExtractor x;
    x.Open(src.path);
    ASSERT_TRUE(x.Valid);
    EXPECT_EQ(x.FrameCount(), static_cast<int32_t>(kFrames));
    EXPECT_EQ(x.FileSize, static_cast<int64_t>(testmedia::FileSizeOf(src.path)));
    // The frames past 2 GiB are where the index says: each begins with its own number.
    for (const LONG n : {LONG{0}, LONG{800}, LONG{1200}, LONG{kFrames - 1}}) {
        HRESULT hr = AVIERR_OK;
        const std::vector<uint8_t> data = ReadSamples(x.VideoStream, n, 1, &hr);
        ASSERT_EQ(hr, AVIERR_OK);
        ASSERT_EQ(data.size(), kFrameBytes);
        uint32_t number = 0;
        std::memcpy(&number, data.data(), 4);
        EXPECT_EQ(number, static_cast<uint32_t>(n));
    }
    // A cut across the 2 GiB point (frame 1075) holds those frames, as ffmpeg reads the cut.
    if (!testmedia::HaveTool("ffmpeg"))
        GTEST_SKIP() << "ffmpeg (Debian package ffmpeg) checks the cut";
    const Remove out{dir + "/avi10-cut.avi"};
    x.CreateOutput(out.path);
    x.SaveRange(1070, 1080);
    const std::vector<Packet> cut = FrameMd5(out.path, "v");
    ASSERT_EQ(cut.size(), 11u);
    for (size_t i = 0; i < cut.size(); ++i) {
        HRESULT hr = AVIERR_OK;
        EXPECT_EQ(cut[i].md5,
                  Md5Hex(ReadSamples(x.VideoStream, 1070 + static_cast<LONG>(i), 1, &hr)));
    }
}

// More than 4 GiB from ffmpeg (OpenDML, many "AVIX" parts): opened, cut across the 4 GiB point
// and its MP3 extracted, each checked against ffmpeg.
TEST(BigFiles, OpenDmlFilePast4GiB) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    const std::string dir = testmedia::TempDir();
    if (testmedia::FreeSpace(dir) < (uint64_t{12} << 30))
        GTEST_SKIP() << "less than 12 GiB free in " << dir << " for a 4.7 GiB file";
    const Remove piece{dir + "/piece.avi"};
    const Remove big{dir + "/big.avi"};
    ASSERT_EQ(testmedia::Run("ffmpeg -nostdin -v error -y -f lavfi -i "
                             "testsrc=size=1280x720:rate=25:duration=2 -f lavfi -i "
                             "sine=frequency=440:sample_rate=44100:duration=2 -c:v rawvideo "
                             "-pix_fmt bgr24 -c:a libmp3lame -b:a 128k -f avi " +
                             Quote(piece.path))
                  .exitCode,
              0);
    ASSERT_EQ(testmedia::Run("ffmpeg -nostdin -v error -y -stream_loop 33 -i " + Quote(piece.path) +
                             " -map 0 -c copy -f avi " + Quote(big.path))
                  .exitCode,
              0);
    ASSERT_GT(testmedia::FileSizeOf(big.path), uint64_t{4} << 30);

    const auto theirs = FrameMd5All(big.path);
    TAVIExtractor x;
    x.Open(big.path);
    ASSERT_TRUE(x.Valid);
    ASSERT_EQ(x.FrameCount(), static_cast<int32_t>(theirs.at("v").size()));
    EXPECT_EQ(x.NearestKeyFrame(x.FrameCount() - 1), x.FrameCount() - 1); // rawvideo: all key

    // Frames around the 4 GiB point.
    const int32_t at4GiB = static_cast<int32_t>((uint64_t{4} << 30) / (2764800 + 8 + 430));
    const Remove out{dir + "/big-cut.avi"};
    x.CreateOutput(out.path);
    x.SaveRange(at4GiB - 15, at4GiB + 15);
    const auto cut = FrameMd5All(out.path);
    ASSERT_EQ(cut.at("v").size(), 31u);
    for (size_t i = 0; i < 31; ++i)
        EXPECT_EQ(cut.at("v")[i].md5, theirs.at("v")[static_cast<size_t>(at4GiB - 15) + i].md5);
    // Its audio is one unbroken run of the source's packets.
    const std::vector<Packet>& all = theirs.at("a");
    ASSERT_FALSE(cut.at("a").empty());
    const auto first = std::find_if(all.begin(), all.end(),
                                    [&](const Packet& p) { return p.md5 == cut.at("a")[0].md5; });
    ASSERT_NE(first, all.end());
    for (size_t i = 0; i < cut.at("a").size(); ++i)
        EXPECT_EQ(cut.at("a")[i].md5, (first + static_cast<long>(i))->md5);

    // The whole MP3 track, byte for byte as ffmpeg copies it out.
    const Remove mp3{dir + "/big.mp3"};
    const Remove theirMp3{dir + "/big-ffmpeg.mp3"};
    x.ExtractAudio(mp3.path);
    ASSERT_EQ(testmedia::Run("ffmpeg -nostdin -v error -y -i " + Quote(big.path) +
                             " -map 0:a -c copy -write_xing 0 -id3v2_version 0 -f mp3 " +
                             Quote(theirMp3.path))
                  .exitCode,
              0);
    EXPECT_EQ(testmedia::ReadAll(mp3.path), testmedia::ReadAll(theirMp3.path));
}
