// U_MainDlg: the main window's life - creation, first activation, close and destruction - and
// its commands that lead to the maker's site and the log.
#include "U_MainDlg.h"

#include "C_TextStorageComponent.h"
#include "SeekBar.h"
#include "U_AVIExtractor.h"
#include "U_JobThd.h"
#include "U_Log.h"
#include "U_MsgDlg.h"
#include "U_PictureExtractThd.h"
#include "U_SystemFacts.h"
#include "U_TobrelUtils.h"
#include "WebLinks.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>

// The pictures live in this static library; naming them here links them into the program.
static void InitAssets() {
    Q_INIT_RESOURCE(mainwindow);
}

TMainDlg::TMainDlg(QWidget* Parent) : QMainWindow(Parent) {
    InitAssets();
    setObjectName(QStringLiteral("MainDlg"));
    setWindowTitle(QCoreApplication::applicationName());
    setWindowIcon(QIcon(QStringLiteral(":/assets/clipvane-app-icon.svg")));
    CreateControls();
    CreateComponents();
    OwnComponents();
    CreateMenu();
    ConnectControls();
    Relay = new TProgressRelay([this](uint8_t Percent) { SetProgressPosition(Percent); }, this);

    // The form's client area is 499 x 569 below its menu; it is also the smallest size.
    const QSize client(499, 569 + MainMenu1->sizeHint().height());
    setMinimumSize(client);
    resize(client);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - client.width()) / 2,
             area.top() + (area.height() - client.height()) / 2);
    }
    setTabOrder(bar, start_btn);
    bar->setFocus();
}

TMainDlg::~TMainDlg() {
    // The preview worker first: it may be decoding from the engine freed below. One that does
    // not end in time is left running rather than freed under its own feet.
    if (PictureWorker && PictureWorker->TerminateAndWait(1000))
        delete PictureWorker;
    PictureWorker = nullptr;
    DroppedFiles.clear();
    // A running audio job holds the engine's lock: freeing the engine waits for it to end.
    Extractor.reset();
}

QString TMainDlg::Translate(const QString& Key) const {
    return Ts_Main->Translate(Key);
}

QString TMainDlg::BaseCaption() {
    const std::string exe = QCoreApplication::applicationFilePath().toStdString();
    return QCoreApplication::applicationName() + QStringLiteral(" v") +
           QString::fromStdString(FileVersionText(exe));
}

void TMainDlg::AppEvtActivate() {
    if (Activated)
        return;
    Activated = true;
    disconnect(qApp, nullptr, AppEvt, nullptr);

    setWindowTitle(BaseCaption());
    const std::string title = QCoreApplication::applicationName().toStdString();
    const std::string exe = QCoreApplication::applicationFilePath().toStdString();
    Log = std::make_unique<TKLog>(UserDataFolder(exe, title) + title + ".log", false, 10000, false);
    Log->Add("Starting", TKLog::kInfo);
    Log->Add(exe, TKLog::kInfo);
    Log->Add(windowTitle().toStdString(), TKLog::kInfo);
    if (!CommandLine.isEmpty())
        Log->Add(CommandLine.first().toStdString(), TKLog::kInfo);

    Extractor = std::make_unique<TAVIExtractor>();
    Extractor->OnProgress = [this](uint8_t Percent) { ShowProgress(Percent); };
    PictureWorker = new TPictureExtractThd(Extractor.get());
    connect(PictureWorker, &TPictureExtractThd::ShowFrame, this,
            [this](bool Ready, const QImage& Image) { ShowFrame(Ready, Image); });
    bar->setMaximum(bar->minimum());

    if (!CommandLine.isEmpty() && QFileInfo(CommandLine.first()).isFile())
        LoadFile(CommandLine.first());
    bar->setFocus();
}

void TMainDlg::closeEvent(QCloseEvent* Event) {
    // The audio job reads the engine that closing frees: the window closes once it has ended.
    if (ExtractingAudio()) {
        CloseWhenDone = true;
        KLogAdd(Log.get(), "Closing when the audio extraction ends", TKLog::kInfo);
        Event->ignore();
        return;
    }
    QMainWindow::closeEvent(Event);
}

void TMainDlg::Exit1Click() {
    close();
}

void TMainDlg::Help1Click() {
    OpenWithShell(HelpUrl());
}

void TMainDlg::Openlogfile1Click() {
    if (Log)
        Log->Open();
}

void TMainDlg::BugreportFeaturerequestKnownissues1Click() {
    OpenWithShellOwned(this, BugTrackerUrl());
}

void TMainDlg::ChangeLog1Click() {
    OpenWithShellOwned(this, ChangeLogUrl());
}

void TMainDlg::logo_btnClick() {
    OpenWithShellOwned(this, SoftwareCatalogueUrl());
}
