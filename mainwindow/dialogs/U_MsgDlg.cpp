// U_MsgDlg: message boxes, the plain message window and the desktop hand-off.
#include "mainwindow/dialogs/U_MsgDlg.h"

#include "support/platform/DesktopOpen.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QUrl>

#include <utility>

QString CaptionMessage = QStringLiteral("Message");
QString CaptionWarning = QStringLiteral("Warning");
QString CaptionError = QStringLiteral("Error");
QString CaptionQuestion = QStringLiteral("Question");
QString CaptionInformation = QStringLiteral("Information");
QString ButtonYes = QStringLiteral("Yes");
QString ButtonNo = QStringLiteral("No");
QString ButtonOk = QStringLiteral("OK");
QString ButtonCancel = QStringLiteral("Cancel");

namespace {

TMsgBoxHook& MsgBoxHook() {
    static TMsgBoxHook hook;
    return hook;
}

TShellHook& ShellHook() {
    static TShellHook hook;
    return hook;
}

QMessageBox::StandardButtons ButtonsOf(int Buttons) {
    switch (Buttons) {
    case kMbYesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case kMbYesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case kMbOkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconOf(int Kind) {
    switch (Kind) {
    case kKindWarning:
        return QMessageBox::Warning;
    case kKindError:
        return QMessageBox::Critical;
    case kKindQuestion:
        return QMessageBox::Question;
    case kKindInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The buttons of a box with their texts in the language in use (Qt's own would stay English).
QList<QPair<QMessageBox::StandardButton, QString>> ButtonList(int Buttons) {
    switch (Buttons) {
    case kMbYesNo:
        return {{QMessageBox::Yes, ButtonYes}, {QMessageBox::No, ButtonNo}};
    case kMbYesNoCancel:
        return {{QMessageBox::Yes, ButtonYes},
                {QMessageBox::No, ButtonNo},
                {QMessageBox::Cancel, ButtonCancel}};
    case kMbOkCancel:
        return {{QMessageBox::Ok, ButtonOk}, {QMessageBox::Cancel, ButtonCancel}};
    default:
        return {{QMessageBox::Ok, ButtonOk}};
    }
}

QStringList ButtonTextsOf(int Buttons) {
    QStringList texts;
    for (const auto& [button, text] : ButtonList(Buttons))
        texts << text;
    return texts;
}

void TranslateButtons(QMessageBox& Box, int Buttons) {
    for (const auto& [button, text] : ButtonList(Buttons))
        if (QAbstractButton* b = Box.button(button))
            b->setText(text);
}

int AnswerOf(int Button) {
    switch (Button) {
    case QMessageBox::Ok:
        return kIdOk;
    case QMessageBox::Yes:
        return kIdYes;
    case QMessageBox::No:
        return kIdNo;
    default:
        return kIdCancel;
    }
}

bool Launch(TShellTarget Kind, const QString& Target, const QString& Parameters) {
    if (const TShellHook& hook = ShellHook())
        return hook(Kind, Target, Parameters);
    switch (Kind) {
    case TShellTarget::Url:
        return QDesktopServices::openUrl(QUrl(Target));
    case TShellTarget::Program:
        return QProcess::startDetached(Target, QProcess::splitCommand(Parameters));
    case TShellTarget::Document: {
        const bool taken = DesktopOpenFile(Target.toStdString());
        return taken && QFileInfo::exists(Target);
    }
    }
    return false;
}

} // namespace

unsigned MsgBoxFlags(int Buttons, int Kind) {
    static constexpr unsigned kButtonFlags[] = {0x0, 0x4, 0x3, 0x1};
    static constexpr unsigned kIconFlags[] = {0x0, 0x30, 0x10, 0x20, 0x40};
    const unsigned buttons = Buttons >= 0 && Buttons < 4 ? kButtonFlags[Buttons] : 0;
    const unsigned icon = Kind >= 0 && Kind < 5 ? kIconFlags[Kind] : 0;
    return buttons | icon;
}

QString MsgBoxCaption(int Kind) {
    switch (Kind) {
    case kKindMessage:
        return CaptionMessage;
    case kKindWarning:
        return CaptionWarning;
    case kKindError:
        return CaptionError;
    case kKindQuestion:
        return CaptionQuestion;
    case kKindInformation:
        return CaptionInformation;
    default:
        return {};
    }
}

int MsgBox(QWidget* Owner, const QString& Text, int Buttons, int Kind, bool DefaultSecond) {
    const QString caption = MsgBoxCaption(Kind);
    const QList<QPair<QMessageBox::StandardButton, QString>> list = ButtonList(Buttons);
    DefaultSecond = DefaultSecond && list.size() > 1;
    if (const TMsgBoxHook& hook = MsgBoxHook())
        return hook({Text, caption, Buttons, Kind,
                     MsgBoxFlags(Buttons, Kind) | (DefaultSecond ? kDefaultSecondFlag : 0u), false,
                     ButtonTextsOf(Buttons)});
    QMessageBox box(IconOf(Kind), caption, Text, ButtonsOf(Buttons), Owner);
    TranslateButtons(box, Buttons);
    if (DefaultSecond)
        box.setDefaultButton(list[1].first);
    return AnswerOf(box.exec());
}

int AskYesNo(QWidget* Owner, const QString& Text) {
    return MsgBox(Owner, Text, kMbYesNo, kKindQuestion);
}

void ShowMessage(const QString& Text) {
    const QString caption = QCoreApplication::applicationName();
    if (const TMsgBoxHook& hook = MsgBoxHook()) {
        hook({Text, caption, kMbOk, kKindMessage, 0, true, ButtonTextsOf(kMbOk)});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, Text, QMessageBox::Ok);
    TranslateButtons(box, kMbOk);
    box.exec();
}

TMsgBoxHook SetMsgBoxHook(TMsgBoxHook Hook) {
    return std::exchange(MsgBoxHook(), std::move(Hook));
}

TShellTarget ShellTargetKind(const QString& Target) {
    // A scheme of one letter is a drive ("C:"), not a link.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(Target).hasMatch())
        return TShellTarget::Url;
    const QFileInfo info(Target);
    if (info.isFile() && info.isExecutable())
        return TShellTarget::Program;
    return TShellTarget::Document;
}

QString ExpandEnvironmentText(const QString& Text) {
    static const QRegularExpression names(QStringLiteral(
        R"(%([A-Za-z_][A-Za-z0-9_]*)%|\$\{([A-Za-z_][A-Za-z0-9_]*)\}|\$([A-Za-z_][A-Za-z0-9_]*))"));
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString result;
    qsizetype done = 0;
    for (auto it = names.globalMatch(Text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString name = m.captured(1);
        if (name.isEmpty())
            name = m.captured(2);
        if (name.isEmpty())
            name = m.captured(3);
        result += Text.mid(done, m.capturedStart() - done);
        result += env.contains(name) ? env.value(name) : m.captured(0);
        done = m.capturedEnd();
    }
    result += Text.mid(done);
    return result;
}

bool OpenWithShell(const QString& Target, const QString& Parameters) {
    const QString target = ExpandEnvironmentText(Target);
    return Launch(ShellTargetKind(target), target, Parameters);
}

bool OpenWithShellOwned(QWidget* Owner, const QString& Target) {
    // The owner only parents the desktop's own error reports, which Qt does not show.
    Q_UNUSED(Owner);
    return Launch(ShellTargetKind(Target), Target, QString());
}

TShellHook SetShellHook(TShellHook Hook) {
    return std::exchange(ShellHook(), std::move(Hook));
}
