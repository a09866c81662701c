// Beeps: onsets and span of loud sound in 5 ms windows.
#include "tests/common/Beeps.h"

#include <cmath>

namespace beeps {
namespace {

constexpr double kWindowSeconds = 0.005;

// Root mean square of each window, as a share of full scale.
std::vector<double> Levels(const int16_t* Samples, size_t Frames, int Channels, int Rate) {
    const size_t window = static_cast<size_t>(Rate * kWindowSeconds);
    std::vector<double> levels;
    for (size_t at = 0; window > 0 && at + window <= Frames; at += window) {
        double sum = 0;
        for (size_t i = at * Channels; i < (at + window) * Channels; ++i)
            sum += double(Samples[i]) * Samples[i];
        levels.push_back(std::sqrt(sum / double(window * Channels)) / 32768.0);
    }
    return levels;
}

} // namespace

std::vector<double> Onsets(const int16_t* Samples, size_t Frames, int Channels, int Rate) {
    const std::vector<double> levels = Levels(Samples, Frames, Channels, Rate);
    std::vector<double> onsets;
    size_t quiet = 0;
    const size_t needQuiet = static_cast<size_t>(0.3 / kWindowSeconds);
    for (size_t i = 0; i < levels.size(); ++i) {
        if (levels[i] < 0.25) {
            ++quiet;
            continue;
        }
        if (quiet >= needQuiet || (onsets.empty() && quiet == i))
            onsets.push_back(double(i) * kWindowSeconds);
        quiet = 0;
    }
    return onsets;
}

double SoundSpan(const int16_t* Samples, size_t Frames, int Channels, int Rate) {
    const std::vector<double> levels = Levels(Samples, Frames, Channels, Rate);
    long first = -1;
    long last = -1;
    for (size_t i = 0; i < levels.size(); ++i)
        if (levels[i] > 0.01) {
            if (first < 0)
                first = long(i);
            last = long(i);
        }
    return first < 0 ? 0.0 : double(last - first + 1) * kWindowSeconds;
}

} // namespace beeps
