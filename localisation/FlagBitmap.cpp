// FlagBitmap: BMP headers checked against their file.
#include "localisation/FlagBitmap.h"

#include "support/files/ByteOrder.h"

#include <cstdlib>

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitFields = 3;

} // namespace

bool FlagBitmapValid(std::span<const uint8_t> Data) {
    if (Data.size() < 26 || Data[0] != 'B' || Data[1] != 'M')
        return false;
    const uint8_t* p = Data.data();
    const uint32_t pixelsAt = Le32(p + 10);
    const uint32_t headerSize = Le32(p + 14);
    int64_t width = 0;
    int64_t height = 0;
    uint32_t bits = 0;
    uint32_t compression = kBiRgb;
    if (headerSize == 12) {
        width = Le16(p + 18);
        height = static_cast<int16_t>(Le16(p + 20));
        bits = Le16(p + 24);
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
               headerSize == 124) {
        if (Data.size() < 14 + size_t{headerSize})
            return false;
        width = static_cast<int32_t>(Le32(p + 18));
        height = static_cast<int32_t>(Le32(p + 22));
        bits = Le16(p + 28);
        compression = Le32(p + 30);
    } else {
        return false;
    }
    // A negative height means rows from the top; a negative width means nothing.
    height = std::llabs(height);
    if (width < 1 || width > kMaxFlagSide || height < 1 || height > kMaxFlagSide)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    if (compression != kBiRgb && !(compression == kBiBitFields && (bits == 16 || bits == 32)))
        return false;
    const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    return pixelsAt <= Data.size() &&
           stride * static_cast<uint64_t>(height) <= Data.size() - pixelsAt;
}
