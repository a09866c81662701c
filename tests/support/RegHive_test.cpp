// Tests of the in-memory hive and its REGEDIT4 text: reading, writing, names without case, limits.
#include "support/settings/RegHive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace reg;

namespace {

RegHive Parsed(const std::string& text, const char* root = "HKEY_CURRENT_USER") {
    RegHive hive(root);
    HiveParseError error;
    EXPECT_TRUE(ParseHive(text, hive, error)) << "line " << error.line << ": " << error.reason;
    return hive;
}

RegValue Query(const RegHive& hive, const std::string& path, const std::string& name) {
    RegValue v;
    EXPECT_EQ(hive.QueryValue(path, name, v), RegStatus::Success) << path << " / " << name;
    return v;
}

std::string Written(const RegHive& hive) {
    std::string text;
    EXPECT_TRUE(WriteHive(hive, text));
    return text;
}

} // namespace

TEST(RegHiveRead, HandWrittenFileWithEveryForm) {
    const std::string text = "\xEF\xBB\xBF; settings of the maker's programs\r\n"
                             "REGEDIT4\r\n"
                             "\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Quorlen]\r\n"
                             "\"Clipvane\"=\"C:\\\\Programs\\\\Clipvane \\\"new\\\".exe\"\r\n"
                             "@=\"default\"\r\n"
                             "\r\n"
                             "[hkey_current_user\\SOFTWARE\\quorlen\\Clipvane]\r\n"
                             "\"Langue\" = dword:0001040c\r\n"
                             "\"Small\"=dword:7\r\n"
                             "\"Blob\"=hex:01,02,ff,\\\r\n"
                             "  0a,  b\r\n"
                             "\"Multi\"=hex(7):41,00,00,00\r\n"
                             "\"Lines\"=hex(1):61,0a,62,00\r\n"
                             "\"AsHex\"=hex(4):2a,00,00,00\r\n"
                             "\"Gone\"=\"x\"\r\n"
                             "\"Gone\"=-\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Old]\r\n"
                             "[-HKEY_CURRENT_USER\\Software\\Old]\r\n";
    const RegHive hive = Parsed(text);
    EXPECT_EQ(Query(hive, "SOFTWARE\\Quorlen", "Clipvane").text,
              "C:\\Programs\\Clipvane \"new\".exe");
    EXPECT_EQ(Query(hive, "SOFTWARE\\Quorlen", "").text, "default");
    EXPECT_EQ(Query(hive, "Software\\Quorlen\\Clipvane", "LANGUE").number, 0x0001040Cu);
    EXPECT_EQ(Query(hive, "Software\\Quorlen\\Clipvane", "Small").number, 7u);
    EXPECT_EQ(Query(hive, "Software\\Quorlen\\Clipvane", "Blob"),
              RegValue::Raw(kRegBinary, {0x01, 0x02, 0xFF, 0x0A, 0x0B}));
    EXPECT_EQ(Query(hive, "Software\\Quorlen\\Clipvane", "Multi"),
              RegValue::Raw(7, {0x41, 0, 0, 0}));
    EXPECT_EQ(Query(hive, "Software\\Quorlen\\Clipvane", "Lines").text, "a\nb");
    EXPECT_EQ(Query(hive, "Software\\Quorlen\\Clipvane", "AsHex"), RegValue::Dword(42));
    RegValue v;
    EXPECT_EQ(hive.QueryValue("Software\\Quorlen\\Clipvane", "Gone", v), RegStatus::NotFound);
    EXPECT_FALSE(hive.KeyExists("Software\\Old"));
    // Both spellings of the program key are one key, under the first spelling.
    std::vector<std::string> names;
    ASSERT_EQ(hive.EnumKeys("Software", names), RegStatus::Success);
    EXPECT_EQ(names, std::vector<std::string>{"Quorlen"});
}

TEST(RegHiveRead, BrokenTextsAreRejectedWithTheirLine) {
    struct Case {
        const char* text;
        size_t line;
    };
    const Case cases[] = {
        {"[HKEY_CURRENT_USER\\A]\n", 1},                           // no header
        {"REGEDIT4\n\"a\"=\"b\"\n", 2},                            // value before any key
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\\n\"\n", 3}, // unknown escape
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"open\n", 3},   // no closing quote
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\" x\n", 3},  // text after the value
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:123456789\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:12g\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:0g\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,,02\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:123\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(4):01,02,03\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,\\\n", 3},  // continued past the end
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,02,\n", 3}, // cut after a comma
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=sz:x\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\na=\"b\"\n", 3},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\" \"b\"\n", 3},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n", 2}, // another hive's key
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A\n", 2},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\A\\\\B]\n", 2},
        {"REGEDIT4\n[-HKEY_CURRENT_USER]\n", 2},
    };
    for (const Case& c : cases) {
        RegHive hive("HKEY_CURRENT_USER");
        HiveParseError error;
        EXPECT_FALSE(ParseHive(c.text, hive, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text << " -> " << error.reason;
        EXPECT_FALSE(error.reason.empty());
    }
    RegHive hive("HKEY_CURRENT_USER");
    HiveParseError error;
    const std::string withNul =
        std::string("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"x") + '\0' + "y\"\n";
    EXPECT_FALSE(ParseHive(withNul, hive, error));
    const std::string huge = "REGEDIT4\n" + std::string(limits::kMaxHiveBytes, ';');
    EXPECT_FALSE(ParseHive(huge, hive, error));
    EXPECT_EQ(error.line, 0u);
    // Nothing at all is an empty hive.
    RegHive empty("HKEY_CURRENT_USER");
    EXPECT_TRUE(ParseHive("", empty, error));
    EXPECT_TRUE(ParseHive(" \r\n\r\n", empty, error));
}

TEST(RegHiveWrite, EveryKindOfValueSurvivesWritingAndReading) {
    RegHive hive("HKEY_CURRENT_USER");
    bool created = false;
    ASSERT_EQ(hive.CreateKey("SOFTWARE\\Quorlen\\Clipvane", created), RegStatus::Success);
    ASSERT_EQ(hive.CreateKey("SOFTWARE\\Empty\\Leaf", created), RegStatus::Success);
    std::vector<uint8_t> big(1000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    const std::vector<RegNamedValue> values = {
        {"Path", RegValue::String("C:\\Program Files\\\"Quorlen\"\\")},
        {"", RegValue::String("default value")},
        {"Lines", RegValue::String("one\r\ntwo")},
        {"Tab", RegValue::String("a\tb")},
        {"Empty", RegValue::String("")},
        {"Unicode é ✓", RegValue::String("Größe ✓")},
        {"Name \"with\" \\ marks", RegValue::Dword(5)},
        {"Max", RegValue::Dword(0xFFFFFFFFu)},
        {"Zero", RegValue::Dword(0)},
        {"Big", RegValue::Raw(kRegBinary, big)},
        {"NoBytes", RegValue::Raw(kRegBinary, {})},
        {"Multi", RegValue::Raw(7, {0x61, 0, 0x62, 0, 0, 0})},
        {"Qword", RegValue::Raw(11, {1, 2, 3, 4, 5, 6, 7, 8})},
    };
    for (const auto& [name, value] : values) {
        bool changed = false;
        ASSERT_EQ(hive.SetValue("SOFTWARE\\Quorlen\\Clipvane", name, value, changed),
                  RegStatus::Success);
        EXPECT_TRUE(changed);
    }
    const std::string text = Written(hive);
    EXPECT_EQ(text.rfind("REGEDIT4\n", 0), 0u);
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        EXPECT_LE(end - start, 80u) << "hex lists wrap like regedit's";
        start = end + 1;
    }

    const RegHive back = Parsed(text);
    std::vector<RegNamedValue> read;
    ASSERT_EQ(back.EnumValues("software\\quorlen\\clipvane", read), RegStatus::Success);
    EXPECT_EQ(read, values); // in the order written
    EXPECT_TRUE(back.KeyExists("Software\\Empty\\Leaf"));
    EXPECT_EQ(Written(back), text);
}

TEST(RegHiveNames, KeysAndValuesIgnoreCaseAndKeepTheirSpelling) {
    RegHive hive("HKEY_CURRENT_USER");
    bool created = false;
    ASSERT_EQ(hive.CreateKey("Software\\Quorlen\\Ärger", created), RegStatus::Success);
    EXPECT_TRUE(created);
    ASSERT_EQ(hive.CreateKey("\\SOFTWARE\\QUORLEN\\äRGER\\", created), RegStatus::Success);
    EXPECT_FALSE(created);
    EXPECT_TRUE(hive.KeyExists("software\\quorlen\\ärger"));
    EXPECT_EQ(hive.CreateKey("Software\\Кино", created), RegStatus::Success);
    EXPECT_TRUE(hive.KeyExists("SOFTWARE\\КИНО"));
    EXPECT_FALSE(hive.KeyExists("Software\\Quorle"));

    bool changed = false;
    ASSERT_EQ(hive.SetValue("software\\quorlen", "Langue", RegValue::Dword(1), changed),
              RegStatus::Success);
    ASSERT_EQ(hive.SetValue("software\\quorlen", "LANGUE", RegValue::Dword(2), changed),
              RegStatus::Success);
    EXPECT_TRUE(changed);
    ASSERT_EQ(hive.SetValue("software\\quorlen", "langue", RegValue::Dword(2), changed),
              RegStatus::Success);
    EXPECT_FALSE(changed);
    std::vector<RegNamedValue> values;
    ASSERT_EQ(hive.EnumValues("Software\\Quorlen", values), RegStatus::Success);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].first, "Langue");
    EXPECT_EQ(values[0].second.number, 2u);

    // Writing to a key that is not there is refused, not a silent creation.
    EXPECT_EQ(hive.SetValue("Software\\Nowhere", "x", RegValue::Dword(1), changed),
              RegStatus::KeyDeleted);
    EXPECT_EQ(hive.CreateKey("Software\\\\Twice", created), RegStatus::InvalidParameter);
    EXPECT_EQ(hive.CreateKey(std::string("Software\\Bad\nName"), created),
              RegStatus::InvalidParameter);
}

TEST(RegHiveEdit, DeleteModesAndLimits) {
    RegHive hive("HKEY_CURRENT_USER");
    bool created = false;
    bool changed = false;
    ASSERT_EQ(hive.CreateKey("SOFTWARE\\Quorlen\\Clipvane\\Sub", created), RegStatus::Success);
    ASSERT_EQ(hive.SetValue("SOFTWARE\\Quorlen", "Quillet", RegValue::String("q"), changed),
              RegStatus::Success);
    EXPECT_EQ(hive.DeleteKey("SOFTWARE\\Quorlen", DeleteMode::IfEmpty), RegStatus::NotEmpty);
    EXPECT_EQ(hive.DeleteKey("SOFTWARE\\Quorlen\\Clipvane", DeleteMode::Tree), RegStatus::Success);
    EXPECT_EQ(hive.DeleteKey("SOFTWARE\\Quorlen", DeleteMode::IfEmpty), RegStatus::NotEmpty);
    EXPECT_EQ(hive.DeleteValue("SOFTWARE\\Quorlen", "QUILLET"), RegStatus::Success);
    EXPECT_EQ(hive.DeleteKey("SOFTWARE\\Quorlen", DeleteMode::IfEmpty), RegStatus::Success);
    EXPECT_EQ(hive.DeleteKey("SOFTWARE\\Quorlen", DeleteMode::Tree), RegStatus::NotFound);
    EXPECT_EQ(hive.DeleteKey("", DeleteMode::Tree), RegStatus::InvalidParameter);
    EXPECT_EQ(hive.KeyCount(), 2u); // the root and SOFTWARE
    EXPECT_EQ(hive.ValueCount(), 0u);

    const RegValue tooBig =
        RegValue::Raw(kRegBinary, std::vector<uint8_t>(limits::kMaxValueBytes + 1));
    EXPECT_EQ(hive.SetValue("SOFTWARE", "big", tooBig, changed), RegStatus::InvalidParameter);
    std::string deep;
    for (size_t i = 0; i <= limits::kMaxDepth; ++i)
        deep += "k\\";
    EXPECT_EQ(hive.CreateKey(deep, created), RegStatus::InvalidParameter);
    for (size_t i = hive.KeyCount(); i < limits::kMaxKeys; ++i)
        ASSERT_EQ(hive.CreateKey("SOFTWARE\\k" + std::to_string(i), created), RegStatus::Success);
    EXPECT_EQ(hive.CreateKey("SOFTWARE\\one more", created), RegStatus::QuotaExceeded);
}
