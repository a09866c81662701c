// C_TextStorage: TTextStorage, the translatable message table of a form.
#include "localisation/C_TextStorage.h"

#include <cstdint>
#include <utility>

namespace {

// Bytes outside valid UTF-8 decode to values above the last code point, one per byte, so they
// only ever equal themselves.
constexpr char32_t kInvalidBase = 0x110000;

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

char32_t DecodeNext(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    auto at = [&](std::size_t k) -> unsigned char {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    };
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        length = 1;
        cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF && IsContinuation(at(1))) {
        length = 2;
        cp = static_cast<char32_t>(lead & 0x1F) << 6 | (at(1) & 0x3F);
    } else if (lead >= 0xE0 && lead <= 0xEF && IsContinuation(at(1)) && IsContinuation(at(2)) &&
               !(lead == 0xE0 && at(1) < 0xA0) && !(lead == 0xED && at(1) >= 0xA0)) {
        length = 3;
        cp = static_cast<char32_t>(lead & 0x0F) << 12 | static_cast<char32_t>(at(1) & 0x3F) << 6 |
             (at(2) & 0x3F);
    } else if (lead >= 0xF0 && lead <= 0xF4 && IsContinuation(at(1)) && IsContinuation(at(2)) &&
               IsContinuation(at(3)) && !(lead == 0xF0 && at(1) < 0x90) &&
               !(lead == 0xF4 && at(1) >= 0x90)) {
        length = 4;
        cp = static_cast<char32_t>(lead & 0x07) << 18 | static_cast<char32_t>(at(1) & 0x3F) << 12 |
             static_cast<char32_t>(at(2) & 0x3F) << 6 | (at(3) & 0x3F);
    } else {
        length = 1;
        cp = kInvalidBase + lead;
    }
    i += length;
    return cp;
}

// Simple lower-case mapping of the letters that the Western, Central European, Cyrillic and
// Greek code pages hold; what the other platform's case-insensitive compare covers for them.
char32_t FoldCase(char32_t cp) {
    if (cp >= U'A' && cp <= U'Z')
        return cp + 32;
    if (cp < 0xC0)
        return cp;
    if (cp <= 0xDE)
        return cp == 0xD7 ? cp : cp + 32;
    if (cp >= 0x100 && cp <= 0x17F) {
        if (cp == 0x130)
            return U'i';
        if (cp == 0x178)
            return 0xFF;
        if ((cp <= 0x12F) || (cp >= 0x132 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177))
            return cp | 1;
        if ((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E))
            return (cp & 1) != 0 ? cp + 1 : cp;
        return cp;
    }
    if (cp >= 0x218 && cp <= 0x21B)
        return cp | 1;
    if (cp == 0x386)
        return 0x3AC;
    if (cp >= 0x388 && cp <= 0x38A)
        return cp + 37;
    if (cp == 0x38C)
        return 0x3CC;
    if (cp == 0x38E || cp == 0x38F)
        return cp + 63;
    if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2)
        return cp + 32;
    if (cp == 0x3C2) // final sigma
        return 0x3C3;
    if (cp >= 0x400 && cp <= 0x40F)
        return cp + 80;
    if (cp >= 0x410 && cp <= 0x42F)
        return cp + 32;
    if ((cp >= 0x460 && cp <= 0x481) || (cp >= 0x48A && cp <= 0x4BF))
        return cp | 1;
    return cp;
}

} // namespace

bool SameTextUtf8(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (FoldCase(DecodeNext(a, i)) != FoldCase(DecodeNext(b, j)))
            return false;
    }
    return i == a.size() && j == b.size();
}

TTextStorage::TTextStorage(std::vector<std::string> designTexts) : items_(std::move(designTexts)) {
    Loaded();
}

bool TTextStorage::SetItem(std::size_t index, std::string text) {
    if (index >= items_.size())
        return false;
    items_[index] = std::move(text);
    return true;
}

std::string TTextStorage::Translate(std::string_view key) const {
    for (std::size_t i = 0; i < designTexts_.size(); ++i) {
        if (!SameTextUtf8(designTexts_[i], key))
            continue;
        // Items may have been given fewer lines than the design time had; such a key has no
        // translation.
        if (i >= items_.size() || items_[i] == "unused")
            return std::string(key);
        return items_[i];
    }
    return std::string(key);
}
