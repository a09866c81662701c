// U_DragDrop: the drop target on Qt's drag events and the choice of the dropped file to load.
#include "mainwindow/U_DragDrop.h"

#include "support/files/U_UnicodeUtils.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <cctype>

namespace {

bool IsAviExtension(const std::string& Ext) {
    static constexpr char kAvi[] = "avi";
    if (Ext.size() != 3)
        return false;
    for (size_t i = 0; i < 3; ++i)
        if (std::tolower(static_cast<unsigned char>(Ext[i])) != kAvi[i])
            return false;
    return true;
}

bool OffersFiles(const QMimeData* Data) {
    if (!Data || !Data->hasUrls())
        return false;
    for (const QUrl& url : Data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            return true;
    return false;
}

// Enter and move: a drag of local files that may be copied is accepted as a copy; anything else
// is refused, so the cursor shows that it cannot be dropped here.
bool AcceptAsCopy(QDragMoveEvent* Event) {
    if (!OffersFiles(Event->mimeData()) || !(Event->possibleActions() & Qt::CopyAction)) {
        Event->ignore();
        return false;
    }
    Event->setDropAction(Qt::CopyAction);
    Event->accept();
    return true;
}

} // namespace

QStringList DroppedPaths(const QMimeData* Data) {
    QStringList paths;
    if (!Data || !Data->hasUrls())
        return paths;
    for (const QUrl& url : Data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (!path.isEmpty())
            paths << path;
    }
    return paths;
}

QString TakeDroppedFile(QStringList& DroppedFiles) {
    QString chosen;
    if (!DroppedFiles.isEmpty()) {
        const QString& first = DroppedFiles.first();
        // The file layer takes the names as the file system spells them.
        const std::string name = QFile::encodeName(first).toStdString();
        if (WideFileExists(name) && IsAviExtension(WideExtractFileExt(name, true)))
            chosen = first;
    }
    DroppedFiles.clear();
    return chosen;
}

TMyWideDropTarget::TMyWideDropTarget(QWidget* Window) : QObject(Window) {
    setObjectName(QStringLiteral("DropTarget"));
}

bool TMyWideDropTarget::eventFilter(QObject* Watched, QEvent* Event) {
    switch (Event->type()) {
    case QEvent::DragEnter:
        AcceptAsCopy(static_cast<QDragEnterEvent*>(Event));
        return true;
    case QEvent::DragMove: {
        auto* move = static_cast<QDragMoveEvent*>(Event);
        if (AcceptAsCopy(move) && OnDragOver)
            OnDragOver(this, move->position().toPoint());
        return true;
    }
    case QEvent::DragLeave:
        return true;
    case QEvent::Drop:
        Drop(static_cast<QDropEvent*>(Event));
        return true;
    default:
        return QObject::eventFilter(Watched, Event);
    }
}

void TMyWideDropTarget::Drop(QDropEvent* Event) {
    const QStringList paths = DroppedPaths(Event->mimeData());
    if (paths.isEmpty() || !FileList) {
        Event->ignore();
        return;
    }
    *FileList << paths;
    Event->setDropAction(Qt::CopyAction);
    Event->accept();
    if (!OnDrop)
        return;
    // A target revoked in the meantime calls nothing: the queued call dies with it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (OnDrop)
                OnDrop(this);
        },
        Qt::QueuedConnection);
}

TMyWideDropTarget*
RegisterDropTarget(QWidget* Window, QStringList* FileList,
                   std::function<void(TMyWideDropTarget*, const QPoint&)> OnDragOver,
                   std::function<void(TMyWideDropTarget*)> OnDrop) {
    if (!Window || !FileList)
        return nullptr;
    RevokeDropTarget(Window);
    auto* target = new TMyWideDropTarget(Window);
    target->FileList = FileList;
    target->OnDragOver = std::move(OnDragOver);
    target->OnDrop = std::move(OnDrop);
    Window->installEventFilter(target);
    Window->setAcceptDrops(true);
    return target;
}

void RevokeDropTarget(QWidget* Window) {
    if (!Window)
        return;
    const auto targets = Window->findChildren<TMyWideDropTarget*>(Qt::FindDirectChildrenOnly);
    for (TMyWideDropTarget* target : targets) {
        Window->removeEventFilter(target);
        delete target;
    }
    Window->setAcceptDrops(false);
}
