// FrameGetter: the frame getter operations of the AVIFile service. They live on the decoder's
// side of the engine and attach to a stream of the container to keep their state there.
#pragma once

#include "engine/avi/VFW.h"

#include <cstddef>

struct AviFrameGetter;
using PGETFRAME = AviFrameGetter*;

// lpbiWanted may be null or (BITMAPINFOHEADER*)1 for "best for the display"; either way the
// result is a packed 32-bit DIB: a 40-byte header, then BGRA rows (bottom-up when biHeight is
// positive, as for any DIB). It belongs to the getter until its next call.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pavi, const BITMAPINFOHEADER* lpbiWanted);
void* AVIStreamGetFrame(PGETFRAME pg, LONG lPos);
HRESULT AVIStreamGetFrameClose(PGETFRAME pg);
// An extension of ours: the memory the getter's decoder may keep decoded pictures in, so that
// stepping back is as cheap as stepping forward (see FrameDecoder::SetCacheBudget).
HRESULT AVIStreamGetFrameSetCache(PGETFRAME pg, size_t bytes);
