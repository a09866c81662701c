// CodePage_test: 8-bit texts of language files to UTF-8 and back, checked against iconv(1).
#include "localisation/CodePage.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The same conversion by the iconv program, an independent reader of the code pages.
std::string IconvTool(const std::string& bytes, const std::string& from, const std::string& to) {
    const std::string in = testmedia::TempDir() + "/iconv.in";
    testmedia::WriteAll(in, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    const auto r = testmedia::Run("iconv -f " + from + " -t " + to + " " + testmedia::Quote(in));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

} // namespace

TEST(CodePage, CharsetsNameTheirWindowsCodePages) {
    const std::pair<int, int> table[] = {
        {0, 1252},   {1, 1252},   {2, 1252},   {128, 932},  {129, 949},  {134, 936},  {136, 950},
        {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257}, {204, 1251},
        {222, 874},  {238, 1250}, {77, 1252},  {255, 1252}, {-1, 1252}};
    for (const auto& [charset, codePage] : table)
        EXPECT_EQ(CodePageOfCharset(charset), codePage) << charset;
}

TEST(CodePage, EveryByteOfTheSingleByteCodePagesDecodesAsIconvDoes) {
    REQUIRE_TOOL("iconv", "libc-bin");
    // One byte a line; iconv -c drops what the code page leaves undefined, leaving the line empty.
    std::string lines;
    for (int b = 0x20; b < 0x100; ++b)
        lines += std::string(1, static_cast<char>(b)) + "\n";
    for (const int charset : {0, 161, 162, 163, 177, 178, 186, 204, 222, 238}) {
        SCOPED_TRACE(charset);
        const std::string cp = "CP" + std::to_string(CodePageOfCharset(charset));
        const std::string in = testmedia::TempDir() + "/bytes.txt";
        testmedia::WriteAll(in, std::vector<uint8_t>(lines.begin(), lines.end()));
        const auto r = testmedia::Run("iconv -c -f " + cp + " -t UTF-8 " + testmedia::Quote(in));
        size_t at = 0;
        for (int b = 0x20; b < 0x100; ++b) {
            const size_t end = r.out.find('\n', at);
            ASSERT_NE(end, std::string::npos);
            std::string expected = r.out.substr(at, end - at);
            at = end + 1;
            if (expected.empty())
                expected = "\xEF\xBF\xBD";
            EXPECT_EQ(DecodeCharsetText(std::string(1, static_cast<char>(b)), charset), expected)
                << "byte " << b;
        }
    }
}

TEST(CodePage, DecodingNeverFailsOnBadBytes) {
    // 0x98 is undefined in code page 1251; a Shift JIS lead byte at the end is cut short.
    EXPECT_EQ(DecodeCharsetText("a\x98z", 204), "a\xEF\xBF\xBDz");
    EXPECT_EQ(DecodeCharsetText("\x82\xA0\x82", 128), "\xE3\x81\x82\xEF\xBF\xBD");
    EXPECT_EQ(DecodeCharsetText("", 204), "");
    EXPECT_EQ(DecodeCharsetText(std::string("a\0b", 3), 238), std::string("a\0b", 3));
}

TEST(CodePage, EncodingRoundTripsAndMarksWhatIsLost) {
    REQUIRE_TOOL("iconv", "libc-bin");
    const std::string greek =
        "\xCE\x93\xCE\xB5\xCE\xB9\xCE\xAC \xCE\xBA\xCF\x8C\xCF\x83\xCE\xBC\xCE\xB5";
    bool lossless = false;
    const std::string bytes = EncodeCharsetText(greek, 161, &lossless);
    EXPECT_TRUE(lossless);
    EXPECT_EQ(bytes, IconvTool(greek, "UTF-8", "CP1253"));
    EXPECT_EQ(DecodeCharsetText(bytes, 161), greek);

    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC"; // 日本
    EXPECT_EQ(DecodeCharsetText(EncodeCharsetText(japanese, 128), 128), japanese);

    // Cyrillic has no Greek letters; a broken UTF-8 byte is lost too.
    EXPECT_EQ(EncodeCharsetText("A\xCE\x93"
                                "B",
                                204, &lossless),
              "A?B");
    EXPECT_FALSE(lossless);
    EXPECT_EQ(EncodeCharsetText("x\xFFy\xE2\x82", 238, &lossless), "x?y??");
    EXPECT_FALSE(lossless);
    EXPECT_EQ(EncodeCharsetText("plain", 204, &lossless), "plain");
    EXPECT_TRUE(lossless);
}
