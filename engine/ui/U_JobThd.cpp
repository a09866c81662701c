// U_JobThd: the one-shot job worker base and the progress relay.
#include "engine/ui/U_JobThd.h"

#include "engine/avi/EngineErrors.h"

#include <QMetaObject>
#include <QPointer>

#include <exception>

TJobThd::TJobThd(QObject* Parent) : QObject(Parent) {
    endSignal_.OnFire = [this] { ThreadDone(); };
}

TJobThd::~TJobThd() {
    // Owned, not self-freeing, and deleted while running: wait, so that the worker never
    // outlives the error fields it writes. Its end, already posted to EndSignal, dies with it.
    if (thread_.joinable())
        thread_.join();
}

void TJobThd::Start() {
    if (started_)
        return;
    started_ = true;
    std::function<void()> job;
    if (Extractor)
        job = MakeJob();
    thread_ = std::thread([this, job = std::move(job)] {
        try {
            if (job)
                job();
        } catch (const std::exception& e) {
            errorKept_ = true;
            // With the system's words for the cause where there is one (a full disk, say).
            error_ = DescribeError(e);
        } catch (...) {
            errorKept_ = true;
            error_ = "Unknown error";
        }
        // By name, so that nothing of ours crosses threads outside the join.
        QMetaObject::invokeMethod(&endSignal_, "Fire", Qt::QueuedConnection);
    });
}

void TJobThd::ThreadDone() {
    // The worker's last act was posting this call; the join is immediate and makes its writes
    // visible here.
    if (thread_.joinable())
        thread_.join();
    ended_ = true;
    QPointer<TJobThd> alive(this);
    if (OnTerminate)
        OnTerminate(this);
    if (alive && FreeOnTerminate)
        deleteLater();
}

TProgressRelay::TProgressRelay(std::function<void(uint8_t)> AHandler, QObject* Parent)
    : QObject(Parent), Handler(std::move(AHandler)) {}

void TProgressRelay::Report(uint8_t Percent) {
    latest_.store(Percent);
    if (!pending_.exchange(true))
        QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
}

std::function<void(uint8_t)> TProgressRelay::Callback() {
    return [this](uint8_t Percent) { Report(Percent); };
}

void TProgressRelay::Deliver() {
    // Cleared before reading, so a report arriving now posts another delivery.
    pending_.store(false);
    const int percent = latest_.load();
    if (Handler)
        Handler(static_cast<uint8_t>(percent));
}
