// AudioDecoder_test: the sound of files from ffmpeg, mencoder and GStreamer, decoded in every
// codec ffmpeg writes into AVI, with beeps that must come out at their times after a seek.
#include "engine/decode/AudioDecoder.h"
#include "tests/common/Beeps.h"
#include "tests/common/SampleFiles.h"
#include "tests/engine/VfwTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

using samplefiles::Sample;

namespace {

// All the sound from the time the decoder was sought to, to the end.
std::vector<int16_t> ReadToEnd(AudioDecoder& Decoder) {
    std::vector<int16_t> pcm;
    std::vector<int16_t> block(4096 * Decoder.Channels());
    while (!Decoder.AtEnd()) {
        const size_t got = Decoder.Read(block.data(), 4096);
        pcm.insert(pcm.end(), block.begin(), block.begin() + got * Decoder.Channels());
    }
    return pcm;
}

struct Opened {
    vfwtest::File file;
    vfwtest::Stream audio;
    std::unique_ptr<AudioDecoder> decoder;
};

void Open(const std::string& Path, Opened& O) {
    ASSERT_EQ(vfwtest::OpenRead(O.file, Path), AVIERR_OK);
    ASSERT_EQ(AVIFileGetStream(O.file.p, &O.audio.p, streamtypeAUDIO, 0), AVIERR_OK);
    std::string why;
    O.decoder = AudioDecoder::Open(O.audio.p, &why);
    ASSERT_TRUE(O.decoder) << why;
}

// Beeps at each whole second, seen from a read that starts at From seconds.
void ExpectBeepsFrom(AudioDecoder& Decoder, double From, const std::string& Codec) {
    Decoder.Seek(static_cast<int64_t>(From * 1000));
    const std::vector<int16_t> pcm = ReadToEnd(Decoder);
    const size_t frames = pcm.size() / Decoder.Channels();
    const std::vector<double> onsets =
        beeps::Onsets(pcm.data(), frames, Decoder.Channels(), Decoder.Rate());
    // Codecs delay their sound by their own priming (MP3 about 25 ms); never ahead of time.
    double next = std::ceil(From);
    ASSERT_FALSE(onsets.empty()) << Codec;
    for (const double at : onsets) {
        EXPECT_NEAR(From + at, next + 0.025, 0.035) << Codec << " from " << From;
        next += 1;
    }
    EXPECT_EQ(next, 6.0) << Codec << " from " << From << ": beeps missing";
    EXPECT_NEAR(From + double(frames) / Decoder.Rate(), 6.0, 0.06) << Codec;
}

} // namespace

TEST(AudioDecoder, BeepsArriveAtTheirTimesInEveryCodec) {
    const std::vector<std::pair<std::string, std::string>> codecs = {
        {"pcm", "-c:a pcm_s16le"},
        {"mp3cbr", "-c:a libmp3lame -b:a 128k"},
        {"mp3vbr", "-c:a libmp3lame -q:a 4"},
        {"mp2", "-c:a mp2 -b:a 192k"},
        {"ac3", "-c:a ac3 -b:a 192k"},
        {"adpcm", "-c:a adpcm_ms"},
        {"aac", "-c:a aac -b:a 128k"}};
    for (const auto& [name, args] : codecs) {
        SAMPLE_OR_SKIP(sample, samplefiles::FlashBeep("flashbeep-" + name, args));
        Opened o;
        ASSERT_NO_FATAL_FAILURE(Open(sample.path, o));
        EXPECT_EQ(o.decoder->Rate(), 44100) << name;
        EXPECT_EQ(o.decoder->Channels(), 2) << name;
        for (const double from : {0.0, 2.5, 3.0, 0.95})
            ExpectBeepsFrom(*o.decoder, from, name);
    }
}

TEST(AudioDecoder, WholeTracksOfOtherMuxersLastAsLong) {
    for (Sample (*make)() : {samplefiles::MencoderMpeg4CbrMp3, samplefiles::MencoderMpeg4VbrMp3,
                             samplefiles::GstreamerMpeg4Mp3, samplefiles::FfmpegMsmpeg4v2Pcm}) {
        const Sample sample = make();
        if (!sample) {
            std::cout << "skipped: " << sample.reason << "\n";
            continue;
        }
        Opened o;
        ASSERT_NO_FATAL_FAILURE(Open(sample.path, o));
        o.decoder->Seek(0);
        const std::vector<int16_t> pcm = ReadToEnd(*o.decoder);
        const double seconds = double(pcm.size()) / o.decoder->Channels() / o.decoder->Rate();
        EXPECT_NEAR(seconds, 3.0, 0.15) << sample.path;
        // The 440 Hz sine is there, not silence or noise.
        EXPECT_NEAR(beeps::SoundSpan(pcm.data(), pcm.size() / o.decoder->Channels(),
                                     o.decoder->Channels(), o.decoder->Rate()),
                    seconds, 0.1)
            << sample.path;
    }
}

TEST(AudioDecoder, RefusesWhatItCannotDecode) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    vfwtest::File file;
    ASSERT_EQ(vfwtest::OpenRead(file, sample.path), AVIERR_OK);
    vfwtest::Stream video;
    ASSERT_EQ(AVIFileGetStream(file.p, &video.p, streamtypeVIDEO, 0), AVIERR_OK);
    std::string why;
    EXPECT_FALSE(AudioDecoder::Open(video.p, &why));
    EXPECT_EQ(why, "there is no audio stream");
    EXPECT_FALSE(AudioDecoder::Open(nullptr, &why));
}
