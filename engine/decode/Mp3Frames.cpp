// Mp3Frames: MPEG audio frame header parsing and frame-start search.
#include "engine/decode/Mp3Frames.h"

namespace mp3 {

namespace {

// Bit rates in kbit/s by [MPEG-1 ? 0 : 1][layer - 1][index].
constexpr int kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
constexpr int kSampleRates[3] = {44100, 48000, 32000};

} // namespace

std::optional<FrameHeader> ParseHeader(const uint8_t* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = (p[2] >> 4) & 15;
    const int rateIndex = (p[2] >> 2) & 3;
    const int padding = (p[2] >> 1) & 1;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3)
        return std::nullopt;
    FrameHeader h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.layer = 4 - layerBits;
    h.bitrateKbps = kBitrates[h.version == 1 ? 0 : 1][h.layer - 1][bitrateIndex];
    h.sampleRate = kSampleRates[rateIndex] / (h.version == 1 ? 1 : h.version == 2 ? 2 : 4);
    const uint32_t bitsPerSecond = static_cast<uint32_t>(h.bitrateKbps) * 1000;
    const auto rate = static_cast<uint32_t>(h.sampleRate);
    if (h.layer == 1) {
        h.frameBytes = (12 * bitsPerSecond / rate + static_cast<uint32_t>(padding)) * 4;
    } else {
        // Layer III of MPEG-2 and 2.5 carries 576 samples a frame, every other kind 1152.
        const uint32_t samples = (h.layer == 3 && h.version != 1) ? 576 : 1152;
        h.frameBytes = samples / 8 * bitsPerSecond / rate + static_cast<uint32_t>(padding);
    }
    if (h.frameBytes < 4)
        return std::nullopt;
    return h;
}

std::optional<size_t> FindFrameStart(const uint8_t* data, size_t size, size_t from) {
    for (size_t at = from; at + 4 <= size; ++at) {
        const auto h = ParseHeader(data + at);
        if (!h)
            continue;
        const size_t next = at + h->frameBytes;
        // A lone sync pattern inside frame data is common; a second header where the first
        // says the next frame begins is not.
        if (next + 4 <= size) {
            const auto h2 = ParseHeader(data + next);
            if (h2 && h2->layer == h->layer && h2->sampleRate == h->sampleRate)
                return at;
        } else if (next <= size) {
            // The last frame of the data: nothing follows to confirm it, but it fits.
            return at;
        }
    }
    return std::nullopt;
}

} // namespace mp3
