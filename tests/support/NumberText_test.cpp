// Tests of the runtime-style number texts and of the version text helpers built on them.
#include "support/text/U_LangNames.h"
#include "support/text/U_NumberText.h"
#include "support/versioninfo/C_VersionInfo.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// The value, or a marker that the text was refused.
std::string IntOf(const std::string& text) {
    int32_t v = 0;
    return TryStrToInt(text, v) ? std::to_string(v) : "refused";
}

std::string FloatOf(const std::string& text, char separator = '.') {
    double v = 0;
    if (!TryStrToFloat(text, v, separator))
        return "refused";
    char out[64];
    std::snprintf(out, sizeof out, "%.10g", v);
    return out;
}

} // namespace

TEST(TryStrToInt, DecimalWithBlanksAndSign) {
    EXPECT_EQ(IntOf("7"), "7");
    EXPECT_EQ(IntOf("   7"), "7");
    EXPECT_EQ(IntOf("+12"), "12");
    EXPECT_EQ(IntOf("-12"), "-12");
    EXPECT_EQ(IntOf("007"), "7");
    EXPECT_EQ(IntOf("0"), "0");
    // Nothing may follow the digits, and there must be digits.
    EXPECT_EQ(IntOf("7 "), "refused");
    EXPECT_EQ(IntOf("10 beta"), "refused");
    EXPECT_EQ(IntOf("4.5"), "refused");
    EXPECT_EQ(IntOf(""), "refused");
    EXPECT_EQ(IntOf("   "), "refused");
    EXPECT_EQ(IntOf("-"), "refused");
    EXPECT_EQ(IntOf("+-1"), "refused");
    EXPECT_EQ(IntOf("\t1"), "refused"); // only blanks are skipped
    // An embedded NUL ends the text.
    EXPECT_EQ(IntOf(std::string("12\0junk", 7)), "12");
}

TEST(TryStrToInt, DecimalLimits) {
    EXPECT_EQ(IntOf("2147483647"), "2147483647");
    EXPECT_EQ(IntOf("2147483648"), "refused");
    EXPECT_EQ(IntOf("-2147483648"), "-2147483648");
    EXPECT_EQ(IntOf("-2147483649"), "refused");
    EXPECT_EQ(IntOf("99999999999"), "refused");
    EXPECT_EQ(IntOf("0000000000000000000001"), "1"); // leading zeros do not overflow
}

TEST(TryStrToInt, HexadecimalPrefixes) {
    EXPECT_EQ(IntOf("$A"), "10");
    EXPECT_EQ(IntOf("$a"), "10");
    EXPECT_EQ(IntOf("x1F"), "31");
    EXPECT_EQ(IntOf("X1f"), "31");
    EXPECT_EQ(IntOf("0x10"), "16");
    EXPECT_EQ(IntOf("0X10"), "16");
    EXPECT_EQ(IntOf("  $10"), "16");
    EXPECT_EQ(IntOf("-$10"), "-16");
    EXPECT_EQ(IntOf("-0x10"), "-16");
    // Hexadecimal uses all 32 bits and wraps into the sign.
    EXPECT_EQ(IntOf("$7FFFFFFF"), "2147483647");
    EXPECT_EQ(IntOf("$FFFFFFFF"), "-1");
    EXPECT_EQ(IntOf("$80000000"), std::to_string(INT32_MIN));
    EXPECT_EQ(IntOf("$100000000"), "refused");
    EXPECT_EQ(IntOf("$"), "refused");
    EXPECT_EQ(IntOf("0x"), "refused");
    EXPECT_EQ(IntOf("$G"), "refused");
    EXPECT_EQ(IntOf("$1 "), "refused");
    EXPECT_EQ(IntOf("00x1"), "refused");
    EXPECT_EQ(StrToIntDef("junk", -7), -7);
    EXPECT_EQ(StrToIntDef("$20", -7), 32);
}

TEST(TryStrToFloat, FormsAndSeparator) {
    EXPECT_EQ(FloatOf("2.5"), "2.5");
    EXPECT_EQ(FloatOf("  -2.5  "), "-2.5");
    EXPECT_EQ(FloatOf("3"), "3");
    EXPECT_EQ(FloatOf("3."), "3");
    EXPECT_EQ(FloatOf(".5"), "0.5");
    EXPECT_EQ(FloatOf("1e3"), "1000");
    EXPECT_EQ(FloatOf("1.5E-2"), "0.015");
    EXPECT_EQ(FloatOf("."), "refused");
    EXPECT_EQ(FloatOf("1e"), "refused");
    EXPECT_EQ(FloatOf("2.9.1"), "refused");
    EXPECT_EQ(FloatOf("1,5"), "refused");
    EXPECT_EQ(FloatOf("1,5", ','), "1.5");
    EXPECT_EQ(FloatOf("1.5", ','), "refused");
    EXPECT_EQ(FloatOf("beta"), "refused");
    EXPECT_EQ(FloatOf(""), "refused");
    EXPECT_EQ(FloatOf("1e999"), "refused");
}

TEST(FileVersionIntOf, PacksFourNumbers) {
    EXPECT_EQ(FileVersionIntOf("2.9.1.69"), 34145349);
    EXPECT_EQ(FileVersionIntOf("2.9.1.69"), 0x02090445);
    EXPECT_EQ(FileVersionIntOf("1.2.3.1500"), 0x01020DDC); // 1500 keeps its low 10 bits: 476
    EXPECT_EQ(FileVersionIntOf("2,0,0,5"), 0x02000005);
    EXPECT_EQ(FileVersionIntOf("2, 0, 0, 5"), 0x02000005);
    EXPECT_EQ(FileVersionIntOf("beta"), 0);
    EXPECT_EQ(FileVersionIntOf(""), 0);
    // Numbers after the fourth do not count; letters are skipped inside a number.
    EXPECT_EQ(FileVersionIntOf("1.2.3.4.5.6"), 0x01020C04);
    EXPECT_EQ(FileVersionIntOf("1.2b.3.4"), 0x01020C04);
    // The third number keeps 6 bits, the first two 8.
    EXPECT_EQ(FileVersionIntOf("257.258.65.1"), 0x01020401);
    // A trailing point completes an empty number.
    EXPECT_EQ(FileVersionIntOf("3."), 0x03000000);
    EXPECT_EQ(FileVersionIntOf("7"), 0x07000000);
    // Too many digits for an integer read as 0.
    EXPECT_EQ(FileVersionIntOf("99999999999.1"), 0x00010000);
}

TEST(VersionFloat, RulesOfTheVersionNumber) {
    EXPECT_DOUBLE_EQ(VersionFloat("2.9.1.69", '.'), 2.9169);
    EXPECT_DOUBLE_EQ(VersionFloat("2.9.1.69", ','), 2.9169); // the user's separator in step 4
    EXPECT_DOUBLE_EQ(VersionFloat("1.5", '.'), 1.5);
    EXPECT_DOUBLE_EQ(VersionFloat("1.5", ','), 1.5); // read whole with "." first
    EXPECT_DOUBLE_EQ(VersionFloat("2,0,0,5", '.'), 2.005);
    EXPECT_DOUBLE_EQ(VersionFloat("2,0,0,5", ','), 2.005);
    EXPECT_DOUBLE_EQ(VersionFloat("3.1 beta", '.'), 3.1);
    EXPECT_DOUBLE_EQ(VersionFloat("3.", '.'), 3.0);
    EXPECT_DOUBLE_EQ(VersionFloat("v2", '.'), 2.0);
    EXPECT_EQ(VersionFloat("beta", '.'), 0.0);
    EXPECT_EQ(VersionFloat("", '.'), 0.0);
    EXPECT_EQ(VersionFloat("...", '.'), 0.0);
    // The protected place does not move while letters before it go: "v1.5" keeps the "5" in
    // place 3 and drops the point, so it reads 15.
    EXPECT_DOUBLE_EQ(VersionFloat("v1.5", '.'), 15.0);
    // Other characters stay and spoil the number.
    EXPECT_EQ(VersionFloat("1.0-rc1", '.'), 0.0);
}

TEST(LanguageNameOf, KnownAndUnknownIdentifiers) {
    EXPECT_EQ(LanguageNameOf(0x0409), "English (United States)");
    EXPECT_EQ(LanguageNameOf(0x040C), "French (France)");
    EXPECT_EQ(LanguageNameOf(0x040A), "Spanish (Traditional Sort)");
    EXPECT_EQ(LanguageNameOf(0x0407), "German (Germany)");
    EXPECT_EQ(LanguageNameOf(0x500A), "Spanish (Puerto Rico)"); // last of the table
    EXPECT_EQ(LanguageNameOf(0x0000), "Language Neutral");
    EXPECT_EQ(LanguageNameOf(0x7777), "Language Neutral");
    EXPECT_EQ(LanguageNameOf(0xFFFF), "Language Neutral");
}
