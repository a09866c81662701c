// VfwSemantics_test: the documented behaviour of the AVIFile calls on real streams - reading and
// its size queries, formats, sample searches, time conversions, handles and their references,
// the audio the service refuses, reads from several threads, and calls routed to the writer.
#include "tests/common/SampleFiles.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

using namespace vfwtest;

namespace {

struct Opened {
    File file;
    Stream video;
    Stream audio;
};

// Opens a sample and its first video and audio streams (audio may be missing).
void OpenSample(const std::string& path, Opened& o) {
    ASSERT_EQ(OpenRead(o.file, path), AVIERR_OK);
    ASSERT_EQ(AVIFileGetStream(o.file.p, &o.video.p, streamtypeVIDEO, 0), AVIERR_OK);
    AVIFileGetStream(o.file.p, &o.audio.p, streamtypeAUDIO, 0);
}

std::vector<uint8_t> FileBytes(const std::string& path, uint64_t offset, size_t size) {
    std::vector<uint8_t> data(size);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return {};
    std::fseek(f, static_cast<long>(offset), SEEK_SET);
    data.resize(std::fread(data.data(), 1, size, f));
    std::fclose(f);
    return data;
}

TEST(VfwSemantics, ReadingOneSampleAtATime) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    Opened o;
    OpenSample(sample.path, o);
    PAVISTREAM v = o.video.p;
    const LONG length = AVIStreamLength(v);
    const LONG size0 = AVIStreamFindSample(v, 0, FIND_SIZE | FIND_NEXT | FIND_ANY);
    ASSERT_GT(size0, 100);

    // Without a buffer only the size is reported; dwSampleSize 0 reads one sample per call,
    // however many are asked for.
    LONG bytes = -1, samples = -1;
    EXPECT_EQ(AVIStreamRead(v, 0, 5, nullptr, 0, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(bytes, size0);
    EXPECT_EQ(samples, 1);
    EXPECT_EQ(AVIStreamRead(v, 0, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &samples),
              AVIERR_OK);
    EXPECT_EQ(bytes, size0);
    EXPECT_EQ(samples, 1);

    std::vector<uint8_t> buffer(static_cast<size_t>(size0) + 100);
    EXPECT_EQ(
        AVIStreamRead(v, 0, 5, buffer.data(), static_cast<LONG>(buffer.size()), &bytes, &samples),
        AVIERR_OK);
    EXPECT_EQ(bytes, size0);
    EXPECT_EQ(samples, 1);
    const uint64_t offset =
        static_cast<uint64_t>(AVIStreamFindSample(v, 0, FIND_OFFSET | FIND_NEXT | FIND_ANY));
    buffer.resize(static_cast<size_t>(size0));
    EXPECT_EQ(buffer, FileBytes(sample.path, offset, static_cast<size_t>(size0)));

    // A buffer too small for the sample: nothing read, the size needed reported.
    EXPECT_EQ(AVIStreamRead(v, 0, 1, buffer.data(), 100, &bytes, &samples), AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(bytes, size0);
    EXPECT_EQ(samples, 0);

    // Positions outside the stream, bad counts, and the empty read.
    EXPECT_EQ(AVIStreamRead(v, length, 1, nullptr, 0, &bytes, &samples), AVIERR_NODATA);
    EXPECT_EQ(AVIStreamRead(v, -1, 1, nullptr, 0, &bytes, &samples), AVIERR_NODATA);
    EXPECT_EQ(AVIStreamRead(v, 0, -2, nullptr, 0, &bytes, &samples), AVIERR_BADPARAM);
    EXPECT_EQ(AVIStreamRead(v, length, 0, buffer.data(), 0, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(samples, 0);
    EXPECT_EQ(AVIStreamRead(v, length + 1, 0, nullptr, 0, &bytes, &samples), AVIERR_NODATA);
    EXPECT_EQ(AVIStreamRead(v, length - 1, 1, nullptr, 0, &bytes, &samples), AVIERR_OK);
}

TEST(VfwSemantics, ReadingByteCountedAudio) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMsmpeg4v2Pcm());
    Opened o;
    OpenSample(sample.path, o);
    PAVISTREAM a = o.audio.p;
    ASSERT_TRUE(a);
    const AVISTREAMINFOW info = InfoOf(a);
    ASSERT_EQ(info.dwSampleSize, 4u); // 16-bit stereo
    const LONG length = AVIStreamLength(a);
    const LONG firstChunk = AVIStreamFindSample(a, 0, FIND_LENGTH | FIND_FROM_START | FIND_ANY);
    ASSERT_GT(firstChunk, 10);
    ASSERT_GT(length, firstChunk + 10);

    // The convenient amount is the rest of the chunk.
    LONG bytes = 0, samples = 0;
    EXPECT_EQ(AVIStreamRead(a, 3, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &samples),
              AVIERR_OK);
    EXPECT_EQ(samples, firstChunk - 3);
    EXPECT_EQ(bytes, (firstChunk - 3) * 4);

    // A read across a chunk boundary joins the bytes of both chunks.
    const LONG from = firstChunk - 3;
    std::vector<uint8_t> data(40);
    EXPECT_EQ(AVIStreamRead(a, from, 10, data.data(), 40, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(bytes, 40);
    EXPECT_EQ(samples, 10);
    const auto at0 = static_cast<uint64_t>(AVIStreamFindSample(a, from, FIND_OFFSET | FIND_PREV));
    const auto at1 =
        static_cast<uint64_t>(AVIStreamFindSample(a, firstChunk, FIND_OFFSET | FIND_PREV));
    std::vector<uint8_t> expected =
        FileBytes(sample.path, at0 + 4 * static_cast<uint64_t>(from), 12);
    const std::vector<uint8_t> second = FileBytes(sample.path, at1, 28);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(data, expected);

    // A small buffer takes the whole samples that fit; less than one is too small.
    EXPECT_EQ(AVIStreamRead(a, 0, 5, data.data(), 10, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(bytes, 8);
    EXPECT_EQ(samples, 2);
    EXPECT_EQ(AVIStreamRead(a, 0, 5, data.data(), 3, &bytes, &samples), AVIERR_BUFFERTOOSMALL);
    // A read running past the end stops there.
    EXPECT_EQ(AVIStreamRead(a, length - 2, 10, nullptr, 0, &bytes, &samples), AVIERR_OK);
    EXPECT_EQ(samples, 2);
    EXPECT_EQ(AVIStreamRead(a, length, 1, nullptr, 0, &bytes, &samples), AVIERR_NODATA);
    // Byte-counted audio has no frames: every sample is a place to start.
    EXPECT_EQ(AVIStreamFindSample(a, 1001, FIND_KEY | FIND_PREV), 1001);
}

TEST(VfwSemantics, ReadFormatSizesAndShortBuffers) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    Opened o;
    OpenSample(sample.path, o);
    LONG size = 0;
    EXPECT_EQ(AVIStreamReadFormat(o.video.p, 0, nullptr, &size), AVIERR_OK);
    EXPECT_EQ(size, 40);
    BITMAPINFOHEADER bi{};
    size = sizeof bi;
    EXPECT_EQ(AVIStreamReadFormat(o.video.p, 0, &bi, &size), AVIERR_OK);
    EXPECT_EQ(bi.biWidth, 160);
    EXPECT_EQ(bi.biHeight, 120);
    EXPECT_EQ(AVIStreamReadFormat(o.video.p, 0, &bi, nullptr), AVIERR_BADPARAM);

    // ffmpeg's MP3 format is 30 bytes; a 16-byte buffer gets the first 16 and the size needed.
    std::vector<uint8_t> full(30), part(30, 0xEE);
    size = 30;
    ASSERT_EQ(AVIStreamReadFormat(o.audio.p, 0, full.data(), &size), AVIERR_OK);
    ASSERT_EQ(size, 30);
    size = 16;
    EXPECT_EQ(AVIStreamReadFormat(o.audio.p, 0, part.data(), &size), AVIERR_BUFFERTOOSMALL);
    EXPECT_EQ(size, 30);
    EXPECT_TRUE(std::equal(part.begin(), part.begin() + 16, full.begin()));
    EXPECT_EQ(part[16], 0xEE);
    MPEGLAYER3WAVEFORMAT mp3{};
    std::memcpy(&mp3, full.data(), sizeof mp3);
    EXPECT_EQ(mp3.wfx.wFormatTag, WAVE_FORMAT_MPEGLAYER3);
    EXPECT_EQ(mp3.wfx.nSamplesPerSec, 44100u);
}

TEST(VfwSemantics, FindSample) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    Opened o;
    OpenSample(sample.path, o);
    PAVISTREAM v = o.video.p;
    const LONG length = AVIStreamLength(v);
    const std::map<int64_t, bool> probe = ProbeVideoKeys(sample.path);
    std::vector<LONG> keys;
    for (const auto& [dts, key] : probe)
        if (key)
            keys.push_back(static_cast<LONG>(dts));
    ASSERT_GE(keys.size(), 3u);
    const LONG k1 = keys[1], k2 = keys[2], last = keys.back();

    EXPECT_EQ(AVIStreamFindSample(v, k1, FIND_KEY | FIND_PREV), k1); // a key frame finds itself
    EXPECT_EQ(AVIStreamFindSample(v, k1 + 1, FIND_KEY | FIND_PREV), k1);
    EXPECT_EQ(AVIStreamFindSample(v, k1 - 1, FIND_KEY | FIND_PREV), keys[0]);
    EXPECT_EQ(AVIStreamFindSample(v, k1 + 1, FIND_KEY | FIND_NEXT), k2);
    EXPECT_EQ(AVIStreamFindSample(v, k1, FIND_KEY | FIND_NEXT), k1);
    EXPECT_EQ(AVIStreamFindSample(v, k1 + 1, FIND_KEY), k1); // no direction: backward
    EXPECT_EQ(AVIStreamFindSample(v, k2, FIND_KEY | FIND_FROM_START), 0);
    EXPECT_EQ(AVIStreamFindSample(v, last + 1, FIND_KEY | FIND_NEXT), -1);
    EXPECT_EQ(AVIStreamFindSample(v, -1, FIND_KEY | FIND_PREV), -1);
    EXPECT_EQ(AVIStreamFindSample(v, length + 50, FIND_KEY | FIND_PREV), last);
    EXPECT_EQ(AVIStreamFindSample(v, length, FIND_ANY | FIND_NEXT), -1);
    EXPECT_EQ(AVIStreamFindSample(v, k2, FIND_FORMAT | FIND_PREV), 0);
    EXPECT_EQ(AVIStreamFindSample(v, k2, FIND_FORMAT | FIND_NEXT), -1);

    // What is returned: sizes and positions as ffprobe sees the packet.
    const testmedia::RunResult r = testmedia::Run(
        "ffprobe -v error -select_streams v:0 -show_entries packet=dts,size,pos -of csv=p=0 " +
        testmedia::Quote(sample.path));
    std::istringstream lines(r.out);
    int checked = 0;
    for (std::string line; std::getline(lines, line) && checked < 20; ++checked) {
        long long dts = 0, size = 0, pos = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lld,%lld,%lld", &dts, &size, &pos), 3);
        const auto f = static_cast<LONG>(dts);
        EXPECT_EQ(AVIStreamFindSample(v, f, FIND_SIZE | FIND_PREV | FIND_ANY), size);
        EXPECT_EQ(AVIStreamFindSample(v, f, FIND_OFFSET | FIND_PREV | FIND_ANY), pos);
        EXPECT_EQ(AVIStreamFindSample(v, f, FIND_LENGTH | FIND_PREV | FIND_ANY), 1);
    }
    EXPECT_EQ(checked, 20);
}

TEST(VfwSemantics, TimeConversions) {
    SAMPLE_OR_SKIP(mp3, samplefiles::FfmpegMpeg4CbrMp3());
    SAMPLE_OR_SKIP(pcm, samplefiles::FfmpegMsmpeg4v2Pcm());
    SAMPLE_OR_SKIP(cbr, samplefiles::MencoderMpeg4CbrMp3());
    SAMPLE_OR_SKIP(ntsc, samplefiles::PatchedCopy(mp3, "ntsc", [](std::vector<uint8_t>& f) {
                       const size_t strh = samplefiles::FindStreamHeader(f, "vids");
                       samplefiles::Put32(f, strh + samplefiles::kStrhScale, 1001);
                       samplefiles::Put32(f, strh + samplefiles::kStrhRate, 30000);
                   }));
    {
        // Video at 25 fps (scale 1, rate 25): rounds down; clamps to [start, start + length].
        Opened o;
        OpenSample(mp3.path, o);
        PAVISTREAM v = o.video.p;
        ASSERT_EQ(InfoOf(v).dwScale, 1u);
        ASSERT_EQ(InfoOf(v).dwRate, 25u);
        const LONG length = AVIStreamLength(v);
        EXPECT_EQ(AVIStreamSampleToTime(v, 10), 400);
        EXPECT_EQ(AVIStreamSampleToTime(v, -5), 0);
        EXPECT_EQ(AVIStreamSampleToTime(v, length + 100), length * 40);
        EXPECT_EQ(AVIStreamTimeToSample(v, 399), 9);
        EXPECT_EQ(AVIStreamTimeToSample(v, 400), 10);
        EXPECT_EQ(AVIStreamTimeToSample(v, -3), 0);
        EXPECT_EQ(AVIStreamTimeToSample(v, 1000000), length);
        // ffmpeg's MP3 counts frames of 1152 samples (scale 32, rate 1225): rounds down.
        PAVISTREAM a = o.audio.p;
        ASSERT_EQ(InfoOf(a).dwScale, 32u);
        ASSERT_EQ(InfoOf(a).dwRate, 1225u);
        EXPECT_EQ(AVIStreamSampleToTime(a, 1), 26);   // 26.12
        EXPECT_EQ(AVIStreamSampleToTime(a, 10), 261); // 261.2
        EXPECT_EQ(AVIStreamTimeToSample(a, 27), 1);   // 1.03
        EXPECT_EQ(AVIStreamTimeToSample(a, 52), 1);   // 1.99
    }
    {
        // 30000/1001 fps: frame 1 starts at 33.37 ms, frame 3 at 100.1 ms.
        Opened o;
        OpenSample(ntsc.path, o);
        EXPECT_EQ(AVIStreamSampleToTime(o.video.p, 1), 33);
        EXPECT_EQ(AVIStreamSampleToTime(o.video.p, 3), 100);
        EXPECT_EQ(AVIStreamTimeToSample(o.video.p, 100), 2);
        EXPECT_EQ(AVIStreamTimeToSample(o.video.p, 101), 3);
    }
    {
        // PCM at 44100 samples a second rounds up.
        Opened o;
        OpenSample(pcm.path, o);
        PAVISTREAM a = o.audio.p;
        ASSERT_EQ(InfoOf(a).dwScale, 1u);
        ASSERT_EQ(InfoOf(a).dwRate, 44100u);
        EXPECT_EQ(AVIStreamSampleToTime(a, 1), 1);
        EXPECT_EQ(AVIStreamSampleToTime(a, 44100), 1000);
        EXPECT_EQ(AVIStreamSampleToTime(a, 44101), 1001);
        EXPECT_EQ(AVIStreamTimeToSample(a, 1), 45); // 44.1
        EXPECT_EQ(AVIStreamTimeToSample(a, 1000), 44100);
    }
    {
        // mencoder's CBR MP3 counts bytes, 16000 a second: rounds up.
        Opened o;
        OpenSample(cbr.path, o);
        PAVISTREAM a = o.audio.p;
        ASSERT_EQ(InfoOf(a).dwRate, 16000u);
        EXPECT_EQ(AVIStreamSampleToTime(a, 1), 1);
        EXPECT_EQ(AVIStreamSampleToTime(a, 16001), 1001);
        EXPECT_EQ(AVIStreamTimeToSample(a, 1), 16);
    }
}

TEST(VfwSemantics, RefusedAudio) {
    SAMPLE_OR_SKIP(size1152, samplefiles::UnreadableAudioSampleSize());
    SAMPLE_OR_SKIP(rate0, samplefiles::UnreadableAudioZeroRate());
    for (const std::string& path : {size1152.path, rate0.path}) {
        SCOPED_TRACE(path);
        Opened o;
        OpenSample(path, o);
        ASSERT_TRUE(o.audio.p);
        // The probe the extractor makes, and any other read, are refused...
        LONG bytes = 0;
        EXPECT_EQ(AVIStreamRead(o.audio.p, AVIStreamStart(o.audio.p), AVISTREAMREAD_CONVENIENT,
                                nullptr, 0, &bytes, nullptr),
                  AVIERR_UNSUPPORTED);
        std::vector<uint8_t> buffer(100000);
        EXPECT_EQ(AVIStreamRead(o.audio.p, 0, 1, buffer.data(), 100000, &bytes, nullptr),
                  AVIERR_UNSUPPORTED);
        // ...while the stream is still described and the video reads.
        MPEGLAYER3WAVEFORMAT mp3{};
        LONG size = sizeof mp3;
        EXPECT_EQ(AVIStreamReadFormat(o.audio.p, 0, &mp3, &size), AVIERR_OK);
        EXPECT_EQ(mp3.wfx.wFormatTag, WAVE_FORMAT_MPEGLAYER3);
        EXPECT_EQ(AVIStreamRead(o.video.p, 0, 1, nullptr, 0, &bytes, nullptr), AVIERR_OK);
    }
    Opened o;
    OpenSample(rate0.path, o);
    EXPECT_EQ(AVIStreamSampleToTime(o.audio.p, 10), -1);
    EXPECT_EQ(AVIStreamTimeToSample(o.audio.p, 10), -1);
}

TEST(VfwSemantics, HandlesAndReferences) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpenW(&file, sample.path, OF_SHARE_DENY_WRITE, nullptr), AVIERR_OK);
    AVIFILEINFOW fi{};
    std::memset(&fi, 0xAB, sizeof fi);
    EXPECT_EQ(AVIFileInfoW(file, &fi, 16), AVIERR_OK); // a short record gets its first bytes
    EXPECT_EQ(fi.dwStreams, 2u);
    EXPECT_EQ(fi.dwWidth, 0xABABABABu);

    PAVISTREAM v1 = nullptr, v2 = nullptr, any1 = nullptr, none = nullptr;
    ASSERT_EQ(AVIFileGetStream(file, &v1, streamtypeVIDEO, 0), AVIERR_OK);
    ASSERT_EQ(AVIFileGetStream(file, &v2, streamtypeVIDEO, 0), AVIERR_OK);
    EXPECT_EQ(v1, v2);
    ASSERT_EQ(AVIFileGetStream(file, &any1, 0, 1), AVIERR_OK); // the second stream of any type
    EXPECT_EQ(InfoOf(any1).fccType, streamtypeAUDIO);
    EXPECT_EQ(AVIFileGetStream(file, &none, streamtypeVIDEO, 1), AVIERR_NODATA);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(AVIStreamRelease(any1), 0u);

    // The file released first stays open for its streams.
    EXPECT_EQ(AVIFileRelease(file), 1u);
    EXPECT_EQ(AVIStreamRelease(v2), 1u);
    LONG bytes = 0;
    EXPECT_EQ(AVIStreamRead(v1, 0, 1, nullptr, 0, &bytes, nullptr), AVIERR_OK);
    std::vector<uint8_t> frame(static_cast<size_t>(bytes));
    EXPECT_EQ(AVIStreamRead(v1, 0, 1, frame.data(), bytes, &bytes, nullptr), AVIERR_OK);
    EXPECT_EQ(AVIStreamRelease(v1), 0u);

    // Reading handles refuse writing calls.
    File f;
    ASSERT_EQ(OpenRead(f, sample.path), AVIERR_OK);
    Stream s;
    ASSERT_EQ(AVIFileGetStream(f.p, &s.p, streamtypeVIDEO, 0), AVIERR_OK);
    AVISTREAMINFOW info = InfoOf(s.p);
    PAVISTREAM created = nullptr;
    EXPECT_EQ(AVIFileCreateStreamW(f.p, &created, &info), AVIERR_READONLY);
    EXPECT_EQ(AVIStreamSetFormat(s.p, 0, frame.data(), 4), AVIERR_READONLY);
    EXPECT_EQ(AVIStreamWrite(s.p, 0, 1, frame.data(), 4, 0, nullptr, nullptr), AVIERR_READONLY);
    EXPECT_EQ(AVIFileFinish(f.p), AVIERR_OK);
}

TEST(VfwSemantics, ReadsFromSeveralThreads) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    const FileDigest expected = DigestFile(sample.path);
    ASSERT_EQ(expected.error, AVIERR_OK);
    Opened o;
    OpenSample(sample.path, o);
    std::vector<Digest> results(4);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i)
        threads.emplace_back([&, i] { results[i] = DigestOf(i % 2 ? o.audio.p : o.video.p); });
    for (std::thread& t : threads)
        t.join();
    for (size_t i = 0; i < results.size(); ++i)
        EXPECT_EQ(results[i].md5, (i % 2 ? expected.audio : expected.video).md5);
}

// Writing calls go to the writer; the file is complete once it and its streams are released,
// in either order.
TEST(VfwSemantics, WritingGoesToTheWriter) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    Opened src;
    OpenSample(sample.path, src);
    const std::vector<uint8_t> format = FormatOf(src.video.p);
    const Digest srcDigest = DigestOf(src.video.p);
    const LONG frames = 20;
    ASSERT_GT(srcDigest.md5.size(), static_cast<size_t>(frames));

    for (const bool fileFirst : {false, true}) {
        const std::string out =
            testmedia::TempDir() + (fileFirst ? "/file-first.avi" : "/streams-first.avi");
        PAVIFILE file = nullptr;
        ASSERT_EQ(AVIFileOpenW(&file, out, OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
        const AVISTREAMINFOW info = InfoOf(src.video.p);
        PAVISTREAM video = nullptr;
        ASSERT_EQ(AVIFileCreateStreamW(file, &video, &info), AVIERR_OK);
        ASSERT_EQ(AVIStreamSetFormat(video, 0, format.data(), static_cast<LONG>(format.size())),
                  AVIERR_OK);
        for (LONG i = 0; i < frames; ++i) {
            HRESULT hr = AVIERR_OK;
            const std::vector<uint8_t> data = ReadSamples(src.video.p, i, 1, &hr);
            ASSERT_EQ(hr, AVIERR_OK);
            const DWORD flags = srcDigest.key[static_cast<size_t>(i)] ? AVIIF_KEYFRAME : 0;
            ASSERT_EQ(AVIStreamWrite(video, i, 1, data.data(), static_cast<LONG>(data.size()),
                                     flags, nullptr, nullptr),
                      AVIERR_OK);
        }
        EXPECT_EQ(InfoOf(video).dwLength, static_cast<DWORD>(frames));
        EXPECT_EQ(FormatOf(video), format);
        LONG bytes = 0;
        EXPECT_EQ(AVIStreamRead(video, 0, 1, nullptr, 0, &bytes, nullptr), AVIERR_UNSUPPORTED);
        PAVISTREAM again = nullptr;
        EXPECT_EQ(AVIFileGetStream(file, &again, streamtypeVIDEO, 0), AVIERR_OK);
        EXPECT_EQ(again, video);
        EXPECT_EQ(AVIStreamRelease(again), 1u);
        if (fileFirst) {
            EXPECT_EQ(AVIFileRelease(file), 1u);
            EXPECT_EQ(AVIStreamRelease(video), 0u);
        } else {
            EXPECT_EQ(AVIStreamRelease(video), 0u);
            EXPECT_EQ(AVIFileFinish(file), AVIERR_OK);
            EXPECT_EQ(AVIFileRelease(file), 0u);
        }
        const FileDigest written = DigestFile(out);
        ASSERT_EQ(written.error, AVIERR_OK) << out;
        EXPECT_EQ(written.video.md5,
                  std::vector<std::string>(srcDigest.md5.begin(), srcDigest.md5.begin() + frames));
        EXPECT_EQ(written.video.key,
                  std::vector<bool>(srcDigest.key.begin(), srcDigest.key.begin() + frames));
    }
}

} // namespace
