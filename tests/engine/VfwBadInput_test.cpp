// VfwBadInput_test: broken input - truncated, garbage, headers claiming huge counts, index
// entries pointing past the end, random damage - either opens with what is there (and every
// read of it works) or fails with an AVIERR code; never a crash.
#include "tests/common/SampleFiles.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

using namespace vfwtest;
using samplefiles::Get32;
using samplefiles::Put32;

namespace {

bool IsOpenFailure(HRESULT hr) {
    return hr == AVIERR_BADFORMAT || hr == AVIERR_FILEREAD || hr == AVIERR_FILEOPEN;
}

// Opens the file and reads everything in it through every stream: descriptions, formats,
// every sample, key frames, times. Returns the open's result.
HRESULT Exercise(const std::string& path, FileDigest* digest = nullptr) {
    File f;
    const HRESULT hr = OpenRead(f, path);
    if (hr != AVIERR_OK) {
        EXPECT_TRUE(IsOpenFailure(hr)) << std::hex << hr;
        return hr;
    }
    AVIFILEINFOW fi{};
    EXPECT_EQ(AVIFileInfoW(f.p, &fi, sizeof fi), AVIERR_OK);
    for (LONG n = 0; n < static_cast<LONG>(fi.dwStreams); ++n) {
        Stream s;
        EXPECT_EQ(AVIFileGetStream(f.p, &s.p, 0, n), AVIERR_OK);
        const AVISTREAMINFOW info = InfoOf(s.p);
        FormatOf(s.p);
        const Digest d = DigestOf(s.p);
        // Refused audio is the one read failure there may be.
        if (d.error != AVIERR_OK) {
            EXPECT_TRUE(info.fccType != streamtypeVIDEO && d.error == AVIERR_UNSUPPORTED)
                << std::hex << d.error;
        }
        EXPECT_LE(static_cast<int64_t>(d.start) + d.length, 0x7FFFFFFF);
        AVIStreamFindSample(s.p, d.start + d.length / 2, FIND_KEY | FIND_PREV);
        AVIStreamFindSample(s.p, d.start, FIND_ANY | FIND_NEXT | FIND_SIZE);
        AVIStreamSampleToTime(s.p, d.start + d.length);
        AVIStreamTimeToSample(s.p, 0x7FFFFFFF);
    }
    if (digest)
        *digest = DigestFile(path);
    return hr;
}

template <typename T> std::vector<T> AllButLast(std::vector<T> v) {
    if (!v.empty())
        v.pop_back();
    return v;
}

template <typename T> bool IsPrefix(const std::vector<T>& part, const std::vector<T>& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

TEST(VfwBadInput, NotAnAviFile) {
    const std::string dir = testmedia::TempDir();
    File f;
    EXPECT_EQ(OpenRead(f, dir + "/does-not-exist.avi"), AVIERR_FILEOPEN);
    EXPECT_EQ(OpenRead(f, dir), AVIERR_FILEOPEN);
    const std::vector<std::vector<uint8_t>> junk = {
        {},
        {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I'},
        {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '},
        {'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '},
    };
    for (size_t i = 0; i < junk.size(); ++i) {
        const std::string path = dir + "/junk" + std::to_string(i) + ".avi";
        testmedia::WriteAll(path, junk[i]);
        EXPECT_EQ(OpenRead(f, path), AVIERR_BADFORMAT) << i;
        EXPECT_EQ(f.p, nullptr);
    }
    std::mt19937 rng(7);
    std::vector<uint8_t> garbage(65536);
    for (uint8_t& b : garbage)
        b = static_cast<uint8_t>(rng());
    testmedia::WriteAll(dir + "/garbage.avi", garbage);
    EXPECT_EQ(OpenRead(f, dir + "/garbage.avi"), AVIERR_BADFORMAT);

    // A real RIFF file of another kind, and an AVI whose header list is missing.
    SAMPLE_OR_SKIP(src, samplefiles::FfmpegMpeg4CbrMp3());
    if (testmedia::HaveTool("ffmpeg")) {
        const std::string wav = testmedia::Make(
            "sine.wav", "ffmpeg -nostdin -v error -y -f lavfi -i sine=duration=1 -f wav {out}");
        ASSERT_FALSE(wav.empty());
        EXPECT_EQ(OpenRead(f, wav), AVIERR_BADFORMAT);
    }
    SAMPLE_OR_SKIP(noHeaders, samplefiles::PatchedCopy(src, "nohdrl", [](std::vector<uint8_t>& b) {
                       std::memcpy(b.data() + 20, "hdrX", 4);
                   }));
    EXPECT_EQ(OpenRead(f, noHeaders.path), AVIERR_BADFORMAT);
}

// Cut anywhere, a file shows the samples it still holds, the same as before the cut; the last one
// may be the chunk the file ends inside, as far as it goes.
TEST(VfwBadInput, TruncatedFiles) {
    for (auto make :
         {+[] { return samplefiles::FfmpegMpeg4CbrMp3(); },
          +[] { return samplefiles::AsOpenDml(samplefiles::FfmpegMpeg4CbrMp3()); },
          +[] { return samplefiles::WithRecLists(samplefiles::MencoderMpeg4CbrMp3()); }}) {
        const samplefiles::Sample src = make();
        if (!src)
            GTEST_SKIP() << src.reason;
        SCOPED_TRACE(src.path);
        const std::vector<uint8_t> whole = testmedia::ReadAll(src.path);
        const FileDigest orig = DigestFile(src.path);
        ASSERT_EQ(orig.error, AVIERR_OK);
        const std::string cut = testmedia::TempDir() + "/cut.avi";
        std::vector<size_t> points;
        for (size_t n = 0; n < 600 && n < whole.size(); n += 7)
            points.push_back(n);
        for (size_t n = 600; n < whole.size(); n += whole.size() / 150)
            points.push_back(n);
        size_t opened = 0;
        for (const size_t n : points) {
            SCOPED_TRACE(n);
            testmedia::WriteAll(cut, {whole.begin(), whole.begin() + static_cast<long>(n)});
            FileDigest d;
            if (Exercise(cut, &d) != AVIERR_OK)
                continue;
            ++opened;
            EXPECT_TRUE(IsPrefix(AllButLast(d.video.md5), orig.video.md5));
            EXPECT_TRUE(IsPrefix(AllButLast(d.audio.md5), orig.audio.md5));
            EXPECT_LE(d.video.md5.size(), orig.video.md5.size());
        }
        EXPECT_GT(opened, points.size() / 2);
    }
}

TEST(VfwBadInput, HeadersClaimingTooMuch) {
    SAMPLE_OR_SKIP(src, samplefiles::FfmpegMpeg4CbrMp3());
    SAMPLE_OR_SKIP(odml, samplefiles::AsOpenDml(src));
    const auto find = [](const std::vector<uint8_t>& f, const char* id, size_t from = 0) {
        for (size_t at = from; at + 4 <= f.size(); ++at)
            if (std::memcmp(f.data() + at, id, 4) == 0)
                return at;
        return f.size();
    };
    struct Case {
        const char* tag;
        bool openDml;
        std::function<void(std::vector<uint8_t>&)> patch;
        bool whole = false; // the damage can be seen through: the file reads as the original
    };
    const std::vector<Case> cases = {
        {"riff-size-0", false, [&](auto& f) { Put32(f, 4, 0); }},
        {"riff-size-max", false, [&](auto& f) { Put32(f, 4, 0xFFFFFFFF); }},
        {"avih-streams-max", false,
         [&](auto& f) { Put32(f, find(f, "avih") + 8 + 24, 0xFFFFFFFF); }},
        {"hdrl-size-max", false, [&](auto& f) { Put32(f, find(f, "hdrl") - 4, 0xFFFFFFF0); }},
        {"strh-size-max", false, [&](auto& f) { Put32(f, find(f, "strh") + 4, 0xFFFFFFF0); }},
        {"strf-size-max", false, [&](auto& f) { Put32(f, find(f, "strf") + 4, 0x7FFFFFF0); }},
        {"strh-start-max", false,
         [&](auto& f) { Put32(f, samplefiles::FindStreamHeader(f, "vids") + 28, 0xFFFFFFFF); }},
        {"audio-samplesize-max", false,
         [&](auto& f) { Put32(f, samplefiles::FindStreamHeader(f, "auds") + 44, 0xFFFFFFFF); }},
        {"movi-size-max", false, [&](auto& f) { Put32(f, find(f, "movi") - 4, 0xFFFFFFF0); }},
        {"idx1-size-max", false, [&](auto& f) { Put32(f, find(f, "idx1") + 4, 0xFFFFFFF0); }},
        {"idx1-past-end", false,
         [&](auto& f) {
             // Every third entry points past the end of the file, or runs past it.
             const size_t idx1 = find(f, "idx1");
             const size_t n = Get32(f, idx1 + 4) / 16;
             for (size_t i = 0; i < n; i += 3)
                 Put32(f, idx1 + 8 + 16 * i + (i % 2 ? 8 : 12), 0xFFFFFF00);
         }},
        {"indx-entries-max", true, [&](auto& f) { Put32(f, find(f, "indx") + 12, 0xFFFFFFFF); }},
        {"indx-offset-far", true,
         [&](auto& f) { Put32(f, find(f, "indx") + 8 + 24 + 4, 0x80000000); }},
        {"indx-longs-0", true, [&](auto& f) { Put32(f, find(f, "indx") + 8, 0); }},
        {"ix-entries-max", true, [&](auto& f) { Put32(f, find(f, "ix00") + 12, 0xFFFFFFFF); }},
        {"ix-size-max", true, [&](auto& f) { Put32(f, find(f, "ix00") + 4, 0xFFFFFFFF); }},
        {"ix-base-far", true, [&](auto& f) { Put32(f, find(f, "ix00") + 20 + 4, 0x40000000); }},
        // A count and a chunk size claiming more than the super index says the chunk holds:
        // the entries after the real ones (the next stream's index) are not frames.
        {"ix-count-and-size-max", true,
         [&](auto& f) {
             Put32(f, find(f, "ix00") + 4, 0xFFFFFFF0);
             Put32(f, find(f, "ix00") + 12, 50000);
         },
         true},
        // Key frame 0's entry claims more than the file holds: its chunk header knows better.
        {"idx1-key0-size-max", false,
         [&](auto& f) { Put32(f, find(f, "00dc", find(f, "idx1")) + 12, 0x7FFFFFFF); }, true},
        {"ix-past-end", true,
         [&](auto& f) {
             const size_t ix = find(f, "ix00");
             const size_t n = Get32(f, ix + 12);
             for (size_t i = 1; i < n; i += 2)
                 Put32(f, ix + 32 + 8 * i + (i % 4 == 1 ? 0 : 4), 0x7FFFFF00);
         }},
    };
    const FileDigest orig = DigestFile(src.path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        const samplefiles::Sample s =
            samplefiles::PatchedCopy(c.openDml ? odml : src, c.tag, c.patch);
        ASSERT_TRUE(s) << s.reason;
        // Each file still has its headers and most of its index: it opens with what survives,
        // which reads as in the original.
        FileDigest d;
        ASSERT_EQ(Exercise(s.path, &d), AVIERR_OK);
        EXPECT_GT(d.video.length, 0);
        for (size_t i = 0; i < d.video.md5.size(); ++i) {
            const auto at = std::find(orig.video.md5.begin(), orig.video.md5.end(), d.video.md5[i]);
            EXPECT_NE(at, orig.video.md5.end()) << "frame " << i;
        }
        EXPECT_LE(d.video.length, orig.video.length);
        if (c.whole) {
            EXPECT_EQ(d.video.md5, orig.video.md5);
            EXPECT_EQ(d.video.key, orig.video.key);
        }
    }
}

// Eight-byte chunks without an index, more than any real file holds: refused before they can
// take the memory, while the same file with fewer opens.
TEST(VfwBadInput, AFloodOfTinyChunksIsRefused) {
    SAMPLE_OR_SKIP(src, samplefiles::FfmpegMpeg4CbrMp3());
    SAMPLE_OR_SKIP(bare, samplefiles::WithoutIdx1(src));
    std::vector<uint8_t> file = testmedia::ReadAll(bare.path);
    const size_t movi = std::search(file.begin(), file.end(), "movi", "movi" + 4) - file.begin();
    ASSERT_LT(movi, file.size());
    // Sizes of 0, as an unfinished recording leaves them: the chunks run to the end of the file.
    Put32(file, 4, 0);
    Put32(file, movi - 4, 0);
    const std::string dir = testmedia::TempDir();
    const auto flood = [&](size_t chunks, const std::string& name) {
        std::vector<uint8_t> f = file;
        f.reserve(f.size() + 8 * chunks);
        for (size_t i = 0; i < chunks; ++i)
            f.insert(f.end(), {'0', '0', 'd', 'c', 0, 0, 0, 0});
        testmedia::WriteAll(dir + "/" + name, f);
        return dir + "/" + name;
    };
    File f;
    EXPECT_EQ(OpenRead(f, flood(size_t{1} << 23, "flood.avi")), AVIERR_MEMORY);
    EXPECT_EQ(f.p, nullptr);
    File g;
    ASSERT_EQ(OpenRead(g, flood(100000, "some.avi")), AVIERR_OK);
    Stream v;
    ASSERT_EQ(AVIFileGetStream(g.p, &v.p, streamtypeVIDEO, 0), AVIERR_OK);
    EXPECT_GT(AVIStreamLength(v.p), 100000);
}

// Random damage anywhere in a small file, a few thousand bytes at a time.
TEST(VfwBadInput, RandomDamage) {
    SAMPLE_OR_SKIP(src, samplefiles::FfmpegMpeg4CbrMp3());
    SAMPLE_OR_SKIP(odml, samplefiles::AsOpenDml(samplefiles::GstreamerMpeg4Mp3()));
    std::mt19937 rng(2024);
    const std::string path = testmedia::TempDir() + "/damaged.avi";
    for (const std::string& source : {src.path, odml.path}) {
        const std::vector<uint8_t> whole = testmedia::ReadAll(source);
        for (int round = 0; round < 150; ++round) {
            std::vector<uint8_t> f = whole;
            // Headers and indexes are where damage matters: mostly there, sometimes anywhere.
            const size_t region = round % 3 == 0 ? f.size() : std::min<size_t>(f.size(), 12000);
            for (int k = 0; k < 8; ++k) {
                const size_t at = rng() % region;
                f[at] = static_cast<uint8_t>(rng() % 4 == 0 ? 0xFF : rng());
            }
            if (round % 5 == 4) { // and at the end, where "idx1" and "ix##" lie
                for (int k = 0; k < 16; ++k)
                    f[f.size() - 1 - rng() % std::min<size_t>(f.size(), 4000)] =
                        static_cast<uint8_t>(rng());
            }
            testmedia::WriteAll(path, f);
            SCOPED_TRACE(round);
            Exercise(path);
        }
    }
}

} // namespace
