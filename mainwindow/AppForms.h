// AppForms: the program's forms, created once in their fixed order and owned by the application.
#pragma once

#include <QStringList>

class TAboutDlg;
class TC2CDDlg;
class TCutDlg;
class TFileInfoDlg;
class TLangDlg;
class TMainDlg;

struct TAppForms {
    TMainDlg* MainDlg = nullptr;
    TAboutDlg* AboutDlg = nullptr;
    TC2CDDlg* C2CDDlg = nullptr;
    TLangDlg* LangDlg = nullptr;
    TFileInfoDlg* FileInfoDlg = nullptr;
    TCutDlg* CutDlg = nullptr;
};

// Creates the main window, the About box, the burn dialog, the language dialog, the file
// information dialog and the wait dialog, in this order, each owned by the application object
// (the main window is its main form), and gives the main window the dialogs it uses.
// PortableImport false keeps the main window from reading a portable "settings.ini".
TAppForms CreateAppForms(bool PortableImport = true);
// Deletes the forms, the last created first.
void DestroyAppForms(TAppForms& Forms);
