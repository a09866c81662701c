// U_SizeFormat: file sizes as short texts for the user ("12   b.", "1.5 Mb.", "1023 Kb.").
#pragma once

#include <cstdint>
#include <string>

// Below 1024 bytes: the byte count left-aligned in four places and "b."; otherwise kilo-, mega-,
// giga- or terabytes: whole units from 1000 on, else three significant digits with the decimal
// point of the C library's numeric locale (the user's, once the program has set it).
std::string FormatSize(int64_t Size);
