// AviReader: RIFF parsing of AVI files into headers and per-stream chunk indexes.
#include "engine/avi/AviReader.h"

#include "engine/avi/AviIdx1.h"
#include "support/files/ByteOrder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace avi {

namespace {

using namespace ckid;

// Stream numbers in chunk ids have two decimal digits.
constexpr size_t kMaxStreams = 100;
// Headers of real files take a few KB (plus reserved OpenDML index space); anything beyond is
// not read.
constexpr uint64_t kMaxHeaderList = 16u << 20;
constexpr size_t kMaxFormat = 1u << 20;
constexpr size_t kMaxName = 256;
constexpr int kMaxRecDepth = 4;
constexpr size_t kMaxTopLevelChunks = 1u << 16;
// No real file holds this many chunks (it is 93 hours of 25 fps video with an audio chunk per
// frame); a file claiming more is refused, so that a forged one cannot take the memory.
constexpr uint64_t kMaxChunks = uint64_t{1} << 23;
// Indexes are read in blocks of this size.
constexpr size_t kIndexBlock = 1u << 20;
// Walking a "movi" list reads chunk headers through a window of this size.
constexpr size_t kWalkWindow = 64u << 10;

// Chunk ids are printable; anything else means we are no longer on a chunk boundary.
bool PlausibleId(uint32_t id) {
    for (int i = 0; i < 4; ++i) {
        const uint32_t c = (id >> (8 * i)) & 0xFF;
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

// Stream number of a data chunk id: two decimal digits, then two letters - "NNdc" (compressed
// video), "NNdb" (uncompressed video), "NNwb" (audio), and the other spellings writers use
// ("NNDC", "NNdd", "NNiv", ...), as other readers take them. -1 for anything else: "NNpc"
// palette changes, index chunks ("ix##"), unknown ids.
int DataChunkStream(uint32_t id) {
    const char c0 = static_cast<char>(id & 0xFF);
    const char c1 = static_cast<char>((id >> 8) & 0xFF);
    const char c2 = static_cast<char>((id >> 16) & 0xFF);
    const char c3 = static_cast<char>((id >> 24) & 0xFF);
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (c0 < '0' || c0 > '9' || c1 < '0' || c1 > '9' || !letter(c2) || !letter(c3))
        return -1;
    if ((c2 == 'p' || c2 == 'P') && (c3 == 'c' || c3 == 'C'))
        return -1;
    return (c0 - '0') * 10 + (c1 - '0');
}

// Ids that start a chunk of the top level or of an AVI form, for finding the next chunk after
// a size that was written a few bytes too small.
bool KnownChunkId(uint32_t id) {
    return id == ckid::kList || id == ckid::kJunk || id == ckid::kIdx1 || id == ckid::kRiff ||
           id == FourCC("JUNQ");
}

// How far a size written too small is looked past for the chunk that really follows.
constexpr uint64_t kResyncWindow = 256;

struct MoviList {
    uint64_t typePosition; // of the "movi" code; relative "idx1" offsets count from here
    uint64_t start;        // first chunk
    uint64_t end;
};

struct SuperEntry {
    uint64_t offset; // of the "ix##" chunk header
    uint32_t size;
};

} // namespace

struct AviReader::Parser {
    AviReader& r;
    uint64_t fileSize;
    bool sawHeaders = false;
    bool sawMain = false;
    std::vector<MoviList> movis;
    bool haveIdx1 = false;
    uint64_t idx1Start = 0;
    uint64_t idx1Size = 0;
    std::vector<std::vector<SuperEntry>> superIndex;  // per stream
    std::vector<std::vector<uint8_t>> inlineStdIndex; // per stream: "indx" holding chunks
    // Real chunks take at least 8 bytes each and do not overlap, so no honest index lists more
    // entries than entryBudget in all, nor more data for one stream than the file holds. Both
    // bound what entries pointing at the same data again and again can cost.
    uint64_t entryBudget;
    std::vector<uint64_t> streamBytes;
    uint64_t chunksIndexed = 0;
    bool tooManyChunks = false; // more than kMaxChunks: the open fails
    // Set when a header list turned out to overrun the chunks after it: where they begin.
    uint64_t resumeAt = 0;

    explicit Parser(AviReader& reader)
        : r(reader), fileSize(reader.fileSize_), entryBudget(reader.fileSize_ / 8 + 16) {}

    HRESULT Run();
    HRESULT ReadBlock(uint64_t offset, size_t size, std::vector<uint8_t>& buf);
    uint64_t ParseChildren(uint64_t start, uint64_t end, bool firstPart);
    // The position of a known chunk id shortly after pos, or pos when there is none.
    uint64_t Resync(uint64_t pos, uint64_t end);
    HRESULT HandleChild(uint64_t pos, uint32_t id, uint32_t size, bool firstPart);
    // Returns where a "movi" list was found inside the header list (its size claimed too
    // much), else n.
    size_t ParseHeaderList(const uint8_t* p, size_t n);
    void ParseStreamList(const uint8_t* p, size_t n);
    void ParseIndx(size_t stream, const uint8_t* p, size_t n);
    void AddEntry(size_t stream, uint64_t data, uint32_t size, bool key);
    void AddStdEntry(size_t stream, uint32_t chunkId, uint64_t base, uint32_t offset,
                     uint32_t sizeAndFlag);
    // Whether a chunk whose data starts at data has its header inside a "movi" list (or after
    // one, before the next).
    bool InMovi(uint64_t data) const;
    // Size of an index entry, mended from the chunk header it points at when the entry's own
    // runs past the end of the file; nullopt when the entry cannot be placed at all. A chunk
    // the file ends inside keeps what is there.
    std::optional<uint32_t> EntrySize(uint32_t id, uint64_t data, uint32_t size);
    // Notes a planned number of chunks; false (and the open fails) past kMaxChunks.
    bool Plan(uint64_t chunks);
    void BuildOpenDml(size_t stream);
    template <typename Visit> bool ForEachIdx1Entry(const Visit& visit);
    // Entries per stream of "idx1"; false when the file has none.
    bool CountIdx1(std::vector<uint64_t>& counts);
    void FillIdx1(const std::vector<bool>& want, const std::vector<uint64_t>& counts);
    void BuildWalk(const std::vector<bool>& want);
    void WalkUnindexedTail();
    void WalkList(uint64_t start, uint64_t end, int depth, const std::vector<bool>& want,
                  std::vector<uint8_t>& window, uint64_t& windowPos, bool& stop);
};

HRESULT AviReader::Parser::ReadBlock(uint64_t offset, size_t size, std::vector<uint8_t>& buf) {
    buf.resize(size);
    return r.ReadAt(offset, buf.data(), size) ? AVIERR_OK : AVIERR_FILEREAD;
}

HRESULT AviReader::Parser::Run() {
    uint8_t head[12];
    if (fileSize < 12)
        return AVIERR_BADFORMAT;
    if (!r.ReadAt(0, head, 12))
        return AVIERR_FILEREAD;
    if (Le32(head) != kRiff || Le32(head + 8) != kAvi)
        return AVIERR_BADFORMAT;

    // Top level: "RIFF" "AVI ", then any "RIFF" "AVIX" parts. Chunks found at the top level
    // between them (a RIFF size written too small) are taken as part of the first RIFF.
    uint64_t pos = 0;
    bool first = true;
    for (size_t count = 0; pos + 8 <= fileSize && count < kMaxTopLevelChunks; ++count) {
        const size_t want = fileSize - pos >= 12 ? 12 : 8;
        if (!r.ReadAt(pos, head, want))
            return AVIERR_FILEREAD;
        const uint32_t id = Le32(head);
        const uint32_t size = Le32(head + 4);
        // A RIFF size of 0 is left by writers that never finished the file.
        const uint64_t declaredEnd = size == 0 && id == kRiff ? fileSize : pos + 8 + size;
        uint64_t next = declaredEnd + (size & 1);
        if (id == kRiff && want == 12) {
            const uint32_t type = Le32(head + 8);
            const bool part = first ? type == kAvi : type == kAvix;
            if (part) {
                const uint64_t childrenEnd =
                    ParseChildren(pos + 12, std::min(declaredEnd, fileSize), first);
                next = std::max(next, childrenEnd);
            }
            first = false;
        } else if (PlausibleId(id)) {
            resumeAt = 0;
            const HRESULT hr = HandleChild(pos, id, size, true);
            if (hr != AVIERR_OK)
                return hr;
            if (resumeAt > pos)
                next = resumeAt;
        } else {
            break;
        }
        pos = next;
    }
    if (!sawHeaders || !sawMain)
        return AVIERR_BADFORMAT;
    if (!movis.empty())
        r.moviTypePosition_ = movis.front().typePosition;

    // Indexes: per stream the one that lists more of it, the OpenDML index or "idx1" (a file
    // may carry a complete one of either kind beside a partial one of the other), and for a
    // stream neither lists, what a walk through the "movi" lists finds.
    const size_t n = r.streams_.size();
    streamBytes.assign(n, 0);
    for (size_t i = 0; i < n; ++i) {
        BuildOpenDml(i);
        if (r.streams_[i].index.ChunkCount() > 0)
            r.streams_[i].source = IndexSource::OpenDml;
    }
    std::vector<uint64_t> idx1Counts;
    if (CountIdx1(idx1Counts)) {
        std::vector<bool> useIdx1(n, false);
        bool any = false;
        for (size_t i = 0; i < n; ++i) {
            StreamModel& s = r.streams_[i];
            if (idx1Counts[i] <= s.index.ChunkCount())
                continue;
            useIdx1[i] = any = true;
            chunksIndexed -= s.index.ChunkCount();
            streamBytes[i] = 0;
            s.index.Clear();
            s.source = IndexSource::Idx1;
        }
        if (any)
            FillIdx1(useIdx1, idx1Counts);
    }
    std::vector<bool> walk(n, false);
    bool anyWalk = false;
    for (size_t i = 0; i < n; ++i) {
        if (r.streams_[i].index.ChunkCount() == 0)
            walk[i] = anyWalk = true;
    }
    if (anyWalk) {
        BuildWalk(walk);
        for (size_t i = 0; i < n; ++i) {
            if (walk[i] && r.streams_[i].index.ChunkCount() > 0)
                r.streams_[i].source = IndexSource::Walk;
        }
    }
    WalkUnindexedTail();
    if (tooManyChunks)
        return AVIERR_MEMORY;
    for (StreamModel& s : r.streams_) {
        // Video without a time base of its own takes the main header's frame duration, as
        // players do; 25 frames a second when that is missing too.
        if (s.IsVideo() && (s.header.scale == 0 || s.header.rate == 0)) {
            const bool fromMain = r.main_.microSecPerFrame > 0;
            s.header.scale = fromMain ? r.main_.microSecPerFrame : 1;
            s.header.rate = fromMain ? 1000000 : 25;
        }
        // A video chunk is one frame whatever dwSampleSize says; other streams with a sample
        // size count bytes. Key flags only mean something for video, and a walked index has
        // none (every chunk counts as a key frame then).
        const uint32_t sampleSize = s.IsVideo() ? 0 : s.header.sampleSize;
        s.index.Finish(sampleSize, !s.IsVideo() || s.source == IndexSource::Walk);
    }
    return AVIERR_OK;
}

uint64_t AviReader::Parser::Resync(uint64_t pos, uint64_t end) {
    const uint64_t len = std::min<uint64_t>(kResyncWindow + 8, end - pos);
    std::vector<uint8_t> window;
    if (len < 12 || ReadBlock(pos, static_cast<size_t>(len), window) != AVIERR_OK)
        return pos;
    for (size_t at = 1; at + 8 <= window.size(); ++at) {
        if (KnownChunkId(Le32(window.data() + at)))
            return pos + at;
    }
    return pos;
}

uint64_t AviReader::Parser::ParseChildren(uint64_t start, uint64_t end, bool firstPart) {
    uint8_t head[12];
    uint64_t pos = start;
    while (pos + 8 <= end) {
        const size_t want = end - pos >= 12 ? 12 : 8;
        if (!r.ReadAt(pos, head, want))
            break;
        const uint32_t id = Le32(head);
        const uint32_t size = Le32(head + 4);
        if (!PlausibleId(id)) {
            // A chunk before overran its declared size by a few bytes (VLC writes such header
            // lists): go on at the chunk that really follows, when there is one close by.
            const uint64_t next = Resync(pos, end);
            if (next == pos)
                break;
            pos = next;
            continue;
        }
        resumeAt = 0;
        if (HandleChild(pos, id, size, firstPart) != AVIERR_OK)
            break;
        pos = resumeAt > pos ? resumeAt : pos + 8 + static_cast<uint64_t>(size) + (size & 1);
    }
    return pos;
}

HRESULT AviReader::Parser::HandleChild(uint64_t pos, uint32_t id, uint32_t size, bool firstPart) {
    const uint64_t dataStart = pos + 8;
    const uint64_t available = dataStart <= fileSize ? fileSize - dataStart : 0;
    if (id == kList) {
        // A size of 0 is what a capture program that never finished the file leaves on "movi".
        if ((size < 4 && size != 0) || available < 4)
            return AVIERR_OK;
        uint8_t type[4];
        if (!r.ReadAt(dataStart, type, 4))
            return AVIERR_FILEREAD;
        const uint32_t listType = Le32(type);
        if (size == 0 && listType != kMovi)
            return AVIERR_OK;
        if (listType == kHdrl && firstPart && !sawHeaders) {
            sawHeaders = true;
            const uint64_t bytes =
                std::min({static_cast<uint64_t>(size) - 4, available - 4, kMaxHeaderList});
            std::vector<uint8_t> buf;
            const HRESULT hr = ReadBlock(dataStart + 4, static_cast<size_t>(bytes), buf);
            if (hr != AVIERR_OK)
                return hr;
            const size_t end = ParseHeaderList(buf.data(), buf.size());
            if (end < buf.size())
                resumeAt = dataStart + 4 + end;
        } else if (listType == kMovi) {
            const uint64_t end = size == 0 ? fileSize : std::min(dataStart + size, fileSize);
            movis.push_back({dataStart, dataStart + 4, end});
            // Unfinished: the list runs to the end of the file, nothing follows it.
            if (size == 0)
                resumeAt = fileSize;
        }
    } else if (id == kIdx1 && !haveIdx1) {
        haveIdx1 = true;
        idx1Start = dataStart;
        idx1Size = std::min<uint64_t>(size, available);
    }
    return AVIERR_OK;
}

size_t AviReader::Parser::ParseHeaderList(const uint8_t* p, size_t n) {
    for (size_t q = 0; q + 8 <= n;) {
        const uint32_t id = Le32(p + q);
        const uint32_t size = Le32(p + q + 4);
        const size_t body = q + 8;
        const size_t len = static_cast<size_t>(std::min<uint64_t>(size, n - body));
        if (id == kList && len >= 4 && Le32(p + body) == kMovi)
            return q;
        if (id == kAvih && !sawMain) {
            sawMain = true;
            uint8_t h[40] = {};
            std::memcpy(h, p + body, std::min<size_t>(len, sizeof h));
            MainHeader& m = r.main_;
            m.microSecPerFrame = Le32(h);
            m.maxBytesPerSec = Le32(h + 4);
            m.paddingGranularity = Le32(h + 8);
            m.flags = Le32(h + 12);
            m.totalFrames = Le32(h + 16);
            m.initialFrames = Le32(h + 20);
            m.streams = Le32(h + 24);
            m.suggestedBufferSize = Le32(h + 28);
            m.width = Le32(h + 32);
            m.height = Le32(h + 36);
        } else if (id == kList && len >= 4) {
            const uint32_t type = Le32(p + body);
            if (type == kStrl && r.streams_.size() < kMaxStreams)
                ParseStreamList(p + body + 4, len - 4);
        }
        q = body + len + (size & 1);
    }
    return n;
}

void AviReader::Parser::ParseStreamList(const uint8_t* p, size_t n) {
    const size_t number = r.streams_.size();
    StreamModel s;
    superIndex.emplace_back();
    inlineStdIndex.emplace_back();
    bool sawStrh = false;
    for (size_t q = 0; q + 8 <= n;) {
        const uint32_t id = Le32(p + q);
        const uint32_t size = Le32(p + q + 4);
        const size_t body = q + 8;
        const size_t len = static_cast<size_t>(std::min<uint64_t>(size, n - body));
        const uint8_t* b = p + body;
        if (id == kStrh && !sawStrh) {
            sawStrh = true;
            // Old writers leave out the frame rectangle (48 bytes); missing fields read as 0.
            uint8_t h[56] = {};
            std::memcpy(h, b, std::min<size_t>(len, sizeof h));
            StreamHeader& sh = s.header;
            sh.fccType = Le32(h);
            sh.fccHandler = Le32(h + 4);
            sh.flags = Le32(h + 8);
            sh.priority = Le16(h + 12);
            sh.language = Le16(h + 14);
            sh.initialFrames = Le32(h + 16);
            sh.scale = Le32(h + 20);
            sh.rate = Le32(h + 24);
            sh.start = Le32(h + 28);
            sh.length = Le32(h + 32);
            sh.suggestedBufferSize = Le32(h + 36);
            sh.quality = Le32(h + 40);
            sh.sampleSize = Le32(h + 44);
            sh.frameLeft = static_cast<int16_t>(Le16(h + 48));
            sh.frameTop = static_cast<int16_t>(Le16(h + 50));
            sh.frameRight = static_cast<int16_t>(Le16(h + 52));
            sh.frameBottom = static_cast<int16_t>(Le16(h + 54));
        } else if (id == kStrf && s.format.empty()) {
            s.format.assign(b, b + std::min(len, kMaxFormat));
        } else if (id == kStrn && s.name.empty()) {
            const size_t textLen = std::min(len, kMaxName);
            const auto* end = static_cast<const uint8_t*>(std::memchr(b, 0, textLen));
            s.name.assign(reinterpret_cast<const char*>(b),
                          end ? static_cast<size_t>(end - b) : textLen);
        } else if (id == FourCC("vprp") && len >= 32 && s.aspectX == 0) {
            // VIDEO_PROP_HEADER: the frame aspect ratio's x in the high word, y in the low, then
            // the active picture's width and height.
            const uint32_t aspect = Le32(b + 20);
            if ((aspect >> 16) != 0 && (aspect & 0xFFFF) != 0) {
                s.aspectX = static_cast<uint16_t>(aspect >> 16);
                s.aspectY = static_cast<uint16_t>(aspect & 0xFFFF);
                s.activeWidth = Le32(b + 24);
                s.activeHeight = Le32(b + 28);
            }
        } else if (id == kIndx) {
            ParseIndx(number, b, len);
        }
        q = body + len + (size & 1);
    }
    r.streams_.push_back(std::move(s));
}

void AviReader::Parser::ParseIndx(size_t stream, const uint8_t* p, size_t n) {
    // AVISUPERINDEX / AVISTDINDEX header: wLongsPerEntry, bIndexSubType, bIndexType,
    // nEntriesInUse, dwChunkId, then 12 bytes (qwBaseOffset + reserved, or reserved).
    if (n < 24)
        return;
    const size_t stride = static_cast<size_t>(Le16(p)) * 4;
    const uint8_t type = p[3];
    const uint64_t inUse = Le32(p + 4);
    if (type == kIndexOfIndexes) {
        if (stride < 16)
            return;
        const size_t count = static_cast<size_t>(std::min<uint64_t>(inUse, (n - 24) / stride));
        std::vector<SuperEntry>& list = superIndex[stream];
        list.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = p + 24 + i * stride;
            list.push_back({Le64(e), Le32(e + 8)});
        }
    } else if (type == kIndexOfChunks && stride >= 8) {
        // A standard index kept in the header itself (small files from some writers).
        inlineStdIndex[stream].assign(p, p + n);
    }
}

void AviReader::Parser::AddEntry(size_t stream, uint64_t data, uint32_t size, bool key) {
    if (entryBudget == 0 || size > IndexedChunk::kMaxSize || streamBytes[stream] + size > fileSize)
        return;
    if (chunksIndexed >= kMaxChunks) {
        tooManyChunks = true;
        return;
    }
    --entryBudget;
    ++chunksIndexed;
    streamBytes[stream] += size;
    r.streams_[stream].index.Add(data, size, key);
}

bool AviReader::Parser::Plan(uint64_t chunks) {
    if (chunks > kMaxChunks)
        tooManyChunks = true;
    return !tooManyChunks;
}

bool AviReader::Parser::InMovi(uint64_t data) const {
    if (data < 8)
        return false;
    const uint64_t header = data - 8;
    // A list whose size was written too small still owns the chunks up to the next one.
    for (size_t i = 0; i < movis.size(); ++i) {
        const uint64_t end = i + 1 < movis.size() ? movis[i + 1].start : fileSize;
        if (header >= movis[i].start && header < std::max(end, movis[i].end))
            return true;
    }
    return false;
}

std::optional<uint32_t> AviReader::Parser::EntrySize(uint32_t id, uint64_t data, uint32_t size) {
    if (data <= fileSize && size <= fileSize - data)
        return size;
    // The entry's size runs past the end: the chunk's own header tells the truth when the entry
    // points at it, and a chunk cut short by the end of the file keeps what is there.
    uint8_t h[8];
    if (data < 8 || data > fileSize || !r.ReadAt(data - 8, h, sizeof h) ||
        (Le32(h) != id &&
         (DataChunkStream(Le32(h)) < 0 || DataChunkStream(Le32(h)) != DataChunkStream(id))))
        return std::nullopt;
    return static_cast<uint32_t>(std::min<uint64_t>(Le32(h + 4), fileSize - data));
}

void AviReader::Parser::AddStdEntry(size_t stream, uint32_t chunkId, uint64_t base, uint32_t offset,
                                    uint32_t sizeAndFlag) {
    // Offsets count from qwBaseOffset and point at the chunk's data; bit 31 of the size marks
    // a frame that is NOT a key frame.
    if (base > fileSize)
        return;
    const uint64_t data = base + offset;
    // Entries past the real ones (a count larger than the chunk) read as zeros and would point
    // at the list's own header again and again: only chunks inside a "movi" list count.
    if (data < 8 || data > fileSize || !InMovi(data))
        return;
    const std::optional<uint32_t> size = EntrySize(chunkId, data, sizeAndFlag & 0x7FFFFFFFu);
    if (size)
        AddEntry(stream, data, *size, (sizeAndFlag & 0x80000000u) == 0);
}

void AviReader::Parser::BuildOpenDml(size_t stream) {
    AviStreamIndex& index = r.streams_[stream].index;
    const std::vector<uint8_t>& inl = inlineStdIndex[stream];
    size_t inlineCount = 0;
    if (!inl.empty()) {
        const size_t stride = static_cast<size_t>(Le16(inl.data())) * 4;
        inlineCount = static_cast<size_t>(
            std::min<uint64_t>(Le32(inl.data() + 4), (inl.size() - 24) / stride));
    }
    // First the headers of the "ix##" chunks, so that the index is allocated once.
    struct StdIndex {
        uint64_t entriesStart;
        uint64_t count;
        uint64_t base;
        size_t stride;
        uint32_t chunkId;
    };
    std::vector<StdIndex> parts;
    uint64_t planned = inlineCount;
    for (const SuperEntry& super : superIndex[stream]) {
        // "ix##" chunk: 8-byte header, then the AVISTDINDEX header (24 bytes) and entries.
        if (super.offset > fileSize || fileSize - super.offset < 32 || planned >= entryBudget)
            continue;
        uint8_t h[32];
        if (!r.ReadAt(super.offset, h, sizeof h))
            continue;
        const uint32_t cb = Le32(h + 4);
        const size_t stride = static_cast<size_t>(Le16(h + 8)) * 4;
        const uint8_t type = h[11];
        if (type != kIndexOfChunks || stride < 8 || cb < 24)
            continue;
        const uint64_t entriesStart = super.offset + 32;
        uint64_t room = std::min<uint64_t>(cb - 24, fileSize - entriesStart);
        // The super index says how long the chunk is too (with its header or, for some
        // writers, without): entries are read only as far as both allow.
        if (super.size >= 24)
            room = std::min<uint64_t>(room, super.size - 24);
        const uint64_t count =
            std::min({uint64_t{Le32(h + 12)}, room / stride, entryBudget - planned});
        planned += count;
        parts.push_back({entriesStart, count, Le64(h + 20), stride, Le32(h + 16)});
    }
    if (!Plan(chunksIndexed + std::min(planned, entryBudget)))
        return;
    index.Reserve(static_cast<size_t>(std::min(planned, entryBudget)));

    if (inlineCount > 0) {
        const size_t stride = static_cast<size_t>(Le16(inl.data())) * 4;
        const uint32_t chunkId = Le32(inl.data() + 8);
        const uint64_t base = Le64(inl.data() + 12);
        for (size_t i = 0; i < inlineCount; ++i) {
            const uint8_t* e = inl.data() + 24 + i * stride;
            AddStdEntry(stream, chunkId, base, Le32(e), Le32(e + 4));
        }
    }
    std::vector<uint8_t> buf;
    for (const StdIndex& part : parts) {
        const uint64_t perBlock = kIndexBlock / part.stride;
        for (uint64_t done = 0; done < part.count;) {
            const uint64_t now = std::min(perBlock, part.count - done);
            if (ReadBlock(part.entriesStart + done * part.stride,
                          static_cast<size_t>(now * part.stride), buf) != AVIERR_OK)
                break;
            for (uint64_t i = 0; i < now; ++i) {
                const uint8_t* e = buf.data() + i * part.stride;
                AddStdEntry(stream, part.chunkId, part.base, Le32(e), Le32(e + 4));
            }
            done += now;
        }
    }
}

template <typename Visit> bool AviReader::Parser::ForEachIdx1Entry(const Visit& visit) {
    if (!haveIdx1 || movis.empty())
        return false;
    const uint64_t entries = idx1Size / 16;
    const FourCCAt fourCCAt = [this](uint64_t position) -> std::optional<uint32_t> {
        uint8_t b[4];
        if (position > fileSize || fileSize - position < 4 || !r.ReadAt(position, b, 4))
            return std::nullopt;
        return Le32(b);
    };
    std::optional<uint64_t> base;
    std::vector<uint8_t> buf;
    const uint64_t perBlock = kIndexBlock / 16;
    for (uint64_t done = 0; done < entries;) {
        const uint64_t now = std::min(perBlock, entries - done);
        if (ReadBlock(idx1Start + done * 16, static_cast<size_t>(now * 16), buf) != AVIERR_OK)
            break;
        for (uint64_t i = 0; i < now; ++i) {
            const uint8_t* e = buf.data() + i * 16;
            const uint32_t id = Le32(e);
            const uint32_t flags = Le32(e + 4);
            const uint32_t offset = Le32(e + 8);
            const uint32_t size = Le32(e + 12);
            // "rec " lists of interleaved files appear in the index too; their chunks follow as
            // entries of their own.
            if ((flags & AVIIF_LIST) != 0 || id == kRec || id == kList)
                continue;
            if (!base) {
                base = Idx1OffsetBase(movis.front().typePosition, offset, id, fourCCAt);
                r.idx1Absolute_ = *base != movis.front().typePosition;
            }
            const int stream = DataChunkStream(id);
            if (stream < 0 || static_cast<size_t>(stream) >= r.streams_.size())
                continue;
            // Offsets are unsigned: an AVI 1.0 file reaches up to 4 GiB with them.
            const uint64_t data = *base + offset + 8;
            if (const std::optional<uint32_t> mended = EntrySize(id, data, size))
                visit(static_cast<size_t>(stream), data, *mended, (flags & AVIIF_KEYFRAME) != 0);
        }
        done += now;
    }
    return true;
}

bool AviReader::Parser::CountIdx1(std::vector<uint64_t>& counts) {
    counts.assign(r.streams_.size(), 0);
    return ForEachIdx1Entry([&](size_t stream, uint64_t, uint32_t, bool) { ++counts[stream]; });
}

void AviReader::Parser::FillIdx1(const std::vector<bool>& want,
                                 const std::vector<uint64_t>& counts) {
    uint64_t wanted = 0;
    for (size_t i = 0; i < want.size(); ++i)
        wanted += want[i] ? counts[i] : 0;
    if (!Plan(chunksIndexed + wanted))
        return;
    for (size_t i = 0; i < want.size(); ++i) {
        if (want[i])
            r.streams_[i].index.Reserve(static_cast<size_t>(counts[i]));
    }
    ForEachIdx1Entry([&](size_t stream, uint64_t data, uint32_t size, bool key) {
        if (want[stream])
            AddEntry(stream, data, size, key);
    });
}

void AviReader::Parser::BuildWalk(const std::vector<bool>& want) {
    std::vector<uint8_t> window;
    uint64_t windowPos = 0;
    bool stop = false;
    for (size_t i = 0; i < movis.size(); ++i) {
        stop = false;
        WalkList(movis[i].start, movis[i].end, 0, want, window, windowPos, stop);
    }
}

void AviReader::Parser::WalkUnindexedTail() {
    // A file cut short, or whose writer stopped updating its index, keeps chunks after the last
    // one an index lists: from there on the "movi" lists are walked, so that they stay
    // reachable. In a finished file only index chunks or padding follow, and the walk is short.
    std::vector<bool> want(r.streams_.size(), false);
    uint64_t lastEnd = 0;
    for (size_t n = 0; n < r.streams_.size(); ++n) {
        const StreamModel& s = r.streams_[n];
        if (s.source != IndexSource::OpenDml && s.source != IndexSource::Idx1)
            continue;
        want[n] = true;
        for (size_t c = 0; c < s.index.ChunkCount(); ++c) {
            const IndexedChunk& chunk = s.index.Chunk(c);
            lastEnd = std::max(lastEnd, chunk.offset + chunk.Size() + (chunk.Size() & 1));
        }
    }
    if (lastEnd == 0)
        return;
    std::vector<uint8_t> window;
    uint64_t windowPos = 0;
    for (const MoviList& m : movis) {
        if (m.end <= lastEnd)
            continue;
        bool stop = false;
        WalkList(std::max(m.start, lastEnd), m.end, 0, want, window, windowPos, stop);
    }
}

void AviReader::Parser::WalkList(uint64_t start, uint64_t end, int depth,
                                 const std::vector<bool>& want, std::vector<uint8_t>& window,
                                 uint64_t& windowPos, bool& stop) {
    uint64_t pos = start;
    while (!stop && !tooManyChunks && pos + 8 <= end) {
        // Chunk headers come through a window of the file so that the walk reads in big
        // blocks, skipping chunk data without reading it.
        if (pos < windowPos || pos + 12 > windowPos + window.size()) {
            const uint64_t len = std::min<uint64_t>(kWalkWindow, fileSize - pos);
            if (ReadBlock(pos, static_cast<size_t>(len), window) != AVIERR_OK) {
                stop = true;
                return;
            }
            windowPos = pos;
        }
        const uint8_t* h = window.data() + (pos - windowPos);
        const size_t have = static_cast<size_t>(windowPos + window.size() - pos);
        const uint32_t id = Le32(h);
        const uint32_t size = Le32(h + 4);
        const uint64_t dataStart = pos + 8;
        if (!PlausibleId(id)) {
            stop = true;
            return;
        }
        if (id == kList) {
            if (have >= 12 && size >= 4 && Le32(h + 8) == kRec && depth < kMaxRecDepth)
                WalkList(pos + 12, std::min(dataStart + size, end), depth + 1, want, window,
                         windowPos, stop);
        } else {
            const int stream = DataChunkStream(id);
            const bool wanted = stream >= 0 && static_cast<size_t>(stream) < want.size() &&
                                want[static_cast<size_t>(stream)];
            if (size > end - dataStart) {
                // The file ends inside this chunk (a recording cut short): what is there counts,
                // as other readers take it. A list that ends inside a chunk ends the walk.
                if (wanted && end == fileSize && dataStart < fileSize)
                    AddEntry(static_cast<size_t>(stream), dataStart,
                             static_cast<uint32_t>(fileSize - dataStart), true);
                stop = true;
                return;
            }
            if (wanted)
                AddEntry(static_cast<size_t>(stream), dataStart, size, true);
        }
        pos = dataStart + size + (size & 1);
    }
}

AviReader::~AviReader() = default;

HRESULT AviReader::Open(const std::string& path, std::unique_ptr<AviReader>& out,
                        int* systemError) {
    out.reset();
    std::unique_ptr<AviReader> reader(new AviReader());
    reader->file_ = std::make_unique<ReadOnlyFile>(path);
    if (!reader->file_->IsOpen()) {
        if (systemError)
            *systemError = reader->file_->Error();
        return AVIERR_FILEOPEN;
    }
    reader->fileSize_ = reader->file_->Size();
    Parser parser(*reader);
    const HRESULT hr = parser.Run();
    if (hr == AVIERR_MEMORY && systemError)
        *systemError = EFBIG; // more chunks than any real file holds
    if (hr != AVIERR_OK)
        return hr;
    out = std::move(reader);
    return AVIERR_OK;
}

bool AviReader::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    return file_->ReadExactly(offset, buffer, size);
}

} // namespace avi
