// StartUpTestSupport: the tests' own settings hive and folders, and forms started as activation
// starts them.
#include "tests/mainwindow/StartUpTestSupport.h"

#include "mainwindow/U_MainDlg.h"
#include "support/log/U_Log.h"
#include "support/settings/SettingsStore.h"
#include "support/settings/U_TobrelSettings.h"
#include "tests/common/TestMedia.h"

#include <QApplication>
#include <QDir>

#include <filesystem>

namespace startup {

namespace {

reg::RegKey OpenKey(const std::string& Path) {
    reg::RegKey key(reg::RegRoot::CurrentUser);
    key.Open(Path, reg::access::kAllAccess, true);
    return key;
}

void UseHive(const std::string& Folder) {
    std::filesystem::create_directories(Folder);
    qputenv("CLIPVANE_REGISTRY_DIR", QByteArray::fromStdString(Folder));
    reg::SetDefaultSettingsStore(nullptr);
}

// A loopback port where nothing listens: a start-up check fails at once instead of asking a
// real host.
constexpr const char* kDeadUpdateHost = "127.0.0.1:9";

// The whole suite: settings go to a hive of this process, never to the user's, and the program
// counts as installed, so a closing window leaves no "settings.ini" beside the test program.
class SettingsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        UseHive(testmedia::TempDir() + "/registry");
        qputenv("CLIPVANE_UPDATE_HOST", kDeadUpdateHost);
        SetInstalled(true);
        WriteAppString("AutoUpdate", "0");
    }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SettingsEnvironment);

} // namespace

void SetInstalled(bool Installed) {
    if (Installed) {
        OpenKey(kUninstallKey).WriteString("DisplayName", "Quorlen Clipvane 1.0");
        return;
    }
    reg::DefaultSettingsStore()->DeleteKey(reg::RegRoot::CurrentUser, kUninstallKey,
                                           reg::DeleteMode::Tree);
}

void WriteAppString(const std::string& Name, const std::string& Value) {
    OpenKey(kAppKey).WriteString(Name, Value);
}

void WriteAppDword(const std::string& Name, uint32_t Value) {
    OpenKey(kAppKey).WriteDword(Name, Value);
}

bool AppKeyExists() {
    reg::RegKey key(reg::RegRoot::CurrentUser);
    return key.Open(kAppKey, reg::access::kAllAccess, false) == reg::RegStatus::Success;
}

std::string MakerValue(const std::string& Name) {
    reg::RegKey key(reg::RegRoot::CurrentUser);
    std::string value;
    if (key.Open(kMakerKey, reg::access::kAllAccess, false) == reg::RegStatus::Success)
        key.ReadString(Name, value);
    return value;
}

std::vector<std::string> Messages(const std::vector<std::string>& Lines) {
    std::vector<std::string> messages;
    for (const std::string& line : Lines) {
        const size_t first = line.find('\t');
        const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        messages.push_back(second == std::string::npos ? line : line.substr(second + 1));
    }
    return messages;
}

long IndexOf(const std::vector<std::string>& Messages, const std::string& Start) {
    for (size_t i = 0; i < Messages.size(); ++i) {
        if (Messages[i].rfind(Start, 0) == 0)
            return static_cast<long>(i);
    }
    return -1;
}

void StartUpTest::SetUp() {
    QCoreApplication::setApplicationName(QStringLiteral("Clipvane"));
    QApplication::setQuitOnLastWindowClosed(false);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = testmedia::TempDir() + "/" + info->test_suite_name() + "." + info->name();
    std::filesystem::create_directories(dir + "/data");
    std::filesystem::create_directories(dir + "/config");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir + "/data"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir + "/config"));
    UseHive(dir + "/registry");
    SetInstalled(true);
    WriteAppString("AutoUpdate", "0");
    previousCurrent = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir));
}

void StartUpTest::TearDown() {
    mwtest::StopWatching();
    Destroy();
    QDir::setCurrent(previousCurrent);
    std::filesystem::remove(TMainDlg::PortableSettingsFile());
    UseHive(testmedia::TempDir() + "/registry");
}

void StartUpTest::Create(const QStringList& CommandLine) {
    forms = CreateAppForms();
    dlg = forms.MainDlg;
    dlg->CommandLine = CommandLine;
    dlg->show();
}

void StartUpTest::Activate() {
    dlg->FirstActivation();
}

void StartUpTest::Start(const QStringList& CommandLine) {
    Create(CommandLine);
    Activate();
}

void StartUpTest::Destroy() {
    if (dlg)
        DestroyAppForms(forms);
    dlg = nullptr;
}

std::vector<std::string> StartUpTest::LogMessages() const {
    std::vector<std::string> lines = dlg->Log->Lines();
    std::reverse(lines.begin(), lines.end());
    return Messages(lines);
}

} // namespace startup
