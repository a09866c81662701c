// Mp3Frames: MPEG audio frame headers, for moving byte positions of MP3 data counted in bytes
// to whole frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace mp3 {

struct FrameHeader {
    int version = 0; // 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5
    int layer = 0;   // 1, 2 or 3
    int bitrateKbps = 0;
    int sampleRate = 0;
    uint32_t frameBytes = 0;
};

// Parses the four bytes at p as a frame header; free-format and reserved values are refused.
std::optional<FrameHeader> ParseHeader(const uint8_t* p);

// Offset of the first frame at or after `from` in data[0, size) whose header is confirmed by
// the next frame's header (or by the end of the data); nullopt when there is none.
std::optional<size_t> FindFrameStart(const uint8_t* data, size_t size, size_t from);

} // namespace mp3
