// U_DragDrop: the window's drop target (dropped local files as paths) and which dropped file loads.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

class QDropEvent;
class QMimeData;
class QWidget;

// The local files a drag carries, as paths in its order; links that are not local files are left
// out.
QStringList DroppedPaths(const QMimeData* Data);

// What a drop loads: the first entry of DroppedFiles when it names an existing file whose
// extension is "avi" in any letter case, else "". The other entries are never looked at, and
// the list is emptied in every case.
QString TakeDroppedFile(QStringList& DroppedFiles);

// Accepts drags that carry local files, as a copy, and adds the dropped paths to FileList. It
// watches the window through an event filter and lives as the window's child until revoked.
class TMyWideDropTarget : public QObject {
    Q_OBJECT
public:
    explicit TMyWideDropTarget(QWidget* Window);

    // Called once a drop has added paths to FileList. It runs from the event loop after the drop
    // has been answered, so that a message box it shows does not hold up the drag's source.
    std::function<void(TMyWideDropTarget* Sender)> OnDrop;
    // Called while an acceptable drag moves over the window; may be empty.
    std::function<void(TMyWideDropTarget* Sender, const QPoint& Point)> OnDragOver;
    // Receives the dropped paths; not owned, the owner empties it.
    QStringList* FileList = nullptr;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Drop(QDropEvent* Event);
};

// Makes Window a drop target that fills FileList and calls the handlers. nullptr (and no target)
// without a window or a list.
TMyWideDropTarget*
RegisterDropTarget(QWidget* Window, QStringList* FileList,
                   std::function<void(TMyWideDropTarget*, const QPoint&)> OnDragOver,
                   std::function<void(TMyWideDropTarget*)> OnDrop);
// Ends Window's drop target: drops are refused from now on and no handler is called again.
void RevokeDropTarget(QWidget* Window);
