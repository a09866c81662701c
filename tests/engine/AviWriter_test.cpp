// Tests of the AVI writer, checked with ffprobe/ffmpeg, a small RIFF walk and our own reader.
//
// The files are written from packets of ffmpeg-made files and from synthetic frames.
#include "engine/avi/AviReader.h"
#include "engine/avi/AviWriter.h"

#include "tests/common/ProbeFacts.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/adler32.h>
#include <libavutil/md5.h>
}

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/resource.h>

namespace {

using testmedia::Quote;

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
}

std::string Code(uint32_t id) {
    return {char(id), char(id >> 8), char(id >> 16), char(id >> 24)};
}

std::vector<uint8_t> ReadAt(const std::string& path, uint64_t pos, size_t n) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b(n);
    in.seekg(static_cast<std::streamoff>(pos));
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(n));
    b.resize(static_cast<size_t>(in.gcount()));
    return b;
}

// One chunk or list of a RIFF file; lists carry their type in "kind" ("LIST:movi").
struct Node {
    std::string kind;
    std::string parent;
    uint64_t pos = 0; // of the chunk header
    uint32_t size = 0;
};

void WalkInto(const std::string& path, uint64_t pos, uint64_t end, const std::string& parent,
              int depth, std::vector<Node>& out) {
    while (pos + 8 <= end && depth < 6 && out.size() < 100000) {
        const std::vector<uint8_t> h = ReadAt(path, pos, 12);
        if (h.size() < 8)
            return;
        Node n{Code(Get32(h, 0)), parent, pos, Get32(h, 4)};
        const bool list = n.kind == "RIFF" || n.kind == "LIST";
        if (list && h.size() == 12)
            n.kind += ":" + Code(Get32(h, 8));
        out.push_back(n);
        if (list)
            WalkInto(path, pos + 12, pos + 8 + n.size, n.kind, depth + 1, out);
        pos += 8 + uint64_t{n.size} + (n.size & 1);
    }
}

std::vector<Node> Walk(const std::string& path) {
    std::vector<Node> nodes;
    WalkInto(path, 0, testmedia::FileSizeOf(path), "", 0, nodes);
    return nodes;
}

std::vector<Node> Find(const std::vector<Node>& nodes, const std::string& kind) {
    std::vector<Node> found;
    for (const Node& n : nodes)
        if (n.kind == kind)
            found.push_back(n);
    return found;
}

std::vector<uint8_t> Body(const std::string& path, const Node& n) {
    return ReadAt(path, n.pos + 8, n.size);
}

struct Packet {
    int stream = 0;
    std::vector<uint8_t> data;
    bool key = false;
};

// Stream descriptions, formats and packets (in file order, with idx1 key flags) of a small
// ffmpeg-made AVI file.
struct Source {
    std::vector<AVISTREAMINFOW> infos;
    std::vector<std::vector<uint8_t>> formats;
    std::vector<Packet> packets;
};

Source LoadSource(const std::string& path) {
    Source src;
    const std::vector<Node> nodes = Walk(path);
    for (const Node& n : Find(nodes, "strh")) {
        const std::vector<uint8_t> b = Body(path, n);
        AVISTREAMINFOW info{};
        info.fccType = Get32(b, 0);
        info.fccHandler = Get32(b, 4);
        info.dwFlags = Get32(b, 8);
        info.wPriority = uint16_t(b[12] | b[13] << 8);
        info.wLanguage = uint16_t(b[14] | b[15] << 8);
        info.dwInitialFrames = Get32(b, 16);
        info.dwScale = Get32(b, 20);
        info.dwRate = Get32(b, 24);
        info.dwStart = Get32(b, 28);
        info.dwLength = Get32(b, 32);
        info.dwSuggestedBufferSize = Get32(b, 36);
        info.dwQuality = Get32(b, 40);
        info.dwSampleSize = Get32(b, 44);
        const auto rect = [&](size_t at) { return LONG{int16_t(b[at] | b[at + 1] << 8)}; };
        info.rcFrame = RECT{rect(48), rect(50), rect(52), rect(54)};
        src.infos.push_back(info);
    }
    for (const Node& n : Find(nodes, "strf"))
        src.formats.push_back(Body(path, n));
    const Node movi = Find(nodes, "LIST:movi").at(0);
    const std::vector<uint8_t> idx = Body(path, Find(nodes, "idx1").at(0));
    for (size_t at = 0; at + 16 <= idx.size(); at += 16) {
        Packet p;
        p.stream = (idx[at] - '0') * 10 + (idx[at + 1] - '0');
        p.key = (Get32(idx, at + 4) & AVIIF_KEYFRAME) != 0;
        p.data = ReadAt(path, movi.pos + 8 + Get32(idx, at + 8) + 8, Get32(idx, at + 12));
        src.packets.push_back(std::move(p));
    }
    return src;
}

std::string Md5(const std::vector<uint8_t>& data) {
    uint8_t sum[16];
    av_md5_sum(sum, data.data(), data.size());
    char hex[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", sum[i]);
    return hex;
}

std::string Adler(const std::vector<uint8_t>& data) {
    char hex[11];
    std::snprintf(hex, sizeof hex, "0x%08lx",
                  static_cast<unsigned long>(av_adler32_update(0, data.data(), data.size())));
    return hex;
}

// What a reader should find: one entry per chunk written, at its position in stream units.
struct Written {
    int stream = 0;
    int64_t pos = 0;
    uint32_t size = 0;
    bool key = false;
    std::string adler, md5;
};

// Copies packets in the given order; each stream's positions run on from its source start.
std::vector<Written> CopyPackets(AviWriter& w, const Source& src, const std::vector<size_t>& order,
                                 const std::vector<int>& outStream) {
    std::vector<Written> done;
    std::map<int, int64_t> next;
    for (size_t i : order) {
        const Packet& p = src.packets[i];
        const AVISTREAMINFOW& info = src.infos[static_cast<size_t>(p.stream)];
        int64_t& pos = next.try_emplace(p.stream, int64_t{info.dwStart}).first->second;
        const LONG samples = info.dwSampleSize ? LONG(p.data.size() / info.dwSampleSize) : LONG{1};
        const int s = outStream[static_cast<size_t>(p.stream)];
        EXPECT_EQ(w.Write(s, LONG(pos), samples, p.data.data(), LONG(p.data.size()),
                          p.key ? AVIIF_KEYFRAME : 0, nullptr, nullptr),
                  AVIERR_OK);
        done.push_back({s, pos, uint32_t(p.data.size()), p.key || info.fccType == streamtypeAUDIO,
                        Adler(p.data), Md5(p.data)});
        pos += samples;
    }
    return done;
}

std::vector<int> AddStreams(AviWriter& w, const Source& src) {
    std::vector<int> numbers;
    for (size_t i = 0; i < src.infos.size(); ++i) {
        int n = -1;
        EXPECT_EQ(w.AddStream(src.infos[i], n), AVIERR_OK);
        EXPECT_EQ(w.SetFormat(n, src.formats[i].data(), src.formats[i].size()), AVIERR_OK);
        numbers.push_back(n);
    }
    return numbers;
}

std::vector<size_t> InFileOrder(const Source& src) {
    std::vector<size_t> order(src.packets.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    return order;
}

// ffprobe must say nothing; ffmpeg's stream copy must list the non-empty chunks written, stream
// by stream, with their positions as time stamps, sizes, checksums and key flags.
void ExpectFfmpegReads(const std::string& file, const std::vector<Written>& written,
                       bool withMd5 = true) {
    const testmedia::RunResult probe = testmedia::Run("ffprobe -v error " + Quote(file));
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_EQ(probe.out + probe.err, "");
    std::map<int, std::vector<std::string>> want, wantMd5;
    for (const Written& w : written) {
        if (w.size == 0)
            continue; // ffmpeg passes over empty chunks
        want[w.stream].push_back(std::to_string(w.pos) + " " + std::to_string(w.size) + " " +
                                 w.adler + (w.key ? "" : " F=0x0"));
        wantMd5[w.stream].push_back(std::to_string(w.size) + " " + w.md5);
    }
    for (const char* muxer : {"framecrc", "framemd5"}) {
        if (!withMd5 && std::string(muxer) == "framemd5")
            continue;
        const testmedia::RunResult r = testmedia::Run("ffmpeg -v error -i " + Quote(file) +
                                                      " -map 0 -c copy -f " + muxer + " -");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");
        std::map<int, std::vector<std::string>> got;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            if (line.empty() || line[0] == '#')
                continue;
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string x; std::getline(fields, x, ',');)
                f.push_back(x.substr(x.find_first_not_of(' ')));
            ASSERT_GE(f.size(), 6u) << line;
            const int stream = std::stoi(f[0]);
            if (std::string(muxer) == "framemd5")
                got[stream].push_back(f[4] + " " + f[5]);
            else
                got[stream].push_back(f[1] + " " + f[4] + " " + f[5] +
                                      (f.size() > 6 ? " " + f[6] : ""));
        }
        EXPECT_EQ(got, std::string(muxer) == "framemd5" ? wantMd5 : want) << muxer;
    }
}

// Our reader finds every chunk written, empty ones included.
void ExpectReaderReads(const std::string& file, const std::vector<Written>& written,
                       size_t streams) {
    std::unique_ptr<avi::AviReader> r;
    ASSERT_EQ(avi::AviReader::Open(file, r), AVIERR_OK);
    ASSERT_EQ(r->StreamCount(), streams);
    std::vector<std::vector<const Written*>> per(streams);
    for (const Written& w : written)
        per[static_cast<size_t>(w.stream)].push_back(&w);
    for (size_t s = 0; s < streams; ++s) {
        const avi::AviStreamIndex& index = r->Stream(s).index;
        ASSERT_EQ(index.ChunkCount(), per[s].size()) << "stream " << s;
        for (size_t i = 0; i < per[s].size(); ++i) {
            EXPECT_EQ(index.Chunk(i).Size(), per[s][i]->size) << s << ":" << i;
            EXPECT_EQ(index.Chunk(i).Key(), per[s][i]->key) << s << ":" << i;
        }
    }
}

// Every entry of "idx1" and of the standard indexes the super indexes list points at a chunk
// header with the entry's id and size; returns the number of entries of each kind.
std::pair<size_t, size_t> ExpectIndexesPointAtChunks(const std::string& file) {
    const std::vector<Node> nodes = Walk(file);
    size_t idx1Entries = 0, ixEntries = 0;
    const std::vector<Node> idx1 = Find(nodes, "idx1");
    if (!idx1.empty()) {
        const uint64_t movi = Find(nodes, "LIST:movi").at(0).pos + 8;
        const std::vector<uint8_t> idx = Body(file, idx1[0]);
        for (size_t at = 0; at + 16 <= idx.size(); at += 16, ++idx1Entries) {
            const std::vector<uint8_t> head = ReadAt(file, movi + Get32(idx, at + 8), 8);
            EXPECT_EQ(Get32(head, 0), Get32(idx, at)) << "idx1 entry " << at / 16;
            EXPECT_EQ(Get32(head, 4), Get32(idx, at + 12)) << "idx1 entry " << at / 16;
        }
    }
    for (const Node& indx : Find(nodes, "indx")) {
        const std::vector<uint8_t> super = Body(file, indx);
        for (uint32_t i = 0; i < Get32(super, 4); ++i) {
            const uint64_t at = Get32(super, 24 + 16 * i) | uint64_t{Get32(super, 28 + 16 * i)}
                                                                << 32;
            const std::vector<uint8_t> head = ReadAt(file, at, 32);
            EXPECT_EQ(Get32(head, 4) + 8, Get32(super, 32 + 16 * i));
            EXPECT_EQ(Get32(head, 16), Get32(super, 8)); // dwChunkId
            const uint64_t base = Get32(head, 20) | uint64_t{Get32(head, 24)} << 32;
            const std::vector<uint8_t> entries = ReadAt(file, at + 32, 8 * Get32(head, 12));
            for (size_t e = 0; e + 8 <= entries.size(); e += 8, ++ixEntries) {
                const std::vector<uint8_t> chunk = ReadAt(file, base + Get32(entries, e) - 8, 8);
                EXPECT_EQ(Get32(chunk, 0), Get32(head, 16)) << Code(Get32(head, 0)) << " " << e / 8;
                EXPECT_EQ(Get32(chunk, 4), Get32(entries, e + 4) & 0x7FFFFFFF);
            }
        }
    }
    return {idx1Entries, ixEntries};
}

std::string MakeSource(const std::string& audio) {
    std::string why;
    const std::string path = testmedia::Make(
        "writer-src-" + audio + ".avi",
        "ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i "
        "sine=frequency=440:sample_rate=22050 -t 3 -ac 2 -c:v mpeg4 -g 12 -bf 0 -c:a " +
            audio + " -y {out}",
        &why);
    EXPECT_FALSE(path.empty()) << why;
    return path;
}

AVISTREAMINFOW RawVideoInfo(int width, int height) {
    AVISTREAMINFOW info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = 25;
    info.rcFrame = RECT{0, 0, width, height};
    return info;
}

BITMAPINFOHEADER RawVideoFormat(int width, int height) {
    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof bih;
    bih.biWidth = width;
    bih.biHeight = height;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biSizeImage = DWORD(width * height * 3);
    return bih;
}

uint32_t AvihFlags(const std::string& file) {
    return Get32(Body(file, Find(Walk(file), "avih").at(0)), 12);
}

class AviWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_TOOL("ffprobe", "ffmpeg");
        REQUIRE_TOOL("ffmpeg", "ffmpeg");
    }
    std::string Out(const std::string& name) { return testmedia::TempDir() + "/" + name; }
};

TEST_F(AviWriterTest, CopiesFfmpegFilesPacketForPacket) {
    for (const std::string audio : {"libmp3lame", "pcm_s16le"}) {
        SCOPED_TRACE(audio);
        const std::string src = MakeSource(audio);
        ASSERT_FALSE(src.empty());
        const Source source = LoadSource(src);
        ASSERT_EQ(source.infos.size(), 2u);
        const std::string out = Out("copy-" + audio + ".avi");
        std::unique_ptr<AviWriter> w;
        ASSERT_EQ(AviWriter::Create(out, w), AVIERR_OK);
        const std::vector<int> streams = AddStreams(*w, source);
        const auto written = CopyPackets(*w, source, InFileOrder(source), streams);
        EXPECT_EQ(w->StreamInfo(0).dwLength, source.infos[0].dwLength);
        EXPECT_EQ(w->StreamInfo(1).dwLength, source.infos[1].dwLength);
        EXPECT_EQ(w->Finish(), AVIERR_OK);
        EXPECT_EQ(w->Finish(), AVIERR_OK);

        ExpectFfmpegReads(out, written);
        ExpectReaderReads(out, written, 2);
        EXPECT_EQ(ExpectIndexesPointAtChunks(out), std::make_pair(written.size(), size_t{0}));
        const std::vector<Node> nodes = Walk(out);
        EXPECT_EQ(AvihFlags(out), AVIF_HASINDEX | AVIF_ISINTERLEAVED);
        EXPECT_EQ(Find(nodes, "idx1").at(0).size, 16 * written.size());
        size_t audioChunks = 0;
        for (const Written& x : written)
            audioChunks += x.stream == 1 ? 1 : 0;
        EXPECT_EQ(Find(nodes, "01wb").size(), audioChunks);
        EXPECT_EQ(Find(nodes, "00dc").size(), written.size() - audioChunks);
        EXPECT_EQ(Find(nodes, "RIFF:AVIX").size(), 0u);
        for (const Node& n : Find(nodes, "00dc"))
            EXPECT_EQ(n.pos % 2, 0u);
    }
}

// The cut writes all frames first, then the audio of the same span.
TEST_F(AviWriterTest, StreamsWrittenOneAfterTheOtherAreNotCalledInterleaved) {
    const std::string src = MakeSource("libmp3lame");
    ASSERT_FALSE(src.empty());
    const Source source = LoadSource(src);
    std::vector<size_t> order;
    for (int s : {0, 1})
        for (size_t i = 0; i < source.packets.size(); ++i)
            if (source.packets[i].stream == s)
                order.push_back(i);
    const std::string out = Out("sequential.avi");
    std::unique_ptr<AviWriter> w;
    ASSERT_EQ(AviWriter::Create(out, w), AVIERR_OK);
    const auto written = CopyPackets(*w, source, order, AddStreams(*w, source));
    ASSERT_EQ(w->Finish(), AVIERR_OK);
    ExpectFfmpegReads(out, written);
    EXPECT_EQ(AvihFlags(out), AVIF_HASINDEX);
}

TEST_F(AviWriterTest, SkippedPositionsGetEmptyChunksAndOddSizesArePadded) {
    const std::string src = MakeSource("libmp3lame");
    ASSERT_FALSE(src.empty());
    const Source source = LoadSource(src);
    std::vector<const Packet*> frames;
    for (const Packet& p : source.packets)
        if (p.stream == 0 && !p.data.empty())
            frames.push_back(&p);
    ASSERT_GE(frames.size(), 30u);

    const std::string out = Out("gaps.avi");
    std::unique_ptr<AviWriter> w;
    ASSERT_EQ(AviWriter::Create(out, w), AVIERR_OK);
    AVISTREAMINFOW info = source.infos[0];
    std::u16string name = u"Vid\u00e9o";
    std::copy(name.begin(), name.end(), info.szName);
    int s = -1;
    ASSERT_EQ(w->AddStream(info, s), AVIERR_OK);
    ASSERT_EQ(w->SetFormat(s, source.formats[0].data(), source.formats[0].size()), AVIERR_OK);
    std::vector<Written> written;
    const auto put = [&](LONG pos, const std::vector<uint8_t>& data, bool key) {
        ASSERT_EQ(w->Write(s, pos, 1, data.data(), LONG(data.size()), key ? AVIIF_KEYFRAME : 0,
                           nullptr, nullptr),
                  AVIERR_OK);
        for (int64_t p = written.empty() ? pos : written.back().pos + 1; p < pos; ++p)
            written.push_back({s, p, 0, false, "", ""});
        written.push_back({s, pos, uint32_t(data.size()), key, Adler(data), Md5(data)});
    };
    // 0-9, empty 10-11, 12-21, an empty key frame of our own at 22, then 23-31.
    LONG pos = 0;
    bool odd = false;
    for (size_t i = 0; i < 30; ++i) {
        if (i == 10)
            pos = 12;
        if (i == 20) {
            put(pos + 0, {}, true);
            ++pos;
        }
        put(pos++, frames[i]->data, frames[i]->key);
        odd = odd || frames[i]->data.size() % 2;
    }
    ASSERT_TRUE(odd) << "no odd-sized frame to pad";
    EXPECT_EQ(w->StreamInfo(s).dwLength, 33u);
    EXPECT_EQ(w->StreamInfo(s).dwStart, 0u);
    ASSERT_EQ(w->Finish(), AVIERR_OK);

    ExpectFfmpegReads(out, written);
    ExpectReaderReads(out, written, 1);
    EXPECT_EQ(ExpectIndexesPointAtChunks(out), std::make_pair(size_t{33}, size_t{0}));
    const std::vector<Node> nodes = Walk(out);
    const std::vector<Node> chunks = Find(nodes, "00dc");
    ASSERT_EQ(chunks.size(), 33u);
    for (const Node& n : chunks)
        EXPECT_EQ(n.pos % 2, 0u);
    EXPECT_EQ(chunks[10].size, 0u);
    EXPECT_EQ(chunks[22].size, 0u);
    const std::vector<uint8_t> strn = Body(out, Find(nodes, "strn").at(0));
    EXPECT_EQ(std::string(strn.begin(), strn.end()), std::string("Vid\xc3\xa9o") + '\0');
}

TEST_F(AviWriterTest, FollowsThePlatformWriteRules) {
    const std::string out = Out("rules.avi");
    std::unique_ptr<AviWriter> w;
    ASSERT_EQ(AviWriter::Create(out, w), AVIERR_OK);
    const BITMAPINFOHEADER bih = RawVideoFormat(16, 16);
    int v = -1, a = -1;
    ASSERT_EQ(w->AddStream(RawVideoInfo(16, 16), v), AVIERR_OK);
    ASSERT_EQ(w->SetFormat(v, &bih, sizeof bih), AVIERR_OK);
    AVISTREAMINFOW audio{};
    audio.fccType = streamtypeAUDIO;
    audio.dwScale = 1;
    audio.dwRate = 8000;
    audio.dwSampleSize = 2;
    audio.dwStart = 77; // replaced by the first write's position
    const WAVEFORMATEX wfx{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
    ASSERT_EQ(w->AddStream(audio, a), AVIERR_OK);
    ASSERT_EQ(w->SetFormat(a, &wfx, sizeof wfx), AVIERR_OK);

    std::vector<uint8_t> frame(bih.biSizeImage, 0x40), pcm(640, 0x11);
    LONG samples = 0, bytes = 0;
    EXPECT_EQ(w->Write(a, 800, 320, pcm.data(), 640, 0, &samples, &bytes), AVIERR_OK);
    EXPECT_EQ(samples, 320);
    EXPECT_EQ(bytes, 640);
    EXPECT_EQ(w->Write(v, 0, 1, frame.data(), LONG(frame.size()), AVIIF_KEYFRAME, nullptr, nullptr),
              AVIERR_OK);
    // Streams and formats are fixed once samples are written.
    int late = -1;
    EXPECT_EQ(w->AddStream(audio, late), AVIERR_UNSUPPORTED);
    EXPECT_EQ(w->SetFormat(a, &wfx, sizeof wfx), AVIERR_UNSUPPORTED);
    // Only at the end of a stream; fixed-size samples without gaps; one frame per call.
    EXPECT_EQ(w->Write(v, 0, 1, frame.data(), LONG(frame.size()), 0, nullptr, nullptr),
              AVIERR_UNSUPPORTED);
    EXPECT_EQ(w->Write(v, 1, 2, frame.data(), LONG(frame.size()), 0, nullptr, nullptr),
              AVIERR_UNSUPPORTED);
    EXPECT_EQ(w->Write(a, 1130, 320, pcm.data(), 640, 0, nullptr, nullptr), AVIERR_UNSUPPORTED);
    EXPECT_EQ(w->Write(a, 2, 1, nullptr, 4, 0, nullptr, nullptr), AVIERR_BADPARAM);
    // -1 appends.
    EXPECT_EQ(w->Write(a, -1, 320, pcm.data(), 640, 0, nullptr, nullptr), AVIERR_OK);
    EXPECT_EQ(w->Write(v, -1, 1, frame.data(), LONG(frame.size()), 0, nullptr, nullptr), AVIERR_OK);

    const AVISTREAMINFOW vi = w->StreamInfo(v), ai = w->StreamInfo(a);
    EXPECT_EQ(ai.dwStart, 800u);
    EXPECT_EQ(ai.dwLength, 640u);
    EXPECT_EQ(ai.dwSuggestedBufferSize, 640u);
    EXPECT_EQ(vi.dwLength, 2u);
    EXPECT_EQ(vi.dwSuggestedBufferSize, bih.biSizeImage);
    EXPECT_EQ(w->Format(a), std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&wfx),
                                                 reinterpret_cast<const uint8_t*>(&wfx) + 18));
    ASSERT_EQ(w->Finish(), AVIERR_OK);
    EXPECT_EQ(w->Write(v, -1, 1, frame.data(), LONG(frame.size()), 0, nullptr, nullptr),
              AVIERR_UNSUPPORTED);

    const std::vector<Node> nodes = Walk(out);
    EXPECT_EQ(Find(nodes, "00db").size(), 2u); // uncompressed frames
    const std::vector<uint8_t> strh = Body(out, Find(nodes, "strh").at(1));
    EXPECT_EQ(Get32(strh, 28), 800u); // dwStart
    EXPECT_EQ(Get32(strh, 32), 640u); // dwLength
    // ffmpeg starts the stream's time stamps at dwStart.
    const auto packets = testmedia::ProbePackets(out, "a");
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].frame, 800);
    EXPECT_EQ(packets[1].frame, 1120);
}

TEST_F(AviWriterTest, ContinuesInOpenDmlFormAndStaysReadable) {
    const std::string src = MakeSource("pcm_s16le");
    ASSERT_FALSE(src.empty());
    const Source source = LoadSource(src);
    const std::string out = Out("odml.avi");
    std::unique_ptr<AviWriter> w;
    ASSERT_EQ(AviWriter::Create(out, w), AVIERR_OK);
    constexpr uint64_t kLimit = 48 * 1024;
    w->SetRiffLimit(kLimit);
    const auto written = CopyPackets(*w, source, InFileOrder(source), AddStreams(*w, source));
    ASSERT_EQ(w->Finish(), AVIERR_OK);

    ExpectFfmpegReads(out, written);
    ExpectReaderReads(out, written, 2);
    const auto indexed = ExpectIndexesPointAtChunks(out);
    EXPECT_EQ(indexed.second, written.size());
    const std::vector<Node> nodes = Walk(out);
    const std::vector<Node> riffs = Find(nodes, "RIFF:AVIX");
    ASSERT_GE(riffs.size(), 3u);
    uint64_t end = 0;
    for (const Node& n : nodes)
        if (n.parent.empty()) {
            EXPECT_LE(n.size + 8u, kLimit) << n.kind << " at " << n.pos;
            EXPECT_EQ(n.pos, end);
            end = n.pos + 8 + n.size;
        }
    EXPECT_EQ(end, testmedia::FileSizeOf(out));
    const std::vector<Node> indx = Find(nodes, "indx");
    ASSERT_EQ(indx.size(), 2u);
    size_t videoFrames = 0, firstRiffFrames = 0, firstRiffChunks = 0;
    for (const Written& x : written)
        videoFrames += x.stream == 0 ? 1 : 0;
    const Node movi0 = Find(nodes, "LIST:movi").at(0);
    for (const char* id : {"00dc", "01wb"})
        for (const Node& n : Find(nodes, id))
            if (n.pos < movi0.pos + movi0.size) {
                ++firstRiffChunks;
                firstRiffFrames += id[2] == 'd' ? 1 : 0;
            }
    // "idx1" covers the first part, the main header counts its frames, "dmlh" all frames.
    EXPECT_EQ(indexed.first, firstRiffChunks);
    EXPECT_EQ(Get32(Body(out, Find(nodes, "dmlh").at(0)), 0), videoFrames);
    EXPECT_EQ(Get32(Body(out, Find(nodes, "avih").at(0)), 16), firstRiffFrames);
    EXPECT_LT(firstRiffFrames, videoFrames);
    // One standard index per part for the video, which has chunks in every part.
    EXPECT_EQ(Get32(Body(out, indx[0]), 4), riffs.size() + 1);
}

TEST_F(AviWriterTest, OutputsBeyondTwoGiBStayValid) {
    const std::string dir = testmedia::TempDir();
    if (testmedia::FreeSpace(dir) < (uint64_t{6} << 30))
        GTEST_SKIP() << "needs 6 GiB free in " << dir;
    const std::string out = Out("big.avi");
    std::unique_ptr<AviWriter> w;
    ASSERT_EQ(AviWriter::Create(out, w), AVIERR_OK);
    constexpr int kW = 1920, kH = 1080;
    const BITMAPINFOHEADER bih = RawVideoFormat(kW, kH);
    // 24 kHz mono: a frame's audio (960 samples) stays within the 1024 samples ffmpeg hands
    // out as one packet.
    const WAVEFORMATEX wfx{WAVE_FORMAT_PCM, 1, 24000, 48000, 2, 16, 0};
    AVISTREAMINFOW audio{};
    audio.fccType = streamtypeAUDIO;
    audio.dwScale = 2;
    audio.dwRate = 48000;
    audio.dwSampleSize = 2;
    int v = -1, a = -1;
    ASSERT_EQ(w->AddStream(RawVideoInfo(kW, kH), v), AVIERR_OK);
    ASSERT_EQ(w->SetFormat(v, &bih, sizeof bih), AVIERR_OK);
    ASSERT_EQ(w->AddStream(audio, a), AVIERR_OK);
    ASSERT_EQ(w->SetFormat(a, &wfx, sizeof wfx), AVIERR_OK);

    std::vector<uint8_t> frame(bih.biSizeImage), pcm(1920);
    uint32_t seed = 1;
    for (uint8_t& b : frame)
        b = uint8_t((seed = seed * 1103515245 + 12345) >> 24);
    std::vector<Written> written;
    constexpr int kFrames = 360; // 2.24 GB: three RIFF parts, positions past 2^31
    for (int i = 0; i < kFrames; ++i) {
        std::memcpy(frame.data(), &i, sizeof i);
        std::memcpy(pcm.data(), &i, sizeof i);
        ASSERT_EQ(
            w->Write(v, i, 1, frame.data(), LONG(frame.size()), AVIIF_KEYFRAME, nullptr, nullptr),
            AVIERR_OK);
        ASSERT_EQ(w->Write(a, i * 960, 960, pcm.data(), LONG(pcm.size()), 0, nullptr, nullptr),
                  AVIERR_OK);
        written.push_back({v, i, uint32_t(frame.size()), true, Adler(frame), ""});
        written.push_back({a, int64_t{i} * 960, uint32_t(pcm.size()), true, Adler(pcm), ""});
    }
    ASSERT_EQ(w->Finish(), AVIERR_OK);
    w.reset();
    EXPECT_GT(testmedia::FileSizeOf(out), uint64_t{2} << 30);
    ExpectFfmpegReads(out, written, false);
    ExpectReaderReads(out, written, 2);
    EXPECT_EQ(ExpectIndexesPointAtChunks(out).second, written.size());
    EXPECT_EQ(Find(Walk(out), "RIFF:AVIX").size(), 2u);
    std::remove(out.c_str());
}

TEST_F(AviWriterTest, ReportsFailedOpensAndWrites) {
    std::unique_ptr<AviWriter> w;
    EXPECT_EQ(AviWriter::Create(Out("no-such-folder/x.avi"), w), AVIERR_FILEOPEN);
    EXPECT_EQ(w, nullptr);

    const BITMAPINFOHEADER bih = RawVideoFormat(16, 16);
    // Small frames wait in the buffer: the failure surfaces at the latest in Finish.
    ASSERT_EQ(AviWriter::Create("/dev/full", w), AVIERR_OK);
    int v = -1;
    ASSERT_EQ(w->AddStream(RawVideoInfo(16, 16), v), AVIERR_OK);
    ASSERT_EQ(w->SetFormat(v, &bih, sizeof bih), AVIERR_OK);
    std::vector<uint8_t> frame(bih.biSizeImage);
    HRESULT first = AVIERR_OK;
    for (LONG i = 0; i < 10 && first == AVIERR_OK; ++i)
        first =
            w->Write(v, i, 1, frame.data(), LONG(frame.size()), AVIIF_KEYFRAME, nullptr, nullptr);
    EXPECT_TRUE(first == AVIERR_OK || first == AVIERR_FILEWRITE);
    EXPECT_EQ(w->Finish(), AVIERR_FILEWRITE);
    EXPECT_EQ(w->Finish(), AVIERR_FILEWRITE);

    // A frame larger than the buffer goes straight to the file, and its call reports.
    ASSERT_EQ(AviWriter::Create("/dev/full", w), AVIERR_OK);
    const BITMAPINFOHEADER big = RawVideoFormat(1600, 1200);
    ASSERT_EQ(w->AddStream(RawVideoInfo(1600, 1200), v), AVIERR_OK);
    ASSERT_EQ(w->SetFormat(v, &big, sizeof big), AVIERR_OK);
    frame.assign(big.biSizeImage, 0);
    EXPECT_EQ(w->Write(v, 0, 1, frame.data(), LONG(frame.size()), AVIIF_KEYFRAME, nullptr, nullptr),
              AVIERR_FILEWRITE);
    EXPECT_EQ(w->Write(v, 1, 1, frame.data(), 16, 0, nullptr, nullptr), AVIERR_FILEWRITE);
    EXPECT_EQ(w->Finish(), AVIERR_FILEWRITE);
}

// A full disk, made with the file size limit: the file keeps the frames that fit, with headers
// that match them, and an index when there was room left for it.
TEST_F(AviWriterTest, KeepsAReadableFileWhenTheDiskFillsUp) {
    constexpr int kW = 320, kH = 240, kFrames = 40;
    const BITMAPINFOHEADER bih = RawVideoFormat(kW, kH);
    const uint64_t chunk = 8 + uint64_t{bih.biSizeImage};
    std::vector<uint8_t> frame(bih.biSizeImage);
    const auto write = [&](const std::string& out, rlim_t limit, HRESULT& firstError) {
        std::unique_ptr<AviWriter> w;
        ASSERT_EQ(AviWriter::Create(out, w), AVIERR_OK);
        int v = -1;
        ASSERT_EQ(w->AddStream(RawVideoInfo(kW, kH), v), AVIERR_OK);
        ASSERT_EQ(w->SetFormat(v, &bih, sizeof bih), AVIERR_OK);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit lowered = old;
        lowered.rlim_cur = std::min(limit, old.rlim_max);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &lowered);
        firstError = AVIERR_OK;
        for (int i = 0; i < kFrames; ++i) {
            frame[0] = uint8_t(i);
            const HRESULT hr = w->Write(v, i, 1, frame.data(), LONG(frame.size()), AVIIF_KEYFRAME,
                                        nullptr, nullptr);
            if (firstError == AVIERR_OK)
                firstError = hr;
        }
        const HRESULT finished = w->Finish();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(finished, limit == RLIM_INFINITY ? AVIERR_OK : AVIERR_FILEWRITE);
    };
    // Header size, from a complete file.
    HRESULT err = AVIERR_OK;
    write(Out("full-ref.avi"), RLIM_INFINITY, err);
    const uint64_t header = Find(Walk(Out("full-ref.avi")), "LIST:movi").at(0).pos + 12;

    for (const uint64_t slack : {uint64_t{100000}, uint64_t{40}}) {
        SCOPED_TRACE(slack);
        const std::string out = Out("full-" + std::to_string(slack) + ".avi");
        constexpr uint64_t kFit = 25; // past the first 4 MiB flush, so a Write sees the failure
        write(out, rlim_t(header + kFit * chunk + slack), err);
        EXPECT_EQ(err, AVIERR_FILEWRITE);
        std::vector<Written> written;
        for (int i = 0; i < int(kFit); ++i) {
            frame[0] = uint8_t(i);
            written.push_back({0, i, bih.biSizeImage, true, Adler(frame), Md5(frame)});
        }
        ExpectFfmpegReads(out, written);
        ExpectReaderReads(out, written, 1);
        EXPECT_EQ(ExpectIndexesPointAtChunks(out).first, slack > 16 * kFit + 8 ? kFit : 0u);
        EXPECT_EQ(AvihFlags(out) & AVIF_HASINDEX, slack > 16 * kFit + 8 ? AVIF_HASINDEX : 0u);
        EXPECT_EQ(testmedia::FileSizeOf(out),
                  header + kFit * chunk + (slack > 16 * kFit + 8 ? 16 * kFit + 8 : 0));
    }
}

} // namespace
