// U_HTTP_Custo: THttpClient on Qt Network, the client profile, the HTTPS test.
#include "update/U_HTTP_Custo.h"

#include "support/files/U_TobrelUtils.h"
#include "support/platform/U_SystemFacts.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QSslSocket>

#include <stdexcept>
#include <utility>

int TransportErrorCode(QNetworkReply::NetworkError Error, bool StatusLineReceived) {
    const int code = static_cast<int>(Error);
    if (Error == QNetworkReply::NoError)
        return 0;
    if (StatusLineReceived && ((code >= 201 && code <= 299) || (code >= 401 && code <= 499) ||
                               Error == QNetworkReply::ProtocolInvalidOperationError))
        return 0;
    if (Error == QNetworkReply::OperationCanceledError)
        return QNetworkReply::TimeoutError;
    return code;
}

THttpClient::THttpClient(QObject* Owner)
    : QObject(Owner), SslContext(QSslConfiguration::defaultConfiguration()),
      manager_(new QNetworkAccessManager(this)) {}

THttpClient::~THttpClient() {
    Abort();
}

QNetworkRequest THttpClient::MakeRequest(const QUrl& Address) const {
    QNetworkRequest request(Address);
    // Only the profile's version is spoken: no HTTP/2 through ALPN or an upgrade.
    const bool http2 = Profile.HttpVersion == "2";
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, http2);
    request.setAttribute(QNetworkRequest::Http2CleartextAllowedAttribute, false);
    request.setRawHeader("User-Agent", QByteArray::fromStdString(Profile.UserAgent));
    request.setRawHeader("Accept", QByteArray::fromStdString(Profile.Accept));
    request.setRawHeader("Accept-Language", QByteArray::fromStdString(Profile.AcceptLanguage));
    request.setTransferTimeout(Profile.TimeoutMs);
    if (Address.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0)
        request.setSslConfiguration(SslContext);
    return request;
}

void THttpClient::GetASync() {
    if (reply_)
        throw std::logic_error("a request is running");
    if (Profile.Method != THttpRequestKind::Get)
        throw std::logic_error("only GET is supported");
    const QUrl url(QString::fromStdString(Url), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        throw std::invalid_argument("not a valid address: " + Url);

    if (Profile.ProxyHost.empty()) {
        manager_->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    } else {
        // Qt answers the proxy's challenge with these credentials; the proxy asks for Basic.
        QNetworkProxy proxy(QNetworkProxy::HttpProxy, QString::fromStdString(Profile.ProxyHost),
                            Profile.ProxyPort);
        if (Profile.ProxyAuth != THttpProxyAuth::None) {
            proxy.setUser(QString::fromStdString(Profile.ProxyUserName));
            proxy.setPassword(QString::fromStdString(Profile.ProxyPassword));
        }
        manager_->setProxy(proxy);
    }

    bodyTooLarge_ = false;
    statusCode_ = 0;
    reasonPhrase_.clear();
    reply_ = manager_->get(MakeRequest(url));
    connect(reply_, &QNetworkReply::readyRead, this, &THttpClient::ReadBody);
    connect(reply_, &QNetworkReply::finished, this, &THttpClient::Finished);
}

void THttpClient::Abort() {
    QNetworkReply* reply = std::exchange(reply_, nullptr);
    if (!reply)
        return;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void THttpClient::ReadBody() {
    // An aborted reply is closed and has nothing more to give.
    if (!reply_ || !reply_->isOpen())
        return;
    const QByteArray data = reply_->readAll();
    if (bodyTooLarge_)
        return;
    const qsizetype held = RcvdStream ? RcvdStream->size() : 0;
    if (data.size() > kMaxHttpBody - held) {
        bodyTooLarge_ = true;
        // Ends the transfer; finished() follows and reports it.
        reply_->abort();
        return;
    }
    if (RcvdStream)
        RcvdStream->append(data);
}

void THttpClient::Finished() {
    ReadBody();
    QNetworkReply* reply = std::exchange(reply_, nullptr);
    if (!reply)
        return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    statusCode_ = status.isValid() ? status.toInt() : 0;
    reasonPhrase_ =
        reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray().toStdString();
    const int errCode = bodyTooLarge_ ? static_cast<int>(QNetworkReply::ProtocolFailure)
                                      : TransportErrorCode(reply->error(), status.isValid());
    errorText_.clear();
    if (errCode != 0)
        errorText_ = bodyTooLarge_ ? std::string("the reply is too large")
                                   : reply->errorString().toStdString();
    reply->deleteLater();
    // A copy: the handler may start the next request or release this client.
    const TRequestDoneEvent handler = OnRequestDone;
    if (handler)
        handler(this, Profile.Method, errCode);
}

void ApplyClientProfile(THttpClient& Client) {
    THttpClientProfile& p = Client.Profile;
    p.Method = THttpRequestKind::Get;
    p.HttpVersion = "1.1";
    p.UserAgent = "Mozilla/5.0";
    p.Accept = "text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,*/*;q=0.8";
    p.AcceptLanguage = "fr,fr-fr;q=0.8,en-us;q=0.5,en;q=0.3";
    p.TimeoutMs = 3000;
    p.ProxyAuth = THttpProxyAuth::Basic;
}

bool SslVersionAccepted(long Version) {
    return Version >= kMinSslVersion && Version <= kMaxSslVersion;
}

bool SslAvailable() {
    if (IsBeforeVista())
        return false;
    try {
        // Loads Qt's TLS backend and through it the OpenSSL libraries, once.
        if (!QSslSocket::supportsSsl())
            return false;
        return SslVersionAccepted(QSslSocket::sslLibraryVersionNumber());
    } catch (...) {
        return false;
    }
}

std::string SslVersionText() {
    try {
        if (!SslAvailable())
            return "Not Available";
        return QSslSocket::sslLibraryVersionString().toStdString();
    } catch (...) {
        return "Not Available";
    }
}

std::string DowngradeUrl(const std::string& Url, bool HttpsAvailable) {
    if (!HttpsAvailable && StartsText(Url, "https"))
        return "http" + RemovePrefix(Url, "https");
    return Url;
}

std::string DowngradeUrl(const std::string& Url) {
    return DowngradeUrl(Url, SslAvailable());
}
