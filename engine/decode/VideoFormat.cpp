// VideoFormat: reading a video stream's whole format.
#include "engine/decode/VideoFormat.h"

#include <algorithm>

std::vector<uint8_t> ReadVideoFormat(PAVISTREAM Video, LONG MaxBytes) {
    constexpr LONG kBitmapHeader = 40;
    LONG size = 0;
    const HRESULT probe = AVIStreamReadFormat(Video, 0, nullptr, &size);
    if ((probe != AVIERR_OK && probe != AVIERR_BUFFERTOOSMALL) || size < kBitmapHeader ||
        size > MaxBytes)
        return {};
    std::vector<uint8_t> format(static_cast<size_t>(size));
    LONG got = size;
    if (AVIStreamReadFormat(Video, 0, format.data(), &got) != AVIERR_OK || got < kBitmapHeader)
        return {};
    format.resize(static_cast<size_t>(std::min(got, size)));
    return format;
}
