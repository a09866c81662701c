// Tests of U_HTTP_Custo: the address fallback, the TLS library test and THttpClient against the
// loopback server (profile on the wire, HTTP statuses, proxy authentication, body limit).
#include "tests/common/TestMedia.h"
#include "tests/qtcommon/NetTestSupport.h"
#include "update/U_HTTP_Custo.h"

#include <QObject>
#include <QSslCertificate>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(DowngradeUrl, HttpsBecomesHttpOnlyWithoutHttps) {
    EXPECT_EQ(DowngradeUrl("HTTPS://www.quorlen.example/parvo/check.php?uid=0", false),
              "http://www.quorlen.example/parvo/check.php?uid=0");
    EXPECT_EQ(DowngradeUrl("https://h:8443/a?b=HTTPS", false), "http://h:8443/a?b=HTTPS");
    EXPECT_EQ(DowngradeUrl("http://www.quorlen.example/x", false), "http://www.quorlen.example/x");
    EXPECT_EQ(DowngradeUrl("ftp://www.quorlen.example/x", false), "ftp://www.quorlen.example/x");

    EXPECT_EQ(DowngradeUrl("HTTPS://www.quorlen.example/x", true), "HTTPS://www.quorlen.example/x");
    EXPECT_EQ(DowngradeUrl("http://www.quorlen.example/x", true), "http://www.quorlen.example/x");
}

TEST(SslVersion, AcceptedFromOnePointOnePointOneToThreeX) {
    EXPECT_FALSE(SslVersionAccepted(0x1010100EL)); // 1.1.1 pre-release
    EXPECT_TRUE(SslVersionAccepted(0x1010100FL));  // 1.1.1
    EXPECT_TRUE(SslVersionAccepted(0x30000130L));  // 3.0.19
    EXPECT_TRUE(SslVersionAccepted(0x3FFFFFFFL));
    EXPECT_FALSE(SslVersionAccepted(0x40000000L));
    EXPECT_FALSE(SslVersionAccepted(0x1000214FL)); // 1.0.2u
    EXPECT_FALSE(SslVersionAccepted(0));
}

TEST(SslVersion, TextIsTheLoadedLibrarys) {
    REQUIRE_TOOL("openssl", "openssl");
    ASSERT_TRUE(SslAvailable()) << "Qt's OpenSSL backend (libqt6network6) should load here";
    // "OpenSSL 3.0.11 19 Sep 2023 (Library: OpenSSL 3.0.11 19 Sep 2023)": the library part names
    // the libcrypto the command runs on, the same the program loads.
    const std::string out = testmedia::Run("openssl version").out;
    const std::string key = "(Library: ";
    const size_t at = out.find(key);
    const std::string library =
        at == std::string::npos ? out.substr(0, out.find('\n'))
                                : out.substr(at + key.size(), out.find(')', at) - at - key.size());
    EXPECT_EQ(SslVersionText(), library);
    // With HTTPS available nothing is downgraded.
    EXPECT_EQ(DowngradeUrl("https://www.quorlen.example/"), "https://www.quorlen.example/");
}

struct TDone {
    int count = 0;
    int errCode = -1;
    THttpRequestKind kind = THttpRequestKind::Post;
};

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_SERVER_TOOLS(); }

    // A client with the program's profile that trusts the test CA, counting its completions.
    THttpClient* NewClient() {
        auto* client = new THttpClient(&owner_);
        ApplyClientProfile(*client);
        client->SslContext.addCaCertificates(
            QSslCertificate::fromPath(QString::fromStdString(nettest::Pki().caCert)));
        client->RcvdStream = &body_;
        client->OnRequestDone = [this](THttpClient*, THttpRequestKind kind, int errCode) {
            ++done_.count;
            done_.kind = kind;
            done_.errCode = errCode;
        };
        return client;
    }

    bool WaitDone() {
        return QTest::qWaitFor([this] { return done_.count > 0; }, 30000);
    }

    QObject owner_;
    QByteArray body_;
    TDone done_;
};

TEST_F(HttpClientTest, ProfileGoesOnTheWire) {
    nettest::TLocalServer server;
    ASSERT_TRUE(server.Start(nettest::Answer("hello"))) << server.Error();
    THttpClient* client = NewClient();
    client->Url = "https://" + server.HostPort() + "/some/path?a=1&b=%20x";

    const QNetworkRequest request = client->MakeRequest(QUrl(QString::fromStdString(client->Url)));
    EXPECT_FALSE(request.attribute(QNetworkRequest::Http2AllowedAttribute).toBool());
    EXPECT_EQ(request.transferTimeout(), 3000);

    client->GetASync();
    EXPECT_TRUE(client->Running());
    EXPECT_THROW(client->GetASync(), std::logic_error);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(done_.count, 1);
    EXPECT_EQ(done_.errCode, 0);
    EXPECT_EQ(done_.kind, THttpRequestKind::Get);
    EXPECT_FALSE(client->Running());
    EXPECT_EQ(body_, QByteArray("hello"));
    EXPECT_EQ(client->StatusCode(), 200);
    EXPECT_EQ(client->ReasonPhrase(), "OK");

    const std::vector<nettest::TSeenRequest> seen = server.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].line, "GET /some/path?a=1&b=%20x HTTP/1.1");
    const auto only = [&](const std::string& name) {
        EXPECT_EQ(seen[0].headers.count(name), 1u) << name;
        const auto it = seen[0].headers.find(name);
        return it == seen[0].headers.end() ? std::string() : it->second;
    };
    EXPECT_EQ(only("User-Agent"), "Mozilla/5.0");
    EXPECT_EQ(only("Accept"),
              "text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,*/*;q=0.8");
    EXPECT_EQ(only("Accept-Language"), "fr,fr-fr;q=0.8,en-us;q=0.5,en;q=0.3");
    EXPECT_EQ(only("Host"), server.HostPort());
}

TEST_F(HttpClientTest, AnHttpErrorStatusIsNoTransportError) {
    nettest::TLocalServer server;
    ASSERT_TRUE(
        server.Start(nettest::Answer("<html><body>Broken</body></html>", 500, "Something Broke")))
        << server.Error();
    THttpClient* client = NewClient();
    client->Url = "https://" + server.HostPort() + "/x";
    client->GetASync();
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(done_.errCode, 0);
    EXPECT_EQ(client->StatusCode(), 500);
    EXPECT_EQ(client->ReasonPhrase(), "Something Broke");
    EXPECT_EQ(body_, QByteArray("<html><body>Broken</body></html>"));

    // A refused connection is one, and its code is Qt's.
    body_.clear();
    done_ = {};
    client->Url = "https://127.0.0.1:" + std::to_string(nettest::ClosedPort()) + "/x";
    client->GetASync();
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(done_.errCode, static_cast<int>(QNetworkReply::ConnectionRefusedError));
    EXPECT_EQ(client->StatusCode(), 0);
    EXPECT_TRUE(body_.isEmpty());
}

TEST_F(HttpClientTest, ProxyGetsBasicCredentials) {
    nettest::TLocalServer proxy;
    ASSERT_TRUE(proxy.Start(nettest::Proxy("2.9.9.9", "clip:vane secret"))) << proxy.Error();
    THttpClient* client = NewClient();
    client->Profile.ProxyHost = "127.0.0.1";
    client->Profile.ProxyPort = proxy.Port();
    client->Profile.ProxyUserName = "clip";
    client->Profile.ProxyPassword = "vane secret";
    client->Url = "http://update.quorlen.example/parvo/check.php?uid=0";
    client->GetASync();
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(done_.errCode, 0);
    EXPECT_EQ(body_, QByteArray("2.9.9.9"));
    const std::vector<nettest::TSeenRequest> seen = proxy.Requests();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().line, "GET http://update.quorlen.example/parvo/check.php?uid=0 HTTP/1.1");
    const auto auth = seen.back().headers.find("Proxy-Authorization");
    ASSERT_NE(auth, seen.back().headers.end());
    EXPECT_EQ(auth->second, "Basic " + QByteArray("clip:vane secret").toBase64().toStdString());

    // Wrong credentials are a proxy failure, not a page.
    body_.clear();
    done_ = {};
    THttpClient* refused = NewClient();
    refused->Profile = client->Profile;
    refused->Profile.ProxyPassword = "wrong";
    refused->Url = client->Url;
    refused->GetASync();
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(done_.errCode, static_cast<int>(QNetworkReply::ProxyAuthenticationRequiredError));
    EXPECT_TRUE(body_.isEmpty());
}

TEST_F(HttpClientTest, AnOversizedBodyIsCutOff) {
    nettest::TLocalServer server;
    ASSERT_TRUE(server.Start(nettest::Answer(std::string(3 * kMaxHttpBody, '7'))))
        << server.Error();
    THttpClient* client = NewClient();
    client->Url = "https://" + server.HostPort() + "/big";
    client->GetASync();
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(done_.count, 1);
    EXPECT_EQ(done_.errCode, static_cast<int>(QNetworkReply::ProtocolFailure));
    EXPECT_LE(body_.size(), kMaxHttpBody);
}

TEST_F(HttpClientTest, AbortedRequestsNeverComplete) {
    nettest::TLocalServer server;
    ASSERT_TRUE(server.Start(nettest::Hang())) << server.Error();
    THttpClient* client = NewClient();
    client->Url = "https://" + server.HostPort() + "/x";
    client->GetASync();
    // Once the server has the request, dropping it must stay silent.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.Requests().empty(); }, 20000));
    client->Abort();
    EXPECT_FALSE(client->Running());
    QTest::qWait(300);
    EXPECT_EQ(done_.count, 0);

    // The client takes the next request.
    nettest::TLocalServer answering;
    ASSERT_TRUE(answering.Start(nettest::Answer("ok"))) << answering.Error();
    client->Url = "https://" + answering.HostPort() + "/y";
    client->GetASync();
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(done_.errCode, 0);
    EXPECT_EQ(body_, QByteArray("ok"));
}

} // namespace
