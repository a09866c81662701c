// RegHive: one registry hive held in memory, and its REGEDIT4 text form (read and written).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace reg {

// Result codes keep the other platform's numbers, so a log line reads as it would there.
enum class RegStatus : int32_t {
    Success = 0,
    NotFound = 2,           // ERROR_FILE_NOT_FOUND
    AccessDenied = 5,       // ERROR_ACCESS_DENIED
    WriteFault = 29,        // ERROR_WRITE_FAULT
    ReadFault = 30,         // ERROR_READ_FAULT
    InvalidParameter = 87,  // ERROR_INVALID_PARAMETER
    NotEmpty = 145,         // ERROR_DIR_NOT_EMPTY
    KeyDeleted = 1018,      // ERROR_KEY_DELETED
    UnsupportedType = 1630, // ERROR_UNSUPPORTED_TYPE
    QuotaExceeded = 1816,   // ERROR_NOT_ENOUGH_QUOTA
};

// Value types with the platform's numbers. Strings and 32-bit integers are typed; a value of any
// other type (REG_BINARY and the rest) is kept as the bytes it holds, with its type number.
inline constexpr uint32_t kRegString = 1; // REG_SZ
inline constexpr uint32_t kRegBinary = 3; // REG_BINARY
inline constexpr uint32_t kRegDword = 4;  // REG_DWORD

struct RegValue {
    uint32_t type = kRegString;
    std::string text;          // kRegString, UTF-8
    uint32_t number = 0;       // kRegDword
    std::vector<uint8_t> data; // any other type

    static RegValue String(std::string text);
    static RegValue Dword(uint32_t number);
    static RegValue Raw(uint32_t type, std::vector<uint8_t> data);
    bool operator==(const RegValue& other) const = default;
};

using RegNamedValue = std::pair<std::string, RegValue>;

// Bounds that keep a hive file, and anything read from one, small enough to hold in memory.
namespace limits {
inline constexpr size_t kMaxHiveBytes = size_t{16} << 20;
inline constexpr size_t kMaxLineBytes = size_t{4} << 20; // one logical line, continuations joined
inline constexpr size_t kMaxKeys = 100000;
inline constexpr size_t kMaxValues = 400000;
inline constexpr size_t kMaxValuesPerKey = 16384;
inline constexpr size_t kMaxValueBytes = size_t{1} << 20;
inline constexpr size_t kMaxKeyNameBytes = 1020; // 255 UTF-16 units of up to four bytes each
inline constexpr size_t kMaxValueNameBytes = 16383;
inline constexpr size_t kMaxDepth = 512;
} // namespace limits

enum class DeleteMode {
    Tree,    // the key, its values and every subkey
    IfEmpty, // only when the key has neither values nor subkeys
};

// Key paths are names joined by "\" below the hive's root; "" is the root itself. One leading
// and one trailing "\" are ignored. Names are compared without regard to case (CaseFold).
class RegHive {
public:
    explicit RegHive(std::string rootName);
    ~RegHive();
    RegHive(RegHive&&) noexcept;
    RegHive& operator=(RegHive&&) noexcept;

    const std::string& RootName() const { return rootName_; }

    // Splits a path into names; false when a name is empty, too long or holds a control
    // character, or the path is too deep.
    static bool SplitPath(std::string_view path, std::vector<std::string>& names);

    bool KeyExists(std::string_view path) const;
    // Makes the key and any missing parents.
    RegStatus CreateKey(std::string_view path, bool& created);
    // The root itself cannot be deleted; Tree on it is InvalidParameter.
    RegStatus DeleteKey(std::string_view path, DeleteMode mode);

    RegStatus QueryValue(std::string_view path, std::string_view name, RegValue& value) const;
    // The key must exist (KeyDeleted otherwise); changed tells whether anything differs now.
    RegStatus SetValue(std::string_view path, std::string_view name, const RegValue& value,
                       bool& changed);
    RegStatus DeleteValue(std::string_view path, std::string_view name);

    // Subkey names in the platform's order (by upper-cased name); values in the order made.
    RegStatus EnumKeys(std::string_view path, std::vector<std::string>& names) const;
    RegStatus EnumValues(std::string_view path, std::vector<RegNamedValue>& values) const;

    size_t KeyCount() const { return keyCount_; }
    size_t ValueCount() const { return valueCount_; }

    // Whether a value name is acceptable: not too long, no control characters ("" is the
    // key's default value).
    static bool ValidValueName(std::string_view name);
    // Whether a value fits the limits (size, a known layout for its type).
    static bool ValidValue(const RegValue& value);

private:
    struct Node;
    friend class HiveReader;
    friend bool WriteHive(const RegHive& hive, std::string& text);

    Node* Find(std::string_view path) const;
    RegStatus SetValueAt(Node& node, std::string_view name, const RegValue& value, bool& changed);
    RegStatus DeleteValueAt(Node& node, std::string_view name);

    std::string rootName_;
    std::unique_ptr<Node> root_;
    size_t keyCount_ = 0;
    size_t valueCount_ = 0;
    uint64_t nextSeq_ = 0;
};

struct HiveParseError {
    size_t line = 0; // 1-based physical line, 0 for the file as a whole
    std::string reason;
};

// Reads the text of a hive file into hive, which should be empty. An empty or blank text is an
// empty hive. The first line that is neither blank nor a ";" comment must be "REGEDIT4" (or the
// version 5 header); keys must lie under hive.RootName(). Anything else that does not follow the
// format, or exceeds the limits, makes the whole text unreadable: false, with the reason.
bool ParseHive(std::string_view text, RegHive& hive, HiveParseError& error);

// The REGEDIT4 text of a hive: every key in order, strings quoted with "\\" and "\"" escaped
// (strings holding control characters as hex(1)), dword:xxxxxxxx, hex: lists wrapped with "\".
// False when the text would exceed limits::kMaxHiveBytes.
bool WriteHive(const RegHive& hive, std::string& text);

} // namespace reg
