// C_WideDialogs: the open and save dialogs on Qt's own file dialog.
#include "mainwindow/dialogs/C_WideDialogs.h"

#include "localisation/ui/ComponentModel.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QShowEvent>
#include <QSortFilterProxyModel>

#include <algorithm>
#include <utility>

namespace {

// A pair's patterns as the system writes them, "*.jpg;*.jpeg", split into single patterns.
QStringList PatternsOf(const QString& Patterns) {
    QStringList list;
    for (const QString& p : Patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        if (!t.isEmpty())
            list << t;
    }
    return list;
}

// Qt's own file dialog, so that it can be placed, asked before it closes and filtered.
class TFileDialogWindow : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    std::function<bool()> CanClose;
    std::function<void()> Shown;

    void done(int Result) override {
        if (Result == QDialog::Accepted && CanClose && !CanClose())
            return;
        QFileDialog::done(Result);
    }

protected:
    void showEvent(QShowEvent* Event) override {
        QFileDialog::showEvent(Event);
        if (!Event->spontaneous() && Shown)
            Shown();
    }
};

// Hides the items the include handler refuses.
class TIncludeFilter : public QSortFilterProxyModel {
public:
    explicit TIncludeFilter(std::function<void(const QString&, bool&)> AHandler)
        : Handler(std::move(AHandler)) {}

protected:
    bool filterAcceptsRow(int Row, const QModelIndex& Parent) const override {
        const auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!files || !Handler)
            return true;
        bool include = true;
        Handler(files->filePath(files->index(Row, 0, Parent)), include);
        return include;
    }

private:
    std::function<void(const QString&, bool&)> Handler;
};

int SelectedIndex(const QFileDialog& Dialog) {
    return static_cast<int>(Dialog.nameFilters().indexOf(Dialog.selectedNameFilter())) + 1;
}

QWidget* DialogOwner() {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return comp::MainForm();
}

QScreen* ScreenOf(const QWidget* Owner) {
    if (Owner && Owner->screen())
        return Owner->screen();
    return QGuiApplication::primaryScreen();
}

} // namespace

QStringList FilterStrings(const QString& Filter) {
    QStringList list = Filter.split(QLatin1Char('|'));
    list << QString();
    return list;
}

QStringList NameFiltersOf(const QString& Filter) {
    static const QRegularExpression trailingPatterns(QStringLiteral(R"(\s*\([^()]*\)\s*$)"));
    const QStringList parts = Filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        name.remove(trailingPatterns);
        filters << name + QStringLiteral(" (") + PatternsOf(parts[i + 1]).join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters;
}

QString FilterExtension(const QString& Filter, int Index) {
    const QStringList parts = Filter.split(QLatin1Char('|'));
    const qsizetype at = 2 * qsizetype{Index - 1} + 1;
    if (Index < 1 || at >= parts.size())
        return {};
    const QStringList patterns = PatternsOf(parts[at]);
    if (patterns.isEmpty())
        return {};
    const QString& first = patterns.first();
    if (!first.startsWith(QStringLiteral("*.")))
        return {};
    const QString ext = first.mid(2);
    return ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?')) ? QString() : ext;
}

QStringList SplitMultiSelection(const QString& Buffer, QChar Separator) {
    QStringList items = Buffer.split(Separator, Qt::SkipEmptyParts);
    if (items.size() <= 1)
        return items;
    QString dir = items.takeFirst();
    const QChar pathSep = dir.contains(QLatin1Char('\\')) && !dir.contains(QLatin1Char('/'))
                              ? QLatin1Char('\\')
                              : QLatin1Char('/');
    if (!dir.endsWith(pathSep))
        dir += pathSep;
    QStringList files;
    for (const QString& item : std::as_const(items)) {
        const bool absolute =
            item.startsWith(QLatin1Char('\\')) || item.startsWith(QLatin1Char('/')) ||
            (item.size() >= 4 && item[1] == QLatin1Char(':') && item[2] == QLatin1Char('\\'));
        files << (absolute ? item : dir + item);
    }
    return files;
}

QString NormalizeInitialDir(const QString& Dir) {
    if (Dir.size() <= 1)
        return Dir;
    const QChar last = Dir.back();
    if (last != QLatin1Char('/') && last != QLatin1Char('\\'))
        return Dir;
    if (Dir[Dir.size() - 2] == QLatin1Char(':'))
        return Dir;
    return Dir.left(Dir.size() - 1);
}

QPoint DialogPlacement(const QRect& Monitor, const QSize& Window) {
    return {Monitor.left() + (Monitor.width() - Window.width()) / 2,
            Monitor.top() + (Monitor.height() - Window.height()) / 3};
}

TWideCommonDialog::TWideCommonDialog(QObject* Owner) : QObject(Owner) {}

TWideOpenDialog::TWideOpenDialog(QObject* Owner) : TWideCommonDialog(Owner) {}

QString TWideOpenDialog::FileName() const {
    if (shown_ && shown_->isVisible())
        return shown_->selectedFiles().value(0);
    return storedFileName_;
}

int TWideOpenDialog::FilterIndex() const {
    if (shown_ && shown_->isVisible())
        return SelectedIndex(*shown_);
    return storedFilterIndex_;
}

void TWideOpenDialog::Configure(QFileDialog& Dialog) {
    // Qt's own dialog on every desktop: a native one could be neither placed nor filtered.
    Dialog.setOption(QFileDialog::DontUseNativeDialog);
    Dialog.setAcceptMode(Saving() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (Options & ofAllowMultiSelect)
        Dialog.setFileMode(QFileDialog::ExistingFiles);
    else if ((Options & ofFileMustExist) && !Saving())
        Dialog.setFileMode(QFileDialog::ExistingFile);
    else
        Dialog.setFileMode(QFileDialog::AnyFile);
    Dialog.setOption(QFileDialog::DontConfirmOverwrite, !(Options & ofOverwritePrompt));
    Dialog.setOption(QFileDialog::DontResolveSymlinks, (Options & ofNoDereferenceLinks) != 0);
    if (Options & ofForceShowHidden)
        Dialog.setFilter(Dialog.filter() | QDir::Hidden);
    Dialog.setSizeGripEnabled((Options & ofEnableSizing) != 0);
    if (!Title.isEmpty())
        Dialog.setWindowTitle(Title);
    const QStringList filters = NameFiltersOf(Filter);
    if (!filters.isEmpty()) {
        Dialog.setNameFilters(filters);
        Dialog.selectNameFilter(filters.value(storedFilterIndex_ - 1, filters.first()));
    }
    notedFilterIndex_ = storedFilterIndex_;
    if (!DefaultExt.isEmpty())
        Dialog.setDefaultSuffix(DefaultExt);
    if (!storedInitialDir_.isEmpty())
        Dialog.setDirectory(storedInitialDir_);
    if (!storedFileName_.isEmpty())
        Dialog.selectFile(storedFileName_);
    if ((Options & ofEnableIncludeNotify) && OnIncludeItemW)
        Dialog.setProxyModel(new TIncludeFilter(OnIncludeItemW));
    if (OptionsEx & ofExNoPlacesBar) {
        if (auto* sidebar = Dialog.findChild<QWidget*>(QStringLiteral("sidebar")))
            sidebar->hide();
    }
}

void TWideOpenDialog::Connect(QFileDialog& Dialog) {
    connect(&Dialog, &QFileDialog::directoryEntered, this, [this] {
        if (OnFolderChange)
            OnFolderChange(this);
    });
    connect(&Dialog, &QFileDialog::currentChanged, this, [this] {
        if (OnSelectionChange)
            OnSelectionChange(this);
    });
    connect(&Dialog, &QFileDialog::filterSelected, this, [this] {
        const int index = FilterIndex();
        if (index == notedFilterIndex_)
            return;
        notedFilterIndex_ = index;
        if (OnTypeChange)
            OnTypeChange(this);
    });
    connect(&Dialog, &QFileDialog::finished, this, [this] {
        if (OnClose)
            OnClose(this);
    });
}

bool TWideOpenDialog::CanClose(QFileDialog& Dialog) {
    const QStringList names = Completed(Dialog.selectedFiles(), SelectedIndex(Dialog));
    if ((Options & ofPathMustExist) && !names.isEmpty() &&
        !QFileInfo(names.first()).absoluteDir().exists())
        return false;
    if (!OnCanClose)
        return true;
    Files = names;
    storedFileName_ = names.value(0);
    bool canClose = true;
    OnCanClose(this, canClose);
    Files.clear();
    return canClose;
}

void TWideOpenDialog::TakeResult(QFileDialog& Dialog) {
    storedFilterIndex_ = std::max(SelectedIndex(Dialog), 1);
    QStringList names = Completed(Dialog.selectedFiles(), storedFilterIndex_);
    if (!(Options & ofAllowMultiSelect) && names.size() > 1)
        names = names.mid(0, 1);
    Files = names;
    storedFileName_ = names.value(0);
    const QString ext = QFileInfo(storedFileName_).suffix();
    if (!DefaultExt.isEmpty() && ext.compare(DefaultExt, Qt::CaseInsensitive) != 0)
        Options |= ofExtensionDifferent;
    else
        Options &= ~ofExtensionDifferent;
    Options &= ~ofReadOnly;
}

QStringList TWideOpenDialog::Completed(const QStringList& Names, int Index) const {
    Q_UNUSED(Index);
    return Names;
}

bool TWideOpenDialog::Execute() {
    Files.clear();
    QWidget* owner = DialogOwner();
    TFileDialogWindow dialog(owner);
    Configure(dialog);
    Connect(dialog);
    dialog.CanClose = [this, &dialog] { return CanClose(dialog); };
    dialog.Shown = [this, &dialog, owner] {
        if (QScreen* screen = ScreenOf(owner))
            dialog.move(DialogPlacement(screen->geometry(), dialog.frameGeometry().size()));
        if (OnShow)
            OnShow(this);
    };
    shown_ = &dialog;
    const int result = dialog.exec();
    if (result == QDialog::Accepted)
        TakeResult(dialog);
    shown_ = nullptr;
    return result == QDialog::Accepted;
}

TWideSaveDialog::TWideSaveDialog(QObject* Owner) : TWideOpenDialog(Owner) {
    Options = ofHideReadOnly | ofEnableSizing;
}

QStringList TWideSaveDialog::Completed(const QStringList& Names, int Index) const {
    const QString ext = FilterExtension(Filter, Index);
    QStringList names;
    for (const QString& name : Names) {
        const QFileInfo info(name);
        const bool bare = !info.fileName().contains(QLatin1Char('.'));
        names << (bare && !ext.isEmpty() ? name + QLatin1Char('.') + ext : name);
    }
    return names;
}
