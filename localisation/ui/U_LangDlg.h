// U_LangDlg: TLangDlg, the "Language" dialog holding one language chooser.
#pragma once

#include <QDialog>

class TLangList;
class TLanguageChoice;

// Closes only through its close box; whoever creates it has the application object own it.
class TLangDlg : public QDialog {
    Q_OBJECT
public:
    explicit TLangDlg(TLangList* languageList, QWidget* parent = nullptr);

    // Shows the dialog modally, centred over the main form; true when it closed with OK.
    bool Execute();

    TLanguageChoice* LanguageChoice1;
};
