// PictureExport: writing the displayed frame to a BMP or JPEG file, the format chosen by the
// file name's extension.
#pragma once

#include "engine/decode/BgraImage.h"

#include <string>

// The picture format a file name asks for: its extension (from the last dot of its last path
// component on), compared without regard to case.
enum class TPictureFormat { None, Bmp, Jpeg };
TPictureFormat PictureFormatOf(const std::string& FileName);

// Writes Image to FileName (UTF-8), overwriting an existing file: ".bmp" as a 32-bit top-down
// BMP, ".jpg" or ".jpeg" as a baseline JPEG of quality 100. Any other extension writes nothing
// and returns false. A file that cannot be created or written raises EFileError (or
// std::runtime_error from the JPEG encoder) naming the file; a partly written file is removed.
// An Image whose Pixels do not hold Width * Height * 4 bytes raises std::invalid_argument.
bool SavePicture(const std::string& FileName, const TFrameBitmap& Image);

// The BMP file as bytes: the 14-byte file header, the 40-byte information header (height
// negative: rows from the top), then the rows of Image as they are.
std::vector<uint8_t> EncodeBmp(const TFrameBitmap& Image);
// The JPEG file as bytes: RGB, 3 components, the library's default settings, quality 100 with
// baseline tables, not progressive. Raises std::runtime_error when the encoder fails.
std::vector<uint8_t> EncodeJpeg(const TFrameBitmap& Image);
