// CaseFold: upper-case folding of UTF-8 names for case-blind comparison.
#include "support/text/CaseFold.h"
#include "support/text/Utf8.h"

#include <cstdint>

namespace casefold {

namespace {

char32_t Upper(char32_t c) {
    if (c >= U'a' && c <= U'z')
        return c - 0x20;
    if (c < 0xE0)
        return c;
    // Latin-1: à..þ except the division sign; ÿ has its capital in Latin Extended-A.
    if (c <= 0xFE)
        return c == 0xF7 ? c : c - 0x20;
    if (c == 0xFF)
        return 0x178;
    // Latin Extended-A: pairs capital/small, with the odd stretch 0x139..0x148 and 0x179..0x17E.
    if (c >= 0x100 && c <= 0x17F) {
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c % 2 == 0) ? c - 1 : c;
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        return (c % 2 == 1) ? c - 1 : c;
    }
    // Greek small letters, final sigma folding with sigma.
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return c - 0x20;
    if (c == 0x3C2)
        return 0x3A3;
    // Cyrillic а..я and ѐ..џ.
    if (c >= 0x430 && c <= 0x44F)
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    return c;
}

} // namespace

std::string Fold(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<uint8_t>(text[i]);
        if (b0 < 0x80) {
            out += (b0 >= 'a' && b0 <= 'z') ? static_cast<char>(b0 - 0x20) : static_cast<char>(b0);
            ++i;
            continue;
        }
        // Only two-byte sequences hold letters we fold; everything else is copied byte by byte.
        if ((b0 & 0xE0) == 0xC0 && i + 1 < text.size()) {
            const auto b1 = static_cast<uint8_t>(text[i + 1]);
            const char32_t c = (static_cast<char32_t>(b0 & 0x1F) << 6) | (b1 & 0x3F);
            if ((b1 & 0xC0) == 0x80 && c >= 0x80) {
                utf8::Append(out, Upper(c));
                i += 2;
                continue;
            }
        }
        out += static_cast<char>(b0);
        ++i;
    }
    return out;
}

bool Equal(std::string_view a, std::string_view b) {
    // Folding keeps the byte length (every folded letter stays a two-byte sequence).
    return a.size() == b.size() && Fold(a) == Fold(b);
}

} // namespace casefold
