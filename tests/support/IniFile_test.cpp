// Tests of the private profile reader and writer on real files: the reading rules, the number
// rule, writes in place, encodings and line ends, and files it must not touch.
#include "support/settings/IniFile.h"

#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;
using ini::IniFile;

namespace {

std::string FreshFile(const std::string& name) {
    static int counter = 0;
    const std::string dir = testmedia::TempDir() + "/ini-" + std::to_string(++counter);
    fs::create_directories(dir);
    return dir + "/" + name;
}

std::string ReadText(const std::string& path) {
    const auto bytes = testmedia::ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
    testmedia::WriteAll(path, std::vector<uint8_t>(text.begin(), text.end()));
}

} // namespace

TEST(IniFileRead, PrivateProfileRules) {
    const std::string path = FreshFile("settings.ini");
    WriteText(path, "Orphan=before any section\r\n"
                    "[ Settings ]\r\n"
                    "; Commented=yes\r\n"
                    "  Name  =  spaced value  \r\n"
                    "Double=\"quoted\"\r\n"
                    "Single='quoted too'\r\n"
                    "Uneven=\"half\r\n"
                    "Inner=a \"b\" c\r\n"
                    "NoValue\r\n"
                    "Equals=a=b\r\n"
                    "name=second, ignored\r\n"
                    "Größe=ä\r\n"
                    "[settings]\r\n"
                    "Later=in a second section of the same name\r\n"
                    "[Other]\r\n"
                    "Name=other\r\n");
    const IniFile file(path);
    EXPECT_EQ(file.ReadString("settings", "NAME", "-"), "spaced value");
    EXPECT_EQ(file.ReadString("Settings", "Double", "-"), "quoted");
    EXPECT_EQ(file.ReadString("Settings", "Single", "-"), "quoted too");
    EXPECT_EQ(file.ReadString("Settings", "Uneven", "-"), "\"half");
    EXPECT_EQ(file.ReadString("Settings", "Inner", "-"), "a \"b\" c");
    EXPECT_EQ(file.ReadString("Settings", "Equals", "-"), "a=b");
    EXPECT_EQ(file.ReadString("Settings", "NoValue", "-"), "-");
    EXPECT_EQ(file.ReadString("Settings", "; Commented", "-"), "-");
    EXPECT_EQ(file.ReadString("Settings", "Later", "-"), "-"); // the first section counts
    EXPECT_EQ(file.ReadString("Settings", "GRÖSSE", "-"), "-");
    EXPECT_EQ(file.ReadString("Settings", "GRÖßE", "-"), "ä");
    EXPECT_EQ(file.ReadString("Other", "name", "-"), "other");
    EXPECT_EQ(file.ReadString("", "Orphan", "-"), "-");
    EXPECT_EQ(file.ReadString("Missing", "Name", "default  "), "default");
    EXPECT_EQ(file.ReadSection("SETTINGS"),
              (std::vector<std::string>{"Name", "Double", "Single", "Uneven", "Inner", "NoValue",
                                        "Equals", "Größe"}));
    EXPECT_EQ(file.ReadSections(), (std::vector<std::string>{"Settings", "Other"}));
    EXPECT_EQ(IniFile(FreshFile("missing.ini")).ReadString("Settings", "Name", "x"), "x");
}

TEST(IniFileRead, NumbersAsGetPrivateProfileIntReadsThem) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"123", 123},
        {"  42", 42},
        {"-345", static_cast<uint32_t>(-345)},
        {"+678abc", 678},
        {"xyz", 0},
        {"0x1F", 31},
        {"0X1F", 0}, // only the lower-case prefix counts
        {"0o17", 15},
        {"0b101", 5},
        {"0x", 0},
        {"1e3", 1},
        {"4294967297", 1}, // wraps modulo 2^32
        {"-1", 0xFFFFFFFFu},
        {"-0x10", 0xFFFFFFF0u},
        {"--1", 0},
        {"12 34", 12},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ini::ProfileIntFromText(text), expected) << text;

    const std::string path = FreshFile("numbers.ini");
    WriteText(path, "[N]\nA=7\nQuoted=\"9\"\nEmpty=\nBare\nWord=abc\n");
    const IniFile file(path);
    EXPECT_EQ(file.ReadInteger("n", "a", 5), 7u);
    EXPECT_EQ(file.ReadInteger("N", "Quoted", 5), 9u);
    EXPECT_EQ(file.ReadInteger("N", "Empty", 5), 5u);
    EXPECT_EQ(file.ReadInteger("N", "Bare", 5), 5u);
    EXPECT_EQ(file.ReadInteger("N", "Missing", -2), 0xFFFFFFFEu);
    EXPECT_EQ(file.ReadInteger("N", "Word", 5), 0u);
}

TEST(IniFileWrite, ChangesOneLineAndLeavesTheRest) {
    const std::string path = FreshFile("settings.ini");
    const std::string original = "; keep me\r\n"
                                 "[Settings]\r\n"
                                 "  AutoUpdate = 1 ; not a comment\r\n"
                                 "Other=x\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "[Settings_DWORD]\r\n"
                                 "Langue=1036\r\n";
    WriteText(path, original);
    IniFile file(path);
    ASSERT_TRUE(file.WriteString("SETTINGS", "autoupdate", "0"));
    EXPECT_EQ(ReadText(path), "; keep me\r\n"
                              "[Settings]\r\n"
                              "AutoUpdate=0\r\n"
                              "Other=x\r\n"
                              "\r\n"
                              "\r\n"
                              "[Settings_DWORD]\r\n"
                              "Langue=1036\r\n");
    ASSERT_TRUE(file.WriteString("Settings", "New", "   leading blanks go"));
    ASSERT_TRUE(file.WriteString("Added", "Name", "value"));
    EXPECT_EQ(ReadText(path), "; keep me\r\n"
                              "[Settings]\r\n"
                              "AutoUpdate=0\r\n"
                              "Other=x\r\n"
                              "New=leading blanks go\r\n"
                              "\r\n"
                              "\r\n"
                              "[Settings_DWORD]\r\n"
                              "Langue=1036\r\n"
                              "\r\n"
                              "[Added]\r\n"
                              "Name=value\r\n");
    EXPECT_EQ(file.ReadString("Settings", "New", ""), "leading blanks go");

    // Writing the value a line already holds does not rewrite the file.
    struct stat before {};
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    ASSERT_TRUE(file.WriteString("Settings", "Other", "x"));
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);

    ASSERT_TRUE(file.DeleteKey("settings", "OTHER"));
    ASSERT_TRUE(file.EraseSection("added"));
    EXPECT_EQ(file.ReadSection("Settings"), (std::vector<std::string>{"AutoUpdate", "New"}));
    EXPECT_TRUE(file.ReadSection("Added").empty());

    // What the file could not hold is refused, and the file stays as it was.
    const std::string kept = ReadText(path);
    EXPECT_FALSE(file.WriteString("Settings", "Two\nLines", "x"));
    EXPECT_FALSE(file.WriteString("Settings", "Name", "two\r\nlines"));
    EXPECT_FALSE(file.WriteString("Settings", "a=b", "x"));
    EXPECT_FALSE(file.WriteString("Settings", "  ", "x"));
    EXPECT_FALSE(file.WriteString("Settings", ";x", "x"));
    EXPECT_FALSE(file.WriteString("", "Name", "x"));
    EXPECT_FALSE(file.WriteString("Sec\ntion", "Name", "x"));
    EXPECT_EQ(ReadText(path), kept);
}

TEST(IniFileWrite, NewFilesAndKeptEncodings) {
    const std::string fresh = FreshFile("new.ini");
    ASSERT_TRUE(IniFile(fresh).WriteString("Settings", "AutoUpdate", "0"));
    EXPECT_EQ(ReadText(fresh), "[Settings]\r\nAutoUpdate=0\r\n");
    EXPECT_FALSE(IniFile(FreshFile("gone") + "/sub/new.ini").WriteString("S", "N", "v"));

    // The first line end decides; a stray CR elsewhere is kept as it is.
    const std::string lf = FreshFile("lf.ini");
    WriteText(lf, "[S]\nA=1\r\nC=3");
    ASSERT_TRUE(IniFile(lf).WriteString("S", "B", "2"));
    EXPECT_EQ(ReadText(lf), "[S]\nA=1\r\nC=3\nB=2\n");
    EXPECT_EQ(IniFile(lf).ReadString("S", "A", ""), "1");

    const std::string bom = FreshFile("bom.ini");
    WriteText(bom, "\xEF\xBB\xBF[S]\r\nA=é\r\n");
    EXPECT_EQ(IniFile(bom).ReadString("s", "a", ""), "é");
    ASSERT_TRUE(IniFile(bom).WriteString("S", "A", "ü"));
    EXPECT_EQ(ReadText(bom), "\xEF\xBB\xBF[S]\r\nA=ü\r\n");

    // A Unicode file of the other platform: UTF-16 little-endian with its mark.
    const std::u16string wide = u"\uFEFF[Settings]\r\nFolder=C:\\Vidéos \U0001F3AC\r\n";
    std::string utf16;
    for (char16_t c : wide) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    const std::string u16 = FreshFile("wide.ini");
    WriteText(u16, utf16);
    IniFile file(u16);
    EXPECT_EQ(file.ReadString("Settings", "Folder", ""), "C:\\Vidéos 🎬");
    ASSERT_TRUE(file.WriteString("Settings", "Name", "Größe"));
    const std::u16string expected = wide + u"Name=Größe\r\n";
    std::string expectedBytes;
    for (char16_t c : expected) {
        expectedBytes += static_cast<char>(c & 0xFF);
        expectedBytes += static_cast<char>(c >> 8);
    }
    EXPECT_EQ(ReadText(u16), expectedBytes);
}

TEST(IniFileWrite, FilesItMustNotTouch) {
    // Marked read-only: refused even for an administrator, as there.
    const std::string ro = FreshFile("readonly.ini");
    WriteText(ro, "[S]\r\nA=1\r\n");
    fs::permissions(ro, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(IniFile(ro).WriteString("S", "A", "2"));
    EXPECT_EQ(ReadText(ro), "[S]\r\nA=1\r\n");

    // Over the size limit, or with too many lines: reads find nothing, writes change nothing.
    const std::string big = FreshFile("big.ini");
    std::string text = "[S]\r\nA=1\r\n";
    text += std::string(ini::limits::kMaxIniBytes, 'x');
    WriteText(big, text);
    EXPECT_EQ(IniFile(big).ReadString("S", "A", "none"), "none");
    EXPECT_FALSE(IniFile(big).WriteString("S", "A", "2"));
    EXPECT_EQ(testmedia::FileSizeOf(big), text.size());

    const std::string many = FreshFile("many.ini");
    std::string lines = "[S]\nA=1\n";
    for (size_t i = 0; i < ini::limits::kMaxIniLines; ++i)
        lines += "\n";
    WriteText(many, lines);
    EXPECT_EQ(IniFile(many).ReadString("S", "A", "none"), "none");
    EXPECT_FALSE(IniFile(many).WriteString("S", "A", "2"));
    EXPECT_EQ(ReadText(many), lines);

    // Garbage reads as whatever lines it happens to hold, without harm.
    std::string garbage(20000, '\0');
    uint32_t seed = 99;
    for (char& c : garbage) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    const std::string junk = FreshFile("junk.ini");
    WriteText(junk, garbage);
    IniFile file(junk);
    file.ReadSections();
    file.ReadString("Settings", "AutoUpdate", "");
    ASSERT_TRUE(file.WriteString("Settings", "AutoUpdate", "0"));
    EXPECT_EQ(file.ReadString("Settings", "AutoUpdate", ""), "0");
}
