// fuzz_avireader: arbitrary bytes opened as an AVI file through the AVIFile service; every
// stream described, read sample by sample, searched and converted to times.
#include "engine/avi/VFW.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// Inputs live in a memory file, opened by path like any other file.
struct InputFile {
    int fd = memfd_create("fuzz_avireader", MFD_CLOEXEC);
    std::string path = "/proc/self/fd/" + std::to_string(fd);
};

void Fail(int line) {
    std::fprintf(stderr, "fuzz_avireader: check on line %d failed\n", line);
    std::abort();
}
#define Check(ok)                                                                                  \
    do {                                                                                           \
        if (!(ok))                                                                                 \
            Fail(__LINE__);                                                                        \
    } while (0)

volatile uint64_t sink;

void ExerciseStream(PAVISTREAM s, size_t inputSize) {
    AVISTREAMINFOW info{};
    Check(AVIStreamInfoW(s, &info, sizeof info) == AVIERR_OK);
    LONG formatSize = 0;
    Check(AVIStreamReadFormat(s, 0, nullptr, &formatSize) == AVIERR_OK);
    Check(formatSize >= 0 && static_cast<size_t>(formatSize) <= inputSize);
    std::vector<uint8_t> format(static_cast<size_t>(formatSize) + 1);
    LONG small = formatSize / 2;
    const HRESULT hrSmall = AVIStreamReadFormat(s, 0, format.data(), &small);
    Check(small == formatSize && (hrSmall == AVIERR_OK) == (formatSize / 2 == formatSize));

    const LONG start = AVIStreamStart(s);
    const LONG length = AVIStreamLength(s);
    Check(start >= 0 && length >= 0 && static_cast<int64_t>(start) + length <= 0x7FFFFFFF);
    Check(static_cast<DWORD>(length) == info.dwLength);
    // No index lists more samples than the file can hold.
    Check(static_cast<uint64_t>(length) <= inputSize + 16);

    std::vector<uint8_t> buffer;
    int reads = 0;
    for (LONG pos = start; pos < start + length && reads < 4000; ++reads) {
        LONG bytes = -1, samples = -1;
        const HRESULT hr =
            AVIStreamRead(s, pos, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes, &samples);
        if (hr != AVIERR_OK) {
            // Only audio the service refuses fails, and then at every position.
            Check(hr == AVIERR_UNSUPPORTED && info.fccType != streamtypeVIDEO);
            break;
        }
        Check(bytes >= 0 && static_cast<size_t>(bytes) <= inputSize && samples >= 1);
        buffer.assign(static_cast<size_t>(bytes) + 1, 0);
        LONG gotBytes = -1, gotSamples = -1;
        Check(AVIStreamRead(s, pos, AVISTREAMREAD_CONVENIENT, buffer.data(), bytes, &gotBytes,
                            &gotSamples) == AVIERR_OK);
        Check(gotBytes == bytes && gotSamples == samples);
        if (bytes > 1)
            Check(AVIStreamRead(s, pos, 1, buffer.data(), 0, nullptr, nullptr) ==
                  AVIERR_BUFFERTOOSMALL);
        sink = sink + buffer[0];
        pos += samples;
    }
    for (const LONG pos : {start - 1, start, start + length / 2, start + length, 0x7FFFFFFF}) {
        for (const LONG flags :
             {FIND_KEY | FIND_PREV, FIND_KEY | FIND_NEXT, FIND_ANY | FIND_PREV,
              FIND_ANY | FIND_NEXT | FIND_SIZE, FIND_KEY | FIND_FROM_START, FIND_FORMAT | FIND_NEXT,
              FIND_KEY | FIND_OFFSET, FIND_ANY | FIND_LENGTH | FIND_PREV, FIND_KEY | FIND_INDEX}) {
            const LONG found = AVIStreamFindSample(s, pos, flags);
            if ((flags & FIND_RET) == FIND_POS)
                Check(found == -1 || (found >= start && found < start + length));
        }
        sink = sink + static_cast<uint64_t>(AVIStreamSampleToTime(s, pos)) +
               static_cast<uint64_t>(AVIStreamTimeToSample(s, pos));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const InputFile input;
    Check(input.fd >= 0);
    Check(ftruncate(input.fd, 0) == 0);
    Check(size == 0 || pwrite(input.fd, data, size, 0) == static_cast<ssize_t>(size));

    PAVIFILE file = nullptr;
    const HRESULT hr = AVIFileOpenW(&file, input.path, OF_SHARE_DENY_WRITE, nullptr);
    if (hr != AVIERR_OK) {
        Check(file == nullptr &&
              (hr == AVIERR_BADFORMAT || hr == AVIERR_FILEREAD || hr == AVIERR_FILEOPEN));
        return 0;
    }
    AVIFILEINFOW info{};
    Check(AVIFileInfoW(file, &info, sizeof info) == AVIERR_OK);
    Check(info.dwStreams <= 100);
    for (LONG n = 0; n < static_cast<LONG>(info.dwStreams); ++n) {
        PAVISTREAM s = nullptr;
        Check(AVIFileGetStream(file, &s, 0, n) == AVIERR_OK);
        ExerciseStream(s, size);
        Check(AVIStreamRelease(s) == 0);
    }
    PAVISTREAM none = nullptr;
    Check(AVIFileGetStream(file, &none, 0, static_cast<LONG>(info.dwStreams)) == AVIERR_NODATA);
    Check(AVIFileRelease(file) == 0);
    return 0;
}
