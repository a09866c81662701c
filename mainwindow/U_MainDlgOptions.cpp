// U_MainDlgOptions: the language switch, the update command, About, the file association, drops
// on the window and the hand-offs to the burner, the DVD converter and the codec tool.
#include "mainwindow/U_MainDlg.h"

#include "engine/jobs/U_AVIExtractor.h"
#include "localisation/Ts_MainTexts.h"
#include "localisation/ui/C_LangPack.h"
#include "localisation/ui/C_LangRecord.h"
#include "localisation/ui/C_TextStorageComponent.h"
#include "localisation/ui/U_LangDlg.h"
#include "mainwindow/U_DragDrop.h"
#include "mainwindow/U_about.h"
#include "mainwindow/dialogs/C_WideDialogs.h"
#include "mainwindow/dialogs/U_MsgDlg.h"
#include "mainwindow/handoff/C2CD.h"
#include "mainwindow/handoff/WebLinks.h"
#include "mainwindow/handoff/XolTools.h"
#include "support/log/U_Log.h"
#include "support/platform/ShellAssociation.h"
#include "update/U_Parvo_Lite.h"

#include <QAction>
#include <QCoreApplication>
#include <QTimer>

#include <exception>

void TMainDlg::LangueAfterLanguageSwitch() {
    // At the first activation the log does not exist yet: that line is lost on purpose.
    KLogAdd(Log.get(), "Language : " + Langue->GetLanguageName().toStdString(), TKLog::kInfo);
    StopPlayback();
    RetranslatePlayback();

    // Only the names are translated; the patterns after them stay as they are.
    const QString avi = Translate(QStringLiteral("AVI Files")) + QStringLiteral(" (*.avi)|*.avi");
    JSDAvi->Filter = avi;
    JSDSound->Filter = Translate(QStringLiteral("MP3 Files")) + QStringLiteral(" (*.mp3)|*.mp3");
    JSDPic->Filter = Translate(QStringLiteral("Bitmap Files")) + QStringLiteral(" (*.bmp)|*.bmp") +
                     QStringLiteral("|") + Translate(QStringLiteral("JPEG Files")) +
                     QStringLiteral(" (*.jpg, *.jpeg)|*.jpg;*.jpeg");
    WOD->Filter = avi;

    CaptionMessage = Translate(QStringLiteral("Message"));
    CaptionWarning = Translate(QStringLiteral("Warning"));
    CaptionError = Translate(QStringLiteral("Error"));
    CaptionQuestion = Translate(QStringLiteral("Question"));
    CaptionInformation = Translate(QStringLiteral("Information"));
    ButtonYes = Translate(QStringLiteral("Yes"));
    ButtonNo = Translate(QStringLiteral("No"));
    ButtonOk = Translate(QStringLiteral("OK"));
    ButtonCancel = Translate(QStringLiteral("Cancel"));

    // The desktop's "Open with" entry speaks the new language too; a failure here must not stop
    // the switch.
    try {
        const std::string caption = Translate(QStringLiteral("Open with Clipvane")).toStdString();
        if (IsAssociated() && AssociationOutdated(caption))
            (void)Associate(caption, ExePath());
    } catch (const std::exception&) {
    }
}

void TMainDlg::ReportLanguageFile(const ELanguageFileError& Error) {
    const std::string line = std::string("Language file left out: ") + Error.what();
    if (Log)
        Log->Add(line, TKLog::kError);
    else
        earlyLogLines_.push_back(line);
    const std::string what = Error.what();
    // The reason follows the file's name in the error's text.
    const QString file = Error.File.isEmpty() ? QString() : Error.File;
    QString reason = QString::fromStdString(what);
    if (!file.isEmpty() && reason.startsWith(file + QStringLiteral(": ")))
        reason = reason.mid(file.size() + 2);
    MsgBox(this,
           TranslateWith(QStringLiteral("The language file %s cannot be used and is left out: %s"),
                         {file, reason}),
           kMbOk, kKindError);
}

void TMainDlg::ReportSettingsWriteFailure(const std::string& Message) {
    if (settingsFailureShown_)
        return;
    settingsFailureShown_ = true;
    // Shown once the change that failed has finished, not from inside the settings call.
    QTimer::singleShot(0, this, [this, Message] {
        MsgBox(this,
               TranslateWith(QStringLiteral("Clipvane cannot save its settings, so this change "
                                            "will not be remembered: %s"),
                             {QString::fromStdString(Message)}),
               kMbOk, kKindWarning);
    });
}

void TMainDlg::Language1Click() {
    // A confirmed choice has already switched the language by the time the dialog closes.
    if (LangDlg)
        LangDlg->Execute();
}

void TMainDlg::Checkforupdate1Click() {
    if (!Updater || Updater->Busy())
        return;
    // Disabled until the check completes, so that checks never overlap.
    Checkforupdate1->setEnabled(false);
    KLogAdd(Log.get(), "Self update check...", TKLog::kInfo);
    Updater->Check(ExePath(), this, [this](TParvoLite*) { UpdateCheckDone(); });
}

void TMainDlg::UpdateCheckDone() {
    if (Updater && Updater->UpdateAvailable()) {
        KLogAdd(Log.get(), "New version of Clipvane is detected", TKLog::kInfo);
        // Enter alone should not send the user off to a web page.
        if (MsgBox(this,
                   Translate(QStringLiteral("A new version of Clipvane is available. Do "
                                            "you want to download update now ?")),
                   kMbYesNo, kKindQuestion, true) == kIdYes)
            HandOff(DownloadPageUrl(), OpenWithShell(DownloadPageUrl()));
    } else if (Updater && Updater->ReplyValid()) {
        KLogAdd(Log.get(), "Clipvane is already up to date.", TKLog::kInfo);
        // The check at start-up speaks only of a newer version.
        if (!QuietUpdateCheck)
            ShowMessage(Translate(QStringLiteral("Clipvane is already up to date.")));
    } else if (Updater && !QuietUpdateCheck) {
        // Asked for, so answered; the check at start-up stays silent and only logs.
        MsgBox(this,
               TranslateWith(QStringLiteral("The update check failed: %s"),
                             {QString::fromStdString(Updater->FailureText())}),
               kMbOk, kKindWarning);
    }
    Checkforupdate1->setEnabled(true);
    QuietUpdateCheck = false;
}

void TMainDlg::About1Click() {
    // The box fills its texts each time it is shown.
    if (AboutDlg)
        AboutDlg->Execute();
}

void TMainDlg::Keys1Click() {
    QString text = Translate(QStringLiteral("Keyboard shortcuts")) + QStringLiteral("\n");
    for (const char* line : kKeyListTexts)
        text += QStringLiteral("\n") + Translate(QString::fromLatin1(line));
    MsgBox(this, text, kMbOk, kKindInformation);
}

void TMainDlg::UpdateAssociationMenu() {
    Enable1->setEnabled(!IsAssociated());
    Disable1->setEnabled(!Enable1->isEnabled());
}

void TMainDlg::Enable1Click() {
    const std::string error =
        Associate(Translate(QStringLiteral("Open with Clipvane")).toStdString(), ExePath());
    if (!error.empty())
        KLogAdd(Log.get(), error, TKLog::kError);
    UpdateAssociationMenu();
}

void TMainDlg::Disable1Click() {
    const std::string error = Dissociate();
    if (!error.empty())
        KLogAdd(Log.get(), error, TKLog::kError);
    UpdateAssociationMenu();
}

void TMainDlg::FilesDropped() {
    // LoadFile itself waits for a running audio extraction.
    const QString file = TakeDroppedFile(DroppedFiles);
    if (!file.isEmpty())
        LoadFile(file);
}

namespace {

QString CurrentFile(const TAVIExtractor* Extractor) {
    return Extractor ? QString::fromStdString(Extractor->FileName) : QString();
}

} // namespace

void TMainDlg::BurntoCD1Click() {
    BurnToCd(this, C2CDDlg, CurrentFile(Extractor.get()),
             [this](const QString& Text) { return Translate(Text); });
}

void TMainDlg::ConverttoDVD1Click() {
    ConvertToDvd(this, CurrentFile(Extractor.get()),
                 [this](const QString& Text) { return Translate(Text); });
}

void TMainDlg::check_btnClick() {
    CheckVideoCodecs(this, CurrentFile(Extractor.get()),
                     [this](const QString& Text) { return Translate(Text); });
}
