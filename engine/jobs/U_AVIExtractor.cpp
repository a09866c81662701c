// U_AVIExtractor: opening, describing and closing a source, key-frame queries, property list.
#include "engine/jobs/U_AVIExtractor.h"

#include "engine/avi/EngineErrors.h"
#include "engine/decode/FrameGetter.h"
#include "engine/decode/KeyFrameScan.h"
#include "support/files/U_TobrelUtils.h"
#include "support/text/U_SizeFormat.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>

namespace {

// Nearest integer to Num / Den, halves to the even neighbour; Den > 0, Num >= 0.
int64_t DivRoundHalfEven(uint64_t Num, uint64_t Den) {
    const uint64_t q = Num / Den;
    const uint64_t r = Num % Den;
    uint64_t result = q;
    if (r > Den - r || (r == Den - r && (q & 1u) != 0))
        ++result;
    return result > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(result);
}

template <typename... Args> std::string Fmt(const char* Format, Args... Values) {
    char buf[128];
    const int n = std::snprintf(buf, sizeof buf, Format, Values...);
    return n < 0 ? std::string()
                 : std::string(buf, std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

// A handler code is shown upper-cased, as the property list always showed it.
std::string FourCCText(DWORD Code) {
    std::string s = FourCCToString(Code);
    for (char& c : s)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return s;
}

} // namespace

TAVIExtractor::TAVIExtractor() {
    AVIFileInit();
}

TAVIExtractor::~TAVIExtractor() {
    {
        auto held = AcquireLock();
        if (Opened)
            CloseLocked();
        // A cut that never finished still holds its output; every handle goes before the exit.
        if (OutputFile) {
            AVIFileRelease(OutputFile);
            OutputFile = nullptr;
        }
    }
    Scanner.reset();
    AVIFileExit();
}

void TAVIExtractor::Open(const std::string& AFileName) {
    auto held = AcquireLock();
    if (Opened)
        CloseLocked();

    HasAudio = false;
    AudioReadable = false;
    UseChunkIndex = false;
    IsMP3 = false;
    VideoDecodable = false;
    VideoCode.clear();
    typer_.reset();
    Valid = false;
    Writing = false;
    // Descriptions of an earlier file must not survive a step that fails this time.
    FileInfo = {};
    VideoInfo = {};
    AudioInfo = {};
    AudioFormat = {};
    Width = 0;
    Height = 0;
    MsPerFrame = 0;

    FileSize = static_cast<int64_t>(FileSize64(AFileName));

    PAVIFILE file = nullptr;
    int systemError = 0;
    const HRESULT opened =
        AVIFileOpenW(&file, AFileName, OF_SHARE_DENY_WRITE, nullptr, &systemError);
    if (opened != AVIERR_OK)
        RaiseAviError("FileOpen", opened, systemError);
    SourceFile = file;

    Valid = true;
    FileName = AFileName;
    Opened = true;

    if (AVIFileInfoW(SourceFile, &FileInfo, sizeof FileInfo) != AVIERR_OK) {
        Valid = false;
        return;
    }
    if (AVIFileGetStream(SourceFile, &VideoStream, streamtypeVIDEO, 0) != AVIERR_OK) {
        VideoStream = nullptr;
        Valid = false;
        return;
    }
    if (AVIStreamInfoW(VideoStream, &VideoInfo, sizeof VideoInfo) != AVIERR_OK) {
        Valid = false;
        return;
    }

    // Where the index cannot be trusted to mark the frames that stand alone, the frames say it:
    // decoding and cuts then start on real key frames.
    FindRealKeyFrames(VideoStream);
    DescribeVideoCode();
    PrepareFrameFacts();

    // A damaged rectangle may not fit a difference of signed values: wrap, don't overflow.
    const RECT& r = VideoInfo.rcFrame;
    Width = static_cast<int32_t>(static_cast<uint32_t>(r.right) - static_cast<uint32_t>(r.left));
    Height = static_cast<int32_t>(static_cast<uint32_t>(r.bottom) - static_cast<uint32_t>(r.top));
    // Whole milliseconds in unsigned 32-bit arithmetic; a rate of 0 has no frame duration.
    MsPerFrame = VideoInfo.dwRate == 0
                     ? 0
                     : static_cast<int32_t>(static_cast<uint32_t>(VideoInfo.dwScale * 1000u) /
                                            VideoInfo.dwRate);

    if (AVIFileGetStream(SourceFile, &AudioStream, streamtypeAUDIO, 0) != AVIERR_OK) {
        AudioStream = nullptr;
        return;
    }
    HasAudio = AVIStreamInfoW(AudioStream, &AudioInfo, sizeof AudioInfo) == AVIERR_OK;
    if (!HasAudio)
        return;

    // A longer format (a WAVEFORMATEXTENSIBLE, say) fails with its real size but still
    // delivers the first 30 bytes, which is all that is used.
    LONG formatSize = sizeof AudioFormat;
    const HRESULT format = AVIStreamReadFormat(AudioStream, 0, &AudioFormat, &formatSize);
    HasAudio = format == AVIERR_OK || formatSize > static_cast<LONG>(sizeof AudioFormat);
    if (!HasAudio)
        return;
    IsMP3 = AudioFormat.wfx.wFormatTag == WAVE_FORMAT_MPEGLAYER3;

    LONG bytes = 0;
    AudioReadable =
        AVIStreamRead(AudioStream, AVIStreamStart(AudioStream), AVISTREAMREAD_CONVENIENT, nullptr,
                      0, &bytes, nullptr) == AVIERR_OK;
    if (AudioReadable)
        return;

    // The service refuses this audio: read its chunks straight from the file, through the
    // container's own index of it (idx1 or OpenDML, 64-bit positions), not a second scan. Only
    // "01wb" counts, so audio that is not stream 1 stays unreadable.
    Scanner = std::make_unique<TAviIndexScanner>();
    if (const avi::AviReader* reader = AVIFileReader(SourceFile))
        Scanner->Load(*reader);
    if (Scanner->IndexFound)
        Scanner->SelectChunks("01wb");
    AudioReadable = !Scanner->Chunks.empty();
    if (AudioReadable)
        UseChunkIndex = true;
}

void TAVIExtractor::Close() {
    auto held = AcquireLock();
    CloseLocked();
}

void TAVIExtractor::CloseLocked() {
    if (AudioStream) {
        AVIStreamRelease(AudioStream);
        AudioStream = nullptr;
    }
    if (VideoStream) {
        AVIStreamRelease(VideoStream);
        VideoStream = nullptr;
    }
    if (SourceFile) {
        AVIFileRelease(SourceFile);
        SourceFile = nullptr;
    }
    Opened = false;
    Valid = false;
}

int32_t TAVIExtractor::FrameCount() const {
    return Valid ? static_cast<int32_t>(VideoInfo.dwLength) : -1;
}

int32_t TAVIExtractor::FrameWidth() const {
    return Opened ? Width : 0;
}

int32_t TAVIExtractor::FrameHeight() const {
    return Opened ? Height : 0;
}

int32_t TAVIExtractor::FrameDuration() const {
    return Opened ? MsPerFrame : 0;
}

int32_t TAVIExtractor::NearestKeyFrame(int32_t Frame) const {
    if (!VideoStream)
        return -1;
    return AVIStreamFindSample(VideoStream, Frame, FIND_PREV | FIND_KEY);
}

int32_t TAVIExtractor::NextKeyFrame(int32_t Frame) const {
    if (!VideoStream || Frame == INT32_MAX)
        return -1;
    return AVIStreamFindSample(VideoStream, Frame + 1, FIND_NEXT | FIND_KEY);
}

int32_t TAVIExtractor::PreviousKeyFrame(int32_t Frame) const {
    if (!VideoStream || Frame == INT32_MIN)
        return -1;
    return AVIStreamFindSample(VideoStream, Frame - 1, FIND_PREV | FIND_KEY);
}

void TAVIExtractor::DescribeVideoCode() {
    BITMAPINFOHEADER format{};
    LONG size = sizeof format;
    const HRESULT read = AVIStreamReadFormat(VideoStream, 0, &format, &size);
    const bool known = (read == AVIERR_OK || read == AVIERR_BUFFERTOOSMALL) && size >= 20;
    const DWORD code =
        known && format.biCompression != 0 ? format.biCompression : VideoInfo.fccHandler;
    VideoCode = known && format.biCompression == 0 ? std::string("RGB") : FourCCText(code);
    // The decoder set up here is handed back to the stream, so the first picture costs no more.
    if (PGETFRAME getter =
            AVIStreamGetFrameOpen(VideoStream, reinterpret_cast<const BITMAPINFOHEADER*>(1))) {
        VideoDecodable = true;
        AVIStreamGetFrameClose(getter);
    }
}

std::vector<int32_t> TAVIExtractor::KeyFrames() const {
    std::vector<int32_t> keys;
    if (!VideoStream)
        return keys;
    const int32_t end = static_cast<int32_t>(
        std::min<int64_t>(int64_t{AVIStreamStart(VideoStream)} + FrameCount(), INT32_MAX));
    for (int32_t k =
             AVIStreamFindSample(VideoStream, AVIStreamStart(VideoStream), FIND_NEXT | FIND_KEY);
         k >= 0 && k < end; k = NextKeyFrame(k)) {
        if (!keys.empty() && k <= keys.back())
            break; // the search went no further
        keys.push_back(k);
    }
    return keys;
}

int32_t TAVIExtractor::CutStartFrame(int32_t Frame) const {
    const int32_t key = NearestKeyFrame(Frame);
    return key < 0 ? Frame : key;
}

int64_t TAVIExtractor::VideoBitrate() const {
    const int64_t frames = FrameCount();
    const int64_t duration = frames * MsPerFrame;
    if (!VideoStream || frames <= 0 || duration <= 0)
        return 0;
    uint64_t total = 0;
    for (int32_t i = 0; i < frames; ++i) {
        LONG bytes = 0;
        if (AVIStreamRead(VideoStream, i, 1, nullptr, 0, &bytes, nullptr) == AVIERR_OK && bytes > 0)
            total += static_cast<uint64_t>(bytes);
    }
    // Bits per millisecond are kilobits per second.
    return DivRoundHalfEven(total * 8u, static_cast<uint64_t>(duration));
}

void TAVIExtractor::GetProperties(std::vector<std::string>* List) const {
    if (!List)
        return;
    List->clear();
    List->push_back("file_size=" + FormatSize(FileSize));
    List->push_back("file_name=" + FileName);
    List->push_back(Fmt("video_resolution=%ux%u", FileInfo.dwWidth, FileInfo.dwHeight));
    List->push_back(Fmt("video_nbframes=%u", VideoInfo.dwLength));
    List->push_back(Fmt("video_bitrate=%" PRId64 " Kbps", VideoBitrate()));
    List->push_back("video_fourcc=" + FourCCText(VideoInfo.fccHandler));
    // Derived from the whole milliseconds, so 29.97 fps (33 ms) shows as 30.30.
    if (MsPerFrame > 0)
        List->push_back(Fmt("video_fps=%.2f", 1000.0 / MsPerFrame));
    if (HasAudio) {
        const WAVEFORMATEX& wfx = AudioFormat.wfx;
        List->push_back(Fmt("audio_channels=%u", static_cast<unsigned>(wfx.nChannels)));
        List->push_back(Fmt("audio_samples=%u Hz", wfx.nSamplesPerSec));
        List->push_back(Fmt("audio_bitrate=%" PRId64 " Kbps",
                            DivRoundHalfEven(uint64_t{wfx.nAvgBytesPerSec} * 8u, 1000u)));
        List->push_back(Fmt("audio_code=0x%X", static_cast<unsigned>(wfx.wFormatTag)));
    }
}
