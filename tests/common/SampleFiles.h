// SampleFiles: the catalogue of real AVI files the tests share, made at test time by ffmpeg,
// mencoder and GStreamer and kept in the media cache, plus patched copies of them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace samplefiles {

struct Sample {
    std::string path;   // empty when the file could not be made
    std::string reason; // why not: a missing tool (naming its Debian package) or the tool's error
    explicit operator bool() const { return !path.empty(); }
};

// Small files (160x120 or smaller, 3 s at 25 fps unless said otherwise), video stream 0,
// audio stream 1, key frame every 12 frames.

// ffmpeg: mpeg4 ("FMP4") + MP3 CBR 128k. ffmpeg writes MP3 with dwSampleSize 0 (one frame per
// chunk) and leaves an empty "00dc" chunk after the first frame.
Sample FfmpegMpeg4CbrMp3();
// ffmpeg: mpeg4 + MP3 VBR (-q:a 4).
Sample FfmpegMpeg4VbrMp3();
// ffmpeg: msmpeg4v2 ("MP42") + 16-bit stereo PCM (byte-counted, dwSampleSize 4).
Sample FfmpegMsmpeg4v2Pcm();
// ffmpeg: MJPEG without audio; every frame a key frame.
Sample FfmpegMjpeg();
// ffmpeg: uncompressed BGR24 64x48 without audio ("00db" chunks).
Sample FfmpegRawvideo();
// ffmpeg: H.264 (libx264, B-frames) + MP3; reason set when ffmpeg lacks libx264.
Sample FfmpegH264();
// mencoder: lavc mpeg4 + mp3lame CBR 128k, which mencoder writes byte-counted: dwSampleSize 1,
// dwRate 16000 bytes per second.
Sample MencoderMpeg4CbrMp3();
// mencoder: lavc mpeg4 + mp3lame VBR: dwSampleSize 0, dwScale 1152.
Sample MencoderMpeg4VbrMp3();
// GStreamer avimux: avenc_mpeg4 + lamemp3enc CBR. Writes "00db" for compressed video, absolute
// "idx1" offsets, audio chunks without the key-frame flag, an 18-byte audio format, an empty
// frame rectangle and an OpenDML "dmlh" header.
Sample GstreamerMpeg4Mp3();

// Copies of FfmpegMpeg4CbrMp3 whose audio the AVIFile service refuses to read (for the
// extractor's fallback through the RIFF index): dwSampleSize 1152 with 417/418-byte chunks,
// and dwRate 0.
Sample UnreadableAudioSampleSize();
Sample UnreadableAudioZeroRate();

// Rebuilt copies of a small sample (same headers and chunks, other structure), made by a plain
// RIFF rewriter of the tests:
// - WithoutIdx1: the "idx1" chunk turned into "JUNK", so a reader has to walk "movi";
// - WithRecLists: chunks grouped in pairs into "LIST" "rec " lists, with an "idx1" that lists
//   each "rec " (flag AVIIF_LIST) before its chunks;
// - AsOpenDml: no "idx1"; each stream has an "indx" super index pointing at one "ix##"
//   standard index at the end of "movi" (bit 31 of a size marks a frame that is not a key
//   frame, as the "idx1" flags of the source say).
Sample WithoutIdx1(const Sample& source);
Sample WithRecLists(const Sample& source);
Sample AsOpenDml(const Sample& source);

// More than 1 GiB of rawvideo, so that ffmpeg continues in OpenDML form ("AVIX" parts, "indx"
// and "ix00" indexes; the main header counts only the first part). Made afresh in dir, not
// cached; the caller deletes it. reason is set when the disk lacks room.
Sample FfmpegOpenDml(const std::string& dir);

// ffmpeg: 6 s at 25 fps, 320x240 mpeg4, with a white picture at every whole second (frames 0,
// 25, 50, ...) and, on the sound, a loud 1 kHz beep of 100 ms at the same instants over a quiet
// 300 Hz tone; audioArgs chooses the audio codec ("-c:a pcm_s16le", "-c:a ac3 -b:a 192k").
Sample FlashBeep(const std::string& name, const std::string& audioArgs);
constexpr int kFlashEveryFrames = 25;

struct Kind {
    const char* name;
    Sample (*make)();
};
// Every small file above, for tests that run over all of them.
const std::vector<Kind>& AllKinds();

// File position of the data of the n-th (from 0) "strh" chunk of the given type ("vids",
// "auds"), found by a plain byte search; 0 when there is none.
size_t FindStreamHeader(const std::vector<uint8_t>& file, const char* type, int n = 0);
// Offsets of fields inside "strh" data.
constexpr size_t kStrhScale = 20;
constexpr size_t kStrhRate = 24;
constexpr size_t kStrhStart = 28;
constexpr size_t kStrhLength = 32;
constexpr size_t kStrhSampleSize = 44;
void Put32(std::vector<uint8_t>& file, size_t at, uint32_t value);
uint32_t Get32(const std::vector<uint8_t>& file, size_t at);

// A copy of source changed by patch, cached under a name made of the source's and tag (so a
// changed patch needs a new tag).
Sample PatchedCopy(const Sample& source, const std::string& tag,
                   const std::function<void(std::vector<uint8_t>&)>& patch);

} // namespace samplefiles

// Gives var the sample made by expr, or skips the running test with the reason.
#define SAMPLE_OR_SKIP(var, expr)                                                                  \
    const samplefiles::Sample var = (expr);                                                        \
    if (!var)                                                                                      \
    GTEST_SKIP() << var.reason
