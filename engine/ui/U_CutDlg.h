// U_CutDlg: TCutDlg, the modal "Please wait..." dialog that runs one cut on a TCutThd, with the
// cut's progress, the time left, and a Cancel button that stops it.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;
class TAVIExtractor;
class TJobThd;

class TCutDlg : public QDialog {
    Q_OBJECT
public:
    explicit TCutDlg(QWidget* Parent = nullptr);

    TAVIExtractor* Extractor = nullptr; // the main window's engine
    bool Busy = false;
    int32_t FirstFrame = 0;
    int32_t LastFrame = 0;
    // The "%s - about %s left" text in the language in use; the percentage and a duration go
    // in its place.
    QString TimeLeftText = QStringLiteral("%s - about %s left");

    // Starts the cut worker on Extractor (whose output was created) and shows the dialog
    // modally until the worker has ended; returns the modal result (Accepted).
    int Run();
    // Whether the last cut failed (a cancelled one too), the engine's message, and whether it
    // was cancelled; read after Run returned.
    bool LastFailed() const { return failed_; }
    const QString& LastError() const { return error_; }
    bool LastCancelled() const { return cancelled_; }
    // The user asked to quit the program while the cut ran (Ctrl+Q): it was cancelled too.
    bool QuitAsked() const { return quitAsked_; }

    // The cut's progress (main thread).
    void SetProgress(uint8_t Percent);
    // Text with the percentage and the time left (rounded up) in place of its two "%s"; empty
    // while too little has been done to tell.
    static QString TimeLeftLine(const QString& Text, int Percent, qint64 ElapsedMs);
    // Asks the running cut to stop; it ends at its next chunk.
    void Cancel();

    // The cut worker's termination handler (main thread).
    void CutDone(TJobThd* Sender);

    QLabel* wait_lbl;
    QProgressBar* prog;
    QLabel* time_lbl;
    QPushButton* cancel_btn;

public slots:
    // Escape cancels the cut; once it has ended the dialog closes as any dialog.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    bool failed_ = false;
    bool cancelled_ = false;
    bool quitAsked_ = false;
    QString error_;
    std::atomic<bool> stop_{false};
    QElapsedTimer clock_;
};
