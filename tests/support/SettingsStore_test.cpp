// Tests of the hive-file settings store: real hive files in temporary folders, two processes
// writing at once, a crash before the rename, broken files set aside, the folders it uses.
#include "support/settings/SettingsStore.h"

#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace reg;

namespace {

std::string FreshDir(const std::string& name) {
    static int counter = 0;
    const std::string dir =
        testmedia::TempDir() + "/store-" + name + "-" + std::to_string(++counter);
    fs::create_directories(dir);
    return dir;
}

HiveFiles FilesIn(const std::string& dir) {
    return HiveFiles{dir + "/user.reg", dir + "/machine.reg", {}};
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::vector<std::string> FilesStartingWith(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0)
            found.push_back(entry.path().string());
    }
    return found;
}

// Runs body in a child process and returns its exit code; the child never returns to the test.
int InChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct LogCapture {
    std::vector<std::string> lines;
    LogCapture() {
        SetSettingsLogHook([this](const std::string& m, int) { lines.push_back(m); });
    }
    ~LogCapture() { SetSettingsLogHook({}); }
};

} // namespace

TEST(SettingsStore, KeysAndValuesPersistAndFollowTheHandleRules) {
    const std::string dir = FreshDir("basic");
    std::shared_ptr<SettingsStore> store = CreateHiveFileStore(FilesIn(dir));

    RegKey key(RegRoot::CurrentUser, store);
    EXPECT_EQ(key.Open("Software\\Quorlen\\Clipvane", access::kRead, false), RegStatus::NotFound);
    ASSERT_EQ(
        key.Open("Software\\Quorlen\\Clipvane", access::kAllAccess | access::kWow64_64Key, true),
        RegStatus::Success);
    ASSERT_EQ(key.WriteString("AutoUpdate", "0"), RegStatus::Success);
    ASSERT_EQ(key.WriteDword("Langue", 0x040C), RegStatus::Success);
    ASSERT_EQ(key.Write("Blob", RegValue::Raw(kRegBinary, {1, 2, 3})), RegStatus::Success);

    // Another store on the same files - another running copy - sees it all.
    auto other = CreateHiveFileStore(FilesIn(dir));
    RegKey again(RegRoot::CurrentUser, std::move(other));
    ASSERT_EQ(again.Open("SOFTWARE\\QUORLEN\\CLIPVANE", access::kRead, false), RegStatus::Success);
    std::string text;
    uint32_t number = 0;
    EXPECT_EQ(again.ReadString("autoupdate", text), RegStatus::Success);
    EXPECT_EQ(text, "0");
    EXPECT_EQ(again.ReadDword("LANGUE", number), RegStatus::Success);
    EXPECT_EQ(number, 0x040Cu);
    EXPECT_EQ(again.ReadString("Langue", text), RegStatus::UnsupportedType);
    EXPECT_EQ(again.ReadString("Missing", text), RegStatus::NotFound);
    std::vector<std::string> names;
    EXPECT_EQ(again.ValueNames(names), RegStatus::Success);
    EXPECT_EQ(names, (std::vector<std::string>{"AutoUpdate", "Langue", "Blob"}));
    // Read access cannot write.
    EXPECT_EQ(again.WriteString("AutoUpdate", "1"), RegStatus::AccessDenied);
    EXPECT_EQ(again.DeleteValue("AutoUpdate"), RegStatus::AccessDenied);

    // Opening an existing key for writing leaves the file alone.
    struct stat before {};
    struct stat after {};
    ASSERT_EQ(stat((dir + "/user.reg").c_str(), &before), 0);
    RegKey reopen(RegRoot::CurrentUser, store);
    ASSERT_EQ(reopen.Open("software\\quorlen\\clipvane", access::kAllAccess, true),
              RegStatus::Success);
    ASSERT_EQ(stat((dir + "/user.reg").c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mode & 0777, 0600u);

    // A key deleted behind an open handle takes no more writes.
    ASSERT_EQ(store->DeleteKey(RegRoot::CurrentUser, "Software\\Quorlen", DeleteMode::Tree),
              RegStatus::Success);
    EXPECT_EQ(key.WriteString("AutoUpdate", "1"), RegStatus::KeyDeleted);
    EXPECT_EQ(key.ReadString("AutoUpdate", text), RegStatus::NotFound);

    // The machine hive is a file of its own.
    RegKey machine(RegRoot::LocalMachine, store);
    ASSERT_EQ(
        machine.Open("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", access::kAllAccess, true),
        RegStatus::Success);
    ASSERT_EQ(machine.WriteString("CurrentBuildNumber", "19045"), RegStatus::Success);
    EXPECT_NE(ReadText(dir + "/machine.reg").find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft"),
              std::string::npos);
    EXPECT_EQ(ReadText(dir + "/user.reg").find("CurrentBuildNumber"), std::string::npos);
}

TEST(SettingsStore, TwoProcessesWritingAtOnceLoseNothing) {
    // The race is about the lock, not the disk: on a memory file system the 2000 syncs cost
    // nothing (on a disk they take minutes).
    std::string shm = "/dev/shm/clipvane-race-XXXXXX";
    const bool inMemory = ::access("/dev/shm", W_OK) == 0 && mkdtemp(shm.data()) != nullptr;
    const std::string dir = inMemory ? shm : FreshDir("race");
    struct Cleanup {
        std::string dir;
        ~Cleanup() {
            std::error_code ec;
            if (!dir.empty())
                fs::remove_all(dir, ec);
        }
    } cleanup{inMemory ? dir : std::string()};
    ASSERT_EQ(setenv("CLIPVANE_REGISTRY_DIR", dir.c_str(), 1), 0);
    constexpr int kWrites = 1000;
    auto writer = [](const char* prefix) {
        return [prefix] {
            // Each process makes its store from the environment, as the program does.
            RegKey key(RegRoot::CurrentUser, CreateSettingsStore());
            if (key.Open("Software\\Quorlen\\Race", access::kAllAccess, true) != RegStatus::Success)
                return 10;
            int failed = 0;
            for (int i = 0; i < kWrites; ++i) {
                if (key.WriteDword(prefix + std::to_string(i), static_cast<uint32_t>(i)) !=
                    RegStatus::Success)
                    ++failed;
            }
            return failed == 0 ? 0 : 11;
        };
    };
    const pid_t a = fork();
    if (a == 0)
        _exit(writer("A")());
    const pid_t b = fork();
    if (b == 0)
        _exit(writer("B")());
    int statusA = 0;
    int statusB = 0;
    waitpid(a, &statusA, 0);
    waitpid(b, &statusB, 0);
    unsetenv("CLIPVANE_REGISTRY_DIR");
    ASSERT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0) << statusA;
    ASSERT_TRUE(WIFEXITED(statusB) && WEXITSTATUS(statusB) == 0) << statusB;

    RegKey key(RegRoot::CurrentUser, CreateHiveFileStore(FilesIn(dir)));
    ASSERT_EQ(key.Open("Software\\Quorlen\\Race", access::kRead, false), RegStatus::Success);
    std::vector<RegNamedValue> values;
    ASSERT_EQ(key.Values(values), RegStatus::Success);
    EXPECT_EQ(values.size(), 2u * kWrites);
    std::map<std::string, uint32_t> found;
    for (const auto& [name, value] : values)
        found[name] = value.number;
    for (int i = 0; i < kWrites; ++i) {
        EXPECT_EQ(found["A" + std::to_string(i)], static_cast<uint32_t>(i)) << i;
        EXPECT_EQ(found["B" + std::to_string(i)], static_cast<uint32_t>(i)) << i;
    }
    EXPECT_TRUE(FilesStartingWith(dir, "user.reg.tmp").empty());
    EXPECT_TRUE(FilesStartingWith(dir, "user.reg.broken").empty());
}

TEST(SettingsStore, ACrashBeforeTheRenameLeavesThePreviousFileWhole) {
    const std::string dir = FreshDir("crash");
    {
        RegKey key(RegRoot::CurrentUser, CreateHiveFileStore(FilesIn(dir)));
        ASSERT_EQ(key.Open("Software\\Quorlen", access::kAllAccess, true), RegStatus::Success);
        ASSERT_EQ(key.WriteString("Clipvane", "/opt/clipvane/clipvane"), RegStatus::Success);
    }
    const std::string before = ReadText(dir + "/user.reg");

    const int code = InChild([&] {
        HiveFiles files = FilesIn(dir);
        files.beforeRename = [] { _exit(42); }; // dies with the new file synced, not renamed
        RegKey key(RegRoot::CurrentUser, CreateHiveFileStore(files));
        if (key.Open("Software\\Quorlen", access::kAllAccess, true) != RegStatus::Success)
            return 1;
        key.WriteString("Quillet", "/opt/quillet");
        return 2;
    });
    ASSERT_EQ(code, 42);
    EXPECT_EQ(ReadText(dir + "/user.reg"), before);
    // The temporary file was complete: the crash came after the write, at the rename.
    EXPECT_NE(ReadText(dir + "/user.reg.tmp").find("Quillet"), std::string::npos);

    RegKey key(RegRoot::CurrentUser, CreateHiveFileStore(FilesIn(dir)));
    ASSERT_EQ(key.Open("Software\\Quorlen", access::kAllAccess, false), RegStatus::Success);
    EXPECT_FALSE(key.ValueExists("Quillet"));
    ASSERT_EQ(key.WriteString("Other", "x"), RegStatus::Success);
    std::vector<std::string> names;
    key.ValueNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"Clipvane", "Other"}));
    EXPECT_FALSE(fs::exists(dir + "/user.reg.tmp"));
}

TEST(SettingsStore, BrokenHivesAreSetAsideAndTheStoreStartsEmpty) {
    std::string valid;
    {
        const std::string dir = FreshDir("valid");
        RegKey key(RegRoot::CurrentUser, CreateHiveFileStore(FilesIn(dir)));
        ASSERT_EQ(key.Open("Software\\Quorlen\\Clipvane", access::kAllAccess, true),
                  RegStatus::Success);
        ASSERT_EQ(key.WriteString("Path", "C:\\some \"quoted\" path with more words"),
                  RegStatus::Success);
        ASSERT_EQ(key.Write("Blob", RegValue::Raw(kRegBinary, std::vector<uint8_t>(200, 0xAB))),
                  RegStatus::Success);
        valid = ReadText(dir + "/user.reg");
    }
    std::string garbage(5000, '\0');
    uint32_t seed = 12345;
    for (char& c : garbage) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    const size_t inQuote = valid.find("more words");
    const size_t inHex = valid.find("ab,ab,\\\n") + 6;
    ASSERT_NE(inQuote, std::string::npos);
    std::string huge = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n";
    while (huge.size() <= limits::kMaxHiveBytes)
        huge += "\"" + std::to_string(huge.size()) + "\"=dword:00000001\n";
    const std::vector<std::pair<const char*, std::string>> broken = {
        {"garbage", garbage},
        {"cut in a quoted text", valid.substr(0, inQuote)},
        {"cut in a hex list", valid.substr(0, inHex)},
        {"over the size limit", huge},
        {"not a hive", "[Settings]\nAutoUpdate=0\n"},
    };
    for (const auto& [what, content] : broken) {
        SCOPED_TRACE(what);
        const std::string dir = FreshDir("broken");
        WriteText(dir + "/user.reg", content);
        LogCapture log;
        std::shared_ptr<SettingsStore> store = CreateHiveFileStore(FilesIn(dir));
        RegKey key(RegRoot::CurrentUser, store);
        EXPECT_EQ(key.Open("Software\\Quorlen\\Clipvane", access::kRead, false),
                  RegStatus::NotFound);
        ASSERT_EQ(key.Open("Software\\Quorlen\\Clipvane", access::kAllAccess, true),
                  RegStatus::Success);
        ASSERT_EQ(key.WriteString("AutoUpdate", "0"), RegStatus::Success);

        const auto aside = FilesStartingWith(dir, "user.reg.broken-");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(ReadText(aside[0]), content);
        ASSERT_EQ(log.lines.size(), 1u);
        EXPECT_NE(log.lines[0].find(aside[0]), std::string::npos) << log.lines[0];
        std::vector<std::string> names;
        key.ValueNames(names);
        EXPECT_EQ(names, std::vector<std::string>{"AutoUpdate"});

        // A second broken file in the same second does not replace the first one set aside.
        WriteText(dir + "/user.reg", "garbage again");
        ASSERT_EQ(key.Open("Software", access::kAllAccess, true), RegStatus::Success);
        const auto both = FilesStartingWith(dir, "user.reg.broken-");
        ASSERT_EQ(both.size(), 2u);
        EXPECT_EQ(ReadText(aside[0]), content);
    }
}

TEST(SettingsStore, AnUnwritableHiveFailsWithoutHarm) {
    const std::string dir = FreshDir("unwritable");
    WriteText(dir + "/plainfile", "not a folder");
    HiveFiles files = FilesIn(dir);
    files.localMachine = dir + "/plainfile/registry/machine.reg";
    std::shared_ptr<SettingsStore> store = CreateHiveFileStore(files);
    RegKey key(RegRoot::LocalMachine, store);
    EXPECT_NE(key.Open("SOFTWARE\\Quorlen", access::kAllAccess, true), RegStatus::Success);
    EXPECT_EQ(key.Open("SOFTWARE\\Quorlen", access::kRead, false), RegStatus::NotFound);
    EXPECT_NE(store->SetValue(RegRoot::LocalMachine, "", "x", RegValue::Dword(1)),
              RegStatus::Success);
    EXPECT_EQ(ReadText(dir + "/plainfile"), "not a folder");
}

TEST(SettingsStore, HivesLiveInTheConfigurationFolders) {
    const std::string dir = FreshDir("xdg");
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    unsetenv("CLIPVANE_REGISTRY_DIR");
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    const HiveFiles files = DefaultHiveFiles();
    {
        RegKey key(RegRoot::CurrentUser, CreateSettingsStore());
        ASSERT_EQ(key.Open("Software\\Quorlen", access::kAllAccess, true), RegStatus::Success);
        ASSERT_EQ(key.WriteString("Clipvane", "here"), RegStatus::Success);
    }
    setenv("CLIPVANE_REGISTRY_DIR", (dir + "/tests").c_str(), 1);
    const HiveFiles testFiles = DefaultHiveFiles();
    unsetenv("CLIPVANE_REGISTRY_DIR");
    if (oldXdg)
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");

    EXPECT_EQ(files.currentUser, dir + "/Quorlen/registry/user.reg");
    EXPECT_EQ(files.localMachine, "/etc/xdg/Quorlen/registry/machine.reg");
    EXPECT_NE(ReadText(dir + "/Quorlen/registry/user.reg").find("\"Clipvane\"=\"here\""),
              std::string::npos);
    struct stat st {};
    ASSERT_EQ(stat((dir + "/Quorlen/registry").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(testFiles.currentUser, dir + "/tests/user.reg");
    EXPECT_EQ(testFiles.localMachine, dir + "/tests/machine.reg");
}
