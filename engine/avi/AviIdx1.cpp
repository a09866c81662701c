// AviIdx1: telling relative "idx1" offsets from absolute ones.
#include "engine/avi/AviIdx1.h"

namespace avi {

uint64_t Idx1OffsetBase(uint64_t moviTypePosition, uint32_t firstOffset, uint32_t firstChunkId,
                        const FourCCAt& fourCCAt) {
    const auto relative = fourCCAt(moviTypePosition + firstOffset);
    if (relative && *relative == firstChunkId)
        return moviTypePosition;
    const auto absolute = fourCCAt(firstOffset);
    if (absolute && *absolute == firstChunkId)
        return 0;
    return moviTypePosition;
}

} // namespace avi
