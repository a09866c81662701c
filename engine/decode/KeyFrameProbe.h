// KeyFrameProbe: whether a compressed video frame stands on its own, told from its bitstream
// for the codecs whose frames say so - for files whose index has no key flags to trust (a
// recording without an index, every frame flagged key for a codec that codes differences).
#pragma once

#include "engine/avi/AviTypes.h"

#include <cstddef>
#include <cstdint>
#include <utility>

enum class TFrameKind {
    Standalone, // decodes without any frame before it
    Dependent,  // needs the pictures before it (or is empty: repeats the one before)
    Unknown,    // the probe cannot tell, or saw too little of the frame
};

class TKeyFrameProbe {
public:
    // For a stream with this bitmap header (biCompression, then the stream's fccHandler when
    // the first names no codec) and picture size.
    TKeyFrameProbe(FOURCC compression, FOURCC handler, int width, int height, int bitCount);

    // Every frame of the codec stands alone (MJPEG, DV, HuffYUV, uncompressed, ...).
    bool IntraOnly() const { return intraOnly_; }
    // The probe tells frames apart for this codec.
    bool CanTell() const { return intraOnly_ || kind_ != Kind::None; }
    // How much of a frame's start Probe needs; 0 for the whole frame.
    size_t BytesNeeded() const;
    // data holds the frame's first size bytes (the whole frame when size is its size).
    TFrameKind Probe(const uint8_t* data, size_t size, bool whole) const;

private:
    enum class Kind {
        None,
        Mpeg4,
        MsMpeg4,
        Wmv2,
        H264,
        Hevc,
        Mpeg12,
        Vp8,
        Vp56,
        Vp3,
        Zmbv,
        Cinepak,
        MsVideo1,
        MsRle
    };
    Kind kind_ = Kind::None;
    bool intraOnly_ = false;
    int width_ = 0;
    int height_ = 0;
    int bitCount_ = 0;
    bool rle4_ = false;
};

// The bitstreams whose picture headers PictureType reads, for a stream's biCompression (then its
// fccHandler when the first names no codec).
enum class TBitstream { Other, Mpeg4, H264, Mpeg12 };
TBitstream BitstreamOf(FOURCC compression, FOURCC handler);

// Coding types (0 I, 1 P, 2 B, 3 S) of the first two MPEG-4 part 2 VOPs in a chunk, -1 where
// there is none; packed bitstreams hold two.
std::pair<int, int> Mpeg4VopTypes(const uint8_t* data, size_t size);
// The coding type of the first MPEG-1/2 picture in a chunk in the same numbering (0 I, 1 P,
// 2 B), -1 where there is none.
int Mpeg12PictureType(const uint8_t* data, size_t size);
