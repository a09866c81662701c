// IniFile: private profile (INI) files, read and written by the other platform's rules, so that a
// "settings.ini" written there reads the same here and the other way round.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ini {

namespace limits {
inline constexpr size_t kMaxIniBytes = size_t{4} << 20;
inline constexpr size_t kMaxIniLines = 100000;
} // namespace limits

// The rules, those of GetPrivateProfileString, GetPrivateProfileInt and
// WritePrivateProfileString:
// - "[name]" opens a section (the text up to the last "]", trimmed); "name=value" is an entry,
//   name and value trimmed of blanks; a line starting with ";" is a comment; a line without
//   "=" is a name without a value; a line without a name is ignored, as are entries before the
//   first section.
// - Sections and names are matched without regard to case; the first matching section and, in
//   it, the first matching name count.
// - A value enclosed in a pair of single or double quotation marks is read without them.
// - A write replaces the value of the line in place, or adds "name=value" after the section's
//   last line, or adds the section (after a blank line) at the end of the file.
class IniDocument {
public:
    // Takes the bytes of a file: UTF-8 with or without a byte order mark, 8-bit text (kept as
    // bytes), or UTF-16 with a byte order mark (held as UTF-8 and written back as UTF-16). Line
    // ends are CR LF or LF; writes keep the file's kind. False, with an empty document, when the
    // bytes exceed the limits.
    static bool Parse(std::string_view bytes, IniDocument& doc);
    // The file's bytes; each line ends with the document's line end.
    std::string Serialise() const;

    // GetPrivateProfileString: the value, or fallback when the section or name is missing. A name
    // present without "=" reads as fallback too.
    std::string ReadString(std::string_view section, std::string_view name,
                           std::string_view fallback) const;
    // GetPrivateProfileInt: ProfileIntFromText of the value; fallback when it is missing or
    // empty.
    uint32_t ReadInteger(std::string_view section, std::string_view name, int32_t fallback) const;
    // The names of a section in file order, each once; the section names of the file.
    std::vector<std::string> SectionNames(std::string_view section) const;
    std::vector<std::string> Sections() const;

    // WritePrivateProfileString. False, with the document unchanged, for a name or section that
    // the file could not hold (empty, with a line break or NUL, a name with "=" or starting with
    // ";" or "["), or a value with a line break or NUL. Leading blanks of the value are dropped,
    // as there. changed tells whether the text differs now.
    bool WriteString(std::string_view section, std::string_view name, std::string_view value,
                     bool& changed);
    // Removes the first matching entry, or the whole first matching section with its lines.
    bool DeleteKey(std::string_view section, std::string_view name, bool& changed);
    bool EraseSection(std::string_view section, bool& changed);

private:
    enum class Encoding { Bytes, Utf8Bom, Utf16Le, Utf16Be };

    // Index of the first line of the first matching section's header, or npos.
    size_t FindSection(std::string_view section) const;
    // The first entry of the section starting at header; npos when there is none.
    size_t FindEntry(size_t header, std::string_view name) const;
    size_t SectionEnd(size_t header) const;

    std::vector<std::string> lines_;
    std::string eol_ = "\r\n";
    Encoding encoding_ = Encoding::Bytes;
};

// The number in a profile value as GetPrivateProfileInt reads it (RtlUnicodeStringToInteger with
// base 0): leading blanks and control characters skipped, one optional "+" or "-", then "0x"
// (hexadecimal), "0o" (octal) or "0b" (binary) or else decimal digits, read up to the first
// character that is not a digit of the base, wrapping modulo 2^32; no digits give 0. So "12abc"
// gives 12, "abc" 0, "-1" 0xFFFFFFFF, "0x1F" 31.
uint32_t ProfileIntFromText(std::string_view text);

// The value text as GetPrivateProfileString returns it from a raw entry value: trimmed, and
// without a pair of enclosing quotation marks.
std::string ProfileValue(std::string_view raw);

// An INI file by its path, without any cache: every read reads the file, every write reads it,
// changes it and replaces it at once (temporary file, sync, rename). A missing file reads as
// empty and is created by the first write (its folder must exist). A file over the limits reads
// as empty and is never written. A file without write permission, or marked read-only, is not
// written either.
class IniFile {
public:
    explicit IniFile(std::string fileName);
    const std::string& FileName() const { return fileName_; }

    std::string ReadString(std::string_view section, std::string_view name,
                           std::string_view fallback) const;
    uint32_t ReadInteger(std::string_view section, std::string_view name, int32_t fallback) const;
    std::vector<std::string> ReadSection(std::string_view section) const;
    std::vector<std::string> ReadSections() const;

    // True once the value is in the file.
    bool WriteString(std::string_view section, std::string_view name, std::string_view value);
    bool DeleteKey(std::string_view section, std::string_view name);
    bool EraseSection(std::string_view section);

private:
    bool Load(IniDocument& doc) const;
    template <typename Change> bool Modify(Change change);

    std::string fileName_;
};

} // namespace ini
