// Tests of the RIFF index scanner on hand-built RIFF layouts and on files made by ffmpeg and
// GStreamer.
#include "engine/avi/U_AviIndexScan.h"

#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

void Code(Bytes& to, const char* code) {
    to.insert(to.end(), code, code + 4);
}

void DWord(Bytes& to, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        to.push_back(static_cast<uint8_t>(value >> shift));
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        Append(all, part);
    return all;
}

// A chunk with its RIFF pad byte after odd-sized data.
Bytes Chunk(const char* id, const Bytes& data) {
    Bytes b;
    Code(b, id);
    DWord(b, static_cast<uint32_t>(data.size()));
    Append(b, data);
    if (data.size() % 2)
        b.push_back(0);
    return b;
}

// A chunk whose declared size is given, followed by whatever data is there.
Bytes ChunkDeclared(const char* id, uint32_t declared, const Bytes& data) {
    Bytes b;
    Code(b, id);
    DWord(b, declared);
    Append(b, data);
    return b;
}

Bytes List(const char* type, const Bytes& body) {
    Bytes typed;
    Code(typed, type);
    Append(typed, body);
    return Chunk("LIST", typed);
}

Bytes Form(const char* form, const Bytes& body) {
    Bytes b;
    Code(b, "RIFF");
    DWord(b, static_cast<uint32_t>(body.size() + 4));
    Code(b, form);
    Append(b, body);
    return b;
}

Bytes Fill(size_t size, uint8_t first) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i)
        b[i] = static_cast<uint8_t>(first + i);
    return b;
}

struct Entry {
    const char* id;
    uint32_t offset;
    uint32_t size;
};

Bytes IndexEntries(const std::vector<Entry>& entries) {
    Bytes b;
    for (const Entry& e : entries) {
        Code(b, e.id);
        DWord(b, 0x10);
        DWord(b, e.offset);
        DWord(b, e.size);
    }
    return b;
}

Bytes Idx1(const std::vector<Entry>& entries) {
    return Chunk("idx1", IndexEntries(entries));
}

// A "movi" list of a video and an audio chunk, and the index of both counted from the "movi"
// type code: the video chunk's header is 4 bytes after it.
const Bytes kVideo = Fill(10, 0x40);
const Bytes kAudio = Fill(5, 0x80); // odd: padded in the file
Bytes Movi() {
    return List("movi", Cat({Chunk("00dc", kVideo), Chunk("01wb", kAudio)}));
}
const std::vector<Entry> kRelativeIndex = {{"00dc", 4, 10}, {"01wb", 4 + 8 + 10, 5}};
// A main header and a video and an audio stream header: what the container needs to take the
// file as an AVI file.
Bytes StreamList(const char* type, const char* handler) {
    Bytes strh;
    Code(strh, type);
    Code(strh, handler);
    for (int i = 0; i < 3; ++i)
        DWord(strh, 0); // flags, priority and language, initial frames
    DWord(strh, 1);     // scale
    DWord(strh, 25);    // rate
    for (int i = 0; i < 7; ++i)
        DWord(strh, 0);
    return List("strl", Cat({Chunk("strh", strh), Chunk("strf", Fill(40, 0))}));
}
Bytes Hdrl() {
    return List("hdrl", Cat({Chunk("avih", Fill(40, 0)), StreamList("vids", "DIVX"),
                             StreamList("auds", "\x55\0\0\0")}));
}

std::string WriteFile(const std::string& name, const Bytes& bytes) {
    const std::string path = testmedia::TempDir() + "/" + name;
    testmedia::WriteAll(path, bytes);
    return path;
}

TAviIndexScanner Scanned(const std::string& name, const Bytes& bytes) {
    TAviIndexScanner scanner;
    scanner.Scan(WriteFile(name, bytes));
    return scanner;
}

Bytes BytesAt(const Bytes& file, uint64_t position, uint32_t size) {
    if (position > file.size() || size > file.size() - position)
        return {};
    return Bytes(file.begin() + static_cast<std::ptrdiff_t>(position),
                 file.begin() + static_cast<std::ptrdiff_t>(position + size));
}

} // namespace

TEST(AviIndexScan, ReadsIndexAndLocatesChunkData) {
    const Bytes file = Form("AVI ", Cat({Hdrl(), Movi(), Idx1(kRelativeIndex)}));
    TAviIndexScanner s = Scanned("plain.avi", file);
    ASSERT_TRUE(s.IndexFound);
    EXPECT_FALSE(s.OffsetsAbsolute);
    ASSERT_EQ(s.Entries.size(), 2u);
    EXPECT_EQ(s.Entries[1].ChunkId, 0x62773130u); // "01wb", first character lowest
    EXPECT_EQ(s.Entries[0].Flags, 0x10u);
    // RIFF header, hdrl list, then "LIST", size, "movi".
    EXPECT_EQ(s.MoviPosition, 12u + Hdrl().size() + 12);
    EXPECT_EQ(BytesAt(file, s.DataPosition(s.Entries[0]), s.Entries[0].Size), kVideo);

    s.SelectChunks("01wb");
    ASSERT_EQ(s.Chunks.size(), 1u);
    EXPECT_EQ(s.Chunks[0].Offset, kRelativeIndex[1].offset);
    EXPECT_EQ(BytesAt(file, s.DataPosition(s.Chunks[0]), s.Chunks[0].Size), kAudio);

    // The code is compared exactly.
    s.SelectChunks("01WB");
    EXPECT_TRUE(s.Chunks.empty());
    s.SelectChunks("01w");
    EXPECT_TRUE(s.Chunks.empty());
    s.SelectChunks("00dc");
    EXPECT_EQ(s.Chunks.size(), 1u);
}

TEST(AviIndexScan, TheContainersIndexWhateverItsSourceAndStateIsDropped) {
    TAviIndexScanner s;
    s.Scan(WriteFile("with.avi", Form("AVI ", Cat({Hdrl(), Movi(), Idx1(kRelativeIndex)}))));
    s.SelectChunks("01wb");
    ASSERT_TRUE(s.IndexFound);

    // Without "idx1" the chunks the container finds by walking "movi" are listed all the same.
    const Bytes bare = Form("AVI ", Cat({Hdrl(), Chunk("JUNK", Fill(3, 0)), Movi()}));
    s.Scan(WriteFile("without.avi", bare));
    ASSERT_TRUE(s.IndexFound);
    ASSERT_EQ(s.Entries.size(), 2u);
    EXPECT_TRUE(s.Chunks.empty());
    EXPECT_EQ(BytesAt(bare, s.DataPosition(s.Entries[1]), 5), kAudio);

    // An index claiming more than the file holds lists what is really there.
    const Bytes entries = IndexEntries(kRelativeIndex);
    s.Scan(WriteFile(
        "idx1-huge.avi",
        Form("AVI ", Cat({Hdrl(), Movi(), ChunkDeclared("idx1", 0xFFFFFFF0u, entries)}))));
    EXPECT_EQ(s.Entries.size(), 2u);

    // No AVI file: nothing, and nothing left from before.
    s.Scan(WriteFile("empty.avi", {}));
    EXPECT_FALSE(s.IndexFound);
    EXPECT_TRUE(s.Entries.empty());
    EXPECT_EQ(s.MoviPosition, 0u);
    s.Scan(WriteFile("wave.wav", Form("WAVE", Idx1(kRelativeIndex))));
    EXPECT_FALSE(s.IndexFound);
}

TEST(AviIndexScan, AbsoluteOffsetsAreDetected) {
    // The same layout indexed with absolute positions of the chunk headers, after an index
    // entry for a "rec " list, which must not decide how offsets count.
    const Bytes head = Cat({Hdrl()});
    const uint64_t moviList = 12 + head.size(); // "LIST" of movi
    const uint32_t video = uint32_t(moviList + 12);
    const uint32_t audio = video + 8 + 10;
    const Bytes file =
        Form("AVI ",
             Cat({head, Movi(), Idx1({{"rec ", 7, 0}, {"00dc", video, 10}, {"01wb", audio, 5}})}));
    TAviIndexScanner s = Scanned("absolute.avi", file);
    ASSERT_TRUE(s.IndexFound);
    EXPECT_TRUE(s.OffsetsAbsolute);
    s.SelectChunks("01wb");
    ASSERT_EQ(s.Chunks.size(), 1u);
    EXPECT_EQ(s.Chunks[0].Offset, audio); // stored as found
    EXPECT_EQ(BytesAt(file, s.DataPosition(s.Chunks[0]), 5), kAudio);
    // Entries are chunks; the list's own entry is not one.
    ASSERT_EQ(s.Entries.size(), 2u);
    EXPECT_EQ(BytesAt(file, s.DataPosition(s.Entries[0]), 10), kVideo);
}

TEST(AviIndexScan, FileThatCannotBeOpenedRaisesTheSystemError) {
    TAviIndexScanner s;
    try {
        s.Scan(testmedia::TempDir() + "/missing.avi");
        FAIL() << "no error raised";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), ENOENT);
    }
    EXPECT_THROW(s.Scan(testmedia::TempDir()), std::system_error);
    EXPECT_FALSE(s.IndexFound);
}

namespace {

// Bytes of all chunks with the id, read where DataPosition says, in index order.
std::string ChunkBytes(TAviIndexScanner& s, const std::string& path, const char* id) {
    const Bytes file = testmedia::ReadAll(path);
    s.SelectChunks(id);
    std::string all;
    for (const TAviIndexEntry& e : s.Chunks) {
        const Bytes data = BytesAt(file, s.DataPosition(e), e.Size);
        EXPECT_EQ(data.size(), e.Size) << "chunk outside the file at offset " << e.Offset;
        all.append(data.begin(), data.end());
    }
    return all;
}

// The stream's packets as ffmpeg's own AVI reader finds them, concatenated.
std::string FfmpegPackets(const std::string& path, const char* stream) {
    const auto r = testmedia::Run("ffmpeg -nostdin -v error -i " + testmedia::Quote(path) +
                                  " -map 0:" + stream + " -c copy -f data -");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

} // namespace

TEST(AviIndexScan, FfmpegFileWithMp3UsesRelativeOffsets) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    std::string why;
    const std::string path = testmedia::Make(
        "scan-ffmpeg-mp3.avi",
        "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120:rate=25:duration=1.2 -f lavfi "
        "-i sine=frequency=440:sample_rate=44100:duration=1.2 -c:v mpeg4 -c:a libmp3lame -b:a 64k "
        "-f avi {out}",
        &why);
    ASSERT_FALSE(path.empty()) << why;
    TAviIndexScanner s;
    s.Scan(path);
    ASSERT_TRUE(s.IndexFound);
    EXPECT_FALSE(s.OffsetsAbsolute);
    const std::string audio = ChunkBytes(s, path, "01wb");
    EXPECT_GT(s.Chunks.size(), 10u);
    EXPECT_EQ(audio, FfmpegPackets(path, "a"));
    EXPECT_EQ(ChunkBytes(s, path, "00dc"), FfmpegPackets(path, "v"));
}

TEST(AviIndexScan, GStreamerFileUsesAbsoluteOffsets) {
    REQUIRE_TOOL("gst-launch-1.0", "gstreamer1.0-tools");
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    std::string why;
    const std::string path = testmedia::Make(
        "scan-gst-mp3.avi",
        "gst-launch-1.0 -q videotestsrc num-buffers=30 ! video/x-raw,width=160,height=120 ! "
        "avenc_mpeg4 ! avimux name=m ! filesink location={out} audiotestsrc num-buffers=20 ! "
        "lamemp3enc ! m.",
        &why);
    if (path.empty())
        GTEST_SKIP() << "GStreamer could not make the file (needs gstreamer1.0-plugins-good, "
                        "-plugins-ugly and gstreamer1.0-libav): "
                     << why;
    TAviIndexScanner s;
    s.Scan(path);
    ASSERT_TRUE(s.IndexFound);
    EXPECT_TRUE(s.OffsetsAbsolute);
    const std::string audio = ChunkBytes(s, path, "01wb");
    EXPECT_GT(s.Chunks.size(), 10u);
    EXPECT_EQ(audio, FfmpegPackets(path, "a"));
    EXPECT_EQ(ChunkBytes(s, path, "00db") + ChunkBytes(s, path, "00dc"), FfmpegPackets(path, "v"));
}
