// LangFile: a language file as plain data - header and component entries - read and written with
// the record store, for tools that convert, dump and build translations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace langfile {

inline constexpr const char* kSignature = "XOL LANGUAGE FILE";

// Value tags: kind in bits 0-3, ShowHint in bit 4, translated in bit 5.
inline constexpr int32_t kKindText = 1;
inline constexpr int32_t kKindHint = 2;
inline constexpr int32_t kKindList = 3;
inline constexpr int32_t kShowHintBit = 0x10;
inline constexpr int32_t kTranslatedBit = 0x20;

// Texts are the file's own 8-bit bytes; decoding them is up to the caller (see CodePage.h).
struct Value {
    int32_t tag = 0;
    std::string data;
    bool Present() const { return !(tag == 0 && data.empty()); }
    bool Translated() const { return tag > 0 && (tag & kTranslatedBit) != 0; }
};

struct Entry {
    std::string path;
    int32_t nameTag = 0;   // 0x210 + values present, as written; revision 0: the entry kind
    int32_t alignment = 0; // revisions 3 and 4
    Value text;
    Value hint;
    Value list;
};

struct LangFileData {
    uint16_t langId = 0;
    uint16_t revision = 4;
    std::string langName;
    std::string localCaption;
    std::string remark;
    std::string notes; // text list as stored: lines each ending in CR LF
    std::string flag;  // a whole BMP file, or empty
    uint32_t appVersion = 0;
    uint8_t extraFlag = 0;
    std::string extraText1;
    std::string extraText2;
    std::string imeName;
    std::string fontName;
    uint8_t charset = 1;
    int32_t minFontSize = 8;
    std::vector<Entry> entries;
};

// Reads a whole file. False with a reason when it is missing, is not a language file, holds
// fewer than 6 records or has a revision above 4.
bool Read(const std::string& path, LangFileData& data, std::string& error);
// Erases path and writes a revision-4 file of data (whatever data.revision says).
bool Write(const std::string& path, const LangFileData& data, std::string& error);

// Splits a text list at CR LF, lone CR or lone LF; a final line break adds no empty line.
std::vector<std::string> SplitLines(const std::string& text);
// Joins lines, each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// "1.2.3.5" for 0x01020C05: major 8 bits, minor 8, release 6, build 10.
std::string PackedVersionText(uint32_t packed);
// The reverse; false unless text is four numbers within those widths.
bool ParsePackedVersion(const std::string& text, uint32_t& packed);

} // namespace langfile
