// U_AviIndexScan: the chunks of an AVI file as an "idx1"-style list, drawn from the container's
// own per-stream indexes, so that the chunks can be read straight from the file when the AVIFile
// service cannot read them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace avi {
class AviReader;
}

// One index entry as "idx1" keeps it, with the 64-bit position of its data beside it: Offset
// is only what an "idx1" would store (0xFFFFFFFF past 4 GiB), Position is where the data lies.
struct TAviIndexEntry {
    uint32_t ChunkId;  // four-character code, first character in the low byte ("01wb")
    uint32_t Flags;    // AVIIF_KEYFRAME for a chunk the index flags as a key frame
    uint32_t Offset;   // chunk header position, from the "movi" type code or from the file start
    uint32_t Size;     // data bytes, without the 8-byte chunk header
    uint64_t Position; // file position of the data (after its chunk header)
};

class TAviIndexScanner {
public:
    std::vector<TAviIndexEntry> Entries; // every indexed chunk of every stream, in file order
    std::vector<TAviIndexEntry> Chunks;  // copies of the entries chosen by SelectChunks
    bool IndexFound = false;             // the file's chunks are known (idx1, OpenDML or a walk)
    uint64_t MoviPosition = 0;           // just after the first "movi" list type; 0 when none
    // The file's "idx1" holds absolute file positions (GStreamer and many older writers) rather
    // than positions counted from the "movi" type code; Offset follows the same counting.
    bool OffsetsAbsolute = false;

    TAviIndexScanner() { Reset(); }

    void Reset();
    // Reads FileName with the container's reader and lists its chunks. Only a file that cannot be
    // opened is an error: EFileError carrying open()'s errno (EISDIR for a folder). A file that
    // is no AVI file lists nothing.
    void Scan(const std::string& FileName);
    // Lists the chunks of a file the container has open: no second pass over the file.
    void Load(const avi::AviReader& Reader);
    // Chunks := the entries whose ChunkId is exactly ChunkId (case matters; a code that is not
    // four characters long selects nothing). Chunk ids are "NNdc" for video, "NNwb" for audio
    // and "NNtx" for text, NN the stream's number.
    void SelectChunks(std::string_view ChunkId);
    // File position of the entry's data (after its chunk header).
    uint64_t DataPosition(const TAviIndexEntry& Entry) const { return Entry.Position; }
};
