// Beeps: where loud beeps start in 16-bit PCM, for the tests that check sound arrives in time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace beeps {

// Seconds from the first sample at which the sound rises above a quarter of full scale (in
// 5 ms windows) after at least 0.3 s below it.
std::vector<double> Onsets(const int16_t* Samples, size_t Frames, int Channels, int Rate);
// Seconds of sound above the quiet floor (a hundredth of full scale), first to last window.
double SoundSpan(const int16_t* Samples, size_t Frames, int Channels, int Rate);

} // namespace beeps
