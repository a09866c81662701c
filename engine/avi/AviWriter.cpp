// AviWriter: the AVI writer behind the AVIFile service's output files.
//
// Chunks go out through a large buffer; headers and indexes are completed at the end, the file
// continues in OpenDML form past 1 GiB, and a failed write still leaves a readable file.
#include "engine/avi/AviWriter.h"

#include "engine/avi/AviHeaderList.h"
#include "engine/avi/RiffOutput.h"
#include "support/files/ByteOrder.h"
#include "support/files/ReadOnlyFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <limits>

// Rules adopted for AVIStreamWrite, after the platform's default AVI handler:
// - Writing happens only at the end of a stream. The first write fixes the stream's start
//   (dwStart := lStart); lStart -1 means "at the end" (at dwStart for the first write).
// - dwSampleSize 0 (video, VBR audio): one chunk is one sample. A call stores one sample;
//   lSamples above 1 is AVIERR_UNSUPPORTED, lSamples 0 still stores the chunk and counts it.
//   Positions skipped over get empty chunks (flagged as non-key) so that chunk n stays sample n.
//   A position already written is AVIERR_UNSUPPORTED.
// - dwSampleSize > 0 (PCM, CBR audio): a call stores its bytes as one chunk and advances the
//   length by lSamples. Gaps are AVIERR_UNSUPPORTED (the caller supplies silence). The bytes are
//   not checked against lSamples x dwSampleSize: a cut that copies source chunks one by one
//   passes each chunk as one sample, and the chunk is stored as given.
// - Every chunk, empty ones included, is written and indexed; odd sizes are padded to even.
//   Audio chunks are key frames in the indexes, as other writers store them; otherwise only
//   AVIIF_KEYFRAME of the flags is kept.
// - Streams and formats are fixed by the first sample written (the header's room is laid out
//   then); adding a stream or setting a format later is AVIERR_UNSUPPORTED.
// - A failed or short write makes that call and Finish return AVIERR_FILEWRITE, and every later
//   write fails the same way. Finish then keeps the chunks that reached the disk whole, indexes
//   them when there is room and rewrites the headers to match.
// Main header flags: AVIF_HASINDEX whenever an index was written; AVIF_ISINTERLEAVED when at
// least two streams hold chunks and, in call order, no chunk starts more than a second before
// the latest chunk of another stream (a cut that writes all video first and then the audio is
// not interleaved, and says so).
//
// File layout: RIFF "AVI " { hdrl { avih, strl { strh, strf, [strn], indx or JUNK }..., odml or
// JUNK }, movi { ##dc / ##db / ##wb / ##tx chunks, [ix## per stream] }, idx1 }, then for OpenDML
// RIFF "AVIX" { movi { chunks, ix## per stream } } forms of up to 1 GiB each. The room for the
// super indexes and "dmlh" is always reserved, so a file needs no second pass when it grows.

namespace {

constexpr uint64_t kRiffLimit = uint64_t{1} << 30;
constexpr int kMaxStreams = 100; // chunk ids carry two decimal digits
// Empty chunks a single write may add to reach its position (8 bytes of file, 16 of memory each).
constexpr int64_t kMaxGap = int64_t{1} << 24;
constexpr size_t kMaxFormat = size_t{1} << 20;
// Streams whose chunks drift apart by more than this in call order are not interleaved.
constexpr double kInterleaveSkewMs = 1000;
// Runs of source bytes at least this long are aligned with the source, so that their blocks
// can be shared; shorter ones are not worth the padding.
constexpr uint64_t kMinSharedRun = uint64_t{256} << 10;

constexpr uint32_t kIxHeaderSize = 24;
using avi::BufferedFile;
using avi::Bytes;
using avi::kSuperIndexEntries;
using avi::SuperEntry;
using Stream = avi::WriterStream;
using ckid::kIndexOfChunks;
constexpr uint32_t kDeltaFrameBit = 0x80000000u;

uint32_t Clamp32(uint64_t v) {
    return static_cast<uint32_t>(std::min<uint64_t>(v, std::numeric_limits<uint32_t>::max()));
}

struct Entry {
    uint32_t offset;  // chunk header, from the "movi" type code of its RIFF
    uint32_t size;    // without the pad byte
    uint32_t samples; // samples the chunk adds to the stream's length
    uint16_t stream;
    uint16_t key;
};

} // namespace

struct AviWriter::Impl {
    std::string fileName;
    BufferedFile file;
    std::vector<Stream> streams;
    uint64_t riffLimit = kRiffLimit;
    bool laidOut = false;
    bool finished = false;
    HRESULT result = AVIERR_OK;

    // Current RIFF: its start, its "movi" LIST header, the end of its last chunk.
    uint64_t riffPos = 0;
    uint64_t moviPos = 0;
    uint64_t moviDataEnd = 0;
    uint32_t riffIndex = 0;
    std::vector<Entry> entries; // chunks of the current RIFF

    // First RIFF once closed.
    uint32_t riff0Size = 0;
    uint32_t movi0Size = 0;
    bool hasIdx1 = false;

    bool interleaved = true;

    HRESULT Failed() {
        if (result == AVIERR_OK)
            result = AVIERR_FILEWRITE;
        return AVIERR_FILEWRITE;
    }

    double TimeMs(const Stream& s, uint64_t position) const {
        return static_cast<double>(position) * s.info.dwScale * 1000.0 / s.info.dwRate;
    }

    std::vector<uint8_t> Header() const {
        avi::FileFacts facts;
        facts.riff0Size = riff0Size;
        facts.movi0Size = movi0Size;
        facts.openDml = riffIndex > 0;
        facts.indexed = hasIdx1 || riffIndex > 0;
        facts.interleaved = interleaved;
        return avi::HeaderList(streams, facts);
    }

    // A chunk may be written: not finished, no earlier failure, the headers laid out.
    HRESULT ReadyToWrite() {
        if (finished)
            return AVIERR_UNSUPPORTED;
        if (result != AVIERR_OK)
            return result;
        return laidOut ? AVIERR_OK : LayOut();
    }

    HRESULT LayOut() {
        for (size_t i = 0; i < streams.size(); ++i)
            streams[i].chunkId = streams[i].spelling != 0
                                     ? streams[i].spelling
                                     : avi::DefaultChunkId(static_cast<int>(i), streams[i]);
        laidOut = true;
        const std::vector<uint8_t> header = Header();
        riffPos = 0;
        moviPos = header.size() - 12;
        moviDataEnd = header.size();
        if (!file.Append(header.data(), header.size()))
            return Failed();
        return AVIERR_OK;
    }

    bool RiffFull(uint64_t chunkBytes) const { return RiffFullAfter(0, chunkBytes, 0); }

    // Whether a chunk of chunkBytes would overfill the current RIFF after `pending` more bytes
    // of `pendingChunks` chunks not recorded yet.
    bool RiffFullAfter(uint64_t pending, uint64_t chunkBytes, size_t pendingChunks = 0) const {
        if (entries.empty() && pendingChunks == 0 && pending == 0)
            return false; // a chunk always goes into a RIFF of its own
        const uint64_t n = entries.size() + pendingChunks + 1;
        uint64_t indexes = (8 + kIxHeaderSize) * streams.size() + 8 * n;
        if (riffIndex == 0)
            indexes += 8 + 16 * n;
        return moviDataEnd - riffPos + pending + chunkBytes + indexes > riffLimit;
    }

    bool AppendIndexChunk(const Stream& s, int number, std::vector<SuperEntry>& pending) {
        const uint64_t at = file.Pos();
        const uint64_t n = s.riffChunks;
        Bytes ix;
        ix.U32(mmioFOURCC('i', 'x', static_cast<char>('0' + number / 10),
                          static_cast<char>('0' + number % 10)));
        ix.U32(static_cast<uint32_t>(kIxHeaderSize + 8 * n));
        ix.U16(2);
        ix.U8(0);
        ix.U8(kIndexOfChunks);
        ix.U32(static_cast<uint32_t>(n));
        ix.U32(s.chunkId);
        ix.U64(moviPos + 8);
        ix.U32(0);
        for (const Entry& e : entries) {
            if (e.stream != number)
                continue;
            ix.U32(e.offset + 8);
            ix.U32(e.size | (e.key ? 0 : kDeltaFrameBit));
            if (ix.data.size() >= 65536) {
                if (!file.Append(ix.data.data(), ix.data.size()))
                    return false;
                ix.data.clear();
            }
        }
        if (!file.Append(ix.data.data(), ix.data.size()))
            return false;
        pending.push_back({at, static_cast<uint32_t>(file.Pos() - at), Clamp32(s.riffSamples)});
        return true;
    }

    bool AppendIdx1() {
        Bytes idx;
        idx.U32(FourCC("idx1"));
        idx.U32(static_cast<uint32_t>(16 * entries.size()));
        for (const Entry& e : entries) {
            idx.U32(streams[e.stream].chunkId);
            idx.U32(e.key ? AVIIF_KEYFRAME : 0);
            idx.U32(e.offset);
            idx.U32(e.size);
            if (idx.data.size() >= 65536) {
                if (!file.Append(idx.data.data(), idx.data.size()))
                    return false;
                idx.data.clear();
            }
        }
        return file.Append(idx.data.data(), idx.data.size());
    }

    bool PatchU32(uint64_t pos, uint64_t value) {
        Bytes b;
        b.U32(static_cast<uint32_t>(value));
        return file.Patch(pos, b.data.data(), 4);
    }

    // Ends the current RIFF after its last chunk: the standard indexes (OpenDML), the end of
    // "movi", "idx1" in the first RIFF, the sizes. The state changes only once all of it is on
    // disk, so a failure leaves the RIFF open for Finish to end some other way.
    bool CloseRiff(bool withStandardIndexes) {
        std::vector<std::vector<SuperEntry>> pending(streams.size());
        if (withStandardIndexes)
            for (size_t i = 0; i < streams.size(); ++i)
                if (streams[i].riffChunks > 0 &&
                    !AppendIndexChunk(streams[i], static_cast<int>(i), pending[i]))
                    return false;
        const uint64_t moviSize = file.Pos() - (moviPos + 8);
        if (riffIndex == 0) {
            if (!AppendIdx1() || !file.Flush())
                return false;
            movi0Size = static_cast<uint32_t>(moviSize);
            riff0Size = static_cast<uint32_t>(file.Pos() - 8);
            hasIdx1 = true;
        } else {
            if (!PatchU32(moviPos + 4, moviSize) ||
                !PatchU32(riffPos + 4, file.Pos() - riffPos - 8) || !file.Flush())
                return false;
        }
        for (size_t i = 0; i < streams.size(); ++i) {
            Stream& s = streams[i];
            s.superIndex.insert(s.superIndex.end(), pending[i].begin(), pending[i].end());
            s.riffChunks = 0;
            s.riffSamples = 0;
        }
        entries.clear();
        return true;
    }

    HRESULT StartAvix() {
        if (riffIndex + 1 >= kSuperIndexEntries)
            return AVIERR_UNSUPPORTED;
        if (!CloseRiff(true))
            return Failed();
        ++riffIndex;
        riffPos = file.Pos();
        moviPos = riffPos + 12;
        moviDataEnd = moviPos + 12;
        Bytes h;
        h.U32(FourCC("RIFF"));
        h.U32(0);
        h.U32(FourCC("AVIX"));
        h.U32(FourCC("LIST"));
        h.U32(0);
        h.U32(FourCC("movi"));
        if (!file.Append(h.data.data(), h.data.size()))
            return Failed();
        return AVIERR_OK;
    }

    HRESULT AppendChunk(int number, const void* data, uint32_t size, bool key, uint32_t samples) {
        Stream& s = streams[static_cast<size_t>(number)];
        const uint64_t padded = uint64_t{size} + (size & 1);
        if (RiffFull(8 + padded)) {
            const HRESULT hr = StartAvix();
            if (hr != AVIERR_OK)
                return hr;
        }
        const uint64_t at = file.Pos();
        Bytes head;
        head.U32(s.chunkId);
        head.U32(size);
        const uint8_t pad = 0;
        if (!file.Append(head.data.data(), head.data.size()) ||
            (size > 0 && !file.Append(data, size)) || ((size & 1) && !file.Append(&pad, 1)))
            return Failed();
        Record(number, at, size, key, samples);
        return AVIERR_OK;
    }

    // The index entry and the stream's counts of a chunk written at file position at.
    void Record(int number, uint64_t at, uint32_t size, bool key, uint32_t samples) {
        Stream& s = streams[static_cast<size_t>(number)];
        entries.push_back({static_cast<uint32_t>(at - (moviPos + 8)), size, samples,
                           static_cast<uint16_t>(number), static_cast<uint16_t>(key ? 1 : 0)});
        moviDataEnd = at + 8 + size + (size & 1);

        if (s.info.dwRate != 0 && interleaved) {
            const double ms = TimeMs(s, static_cast<uint64_t>(s.start) + s.samples);
            for (const Stream& o : streams)
                if (&o != &s && o.chunks > 0 && o.info.dwRate != 0 &&
                    o.lastMs - ms > kInterleaveSkewMs)
                    interleaved = false;
            s.lastMs = ms;
        }
        s.samples += samples;
        s.chunks += 1;
        s.bytes += size;
        s.riffChunks += 1;
        s.riffSamples += samples;
        if (riffIndex == 0)
            s.firstRiffChunks += 1;
        s.maxChunk = std::max(s.maxChunk, size);
    }

    // Pads with a "JUNK" chunk so that the next chunk's header lands at the same offset within
    // a block as sourcePos: only then can the file system share the run's blocks.
    bool AlignWith(uint64_t sourcePos) {
        const uint64_t block = file.BlockSize();
        const uint64_t gap = (sourcePos % block + block - file.Pos() % block) % block;
        if (gap == 0)
            return true;
        // A chunk takes 8 bytes at least: a gap shorter than that is bridged a block later.
        const uint64_t junk = gap >= 8 ? gap - 8 : gap + block - 8;
        Bytes b;
        const size_t body = b.BeginChunk(FourCC("JUNK"));
        b.Zeros(static_cast<size_t>(junk));
        b.EndChunk(body);
        if (!file.Append(b.data.data(), b.data.size()))
            return false;
        moviDataEnd = file.Pos();
        return true;
    }

    // Copies chunks [from, to) of a run, whose first header lies at sourcePos, into the current
    // RIFF.
    HRESULT CopySegment(int sourceFd, uint64_t sourcePos,
                        const std::vector<AviWriter::RunChunk>& run, size_t from, size_t to) {
        uint64_t length = 0;
        for (size_t i = from; i < to; ++i)
            length += 8 + run[i].size + (run[i].size & 1);
        if (length >= kMinSharedRun && !AlignWith(sourcePos))
            return Failed();
        const uint64_t at = file.Pos();
        if (!file.CopyFrom(sourceFd, sourcePos, length))
            return Failed();
        uint64_t offset = at;
        for (size_t i = from; i < to; ++i) {
            const AviWriter::RunChunk& c = run[i];
            Record(c.stream, offset, c.size, c.key, static_cast<uint32_t>(c.samples));
            offset += 8 + c.size + (c.size & 1);
        }
        return AVIERR_OK;
    }

    // Forgets the chunks of the current RIFF that end past pos; returns the end of the last kept.
    uint64_t DropChunksBeyond(uint64_t pos) {
        while (!entries.empty()) {
            const Entry& e = entries.back();
            const uint64_t end = moviPos + 8 + e.offset + 8 + e.size + (e.size & 1);
            if (end <= pos)
                return end;
            Stream& s = streams[e.stream];
            s.samples -= e.samples;
            s.chunks -= 1;
            s.bytes -= e.size;
            s.riffChunks -= 1;
            s.riffSamples -= e.samples;
            if (riffIndex == 0)
                s.firstRiffChunks -= 1;
            entries.pop_back();
        }
        return moviPos + 12;
    }

    // After a failed write: keeps the chunks of the current RIFF that reached the disk whole
    // and ends the RIFF after them, with its index when there is room for it. A RIFF whose own
    // header did not make it is dropped with its chunks. Returns the end of the file.
    uint64_t Salvage() {
        const uint64_t onDisk = file.DiskEnd();
        if (riffIndex > 0 && onDisk < moviPos + 12) {
            DropChunksBeyond(0);
            return riffPos;
        }
        moviDataEnd = DropChunksBeyond(std::min(onDisk, moviDataEnd));
        file.Restart(moviDataEnd);
        if (CloseRiff(riffIndex > 0))
            return file.Pos();
        // No room for the index: the chunks stay, for readers that walk "movi".
        file.Restart(moviDataEnd);
        const uint64_t moviSize = moviDataEnd - (moviPos + 8);
        if (riffIndex == 0) {
            hasIdx1 = false;
            movi0Size = static_cast<uint32_t>(moviSize);
            riff0Size = static_cast<uint32_t>(moviDataEnd - 8);
        } else {
            PatchU32(moviPos + 4, moviSize);
            PatchU32(riffPos + 4, moviDataEnd - riffPos - 8);
        }
        return moviDataEnd;
    }

    HRESULT Finish() {
        if (finished)
            return result;
        finished = true;
        if (!laidOut)
            LayOut();
        uint64_t end = 0;
        if (result == AVIERR_OK && CloseRiff(riffIndex > 0)) {
            end = file.Pos();
        } else {
            Failed();
            end = Salvage();
        }

        const std::vector<uint8_t> header = Header();
        file.Restart(0);
        if (!file.Append(header.data(), header.size()) || !file.Flush())
            Failed();
        if (!file.Truncate(end))
            Failed();
        if (!file.Close())
            Failed();
        return result;
    }
};

AviWriter::AviWriter() : impl_(std::make_unique<Impl>()) {}

AviWriter::~AviWriter() {
    if (impl_)
        impl_->Finish();
}

HRESULT AviWriter::Create(const std::string& fileName, std::unique_ptr<AviWriter>& out,
                          int* systemError) {
    out.reset();
    std::unique_ptr<AviWriter> w(new AviWriter());
    w->impl_->fileName = fileName;
    if (fileName.empty() || !w->impl_->file.Open(fileName)) {
        w->impl_->finished = true; // nothing to complete
        if (systemError)
            *systemError = fileName.empty() ? ENOENT : w->impl_->file.Error();
        return AVIERR_FILEOPEN;
    }
    out = std::move(w);
    return AVIERR_OK;
}

int AviWriter::SystemError() const {
    return impl_->file.Error();
}

void AviWriter::SetRiffLimit(uint64_t bytes) {
    impl_->riffLimit = std::clamp<uint64_t>(bytes, 4096, kRiffLimit);
}

HRESULT AviWriter::AddStream(const AVISTREAMINFOW& info, int& streamNumber) {
    Impl& m = *impl_;
    if (m.laidOut || m.finished)
        return AVIERR_UNSUPPORTED;
    if (m.streams.size() >= static_cast<size_t>(kMaxStreams))
        return AVIERR_UNSUPPORTED;
    Stream s;
    s.info = info;
    s.info.dwLength = 0;
    s.info.dwSuggestedBufferSize = 0;
    s.isVideo = info.fccType == streamtypeVIDEO;
    s.isAudio = info.fccType == streamtypeAUDIO;
    m.streams.push_back(std::move(s));
    streamNumber = static_cast<int>(m.streams.size() - 1);
    return AVIERR_OK;
}

HRESULT AviWriter::SetFormat(int stream, const void* format, size_t size) {
    Impl& m = *impl_;
    if (stream < 0 || static_cast<size_t>(stream) >= m.streams.size() || !format || size == 0 ||
        size > kMaxFormat)
        return AVIERR_BADPARAM;
    if (m.laidOut || m.finished)
        return AVIERR_UNSUPPORTED;
    const auto* b = static_cast<const uint8_t*>(format);
    m.streams[static_cast<size_t>(stream)].format.assign(b, b + size);
    return AVIERR_OK;
}

const std::vector<uint8_t>& AviWriter::Format(int stream) const {
    static const std::vector<uint8_t> none;
    if (stream < 0 || static_cast<size_t>(stream) >= impl_->streams.size())
        return none;
    return impl_->streams[static_cast<size_t>(stream)].format;
}

AVISTREAMINFOW AviWriter::StreamInfo(int stream) const {
    if (stream < 0 || static_cast<size_t>(stream) >= impl_->streams.size())
        return AVISTREAMINFOW{};
    return avi::CurrentInfo(impl_->streams[static_cast<size_t>(stream)]);
}

HRESULT AviWriter::Write(int stream, LONG lStart, LONG lSamples, const void* data, LONG bytes,
                         DWORD flags, LONG* samplesWritten, LONG* bytesWritten) {
    if (samplesWritten)
        *samplesWritten = 0;
    if (bytesWritten)
        *bytesWritten = 0;
    Impl& m = *impl_;
    if (stream < 0 || static_cast<size_t>(stream) >= m.streams.size() || lStart < -1 ||
        lSamples < 0 || bytes < 0 || (bytes > 0 && !data))
        return AVIERR_BADPARAM;
    if (const HRESULT hr = m.ReadyToWrite(); hr != AVIERR_OK)
        return hr;

    Stream& s = m.streams[static_cast<size_t>(stream)];
    const int64_t first = lStart == -1 ? int64_t{s.info.dwStart} : lStart;
    const int64_t next = s.started ? s.start + static_cast<int64_t>(s.samples) : first;
    const int64_t at = lStart == -1 ? next : lStart;
    const bool key = s.isAudio || (flags & AVIIF_KEYFRAME) != 0;
    const auto size = static_cast<uint32_t>(bytes);
    constexpr int64_t kLast = std::numeric_limits<LONG>::max();

    LONG counted = lSamples;
    if (s.info.dwSampleSize == 0) {
        if (lSamples > 1)
            return AVIERR_UNSUPPORTED;
        if (at < next)
            return AVIERR_UNSUPPORTED;
        if (at - next > kMaxGap || at >= kLast)
            return AVIERR_BADPARAM;
        if (!s.started) {
            s.started = true;
            s.start = at;
        }
        for (int64_t p = next; p < at; ++p) {
            const HRESULT hr = m.AppendChunk(stream, nullptr, 0, false, 1);
            if (hr != AVIERR_OK)
                return hr;
        }
        counted = 1;
    } else {
        if (at != next)
            return AVIERR_UNSUPPORTED;
        if (at + lSamples > kLast)
            return AVIERR_BADPARAM;
        if (!s.started) {
            s.started = true;
            s.start = at;
        }
    }
    const HRESULT hr = m.AppendChunk(stream, data, size, key, static_cast<uint32_t>(counted));
    if (hr != AVIERR_OK)
        return hr;
    if (samplesWritten)
        *samplesWritten = counted;
    if (bytesWritten)
        *bytesWritten = bytes;
    return AVIERR_OK;
}

HRESULT AviWriter::SetChunkId(int stream, FOURCC id) {
    Impl& m = *impl_;
    if (stream < 0 || static_cast<size_t>(stream) >= m.streams.size())
        return AVIERR_BADPARAM;
    Stream& s = m.streams[static_cast<size_t>(stream)];
    if (!s.isVideo || s.chunks > 0 || m.finished)
        return AVIERR_UNSUPPORTED;
    const FOURCC mask = 0x0000FFFFu; // the two digits
    const FOURCC own = avi::DefaultChunkId(stream, s);
    const FOURCC dc = (own & mask) | (FourCC("00dc") & ~mask);
    const FOURCC db = (own & mask) | (FourCC("00db") & ~mask);
    if (id != dc && id != db)
        return AVIERR_BADPARAM;
    s.spelling = id;
    if (m.laidOut)
        s.chunkId = id;
    return AVIERR_OK;
}

HRESULT AviWriter::WriteRun(int sourceFd, uint64_t sourcePos, const std::vector<RunChunk>& chunks) {
    Impl& m = *impl_;
    if (const HRESULT hr = m.ReadyToWrite(); hr != AVIERR_OK)
        return hr;
    // Everything is checked before anything is written: a run is all copied or not at all.
    std::vector<int64_t> next(m.streams.size());
    for (size_t i = 0; i < m.streams.size(); ++i) {
        const Stream& s = m.streams[i];
        next[i] = s.started ? s.start + static_cast<int64_t>(s.samples) : -1;
    }
    uint64_t pos = sourcePos;
    for (const RunChunk& c : chunks) {
        if (c.stream < 0 || static_cast<size_t>(c.stream) >= m.streams.size() || c.samples < 1 ||
            c.size > 0x7FFFFFFFu)
            return AVIERR_BADPARAM;
        const Stream& s = m.streams[static_cast<size_t>(c.stream)];
        const auto n = static_cast<size_t>(c.stream);
        if ((s.info.dwSampleSize == 0 && c.samples != 1) || (next[n] >= 0 && c.position != next[n]))
            return AVIERR_UNSUPPORTED;
        next[n] = int64_t{c.position} + c.samples;
        uint8_t head[8];
        if (ReadFileAt(sourceFd, pos, head, sizeof head) != sizeof head ||
            Le32(head) != s.chunkId || Le32(head + 4) != c.size)
            return AVIERR_UNSUPPORTED;
        pos += 8 + c.size + (c.size & 1);
    }
    for (const RunChunk& c : chunks) {
        Stream& s = m.streams[static_cast<size_t>(c.stream)];
        if (!s.started) {
            s.started = true;
            s.start = c.position;
        }
    }
    // As many chunks as the current RIFF takes, then the next RIFF.
    size_t from = 0;
    uint64_t segmentPos = sourcePos;
    uint64_t segmentBytes = 0;
    for (size_t i = 0; i <= chunks.size(); ++i) {
        const uint64_t bytes = i < chunks.size() ? 8 + chunks[i].size + (chunks[i].size & 1) : 0;
        const bool full =
            i < chunks.size() && i > from && m.RiffFullAfter(segmentBytes, bytes, i - from);
        if (i == chunks.size() || full) {
            const HRESULT hr = m.CopySegment(sourceFd, segmentPos, chunks, from, i);
            if (hr != AVIERR_OK)
                return hr;
            if (i == chunks.size())
                break;
            const HRESULT started = m.StartAvix();
            if (started != AVIERR_OK)
                return started;
            from = i;
            segmentPos += segmentBytes;
            segmentBytes = 0;
        }
        segmentBytes += bytes;
    }
    return AVIERR_OK;
}

HRESULT AviWriter::Finish() {
    return impl_->Finish();
}

int AviWriter::StreamCount() const {
    return static_cast<int>(impl_->streams.size());
}
