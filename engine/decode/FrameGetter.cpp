// FrameGetter: frame getters on FrameDecoder, with the decoder kept on the stream between them.
#include "engine/decode/FrameGetter.h"

#include "engine/decode/FrameDecoder.h"

#include <exception>
#include <memory>
#include <utility>

struct AviFrameGetter {
    PAVISTREAM stream = nullptr;
    std::unique_ptr<FrameDecoder> decoder;
};

namespace {

// Callers open a getter per frame, so a decoder outlives its getter: it waits on its stream for
// the next getter, and stepping forward decodes one frame instead of the whole group of
// pictures again. The stream's last release drops it.
struct KeptDecoder final : AviStreamAttachment {
    std::unique_ptr<FrameDecoder> decoder;
};

std::unique_ptr<FrameDecoder> TakeKept(PAVISTREAM stream) {
    std::unique_ptr<AviStreamAttachment> kept = AVIStreamExchangeAttachment(stream, nullptr);
    auto* mine = dynamic_cast<KeptDecoder*>(kept.get());
    return mine ? std::move(mine->decoder) : nullptr;
}

void Keep(PAVISTREAM stream, std::unique_ptr<FrameDecoder> decoder) {
    auto kept = std::make_unique<KeptDecoder>();
    kept->decoder = std::move(decoder);
    // Another getter may have put its own decoder back meanwhile; the later one stays.
    std::unique_ptr<AviStreamAttachment> replaced =
        AVIStreamExchangeAttachment(stream, std::move(kept));
}

} // namespace

// Whatever lpbiWanted asks, the getter delivers 32-bit BI_RGB pictures: every caller here
// asks for the display's best format, and 32 bits is what the display uses.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pavi, const BITMAPINFOHEADER* /*lpbiWanted*/) {
    if (!pavi)
        return nullptr;
    try {
        std::unique_ptr<FrameDecoder> decoder = TakeKept(pavi);
        if (decoder && !decoder->Rebind(pavi))
            decoder.reset();
        if (!decoder)
            decoder = FrameDecoder::Open(pavi);
        if (!decoder)
            return nullptr;
        return new AviFrameGetter{pavi, std::move(decoder)};
    } catch (const std::exception&) {
        return nullptr;
    }
}

void* AVIStreamGetFrame(PGETFRAME pg, LONG lPos) {
    if (!pg || !pg->decoder)
        return nullptr;
    return pg->decoder->Decode(lPos);
}

HRESULT AVIStreamGetFrameSetCache(PGETFRAME pg, size_t bytes) {
    if (!pg || !pg->decoder)
        return AVIERR_BADHANDLE;
    pg->decoder->SetCacheBudget(bytes);
    return AVIERR_OK;
}

HRESULT AVIStreamGetFrameClose(PGETFRAME pg) {
    if (!pg)
        return AVIERR_BADHANDLE;
    try {
        if (pg->decoder)
            Keep(pg->stream, std::move(pg->decoder));
    } catch (const std::exception&) {
        // Only the kept state is lost.
    }
    delete pg;
    return AVIERR_OK;
}
