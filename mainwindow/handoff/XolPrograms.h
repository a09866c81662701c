// XolPrograms: where the external XOL programs, the maker's codec tool and the desktop's own
// burner and media inspector are found.
#pragma once

#include <QString>

// The key under HKEY_CURRENT_USER that names the XOL programs' locations.
inline constexpr const char* kXolKey = "Software\\XOL";
// The maker value naming the codec inspection tool.
inline constexpr const char* kCodecToolValue = "Quillet";

// The string value ValueName of HKEY_CURRENT_USER "Software\XOL" (the key is not created): the
// program itself, or a folder that holds ExeName. "" when that names no existing file.
QString FindXolTool(const QString& ValueName, const QString& ExeName);
// "Brennix" with "Brennix.exe", else "Brenn" with "Brennix.exe".
QString FindBurner();
// "Vorcast" with "Vorcast.exe", else "Mervast" with "mervast.exe".
QString FindDvdConverter();
// The maker value "Quillet" when it names an existing file, else "".
QString FindCodecTool();

// Desktop programs on the PATH that stand in for missing maker tools: the first of brasero, k3b
// and xfburn, and mediainfo-gui. "" when there is none.
QString FindLinuxBurner();
QString FindLinuxMediaInspector();

// Path in double quotes, as one parameter of a command line given as text. A double quote
// inside is written as three, which the desktop hand-off reads back as one.
QString QuotedParameter(const QString& Path);
