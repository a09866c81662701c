// VfwSloppy_test: harmless damage real files carry (sizes a few bytes off, unfinished
// recordings, stray data, copies of headers, partial indexes, other chunk id spellings) read the
// way ffmpeg reads them; and key frames found where the index cannot mark them.
#include "engine/decode/BgraImage.h"
#include "engine/jobs/U_AVIExtractor.h"
#include "tests/common/SampleFiles.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

using namespace vfwtest;
using samplefiles::Get32;
using samplefiles::Put32;

namespace {

size_t Find(const std::vector<uint8_t>& f, const char* id, size_t from = 0) {
    for (size_t at = from; at + 4 <= f.size(); ++at)
        if (std::memcmp(f.data() + at, id, 4) == 0)
            return at;
    return f.size();
}

// The MD5 of each packet with data, as ffmpeg's packets come (it leaves empty chunks out).
std::vector<std::string> NonEmpty(const std::vector<std::string>& md5) {
    static const std::string kEmpty = "d41d8cd98f00b204e9800998ecf8427e";
    std::vector<std::string> out;
    std::copy_if(md5.begin(), md5.end(), std::back_inserter(out),
                 [](const std::string& m) { return m != kEmpty; });
    return out;
}

std::vector<std::string> Md5s(const std::vector<Packet>& packets) {
    std::vector<std::string> out;
    for (const Packet& p : packets)
        out.push_back(p.md5);
    return out;
}

} // namespace

TEST(VfwSloppy, DamageOtherReadersSeeThroughReadsAsTheyReadIt) {
    SAMPLE_OR_SKIP(src, samplefiles::FfmpegMpeg4CbrMp3());
    SAMPLE_OR_SKIP(odml, samplefiles::AsOpenDml(src));
    struct Case {
        const char* tag;
        bool openDml;
        std::function<void(std::vector<uint8_t>&)> patch;
    };
    const std::vector<Case> cases = {
        // VLC: the header list declared 4 bytes short of its last chunk.
        {"hdrl-4-short", false,
         [](auto& f) { Put32(f, Find(f, "hdrl") - 4, Get32(f, Find(f, "hdrl") - 4) - 4); }},
        // A capture program that never finished: sizes 0, no index.
        {"unfinished", false,
         [](auto& f) {
             Put32(f, 4, 0);
             Put32(f, Find(f, "movi") - 4, 0);
             f.resize(Find(f, "idx1"));
         }},
        // Bytes after the RIFF form that are no chunk.
        {"trailing-data", false, [](auto& f) { f.insert(f.end(), 5000, 0xA5); }},
        // A copy of the headers inside "JUNK" before the real ones.
        {"junk-header-copy", false,
         [](auto& f) {
             const size_t hdrl = Find(f, "hdrl") - 8;
             const uint32_t size = Get32(f, hdrl + 4) + 8;
             std::vector<uint8_t> junk = {'J', 'U', 'N', 'K', 0, 0, 0, 0};
             Put32(junk, 4, size);
             junk.insert(junk.end(), f.begin() + static_cast<long>(hdrl),
                         f.begin() + static_cast<long>(hdrl + size));
             f.insert(f.begin() + static_cast<long>(hdrl + size + (size & 1)), junk.begin(),
                      junk.end());
             Put32(f, 4, Get32(f, 4) + static_cast<uint32_t>(junk.size()));
         }},
        // Index chunk ids in capitals, in the index and in the chunks.
        {"capital-ids", false,
         [](auto& f) {
             for (size_t at = Find(f, "movi"); at + 4 <= f.size(); ++at)
                 if (std::memcmp(f.data() + at, "00dc", 4) == 0)
                     std::memcpy(f.data() + at, "00DC", 4);
         }},
        // The file ends inside its last chunk.
        {"truncated", false, [](auto& f) { f.resize(Find(f, "idx1") - 40); }},
        // A complete OpenDML index and an "idx1" that lists one frame.
        {"idx1-one-frame", true,
         [](auto& f) {
             std::vector<uint8_t> idx1 = {'i',  'd', 'x', '1', 16, 0, 0, 0, '0', '0', 'd', 'c',
                                          0x10, 0,   0,   0,   4,  0, 0, 0, 0,   0,   0,   0};
             Put32(idx1, 20, Get32(f, Find(f, "00dc") + 4));
             f.insert(f.end(), idx1.begin(), idx1.end());
             Put32(f, 4, static_cast<uint32_t>(f.size() - 8));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        const samplefiles::Sample s =
            samplefiles::PatchedCopy(c.openDml ? odml : src, c.tag, c.patch);
        ASSERT_TRUE(s) << s.reason;
        const FileDigest ours = DigestFile(s.path);
        ASSERT_EQ(ours.error, AVIERR_OK);
        const auto theirs = FrameMd5All(s.path);
        ASSERT_FALSE(theirs.at("v").empty());
        EXPECT_EQ(NonEmpty(ours.video.md5), Md5s(theirs.at("v")));
        // Audio reads in convenient amounts; byte-counted audio would not compare packet-wise.
        EXPECT_EQ(NonEmpty(ours.audio.md5).size(), theirs.at("a").size());
    }
}

// Every frame flagged key for a codec that codes differences, and an unfinished recording
// without an index: the key frames are the frames that stand alone, and the pictures are those
// of a decode from the start.
TEST(VfwSloppy, KeyFramesAreFoundWhereTheIndexCannotTell) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    std::string why;
    const std::string cinepak = testmedia::Make(
        "sloppy-cinepak.avi",
        "ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=4 -c:v "
        "cinepak -g 50 -f avi {out}",
        &why);
    ASSERT_FALSE(cinepak.empty()) << why;
    const auto allKey = samplefiles::PatchedCopy({cinepak, {}}, "all-key", [](auto& f) {
        const size_t idx1 = Find(f, "idx1");
        for (size_t at = idx1 + 8; at + 16 <= f.size(); at += 16)
            Put32(f, at + 4, Get32(f, at + 4) | AVIIF_KEYFRAME);
    });
    SAMPLE_OR_SKIP(mpeg4, samplefiles::FfmpegMpeg4CbrMp3());
    const auto unfinished = samplefiles::PatchedCopy(mpeg4, "unfinished-keys", [](auto& f) {
        Put32(f, 4, 0);
        Put32(f, Find(f, "movi") - 4, 0);
        f.resize(Find(f, "idx1"));
    });
    for (const auto& [file, original] :
         {std::pair{allKey.path, cinepak}, {unfinished.path, mpeg4.path}}) {
        SCOPED_TRACE(file);
        TAVIExtractor x;
        x.Open(file);
        ASSERT_TRUE(x.Valid);
        const std::map<int64_t, bool> want = ProbeVideoKeys(original);
        for (int32_t f = 0; f < x.FrameCount(); ++f) {
            const auto it = want.find(f);
            const bool key = x.NearestKeyFrame(f) == f;
            // ffmpeg leaves empty chunks out; they are no key frames.
            EXPECT_EQ(key, it != want.end() && it->second) << "frame " << f;
        }
    }
    // Frame 76 decodes from key frame 50, not as the lone frame its flag claimed it to be.
    TAVIExtractor x;
    x.Open(allKey.path);
    TFrameBitmap got;
    ASSERT_TRUE(x.GetFrameBitmap(got, 76));
    const testmedia::RunResult r =
        testmedia::Run("ffmpeg -nostdin -v error -i " + testmedia::Quote(cinepak) +
                       " -vf 'select=gte(n\\,76)' -frames:v 1 -f rawvideo -pix_fmt bgra -");
    ASSERT_EQ(r.out.size(), got.Pixels.size());
    size_t differ = 0;
    for (size_t i = 0; i < got.Pixels.size(); i += 4)
        differ += std::memcmp(r.out.data() + i, got.Pixels.data() + i, 3) != 0;
    EXPECT_EQ(differ, 0u);
}
