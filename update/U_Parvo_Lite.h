// U_Parvo_Lite: TParvoLite, the self update check against the maker's endpoint.
#pragma once

#include "update/U_HTTP_Custo.h"
#include "update/U_Version.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QSslCertificate>

#include <cstdint>
#include <functional>
#include <string>

class TKLog;

// Asks the maker's endpoint which version is current and tells whether it is newer than the
// running one. Main thread only; one request per check, completing through the event loop.
class TParvoLite {
public:
    using TNotifyEvent = std::function<void(TParvoLite* Sender)>;

    // Log is not owned and may be null; Title leads the checker's log lines.
    TParvoLite(TKLog* Log, const std::string& Title);
    // Clears OnDone and releases the client of the last check: no completion follows.
    ~TParvoLite();
    TParvoLite(const TParvoLite&) = delete;
    TParvoLite& operator=(const TParvoLite&) = delete;

    // Starts a check of FileName (the running executable, for the program): its product and
    // company name and its version go into the query. The new client belongs to Owner. A check
    // that is still running is dropped without completion. An error while starting is swallowed;
    // Busy then stays true and OnDone never comes.
    void Check(const std::string& FileName, QObject* Owner, TNotifyEvent OnDone);
    // Completion of the client's request; calls OnDone (when set) once.
    void RequestDone(THttpClient* Client, THttpRequestKind Kind, int ErrCode);

    bool Busy() const { return busy_; }
    bool UpdateAvailable() const { return updateAvailable_; }
    bool ReplyValid() const { return replyValid_; }
    // Why the last check found no answer (the server unreachable, a reply that is no version);
    // empty after a valid reply.
    const std::string& FailureText() const { return failureText_; }

    // The host of the update-check address: CLIPVANE_UPDATE_HOST when set, else MakerHost().
    static std::string UpdateHost();
    // "https://<Host>/parvo/check.php?uid=0&ProductName=...&Company=...&VH=...&VL=...".
    static std::string CheckUrl(const std::string& Host, const std::string& ProductName,
                                const std::string& CompanyName, const TParvoVersion& Version);

    // For tests: certificates trusted in addition to the system's, e.g. a test CA. Host names
    // and chains are still verified.
    void SetExtraCaCertificates(const QList<QSslCertificate>& Certificates);
    // For tests: stands in for SslAvailable when choosing between https and http.
    void SetSslTest(bool (*SslTest)()) { sslTest_ = SslTest; }

private:
    void ReleaseClient();

    TKLog* log_;
    std::string title_;
    uint32_t startTick_ = 0;
    bool busy_ = false;
    bool updateAvailable_ = false;
    bool replyValid_ = false;
    std::string failureText_;
    TNotifyEvent onDone_;
    uint32_t runningHigh_ = 0;
    uint32_t runningLow_ = 0;
    QByteArray body_;
    // Owned by the Owner of its check as well; QPointer notices when the Owner deleted it first.
    QPointer<THttpClient> client_;
    QList<QSslCertificate> extraCaCertificates_;
    bool (*sslTest_)() = &SslAvailable;
};
