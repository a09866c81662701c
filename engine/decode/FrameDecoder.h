// FrameDecoder: turns the frames of one AVI video stream into packed 32-bit DIBs with
// libavcodec, reading the stream only through the AVIFile operations of VFW.h.
#pragma once

#include "engine/avi/VFW.h"

#include <cstddef>
#include <memory>

// Frame numbers are the stream's sample numbers. Frame N is the N-th picture in display order,
// the picture a player shows in the N-th frame slot: packed B-frames (DivX/Xvid "packed
// bitstream") are unpacked, reordering decoders are followed, and a zero-byte chunk or a
// not-coded picture repeats the picture before it.
//
// Every frame is decoded from the key frame at or before it, so that the picture is the same
// however it was reached. A B-frame stored after its key frame but shown before it needs the
// group of pictures before (an open group): for it decoding starts one key frame earlier.
//
// Not thread-safe: one decoder is used by one thread at a time.
class FrameDecoder {
public:
    // nullptr when the stream is not a readable video stream or no decoder handles its format
    // (its biCompression, then its fccHandler).
    static std::unique_ptr<FrameDecoder> Open(PAVISTREAM stream);
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;

    // Takes this decoder over to stream, keeping its state when stream holds the same format
    // and the same data where the decoder has read. False when it cannot serve stream at all.
    bool Rebind(PAVISTREAM stream);

    // The packed DIB of frame: a 40-byte BITMAPINFOHEADER (32 bits, BI_RGB, positive biHeight)
    // followed by bottom-up rows of blue, green, red and 255. Valid until the next call or the
    // decoder's end. nullptr when the frame lies outside the stream or cannot be decoded.
    BITMAPINFOHEADER* Decode(LONG frame);

    // Pictures decoded on the way to a frame are kept, nearest to the last frame asked first,
    // within this many bytes (TPictureCache::kDefaultBudget unless set), so that stepping back
    // costs no new decode; what is kept is never above it.
    void SetCacheBudget(size_t bytes);
    size_t CacheBytes() const;

private:
    struct Impl;
    explicit FrameDecoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
