// The burn dialog: the project file, the burner's command line, waiting while a burner runs
// (its lock held by another process, or the burner we started still running), Cancel.
#include "localisation/ui/ComponentModel.h"
#include "mainwindow/handoff/C2CD.h"
#include "mainwindow/handoff/XolTools.h"
#include "tests/common/TestMedia.h"
#include "tests/mainwindow/BurnTestSupport.h"

#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using burntest::MakeStandIn;
using burntest::TStandIn;

// The suite of these tests, on the shared folders and settings.
class C2CD : public burntest::BurnTest {};

namespace {

using Calls = std::vector<std::vector<std::string>>;

// Another process holding an fcntl record lock on File until released.
class TRecordLockHolder {
public:
    explicit TRecordLockHolder(const std::string& File) {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            // Only system calls from here: the parent has threads.
            ::close(release[1]);
            const int fd = ::open(File.c_str(), O_RDWR | O_CREAT, 0600);
            struct flock lock {};
            lock.l_type = static_cast<short>(F_WRLCK);
            lock.l_whence = static_cast<short>(SEEK_SET);
            char c = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
            if (::write(ready[1], &c, 1) != 1)
                ::_exit(1);
            while (::read(release[0], &c, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char c = 'n';
        locked_ = pid_ > 0 && ::read(ready[0], &c, 1) == 1 && c == 'y';
        ::close(ready[0]);
    }
    ~TRecordLockHolder() { Release(); }
    bool Locked() const { return locked_; }
    void Release() {
        if (release_ >= 0)
            ::close(release_);
        release_ = -1;
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool locked_ = false;
};

} // namespace

// Language files address the form and its components by these names.
TEST_F(C2CD, IsTheNamedBurnFormWithItsComponentsInOrder) {
    EXPECT_EQ(dlg->objectName(), QStringLiteral("C2CDDlg"));
    QStringList names;
    for (QObject* c : comp::Components(dlg))
        names << comp::Name(c);
    EXPECT_EQ(names, (QStringList{"banner_img", "prog", "cancel_btn", "tmr"}));
    EXPECT_FALSE(dlg->tmr->isActive());
}

static std::string ReadText(const std::string& Path) {
    const std::vector<uint8_t> bytes = testmedia::ReadAll(Path);
    return {bytes.begin(), bytes.end()};
}

TEST_F(C2CD, BurnWritesTheProjectAndHandsItToTheBurnerWithDatafl) {
    std::filesystem::create_directories(dir + "/xol");
    const TStandIn burner = MakeStandIn(dir + "/xol/Brennix.exe");
    SetXolValue("Brennix", dir + "/xol");
    const std::string avi = MakeCurrentFile("my part.avi");
    // An earlier project is replaced.
    std::filesystem::create_directories(dir + "/data/Quorlen/Clipvane");
    std::ofstream(ProjectFile("ZQ_0.c2c")) << "/old/one.avi\r\n/old/two.avi\r\n";

    BurnToCd(nullptr, dlg, QString::fromStdString(avi));

    EXPECT_TRUE(boxes.Shown.empty());
    const std::string project = ProjectFile("ZQ_0.c2c");
    EXPECT_EQ(ReadText(project), avi + "\r\n");
    ASSERT_TRUE(burner.WaitForCalls(1));
    EXPECT_EQ(burner.Calls(), (Calls{{"/datafl", project}}));
    EXPECT_EQ(dlg->ProjectCount, 1);
    EXPECT_EQ(dlg->ProjectPrefix, QStringLiteral("ZQ"));
    EXPECT_EQ(dlg->StartedCount, 1);
    EXPECT_EQ(dlg->prog->value(), 1);
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(C2CD, ProjectsAreHandedOverOneAfterTheOther) {
    const TStandIn burner = MakeStandIn(dir + "/Brennix.exe");
    SetXolValue("Brennix", burner.Path);
    dlg->ProjectCount = 3;
    dlg->ProjectPrefix = QStringLiteral("AB");
    // The first burner keeps running: nothing else starts until it has gone.
    std::ofstream(burner.Hold).close();
    size_t callsWhileHeld = 0;
    const bool done = RunCounted(*dlg, [&](int) {
        if (burner.Calls().size() == 1 && std::filesystem::exists(burner.Hold)) {
            if (++callsWhileHeld == 10)
                std::filesystem::remove(burner.Hold);
            EXPECT_EQ(dlg->StartedCount, 1);
        }
    });
    EXPECT_TRUE(done);
    EXPECT_EQ(callsWhileHeld, 10u);
    ASSERT_TRUE(burner.WaitForCalls(3));
    const std::string folder = dir + "/data/Quorlen/Clipvane/";
    EXPECT_EQ(burner.Calls(), (Calls{{"/datafl", folder + "AB_0.c2c"},
                                     {"/datafl", folder + "AB_1.c2c"},
                                     {"/datafl", folder + "AB_2.c2c"}}));
    EXPECT_EQ(dlg->prog->maximum(), 3);
    EXPECT_EQ(dlg->prog->value(), 3);
}

TEST_F(C2CD, WaitsWhileAnotherBurnerHoldsItsLock) {
    const QString flock = SystemTool("flock");
    if (flock.isEmpty())
        GTEST_SKIP() << "flock not found; install the Debian package util-linux";
    const TStandIn burner = MakeStandIn(dir + "/Brennix.exe");
    SetXolValue("Brenn", dir);
    const QString lock = BurnerLockFile();
    ASSERT_EQ(lock.toStdString(), dir + "/run/BRENNIX_RUNNING");
    EXPECT_FALSE(LockFileHeld(lock)); // not there yet

    // A burner that was running before: it holds the lock until its hold file goes.
    const std::string helperHold = dir + "/helper.hold";
    std::ofstream(helperHold).close();
    QProcess helper;
    helper.start(
        flock, {lock, QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                QString::fromStdString("PATH=/usr/bin:/bin; while [ -e " +
                                       testmedia::Quote(helperHold) + " ]; do sleep 0.02; done")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return LockFileHeld(lock); }, 10000));
    EXPECT_TRUE(dlg->BurnerRunning());

    dlg->ProjectCount = 1;
    dlg->ProjectPrefix = QStringLiteral("ZQ");
    int releasedAt = 0;
    const bool done = RunCounted(*dlg, [&](int Tick) {
        if (releasedAt == 0 && Tick == 10) {
            EXPECT_EQ(dlg->StartedCount, 0);
            EXPECT_TRUE(burner.Calls().empty());
            EXPECT_TRUE(dlg->isVisible());
            std::filesystem::remove(helperHold);
            releasedAt = Tick;
        }
    });
    EXPECT_TRUE(done);
    EXPECT_EQ(releasedAt, 10);
    // Its end may already have been seen by the dialog's event loop.
    EXPECT_TRUE(QTest::qWaitFor([&] { return helper.state() == QProcess::NotRunning; }, 10000));
    EXPECT_FALSE(LockFileHeld(lock));
    ASSERT_TRUE(burner.WaitForCalls(1));
    EXPECT_EQ(burner.Calls().size(), 1u);
}

TEST_F(C2CD, RecordLocksCountAsHeldAndNoRuntimeFolderMeansNoLock) {
    const std::string lock = dir + "/run/BRENNIX_RUNNING";
    {
        TRecordLockHolder holder(lock);
        ASSERT_TRUE(holder.Locked());
        EXPECT_TRUE(LockFileHeld(QString::fromStdString(lock)));
        EXPECT_TRUE(dlg->BurnerRunning());
        holder.Release();
        EXPECT_FALSE(LockFileHeld(QString::fromStdString(lock)));
    }
    // The file left behind by a burner that has ended holds nothing.
    EXPECT_TRUE(std::filesystem::exists(lock));
    EXPECT_FALSE(dlg->BurnerRunning());

    TRecordLockHolder again(lock);
    ASSERT_TRUE(again.Locked());
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_TRUE(BurnerLockFile().isEmpty());
    EXPECT_FALSE(dlg->BurnerRunning());
}

TEST_F(C2CD, CancelClosesAtOnceAndTheStartedBurnerKeepsRunning) {
    const TStandIn burner = MakeStandIn(dir + "/Brennix.exe");
    SetXolValue("Brennix", burner.Path);
    std::ofstream(burner.Hold).close();
    dlg->ProjectCount = 2;
    dlg->ProjectPrefix = QStringLiteral("ZQ");
    const bool done = RunCounted(*dlg, [&](int) {
        if (!burner.Calls().empty() && dlg->isVisible())
            dlg->cancel_btn->click();
    });
    EXPECT_FALSE(done);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->tmr->isActive());
    EXPECT_FALSE(dlg->Launching);
    EXPECT_EQ(dlg->StartedCount, 1);
    // Still running after the dialog has gone: it ends only when told to.
    EXPECT_TRUE(dlg->BurnerRunning());
    EXPECT_FALSE(std::filesystem::exists(burner.Ended));
    std::filesystem::remove(burner.Hold);
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(burner.Ended); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dlg->BurnerRunning(); }, 10000));
    EXPECT_EQ(burner.Calls().size(), 1u);
}

TEST_F(C2CD, ABurnerThatCannotStartEndsTheQueueQuietly) {
    const TStandIn burner = MakeStandIn(dir + "/Brennix.exe", false);
    SetXolValue("Brennix", burner.Path);
    dlg->ProjectCount = 1;
    dlg->ProjectPrefix = QStringLiteral("ZQ");
    EXPECT_TRUE(RunCounted(*dlg, {}));
    EXPECT_EQ(dlg->StartedCount, 1);
    EXPECT_FALSE(dlg->Launching);
    EXPECT_TRUE(burner.Calls().empty());
    EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(C2CD, RunShowsNothingWithoutBurnerProjectsOrPrefix) {
    dlg->ProjectCount = 1;
    dlg->ProjectPrefix = QStringLiteral("ZQ");
    EXPECT_FALSE(dlg->Run()); // no burner
    const TStandIn burner = MakeStandIn(dir + "/Brennix.exe");
    SetXolValue("Brennix", burner.Path);
    dlg->ProjectCount = 0;
    EXPECT_FALSE(dlg->Run());
    dlg->ProjectCount = 1;
    dlg->ProjectPrefix.clear();
    EXPECT_FALSE(dlg->Run());
    EXPECT_FALSE(dlg->tmr->isActive());
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->StartedCount, 0);
}
