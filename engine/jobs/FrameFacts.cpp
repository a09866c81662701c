// FrameFacts: TAVIExtractor's description of single frames - key or not, the picture type their
// chunk holds, their size and start time - for the window's position readout.
#include "engine/jobs/U_AVIExtractor.h"

#include "engine/decode/VideoFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr LONG kMaxFormatBytes = 1 << 20;

std::vector<uint8_t> ChunkHead(PAVISTREAM Video, LONG Frame, LONG* Size) {
    std::vector<uint8_t> head(TPictureTyper::kBytesNeeded);
    LONG read = 0;
    *Size = 0;
    if (AVIStreamReadHead(Video, Frame, head.data(), static_cast<LONG>(head.size()), &read, Size) !=
        AVIERR_OK)
        read = 0;
    head.resize(static_cast<size_t>(std::max<LONG>(read, 0)));
    return head;
}

} // namespace

void TAVIExtractor::PrepareFrameFacts() {
    const std::vector<uint8_t> format = ReadVideoFormat(VideoStream, kMaxFormatBytes);
    if (format.empty())
        return;
    BITMAPINFOHEADER bih{};
    std::memcpy(&bih, format.data(), sizeof bih);
    typer_ = std::make_unique<TPictureTyper>(BitstreamOf(bih.biCompression, VideoInfo.fccHandler));
    // The codec's headers: in the format after the bitmap header, else in the first key frame.
    typer_->LearnHeaders(format.data() + 40, format.size() - 40);
    const LONG key =
        AVIStreamFindSample(VideoStream, AVIStreamStart(VideoStream), FIND_NEXT | FIND_KEY);
    if (!typer_->KnowsVopTiming() && key >= 0) {
        LONG chunk = 0;
        const std::vector<uint8_t> head = ChunkHead(VideoStream, key, &chunk);
        typer_->LearnHeaders(head.data(), head.size());
    }
}

TFrameFacts TAVIExtractor::DescribeFrame(int32_t Frame) const {
    TFrameFacts facts;
    if (!Valid || !VideoStream || Frame < 0 || Frame >= FrameCount())
        return facts;
    facts.Key = AVIStreamFindSample(VideoStream, Frame, FIND_KEY) == Frame;
    LONG size = 0;
    const std::vector<uint8_t> head = ChunkHead(VideoStream, Frame, &size);
    facts.Bytes = static_cast<uint32_t>(std::max<LONG>(size, 0));
    if (typer_)
        facts.Picture = typer_->TypeOf(head.data(), head.size(), facts.Bytes);
    else if (facts.Bytes == 0)
        facts.Picture = TPictureType::Empty;
    return facts;
}

int64_t TAVIExtractor::FrameTimeMs(int32_t Frame) const {
    if (!Valid || VideoInfo.dwRate == 0 || Frame < 0 || Frame > FrameCount())
        return -1;
    // In long double: frame x scale x 1000 may not fit 64 bits for a strange scale.
    const long double ms = static_cast<long double>(Frame) * VideoInfo.dwScale * 1000.0L /
                           static_cast<long double>(VideoInfo.dwRate);
    return static_cast<int64_t>(std::floor(ms));
}

int32_t TAVIExtractor::FrameAtMs(int64_t Ms) const {
    if (!Valid || VideoInfo.dwScale == 0 || FrameCount() <= 0)
        return -1;
    const long double frame = static_cast<long double>(std::max<int64_t>(Ms, 0)) *
                              VideoInfo.dwRate / (1000.0L * VideoInfo.dwScale);
    return static_cast<int32_t>(std::min<long double>(std::floor(frame + 1e-9L), FrameCount() - 1));
}
