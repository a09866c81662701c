// StartUp_test: the start-up sequence and its log, the command-line verbs and file, the update
// check at start, portable settings, drops and the association menu, and the reference file.
#include "tests/mainwindow/StartUpTestSupport.h"

#include "engine/jobs/U_AVIExtractor.h"
#include "localisation/Lang_Storageobj.h"
#include "mainwindow/U_MainDlg.h"
#include "support/log/U_Log.h"
#include "support/platform/ShellAssociation.h"
#include "support/settings/SettingsStore.h"
#include "support/settings/U_TobrelSettings.h"
#include "tests/common/TestMedia.h"
#include "update/U_Parvo_Lite.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;
using startup::IndexOf;

namespace {

class StartUp : public startup::StartUpTest {};

std::string ReadFile(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& Path, const std::string& Text) {
    std::ofstream(Path, std::ios::binary) << Text;
}

const std::string kBuiltProgram = std::string(CLIPVANE_BINARY_DIR) + "/app/clipvane";

// Runs Program offscreen with Arguments, its settings hive and XDG folders under Home and the
// update host where nothing listens.
testmedia::RunResult RunProgram(const std::string& Program, const std::string& Home,
                                const std::string& Arguments) {
    const std::string env = "QT_QPA_PLATFORM=offscreen CLIPVANE_UPDATE_HOST=127.0.0.1:9"
                            " CLIPVANE_REGISTRY_DIR=" +
                            testmedia::Quote(Home + "/registry") +
                            " XDG_DATA_HOME=" + testmedia::Quote(Home + "/data") +
                            " XDG_CONFIG_HOME=" + testmedia::Quote(Home + "/config");
    return testmedia::Run("env " + env + " timeout 60 " + testmedia::Quote(Program) + " " +
                          Arguments);
}

} // namespace

TEST_F(StartUp, LogsItsLinesInOrderAndOnlyLogsAMissingFile) {
    const std::string missing = dir + "/nowhere.avi";
    Start({QString::fromStdString(missing)});
    const std::string exe = QCoreApplication::applicationFilePath().toStdString();
    const std::vector<std::string> log = LogMessages();
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(log[0], "Starting");
    EXPECT_EQ(log[1], exe);
    EXPECT_EQ(log[2], dlg->windowTitle().toStdString());
    EXPECT_EQ(log[2].rfind("Clipvane v", 0), 0u) << log[2];
    EXPECT_EQ(log[3].rfind("Linux : ", 0), 0u) << log[3];
    EXPECT_EQ(log[4], "64Bits : Yes"); // a 64-bit build
    EXPECT_EQ(log[5].rfind("Administrator : ", 0), 0u) << log[5];
    EXPECT_EQ(log[6], missing);
    EXPECT_EQ(log[7].rfind("OpenSSL : ", 0), 0u) << log[7];
    EXPECT_NE(log[7], "OpenSSL : ");

    // The file does not exist: logged above, never loaded, no message.
    EXPECT_EQ(IndexOf(log, "Loading : "), -1);
    EXPECT_TRUE(boxes.Shown.empty());
    EXPECT_FALSE(dlg->VerbRun);
    EXPECT_TRUE(dlg->isVisible());
    // Sibling programs find the executable through the maker key.
    EXPECT_EQ(startup::MakerValue("Clipvane"), exe);
    // The engine, the worker and the updater exist; AutoUpdate "0" started no check.
    EXPECT_NE(dlg->Extractor, nullptr);
    EXPECT_NE(dlg->PictureWorker, nullptr);
    ASSERT_NE(dlg->Updater, nullptr);
    EXPECT_FALSE(dlg->Updater->Busy());
    EXPECT_EQ(IndexOf(log, "Check for update"), -1);
    EXPECT_EQ(IndexOf(log, "Self update check..."), -1);
    EXPECT_TRUE(dlg->Checkforupdate1->isEnabled());
}

TEST_F(StartUp, ChecksForUpdatesUnlessAutoUpdateIsZero) {
    // Missing and "1" both turn the check on.
    for (const char* value : {"", "1"}) {
        SCOPED_TRACE(value);
        if (*value) {
            startup::WriteAppString("AutoUpdate", value);
        } else {
            reg::RegKey key(reg::RegRoot::CurrentUser);
            ASSERT_EQ(key.Open(kAppKey, reg::access::kAllAccess, false), reg::RegStatus::Success);
            key.DeleteValue("AutoUpdate");
        }
        Start();
        const long check = IndexOf(LogMessages(), "Check for update");
        ASSERT_GE(check, 0);
        EXPECT_EQ(IndexOf(LogMessages(), "Self update check..."), check + 1);
        ASSERT_TRUE(dlg->Updater->Busy());
        EXPECT_TRUE(dlg->QuietUpdateCheck);
        EXPECT_FALSE(dlg->Checkforupdate1->isEnabled());
        // Asking again while it runs starts nothing.
        const size_t lines = LogMessages().size();
        dlg->Checkforupdate1Click();
        EXPECT_EQ(LogMessages().size(), lines);

        // Nothing listens at the update host: the check fails, silently.
        ASSERT_TRUE(QTest::qWaitFor([this] { return dlg->Checkforupdate1->isEnabled(); }, 20000));
        EXPECT_FALSE(dlg->QuietUpdateCheck);
        EXPECT_TRUE(boxes.Shown.empty());
        Destroy();
    }
}

TEST_F(StartUp, RegisterAndUnregisterChangeTheAssociationAndEndTheRun) {
    // Verbs win over a file of the same name and over the update check.
    startup::WriteAppString("AutoUpdate", "1");
    WriteFile(dir + "/register", "not a movie");
    const std::string entry = AssociationEntryPath();
    ASSERT_FALSE(entry.empty());
    ASSERT_FALSE(IsAssociated());

    Start({QStringLiteral("register")});
    EXPECT_TRUE(dlg->VerbRun);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(IsAssociated());
    const std::string text = ReadFile(entry);
    EXPECT_NE(text.find("Name=Open with Clipvane"), std::string::npos) << text;
    EXPECT_NE(text.find(QCoreApplication::applicationFilePath().toStdString()), std::string::npos)
        << text;
    EXPECT_FALSE(dlg->Enable1->isEnabled());
    EXPECT_TRUE(dlg->Disable1->isEnabled());
    std::vector<std::string> log = LogMessages();
    EXPECT_GE(IndexOf(log, "register"), 0);
    EXPECT_EQ(IndexOf(log, "Loading : "), -1);
    EXPECT_EQ(IndexOf(log, "Check for update"), -1);
    EXPECT_FALSE(dlg->Updater->Busy());
    EXPECT_TRUE(boxes.Shown.empty());
    Destroy();

    Start({QStringLiteral("unregister")});
    EXPECT_TRUE(dlg->VerbRun);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(IsAssociated());
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_TRUE(dlg->Enable1->isEnabled());
    EXPECT_FALSE(dlg->Disable1->isEnabled());
    log = LogMessages();
    EXPECT_GE(IndexOf(log, "unregister"), 0);
    EXPECT_EQ(IndexOf(log, "Check for update"), -1);
    Destroy();

    // Verbs are matched with their case: anything else is a file name (here: none).
    Start({QStringLiteral("Register")});
    EXPECT_FALSE(dlg->VerbRun);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(IsAssociated());
}

TEST_F(StartUp, AssociationMenuFollowsTheEntry) {
    Start();
    EXPECT_TRUE(dlg->Enable1->isEnabled());
    EXPECT_FALSE(dlg->Disable1->isEnabled());
    dlg->Enable1->trigger();
    EXPECT_TRUE(IsAssociated());
    EXPECT_FALSE(dlg->Enable1->isEnabled());
    EXPECT_TRUE(dlg->Disable1->isEnabled());
    dlg->Disable1->trigger();
    EXPECT_FALSE(IsAssociated());
    EXPECT_TRUE(dlg->Enable1->isEnabled());
    EXPECT_FALSE(dlg->Disable1->isEnabled());

    // A later start finds the state the entry is in.
    dlg->Enable1->trigger();
    Destroy();
    Start();
    EXPECT_FALSE(dlg->Enable1->isEnabled());
    EXPECT_TRUE(dlg->Disable1->isEnabled());
}

TEST_F(StartUp, CommandLineFileIsLoadedAndOtherTypesRefused) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    Start({QString::fromStdString(sample.path)});
    EXPECT_GE(IndexOf(LogMessages(), "Loading : " + sample.path), 0);
    EXPECT_TRUE(dlg->Extractor->Valid);
    EXPECT_EQ(dlg->StatusPanel(0), QString::fromStdString(fs::path(sample.path).filename()));
    EXPECT_TRUE(boxes.Shown.empty());
    Destroy();

    const std::string notes = dir + "/notes.txt";
    WriteFile(notes, "text");
    Start({QString::fromStdString(notes)});
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, QStringLiteral("notes.txt cannot be opened: Invalid file type"));
    EXPECT_TRUE(boxes.Shown[0].Plain);
}

TEST_F(StartUp, DroppedAviLoadsAndTheDropTargetEndsWithTheWindow) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    Create();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(sample.path))});
    // Before the start-up sequence the window is no drop target yet.
    QDragEnterEvent early(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg, &early);
    EXPECT_FALSE(early.isAccepted());

    Activate();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg, &drop);
    ASSERT_TRUE(QTest::qWaitFor([this] { return dlg->Extractor->Valid; }, 10000));
    EXPECT_TRUE(dlg->DroppedFiles.isEmpty());
    EXPECT_GE(IndexOf(LogMessages(), "Loading : " + sample.path), 0);
}

TEST_F(StartUp, PortableRunKeepsItsSettingsInTheFileOnly) {
    startup::SetInstalled(false);
    const std::string ini = TMainDlg::PortableSettingsFile();
    WriteFile(ini,
              "[Settings]\r\nAutoUpdate=0\r\nMarker=from file\r\n[Settings_DWORD]\r\nCount=7\r\n");
    Create();
    // Imported at creation, before anything reads a setting.
    EXPECT_EQ(ReadAppSetting("Marker"), "from file");
    Activate();
    EXPECT_EQ(IndexOf(LogMessages(), "Check for update"), -1);
    EXPECT_FALSE(startup::MakerValue("Clipvane").empty());
    startup::WriteAppString("Marker", "changed");

    EXPECT_TRUE(dlg->close());
    const std::string text = ReadFile(ini);
    EXPECT_NE(text.find("Marker=changed"), std::string::npos) << text;
    EXPECT_NE(text.find("Count=7"), std::string::npos) << text;
    EXPECT_FALSE(startup::AppKeyExists());
    EXPECT_EQ(startup::MakerValue("Clipvane"), "");
}

TEST_F(StartUp, InstalledRunNeverTouchesTheSettingsFile) {
    const std::string ini = TMainDlg::PortableSettingsFile();
    const std::string before = "[Settings]\r\nMarker=from file\r\n";
    WriteFile(ini, before);
    Start();
    EXPECT_EQ(ReadAppSetting("Marker"), "");
    startup::WriteAppString("Marker", "registry");
    EXPECT_TRUE(dlg->close());
    EXPECT_EQ(ReadFile(ini), before);
    EXPECT_EQ(ReadAppSetting("Marker"), "registry");
    EXPECT_FALSE(startup::MakerValue("Clipvane").empty());
}

// A copy of the program in a folder of its own runs portable there. The "register" verb goes
// through the whole start and close, so the settings file beside the copy is imported and
// written back; the registry keeps the values only when the file cannot take them.
TEST_F(StartUp, PortableCopyExportsBesideItselfOrKeepsTheRegistry) {
    if (!fs::exists(kBuiltProgram))
        GTEST_SKIP() << "the clipvane program is not built: " << kBuiltProgram;
    startup::SetInstalled(false);
    const std::string stick = dir + "/stick";
    fs::create_directories(stick);
    fs::copy_file(kBuiltProgram, stick + "/clipvane");
    const std::string ini = stick + "/settings.ini";
    const auto runVerb = [&] { return RunProgram(stick + "/clipvane", dir, "register"); };

    WriteFile(ini, "[Settings]\r\nAutoUpdate=0\r\nMarker=from file\r\n");
    testmedia::RunResult run = runVerb();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string text = ReadFile(ini);
    EXPECT_NE(text.find("Marker=from file"), std::string::npos) << text;
    EXPECT_FALSE(startup::AppKeyExists());
    EXPECT_EQ(startup::MakerValue("Clipvane"), "");
    EXPECT_TRUE(fs::exists(dir + "/data/applications/clipvane-open.desktop"));

    // A read-only file is not written, even by root: nothing may leave the registry.
    const std::string kept = "[Settings]\r\nAutoUpdate=0\r\nMarker=kept\r\n";
    WriteFile(ini, kept);
    fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    run = runVerb();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFile(ini), kept);
    EXPECT_TRUE(startup::AppKeyExists());
    EXPECT_EQ(ReadAppSetting("Marker"), "kept");
    EXPECT_FALSE(startup::MakerValue("Clipvane").empty());
}

TEST_F(StartUp, WriteReferenceMakesTheTemplateWithoutSettingsOrLog) {
    if (!fs::exists(kBuiltProgram))
        GTEST_SKIP() << "the clipvane program is not built: " << kBuiltProgram;
    const std::string out = dir + "/ref/AVI_ORIGINAL.SPK";
    fs::create_directories(dir + "/ref");
    fs::create_directories(dir + "/quiet/registry");
    const testmedia::RunResult result =
        RunProgram(kBuiltProgram, dir + "/quiet", "--write-reference " + testmedia::Quote(out));
    ASSERT_EQ(result.exitCode, 0) << result.err;

    TStorefile store;
    store.SetSignature("XOL LANGUAGE FILE");
    store.SetFilename(out);
    store.SetReadOnly(true);
    store.Open();
    ASSERT_TRUE(store.Opened()) << store.LastError();
    std::set<std::string> texts;
    for (bool more = store.First(); more && !store.Eof();) {
        std::string text;
        store.ReadString(text, true);
        texts.insert(text);
    }
    store.Close();
    EXPECT_TRUE(texts.count("MainDlg.Ts_Main"));
    EXPECT_TRUE(texts.count("MainDlg.Open1"));
    EXPECT_TRUE(texts.count("Load file..."));
    EXPECT_TRUE(texts.count("AboutDlg.TS_about"));

    // Nothing was written but the file asked for.
    EXPECT_TRUE(fs::is_empty(dir + "/quiet/registry"));
    EXPECT_FALSE(fs::exists(dir + "/quiet/data/Quorlen"));
    EXPECT_FALSE(fs::exists(dir + "/quiet/data/Clipvane"));

    // Without a file name the option is refused.
    EXPECT_NE(RunProgram(kBuiltProgram, dir + "/quiet", "--write-reference").exitCode, 0);
}
