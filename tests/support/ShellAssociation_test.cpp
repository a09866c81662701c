// The "Open with Clipvane" desktop entry: written, read back, refused, and used by desktop tools.
#include "support/platform/ShellAssociation.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kCaption = "Open with Clipvane";

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = testmedia::ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
    testmedia::WriteAll(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// An environment variable set for one test and put back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Runs Check as a user without special rights and returns its result: directly when we are one,
// otherwise in a child process that has given root up (permission bits do not stop root).
int AsPlainUser(const std::function<int()>& Check) {
    if (geteuid() != 0)
        return Check();
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(100);
        _exit(Check());
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

class ShellAssociation : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        dataHome = testmedia::TempDir() + "/assoc" + std::to_string(++counter);
        fs::create_directories(dataHome);
        xdg.emplace("XDG_DATA_HOME", dataHome.c_str());
        folder = dataHome + "/applications";
        entry = folder + "/clipvane-open.desktop";
    }
    void TearDown() override { xdg.reset(); }

    std::string dataHome;
    std::string folder;
    std::string entry;
    std::optional<ScopedEnv> xdg;
};

TEST_F(ShellAssociation, AssociateWritesTheEntryThatDissociateRemoves) {
    ASSERT_EQ(AssociationEntryPath(), entry);
    EXPECT_FALSE(IsAssociated());
    EXPECT_FALSE(AssociationOutdated(kCaption));

    // The folder does not exist yet: it is made.
    EXPECT_EQ(Associate(kCaption, "/opt/clipvane/clipvane"), "");
    EXPECT_TRUE(IsAssociated());
    EXPECT_EQ(ReadText(entry), "[Desktop Entry]\n"
                               "Type=Application\n"
                               "Name=Open with Clipvane\n"
                               "TryExec=/opt/clipvane/clipvane\n"
                               "Exec=\"/opt/clipvane/clipvane\" %f\n"
                               "MimeType=video/x-msvideo;video/avi;video/msvideo;\n"
                               "NoDisplay=true\n"
                               "Terminal=false\n");
    EXPECT_EQ(fs::status(entry).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    // No temporary file is left beside it.
    int files = 0;
    for (const auto& item : fs::directory_iterator(folder))
        files += item.path().filename().string().find(".tmp") == std::string::npos ? 0 : 1;
    EXPECT_EQ(files, 0);

    EXPECT_FALSE(AssociationOutdated(kCaption));
    // Captions compare with their letter case.
    EXPECT_TRUE(AssociationOutdated("Open With Clipvane"));
    EXPECT_TRUE(AssociationOutdated("Ouvrir avec Clipvane"));

    // A language switch rewrites the caption; the old one is now the outdated one.
    EXPECT_EQ(Associate("Ouvrir avec Clipvane", "/opt/clipvane/clipvane"), "");
    EXPECT_FALSE(AssociationOutdated("Ouvrir avec Clipvane"));
    EXPECT_TRUE(AssociationOutdated(kCaption));

    EXPECT_EQ(Dissociate(), "");
    EXPECT_FALSE(IsAssociated());
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(AssociationOutdated(kCaption));
    // Removing what is not there is no error.
    EXPECT_EQ(Dissociate(), "");
}

TEST_F(ShellAssociation, EntryNameIsReadBackAsDesktopsReadIt) {
    // Written by hand or by another tool: blanks around "=", a translated Name[fr] and a Name in
    // another group do not count; escapes are undone.
    fs::create_directories(folder);
    WriteText(entry, "# made by hand\n"
                     "[Desktop Action x]\n"
                     "Name=Open with Clipvane\n"
                     "[Desktop Entry]\n"
                     "Name[fr]=Ouvrir\n"
                     "Name = \\sOpen\\twith Clipvane\r\n"
                     "Exec=true\n");
    EXPECT_FALSE(AssociationOutdated(" Open\twith Clipvane"));
    EXPECT_TRUE(AssociationOutdated(kCaption));
    // An entry without a Name is stale too.
    WriteText(entry, "[Desktop Entry]\nType=Application\n");
    EXPECT_TRUE(AssociationOutdated(kCaption));
}

TEST_F(ShellAssociation, DefaultsToTheHomeDataFolder) {
    const std::string home = dataHome + "/home";
    ScopedEnv homeEnv("HOME", home.c_str());
    const std::string expected = home + "/.local/share/applications/clipvane-open.desktop";
    {
        ScopedEnv unset("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(AssociationEntryPath(), expected);
        EXPECT_EQ(Associate(kCaption, "/usr/bin/clipvane"), "");
        EXPECT_TRUE(fs::is_regular_file(expected));
    }
    {
        // A relative base folder is ignored, as the base directory rules say.
        ScopedEnv relative("XDG_DATA_HOME", "relative/share");
        EXPECT_EQ(AssociationEntryPath(), expected);
        EXPECT_TRUE(IsAssociated());
        EXPECT_EQ(Dissociate(), "");
        EXPECT_FALSE(fs::exists(expected));
    }
}

TEST_F(ShellAssociation, FailuresAreReturnedNotThrown) {
    // Only an absolute path can be started from any folder.
    EXPECT_NE(Associate(kCaption, "clipvane"), "");
    EXPECT_NE(Associate(kCaption, ""), "");
    EXPECT_NE(Associate(kCaption, "/opt/clip\x01vane"), "");
    EXPECT_FALSE(fs::exists(folder));

    // A file where the folder should be.
    WriteText(folder, "not a folder");
    const std::string err = Associate(kCaption, "/opt/clipvane/clipvane");
    EXPECT_NE(err, "");
    EXPECT_NE(err.find(folder), std::string::npos) << err;
    EXPECT_FALSE(IsAssociated());
    EXPECT_EQ(Dissociate(), ""); // nothing can be below it
    fs::remove(folder);

    // A folder where the entry should be: neither written nor removed, and not taken for one.
    fs::create_directories(entry + "/inside");
    EXPECT_NE(Associate(kCaption, "/opt/clipvane/clipvane"), "");
    EXPECT_FALSE(IsAssociated());
    EXPECT_NE(Dissociate(), "");
    EXPECT_TRUE(fs::is_directory(entry));
}

TEST_F(ShellAssociation, ReadOnlyEntryIsLeftAlone) {
    ASSERT_EQ(Associate(kCaption, "/opt/clipvane/clipvane"), "");
    const std::string before = ReadText(entry);
    fs::permissions(entry, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // Outdated only when it may be rewritten, so a language switch does not keep trying.
    EXPECT_FALSE(AssociationOutdated("Ouvrir avec Clipvane"));
    EXPECT_NE(Associate("Ouvrir avec Clipvane", "/opt/clipvane/clipvane"), "");
    EXPECT_EQ(ReadText(entry), before);
    EXPECT_TRUE(IsAssociated());
}

TEST_F(ShellAssociation, UnwritableFolderGivesAnError) {
    ASSERT_EQ(Associate(kCaption, "/opt/clipvane/clipvane"), "");
    const std::string before = ReadText(entry);
    // Readable and searchable for everyone, writable for nobody.
    for (std::string dir = folder; dir.size() > 1; dir = fs::path(dir).parent_path().string()) {
        fs::permissions(dir,
                        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
        if (dir == testmedia::TempDir())
            break;
    }
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);

    const int failures = AsPlainUser([] {
        int bad = 0;
        if (!IsAssociated())
            bad |= 1;
        if (AssociationOutdated("Ouvrir avec Clipvane"))
            bad |= 2;
        if (Associate("Ouvrir avec Clipvane", "/opt/clipvane/clipvane").empty())
            bad |= 4;
        if (Dissociate().empty())
            bad |= 8;
        return bad;
    });
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(failures, 0) << "1 not associated, 2 outdated, 4 associated, 8 dissociated";
    EXPECT_EQ(ReadText(entry), before);
}

TEST_F(ShellAssociation, DesktopToolsAcceptTheEntry) {
    REQUIRE_TOOL("desktop-file-validate", "desktop-file-utils");
    // Quotes, "$", "`", "%", a backslash and blanks in the path, blanks around the caption. A
    // path with "%" is started through env (see the launcher test).
    const std::string exe = dataHome + "/Clip \"vane\" $HOME `x` 100% a\\b/clipvane";
    ASSERT_EQ(Associate(" Open with Clipvane ", exe), "");
    EXPECT_EQ(ReadText(entry), "[Desktop Entry]\n"
                               "Type=Application\n"
                               "Name=\\sOpen with Clipvane\\s\n"
                               "TryExec=" +
                                   dataHome +
                                   "/Clip \"vane\" $HOME `x` 100% a\\\\b/clipvane\n"
                                   "Exec=env \"" +
                                   dataHome +
                                   "/Clip \\\\\"vane\\\\\" \\\\$HOME \\\\`x\\\\` 100%% "
                                   "a\\\\\\\\b/clipvane\" %f\n"
                                   "MimeType=video/x-msvideo;video/avi;video/msvideo;\n"
                                   "NoDisplay=true\n"
                                   "Terminal=false\n");
    EXPECT_FALSE(AssociationOutdated(" Open with Clipvane "));
    const testmedia::RunResult r =
        testmedia::Run("desktop-file-validate " + testmedia::Quote(entry));
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("error"), std::string::npos) << r.out;
}

TEST_F(ShellAssociation, LauncherStartsTheExecutableWithTheFile) {
    REQUIRE_TOOL("gio", "libglib2.0-bin");
    const std::string movie = dataHome + "/my movie.avi";
    WriteText(movie, "RIFF");
    // Stand-ins for the program at awkward paths, noting the arguments they were given; with
    // "%" in the path the command takes its other form.
    int run = 0;
    for (const std::string name : {"Clip \"vane\" $HOME `x` a\\b", "Clip 100% vane"}) {
        const std::string dir = dataHome + "/" + name;
        fs::create_directories(dir);
        const std::string exe = dir + "/clipvane";
        const std::string note = dataHome + "/arguments" + std::to_string(++run) + ".txt";
        WriteText(exe, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > " +
                           testmedia::Quote(note + ".part") + "\nmv " +
                           testmedia::Quote(note + ".part") + " " + testmedia::Quote(note) + "\n");
        fs::permissions(exe, fs::perms::owner_all);
        ASSERT_EQ(Associate(kCaption, exe), "");

        const testmedia::RunResult r =
            testmedia::Run("gio launch " + testmedia::Quote(entry) + " " + testmedia::Quote(movie));
        ASSERT_EQ(r.exitCode, 0) << name << "\n" << r.out << r.err << ReadText(entry);
        // The launcher does not wait for the program.
        for (int i = 0; i < 200 && !fs::exists(note); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(fs::exists(note)) << name;
        EXPECT_EQ(ReadText(note), "1\n" + movie + "\n") << name;
    }
}

TEST_F(ShellAssociation, HandlerCacheFollowsTheEntry) {
    REQUIRE_TOOL("update-desktop-database", "desktop-file-utils");
    ASSERT_EQ(Associate(kCaption, "/opt/clipvane/clipvane"), "");
    const std::string cache = folder + "/mimeinfo.cache";
    ASSERT_TRUE(fs::exists(cache));
    const std::string listed = ReadText(cache);
    for (const char* type : {"video/x-msvideo=", "video/avi=", "video/msvideo="}) {
        const size_t at = listed.find(std::string("\n") + type);
        ASSERT_NE(at, std::string::npos) << type << "\n" << listed;
        EXPECT_EQ(listed.compare(at + 1 + std::strlen(type), 22, "clipvane-open.desktop;"), 0)
            << listed;
    }
    ASSERT_EQ(Dissociate(), "");
    EXPECT_EQ(ReadText(cache).find("clipvane-open.desktop"), std::string::npos) << ReadText(cache);
}

} // namespace
