// bench_cut: a lossless cut of a frame range, and the MP3 extraction, timed on a real file.
#include "engine/jobs/U_AVIExtractor.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: bench_cut SOURCE FIRST LAST OUTPUT [MP3OUTPUT]\n");
        return 2;
    }
    TAVIExtractor x;
    x.Open(argv[1]);
    if (!x.Valid) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    const auto first = static_cast<int32_t>(std::atol(argv[2]));
    const auto last = static_cast<int32_t>(std::atol(argv[3]));
    const auto t0 = std::chrono::steady_clock::now();
    x.CreateOutput(argv[4]);
    x.SaveRange(first, last);
    const auto t1 = std::chrono::steady_clock::now();
    std::printf("cut_seconds=%.3f\n", std::chrono::duration<double>(t1 - t0).count());
    if (argc > 5) {
        x.ExtractAudio(argv[5]);
        const auto t2 = std::chrono::steady_clock::now();
        std::printf("extract_audio_seconds=%.3f\n", std::chrono::duration<double>(t2 - t1).count());
    }
    return 0;
}
