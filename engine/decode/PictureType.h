// PictureType: the coding type of the picture a compressed video frame holds (I, P, B, S), told
// from its headers for MPEG-4 part 2, H.264 and MPEG-1/2, and frames that hold no picture.
#pragma once

#include "engine/decode/KeyFrameProbe.h"

#include <cstddef>
#include <cstdint>

enum class TPictureType {
    Unknown,  // the codec's headers say nothing we read
    Empty,    // a chunk of no bytes: the picture before it stays
    NotCoded, // a picture header without a picture (MPEG-4 N-VOP): the one before stays
    I,
    P,
    B,
    S,       // MPEG-4 sprite (global motion) picture
    PackedPB // a P and a B picture packed in one chunk (DivX / Xvid packed bitstream)
};

// "I", "P", "B", "S", "P+B", "empty", "not coded"; "" for Unknown.
const char* PictureTypeText(TPictureType Type);

class TPictureTyper {
public:
    explicit TPictureTyper(TBitstream Kind) : kind_(Kind) {}

    // How much of a chunk's start TypeOf reads: H.264 encoders may put a long SEI first.
    static constexpr size_t kBytesNeeded = 4096;

    // Whether an MPEG-4 VOP holds a picture is said after a time field whose width the VOL
    // header gives; the format's extra data or a key frame holds it. Other kinds ignore this.
    void LearnHeaders(const uint8_t* Data, size_t Size);
    bool KnowsVopTiming() const { return timeIncrementBits_ > 0; }

    // Data holds the first Size bytes of a chunk of ChunkSize bytes.
    TPictureType TypeOf(const uint8_t* Data, size_t Size, size_t ChunkSize) const;

private:
    TBitstream kind_;
    int timeIncrementBits_ = 0; // from the VOL; 0 while unknown

    TPictureType Mpeg4Type(const uint8_t* Data, size_t Size) const;
};
