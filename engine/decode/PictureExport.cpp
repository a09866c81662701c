// PictureExport: the BMP writer, the JPEG encoder on libjpeg, and saving either to a file.
#include "engine/decode/PictureExport.h"

#include "engine/avi/EngineErrors.h"

#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace {

void CheckImage(const TFrameBitmap& image) {
    if (image.Width < 0 || image.Height < 0 ||
        image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height * 4)
        throw std::invalid_argument("picture size does not match its pixels");
}

void Put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}

void IgnoreJpegMessage(j_common_ptr /*info*/) {}

// libjpeg reports errors by a jump out of its own calls, so only plain data lives in this
// frame. The encoded bytes are malloc'ed by the library into *out, also on failure.
bool CompressRgb(const uint8_t* rgb, JDIMENSION width, JDIMENSION height, unsigned char** out,
                 unsigned long* outSize, char* message) {
    jpeg_compress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnJpegError;
    error.manager.output_message = IgnoreJpegMessage;
    if (setjmp(error.jump)) {
        std::memcpy(message, error.message, sizeof error.message);
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    const size_t stride = static_cast<size_t>(width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        RaiseFileError(errno, "Cannot create file \"" + path + "\"");
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int code = ok ? 0 : errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        std::remove(path.c_str());
        RaiseFileError(code != 0 ? code : EIO, "Cannot write file \"" + path + "\"");
    }
}

} // namespace

TPictureFormat PictureFormatOf(const std::string& FileName) {
    const size_t slash = FileName.find_last_of('/');
    const size_t dot = FileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return TPictureFormat::None;
    std::string ext = FileName.substr(dot);
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    if (ext == ".bmp")
        return TPictureFormat::Bmp;
    if (ext == ".jpg" || ext == ".jpeg")
        return TPictureFormat::Jpeg;
    return TPictureFormat::None;
}

std::vector<uint8_t> EncodeBmp(const TFrameBitmap& Image) {
    CheckImage(Image);
    constexpr uint32_t kHeaders = 14 + 40;
    if (Image.Pixels.size() > UINT32_MAX - kHeaders)
        throw std::invalid_argument("picture too large for a BMP file");
    const auto imageBytes = static_cast<uint32_t>(Image.Pixels.size());
    std::vector<uint8_t> file;
    file.reserve(size_t{kHeaders} + Image.Pixels.size());
    file.resize(kHeaders);
    uint8_t* h = file.data();
    h[0] = 'B';
    h[1] = 'M';
    Put32(h + 2, kHeaders + imageBytes);
    Put32(h + 10, kHeaders);
    Put32(h + 14, 40);
    Put32(h + 18, static_cast<uint32_t>(Image.Width));
    Put32(h + 22, static_cast<uint32_t>(-Image.Height));
    Put16(h + 26, 1);
    Put16(h + 28, 32);
    Put32(h + 34, imageBytes);
    file.insert(file.end(), Image.Pixels.begin(), Image.Pixels.end());
    return file;
}

std::vector<uint8_t> EncodeJpeg(const TFrameBitmap& Image) {
    CheckImage(Image);
    const size_t pixels = static_cast<size_t>(Image.Width) * Image.Height;
    std::vector<uint8_t> rgb(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
        rgb[3 * i] = Image.Pixels[4 * i + 2];
        rgb[3 * i + 1] = Image.Pixels[4 * i + 1];
        rgb[3 * i + 2] = Image.Pixels[4 * i];
    }
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    char message[JMSG_LENGTH_MAX] = {};
    const bool ok = CompressRgb(rgb.data(), static_cast<JDIMENSION>(Image.Width),
                                static_cast<JDIMENSION>(Image.Height), &out, &outSize, message);
    std::vector<uint8_t> bytes;
    if (ok && out)
        bytes.assign(out, out + outSize);
    std::free(out);
    if (!ok)
        throw std::runtime_error(std::string("JPEG encoding failed: ") + message);
    return bytes;
}

bool SavePicture(const std::string& FileName, const TFrameBitmap& Image) {
    const TPictureFormat format = PictureFormatOf(FileName);
    if (format == TPictureFormat::None)
        return false;
    // Encoded before the file is opened, so that a failing encoder leaves an existing file.
    const std::vector<uint8_t> bytes =
        format == TPictureFormat::Bmp ? EncodeBmp(Image) : EncodeJpeg(Image);
    WriteFile(FileName, bytes);
    return true;
}
