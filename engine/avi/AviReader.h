// AviReader: parses an AVI file (RIFF "AVI " and OpenDML "AVIX" parts) into an immutable model:
// main header, stream headers and formats, and one chunk index per stream.
#pragma once

#include "engine/avi/AviStreamIndex.h"
#include "engine/avi/AviTypes.h"
#include "support/files/ReadOnlyFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace avi {

// "avih", as stored.
struct MainHeader {
    uint32_t microSecPerFrame = 0;
    uint32_t maxBytesPerSec = 0;
    uint32_t paddingGranularity = 0;
    uint32_t flags = 0;
    uint32_t totalFrames = 0;
    uint32_t initialFrames = 0;
    uint32_t streams = 0;
    uint32_t suggestedBufferSize = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// "strh", as stored.
struct StreamHeader {
    uint32_t fccType = 0;
    uint32_t fccHandler = 0;
    uint32_t flags = 0;
    uint16_t priority = 0;
    uint16_t language = 0;
    uint32_t initialFrames = 0;
    uint32_t scale = 0;
    uint32_t rate = 0;
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t suggestedBufferSize = 0;
    uint32_t quality = 0;
    uint32_t sampleSize = 0;
    int16_t frameLeft = 0;
    int16_t frameTop = 0;
    int16_t frameRight = 0;
    int16_t frameBottom = 0;
};

enum class IndexSource { None, OpenDml, Idx1, Walk };

struct StreamModel {
    StreamHeader header;
    std::vector<uint8_t> format; // "strf"
    std::string name;            // "strn"
    // From "vprp": the picture's display shape (dwFrameAspectRatio, 0:0 without one) and the
    // active picture's size it applies to.
    uint16_t aspectX = 0;
    uint16_t aspectY = 0;
    uint32_t activeWidth = 0;
    uint32_t activeHeight = 0;
    AviStreamIndex index;
    IndexSource source = IndexSource::None;

    bool IsVideo() const { return header.fccType == streamtypeVIDEO; }
};

class AviReader {
public:
    // Opens and parses the file. AVIERR_FILEOPEN when it cannot be opened, AVIERR_FILEREAD on
    // a read error, AVIERR_BADFORMAT when it is no AVI file or lacks its headers, AVIERR_MEMORY
    // (EFBIG) when it holds more than 2^23 chunks, far more than any real file. A damaged or
    // truncated file otherwise opens with what can be found in it.
    // *systemError, when asked for, gets the errno of a file that cannot be opened.
    static HRESULT Open(const std::string& path, std::unique_ptr<AviReader>& out,
                        int* systemError = nullptr);
    ~AviReader();

    AviReader(const AviReader&) = delete;
    AviReader& operator=(const AviReader&) = delete;

    const MainHeader& Main() const { return main_; }
    size_t StreamCount() const { return streams_.size(); }
    // File position of the first "movi" list's type code; 0 without one.
    uint64_t MoviTypePosition() const { return moviTypePosition_; }
    // Whether the file's "idx1" counts its offsets from the file's start.
    bool Idx1Absolute() const { return idx1Absolute_; }
    const StreamModel& Stream(size_t i) const { return streams_[i]; }
    // Replaces a video stream's key flags (see AviStreamIndex::SetKeyFrames). Only while the
    // model is not read elsewhere: the opener calls it before sharing the file.
    void SetKeyFrames(size_t stream, std::vector<uint32_t> keys) {
        streams_[stream].index.SetKeyFrames(std::move(keys));
    }
    uint64_t FileSize() const { return fileSize_; }

    // Reads exactly size bytes at offset with pread(), so several threads may read at once.
    // False on a read error or when the file ends before.
    bool ReadAt(uint64_t offset, void* buffer, size_t size) const;
    // The open file, for copies in the kernel straight from it.
    int Descriptor() const { return file_->Descriptor(); }

private:
    AviReader() = default;
    struct Parser;

    std::unique_ptr<ReadOnlyFile> file_;
    uint64_t fileSize_ = 0;
    uint64_t moviTypePosition_ = 0;
    bool idx1Absolute_ = false;
    MainHeader main_;
    std::vector<StreamModel> streams_;
};

} // namespace avi
