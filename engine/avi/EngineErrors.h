// EngineErrors: the two kinds of error the engine raises. EAssertionFailed when an AVIFile
// operation fails, with a fixed English text and the result code; EFileError when the file
// system refuses a file the engine opens, creates or writes itself, with the errno it gave.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <system_error>

// what() is the fixed text; SystemError() the errno behind it when the system gave one (a
// missing file, a full disk), so that a caller can add the cause in the system's words; Result()
// the operation's result code (0 when none was given).
class EAssertionFailed : public std::runtime_error {
public:
    explicit EAssertionFailed(const std::string& Text, int SystemError = 0, int32_t Result = 0)
        : std::runtime_error(Text), systemError_(SystemError), result_(Result) {}
    int SystemError() const { return systemError_; }
    int32_t Result() const { return result_; }

private:
    int systemError_;
    int32_t result_;
};

// "FileOpen failed. Err: $8004406F": the fixed English text, then the result code as eight
// upper-case hex digits. Callers log and match on this text, so its shape must not change.
inline std::string AviErrorText(const std::string& What, int32_t Result) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<uint32_t>(Result));
    return What + " failed. Err: $" + hex;
}

[[noreturn]] inline void RaiseAviError(const std::string& What, int32_t Result,
                                       int SystemError = 0) {
    throw EAssertionFailed(AviErrorText(What, Result), SystemError, Result);
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

// The error's text with the cause in the system's words where there is one: "FileOpen failed.
// Err: $8004406F (No such file or directory)". EFileError already says it in its text.
inline std::string DescribeError(const std::exception& Error) {
    if (const auto* avi = dynamic_cast<const EAssertionFailed*>(&Error); avi && avi->SystemError())
        return std::string(avi->what()) + " (" +
               std::generic_category().message(avi->SystemError()) + ")";
    return Error.what();
}
