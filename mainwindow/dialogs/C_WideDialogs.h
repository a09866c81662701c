// C_WideDialogs: TWideOpenDialog and TWideSaveDialog, file dialogs that return full Unicode paths,
// keep the open dialog's programming interface and place themselves a third from the top.
#pragma once

#include <QFileDialog>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class QWidget;

// Options, with the values of the common-dialog flags of the same names.
using TOpenOptions = uint32_t;
inline constexpr TOpenOptions ofReadOnly = 0x1;
inline constexpr TOpenOptions ofOverwritePrompt = 0x2;
inline constexpr TOpenOptions ofHideReadOnly = 0x4;
inline constexpr TOpenOptions ofNoChangeDir = 0x8;
inline constexpr TOpenOptions ofShowHelp = 0x10;
inline constexpr TOpenOptions ofNoValidate = 0x100;
inline constexpr TOpenOptions ofAllowMultiSelect = 0x200;
inline constexpr TOpenOptions ofExtensionDifferent = 0x400;
inline constexpr TOpenOptions ofPathMustExist = 0x800;
inline constexpr TOpenOptions ofFileMustExist = 0x1000;
inline constexpr TOpenOptions ofCreatePrompt = 0x2000;
inline constexpr TOpenOptions ofShareAware = 0x4000;
inline constexpr TOpenOptions ofNoReadOnlyReturn = 0x8000;
inline constexpr TOpenOptions ofNoTestFileCreate = 0x10000;
inline constexpr TOpenOptions ofNoNetworkButton = 0x20000;
inline constexpr TOpenOptions ofNoLongNames = 0x40000;
inline constexpr TOpenOptions ofOldStyleDialog = 0x80000;
inline constexpr TOpenOptions ofNoDereferenceLinks = 0x100000;
inline constexpr TOpenOptions ofEnableIncludeNotify = 0x400000;
inline constexpr TOpenOptions ofEnableSizing = 0x800000;
inline constexpr TOpenOptions ofDontAddToRecent = 0x2000000;
inline constexpr TOpenOptions ofForceShowHidden = 0x10000000;
using TOpenOptionsEx = uint32_t;
inline constexpr TOpenOptionsEx ofExNoPlacesBar = 0x1;

// ---- The rules of the dialog, free of any window ----

// "AVI files|*.avi" as the system's list of strings: each part, then an empty string that ends
// the list.
QStringList FilterStrings(const QString& Filter);
// The same pairs as Qt name filters: "AVI files (*.avi)". A description that already ends in a
// parenthesised pattern list has it replaced by the pair's patterns (";" becomes a blank).
QStringList NameFiltersOf(const QString& Filter);
// The extension (without the dot) of the first pattern of pair Index (from 1): "*.avi" gives
// "avi"; "" for "*.*", "*" or a missing pair.
QString FilterExtension(const QString& Filter, int Index);
// A multiple selection as the system returns it, split at Separator: one item is the chosen
// file; otherwise the first item is the folder and the others names in it, prefixed with the
// folder unless they are absolute ("\..." or "/..." or "X:\...").
QStringList SplitMultiSelection(const QString& Buffer, QChar Separator);
// One trailing separator is dropped unless it follows a drive colon or is the whole path.
QString NormalizeInitialDir(const QString& Dir);
// The dialog's top-left corner on Monitor: centred across, a third of the free height down.
QPoint DialogPlacement(const QRect& Monitor, const QSize& Window);

// ---- Components ----

class TWideCommonDialog : public QObject {
    Q_OBJECT
public:
    explicit TWideCommonDialog(QObject* Owner = nullptr);

    bool Ctl3D = true;
    int HelpContext = 0;
    std::function<void(QObject* Sender)> OnClose;
    std::function<void(QObject* Sender)> OnShow;

    // True when the user chose a file.
    virtual bool Execute() = 0;

    // The dialog while it is shown, else nullptr (tests drive it through this).
    QFileDialog* Window() const { return shown_; }

protected:
    QPointer<QFileDialog> shown_;
};

class TWideOpenDialog : public TWideCommonDialog {
    Q_OBJECT
public:
    explicit TWideOpenDialog(QObject* Owner = nullptr);

    QString DefaultExt;
    QString Filter;
    TOpenOptions Options = ofHideReadOnly | ofEnableSizing;
    TOpenOptionsEx OptionsEx = 0;
    QString Title;
    // Every chosen file with its full path.
    QStringList Files;

    std::function<void(QObject* Sender, bool& CanClose)> OnCanClose;
    std::function<void(QObject* Sender)> OnFolderChange;
    std::function<void(QObject* Sender)> OnSelectionChange;
    std::function<void(QObject* Sender)> OnTypeChange;
    // Asked per item with ofEnableIncludeNotify; Include starts true.
    std::function<void(const QString& Path, bool& Include)> OnIncludeItemW;

    // While shown: the selection in the dialog; otherwise the chosen (first) file.
    QString FileName() const;
    void SetFileName(const QString& Name) { storedFileName_ = Name; }
    // From 1. While shown: the filter selected in the dialog.
    int FilterIndex() const;
    QString InitialDir() const { return storedInitialDir_; }
    void SetInitialDir(const QString& Dir) { storedInitialDir_ = NormalizeInitialDir(Dir); }

    bool Execute() override;

protected:
    virtual bool Saving() const { return false; }
    // The chosen names as they are kept; the save dialog completes missing extensions.
    virtual QStringList Completed(const QStringList& Names, int Index) const;

private:
    QString storedFileName_;
    int storedFilterIndex_ = 1;
    QString storedInitialDir_;
    int notedFilterIndex_ = 1;

    void Configure(QFileDialog& Dialog);
    void Connect(QFileDialog& Dialog);
    bool CanClose(QFileDialog& Dialog);
    void TakeResult(QFileDialog& Dialog);
};

// The save dialog of the same kind: a name typed without extension gets the extension of the
// selected filter. The dialog does not ask about overwriting unless ofOverwritePrompt is set.
class TWideSaveDialog : public TWideOpenDialog {
    Q_OBJECT
public:
    explicit TWideSaveDialog(QObject* Owner = nullptr);

protected:
    bool Saving() const override { return true; }
    QStringList Completed(const QStringList& Names, int Index) const override;
};
