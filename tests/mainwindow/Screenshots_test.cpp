// Screenshots_test: with CLIPVANE_SCREENSHOT_DIR set, saves pictures of the main window with a
// selection, the file information dialog, the wait dialog, and the language dialog, the window
// and the About box in French, to look at; without it the test is skipped. Each picture must at
// least not be blank.
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/U_CutDlg.h"
#include "engine/ui/U_FileInfoDlg.h"
#include "localisation/ui/C_LangPack.h"
#include "localisation/ui/Lang_langChoice.h"
#include "localisation/ui/U_LangDlg.h"
#include "mainwindow/U_MainDlg.h"
#include "mainwindow/U_about.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace {

class Screenshots : public mwtest::MainWindowTest {
protected:
    void Save(QWidget* Widget, const char* Name) {
        const QImage image = Widget->grab().toImage();
        ASSERT_FALSE(image.isNull()) << Name;
        ASSERT_TRUE(image.save(to + QLatin1Char('/') + QLatin1String(Name))) << Name;
    }
    QString to = QString::fromLocal8Bit(qgetenv("CLIPVANE_SCREENSHOT_DIR"));
};

TEST_F(Screenshots, MainWindowAndDialogs) {
    if (to.isEmpty())
        GTEST_SKIP() << "set CLIPVANE_SCREENSHOT_DIR to save the pictures";
    LoadAndWait(std::string(CLIPVANE_SOURCE_DIR) + "/assets/demo.avi");
    dlg->resize(720, 700);
    dlg->GotoFrame(40, false);
    ASSERT_TRUE(WaitForPreview());
    dlg->start_btnClick();
    dlg->GotoFrame(130, false);
    ASSERT_TRUE(WaitForPreview());
    dlg->end_btnClick();
    EXPECT_EQ(dlg->CurrentFrame, 130);
    Save(dlg, "main-window.png");

    forms.FileInfoDlg->FillTree(*dlg->Extractor);
    forms.FileInfoDlg->show();
    Save(forms.FileInfoDlg, "file-info.png");
    forms.FileInfoDlg->hide();
    Save(forms.CutDlg, "wait-dialog.png");

    // The shipped languages as a portable copy would find them.
    dlg->Langue->SubDir = QStringLiteral("../languages");
    forms.LangDlg->LanguageChoice1->SetLanguageList(dlg->Langue);
    for (int i = 0; i < dlg->Langue->Languages().size(); ++i)
        if (dlg->Langue->GetLanguageCode(i) == 0x040C)
            dlg->Langue->SetLanguageIndex(i);
    ASSERT_EQ(dlg->Langue->GetLanguageName(), QStringLiteral("Français"));
    Save(forms.LangDlg, "language-dialog.png");
    // Layouts follow the new texts once their posted requests have run.
    QCoreApplication::sendPostedEvents();
    Save(dlg, "main-window-fr.png");
    Save(forms.AboutDlg, "about-fr.png");
}

} // namespace
