// AviHeaderList: the header list of an AVI file being written, from its stream records.
#include "engine/avi/AviHeaderList.h"

#include "engine/avi/RiffOutput.h"
#include "support/text/Utf8.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>

namespace avi {

namespace {

constexpr uint32_t kDmlhSize = 248;
constexpr uint32_t kIndxSize = 24 + 16 * kSuperIndexEntries;
using ckid::kIndexOfIndexes;

uint32_t Clamp32(uint64_t v) {
    return static_cast<uint32_t>(std::min<uint64_t>(v, std::numeric_limits<uint32_t>::max()));
}

int16_t Clamp16(LONG v) {
    return static_cast<int16_t>(std::clamp<LONG>(v, std::numeric_limits<int16_t>::min(),
                                                 std::numeric_limits<int16_t>::max()));
}

// The stream the main header describes: frame rate, picture size, frame counts.
const WriterStream* MainVideo(const std::vector<WriterStream>& streams) {
    for (const WriterStream& s : streams)
        if (s.isVideo)
            return &s;
    return nullptr;
}

// Picture size from the format, else from the frame rectangle.
void PictureSize(const WriterStream& s, uint32_t& width, uint32_t& height) {
    if (s.format.size() >= sizeof(BITMAPINFOHEADER)) {
        BITMAPINFOHEADER bih;
        std::memcpy(&bih, s.format.data(), sizeof bih);
        if (bih.biWidth > 0 && bih.biHeight != 0) {
            width = static_cast<uint32_t>(bih.biWidth);
            height = static_cast<uint32_t>(bih.biHeight < 0 ? -int64_t{bih.biHeight}
                                                            : int64_t{bih.biHeight});
            return;
        }
    }
    const RECT& r = s.info.rcFrame;
    width = static_cast<uint32_t>(std::max<int64_t>(0, int64_t{r.right} - r.left));
    height = static_cast<uint32_t>(std::max<int64_t>(0, int64_t{r.bottom} - r.top));
}

} // namespace

FOURCC DefaultChunkId(int n, const WriterStream& s) {
    const char d0 = static_cast<char>('0' + n / 10);
    const char d1 = static_cast<char>('0' + n % 10);
    if (s.isAudio)
        return mmioFOURCC(d0, d1, 'w', 'b');
    if (s.isVideo) {
        // Uncompressed pictures (BI_RGB) are "db", anything else "dc".
        DWORD compression = 1;
        if (s.format.size() >= 20)
            std::memcpy(&compression, s.format.data() + 16, sizeof compression);
        return mmioFOURCC(d0, d1, 'd', compression == 0 ? 'b' : 'c');
    }
    if (s.info.fccType == FourCC("txts"))
        return mmioFOURCC(d0, d1, 't', 'x');
    return mmioFOURCC(d0, d1, 'd', 'c');
}

AVISTREAMINFOW CurrentInfo(const WriterStream& s) {
    AVISTREAMINFOW info = s.info;
    if (s.started)
        info.dwStart = static_cast<DWORD>(s.start);
    info.dwLength = Clamp32(s.samples);
    info.dwSuggestedBufferSize = s.maxChunk;
    // Some writers leave the rectangle empty; readers that size the picture by it do better
    // with the format's size.
    if (s.isVideo && info.rcFrame.right <= info.rcFrame.left &&
        info.rcFrame.bottom <= info.rcFrame.top) {
        uint32_t w = 0;
        uint32_t h = 0;
        PictureSize(s, w, h);
        info.rcFrame = RECT{0, 0, static_cast<LONG>(std::min<uint32_t>(w, 0x7FFF)),
                            static_cast<LONG>(std::min<uint32_t>(h, 0x7FFF))};
    }
    return info;
}

namespace {

void PutMainHeader(Bytes& h, const std::vector<WriterStream>& streams, const FileFacts& facts) {
    const WriterStream* video = MainVideo(streams);
    uint32_t microSecPerFrame = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint64_t firstRiffFrames = 0;
    if (video) {
        if (video->info.dwRate != 0)
            microSecPerFrame =
                Clamp32((uint64_t{1000000} * video->info.dwScale + video->info.dwRate / 2) /
                        video->info.dwRate);
        PictureSize(*video, width, height);
        firstRiffFrames = video->firstRiffChunks;
    }
    // Average data rate of the streams, each over its own duration.
    double bytesPerSec = 0;
    uint32_t largest = 0;
    int withData = 0;
    for (const WriterStream& s : streams) {
        largest = std::max(largest, s.maxChunk);
        withData += s.chunks > 0 ? 1 : 0;
        if (s.samples > 0 && s.info.dwRate != 0 && s.info.dwScale != 0)
            bytesPerSec += static_cast<double>(s.bytes) * s.info.dwRate /
                           (static_cast<double>(s.samples) * s.info.dwScale);
    }
    DWORD flags = 0;
    if (facts.indexed)
        flags |= AVIF_HASINDEX;
    if (facts.interleaved && withData > 1)
        flags |= AVIF_ISINTERLEAVED;

    const size_t body = h.BeginChunk(FourCC("avih"));
    h.U32(microSecPerFrame);
    h.U32(bytesPerSec >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(bytesPerSec + 0.5));
    h.U32(0); // dwPaddingGranularity
    h.U32(flags);
    h.U32(Clamp32(firstRiffFrames));
    h.U32(0); // dwInitialFrames
    h.U32(static_cast<uint32_t>(streams.size()));
    h.U32(largest);
    h.U32(width);
    h.U32(height);
    h.Zeros(16);
    h.EndChunk(body);
}

void PutStreamList(Bytes& h, const WriterStream& s, bool openDml) {
    const AVISTREAMINFOW info = CurrentInfo(s);
    const size_t strl = h.BeginList(FourCC("strl"));

    size_t body = h.BeginChunk(FourCC("strh"));
    h.U32(info.fccType);
    h.U32(info.fccHandler);
    h.U32(info.dwFlags);
    h.U16(info.wPriority);
    h.U16(info.wLanguage);
    h.U32(info.dwInitialFrames);
    h.U32(info.dwScale);
    h.U32(info.dwRate);
    h.U32(info.dwStart);
    h.U32(info.dwLength);
    h.U32(info.dwSuggestedBufferSize);
    h.U32(info.dwQuality);
    h.U32(info.dwSampleSize);
    h.I16(Clamp16(info.rcFrame.left));
    h.I16(Clamp16(info.rcFrame.top));
    h.I16(Clamp16(info.rcFrame.right));
    h.I16(Clamp16(info.rcFrame.bottom));
    h.EndChunk(body);

    body = h.BeginChunk(FourCC("strf"));
    h.Raw(s.format.data(), s.format.size());
    h.EndChunk(body);

    const std::string name = utf8::FromUtf16(s.info.szName, std::size(s.info.szName));
    if (!name.empty()) {
        body = h.BeginChunk(FourCC("strn"));
        h.Raw(name.data(), name.size() + 1);
        h.EndChunk(body);
    }

    if (!openDml) {
        body = h.BeginChunk(FourCC("JUNK"));
        h.Zeros(kIndxSize);
    } else {
        body = h.BeginChunk(FourCC("indx"));
        h.U16(4);
        h.U8(0);
        h.U8(kIndexOfIndexes);
        h.U32(static_cast<uint32_t>(s.superIndex.size()));
        h.U32(s.chunkId);
        h.Zeros(12);
        for (const SuperEntry& e : s.superIndex) {
            h.U64(e.offset);
            h.U32(e.size);
            h.U32(e.duration);
        }
        h.Zeros(16 * (kSuperIndexEntries - s.superIndex.size()));
    }
    h.EndChunk(body);
    h.EndChunk(strl);
}

} // namespace

std::vector<uint8_t> HeaderList(const std::vector<WriterStream>& streams, const FileFacts& facts) {
    Bytes h;
    h.U32(FourCC("RIFF"));
    h.U32(facts.riff0Size);
    h.U32(FourCC("AVI "));
    const size_t hdrl = h.BeginList(FourCC("hdrl"));
    PutMainHeader(h, streams, facts);
    for (const WriterStream& s : streams)
        PutStreamList(h, s, facts.openDml);
    if (!facts.openDml) {
        const size_t junk = h.BeginChunk(FourCC("JUNK"));
        h.Zeros(4 + 8 + kDmlhSize);
        h.EndChunk(junk);
    } else {
        const size_t odml = h.BeginList(FourCC("odml"));
        const size_t dmlh = h.BeginChunk(FourCC("dmlh"));
        const WriterStream* video = MainVideo(streams);
        h.U32(video ? Clamp32(video->chunks) : 0);
        h.Zeros(kDmlhSize - 4);
        h.EndChunk(dmlh);
        h.EndChunk(odml);
    }
    h.EndChunk(hdrl);
    h.U32(FourCC("LIST"));
    h.U32(facts.movi0Size);
    h.U32(FourCC("movi"));
    return std::move(h.data);
}

} // namespace avi
