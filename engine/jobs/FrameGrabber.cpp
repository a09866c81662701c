// FrameGrabber: TAVIExtractor::GetFrameBitmap - one frame of the open source decoded to a plain
// 32-bit picture, for the preview and the picture export.
#include "engine/decode/BgraImage.h"
#include "engine/decode/FrameGetter.h"
#include "engine/jobs/U_AVIExtractor.h"

bool TAVIExtractor::GetFrameBitmap(TFrameBitmap& Bitmap, int32_t Frame) {
    // Open and Close wait for a decode in progress instead of releasing its stream under it.
    auto held = AcquireLock();
    if (!Valid || !VideoStream)
        return false;
    const int64_t start = AVIStreamStart(VideoStream);
    // One past the last frame still goes to the decoder, which then answers for itself.
    if (Frame < start || Frame > start + AVIStreamLength(VideoStream))
        return false;
    PGETFRAME getter =
        AVIStreamGetFrameOpen(VideoStream, reinterpret_cast<const BITMAPINFOHEADER*>(1));
    if (!getter)
        return false;
    AVIStreamGetFrameSetCache(getter, PictureCacheBytes);
    const auto* dib = static_cast<const BITMAPINFOHEADER*>(AVIStreamGetFrame(getter, Frame));
    // The getter hands its decoder back to the stream when closed, so stepping on to the next
    // frame costs one decode.
    const bool ok = dib && FrameBitmapFromDib(dib, Bitmap);
    AVIStreamGetFrameClose(getter);
    return ok;
}
