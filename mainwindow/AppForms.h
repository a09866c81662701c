// AppForms: the program's forms, created once in their fixed order and owned by the application.
#pragma once

#include <QStringList>

class QDialog;
class TAboutDlg;
class TC2CDDlg;
class TCutDlg;
class TFileInfoDlg;
class TMainDlg;

struct TAppForms {
    TMainDlg* MainDlg = nullptr;
    TAboutDlg* AboutDlg = nullptr;
    TC2CDDlg* C2CDDlg = nullptr;
    QDialog* LangDlg = nullptr; // stands in for the language dialog until the window has Langue
    TFileInfoDlg* FileInfoDlg = nullptr;
    TCutDlg* CutDlg = nullptr;
};

// Creates the main window, the About box, the burn dialog, the language dialog, the file
// information dialog and the wait dialog, in this order, each owned by the application object
// (the main window is its main form), and gives the main window the dialogs it uses.
TAppForms CreateAppForms();
// Deletes the forms, the last created first.
void DestroyAppForms(TAppForms& Forms);
