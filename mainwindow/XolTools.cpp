// XolTools: finding the XOL programs and the codec tool, and handing the current file to them.
#include "XolTools.h"

#include "BurnerWatch.h"
#include "C2CD.h"
#include "MakerHost.h"
#include "SettingsStore.h"
#include "U_MsgDlg.h"
#include "U_TobrelSettings.h"
#include "U_TobrelUtils.h"
#include "U_UnicodeUtils.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString Tr(const TTranslate& Translate, const char* English) {
    const QString text = QString::fromUtf8(English);
    return Translate ? Translate(text) : text;
}

bool FileExists(const QString& Name) {
    return WideFileExists(Name.toStdString());
}

QString FirstOnPath(std::initializer_list<const char*> Names) {
    for (const char* name : Names) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
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
    StartProgram(Program, {FileName});
    return true;
}

// The download question; true when the user said Yes and the page was opened.
bool OfferDownload(QWidget* Owner, const char* Question, const TTranslate& Translate) {
    if (MsgBox(Owner, Tr(Translate, Question), kMbYesNo, kKindWarning) != kIdYes)
        return false;
    OpenWithShellOwned(Owner, QString::fromStdString(PartnerPageUrl()));
    return true;
}

} // namespace

QString FindXolTool(const QString& ValueName, const QString& ExeName) {
    reg::RegKey key(reg::RegRoot::CurrentUser);
    if (key.Open(kXolKey, reg::access::kRead, false) != reg::RegStatus::Success)
        return {};
    std::string path;
    if (key.ReadString(ValueName.toStdString(), path) != reg::RegStatus::Success)
        return {};
    if (!path.empty() && !WideFileExists(path))
        path = WideIncludeTrailingBackslash(path) + ExeName.toStdString();
    return WideFileExists(path) ? QString::fromStdString(path) : QString();
}

QString FindBurner() {
    const QString burner = FindXolTool(QStringLiteral("Brennix"), QStringLiteral("Brennix.exe"));
    if (!burner.isEmpty())
        return burner;
    return FindXolTool(QStringLiteral("Brenn"), QStringLiteral("Brennix.exe"));
}

QString FindDvdConverter() {
    const QString converter = FindXolTool(QStringLiteral("Vorcast"), QStringLiteral("Vorcast.exe"));
    if (!converter.isEmpty())
        return converter;
    return FindXolTool(QStringLiteral("Mervast"), QStringLiteral("mervast.exe"));
}

QString FindCodecTool() {
    const std::string tool = ReadMakerValue(kCodecToolValue);
    return !tool.empty() && WideFileExists(tool) ? QString::fromStdString(tool) : QString();
}

QString CodecToolPageUrl() {
    return QStringLiteral("https://") + QString::fromUtf8(MakerHost().data(), MakerHost().size()) +
           QStringLiteral("/?qlt");
}

QString FindLinuxBurner() {
    return FirstOnPath({"brasero", "k3b", "xfburn"});
}

QString FindLinuxMediaInspector() {
    return FirstOnPath({"mediainfo-gui"});
}

QString QuotedParameter(const QString& Path) {
    QString quoted = Path;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
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
        OpenWithShell(converter, QuotedParameter(FileName));
}

void CheckVideoCodecs(QWidget* Owner, const QString& FileName, const TTranslate& Translate) {
    const QString tool = FindCodecTool();
    if (!tool.isEmpty()) {
        OpenWithShell(tool, QuotedParameter(FileName));
        return;
    }
    if (OfferDesktopProgram(Owner, FindLinuxMediaInspector(), kLinuxInspectorText, FileName,
                            Translate))
        return;
    OpenWithShell(CodecToolPageUrl());
}
