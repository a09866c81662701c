// LangRecordSave_test: the reference file written from live forms, read back record by record.
#include "localisation/ui/C_LangRecord.h"
#include "tests/common/TestMedia.h"
#include "tests/localisation_ui/LangTestSupport.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace recordtest;

namespace {

struct Read {
    int32_t tag;
    std::string data;
};

std::vector<Read> ReadBack(const std::string& path, int32_t* count = nullptr) {
    TStorefile store;
    store.SetSignature(kSignature);
    store.SetReadOnly(true);
    store.SetFilename(path);
    store.Open();
    EXPECT_TRUE(store.Opened());
    if (count)
        *count = store.Count();
    std::vector<Read> records;
    while (!store.Eof()) {
        std::string data;
        const int32_t tag = store.ReadString(data);
        records.push_back({tag, data});
    }
    return records;
}

struct Expected {
    std::string path;
    int32_t textTag;
    std::string text;
    int32_t hintTag;
    std::string hint;
    int32_t listTag;
    std::string list;
};

class LangSave : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return testmedia::TempDir() + "/" + name; }

    TLanguageRecord Reference() {
        TLanguageRecord record(4, comp::Application(), nullptr);
        record.AppVersion = 0x01020C05;
        record.ImeName = "ime";
        record.FontName = f.main->font().family();
        record.Charset = 0;
        return record;
    }

    Forms f;
};

} // namespace

TEST_F(LangSave, TheReferenceFileListsEveryTranslatableComponent) {
    f.loop->setText("  \t "); // blank, no hint, no list: no entry
    comp::SetProperty(f.info, u"ShowHint", false);
    f.about->setWindowTitle("");
    const std::string path = Path("AVI_ORIGINAL.SPK");
    testmedia::WriteAll(path, std::vector<uint8_t>(100, 'x')); // erased first
    TLanguageRecord record = Reference();
    ASSERT_TRUE(record.SaveToFile(QString::fromStdString(path)));

    const auto bytes = testmedia::ReadAll(path);
    ASSERT_GE(bytes.size(), 21u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 17), kSignature);
    int32_t count = 0;
    const auto records = ReadBack(path, &count);
    EXPECT_EQ(count, static_cast<int32_t>(records.size()));
    EXPECT_EQ(bytes[17] | bytes[18] << 8 | bytes[19] << 16 | bytes[20] << 24, count);

    const std::vector<int32_t> headerTags = {0,     1,     2,     3,     4,     5,     0x200,
                                             0x204, 0x205, 0x206, 0x201, 0x202, 0x203, 0x204};
    ASSERT_GT(records.size(), headerTags.size());
    for (size_t i = 0; i < headerTags.size(); ++i)
        EXPECT_EQ(records[i].tag, headerTags[i]) << i;
    EXPECT_EQ(records[0].data, std::string("\x00\x00\x04\x00", 4));
    EXPECT_EQ(records[4].data, ""); // Notes
    EXPECT_EQ(records[5].data, ""); // Flag
    EXPECT_EQ(records[6].data, Int32(0x01020C05));
    EXPECT_EQ(records[11].data, "DejaVu Sans");
    EXPECT_EQ(records[12].data, Int32(0));
    EXPECT_EQ(records[13].data, Int32(8));

    // Collection order: each form, then what it owns.
    const std::vector<Expected> expected = {
        {"MainDlg", 1, "Easy movie splitter", 0, "", 0, ""},
        {"MainDlg.opts_grp", 1, "Options", 0, "", 0, ""},
        {"MainDlg.info_lbl", 1, "Info", 0x02, "What is shown", 0, ""},
        {"MainDlg.start_btn", 1, "&Start", 0x12, "Start it", 0, ""},
        {"MainDlg.mode_cmb", 0, "", 0, "", 3, "Fast\r\nNormal\r\nSlow\r\n"},
        {"MainDlg.name_edt", 1, "clip.avi", 0, "", 0, ""},
        {"MainDlg.notes_mem", 0, "", 0, "", 3, "line one\r\nline two\r\n"},
        {"MainDlg.files_lst", 0, "", 0, "", 3, "a.avi\r\nb.avi\r\n"},
        {"MainDlg.File1", 1, "&File", 0, "", 0, ""},
        {"MainDlg.Open1", 1, "&Open...", 0x12, "Open an AVI file", 0, ""},
        {"MainDlg.Ts_Main", 0, "", 0, "", 3, "Invalid file type\r\nExtraction done\r\nError\r\n"},
        {"AboutDlg.title_lbl", 1, "Clipvane", 0, "", 0, ""},
        {"AboutDlg.Ts_Main", 0, "", 0, "", 3, "Close\r\n"},
    };
    ASSERT_EQ(records.size(), headerTags.size() + 5 * expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(e.path);
        const Read* r = &records[headerTags.size() + 5 * i];
        const int k = int(e.textTag != 0) + int(e.hintTag != 0) + int(e.listTag != 0);
        EXPECT_EQ(r[0].tag, 0x210 + k);
        EXPECT_EQ(r[0].data, e.path);
        EXPECT_EQ(r[1].tag, 0x300);
        EXPECT_EQ(r[1].data, Int32(0));
        EXPECT_EQ(r[2].tag, e.textTag);
        EXPECT_EQ(r[2].data, e.text);
        EXPECT_EQ(r[3].tag, e.hintTag);
        EXPECT_EQ(r[3].data, e.hint);
        EXPECT_EQ(r[4].tag, e.listTag);
        EXPECT_EQ(r[4].data, e.list);
    }
}

TEST_F(LangSave, HeaderFieldsAndFlagComeBackThroughALoad) {
    QImage flag(28, 19, QImage::Format_RGB32);
    flag.fill(QColor(200, 16, 46));
    TLanguageRecord record = Reference();
    record.LangId = 0x0419;
    record.LangName = "Test";
    record.LocalCaption = "Caption";
    record.Remark = "Remark";
    record.Notes = {"a", "", "b"};
    record.ExtraFlag = 0x5A;
    record.ExtraText1 = "x1";
    record.ExtraText2 = "x2";
    record.MinFontSize = 10;
    record.Flag = flag;
    const std::string path = Path("header.SPK");
    ASSERT_TRUE(record.SaveToFile(QString::fromStdString(path)));

    TLanguageRecord back(4, comp::Application(), nullptr);
    ASSERT_TRUE(back.LoadAndApply(QString::fromStdString(path)));
    EXPECT_EQ(back.LangId, 0x0419);
    EXPECT_EQ(back.FileRevision, 4);
    EXPECT_EQ(back.LangName, "Test");
    EXPECT_EQ(back.LocalCaption, "Caption");
    EXPECT_EQ(back.Remark, "Remark");
    EXPECT_EQ(back.Notes, record.Notes);
    EXPECT_EQ(back.ExtraFlag, 0x5A);
    EXPECT_EQ(back.ExtraText1, "x1");
    EXPECT_EQ(back.ExtraText2, "x2");
    EXPECT_EQ(back.AppVersion, 0x01020C05u);
    EXPECT_EQ(back.ImeName, "ime");
    EXPECT_EQ(back.MinFontSize, 10);
    ASSERT_EQ(back.Flag.size(), flag.size());
    EXPECT_EQ(back.Flag.pixelColor(27, 18), QColor(200, 16, 46));
}

TEST_F(LangSave, LoadingTheReferenceChangesFontsButNoText) {
    const std::string path = Path("AVI_ORIGINAL.SPK");
    TLanguageRecord record = Reference();
    record.Charset = 238;
    record.MinFontSize = 9;
    ASSERT_TRUE(record.SaveToFile(QString::fromStdString(path)));
    f.start->setText("Changed since");

    TLanguageRecord back(4, comp::Application(), nullptr);
    ASSERT_TRUE(back.LoadAndApply(QString::fromStdString(path)));
    EXPECT_EQ(f.start->text(), "Changed since");
    EXPECT_EQ(f.info->text(), "Info");
    EXPECT_EQ(f.mode->itemText(0), "Fast");
    EXPECT_EQ(comp::FontCharset(f.start), 238);
    EXPECT_EQ(f.start->font().pointSize(), 9);
}

TEST_F(LangSave, ATranslationToolSettingBitFiveGetsItsTextsApplied) {
    const std::string path = Path("AVI_ORIGINAL.SPK");
    TLanguageRecord record = Reference();
    record.Charset = 204;
    const QString cyrillic = QString::fromUtf8("\xD0\x9F\xD1\x83\xD1\x81\xD0\xBA"); // Пуск
    f.start->setText(cyrillic);
    ASSERT_TRUE(record.SaveToFile(QString::fromStdString(path)));

    // The caption went out in code page 1251.
    auto records = ReadBack(path);
    auto it = std::find_if(records.begin(), records.end(),
                           [](const Read& r) { return r.data == "MainDlg.start_btn"; });
    ASSERT_NE(it, records.end());
    EXPECT_EQ((it + 2)->data, "\xCF\xF3\xF1\xEA");

    // What a translation tool does: mark every value translated, change the texts.
    for (size_t i = 14; i < records.size(); i += 5) {
        for (size_t v = i + 2; v < i + 5; ++v) {
            if (records[v].tag == 0)
                continue;
            records[v].tag |= 0x20;
            if (records[i].data == "MainDlg.start_btn" && v == i + 2)
                records[v].data = "\xD1\xF2\xE0\xF0\xF2"; // Старт
            if (records[i].data == "MainDlg.info_lbl" && v == i + 3)
                records[v].tag &= ~0x10;
        }
    }
    std::vector<Record> rewritten;
    for (const Read& r : records)
        rewritten.push_back({r.tag, r.data});
    WriteStore(path, rewritten);
    f.start->setText("English");
    f.mode->setItemText(0, "Other");

    TLanguageRecord back(4, comp::Application(), nullptr);
    ASSERT_TRUE(back.LoadAndApply(QString::fromStdString(path)));
    EXPECT_EQ(f.start->text(), QString::fromUtf8("\xD0\xA1\xD1\x82\xD0\xB0\xD1\x80\xD1\x82"));
    EXPECT_EQ(f.mode->itemText(0), "Fast");
    EXPECT_EQ(f.info->toolTip(), "What is shown");
    EXPECT_EQ(comp::GetProperty(f.info, u"ShowHint"), QVariant(false));
    EXPECT_EQ(comp::GetProperty(f.start, u"ShowHint"), QVariant(true));
}

TEST_F(LangSave, ExcludedComponentsHaveNoEntry) {
    const QStringList excluded = {"Ts_Main", "MainDlg.opts_grp"};
    TLanguageRecord record(4, comp::Application(), &excluded);
    const std::string path = Path("AVI_ORIGINAL.SPK");
    ASSERT_TRUE(record.SaveToFile(QString::fromStdString(path)));
    int paths = 0;
    for (const Read& r : ReadBack(path)) {
        if (r.tag < 0x210 || r.tag > 0x213)
            continue;
        ++paths;
        EXPECT_EQ(r.data.find("Ts_Main"), std::string::npos);
        EXPECT_NE(r.data, "MainDlg.opts_grp");
    }
    EXPECT_EQ(paths, 12);
}

TEST_F(LangSave, AnEmptyFileNameMeansTheLanguageCodeBesideTheExecutable) {
    TLanguageRecord record = Reference();
    record.LangId = 0x041F;
    record.LangName = "Default place";
    const QString expected = QCoreApplication::applicationDirPath() + "/0000041F.SPK";
    ASSERT_FALSE(QFileInfo::exists(expected));
    ASSERT_TRUE(record.SaveToFile(""));
    EXPECT_TRUE(QFileInfo::exists(expected));
    TLanguageRecord back(4, comp::Application(), nullptr);
    back.LangId = 0x041F;
    const bool loaded = back.LoadAndApply("");
    QFile::remove(expected);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(back.LangName, "Default place");
}
