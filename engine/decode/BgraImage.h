// BgraImage: TFrameBitmap, the plain 32-bit picture the engine hands to the window and to the
// picture export, and its filling from a packed DIB.
#pragma once

#include "engine/avi/AviTypes.h"

#include <cstdint>
#include <vector>

// Top-down rows of Width pixels, 4 bytes each: blue, green, red and a fourth byte, with no
// padding between rows (Pixels holds Width * Height * 4 bytes).
struct TFrameBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels;
    // The shape of a pixel as shown, width:height (1:1 for square pixels).
    int PixelAspectX = 1;
    int PixelAspectY = 1;
};

// Fills Bitmap from a packed DIB (a BITMAPINFOHEADER directly followed by the rows, as
// AVIStreamGetFrame delivers them): 32 or 24 bits, BI_RGB, bottom-up for a positive biHeight,
// top-down for a negative one. Bitmap takes the DIB's size, and the pixel's shape from its pixel
// densities when both are given. False, leaving Bitmap as it was, for any other form.
bool FrameBitmapFromDib(const BITMAPINFOHEADER* Dib, TFrameBitmap& Bitmap);
