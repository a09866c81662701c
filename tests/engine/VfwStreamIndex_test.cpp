// VfwStreamIndex_test: sample-to-chunk mapping and the key-frame and non-empty searches of
// AviStreamIndex, on chunk lists shaped like those of real files.
#include "engine/avi/AviStreamIndex.h"

#include <gtest/gtest.h>

using avi::AviStreamIndex;

namespace {

AviStreamIndex Make(const std::vector<uint32_t>& sizes, const std::vector<bool>& keys,
                    uint32_t sampleSize, bool allKey = false) {
    AviStreamIndex idx;
    uint64_t offset = 100;
    for (size_t i = 0; i < sizes.size(); ++i) {
        idx.Add(offset, sizes[i], i < keys.size() && keys[i]);
        offset += sizes[i] + 8;
    }
    idx.Finish(sampleSize, allKey);
    return idx;
}

TEST(VfwStreamIndex, ByteCountedSamplesRunAcrossChunks) {
    // 4-byte samples in chunks of 8, 0, 12 and 4 bytes: 6 samples, the empty chunk holds none.
    const AviStreamIndex idx = Make({8, 0, 12, 4}, {}, 4);
    EXPECT_EQ(idx.SampleCount(), 6);
    EXPECT_EQ(idx.TotalBytes(), 24u);
    EXPECT_TRUE(idx.ChunksWholeSamples());
    EXPECT_EQ(idx.Locate(1).chunk, 0u);
    EXPECT_EQ(idx.Locate(1).byteInChunk, 4u);
    EXPECT_EQ(idx.Locate(2).chunk, 2u); // not the empty chunk starting at the same byte
    EXPECT_EQ(idx.Locate(3).byteInChunk, 4u);
    EXPECT_EQ(idx.Locate(5).chunk, 3u);
    EXPECT_EQ(idx.SamplesLeftInChunk(2), 3);
    EXPECT_EQ(idx.SamplesLeftInChunk(4), 1);
    EXPECT_EQ(idx.BytesOf(1, 4), 16u);
    EXPECT_TRUE(idx.IsKey(3));

    // A chunk that is no whole number of samples; the partial sample at the end does not count.
    const AviStreamIndex odd = Make({417, 418, 418}, {}, 4);
    EXPECT_FALSE(odd.ChunksWholeSamples());
    EXPECT_EQ(odd.SampleCount(), 313);
    EXPECT_EQ(odd.Locate(104).chunk, 0u); // bytes 416..419 start in chunk 0
    EXPECT_EQ(odd.Locate(105).chunk, 1u);
}

TEST(VfwStreamIndex, KeyFrameSearches) {
    // Key frames at 0, 5 and 9 of 12 frames.
    std::vector<bool> keys(12, false);
    keys[0] = keys[5] = keys[9] = true;
    const AviStreamIndex idx = Make(std::vector<uint32_t>(12, 50), keys, 0);
    EXPECT_EQ(idx.SampleCount(), 12);
    EXPECT_EQ(idx.PrevKey(4), 0);
    EXPECT_EQ(idx.PrevKey(5), 5);
    EXPECT_EQ(idx.PrevKey(100), 9);
    EXPECT_EQ(idx.PrevKey(-1), -1);
    EXPECT_EQ(idx.NextKey(6), 9);
    EXPECT_EQ(idx.NextKey(9), 9);
    EXPECT_EQ(idx.NextKey(10), -1);
    EXPECT_EQ(idx.NextKey(-7), 0);
    EXPECT_TRUE(idx.IsKey(5));
    EXPECT_FALSE(idx.IsKey(6));
    EXPECT_FALSE(idx.IsKey(12));

    // Without a key frame at the start nothing lies before the first one.
    std::vector<bool> late(12, false);
    late[3] = true;
    EXPECT_EQ(Make(std::vector<uint32_t>(12, 50), late, 0).PrevKey(2), -1);
    // Audio and walked indexes count every sample as a key frame, whatever the flags say.
    const AviStreamIndex all = Make(std::vector<uint32_t>(12, 50), late, 0, true);
    EXPECT_EQ(all.PrevKey(7), 7);
    EXPECT_EQ(all.NextKey(11), 11);
    EXPECT_EQ(all.NextKey(12), -1);
}

TEST(VfwStreamIndex, EmptySamplesAndEmptyIndexes) {
    const AviStreamIndex idx = Make({0, 5, 0, 0, 7, 0}, {true}, 0);
    EXPECT_EQ(idx.SampleCount(), 6); // zero-byte chunks stay samples
    EXPECT_EQ(idx.LargestChunk(), 7u);
    EXPECT_EQ(idx.NextNonEmpty(0), 1);
    EXPECT_EQ(idx.NextNonEmpty(2), 4);
    EXPECT_EQ(idx.NextNonEmpty(5), -1);
    EXPECT_EQ(idx.PrevNonEmpty(3), 1);
    EXPECT_EQ(idx.PrevNonEmpty(0), -1);
    EXPECT_EQ(idx.PrevNonEmpty(99), 4);

    const AviStreamIndex none = Make({}, {}, 0);
    EXPECT_EQ(none.SampleCount(), 0);
    EXPECT_EQ(none.PrevKey(0), -1);
    EXPECT_EQ(none.NextKey(0), -1);
    EXPECT_EQ(none.PrevNonEmpty(0), -1);
    const AviStreamIndex noBytes = Make({0, 0}, {}, 2);
    EXPECT_EQ(noBytes.SampleCount(), 0);
}

} // namespace
