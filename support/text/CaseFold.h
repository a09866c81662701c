// CaseFold: the case-blind name comparison of registry keys, value names and INI sections.
#pragma once

#include <string>
#include <string_view>

namespace casefold {

// Upper-cases ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters of a UTF-8 text, the
// ranges in which the other platform's registry and profile files fold names too. Bytes that are
// not valid UTF-8 are kept as they are, so every text has a fold and equal texts fold equal.
std::string Fold(std::string_view text);

// Whether a and b are equal when folded.
bool Equal(std::string_view a, std::string_view b);

} // namespace casefold
