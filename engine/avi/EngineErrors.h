// EngineErrors: the two kinds of error the engine raises. EAssertionFailed when an AVIFile
// operation fails, with a fixed English text and the result code; EFileError when the file
// system refuses a file the engine opens, creates or writes itself, with the errno it gave.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <system_error>

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

// A std::system_error, so callers that show the system's words ("No such file or directory")
// find them in code().message() and what().
class EFileError : public std::system_error {
public:
    EFileError(int Errno, const std::string& What)
        : std::system_error(Errno, std::generic_category(), What) {}
};

// What is "Cannot open NAME", "Cannot create NAME", ...
[[noreturn]] inline void RaiseFileError(int Errno, const std::string& What) {
    throw EFileError(Errno, What);
}
