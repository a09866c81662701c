// U_LangNames: English names of Windows language identifiers (LANGIDs), as version resources use
// them.
#pragma once

#include <cstdint>
#include <string>

// The name the platform's VerLanguageName gives a LANGID ("English (United States)" for 0x0409);
// an identifier it does not know is "Language Neutral", as there.
std::string LanguageNameOf(uint16_t LangId);
