// LangTool_test: PO files, whole language files as data, templates and builds from translations.
#include "localisation/CodePage.h"
#include "localisation/LangBuild.h"
#include "localisation/LangFile.h"
#include "localisation/Lang_Storageobj.h"
#include "localisation/PoFile.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using langfile::Entry;
using langfile::LangFileData;
using langfile::Value;

std::string Temp(const std::string& name) {
    return testmedia::TempDir() + "/" + name;
}

// A reference file as the program writes it: untranslated values, ShowHint on one hint.
LangFileData Reference() {
    LangFileData d;
    d.langId = 0;
    d.appVersion = 0x00240001; // 0.36.0.1
    d.fontName = "Sans Serif";
    d.charset = 1;
    d.entries.push_back({"MainDlg", 0x211, 0, Value{1, "Clipvane"}, {}, {}});
    d.entries.push_back(
        {"MainDlg.Open1", 0x212, 0, Value{1, "&Open..."}, Value{0x12, "Open an AVI file"}, {}});
    d.entries.push_back({"MainDlg.Ts_Main",
                         0x211,
                         0,
                         {},
                         {},
                         Value{3, "Invalid file type\r\nExtraction done\r\nPlease wait...\r\n"}});
    return d;
}

po::Catalog Parsed(const std::string& text) {
    po::Catalog c;
    std::string error;
    EXPECT_TRUE(po::Parse(text, c, error)) << error;
    return c;
}

TEST(PoFile, ReadsHeaderEntriesEscapesAndSkipsWhatIsNotOurs) {
    const po::Catalog c = Parsed("# translator comment\n"
                                 "msgid \"\"\n"
                                 "msgstr \"\"\n"
                                 "\"Language: fr\\n\"\n"
                                 "\"X-Clipvane-LangId: 0x040C\\n\"\n"
                                 "\n"
                                 "#. MainDlg.Open1 text\n"
                                 "msgctxt \"MainDlg.Open1|Text\"\n"
                                 "msgid \"&Open...\"\n"
                                 "msgstr \"&Ouvrir...\"\n"
                                 "\n"
                                 "#, fuzzy\n"
                                 "msgctxt \"A|Text\"\n"
                                 "msgid \"Two\"\n"
                                 "msgstr \"\"\n"
                                 "\"Deux \\\"lignes\\\"\\n\"\n"
                                 "\"et\\tun\"\n"
                                 "\n"
                                 "msgid \"apple\"\n"
                                 "msgid_plural \"apples\"\n"
                                 "msgstr[0] \"pomme\"\n"
                                 "msgstr[1] \"pommes\"\n"
                                 "\n"
                                 "#~ msgid \"old\"\n"
                                 "#~ msgstr \"vieux\"\n");
    EXPECT_EQ(c.HeaderField("language"), "fr");
    EXPECT_EQ(c.HeaderField("X-Clipvane-LangId"), "0x040C");
    ASSERT_EQ(c.messages.size(), 2u);
    EXPECT_EQ(c.messages[0].context, "MainDlg.Open1|Text");
    EXPECT_EQ(c.messages[0].str, "&Ouvrir...");
    EXPECT_EQ(c.messages[0].comments, std::vector<std::string>{"MainDlg.Open1 text"});
    EXPECT_TRUE(c.messages[1].fuzzy);
    EXPECT_EQ(c.messages[1].str, "Deux \"lignes\"\net\tun");

    // What we write reads back the same.
    const po::Catalog again = Parsed(po::Format(c));
    ASSERT_EQ(again.messages.size(), 2u);
    EXPECT_EQ(again.messages[1].str, c.messages[1].str);
    EXPECT_EQ(again.HeaderField("Language"), "fr");
}

TEST(PoFile, RejectsBrokenTextWithTheLine) {
    po::Catalog c;
    std::string error;
    EXPECT_FALSE(po::Parse("msgid \"a\"\nmsgstr \"unterminated\n", c, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_FALSE(po::Parse("\"stray\"\n", c, error));
    EXPECT_FALSE(po::Parse("msgid \"a\"\n", c, error));
    EXPECT_FALSE(po::Parse("msgid \"bad \\q escape\"\nmsgstr \"\"\n", c, error));
    EXPECT_FALSE(po::Parse("banana \"x\"\n", c, error));
}

TEST(LangFile, WritesTheRevision4LayoutAndReadsItBack) {
    const std::string path = Temp("ref.spk");
    std::string error;
    LangFileData ref = Reference();
    ref.minFontSize = 9;
    ASSERT_TRUE(langfile::Write(path, ref, error)) << error;

    // Record tags in file order: the header as the format lays it out, then name, alignment and
    // three values per entry.
    TStorefile store;
    store.SetSignature(langfile::kSignature);
    store.SetReadOnly(true);
    store.SetFilename(path);
    store.Open();
    ASSERT_TRUE(store.Opened());
    EXPECT_EQ(store.Count(), 14 + 3 * 5);
    std::vector<int32_t> tags;
    while (!store.Eof()) {
        std::string s;
        tags.push_back(store.ReadString(s));
    }
    const std::vector<int32_t> header = {0,     1,     2,     3,     4,     5,     0x200,
                                         0x204, 0x205, 0x206, 0x201, 0x202, 0x203, 0x204};
    ASSERT_EQ(tags.size(), 29u);
    EXPECT_EQ(std::vector<int32_t>(tags.begin(), tags.begin() + 14), header);
    EXPECT_EQ(std::vector<int32_t>(tags.begin() + 14, tags.begin() + 19),
              (std::vector<int32_t>{0x211, 0x300, 1, 0, 0}));
    EXPECT_EQ(std::vector<int32_t>(tags.begin() + 19, tags.begin() + 24),
              (std::vector<int32_t>{0x212, 0x300, 1, 0x12, 0}));
    store.Close();

    LangFileData back;
    ASSERT_TRUE(langfile::Read(path, back, error)) << error;
    EXPECT_EQ(back.revision, 4);
    EXPECT_EQ(back.appVersion, ref.appVersion);
    EXPECT_EQ(back.minFontSize, 9);
    EXPECT_EQ(back.fontName, "Sans Serif");
    ASSERT_EQ(back.entries.size(), 3u);
    EXPECT_EQ(back.entries[1].hint.tag, 0x12);
    EXPECT_EQ(langfile::SplitLines(back.entries[2].list.data).size(), 3u);
}

TEST(LangFile, ReadsOlderRevisionsAndRefusesNewerOnes) {
    const std::string path = Temp("old.spk");
    auto write = [&](int32_t word, int entries, auto&& more) {
        TStorefile s;
        s.SetSignature(langfile::kSignature);
        s.SetFilename(path);
        s.Erase();
        s.Open();
        s.WriteInteger(0, word);
        for (int i = 0; i < 5; ++i)
            s.WriteString(i + 1, "h" + std::to_string(i));
        more(s, entries);
        s.Close();
    };
    // Revision 0: kinds decide the values; a kind-12 entry holds only a list.
    write(0x040C, 2, [](TStorefile& s, int) {
        s.WriteString(13, "MainDlg.Open1");
        s.WriteString(0, "&Ouvrir");
        s.WriteString(0, "");
        s.WriteString(12, "MainDlg.Ts_Main");
        s.WriteString(0, "a\r\nb\r\n");
    });
    LangFileData d;
    std::string error;
    ASSERT_TRUE(langfile::Read(path, d, error)) << error;
    EXPECT_EQ(d.revision, 0);
    EXPECT_EQ(d.langId, 0x040C);
    ASSERT_EQ(d.entries.size(), 2u);
    EXPECT_TRUE(d.entries[0].text.Translated());
    EXPECT_FALSE(d.entries[0].hint.Present());
    EXPECT_TRUE(d.entries[1].list.Translated());

    // Revision 2: extra header fields, four records per entry.
    write(0x20407, 1, [](TStorefile& s, int) {
        s.WriteInteger(0x200, 0x01020C05);
        s.WriteInteger(0x204, 0x1FF);
        s.WriteString(0x205, "x1");
        s.WriteString(0x206, "x2");
        s.WriteString(0x201, "");
        s.WriteString(0x202, "Arial");
        s.WriteInteger(0x203, 238);
        s.WriteString(0x211, "MainDlg");
        s.WriteString(0x21, "Titel");
        s.WriteString(0, "");
        s.WriteString(0, "");
    });
    ASSERT_TRUE(langfile::Read(path, d, error)) << error;
    EXPECT_EQ(d.revision, 2);
    EXPECT_EQ(d.extraFlag, 0xFF);
    EXPECT_EQ(d.charset, 238);
    EXPECT_EQ(d.minFontSize, 9);
    EXPECT_EQ(langfile::PackedVersionText(d.appVersion), "1.2.3.5");
    ASSERT_EQ(d.entries.size(), 1u);
    EXPECT_EQ(d.entries[0].text.data, "Titel");

    write(0x50407, 0, [](TStorefile&, int) {});
    EXPECT_FALSE(langfile::Read(path, d, error));
    EXPECT_EQ(error, "Format not supported in this revision");
    EXPECT_FALSE(langfile::Read(Temp("missing.spk"), d, error));
}

TEST(LangFile, PackedVersions) {
    uint32_t v = 0;
    EXPECT_TRUE(langfile::ParsePackedVersion("1.2.3.5", v));
    EXPECT_EQ(v, 0x01020C05u);
    EXPECT_TRUE(langfile::ParsePackedVersion("255.255.63.1023", v));
    EXPECT_EQ(langfile::PackedVersionText(v), "255.255.63.1023");
    EXPECT_FALSE(langfile::ParsePackedVersion("1.2.64.0", v));
    EXPECT_FALSE(langfile::ParsePackedVersion("1.2.3", v));
    EXPECT_FALSE(langfile::ParsePackedVersion("1.2.3.4.5", v));
    EXPECT_FALSE(langfile::ParsePackedVersion("1.2.3.x", v));
}

TEST(LangBuild, TemplateListsEveryTextAndEachLineOfATable) {
    const po::Catalog t = langbuild::MakeTemplate(Reference());
    std::vector<std::string> contexts;
    for (const po::Message& m : t.messages)
        contexts.push_back(m.context);
    EXPECT_EQ(contexts,
              (std::vector<std::string>{"MainDlg|Text", "MainDlg.Open1|Text", "MainDlg.Open1|Hint",
                                        "MainDlg.Ts_Main|List|0", "MainDlg.Ts_Main|List|1",
                                        "MainDlg.Ts_Main|List|2"}));
    EXPECT_EQ(t.messages[4].id, "Extraction done");
    EXPECT_EQ(t.HeaderField("Content-Type"), "text/plain; charset=UTF-8");
}

po::Catalog Translation(const std::string& langId, const std::string& charset,
                        std::vector<std::pair<std::string, std::string>> texts) {
    po::Catalog c;
    c.header = {{"X-Clipvane-LangId", langId},
                {"X-Clipvane-LangName", "Test"},
                {"X-Clipvane-Charset", charset}};
    for (auto& [context, str] : texts) {
        po::Message m;
        m.hasContext = true;
        m.context = context;
        m.str = str;
        c.messages.push_back(m);
    }
    return c;
}

TEST(LangBuild, FlagsTranslatedValuesAndKeepsTheRestAsTheReference) {
    LangFileData out;
    std::string error;
    std::vector<std::string> warnings;
    const po::Catalog fr = Translation("0x040C", "0",
                                       {{"MainDlg.Open1|Text", "&Ouvrir..."},
                                        {"MainDlg.Open1|Hint", "Ouvrir un fichier AVI"},
                                        {"MainDlg.Ts_Main|List|1", "Extraction terminée"},
                                        {"MainDlg.Gone|Text", "orphan"}});
    ASSERT_TRUE(langbuild::Build(Reference(), fr, {}, out, error, &warnings)) << error;
    EXPECT_EQ(out.langId, 0x040C);
    EXPECT_EQ(out.appVersion, 0x00240001u);
    EXPECT_EQ(out.fontName, "Sans Serif");
    ASSERT_EQ(out.entries.size(), 3u);
    EXPECT_EQ(out.entries[0].text.tag, 1); // untranslated: not applied
    EXPECT_EQ(out.entries[1].text.tag, 0x21);
    EXPECT_EQ(out.entries[1].hint.tag, 0x32); // ShowHint of the reference kept
    const auto lines = langfile::SplitLines(out.entries[2].list.data);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(out.entries[2].list.tag, 0x23);
    EXPECT_EQ(lines[0], "Invalid file type");
    EXPECT_EQ(lines[1], "Extraction termin\xE9"
                        "e"); // code page 1252
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("MainDlg.Gone|Text"), std::string::npos);

    // The built file goes through the writer and reads back as a revision-4 file.
    const std::string path = Temp("fr.spk");
    ASSERT_TRUE(langfile::Write(path, out, error)) << error;
    LangFileData back;
    ASSERT_TRUE(langfile::Read(path, back, error)) << error;
    EXPECT_EQ(back.entries[1].text.data, "&Ouvrir...");
    EXPECT_NE(langbuild::Dump(back).find("Extraction termin\xC3\xA9"
                                         "e"),
              std::string::npos);
}

TEST(LangBuild, EncodesInTheLanguagesCodePageAndRefusesWhatItCannotHold) {
    LangFileData out;
    std::string error;
    const std::string russian =
        "\xD0\x9E\xD1\x82\xD0\xBA\xD1\x80\xD1\x8B\xD1\x82\xD1\x8C"; // Открыть
    ASSERT_TRUE(langbuild::Build(Reference(),
                                 Translation("0x0419", "204", {{"MainDlg.Open1|Text", russian}}),
                                 {}, out, error))
        << error;
    EXPECT_EQ(out.entries[1].text.data, "\xCE\xF2\xEA\xF0\xFB\xF2\xFC"); // code page 1251
    EXPECT_EQ(DecodeCharsetText(out.entries[1].text.data, 204), russian);

    EXPECT_FALSE(langbuild::Build(Reference(),
                                  Translation("0x040C", "0", {{"MainDlg.Open1|Text", russian}}), {},
                                  out, error));
    EXPECT_NE(error.find("MainDlg.Open1|Text"), std::string::npos) << error;
    EXPECT_FALSE(langbuild::Build(Reference(), Translation("", "0", {}), {}, out, error));
    EXPECT_FALSE(langbuild::Build(Reference(), Translation("0x040C", "abc", {}), {}, out, error));
}

} // namespace
