// Message boxes (shown for real and answered by a click, or answered by the test hook) and the
// desktop hand-off.
#include "mainwindow/dialogs/U_MsgDlg.h"
#include "tests/common/TestMedia.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

bool IsMessageBox(QWidget* w) {
    return qobject_cast<QMessageBox*>(w) != nullptr;
}

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
};

// Shows a real box, notes what it shows and presses Press.
int ShowAndPress(const std::function<int()>& Show, QMessageBox::StandardButton Press,
                 SeenBox& Seen) {
    mwtest::WhenModal(IsMessageBox, [&Seen, Press](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        Seen.caption = box->windowTitle();
        Seen.text = box->text();
        Seen.icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            Seen.buttons << box->standardButton(b);
        box->button(Press)->click();
    });
    return Show();
}

TEST(MsgBox, RealBoxesShowButtonsIconAndCaptionAndAnswerThePlatformCodes) {
    SeenBox seen;
    EXPECT_EQ(ShowAndPress([] { return MsgBox(nullptr, QStringLiteral("Overwrite ?"), 1, 1); },
                           QMessageBox::No, seen),
              kIdNo);
    EXPECT_EQ(seen.caption, QStringLiteral("Warning"));
    EXPECT_EQ(seen.text, QStringLiteral("Overwrite ?"));
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons.size(), 2);
    EXPECT_TRUE(seen.buttons.contains(QMessageBox::Yes));
    EXPECT_TRUE(seen.buttons.contains(QMessageBox::No));

    seen = {};
    EXPECT_EQ(ShowAndPress([] { return MsgBox(nullptr, QStringLiteral("x"), 0, 7); },
                           QMessageBox::Ok, seen),
              kIdOk);
    EXPECT_EQ(seen.caption, QString());
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});

    seen = {};
    EXPECT_EQ(ShowAndPress([] { return MsgBox(nullptr, QStringLiteral("x"), 2, 2); },
                           QMessageBox::Cancel, seen),
              kIdCancel);
    EXPECT_EQ(seen.caption, QStringLiteral("Error"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons.size(), 3);

    seen = {};
    EXPECT_EQ(ShowAndPress([] { return AskYesNo(nullptr, QStringLiteral("Download ?")); },
                           QMessageBox::Yes, seen),
              kIdYes);
    EXPECT_EQ(seen.caption, QStringLiteral("Question"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);

    // The plain window: the application's title, no icon, OK.
    QCoreApplication::setApplicationName(QStringLiteral("Clipvane"));
    seen = {};
    ShowAndPress(
        [] {
            ShowMessage(QStringLiteral("Invalid file type"));
            return 0;
        },
        QMessageBox::Ok, seen);
    EXPECT_EQ(seen.caption, QStringLiteral("Clipvane"));
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
}

TEST(MsgBox, FlagsCaptionsAndTheirTranslation) {
    EXPECT_EQ(MsgBoxFlags(1, 1), 0x34u);
    EXPECT_EQ(MsgBoxFlags(2, 3), 0x23u);
    EXPECT_EQ(MsgBoxFlags(3, 4), 0x41u);
    EXPECT_EQ(MsgBoxFlags(0, 2), 0x10u);
    EXPECT_EQ(MsgBoxFlags(9, 7), 0x0u);
    EXPECT_EQ(MsgBoxCaption(0), QStringLiteral("Message"));
    EXPECT_EQ(MsgBoxCaption(5), QString());

    // A language switch replaces the captions; boxes use them from then on.
    const QString saved = CaptionWarning;
    CaptionWarning = QStringLiteral("Avertissement");
    mwtest::TBoxes boxes;
    boxes.Answers = {kIdYes};
    EXPECT_EQ(MsgBox(nullptr, QStringLiteral("Remplacer ?"), 1, 1), kIdYes);
    CaptionWarning = saved;
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Caption, QStringLiteral("Avertissement"));
    EXPECT_EQ(boxes.Shown[0].Flags, 0x34u);
    EXPECT_FALSE(boxes.Shown[0].Plain);
}

TEST(Shell, TargetsAreLinksProgramsOrDocuments) {
    EXPECT_EQ(ShellTargetKind(QStringLiteral("https://www.quorlen.example/doc/cpv")),
              TShellTarget::Url);
    EXPECT_EQ(ShellTargetKind(QStringLiteral("mailto:someone@quorlen.example")), TShellTarget::Url);
    EXPECT_EQ(ShellTargetKind(QStringLiteral("/bin/sh")), TShellTarget::Program);
    EXPECT_EQ(ShellTargetKind(QStringLiteral("C:\\x.txt")), TShellTarget::Document);
    const std::string doc = testmedia::TempDir() + "/readme.txt";
    testmedia::WriteAll(doc, {'h', 'i'});
    EXPECT_EQ(ShellTargetKind(QString::fromStdString(doc)), TShellTarget::Document);
}

TEST(Shell, EnvironmentIsExpandedBeforeTheLaunch) {
    setenv("CLIPVANE_TEST_TOOLS", "/opt/xol", 1);
    unsetenv("CLIPVANE_TEST_MISSING");
    EXPECT_EQ(ExpandEnvironmentText(QStringLiteral("%CLIPVANE_TEST_TOOLS%/burn")),
              QStringLiteral("/opt/xol/burn"));
    EXPECT_EQ(
        ExpandEnvironmentText(QStringLiteral("${CLIPVANE_TEST_TOOLS}/a $CLIPVANE_TEST_TOOLS")),
        QStringLiteral("/opt/xol/a /opt/xol"));
    EXPECT_EQ(ExpandEnvironmentText(QStringLiteral("%CLIPVANE_TEST_MISSING%/x 100%")),
              QStringLiteral("%CLIPVANE_TEST_MISSING%/x 100%"));

    struct Launch {
        TShellTarget kind;
        QString target;
        QString parameters;
    };
    std::vector<Launch> launches;
    const TShellHook previous =
        SetShellHook([&](TShellTarget k, const QString& t, const QString& p) {
            launches.push_back({k, t, p});
            return true;
        });
    OpenWithShell(QStringLiteral("$CLIPVANE_TEST_TOOLS/page.html"), QStringLiteral("-x"));
    EXPECT_TRUE(
        OpenWithShellOwned(nullptr, QStringLiteral("https://www.quorlen.example/?software")));
    // The owned launch takes its target as written.
    OpenWithShellOwned(nullptr, QStringLiteral("$CLIPVANE_TEST_TOOLS"));
    SetShellHook(previous);
    ASSERT_EQ(launches.size(), 3u);
    EXPECT_EQ(launches[0].kind, TShellTarget::Document);
    EXPECT_EQ(launches[0].target, QStringLiteral("/opt/xol/page.html"));
    EXPECT_EQ(launches[0].parameters, QStringLiteral("-x"));
    EXPECT_EQ(launches[1].kind, TShellTarget::Url);
    EXPECT_EQ(launches[2].target, QStringLiteral("$CLIPVANE_TEST_TOOLS"));
}

} // namespace
