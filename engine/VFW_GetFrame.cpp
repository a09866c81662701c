// VFW_GetFrame: the frame getter operations of the AVIFile service, and the decoder state kept
// per stream between getters.
#include "FrameDecoder.h"
#include "VFW.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

struct AviFrameGetter {
    PAVISTREAM stream = nullptr;
    std::unique_ptr<FrameDecoder> decoder;
};

namespace {

// Callers open a getter per frame, so a decoder outlives its getter: the next getter of the
// same stream takes it over and stepping forward decodes one frame instead of the whole group
// of pictures again. The stream's release drops it. The list stays short even if a stream
// goes without that release reaching us.
constexpr size_t kCachedStreams = 4;

struct Cache {
    std::mutex mutex;
    std::vector<std::pair<PAVISTREAM, std::unique_ptr<FrameDecoder>>> entries; // oldest first
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

std::unique_ptr<FrameDecoder> TakeCached(PAVISTREAM stream) {
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    for (auto it = cache.entries.begin(); it != cache.entries.end(); ++it) {
        if (it->first == stream) {
            std::unique_ptr<FrameDecoder> decoder = std::move(it->second);
            cache.entries.erase(it);
            return decoder;
        }
    }
    return nullptr;
}

// Decoders dropped from the list are destroyed by the caller, outside the lock.
std::vector<std::unique_ptr<FrameDecoder>> PutCached(PAVISTREAM stream,
                                                     std::unique_ptr<FrameDecoder> decoder) {
    std::vector<std::unique_ptr<FrameDecoder>> dropped;
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    for (auto it = cache.entries.begin(); it != cache.entries.end();) {
        if (it->first == stream) {
            dropped.push_back(std::move(it->second));
            it = cache.entries.erase(it);
        } else {
            ++it;
        }
    }
    while (cache.entries.size() >= kCachedStreams) {
        dropped.push_back(std::move(cache.entries.front().second));
        cache.entries.erase(cache.entries.begin());
    }
    cache.entries.emplace_back(stream, std::move(decoder));
    return dropped;
}

} // namespace

void ReleaseFrameDecoderCache(PAVISTREAM stream) {
    std::unique_ptr<FrameDecoder> gone = TakeCached(stream);
}

// Whatever lpbiWanted asks, the getter delivers 32-bit BI_RGB pictures: every caller here
// asks for the display's best format, and 32 bits is what the display uses.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pavi, const BITMAPINFOHEADER* /*lpbiWanted*/) {
    if (!pavi)
        return nullptr;
    try {
        std::unique_ptr<FrameDecoder> decoder = TakeCached(pavi);
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

HRESULT AVIStreamGetFrameClose(PGETFRAME pg) {
    if (!pg)
        return AVIERR_BADHANDLE;
    try {
        if (pg->decoder)
            PutCached(pg->stream, std::move(pg->decoder));
    } catch (const std::exception&) {
        // Only the cached state is lost.
    }
    delete pg;
    return AVIERR_OK;
}
