// XolTools: where the external XOL programs and the maker's codec tool are found, and the
// "Burn to CD", "Convert to DVD" and "Check Video Codecs" hand-offs with their download offers.
#pragma once

#include <QString>

#include <functional>

class QWidget;
class TC2CDDlg;

// The key under HKEY_CURRENT_USER that names the XOL programs' locations.
inline constexpr const char* kXolKey = "Software\\XOL";
// The maker value naming the codec inspection tool.
inline constexpr const char* kCodecToolValue = "Quillet";

inline constexpr const char* kBurnerMissingText =
    "Brennax is required to burn CDs or DVDs. Do you want to download it now ?";
inline constexpr const char* kConverterMissingText =
    "Convertion to DVD requires a third party product from XOL Software. Do you want to "
    "download it now ?";
// Offers of a desktop program found on the PATH when the maker's tool is missing; "%s" is the
// program's name.
inline constexpr const char* kLinuxBurnerText =
    "Brennax is not installed. Do you want to burn the file with %s ?";
inline constexpr const char* kLinuxInspectorText =
    "Quillet is not installed. Do you want to inspect the file with %s ?";

// The string value ValueName of HKEY_CURRENT_USER "Software\XOL" (the key is not created): the
// program itself, or a folder that holds ExeName. "" when that names no existing file.
QString FindXolTool(const QString& ValueName, const QString& ExeName);
// "Brennix" with "Brennix.exe", else "Brenn" with "Brennix.exe".
QString FindBurner();
// "Vorcast" with "Vorcast.exe", else "Mervast" with "mervast.exe".
QString FindDvdConverter();
// The maker value "Quillet" when it names an existing file, else "".
QString FindCodecTool();
// The maker's page of the codec inspection tool.
QString CodecToolPageUrl();

// Desktop programs on the PATH that stand in for missing maker tools: the first of brasero, k3b
// and xfburn, and mediainfo-gui. "" when there is none.
QString FindLinuxBurner();
QString FindLinuxMediaInspector();

// Path in double quotes, as one parameter of a command line given as text. A double quote
// inside is written as three, which the desktop hand-off reads back as one.
QString QuotedParameter(const QString& Path);

// The main window's message table; an empty function leaves texts in English.
using TTranslate = std::function<QString(const QString& English)>;

// "Burn to CD" for FileName (the current file): offers the burner's download when it is
// missing, writes the project file "ZQ_0.c2c" and runs Dlg.
void BurnToCd(QWidget* Owner, TC2CDDlg* Dlg, const QString& FileName,
              const TTranslate& Translate = {});
// "Convert to DVD": offers the converter's download when it is missing, then hands FileName to
// the converter.
void ConvertToDvd(QWidget* Owner, const QString& FileName, const TTranslate& Translate = {});
// "Check Video Codecs": hands FileName to the codec tool, or opens the tool's page.
void CheckVideoCodecs(QWidget* Owner, const QString& FileName, const TTranslate& Translate = {});
