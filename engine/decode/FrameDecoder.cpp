// FrameDecoder: libavcodec decoding of AVI video frames into packed 32-bit DIBs, and the
// mapping of decoded pictures back to frame numbers.
#include "engine/decode/FrameDecoder.h"

#include "engine/decode/AvHandles.h"
#include "engine/decode/KeyFrameProbe.h"
#include "engine/decode/PictureCache.h"
#include "engine/decode/VideoFormat.h"

#include "support/files/ByteOrder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <vector>

namespace {

// Pictures beyond these are refused before anything is allocated for them: 8K fits, a
// corrupted header asking for gigabytes does not.
constexpr int64_t kMaxSide = 16384;
constexpr int64_t kMaxPixels = int64_t{8192} * 8192;
constexpr LONG kMaxFormatBytes = 1 << 20;
constexpr LONG kMaxChunkBytes = static_cast<LONG>(kMaxPixels * 4 + (1 << 20));
// Chunks fed past the wanted frame before the decoder is drained. Reordering decoders hold at
// most 16 pictures back; a decoder that has given nothing by then never will.
constexpr LONG kLookahead = 64;
// Key frames stepped over backwards when a key frame's chunk holds no picture.
constexpr int kEmptyKeyLimit = 64;
// Not-coded VOPs are 6 to 8 bytes; no I-VOP is that small.
constexpr LONG kNotCodedVopBytes = 8;
// Bytes of a chunk that go into its fingerprint.
constexpr size_t kPrintBytes = 64 * 1024;

struct SwsFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

// What is known about one frame slot of the current decoding run.
enum class Slot : uint8_t {
    Pending,     // its chunk went to the decoder; no picture has been given to the slot yet
    Empty,       // zero-byte chunk: shows the picture before it
    Picture,     // has its own picture
    NoPicture,   // its chunk gave no picture (not-coded frame, damaged data): as Empty
    Undecodable, // a B-frame that needs the group of pictures before this run's key frame
    Failed,      // its chunk could not be read
};

enum class Chunk { Data, Empty, Failed };

uint64_t Fingerprint(const uint8_t* data, size_t size) {
    uint64_t h = 14695981039346656037ull ^ size;
    const size_t n = std::min(size, kPrintBytes);
    for (size_t i = 0; i < n; ++i)
        h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

constexpr int kVopI = 0;
constexpr int kVopB = 2;

const AVCodec* DecoderForTag(FOURCC tag) {
    const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    const AVCodecID id = av_codec_get_id(tables, tag);
    return id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
}

std::once_flag quietOnce;

// A pixel's shape as players show it: the file's word first, then the coded picture's. Square
// when neither says, or when what is said is beyond any real picture.
AVRational PixelAspect(AVRational container, AVRational coded) {
    for (const AVRational r : {container, coded}) {
        if (r.num <= 0 || r.den <= 0)
            continue;
        AVRational reduced{1, 1};
        av_reduce(&reduced.num, &reduced.den, r.num, r.den, 0xFFFF);
        if (reduced.num > 0 && reduced.den > 0 && reduced.num <= 4 * int64_t{reduced.den} &&
            reduced.den <= 4 * int64_t{reduced.num})
            return reduced;
    }
    return AVRational{1, 1};
}

} // namespace

struct FrameDecoder::Impl {
    // What the stream is.
    PAVISTREAM stream = nullptr;
    std::vector<uint8_t> format; // the whole stream format, BITMAPINFOHEADER first
    LONG start = 0;
    LONG length = 0;
    const AVCodec* codec = nullptr;
    FOURCC tag = 0;
    int width = 0;
    int height = 0;
    int bitCount = 0;
    AVRational containerAspect{0, 1}; // a pixel's shape as the file gives it
    std::vector<uint8_t> extradata;
    std::vector<uint32_t> palette; // formats of 8 bits or less
    bool mpeg4 = false;
    bool mpeg12 = false; // MPEG-1/2: picture types tell B-frames of an open group too

    // The current decoding run: one decoder fed the chunks from runKey on.
    CodecPtr ctx;
    bool ctxUnused = false; // ctx has not been fed yet
    bool failed = false;    // the decoder could not be set up
    LONG runKey = -1;
    LONG fallbackFor = -1; // key frame whose leading B-frames this run was started for
    LONG nextChunk = 0;
    LONG lowestKept = 0; // slots below were pruned
    LONG target = 0;     // the frame being resolved
    bool drained = false;
    int refsDecoded = 0;
    int heldVop = -1; // type of the packed VOP the MPEG-4 decoder holds for the next chunk
    bool paletteSent = false;
    std::map<LONG, Slot> slots;
    std::set<LONG> pending; // slots still waiting for a picture
    std::map<LONG, FramePtr> pictures;
    // Pictures decoded on the way, kept for stepping back; outlives the runs.
    TPictureCache cache;
    // Which data the run has read, so that a stream handed over later can be checked.
    LONG keyRead = -1;
    uint64_t keyPrint = 0;
    LONG lastRead = -1;
    uint64_t lastPrint = 0;

    // Conversion to the DIB.
    std::unique_ptr<SwsContext, SwsFree> sws;
    const int* swsCoefficients = nullptr;
    int swsRange = -1;
    uint8_t* scratch[4] = {};
    int scratchLines[4] = {};
    int scratchWidth = 0;
    int scratchHeight = 0;
    std::vector<uint8_t> dib;

    ~Impl() { av_freep(&scratch[0]); }

    bool Describe(PAVISTREAM s);
    bool StartDecoder();
    void Restart(LONG key, LONG forKey);
    LONG RunKeyFor(LONG frame);
    Chunk ReadChunk(LONG n, PacketPtr* packet, uint64_t* print);
    bool Settled(LONG frame) const;
    void Resolve(LONG frame);
    void Feed(LONG n);
    void TrackVop(const AVPacket& packet);
    void TrackPicture(int decoded, int64_t pts);
    void Send(AVPacket* packet);
    void ReceiveAll();
    void Assign(const AVFrame& frame);
    void SettleBelow(int64_t pts);
    void Drain();
    const AVFrame* PictureFor(LONG frame, LONG* used) const;
    void Prune(LONG keepFrom);
    BITMAPINFOHEADER* ToDib(const AVFrame& frame);
};

bool FrameDecoder::Impl::Describe(PAVISTREAM s) {
    AVISTREAMINFOW info{};
    if (AVIStreamInfoW(s, &info, sizeof info) != AVIERR_OK || info.fccType != streamtypeVIDEO)
        return false;
    std::vector<uint8_t> bytes = ReadVideoFormat(s, kMaxFormatBytes);
    if (bytes.empty())
        return false;

    BITMAPINFOHEADER bih{};
    std::memcpy(&bih, bytes.data(), sizeof bih);
    const int64_t w = bih.biWidth;
    const int64_t h = bih.biHeight < 0 ? -int64_t{bih.biHeight} : int64_t{bih.biHeight};
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide || w * h > kMaxPixels)
        return false;

    FOURCC useTag = bih.biCompression;
    const AVCodec* found = DecoderForTag(useTag);
    if (!found && info.fccHandler != 0) {
        useTag = info.fccHandler;
        found = DecoderForTag(useTag);
    }
    if (!found)
        return false;

    const LONG first = AVIStreamStart(s);
    const LONG count = AVIStreamLength(s);
    if (first < 0 || count < 0)
        return false;

    stream = s;
    format = std::move(bytes);
    start = first;
    length = count;
    codec = found;
    tag = useTag;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    bitCount = bih.biBitCount;
    LONG aspectX = 0;
    LONG aspectY = 0;
    AVIStreamSampleAspect(s, &aspectX, &aspectY);
    containerAspect = AVRational{static_cast<int>(aspectX), static_cast<int>(aspectY)};
    mpeg4 = codec->id == AV_CODEC_ID_MPEG4;
    mpeg12 = codec->id == AV_CODEC_ID_MPEG1VIDEO || codec->id == AV_CODEC_ID_MPEG2VIDEO;
    extradata.assign(format.begin() + 40, format.end());
    palette.clear();
    if (bitCount <= 8 && !extradata.empty()) {
        // The palette ends the format, as AVI writers store it after the header.
        const size_t entries = std::min<size_t>(size_t{1} << bitCount, extradata.size() / 4);
        const uint8_t* src = extradata.data() + extradata.size() - entries * 4;
        palette.resize(256, 0xFF000000u);
        for (size_t i = 0; i < entries; ++i)
            palette[i] = 0xFF000000u | Le32(src + 4 * i);
    }
    // Uncompressed RGB rows run bottom-up unless the height is negative; the raw decoder
    // learns this from a marker at the end of its extra data.
    if (codec->id == AV_CODEC_ID_RAWVIDEO && bih.biCompression == 0 && bih.biHeight > 0) {
        static const char kBottomUp[] = "BottomUp";
        extradata.insert(extradata.end(), kBottomUp, kBottomUp + sizeof kBottomUp);
    }
    return true;
}

bool FrameDecoder::Impl::StartDecoder() {
    ctx.reset(avcodec_alloc_context3(codec));
    if (!ctx)
        return false;
    ctx->codec_tag = tag;
    ctx->width = width;
    ctx->height = height;
    ctx->bits_per_coded_sample = bitCount;
    if (!extradata.empty()) {
        ctx->extradata =
            static_cast<uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!ctx->extradata)
            return false;
        std::memcpy(ctx->extradata, extradata.data(), extradata.size());
        ctx->extradata_size = static_cast<int>(extradata.size());
    }
    ctx->max_pixels = kMaxPixels;
    ctx->thread_count = 1;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return false;
    ctxUnused = true;
    return true;
}

void FrameDecoder::Impl::Restart(LONG key, LONG forKey) {
    pictures.clear();
    slots.clear();
    pending.clear();
    runKey = key;
    fallbackFor = forKey;
    nextChunk = key;
    lowestKept = key;
    drained = false;
    refsDecoded = 0;
    heldVop = -1;
    paletteSent = false;
    keyRead = lastRead = -1;
    failed = !(ctx && ctxUnused) && !StartDecoder();
}

// The key frame decoding starts from for frame: the key frame at or before it that holds a
// picture, else the first frame. Skipped are empty chunks and MPEG-4 not-coded frames, which
// ffmpeg marks as key frames when it copies a packed stream whose placeholder for an I-frame is
// coded as a not-coded I-VOP.
LONG FrameDecoder::Impl::RunKeyFor(LONG frame) {
    LONG key = AVIStreamFindSample(stream, frame, FIND_PREV | FIND_KEY);
    if (key < start || key > frame)
        return start;
    for (int i = 0; i < kEmptyKeyLimit && key > start; ++i) {
        LONG bytes = 0;
        if (AVIStreamRead(stream, key, 1, nullptr, 0, &bytes, nullptr) != AVIERR_OK ||
            bytes > (mpeg4 ? kNotCodedVopBytes : 0))
            return key;
        const LONG earlier = AVIStreamFindSample(stream, key - 1, FIND_PREV | FIND_KEY);
        if (earlier < start || earlier >= key)
            return start;
        key = earlier;
    }
    return key;
}

Chunk FrameDecoder::Impl::ReadChunk(LONG n, PacketPtr* packet, uint64_t* print) {
    LONG bytes = 0;
    if (AVIStreamRead(stream, n, 1, nullptr, 0, &bytes, nullptr) != AVIERR_OK || bytes < 0 ||
        bytes > kMaxChunkBytes)
        return Chunk::Failed;
    if (bytes == 0) {
        *print = Fingerprint(nullptr, 0);
        return Chunk::Empty;
    }
    PacketPtr p(av_packet_alloc());
    if (!p || av_new_packet(p.get(), bytes) < 0)
        return Chunk::Failed;
    LONG got = 0;
    if (AVIStreamRead(stream, n, 1, p->data, bytes, &got, nullptr) != AVIERR_OK || got != bytes)
        return Chunk::Failed;
    *print = Fingerprint(p->data, static_cast<size_t>(bytes));
    *packet = std::move(p);
    return Chunk::Data;
}

// A frame is settled when its slot is known and, for a slot that repeats an earlier picture,
// so is every slot back to that picture.
bool FrameDecoder::Impl::Settled(LONG frame) const {
    auto it = slots.find(frame);
    if (it == slots.end() || it->second == Slot::Pending)
        return false;
    if (it->second != Slot::Empty && it->second != Slot::NoPicture)
        return true;
    while (it != slots.begin()) {
        --it;
        if (it->second == Slot::Pending)
            return false;
        if (it->second != Slot::Empty && it->second != Slot::NoPicture)
            return true;
    }
    return true;
}

void FrameDecoder::Impl::Resolve(LONG frame) {
    target = frame;
    while (!failed && !Settled(frame)) {
        const bool more =
            static_cast<int64_t>(nextChunk) - start < length &&
            static_cast<int64_t>(nextChunk) <= static_cast<int64_t>(frame) + kLookahead;
        if (!drained && more)
            Feed(nextChunk++);
        else if (!drained)
            Drain();
        else
            return;
    }
}

void FrameDecoder::Impl::Feed(LONG n) {
    PacketPtr packet;
    uint64_t print = 0;
    const Chunk kind = ReadChunk(n, &packet, &print);
    if (kind != Chunk::Failed) {
        if (keyRead < 0) {
            keyRead = n;
            keyPrint = print;
        }
        lastRead = n;
        lastPrint = print;
    }
    if (kind != Chunk::Data) {
        slots[n] = kind == Chunk::Empty ? Slot::Empty : Slot::Failed;
        return;
    }
    packet->pts = packet->dts = n;
    if (!palette.empty() && !paletteSent) {
        if (uint8_t* side =
                av_packet_new_side_data(packet.get(), AV_PKT_DATA_PALETTE, AVPALETTE_SIZE))
            std::memcpy(side, palette.data(), AVPALETTE_SIZE);
        paletteSent = true;
    }
    slots[n] = Slot::Pending;
    pending.insert(n);
    ctxUnused = false;
    if (mpeg4)
        TrackVop(*packet);
    else if (mpeg12)
        TrackPicture(Mpeg12PictureType(packet->data, static_cast<size_t>(packet->size)),
                     packet->pts);
    Send(packet.get());
}

// DivX and Xvid stored B-frames packed behind the next P-frame ("packed bitstream"), with a
// few-byte not-coded frame in the next chunk, so that every chunk gave one picture. libavcodec's
// MPEG-4 decoder, as ffmpeg uses it, unpacks them itself: it holds back an I- or B-VOP that
// follows the first VOP of a chunk, and decodes the held VOP instead of the next chunk, holding
// that chunk in turn when it starts with an I- or B-VOP of more than 7 bytes. Following the
// same rule tells which VOP each chunk decodes.
//
// A B-frame decoded before the run's second reference picture points back into the group of
// pictures before the key frame, and the decoder drops it. With or without packing, a B-frame
// decoded for chunk n shows in slot n - 1.
void FrameDecoder::Impl::TrackVop(const AVPacket& packet) {
    const auto [first, second] = Mpeg4VopTypes(packet.data, packet.size);
    int decoded = first;
    if (heldVop >= 0) {
        decoded = heldVop;
        heldVop = (first == kVopI || first == kVopB) && packet.size > 7 ? first : -1;
    } else if (second == kVopI || second == kVopB) {
        heldVop = second;
    }
    TrackPicture(decoded, packet.pts);
}

// MPEG-1/2 open groups of pictures store their first B-frames after the key frame, shown before
// it: the same rule places them.
void FrameDecoder::Impl::TrackPicture(int decoded, int64_t pts) {
    if (decoded == kVopB && refsDecoded < 2) {
        const auto it = slots.find(static_cast<LONG>(pts - 1));
        if (pts > runKey && it != slots.end() && it->second == Slot::Pending) {
            it->second = Slot::Undecodable;
            pending.erase(it->first);
        }
    } else if (decoded >= 0) {
        ++refsDecoded;
    }
}

void FrameDecoder::Impl::Send(AVPacket* packet) {
    int r = avcodec_send_packet(ctx.get(), packet);
    if (r == AVERROR(EAGAIN)) {
        ReceiveAll();
        r = avcodec_send_packet(ctx.get(), packet);
    }
    ReceiveAll();
}

void FrameDecoder::Impl::ReceiveAll() {
    FramePtr frame(av_frame_alloc());
    if (!frame)
        return;
    while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
        Assign(*frame);
        av_frame_unref(frame.get());
    }
}

// Slots below pts that are still waiting will get no picture.
void FrameDecoder::Impl::SettleBelow(int64_t pts) {
    while (!pending.empty() && *pending.begin() < pts) {
        slots[*pending.begin()] = Slot::NoPicture;
        pending.erase(pending.begin());
    }
}

// Gives a decoded picture its frame slot. Packets carry their chunk number as pts. A decoder
// without reordering hands pictures back in chunk order, so the pts is the slot. A reordering
// one hands them back in display order while the pts names the chunk the picture was coded in,
// so pictures fill the waiting slots from the lowest up; with MPEG-4 every picture coded before
// a reference picture is displayed before it, so slots below its chunk that still wait hold a
// not-coded frame.
void FrameDecoder::Impl::Assign(const AVFrame& frame) {
    const int64_t pts = frame.pts;
    const bool known = pts >= start && pts < static_cast<int64_t>(start) + length;
    const bool reorders = ctx->has_b_frames > 0;
    LONG slot = -1;
    if (!reorders && known) {
        if (!pending.count(static_cast<LONG>(pts)))
            return;
        SettleBelow(pts);
        slot = static_cast<LONG>(pts);
    } else {
        if ((mpeg4 || mpeg12) && reorders && known && frame.pict_type != AV_PICTURE_TYPE_B)
            SettleBelow(pts);
        if (pending.empty())
            return;
        slot = *pending.begin();
    }
    pending.erase(slot);
    FramePtr copy(av_frame_clone(&frame));
    slots[slot] = copy ? Slot::Picture : Slot::Failed;
    if (!copy)
        return;
    cache.Put(slot, *copy);
    pictures[slot] = std::move(copy);
    // On the way to the target only the latest picture can still be shown, so a long group of
    // pictures never piles up.
    if (slot <= target)
        Prune(slot);
}

void FrameDecoder::Impl::Drain() {
    drained = true;
    Send(nullptr);
    SettleBelow(static_cast<int64_t>(start) + length);
}

const AVFrame* FrameDecoder::Impl::PictureFor(LONG frame, LONG* used) const {
    auto it = slots.find(frame);
    if (it == slots.end())
        return nullptr;
    for (;;) {
        if (it->second == Slot::Picture) {
            *used = it->first;
            return pictures.at(it->first).get();
        }
        if ((it->second != Slot::Empty && it->second != Slot::NoPicture) || it == slots.begin())
            return nullptr;
        --it;
    }
}

// Frames below keepFrom will not be asked of this run again without restarting it.
void FrameDecoder::Impl::Prune(LONG keepFrom) {
    slots.erase(slots.begin(), slots.lower_bound(keepFrom));
    pictures.erase(pictures.begin(), pictures.lower_bound(keepFrom));
    pending.erase(pending.begin(), pending.lower_bound(keepFrom));
    lowestKept = std::max(lowestKept, keepFrom);
}

BITMAPINFOHEADER* FrameDecoder::Impl::ToDib(const AVFrame& frame) {
    const int w = frame.width;
    const int h = frame.height;
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide ||
        static_cast<int64_t>(w) * h > kMaxPixels)
        return nullptr;
    const auto pixFmt = static_cast<AVPixelFormat>(frame.format);
    if (pixFmt == AV_PIX_FMT_NONE || !sws_isSupportedInput(pixFmt))
        return nullptr;
    SwsContext* old = sws.release();
    SwsContext* c = sws_getCachedContext(old, w, h, pixFmt, w, h, AV_PIX_FMT_BGRA, SWS_BICUBIC,
                                         nullptr, nullptr, nullptr);
    if (!c)
        return nullptr; // sws_getCachedContext freed the old context
    if (c != old) {
        swsCoefficients = nullptr;
        swsRange = -1;
    }
    sws.reset(c);
    // Colour matrix and range as ffmpeg's scale filter sets them from the frame, so that
    // pictures match what ffmpeg shows.
    int *invTable = nullptr, *table = nullptr;
    int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(c, &invTable, &srcRange, &table, &dstRange, &brightness, &contrast,
                                 &saturation) >= 0) {
        const int* coefficients = sws_getCoefficients(frame.colorspace);
        if (frame.color_range != AVCOL_RANGE_UNSPECIFIED)
            srcRange = frame.color_range == AVCOL_RANGE_JPEG ? 1 : 0;
        if (coefficients != swsCoefficients || srcRange != swsRange) {
            sws_setColorspaceDetails(c, coefficients, srcRange, coefficients, dstRange, brightness,
                                     contrast, saturation);
            swsCoefficients = coefficients;
            swsRange = srcRange;
        }
    }
    if (w != scratchWidth || h != scratchHeight) {
        av_freep(&scratch[0]);
        scratchWidth = scratchHeight = 0;
        if (av_image_alloc(scratch, scratchLines, w, h, AV_PIX_FMT_BGRA, 32) < 0)
            return nullptr;
        scratchWidth = w;
        scratchHeight = h;
    }
    if (sws_scale(c, frame.data, frame.linesize, 0, h, scratch, scratchLines) != h)
        return nullptr;

    const size_t row = static_cast<size_t>(w) * 4;
    const size_t image = row * static_cast<size_t>(h);
    dib.resize(sizeof(BITMAPINFOHEADER) + image);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = 0;
    header.biSizeImage = static_cast<DWORD>(image);
    // A pixel's shape travels as the pixel densities: fewer pixels per metre across for wide ones.
    const AVRational aspect = PixelAspect(containerAspect, frame.sample_aspect_ratio);
    if (aspect.num != aspect.den) {
        header.biXPelsPerMeter = aspect.den;
        header.biYPelsPerMeter = aspect.num;
    }
    std::memcpy(dib.data(), &header, sizeof header);
    uint8_t* pixels = dib.data() + sizeof header;
    for (int y = 0; y < h; ++y)
        std::memcpy(pixels + static_cast<size_t>(h - 1 - y) * row,
                    scratch[0] + static_cast<ptrdiff_t>(y) * scratchLines[0], row);
    return reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
}

FrameDecoder::FrameDecoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FrameDecoder::~FrameDecoder() = default;

std::unique_ptr<FrameDecoder> FrameDecoder::Open(PAVISTREAM stream) {
    // Damaged data makes the decoders talk; failures surface as missing pictures instead.
    std::call_once(quietOnce, [] { av_log_set_level(AV_LOG_QUIET); });
    if (!stream)
        return nullptr;
    try {
        auto impl = std::make_unique<Impl>();
        if (!impl->Describe(stream) || !impl->StartDecoder())
            return nullptr;
        return std::unique_ptr<FrameDecoder>(new FrameDecoder(std::move(impl)));
    } catch (const std::exception&) {
        return nullptr;
    }
}

bool FrameDecoder::Rebind(PAVISTREAM stream) {
    Impl& d = *impl_;
    try {
        Impl fresh;
        if (!stream || !fresh.Describe(stream) || fresh.format != d.format ||
            fresh.codec != d.codec)
            return false;
        d.stream = stream;
        d.start = fresh.start;
        d.length = fresh.length;
        // The same address may now stand for another file with the same format: keep the run
        // only when the first and last chunks it read are still there, unchanged.
        bool keep = d.runKey >= 0 && d.keyRead >= 0 && d.lastRead >= 0;
        for (const auto& [n, print] :
             {std::pair{d.keyRead, d.keyPrint}, std::pair{d.lastRead, d.lastPrint}}) {
            if (!keep)
                break;
            PacketPtr unused;
            uint64_t now = 0;
            keep = n >= d.start && static_cast<int64_t>(n) - d.start < d.length &&
                   d.ReadChunk(n, &unused, &now) != Chunk::Failed && now == print;
        }
        if (!keep) {
            d.runKey = -1;
            d.cache.Clear();
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

BITMAPINFOHEADER* FrameDecoder::Decode(LONG frame) {
    Impl& d = *impl_;
    if (frame < d.start || static_cast<int64_t>(frame) - d.start >= d.length)
        return nullptr;
    try {
        d.cache.Focus(frame);
        if (const AVFrame* kept = d.cache.Get(frame))
            return d.ToDib(*kept);
        const LONG key = d.RunKeyFor(frame);
        const bool carryOn = d.runKey >= 0 && !d.failed &&
                             (key == d.runKey || key == d.fallbackFor) && frame >= d.lowestKept &&
                             !(d.drained && frame >= d.nextChunk);
        if (!carryOn)
            d.Restart(key, -1);
        d.Resolve(frame);
        const auto at = d.slots.find(frame);
        if (at != d.slots.end() && at->second == Slot::Undecodable && d.fallbackFor < 0 &&
            d.runKey > d.start) {
            const LONG earlier = d.RunKeyFor(d.runKey - 1);
            if (earlier < d.runKey) {
                d.Restart(earlier, key);
                d.Resolve(frame);
            }
        }
        LONG used = frame;
        const AVFrame* picture = d.PictureFor(frame, &used);
        if (!picture)
            return nullptr;
        BITMAPINFOHEADER* result = d.ToDib(*picture);
        // A frame that repeats an earlier picture is kept under its own number too.
        if (used != frame)
            d.cache.Put(frame, *picture);
        d.Prune(used);
        return result;
    } catch (const std::exception&) {
        d.runKey = -1;
        return nullptr;
    }
}

void FrameDecoder::SetCacheBudget(size_t bytes) {
    impl_->cache.SetBudget(bytes);
}

size_t FrameDecoder::CacheBytes() const {
    return impl_->cache.Bytes();
}
