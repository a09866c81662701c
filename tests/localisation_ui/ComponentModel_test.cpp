// ComponentModel_test: explicit ownership, paths of the component tree and the property table.
#include "localisation/ui/C_LangRecord.h"
#include "tests/common/TestMedia.h"
#include "tests/localisation_ui/LangTestSupport.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QToolTip>

#include <gtest/gtest.h>

using namespace recordtest;

TEST(ComponentOwnership, OwnershipIsExplicitOrderedAndForgetsTheDead) {
    QObject owner;
    QObject other;
    auto* a = new QObject(&other); // Qt parent differs from the owner on purpose
    auto* b = new QObject(&other);
    auto* c = new QObject(&other);
    comp::Own(&owner, a);
    comp::Own(&owner, b);
    comp::Own(&owner, c);
    EXPECT_EQ(comp::Components(&owner), QList<QObject*>({a, b, c}));
    EXPECT_EQ(comp::Owner(b), &owner);
    EXPECT_TRUE(comp::Components(&other).isEmpty());

    // Owning again moves the component to the end of its new owner's list.
    comp::Own(&owner, a);
    EXPECT_EQ(comp::Components(&owner), QList<QObject*>({b, c, a}));
    comp::Own(b, c);
    EXPECT_EQ(comp::Components(&owner), QList<QObject*>({b, a}));
    EXPECT_EQ(comp::Components(b), QList<QObject*>({c}));

    // A loop would make walks endless; it is refused.
    comp::Own(c, &owner);
    EXPECT_EQ(comp::Owner(&owner), nullptr);

    delete b;
    EXPECT_EQ(comp::Components(&owner), QList<QObject*>({a}));
    EXPECT_EQ(comp::Owner(c), nullptr);
    // A new object at a dead one's address starts with no components and no owner.
    auto* fresh = new QObject(&other);
    EXPECT_TRUE(comp::Components(fresh).isEmpty());
    EXPECT_EQ(comp::Owner(fresh), nullptr);
    comp::Own(nullptr, a);
    EXPECT_TRUE(comp::Components(&owner).isEmpty());
}

TEST(ComponentOwnership, FormsAreTheWidgetsTheApplicationOwns) {
    EXPECT_EQ(comp::MainForm(), nullptr);
    EXPECT_TRUE(comp::Name(comp::Application()).isEmpty());
    {
        Forms f;
        EXPECT_EQ(comp::MainForm(), f.main.get());
        EXPECT_TRUE(comp::IsForm(f.about.get()));
        EXPECT_FALSE(comp::IsForm(f.info));
        EXPECT_EQ(comp::Owner(f.info), f.main.get());
        EXPECT_NE(f.info->parent(), f.main.get());
    }
    EXPECT_EQ(comp::MainForm(), nullptr);
}

TEST(ComponentOwnership, PathsFollowOwnersExclusionsAndUnnamedOwners) {
    Forms f;
    // A component owned by an unnamed one is listed under its own name alone.
    QObject unnamed;
    comp::Own(f.main.get(), &unnamed);
    QLabel first("first");
    first.setObjectName("twin_lbl");
    comp::Own(&unnamed, &first);
    QObject unnamed2;
    comp::Own(f.about.get(), &unnamed2);
    QLabel second("second");
    second.setObjectName("twin_lbl");
    comp::Own(&unnamed2, &second);
    // An excluded component's own components are still listed, under its name.
    QAction inner("Inner");
    inner.setObjectName("Inner1");
    comp::Own(f.open, &inner);

    const QStringList excluded = {"OPEN1", "AboutDlg.title_lbl"};
    TLanguageRecord::ComponentList list;
    TLanguageRecord::CollectComponents("", list, &excluded, comp::Application());
    QStringList paths;
    for (const auto& entry : list)
        paths << entry.first;
    const QStringList expected = {
        "MainDlg",           "MainDlg.opts_grp", "MainDlg.info_lbl",     "MainDlg.start_btn",
        "MainDlg.loop_chk",  "MainDlg.mode_cmb", "MainDlg.name_edt",     "MainDlg.notes_mem",
        "MainDlg.files_lst", "MainDlg.File1",    "MainDlg.Open1.Inner1", "MainDlg.Ts_Main",
        "twin_lbl",          "AboutDlg",         "AboutDlg.Ts_Main",     "twin_lbl"};
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(list[12].second, &first);
    EXPECT_EQ(list[15].second, &second);

    // The first of two equal paths receives the entry.
    const std::string path = testmedia::TempDir() + "/twins.SPK";
    Header h;
    Entry e;
    e.path = "TWIN_LBL";
    e.textTag = 0x21;
    e.text = "Twin";
    WriteStore(path, LangFile(h, {e}));
    TLanguageRecord record(4, comp::Application(), nullptr);
    ASSERT_TRUE(record.LoadAndApply(QString::fromStdString(path)));
    EXPECT_EQ(first.text(), "Twin");
    EXPECT_EQ(second.text(), "second");
}

TEST(ComponentProperties, NamesMatchWithoutCaseAndClassesPublishTheirOwn) {
    Forms f;
    QPlainTextEdit plain("one\ntwo\n");
    QRadioButton radio("Radio");
    const struct {
        QObject* component;
        const char* name;
        bool has;
    } cases[] = {
        {f.main.get(), "CAPTION", true}, {f.main.get(), "Text", false},
        {f.info, "caption", true},       {f.info, "ALIGNMENT", true},
        {f.info, "layout", true},        {f.start, "Layout", true},
        {f.start, "alignment", false},   {f.loop, "alignment", true},
        {&radio, "Alignment", true},     {f.options, "Caption", true},
        {f.mode, "Items", true},         {f.mode, "ItemIndex", true},
        {f.mode, "Caption", false},      {f.name, "Text", true},
        {f.name, "Caption", false},      {f.notes, "Lines", true},
        {&plain, "lines", true},         {f.files, "items", true},
        {f.fileMenu, "Caption", true},   {f.fileMenu, "ShowHint", false},
        {f.open, "Hint", true},          {f.open, "ShowHint", false},
        {f.open, "Font", true},          {f.texts, "Items", true},
        {f.texts, "Font", false},        {f.texts, "Hint", false},
        {f.info, "ShowHint", true},      {f.info, "Color", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(comp::HasProperty(c.component, QString::fromLatin1(c.name)), c.has)
            << comp::Name(c.component).toStdString() << " " << c.name;

    EXPECT_EQ(comp::GetProperty(f.main.get(), u"Caption"), QVariant("Easy movie splitter"));
    EXPECT_EQ(comp::GetProperty(&plain, u"Lines"), QVariant(QStringList({"one", "two"})));
    EXPECT_EQ(comp::GetProperty(f.fileMenu, u"caption"), QVariant("&File"));
    EXPECT_EQ(comp::GetProperty(f.mode, u"ItemIndex"), QVariant(1));
    EXPECT_FALSE(comp::GetProperty(f.texts, u"Caption").isValid());

    // Values of the wrong kind or out of range are refused and change nothing.
    EXPECT_FALSE(comp::SetProperty(f.info, u"Caption", 5));
    EXPECT_FALSE(comp::SetProperty(f.mode, u"ItemIndex", 3));
    EXPECT_FALSE(comp::SetProperty(f.mode, u"Items", QString("x")));
    EXPECT_FALSE(comp::SetProperty(f.info, u"alignment", 7));
    EXPECT_FALSE(comp::SetProperty(f.start, u"Layout", 2));
    EXPECT_FALSE(comp::SetProperty(f.texts, u"Caption", QString("x")));
    EXPECT_EQ(f.info->text(), "Info");
    EXPECT_EQ(f.mode->currentIndex(), 1);

    EXPECT_TRUE(comp::SetProperty(f.info, u"alignment", 2));
    EXPECT_TRUE(f.info->alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(comp::SetProperty(&radio, u"alignment", 0));
    EXPECT_EQ(radio.layoutDirection(), Qt::RightToLeft);
    EXPECT_TRUE(comp::SetProperty(f.texts, u"Items", QStringList({"A", "B", "C", "D"})));
    EXPECT_EQ(f.texts->Items(), QStringList({"A", "B", "C"}));
    EXPECT_TRUE(comp::SetProperty(&plain, u"Lines", QStringList({"x", "y"})));
    EXPECT_EQ(plain.toPlainText(), "x\ny");
}

TEST(ComponentProperties, ShowHintOffKeepsTheTooltipFromShowing) {
    Forms f;
    f.main->show();
    // Each question uses a new text: a tip that was hidden lingers a moment.
    const auto askForTip = [&](QWidget* w, const QString& text) {
        w->setToolTip(text);
        QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(w, &event);
        const bool shown = QToolTip::isVisible() && QToolTip::text() == text;
        QToolTip::hideText();
        return shown;
    };
    EXPECT_TRUE(askForTip(f.start, "first"));
    ASSERT_TRUE(comp::SetProperty(f.start, u"ShowHint", false));
    EXPECT_FALSE(askForTip(f.start, "second"));
    EXPECT_EQ(comp::GetProperty(f.start, u"Hint"), QVariant("second"));
    ASSERT_TRUE(comp::SetProperty(f.start, u"showhint", true));
    EXPECT_TRUE(askForTip(f.start, "third"));
}

TEST(ComponentProperties, FontCharsetsAreKeptBesideTheFont) {
    Forms f;
    EXPECT_EQ(comp::FontCharset(f.info), 1);
    comp::SetFontCharset(f.info, 161);
    EXPECT_EQ(comp::FontCharset(f.info), 161);
    EXPECT_EQ(comp::FontCharset(f.start), 1);
    QFont font("Test Face", 14);
    ASSERT_TRUE(comp::SetProperty(f.open, u"font", font));
    EXPECT_EQ(f.open->font().family(), "Test Face");
    EXPECT_EQ(comp::GetProperty(f.open, u"Font").value<QFont>().pointSize(), 14);
}
