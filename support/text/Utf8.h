// Utf8: encoding code points and UTF-16 text as UTF-8, the one form text takes inside the program.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace utf8 {

void Append(std::string& out, char32_t c);

// UTF-16 text up to its first NUL or `capacity` units; a lone surrogate becomes `invalid`.
std::string FromUtf16(const char16_t* text, size_t capacity, char32_t invalid = U'?');

// The code point of the well-formed UTF-8 sequence at text[pos] (shortest form, no surrogate,
// at most U+10FFFF), moving pos past it; nullopt, pos unchanged, when none starts there.
std::optional<char32_t> Decode(std::string_view text, size_t& pos);

// What a byte that starts no well-formed sequence becomes in ToUtf16.
enum class Invalid { Latin1, Replacement };
// UTF-8 text as UTF-16: the byte as a Latin-1 character (text from old writers that meant it
// so) or U+FFFD.
std::u16string ToUtf16(std::string_view text, Invalid invalid);

} // namespace utf8
