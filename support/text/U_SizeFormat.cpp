// U_SizeFormat: the size formatter.
#include "support/text/U_SizeFormat.h"

#include <cinttypes>
#include <cstdio>
#include <iterator>

std::string FormatSize(int64_t Size) {
    char text[64];
    if (Size < 1024) {
        // "%u" shows a negative size as its unsigned 64-bit pattern; real sizes never are.
        std::snprintf(text, sizeof text, "%-4" PRIu64 " %s", static_cast<uint64_t>(Size), "b.");
        return text;
    }
    static const char* const units[] = {"Kb.", "Mb.", "Gb.", "Tb."};
    double value = static_cast<double>(Size) / 1024.0;
    size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(units)) {
        value /= 1024.0;
        ++unit;
    }
    if (value >= 1000.0) {
        // Truncated, not rounded: 1023.9 kilobytes stay 1023 Kb.
        std::snprintf(text, sizeof text, "%" PRIu64 " %s", static_cast<uint64_t>(value),
                      units[unit]);
        return text;
    }
    // "%g" drops trailing zeros and takes the decimal point from LC_NUMERIC. From 999.5 on, the
    // three digits round to 1000, which "%g" writes in exponent notation ("1e+03").
    std::snprintf(text, sizeof text, "%.3g %s", value, units[unit]);
    return text;
}
