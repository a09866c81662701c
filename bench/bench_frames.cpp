// bench_frames: stepping forward through frames with GetFrameBitmap, and one random frame.
#include "engine/decode/BgraImage.h"
#include "engine/jobs/U_AVIExtractor.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: bench_frames FILE FIRST COUNT RANDOMFRAME\n");
        return 2;
    }
    const auto first = static_cast<int32_t>(std::atol(argv[2]));
    const auto count = static_cast<int32_t>(std::atol(argv[3]));
    const auto random = static_cast<int32_t>(std::atol(argv[4]));
    TFrameBitmap bitmap;
    {
        TAVIExtractor x;
        x.Open(argv[1]);
        const auto t0 = std::chrono::steady_clock::now();
        for (int32_t i = first; i < first + count; ++i) {
            if (!x.GetFrameBitmap(bitmap, i)) {
                std::fprintf(stderr, "frame %d failed\n", i);
                return 1;
            }
        }
        const auto t1 = std::chrono::steady_clock::now();
        std::printf("step_%d_frames_seconds=%.4f\n", count,
                    std::chrono::duration<double>(t1 - t0).count());
    }
    TAVIExtractor y;
    const auto t2 = std::chrono::steady_clock::now();
    y.Open(argv[1]);
    const bool ok = y.GetFrameBitmap(bitmap, random);
    const auto t3 = std::chrono::steady_clock::now();
    std::printf("random_frame_%d_seconds=%.4f%s\n", random,
                std::chrono::duration<double>(t3 - t2).count(), ok ? "" : " (failed)");
    return 0;
}
