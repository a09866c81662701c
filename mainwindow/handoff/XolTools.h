// XolTools: the "Burn to CD", "Convert to DVD" and "Check Video Codecs" hand-offs with their
// download offers.
#pragma once

#include "mainwindow/handoff/WebLinks.h"
#include "mainwindow/handoff/XolPrograms.h"

#include <QString>

#include <functional>

class QWidget;
class TC2CDDlg;

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

// The main window's message table; an empty function leaves texts in English.
using TTranslate = std::function<QString(const QString& English)>;

inline constexpr const char* kNothingOpensText = "Nothing on this system could open %s.";

// Says so, naming Target, when nothing on the system took it (Taken false); returns Taken.
bool ReportHandOff(QWidget* Owner, const QString& Target, bool Taken,
                   const TTranslate& Translate = {});

// "Burn to CD" for FileName (the current file): offers the burner's download when it is
// missing, writes the project file "ZQ_0.c2c" and runs Dlg.
void BurnToCd(QWidget* Owner, TC2CDDlg* Dlg, const QString& FileName,
              const TTranslate& Translate = {});
// "Convert to DVD": offers the converter's download when it is missing, then hands FileName to
// the converter.
void ConvertToDvd(QWidget* Owner, const QString& FileName, const TTranslate& Translate = {});
// "Check Video Codecs": hands FileName to the codec tool, or opens the tool's page.
void CheckVideoCodecs(QWidget* Owner, const QString& FileName, const TTranslate& Translate = {});
