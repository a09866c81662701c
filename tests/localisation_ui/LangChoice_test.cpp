// LangChoice_test: the language chooser (caption, clicks, drawing) and the language dialog.
#include "localisation/ui/C_LangPack.h"
#include "localisation/ui/Lang_langChoice.h"
#include "localisation/ui/U_LangDlg.h"
#include "tests/localisation_ui/LangTestEnv.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace langtest;

namespace {

const QColor kCream(255, 251, 240);

// A chooser on its own window, attached to a list whose start-up has run.
struct ShownChooser {
    explicit ShownChooser(TLangList* list) {
        choice = std::make_unique<TLanguageChoice>();
        choice->resize(313, 385);
        choice->SetLanguageList(list);
        list->FirstActivateWith({});
        choice->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(choice.get()));
    }
    void Click(int row) const {
        QListWidget* box = choice->LanguageBox();
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {},
                          box->visualItemRect(box->item(row)).center());
    }
    std::unique_ptr<TLanguageChoice> choice;
};

} // namespace

TEST(LangChoice, WithoutLanguageFilesOnlyTheOriginalIsListed) {
    LangEnv env;
    TLangList* list = env.MakeList();
    TLanguageChoice choice;
    choice.SetLanguageList(list);
    list->FirstActivateWith({});
    ASSERT_EQ(choice.LanguageBox()->count(), 1);
    EXPECT_EQ(choice.LanguageBox()->item(0)->text(), "English - original");
    EXPECT_EQ(choice.CaptionLabel()->text(), "");
    EXPECT_TRUE(choice.CaptionLabel()->objectName().isEmpty());
    EXPECT_EQ(choice.CaptionLabel()->height(), 16);
    EXPECT_EQ(choice.Separator()->height(), 2);
}

TEST(LangChoice, CaptionAfterStartUpAndAfterAClick) {
    LangEnv env;
    env.WriteLanguage(0x0409, "English", "Language", "Hello");
    env.WriteLanguage(0x040C, "Francais", "Langue", "Bonjour");
    env.StoreValue(reg::RegValue::Dword(0x040C));
    TLangList* list = env.MakeList();
    std::vector<QObject*> mainWindowHeard;
    list->AfterLanguageSwitch = [&](QObject* sender) { mainWindowHeard.push_back(sender); };

    ShownChooser shown(list);
    TLanguageChoice* choice = shown.choice.get();
    ASSERT_EQ(choice->LanguageBox()->count(), 3);
    EXPECT_EQ(choice->LanguageBox()->item(2)->text(), "Francais [1.2.3.5] - by tests");
    EXPECT_EQ(choice->CaptionLabel()->text(), "  Langue");
    EXPECT_EQ(choice->LanguageBox()->currentRow(), 2);
    // The main window's handler still runs, with the chooser as sender.
    ASSERT_EQ(mainWindowHeard.size(), 1u);
    EXPECT_EQ(mainWindowHeard[0], choice);

    std::vector<QObject*> clicked;
    choice->OnClick = [&](QObject* sender) { clicked.push_back(sender); };
    shown.Click(1);
    EXPECT_EQ(list->LanguageIndex(), 0);
    EXPECT_EQ(env.label->text(), "Hello");
    EXPECT_EQ(choice->CaptionLabel()->text(), "Language");
    EXPECT_EQ(mainWindowHeard.size(), 2u);
    ASSERT_EQ(clicked.size(), 1u);
    EXPECT_EQ(clicked[0], choice);
    reg::RegValue stored;
    ASSERT_TRUE(env.StoredCode(stored));
    EXPECT_EQ(stored, reg::RegValue::Dword(0x0409));

    // A selection moved by the keyboard switches as a click does.
    choice->LanguageBox()->setFocus();
    QTest::keyClick(choice->LanguageBox(), Qt::Key_Down);
    EXPECT_EQ(list->LanguageIndex(), 1);
    EXPECT_EQ(env.label->text(), "Bonjour");
    EXPECT_EQ(clicked.size(), 2u);

    // The first row puts the program's own texts back, and is remembered as such.
    shown.Click(0);
    EXPECT_FALSE(list->LanguageLoaded());
    EXPECT_EQ(env.label->text(), kDesignText);
    EXPECT_EQ(choice->LanguageBox()->currentRow(), 0);
    ASSERT_TRUE(env.StoredCode(stored));
    EXPECT_EQ(stored, reg::RegValue::Dword(0));
    TLangList* again = env.MakeList();
    again->FirstActivateWith({});
    EXPECT_FALSE(again->LanguageLoaded());
}

TEST(LangChoice, ARefusedSwitchLeavesTheClickedEntrySelected) {
    LangEnv env;
    env.WriteLanguage(0x0409, "English", "Language", "Hello");
    env.WriteLanguage(0x040C, "Francais", "Langue", "Bonjour");
    env.StoreValue(reg::RegValue::Dword(0x040C));
    TLangList* list = env.MakeList();
    ShownChooser shown(list);
    list->BeforeLanguageSwitch = [](QObject*, int32_t, int32_t, bool& canChange) {
        canChange = false;
    };
    shown.Click(1);
    EXPECT_EQ(shown.choice->LanguageBox()->currentRow(), 1);
    EXPECT_EQ(list->LanguageIndex(), 1);
    EXPECT_EQ(env.label->text(), "Bonjour");
    EXPECT_EQ(shown.choice->CaptionLabel()->text(), "Langue");
}

TEST(LangChoice, FlagsSitTwoPixelsBelowTheRowTop) {
    LangEnv env;
    const QColor red(220, 0, 0);
    LangFileContent en; // 16 pixels high: not centred in the 32-pixel row
    en.langId = 0x0409;
    en.langName = "English";
    en.flag = SolidBmp(20, 16, red);
    ASSERT_TRUE(WriteLangFile(env.File(0x0409), en));
    LangFileContent fr; // no flag: a 2 x 2 frame
    fr.langId = 0x040C;
    fr.langName = "Francais";
    ASSERT_TRUE(WriteLangFile(env.File(0x040C), fr));
    TLangList* list = env.MakeList();
    ShownChooser shown(list);
    QListWidget* box = shown.choice->LanguageBox();
    box->setCurrentRow(-1);
    box->clearSelection();
    const QImage image = box->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QColor base = box->palette().color(QPalette::Active, QPalette::Base);
    ASSERT_NE(base, kCream);

    const QRect row0 = box->visualItemRect(box->item(1)); // after the original's row
    EXPECT_EQ(row0.height(), 32);
    const int l = row0.left();
    const int t = row0.top();
    EXPECT_EQ(image.pixelColor(l + 4, t + 2), red);           // flag's first pixel
    EXPECT_EQ(image.pixelColor(l + 4 + 19, t + 2 + 15), red); // and its last
    EXPECT_EQ(image.pixelColor(l + 4, t + 1), kCream);        // frame, top
    EXPECT_EQ(image.pixelColor(l + 3, t + 2), kCream);        // left
    EXPECT_EQ(image.pixelColor(l + 24, t + 10), kCream);      // right
    EXPECT_EQ(image.pixelColor(l + 10, t + 18), kCream);      // bottom
    EXPECT_EQ(image.pixelColor(l + 4, t), base);
    EXPECT_EQ(image.pixelColor(l + 10, t + 19), base);
    // Nothing between the frame and the text, which starts 12 pixels after the flag's width.
    for (int x = l + 25; x < l + 20 + 12; ++x)
        for (int y = t; y < t + 32; ++y)
            ASSERT_EQ(image.pixelColor(x, y), base) << x << "," << y;

    const QRect row1 = box->visualItemRect(box->item(2));
    const int t1 = row1.top();
    EXPECT_EQ(t1, t + 32);
    for (int x = l + 3; x <= l + 4; ++x)
        for (int y = t1 + 1; y <= t1 + 2; ++y)
            EXPECT_EQ(image.pixelColor(x, y), kCream) << x << "," << y;
    EXPECT_EQ(image.pixelColor(l + 5, t1 + 1), base);
    EXPECT_EQ(image.pixelColor(l + 3, t1 + 3), base);
}

TEST(LangChoice, TheChainSurvivesTheChooser) {
    LangEnv env;
    env.WriteLanguage(0x040C, "Francais", "Langue", "Bonjour");
    TLangList* list = env.MakeList();
    int heard = 0;
    list->AfterLanguageSwitch = [&](QObject* sender) {
        ++heard;
        EXPECT_EQ(sender, list);
    };
    {
        TLanguageChoice choice;
        choice.SetLanguageList(list);
    }
    list->SetLanguageIndex(0);
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(env.label->text(), "Bonjour");
}

TEST(LangChoice, AttachingTwiceChainsTwiceAndEnds) {
    LangEnv env;
    env.WriteLanguage(0x040C, "Francais", "Langue", "Bonjour");
    TLangList* list = env.MakeList();
    int heard = 0;
    list->AfterLanguageSwitch = [&](QObject*) { ++heard; };
    TLanguageChoice choice;
    choice.SetLanguageList(list);
    choice.SetLanguageList(list);
    EXPECT_EQ(choice.LanguageBox()->count(), 2);
    list->SetLanguageIndex(0);
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(choice.CaptionLabel()->text(), "  Langue");
    // Detached, the chooser still passes each switch on.
    choice.SetLanguageList(nullptr);
    EXPECT_EQ(choice.LanguageBox()->count(), 0);
    list->SetLanguageIndex(0);
    EXPECT_EQ(heard, 2);
}

TEST(LangDlg, NamesAndSizes) {
    LangEnv env;
    env.WriteLanguage(0x0409, "English", "Language");
    env.WriteLanguage(0x040C, "Francais", "Langue");
    TLangList* list = env.MakeList();
    TLangDlg dlg(list);
    EXPECT_EQ(dlg.objectName(), "LangDlg");
    EXPECT_EQ(dlg.windowTitle(), "Language");
    EXPECT_EQ(dlg.size(), QSize(316, 388));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    ASSERT_NE(dlg.LanguageChoice1, nullptr);
    EXPECT_EQ(dlg.LanguageChoice1->objectName(), "LanguageChoice1");
    EXPECT_EQ(dlg.LanguageChoice1->geometry(), QRect(0, 0, 313, 385));
    EXPECT_EQ(dlg.LanguageChoice1->LanguageList(), list);
    EXPECT_EQ(dlg.LanguageChoice1->LanguageBox()->count(), 3);
    EXPECT_EQ(comp::Components(&dlg), QList<QObject*>{dlg.LanguageChoice1});
    EXPECT_EQ(dlg.findChildren<QPushButton*>().size(), 0);
}
