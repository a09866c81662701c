// C_VersionInfo: the version resource (VS_VERSIONINFO) of PE files and of our own ELF programs.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Locating the version block. Both read outside data: every offset and size is checked against
// what the image really holds, so garbage gives an empty result, never a crash.
//
// A PE file (.exe, .dll) keeps the block in its resource tree: type RT_VERSION (16), name 1 (else
// the first name), first language. Our ELF programs carry the same bytes in the section
// ".rsrc_version" that the build adds to them. The result is empty when there is none.
std::vector<uint8_t> ExtractVersionResource(std::span<const uint8_t> Image);
// The same for a file, read piece by piece; a missing file or one that is not a regular file
// has none.
std::vector<uint8_t> ReadVersionResource(const std::string& FileName);

// A value found in a version block.
struct TVersionValue {
    std::span<const uint8_t> Data; // the bytes of the value that the block really holds
    uint32_t Length = 0;           // as the platform reports it: characters for a text value,
                                   // bytes for a binary one
    bool IsText = false;
};

// Looks SubBlock up in a version block as the platform's VerQueryValue does: "\" is the root
// (the fixed part), "\VarFileInfo\Translation" the translation table,
// "StringFileInfo\040904b0\CompanyName" a string; keys are compared without ASCII case and
// empty path components are skipped.
bool QueryVersionValue(std::span<const uint8_t> Block, std::string_view SubBlock,
                       TVersionValue& Value);

// Everything TVersionInfo offers, read from one version block.
struct TVersionFacts {
    std::string Comments;
    std::string CompanyName;
    std::string FileDescription;
    double FileDate = 0; // days since 1899-12-30, the platform's date-time
    int32_t FileFlags = 0;
    int32_t FileFlagsMask = 0;
    int32_t FileMajorVersion = 0;
    int32_t FileMinorVersion = 0;
    int32_t FileOS = 0;
    int32_t FileType = 0;
    int32_t FileSubtype = 0;
    std::string FileVersion;
    double FileVersionFloat = 0;
    std::string InternalName;
    int32_t LanguageCount = 0;
    std::string LanguageName;
    std::string LegalCopyright;
    std::string LegalTrademark;
    std::string OriginalFilename;
    int32_t ProductMajorVersion = 0;
    int32_t ProductMinorVersion = 0;
    std::string ProductName;
    std::string ProductVersion;
    double ProductVersionFloat = 0;
    int32_t TranslationValue = 0;
    std::string StringPrefix; // "StringFileInfo\040904b0\" of the first translation
    bool Loaded = false;      // false when the reading stopped early
};

// Reads the first translation, the fixed part and the ten standard strings in this order,
// stopping (Loaded false) at a missing translation table or fixed part; what was read before
// the stop is kept. Texts are UTF-8.
TVersionFacts ParseVersionInfo(std::span<const uint8_t> Block);

// The file version packed into 32 bits from its text: the first four numbers (digits between
// "." or ","; other characters are skipped) in 8, 8, 6 and 10 bits.
int32_t FileVersionIntOf(const std::string& FileVersion);
// A version text as a number ("2.9.1.69" gives 2.9169): read whole if it is a number with "."
// as the decimal point, else with the first "." or "," as the decimal point and every blank,
// further point, comma and letter dropped; 0 when nothing is left that reads as a number.
double VersionFloat(const std::string& Text, char DecimalSeparator);
// The same with the user's decimal separator.
double VersionFloat(const std::string& Text);

// The fixed file version of a file (dwFileVersionMS, dwFileVersionLS); false when the file has
// no version resource. This is the reader FileVersionText uses.
bool ReadFixedFileVersion(const std::string& FileName, uint32_t& VersionMS, uint32_t& VersionLS);
// Makes FileVersionText use ReadFixedFileVersion. Linking this unit installs it already; a
// program that uses FileVersionText but nothing of this unit calls this once in main(), since
// the linker leaves unreferenced objects of a static library out.
void InstallFileVersionReader();

// The version resource of one file, read when a property is first asked for.
class TCustomversion_Info {
public:
    // Starts with the running executable as the file.
    TCustomversion_Info();
    TCustomversion_Info(const TCustomversion_Info&) = delete;
    TCustomversion_Info& operator=(const TCustomversion_Info&) = delete;

    const std::string& FileName() const { return fileName_; }
    // Takes Value only when such a file exists (and clears what was read); otherwise nothing
    // changes.
    void SetFileName(const std::string& Value);
    // SetFileName with the running program's own file.
    void UseOwnModule();
    // Empties every value and drops the buffer; the file stays.
    void ClearInfo();

    std::string Comments();
    std::string CompanyName();
    std::string FileDescription();
    double FileDate();
    int32_t FileFlags();
    int32_t FileFlagsMask();
    // The whole most significant double word (major << 16 | minor).
    int32_t FileMajorVersion();
    int32_t FileMinorVersion();
    int32_t FileOS();
    int32_t FileType();
    int32_t FileSubtype();
    // "(" and ")" removed.
    std::string FileVersion();
    double FileVersionFloat();
    int32_t FileVersionInt();
    std::string InternalName();
    int32_t LanguageCount();
    std::string LanguageName();
    std::string LegalCopyright();
    std::string LegalTrademark();
    std::string OriginalFilename();
    int32_t ProductMajorVersion();
    int32_t ProductMinorVersion();
    std::string ProductName();
    std::string ProductVersion();
    double ProductVersionFloat();
    // Language identifier in the low word, code page in the high word.
    int32_t TranslationValue();
    bool InfoLoaded();

protected:
    std::string fileName_;

private:
    // Reads the file when it has not been read completely yet.
    const TVersionFacts& Facts();
    void LoadInfo();

    TVersionFacts facts_;
    std::vector<uint8_t> buffer_;
};

// The version reader proper: starts without a file.
class TVersionInfo : public TCustomversion_Info {
public:
    TVersionInfo();
};
