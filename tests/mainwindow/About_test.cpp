// The About box: its form, its texts filled on every showing, and the links behind its buttons.
#include "localisation/ui/C_TextStorageComponent.h"
#include "localisation/ui/ComponentModel.h"
#include "mainwindow/U_about.h"
#include "mainwindow/dialogs/U_MsgDlg.h"
#include "mainwindow/handoff/WebLinks.h"
#include "support/files/U_TobrelUtils.h"
#include "support/versioninfo/C_VersionInfo.h"
#include "tests/common/TestMedia.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <vector>

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

// A version block with only its fixed part: file version MS.LS.
std::vector<uint8_t> FixedVersionBlock(uint32_t MS, uint32_t LS) {
    std::vector<uint8_t> block;
    Put16(block, 92); // 40 bytes of header and key, 52 of fixed information
    Put16(block, 52);
    Put16(block, 0);
    for (const char c : std::string("VS_VERSION_INFO"))
        Put16(block, static_cast<uint16_t>(c));
    Put16(block, 0);
    Put16(block, 0); // to a 4-byte boundary
    for (const uint32_t v :
         {0xFEEF04BDu, 0x00010000u, MS, LS, MS, LS, 0x3Fu, 0u, 4u, 1u, 0u, 0u, 0u})
        Put32(block, v);
    return block;
}

QStringList ComponentNames(const QObject* Owner) {
    QStringList names;
    for (const QObject* c : comp::Components(Owner))
        names << comp::Name(c);
    return names;
}

TEST(About, FormHasItsSizeNamesAndControls) {
    TAboutDlg dlg;
    EXPECT_EQ(dlg.objectName(), QStringLiteral("AboutDlg"));
    EXPECT_EQ(dlg.size(), QSize(389, 285));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(
        ComponentNames(&dlg),
        (QStringList{"banner_img", "subtitle_lbl", "app_grp", "appname_lbl", "version_lbl",
                     "maker_grp", "email_btn", "web_btn", "forum_btn", "ok_btn", "TS_about"}));
    EXPECT_EQ(dlg.banner_img->geometry(), QRect(0, 0, 388, 96));
    EXPECT_EQ(dlg.app_grp->title(), QStringLiteral("Application"));
    EXPECT_EQ(dlg.maker_grp->title(), QStringLiteral("Quorlen"));
    EXPECT_EQ(dlg.appname_lbl->parentWidget(), dlg.app_grp);
    EXPECT_EQ(dlg.version_lbl->parentWidget(), dlg.app_grp);
    for (QPushButton* b : {dlg.email_btn, dlg.web_btn, dlg.forum_btn})
        EXPECT_EQ(b->parentWidget(), dlg.maker_grp);
    EXPECT_EQ(dlg.email_btn->text(), QStringLiteral("Email"));
    EXPECT_EQ(dlg.web_btn->text(), QStringLiteral("Web Site"));
    EXPECT_EQ(dlg.forum_btn->text(), QStringLiteral("Forums"));
    EXPECT_EQ(dlg.ok_btn->text(), QStringLiteral("Ok"));
    EXPECT_EQ(dlg.TS_about->Items(), (QStringList{"About", "Application Name :", "Version :"}));
    // Every control lies inside its parent, and the groups and Ok below the banner.
    for (QWidget* w : dlg.findChildren<QWidget*>()) {
        EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry()))
            << comp::Name(w).toStdString();
        if (w->parentWidget() == &dlg && w != dlg.banner_img) {
            EXPECT_GE(w->y(), 96) << comp::Name(w).toStdString();
        }
    }
}

TEST(About, BannerIsDrawnFromItsPicture) {
    TAboutDlg dlg;
    const QImage banner = dlg.banner_img->grab().toImage();
    ASSERT_FALSE(banner.isNull());
    EXPECT_EQ(banner.size(), QSize(388, 96));
    // Background, the orange rule along the bottom, and the film strip.
    EXPECT_EQ(banner.pixelColor(2, 2).name(), QStringLiteral("#232a33"));
    EXPECT_EQ(banner.pixelColor(200, 94).name(), QStringLiteral("#f39c12"));
    EXPECT_EQ(banner.pixelColor(18, 28).name(), QStringLiteral("#e8e8e8"));
    EXPECT_EQ(banner.pixelColor(40, 45).name(), QStringLiteral("#4a90d9"));
}

TEST(About, TextsAreFilledFromTheTranslations) {
    TAboutDlg dlg;
    dlg.FillTexts(QStringLiteral("Clipvane"), QStringLiteral("/nonexistent/clipvane"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About Clipvane"));
    EXPECT_EQ(dlg.appname_lbl->text(), QStringLiteral("Application Name : Clipvane"));
    EXPECT_EQ(dlg.version_lbl->text(), QStringLiteral("Version : File not found"));

    // A language applied to the box's text store shows at the next filling.
    ASSERT_TRUE(comp::SetProperty(dlg.TS_about, u"Items",
                                  QStringList{QStringLiteral("À propos de"),
                                              QStringLiteral("Nom de l'application :"),
                                              QStringLiteral("Version :")}));
    dlg.FillTexts(QStringLiteral("Clipvane"), QStringLiteral("/nonexistent/clipvane"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("À propos de Clipvane"));
    EXPECT_EQ(dlg.appname_lbl->text(), QStringLiteral("Nom de l'application : Clipvane"));
}

TEST(About, VersionIsTheExecutablesFileVersion) {
    REQUIRE_TOOL("objcopy", "binutils");
    const std::string dir = testmedia::TempDir();
    const std::string block = dir + "/about-version.bin";
    const std::string exe = dir + "/about-versioned";
    testmedia::WriteAll(block, FixedVersionBlock((2u << 16) | 9u, (1u << 16) | 69u));
    const testmedia::RunResult r =
        testmedia::Run("objcopy --add-section .rsrc_version=" + testmedia::Quote(block) + " " +
                       testmedia::Quote("/bin/true") + " " + testmedia::Quote(exe));
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const TFileVersionReader before = SetFileVersionReader(nullptr);
    InstallFileVersionReader();
    TAboutDlg dlg;
    dlg.FillTexts(QStringLiteral("Clipvane"), QString::fromStdString(exe));
    EXPECT_EQ(dlg.version_lbl->text(), QStringLiteral("Version : 2.9.1.69"));
    SetFileVersionReader(before);
}

TEST(About, ShowingFillsForTheRunningProgram) {
    const QString savedName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("Clipvane"));
    TAboutDlg dlg;
    ASSERT_TRUE(
        comp::SetProperty(dlg.TS_about, u"Items",
                          QStringList{QStringLiteral("Über"), QStringLiteral("Anwendungsname :"),
                                      QStringLiteral("Version :")}));
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Über Clipvane"));
    EXPECT_EQ(dlg.appname_lbl->text(), QStringLiteral("Anwendungsname : Clipvane"));
    const std::string exe = QCoreApplication::applicationFilePath().toStdString();
    EXPECT_EQ(dlg.version_lbl->text(),
              QStringLiteral("Version : ") + QString::fromStdString(FileVersionText(exe)));
    dlg.hide();

    // Each showing fills again: the language has changed meanwhile.
    dlg.TS_about->SetItems({QStringLiteral("About"), QStringLiteral("Application Name :"),
                            QStringLiteral("Version :")});
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About Clipvane"));
    EXPECT_EQ(dlg.appname_lbl->text(), QStringLiteral("Application Name : Clipvane"));
    dlg.hide();
    QCoreApplication::setApplicationName(savedName);
}

TEST(About, ButtonsOpenTheMakersPagesAndOkCloses) {
    struct Launch {
        TShellTarget kind;
        QString target;
    };
    std::vector<Launch> launches;
    const TShellHook before =
        SetShellHook([&launches](TShellTarget Kind, const QString& Target, const QString&) {
            launches.push_back({Kind, Target});
            return true;
        });

    QWidget owner;
    owner.setGeometry(300, 200, 600, 500);
    owner.show();
    TAboutDlg dlg(&owner);
    mwtest::WhenModal(
        [&dlg](QWidget* w) { return w == &dlg; },
        [&dlg, &owner](QWidget*) {
            // Centred over its owner.
            EXPECT_LE((dlg.geometry().center() - owner.geometry().center()).manhattanLength(), 40);
            dlg.email_btn->click();
            dlg.web_btn->click();
            dlg.forum_btn->click();
            dlg.ok_btn->click();
        });
    EXPECT_EQ(dlg.Execute(), QDialog::Accepted);
    SetShellHook(before);

    ASSERT_EQ(launches.size(), 3u);
    for (const Launch& l : launches)
        EXPECT_EQ(l.kind, TShellTarget::Url) << l.target.toStdString();
    EXPECT_EQ(launches[0].target, ContactMailUrl());
    EXPECT_TRUE(launches[0].target.startsWith(QStringLiteral("mailto:")));
    EXPECT_EQ(launches[1].target, SiteRootUrl());
    EXPECT_EQ(launches[2].target, ForumUrl());
}

} // namespace
