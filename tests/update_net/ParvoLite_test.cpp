// Tests of TParvoLite against the loopback HTTPS server, with a program file of known version.
#include "support/log/U_Log.h"
#include "tests/common/TestMedia.h"
#include "tests/qtcommon/NetTestSupport.h"
#include "update/U_Parvo_Lite.h"

#include <QCoreApplication>
#include <QObject>
#include <QSslCertificate>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>

namespace {

const char kTitle[] = "Clipvane";
const char kQuery2_9_1_69[] =
    "/parvo/check.php?uid=0&ProductName=Clipvane&Company=Quorlen&VH=131081&VL=65605";

struct TLogLine {
    std::string level;
    std::string message;
};

struct TOutcome {
    int done = 0;
    bool onMainThread = true;
    bool busyInOnDone = true;
};

class ParvoLiteTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_SERVER_TOOLS();
        ASSERT_TRUE(nettest::Pki().error.empty()) << nettest::Pki().error;
        const std::string dir = testmedia::TempDir() + "/parvo";
        std::filesystem::create_directories(dir);
        exe_ = dir + "/clipvane";
        nettest::WriteElfWithVersion(
            exe_, nettest::VersionBlock(0x00020009, 0x00010045,
                                        {{"ProductName", "Clipvane"}, {"CompanyName", "Quorlen"}}));
        Fresh(true);
    }

    // A new log (verbose, in memory) and a new checker that trusts the test CA when asked to.
    void Fresh(bool trustTestCa) {
        checker_.reset();
        log_ = std::make_unique<TKLog>("", true, 10000, false);
        checker_ = std::make_unique<TParvoLite>(log_.get(), kTitle);
        if (trustTestCa)
            checker_->SetExtraCaCertificates(
                QSslCertificate::fromPath(QString::fromStdString(nettest::Pki().caCert)));
        outcome_ = {};
    }

    void TearDown() override {
        checker_.reset();
        qunsetenv("CLIPVANE_UPDATE_HOST");
    }

    void PointAt(const std::string& hostPort) {
        qputenv("CLIPVANE_UPDATE_HOST", QByteArray::fromStdString(hostPort));
    }

    void StartCheck(const std::string& file) {
        checker_->Check(file, &owner_, [this](TParvoLite* sender) {
            ++outcome_.done;
            outcome_.onMainThread = QThread::currentThread() == qApp->thread();
            outcome_.busyInOnDone = sender->Busy();
            EXPECT_EQ(sender, checker_.get());
        });
    }

    // Runs one check of the test program to its end.
    void RunCheck(const std::string& file, bool busyBefore = false) {
        EXPECT_EQ(checker_->Busy(), busyBefore);
        StartCheck(file);
        EXPECT_TRUE(checker_->Busy());
        ASSERT_TRUE(QTest::qWaitFor([this] { return outcome_.done > 0; }, 60000));
        // A late second completion would show up here.
        QTest::qWait(100);
        EXPECT_EQ(outcome_.done, 1);
        EXPECT_TRUE(outcome_.onMainThread);
        EXPECT_FALSE(outcome_.busyInOnDone);
        EXPECT_FALSE(checker_->Busy());
    }

    // The log, oldest line first.
    std::vector<TLogLine> LogLines() const {
        std::vector<TLogLine> lines;
        const std::vector<std::string> raw = log_->Lines();
        for (auto it = raw.rbegin(); it != raw.rend(); ++it) {
            const size_t first = it->find('\t');
            const size_t second = it->find('\t', first + 1);
            lines.push_back({it->substr(0, first), it->substr(second + 1)});
        }
        return lines;
    }

    // The log lines after "Initialization", which must come first.
    std::vector<TLogLine> CheckLines() const {
        std::vector<TLogLine> lines = LogLines();
        EXPECT_FALSE(lines.empty());
        if (lines.empty())
            return lines;
        EXPECT_EQ(lines[0].level, "Info");
        EXPECT_EQ(lines[0].message, "Clipvane Update self check : Initialization");
        lines.erase(lines.begin());
        return lines;
    }

    // Checks the "Server replied" line and returns the version it names.
    static std::string RepliedVersion(const TLogLine& line) {
        static const std::regex pattern(
            R"(Clipvane Update self check : Server replied (\S+) in [0-9]+ms)");
        std::smatch m;
        EXPECT_EQ(line.level, "Info");
        EXPECT_TRUE(std::regex_match(line.message, m, pattern)) << line.message;
        return m.size() > 1 ? m[1].str() : std::string();
    }

    std::string exe_;
    QObject owner_;
    std::unique_ptr<TKLog> log_;
    std::unique_ptr<TParvoLite> checker_;
    TOutcome outcome_;
};

TEST_F(ParvoLiteTest, RepliesAgainstARunning2_9_1_69) {
    struct TCase {
        std::string body;
        std::string readAs;
        bool update;
    };
    const TCase cases[] = {
        {"2.9.1.69", "2.9.1.69", false},
        {"2.9.1.70", "2.9.1.70", true},
        {"2.9.1.68", "2.9.1.68", false},
        {"3", "3.0.0.0", true},
        // The line break makes the last part unreadable.
        {"2.9.2.70\n", "2.9.2.0", true},
        {"2.9.1.70\n", "2.9.1.0", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE("reply \"" + c.body + "\"");
        nettest::TLocalServer server;
        ASSERT_TRUE(server.Start(nettest::Answer(c.body))) << server.Error();
        PointAt(server.HostPort());
        Fresh(true);

        RunCheck(exe_);
        EXPECT_TRUE(checker_->ReplyValid());
        EXPECT_EQ(checker_->UpdateAvailable(), c.update);
        const std::vector<TLogLine> lines = CheckLines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(RepliedVersion(lines[0]), c.readAs);

        const std::vector<nettest::TSeenRequest> seen = server.Requests();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].line, std::string("GET ") + kQuery2_9_1_69 + " HTTP/1.1");
    }
}

TEST_F(ParvoLiteTest, QueryCarriesNamesAndVersionOfTheFile) {
    nettest::TLocalServer server;
    ASSERT_TRUE(server.Start(nettest::Answer("3.0.0.1"))) << server.Error();
    PointAt(server.HostPort());
    const std::string other = testmedia::TempDir() + "/parvo/my tool.bin";
    nettest::WriteElfWithVersion(
        other, nettest::VersionBlock(0x00030000, 0x00000001, {{"CompanyName", "Quörlen & Co"}}));
    RunCheck(other);
    EXPECT_TRUE(checker_->ReplyValid());
    EXPECT_FALSE(checker_->UpdateAvailable());

    const std::vector<nettest::TSeenRequest> seen = server.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].line, "GET /parvo/check.php?uid=0&ProductName=my%20tool"
                            "&Company=Qu%C3%B6rlen%20%26%20Co&VH=196608&VL=1 HTTP/1.1");
    const auto userAgent = seen[0].headers.find("User-Agent");
    ASSERT_NE(userAgent, seen[0].headers.end());
    EXPECT_EQ(userAgent->second, "Mozilla/5.0");
}

TEST_F(ParvoLiteTest, ErrorPagesAndEmptyBodiesAreNoVersion) {
    struct TCase {
        nettest::TServerOptions options;
        std::string cause;
    };
    const TCase cases[] = {
        {nettest::Answer("<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head>"
                         "<body><h1>Not Found</h1></body></html>\n",
                         404),
         "Not Found"},
        {nettest::Answer(""), "OK"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.cause);
        nettest::TLocalServer server;
        ASSERT_TRUE(server.Start(c.options)) << server.Error();
        PointAt(server.HostPort());
        Fresh(true);

        RunCheck(exe_);
        EXPECT_FALSE(checker_->ReplyValid());
        EXPECT_FALSE(checker_->UpdateAvailable());
        const std::vector<TLogLine> lines = CheckLines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(RepliedVersion(lines[0]), "0.0.0.0");
        EXPECT_EQ(lines[1].level, "Verbose");
        EXPECT_EQ(lines[1].message,
                  "Clipvane Update self check : Server error (0 Cause : " + c.cause + ")");
    }
}

TEST_F(ParvoLiteTest, TransportFailuresAreServerErrors) {
    struct TCase {
        std::string name;
        nettest::TServerOptions options; // no server for a closed port
        bool closedPort;
        bool trustTestCa;
        int code;
    };
    const TCase cases[] = {
        {"closed port", nettest::Answer(""), true, true, 1},
        {"certificate for another host", nettest::OtherHostAnswer("3"), false, true, 6},
        {"certificate of an unknown CA", nettest::Answer("3"), false, false, 6},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        nettest::TLocalServer server;
        if (c.closedPort) {
            PointAt("127.0.0.1:" + std::to_string(nettest::ClosedPort()));
        } else {
            ASSERT_TRUE(server.Start(c.options)) << server.Error();
            PointAt(server.HostPort());
        }
        Fresh(c.trustTestCa);

        RunCheck(exe_);
        EXPECT_FALSE(checker_->ReplyValid());
        EXPECT_FALSE(checker_->UpdateAvailable());
        const std::vector<TLogLine> lines = CheckLines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].level, "Error");
        EXPECT_EQ(lines[0].message,
                  "Clipvane Update self check : Server error (" + std::to_string(c.code) + ")");
        // A refused certificate means no request reached the server.
        EXPECT_TRUE(server.Requests().empty());
    }
}

TEST_F(ParvoLiteTest, ASilentServerTimesOut) {
    nettest::TLocalServer server;
    ASSERT_TRUE(server.Start(nettest::Hang())) << server.Error();
    PointAt(server.HostPort());
    RunCheck(exe_);
    EXPECT_FALSE(checker_->ReplyValid());
    EXPECT_FALSE(checker_->UpdateAvailable());
    const std::vector<TLogLine> lines = CheckLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, "Error");
    EXPECT_EQ(lines[0].message, "Clipvane Update self check : Server error (4)");
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(ParvoLiteTest, WithoutHttpsTheCheckGoesToHttp) {
    nettest::TLocalServer server;
    ASSERT_TRUE(server.Start(nettest::PlainAnswer("2.9.1.70"))) << server.Error();
    PointAt(server.HostPort());
    checker_->SetSslTest([] { return false; });
    RunCheck(exe_);
    EXPECT_TRUE(checker_->ReplyValid());
    EXPECT_TRUE(checker_->UpdateAvailable());
    const std::vector<TLogLine> lines = CheckLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, "Verbose");
    EXPECT_EQ(lines[0].message, "ParvoLite : No SSL / Back to HTTP");
    EXPECT_EQ(RepliedVersion(lines[1]), "2.9.1.70");
    const std::vector<nettest::TSeenRequest> seen = server.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].line, std::string("GET ") + kQuery2_9_1_69 + " HTTP/1.1");
}

TEST_F(ParvoLiteTest, ANewCheckDropsTheRunningOne) {
    nettest::TLocalServer silent;
    ASSERT_TRUE(silent.Start(nettest::Hang())) << silent.Error();
    nettest::TLocalServer answering;
    ASSERT_TRUE(answering.Start(nettest::Answer("2.9.1.70"))) << answering.Error();

    PointAt(silent.HostPort());
    StartCheck(exe_);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !silent.Requests().empty(); }, 20000));
    EXPECT_TRUE(checker_->Busy());

    PointAt(answering.HostPort());
    RunCheck(exe_, true);
    EXPECT_TRUE(checker_->UpdateAvailable());
    // The dropped client is gone; the Owner holds only the last one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(owner_.findChildren<THttpClient*>(Qt::FindDirectChildrenOnly).size(), 1);

    // The flags keep the result until the next check resets them.
    EXPECT_TRUE(checker_->UpdateAvailable());
    EXPECT_TRUE(checker_->ReplyValid());
    PointAt(silent.HostPort());
    StartCheck(exe_);
    EXPECT_FALSE(checker_->UpdateAvailable());
    EXPECT_FALSE(checker_->ReplyValid());
}

TEST_F(ParvoLiteTest, ReleasingTheCheckerOrItsOwnerEndsTheCheckSilently) {
    nettest::TLocalServer silent;
    ASSERT_TRUE(silent.Start(nettest::Hang())) << silent.Error();
    PointAt(silent.HostPort());

    StartCheck(exe_);
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent.Requests().size() == 1; }, 20000));
    checker_.reset();
    QTest::qWait(200);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(outcome_.done, 0);
    EXPECT_TRUE(owner_.findChildren<THttpClient*>().isEmpty());

    // The Owner going first takes the client with it; the checker copes.
    Fresh(true);
    auto owner = std::make_unique<QObject>();
    checker_->Check(exe_, owner.get(), [this](TParvoLite*) { ++outcome_.done; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent.Requests().size() == 2; }, 20000));
    owner.reset();
    QTest::qWait(200);
    EXPECT_EQ(outcome_.done, 0);
    EXPECT_TRUE(checker_->Busy());
}

TEST_F(ParvoLiteTest, AnAddressThatCannotStartLeavesTheCheckBusy) {
    PointAt("no such host:port");
    StartCheck(exe_);
    EXPECT_TRUE(checker_->Busy());
    QTest::qWait(200);
    EXPECT_EQ(outcome_.done, 0);
    EXPECT_TRUE(checker_->Busy());
    const std::vector<TLogLine> lines = CheckLines();
    EXPECT_TRUE(lines.empty());
}

} // namespace
