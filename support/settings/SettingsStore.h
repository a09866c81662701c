// SettingsStore: the registry - typed keys and values in two hives - behind one small interface,
// the factory of the platform's store, and RegKey, an open key as the program uses it.
#pragma once

#include "support/settings/RegHive.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace reg {

enum class RegRoot {
    CurrentUser,  // HKEY_CURRENT_USER
    LocalMachine, // HKEY_LOCAL_MACHINE
};

const char* RootName(RegRoot root);

// Access masks with the platform's numbers. Only the write rights matter here; the 64-bit view
// flags are accepted and ignored, as there is one view only.
namespace access {
inline constexpr uint32_t kQueryValue = 0x0001;
inline constexpr uint32_t kSetValue = 0x0002;
inline constexpr uint32_t kCreateSubKey = 0x0004;
inline constexpr uint32_t kRead = 0x20019;      // KEY_READ
inline constexpr uint32_t kWrite = 0x20006;     // KEY_WRITE
inline constexpr uint32_t kAllAccess = 0xF003F; // KEY_ALL_ACCESS
inline constexpr uint32_t kWow64_64Key = 0x0100;
inline constexpr uint32_t kWow64_32Key = 0x0200;
} // namespace access

// The store keeps nothing in memory between calls: each call reads what is stored now, and each
// change is stored before the call returns, so two running copies see each other's values.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // Success when the key exists; with create, makes it and its missing parents first.
    virtual RegStatus OpenKey(RegRoot root, const std::string& path, bool create) = 0;
    virtual RegStatus QueryValue(RegRoot root, const std::string& path, const std::string& name,
                                 RegValue& value) = 0;
    // KeyDeleted when the key does not exist (any more).
    virtual RegStatus SetValue(RegRoot root, const std::string& path, const std::string& name,
                               const RegValue& value) = 0;
    virtual RegStatus DeleteValue(RegRoot root, const std::string& path,
                                  const std::string& name) = 0;
    virtual RegStatus DeleteKey(RegRoot root, const std::string& path, DeleteMode mode) = 0;
    virtual RegStatus EnumKeys(RegRoot root, const std::string& path,
                               std::vector<std::string>& names) = 0;
    virtual RegStatus EnumValues(RegRoot root, const std::string& path,
                                 std::vector<RegNamedValue>& values) = 0;
};

// The platform's store. Here: REGEDIT4 hive files, see CreateHiveFileStore.
std::unique_ptr<SettingsStore> CreateSettingsStore();

// A store of two hive files. Every change locks "<hive>.lock", reads the hive again, changes it,
// writes "<hive>.tmp", syncs it and renames it over the hive, so a change by another process is
// never lost and a crash leaves the previous file whole. A hive that cannot be read is renamed to
// "<hive>.broken-<yyyymmdd-hhmmss>" (never over an older one) and the store goes on from an empty
// hive, with a line to the settings log.
struct HiveFiles {
    std::string currentUser; // full path of the HKEY_CURRENT_USER hive file
    std::string localMachine;
    // Tests only: called between syncing the temporary file and renaming it.
    std::function<void()> beforeRename;
};
std::unique_ptr<SettingsStore> CreateHiveFileStore(HiveFiles files);

// Where the platform's store keeps its hives: with CLIPVANE_REGISTRY_DIR set, "user.reg" and
// "machine.reg" in that folder; otherwise $XDG_CONFIG_HOME/Quorlen/registry/user.reg (default
// ~/.config) and /etc/xdg/Quorlen/registry/machine.reg.
HiveFiles DefaultHiveFiles();

// The process's store, made by CreateSettingsStore on first use.
std::shared_ptr<SettingsStore> DefaultSettingsStore();
// Replaces the process's store; nullptr makes it again from the environment on next use.
void SetDefaultSettingsStore(std::shared_ptr<SettingsStore> store);

// The settings code reports trouble (a hive set aside, a value of the wrong type) through this
// hook; the program points it at its log once the log exists. Level as the log's: 0 to 2.
using SettingsLogHook = std::function<void(const std::string& message, int level)>;
void SetSettingsLogHook(SettingsLogHook hook);
void SettingsLog(const std::string& message, int level);
// A change that could not be stored (a read-only or full folder) is logged at level 2 and told
// to this hook as well, so that the program can let the user know.
using SettingsWriteFailureHook = std::function<void(const std::string& message)>;
void SetSettingsWriteFailureHook(SettingsWriteFailureHook hook);
void SettingsWriteFailed(const std::string& message);

// An open key, like a registry handle: opened with an access mask, read and written through the
// store, closed by Close or the destructor. Writes through a key opened without write rights
// fail with AccessDenied.
class RegKey {
public:
    explicit RegKey(RegRoot root, std::shared_ptr<SettingsStore> store = DefaultSettingsStore());

    RegStatus Open(const std::string& path, uint32_t accessMask, bool create);
    void Close();
    bool IsOpen() const { return open_; }
    const std::string& Path() const { return path_; }

    RegStatus Read(const std::string& name, RegValue& value) const;
    // UnsupportedType when the value exists with another type.
    RegStatus ReadString(const std::string& name, std::string& text) const;
    RegStatus ReadDword(const std::string& name, uint32_t& number) const;
    bool ValueExists(const std::string& name) const;

    RegStatus Write(const std::string& name, const RegValue& value);
    RegStatus WriteString(const std::string& name, const std::string& text);
    RegStatus WriteDword(const std::string& name, uint32_t number);
    RegStatus DeleteValue(const std::string& name);

    RegStatus KeyNames(std::vector<std::string>& names) const;
    RegStatus Values(std::vector<RegNamedValue>& values) const;
    RegStatus ValueNames(std::vector<std::string>& names) const;

private:
    RegStatus Writable() const;

    RegRoot root_;
    std::shared_ptr<SettingsStore> store_;
    std::string path_;
    uint32_t access_ = 0;
    bool open_ = false;
};

} // namespace reg
