// KeyFrameScan: the real key frames of a video stream whose index cannot be trusted to mark
// them (a recording without an index, every frame flagged key for a codec that codes
// differences), found by looking at the frames, so that pictures and cuts start where a frame
// really stands alone.
#pragma once

#include "engine/avi/VFW.h"

#include <cstddef>

struct TKeyFrameScanResult {
    bool Scanned = false;  // the index's flags were not trusted and the frames were looked at
    bool Replaced = false; // the stream's key flags are now the frames found
    bool Told = false;     // the codec's frames say whether they stand alone
    size_t KeyFrames = 0;
};

// Leaves a stream with trusted flags, or of an intra-only codec, as it is. Otherwise replaces
// its key flags with the frames the bitstream shows to stand alone; for a codec whose frames
// do not say, only the first frame with data counts as one. Costs a read of each frame's first
// bytes (of the whole frame for a few old codecs), and only for such streams.
TKeyFrameScanResult FindRealKeyFrames(PAVISTREAM video);
