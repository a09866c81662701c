// Lossless cuts and MP3 extraction on real files, checked against ffmpeg and ffprobe.
#include "engine/avi/EngineErrors.h"
#include "engine/jobs/SequenceCutter.h"
#include "engine/jobs/U_AVIExtractor.h"
#include "tests/common/SampleFiles.h"
#include "tests/common/TestMedia.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sys/mount.h>

using namespace testmedia;

namespace {

struct CutResult {
    std::string out;
    int32_t S = 0;
    int32_t last = 0;
    std::vector<int> progress;
};

CutResult Cut(const std::string& src, int32_t first, int32_t last, const std::string& tag) {
    CutResult r;
    r.out = TempDir() + "/" + tag + ".avi";
    TAVIExtractor x;
    x.Open(src);
    EXPECT_TRUE(x.Valid);
    if (last < 0)
        last = x.FrameCount() - 1;
    r.last = last;
    r.S = x.NearestKeyFrame(first);
    x.OnProgress = [&](uint8_t p) { r.progress.push_back(p); };
    x.CreateOutput(r.out);
    EXPECT_TRUE(x.Writing);
    x.SaveRange(first, last);
    EXPECT_FALSE(x.Writing);
    return r;
}

// Raw audio bytes of a file as an independent reader sees them.
std::vector<uint8_t> AudioBytes(const std::string& file);

// The sources are probed once however many ranges are cut from them.
template <typename T, typename F> const T& Cached(const std::string& key, F make) {
    static std::map<std::string, T> cache;
    auto at = cache.find(key);
    if (at == cache.end())
        at = cache.emplace(key, make()).first;
    return at->second;
}

const std::vector<vfwtest::Packet>& SourcePackets(const std::string& file,
                                                  const std::string& kind) {
    return Cached<std::vector<vfwtest::Packet>>(file + "|" + kind,
                                                [&] { return vfwtest::FrameMd5(file, kind); });
}

const std::map<int64_t, bool>& SourceKeys(const std::string& file) {
    return Cached<std::map<int64_t, bool>>(file, [&] { return vfwtest::ProbeVideoKeys(file); });
}

const std::vector<uint8_t>& SourceAudio(const std::string& file) {
    return Cached<std::vector<uint8_t>>(file, [&] { return AudioBytes(file); });
}

std::vector<uint8_t> AudioBytes(const std::string& file) {
    const std::string out = TempDir() + "/audio.raw";
    testmedia::Run("ffmpeg -nostdin -v error -y -i " + Quote(file) +
                   " -map 0:a:0 -c copy -f data " + Quote(out));
    return ReadAll(out);
}

// Byte offset in the source's audio data of audio sample `sample`, through our reader.
int64_t AudioByteOffset(PAVISTREAM audio, LONG sample) {
    const AVISTREAMINFOW info = vfwtest::InfoOf(audio);
    const LONG start = AVIStreamStart(audio);
    if (info.dwSampleSize > 0)
        return int64_t{sample - start} * info.dwSampleSize;
    int64_t bytes = 0;
    for (LONG s = start; s < sample; ++s) {
        LONG n = 0;
        AVIStreamRead(audio, s, 1, nullptr, 0, &n, nullptr);
        bytes += n;
    }
    return bytes;
}

void ExpectVideoIsSourceRange(const std::string& src, const CutResult& r) {
    // The independent reader's packets, paired by time stamp (empty chunks give none).
    const auto& srcPackets = SourcePackets(src, "v");
    const auto outPackets = vfwtest::FrameMd5(r.out, "v");
    std::vector<vfwtest::Packet> expected;
    for (const auto& p : srcPackets)
        if (p.dts >= r.S && p.dts <= r.last)
            expected.push_back({p.dts - r.S, p.size, p.md5});
    ASSERT_EQ(outPackets.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(outPackets[i].dts, expected[i].dts);
        EXPECT_EQ(outPackets[i].md5, expected[i].md5) << "packet " << i;
    }
    const auto& srcKeys = SourceKeys(src);
    for (const auto& [dts, key] : vfwtest::ProbeVideoKeys(r.out))
        EXPECT_EQ(key, srcKeys.at(dts + r.S)) << "key flag of frame " << dts;

    // Our own walk sees the empty chunks too.
    vfwtest::File a, b;
    ASSERT_EQ(vfwtest::OpenRead(a, src), AVIERR_OK);
    ASSERT_EQ(vfwtest::OpenRead(b, r.out), AVIERR_OK);
    vfwtest::Stream va, vb;
    ASSERT_EQ(AVIFileGetStream(a.p, &va.p, streamtypeVIDEO, 0), AVIERR_OK);
    ASSERT_EQ(AVIFileGetStream(b.p, &vb.p, streamtypeVIDEO, 0), AVIERR_OK);
    ASSERT_EQ(AVIStreamLength(vb.p), r.last - r.S + 1);
    for (LONG i = 0; i <= r.last - r.S; ++i) {
        HRESULT h1 = 0, h2 = 0;
        EXPECT_EQ(vfwtest::ReadSamples(vb.p, i, 1, &h2),
                  vfwtest::ReadSamples(va.p, r.S + i, 1, &h1))
            << "frame " << i;
        EXPECT_EQ(AVIStreamFindSample(vb.p, i, FIND_KEY) == i,
                  AVIStreamFindSample(va.p, r.S + i, FIND_KEY) == r.S + i);
    }
}

void ExpectAudioIsContiguousRun(const std::string& src, const CutResult& r) {
    TAVIExtractor x;
    x.Open(src);
    if (!x.HasAudio || !x.AudioReadable)
        return;
    const std::vector<uint8_t>& all = SourceAudio(src);
    const std::vector<uint8_t> got = AudioBytes(r.out);
    ASSERT_FALSE(got.empty());
    const auto at = std::search(all.begin(), all.end(), got.begin(), got.end());
    ASSERT_NE(at, all.end()) << "the cut's audio is not a run of the source's audio";
    const int64_t offset = at - all.begin();
    const LONG a0 = AVIStreamTimeToSample(x.AudioStream, AVIStreamSampleToTime(x.VideoStream, r.S));
    int64_t expected = 0;
    int64_t packet = 0;
    if (x.UseChunkIndex) {
        const int64_t first = a0 - AVIStreamStart(x.AudioStream);
        for (int64_t j = 0; j < first && j < int64_t(x.Scanner->Chunks.size()); ++j)
            expected += x.Scanner->Chunks[size_t(j)].Size;
        for (const auto& c : x.Scanner->Chunks)
            packet = std::max<int64_t>(packet, c.Size);
    } else {
        expected = AudioByteOffset(x.AudioStream, a0);
        packet = vfwtest::InfoOf(x.AudioStream).dwSuggestedBufferSize;
        for (const auto& p : SourcePackets(src, "a"))
            packet = std::max(packet, p.size);
    }
    EXPECT_GE(offset, expected);
    EXPECT_LT(offset, expected + std::max<int64_t>(packet, 1));
}

// The output's chunks are not all video first and audio after.
void ExpectInterleaved(const std::string& out) {
    const RunResult r = testmedia::Run(
        "ffprobe -v error -show_entries packet=stream_index,pos -of csv=p=0 " + Quote(out));
    std::vector<std::pair<int64_t, int>> chunks;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t comma = line.find(',');
        if (comma != std::string::npos)
            chunks.emplace_back(std::stoll(line.substr(comma + 1)), std::stoi(line));
    }
    std::sort(chunks.begin(), chunks.end());
    size_t switches = 0;
    for (size_t i = 1; i < chunks.size(); ++i)
        switches += chunks[i].second != chunks[i - 1].second;
    EXPECT_GT(switches, 2u) << "audio and video are not interleaved";
    const std::vector<uint8_t> file = ReadAll(out);
    const auto avih = std::search(file.begin(), file.end(), "avih", "avih" + 4);
    ASSERT_NE(avih, file.end());
    const uint32_t flags = samplefiles::Get32(file, size_t(avih - file.begin()) + 8 + 12);
    EXPECT_NE(flags & AVIF_ISINTERLEAVED, 0u);
}

struct RangeCase {
    int32_t first;
    int32_t last; // -1: the last frame
};

} // namespace

TEST(SequenceCutter, CopiesRangesOfEveryFileKindExactly) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    const RangeCase ranges[] = {{5, 20}, {0, 10}, {30, -1}, {26, 30}};
    for (const auto& kind : samplefiles::AllKinds()) {
        const samplefiles::Sample sample = kind.make();
        if (!sample) {
            std::cout << "skipping " << kind.name << ": " << sample.reason << "\n";
            continue;
        }
        const auto before = vfwtest::Md5Hex(ReadAll(sample.path));
        for (const RangeCase& range : ranges) {
            SCOPED_TRACE(std::string(kind.name) + " from " + std::to_string(range.first));
            const CutResult r = Cut(sample.path, range.first, range.last, kind.name);
            ExpectVideoIsSourceRange(sample.path, r);
            ExpectAudioIsContiguousRun(sample.path, r);
            EXPECT_EQ(testmedia::Run("ffprobe -v error " + Quote(r.out)).err, "");
            TAVIExtractor again;
            again.Open(r.out);
            EXPECT_EQ(again.FrameCount(), r.last - r.S + 1);
            ASSERT_FALSE(r.progress.empty());
            EXPECT_EQ(r.progress.front(), 0);
            EXPECT_EQ(r.progress[r.progress.size() - 2], 100);
            EXPECT_EQ(r.progress.back(), 0);
        }
        EXPECT_EQ(vfwtest::Md5Hex(ReadAll(sample.path)), before) << "the source changed";
    }
}

TEST(SequenceCutter, OutputIsInterleavedWithCompleteFormats) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    // Global headers put the codec's extradata into the format, beyond the 40-byte header.
    std::string why;
    const std::string src = Make(
        "extradata.avi",
        "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120:rate=25:duration=3 -f lavfi "
        "-i sine=duration=3 -c:v mpeg4 -flags +global_header -g 12 -c:a libmp3lame -b:a 64k {out}",
        &why);
    ASSERT_FALSE(src.empty()) << why;
    const CutResult r = Cut(src, 0, -1, "interleaved");
    ExpectInterleaved(r.out);
    // ffmpeg's mpeg4 format carries extradata beyond the 40-byte header: copied whole.
    vfwtest::File a, b;
    vfwtest::OpenRead(a, src);
    vfwtest::OpenRead(b, r.out);
    vfwtest::Stream va, vb, aa, ab;
    AVIFileGetStream(a.p, &va.p, streamtypeVIDEO, 0);
    AVIFileGetStream(b.p, &vb.p, streamtypeVIDEO, 0);
    AVIFileGetStream(a.p, &aa.p, streamtypeAUDIO, 0);
    AVIFileGetStream(b.p, &ab.p, streamtypeAUDIO, 0);
    EXPECT_GT(vfwtest::FormatOf(va.p).size(), 40u);
    EXPECT_EQ(vfwtest::FormatOf(vb.p), vfwtest::FormatOf(va.p));
    EXPECT_EQ(vfwtest::FormatOf(ab.p), vfwtest::FormatOf(aa.p));
}

TEST(SequenceCutter, ByteCountedMp3IsCutOnFrameBoundaries) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    SAMPLE_OR_SKIP(sample, samplefiles::MencoderMpeg4CbrMp3());
    for (const RangeCase& range : {RangeCase{13, 40}, RangeCase{26, -1}}) {
        const CutResult r = Cut(sample.path, range.first, range.last, "mencoder-cbr");
        const std::vector<uint8_t> audio = AudioBytes(r.out);
        ASSERT_GE(audio.size(), 4u);
        EXPECT_EQ(audio[0], 0xFF);
        EXPECT_EQ(audio[1] & 0xE0, 0xE0);
        EXPECT_EQ(testmedia::Run("ffprobe -v error " + Quote(r.out)).err, "");
        EXPECT_EQ(
            testmedia::Run("ffmpeg -nostdin -v error -i " + Quote(r.out) + " -map 0:a -f null -")
                .err,
            "");
    }
}

TEST(SequenceCutter, AudioWithALaterStartKeepsItsFirstSamples) {
    SAMPLE_OR_SKIP(base, samplefiles::FfmpegMpeg4CbrMp3());
    const samplefiles::Sample sample =
        samplefiles::PatchedCopy(base, "audio-start-10", [](std::vector<uint8_t>& f) {
            samplefiles::Put32(
                f, samplefiles::FindStreamHeader(f, "auds") + samplefiles::kStrhStart, 10);
        });
    ASSERT_TRUE(sample) << sample.reason;
    const CutResult r = Cut(sample.path, 0, -1, "start10");
    const std::vector<uint8_t> all = AudioBytes(sample.path);
    const std::vector<uint8_t> got = AudioBytes(r.out);
    ASSERT_GT(got.size(), 1000u);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 1000, all.begin()))
        << "the cut lost the first audio chunks";
}

TEST(SequenceCutter, ChunkListPathCopiesChunksOfTheRange) {
    SAMPLE_OR_SKIP(sample, samplefiles::UnreadableAudioSampleSize());
    TAVIExtractor x;
    x.Open(sample.path);
    ASSERT_TRUE(x.UseChunkIndex);
    const CutResult r = Cut(sample.path, 30, -1, "chunklist");
    ExpectVideoIsSourceRange(sample.path, r);
    // The output's audio chunks are exactly source chunks a0 .. a1 of the list: one chunk per
    // sample of the stream's time base, not limited by a length counted in dwSampleSize units
    // of the bytes (which would drop the second half of the audio).
    const auto chunkAt = [&](LONG frame) {
        const uint64_t ms = static_cast<uint64_t>(AVIStreamSampleToTime(x.VideoStream, frame));
        return static_cast<LONG>(ms * x.AudioInfo.dwRate / (uint64_t{x.AudioInfo.dwScale} * 1000));
    };
    const LONG a0 = std::max<LONG>(chunkAt(r.S), AVIStreamStart(x.AudioStream));
    const LONG a1 = chunkAt(r.last);
    ASSERT_LT(a1 - a0 + 1, static_cast<LONG>(x.Scanner->Chunks.size()));
    TAviIndexScanner out;
    out.Scan(r.out);
    out.SelectChunks("01wb");
    const LONG A0 = AVIStreamStart(x.AudioStream);
    const size_t expectedCount =
        std::min<size_t>(size_t(a1 - a0 + 1), x.Scanner->Chunks.size() - size_t(a0 - A0));
    ASSERT_EQ(out.Chunks.size(), expectedCount);
    const std::vector<uint8_t> src = ReadAll(sample.path);
    const std::vector<uint8_t> dst = ReadAll(r.out);
    for (size_t k = 0; k < out.Chunks.size(); ++k) {
        const auto& from = x.Scanner->Chunks[size_t(a0 - A0) + k];
        const auto& to = out.Chunks[k];
        ASSERT_EQ(from.Size, to.Size);
        EXPECT_TRUE(std::equal(src.begin() + long(x.Scanner->DataPosition(from)),
                               src.begin() + long(x.Scanner->DataPosition(from) + from.Size),
                               dst.begin() + long(out.DataPosition(to))));
    }
}

TEST(SequenceCutter, DegenerateRangesDoNotFail) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    TAVIExtractor x;
    x.Open(sample.path);
    const int32_t key = x.NextKeyFrame(10);
    const CutResult one = Cut(sample.path, key, key, "one-frame");
    x.Open(one.out);
    EXPECT_EQ(x.FrameCount(), 1);
    EXPECT_EQ(one.progress, (std::vector<int>{100, 0}));
    const CutResult backwards = Cut(sample.path, 30, 10, "backwards");
    x.Open(backwards.out);
    EXPECT_EQ(x.FrameCount(), 0);
    EXPECT_EQ(testmedia::Run("ffprobe -v error " + Quote(backwards.out)).exitCode, 0);
}

TEST(SequenceCutter, FailuresRaiseAndLeaveAReadableOutput) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    TAVIExtractor x;
    x.Open(sample.path);
    try {
        x.CreateOutput(TempDir() + "/no/such/folder/out.avi");
        FAIL() << "CreateOutput succeeded in a missing folder";
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "FileOpen failed. Err: $8004406F");
    }
    EXPECT_FALSE(x.Writing);

    // A device that is always full.
    x.CreateOutput("/dev/full");
    EXPECT_THROW(
        {
            try {
                x.SaveRange(0, x.FrameCount() - 1);
            } catch (const EAssertionFailed& e) {
                EXPECT_STREQ(e.what(), "StreamWrite failed. Err: $8004406E");
                throw;
            }
        },
        EAssertionFailed);
    EXPECT_FALSE(x.Writing);

    // The source shrinks under the open engine: reads in the range fail.
    const std::string shrinking = TempDir() + "/shrinking.avi";
    std::filesystem::copy_file(sample.path, shrinking);
    TAVIExtractor y;
    y.Open(shrinking);
    std::filesystem::resize_file(shrinking, FileSizeOf(shrinking) / 2);
    const std::string partial = TempDir() + "/partial.avi";
    y.CreateOutput(partial);
    EXPECT_THROW(y.SaveRange(0, y.FrameCount() - 1), EAssertionFailed);
    EXPECT_FALSE(y.Writing);
    const RunResult probe =
        testmedia::Run("ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                       "stream=nb_read_packets -of csv=p=0 " +
                       Quote(partial));
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_GT(std::atoi(probe.out.c_str()), 10);
}

TEST(SequenceCutter, FullDiskOnARealFileSystem) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    const std::string dir = TempDir() + "/small";
    std::filesystem::create_directory(dir);
    if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    TAVIExtractor x;
    x.Open(sample.path);
    x.CreateOutput(dir + "/out.avi");
    EXPECT_THROW(x.SaveRange(0, x.FrameCount() - 1), EAssertionFailed);
    EXPECT_FALSE(x.Writing);
    umount(dir.c_str());
}

TEST(AudioExtractor, ExtractsTheStoredMp3OnBothPaths) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    struct Case {
        const char* name;
        samplefiles::Sample (*make)();
        bool chunkList;
    };
    const Case cases[] = {{"ffmpeg", samplefiles::FfmpegMpeg4CbrMp3, false},
                          {"ffmpeg-vbr", samplefiles::FfmpegMpeg4VbrMp3, false},
                          {"mencoder", samplefiles::MencoderMpeg4CbrMp3, false},
                          {"unreadable", samplefiles::UnreadableAudioSampleSize, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const samplefiles::Sample sample = c.make();
        if (!sample)
            continue;
        TAVIExtractor x;
        x.Open(sample.path);
        ASSERT_TRUE(x.IsMP3 && x.AudioReadable);
        EXPECT_EQ(x.UseChunkIndex, c.chunkList);
        std::vector<int> progress;
        x.OnProgress = [&](uint8_t p) { progress.push_back(p); };
        const std::string out = TempDir() + "/" + c.name + ".mp3";
        WriteAll(out, std::vector<uint8_t>(100000, 0x55)); // replaced, not appended to
        x.ExtractAudio(out);
        EXPECT_EQ(ReadAll(out), AudioBytes(sample.path));
        EXPECT_EQ(testmedia::Run("ffmpeg -nostdin -v error -i " + Quote(out) + " -f null -").err,
                  "");
        ASSERT_GE(progress.size(), 2u);
        EXPECT_EQ(progress.back(), 0);
        EXPECT_EQ(progress[progress.size() - 2], 100);
        if (!c.chunkList) {
            ASSERT_EQ(progress.size(), 22u);
            for (size_t i = 0; i <= 20; ++i)
                EXPECT_EQ(progress[i], int(i * 5));
        }
    }
}

TEST(AudioExtractor, WritesNothingForAudioThatIsNotMp3) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMsmpeg4v2Pcm());
    TAVIExtractor x;
    x.Open(sample.path);
    const std::string out = TempDir() + "/pcm.mp3";
    x.ExtractAudio(out);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(AudioExtractor, ChunksPastTheEndAreZeroFilled) {
    SAMPLE_OR_SKIP(sample, samplefiles::UnreadableAudioSampleSize());
    TAVIExtractor x;
    x.Open(sample.path);
    ASSERT_TRUE(x.UseChunkIndex);
    // Cut the file after the engine opened it: the last chunks now lie beyond its end.
    const std::string copy = TempDir() + "/zerofill.avi";
    std::filesystem::copy_file(sample.path, copy);
    TAVIExtractor y;
    y.Open(copy);
    uint64_t total = 0;
    for (const auto& c : y.Scanner->Chunks)
        total += c.Size;
    const uint64_t lastData = y.Scanner->DataPosition(y.Scanner->Chunks.back());
    std::filesystem::resize_file(copy, lastData + 1);
    const std::string out = TempDir() + "/zerofill.mp3";
    y.ExtractAudio(out);
    const std::vector<uint8_t> got = ReadAll(out);
    ASSERT_EQ(got.size(), total);
    EXPECT_TRUE(std::all_of(got.end() - long(y.Scanner->Chunks.back().Size) + 1, got.end(),
                            [](uint8_t b) { return b == 0; }));
}

TEST(CutPlan, SinglePassOrderKeepsEachStreamInOrder) {
    std::vector<cut::CopyItem> items(4);
    items[0] = {100, 0, 0};
    items[1] = {50, 0, 1}; // listed out of file order: stays after frame 0
    items[2] = {60, 1, 0};
    items[3] = {200, 1, 1};
    cut::OrderForSinglePass(items);
    EXPECT_EQ(items[0].OutStream, 1);
    EXPECT_EQ(items[1].Position, 0);
    EXPECT_EQ(items[1].OutStream, 0);
    EXPECT_EQ(items[2].Position, 1);
    EXPECT_EQ(items[2].OutStream, 0);
    EXPECT_EQ(items[3].OutStream, 1);
    EXPECT_EQ(cut::FrameProgress(5, 5, 5), 100);
    EXPECT_EQ(cut::FrameProgress(7, 5, 9), 50);
}
