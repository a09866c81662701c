// main: the program entry - the application titled "Clipvane", its forms, its message loop.
#include "AppForms.h"
#include "DesktopOpen.h"
#include "U_MainDlg.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTimer>
#include <QUrl>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The title names the window, the log file, the per-user folder and a registry value.
    QApplication::setApplicationName(QStringLiteral("Clipvane"));
    QApplication::setOrganizationName(QStringLiteral("Quorlen"));
    SetDesktopOpenHandler([](const std::string& FileName) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(FileName)));
    });

    TAppForms forms = CreateAppForms();
    forms.MainDlg->CommandLine = QApplication::arguments().mid(1);
    forms.MainDlg->show();
    // Start-up waits for the application to become active; a session without a window manager
    // may never activate it, so the window starts on its own soon after.
    QTimer::singleShot(500, forms.MainDlg, [&forms] { forms.MainDlg->AppEvtActivate(); });
    const int result = app.exec();
    DestroyAppForms(forms);
    return result;
}
