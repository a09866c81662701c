// Tests of the program's settings operations: program and maker keys, portable import and export
// of "settings.ini", installed programs - on real temporary hives and INI files.
#include "support/settings/U_TobrelSettings.h"

#include "support/settings/SettingsStore.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace reg;

namespace {

class TobrelSettings : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        dir_ = testmedia::TempDir() + "/tobrel-" + std::to_string(++counter);
        fs::create_directories(dir_ + "/program");
        store_ = CreateHiveFileStore(HiveFiles{dir_ + "/user.reg", dir_ + "/machine.reg", {}});
        SetDefaultSettingsStore(store_);
        SetSettingsLogHook([this](const std::string& m, int level) {
            log_.push_back(std::to_string(level) + " " + m);
        });
        ini_ = dir_ + "/program/settings.ini";
    }
    void TearDown() override {
        SetSettingsLogHook({});
        SetDefaultSettingsStore(nullptr);
    }

    bool KeyExists(const std::string& path, RegRoot root = RegRoot::CurrentUser) {
        return store_->OpenKey(root, path, false) == RegStatus::Success;
    }
    void Put(const std::string& path, const std::string& name, const RegValue& value,
             RegRoot root = RegRoot::CurrentUser) {
        ASSERT_EQ(store_->OpenKey(root, path, true), RegStatus::Success);
        ASSERT_EQ(store_->SetValue(root, path, name, value), RegStatus::Success);
    }
    RegValue Get(const std::string& path, const std::string& name) {
        RegValue v;
        EXPECT_EQ(store_->QueryValue(RegRoot::CurrentUser, path, name, v), RegStatus::Success)
            << name;
        return v;
    }
    std::string IniText() {
        const auto bytes = testmedia::ReadAll(ini_);
        return std::string(bytes.begin(), bytes.end());
    }
    void WriteIni(const std::string& text) {
        testmedia::WriteAll(ini_, std::vector<uint8_t>(text.begin(), text.end()));
    }
    // The close sequence of a portable run, after the folder clean-up.
    bool CloseAsPortable() {
        if (!ExportSettingsIni(kAppTitle, ini_))
            return false;
        DeleteAppKey(kAppTitle);
        DeleteMakerValue(kAppTitle);
        RemoveEmptyMakerKey();
        return true;
    }

    std::string dir_;
    std::string ini_;
    std::shared_ptr<SettingsStore> store_;
    std::vector<std::string> log_;
};

} // namespace

TEST_F(TobrelSettings, ReadAppSettingReadsStringsOnly) {
    EXPECT_EQ(ReadAppSetting("AutoUpdate"), "");
    EXPECT_TRUE(KeyExists(kAppKey)); // opened for reading, created all the same

    Put("Software\\Quorlen\\Clipvane", "AutoUpdate", RegValue::String("0"));
    EXPECT_EQ(ReadAppSetting("autoupdate"), "0");
    EXPECT_TRUE(log_.empty());

    Put(kAppKey, "AutoUpdate", RegValue::Dword(0));
    EXPECT_EQ(ReadAppSetting("AutoUpdate"), "");
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_NE(log_[0].find("AutoUpdate"), std::string::npos) << log_[0];

    WriteMakerValue("Clipvane", "/opt/clipvane/clipvane");
    EXPECT_EQ(ReadMakerValue("CLIPVANE"), "/opt/clipvane/clipvane");
    EXPECT_EQ(ReadMakerValue("Quillet"), "");
    DeleteMakerValue("Clipvane");
    EXPECT_EQ(ReadMakerValue("Clipvane"), "");
}

TEST_F(TobrelSettings, FirstPortableRunWritesTheFileAndLeavesNoTrace) {
    ImportSettingsIni(kAppTitle, ini_); // no file yet
    EXPECT_TRUE(KeyExists(kAppKey));
    EXPECT_FALSE(fs::exists(ini_));

    WriteMakerValue(kAppTitle, "/media/stick/clipvane");
    Put(kAppKey, "Langue", RegValue::Dword(0x0001040C));
    ASSERT_TRUE(CloseAsPortable());

    EXPECT_EQ(IniText(), "[Settings_DWORD]\r\nLangue=66572\r\n");
    EXPECT_FALSE(KeyExists(kAppKey));
    EXPECT_FALSE(KeyExists(kMakerKey));
    EXPECT_TRUE(KeyExists("SOFTWARE"));

    // The next run sees the language again.
    ImportSettingsIni(kAppTitle, ini_);
    EXPECT_EQ(Get(kAppKey, "Langue"), RegValue::Dword(0x0001040C));
}

TEST_F(TobrelSettings, MakerKeyStaysWhileItHoldsAnotherProgram) {
    Put(kMakerKey, "Quillet", RegValue::String("/opt/quillet/quillet"));
    WriteMakerValue(kAppTitle, "/media/stick/clipvane");
    Put(kAppKey, "AutoUpdate", RegValue::String("0"));
    Put(kAppKey, "Thumbnail", RegValue::Raw(kRegBinary, {1, 2, 3}));
    ASSERT_TRUE(CloseAsPortable());

    EXPECT_EQ(IniText(), "[Settings]\r\nAutoUpdate=0\r\n"); // the binary value is not exported
    EXPECT_FALSE(KeyExists(kAppKey));
    EXPECT_EQ(ReadMakerValue("Quillet"), "/opt/quillet/quillet");
    EXPECT_EQ(ReadMakerValue(kAppTitle), "");

    // A maker key with a subkey stays too.
    Put("SOFTWARE\\Quorlen\\Quillet", "x", RegValue::Dword(1));
    DeleteMakerValue("Quillet");
    RemoveEmptyMakerKey();
    EXPECT_TRUE(KeyExists(kMakerKey));
    DeleteAppKey("");
    EXPECT_TRUE(KeyExists("SOFTWARE\\Quorlen\\Quillet"));
}

TEST_F(TobrelSettings, AFileFromTheOtherPlatformImportsAndExportsBack) {
    const std::string windowsFile = "; written by Clipvane on Windows\r\n"
                                    "[settings]\r\n"
                                    "  AutoUpdate = 0  \r\n"
                                    "Folder='C:\\Videos\\My clips'\r\n"
                                    "=no name\r\n"
                                    "\r\n"
                                    "[Other]\r\n"
                                    "Keep=this\r\n"
                                    "\r\n"
                                    "[SETTINGS_DWORD]\r\n"
                                    "Langue=1036\r\n"
                                    "Negative=-1\r\n"
                                    "Hex=0x10\r\n"
                                    "Trailing=12abc\r\n"
                                    "Word=abc\r\n"
                                    "Empty=\r\n";
    WriteIni(windowsFile);
    Put(kAppKey, "Untouched", RegValue::String("stays"));
    ImportSettingsIni(kAppTitle, ini_);

    std::vector<RegNamedValue> values;
    ASSERT_EQ(store_->EnumValues(RegRoot::CurrentUser, kAppKey, values), RegStatus::Success);
    const std::vector<RegNamedValue> expected = {
        {"Untouched", RegValue::String("stays")},
        {"AutoUpdate", RegValue::String("0")},
        {"Folder", RegValue::String("C:\\Videos\\My clips")},
        {"Langue", RegValue::Dword(1036)},
        {"Negative", RegValue::Dword(0xFFFFFFFFu)},
        {"Hex", RegValue::Dword(16)},
        {"Trailing", RegValue::Dword(12)},
        {"Word", RegValue::Dword(0)},
        {"Empty", RegValue::Dword(0)},
    };
    EXPECT_EQ(values, expected);

    Put(kAppKey, "Langue", RegValue::Dword(0x0407));
    ASSERT_TRUE(ExportSettingsIni(kAppTitle, ini_));
    const std::string text = IniText();
    // Changed lines are replaced where they stand; everything else is left as it was.
    EXPECT_NE(text.find("[SETTINGS_DWORD]\r\nLangue=1031\r\nNegative=-1\r\nHex=16\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("; written by Clipvane on Windows\r\n[settings]\r\n  AutoUpdate = 0  \r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[Other]\r\nKeep=this\r\n"), std::string::npos);
    EXPECT_NE(text.find("Untouched=stays\r\n"), std::string::npos);

    // A fresh registry reads back exactly what was exported.
    ASSERT_EQ(store_->DeleteKey(RegRoot::CurrentUser, kMakerKey, DeleteMode::Tree),
              RegStatus::Success);
    ImportSettingsIni(kAppTitle, ini_);
    std::vector<RegNamedValue> back;
    ASSERT_EQ(store_->EnumValues(RegRoot::CurrentUser, kAppKey, back), RegStatus::Success);
    for (const auto& [name, value] : values) {
        if (name == "Langue")
            continue;
        EXPECT_EQ(Get(kAppKey, name), value) << name;
    }
    EXPECT_EQ(Get(kAppKey, "Langue"), RegValue::Dword(0x0407));
    EXPECT_EQ(back.size(), values.size());
}

TEST_F(TobrelSettings, AFailedExportKeepsTheRegistry) {
    Put(kAppKey, "Langue", RegValue::Dword(7));
    WriteMakerValue(kAppTitle, "/media/stick/clipvane");

    EXPECT_FALSE(ExportSettingsIni(kAppTitle, dir_ + "/no such folder/settings.ini"));

    // A file marked read-only is not written, even by an administrator.
    WriteIni("[Settings_DWORD]\r\nLangue=1\r\n");
    fs::permissions(ini_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(CloseAsPortable());
    EXPECT_EQ(IniText(), "[Settings_DWORD]\r\nLangue=1\r\n");
    EXPECT_EQ(Get(kAppKey, "Langue"), RegValue::Dword(7));
    EXPECT_EQ(ReadMakerValue(kAppTitle), "/media/stick/clipvane");
}

TEST_F(TobrelSettings, InstalledProgramsComeFromTheUninstallEntries) {
    const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    const std::string wow =
        "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    EXPECT_TRUE(ListInstalledPrograms().empty());
    EXPECT_FALSE(IsInstalled(kInstalledPrefix));
    EXPECT_FALSE(KeyExists("SOFTWARE\\Microsoft")); // looking creates nothing

    Put(uninstall + "{1234}", "DisplayName", RegValue::String("Other Tool 2.0"));
    Put(uninstall + "Broken", "DisplayName", RegValue::Dword(3), RegRoot::LocalMachine);
    Put(wow + "Legacy", "Publisher", RegValue::String("Someone"), RegRoot::LocalMachine);
    EXPECT_EQ(ListInstalledPrograms(),
              (std::vector<std::string>{"Other Tool 2.0", "Broken", "Legacy"}));
    EXPECT_FALSE(IsInstalled(kInstalledPrefix));

    Put(uninstall + "{ABCD}", "DisplayName", RegValue::String("quorlen clipvane 0.9"));
    EXPECT_TRUE(IsInstalled(kInstalledPrefix));
    ASSERT_EQ(store_->DeleteKey(RegRoot::CurrentUser, uninstall + "{ABCD}", DeleteMode::Tree),
              RegStatus::Success);
    EXPECT_FALSE(IsInstalled(kInstalledPrefix));

    // An entry without a display name counts by its key name, in the machine hive too.
    Put(wow + "Quorlen Clipvane", "InstallLocation", RegValue::String("/opt"),
        RegRoot::LocalMachine);
    EXPECT_TRUE(IsInstalled(kInstalledPrefix));
}
