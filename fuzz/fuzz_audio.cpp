// fuzz_audio: the audio decoder on arbitrary AVI files - the whole sound from the start, then
// reads after seeks to the middle, past the end and before the start.
#include "engine/avi/VFW.h"
#include "engine/decode/AudioDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The service reads files, so each input goes to a file; memory-backed when /dev/shm exists.
struct InputFile {
    std::string path;
    InputFile() {
        const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path = dir + "/fuzz_audio-" + std::to_string(getpid()) + ".avi";
    }
    ~InputFile() { unlink(path.c_str()); }
};

volatile int64_t sink;

// Reads at most Limit sample frames, touching each value so a short buffer shows under ASan.
void Drain(AudioDecoder& Decoder, size_t Limit) {
    std::vector<int16_t> block(1024 * static_cast<size_t>(Decoder.Channels()));
    size_t total = 0;
    // Reads that give nothing count too, so that a stream of damaged chunks ends the drain.
    for (int reads = 0; total < Limit && reads < 64; ++reads) {
        const size_t got = Decoder.Read(block.data(), 1024);
        if (got > 1024)
            std::abort();
        if (got == 0 && Decoder.AtEnd())
            break;
        for (size_t i = 0; i < got * static_cast<size_t>(Decoder.Channels()); ++i)
            sink = sink + block[i];
        total += got;
    }
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
    if (AVIFileGetStream(avi, &stream, streamtypeAUDIO, 0) == AVIERR_OK) {
        if (auto decoder = AudioDecoder::Open(stream)) {
            if (decoder->Channels() < 1 || decoder->Channels() > 2 || decoder->Rate() <= 0)
                std::abort();
            // A forged header may claim hours of sound: a bounded read is enough.
            Drain(*decoder, 200000);
            for (int64_t ms : {int64_t{1500}, int64_t{-20}, int64_t{1} << 40, int64_t{250}}) {
                decoder->Seek(ms);
                Drain(*decoder, 20000);
            }
        }
        AVIStreamRelease(stream);
    }
    AVIFileRelease(avi);
    return 0;
}
