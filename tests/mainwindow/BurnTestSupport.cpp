// BurnTestSupport: folders, settings, recorded launches and stand-in programs.
#include "tests/mainwindow/BurnTestSupport.h"

#include "mainwindow/handoff/C2CD.h"
#include "support/settings/SettingsStore.h"
#include "tests/common/TestMedia.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace burntest {

namespace {

QByteArray Swap(const char* Name, const std::string& Value) {
    const QByteArray old = qgetenv(Name);
    qputenv(Name, QByteArray::fromStdString(Value));
    return old;
}

void Restore(const char* Name, const QByteArray& Value) {
    if (Value.isNull())
        qunsetenv(Name);
    else
        qputenv(Name, Value);
}

} // namespace

std::vector<std::vector<std::string>> TStandIn::Calls() const {
    std::vector<std::vector<std::string>> calls;
    std::ifstream in(Record);
    std::vector<std::string> args;
    for (std::string line; std::getline(in, line);) {
        if (line == "--") {
            calls.push_back(args);
            args.clear();
        } else {
            args.push_back(line);
        }
    }
    return calls;
}

bool TStandIn::WaitForCalls(size_t Count) const {
    return QTest::qWaitFor([&] { return Calls().size() >= Count; }, 10000);
}

TStandIn MakeStandIn(const std::string& Path, bool Executable) {
    const std::string base = Path + ".run";
    TStandIn s{Path, base + ".calls", base + ".hold", base + ".ended"};
    using testmedia::Quote;
    std::filesystem::create_directories(std::filesystem::path(Path).parent_path());
    std::ofstream out(Path);
    out << "#!/bin/sh\n"
        << "PATH=/usr/bin:/bin\n"
        << "{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; printf '%s\\n' --; } >> "
        << Quote(s.Record) << "\n"
        << "while [ -e " << Quote(s.Hold) << " ]; do sleep 0.02; done\n"
        << ": > " << Quote(s.Ended) << "\n";
    out.close();
    namespace fs = std::filesystem;
    fs::permissions(Path, Executable ? fs::perms::owner_all
                                     : fs::perms::owner_read | fs::perms::owner_write);
    return s;
}

void BurnTest::SetUp() {
    QCoreApplication::setApplicationName(QStringLiteral("Clipvane"));
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = testmedia::TempDir() + "/" + info->test_suite_name() + "." + info->name();
    bin = dir + "/bin";
    for (const char* sub : {"/bin", "/data", "/run"})
        std::filesystem::create_directories(dir + sub);
    reg::SetDefaultSettingsStore(
        reg::CreateHiveFileStore(reg::HiveFiles{dir + "/user.reg", dir + "/machine.reg", {}}));
    oldData = Swap("XDG_DATA_HOME", dir + "/data");
    oldRuntime = Swap("XDG_RUNTIME_DIR", dir + "/run");
    // Desktop programs installed on this machine must not be found by the tests.
    oldPath = Swap("PATH", bin);
    oldShellHook =
        SetShellHook([this](TShellTarget Kind, const QString& Target, const QString& Parameters) {
            launches.push_back({Kind, Target, Parameters});
            return launchesTaken;
        });
    dlg = new TC2CDDlg;
    // The dialog's one-second tick, shortened so that a test takes moments.
    dlg->tmr->setInterval(20);
}

void BurnTest::TearDown() {
    delete dlg;
    dlg = nullptr;
    SetShellHook(oldShellHook);
    Restore("PATH", oldPath);
    Restore("XDG_RUNTIME_DIR", oldRuntime);
    Restore("XDG_DATA_HOME", oldData);
    reg::SetDefaultSettingsStore(nullptr);
}

void BurnTest::SetXolValue(const std::string& Name, const std::string& Value) {
    reg::RegKey key(reg::RegRoot::CurrentUser);
    ASSERT_EQ(key.Open("Software\\XOL", reg::access::kAllAccess, true), reg::RegStatus::Success);
    ASSERT_EQ(key.WriteString(Name, Value), reg::RegStatus::Success);
}

std::string BurnTest::MakeCurrentFile(const std::string& Name) {
    const std::string path = dir + "/" + Name;
    std::ofstream(path) << "RIFF";
    return path;
}

std::string BurnTest::ProjectFile(const std::string& Name) const {
    return dir + "/data/Quorlen/Clipvane/" + Name;
}

bool BurnTest::RunCounted(TC2CDDlg& Dlg, const std::function<void(int Tick)>& OnTick) {
    int ticks = 0;
    const QMetaObject::Connection watch = QObject::connect(Dlg.tmr, &QTimer::timeout, &Dlg, [&] {
        ++ticks;
        if (ticks > 3000) {
            ADD_FAILURE() << "the burn dialog did not close";
            Dlg.reject();
            return;
        }
        if (OnTick)
            OnTick(ticks);
    });
    const bool result = Dlg.Run();
    QObject::disconnect(watch);
    return result;
}

QString BurnTest::SystemTool(const char* Name) const {
    return QStandardPaths::findExecutable(QString::fromLatin1(Name),
                                          QString::fromLocal8Bit(oldPath).split(QLatin1Char(':')));
}

void BurnTest::LaunchForReal() {
    SetShellHook({});
}

} // namespace burntest
