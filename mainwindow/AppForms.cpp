// AppForms: creating and deleting the program's forms.
#include "mainwindow/AppForms.h"

#include "engine/ui/U_CutDlg.h"
#include "engine/ui/U_FileInfoDlg.h"
#include "localisation/ui/ComponentModel.h"
#include "localisation/ui/U_LangDlg.h"
#include "mainwindow/U_MainDlg.h"
#include "mainwindow/U_about.h"
#include "mainwindow/handoff/C2CD.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

TAppForms CreateAppForms(bool PortableImport) {
    TAppForms forms;
    QObject* application = comp::Application();

    forms.MainDlg = new TMainDlg(nullptr, PortableImport);
    comp::Own(application, forms.MainDlg);
    forms.AboutDlg = new TAboutDlg(forms.MainDlg);
    comp::Own(application, forms.AboutDlg);
    forms.C2CDDlg = new TC2CDDlg(forms.MainDlg);
    comp::Own(application, forms.C2CDDlg);
    forms.LangDlg = new TLangDlg(forms.MainDlg->Langue, forms.MainDlg);
    comp::Own(application, forms.LangDlg);

    forms.FileInfoDlg = new TFileInfoDlg(forms.MainDlg);
    comp::Own(application, forms.FileInfoDlg);
    comp::Own(forms.FileInfoDlg, forms.FileInfoDlg->tv);
    comp::Own(forms.FileInfoDlg, forms.FileInfoDlg->close_btn);

    forms.CutDlg = new TCutDlg(forms.MainDlg);
    comp::Own(application, forms.CutDlg);
    comp::Own(forms.CutDlg, forms.CutDlg->wait_lbl);
    comp::Own(forms.CutDlg, forms.CutDlg->prog);
    comp::Own(forms.CutDlg, forms.CutDlg->time_lbl);
    comp::Own(forms.CutDlg, forms.CutDlg->cancel_btn);

    forms.MainDlg->FileInfoDlg = forms.FileInfoDlg;
    forms.MainDlg->CutDlg = forms.CutDlg;
    forms.MainDlg->AboutDlg = forms.AboutDlg;
    forms.MainDlg->C2CDDlg = forms.C2CDDlg;
    forms.MainDlg->LangDlg = forms.LangDlg;
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
