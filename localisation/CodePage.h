// CodePage: 8-bit texts of language files, converted by the code page of a Windows character set.
#pragma once

#include <string>
#include <string_view>

// The Windows code page that texts of a character set are written in: 0 (ANSI), 1 (default)
// and 2 (symbol) are 1252, the Western code page, as is any set not known here.
int CodePageOfCharset(int charset);

// 8-bit text of a character set to UTF-8. Bytes the code page does not define, or a multi-byte
// character cut short, become U+FFFD; no input fails.
std::string DecodeCharsetText(std::string_view bytes, int charset);

// UTF-8 to 8-bit text of a character set. A character the code page lacks, or a byte that is not
// valid UTF-8, becomes '?'; *lossless (when given) tells whether that never happened.
std::string EncodeCharsetText(std::string_view utf8, int charset, bool* lossless = nullptr);
