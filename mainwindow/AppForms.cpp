// AppForms: creating and deleting the program's forms.
#include "AppForms.h"

#include "C2CD.h"
#include "ComponentModel.h"
#include "U_CutDlg.h"
#include "U_FileInfoDlg.h"
#include "U_MainDlg.h"
#include "U_about.h"

#include <QDialog>
#include <QLabel>
#include <QTreeWidget>

namespace {

// A form of the run whose own dialog cannot be made yet (the language dialog needs the main
// window's language list): it exists under its name, so that the forms keep their order and
// language files find it; the real dialog replaces it.
QDialog* PlainForm(const char* Name, const char* Caption, QWidget* Owner) {
    auto* form = new QDialog(Owner);
    form->setObjectName(QString::fromLatin1(Name));
    form->setWindowTitle(QString::fromUtf8(Caption));
    return form;
}

} // namespace

TAppForms CreateAppForms() {
    TAppForms forms;
    QObject* application = comp::Application();

    forms.MainDlg = new TMainDlg;
    comp::Own(application, forms.MainDlg);
    forms.AboutDlg = new TAboutDlg(forms.MainDlg);
    comp::Own(application, forms.AboutDlg);
    forms.C2CDDlg = new TC2CDDlg(forms.MainDlg);
    comp::Own(application, forms.C2CDDlg);
    forms.LangDlg = PlainForm("LangDlg", "Language", forms.MainDlg);
    comp::Own(application, forms.LangDlg);

    forms.FileInfoDlg = new TFileInfoDlg(forms.MainDlg);
    comp::Own(application, forms.FileInfoDlg);
    comp::Own(forms.FileInfoDlg, forms.FileInfoDlg->tv);

    forms.CutDlg = new TCutDlg(forms.MainDlg);
    comp::Own(application, forms.CutDlg);
    comp::Own(forms.CutDlg, forms.CutDlg->wait_lbl);

    forms.MainDlg->FileInfoDlg = forms.FileInfoDlg;
    forms.MainDlg->CutDlg = forms.CutDlg;
    return forms;
}

void DestroyAppForms(TAppForms& Forms) {
    delete Forms.CutDlg;
    delete Forms.FileInfoDlg;
    delete Forms.LangDlg;
    delete Forms.C2CDDlg;
    delete Forms.AboutDlg;
    delete Forms.MainDlg;
    Forms = TAppForms{};
}
