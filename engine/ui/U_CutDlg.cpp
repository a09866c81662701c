// U_CutDlg: the wait dialog of a cut.
#include "engine/ui/U_CutDlg.h"

#include "engine/ui/U_CutThd.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPointer>

TCutDlg::TCutDlg(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("CutDlg"));
    setWindowTitle(QStringLiteral("Please wait..."));
    setFixedSize(257, 53);
    wait_lbl = new QLabel(QStringLiteral("Please wait..."), this);
    wait_lbl->setObjectName(QStringLiteral("wait_lbl"));
    wait_lbl->move(88, 16);
    wait_lbl->adjustSize();
}

int TCutDlg::Run() {
    Busy = true;
    failed_ = false;
    error_.clear();
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
    return exec();
}

void TCutDlg::CutDone(TJobThd* Sender) {
    Busy = false;
    if (Sender) {
        failed_ = Sender->Failed();
        error_ = Sender->ErrorMessage();
    }
    done(QDialog::Accepted);
}

void TCutDlg::reject() {
    if (!Busy)
        QDialog::reject();
}

void TCutDlg::closeEvent(QCloseEvent* Event) {
    if (Busy) {
        Event->ignore();
        return;
    }
    QDialog::closeEvent(Event);
}
