// LangRecordLoad_test: language files of every revision applied to live forms.
#include "localisation/ui/C_LangRecord.h"
#include "tests/common/TestMedia.h"
#include "tests/localisation_ui/LangTestSupport.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>

#include <gtest/gtest.h>

using namespace recordtest;

namespace {

class LangLoad : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return testmedia::TempDir() + "/" + name; }

    // Writes records to a file and loads it into the forms.
    bool Load(const std::vector<Record>& records, const QStringList* excluded = nullptr) {
        const std::string path = Path("AVI_0000040C.SPK");
        WriteStore(path, records);
        TLanguageRecord record(4, comp::Application(), excluded);
        const bool ok = record.LoadAndApply(QString::fromStdString(path));
        loaded = record;
        return ok;
    }

    // Loops that need new forms each time call Fresh; f belongs to the first ones only.
    Forms& Fresh() {
        fp.reset();
        fp = std::make_unique<Forms>();
        return *fp;
    }

    std::unique_ptr<Forms> fp = std::make_unique<Forms>();
    Forms& f = *fp;
    TLanguageRecord loaded{4, nullptr, nullptr};
};

Entry Caption(const std::string& path, const std::string& text, int32_t tag = 0x21) {
    Entry e;
    e.path = path;
    e.textTag = tag;
    e.text = text;
    return e;
}

std::string BmpOf(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes.toStdString();
}

} // namespace

TEST_F(LangLoad, RevisionsOneToFourReadTheirHeaderAndApplyEveryKindOfValue) {
    for (uint16_t revision = 1; revision <= 4; ++revision) {
        SCOPED_TRACE(revision);
        Forms& forms = Fresh();
        Header h;
        h.revision = revision;
        h.minFontSize = 11;
        std::vector<Entry> entries = {
            Caption("MainDlg", "Decoupeur"),
            Caption("mainDLG.OPTS_GRP", "Reglages"), // paths match without case
            Caption("MainDlg.start_btn", "&Demarrer"),
            Caption("MainDlg.name_edt", "film.avi"), // no Caption: Text
            Caption("MainDlg.File1", "&Fichier"),
            Caption("MainDlg.Open1", "&Ouvrir..."),
        };
        Entry hint;
        hint.path = "MainDlg.Open1";
        hint.hintTag = 0x22;
        hint.hint = "Ouvrir un fichier AVI";
        entries.push_back(hint);
        Entry lines;
        lines.path = "MainDlg.notes_mem";
        lines.listTag = 0x23;
        lines.list = "ligne un\r\nligne deux\r\n";
        entries.push_back(lines);
        Entry table;
        table.path = "MainDlg.Ts_Main";
        table.listTag = 0x23;
        table.list = "Type de fichier invalide\r\nunused\r\nErreur\r\n";
        entries.push_back(table);

        const std::string path = Path("rev.SPK");
        WriteStore(path, LangFile(h, entries));
        TLanguageRecord record(4, comp::Application(), nullptr);
        ASSERT_TRUE(record.LoadAndApply(QString::fromStdString(path)));

        EXPECT_EQ(record.LangId, 0x040C);
        EXPECT_EQ(record.FileRevision, revision);
        EXPECT_EQ(record.LangName, "French");
        EXPECT_EQ(record.LocalCaption, "Langue");
        EXPECT_EQ(record.Remark, "by a tester");
        EXPECT_EQ(record.Notes, QStringList({"first", "second"}));
        EXPECT_EQ(record.AppVersion, 0x01020C05u);
        EXPECT_EQ(record.ImeName, "ime");
        EXPECT_EQ(record.FontName, "Test Face");
        EXPECT_EQ(record.ExtraFlag, revision >= 2 ? 0xA7 : 0);
        EXPECT_EQ(record.ExtraText1, revision >= 2 ? "one" : "");
        EXPECT_EQ(record.ExtraText2, revision >= 2 ? "two" : "");
        EXPECT_EQ(record.MinFontSize, revision == 4 ? 11 : 9);

        EXPECT_EQ(forms.main->windowTitle(), "Decoupeur");
        EXPECT_EQ(forms.options->title(), "Reglages");
        EXPECT_EQ(forms.start->text(), "&Demarrer");
        EXPECT_EQ(forms.name->text(), "film.avi");
        EXPECT_EQ(forms.fileMenu->title(), "&Fichier");
        EXPECT_EQ(forms.open->text(), "&Ouvrir...");
        EXPECT_EQ(forms.open->statusTip(), "Ouvrir un fichier AVI");
        EXPECT_EQ(forms.notes->toPlainText(), "ligne un\nligne deux");
        EXPECT_EQ(forms.texts->Translate("INVALID FILE TYPE"), "Type de fichier invalide");
        EXPECT_EQ(forms.texts->Translate("Extraction done"), "Extraction done");
        EXPECT_EQ(forms.texts->Translate("Error"), "Erreur");
        // Values the file leaves alone keep their text.
        EXPECT_EQ(forms.info->text(), "Info");
        EXPECT_EQ(forms.info->toolTip(), "What is shown");
    }
}

TEST_F(LangLoad, OnlyValuesTaggedAsTranslatedAreApplied) {
    Header h;
    std::vector<Entry> entries = {Caption("MainDlg.info_lbl", "Untranslated", 1),
                                  Caption("MainDlg.start_btn", "Translated", 0x21),
                                  Caption("MainDlg.opts_grp", "Negative tag", -1)};
    Entry noBit;
    noBit.path = "MainDlg.mode_cmb";
    noBit.listTag = 3;
    noBit.list = "x\r\ny\r\nz\r\n";
    entries.push_back(noBit);
    ASSERT_TRUE(Load(LangFile(h, entries)));
    EXPECT_EQ(f.info->text(), "Info");
    EXPECT_EQ(f.start->text(), "Translated");
    EXPECT_EQ(f.options->title(), "Options");
    EXPECT_EQ(f.mode->itemText(0), "Fast");
}

TEST_F(LangLoad, HintTagsSetTheHintAndShowHint) {
    Header h;
    Entry on;
    on.path = "MainDlg.info_lbl";
    on.hintTag = 0x32;
    on.hint = "Shown";
    Entry off;
    off.path = "MainDlg.start_btn";
    off.hintTag = 0x22;
    off.hint = "Hidden";
    // The message table has no Hint: neither its hint nor a ShowHint may appear.
    Entry none;
    none.path = "MainDlg.Ts_Main";
    none.hintTag = 0x22;
    none.hint = "Nothing";
    ASSERT_TRUE(Load(LangFile(h, {on, off, none})));
    EXPECT_EQ(f.info->toolTip(), "Shown");
    EXPECT_EQ(comp::GetProperty(f.info, u"ShowHint"), QVariant(true));
    EXPECT_EQ(f.start->toolTip(), "Hidden");
    EXPECT_EQ(comp::GetProperty(f.start, u"ShowHint"), QVariant(false));
    EXPECT_FALSE(f.texts->property(comp::kShowHintProperty).isValid());

    // The reverse file turns them the other way.
    on.hintTag = 0x22;
    off.hintTag = 0x32;
    ASSERT_TRUE(Load(LangFile(h, {on, off})));
    EXPECT_EQ(comp::GetProperty(f.info, u"ShowHint"), QVariant(false));
    EXPECT_EQ(comp::GetProperty(f.start, u"ShowHint"), QVariant(true));
}

TEST_F(LangLoad, ItemListsNeverGrowOrShrinkAndTheSelectionStays) {
    Header h;
    Entry combo;
    combo.path = "MainDlg.mode_cmb";
    combo.listTag = 0x23;
    combo.list = "Rapide\r\nNormal\r\nLent\r\nSurplus 1\r\nSurplus 2\r\n";
    Entry shortList;
    shortList.path = "MainDlg.files_lst";
    shortList.listTag = 0x23;
    shortList.list = "c.avi";
    f.files->setCurrentRow(1);
    ASSERT_TRUE(Load(LangFile(h, {combo, shortList})));
    ASSERT_EQ(f.mode->count(), 3);
    EXPECT_EQ(f.mode->itemText(0), "Rapide");
    EXPECT_EQ(f.mode->itemText(2), "Lent");
    EXPECT_EQ(f.mode->currentIndex(), 1);
    ASSERT_EQ(f.files->count(), 2);
    EXPECT_EQ(f.files->item(0)->text(), "c.avi");
    EXPECT_EQ(f.files->item(1)->text(), "b.avi");
    EXPECT_EQ(f.files->currentRow(), 1);
}

TEST_F(LangLoad, FontFacesChangeOnlyWhereTheyEqualTheMainFormsFaceExactly) {
    f.info->setFont(QFont("dejavu sans", 8)); // differs from the main form's only in case
    f.start->setFont(QFont("DejaVu Sans", 8));
    Header h;
    h.revision = 3;
    h.charset = 238;
    ASSERT_TRUE(Load(LangFile(h, {})));
    EXPECT_EQ(f.main->font().family(), "Test Face");
    EXPECT_EQ(f.start->font().family(), "Test Face");
    EXPECT_EQ(f.mode->font().family(), "Test Face"); // inherited from the form
    EXPECT_EQ(f.info->font().family(), "dejavu sans");
    for (QObject* c : std::initializer_list<QObject*>{f.main.get(), f.info, f.start, f.open})
        EXPECT_EQ(comp::FontCharset(c), 238) << comp::Name(c).toStdString();
    EXPECT_EQ(comp::ScreenFontCharset(), 238);
    // Revisions below 4 never enlarge a font, though MinFontSize then reads 9.
    EXPECT_EQ(loaded.MinFontSize, 9);
    EXPECT_EQ(f.main->font().pointSize(), 8);
    EXPECT_EQ(f.info->font().pointSize(), 8);

    // The next language compares with the face the last one installed.
    h.fontName = "Second Face";
    h.charset = 0;
    ASSERT_TRUE(Load(LangFile(h, {})));
    EXPECT_EQ(f.main->font().family(), "Second Face");
    EXPECT_EQ(f.info->font().family(), "dejavu sans");
    EXPECT_EQ(comp::FontCharset(f.info), 0);
}

TEST_F(LangLoad, RevisionFourRaisesFontsBelowMinFontSize) {
    f.info->setFont(QFont("dejavu sans", 8));
    QFont big("DejaVu Sans", 12);
    f.start->setFont(big);
    const QStringList excluded = {"name_edt"};
    f.name->setFont(QFont("Other", 8));
    Header h;
    h.minFontSize = 9;
    ASSERT_TRUE(Load(LangFile(h, {}), &excluded));
    EXPECT_EQ(f.main->font().pointSize(), 9);
    EXPECT_EQ(f.info->font().pointSize(), 9);
    EXPECT_EQ(f.info->font().family(), "dejavu sans");
    EXPECT_EQ(f.mode->font().pointSize(), 9);
    EXPECT_EQ(f.start->font().pointSize(), 12);
    // An excluded component's font is left alone.
    EXPECT_EQ(f.name->font().pointSize(), 8);
    EXPECT_EQ(comp::FontCharset(f.name), 1);
}

TEST_F(LangLoad, AlignmentCodesMirrorLabelsButtonsAndCheckBoxes) {
    Header h;
    Entry one;
    one.align = 1;
    Entry two;
    two.align = 2;
    Entry other;
    other.align = 3;

    one.path = "MainDlg.info_lbl";
    two.path = "MainDlg.start_btn";
    other.path = "MainDlg.name_edt";
    Entry box = two;
    box.path = "MainDlg.loop_chk";
    ASSERT_TRUE(Load(LangFile(h, {one, two, other, box})));
    EXPECT_TRUE(f.info->alignment() & Qt::AlignRight);
    EXPECT_EQ(f.info->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(f.start->layoutDirection(), Qt::RightToLeft);
    EXPECT_TRUE(f.name->alignment() & Qt::AlignLeft);
    // Text on the box's left side, both from alignment 0 and from Layout 1.
    EXPECT_EQ(f.loop->layoutDirection(), Qt::RightToLeft);

    one.align = 2;
    box.align = 1;
    ASSERT_TRUE(Load(LangFile(h, {one, box})));
    EXPECT_TRUE(f.info->alignment() & Qt::AlignLeft);
    EXPECT_EQ(f.info->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(f.loop->layoutDirection(), Qt::LeftToRight);

    // Revisions 1 and 2 have no alignment record.
    h.revision = 2;
    one.align = 1;
    ASSERT_TRUE(Load(LangFile(h, {one})));
    EXPECT_EQ(f.info->layoutDirection(), Qt::RightToLeft);
}

TEST_F(LangLoad, ExclusionsByBareNameAndByPath) {
    Header h;
    Entry main;
    main.path = "MainDlg.Ts_Main";
    main.listTag = 0x23;
    main.list = "A\r\n";
    Entry about = main;
    about.path = "AboutDlg.Ts_Main";
    about.list = "Fermer\r\n";

    const QStringList bare = {"TS_MAIN"};
    ASSERT_TRUE(Load(LangFile(h, {main, about}), &bare));
    EXPECT_EQ(f.texts->Items().first(), "Invalid file type");
    EXPECT_EQ(f.aboutTexts->Items().first(), "Close");

    const QStringList path = {"maindlg.ts_main"};
    ASSERT_TRUE(Load(LangFile(h, {main, about}), &path));
    EXPECT_EQ(f.texts->Items().first(), "Invalid file type");
    EXPECT_EQ(f.aboutTexts->Items().first(), "Fermer");
}

TEST_F(LangLoad, UnknownPathsSkipTheirWholeEntry) {
    // The unknown entries' values look like paths of real components: a wrong skip would apply
    // the records after them to the label.
    const std::string bait = "MainDlg.info_lbl";
    for (uint16_t revision = 1; revision <= 4; ++revision) {
        SCOPED_TRACE(revision);
        Forms& forms = Fresh();
        Header h;
        h.revision = revision;
        std::vector<Record> r = HeaderRecords(h);
        r.push_back({0x213, "MainDlg.gone_btn"});
        if (revision >= 3)
            r.push_back({0x21, bait});
        r.push_back({0x21, bait});
        r.push_back({0x21, bait});
        r.push_back({0x21, bait});
        AppendEntry(r, revision, Caption("MainDlg.start_btn", "Go"));
        Entry gone;
        gone.path = "Nowhere.gone";
        AppendEntry(r, revision, gone);
        AppendEntry(r, revision, Caption("MainDlg.opts_grp", "Last"));
        ASSERT_TRUE(Load(r));
        EXPECT_EQ(forms.info->text(), "Info");
        EXPECT_EQ(forms.start->text(), "Go");
        EXPECT_EQ(forms.options->title(), "Last");
    }
}

TEST_F(LangLoad, RevisionZeroEntriesByKind) {
    Header h;
    h.revision = 0;
    std::vector<Record> r = HeaderRecords(h);
    // Controls, list controls, the message table and menu items.
    r.insert(r.end(), {{6, "MainDlg.info_lbl"}, {0, "Etiquette"}, {0, "Aide"}});
    r.insert(r.end(), {{10, "MainDlg"}, {0, "Fenetre"}, {0, ""}});
    r.insert(r.end(),
             {{11, "MainDlg.mode_cmb"}, {0, ""}, {0, "Mode"}, {0, "Rapide\r\nNormal\r\n"}});
    r.insert(r.end(), {{12, "MainDlg.Ts_Main"}, {0, "Type invalide\r\nFini\r\nErreur\r\nX\r\n"}});
    r.insert(r.end(), {{13, "MainDlg.Open1"}, {0, "&Ouvrir"}, {0, "Ouvre"}});
    r.insert(r.end(), {{7, "MainDlg.name_edt"}, {0, "nom.avi"}, {0, ""}});
    // An empty value leaves the old one.
    r.insert(r.end(), {{8, "MainDlg.start_btn"}, {0, ""}, {0, ""}});
    // Components owned by a form's component are beyond revision 0's reach.
    r.insert(r.end(), {{6, "MainDlg.File1.Open1"}, {0, "Nested"}, {0, ""}});
    ASSERT_TRUE(Load(r));
    EXPECT_EQ(loaded.FileRevision, 0);
    EXPECT_EQ(loaded.Charset, 1);
    EXPECT_EQ(loaded.LangId, 0x040C);
    EXPECT_EQ(f.info->text(), "Etiquette");
    EXPECT_EQ(f.info->toolTip(), "Aide");
    EXPECT_EQ(f.main->windowTitle(), "Fenetre");
    EXPECT_EQ(f.mode->toolTip(), "Mode");
    EXPECT_EQ(f.mode->itemText(0), "Rapide");
    EXPECT_EQ(f.mode->itemText(2), "Slow");
    EXPECT_EQ(f.mode->count(), 3);
    EXPECT_EQ(f.texts->Translate("Extraction done"), "Fini");
    EXPECT_EQ(f.texts->Items().size(), 3);
    EXPECT_EQ(f.open->text(), "&Ouvrir");
    EXPECT_EQ(f.open->statusTip(), "Ouvre");
    EXPECT_EQ(f.name->text(), "nom.avi");
    EXPECT_EQ(f.start->text(), "&Start");
    EXPECT_EQ(f.start->toolTip(), "Start it");
    EXPECT_EQ(comp::FontCharset(f.start), 1);
    // Fonts keep their face and size.
    EXPECT_EQ(f.main->font().family(), "DejaVu Sans");
    EXPECT_EQ(f.main->font().pointSize(), 8);
}

TEST_F(LangLoad, RevisionZeroWordsAndUnknownPathsOfEachKind) {
    const std::string bait = "MainDlg.info_lbl";
    for (const int32_t kind : {6, 9, 10, 11, 12, 13, 5, 14}) {
        SCOPED_TRACE(kind);
        Forms& forms = Fresh();
        Header h;
        h.revision = 0;
        std::vector<Record> r = HeaderRecords(h);
        // A 4-byte word whose upper half is 0 is revision 0 as well.
        if (kind % 2 == 0)
            r[0].data = Int32(0x040C);
        r.push_back({kind, "MainDlg.missing"});
        const int values = kind == 11 ? 3 : kind == 12 ? 1 : (kind >= 6 && kind <= 13) ? 2 : 0;
        for (int i = 0; i < values; ++i)
            r.push_back({6, bait});
        r.insert(r.end(), {{6, "MainDlg.start_btn"}, {0, "Go"}, {0, "Hint"}});
        ASSERT_TRUE(Load(r));
        EXPECT_EQ(loaded.FileRevision, 0);
        EXPECT_EQ(forms.info->text(), "Info");
        EXPECT_EQ(forms.start->text(), "Go");
        EXPECT_EQ(forms.start->toolTip(), "Hint");
    }
}

TEST_F(LangLoad, UnsupportedRevisionRaisesAfterTheFirstSixRecords) {
    Header h;
    h.revision = 5;
    h.langName = "Futur";
    h.flag = BmpOf(QImage(4, 3, QImage::Format_RGB32));
    const std::string path = Path("AVI_00000407.SPK");
    WriteStore(path, LangFile(h, {Caption("MainDlg.info_lbl", "Changed")}));
    TLanguageRecord record(4, comp::Application(), nullptr);
    record.Charset = 204;
    try {
        record.LoadAndApply(QString::fromStdString(path));
        FAIL() << "no error raised";
    } catch (const ELanguageFileError& e) {
        EXPECT_STREQ(e.what(), "Format not supported in this revision");
    }
    EXPECT_EQ(record.LangId, 0x040C);
    EXPECT_EQ(record.FileRevision, 5);
    EXPECT_EQ(record.LangName, "Futur");
    EXPECT_EQ(record.LocalCaption, "Langue");
    EXPECT_EQ(record.Remark, "by a tester");
    EXPECT_EQ(record.Notes, QStringList({"first", "second"}));
    EXPECT_EQ(record.Flag.size(), QSize(4, 3));
    // Nothing past the six records was taken, and no component changed.
    EXPECT_EQ(record.FontName, "");
    EXPECT_EQ(record.Charset, 204);
    EXPECT_EQ(record.AppVersion, 0u);
    EXPECT_EQ(f.info->text(), "Info");
    EXPECT_EQ(f.main->font().family(), "DejaVu Sans");
    EXPECT_EQ(comp::FontCharset(f.main.get()), 1);
}

TEST_F(LangLoad, FilesThatAreNotLoadedChangeNothing) {
    TLanguageRecord record(4, comp::Application(), nullptr);
    record.LangName = "Before";
    record.LangId = 7;

    const QString missing = QString::fromStdString(Path("AVI_00000409.SPK"));
    EXPECT_FALSE(record.LoadAndApply(missing));
    EXPECT_FALSE(QFileInfo::exists(missing));

    Header h;
    std::vector<Record> r = LangFile(h, {Caption("MainDlg.info_lbl", "Changed")});
    const std::string wrong = Path("wrong.SPK");
    WriteStore(wrong, r);
    auto bytes = testmedia::ReadAll(wrong);
    bytes[0] = 'Y';
    testmedia::WriteAll(wrong, bytes);
    EXPECT_FALSE(record.LoadAndApply(QString::fromStdString(wrong)));

    const std::string five = Path("five.SPK");
    WriteStore(five, std::vector<Record>(r.begin(), r.begin() + 5));
    EXPECT_FALSE(record.LoadAndApply(QString::fromStdString(five)));

    EXPECT_EQ(record.LangName, "Before");
    EXPECT_EQ(record.LangId, 7);
    EXPECT_EQ(f.info->text(), "Info");
    EXPECT_EQ(comp::FontCharset(f.main.get()), 1);
}

TEST_F(LangLoad, AFileIsReadToItsEndWhateverItsCountSays) {
    Header h;
    const std::string path = Path("AVI_0000040C.SPK");
    WriteStore(path, LangFile(h, {Caption("MainDlg.info_lbl", "One"),
                                  Caption("MainDlg.start_btn", "Two")}));
    auto bytes = testmedia::ReadAll(path);
    bytes[17] = 6; // a writer that never closed the file
    bytes[18] = bytes[19] = bytes[20] = 0;
    testmedia::WriteAll(path, bytes);
    TLanguageRecord record(4, comp::Application(), nullptr);
    ASSERT_TRUE(record.LoadAndApply(QString::fromStdString(path)));
    EXPECT_EQ(f.start->text(), "Two");
}

TEST_F(LangLoad, FlagsAreBitmapFiles) {
    QImage flag(28, 19, QImage::Format_RGB32);
    flag.fill(QColor(0, 85, 164));
    Header h;
    h.flag = BmpOf(flag);
    ASSERT_TRUE(Load(LangFile(h, {})));
    ASSERT_EQ(loaded.Flag.size(), flag.size());
    EXPECT_EQ(loaded.Flag.pixelColor(3, 3), QColor(0, 85, 164));

    h.flag = "";
    ASSERT_TRUE(Load(LangFile(h, {})));
    EXPECT_TRUE(loaded.Flag.isNull());

    h.flag = "BMnot really a bitmap";
    std::vector<Record> r = LangFile(h, {Caption("MainDlg.info_lbl", "Changed")});
    EXPECT_THROW(Load(r), ELanguageFileError);
    EXPECT_EQ(f.info->text(), "Info");
}

TEST_F(LangLoad, EightBitTextsAreReadInTheCodePageOfTheCharset) {
    if (QFontInfo(QFont("DejaVu Sans")).family() != "DejaVu Sans")
        GTEST_SKIP() << "DejaVu Sans not found; install the Debian package fonts-dejavu-core";
    struct Case {
        int charset;
        std::string bytes;
        QString text;
    };
    const Case cases[] = {
        {204, "\xCF\xF0\xE8\xE2\xE5\xF2",
         QString::fromUtf8("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2"
                           "\xD0\xB5\xD1\x82")}, // Привет
        {161, "\xC3\xE5\xE9\xDC", QString::fromUtf8("\xCE\x93\xCE\xB5\xCE\xB9\xCE\xAC")}, // Γειά
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.charset);
        Forms& forms = Fresh();
        Header h;
        h.charset = c.charset;
        h.fontName = "DejaVu Sans";
        h.langName = c.bytes;
        ASSERT_TRUE(Load(LangFile(h, {Caption("MainDlg.info_lbl", c.bytes)})));
        EXPECT_EQ(loaded.LangName, c.text);
        EXPECT_EQ(forms.info->text(), c.text);
        EXPECT_EQ(comp::FontCharset(forms.info), c.charset);
        const QFontMetrics metrics(forms.info->font());
        for (const QChar ch : c.text)
            EXPECT_TRUE(metrics.inFont(ch)) << int{ch.unicode()};
        EXPECT_GT(metrics.horizontalAdvance(forms.info->text()), 0);
    }
}
