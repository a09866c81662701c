// Utf8: encoding code points and UTF-16 text as UTF-8, the one form text takes inside the program.
#pragma once

#include <cstddef>
#include <string>

namespace utf8 {

void Append(std::string& out, char32_t c);

// UTF-16 text up to its first NUL or `capacity` units; a lone surrogate becomes '?'.
std::string FromUtf16(const char16_t* text, size_t capacity);

} // namespace utf8
