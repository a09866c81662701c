// AudioDecoder: the sound of one AVI audio stream as 16-bit PCM, decoded with libavcodec and read
// only through the AVIFile operations of VFW.h.
#pragma once

#include "engine/avi/VFW.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Samples come out interleaved, signed 16-bit, at the rate the stream's format names, in one or
// two channels (more are mixed down to two). Times are the stream's own: a chunk starts at its
// first sample number times dwScale/dwRate, so a stream that starts late (dwStart) is silent
// until then, as players make it. A chunk is taken to start on a frame of the codec, as muxers
// write them; one that does not is off by less than that frame.
//
// Not thread-safe. It reads the stream in Read and Seek only, so a caller sharing the file with
// other readers holds its lock around those calls.
class AudioDecoder {
public:
    // nullptr, with the reason in Why, when the stream is not audio that a decoder here reads.
    static std::unique_ptr<AudioDecoder> Open(PAVISTREAM Stream, std::string* Why = nullptr);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    int Rate() const;
    int Channels() const;

    // The next Read gives the sound from Ms (milliseconds of stream time) on.
    void Seek(int64_t Ms);
    // Up to Frames sample frames (Frames x Channels values) into Out. Fewer at the end of the
    // stream, and when a few hundred chunks in a row gave no sound (data that cannot be read or
    // decoded is skipped): AtEnd tells the two apart.
    size_t Read(int16_t* Out, size_t Frames);
    bool AtEnd() const;

private:
    struct Impl;
    explicit AudioDecoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
