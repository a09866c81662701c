// fuzz_decode: frame getters on arbitrary AVI files, decoding a few frames in the orders the
// preview asks for them (stepping forward, jumping back, a getter per frame).
#include "engine/avi/VFW.h"
#include "engine/decode/BgraImage.h"
#include "engine/decode/FrameGetter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// The service reads files, so each input goes to a file; memory-backed when /dev/shm exists.
struct InputFile {
    std::string path;
    InputFile() {
        const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path = dir + "/fuzz_decode-" + std::to_string(getpid()) + ".avi";
    }
    ~InputFile() { unlink(path.c_str()); }
};

volatile uint64_t sink;

// Touches every byte of a delivered picture, so that a short buffer shows up under ASan.
void Check(void* dib) {
    if (!dib)
        return;
    TFrameBitmap image;
    if (!FrameBitmapFromDib(static_cast<BITMAPINFOHEADER*>(dib), image))
        std::abort(); // the getter delivers nothing else than what the conversion takes
    uint64_t sum = 0;
    for (uint8_t b : image.Pixels)
        sum += b;
    sink = sink + sum;
}

LONG Frame(int64_t n) {
    return static_cast<LONG>(std::clamp<int64_t>(n, INT32_MIN, INT32_MAX));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const InputFile input;
    std::FILE* file = std::fopen(input.path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);

    static const bool initialised = (AVIFileInit(), true);
    (void)initialised;
    PAVIFILE avi = nullptr;
    if (AVIFileOpenW(&avi, input.path, OF_SHARE_DENY_WRITE, nullptr) != AVIERR_OK)
        return 0;
    PAVISTREAM stream = nullptr;
    if (AVIFileGetStream(avi, &stream, streamtypeVIDEO, 0) == AVIERR_OK) {
        const int64_t start = AVIStreamStart(stream);
        const int64_t length = AVIStreamLength(stream);
        // One getter stepping forward, then jumping back.
        if (PGETFRAME getter = AVIStreamGetFrameOpen(stream, nullptr)) {
            for (int64_t n = start; n < start + 5 && n - start < length; ++n)
                Check(AVIStreamGetFrame(getter, Frame(n)));
            Check(AVIStreamGetFrame(getter, Frame(start + length / 2)));
            Check(AVIStreamGetFrame(getter, Frame(start + 1)));
            Check(AVIStreamGetFrame(getter, Frame(start + length))); // one past the end
            AVIStreamGetFrameClose(getter);
        }
        // A getter per frame, taking over the decoder the one before left.
        for (int64_t n : {start + length - 1, start + 2, start + 3}) {
            if (PGETFRAME getter = AVIStreamGetFrameOpen(stream, nullptr)) {
                Check(AVIStreamGetFrame(getter, Frame(n)));
                AVIStreamGetFrameClose(getter);
            }
        }
        AVIStreamRelease(stream);
    }
    AVIFileRelease(avi);
    return 0;
}
