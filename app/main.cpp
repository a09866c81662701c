// main: the program entry - the application titled "Clipvane", its forms, its message loop.
#include "localisation/ui/C_LangPack.h"
#include "localisation/ui/C_LangRecord.h"
#include "localisation/ui/ComponentModel.h"
#include "mainwindow/AppForms.h"
#include "mainwindow/U_MainDlg.h"
#include "support/platform/DesktopOpen.h"
#include "support/versioninfo/C_VersionInfo.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace {

// Developer option "--write-reference FILE", used by the build to make the translation
// template: the forms are created as in a normal run, so that every translatable component
// exists, and the reference record is written to FILE with the header a "-co" run gives it.
// No window is shown and neither settings nor the log are touched; it works on the offscreen
// platform (QT_QPA_PLATFORM=offscreen).
int WriteReferenceFile(const QString& FileName) {
    TAppForms forms = CreateAppForms(false);
    bool saved = false;
    if (TLanguageRecord* reference = forms.MainDlg->Langue->Reference()) {
        TCustomversion_Info ownVersion;
        reference->AppVersion = static_cast<uint32_t>(ownVersion.FileVersionInt());
        reference->ImeName = qEnvironmentVariable("QT_IM_MODULE");
        const QWidget* mainForm = comp::MainForm();
        reference->FontName = mainForm ? mainForm->font().family() : QApplication::font().family();
        reference->Charset = static_cast<uint8_t>(mainForm ? comp::FontCharset(mainForm) : 1);
        saved = reference->SaveToFile(FileName);
    }
    DestroyAppForms(forms);
    if (!saved) {
        std::fprintf(stderr, "clipvane: cannot write %s\n", qUtf8Printable(FileName));
        return 1;
    }
    return 0;
}

// CLIPVANE_REPORT_FIRST_FRAME=1 (for bench_first_frame): once the first frame of the file on the
// command line is on screen, print the monotonic clock and quit.
void ReportFirstFrame(TMainDlg* Window) {
    if (qEnvironmentVariable("CLIPVANE_REPORT_FIRST_FRAME") != QLatin1String("1"))
        return;
    Window->OnFirstFrame = [Window] {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("first_frame_monotonic_us=%lld\n",
                    static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
        std::fflush(stdout);
        Window->close();
    };
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The title names the window, the log file, the per-user folder and a registry value.
    QApplication::setApplicationName(QStringLiteral("Clipvane"));
    QApplication::setOrganizationName(QStringLiteral("Quorlen"));

    const QStringList arguments = QApplication::arguments();
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--write-reference")); at >= 0) {
        if (at + 1 >= arguments.size()) {
            std::fprintf(stderr, "usage: clipvane --write-reference FILE\n");
            return 2;
        }
        return WriteReferenceFile(arguments[at + 1]);
    }

    SetDesktopOpenHandler([](const std::string& FileName) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(FileName)));
    });

    TAppForms forms = CreateAppForms();
    forms.MainDlg->CommandLine = arguments.mid(1);
    ReportFirstFrame(forms.MainDlg);
    forms.MainDlg->show();
    // Start-up runs on the application's first activation. A session without a window manager
    // may never activate it, and waiting for one costs the user time before the first frame:
    // the first turn of the event loop starts it in the same order, and a later activation
    // finds it done.
    QTimer::singleShot(0, forms.MainDlg, [&forms] { forms.MainDlg->FirstActivation(); });
    const int result = app.exec();
    DestroyAppForms(forms);
    return result;
}
