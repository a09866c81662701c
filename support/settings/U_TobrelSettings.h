// U_TobrelSettings: the settings operations of unit U_TobrelUtils (maker and program keys in the
// registry, portable "settings.ini", installed programs), kept in a file pair of their own.
#pragma once

#include <string>
#include <vector>

// All keys lie under HKEY_CURRENT_USER of the process's settings store (reg::DefaultSettingsStore).
inline constexpr const char* kMakerKey = "SOFTWARE\\Quorlen";
inline constexpr const char* kAppTitle = "Clipvane";
inline constexpr const char* kAppKey = "SOFTWARE\\Quorlen\\Clipvane";
// What an uninstall entry's display name starts with when this program is installed.
inline constexpr const char* kInstalledPrefix = "Quorlen Clipvane";
// Sections of "settings.ini": string values, and 32-bit integers in decimal.
inline constexpr const char* kIniStringSection = "Settings";
inline constexpr const char* kIniDwordSection = "Settings_DWORD";

// The string value Name of the program key, which is created when missing; "" when the key
// cannot be opened or the value is missing. A value of another type is taken as missing and
// reported to the settings log.
std::string ReadAppSetting(const std::string& Name);
// Writes the string value Name of the program key, which is created when missing.
void WriteAppSetting(const std::string& Name, const std::string& Value);

// The string value Name of the maker key (created when missing); "" when the key cannot be opened
// or the value is missing or of another type.
std::string ReadMakerValue(const std::string& Name);
void WriteMakerValue(const std::string& Name, const std::string& Value);
void DeleteMakerValue(const std::string& Name);

// Deletes "SOFTWARE\Quorlen\" + AppName with its values and subkeys. An empty AppName, or one
// holding a "\", names no program key and deletes nothing.
void DeleteAppKey(const std::string& AppName);

// Deletes the maker key when it exists and holds neither values nor subkeys.
void RemoveEmptyMakerKey();

// Copies section "Settings" as string values and "Settings_DWORD" as 32-bit integers (read as
// GetPrivateProfileInt does, 0 for text that is no number) into "SOFTWARE\Quorlen\" + AppName,
// in file order. The key is created even when the file is missing; values the file does not
// name stay.
void ImportSettingsIni(const std::string& AppName, const std::string& IniPath);

// Writes every string value of the key to "Settings" and every 32-bit integer to
// "Settings_DWORD" (signed decimal), one file write per value; other types are skipped. Lines of
// names no longer in the registry stay. False when the key cannot be opened or a write fails;
// the values after a failed one are not written.
bool ExportSettingsIni(const std::string& AppName, const std::string& IniPath);

// Names of the installed programs: each subkey of the uninstall keys of HKEY_CURRENT_USER (when
// present), HKEY_LOCAL_MACHINE and its Wow6432Node, by its string "DisplayName", else by its own
// name.
std::vector<std::string> ListInstalledPrograms();

// Whether a name from ListInstalledPrograms begins with Prefix, ignoring case.
bool IsInstalled(const std::string& Prefix);
