// U_LangDlg: TLangDlg, the "Language" dialog holding one language chooser.
#include "localisation/ui/U_LangDlg.h"

#include "localisation/ui/ComponentModel.h"
#include "localisation/ui/Lang_langChoice.h"

TLangDlg::TLangDlg(TLangList* languageList, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("LangDlg"));
    setWindowTitle(QStringLiteral("Language"));
    setFixedSize(316, 388);
    setBackgroundRole(QPalette::Button);

    LanguageChoice1 = new TLanguageChoice(this);
    LanguageChoice1->setObjectName(QStringLiteral("LanguageChoice1"));
    LanguageChoice1->setGeometry(0, 0, 313, 385);
    LanguageChoice1->setFocusPolicy(Qt::NoFocus);
    comp::Own(this, LanguageChoice1);
    LanguageChoice1->SetLanguageList(languageList);
}

bool TLangDlg::Execute() {
    // Files found unusable since the list was filled are gone from it.
    LanguageChoice1->FillList();
    if (const QWidget* mainForm = comp::MainForm(); mainForm && mainForm != this)
        move(mainForm->frameGeometry().center() - rect().center());
    return exec() == QDialog::Accepted;
}
