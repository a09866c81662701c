// U_TobrelUtils: file facts (size, name, version) and small text helpers shared by every subsystem.
#pragma once

#include <cstdint>
#include <string>

// File names are UTF-8 strings; the separator is "/".

// Size of a file in bytes; 0 when it does not exist or is not a regular file (a folder has no
// size of its own on the other platform either).
uint64_t FileSize64(const std::string& FileName);

// The file name part of Path, cut before its last ".": "a/b.tar.gz" gives "b.tar", "a/b" gives
// "b", "a/.profile" gives "".
std::string FileNameNoExt(const std::string& Path);

// Reads the fixed file version of a file's version information: the most and least significant
// double words (VS_FIXEDFILEINFO's dwFileVersionMS and dwFileVersionLS). Returns false when the
// file carries no version information.
using TFileVersionReader = bool (*)(const std::string& FileName, uint32_t& VersionMS,
                                    uint32_t& VersionLS);

// Installs the version reader FileVersionText uses (the version resource reader installs itself
// here). nullptr removes it. Returns the reader that was installed before.
TFileVersionReader SetFileVersionReader(TFileVersionReader Reader);

// "File not found" when the file does not exist; otherwise its file version as four decimal
// numbers joined by "." ("2.9.1.69"), or "" when it has no version information or no reader is
// installed.
std::string FileVersionText(const std::string& FileName);

// Query-value encoding, byte by byte: letters, digits, "-", "." and "_" stay, a blank becomes
// "%20", every other byte "%XX" in upper-case hex. Multi-byte UTF-8 characters are encoded one
// byte at a time, as the other platform does with its 8-bit code page.
std::string UrlEncode(const std::string& Text);

// The maker's page that offers the XOL burning and conversion programs.
std::string PartnerPageUrl();

// Texts are 8-bit strings: N counts bytes. N below 0 counts as 0, beyond the length as the length.
std::string LeftText(const std::string& Text, int N);
std::string RightText(const std::string& Text, int N);

// The comparisons below ignore the case of ASCII letters only, which leaves UTF-8 sequences intact.
bool StartsText(const std::string& Text, const std::string& Prefix);
// Whether Haystack contains Needle; an empty Needle is contained in every text.
bool ContainsText(const std::string& Needle, const std::string& Haystack);
// Text without Prefix when it starts with it; otherwise Text unchanged.
std::string RemovePrefix(const std::string& Text, const std::string& Prefix);
// 0 for an empty Text, else 1 + the number of its bytes that occur in Separators.
int CountFields(const std::string& Text, const std::string& Separators);

// "m:ss" below one hour, "h:mm:ss" from one hour on.
std::string FormatDuration(int64_t Seconds);
