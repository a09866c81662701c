// BgraImage: filling a TFrameBitmap from a packed DIB.
#include "engine/decode/BgraImage.h"

#include <cstring>
#include <new>

namespace {

constexpr int64_t kMaxSide = 16384;
constexpr int64_t kMaxPixels = int64_t{8192} * 8192;
// The largest information header (BITMAPV5HEADER); the rows follow whichever is used.
constexpr DWORD kMaxHeaderBytes = 124;

} // namespace

bool FrameBitmapFromDib(const BITMAPINFOHEADER* Dib, TFrameBitmap& Bitmap) {
    if (!Dib)
        return false;
    BITMAPINFOHEADER h{};
    std::memcpy(&h, Dib, sizeof h);
    const int64_t width = h.biWidth;
    const bool topDown = h.biHeight < 0;
    const int64_t height = topDown ? -int64_t{h.biHeight} : int64_t{h.biHeight};
    if (h.biSize < sizeof h || h.biSize > kMaxHeaderBytes || h.biCompression != 0 ||
        (h.biBitCount != 32 && h.biBitCount != 24) || width < 0 || width > kMaxSide ||
        height > kMaxSide || width * height > kMaxPixels)
        return false;
    const int64_t bytesPerPixel = h.biBitCount / 8;
    // DIB rows are padded to whole 32-bit words.
    const int64_t stride = (width * bytesPerPixel + 3) / 4 * 4;
    const auto* rows = reinterpret_cast<const uint8_t*>(Dib) + h.biSize;

    std::vector<uint8_t> pixels;
    try {
        pixels.resize(static_cast<size_t>(width * height * 4));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* src = rows + (topDown ? y : height - 1 - y) * stride;
        uint8_t* dst = pixels.data() + y * width * 4;
        if (bytesPerPixel == 4) {
            std::memcpy(dst, src, static_cast<size_t>(width * 4));
        } else {
            for (int64_t x = 0; x < width; ++x) {
                dst[4 * x] = src[3 * x];
                dst[4 * x + 1] = src[3 * x + 1];
                dst[4 * x + 2] = src[3 * x + 2];
                dst[4 * x + 3] = 0xFF;
            }
        }
    }
    Bitmap.Width = static_cast<int>(width);
    Bitmap.Height = static_cast<int>(height);
    Bitmap.Pixels = std::move(pixels);
    // Pixels per metre across and down: a pixel is as wide as the vertical density is high.
    const bool shaped = h.biXPelsPerMeter > 0 && h.biYPelsPerMeter > 0;
    Bitmap.PixelAspectX = shaped ? h.biYPelsPerMeter : 1;
    Bitmap.PixelAspectY = shaped ? h.biXPelsPerMeter : 1;
    return true;
}
