// AudioExtractor: TAVIExtractor::ExtractAudio - the MP3 track written as raw MP3 data, through
// the service or chunk by chunk from the file's own index.
#include "engine/avi/EngineErrors.h"
#include "engine/jobs/U_AVIExtractor.h"
#include "support/files/ReadOnlyFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// An output file that is always closed, and whose writes report a full disk.
class OutputFileHandle {
public:
    explicit OutputFileHandle(const std::string& name)
        : fd_(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
        if (fd_ < 0)
            RaiseFileError(errno, "Cannot create " + name);
    }
    ~OutputFileHandle() { ::close(fd_); }
    OutputFileHandle(const OutputFileHandle&) = delete;
    OutputFileHandle& operator=(const OutputFileHandle&) = delete;

    void Write(const uint8_t* data, size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(fd_, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                RaiseFileError(n < 0 ? errno : ENOSPC, "Cannot write the audio file");
            data += n;
            size -= static_cast<size_t>(n);
        }
    }

private:
    int fd_;
};

// Round to nearest, halves to even, of placed / total x 100.
uint8_t PercentHalfEven(uint64_t placed, uint64_t total) {
    return static_cast<uint8_t>(
        std::nearbyint(static_cast<double>(placed) * 100.0 / static_cast<double>(total)));
}

} // namespace

void TAVIExtractor::ExtractAudio(const std::string& OutputName) {
    auto held = AcquireLock();
    if (!IsMP3 || !AudioReadable)
        return;
    struct ProgressReset {
        const std::function<void(uint8_t)>& report;
        ~ProgressReset() {
            if (report)
                report(0);
        }
    };
    OutputFileHandle out(OutputName);
    ProgressReset reset{OnProgress};
    const auto stopWhenAsked = [this] {
        if (ShouldStop && ShouldStop())
            RaiseAviError("ExtractAudio", AVIERR_USERABORT);
    };

    if (UseChunkIndex && Scanner) {
        const ReadOnlyFile source(FileName);
        if (!source.IsOpen())
            RaiseFileError(source.Error(), "Cannot open " + FileName);
        uint64_t total = 0;
        for (const TAviIndexEntry& e : Scanner->Chunks)
            total += e.Size;
        // Chunk by chunk: the audio of a file of any size, never all of it in memory.
        std::vector<uint8_t> buffer;
        uint64_t placed = 0;
        for (const TAviIndexEntry& e : Scanner->Chunks) {
            stopWhenAsked();
            // What the file does not hold of a chunk is written as zeros.
            buffer.assign(e.Size, 0);
            source.ReadAt(Scanner->DataPosition(e), buffer.data(), e.Size);
            out.Write(buffer.data(), buffer.size());
            placed += e.Size;
            if (OnProgress && total > 0)
                OnProgress(PercentHalfEven(placed, total));
        }
        return;
    }

    const LONG length = AVIStreamLength(AudioStream);
    const LONG start = AVIStreamStart(AudioStream);
    const LONG step = length / 20;
    std::vector<uint8_t> buffer;
    for (LONG i = 0; i <= 20; ++i) {
        LONG pos = start + i * step;
        const LONG end = i < 20 ? pos + step : start + length;
        // A read may deliver fewer samples than asked (one chunk at a time when samples vary
        // in size), so each block is read until it is complete.
        while (pos < end) {
            stopWhenAsked();
            LONG bytes = 0;
            LONG samples = 0;
            HRESULT hr = AVIStreamRead(AudioStream, pos, end - pos, nullptr, 0, &bytes, &samples);
            if (hr != AVIERR_OK)
                RaiseAviError("StreamRead", hr);
            buffer.resize(static_cast<size_t>(std::max<LONG>(bytes, 0)));
            hr = AVIStreamRead(AudioStream, pos, end - pos, buffer.data(), bytes, &bytes, &samples);
            if (hr != AVIERR_OK)
                RaiseAviError("StreamRead", hr);
            if (samples <= 0)
                break;
            out.Write(buffer.data(), static_cast<size_t>(bytes));
            pos += samples;
        }
        if (OnProgress)
            OnProgress(static_cast<uint8_t>(i * 5));
    }
}
