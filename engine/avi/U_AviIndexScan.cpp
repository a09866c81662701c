// U_AviIndexScan: the chunk list drawn from the container's per-stream indexes.
#include "engine/avi/U_AviIndexScan.h"

#include "engine/avi/AviReader.h"
#include "engine/avi/AviTypes.h"
#include "engine/avi/EngineErrors.h"

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

uint32_t ChunkIdOf(size_t stream, const avi::StreamModel& s) {
    const char tens = static_cast<char>('0' + stream / 10 % 10);
    const char ones = static_cast<char>('0' + stream % 10);
    if (s.header.fccType == streamtypeAUDIO)
        return mmioFOURCC(tens, ones, 'w', 'b');
    if (s.header.fccType == FourCC("txts"))
        return mmioFOURCC(tens, ones, 't', 'x');
    return mmioFOURCC(tens, ones, 'd', 'c');
}

} // namespace

void TAviIndexScanner::Reset() {
    Entries.clear();
    Chunks.clear();
    IndexFound = false;
    MoviPosition = 0;
    OffsetsAbsolute = false;
}

void TAviIndexScanner::Scan(const std::string& FileName) {
    Reset();
    std::unique_ptr<avi::AviReader> reader;
    int systemError = 0;
    const HRESULT hr = avi::AviReader::Open(FileName, reader, &systemError);
    if (hr == AVIERR_FILEOPEN)
        RaiseFileError(systemError, "Cannot open " + FileName);
    if (reader)
        Load(*reader);
}

void TAviIndexScanner::Load(const avi::AviReader& Reader) {
    Reset();
    MoviPosition = Reader.MoviTypePosition() ? Reader.MoviTypePosition() + 4 : 0;
    OffsetsAbsolute = Reader.Idx1Absolute();
    const uint64_t base = OffsetsAbsolute || MoviPosition == 0 ? 0 : MoviPosition - 4;
    size_t total = 0;
    for (size_t n = 0; n < Reader.StreamCount(); ++n)
        total += Reader.Stream(n).index.ChunkCount();
    Entries.reserve(total);
    for (size_t n = 0; n < Reader.StreamCount(); ++n) {
        const avi::StreamModel& s = Reader.Stream(n);
        const uint32_t id = ChunkIdOf(n, s);
        for (size_t c = 0; c < s.index.ChunkCount(); ++c) {
            const avi::IndexedChunk& chunk = s.index.Chunk(c);
            const uint64_t header = chunk.offset - 8;
            const uint64_t offset = header >= base ? header - base : 0;
            Entries.push_back({id, chunk.Key() ? AVIIF_KEYFRAME : 0u,
                               static_cast<uint32_t>(std::min<uint64_t>(offset, 0xFFFFFFFFu)),
                               chunk.Size(), chunk.offset});
        }
    }
    // One stream after the other above; the file's order interleaves them, each stream's own
    // order kept as its index gives it.
    std::stable_sort(
        Entries.begin(), Entries.end(),
        [](const TAviIndexEntry& a, const TAviIndexEntry& b) { return a.Position < b.Position; });
    IndexFound = !Entries.empty();
}

void TAviIndexScanner::SelectChunks(std::string_view ChunkId) {
    Chunks.clear();
    if (ChunkId.size() != 4)
        return;
    const uint32_t wanted = mmioFOURCC(ChunkId[0], ChunkId[1], ChunkId[2], ChunkId[3]);
    std::copy_if(Entries.begin(), Entries.end(), std::back_inserter(Chunks),
                 [wanted](const TAviIndexEntry& e) { return e.ChunkId == wanted; });
}
