// C_VersionInfo: locating VS_VERSIONINFO in PE and ELF images, queries on it, TVersionInfo.
#include "support/versioninfo/C_VersionInfo.h"

#include "support/files/ByteOrder.h"
#include "support/text/Utf8.h"
#include "support/versioninfo/ExecutableImage.h"

#include "support/files/U_TobrelUtils.h"
#include "support/files/U_UnicodeUtils.h"
#include "support/text/U_LangNames.h"
#include "support/text/U_NumberText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kFixedInfoSize = 52;

// ---- version blocks ----

size_t Align4(size_t at) {
    return (at + 3) & ~size_t{3};
}

// One node of the version tree: wLength, wValueLength, wType, a NUL-terminated UTF-16 key, then
// the value and the children, each on a 4-byte boundary of the whole block.
struct TNode {
    size_t end = 0; // past the node, never beyond its parent
    size_t keyAt = 0;
    size_t keyUnits = 0;
    size_t valueAt = 0;
    size_t valueEnd = 0;
    size_t childrenAt = 0;
    uint16_t valueLength = 0;
    bool text = false;
};

bool ReadNode(std::span<const uint8_t> b, size_t at, size_t limit, TNode& node) {
    if (at > limit || limit - at < 6)
        return false;
    const uint16_t length = Le16(&b[at]);
    if (length < 6)
        return false;
    node.end = std::min(limit, at + length);
    node.valueLength = Le16(&b[at + 2]);
    node.text = Le16(&b[at + 4]) != 0;
    node.keyAt = at + 6;
    size_t k = node.keyAt;
    while (k + 2 <= node.end && Le16(&b[k]) != 0)
        k += 2;
    if (k + 2 > node.end)
        return false; // key without its terminator
    node.keyUnits = (k - node.keyAt) / 2;
    node.valueAt = std::min(Align4(k + 2), node.end);
    const size_t valueBytes = size_t{node.valueLength} * (node.text ? 2 : 1);
    node.valueEnd = std::min(node.valueAt + valueBytes, node.end);
    node.childrenAt = Align4(node.valueAt + valueBytes);
    return true;
}

char16_t FoldAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

// UTF-16LE text up to its first NUL; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::span<const uint8_t> bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(Le16(&bytes[2 * i]));
    return utf8::FromUtf16(units.data(), units.size(), U'\uFFFD');
}

bool KeyEquals(std::span<const uint8_t> b, const TNode& node, const std::u16string& key) {
    if (node.keyUnits != key.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i)
        if (FoldAscii(static_cast<char16_t>(Le16(&b[node.keyAt + 2 * i]))) != FoldAscii(key[i]))
            return false;
    return true;
}

std::string RemoveParentheses(std::string text) {
    std::erase_if(text, [](char c) { return c == '(' || c == ')'; });
    return text;
}

std::string OwnModuleFileName() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

// Installed as soon as this unit is linked in.
const bool readerInstalled = (InstallFileVersionReader(), true);

} // namespace

std::vector<uint8_t> ExtractVersionResource(std::span<const uint8_t> Image) {
    return VersionBlockOfImage(Image);
}

std::vector<uint8_t> ReadVersionResource(const std::string& FileName) {
    return VersionBlockOfFile(FileName);
}

bool QueryVersionValue(std::span<const uint8_t> Block, std::string_view SubBlock,
                       TVersionValue& Value) {
    TNode node;
    if (!ReadNode(Block, 0, Block.size(), node))
        return false;
    size_t at = 0;
    while (at < SubBlock.size()) {
        size_t slash = SubBlock.find('\\', at);
        if (slash == std::string_view::npos)
            slash = SubBlock.size();
        if (slash == at) {
            ++at;
            continue;
        }
        const std::u16string key =
            utf8::ToUtf16(SubBlock.substr(at, slash - at), utf8::Invalid::Replacement);
        bool found = false;
        // Every child is at least 8 bytes long with its padding, so this walk ends.
        for (size_t child = node.childrenAt; child < node.end;) {
            TNode c;
            if (!ReadNode(Block, child, node.end, c))
                break;
            if (KeyEquals(Block, c, key)) {
                node = c;
                found = true;
                break;
            }
            child = Align4(child + Le16(&Block[child]));
        }
        if (!found)
            return false;
        at = slash;
    }
    Value.Data = Block.subspan(node.valueAt, node.valueEnd - node.valueAt);
    Value.Length = node.valueLength;
    Value.IsText = node.text;
    return true;
}

TVersionFacts ParseVersionInfo(std::span<const uint8_t> Block) {
    TVersionFacts f;
    TVersionValue v;
    if (!QueryVersionValue(Block, "\\VarFileInfo\\Translation", v) || v.Data.size() < 4)
        return f;
    f.TranslationValue = static_cast<int32_t>(Le32(v.Data.data()));
    f.LanguageCount = static_cast<int32_t>(v.Length / 4);
    const auto translation = static_cast<uint32_t>(f.TranslationValue);
    f.LanguageName = LanguageNameOf(static_cast<uint16_t>(translation & 0xFFFF));
    char prefix[40];
    std::snprintf(prefix, sizeof prefix, "StringFileInfo\\%.4x%.4x\\", translation & 0xFFFF,
                  translation >> 16);
    f.StringPrefix = prefix;

    // The platform hands out the fixed part without checking its size; here a short one counts
    // as missing rather than being read past its end.
    if (!QueryVersionValue(Block, "\\", v) || v.Data.size() < kFixedInfoSize)
        return f;
    const uint8_t* fixed = v.Data.data();
    auto dword = [fixed](int index) { return static_cast<int32_t>(Le32(fixed + 4 * index)); };
    f.FileMajorVersion = dword(2);
    f.FileMinorVersion = dword(3);
    f.ProductMajorVersion = dword(4);
    f.ProductMinorVersion = dword(5);
    f.FileFlagsMask = dword(6);
    f.FileFlags = dword(7);
    f.FileOS = dword(8);
    f.FileType = dword(9);
    f.FileSubtype = dword(10);
    const uint32_t dateMS = Le32(fixed + 44);
    const uint32_t dateLS = Le32(fixed + 48);
    f.FileDate = static_cast<int32_t>((dateMS & 0xFFFF) | (dateLS & 0xFFFF) << 16);

    auto text = [&](const char* name, std::string& out) {
        TVersionValue s;
        if (QueryVersionValue(Block, f.StringPrefix + name, s) && s.Length != 0)
            out = Utf16ToUtf8(s.Data);
        else
            out.clear();
    };
    text("Comments", f.Comments);
    text("CompanyName", f.CompanyName);
    text("FileDescription", f.FileDescription);
    text("FileVersion", f.FileVersion);
    f.FileVersion = RemoveParentheses(f.FileVersion);
    f.FileVersionFloat = VersionFloat(f.FileVersion);
    text("InternalName", f.InternalName);
    text("LegalCopyright", f.LegalCopyright);
    text("LegalTrademarks", f.LegalTrademark);
    text("OriginalFilename", f.OriginalFilename);
    text("ProductName", f.ProductName);
    text("ProductVersion", f.ProductVersion);
    f.ProductVersion = RemoveParentheses(f.ProductVersion);
    f.ProductVersionFloat = VersionFloat(f.ProductVersion);
    f.Loaded = true;
    return f;
}

int32_t FileVersionIntOf(const std::string& FileVersion) {
    uint32_t numbers[4] = {0, 0, 0, 0};
    int completed = 0;
    std::string digits;
    for (size_t i = 0; i < FileVersion.size() && completed < 5; ++i) {
        const char c = FileVersion[i];
        if (c >= '0' && c <= '9')
            digits += c;
        if (c == '.' || c == ',' || i + 1 == FileVersion.size()) {
            // A run of digits too long for an integer counts as 0.
            const int32_t n = StrToIntDef(digits.empty() ? "0" : digits, 0);
            if (completed < 4)
                numbers[completed] = static_cast<uint32_t>(n);
            ++completed;
            digits.clear();
        }
    }
    return static_cast<int32_t>((numbers[0] & 255) << 24 | (numbers[1] & 255) << 16 |
                                (numbers[2] & 63) << 10 | (numbers[3] & 1023));
}

double VersionFloat(const std::string& Text, char DecimalSeparator) {
    if (Text.empty())
        return 0;
    double value = 0;
    const bool whole = TryStrToFloat(Text, value, '.');
    std::string s = Text;
    if (const size_t comma = s.find(','); comma != std::string::npos)
        s[comma] = '.';
    if (whole)
        return value;
    // P counts from 1 as the runtime's strings do; 0 means no point.
    const size_t point = s.find('.');
    const size_t p = point == std::string::npos ? 0 : point + 1;
    if (p > 0)
        s[p - 1] = DecimalSeparator;
    if (p == s.size())
        s += '0';
    auto dropped = [](char c) {
        return c == ' ' || c == ',' || c == '.' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    // P stays where it was while characters before it go, so the protected place may end up
    // holding another character than the separator: that is how the rule reads texts.
    for (size_t i = 0; i < s.size();) {
        if (i + 1 != p && dropped(s[i]))
            s.erase(i, 1);
        else
            ++i;
    }
    return TryStrToFloat(s, value, DecimalSeparator) ? value : 0;
}

double VersionFloat(const std::string& Text) {
    return VersionFloat(Text, UserDecimalSeparator());
}

bool ReadFixedFileVersion(const std::string& FileName, uint32_t& VersionMS, uint32_t& VersionLS) {
    const std::vector<uint8_t> block = ReadVersionResource(FileName);
    TVersionValue v;
    if (block.empty() || !QueryVersionValue(block, "\\", v) || v.Data.size() < kFixedInfoSize)
        return false;
    VersionMS = Le32(v.Data.data() + 8);
    VersionLS = Le32(v.Data.data() + 12);
    return true;
}

void InstallFileVersionReader() {
    SetFileVersionReader(&ReadFixedFileVersion);
}

// ---- TCustomversion_Info ----

TCustomversion_Info::TCustomversion_Info() : fileName_(OwnModuleFileName()) {
    (void)readerInstalled;
}

void TCustomversion_Info::SetFileName(const std::string& Value) {
    if (!WideFileExists(Value))
        return;
    fileName_ = Value;
    ClearInfo();
}

void TCustomversion_Info::UseOwnModule() {
    SetFileName(OwnModuleFileName());
}

void TCustomversion_Info::ClearInfo() {
    facts_ = TVersionFacts();
    buffer_.clear();
    buffer_.shrink_to_fit();
}

void TCustomversion_Info::LoadInfo() {
    facts_.Loaded = false;
    if (!WideFileExists(fileName_))
        return;
    buffer_ = ReadVersionResource(fileName_);
    if (buffer_.empty())
        return;
    facts_ = ParseVersionInfo(buffer_);
}

const TVersionFacts& TCustomversion_Info::Facts() {
    if (!facts_.Loaded)
        LoadInfo();
    return facts_;
}

std::string TCustomversion_Info::Comments() {
    return Facts().Comments;
}
std::string TCustomversion_Info::CompanyName() {
    return Facts().CompanyName;
}
std::string TCustomversion_Info::FileDescription() {
    return Facts().FileDescription;
}
double TCustomversion_Info::FileDate() {
    return Facts().FileDate;
}
int32_t TCustomversion_Info::FileFlags() {
    return Facts().FileFlags;
}
int32_t TCustomversion_Info::FileFlagsMask() {
    return Facts().FileFlagsMask;
}
int32_t TCustomversion_Info::FileMajorVersion() {
    return Facts().FileMajorVersion;
}
int32_t TCustomversion_Info::FileMinorVersion() {
    return Facts().FileMinorVersion;
}
int32_t TCustomversion_Info::FileOS() {
    return Facts().FileOS;
}
int32_t TCustomversion_Info::FileType() {
    return Facts().FileType;
}
int32_t TCustomversion_Info::FileSubtype() {
    return Facts().FileSubtype;
}
std::string TCustomversion_Info::FileVersion() {
    return Facts().FileVersion;
}
double TCustomversion_Info::FileVersionFloat() {
    return Facts().FileVersionFloat;
}
int32_t TCustomversion_Info::FileVersionInt() {
    return FileVersionIntOf(Facts().FileVersion);
}
std::string TCustomversion_Info::InternalName() {
    return Facts().InternalName;
}
int32_t TCustomversion_Info::LanguageCount() {
    return Facts().LanguageCount;
}
std::string TCustomversion_Info::LanguageName() {
    return Facts().LanguageName;
}
std::string TCustomversion_Info::LegalCopyright() {
    return Facts().LegalCopyright;
}
std::string TCustomversion_Info::LegalTrademark() {
    return Facts().LegalTrademark;
}
std::string TCustomversion_Info::OriginalFilename() {
    return Facts().OriginalFilename;
}
int32_t TCustomversion_Info::ProductMajorVersion() {
    return Facts().ProductMajorVersion;
}
int32_t TCustomversion_Info::ProductMinorVersion() {
    return Facts().ProductMinorVersion;
}
std::string TCustomversion_Info::ProductName() {
    return Facts().ProductName;
}
std::string TCustomversion_Info::ProductVersion() {
    return Facts().ProductVersion;
}
double TCustomversion_Info::ProductVersionFloat() {
    return Facts().ProductVersionFloat;
}
int32_t TCustomversion_Info::TranslationValue() {
    return Facts().TranslationValue;
}
bool TCustomversion_Info::InfoLoaded() {
    return Facts().Loaded;
}

// ---- TVersionInfo ----

TVersionInfo::TVersionInfo() {
    fileName_.clear();
    ClearInfo();
}
