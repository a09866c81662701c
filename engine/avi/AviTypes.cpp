// AviTypes: four-character codes as text.
#include "engine/avi/AviTypes.h"

std::string FourCCToString(FOURCC code) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<char>((code >> (8 * i)) & 0xFF);
        if (c == 0)
            break;
        text += (c >= 0x20 && c <= 0x7E) ? c : '?';
    }
    return text;
}
