// UpdateCommand_test: what the window says after an update check, against a loopback HTTPS
// server that answers with a chosen version.
#include "tests/mainwindow/StartUpTestSupport.h"
#include "tests/qtcommon/NetTestSupport.h"

#include "mainwindow/U_MainDlg.h"
#include "update/U_Parvo_Lite.h"

#include <QAction>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTest>

#include <memory>

namespace {

// The test program carries the project's version resource, so this is the running version.
constexpr const char* kRunning = "0.9.0.1";
const QString kUpToDate = QStringLiteral("Clipvane is already up to date.");
const QString kNewer =
    QStringLiteral("A new version of Clipvane is available. Do you want to download update now ?");

class UpdateCommand : public startup::StartUpTest {
protected:
    void SetUp() override {
        StartUpTest::SetUp();
        REQUIRE_SERVER_TOOLS();
        ASSERT_TRUE(nettest::Pki().error.empty()) << nettest::Pki().error;
        // The program verifies the server as always; it only learns the tests' CA.
        previousSsl = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = previousSsl;
        trusting.addCaCertificates(
            QSslCertificate::fromPath(QString::fromStdString(nettest::Pki().caCert)));
        QSslConfiguration::setDefaultConfiguration(trusting);
        previousHost = qgetenv("CLIPVANE_UPDATE_HOST");
    }
    void TearDown() override {
        Destroy();
        QSslConfiguration::setDefaultConfiguration(previousSsl);
        qputenv("CLIPVANE_UPDATE_HOST", previousHost);
        StartUpTest::TearDown();
    }

    // Serves Reply at the update host for the checks that follow (a new server each time).
    void Serve(const std::string& Reply) {
        server = std::make_unique<nettest::TLocalServer>();
        ASSERT_TRUE(server->Start(nettest::Answer(Reply))) << server->Error();
        qputenv("CLIPVANE_UPDATE_HOST", QByteArray::fromStdString(server->HostPort()));
    }
    bool Logged(const std::string& Part) const {
        for (const std::string& line : LogMessages()) {
            if (line.find(Part) != std::string::npos)
                return true;
        }
        return false;
    }
    bool WaitForCheck() {
        return QTest::qWaitFor([this] { return dlg->Checkforupdate1->isEnabled(); }, 20000);
    }
    // The user's own check from the "?" menu of a window started without one.
    void CheckByHand() {
        Start();
        ASSERT_TRUE(dlg->Checkforupdate1->isEnabled());
        dlg->Checkforupdate1->trigger();
        EXPECT_FALSE(dlg->Checkforupdate1->isEnabled());
        ASSERT_TRUE(WaitForCheck());
    }
    void CheckAtStartUp() {
        startup::WriteAppString("AutoUpdate", "1");
        Start();
        EXPECT_TRUE(dlg->QuietUpdateCheck);
        ASSERT_TRUE(WaitForCheck());
        EXPECT_FALSE(dlg->QuietUpdateCheck);
    }

    std::unique_ptr<nettest::TLocalServer> server;
    QSslConfiguration previousSsl;
    QByteArray previousHost;
};

} // namespace

TEST_F(UpdateCommand, ACheckByHandThatFindsTheProgramCurrentSaysSo) {
    Serve(kRunning);
    CheckByHand();
    ASSERT_EQ(boxes.Texts(), QStringList{kUpToDate});
    EXPECT_TRUE(boxes.Shown[0].Plain); // a plain message, no question
    EXPECT_TRUE(Logged("Clipvane is already up to date."));

    // The server was asked about this very program.
    const auto requests = server->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].line, "GET /parvo/check.php?uid=0&ProductName=Clipvane&Company=Quorlen"
                                "&VH=9&VL=1 HTTP/1.1");

    // An older version on the server is no news either.
    boxes.Shown.clear();
    Destroy();
    Serve("0.9.0.0");
    CheckByHand();
    EXPECT_EQ(boxes.Texts(), QStringList{kUpToDate});
}

TEST_F(UpdateCommand, ANewerVersionIsOfferedAndDecliningOpensNothing) {
    Serve("0.9.0.2");
    boxes.Answers.push_back(kIdNo);
    CheckByHand();
    ASSERT_EQ(boxes.Texts(), QStringList{kNewer});
    EXPECT_EQ(boxes.Shown[0].Caption, QStringLiteral("Question"));
    EXPECT_TRUE(Logged("New version of Clipvane is detected"));
    // The command is usable again for the next check.
    EXPECT_TRUE(dlg->Checkforupdate1->isEnabled());
}

TEST_F(UpdateCommand, TheStartUpCheckSpeaksOnlyOfANewerVersion) {
    Serve(kRunning);
    CheckAtStartUp();
    EXPECT_TRUE(boxes.Shown.empty()) << boxes.Texts().join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(Logged("Clipvane is already up to date."));
    // A later check by hand is not quiet any more.
    dlg->Checkforupdate1->trigger();
    ASSERT_TRUE(WaitForCheck());
    EXPECT_EQ(boxes.Texts(), QStringList{kUpToDate});
    Destroy();

    boxes.Shown.clear();
    Serve("1.0.0.0");
    CheckAtStartUp();
    EXPECT_EQ(boxes.Texts(), QStringList{kNewer});
}

TEST_F(UpdateCommand, AnUnreadableReplyIsSaidWhenTheCheckWasAskedFor) {
    Serve("<html>maintenance</html>");
    CheckByHand();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral(
                                 "The update check failed: the reply is not a version number")});
    EXPECT_TRUE(Logged("Update self check : Server replied"));
    EXPECT_FALSE(Logged("already up to date"));
    Destroy();

    // No server at all: the network's own words.
    boxes.Shown.clear();
    server.reset();
    CheckByHand();
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_TRUE(
        boxes.Texts()[0].startsWith(QStringLiteral("The update check failed: Connection refused")))
        << boxes.Texts()[0].toStdString();
}
