// KeyFrameProbe: the frame headers that tell a standalone frame, per codec.
#include "engine/decode/KeyFrameProbe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

AVCodecID CodecOf(FOURCC tag) {
    const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    return av_codec_get_id(tables, tag);
}

uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// Start of the next Annex B start code's payload at or after from, size when there is none.
size_t NextNal(const uint8_t* d, size_t size, size_t from) {
    for (size_t i = from; i + 3 <= size; ++i) {
        if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 1)
            return i + 3;
    }
    return size;
}

// H.264: an IDR slice, or a slice after a recovery point (open groups of pictures), stands
// alone. NAL units come with start codes, or with four-byte lengths in "avc1" streams.
TFrameKind ProbeH264(const uint8_t* d, size_t size, bool whole) {
    bool recovery = false;
    const bool annexB =
        size >= 4 && d[0] == 0 && d[1] == 0 && (d[2] == 1 || (d[2] == 0 && d[3] == 1));
    for (size_t at = annexB ? NextNal(d, size, 0) : 0; at < size;) {
        size_t nal = at;
        size_t next = size;
        if (!annexB) {
            if (at + 4 > size)
                break;
            const uint64_t length = uint64_t{Be16(d + at)} << 16 | Be16(d + at + 2);
            nal = at + 4;
            next = nal + length;
        } else {
            next = NextNal(d, size, at);
        }
        if (nal >= size)
            break;
        const int type = d[nal] & 0x1F;
        if (type == 5)
            return TFrameKind::Standalone;
        if (type == 6 && nal + 1 < size && d[nal + 1] == 6)
            recovery = true;
        if (type >= 1 && type <= 4)
            return recovery ? TFrameKind::Standalone : TFrameKind::Dependent;
        at = next;
    }
    return whole ? TFrameKind::Dependent : TFrameKind::Unknown;
}

TFrameKind ProbeHevc(const uint8_t* d, size_t size, bool whole) {
    for (size_t at = NextNal(d, size, 0); at + 1 < size; at = NextNal(d, size, at)) {
        const int type = (d[at] >> 1) & 0x3F;
        if (type >= 16 && type <= 21)
            return TFrameKind::Standalone;
        if (type <= 9)
            return TFrameKind::Dependent;
    }
    return whole ? TFrameKind::Dependent : TFrameKind::Unknown;
}

// MPEG-1/2: the picture header's coding type.
TFrameKind ProbeMpeg12(const uint8_t* d, size_t size, bool whole) {
    const int type = Mpeg12PictureType(d, size);
    if (type < 0)
        return whole ? TFrameKind::Dependent : TFrameKind::Unknown;
    return type == 0 ? TFrameKind::Standalone : TFrameKind::Dependent;
}

// Cinepak: a frame stands alone when every strip is an intra strip (0x1000) carrying whole
// codebooks and no inter-coded vectors.
TFrameKind ProbeCinepak(const uint8_t* d, size_t size) {
    if (size < 10)
        return TFrameKind::Unknown;
    const int strips = Be16(d + 8);
    size_t at = 10;
    for (int s = 0; s < strips; ++s) {
        if (at + 12 > size)
            return TFrameKind::Unknown;
        const uint16_t id = Be16(d + at);
        const size_t stripSize = Be16(d + at + 2);
        if (id != 0x1000)
            return TFrameKind::Dependent;
        if (stripSize < 12 || at + stripSize > size)
            return TFrameKind::Unknown;
        for (size_t c = at + 12; c + 4 <= at + stripSize;) {
            const uint16_t chunk = Be16(d + c);
            const size_t chunkSize = Be16(d + c + 2);
            // Partial codebook updates (odd second nibble) and inter vectors use what was before.
            if ((chunk & 0xF100) == 0x2100 || chunk == 0x3100)
                return TFrameKind::Dependent;
            if (chunkSize < 4)
                break;
            c += chunkSize;
        }
        at += stripSize;
    }
    return strips > 0 ? TFrameKind::Standalone : TFrameKind::Unknown;
}

// MS Video 1: a frame stands alone when it codes every block, skipping none.
TFrameKind ProbeMsVideo1(const uint8_t* d, size_t size, int width, int height, int bits) {
    int64_t blocks = int64_t{width / 4} * (height / 4);
    size_t at = 0;
    while (blocks > 0) {
        if (at + 2 > size)
            return TFrameKind::Unknown;
        const uint8_t b = d[at + 1];
        at += 2;
        if ((b & 0xFC) == 0x84)
            return TFrameKind::Dependent;
        if (bits == 16) {
            if (b < 0x80)
                at += (at + 1 < size && (d[at + 1] & 0x80) != 0) ? 16 : 4;
        } else {
            if (b < 0x80)
                at += 2;
            else if (b >= 0x90)
                at += 8;
        }
        --blocks;
    }
    return TFrameKind::Standalone;
}

// MS RLE: a frame stands alone when it writes every pixel: no delta moves, no line or bitmap
// ended early.
TFrameKind ProbeMsRle(const uint8_t* d, size_t size, int width, int height, bool rle4) {
    const uint64_t stride = (static_cast<uint64_t>(width) * (rle4 ? 4 : 8) + 31) / 32 * 4;
    if (size == stride * static_cast<uint64_t>(height))
        return TFrameKind::Standalone; // stored uncompressed
    int64_t x = 0;
    int64_t y = 0;
    const auto done = [&] { return y >= height || (y == height - 1 && x >= width); };
    for (size_t at = 0; at + 2 <= size;) {
        const uint8_t n = d[at];
        const uint8_t c = d[at + 1];
        at += 2;
        if (n > 0) {
            x += n;
            continue;
        }
        if (c == 0) {
            if (x < width)
                return TFrameKind::Dependent;
            x = 0;
            ++y;
        } else if (c == 1) {
            return done() ? TFrameKind::Standalone : TFrameKind::Dependent;
        } else if (c == 2) {
            return TFrameKind::Dependent;
        } else {
            const size_t bytes = rle4 ? (c + 1u) / 2 : c;
            at += bytes + (bytes & 1);
            x += c;
        }
    }
    return done() ? TFrameKind::Standalone : TFrameKind::Dependent;
}

} // namespace

TBitstream BitstreamOf(FOURCC compression, FOURCC handler) {
    AVCodecID id = CodecOf(compression);
    if (id == AV_CODEC_ID_NONE && handler != 0)
        id = CodecOf(handler);
    switch (id) {
    case AV_CODEC_ID_MPEG4:
        return TBitstream::Mpeg4;
    case AV_CODEC_ID_H264:
        return TBitstream::H264;
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
        return TBitstream::Mpeg12;
    default:
        return TBitstream::Other;
    }
}

int Mpeg12PictureType(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 6 <= size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0) {
            // After the 10-bit temporal reference: 1 intra, 2 predicted, 3 bidirectional.
            const int type = (data[i + 5] >> 3) & 7;
            return type >= 1 && type <= 3 ? type - 1 : -1;
        }
    }
    return -1;
}

std::pair<int, int> Mpeg4VopTypes(const uint8_t* data, size_t size) {
    std::pair<int, int> types{-1, -1};
    for (size_t i = 0; i + 4 < size; ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB6) {
            (types.first < 0 ? types.first : types.second) = data[i + 4] >> 6;
            if (types.second >= 0)
                break;
        }
    }
    return types;
}

TKeyFrameProbe::TKeyFrameProbe(FOURCC compression, FOURCC handler, int width, int height,
                               int bitCount)
    : width_(width), height_(height), bitCount_(bitCount) {
    AVCodecID id = CodecOf(compression);
    if (id == AV_CODEC_ID_NONE && handler != 0)
        id = CodecOf(handler);
    if (const AVCodecDescriptor* desc = avcodec_descriptor_get(id))
        intraOnly_ = (desc->props & AV_CODEC_PROP_INTRA_ONLY) != 0;
    rle4_ = compression == 2;
    switch (id) {
    case AV_CODEC_ID_MPEG4:
        kind_ = Kind::Mpeg4;
        break;
    case AV_CODEC_ID_MSMPEG4V2:
    case AV_CODEC_ID_MSMPEG4V3:
    case AV_CODEC_ID_WMV1:
        kind_ = Kind::MsMpeg4;
        break;
    case AV_CODEC_ID_WMV2:
        kind_ = Kind::Wmv2;
        break;
    case AV_CODEC_ID_H264:
        kind_ = Kind::H264;
        break;
    case AV_CODEC_ID_HEVC:
        kind_ = Kind::Hevc;
        break;
    case AV_CODEC_ID_MPEG1VIDEO:
    case AV_CODEC_ID_MPEG2VIDEO:
        kind_ = Kind::Mpeg12;
        break;
    case AV_CODEC_ID_VP8:
        kind_ = Kind::Vp8;
        break;
    case AV_CODEC_ID_VP5:
    case AV_CODEC_ID_VP6:
        kind_ = Kind::Vp56;
        break;
    case AV_CODEC_ID_VP3:
        kind_ = Kind::Vp3;
        break;
    case AV_CODEC_ID_ZMBV:
        kind_ = Kind::Zmbv;
        break;
    case AV_CODEC_ID_CINEPAK:
        kind_ = Kind::Cinepak;
        break;
    case AV_CODEC_ID_MSVIDEO1:
        kind_ = bitCount == 8 || bitCount == 16 ? Kind::MsVideo1 : Kind::None;
        break;
    case AV_CODEC_ID_MSRLE:
        kind_ = bitCount == 8 || bitCount == 4 ? Kind::MsRle : Kind::None;
        break;
    default:
        break;
    }
}

size_t TKeyFrameProbe::BytesNeeded() const {
    switch (kind_) {
    case Kind::Cinepak:
    case Kind::MsVideo1:
    case Kind::MsRle:
        return 0;
    case Kind::H264:
    case Kind::Hevc:
        return 4096;
    default:
        return 512;
    }
}

TFrameKind TKeyFrameProbe::Probe(const uint8_t* data, size_t size, bool whole) const {
    // An empty chunk repeats the picture before it, whatever the codec.
    if (whole && size == 0)
        return TFrameKind::Dependent;
    if (intraOnly_)
        return TFrameKind::Standalone;
    if (size == 0)
        return TFrameKind::Unknown;
    switch (kind_) {
    case Kind::Mpeg4: {
        const int first = Mpeg4VopTypes(data, size).first;
        if (first < 0)
            return whole ? TFrameKind::Dependent : TFrameKind::Unknown;
        return first == 0 ? TFrameKind::Standalone : TFrameKind::Dependent;
    }
    case Kind::MsMpeg4:
        return (data[0] >> 6) == 0 ? TFrameKind::Standalone : TFrameKind::Dependent;
    case Kind::Wmv2:
        return (data[0] & 0x80) == 0 ? TFrameKind::Standalone : TFrameKind::Dependent;
    case Kind::H264:
        return ProbeH264(data, size, whole);
    case Kind::Hevc:
        return ProbeHevc(data, size, whole);
    case Kind::Mpeg12:
        return ProbeMpeg12(data, size, whole);
    case Kind::Vp8:
        return (data[0] & 1) == 0 ? TFrameKind::Standalone : TFrameKind::Dependent;
    case Kind::Vp56:
    case Kind::Vp3:
        return (data[0] & 0x80) == 0 ? TFrameKind::Standalone : TFrameKind::Dependent;
    case Kind::Zmbv:
        return (data[0] & 1) != 0 ? TFrameKind::Standalone : TFrameKind::Dependent;
    case Kind::Cinepak:
        return ProbeCinepak(data, size);
    case Kind::MsVideo1:
        return ProbeMsVideo1(data, size, width_, height_, bitCount_);
    case Kind::MsRle:
        return ProbeMsRle(data, size, width_, height_, rle4_);
    case Kind::None:
        break;
    }
    return TFrameKind::Unknown;
}
