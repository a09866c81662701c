// XolTools: handing the current file to the burner, the DVD converter and the codec tool.
#include "mainwindow/handoff/XolTools.h"

#include "mainwindow/dialogs/U_MsgDlg.h"
#include "mainwindow/handoff/BurnerWatch.h"
#include "mainwindow/handoff/C2CD.h"
#include "support/files/U_TobrelUtils.h"
#include "support/files/U_UnicodeUtils.h"

#include <QFileInfo>

namespace {

QString Tr(const TTranslate& Translate, const char* English) {
    const QString text = QString::fromUtf8(English);
    return Translate ? Translate(text) : text;
}

bool FileExists(const QString& Name) {
    return WideFileExists(Name.toStdString());
}

// Not part of the XOL hand-off: on a desktop that has its own program for the job, the user is
// asked first whether to use it, and only then offered the maker's download. True when the
// program was started.
bool OfferDesktopProgram(QWidget* Owner, const QString& Program, const char* Question,
                         const QString& FileName, const TTranslate& Translate) {
    if (Program.isEmpty() || !FileExists(FileName))
        return false;
    QString text = Tr(Translate, Question);
    text.replace(QStringLiteral("%s"), QFileInfo(Program).fileName());
    if (AskYesNo(Owner, text) != kIdYes)
        return false;
    ReportHandOff(Owner, Program, StartProgram(Program, {FileName}).Pid > 0, Translate);
    return true;
}

// The download question; true when the user said Yes and the page was opened.
bool OfferDownload(QWidget* Owner, const char* Question, const TTranslate& Translate) {
    // Enter alone should not send the user off to a web page.
    if (MsgBox(Owner, Tr(Translate, Question), kMbYesNo, kKindWarning, true) != kIdYes)
        return false;
    const QString page = QString::fromStdString(PartnerPageUrl());
    ReportHandOff(Owner, page, OpenWithShellOwned(Owner, page), Translate);
    return true;
}

} // namespace

bool ReportHandOff(QWidget* Owner, const QString& Target, bool Taken, const TTranslate& Translate) {
    if (!Taken) {
        QString text = Tr(Translate, kNothingOpensText);
        text.replace(QStringLiteral("%s"), Target);
        MsgBox(Owner, text, kMbOk, kKindWarning);
    }
    return Taken;
}

void BurnToCd(QWidget* Owner, TC2CDDlg* Dlg, const QString& FileName, const TTranslate& Translate) {
    if (FindBurner().isEmpty()) {
        if (OfferDesktopProgram(Owner, FindLinuxBurner(), kLinuxBurnerText, FileName, Translate))
            return;
        // After Yes the project is written all the same; the dialog then finds no burner and
        // shows nothing.
        if (!OfferDownload(Owner, kBurnerMissingText, Translate))
            return;
    }
    if (!FileExists(FileName))
        return;
    const QString prefix = QStringLiteral("ZQ");
    // A burner handed a project that could not be written would burn nothing.
    if (!WriteProjectFile(ProjectFilePath(prefix, 0), {FileName}) || !Dlg)
        return;
    Dlg->ProjectCount = 1;
    Dlg->ProjectPrefix = prefix;
    Dlg->Run();
}

void ConvertToDvd(QWidget* Owner, const QString& FileName, const TTranslate& Translate) {
    if (FindDvdConverter().isEmpty() && !OfferDownload(Owner, kConverterMissingText, Translate))
        return;
    if (!FileExists(FileName))
        return;
    // Still missing after the download offer: the other platform's shell call fails quietly;
    // an empty target here would be handed to the desktop as a document, so none is made.
    const QString converter = FindDvdConverter();
    if (!converter.isEmpty())
        ReportHandOff(Owner, converter, OpenWithShell(converter, QuotedParameter(FileName)),
                      Translate);
}

void CheckVideoCodecs(QWidget* Owner, const QString& FileName, const TTranslate& Translate) {
    const QString tool = FindCodecTool();
    if (!tool.isEmpty()) {
        ReportHandOff(Owner, tool, OpenWithShell(tool, QuotedParameter(FileName)), Translate);
        return;
    }
    if (OfferDesktopProgram(Owner, FindLinuxMediaInspector(), kLinuxInspectorText, FileName,
                            Translate))
        return;
    ReportHandOff(Owner, CodecToolPageUrl(), OpenWithShell(CodecToolPageUrl()), Translate);
}
