// U_TobrelSettings: the settings operations of unit U_TobrelUtils on the settings store.
#include "support/settings/U_TobrelSettings.h"

#include "support/files/U_TobrelUtils.h"
#include "support/platform/U_SystemFacts.h"
#include "support/settings/IniFile.h"
#include "support/settings/SettingsStore.h"

using reg::RegKey;
using reg::RegRoot;
using reg::RegStatus;

namespace {

std::string AppKeyOf(const std::string& AppName) {
    return std::string(kMakerKey) + "\\" + AppName;
}

// Reads ask for the 64-bit view when a 32-bit process runs on 64-bit Windows (the store accepts
// the flag and has one view only).
uint32_t ReadAccess() {
    return Is64BitWindows() ? reg::access::kRead | reg::access::kWow64_64Key : reg::access::kRead;
}

std::string ReadStringValue(const char* caller, const char* keyPath, const std::string& Name) {
    RegKey key(RegRoot::CurrentUser);
    if (key.Open(keyPath, ReadAccess(), true) != RegStatus::Success)
        return "";
    std::string text;
    const RegStatus status = key.ReadString(Name, text);
    if (status == RegStatus::UnsupportedType) {
        reg::SettingsLog(std::string(caller) + " : value " + Name + " of " + keyPath +
                             " is not a string, taken as missing",
                         2);
        return "";
    }
    return status == RegStatus::Success ? text : "";
}

} // namespace

std::string ReadAppSetting(const std::string& Name) {
    return ReadStringValue("ReadAppSetting", kAppKey, Name);
}

void WriteAppSetting(const std::string& Name, const std::string& Value) {
    RegKey key(RegRoot::CurrentUser);
    if (key.Open(kAppKey, reg::access::kAllAccess, true) == RegStatus::Success)
        key.WriteString(Name, Value);
}

std::string ReadMakerValue(const std::string& Name) {
    return ReadStringValue("ReadMakerValue", kMakerKey, Name);
}

void WriteMakerValue(const std::string& Name, const std::string& Value) {
    RegKey key(RegRoot::CurrentUser);
    if (key.Open(kMakerKey, reg::access::kAllAccess, true) == RegStatus::Success)
        key.WriteString(Name, Value);
}

void DeleteMakerValue(const std::string& Name) {
    RegKey key(RegRoot::CurrentUser);
    if (key.Open(kMakerKey, reg::access::kAllAccess, true) == RegStatus::Success)
        key.DeleteValue(Name);
}

void DeleteAppKey(const std::string& AppName) {
    // "SOFTWARE\Quorlen\" alone would be the maker key itself.
    if (AppName.empty() || AppName.find('\\') != std::string::npos)
        return;
    reg::DefaultSettingsStore()->DeleteKey(RegRoot::CurrentUser, AppKeyOf(AppName),
                                           reg::DeleteMode::Tree);
}

void RemoveEmptyMakerKey() {
    // The store tests for emptiness and deletes in one step, so a value another running copy
    // writes meanwhile is not deleted with the key.
    reg::DefaultSettingsStore()->DeleteKey(RegRoot::CurrentUser, kMakerKey,
                                           reg::DeleteMode::IfEmpty);
}

void ImportSettingsIni(const std::string& AppName, const std::string& IniPath) {
    RegKey key(RegRoot::CurrentUser);
    if (key.Open(AppKeyOf(AppName), reg::access::kAllAccess, true) != RegStatus::Success)
        return;
    const ini::IniFile file(IniPath);
    for (const std::string& name : file.ReadSection(kIniStringSection))
        key.WriteString(name, file.ReadString(kIniStringSection, name, ""));
    for (const std::string& name : file.ReadSection(kIniDwordSection))
        key.WriteDword(name, file.ReadInteger(kIniDwordSection, name, 0));
}

bool ExportSettingsIni(const std::string& AppName, const std::string& IniPath) {
    RegKey key(RegRoot::CurrentUser);
    if (key.Open(AppKeyOf(AppName), ReadAccess(), true) != RegStatus::Success)
        return false;
    std::vector<reg::RegNamedValue> values;
    if (key.Values(values) != RegStatus::Success)
        return false;
    ini::IniFile file(IniPath);
    for (const auto& [name, value] : values) {
        bool written = true;
        if (value.type == reg::kRegString)
            written = file.WriteString(kIniStringSection, name, value.text);
        else if (value.type == reg::kRegDword)
            // Read back as a signed integer there; "-1" comes back as 0xFFFFFFFF all the same.
            written = file.WriteString(kIniDwordSection, name,
                                       std::to_string(static_cast<int32_t>(value.number)));
        if (!written)
            return false;
    }
    return true;
}

std::vector<std::string> ListInstalledPrograms() {
    struct Source {
        RegRoot root;
        const char* path;
    };
    static const Source kSources[] = {
        {RegRoot::CurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"},
        {RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"},
        {RegRoot::LocalMachine,
         "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"},
    };
    std::vector<std::string> names;
    for (const Source& source : kSources) {
        RegKey uninstall(source.root);
        if (uninstall.Open(source.path, ReadAccess(), false) != RegStatus::Success)
            continue;
        std::vector<std::string> subkeys;
        uninstall.KeyNames(subkeys);
        for (const std::string& sub : subkeys) {
            RegKey entry(source.root);
            if (entry.Open(source.path + sub, ReadAccess(), false) != RegStatus::Success)
                continue;
            std::string display;
            if (entry.ReadString("DisplayName", display) == RegStatus::Success)
                names.push_back(display);
            else
                names.push_back(sub);
        }
    }
    return names;
}

bool IsInstalled(const std::string& Prefix) {
    for (const std::string& name : ListInstalledPrograms()) {
        if (StartsText(name, Prefix))
            return true;
    }
    return false;
}
