// AviStreamIndex: the chunks of one AVI stream in stream order, how samples map onto them, and
// the key-frame and non-empty-sample searches over them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace avi {

// 12 bytes: the key flag rides in the top bit of the size (no chunk reaches 2 GiB; bigger sizes
// are refused by Add's callers).
#pragma pack(push, 4)
struct IndexedChunk {
    uint64_t offset = 0;     // file position of the chunk's data (after its 8-byte header)
    uint32_t sizeAndKey = 0; // bytes of data, and kKeyBit for a key frame

    static constexpr uint32_t kKeyBit = 0x80000000u;
    static constexpr uint32_t kMaxSize = 0x7FFFFFFFu;
    uint32_t Size() const { return sizeAndKey & kMaxSize; }
    bool Key() const { return (sizeAndKey & kKeyBit) != 0; }
};
#pragma pack(pop)
static_assert(sizeof(IndexedChunk) == 12);

// Samples are counted from 0 here; the stream's dwStart is the caller's business.
//
// sampleSize 0: one chunk is one sample (video, and audio with variable-size samples).
// sampleSize > 0: the stream is a run of bytes cut into samples of sampleSize bytes that may
// cross chunk boundaries; a trailing partial sample does not count.
//
// Memory: 12 bytes per chunk (up to twice that while an index of unknown length grows), plus 8
// per chunk for byte-counted streams (running byte total) and 4 per key frame when not every
// sample is a key frame: at most 32 bytes per chunk.
class AviStreamIndex {
public:
    void Reserve(size_t chunks) { chunks_.reserve(chunks); }
    // Forgets every chunk added (and their memory), before another index is read instead.
    void Clear() { std::vector<IndexedChunk>().swap(chunks_); }
    // size is at most IndexedChunk::kMaxSize.
    void Add(uint64_t offset, uint32_t size, bool key);
    // Completes the index after the last Add. allKey: every sample counts as a key frame,
    // whatever the chunk flags say.
    void Finish(uint32_t sampleSize, bool allKey);

    size_t ChunkCount() const { return chunks_.size(); }
    const IndexedChunk& Chunk(size_t i) const { return chunks_[i]; }
    uint32_t SampleSize() const { return sampleSize_; }
    uint64_t TotalBytes() const { return totalBytes_; }
    uint32_t LargestChunk() const { return largest_; }
    // Chunks for sampleSize 0, else whole samples in TotalBytes; never above INT32_MAX.
    int64_t SampleCount() const { return sampleCount_; }
    // Every chunk holds a whole number of samples (always true for sampleSize 0).
    bool ChunksWholeSamples() const { return wholeSamples_; }

    struct Location {
        size_t chunk = 0;
        uint32_t byteInChunk = 0;
    };
    // Where sample s starts; s must be in [0, SampleCount()). For byte-counted streams the
    // chunk is the non-empty one holding the sample's first byte.
    Location Locate(int64_t s) const;
    // Samples from s to the end of the chunk holding it (at least 1 for a valid s).
    int64_t SamplesLeftInChunk(int64_t s) const;
    // Bytes taken by count samples from s; s and s + count - 1 in range.
    uint64_t BytesOf(int64_t s, int64_t count) const;

    bool IsKey(int64_t s) const;
    // Replaces the key flags with the samples listed (sorted, each in range): what a look at the
    // frames themselves found, for an index whose flags cannot be trusted.
    void SetKeyFrames(std::vector<uint32_t> keys);
    // Samples flagged key, and whether every one is.
    size_t KeyCount() const { return allKey_ ? static_cast<size_t>(sampleCount_) : keys_.size(); }
    // Nearest key frame at or before / at or after s; -1 when none. s may lie outside the
    // stream: before the start a backward search finds nothing, past the end a forward one.
    int64_t PrevKey(int64_t s) const;
    int64_t NextKey(int64_t s) const;
    // Same for samples with data (a zero-byte chunk is an empty sample).
    int64_t PrevNonEmpty(int64_t s) const;
    int64_t NextNonEmpty(int64_t s) const;

private:
    std::vector<IndexedChunk> chunks_;
    std::vector<uint64_t> byteStart_; // byte-counted streams: bytes before chunk i, then total
    std::vector<uint32_t> keys_;      // chunk numbers of key frames, when !allKey_
    uint32_t sampleSize_ = 0;
    bool allKey_ = true;
    bool wholeSamples_ = true;
    uint64_t totalBytes_ = 0;
    uint32_t largest_ = 0;
    int64_t sampleCount_ = 0;
};

} // namespace avi
