// CliJson: JSON strings.
#include "cli/CliJson.h"

#include "support/text/Utf8.h"

#include <cstdio>

namespace cli {

std::string JsonString(std::string_view Text) {
    std::string out = "\"";
    for (size_t pos = 0; pos < Text.size();) {
        const std::optional<char32_t> c = utf8::Decode(Text, pos);
        if (!c) {
            ++pos;
            utf8::Append(out, U'\uFFFD');
            continue;
        }
        if (*c == U'"' || *c == U'\\') {
            out += '\\';
            out += static_cast<char>(*c);
        } else if (*c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(*c));
            out += escape;
        } else {
            utf8::Append(out, *c);
        }
    }
    return out + '"';
}

} // namespace cli
