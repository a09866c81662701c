// AudioDecoder: libavcodec decoding of an AVI audio stream, chunk by chunk, into 16-bit PCM at
// the stream's rate.
#include "engine/decode/AudioDecoder.h"

#include "engine/decode/AvHandles.h"
#include "support/files/ByteOrder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

namespace {

constexpr LONG kMaxFormatBytes = 1 << 16;
// No audio chunk of a real file comes near this; a forged size is skipped, not allocated.
constexpr DWORD kMaxChunkBytes = 8u << 20;
constexpr WORD kTagFloat = 0x0003;
constexpr WORD kTagExtensible = 0xFFFE;
// How far before a seek's time decoding starts, so that codecs that lean on the frames before
// (MP3's bit reservoir, AAC's overlap) are primed; the sound of it is dropped.
constexpr int64_t kPrerollMs = 200;
// Chunks one Read looks at, so that a stream of damaged or empty chunks cannot hold it up.
constexpr int kChunksPerRead = 256;
// Times beyond any recording (about 30 years), where a forged rate would overflow.
constexpr double kMaxUs = 1e15;

struct ParserFree {
    void operator()(AVCodecParserContext* p) const { av_parser_close(p); }
};
struct SwrFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

std::once_flag quietOnce;

AVCodecID PcmCodec(WORD Tag, WORD Bits) {
    if (Tag == kTagFloat)
        return Bits == 64   ? AV_CODEC_ID_PCM_F64LE
               : Bits == 32 ? AV_CODEC_ID_PCM_F32LE
                            : AV_CODEC_ID_NONE;
    switch (Bits) {
    case 8:
        return AV_CODEC_ID_PCM_U8;
    case 16:
        return AV_CODEC_ID_PCM_S16LE;
    case 24:
        return AV_CODEC_ID_PCM_S24LE;
    case 32:
        return AV_CODEC_ID_PCM_S32LE;
    default:
        return AV_CODEC_ID_NONE;
    }
}

// The codec a format tag names; WAVE_FORMAT_EXTENSIBLE carries the real tag in its sub-format.
AVCodecID CodecOf(const std::vector<uint8_t>& Format) {
    WORD tag = Le16(Format.data());
    const WORD bits = Le16(Format.data() + 14);
    if (tag == kTagExtensible && Format.size() >= 26)
        tag = Le16(Format.data() + 24);
    if (tag == WAVE_FORMAT_PCM || tag == kTagFloat)
        return PcmCodec(tag, bits);
    const AVCodecTag* const tables[] = {avformat_get_riff_audio_tags(), nullptr};
    return av_codec_get_id(tables, tag);
}

bool IsPcm(AVCodecID Id) {
    const AVCodecDescriptor* d = avcodec_descriptor_get(Id);
    return d && std::strncmp(d->name, "pcm_", 4) == 0;
}

} // namespace

struct AudioDecoder::Impl {
    PAVISTREAM stream = nullptr;
    AVISTREAMINFOW info{};
    LONG end = 0; // one past the stream's last sample
    CodecPtr ctx;
    std::unique_ptr<AVCodecParserContext, ParserFree> parser;
    std::unique_ptr<SwrContext, SwrFree> swr;
    FramePtr frame;
    PacketPtr packet;
    AVChannelLayout outLayout{};
    int rate = 0;
    int channels = 0;
    bool splitBlocks = false; // block codecs without a parser get one block per packet

    // Where reading goes on.
    LONG nextSample = 0;
    bool drained = false;
    int budget = 0; // chunks this Read may still look at
    // Decoded sound not given out yet.
    std::vector<int16_t> pcm;
    size_t pcmAt = 0; // in values
    // Set by a seek: the time wanted, and the time of the first chunk fed since, once known.
    int64_t wantUs = 0;
    bool aligning = false;
    int64_t firstChunkUs = -1;
    int64_t silence = 0; // sample frames of silence still to give before the sound
    int64_t drop = 0;    // sample frames still to drop before the sound

    ~Impl() { av_channel_layout_uninit(&outLayout); }

    int64_t SampleUs(LONG Sample) const {
        const double us = static_cast<double>(Sample) * info.dwScale * 1e6 / info.dwRate;
        return static_cast<int64_t>(std::clamp(us, -kMaxUs, kMaxUs));
    }
    LONG SampleAt(int64_t Us) const {
        const double s = static_cast<double>(Us) * info.dwRate / (1e6 * info.dwScale);
        const double first = std::min<double>(info.dwStart, end);
        return static_cast<LONG>(std::clamp<double>(s, first, end));
    }

    bool Setup(const std::vector<uint8_t>& Format, std::string* Why);
    void Restart(LONG Sample);
    bool ReadChunk(std::vector<uint8_t>& Data, size_t& Size);
    void Feed(const uint8_t* Data, size_t Size);
    void SendPacket(const uint8_t* Data, size_t Size);
    void Receive();
    void Convert();
    void Align();
    bool More();
};

bool AudioDecoder::Impl::Setup(const std::vector<uint8_t>& Format, std::string* Why) {
    const auto fail = [Why](const char* Text) {
        if (Why)
            *Why = Text;
        return false;
    };
    const WORD srcChannels = Le16(Format.data() + 2);
    const DWORD srcRate = Le32(Format.data() + 4);
    if (srcChannels == 0 || srcChannels > 64 || srcRate == 0 || srcRate > 768000)
        return fail("the audio format names no usable rate or channels");
    const AVCodecID id = CodecOf(Format);
    const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (!codec)
        return fail("no decoder here reads the audio format");
    ctx.reset(avcodec_alloc_context3(codec));
    frame.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    if (!ctx || !frame || !packet)
        return fail("out of memory");
    ctx->sample_rate = static_cast<int>(srcRate);
    av_channel_layout_default(&ctx->ch_layout, srcChannels);
    ctx->block_align = Le16(Format.data() + 12);
    ctx->bits_per_coded_sample = Le16(Format.data() + 14);
    ctx->bit_rate = int64_t{Le32(Format.data() + 8)} * 8;
    const size_t extra =
        Format.size() >= 18 ? std::min<size_t>(Le16(Format.data() + 16), Format.size() - 18) : 0;
    if (extra > 0 && id != AV_CODEC_ID_MP3) {
        ctx->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!ctx->extradata)
            return fail("out of memory");
        std::memcpy(ctx->extradata, Format.data() + 18, extra);
        ctx->extradata_size = static_cast<int>(extra);
    }
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return fail("the audio decoder refused the stream's format");
    rate = static_cast<int>(srcRate);
    channels = std::min<int>(srcChannels, 2);
    av_channel_layout_default(&outLayout, channels);
    const std::unique_ptr<AVCodecParserContext, ParserFree> probe(av_parser_init(id));
    splitBlocks = !IsPcm(id) && ctx->block_align > 1 && !probe;
    Restart(static_cast<LONG>(info.dwStart));
    return true;
}

void AudioDecoder::Impl::Restart(LONG Sample) {
    avcodec_flush_buffers(ctx.get());
    // Raw AAC (its configuration in the format) comes a frame per chunk; the parser would look
    // for ADTS headers that are not there.
    const bool rawAac = ctx->codec_id == AV_CODEC_ID_AAC && ctx->extradata_size > 0;
    parser.reset(rawAac ? nullptr : av_parser_init(ctx->codec_id));
    swr.reset();
    pcm.clear();
    pcmAt = 0;
    nextSample = Sample;
    drained = false;
    firstChunkUs = -1;
}

bool AudioDecoder::Impl::ReadChunk(std::vector<uint8_t>& Data, size_t& Size) {
    while (nextSample < end) {
        if (--budget < 0)
            return false;
        AVISAMPLECHUNK chunk{};
        if (AVIStreamSampleChunk(stream, nextSample, &chunk) != AVIERR_OK || chunk.samples <= 0)
            return false;
        const LONG first = std::max(chunk.firstSample, nextSample);
        const LONG count = chunk.firstSample + chunk.samples - first;
        nextSample = first + count;
        if (chunk.size == 0 || chunk.size > kMaxChunkBytes)
            continue;
        // The parser reads a little past the data: zeros there, as libavcodec asks.
        Data.assign(chunk.size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        LONG bytes = 0;
        LONG samples = 0;
        if (AVIStreamRead(stream, first, count, Data.data(), static_cast<LONG>(chunk.size), &bytes,
                          &samples) != AVIERR_OK ||
            bytes <= 0 || static_cast<DWORD>(bytes) > chunk.size)
            continue;
        Size = static_cast<size_t>(bytes);
        if (firstChunkUs < 0)
            firstChunkUs = SampleUs(first);
        return true;
    }
    return false;
}

void AudioDecoder::Impl::Feed(const uint8_t* Data, size_t Size) {
    if (!parser) {
        const size_t step = splitBlocks ? static_cast<size_t>(ctx->block_align) : Size;
        for (size_t at = 0; at < Size; at += step)
            SendPacket(Data + at, std::min(step, Size - at));
        return;
    }
    // A null Data drains what the parser holds back.
    size_t at = 0;
    do {
        uint8_t* out = nullptr;
        int outSize = 0;
        const int used =
            av_parser_parse2(parser.get(), ctx.get(), &out, &outSize, Data ? Data + at : nullptr,
                             static_cast<int>(Size - at), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0)
            return;
        at += static_cast<size_t>(used);
        if (outSize > 0)
            SendPacket(out, static_cast<size_t>(outSize));
        else if (used == 0)
            return;
    } while (at < Size);
}

void AudioDecoder::Impl::SendPacket(const uint8_t* Data, size_t Size) {
    av_packet_unref(packet.get());
    if (Data) {
        if (av_new_packet(packet.get(), static_cast<int>(Size)) < 0)
            return;
        std::memcpy(packet->data, Data, Size);
    }
    // A refused packet is damaged data: its sound is skipped.
    if (avcodec_send_packet(ctx.get(), Data ? packet.get() : nullptr) == AVERROR(EAGAIN)) {
        Receive();
        avcodec_send_packet(ctx.get(), Data ? packet.get() : nullptr);
    }
    Receive();
}

void AudioDecoder::Impl::Receive() {
    while (avcodec_receive_frame(ctx.get(), frame.get()) == 0) {
        Convert();
        av_frame_unref(frame.get());
    }
}

void AudioDecoder::Impl::Convert() {
    if (frame->nb_samples <= 0 || frame->sample_rate <= 0)
        return;
    if (!swr) {
        SwrContext* s = nullptr;
        if (swr_alloc_set_opts2(&s, &outLayout, AV_SAMPLE_FMT_S16, rate, &frame->ch_layout,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                nullptr) < 0 ||
            swr_init(s) < 0) {
            swr_free(&s);
            return;
        }
        swr.reset(s);
    }
    const int room = swr_get_out_samples(swr.get(), frame->nb_samples);
    if (room <= 0)
        return;
    const size_t had = pcm.size();
    pcm.resize(had + static_cast<size_t>(room) * static_cast<size_t>(channels));
    uint8_t* out[] = {reinterpret_cast<uint8_t*>(pcm.data() + had)};
    const int got = swr_convert(
        swr.get(), out, room, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    pcm.resize(had + static_cast<size_t>(std::max(got, 0)) * static_cast<size_t>(channels));
}

void AudioDecoder::Impl::Align() {
    // The first decoded sample stands at the first chunk's time: what lies before the time
    // asked for is dropped, a gap up to it is silence.
    if (!aligning || firstChunkUs < 0 || pcm.empty())
        return;
    aligning = false;
    const auto frames = static_cast<int64_t>(
        std::clamp(static_cast<double>(wantUs - firstChunkUs) * rate / 1e6, -kMaxUs, kMaxUs));
    if (frames < 0)
        silence = -frames;
    else
        drop = frames;
}

bool AudioDecoder::Impl::More() {
    if (drained || budget <= 0)
        return false;
    std::vector<uint8_t> data;
    size_t size = 0;
    if (ReadChunk(data, size)) {
        Feed(data.data(), size);
    } else if (budget >= 0) {
        if (parser)
            Feed(nullptr, 0);
        SendPacket(nullptr, 0);
        drained = true;
    }
    Align();
    return true;
}

AudioDecoder::AudioDecoder(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
AudioDecoder::~AudioDecoder() = default;

std::unique_ptr<AudioDecoder> AudioDecoder::Open(PAVISTREAM Stream, std::string* Why) {
    std::call_once(quietOnce, [] { av_log_set_level(AV_LOG_QUIET); });
    auto impl = std::make_unique<Impl>();
    impl->stream = Stream;
    if (!Stream || AVIStreamInfoW(Stream, &impl->info, sizeof impl->info) != AVIERR_OK ||
        impl->info.fccType != streamtypeAUDIO) {
        if (Why)
            *Why = "there is no audio stream";
        return nullptr;
    }
    if (impl->info.dwRate == 0 || impl->info.dwScale == 0) {
        if (Why)
            *Why = "the audio stream's header gives no rate";
        return nullptr;
    }
    impl->end = AVIStreamStart(Stream) + AVIStreamLength(Stream);
    LONG size = 0;
    if (AVIStreamReadFormat(Stream, 0, nullptr, &size) != AVIERR_OK || size < 16 ||
        size > kMaxFormatBytes) {
        if (Why)
            *Why = "the audio format cannot be read";
        return nullptr;
    }
    std::vector<uint8_t> format(static_cast<size_t>(std::max<LONG>(size, 18)), 0);
    if (AVIStreamReadFormat(Stream, 0, format.data(), &size) != AVIERR_OK) {
        if (Why)
            *Why = "the audio format cannot be read";
        return nullptr;
    }
    try {
        if (!impl->Setup(format, Why))
            return nullptr;
    } catch (const std::exception&) {
        if (Why)
            *Why = "out of memory";
        return nullptr;
    }
    return std::unique_ptr<AudioDecoder>(new AudioDecoder(std::move(impl)));
}

int AudioDecoder::Rate() const {
    return impl_->rate;
}

int AudioDecoder::Channels() const {
    return impl_->channels;
}

bool AudioDecoder::AtEnd() const {
    return impl_->drained && impl_->pcmAt >= impl_->pcm.size() && impl_->silence == 0;
}

void AudioDecoder::Seek(int64_t Ms) {
    Impl& d = *impl_;
    const int64_t us = std::clamp<int64_t>(Ms, 0, static_cast<int64_t>(kMaxUs / 1000)) * 1000;
    const int64_t preroll = IsPcm(d.ctx->codec_id) ? 0 : kPrerollMs * 1000;
    LONG from = d.SampleAt(us - preroll);
    AVISAMPLECHUNK chunk{};
    if (from < d.end && AVIStreamSampleChunk(d.stream, from, &chunk) == AVIERR_OK &&
        !IsPcm(d.ctx->codec_id))
        from = std::max(chunk.firstSample, static_cast<LONG>(d.info.dwStart));
    d.Restart(from);
    d.silence = 0;
    d.drop = 0;
    d.wantUs = us;
    d.aligning = true;
}

size_t AudioDecoder::Read(int16_t* Out, size_t Frames) {
    Impl& d = *impl_;
    const size_t ch = static_cast<size_t>(d.channels);
    size_t done = 0;
    d.budget = kChunksPerRead;
    while (done < Frames) {
        if (d.silence > 0) {
            const size_t n = std::min<size_t>(Frames - done, static_cast<size_t>(d.silence));
            std::fill_n(Out + done * ch, n * ch, int16_t{0});
            d.silence -= static_cast<int64_t>(n);
            done += n;
            continue;
        }
        if (d.drop > 0 && d.pcmAt < d.pcm.size()) {
            const size_t n =
                std::min<size_t>((d.pcm.size() - d.pcmAt) / ch, static_cast<size_t>(d.drop));
            d.pcmAt += n * ch;
            d.drop -= static_cast<int64_t>(n);
            continue;
        }
        if (!d.aligning && d.pcmAt < d.pcm.size()) {
            const size_t n = std::min(Frames - done, (d.pcm.size() - d.pcmAt) / ch);
            std::memcpy(Out + done * ch, d.pcm.data() + d.pcmAt, n * ch * sizeof(int16_t));
            d.pcmAt += n * ch;
            done += n;
            continue;
        }
        d.pcm.erase(d.pcm.begin(), d.pcm.begin() + static_cast<std::ptrdiff_t>(d.pcmAt));
        d.pcmAt = 0;
        if (!d.More())
            break;
    }
    return done;
}
