// AviIdx1: how the offsets of a legacy "idx1" index count. Most writers count from the "movi"
// list's type code; GStreamer and many older tools store absolute file positions.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace avi {

// Reads the four-character code at a file position; nullopt when it cannot be read.
using FourCCAt = std::function<std::optional<uint32_t>(uint64_t position)>;

// The value to add to an entry's Offset to reach its chunk header. moviTypePosition is the file
// position of the "movi" type code. The first entry that is not a "rec " list decides: the base
// under which its chunk header carries its own id wins, relative first; when neither matches,
// relative is assumed (that is what the format says).
uint64_t Idx1OffsetBase(uint64_t moviTypePosition, uint32_t firstOffset, uint32_t firstChunkId,
                        const FourCCAt& fourCCAt);

} // namespace avi
