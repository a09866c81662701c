// U_CutDlg: TCutDlg, the modal "Please wait..." dialog that runs one cut on a TCutThd and
// cannot be closed until the cut has ended.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>

class QLabel;
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

    // Starts the cut worker on Extractor (whose output was created) and shows the dialog
    // modally until the worker has ended; returns the modal result (Accepted).
    int Run();
    // Whether the last cut failed, and the engine's message; read after Run returned.
    bool LastFailed() const { return failed_; }
    const QString& LastError() const { return error_; }

    // The cut worker's termination handler (main thread).
    void CutDone(TJobThd* Sender);

    QLabel* wait_lbl;

public slots:
    // Escape and programmatic rejects are refused while Busy.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    bool failed_ = false;
    QString error_;
};
