// Tests of C_VersionInfo on PE files built here by the mingw-w64 tools and on our own clipvane-cli.
#include "support/files/U_TobrelUtils.h"
#include "support/versioninfo/C_VersionInfo.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const char kWindres[] = "x86_64-w64-mingw32-windres";
const char kGcc[] = "x86_64-w64-mingw32-gcc";
const char kMingwPackage[] = "mingw-w64";

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A PE file with the resource script rc (none when empty), linked without the C runtime so that
// it stays a few kilobytes. Returns "" and fills why on failure.
std::string BuildPe(const std::string& name, const std::string& rc, const std::string& gccOptions,
                    std::string& why, const std::string& toolPrefix = "x86_64-w64-mingw32-") {
    const std::string dir = testmedia::TempDir() + "/pe-" + name;
    fs::create_directories(dir);
    WriteText(dir + "/entry.c", "void start(void) {}\n");
    std::string objects = testmedia::Quote(dir + "/entry.c");
    std::string command;
    if (!rc.empty()) {
        WriteText(dir + "/res.rc", rc);
        command = toolPrefix + "windres -O coff -i " + testmedia::Quote(dir + "/res.rc") + " -o " +
                  testmedia::Quote(dir + "/res.o") + " && ";
        objects += " " + testmedia::Quote(dir + "/res.o");
    }
    const std::string out = dir + "/" + name;
    command += toolPrefix + "gcc -nostdlib -e start -s " + gccOptions + " -o " +
               testmedia::Quote(out) + " " + objects;
    const testmedia::RunResult r = testmedia::Run(command);
    if (r.exitCode != 0) {
        why = command + "\n" + r.err;
        return {};
    }
    return out;
}

// A version script in the resource compiler's language.
std::string VersionRc(const std::string& fixed, const std::string& tables,
                      const std::string& translations) {
    return "1 VERSIONINFO\n" + fixed +
           "BEGIN\n"
           "  BLOCK \"StringFileInfo\"\n"
           "  BEGIN\n" +
           tables +
           "  END\n"
           "  BLOCK \"VarFileInfo\"\n"
           "  BEGIN\n"
           "    VALUE \"Translation\", " +
           translations +
           "\n"
           "  END\n"
           "END\n";
}

const char kProbeFixed[] = "FILEVERSION 2,9,1,69\n"
                           "PRODUCTVERSION 3,1,0,7\n"
                           "FILEFLAGSMASK 0x3f\n"
                           "FILEFLAGS 0x2\n"
                           "FILEOS 0x40004\n"
                           "FILETYPE 0x1\n"
                           "FILESUBTYPE 0x0\n";

const char kProbeTable[] = "    BLOCK \"040904B0\"\n"
                           "    BEGIN\n"
                           "      VALUE \"Comments\", \"Made at test time\"\n"
                           "      VALUE \"CompanyName\", \"Quorlen Test Works\"\n"
                           "      VALUE \"FileDescription\", \"Version probe\"\n"
                           "      VALUE \"FileVersion\", \"2.9.1.69\"\n"
                           "      VALUE \"InternalName\", \"probe\"\n"
                           "      VALUE \"LegalCopyright\", \"Copyright (C) Nobody\"\n"
                           "      VALUE \"LegalTrademarks\", \"Probe\"\n"
                           "      VALUE \"OriginalFilename\", \"probe.exe\"\n"
                           "      VALUE \"ProductName\", \"Probe Product\"\n"
                           "      VALUE \"ProductVersion\", \"3.1 (beta)\"\n"
                           "    END\n";

// Two translations, the first French. Its table comes second in the file, so only a lookup by
// the first translation's key finds it.
const char kTwoLanguageFixed[] = "FILEVERSION 1,2,3,1500\n"
                                 "PRODUCTVERSION 1,2,3,1500\n"
                                 "FILEFLAGSMASK 0x3f\n"
                                 "FILEFLAGS 0x0\n"
                                 "FILEOS 0x4\n"
                                 "FILETYPE 0x2\n"
                                 "FILESUBTYPE 0x0\n";
const char kTwoLanguageTables[] = "    BLOCK \"040904b0\"\n"
                                  "    BEGIN\n"
                                  "      VALUE \"CompanyName\", \"Second, in English\"\n"
                                  "      VALUE \"FileVersion\", \"9.9.9.9\"\n"
                                  "      VALUE \"ProductVersion\", \"9.9\"\n"
                                  "    END\n"
                                  "    BLOCK \"040c04e4\"\n"
                                  "    BEGIN\n"
                                  "      VALUE \"CompanyName\", \"Premier (France)\"\n"
                                  "      VALUE \"FileVersion\", \"2, 0, 0, 5\"\n"
                                  "      VALUE \"ProductVersion\", \"(beta)\"\n"
                                  "      VALUE \"Comments\", \"\"\n"
                                  "    END\n";

class VersionInfoOnPe : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_TOOL(kWindres, kMingwPackage);
        REQUIRE_TOOL(kGcc, kMingwPackage);
        InstallFileVersionReader();
    }
};

std::string ProjectVersionFromCache() {
    std::ifstream cache(std::string(CLIPVANE_BINARY_DIR) + "/CMakeCache.txt");
    std::string line;
    const std::string key = "CMAKE_PROJECT_VERSION:STATIC=";
    while (std::getline(cache, line))
        if (line.rfind(key, 0) == 0)
            return line.substr(key.size());
    return {};
}

} // namespace

TEST_F(VersionInfoOnPe, ExecutableGivesEveryProperty) {
    std::string why;
    const std::string exe =
        BuildPe("probe.exe", VersionRc(kProbeFixed, kProbeTable, "0x409, 1200"), "", why);
    ASSERT_FALSE(exe.empty()) << why;

    TVersionInfo info;
    EXPECT_EQ(info.FileName(), "");
    info.SetFileName(exe);
    EXPECT_EQ(info.FileName(), exe);
    EXPECT_TRUE(info.InfoLoaded());
    EXPECT_EQ(info.Comments(), "Made at test time");
    EXPECT_EQ(info.CompanyName(), "Quorlen Test Works");
    EXPECT_EQ(info.FileDescription(), "Version probe");
    EXPECT_EQ(info.FileVersion(), "2.9.1.69");
    EXPECT_EQ(info.FileVersionInt(), 34145349); // 0x02090445
    EXPECT_DOUBLE_EQ(info.FileVersionFloat(), 2.9169);
    EXPECT_EQ(info.InternalName(), "probe");
    EXPECT_EQ(info.LegalCopyright(), "Copyright (C) Nobody"); // parentheses stay here
    EXPECT_EQ(info.LegalTrademark(), "Probe");
    EXPECT_EQ(info.OriginalFilename(), "probe.exe");
    EXPECT_EQ(info.ProductName(), "Probe Product");
    EXPECT_EQ(info.ProductVersion(), "3.1 beta");
    EXPECT_DOUBLE_EQ(info.ProductVersionFloat(), 3.1);
    // The whole double words, not the single numbers.
    EXPECT_EQ(info.FileMajorVersion(), 131081);
    EXPECT_EQ(info.FileMinorVersion(), 1 << 16 | 69);
    EXPECT_EQ(info.ProductMajorVersion(), 3 << 16 | 1);
    EXPECT_EQ(info.ProductMinorVersion(), 7);
    EXPECT_EQ(info.FileFlagsMask(), 0x3F);
    EXPECT_EQ(info.FileFlags(), 2);
    EXPECT_EQ(info.FileOS(), 0x40004);
    EXPECT_EQ(info.FileType(), 1);
    EXPECT_EQ(info.FileSubtype(), 0);
    EXPECT_EQ(info.FileDate(), 0.0);
    EXPECT_EQ(info.LanguageCount(), 1);
    EXPECT_EQ(info.TranslationValue(), 0x04B00409);
    EXPECT_EQ(info.LanguageName(), "English (United States)");

    EXPECT_EQ(FileVersionText(exe), "2.9.1.69");
}

TEST_F(VersionInfoOnPe, FirstOfTwoTranslationsWinsAndVersionTextsAreCleaned) {
    std::string why;
    const std::string dll = BuildPe(
        "two.dll", VersionRc(kTwoLanguageFixed, kTwoLanguageTables, "0x40c, 1252, 0x409, 1200"),
        "-shared", why);
    ASSERT_FALSE(dll.empty()) << why;

    TVersionInfo info;
    info.SetFileName(dll);
    EXPECT_TRUE(info.InfoLoaded());
    EXPECT_EQ(info.LanguageCount(), 2);
    EXPECT_EQ(info.TranslationValue(), 0x04E4040C);
    EXPECT_EQ(info.LanguageName(), "French (France)");
    EXPECT_EQ(info.CompanyName(), "Premier (France)");
    // Commas count like points; the float takes the first comma as its point.
    EXPECT_EQ(info.FileVersion(), "2, 0, 0, 5");
    EXPECT_EQ(info.FileVersionInt(), 0x02000005);
    EXPECT_DOUBLE_EQ(info.FileVersionFloat(), 2.005);
    // "(beta)" loses its parentheses and reads as no number.
    EXPECT_EQ(info.ProductVersion(), "beta");
    EXPECT_EQ(info.ProductVersionFloat(), 0.0);
    EXPECT_EQ(info.Comments(), "");    // present but empty
    EXPECT_EQ(info.ProductName(), ""); // absent from the first table
    EXPECT_EQ(info.FileType(), 2);     // VFT_DLL
    EXPECT_EQ(info.FileMinorVersion(), 3 << 16 | 1500);
    // The fixed part keeps 1500 whole; only the packed integer cuts it.
    EXPECT_EQ(FileVersionText(dll), "1.2.3.1500");
}

TEST_F(VersionInfoOnPe, Pe32ReadsLikePe32Plus) {
    REQUIRE_TOOL("i686-w64-mingw32-gcc", kMingwPackage);
    std::string why;
    const std::string exe =
        BuildPe("probe32.exe", VersionRc(kProbeFixed, kProbeTable, "0x409, 1200"), "", why,
                "i686-w64-mingw32-");
    ASSERT_FALSE(exe.empty()) << why;
    // Make sure this really is the 32-bit layout (optional header magic 0x10B).
    const std::vector<uint8_t> image = testmedia::ReadAll(exe);
    ASSERT_GE(image.size(), 0x40u);
    const size_t pe = image[0x3C] | image[0x3D] << 8;
    ASSERT_GE(image.size(), pe + 26);
    EXPECT_EQ(image[pe + 24] | image[pe + 25] << 8, 0x10B);
    TVersionInfo info;
    info.SetFileName(exe);
    EXPECT_EQ(info.CompanyName(), "Quorlen Test Works");
    EXPECT_EQ(info.FileMajorVersion(), 131081);
}

TEST_F(VersionInfoOnPe, FilesWithoutVersionAndMissingFiles) {
    std::string why;
    const std::string bare = BuildPe("bare.exe", "", "", why);
    ASSERT_FALSE(bare.empty()) << why;
    // Resources, but none of type RT_VERSION.
    const std::string other =
        BuildPe("other.exe", "1 RCDATA { \"not a version\" }\n2 RCDATA { 1, 2, 3 }\n", "", why);
    ASSERT_FALSE(other.empty()) << why;
    // A version block without a translation table stops reading before the strings.
    const std::string noTranslation =
        BuildPe("notrans.exe",
                std::string("1 VERSIONINFO\n") + kProbeFixed +
                    "BEGIN\n  BLOCK \"StringFileInfo\"\n  BEGIN\n" + kProbeTable + "  END\nEND\n",
                "", why);
    ASSERT_FALSE(noTranslation.empty()) << why;
    const std::string text = testmedia::TempDir() + "/notes.txt";
    WriteText(text, "MZ but nothing more");

    for (const std::string& file : {bare, other, text}) {
        TVersionInfo info;
        info.SetFileName(file);
        EXPECT_EQ(info.FileName(), file);
        EXPECT_FALSE(info.InfoLoaded()) << file;
        EXPECT_EQ(info.CompanyName(), "") << file;
        EXPECT_EQ(info.FileMajorVersion(), 0) << file;
        EXPECT_EQ(info.LanguageCount(), 0) << file;
        EXPECT_EQ(FileVersionText(file), "") << file;
    }
    TVersionInfo partial;
    partial.SetFileName(noTranslation);
    EXPECT_FALSE(partial.InfoLoaded());
    EXPECT_EQ(partial.CompanyName(), "");
    EXPECT_EQ(partial.FileMajorVersion(), 0);
    // FileVersionText needs the fixed part only.
    EXPECT_EQ(FileVersionText(noTranslation), "2.9.1.69");

    // A missing file keeps the previous file and what was read from it.
    const std::string exe =
        BuildPe("keep.exe", VersionRc(kProbeFixed, kProbeTable, "0x409, 1200"), "", why);
    ASSERT_FALSE(exe.empty()) << why;
    TVersionInfo info;
    info.SetFileName(exe);
    ASSERT_EQ(info.ProductName(), "Probe Product");
    info.SetFileName(testmedia::TempDir() + "/missing.exe");
    info.SetFileName(testmedia::TempDir()); // a folder is no file either
    EXPECT_EQ(info.FileName(), exe);
    EXPECT_TRUE(info.InfoLoaded());
    EXPECT_EQ(info.ProductName(), "Probe Product");
    // ClearInfo empties the values; the next read loads them again.
    info.ClearInfo();
    EXPECT_EQ(info.FileName(), exe);
    EXPECT_EQ(info.ProductName(), "Probe Product");
    // Choosing another file drops the old values.
    info.SetFileName(bare);
    EXPECT_EQ(info.ProductName(), "");
    EXPECT_EQ(FileVersionText(testmedia::TempDir() + "/missing.exe"), "File not found");
}

TEST_F(VersionInfoOnPe, TruncatedAndDamagedImagesNeverReadOutside) {
    std::string why;
    const std::string exe = BuildPe(
        "cut.exe", VersionRc(kTwoLanguageFixed, kTwoLanguageTables, "0x40c, 1252, 0x409, 1200"), "",
        why);
    ASSERT_FALSE(exe.empty()) << why;
    const std::vector<uint8_t> image = testmedia::ReadAll(exe);
    const std::vector<uint8_t> block = ExtractVersionResource(image);
    ASSERT_FALSE(block.empty());
    const auto where = std::search(image.begin(), image.end(), block.begin(), block.end());
    ASSERT_NE(where, image.end());
    const size_t blockStart = static_cast<size_t>(where - image.begin());
    const TVersionFacts whole = ParseVersionInfo(block);
    ASSERT_TRUE(whole.Loaded);

    // Cut before the block: nothing; cut after it: everything; between: whatever is there.
    for (size_t size = 0; size <= image.size(); size += 61) {
        const std::span<const uint8_t> cut(image.data(), size);
        const TVersionFacts facts = ParseVersionInfo(ExtractVersionResource(cut));
        if (size <= blockStart) {
            EXPECT_FALSE(facts.Loaded) << size;
        }
        if (size >= blockStart + block.size()) {
            EXPECT_EQ(facts.CompanyName, whole.CompanyName) << size;
        }
    }
    // Every byte of the headers and the resource tree overwritten in turn.
    for (size_t at = 0; at < blockStart; ++at) {
        for (const uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t{0x80}}) {
            std::vector<uint8_t> damaged = image;
            damaged[at] = value;
            const TVersionFacts facts = ParseVersionInfo(ExtractVersionResource(damaged));
            if (facts.Loaded) {
                EXPECT_EQ(facts.FileMajorVersion, whole.FileMajorVersion) << at;
            }
        }
    }
    // Every byte of the block itself, read as a block.
    for (size_t at = 0; at < block.size(); ++at) {
        std::vector<uint8_t> damaged = block;
        damaged[at] ^= 0xFF;
        (void)ParseVersionInfo(damaged);
    }
}

TEST_F(VersionInfoOnPe, ElfSectionReadsLikeThePeResource) {
    REQUIRE_TOOL("objcopy", "binutils");
    REQUIRE_TOOL("as", "binutils");
    std::string why;
    const std::string exe = BuildPe(
        "source.exe", VersionRc(kTwoLanguageFixed, kTwoLanguageTables, "0x40c, 1252, 0x409, 1200"),
        "", why);
    ASSERT_FALSE(exe.empty()) << why;
    const std::vector<uint8_t> block = ExtractVersionResource(testmedia::ReadAll(exe));
    ASSERT_FALSE(block.empty());
    const std::string dir = testmedia::TempDir() + "/elf";
    fs::create_directories(dir);
    testmedia::WriteAll(dir + "/block.bin", block);
    WriteText(dir + "/empty.s", ".data\n.byte 1\n");

    for (const std::string width : {"--64", "--32"}) {
        const std::string object = dir + "/plain" + width + ".o";
        const std::string withVersion = dir + "/versioned" + width + ".o";
        const testmedia::RunResult r = testmedia::Run(
            "as " + width + " -o " + testmedia::Quote(object) + " " +
            testmedia::Quote(dir + "/empty.s") +
            " && objcopy --add-section .rsrc_version=" + testmedia::Quote(dir + "/block.bin") +
            " --set-section-flags .rsrc_version=alloc,readonly " + testmedia::Quote(object) + " " +
            testmedia::Quote(withVersion));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(ReadVersionResource(withVersion), block) << width;
        EXPECT_TRUE(ReadVersionResource(object).empty()) << width;
        TVersionInfo info;
        info.SetFileName(withVersion);
        EXPECT_EQ(info.CompanyName(), "Premier (France)") << width;
        EXPECT_EQ(info.LanguageCount(), 2) << width;
        EXPECT_EQ(FileVersionText(withVersion), "1.2.3.1500") << width;
    }
}

TEST(VersionInfoOfOurProgram, CliCarriesTheProjectVersion) {
    const std::string cli = std::string(CLIPVANE_BINARY_DIR) + "/cli/clipvane-cli";
    if (!fs::exists(cli))
        GTEST_SKIP() << "build the clipvane-cli target first";
    InstallFileVersionReader();
    std::string version = ProjectVersionFromCache();
    ASSERT_FALSE(version.empty());
    while (std::count(version.begin(), version.end(), '.') < 3)
        version += ".0";

    TVersionInfo info;
    info.SetFileName(cli);
    EXPECT_TRUE(info.InfoLoaded());
    EXPECT_EQ(info.ProductName(), "Clipvane");
    EXPECT_EQ(info.CompanyName(), "Quorlen");
    EXPECT_EQ(info.FileVersion(), version);
    EXPECT_EQ(info.ProductVersion(), version);
    EXPECT_EQ(info.InternalName(), "clipvane-cli");
    EXPECT_EQ(info.OriginalFilename(), "clipvane-cli");
    EXPECT_FALSE(info.FileDescription().empty());
    EXPECT_FALSE(info.LegalCopyright().empty());
    EXPECT_EQ(info.LanguageCount(), 1);
    EXPECT_EQ(info.TranslationValue(), 0x04B00409);
    EXPECT_EQ(info.FileType(), 1);
    EXPECT_EQ(FileVersionText(cli), version);

    // The section as binutils sees it is exactly what we read.
    REQUIRE_TOOL("objcopy", "binutils");
    const std::string dumped = testmedia::TempDir() + "/cli-section.bin";
    const testmedia::RunResult dump =
        testmedia::Run("objcopy -O binary --only-section=.rsrc_version " + testmedia::Quote(cli) +
                       " " + testmedia::Quote(dumped));
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(ReadVersionResource(cli), testmedia::ReadAll(dumped));

    // Stripping keeps the section: it is part of the loaded image.
    REQUIRE_TOOL("strip", "binutils");
    const std::string stripped = testmedia::TempDir() + "/clipvane-cli-stripped";
    const testmedia::RunResult s =
        testmedia::Run("strip -o " + testmedia::Quote(stripped) + " " + testmedia::Quote(cli));
    ASSERT_EQ(s.exitCode, 0) << s.err;
    EXPECT_EQ(FileVersionText(stripped), version);
}

TEST(VersionInfoOfOurProgram, OwnModuleIsTheDefaultOfTheBaseOnly) {
    TCustomversion_Info base;
    EXPECT_EQ(fs::canonical(base.FileName()), fs::canonical("/proc/self/exe"));
    TVersionInfo info;
    EXPECT_EQ(info.FileName(), "");
    EXPECT_FALSE(info.InfoLoaded());
    info.UseOwnModule();
    EXPECT_EQ(info.FileName(), base.FileName());
    // The test program carries no version resource.
    EXPECT_FALSE(info.InfoLoaded());
}

TEST(VersionInfoOfOurProgram, SpecialFilesAreNotRead) {
    // A FIFO would block a plain open until someone writes; it has no version either way.
    const std::string fifo = testmedia::TempDir() + "/fifo.exe";
    ASSERT_EQ(testmedia::Run("mkfifo " + testmedia::Quote(fifo)).exitCode, 0);
    EXPECT_TRUE(ReadVersionResource(fifo).empty());
    EXPECT_TRUE(ReadVersionResource("/dev/zero").empty());
    EXPECT_TRUE(ReadVersionResource(testmedia::TempDir()).empty());
}
