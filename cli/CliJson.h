// CliJson: what the commands' --json output is made of, for scripts.
#pragma once

#include <string>
#include <string_view>

namespace cli {

// Text as a JSON string, quotes included. Bytes that are not UTF-8 (a file name from an old
// system) become U+FFFD, so that the output is always valid JSON.
std::string JsonString(std::string_view Text);
inline const char* JsonBool(bool Value) {
    return Value ? "true" : "false";
}

} // namespace cli
