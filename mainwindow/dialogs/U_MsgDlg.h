// U_MsgDlg: the program's message boxes with their translated captions, the plain message window,
// and handing documents, programs and web pages to the desktop.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Answers, with the codes of the other platform's message box (IDOK, IDCANCEL, IDYES, IDNO).
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Buttons: 0 OK, 1 Yes/No, 2 Yes/No/Cancel, 3 OK/Cancel (anything else: OK).
// Kind: 0 message (no icon), 1 warning, 2 error, 3 question, 4 information (anything else: no
// icon and an empty caption).
inline constexpr int kMbOk = 0;
inline constexpr int kMbYesNo = 1;
inline constexpr int kMbYesNoCancel = 2;
inline constexpr int kMbOkCancel = 3;
inline constexpr int kKindMessage = 0;
inline constexpr int kKindWarning = 1;
inline constexpr int kKindError = 2;
inline constexpr int kKindQuestion = 3;
inline constexpr int kKindInformation = 4;

// Captions by kind; English until the first language switch replaces them.
extern QString CaptionMessage;
extern QString CaptionWarning;
extern QString CaptionError;
extern QString CaptionQuestion;
extern QString CaptionInformation;
// Button texts, the same way.
extern QString ButtonYes;
extern QString ButtonNo;
extern QString ButtonOk;
extern QString ButtonCancel;

// The platform's flag word for a box: buttons (0, 4, 3, 1) plus the icon of the kind (0x30
// warning, 0x10 error, 0x20 question, 0x40 information). Kept so a box reads the same on every
// platform.
unsigned MsgBoxFlags(int Buttons, int Kind);
QString MsgBoxCaption(int Kind);

// The platform's flag for a box whose second button (No, Cancel) is the default.
inline constexpr unsigned kDefaultSecondFlag = 0x100;

// Shows a modal box owned by Owner and returns the answer code. DefaultSecond makes the second
// button the default, for questions where Enter should not start anything.
int MsgBox(QWidget* Owner, const QString& Text, int Buttons, int Kind, bool DefaultSecond = false);
// MsgBox with Yes/No and the question kind.
int AskYesNo(QWidget* Owner, const QString& Text);
// The plain message window for single statements: the application title as caption, no icon,
// one OK button.
void ShowMessage(const QString& Text);

// What a box would have shown. Plain is true for ShowMessage.
struct TMsgBoxRequest {
    QString Text;
    QString Caption;
    int Buttons = 0;
    int Kind = 0;
    unsigned Flags = 0;
    bool Plain = false;
    QStringList ButtonTexts; // left to right, as shown
};
// Tests answer boxes without showing them: while a hook is installed MsgBox, AskYesNo and
// ShowMessage call it instead, and MsgBox returns its answer. An empty hook shows boxes again.
using TMsgBoxHook = std::function<int(const TMsgBoxRequest& Request)>;
TMsgBoxHook SetMsgBoxHook(TMsgBoxHook Hook);

// Hands Target to the desktop: a web address or "mailto:" link to its handler, an executable
// file started with Parameters (split as a shell would), any other file opened with its
// program. Environment variables in Target ("%NAME%", "$NAME" or "${NAME}") are expanded first.
// Failures are not reported here: false when nothing took the target.
bool OpenWithShell(const QString& Target, const QString& Parameters = QString());
// The same without parameters; Owner is the window the launch belongs to. True when the desktop
// took the target.
bool OpenWithShellOwned(QWidget* Owner, const QString& Target);

// How the desktop is asked: a link, a program to start, or a document to open.
enum class TShellTarget { Url, Program, Document };
TShellTarget ShellTargetKind(const QString& Target);
// Expands "%NAME%", "$NAME" and "${NAME}" from the environment; unknown names stay as written.
QString ExpandEnvironmentText(const QString& Text);

// Tests see launches instead of the desktop: the hook gets the kind, the expanded target and
// the parameters, and its answer is the launch's success.
using TShellHook =
    std::function<bool(TShellTarget Kind, const QString& Target, const QString& Parameters)>;
TShellHook SetShellHook(TShellHook Hook);
