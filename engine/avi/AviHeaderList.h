// AviHeaderList: what the AVI writer knows of each output stream, and the header list ("hdrl"
// up to the "movi" type code) it writes from that before the first chunk and again at the end.
#pragma once

#include "engine/avi/AviTypes.h"

#include <cstdint>
#include <vector>

namespace avi {

// One super index entry per RIFF: 256 x 1 GiB.
constexpr uint32_t kSuperIndexEntries = 256;

struct SuperEntry {
    uint64_t offset; // "ix##" chunk header, absolute
    uint32_t size;   // whole chunk with its header
    uint32_t duration;
};

struct WriterStream {
    AVISTREAMINFOW info{};
    std::vector<uint8_t> format;
    FOURCC chunkId = 0;
    FOURCC spelling = 0; // a chunk id asked for, in place of ChunkId's
    bool isVideo = false;
    bool isAudio = false;
    bool started = false;
    int64_t start = 0;
    uint64_t samples = 0; // dwLength
    uint64_t chunks = 0;
    uint64_t bytes = 0;
    uint64_t firstRiffChunks = 0;
    uint64_t riffChunks = 0;
    uint64_t riffSamples = 0;
    uint32_t maxChunk = 0;
    double lastMs = 0;
    std::vector<SuperEntry> superIndex;
};

// What the header says of the file beyond its streams.
struct FileFacts {
    uint32_t riff0Size = 0;
    uint32_t movi0Size = 0;
    bool openDml = false; // a second RIFF exists: super indexes and "dmlh" filled in
    bool indexed = false;
    bool interleaved = true;
};

// The chunk id the writer gives stream n: "##wb", "##db" for uncompressed pictures, "##dc",
// "##tx" for text.
FOURCC DefaultChunkId(int n, const WriterStream& s);
// The stream's description as it stands: length, start and largest chunk as written.
AVISTREAMINFOW CurrentInfo(const WriterStream& s);
// Its size depends only on the streams and formats, so a placeholder and the final version take
// the same room.
std::vector<uint8_t> HeaderList(const std::vector<WriterStream>& streams, const FileFacts& facts);

} // namespace avi
