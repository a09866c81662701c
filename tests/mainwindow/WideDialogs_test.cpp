// The open and save dialogs: filter lists, multiple selections, placement, and real runs.
#include "mainwindow/dialogs/C_WideDialogs.h"
#include "tests/common/TestMedia.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(WideDialogRules, FilterBecomesTheSystemsStringList) {
    EXPECT_EQ(FilterStrings(QStringLiteral("AVI files|*.avi")),
              (QStringList{QStringLiteral("AVI files"), QStringLiteral("*.avi"), QString()}));
    EXPECT_EQ(NameFiltersOf(QStringLiteral("AVI files|*.avi")),
              QStringList{QStringLiteral("AVI files (*.avi)")});
    // Translated filters carry their patterns in the name already.
    EXPECT_EQ(NameFiltersOf(QStringLiteral("Bitmap Files (*.bmp)|*.bmp|JPEG Files (*.jpg, "
                                           "*.jpeg)|*.jpg;*.jpeg")),
              (QStringList{QStringLiteral("Bitmap Files (*.bmp)"),
                           QStringLiteral("JPEG Files (*.jpg *.jpeg)")}));
    EXPECT_TRUE(NameFiltersOf(QString()).isEmpty());
}

TEST(WideDialogRules, ExtensionOfTheSelectedFilter) {
    const QString pic = QStringLiteral("Bitmaps|*.bmp|JPEG|*.jpg;*.jpeg|All|*.*");
    EXPECT_EQ(FilterExtension(pic, 1), QStringLiteral("bmp"));
    EXPECT_EQ(FilterExtension(pic, 2), QStringLiteral("jpg"));
    EXPECT_EQ(FilterExtension(pic, 3), QString());
    EXPECT_EQ(FilterExtension(pic, 4), QString());
    EXPECT_EQ(FilterExtension(pic, 0), QString());
}

TEST(WideDialogRules, MultipleSelectionIsFolderThenNames) {
    const QChar nul(u'\0');
    const QString buffer = QStringLiteral("C:\\Videos") + nul + QStringLiteral("a.avi") + nul +
                           QStringLiteral("b.avi") + nul + nul;
    EXPECT_EQ(SplitMultiSelection(buffer, nul), (QStringList{QStringLiteral("C:\\Videos\\a.avi"),
                                                             QStringLiteral("C:\\Videos\\b.avi")}));
    // One item is the chosen file itself.
    EXPECT_EQ(SplitMultiSelection(QStringLiteral("/home/u/one.avi"), nul),
              QStringList{QStringLiteral("/home/u/one.avi")});
    // Old-style lists are separated by blanks; absolute names are taken as they are.
    EXPECT_EQ(SplitMultiSelection(QStringLiteral("/v/ a.avi /w/b.avi D:\\x.avi"), QLatin1Char(' ')),
              (QStringList{QStringLiteral("/v/a.avi"), QStringLiteral("/w/b.avi"),
                           QStringLiteral("D:\\x.avi")}));
}

TEST(WideDialogRules, InitialDirLosesOneTrailingSeparator) {
    EXPECT_EQ(NormalizeInitialDir(QStringLiteral("C:\\Videos\\")), QStringLiteral("C:\\Videos"));
    EXPECT_EQ(NormalizeInitialDir(QStringLiteral("C:\\")), QStringLiteral("C:\\"));
    EXPECT_EQ(NormalizeInitialDir(QStringLiteral("/home/u/")), QStringLiteral("/home/u"));
    EXPECT_EQ(NormalizeInitialDir(QStringLiteral("/")), QStringLiteral("/"));
    TWideOpenDialog d;
    d.SetInitialDir(QStringLiteral("/tmp/"));
    EXPECT_EQ(d.InitialDir(), QStringLiteral("/tmp"));
}

TEST(WideDialogRules, PlacedAThirdFromTheTop) {
    EXPECT_EQ(DialogPlacement(QRect(0, 0, 1920, 1080), QSize(600, 500)), QPoint(660, 193));
    EXPECT_EQ(DialogPlacement(QRect(1920, 0, 1280, 1024), QSize(601, 401)), QPoint(2259, 207));
    // Larger than the monitor: the corner moves above and left of it.
    EXPECT_EQ(DialogPlacement(QRect(0, 0, 800, 600), QSize(1001, 901)), QPoint(-100, -100));
}

class WideDialogRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir = QString::fromStdString(testmedia::TempDir()) + QStringLiteral("/dialogs");
        std::filesystem::create_directories(dir.toStdString());
        for (const char* name : {"a.avi", "b.avi", "c.mpg"})
            testmedia::WriteAll(dir.toStdString() + "/" + name, {1, 2, 3});
    }
    void TearDown() override { mwtest::StopWatching(); }
    QString dir;
};

TEST_F(WideDialogRun, OpenReturnsTheChosenFileAndPlacesItself) {
    TWideOpenDialog d;
    d.Filter = QStringLiteral("AVI files|*.avi|All|*");
    d.Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist | ofEnableSizing;
    d.SetInitialDir(dir + QLatin1Char('/'));
    QPoint placedAt;
    QPoint expected;
    int shows = 0;
    d.OnShow = [&](QObject*) {
        ++shows;
        QFileDialog* w = d.Window();
        placedAt = w->pos();
        expected = DialogPlacement(w->screen()->geometry(), w->frameGeometry().size());
        EXPECT_EQ(w->nameFilters(),
                  (QStringList{QStringLiteral("AVI files (*.avi)"), QStringLiteral("All (*)")}));
        EXPECT_EQ(w->directory().absolutePath(), dir);
    };
    mwtest::AcceptFileDialog(dir + QStringLiteral("/b.avi"));
    ASSERT_TRUE(d.Execute());
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(placedAt, expected);
    EXPECT_EQ(d.FileName(), dir + QStringLiteral("/b.avi"));
    EXPECT_EQ(d.Files, QStringList{dir + QStringLiteral("/b.avi")});
    EXPECT_EQ(d.FilterIndex(), 1);
    EXPECT_EQ(d.Window(), nullptr);

    // Cancelled: the name and filter stay, the file list is empty.
    mwtest::CancelFileDialog();
    EXPECT_FALSE(d.Execute());
    EXPECT_EQ(d.FileName(), dir + QStringLiteral("/b.avi"));
    EXPECT_TRUE(d.Files.isEmpty());
}

TEST_F(WideDialogRun, MultipleSelectionAndCloseQuery) {
    TWideOpenDialog d;
    d.Options |= ofAllowMultiSelect | ofFileMustExist;
    d.SetInitialDir(dir);
    int asked = 0;
    QStringList seen;
    d.OnCanClose = [&](QObject*, bool& canClose) {
        ++asked;
        seen = d.Files;
        canClose = asked > 1; // the first attempt is refused and the dialog stays
    };
    mwtest::WhenModal([](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; },
                      [](QWidget* w) {
                          auto* f = qobject_cast<QFileDialog*>(w);
                          // The dialog may take in its folder late and put back its own
                          // selection: choose until the choice holds.
                          const auto choose = [f] {
                              for (int i = 0; i < 250; ++i) {
                                  mwtest::ChooseFile(f, QStringLiteral("\"a.avi\" \"b.avi\""));
                                  QTest::qWait(20);
                                  if (f->selectedFiles().size() == 2)
                                      return;
                              }
                          };
                          choose();
                          mwtest::PressAccept(f);
                          EXPECT_TRUE(f->isVisible());
                          choose();
                          mwtest::PressAccept(f);
                          if (f->isVisible())
                              f->reject(); // fail rather than hang
                      });
    ASSERT_TRUE(d.Execute());
    EXPECT_EQ(asked, 2);
    const QStringList both{dir + QStringLiteral("/a.avi"), dir + QStringLiteral("/b.avi")};
    EXPECT_EQ(seen, both);
    EXPECT_EQ(d.Files, both);
    EXPECT_EQ(d.FileName(), both.first());
}

TEST_F(WideDialogRun, SaveCompletesTheExtensionOfTheSelectedFilter) {
    TWideSaveDialog d;
    d.Filter = QStringLiteral("Bitmaps|*.bmp|JPEG|*.jpg");
    d.SetInitialDir(dir);
    int typeChanges = 0;
    d.OnTypeChange = [&](QObject*) { ++typeChanges; };
    mwtest::AcceptFileDialog(dir + QStringLiteral("/shot"), 2);
    ASSERT_TRUE(d.Execute());
    EXPECT_EQ(d.FileName(), dir + QStringLiteral("/shot.jpg"));
    EXPECT_EQ(d.FilterIndex(), 2);
    EXPECT_EQ(typeChanges, 1);

    // A typed extension stays; an existing file is not questioned by the dialog itself.
    mwtest::AcceptFileDialog(dir + QStringLiteral("/a.avi"), 1);
    ASSERT_TRUE(d.Execute());
    EXPECT_EQ(d.FileName(), dir + QStringLiteral("/a.avi"));
    EXPECT_EQ(d.FilterIndex(), 1);
}

} // namespace
