// bench_steps: stepping forward and backward one frame at a time in the middle of a group of
// pictures, as the window's preview does (GetFrameBitmap), with the default picture cache.
#include "engine/decode/BgraImage.h"
#include "engine/jobs/U_AVIExtractor.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double MsOf(TAVIExtractor& x, TFrameBitmap& bitmap, int32_t frame, bool& ok) {
    const auto t0 = std::chrono::steady_clock::now();
    ok = x.GetFrameBitmap(bitmap, frame) && ok;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_steps FILE [STEPS [CACHE_MB]]\n");
        return 2;
    }
    const int32_t steps = argc > 2 ? static_cast<int32_t>(std::atol(argv[2])) : 40;
    TAVIExtractor x;
    if (argc > 3)
        x.PictureCacheBytes = static_cast<size_t>(std::atol(argv[3])) << 20;
    x.Open(argv[1]);
    const std::vector<int32_t> keys = x.KeyFrames();
    // The group of pictures in the middle of the file, long enough for the steps both ways.
    int32_t from = -1;
    int32_t to = -1;
    for (size_t i = keys.size() / 2; i > 0 && from < 0; --i)
        if (keys[i] - keys[i - 1] > 2 * steps + 2) {
            from = keys[i - 1];
            to = keys[i];
        }
    if (from < 0) {
        std::fprintf(stderr, "no group of more than %d frames\n", 2 * steps + 2);
        return 1;
    }
    const int32_t middle = from + (to - from) / 2;
    TFrameBitmap bitmap;
    bool ok = true;
    const double arrive = MsOf(x, bitmap, middle, ok);
    std::vector<double> forward;
    for (int32_t f = middle + 1; f <= middle + steps; ++f)
        forward.push_back(MsOf(x, bitmap, f, ok));
    std::vector<double> backward;
    for (int32_t f = middle + steps - 1; f >= middle - steps; --f)
        backward.push_back(MsOf(x, bitmap, f, ok));
    if (!ok) {
        std::fprintf(stderr, "a frame could not be decoded\n");
        return 1;
    }
    std::printf("group=%d..%d middle=%d picture=%dx%d\n", from, to, middle, bitmap.Width,
                bitmap.Height);
    std::printf("arrive_ms=%.2f\n", arrive);
    std::printf("forward_step_ms_median=%.2f\n", Median(forward));
    std::printf("backward_step_ms_median=%.2f\n", Median(backward));
    std::printf("backward_step_ms_max=%.2f\n", *std::max_element(backward.begin(), backward.end()));
    return 0;
}
