// KeyFrameScan: probing every frame of a stream whose key flags cannot be trusted.
#include "engine/decode/KeyFrameScan.h"

#include "engine/decode/KeyFrameProbe.h"
#include "engine/decode/VideoFormat.h"

#include <cstring>
#include <limits>
#include <vector>

namespace {

// The stream's bitmap header, and whether it has one.
bool BitmapOf(PAVISTREAM video, BITMAPINFOHEADER& bih) {
    const std::vector<uint8_t> format = ReadVideoFormat(video, std::numeric_limits<LONG>::max());
    if (format.empty())
        return false;
    std::memcpy(&bih, format.data(), sizeof bih);
    return true;
}

} // namespace

TKeyFrameScanResult FindRealKeyFrames(PAVISTREAM video) {
    TKeyFrameScanResult result;
    BITMAPINFOHEADER bih{};
    AVISTREAMINFOW info{};
    if (AVIStreamKeyFlagsTrusted(video) || !BitmapOf(video, bih) ||
        AVIStreamInfoW(video, &info, sizeof info) != AVIERR_OK)
        return result;
    const int height = bih.biHeight < 0 ? -bih.biHeight : bih.biHeight;
    const TKeyFrameProbe probe(bih.biCompression, info.fccHandler, bih.biWidth, height,
                               bih.biBitCount);
    if (probe.IntraOnly())
        return result;
    result.Scanned = true;
    result.Told = probe.CanTell();
    const LONG start = AVIStreamStart(video);
    const LONG end = start + AVIStreamLength(video);
    std::vector<LONG> keys;
    std::vector<uint8_t> buffer;
    LONG firstWithData = -1;
    for (LONG n = start; n < end; ++n) {
        const size_t head = probe.BytesNeeded();
        buffer.resize(head == 0 ? 1 : head);
        LONG bytes = 0;
        LONG size = 0;
        if (AVIStreamReadHead(video, n, buffer.data(), static_cast<LONG>(buffer.size()), &bytes,
                              &size) != AVIERR_OK)
            continue;
        if (size > 0 && firstWithData < 0)
            firstWithData = n;
        if (!result.Told || size == 0)
            continue;
        bool whole = bytes == size;
        if (!whole && (head == 0 || probe.Probe(buffer.data(), static_cast<size_t>(bytes), false) ==
                                        TFrameKind::Unknown)) {
            // The start did not tell: the whole frame does, or nothing does.
            buffer.resize(static_cast<size_t>(size));
            if (AVIStreamReadHead(video, n, buffer.data(), size, &bytes, &size) != AVIERR_OK)
                continue;
            whole = true;
        }
        if (probe.Probe(buffer.data(), static_cast<size_t>(bytes), whole) == TFrameKind::Standalone)
            keys.push_back(n);
    }
    // Without a frame known to stand alone, decoding starts at the first one there is.
    if (keys.empty() && firstWithData >= 0)
        keys.push_back(firstWithData);
    if (!keys.empty() && AVIStreamSetKeyFrames(video, keys) == AVIERR_OK) {
        result.Replaced = true;
        result.KeyFrames = keys.size();
    }
    return result;
}
