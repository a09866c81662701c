// U_MainDlg: the main window's life - creation, first activation, close and destruction - and
// its commands that lead to the maker's site and the log.
#include "mainwindow/U_MainDlg.h"

#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/Playback.h"
#include "engine/ui/U_JobThd.h"
#include "engine/ui/U_PictureExtractThd.h"
#include "localisation/ui/C_LangPack.h"
#include "localisation/ui/C_LangRecord.h"
#include "localisation/ui/C_TextStorageComponent.h"
#include "localisation/ui/ComponentModel.h"
#include "mainwindow/FrameImage.h"
#include "mainwindow/Readout.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/U_DragDrop.h"
#include "mainwindow/dialogs/U_MsgDlg.h"
#include "mainwindow/handoff/XolTools.h"
#include "support/files/U_TobrelUtils.h"
#include "support/log/U_Log.h"
#include "support/platform/ShellAssociation.h"
#include "support/platform/U_SystemFacts.h"
#include "support/settings/SettingsStore.h"
#include "support/settings/U_TobrelSettings.h"
#include "update/U_HTTP_Custo.h"
#include "update/U_Parvo_Lite.h"

#include <QAction>
#include <QApplicationStateChangeEvent>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <exception>

// The pictures live in this static library; naming them here links them into the program.
static void InitAssets() {
    Q_INIT_RESOURCE(mainwindow);
}

namespace {

// "PictureCacheMB": the memory for pictures kept for stepping back, 0 for none; a missing or
// unreadable value leaves the default.
size_t PictureCacheSetting() {
    const QString text = QString::fromStdString(ReadAppSetting("PictureCacheMB")).trimmed();
    bool ok = false;
    const qlonglong mb = text.toLongLong(&ok);
    if (!ok || mb < 0 || mb > 65536)
        return TPictureCache::kDefaultBudget;
    return static_cast<size_t>(mb) << 20;
}

} // namespace

TApplicationEvents::TApplicationEvents(QObject* Parent) : QObject(Parent) {
    qApp->installEventFilter(this);
}

bool TApplicationEvents::eventFilter(QObject* Watched, QEvent* Event) {
    // The same events the language list reacts to, so that it always runs first.
    const bool activated =
        Watched == qApp &&
        (Event->type() == QEvent::ApplicationActivate ||
         (Event->type() == QEvent::ApplicationStateChange &&
          static_cast<QApplicationStateChangeEvent*>(Event)->applicationState() ==
              Qt::ApplicationActive));
    if (activated && OnActivate) {
        // The handler may clear itself.
        const std::function<void()> handler = OnActivate;
        handler();
    }
    return false;
}

TMainDlg::TMainDlg(QWidget* Parent, bool PortableImport) : QMainWindow(Parent) {
    InitAssets();
    setObjectName(QStringLiteral("MainDlg"));
    setWindowTitle(QCoreApplication::applicationName());
    setWindowIcon(QIcon(QStringLiteral(":/assets/clipvane-app-icon.svg")));
    CreateControls();
    CreateComponents();
    OwnComponents();
    CreateMenu();
    // The language list has nothing to translate: its place among the components only has to
    // keep the controls and the menu where language files expect them.
    comp::Own(this, Langue);
    ConnectControls();
    relay_ = new TProgressRelay([this](uint8_t Percent) { SetProgressPosition(Percent); }, this);
    qApp->installEventFilter(this);

    PlaceOnScreen();
    setTabOrder(bar, start_btn);
    bar->setFocus();
    if (PortableImport)
        FormCreate();
}

void TMainDlg::PlaceOnScreen() {
    // The layout keeps the window at least as large as its controls need, in whatever language;
    // the picture keeps room enough to judge a cut.
    img->setMinimumSize(160, 90);
    const QSize smallest = minimumSizeHint();
    // The form's client area is 499 x 569 below its menu, as long as the screen has room for it
    // with the window's frame.
    QSize first = QSize(499, 569 + MainMenu1->sizeHint().height()).expandedTo(smallest);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize frame(16, 48); // a title bar and borders, before the window manager says
        first = first.boundedTo(area.size() - frame).expandedTo(smallest);
        move(area.left() + std::max(0, (area.width() - first.width() - frame.width()) / 2),
             area.top() + std::max(0, (area.height() - first.height() - frame.height()) / 2));
    }
    resize(first);
}

TMainDlg::~TMainDlg() {
    RevokeDropTarget(this);
    // The playback decodes from the engine freed below.
    delete Player;
    Player = nullptr;
    // The preview worker next: it may be decoding from the engine freed below. One that does
    // not end in time is left running rather than freed under its own feet.
    if (PictureWorker && PictureWorker->TerminateAndWait(1000))
        delete PictureWorker;
    PictureWorker = nullptr;
    DroppedFiles.clear();
    // A running audio job holds the engine's lock: freeing the engine waits for it to end.
    Extractor.reset();
    Updater.reset();
    if (Log) {
        reg::SetSettingsLogHook({});
        reg::SetSettingsWriteFailureHook({});
    }
}

std::string TMainDlg::ExePath() {
    return QCoreApplication::applicationFilePath().toStdString();
}

std::string TMainDlg::PortableSettingsFile() {
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("settings.ini"))
        .toStdString();
}

void TMainDlg::FormCreate() {
    // Before anything reads a setting: a portable copy carries its settings beside it.
    if (!IsInstalled(kInstalledPrefix))
        ImportSettingsIni(kAppTitle, PortableSettingsFile());
}

void TMainDlg::FirstActivation() {
    if (Langue && !Langue->Initialized()) {
        // A broken language file has no caller to reach; the user sees it as any error.
        try {
            Langue->FirstActivate();
        } catch (const ELanguageFileError& e) {
            ReportLanguageFile(e);
        } catch (const std::exception& e) {
            MsgBox(this, QString::fromUtf8(e.what()), kMbOk, kKindError);
        }
    }
    AppEvtActivate();
}

QString TMainDlg::Translate(const QString& Key) const {
    return Ts_Main->Translate(Key);
}

QString TMainDlg::TranslateWith(const QString& Key, const QStringList& Args) const {
    return FillPlaceholders(Translate(Key), Args);
}

QString TMainDlg::BaseCaption() {
    const std::string exe = QCoreApplication::applicationFilePath().toStdString();
    return QCoreApplication::applicationName() + QStringLiteral(" v") +
           QString::fromStdString(FileVersionText(exe));
}

void TMainDlg::AppEvtActivate() {
    if (activated_)
        return;
    activated_ = true;
    AppEvt->OnActivate = nullptr;

    const std::string title = QCoreApplication::applicationName().toStdString();
    const std::string exe = ExePath();
    // Sibling programs of the maker find this one through this value.
    WriteMakerValue(title, exe);
    setWindowTitle(BaseCaption());
    Log = std::make_unique<TKLog>(UserDataFolder(exe, title) + title + ".log", false, 10000, false);
    TKLog* log = Log.get();
    reg::SetSettingsLogHook(
        [log](const std::string& Message, int Level) { log->Add(Message, Level); });
    reg::SetSettingsWriteFailureHook(
        [this](const std::string& Message) { ReportSettingsWriteFailure(Message); });
    for (const std::string& line : earlyLogLines_)
        Log->Add(line, TKLog::kError);
    earlyLogLines_.clear();
    Log->Add("Starting", TKLog::kInfo);
    Log->Add(exe, TKLog::kInfo);
    Log->Add(windowTitle().toStdString(), TKLog::kInfo);
    Log->Add(LinuxVersionLine(), TKLog::kInfo);
    Log->Add("64Bits : " + YesNo(Is64BitSystem()), TKLog::kInfo);
    Log->Add("Administrator : " + YesNo(IsAdministrator()), TKLog::kInfo);
    if (!CommandLine.isEmpty()) {
        Log->Add(CommandLine.first().toStdString(), TKLog::kInfo);
        VerbRun = RunCommandLineVerb(CommandLine.first());
    }
    Log->Add("OpenSSL : " + (SslAvailable() ? SslVersionText() : std::string("Not Available")),
             TKLog::kInfo);

    Extractor = std::make_unique<TAVIExtractor>();
    Extractor->OnProgress = [this](uint8_t Percent) { ShowProgress(Percent); };
    PictureWorker = new TPictureExtractThd(Extractor.get());
    connect(PictureWorker, &TPictureExtractThd::ShowFrame, this,
            [this](bool Ready, const QImage& Image) { ShowFrame(Ready, Image); });
    CreatePlayer();
    bar->SetFrameCount(0);
    // A verb run reads no settings (see below).
    if (!VerbRun)
        Extractor->PictureCacheBytes = PictureCacheSetting();

    DroppedFiles.clear();
    RegisterDropTarget(this, &DroppedFiles, {}, [this](TMyWideDropTarget*) { FilesDropped(); });
    UpdateAssociationMenu();
    if (!VerbRun)
        OpenCommandLineFile();

    Updater = std::make_unique<TParvoLite>(Log.get(), title);
    // A verb run has already exported and cleared the settings: reading would create the
    // program key again.
    if (!VerbRun && ReadAppSetting("AutoUpdate") != "0") {
        Log->Add("Check for update", TKLog::kInfo);
        QuietUpdateCheck = true;
        Checkforupdate1Click();
    }
    bar->setFocus();
}

bool TMainDlg::RunCommandLineVerb(const QString& Verb) {
    // Installers and uninstallers call the program this way; the run ends once it is done.
    if (Verb == QLatin1String("register")) {
        const std::string error =
            Associate(Translate(QStringLiteral("Open with Clipvane")).toStdString(), ExePath());
        if (!error.empty())
            KLogAdd(Log.get(), error, TKLog::kError);
    } else if (Verb == QLatin1String("unregister")) {
        const std::string error = Dissociate();
        if (!error.empty())
            KLogAdd(Log.get(), error, TKLog::kError);
    } else {
        return false;
    }
    close();
    return true;
}

void TMainDlg::OpenCommandLineFile() {
    // Any existing file: the loader itself tells the user about a type it does not take.
    if (!CommandLine.isEmpty() && QFileInfo(CommandLine.first()).isFile())
        LoadFile(CommandLine.first());
}

void TMainDlg::closeEvent(QCloseEvent* Event) {
    // The audio job reads the engine that closing frees: the window closes once it has ended.
    if (ExtractingAudio()) {
        closeWhenDone_ = true;
        KLogAdd(Log.get(), "Closing when the audio extraction ends", TKLog::kInfo);
        Event->ignore();
        return;
    }
    StopPlayback();
    FormClose();
    QMainWindow::closeEvent(Event);
}

void TMainDlg::FormClose() {
    const std::string folder = QCoreApplication::applicationDirPath().toStdString();
    const std::string cleaned = CleanVirtualStore(folder);
    if (!cleaned.empty())
        KLogAdd(Log.get(), "Cleaning VirtualStore : " + cleaned, TKLog::kVerbose);
    if (IsInstalled(kInstalledPrefix))
        return;
    RemoveEmptyMakerFolder();
    // Only settings that reached the file leave the registry, so a failed export loses nothing.
    if (ExportSettingsIni(kAppTitle, PortableSettingsFile())) {
        DeleteAppKey(kAppTitle);
        DeleteMakerValue(kAppTitle);
        RemoveEmptyMakerKey();
    }
}

void TMainDlg::Exit1Click() {
    close();
}

void TMainDlg::HandOff(const QString& Target, bool Taken) {
    if (Taken)
        return;
    KLogAdd(Log.get(), "Nothing could open " + Target.toStdString(), TKLog::kError);
    ReportHandOff(this, Target, false, [this](const QString& Text) { return Translate(Text); });
}

void TMainDlg::Help1Click() {
    HandOff(HelpUrl(), OpenWithShell(HelpUrl()));
}

void TMainDlg::Openlogfile1Click() {
    if (Log)
        HandOff(QString::fromStdString(Log->FileName()), Log->Open());
}

void TMainDlg::BugreportFeaturerequestKnownissues1Click() {
    HandOff(BugTrackerUrl(), OpenWithShellOwned(this, BugTrackerUrl()));
}

void TMainDlg::ChangeLog1Click() {
    HandOff(ChangeLogUrl(), OpenWithShellOwned(this, ChangeLogUrl()));
}

void TMainDlg::logo_btnClick() {
    HandOff(SoftwareCatalogueUrl(), OpenWithShellOwned(this, SoftwareCatalogueUrl()));
}
