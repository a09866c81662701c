// Tests of the size formatter: unit steps, truncation, three-digit rounding and the locale's point.
#include "support/text/U_SizeFormat.h"

#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr int64_t KiB = 1024;
constexpr int64_t MiB = KiB * 1024;
constexpr int64_t GiB = MiB * 1024;
constexpr int64_t TiB = GiB * 1024;

} // namespace

TEST(FormatSize, BytesUnitsAndDigits) {
    const struct {
        int64_t size;
        const char* text;
    } cases[] = {
        {0, "0    b."},
        {12, "12   b."},
        {1023, "1023 b."},
        {1024, "1 Kb."},
        {1536, "1.5 Kb."},
        {100 * KiB, "100 Kb."},
        {999 * KiB + 400, "999 Kb."},
        {1000 * KiB, "1000 Kb."},
        {1048575, "1023 Kb."}, // truncated, not rounded up to the next unit
        {1048576, "1 Mb."},
        {MiB + MiB / 2, "1.5 Mb."},
        {GiB * 123 / 10, "12.3 Gb."},
        {GiB * 2 / 3, "683 Mb."},
        {1000 * TiB, "1000 Tb."},
        {1024 * TiB, "1024 Tb."}, // nothing beyond terabytes
        {INT64_MAX, "8388608 Tb."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatSize(c.size), c.text) << c.size;
}

TEST(FormatSize, ThreeDigitsThatRoundToOneThousandUseExponent) {
    EXPECT_EQ(FormatSize(999 * KiB + 3 * KiB / 4), "1e+03 Kb.");
    EXPECT_EQ(FormatSize(999 * MiB + 3 * MiB / 4), "1e+03 Mb.");
    EXPECT_EQ(FormatSize(999 * KiB + KiB / 4), "999 Kb.");
}

TEST(FormatSize, UsesTheDecimalPointOfTheNumericLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        // Build the locale for this process when the system has none installed.
        if (!testmedia::HaveTool("localedef"))
            GTEST_SKIP() << "no de_DE locale and no localedef; install the Debian package locales";
        const std::string dir = testmedia::TempDir() + "/locales";
        testmedia::Run("mkdir -p " + testmedia::Quote(dir) + " && localedef -i de_DE -f UTF-8 " +
                       testmedia::Quote(dir + "/de_DE.UTF-8"));
        setenv("LOCPATH", dir.c_str(), 1);
        const bool made = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        unsetenv("LOCPATH");
        if (!made)
            GTEST_SKIP() << "no de_DE locale; install the Debian package locales";
    }
    const std::string text = FormatSize(1536);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "1,5 Kb.");
}
