// InstallEntry_test: clipvane-cli install-entry and remove-entry run on real hive files, read back
// through the settings store and the program's own installed-or-portable test.
#include "support/settings/SettingsStore.h"
#include "support/settings/U_TobrelSettings.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using testmedia::Quote;
using testmedia::RunResult;

namespace {

namespace fs = std::filesystem;
using reg::RegRoot;
using reg::RegStatus;

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kEntry = kUninstall + "\\Clipvane";

// A folder holding both hives, as CLIPVANE_REGISTRY_DIR makes the tool use them.
struct THives {
    std::string dir;
    std::shared_ptr<reg::SettingsStore> store;

    explicit THives(const std::string& name) : dir(testmedia::TempDir() + "/" + name) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        store = reg::CreateHiveFileStore({dir + "/user.reg", dir + "/machine.reg", {}});
    }

    RunResult Cli(const std::string& args) const {
        return testmedia::Run("CLIPVANE_REGISTRY_DIR=" + Quote(dir) + " " + Quote(CLIPVANE_CLI) +
                              " " + args);
    }

    bool KeyExists(RegRoot root, const std::string& path) const {
        return store->OpenKey(root, path, false) == RegStatus::Success;
    }

    std::string String(RegRoot root, const std::string& name) const {
        reg::RegValue v;
        if (store->QueryValue(root, kEntry, name, v) != RegStatus::Success)
            return "<missing>";
        return v.type == reg::kRegString ? v.text : "<not a string>";
    }

    // The program's own question, asked of these hives.
    bool Installed() const {
        reg::SetDefaultSettingsStore(store);
        const bool installed = IsInstalled(kInstalledPrefix);
        reg::SetDefaultSettingsStore(nullptr);
        return installed;
    }
};

std::string ToolVersion() {
    const RunResult r = testmedia::Run(Quote(CLIPVANE_CLI) + " --version");
    const size_t blank = r.out.find(' ');
    std::string v = blank == std::string::npos ? "" : r.out.substr(blank + 1);
    v.erase(std::remove(v.begin(), v.end(), '\n'), v.end());
    return v;
}

TEST(CliInstallEntry, WritesTheEntryThatMakesTheProgramCountAsInstalled) {
    THives h("write");
    EXPECT_FALSE(h.Installed());

    const std::string prefix = h.dir + "/prefix";
    RunResult r = h.Cli("install-entry --user --uninstall-command 'apt-get remove clipvane' " +
                        Quote(prefix + "/sub/../"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(h.KeyExists(RegRoot::CurrentUser, kEntry));
    EXPECT_FALSE(h.KeyExists(RegRoot::LocalMachine, kEntry));
    EXPECT_EQ(h.String(RegRoot::CurrentUser, "DisplayName"), "Quorlen Clipvane");
    EXPECT_EQ(h.String(RegRoot::CurrentUser, "InstallLocation"), prefix);
    EXPECT_EQ(h.String(RegRoot::CurrentUser, "DisplayIcon"), prefix + "/bin/clipvane");
    EXPECT_EQ(h.String(RegRoot::CurrentUser, "DisplayVersion"), ToolVersion());
    EXPECT_EQ(h.String(RegRoot::CurrentUser, "UninstallString"), "apt-get remove clipvane");
    EXPECT_EQ(h.String(RegRoot::CurrentUser, "Publisher"), "Quorlen");
    EXPECT_TRUE(h.Installed());
    const std::vector<std::string> programs = [&] {
        reg::SetDefaultSettingsStore(h.store);
        std::vector<std::string> names = ListInstalledPrograms();
        reg::SetDefaultSettingsStore(nullptr);
        return names;
    }();
    EXPECT_EQ(std::count(programs.begin(), programs.end(), "Quorlen Clipvane"), 1);

    // The machine hive, and a prefix given relative to the working folder.
    THives m("machine");
    r = testmedia::Run("cd " + Quote(m.dir) + " && CLIPVANE_REGISTRY_DIR=" + Quote(m.dir) + " " +
                       Quote(CLIPVANE_CLI) + " install-entry --machine usr");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(m.KeyExists(RegRoot::CurrentUser, kEntry));
    EXPECT_EQ(m.String(RegRoot::LocalMachine, "InstallLocation"), m.dir + "/usr");
    EXPECT_EQ(m.String(RegRoot::LocalMachine, "UninstallString"), "<missing>");
    EXPECT_TRUE(m.Installed());
}

TEST(CliInstallEntry, ReplacesAnOlderEntryAndLeavesOtherPrograms) {
    THives h("replace");
    const RegRoot root = RegRoot::LocalMachine;
    ASSERT_EQ(h.store->OpenKey(root, kEntry, true), RegStatus::Success);
    ASSERT_EQ(h.store->SetValue(root, kEntry, "InstallLocation", reg::RegValue::String("/opt/old")),
              RegStatus::Success);
    ASSERT_EQ(h.store->SetValue(root, kEntry, "Leftover", reg::RegValue::Dword(7)),
              RegStatus::Success);
    ASSERT_EQ(h.store->OpenKey(root, kEntry + "\\Sub", true), RegStatus::Success);
    const std::string other = kUninstall + "\\Other";
    ASSERT_EQ(h.store->OpenKey(root, other, true), RegStatus::Success);
    ASSERT_EQ(h.store->SetValue(root, other, "DisplayName", reg::RegValue::String("Other Tool")),
              RegStatus::Success);

    const RunResult r = h.Cli("install-entry --machine /usr/local");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(h.String(root, "InstallLocation"), "/usr/local");
    EXPECT_EQ(h.String(root, "DisplayName"), "Quorlen Clipvane");
    EXPECT_EQ(h.String(root, "Leftover"), "<missing>");
    EXPECT_FALSE(h.KeyExists(root, kEntry + "\\Sub"));
    reg::RegValue v;
    EXPECT_EQ(h.store->QueryValue(root, other, "DisplayName", v), RegStatus::Success);
    EXPECT_EQ(v.text, "Other Tool");
}

TEST(CliInstallEntry, RemovesOnlyTheEntryOfItsOwnPrefix) {
    THives h("remove");
    const RegRoot root = RegRoot::CurrentUser;
    ASSERT_EQ(h.Cli("install-entry --user /home/u/.local").exitCode, 0);

    // Another installation's removal leaves the entry, and says so.
    RunResult r = h.Cli("remove-entry --user /usr/local");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("/home/u/.local"), std::string::npos) << r.err;
    EXPECT_TRUE(h.Installed());
    // So does a removal from the other hive.
    r = h.Cli("remove-entry --machine /home/u/.local");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(h.Installed());

    r = h.Cli("remove-entry --user /home/u/.local/");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(h.Installed());
    EXPECT_FALSE(h.KeyExists(root, kEntry));
    // Nothing else lived under SOFTWARE, so the keys above are gone as well.
    EXPECT_FALSE(h.KeyExists(root, "SOFTWARE"));

    // Gone already: still success, as a package removal may run twice.
    r = h.Cli("remove-entry --user /home/u/.local");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("no uninstall entry"), std::string::npos) << r.err;

    // Keys still in use stay.
    ASSERT_EQ(h.store->OpenKey(root, kUninstall + "\\Other", true), RegStatus::Success);
    ASSERT_EQ(h.store->OpenKey(root, "SOFTWARE\\Quorlen", true), RegStatus::Success);
    ASSERT_EQ(h.store->SetValue(root, "SOFTWARE\\Quorlen", "Clipvane",
                                reg::RegValue::String("/usr/bin/clipvane")),
              RegStatus::Success);
    ASSERT_EQ(h.Cli("install-entry --user /opt/cv").exitCode, 0);
    ASSERT_EQ(h.Cli("remove-entry --user /opt/cv").exitCode, 0);
    EXPECT_FALSE(h.KeyExists(root, kEntry));
    EXPECT_TRUE(h.KeyExists(root, kUninstall + "\\Other"));
    EXPECT_TRUE(h.KeyExists(root, "SOFTWARE\\Quorlen"));
}

TEST(CliInstallEntry, RefusesBadUsageAndReportsAHiveItCannotWrite) {
    THives h("usage");
    for (const char* args :
         {"install-entry /usr", "install-entry --machine --user /usr", "install-entry --user",
          "install-entry --user /a /b", "install-entry --user --bogus /usr",
          "install-entry --user /usr --uninstall-command", "remove-entry --user",
          "remove-entry --user --uninstall-command x /usr"}) {
        const RunResult r = h.Cli(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find("--help"), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(h.dir + "/user.reg"));
    EXPECT_FALSE(fs::exists(h.dir + "/machine.reg"));

    for (const char* command : {"install-entry", "remove-entry"}) {
        const RunResult r = h.Cli(std::string(command) + " --help");
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind(std::string("Usage: clipvane-cli ") + command, 0), 0u) << r.out;
    }
    // Commands for installers, not for the tool's users.
    const RunResult help = h.Cli("--help");
    EXPECT_EQ(help.out.find("entry"), std::string::npos) << help.out;

    // A hive whose folder cannot exist: a regular file stands where it should be.
    const std::string blocker = h.dir + "/not-a-folder";
    testmedia::WriteAll(blocker, {'x'});
    const RunResult r = testmedia::Run("CLIPVANE_REGISTRY_DIR=" + Quote(blocker) + " " +
                                       Quote(CLIPVANE_CLI) + " install-entry --machine /usr");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("machine hive " + blocker + "/machine.reg"), std::string::npos) << r.err;
}

} // namespace
