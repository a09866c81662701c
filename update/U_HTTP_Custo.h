// U_HTTP_Custo: the HTTP client every outgoing request uses, its profile, the HTTPS test and the
// https-to-http fallback.
#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QSslConfiguration>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <string>

class QNetworkAccessManager;

enum class THttpRequestKind { Get, Head, Post };
enum class THttpProxyAuth { None, Basic };

// What a request is sent with. ApplyClientProfile fills in the program's values; the proxy host
// stays empty (a direct request) unless the caller sets one.
struct THttpClientProfile {
    THttpRequestKind Method = THttpRequestKind::Get;
    std::string HttpVersion = "1.1";
    std::string UserAgent;
    std::string Accept;
    std::string AcceptLanguage;
    // Milliseconds without any byte moving before the request is given up; 0: no limit.
    int TimeoutMs = 0;
    THttpProxyAuth ProxyAuth = THttpProxyAuth::None;
    std::string ProxyHost;
    uint16_t ProxyPort = 0;
    std::string ProxyUserName;
    std::string ProxyPassword;
};

// Transport error codes handed to the completion event. They are the values of
// QNetworkReply::NetworkError, kept only where the transport failed:
//   1..99    the connection: 1 refused, 2 closed by the remote host, 3 host not found,
//            4 time-out, 6 TLS handshake failed (this includes a certificate that is not
//            trusted or does not name the host), 7 temporary network failure, ...
//   101..199 the proxy: 101 connection refused, 105 authentication required or refused, ...
//   301, 399 an unknown scheme, a reply that breaks the protocol.
// An HTTP status is no transport failure: when a status line arrived, Qt's codes for statuses
// (201..299, 401..499, and 302, which Qt gives to 400 and 418) become 0 and the body is
// delivered like any other. A transfer that Qt cancels itself (5) can only be its time-out
// here, since the client never reports a request that it aborted; it is reported as 4. A body
// beyond kMaxHttpBody ends the transfer as 399.
int TransportErrorCode(QNetworkReply::NetworkError Error, bool StatusLineReceived);

// Replies are small texts; anything larger is cut off rather than kept in memory.
inline constexpr qsizetype kMaxHttpBody = 1024 * 1024;

// One asynchronous request at a time, completing through the event loop of the thread that
// created the client (the main thread). Owned by the Owner given to the constructor.
class THttpClient : public QObject {
    Q_OBJECT

public:
    using TRequestDoneEvent =
        std::function<void(THttpClient* Sender, THttpRequestKind Kind, int ErrCode)>;

    explicit THttpClient(QObject* Owner);
    ~THttpClient() override;

    THttpClientProfile Profile;
    // The client's TLS context: Qt's default configuration (system CAs, peer and host name
    // verified) unless the caller adds to it.
    QSslConfiguration SslContext;
    std::string Url;
    // The caller's buffer for the body; the reply is appended to it. nullptr: the body is dropped.
    QByteArray* RcvdStream = nullptr;
    // Called once per completed request, never for one that was aborted.
    TRequestDoneEvent OnRequestDone;

    // Starts a GET of Url. Throws std::logic_error while a request runs or when the profile's
    // method is not GET, std::invalid_argument for an address that is not a valid URL.
    void GetASync();
    // Drops a running request without completion.
    void Abort();
    bool Running() const { return reply_ != nullptr; }

    // The request GetASync sends for Address.
    QNetworkRequest MakeRequest(const QUrl& Address) const;

    // Of the last completed request: the HTTP status (0 without one) and the reason phrase of
    // the status line.
    int StatusCode() const { return statusCode_; }
    const std::string& ReasonPhrase() const { return reasonPhrase_; }
    // Of the last completed request that failed: what went wrong, in the network layer's words.
    const std::string& ErrorText() const { return errorText_; }

private:
    void ReadBody();
    void Finished();

    QNetworkAccessManager* manager_;
    QNetworkReply* reply_ = nullptr;
    bool bodyTooLarge_ = false;
    int statusCode_ = 0;
    std::string reasonPhrase_;
    std::string errorText_;
};

// GET, HTTP/1.1, the browser-like headers, a 3-second time-out and basic proxy authentication.
void ApplyClientProfile(THttpClient& Client);

// Whether HTTPS can be used: the TLS library is loaded and its version lies in
// [kMinSslVersion, kMaxSslVersion] (1.1.1 to the last 3.x).
bool SslAvailable();
inline constexpr long kMinSslVersion = 0x1010100FL;
inline constexpr long kMaxSslVersion = 0x3FFFFFFFL;
bool SslVersionAccepted(long Version);
// The TLS library's own version text ("OpenSSL 3.0.11 19 Sep 2023"), or "Not Available".
std::string SslVersionText();

// "https..." becomes "http..." when HTTPS is unavailable; any other address stays.
std::string DowngradeUrl(const std::string& Url);
std::string DowngradeUrl(const std::string& Url, bool HttpsAvailable);
