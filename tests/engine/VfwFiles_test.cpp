// VfwFiles_test: the AVIFile service on every kind of sample file, checked against what
// ffprobe and ffmpeg (independent readers) report about the same file.
#include "tests/common/SampleFiles.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace vfwtest;

namespace {

class VfwFileKinds : public ::testing::TestWithParam<samplefiles::Kind> {};

std::string KindName(const ::testing::TestParamInfo<samplefiles::Kind>& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (c == '-')
            c = '_';
    return name;
}

uint32_t ParseTag(const std::string& text) {
    return static_cast<uint32_t>(std::stoul(text, nullptr, 0));
}

// Samples of s with data, in stream order (a zero-byte chunk is a sample without data).
std::vector<LONG> NonEmptySamples(PAVISTREAM s) {
    std::vector<LONG> samples;
    for (LONG f = AVIStreamFindSample(s, 0, FIND_ANY | FIND_FROM_START); f >= 0;
         f = AVIStreamFindSample(s, f + 1, FIND_ANY | FIND_NEXT))
        samples.push_back(f);
    return samples;
}

// Every packet ffmpeg reads equals, byte for byte, the samples it came from; returns the number
// of packets compared. Time stamps place video frames and byte-counted audio; ffmpeg's time
// stamps of variable-size audio skip empty chunks differently, so those go by order.
size_t CompareWithFrameMd5(PAVISTREAM s, const std::vector<Packet>& packets,
                           const std::string& kind) {
    const AVISTREAMINFOW info = InfoOf(s);
    const bool byteCounted = info.dwSampleSize > 0 && info.fccType != streamtypeVIDEO;
    const bool byOrder = !byteCounted && info.fccType != streamtypeVIDEO;
    const std::vector<LONG> order = NonEmptySamples(s);
    if (byOrder) {
        EXPECT_EQ(order.size(), packets.size()) << kind;
    }
    for (size_t i = 0; i < packets.size(); ++i) {
        const Packet& p = packets[i];
        const LONG samples = byteCounted ? static_cast<LONG>(p.size / info.dwSampleSize) : 1;
        LONG pos = static_cast<LONG>(info.dwStart + p.dts);
        if (byOrder)
            pos = i < order.size() ? order[i] : -1;
        HRESULT hr = AVIERR_OK;
        LONG got = 0;
        const std::vector<uint8_t> data = ReadSamples(s, pos, samples, &hr, &got);
        EXPECT_EQ(hr, AVIERR_OK) << kind << " packet " << i << " at " << pos;
        EXPECT_EQ(got, samples) << kind << " packet " << i << " at " << pos;
        EXPECT_EQ(static_cast<int64_t>(data.size()), p.size) << kind << " packet at " << pos;
        EXPECT_EQ(Md5Hex(data), p.md5) << kind << " packet " << i << " at " << pos;
    }
    return packets.size();
}

TEST_P(VfwFileKinds, AgreesWithFfprobeAndFfmpeg) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, GetParam().make());
    const std::string& path = sample.path;

    File file;
    ASSERT_EQ(OpenRead(file, path), AVIERR_OK);
    AVIFILEINFOW fileInfo{};
    ASSERT_EQ(AVIFileInfoW(file.p, &fileInfo, sizeof fileInfo), AVIERR_OK);

    // Video: size, FourCC, frame count, key frames, bytes of every frame.
    const ProbeResult probe = Probe(path);
    auto md5s = FrameMd5All(path);
    ASSERT_TRUE(probe.streams.count("v"));
    const auto& probeVideo = probe.streams.at("v");
    Stream video;
    ASSERT_EQ(AVIFileGetStream(file.p, &video.p, streamtypeVIDEO, 0), AVIERR_OK);
    const AVISTREAMINFOW vi = InfoOf(video.p);
    EXPECT_EQ(fileInfo.dwWidth, std::stoul(probeVideo.at("width")));
    EXPECT_EQ(fileInfo.dwHeight, std::stoul(probeVideo.at("height")));
    EXPECT_EQ(vi.rcFrame.right - vi.rcFrame.left, std::stol(probeVideo.at("width")));
    EXPECT_EQ(vi.rcFrame.bottom - vi.rcFrame.top, std::stol(probeVideo.at("height")));
    const std::vector<uint8_t> vfmt = FormatOf(video.p);
    ASSERT_GE(vfmt.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER bi{};
    std::memcpy(&bi, vfmt.data(), sizeof bi);
    EXPECT_EQ(bi.biCompression, ParseTag(probeVideo.at("codec_tag")));
    EXPECT_EQ(bi.biWidth, std::stol(probeVideo.at("width")));

    const LONG start = AVIStreamStart(video.p);
    const LONG length = AVIStreamLength(video.p);
    EXPECT_EQ(static_cast<DWORD>(length), vi.dwLength);
    EXPECT_EQ(std::to_string(length), probeVideo.at("nb_frames")); // the header agrees here
    const size_t nonEmpty = NonEmptySamples(video.p).size();
    EXPECT_EQ(std::to_string(nonEmpty), probeVideo.at("nb_read_packets"));

    const std::map<int64_t, bool>& probeKeys = probe.keys.at("v");
    ASSERT_FALSE(probeKeys.empty());
    for (const auto& [dts, key] : probeKeys) {
        const LONG f = static_cast<LONG>(start + dts);
        EXPECT_EQ(AVIStreamFindSample(video.p, f, FIND_KEY | FIND_PREV) == f, key) << "frame " << f;
    }
    EXPECT_EQ(CompareWithFrameMd5(video.p, md5s["v"], "v"), nonEmpty);

    // Audio: format, sample count and bytes.
    Stream audio;
    const HRESULT hrAudio = AVIFileGetStream(file.p, &audio.p, streamtypeAUDIO, 0);
    if (!probe.streams.count("a")) {
        EXPECT_EQ(hrAudio, AVIERR_NODATA);
        EXPECT_EQ(fileInfo.dwStreams, 1u);
        return;
    }
    ASSERT_EQ(hrAudio, AVIERR_OK);
    EXPECT_EQ(fileInfo.dwStreams, 2u);
    const auto& probeAudio = probe.streams.at("a");
    const AVISTREAMINFOW ai = InfoOf(audio.p);
    const std::vector<uint8_t> afmt = FormatOf(audio.p);
    ASSERT_GE(afmt.size(), 16u);
    WAVEFORMATEX wf{};
    std::memcpy(&wf, afmt.data(), std::min(afmt.size(), sizeof wf));
    EXPECT_EQ(wf.wFormatTag, ParseTag(probeAudio.at("codec_tag")));
    EXPECT_EQ(wf.nChannels, std::stoul(probeAudio.at("channels")));
    EXPECT_EQ(wf.nSamplesPerSec, std::stoul(probeAudio.at("sample_rate")));

    const std::vector<Packet>& audioPackets = md5s["a"];
    ASSERT_FALSE(audioPackets.empty());
    int64_t bytes = 0;
    for (const Packet& p : audioPackets)
        bytes += p.size;
    const LONG audioLength = AVIStreamLength(audio.p);
    EXPECT_EQ(static_cast<DWORD>(audioLength), ai.dwLength);
    if (ai.dwSampleSize > 0)
        EXPECT_EQ(audioLength, bytes / ai.dwSampleSize);
    else
        EXPECT_EQ(std::to_string(audioLength), probeAudio.at("nb_frames")); // header agrees
    LONG probeBytes = 0;
    EXPECT_EQ(AVIStreamRead(audio.p, AVIStreamStart(audio.p), AVISTREAMREAD_CONVENIENT, nullptr, 0,
                            &probeBytes, nullptr),
              AVIERR_OK);
    EXPECT_GT(probeBytes, 0);
    CompareWithFrameMd5(audio.p, audioPackets, "a");
}

INSTANTIATE_TEST_SUITE_P(AllKinds, VfwFileKinds, ::testing::ValuesIn(samplefiles::AllKinds()),
                         KindName);

// What each writer is known to do differently reaches the index as it should.
TEST(VfwFiles, WriterQuirks) {
    {
        // ffmpeg leaves an empty chunk after the first frame: kept as a sample without data.
        SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
        File file;
        ASSERT_EQ(OpenRead(file, sample.path), AVIERR_OK);
        Stream video;
        ASSERT_EQ(AVIFileGetStream(file.p, &video.p, streamtypeVIDEO, 0), AVIERR_OK);
        EXPECT_EQ(AVIStreamFindSample(video.p, 1, FIND_SIZE | FIND_PREV), 0);
        LONG bytes = -1, samples = -1;
        EXPECT_EQ(AVIStreamRead(video.p, 1, 1, nullptr, 0, &bytes, &samples), AVIERR_OK);
        EXPECT_EQ(bytes, 0);
        EXPECT_EQ(samples, 1);
        EXPECT_EQ(AVIStreamFindSample(video.p, 1, FIND_ANY | FIND_NEXT), 2);
        EXPECT_EQ(AVIStreamFindSample(video.p, 1, FIND_ANY | FIND_PREV), 0);
    }
    {
        // mencoder's CBR MP3 counts bytes: dwSampleSize 1 and the convenient amount is the rest
        // of a chunk.
        SAMPLE_OR_SKIP(sample, samplefiles::MencoderMpeg4CbrMp3());
        File file;
        ASSERT_EQ(OpenRead(file, sample.path), AVIERR_OK);
        Stream audio;
        ASSERT_EQ(AVIFileGetStream(file.p, &audio.p, streamtypeAUDIO, 0), AVIERR_OK);
        const AVISTREAMINFOW ai = InfoOf(audio.p);
        EXPECT_EQ(ai.dwSampleSize, 1u);
        const LONG first = AVIStreamFindSample(audio.p, 0, FIND_SIZE | FIND_NEXT | FIND_ANY);
        ASSERT_GT(first, 100);
        LONG bytes = 0, samples = 0;
        EXPECT_EQ(
            AVIStreamRead(audio.p, 100, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &samples),
            AVIERR_OK);
        EXPECT_EQ(bytes, first - 100);
        EXPECT_EQ(samples, first - 100);
    }
    {
        // GStreamer: absolute "idx1" offsets, "00db" compressed frames, an 18-byte audio format
        // and an empty frame rectangle, which the bitmap fills.
        SAMPLE_OR_SKIP(sample, samplefiles::GstreamerMpeg4Mp3());
        File file;
        ASSERT_EQ(OpenRead(file, sample.path), AVIERR_OK);
        Stream video, audio;
        ASSERT_EQ(AVIFileGetStream(file.p, &video.p, streamtypeVIDEO, 0), AVIERR_OK);
        ASSERT_EQ(AVIFileGetStream(file.p, &audio.p, streamtypeAUDIO, 0), AVIERR_OK);
        const AVISTREAMINFOW vi = InfoOf(video.p);
        EXPECT_EQ(vi.rcFrame.right, 160);
        EXPECT_EQ(vi.rcFrame.bottom, 120);
        LONG size = 30;
        MPEGLAYER3WAVEFORMAT mp3{};
        EXPECT_EQ(AVIStreamReadFormat(audio.p, 0, &mp3, &size), AVIERR_OK);
        EXPECT_EQ(size, 18);
        EXPECT_EQ(mp3.wfx.wFormatTag, WAVE_FORMAT_MPEGLAYER3);
        // Its audio chunks carry no key flag; audio samples are all places to start anyway.
        EXPECT_EQ(AVIStreamFindSample(audio.p, 777, FIND_KEY | FIND_PREV), 777);
    }
}

} // namespace
