// U_AVIExtractor: TAVIExtractor, the engine object that opens one source AVI, describes it and
// answers frame and key-frame queries (U_AVIExtractor.cpp); the cut, audio and frame jobs run on
// top of it, each in a file of its own.
#pragma once

#include "engine/avi/U_AviIndexScan.h"
#include "engine/avi/VFW.h"
#include "engine/decode/PictureCache.h"
#include "engine/decode/PictureType.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Plain BGRA picture the frame decoder fills (defined with the decoder).
struct TFrameBitmap;

// What the window says of one frame: key or not, the picture its chunk holds, its stored size.
struct TFrameFacts {
    bool Key = false;
    TPictureType Picture = TPictureType::Unknown;
    uint32_t Bytes = 0;
};

// What a cut of a marked range would copy: from the frame it really starts with to its last,
// how long that lasts, and about how large the output will be.
struct TCutPlan {
    int32_t FirstFrame = 0;
    int32_t LastFrame = 0;
    int64_t DurationMs = 0;
    uint64_t Bytes = 0;
};

class TAVIExtractor {
public:
    // Set by Open; read directly by the window, the jobs and the information dialog.
    bool Valid = false;
    bool Opened = false;
    std::string FileName; // UTF-8
    bool HasAudio = false;
    bool AudioReadable = false;
    bool UseChunkIndex = false;
    bool IsMP3 = false;
    // A decoder on this system reads the video's format, and the format's code ("XVID", "H264")
    // to name it by when none does.
    bool VideoDecodable = false;
    std::string VideoCode;
    int32_t MsPerFrame = 0;
    PAVIFILE SourceFile = nullptr;
    PAVIFILE OutputFile = nullptr;
    AVIFILEINFOW FileInfo{};
    int32_t Width = 0;
    int32_t Height = 0;
    bool Writing = false;
    int64_t FileSize = 0; // bytes; sources of any size
    PAVISTREAM VideoStream = nullptr;
    PAVISTREAM AudioStream = nullptr;
    AVISTREAMINFOW VideoInfo{};
    AVISTREAMINFOW AudioInfo{};
    // First 30 bytes of the audio format (WAVEFORMATEX and the MPEG layer 3 extension); the
    // rest of a longer format is not kept.
    MPEGLAYER3WAVEFORMAT AudioFormat{};
    std::unique_ptr<TAviIndexScanner> Scanner;       // only when the service cannot read the audio
    std::function<void(uint8_t Percent)> OnProgress; // called on the job's thread
    // Polled by the cut and the audio extraction on their thread between chunks: true stops
    // the job, which raises "... failed. Err: $800440C6" (AVIERR_USERABORT) and keeps what it
    // wrote as after any failure.
    std::function<bool()> ShouldStop;
    // The memory the frame decoder may keep pictures in for stepping back (bytes).
    size_t PictureCacheBytes = TPictureCache::kDefaultBudget;

    TAVIExtractor();
    ~TAVIExtractor();
    TAVIExtractor(const TAVIExtractor&) = delete;
    TAVIExtractor& operator=(const TAVIExtractor&) = delete;

    // Raises EAssertionFailed when the service cannot open the file; any later failure only
    // leaves flags false. A file already open is closed first.
    void Open(const std::string& AFileName);
    void Close();

    int32_t FrameCount() const;
    int32_t FrameWidth() const;
    int32_t FrameHeight() const;
    int32_t FrameDuration() const;
    // Key-frame searches answer what the service answers: -1 when there is no such frame.
    int32_t NearestKeyFrame(int32_t Frame) const;
    int32_t NextKeyFrame(int32_t Frame) const;
    int32_t PreviousKeyFrame(int32_t Frame) const;
    // The frame a cut asked to begin at Frame really begins with: the key frame at or before
    // it, Frame itself when there is none. The window's "Beginning", the command line and the
    // cutter all ask here.
    int32_t CutStartFrame(int32_t Frame) const;
    // Every key frame of the video, in order; empty without video.
    std::vector<int32_t> KeyFrames() const;
    // The frame's facts; reads its chunk's first bytes. Safe beside a running decode.
    TFrameFacts DescribeFrame(int32_t Frame) const;
    // Start time of a frame in milliseconds (the stream's exact rate), -1 outside the video.
    int64_t FrameTimeMs(int32_t Frame) const;
    // The frame shown at a time in milliseconds, within the video; -1 without video.
    int32_t FrameAtMs(int64_t Ms) const;

    // Clears List and fills it with name=value lines; a null List is ignored.
    void GetProperties(std::vector<std::string>* List) const;

    // The jobs, each defined in a file of its own in this folder:
    // FrameFacts.cpp - DescribeFrame and FrameTimeMs above.
    // FrameGrabber.cpp - one frame decoded to a plain picture.
    bool GetFrameBitmap(TFrameBitmap& Bitmap, int32_t Frame);
    // SequenceCutter.cpp - the lossless cut: the output file, then the range copied into it.
    void CreateOutput(const std::string& OutputName);
    void SaveRange(int32_t FirstFrame, int32_t LastFrame);
    // What SaveRange(FirstFrame, LastFrame) would write, without writing anything.
    TCutPlan PlanCut(int32_t FirstFrame, int32_t LastFrame) const;
    // AudioExtractor.cpp - the MP3 track written as raw MP3 data.
    void ExtractAudio(const std::string& OutputName);

    // Keeps Open and Close from releasing handles that a job or a decode is using. Open and
    // Close take it; SaveRange, ExtractAudio and GetFrameBitmap hold it for their whole run, so
    // an Open or Close waits for them. The window additionally refuses to load a file while an
    // audio job runs, since it stays usable then and would otherwise block on the lock.
    [[nodiscard]] std::unique_lock<std::mutex> AcquireLock() const {
        return std::unique_lock<std::mutex>(lock_);
    }
    // For callers that must not wait: an unlocked result means a job holds the source.
    [[nodiscard]] std::unique_lock<std::mutex> TryAcquireLock() const {
        return std::unique_lock<std::mutex>(lock_, std::try_to_lock);
    }

private:
    mutable std::mutex lock_;
    // Reads the picture headers of the video's frames; set by Open.
    std::unique_ptr<TPictureTyper> typer_;
    void DescribeVideoCode();
    // FrameFacts.cpp: sets up typer_ from the video's format and first key frame.
    void PrepareFrameFacts();

    void CloseLocked();
    // Kilobits per second over the stored size of every video frame; 0 without a duration.
    int64_t VideoBitrate() const;
};
