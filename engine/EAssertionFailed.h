// EAssertionFailed: the error the engine raises when an AVIFile operation fails.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

class EAssertionFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "FileOpen failed. Err: $8004406F": the fixed English text, then the result code as eight
// upper-case hex digits. Callers log and match on this text, so its shape must not change.
inline std::string AviErrorText(const std::string& What, int32_t Result) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<uint32_t>(Result));
    return What + " failed. Err: $" + hex;
}

[[noreturn]] inline void RaiseAviError(const std::string& What, int32_t Result) {
    throw EAssertionFailed(AviErrorText(What, Result));
}
