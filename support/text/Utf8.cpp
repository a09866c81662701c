// Utf8: UTF-8 encoding of code points and of UTF-16 text.
#include "support/text/Utf8.h"

namespace utf8 {

void Append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string FromUtf16(const char16_t* text, size_t capacity, char32_t invalid) {
    std::string out;
    for (size_t i = 0; i < capacity && text[i] != 0; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < capacity && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = invalid;
        }
        Append(out, c);
    }
    return out;
}

std::optional<char32_t> Decode(std::string_view text, size_t& pos) {
    if (pos >= text.size())
        return std::nullopt;
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (length == 0 || text.size() - pos < length)
        return std::nullopt;
    char32_t cp = lead & (0xFFu >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
        const auto cc = static_cast<unsigned char>(text[pos + k]);
        if ((cc & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (cc & 0x3Fu);
    }
    const char32_t shortest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (cp < shortest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    pos += length;
    return cp;
}

std::u16string ToUtf16(std::string_view text, Invalid invalid) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        if (const std::optional<char32_t> decoded = Decode(text, i)) {
            cp = *decoded;
        } else {
            cp = invalid == Invalid::Latin1 ? static_cast<unsigned char>(text[i]) : 0xFFFD;
            ++i;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

} // namespace utf8
