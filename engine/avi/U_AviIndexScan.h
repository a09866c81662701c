// U_AviIndexScan: finds the legacy "idx1" index and the "movi" list of an AVI file, so that the
// indexed chunks can be read straight from the file when the AVIFile service cannot read them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One "idx1" entry as stored: 16 bytes, little-endian.
struct TAviIndexEntry {
    uint32_t ChunkId; // four-character code, first character in the low byte ("01wb")
    uint32_t Flags;   // AVIIF_* flags, kept as read
    uint32_t Offset;  // chunk header position, from the "movi" type code or from the file start
    uint32_t Size;    // data bytes, without the 8-byte chunk header
};
static_assert(sizeof(TAviIndexEntry) == 16, "an idx1 entry is 16 bytes in the file");

class TAviIndexScanner {
public:
    std::vector<TAviIndexEntry> Entries; // every index entry, in file order
    std::vector<TAviIndexEntry> Chunks;  // copies of the entries chosen by SelectChunks
    bool IndexFound = false;             // an "idx1" chunk was found and read
    uint64_t MoviPosition = 0;           // just after the "movi" list type; 0 when none was seen
    // The index holds absolute file positions (GStreamer and many older writers) rather than
    // positions counted from the "movi" type code.
    bool OffsetsAbsolute = false;

    TAviIndexScanner() { Reset(); }

    void Reset();
    // Walks the top level of FileName and loads its index. Only a file that cannot be opened is
    // an error: EFileError carrying open()'s errno (EISDIR for a folder). A malformed or
    // truncated file just ends the walk.
    void Scan(const std::string& FileName);
    // Chunks := the entries whose ChunkId is exactly ChunkId (case matters; a code that is not
    // four characters long selects nothing).
    void SelectChunks(std::string_view ChunkId);
    // File position of the entry's data (after its chunk header). Not checked against the file:
    // the index may point anywhere, so readers check position and Size against the file size.
    uint64_t DataPosition(const TAviIndexEntry& Entry) const;
};
