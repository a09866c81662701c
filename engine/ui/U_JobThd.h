// U_JobThd: TJobThd, the base of the one-shot job workers (cut, audio), and TProgressRelay,
// which carries the engine's progress from a worker to the main thread.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

class TAVIExtractor;

// Carries the end of a job from its worker to the main thread. A separate object, so that
// the worker never calls into a job that is being destroyed.
class TJobSignal : public QObject {
    Q_OBJECT
public:
    std::function<void()> OnFire; // set before the worker starts
public slots:
    void Fire() {
        if (OnFire)
            OnFire();
    }
};

// A job that runs once on its own thread. Lives on the main thread; everything it reports
// reaches the main thread through a queued call.
//
// Life: create, set Extractor and the job's fields, OnTerminate and FreeOnTerminate, then
// Start. When the work has ended (normally or with an error) the thread is joined and
// OnTerminate runs on the main thread. With FreeOnTerminate the object then deletes itself
// (deleteLater, after OnTerminate returned), so the caller must not keep the pointer beyond
// the handler. Without it the caller owns the object; deleting it waits for a running job, and
// the handler of a deleted job does not run.
//
// Errors: an exception ending the work (the engine's EAssertionFailed or EFileError, any
// std::exception) is caught and kept; Failed and ErrorMessage give it from
// OnTerminate on. The worker touches only the extractor, copies of the job's fields made at
// Start, and the kept error.
class TJobThd : public QObject {
    Q_OBJECT
public:
    explicit TJobThd(QObject* Parent = nullptr);
    ~TJobThd() override;
    TJobThd(const TJobThd&) = delete;
    TJobThd& operator=(const TJobThd&) = delete;

    TAVIExtractor* Extractor = nullptr; // nothing is done without one
    bool FreeOnTerminate = false;
    // Main thread, after the work ended; Sender is this job.
    std::function<void(TJobThd* Sender)> OnTerminate;

    // Starts the worker; a second call does nothing.
    void Start();
    // Started and its termination handler not yet run (main thread).
    bool Running() const { return started_ && !ended_; }
    // The job ended and its handler ran or is running (main thread).
    bool Finished() const { return ended_; }
    bool Failed() const { return errorKept_; }
    QString ErrorMessage() const { return QString::fromStdString(error_); }

protected:
    // Main thread, called by Start when Extractor is set: the work to run on the worker, made
    // of copies of the job's fields (a subclass may already be gone while it runs).
    virtual std::function<void()> MakeJob() = 0;

private:
    TJobSignal endSignal_;
    std::thread thread_;
    bool started_ = false;
    bool ended_ = false;
    // Written by the worker, read after the join.
    bool errorKept_ = false;
    std::string error_;

    void ThreadDone();
};

// Hands progress reported on any thread to Handler on the main thread. Reports that arrive
// faster than the main thread takes them merge: the latest value is delivered, and the final
// one (the engine reports 0 at the end of a job) always arrives, before the job's termination
// handler. Create it on the main thread and keep it alive while any job may report, e.g.:
//   Relay = new TProgressRelay([this](uint8_t p) { ShowProgress(p); }, this);
//   Extractor->OnProgress = Relay->Callback();
class TProgressRelay : public QObject {
    Q_OBJECT
public:
    explicit TProgressRelay(std::function<void(uint8_t Percent)> AHandler,
                            QObject* Parent = nullptr);

    // Any thread.
    void Report(uint8_t Percent);
    // A callable for TAVIExtractor::OnProgress that reports to this relay.
    std::function<void(uint8_t)> Callback();

private slots:
    void Deliver();

private:
    std::function<void(uint8_t)> Handler;
    std::atomic<int> latest_{0};
    std::atomic<bool> pending_{false};
};
