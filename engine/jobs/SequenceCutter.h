// SequenceCutter: what a lossless cut copies and in which order; TAVIExtractor's CreateOutput and
// SaveRange are built on it.
#pragma once

#include "engine/avi/VFW.h"

#include <cstdint>
#include <vector>

namespace cut {

// One chunk (or part of a chunk) to copy from the source to the output.
struct CopyItem {
    uint64_t SourceOffset = 0; // where the data lies in the source, for the one-pass order
    int OutStream = 0;         // 0 video, 1 audio
    LONG Position = 0;         // source sample (service reads) or chunk number (chunk list)
    LONG Samples = 1;
    LONG OutPosition = 0;
    bool Key = false;
    bool FromChunkList = false;
    uint32_t Size = 0;       // bytes of the chunk's data (of the whole chunk for a WholeChunk)
    bool WholeChunk = false; // the item is one source chunk whole: it can go in a run of them
};

// Sorts the items by their place in the source so that the source is read front to back in
// one pass and the output is interleaved as the source was. Items of one stream keep their
// order whatever the offsets say (an index may list a stream out of file order).
void OrderForSinglePass(std::vector<CopyItem>& items);

// Runs are cut at this length, so that progress and a request to stop are seen between them.
constexpr uint64_t kMaxRunBytes = uint64_t{64} << 20;

// The end of the run of items from `from` on whose chunks lie one after another in the source,
// each item a whole chunk, the run at most kMaxRunBytes long (at least one item is taken when
// items[from] is a whole chunk); from itself when it is not.
size_t RunEnd(const std::vector<CopyItem>& items, size_t from);

// Progress of the video copy: 0 at the first frame, 100 at the last; a range of one frame (or
// none) is complete at once.
uint8_t FrameProgress(LONG frame, LONG first, LONG last);

} // namespace cut
