// Tests of the wide-character file layer on UTF-8 names.
#include "support/files/U_UnicodeUtils.h"

#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

TEST(WideFileLayer, FilesFoldersAndNonAsciiNames) {
    const std::string dir = testmedia::TempDir() + "/wide-Ünïcødé-日本";
    EXPECT_FALSE(WideDirectoryExists(dir));
    ASSERT_TRUE(WideCreateDirectory(dir));
    EXPECT_FALSE(WideCreateDirectory(dir)); // already there
    EXPECT_TRUE(WideDirectoryExists(dir));
    EXPECT_TRUE(WideDirectoryExists(dir + "/"));
    EXPECT_FALSE(WideFileExists(dir));
    EXPECT_FALSE(WideCreateDirectory(dir + "/no/parent")); // one level only

    const std::string file = dir + "/clip ñ €.avi";
    EXPECT_FALSE(WideFileExists(file));
    testmedia::WriteAll(file, {1});
    EXPECT_TRUE(WideFileExists(file));
    EXPECT_FALSE(WideDirectoryExists(file));
    EXPECT_FALSE(WideFileExists(file + "/"));

    fs::create_symlink(file, dir + "/link.avi");
    EXPECT_TRUE(WideFileExists(dir + "/link.avi"));
    fs::create_symlink(dir + "/gone.avi", dir + "/dangling.avi");
    EXPECT_FALSE(WideFileExists(dir + "/dangling.avi"));

    EXPECT_FALSE(WideFileExists(""));
    EXPECT_FALSE(WideDirectoryExists(""));
    EXPECT_FALSE(WideCreateDirectory(""));
}

TEST(WideFileLayer, ExtensionAndTrailingSeparator) {
    EXPECT_EQ(WideExtractFileExt("/v/movie.avi"), ".avi");
    EXPECT_EQ(WideExtractFileExt("/v/movie.AVI", true), "AVI");
    EXPECT_EQ(WideExtractFileExt("/v/movie.tar.gz", true), "gz");
    EXPECT_EQ(WideExtractFileExt("/v.d/movie"), ""); // the point belongs to a folder
    EXPECT_EQ(WideExtractFileExt("x.avi:stream"), "");
    EXPECT_EQ(WideExtractFileExt("movie."), ".");
    EXPECT_EQ(WideExtractFileExt("movie.", true), "");
    EXPECT_EQ(WideExtractFileExt("/v/.avi", true), "avi");
    EXPECT_EQ(WideExtractFileExt("/v/été.avï", true), "avï");
    EXPECT_EQ(WideExtractFileExt(""), "");

    EXPECT_EQ(WideIncludeTrailingBackslash(""), "");
    EXPECT_EQ(WideIncludeTrailingBackslash("/tmp"), "/tmp/");
    EXPECT_EQ(WideIncludeTrailingBackslash("/tmp/"), "/tmp/");
    EXPECT_EQ(WideIncludeTrailingBackslash("/"), "/");
    static_assert(UnicodeApiAvailable);
}
