// U_CutDlg: the wait dialog of a cut.
#include "engine/ui/U_CutDlg.h"

#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/U_CutThd.h"
#include "support/files/U_TobrelUtils.h"

#include <QCloseEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

TCutDlg::TCutDlg(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("CutDlg"));
    setWindowTitle(QStringLiteral("Please wait..."));
    wait_lbl = new QLabel(QStringLiteral("Please wait..."), this);
    wait_lbl->setObjectName(QStringLiteral("wait_lbl"));
    prog = new QProgressBar(this);
    prog->setObjectName(QStringLiteral("prog"));
    prog->setRange(0, 100);
    prog->setFormat(QStringLiteral("%p%"));
    time_lbl = new QLabel(this);
    time_lbl->setObjectName(QStringLiteral("time_lbl"));
    cancel_btn = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_btn->setObjectName(QStringLiteral("cancel_btn"));
    connect(cancel_btn, &QPushButton::clicked, this, [this] { Cancel(); });
    // Quitting during a cut stops the cut first; the window closes once it has ended.
    auto* quit = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Q")), this);
    connect(quit, &QShortcut::activated, this, [this] {
        quitAsked_ = true;
        Cancel();
    });
    auto* column = new QVBoxLayout(this);
    column->addWidget(wait_lbl, 0, Qt::AlignHCenter);
    column->addWidget(prog);
    column->addWidget(time_lbl, 0, Qt::AlignHCenter);
    column->addWidget(cancel_btn, 0, Qt::AlignHCenter);
    setMinimumWidth(320);
}

int TCutDlg::Run() {
    Busy = true;
    failed_ = cancelled_ = quitAsked_ = false;
    error_.clear();
    stop_ = false;
    prog->setValue(0);
    time_lbl->clear();
    cancel_btn->setEnabled(true);
    clock_.start();
    if (Extractor)
        Extractor->ShouldStop = [this] { return stop_.load(); };
    auto* worker = new TCutThd;
    worker->Extractor = Extractor;
    worker->FirstFrame = FirstFrame;
    worker->LastFrame = LastFrame;
    worker->FreeOnTerminate = true;
    // The worker frees itself after its handler; should this dialog be gone by then, the
    // handler has nothing left to close.
    QPointer<TCutDlg> self(this);
    worker->OnTerminate = [self](TJobThd* Sender) {
        if (self)
            self->CutDone(Sender);
    };
    worker->Start();
    // The worker's end is a queued call, so it is served by this modal loop at the earliest.
    const int result = exec();
    if (Extractor)
        Extractor->ShouldStop = nullptr;
    return result;
}

void TCutDlg::SetProgress(uint8_t Percent) {
    if (!Busy)
        return;
    prog->setValue(Percent);
    const QString line =
        TimeLeftLine(TimeLeftText, Percent, clock_.isValid() ? clock_.elapsed() : 0);
    if (!line.isEmpty())
        time_lbl->setText(line);
}

QString TCutDlg::TimeLeftLine(const QString& Text, int Percent, qint64 ElapsedMs) {
    // A guess only once there is something to go by.
    if (Percent < 2 || Percent >= 100 || ElapsedMs < 1000)
        return QString();
    const qint64 leftMs = ElapsedMs * (100 - Percent) / Percent;
    QString line = Text;
    const qsizetype first = line.indexOf(QStringLiteral("%s"));
    if (first < 0)
        return line;
    line.replace(first, 2, QString::number(Percent) + QLatin1Char('%'));
    const qsizetype second = line.indexOf(QStringLiteral("%s"), first);
    if (second >= 0)
        line.replace(second, 2, QString::fromStdString(FormatDuration((leftMs + 999) / 1000)));
    return line;
}

void TCutDlg::Cancel() {
    if (!Busy)
        return;
    stop_ = true;
    cancel_btn->setEnabled(false);
}

void TCutDlg::CutDone(TJobThd* Sender) {
    Busy = false;
    if (Sender) {
        failed_ = Sender->Failed();
        error_ = Sender->ErrorMessage();
    }
    cancelled_ = failed_ && stop_;
    done(QDialog::Accepted);
}

void TCutDlg::reject() {
    if (Busy)
        Cancel();
    else
        QDialog::reject();
}

void TCutDlg::closeEvent(QCloseEvent* Event) {
    if (Busy) {
        Cancel();
        Event->ignore();
        return;
    }
    QDialog::closeEvent(Event);
}
