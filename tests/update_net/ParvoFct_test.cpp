// Tests of U_ParvoFct on program files that carry a version resource made here.
#include "tests/common/TestMedia.h"
#include "tests/qtcommon/NetTestSupport.h"
#include "update/U_ParvoFct.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::string ProgramWith(const std::string& name, uint32_t ms, uint32_t ls,
                        const std::map<std::string, std::string>& strings) {
    const std::string dir = testmedia::TempDir() + "/fct";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/" + name;
    nettest::WriteElfWithVersion(path, nettest::VersionBlock(ms, ls, strings));
    return path;
}

} // namespace

TEST(DisplayedFileInfo, NamesAndVersionComeFromTheVersionResource) {
    const std::string exe = ProgramWith("clipvane", 0x00020009, 0x00010045,
                                        {{"ProductName", "Clipvane"},
                                         {"CompanyName", "Quorlen"},
                                         {"FileVersion", "7.7.7.7"},
                                         {"FileDescription", "Easy movie splitter"}});
    const TDisplayedFileInfo info = GetDisplayedFileInfo(exe);
    EXPECT_EQ(info.ProductName, "Clipvane");
    EXPECT_EQ(info.CompanyName, "Quorlen");
    // The fixed part counts, not the FileVersion string.
    EXPECT_EQ(RunningVersionText(exe), "2.9.1.69");
}

TEST(DisplayedFileInfo, AMakerWithoutProductNamesTheProductAfterTheFile) {
    const std::string exe = ProgramWith("my tool.v2.bin", 0x00010000, 0,
                                        {{"CompanyName", "Quorlen"}, {"ProductName", ""}});
    const TDisplayedFileInfo info = GetDisplayedFileInfo(exe);
    EXPECT_EQ(info.ProductName, "my tool.v2");
    EXPECT_EQ(info.CompanyName, "Quorlen");
    EXPECT_EQ(RunningVersionText(exe), "1.0.0.0");

    // Without a maker the empty product stays empty.
    const std::string anonymous = ProgramWith("anonymous.bin", 0x00010000, 0, {});
    EXPECT_EQ(GetDisplayedFileInfo(anonymous).ProductName, "");
    EXPECT_EQ(GetDisplayedFileInfo(anonymous).CompanyName, "");

    const std::string productOnly =
        ProgramWith("product-only.bin", 0x00010000, 0, {{"ProductName", "Solo"}});
    EXPECT_EQ(GetDisplayedFileInfo(productOnly).ProductName, "Solo");
    EXPECT_EQ(GetDisplayedFileInfo(productOnly).CompanyName, "");
}

TEST(DisplayedFileInfo, FilesWithoutVersionResource) {
    const std::string dir = testmedia::TempDir() + "/fct";
    std::filesystem::create_directories(dir);
    const std::string plain = dir + "/plain.txt";
    testmedia::WriteAll(plain, {'2', '.', '9', '\n'});
    EXPECT_EQ(GetDisplayedFileInfo(plain).ProductName, "");
    EXPECT_EQ(GetDisplayedFileInfo(plain).CompanyName, "");
    EXPECT_EQ(RunningVersionText(plain), "");

    const std::string missing = dir + "/missing.exe";
    EXPECT_EQ(GetDisplayedFileInfo(missing).ProductName, "");
    EXPECT_EQ(RunningVersionText(missing), "File not found");

    // A zero version is no valid version: the text stays as the file gives it.
    const std::string zero = ProgramWith("zero.bin", 0, 0, {{"ProductName", "Zero"}});
    EXPECT_EQ(RunningVersionText(zero), "0.0.0.0");
}
