// FlagBitmap: the check a language file's flag picture passes before it is decoded - a BMP file
// whose header agrees with the bytes that follow, so that a forged size allocates nothing.
#pragma once

#include <cstdint>
#include <span>

// Pictures of a flag are small; anything wider or taller than this is not one.
inline constexpr int32_t kMaxFlagSide = 4096;

// True when Data is a BMP file ("BM", a 12-, 40-, 52-, 56-, 108- or 124-byte information header)
// of 1, 4, 8, 16, 24 or 32 bits per pixel, uncompressed or with bit fields, whose width and
// height lie in 1..kMaxFlagSide and whose rows all lie inside Data.
bool FlagBitmapValid(std::span<const uint8_t> Data);
