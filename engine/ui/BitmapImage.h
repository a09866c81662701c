// BitmapImage: a decoded frame as a QImage for the screen, with the pixel's shape kept.
#pragma once

#include "engine/decode/BgraImage.h"

#include <QImage>

// A Format_RGB32 copy of Bitmap (opaque whatever the decoder left in the fourth byte), the
// pixel's shape riding along as the picture's densities. Null when Bitmap does not hold what its
// size says or Qt cannot allocate the picture.
QImage ImageFromBitmap(const TFrameBitmap& Bitmap);
