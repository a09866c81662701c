// XolPrograms: finding the XOL programs, the codec tool and their desktop stand-ins.
#include "mainwindow/handoff/XolPrograms.h"

#include "support/files/U_UnicodeUtils.h"
#include "support/settings/SettingsStore.h"
#include "support/settings/U_TobrelSettings.h"

#include <QStandardPaths>

#include <initializer_list>

namespace {

QString FirstOnPath(std::initializer_list<const char*> Names) {
    for (const char* name : Names) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty())
            return found;
    }
    return {};
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
