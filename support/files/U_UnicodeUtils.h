// U_UnicodeUtils: the wide-character file layer - file tests and name helpers on UTF-8 names.
#pragma once

#include <string>

// Names are UTF-8 strings handed to the system as they are: Linux file functions take bytes, so
// there is no 8-bit fallback to choose and no long-path prefix to add.
inline constexpr bool UnicodeApiAvailable = true;

// Name exists and is not a folder (symbolic links are followed).
bool WideFileExists(const std::string& Name);
// Name exists and is a folder. There are no drive letters here, so "C:" is an ordinary name.
bool WideDirectoryExists(const std::string& Name);
// Creates one folder (not its parents); true on success.
bool WideCreateDirectory(const std::string& Name);
// Creates Name and its missing parents, each made with Mode (less the umask); true when Name is a
// folder afterwards. On failure errno tells why.
bool WideForceDirectories(const std::string& Name, unsigned Mode = 0777);
// The extension of Name: the text from its last "." when no ":" or "/" follows that point,
// else "". WithoutPoint drops the point itself.
std::string WideExtractFileExt(const std::string& Name, bool WithoutPoint = false);
// Path with a "/" at its end; an empty path stays empty.
std::string WideIncludeTrailingBackslash(const std::string& Path);
