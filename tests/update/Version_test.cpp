// Tests of TParvoVersion: lenient parsing, text forms, halves and comparisons.
#include "update/U_Version.h"

#include <gtest/gtest.h>

namespace {

std::string Parsed(const std::string& text) {
    return TParvoVersion(text).AsText();
}

} // namespace

TEST(TParvoVersion, ParsesFourParts) {
    const TParvoVersion v("2.9.1.69");
    EXPECT_EQ(v.Major, 2);
    EXPECT_EQ(v.Minor, 9);
    EXPECT_EQ(v.Release, 1);
    EXPECT_EQ(v.Build, 69);
    EXPECT_EQ(v.High32(), 131081u);
    EXPECT_EQ(v.Low32(), 65605u);
    EXPECT_EQ(v.HighText(), "131081");
    EXPECT_EQ(v.LowText(), "65605");
    EXPECT_EQ(v.AsText(), "2.9.1.69");
    EXPECT_TRUE(v.IsValid());
}

TEST(TParvoVersion, PadsShortTexts) {
    EXPECT_EQ(Parsed("3"), "3.0.0.0");
    EXPECT_TRUE(TParvoVersion("3").IsValid());
    EXPECT_EQ(Parsed("2.9"), "2.9.0.0");
    EXPECT_EQ(Parsed("2.9.1"), "2.9.1.0");
    EXPECT_EQ(Parsed(""), "0.0.0.0");
    EXPECT_FALSE(TParvoVersion("").IsValid());
    EXPECT_EQ(Parsed("."), "0.0.0.0");
}

TEST(TParvoVersion, UnreadablePartsBecomeZero) {
    // Everything after the third point is the build text, further points included.
    EXPECT_EQ(Parsed("1.2.3.4.5"), "1.2.3.0");
    EXPECT_EQ(Parsed("2.10 beta"), "2.0.0.0");
    EXPECT_EQ(Parsed(" 7.1.0.0"), "7.1.0.0");
    EXPECT_EQ(Parsed("7.1.0.0 "), "7.1.0.0"); // build text "0 " is refused: 0 anyway
    EXPECT_EQ(Parsed("7.1.0.5 "), "7.1.0.0");
    EXPECT_EQ(Parsed("7.1.0.5\n"), "7.1.0.0");
    EXPECT_EQ(Parsed("1.70000.0.0"), "1.0.0.0");
    EXPECT_EQ(Parsed("1.65535.0.65536"), "1.65535.0.0");
    EXPECT_EQ(Parsed("$A.0.0.0"), "10.0.0.0");
    EXPECT_EQ(Parsed("0x10.x1F.$ff.0X2"), "16.31.255.2");
    EXPECT_EQ(Parsed("$FFFF.$10000.0.0"), "65535.0.0.0");
    const TParvoVersion page("<html><body>502 Bad Gateway</body></html>");
    EXPECT_EQ(page.AsText(), "0.0.0.0");
    EXPECT_FALSE(page.IsValid());
    EXPECT_EQ(Parsed("<html>\n<p>1.2</p>\n</html>"), "0.0.0.0");
}

TEST(TParvoVersion, NegativePartsStayAndWrapInTheHalves) {
    const TParvoVersion v("-1.2.3.4");
    EXPECT_EQ(v.AsText(), "-1.2.3.4");
    EXPECT_EQ(v.High32(), 0xFFFF0002u);
    EXPECT_EQ(v.HighText(), "4294901762");
    EXPECT_TRUE(v.IsValid()); // -1 + 2 + 3 + 4
    EXPECT_FALSE(TParvoVersion("-5.1.1.1").IsValid());
    // The sum wraps in 32 bits: two minimums cancel out.
    EXPECT_EQ(Parsed("-2147483648.-2147483648.1.0"), "-2147483648.-2147483648.1.0");
    EXPECT_TRUE(TParvoVersion("-2147483648.-2147483648.1.0").IsValid());
    EXPECT_EQ(Parsed("$FFFFFFFF.0.0.0"), "-1.0.0.0"); // hexadecimal wraps into the sign
}

TEST(TParvoVersion, PairsAndComparisons) {
    const TParvoVersion fromPair = TParvoVersion::CreateFromPair(0x00020009, 0x00010045);
    EXPECT_EQ(fromPair.AsText(), "2.9.1.69");
    EXPECT_EQ(TParvoVersion::CreateFromPair(0xFFFFFFFF, 0).AsText(), "65535.65535.0.0");

    const TParvoVersion v("2.9.1.69");
    EXPECT_FALSE(v.IsNewerThanPair(v.High32(), v.Low32()));
    EXPECT_TRUE(v.IsNewerThanPair(v.High32(), v.Low32() - 1));
    EXPECT_FALSE(v.IsNewerThanPair(v.High32(), v.Low32() + 1));
    EXPECT_TRUE(v.IsNewerThanPair(v.High32() - 1, 0xFFFFFFFF)); // the high half decides first
    EXPECT_FALSE(v.IsNewerThanPair(v.High32() + 1, 0));
    // Unsigned: a negative major is a large high half.
    EXPECT_TRUE(TParvoVersion("-1.0.0.0").IsNewerThanPair(0x7FFFFFFF, 0));

    EXPECT_TRUE(TParvoVersion("2.10.0.0").IsNewerThan(TParvoVersion("2.9.9.9")));
    EXPECT_FALSE(TParvoVersion("2.9.9.9").IsNewerThan(TParvoVersion("2.10.0.0")));
    EXPECT_FALSE(v.IsNewerThan(TParvoVersion("2.9.1.69")));
    EXPECT_TRUE(v.IsNewerThan(TParvoVersion("2.9.1.68")));
    EXPECT_FALSE(v.IsNewerThan(TParvoVersion("2.9.2.0")));
    EXPECT_TRUE(v.IsNewerThan(TParvoVersion("1.65535.65535.65535")));
    // Signed: a negative major is older than 0.
    EXPECT_FALSE(TParvoVersion("-1.0.0.0").IsNewerThan(TParvoVersion("0.0.0.1")));
}
