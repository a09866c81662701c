// Round trip of real files through the AVIFile service's writer and reader.
//
// Every sample of each kind of file is copied with AVIFileCreateStreamW / AVIStreamWrite, read
// back and compared with the source, by our reader and by ffmpeg.
#include "tests/common/SampleFiles.h"
#include "tests/common/TestMedia.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

namespace {

using vfwtest::File;
using vfwtest::Stream;

// Copies each stream chunk by chunk (the convenient amount of a read), one stream after the
// other, as the cut does.
void CopyFile(const std::string& from, const std::string& to, size_t& streams) {
    File in, out;
    ASSERT_EQ(vfwtest::OpenRead(in, from), AVIERR_OK);
    ASSERT_EQ(AVIFileOpenW(&out.p, to, OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
    std::vector<std::unique_ptr<Stream>> src, dst;
    for (LONG n = 0;; ++n) {
        auto s = std::make_unique<Stream>();
        if (AVIFileGetStream(in.p, &s->p, 0, n) != AVIERR_OK)
            break;
        auto d = std::make_unique<Stream>();
        const AVISTREAMINFOW info = vfwtest::InfoOf(s->p);
        ASSERT_EQ(AVIFileCreateStreamW(out.p, &d->p, &info), AVIERR_OK);
        const std::vector<uint8_t> format = vfwtest::FormatOf(s->p);
        ASSERT_EQ(AVIStreamSetFormat(d->p, 0, format.data(), LONG(format.size())), AVIERR_OK);
        src.push_back(std::move(s));
        dst.push_back(std::move(d));
    }
    streams = src.size();
    for (size_t i = 0; i < src.size(); ++i) {
        PAVISTREAM s = src[i]->p;
        const LONG end = AVIStreamStart(s) + AVIStreamLength(s);
        for (LONG pos = AVIStreamStart(s); pos < end;) {
            HRESULT hr = AVIERR_OK;
            LONG samples = 0;
            const std::vector<uint8_t> data =
                vfwtest::ReadSamples(s, pos, AVISTREAMREAD_CONVENIENT, &hr, &samples);
            ASSERT_EQ(hr, AVIERR_OK) << "stream " << i << " sample " << pos;
            ASSERT_GT(samples, 0);
            const bool key = AVIStreamFindSample(s, pos, FIND_KEY) == pos;
            LONG written = 0;
            ASSERT_EQ(AVIStreamWrite(dst[i]->p, pos, samples, data.data(), LONG(data.size()),
                                     key ? AVIIF_KEYFRAME : 0, &written, nullptr),
                      AVIERR_OK);
            EXPECT_EQ(written, samples);
            pos += samples;
        }
        // The output stream describes what was written.
        EXPECT_EQ(vfwtest::InfoOf(dst[i]->p).dwLength, vfwtest::InfoOf(s).dwLength);
    }
    EXPECT_EQ(AVIFileFinish(out.p), AVIERR_OK);
}

class VfwRoundTrip : public ::testing::TestWithParam<samplefiles::Kind> {};

TEST_P(VfwRoundTrip, CopyReadsBackAsTheSource) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    SAMPLE_OR_SKIP(source, GetParam().make());
    const std::string out =
        testmedia::TempDir() + "/roundtrip-" + std::string(GetParam().name) + ".avi";
    size_t streams = 0;
    CopyFile(source.path, out, streams);
    if (HasFatalFailure())
        return;

    File a, b;
    ASSERT_EQ(vfwtest::OpenRead(a, source.path), AVIERR_OK);
    ASSERT_EQ(vfwtest::OpenRead(b, out), AVIERR_OK);
    for (LONG n = 0; n < LONG(streams); ++n) {
        SCOPED_TRACE(n);
        Stream s, t;
        ASSERT_EQ(AVIFileGetStream(a.p, &s.p, 0, n), AVIERR_OK);
        ASSERT_EQ(AVIFileGetStream(b.p, &t.p, 0, n), AVIERR_OK);
        const AVISTREAMINFOW x = vfwtest::InfoOf(s.p), y = vfwtest::InfoOf(t.p);
        EXPECT_EQ(x.fccType, y.fccType);
        EXPECT_EQ(x.fccHandler, y.fccHandler);
        EXPECT_EQ(x.dwScale, y.dwScale);
        EXPECT_EQ(x.dwRate, y.dwRate);
        EXPECT_EQ(x.dwStart, y.dwStart);
        EXPECT_EQ(x.dwLength, y.dwLength);
        EXPECT_EQ(x.dwSampleSize, y.dwSampleSize);
        EXPECT_EQ(vfwtest::FormatOf(s.p), vfwtest::FormatOf(t.p));
        // Chunk by chunk: the copy keeps the source's chunks.
        const LONG end = AVIStreamStart(s.p) + AVIStreamLength(s.p);
        for (LONG pos = AVIStreamStart(s.p); pos < end;) {
            HRESULT h1 = AVIERR_OK, h2 = AVIERR_OK;
            LONG n1 = 0, n2 = 0;
            ASSERT_EQ(vfwtest::ReadSamples(s.p, pos, AVISTREAMREAD_CONVENIENT, &h1, &n1),
                      vfwtest::ReadSamples(t.p, pos, AVISTREAMREAD_CONVENIENT, &h2, &n2))
                << pos;
            ASSERT_EQ(h1, AVIERR_OK);
            ASSERT_EQ(h2, AVIERR_OK);
            ASSERT_EQ(n1, n2) << pos;
            ASSERT_GT(n1, 0);
            ASSERT_EQ(AVIStreamFindSample(s.p, pos, FIND_KEY),
                      AVIStreamFindSample(t.p, pos, FIND_KEY))
                << pos;
            pos += n1;
        }
    }
    const auto want = vfwtest::FrameMd5All(source.path);
    const auto got = vfwtest::FrameMd5All(out);
    ASSERT_EQ(got.size(), want.size());
    for (const auto& [kind, packets] : want) {
        ASSERT_EQ(got.at(kind).size(), packets.size()) << kind;
        for (size_t i = 0; i < packets.size(); ++i) {
            EXPECT_EQ(got.at(kind)[i].dts, packets[i].dts) << kind << i;
            EXPECT_EQ(got.at(kind)[i].size, packets[i].size) << kind << i;
            EXPECT_EQ(got.at(kind)[i].md5, packets[i].md5) << kind << i;
        }
    }
    const testmedia::RunResult probe = testmedia::Run("ffprobe -v error " + testmedia::Quote(out));
    EXPECT_EQ(probe.out + probe.err, "");
}

std::string KindName(const ::testing::TestParamInfo<samplefiles::Kind>& param) {
    std::string name = param.param.name;
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(AllKinds, VfwRoundTrip, ::testing::ValuesIn(samplefiles::AllKinds()),
                         KindName);

} // namespace
