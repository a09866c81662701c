// Tests of the file facts and text helpers.
#include "support/files/U_TobrelUtils.h"

#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

TEST(FileSize64, RegularMissingFolderAndBeyondFourGiB) {
    const std::string dir = testmedia::TempDir() + "/size";
    fs::create_directories(dir);
    testmedia::WriteAll(dir + "/small.bin", std::vector<uint8_t>(1234, 7));
    EXPECT_EQ(FileSize64(dir + "/small.bin"), 1234u);
    EXPECT_EQ(FileSize64(dir + "/missing.bin"), 0u);
    EXPECT_EQ(FileSize64(dir), 0u);

    // A sparse file costs no disk space; both 32-bit halves must count.
    const std::string big = dir + "/big.bin";
    const auto r = testmedia::Run("truncate -s 5G " + testmedia::Quote(big));
    if (r.exitCode != 0)
        GTEST_SKIP() << "the file system refuses a sparse 5 GiB file: " << r.err;
    EXPECT_EQ(FileSize64(big), 5368709120u);
    fs::remove(big);
}

TEST(FileNameNoExt, CutsTheNameBeforeItsLastPoint) {
    EXPECT_EQ(FileNameNoExt("/videos/holiday.avi"), "holiday");
    EXPECT_EQ(FileNameNoExt("/videos/holiday.2024.avi"), "holiday.2024");
    EXPECT_EQ(FileNameNoExt("clip"), "clip");
    EXPECT_EQ(FileNameNoExt("/old.d/clip"), "clip"); // a point in a folder name does not count
    EXPECT_EQ(FileNameNoExt("/home/u/.profile"), "");
    EXPECT_EQ(FileNameNoExt("name."), "name");
    EXPECT_EQ(FileNameNoExt("/videos/"), "");
    EXPECT_EQ(FileNameNoExt("/vidéos/été.avi"), "été");
}

namespace {

std::string versionedFile;

bool FixedVersion(const std::string& fileName, uint32_t& ms, uint32_t& ls) {
    if (versionedFile.empty() || fileName != versionedFile)
        return false;
    ms = (2u << 16) | 9u;
    ls = (1u << 16) | 69u;
    return true;
}

} // namespace

TEST(FileVersionText, MissingFileNoVersionAndTheFourNumbers) {
    const std::string dir = testmedia::TempDir() + "/version";
    fs::create_directories(dir);
    const std::string plain = dir + "/plain.bin";
    const std::string versioned = dir + "/versioned.bin";
    testmedia::WriteAll(plain, {1, 2, 3});
    testmedia::WriteAll(versioned, {1, 2, 3});
    versionedFile = versioned;

    const TFileVersionReader before = SetFileVersionReader(nullptr);
    EXPECT_EQ(FileVersionText(dir + "/missing.exe"), "File not found");
    EXPECT_EQ(FileVersionText(dir), "File not found"); // a folder is not a file
    EXPECT_EQ(FileVersionText(versioned), "");         // no reader installed

    SetFileVersionReader(FixedVersion);
    EXPECT_EQ(FileVersionText(versioned), "2.9.1.69");
    EXPECT_EQ(FileVersionText(plain), "");
    versionedFile = dir + "/missing.exe";
    EXPECT_EQ(FileVersionText(dir + "/missing.exe"), "File not found");

    EXPECT_EQ(SetFileVersionReader(before), FixedVersion);
    versionedFile.clear();
}

TEST(UrlEncode, KeepsUnreservedBytesAndEncodesTheRest) {
    EXPECT_EQ(UrlEncode("Quorlen Clipvane"), "Quorlen%20Clipvane");
    EXPECT_EQ(UrlEncode("a+b/c"), "a%2Bb%2Fc");
    EXPECT_EQ(UrlEncode("~&=?#%"), "%7E%26%3D%3F%23%25");
    EXPECT_EQ(UrlEncode("AZaz09-._"), "AZaz09-._");
    // UTF-8 "é" and "€": each byte on its own, upper-case hex.
    EXPECT_EQ(UrlEncode("caf\xC3\xA9 \xE2\x82\xAC"), "caf%C3%A9%20%E2%82%AC");
    EXPECT_EQ(UrlEncode(std::string("\x00\x7F\xFF", 3)), "%00%7F%FF");
    EXPECT_EQ(UrlEncode(""), "");
}

TEST(TextHelpers, ClampingAndCaseRules) {
    EXPECT_EQ(LeftText("version", 3), "ver");
    EXPECT_EQ(LeftText("version", -1), "");
    EXPECT_EQ(LeftText("version", 99), "version");
    EXPECT_EQ(RightText("version", 3), "ion");
    EXPECT_EQ(RightText("version", -5), "");
    EXPECT_EQ(RightText("version", 99), "version");

    EXPECT_TRUE(StartsText("HTTPS://host", "https"));
    EXPECT_TRUE(StartsText("abc", ""));
    EXPECT_FALSE(StartsText("http", "https"));
    EXPECT_FALSE(StartsText("xhttps", "https"));

    EXPECT_TRUE(ContainsText("unKNOWN", "Build (Unknown) 3"));
    EXPECT_FALSE(ContainsText("Build", "unknown"));
    EXPECT_TRUE(ContainsText("", "anything"));

    EXPECT_EQ(RemovePrefix("HTTPS://x", "https"), "://x");
    EXPECT_EQ(RemovePrefix("http://x", "https"), "http://x");
    EXPECT_EQ(RemovePrefix("htt", "https"), "htt");
    EXPECT_EQ(RemovePrefix("https", "HTTPS"), "");

    EXPECT_EQ(CountFields("", "."), 0);
    EXPECT_EQ(CountFields("abc", "."), 1);
    EXPECT_EQ(CountFields("1.2.3", "."), 3);
    EXPECT_EQ(CountFields(".", "."), 2);
    EXPECT_EQ(CountFields("a,b;c d", ",; "), 4);
}

TEST(FormatDuration, MinutesThenHours) {
    EXPECT_EQ(FormatDuration(0), "0:00");
    EXPECT_EQ(FormatDuration(59), "0:59");
    EXPECT_EQ(FormatDuration(65), "1:05");
    EXPECT_EQ(FormatDuration(3599), "59:59");
    EXPECT_EQ(FormatDuration(3600), "1:00:00");
    EXPECT_EQ(FormatDuration(3725), "1:02:05");
    EXPECT_EQ(FormatDuration(90061), "25:01:01");
    EXPECT_EQ(FormatDuration(int64_t{3600} * 1000000), "1000000:00:00"); // beyond 32 bits of ms
}
