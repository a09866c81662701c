// VideoFormat: a video stream's whole format - its bitmap header and the codec data after it.
#pragma once

#include "engine/avi/VFW.h"

#include <cstdint>
#include <vector>

// The format of Video when it holds at least a bitmap header and at most MaxBytes; empty
// otherwise (no format, unreadable, or larger than a caller wants to hold).
std::vector<uint8_t> ReadVideoFormat(PAVISTREAM Video, LONG MaxBytes);
