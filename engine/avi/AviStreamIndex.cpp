// AviStreamIndex: sample-to-chunk mapping and key-frame search for one AVI stream.
#include "engine/avi/AviStreamIndex.h"

#include <algorithm>
#include <limits>

namespace avi {

namespace {
constexpr int64_t kMaxSamples = std::numeric_limits<int32_t>::max();
}

void AviStreamIndex::Add(uint64_t offset, uint32_t size, bool key) {
    chunks_.push_back(
        {offset, (size & IndexedChunk::kMaxSize) | (key ? IndexedChunk::kKeyBit : 0)});
}

void AviStreamIndex::Finish(uint32_t sampleSize, bool allKey) {
    // Not shrunk: the copy would briefly cost more than the slack it saves.
    sampleSize_ = sampleSize;
    // A byte-counted stream has no frames to key on: any sample is a place to start.
    allKey_ = allKey || sampleSize > 0;
    totalBytes_ = 0;
    largest_ = 0;
    wholeSamples_ = true;
    byteStart_.clear();
    keys_.clear();
    if (sampleSize > 0) {
        byteStart_.reserve(chunks_.size() + 1);
    } else if (!allKey_) {
        const auto keyCount = static_cast<size_t>(std::count_if(
            chunks_.begin(), chunks_.end(), [](const IndexedChunk& c) { return c.Key(); }));
        // Intra-only video needs no list.
        if (keyCount == chunks_.size())
            allKey_ = true;
        else
            keys_.reserve(keyCount);
    }
    for (size_t i = 0; i < chunks_.size(); ++i) {
        const IndexedChunk& c = chunks_[i];
        if (sampleSize > 0) {
            byteStart_.push_back(totalBytes_);
            if (c.Size() % sampleSize != 0)
                wholeSamples_ = false;
        } else if (!allKey_ && c.Key()) {
            keys_.push_back(static_cast<uint32_t>(i));
        }
        totalBytes_ += c.Size();
        largest_ = std::max(largest_, c.Size());
    }
    if (sampleSize > 0) {
        byteStart_.push_back(totalBytes_);
        sampleCount_ = static_cast<int64_t>(
            std::min<uint64_t>(totalBytes_ / sampleSize, static_cast<uint64_t>(kMaxSamples)));
    } else {
        sampleCount_ = static_cast<int64_t>(
            std::min<uint64_t>(chunks_.size(), static_cast<uint64_t>(kMaxSamples)));
    }
}

AviStreamIndex::Location AviStreamIndex::Locate(int64_t s) const {
    if (sampleSize_ == 0)
        return {static_cast<size_t>(s), 0};
    const uint64_t byte = static_cast<uint64_t>(s) * sampleSize_;
    // The last chunk starting at or before the byte: zero-byte chunks share their start with
    // the next chunk, so this skips them.
    const auto end = byteStart_.begin() + static_cast<std::ptrdiff_t>(chunks_.size());
    const auto it = std::upper_bound(byteStart_.begin(), end, byte);
    const size_t chunk = static_cast<size_t>(it - byteStart_.begin()) - 1;
    return {chunk, static_cast<uint32_t>(byte - byteStart_[chunk])};
}

int64_t AviStreamIndex::SamplesLeftInChunk(int64_t s) const {
    if (sampleSize_ == 0)
        return 1;
    const Location at = Locate(s);
    const int64_t whole = (chunks_[at.chunk].Size() - at.byteInChunk) / sampleSize_;
    return std::clamp<int64_t>(whole, 1, sampleCount_ - s);
}

uint64_t AviStreamIndex::BytesOf(int64_t s, int64_t count) const {
    if (count <= 0)
        return 0;
    if (sampleSize_ > 0)
        return static_cast<uint64_t>(count) * sampleSize_;
    uint64_t bytes = 0;
    for (int64_t i = s; i < s + count; ++i)
        bytes += chunks_[static_cast<size_t>(i)].Size();
    return bytes;
}

void AviStreamIndex::SetKeyFrames(std::vector<uint32_t> keys) {
    keys_ = std::move(keys);
    allKey_ = false;
}

bool AviStreamIndex::IsKey(int64_t s) const {
    if (s < 0 || s >= sampleCount_)
        return false;
    if (allKey_)
        return true;
    return std::binary_search(keys_.begin(), keys_.end(), static_cast<uint32_t>(s));
}

int64_t AviStreamIndex::PrevKey(int64_t s) const {
    if (s < 0 || sampleCount_ == 0)
        return -1;
    s = std::min(s, sampleCount_ - 1);
    if (allKey_)
        return s;
    const auto it = std::upper_bound(keys_.begin(), keys_.end(), static_cast<uint32_t>(s));
    if (it == keys_.begin())
        return -1;
    return *(it - 1);
}

int64_t AviStreamIndex::NextKey(int64_t s) const {
    if (s >= sampleCount_)
        return -1;
    s = std::max<int64_t>(s, 0);
    if (allKey_)
        return s;
    const auto it = std::lower_bound(keys_.begin(), keys_.end(), static_cast<uint32_t>(s));
    if (it == keys_.end() || *it >= sampleCount_)
        return -1;
    return *it;
}

int64_t AviStreamIndex::PrevNonEmpty(int64_t s) const {
    if (s < 0 || sampleCount_ == 0)
        return -1;
    s = std::min(s, sampleCount_ - 1);
    if (sampleSize_ > 0)
        return s;
    for (; s >= 0; --s) {
        if (chunks_[static_cast<size_t>(s)].Size() > 0)
            return s;
    }
    return -1;
}

int64_t AviStreamIndex::NextNonEmpty(int64_t s) const {
    if (s >= sampleCount_)
        return -1;
    s = std::max<int64_t>(s, 0);
    if (sampleSize_ > 0)
        return s;
    for (; s < sampleCount_; ++s) {
        if (chunks_[static_cast<size_t>(s)].Size() > 0)
            return s;
    }
    return -1;
}

} // namespace avi
