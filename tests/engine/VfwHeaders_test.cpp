// VfwHeaders_test: lengths follow the index when headers disagree, every index form ("idx1"
// relative or absolute, "rec " lists, OpenDML, none at all) gives the same samples, and a real
// OpenDML file above 1 GiB reads completely.
#include "tests/common/SampleFiles.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iostream>

using namespace vfwtest;
using samplefiles::FindStreamHeader;
using samplefiles::Put32;

namespace {

samplefiles::Sample PatchStrh(const samplefiles::Sample& src, const char* type, size_t field,
                              uint32_t value, const std::string& tag) {
    return samplefiles::PatchedCopy(src, tag, [=](std::vector<uint8_t>& f) {
        if (const size_t strh = FindStreamHeader(f, type))
            Put32(f, strh + field, value);
    });
}

samplefiles::Sample PatchAvih(const samplefiles::Sample& src, size_t field, uint32_t value,
                              const std::string& tag) {
    return samplefiles::PatchedCopy(src, tag, [=](std::vector<uint8_t>& f) {
        for (size_t at = 0; at + 8 < f.size(); ++at) {
            if (std::memcmp(f.data() + at, "avih", 4) == 0) {
                Put32(f, at + 8 + field, value);
                break;
            }
        }
    });
}

DWORD FileLength(const std::string& path) {
    File f;
    AVIFILEINFOW info{};
    if (OpenRead(f, path) != AVIERR_OK || AVIFileInfoW(f.p, &info, sizeof info) != AVIERR_OK)
        return 0;
    return info.dwLength;
}

TEST(VfwHeaders, LengthsFollowTheIndexNotTheHeaders) {
    SAMPLE_OR_SKIP(src, samplefiles::FfmpegMpeg4CbrMp3());
    const FileDigest orig = DigestFile(src.path);
    ASSERT_EQ(orig.error, AVIERR_OK);
    ASSERT_GT(orig.video.length, 10);
    ASSERT_GT(orig.audio.length, 10);
    const DWORD origFileLength = FileLength(src.path);
    EXPECT_EQ(origFileLength, static_cast<DWORD>(orig.video.length));

    const uint32_t v = static_cast<uint32_t>(orig.video.length);
    const uint32_t a = static_cast<uint32_t>(orig.audio.length);
    const std::vector<samplefiles::Sample> patched = {
        PatchStrh(src, "vids", samplefiles::kStrhLength, v * 10, "vlen-x10"),
        PatchStrh(src, "vids", samplefiles::kStrhLength, 3, "vlen-3"),
        PatchStrh(src, "auds", samplefiles::kStrhLength, 0xFFFFFFFFu, "alen-max"),
        PatchStrh(src, "auds", samplefiles::kStrhLength, a - 1, "alen-short"), // GStreamer's way
        PatchAvih(src, 16, 1, "avih-total1"),                                  // dwTotalFrames
        PatchAvih(src, 24, 77, "avih-streams77"),                              // dwStreams
    };
    for (const samplefiles::Sample& p : patched) {
        ASSERT_TRUE(p) << p.reason;
        SCOPED_TRACE(p.path);
        const FileDigest d = DigestFile(p.path);
        ASSERT_EQ(d.error, AVIERR_OK);
        EXPECT_EQ(d.video.length, orig.video.length);
        EXPECT_EQ(d.video.md5, orig.video.md5);
        EXPECT_EQ(d.audio.length, orig.audio.length);
        EXPECT_EQ(d.audio.md5, orig.audio.md5);
        EXPECT_EQ(FileLength(p.path), origFileLength);

        File f;
        ASSERT_EQ(OpenRead(f, p.path), AVIERR_OK);
        AVIFILEINFOW fi{};
        ASSERT_EQ(AVIFileInfoW(f.p, &fi, sizeof fi), AVIERR_OK);
        EXPECT_EQ(fi.dwStreams, 2u);
        Stream s;
        ASSERT_EQ(AVIFileGetStream(f.p, &s.p, streamtypeVIDEO, 0), AVIERR_OK);
        EXPECT_EQ(InfoOf(s.p).dwLength, v);
        LONG bytes = 0;
        EXPECT_EQ(AVIStreamRead(s.p, static_cast<LONG>(v) - 1, 1, nullptr, 0, &bytes, nullptr),
                  AVIERR_OK);
        EXPECT_EQ(AVIStreamRead(s.p, static_cast<LONG>(v), 1, nullptr, 0, &bytes, nullptr),
                  AVIERR_NODATA);
    }

    // A byte-counted stream whose header counts chunks (as VLC writes) still reads every byte.
    SAMPLE_OR_SKIP(men, samplefiles::MencoderMpeg4CbrMp3());
    const FileDigest menOrig = DigestFile(men.path);
    ASSERT_EQ(menOrig.error, AVIERR_OK);
    const samplefiles::Sample chunks =
        PatchStrh(men, "auds", samplefiles::kStrhLength,
                  static_cast<uint32_t>(menOrig.audio.md5.size()), "alen-chunks");
    const FileDigest d = DigestFile(chunks.path);
    EXPECT_EQ(d.audio.length, menOrig.audio.length);
    EXPECT_EQ(d.audio.md5, menOrig.audio.md5);
}

TEST(VfwHeaders, StartMovesTheSampleNumbers) {
    SAMPLE_OR_SKIP(src, samplefiles::FfmpegMpeg4CbrMp3());
    SAMPLE_OR_SKIP(moved, PatchStrh(src, "vids", samplefiles::kStrhStart, 5, "vstart5"));
    const FileDigest orig = DigestFile(src.path);
    const FileDigest d = DigestFile(moved.path);
    ASSERT_EQ(d.error, AVIERR_OK);
    EXPECT_EQ(d.video.start, 5);
    EXPECT_EQ(d.video.length, orig.video.length);
    EXPECT_EQ(d.video.md5, orig.video.md5);
    EXPECT_EQ(d.video.key, orig.video.key);

    File f;
    ASSERT_EQ(OpenRead(f, moved.path), AVIERR_OK);
    Stream s;
    ASSERT_EQ(AVIFileGetStream(f.p, &s.p, streamtypeVIDEO, 0), AVIERR_OK);
    LONG bytes = 0;
    EXPECT_EQ(AVIStreamRead(s.p, 4, 1, nullptr, 0, &bytes, nullptr), AVIERR_NODATA);
    const size_t secondKey = static_cast<size_t>(
        std::find(orig.video.key.begin() + 1, orig.video.key.end(), true) - orig.video.key.begin());
    ASSERT_LT(secondKey + 1, orig.video.key.size());
    const LONG k = 5 + static_cast<LONG>(secondKey);
    EXPECT_EQ(AVIStreamFindSample(s.p, k + 1, FIND_KEY | FIND_PREV), k);
    EXPECT_EQ(AVIStreamFindSample(s.p, k - 1, FIND_KEY | FIND_PREV), 5);
    EXPECT_EQ(AVIStreamFindSample(s.p, 0, FIND_KEY | FIND_FROM_START), 5);
    // Times count from the stream's time 0, so the first sample is at 5 frames = 200 ms.
    EXPECT_EQ(AVIStreamSampleToTime(s.p, 0), 200);
    EXPECT_EQ(AVIStreamTimeToSample(s.p, 0), 5);
    EXPECT_EQ(AVIStreamSampleToTime(s.p, 6), 240);
}

// The same chunks indexed every way a file can: all readers of them see the same samples.
TEST(VfwHeaders, EveryIndexFormGivesTheSameSamples) {
    for (auto make : {samplefiles::FfmpegMpeg4CbrMp3, samplefiles::MencoderMpeg4CbrMp3,
                      samplefiles::GstreamerMpeg4Mp3, samplefiles::FfmpegMsmpeg4v2Pcm}) {
        const samplefiles::Sample src = make();
        if (!src) {
            std::cout << "skipped: " << src.reason << "\n";
            continue;
        }
        SCOPED_TRACE(src.path);
        const FileDigest orig = DigestFile(src.path);
        ASSERT_EQ(orig.error, AVIERR_OK);
        ASSERT_EQ(orig.video.error, AVIERR_OK);
        ASSERT_EQ(orig.audio.error, AVIERR_OK);
        ASSERT_GT(orig.video.length, 0);

        const samplefiles::Sample walked = samplefiles::WithoutIdx1(src);
        const samplefiles::Sample rec = samplefiles::WithRecLists(src);
        const samplefiles::Sample odml = samplefiles::AsOpenDml(src);
        for (const samplefiles::Sample* s : {&walked, &rec, &odml}) {
            ASSERT_TRUE(*s) << s->reason;
            SCOPED_TRACE(s->path);
            const FileDigest d = DigestFile(s->path);
            ASSERT_EQ(d.error, AVIERR_OK);
            EXPECT_EQ(d.video.length, orig.video.length);
            EXPECT_EQ(d.video.md5, orig.video.md5);
            EXPECT_EQ(d.audio.length, orig.audio.length);
            EXPECT_EQ(d.audio.md5, orig.audio.md5);
            // Without an index nothing tells key frames apart.
            const std::vector<bool> keys =
                s == &walked ? std::vector<bool>(orig.video.key.size(), true) : orig.video.key;
            EXPECT_EQ(d.video.key, keys);
        }
        // ffprobe reads the rewritten OpenDML index the same way.
        if (testmedia::HaveTool("ffprobe")) {
            EXPECT_EQ(ProbeVideoKeys(odml.path), ProbeVideoKeys(src.path));
        }
    }
}

// ffmpeg continues past 1 GiB in "AVIX" parts with OpenDML indexes and its main header counts
// only the first part.
TEST(VfwHeaders, OpenDmlFileAboveOneGiB) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    SAMPLE_OR_SKIP(big, samplefiles::FfmpegOpenDml(testmedia::TempDir()));
    struct Remove {
        std::string path;
        ~Remove() {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
    } remove{big.path};
    ASSERT_GT(testmedia::FileSizeOf(big.path), 1ull << 30);

    File f;
    ASSERT_EQ(OpenRead(f, big.path), AVIERR_OK);
    Stream v;
    ASSERT_EQ(AVIFileGetStream(f.p, &v.p, streamtypeVIDEO, 0), AVIERR_OK);
    const ProbeResult probe = Probe(big.path);
    ASSERT_TRUE(probe.streams.count("v"));
    EXPECT_EQ(std::to_string(AVIStreamLength(v.p)), probe.streams.at("v").at("nb_read_packets"));
    EXPECT_EQ(AVIStreamLength(v.p), 420);
    EXPECT_EQ(InfoOf(v.p).dwLength, 420u);
    AVIFILEINFOW fi{};
    ASSERT_EQ(AVIFileInfoW(f.p, &fi, sizeof fi), AVIERR_OK);
    EXPECT_EQ(fi.dwLength, 420u);
    EXPECT_EQ(fi.dwWidth, 1280u);

    // The main header indeed counts fewer frames than there are.
    const std::vector<uint8_t> head = [&] {
        std::vector<uint8_t> all(64);
        FILE* fp = std::fopen(big.path.c_str(), "rb");
        if (fp) {
            all.resize(std::fread(all.data(), 1, all.size(), fp));
            std::fclose(fp);
        }
        return all;
    }();
    ASSERT_GE(head.size(), 64u);
    EXPECT_LT(samplefiles::Get32(head, 24 + 8 + 16), 420u);

    // Every frame, in both parts, is the frame ffmpeg reads.
    const auto md5s = FrameMd5All(big.path);
    ASSERT_EQ(md5s.at("v").size(), 420u);
    std::vector<std::string> expected;
    for (const Packet& p : md5s.at("v")) {
        HRESULT hr = AVIERR_OK;
        const std::vector<uint8_t> data = ReadSamples(v.p, static_cast<LONG>(p.dts), 1, &hr);
        ASSERT_EQ(hr, AVIERR_OK);
        EXPECT_EQ(Md5Hex(data), p.md5) << "frame " << p.dts;
        expected.push_back(p.md5);
    }
    const LONG lastOffset = AVIStreamFindSample(v.p, 419, FIND_OFFSET | FIND_PREV);
    const LONG frameSize = AVIStreamFindSample(v.p, 419, FIND_SIZE | FIND_PREV);
    ASSERT_GT(lastOffset, 0);
    AVIStreamRelease(v.p);
    v.p = nullptr;
    AVIFileRelease(f.p);
    f.p = nullptr;

    // Cut short inside the last part, whose "ix00" is lost with its end: the OpenDML index
    // lists the first part, and the last one is found by walking it - its complete frames, and
    // the one the file ends inside, as far as it goes.
    std::filesystem::resize_file(big.path, static_cast<uint64_t>(lastOffset) - 3 * frameSize - 5);
    const FileDigest cut = DigestFile(big.path);
    ASSERT_EQ(cut.error, AVIERR_OK);
    EXPECT_EQ(cut.video.length, 420 - 3);
    const auto complete = [](std::vector<std::string> md5) {
        md5.pop_back();
        return md5;
    };
    EXPECT_EQ(complete(cut.video.md5),
              std::vector<std::string>(expected.begin(), expected.end() - 4));

    // Without the OpenDML index only "idx1" is left, which lists the first part; the part after
    // it is found by walking it.
    {
        std::FILE* fp = std::fopen(big.path.c_str(), "r+b");
        ASSERT_TRUE(fp);
        std::vector<uint8_t> head2(65536);
        head2.resize(std::fread(head2.data(), 1, head2.size(), fp));
        size_t indx = 0;
        while (indx + 4 <= head2.size() && std::memcmp(head2.data() + indx, "indx", 4) != 0)
            ++indx;
        ASSERT_LT(indx + 4, head2.size());
        std::fseek(fp, static_cast<long>(indx), SEEK_SET);
        std::fwrite("JUNK", 1, 4, fp);
        std::fclose(fp);
        const FileDigest d = DigestFile(big.path);
        EXPECT_EQ(d.video.length, 420 - 3);
        EXPECT_EQ(complete(d.video.md5),
                  std::vector<std::string>(expected.begin(), expected.end() - 4));
    }
}

} // namespace
