// U_AviIndexScan: the top-level RIFF walk and the "idx1" loader.
#include "engine/avi/U_AviIndexScan.h"

#include "engine/avi/AviIdx1.h"
#include "engine/avi/AviTypes.h"
#include "engine/avi/EngineErrors.h"
#include "support/files/ByteOrder.h"
#include "support/files/ReadOnlyFile.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

using namespace ckid;

// What ReadFourCC gives near the end of the file. It equals none of the codes the walk acts on,
// so it ends every loop.
constexpr uint32_t kNoCode = 0;

// A source below 2 GiB holds a few hundred thousand chunks; the cap only bounds what a forged
// index can make us hold (16 bytes an entry).
constexpr size_t kMaxEntries = size_t{1} << 24;
constexpr size_t kEntriesPerRead = 4096;

// The walk over the top level of the file. Positions are 64-bit and may run past the end of the
// file after a skip (a seek, as on the other platform); reads there simply find nothing.
class RiffWalk {
public:
    RiffWalk(const ReadOnlyFile& file, TAviIndexScanner& scanner)
        : file_(file), size_(file.Size()), scanner_(scanner) {}

    void Run() {
        while (position_ < size_) {
            const uint32_t id = ReadFourCC();
            if (id == kRiff)
                ReadRiff();
            else if (id == kJunk)
                SkipChunk();
            else
                break;
        }
    }

private:
    // Only when more than four bytes remain, so that a chunk code is always followed by at least
    // part of its size.
    uint32_t ReadFourCC() {
        if (position_ + 4 >= size_)
            return kNoCode;
        uint8_t bytes[4];
        const size_t got = file_.ReadAt(position_, bytes, 4);
        position_ += got;
        return got == 4 ? Le32(bytes) : kNoCode;
    }

    // Bytes beyond the end of the file read as zero.
    uint32_t ReadDWord() {
        uint8_t bytes[4] = {};
        position_ += file_.ReadAt(position_, bytes, 4);
        return Le32(bytes);
    }

    void SkipChunk() {
        const uint32_t size = ReadDWord();
        position_ += uint64_t{size} + (size & 1);
    }

    // The RIFF size does not bound the loop: a following form's "RIFF" code ends it instead, and
    // then its size, read as a code, ends the walk.
    void ReadRiff() {
        ReadDWord();
        const uint32_t form = ReadFourCC();
        if (form != kAvi || aviFormWalked_)
            return;
        aviFormWalked_ = true;
        for (;;) {
            const uint32_t id = ReadFourCC();
            if (id == kList)
                ReadList();
            else if (id == kJunk || id == kJunq)
                SkipChunk();
            else if (id == kIdx1)
                ReadIndex();
            else
                return;
        }
    }

    void ReadList() {
        const uint32_t size = ReadDWord();
        const uint64_t end = position_ + size + (size & 1);
        if (position_ + 8 < size_ && ReadFourCC() == kMovi)
            scanner_.MoviPosition = position_;
        position_ = end;
    }

    // A declared size that is not a multiple of 16 leaves a partial entry at the end: it is not
    // read, and the walk goes on after the declared size (plus the RIFF pad byte of an odd size),
    // as with any other chunk.
    void ReadIndex() {
        const uint32_t size = ReadDWord();
        const uint64_t start = position_;
        if (start + size > size_)
            return;
        scanner_.IndexFound = true;
        position_ = start + size + (size & 1);

        uint64_t remaining = size / sizeof(TAviIndexEntry);
        uint64_t at = start;
        std::vector<uint8_t> block;
        while (remaining > 0 && scanner_.Entries.size() < kMaxEntries) {
            const size_t count = static_cast<size_t>(std::min<uint64_t>(
                {remaining, kEntriesPerRead, kMaxEntries - scanner_.Entries.size()}));
            block.resize(count * sizeof(TAviIndexEntry));
            const size_t got = file_.ReadAt(at, block.data(), block.size());
            for (size_t i = 0; i + sizeof(TAviIndexEntry) <= got; i += sizeof(TAviIndexEntry)) {
                const uint8_t* raw = block.data() + i;
                scanner_.Entries.push_back(
                    {Le32(raw), Le32(raw + 4), Le32(raw + 8), Le32(raw + 12)});
            }
            if (got < block.size()) {
                // The file shrank under us or cannot be read: nothing after this is trustworthy.
                position_ = size_;
                return;
            }
            remaining -= count;
            at += block.size();
        }
    }

    const ReadOnlyFile& file_;
    const uint64_t size_;
    TAviIndexScanner& scanner_;
    uint64_t position_ = 0;
    bool aviFormWalked_ = false;
};

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
    const ReadOnlyFile file(FileName);
    if (!file.IsOpen())
        RaiseFileError(file.Error(), "Cannot open " + FileName);
    RiffWalk(file, *this).Run();

    if (!IndexFound || MoviPosition < 4)
        return;
    // "rec " entries index a list, not a chunk, and do not tell the two countings apart.
    const auto first = std::find_if(Entries.begin(), Entries.end(),
                                    [](const TAviIndexEntry& e) { return e.ChunkId != kRec; });
    if (first == Entries.end())
        return;
    const uint64_t moviType = MoviPosition - 4;
    const avi::FourCCAt fourCCAt = [&file](uint64_t position) -> std::optional<uint32_t> {
        uint8_t bytes[4];
        if (position >= file.Size() || file.ReadAt(position, bytes, 4) != 4)
            return std::nullopt;
        return Le32(bytes);
    };
    OffsetsAbsolute =
        avi::Idx1OffsetBase(moviType, first->Offset, first->ChunkId, fourCCAt) != moviType;
}

void TAviIndexScanner::SelectChunks(std::string_view ChunkId) {
    Chunks.clear();
    if (ChunkId.size() != 4)
        return;
    const uint32_t wanted = mmioFOURCC(ChunkId[0], ChunkId[1], ChunkId[2], ChunkId[3]);
    std::copy_if(Entries.begin(), Entries.end(), std::back_inserter(Chunks),
                 [wanted](const TAviIndexEntry& e) { return e.ChunkId == wanted; });
}

uint64_t TAviIndexScanner::DataPosition(const TAviIndexEntry& Entry) const {
    if (OffsetsAbsolute)
        return uint64_t{Entry.Offset} + 8;
    return MoviPosition + Entry.Offset + 4;
}
