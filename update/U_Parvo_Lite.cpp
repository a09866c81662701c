// U_Parvo_Lite: TParvoLite.
#include "update/U_Parvo_Lite.h"

#include "support/files/U_TobrelUtils.h"
#include "support/log/U_Log.h"
#include "support/platform/MakerHost.h"
#include "update/U_ParvoFct.h"

#include <QString>

#include <chrono>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kCheckTimeoutMs = 10000;

uint32_t TickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    // Wraps like the system's 32-bit tick count; differences stay right across the wrap.
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

TParvoLite::TParvoLite(TKLog* Log, const std::string& Title) : log_(Log), title_(Title) {}

TParvoLite::~TParvoLite() {
    onDone_ = nullptr;
    ReleaseClient();
}

void TParvoLite::ReleaseClient() {
    THttpClient* client = client_.data();
    client_ = nullptr;
    if (!client)
        return;
    client->OnRequestDone = nullptr;
    client->Abort();
    // Later, not now: this may run inside the client's own completion.
    client->deleteLater();
}

std::string TParvoLite::UpdateHost() {
    // CLIPVANE_UPDATE_HOST ("host" or "host:port") replaces the maker's host in the update-check
    // address, e.g. to point the check at a local server; the scheme, path and query stay, and
    // the certificate must still be valid for that host.
    const char* host = std::getenv("CLIPVANE_UPDATE_HOST");
    if (host && *host)
        return host;
    return std::string(MakerHost());
}

std::string TParvoLite::CheckUrl(const std::string& Host, const std::string& ProductName,
                                 const std::string& CompanyName, const TParvoVersion& Version) {
    return "https://" + Host + "/parvo/check.php?uid=0" + "&ProductName=" + UrlEncode(ProductName) +
           "&Company=" + UrlEncode(CompanyName) + "&VH=" + Version.HighText() +
           "&VL=" + Version.LowText();
}

void TParvoLite::SetExtraCaCertificates(const QList<QSslCertificate>& Certificates) {
    extraCaCertificates_ = Certificates;
}

void TParvoLite::Check(const std::string& FileName, QObject* Owner, TNotifyEvent OnDone) {
    ReleaseClient();
    busy_ = true;
    updateAvailable_ = false;
    replyValid_ = false;
    failureText_.clear();
    KLogAdd(log_, title_ + " Update self check : Initialization", TKLog::kInfo);
    onDone_ = std::move(OnDone);
    try {
        const TDisplayedFileInfo names = GetDisplayedFileInfo(FileName);
        const TParvoVersion running(RunningVersionText(FileName));
        runningHigh_ = running.High32();
        runningLow_ = running.Low32();
        const std::string url =
            CheckUrl(UpdateHost(), names.ProductName, names.CompanyName, running);

        body_.clear();
        client_ = new THttpClient(Owner);
        if (!extraCaCertificates_.isEmpty())
            client_->SslContext.addCaCertificates(extraCaCertificates_);
        ApplyClientProfile(*client_);
        client_->Profile.TimeoutMs = kCheckTimeoutMs;
        client_->OnRequestDone = [this](THttpClient* client, THttpRequestKind kind, int errCode) {
            RequestDone(client, kind, errCode);
        };
        // The check always goes direct: the profile's proxy host stays empty.

        const std::string address = DowngradeUrl(url, sslTest_());
        if (Lower(address) != Lower(url))
            KLogAdd(log_, "ParvoLite : No SSL / Back to HTTP", TKLog::kVerbose);
        client_->Url = address;
        client_->RcvdStream = &body_;
        startTick_ = TickCount();
        client_->GetASync();
    } catch (...) {
        // The check simply never completes; the owner keeps seeing Busy.
    }
}

void TParvoLite::RequestDone(THttpClient* Client, THttpRequestKind Kind, int ErrCode) {
    if (!Client || Client != client_.data())
        return;
    failureText_.clear();
    if (ErrCode != 0 || Kind != THttpRequestKind::Get) {
        failureText_ =
            Client->ErrorText().empty() ? "error " + std::to_string(ErrCode) : Client->ErrorText();
        KLogAdd(log_,
                title_ + " Update self check : Server error (" + std::to_string(ErrCode) + ")",
                TKLog::kError);
    } else {
        const TParvoVersion reply(
            std::string(body_.constData(), static_cast<size_t>(body_.size())));
        const uint32_t elapsed = TickCount() - startTick_;
        KLogAdd(log_,
                title_ + " Update self check : Server replied " + reply.AsText() + " in " +
                    std::to_string(elapsed) + "ms",
                TKLog::kInfo);
        if (!reply.IsValid())
            KLogAdd(log_,
                    title_ + " Update self check : Server error (" + std::to_string(ErrCode) +
                        " Cause : " + Client->ReasonPhrase() + ")",
                    TKLog::kVerbose);
        replyValid_ = reply.IsValid();
        if (!replyValid_)
            failureText_ =
                Client->StatusCode() >= 400
                    ? "HTTP " + std::to_string(Client->StatusCode()) + " " + Client->ReasonPhrase()
                    : std::string("the reply is not a version number");
        updateAvailable_ = reply.IsNewerThanPair(runningHigh_, runningLow_);
    }
    busy_ = false;
    const TNotifyEvent onDone = onDone_;
    if (onDone)
        onDone(this);
}
