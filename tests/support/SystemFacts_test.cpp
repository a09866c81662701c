// Tests of U_SystemFacts: version names, the Linux log line and the per-user folders.
#include "support/platform/U_SystemFacts.h"
#include "support/settings/SettingsStore.h"
#include "support/versioninfo/C_VersionInfo.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

void Touch(const std::string& path) {
    std::ofstream(path) << "x";
}

// Points XDG_DATA_HOME (and HOME) at a fresh folder for one test and restores them afterwards.
class DataHome {
public:
    explicit DataHome(const std::string& name) {
        root_ = testmedia::TempDir() + "/" + name;
        fs::remove_all(root_);
        fs::create_directories(root_ + "/data");
        Save("XDG_DATA_HOME", oldData_, hadData_);
        Save("HOME", oldHome_, hadHome_);
        ::setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
    }
    ~DataHome() {
        Restore("XDG_DATA_HOME", oldData_, hadData_);
        Restore("HOME", oldHome_, hadHome_);
    }
    DataHome(const DataHome&) = delete;
    DataHome& operator=(const DataHome&) = delete;

    const std::string& Root() const { return root_; }
    std::string Data() const { return root_ + "/data/"; }

private:
    static void Save(const char* name, std::string& value, bool& had) {
        const char* v = std::getenv(name);
        had = v != nullptr;
        value = v ? v : "";
    }
    static void Restore(const char* name, const std::string& value, bool had) {
        if (had)
            ::setenv(name, value.c_str(), 1);
        else
            ::unsetenv(name);
    }

    std::string root_;
    std::string oldData_;
    std::string oldHome_;
    bool hadData_ = false;
    bool hadHome_ = false;
};

} // namespace

TEST(NTVersionName, NamesAndBuildRules) {
    EXPECT_EQ(NTVersionName(5, 0, 2195), "5.0 (Windows 2000)");
    EXPECT_EQ(NTVersionName(5, 1, 2600), "5.1 (Windows XP)");
    EXPECT_EQ(NTVersionName(5, 2, 3790), "5.2 (Windows 2003)");
    EXPECT_EQ(NTVersionName(6, 0, 6002), "6.0 (Vista)");
    EXPECT_EQ(NTVersionName(6, 1, 7601), "6.1 (Seven)");
    EXPECT_EQ(NTVersionName(6, 2, 9200), "6.2 (Windows8)");
    EXPECT_EQ(NTVersionName(6, 3, 9600), "6.3 (Windows8.1)");
    EXPECT_EQ(NTVersionName(10, 0, 19045), "10.0.19045 (Windows10)");
    EXPECT_EQ(NTVersionName(10, 0, 19999), "10.0.19999 (Windows10)");
    EXPECT_EQ(NTVersionName(10, 0, 20000), "11.0.20000 (Windows11)");
    EXPECT_EQ(NTVersionName(10, 0, 22631), "11.0.22631 (Windows11)");
    EXPECT_EQ(NTVersionName(10, 0, 0), "10.0.0 (Windows10)");
    EXPECT_EQ(NTVersionName(6, 4, 9841), "6.4");
    EXPECT_EQ(NTVersionName(4, 0, 1381), "4.0");
    EXPECT_EQ(NTVersionName(10, 1, 0), "10.1");
}

TEST(WindowsVersionName, PlatformsAndFailedQueries) {
    EXPECT_EQ(WindowsVersionName(), "Unknown"); // no such query on this system
    TWindowsVersionFacts f;
    EXPECT_EQ(WindowsVersionName(f), "Unknown");

    f.VersionQueryOk = true;
    f.PlatformId = kPlatformWin32Windows;
    f.Major = 4;
    f.Minor = 0;
    EXPECT_EQ(WindowsVersionName(f), "4.0 (95)");
    f.Minor = 10;
    EXPECT_EQ(WindowsVersionName(f), "4.10 (98)");
    f.CSDVersion = " A ";
    EXPECT_EQ(WindowsVersionName(f), "4.10 (98SE)");
    f.CSDVersion = "A"; // the second character decides
    EXPECT_EQ(WindowsVersionName(f), "4.10 (98)");
    f.Minor = 90;
    EXPECT_EQ(WindowsVersionName(f), "4.90 (ME)");
    f.Minor = 3;
    EXPECT_EQ(WindowsVersionName(f), "4.3 (Unknown)");

    // NT names take the workstation's version, not the version query's.
    f = TWindowsVersionFacts();
    f.VersionQueryOk = true;
    f.PlatformId = kPlatformWin32NT;
    f.Major = 6;
    f.Minor = 2; // what the version query tells programs without a manifest
    f.WorkstationOk = true;
    f.WorkstationMajor = 10;
    f.WorkstationMinor = 0;
    f.CurrentBuildNumber = "22631";
    EXPECT_EQ(WindowsVersionName(f), "11.0.22631 (Windows11)");
    f.CurrentBuildNumber = "";
    EXPECT_EQ(WindowsVersionName(f), "10.0.0 (Windows10)");
    f.CurrentBuildNumber = "19045 ";
    EXPECT_EQ(WindowsVersionName(f), "10.0.0 (Windows10)"); // not a number: 0
    f.WorkstationOk = false;
    EXPECT_EQ(WindowsVersionName(f), "Unknown");
    f.PlatformId = 3;
    EXPECT_EQ(WindowsVersionName(f), "Unknown");
}

TEST(SystemTests, AnswersOfThisPlatform) {
    EXPECT_FALSE(Is64BitWindows());
    EXPECT_FALSE(IsBeforeVista());
    EXPECT_EQ(IsAdministrator(), ::geteuid() == 0);
    EXPECT_EQ(YesNo(true), "Yes");
    EXPECT_EQ(YesNo(false), "No");
    EXPECT_TRUE(SetFsRedirection(true));
    EXPECT_TRUE(SetFsRedirection(false));
}

TEST(ReactOSVersion, RulesOnGivenValues) {
    TReactOSFacts f;
    EXPECT_EQ(ReactOSVersion(f), "");
    f.ProductName = "Windows 10 Pro";
    f.BuildLab = "19041.vb_release.191206-1406";
    EXPECT_EQ(ReactOSVersion(f), "");
    f.ProductName = "reactos";
    EXPECT_EQ(ReactOSVersion(f), "19041.vb_release.191206-1406");
    f.BuildLab.reset();
    EXPECT_EQ(ReactOSVersion(f), "");
    // "unknown" in the build text and a system folder: the file version of its explorer.exe.
    f.BuildLab = "20240101-0.4.15-UNKNOWN";
    EXPECT_EQ(ReactOSVersion(f), "20240101-0.4.15-UNKNOWN"); // no SystemRoot
    f.SystemRoot = testmedia::TempDir() + "/no-such-windows";
    EXPECT_EQ(ReactOSVersion(f), "File not found (20240101-0.4.15-UNKNOWN)");
}

TEST(ReactOSVersion, ReadsTheMachineHive) {
    REQUIRE_TOOL("x86_64-w64-mingw32-windres", "mingw-w64");
    REQUIRE_TOOL("x86_64-w64-mingw32-gcc", "mingw-w64");
    InstallFileVersionReader();
    const std::string dir = testmedia::TempDir() + "/reactos";
    fs::create_directories(dir + "/windows");
    std::ofstream(dir + "/v.rc") << "1 VERSIONINFO\nFILEVERSION 6,0,4,15\nBEGIN\nEND\n";
    std::ofstream(dir + "/e.c") << "void start(void) {}\n";
    const testmedia::RunResult r = testmedia::Run(
        "cd " + testmedia::Quote(dir) +
        " && x86_64-w64-mingw32-windres -O coff -i v.rc -o v.o && x86_64-w64-mingw32-gcc "
        "-nostdlib -e start -s -o windows/explorer.exe e.c v.o");
    ASSERT_EQ(r.exitCode, 0) << r.err;

    reg::HiveFiles files;
    files.currentUser = dir + "/user.reg";
    files.localMachine = dir + "/machine.reg";
    const std::shared_ptr<reg::SettingsStore> store = reg::CreateHiveFileStore(files);
    reg::SetDefaultSettingsStore(store);
    EXPECT_EQ(ReactOSVersion(), ""); // no such key
    EXPECT_EQ(ReadBuildNumber(), "");

    const std::string key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    ASSERT_EQ(store->OpenKey(reg::RegRoot::LocalMachine, key, true), reg::RegStatus::Success);
    auto set = [&](const char* name, const std::string& text) {
        ASSERT_EQ(
            store->SetValue(reg::RegRoot::LocalMachine, key, name, reg::RegValue::String(text)),
            reg::RegStatus::Success);
    };
    set("ProductName", "ReactOS");
    set("BuildLab", "unknown-build");
    set("SystemRoot", dir + "/windows");
    set("CurrentBuildNumber", "3790");
    EXPECT_EQ(ReactOSVersion(), "6.0.4.15 (unknown-build)");
    EXPECT_EQ(ReadBuildNumber(), "3790");
    reg::SetDefaultSettingsStore(nullptr);
}

TEST(LinuxVersionLine, OsReleaseAndKernel) {
    EXPECT_EQ(LinuxVersionLine("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
                               "(bookworm)\"\nID=debian\n",
                               "6.1.0-18-amd64"),
              "Linux : Debian GNU/Linux 12 (bookworm) 6.1.0-18-amd64");
    EXPECT_EQ(LinuxVersionLine("PRETTY_NAME='Single quoted'\n", "5.10"),
              "Linux : Single quoted 5.10");
    EXPECT_EQ(LinuxVersionLine("PRETTY_NAME=Bare\r\n", "5.10"), "Linux : Bare 5.10");
    EXPECT_EQ(LinuxVersionLine("PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME\"\n", "1"),
              "Linux : Say \"hi\" $HOME 1");
    EXPECT_EQ(LinuxVersionLine("# PRETTY_NAME=\"Commented\"\nID=x\n", "5.10"),
              "Linux : Linux 5.10");
    EXPECT_EQ(LinuxVersionLine("", ""), "Linux : Linux");

    // The real one names the running kernel as uname reports it.
    const testmedia::RunResult uname = testmedia::Run("uname -r");
    ASSERT_EQ(uname.exitCode, 0);
    std::string release = uname.out;
    while (!release.empty() && (release.back() == '\n' || release.back() == '\r'))
        release.pop_back();
    const std::string line = LinuxVersionLine();
    EXPECT_EQ(line.rfind("Linux : ", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - release.size()), release) << line;
    if (fs::exists("/etc/os-release")) {
        const testmedia::RunResult pretty =
            testmedia::Run(". /etc/os-release && printf %s \"$PRETTY_NAME\"");
        if (pretty.exitCode == 0 && !pretty.out.empty()) {
            EXPECT_EQ(line, "Linux : " + pretty.out + " " + release);
        }
    }
}

TEST(UserDataFolder, MakesTheMakerFoldersAndFallsBack) {
    DataHome home("userdata");
    const std::string exe = home.Root() + "/bin/clipvane";
    EXPECT_EQ(AppDataFolder(), home.Data());
    EXPECT_EQ(UserDataFolder(exe, "Clipvane"), home.Data() + "Quorlen/Clipvane/");
    EXPECT_TRUE(fs::is_directory(home.Data() + "Quorlen/Clipvane"));
    // An existing folder is no error.
    EXPECT_EQ(UserDataFolder(exe, "Clipvane"), home.Data() + "Quorlen/Clipvane/");

    // A missing data folder is made first, private to the user.
    ::setenv("XDG_DATA_HOME", (home.Root() + "/fresh").c_str(), 1);
    EXPECT_EQ(UserDataFolder(exe, "Clipvane"), home.Root() + "/fresh/Quorlen/Clipvane/");
    EXPECT_EQ(fs::status(home.Root() + "/fresh").permissions() & fs::perms::all,
              fs::perms::owner_all);

    // A folder that cannot be made: the executable's folder.
    Touch(home.Root() + "/blocked");
    ::setenv("XDG_DATA_HOME", (home.Root() + "/blocked").c_str(), 1);
    EXPECT_EQ(UserDataFolder(exe, "Clipvane"), home.Root() + "/bin/");
    EXPECT_EQ(UserDataFolder("clipvane", "Clipvane"), "");

    // A relative XDG_DATA_HOME does not count; HOME gives the default.
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    ::setenv("HOME", home.Root().c_str(), 1);
    EXPECT_EQ(AppDataFolder(), home.Root() + "/.local/share/");
    // A fresh account has no ~/.local yet: both levels are made, private to the user.
    EXPECT_EQ(UserDataFolder(exe, "Clipvane"), home.Root() + "/.local/share/Quorlen/Clipvane/");
    for (const char* made : {"/.local", "/.local/share"})
        EXPECT_EQ(fs::status(home.Root() + made).permissions() & fs::perms::all,
                  fs::perms::owner_all)
            << made;
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
    EXPECT_EQ(AppDataFolder(), "");
    EXPECT_EQ(UserDataFolder(exe, "Clipvane"), home.Root() + "/bin/");
}

TEST(RemoveEmptyMakerFolder, OnlyWhenNoSubfolderIsLeft) {
    DataHome home("makerfolder");
    const std::string maker = home.Data() + "Quorlen";
    fs::create_directories(maker + "/Clipvane");
    RemoveEmptyMakerFolder();
    EXPECT_TRUE(fs::is_directory(maker + "/Clipvane"));

    fs::remove(maker + "/Clipvane");
    Touch(maker + "/left-over.txt");
    RemoveEmptyMakerFolder(); // no subfolder, but a file: the removal fails quietly
    EXPECT_TRUE(fs::exists(maker + "/left-over.txt"));

    fs::remove(maker + "/left-over.txt");
    RemoveEmptyMakerFolder();
    EXPECT_FALSE(fs::exists(maker));
    RemoveEmptyMakerFolder(); // nothing there any more
}

TEST(DeleteFilesByExt, MatchesLikeTheWildcardAndRemovesTheFolder) {
    const std::string dir = testmedia::TempDir() + "/byext/";
    fs::remove_all(dir);
    fs::create_directories(dir + "nested.spk/inner.SPK");
    fs::create_directories(dir + "keep.dir");
    Touch(dir + "a.SPK");
    Touch(dir + "b.spk");
    Touch(dir + ".hidden.Spk");
    Touch(dir + "readonly.SPK");
    ::chmod((dir + "readonly.SPK").c_str(), 0444);
    Touch(dir + "c.SPK.bak");
    Touch(dir + "SPK");
    Touch(dir + "keep.dir/d.SPK"); // inside a folder whose name does not match
    Touch(dir + "nested.spk/e.SPK");
    Touch(dir + "nested.spk/f.txt");
    Touch(dir + "nested.spk/inner.SPK/g.SPK");
    fs::create_symlink(dir + "keep.dir", dir + "link.SPK");

    EXPECT_TRUE(DeleteFilesByExt(dir, "SPK"));
    EXPECT_FALSE(fs::exists(dir + "a.SPK"));
    EXPECT_FALSE(fs::exists(dir + "b.spk"));
    EXPECT_FALSE(fs::exists(dir + ".hidden.Spk"));
    EXPECT_FALSE(fs::exists(dir + "readonly.SPK"));
    EXPECT_TRUE(fs::exists(dir + "c.SPK.bak"));
    EXPECT_TRUE(fs::exists(dir + "SPK"));
    // The link went, not what it points to.
    EXPECT_FALSE(fs::is_symlink(dir + "link.SPK"));
    EXPECT_TRUE(fs::exists(dir + "keep.dir/d.SPK"));
    // Emptied folders go, others stay with what did not match.
    EXPECT_FALSE(fs::exists(dir + "nested.spk/inner.SPK"));
    EXPECT_FALSE(fs::exists(dir + "nested.spk/e.SPK"));
    EXPECT_TRUE(fs::exists(dir + "nested.spk/f.txt"));
    EXPECT_TRUE(fs::exists(dir));

    const std::string only = testmedia::TempDir() + "/byext-only";
    fs::create_directories(only);
    Touch(only + "/x.spk");
    EXPECT_TRUE(DeleteFilesByExt(only, "SPK")); // without the trailing "/"
    EXPECT_FALSE(fs::exists(only));
    EXPECT_TRUE(DeleteFilesByExt(only, "SPK")); // missing folder: nothing to do, still true
}

TEST(ListSubfolders, FullPathsOfFoldersOnly) {
    const std::string dir = testmedia::TempDir() + "/subfolders";
    fs::remove_all(dir);
    fs::create_directories(dir + "/b");
    fs::create_directories(dir + "/a");
    fs::create_directories(dir + "/.c");
    Touch(dir + "/file");
    fs::create_directory_symlink(dir + "/a", dir + "/link");
    std::vector<std::string> list = {"kept"};
    ListSubfolders(dir, list);
    EXPECT_EQ(list, (std::vector<std::string>{"kept", dir + "/.c", dir + "/a", dir + "/b",
                                              dir + "/link"}));
    std::vector<std::string> none;
    ListSubfolders(dir + "/missing", none);
    EXPECT_TRUE(none.empty());
}

TEST(CleanVirtualStore, FindsNothingUnlessTheCopyExists) {
    DataHome home("virtualstore");
    EXPECT_EQ(CleanVirtualStore("/opt/clipvane/"), "");
    EXPECT_EQ(CleanVirtualStore("C:\\Program Files\\Clipvane\\"), "");

    // Should some tool have made the copy, its language files go.
    const std::string copy = home.Data() + "VirtualStore/opt/clipvane/";
    fs::create_directories(copy);
    Touch(copy + "AVI_0000040C.SPK");
    Touch(copy + "settings.ini");
    EXPECT_EQ(CleanVirtualStore("/opt/clipvane/"), copy);
    EXPECT_FALSE(fs::exists(copy + "AVI_0000040C.SPK"));
    EXPECT_TRUE(fs::exists(copy + "settings.ini"));
}
