// BitmapImage: TFrameBitmap to QImage.
#include "engine/ui/BitmapImage.h"

#include <algorithm>
#include <cstring>

QImage ImageFromBitmap(const TFrameBitmap& Bitmap) {
    const auto bytes = static_cast<size_t>(std::max(Bitmap.Width, 0)) *
                       static_cast<size_t>(std::max(Bitmap.Height, 0)) * 4;
    if (Bitmap.Width <= 0 || Bitmap.Height <= 0 || Bitmap.Pixels.size() < bytes)
        return QImage();
    QImage image(Bitmap.Width, Bitmap.Height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const uint8_t* src = Bitmap.Pixels.data();
    for (int y = 0; y < Bitmap.Height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.scanLine(y));
        std::memcpy(row, src, static_cast<size_t>(Bitmap.Width) * 4);
        src += static_cast<size_t>(Bitmap.Width) * 4;
        // Blue, green, red in memory order is this format's 0xffRRGGBB once opaque.
        for (int x = 0; x < Bitmap.Width; ++x)
            row[x] |= 0xff000000u;
    }
    // Densities near the usual 72 dpi for square pixels.
    const int scale =
        std::max(1, 2835 / std::max(1, std::min(Bitmap.PixelAspectX, Bitmap.PixelAspectY)));
    image.setDotsPerMeterX(Bitmap.PixelAspectY * scale);
    image.setDotsPerMeterY(Bitmap.PixelAspectX * scale);
    return image;
}
