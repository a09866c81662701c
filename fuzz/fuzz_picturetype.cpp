// fuzz_picturetype: the picture header readers on arbitrary chunk heads. The first byte picks the
// bitstream; the rest is split into headers to learn and a frame to type.
#include "engine/decode/PictureType.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const TBitstream kinds[] = {TBitstream::Mpeg4, TBitstream::H264, TBitstream::Mpeg12,
                                TBitstream::Other};
    TPictureTyper typer(kinds[data[0] % 4]);
    const size_t split = data[1] % (size - 1);
    typer.LearnHeaders(data + 2, split);
    const uint8_t* frame = data + 2 + split;
    const size_t frameSize = size - 2 - split;
    volatile TPictureType type = typer.TypeOf(frame, frameSize, frameSize);
    (void)type;
    return 0;
}
