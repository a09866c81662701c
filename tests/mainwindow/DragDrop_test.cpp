// Dropping files on a window: the dropped file that loads, and drag events through the target.
#include "mainwindow/U_DragDrop.h"
#include "tests/common/TestMedia.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class DragDrop : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        dir = QString::fromStdString(testmedia::TempDir()) + QStringLiteral("/drop") +
              QString::number(++counter);
        fs::create_directories(dir.toStdString());
    }

    // A file of a few bytes; its content does not matter to the choice.
    QString MakeFile(const QString& Name) {
        const QString path = dir + QLatin1Char('/') + Name;
        testmedia::WriteAll(QFile::encodeName(path).toStdString(), {'R', 'I', 'F', 'F'});
        return path;
    }

    QString dir;
};

TEST_F(DragDrop, OnlyAnExistingAviFirstEntryIsTaken) {
    QStringList none;
    EXPECT_EQ(TakeDroppedFile(none), QString());

    const QString a = MakeFile(QStringLiteral("a.avi"));
    const QString b = MakeFile(QStringLiteral("b.avi"));
    QStringList three = {a, b, MakeFile(QStringLiteral("c.avi"))};
    EXPECT_EQ(TakeDroppedFile(three), a);
    EXPECT_TRUE(three.isEmpty());

    // Any letter case of the extension.
    for (const char* name : {"MOVIE.AVI", "Clip.Avi", "été à la plage.aVi"}) {
        const QString file = MakeFile(QString::fromUtf8(name));
        QStringList list = {file};
        EXPECT_EQ(TakeDroppedFile(list), file) << name;
        EXPECT_TRUE(list.isEmpty());
    }

    // Missing, not a file, or another extension: nothing, and the later entries are not tried.
    fs::create_directories((dir + QStringLiteral("/folder.avi")).toStdString());
    const QStringList ignored = {dir + QStringLiteral("/missing.avi"),
                                 dir + QStringLiteral("/folder.avi"),
                                 MakeFile(QStringLiteral("notes.txt")),
                                 MakeFile(QStringLiteral("a.avi.txt")),
                                 MakeFile(QStringLiteral("movie.xavi")),
                                 MakeFile(QStringLiteral("avi")),
                                 QString()};
    for (const QString& first : ignored) {
        QStringList list = {first, a};
        EXPECT_EQ(TakeDroppedFile(list), QString()) << first.toStdString();
        EXPECT_TRUE(list.isEmpty());
    }
}

// Starts a drag over Widget as the platform does: the widget under the cursor gets the enter
// event, and Qt passes it up to the first widget that accepts drops, which then receives the
// moves and the drop. True when the drag is accepted.
bool Enter(QWidget* Widget, const QMimeData& Data, Qt::DropActions Offered,
           QPoint Point = QPoint(5, 5)) {
    QDragEnterEvent enter(Point, Offered, &Data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Widget, &enter);
    return enter.isAccepted();
}

// A window with controls over its area, as the main window has.
struct TWindow {
    TWindow() {
        auto* layout = new QVBoxLayout(&window);
        child = new QLabel(QStringLiteral("frame"), &window);
        layout->addWidget(child);
        window.resize(200, 150);
        window.show();
    }
    QWidget window;
    QLabel* child = nullptr;
};

TEST_F(DragDrop, DropOnTheWindowFillsTheListAndLoadsLater) {
    TWindow w;
    QStringList dropped;
    int drops = 0;
    QString loaded;
    QList<QPoint> overs;
    TMyWideDropTarget* target = RegisterDropTarget(
        &w.window, &dropped, [&overs](TMyWideDropTarget*, const QPoint& Point) { overs << Point; },
        [&](TMyWideDropTarget* Sender) {
            ++drops;
            EXPECT_EQ(Sender->FileList, &dropped);
            loaded = TakeDroppedFile(dropped);
        });
    ASSERT_NE(target, nullptr);
    EXPECT_TRUE(w.window.acceptDrops());

    const QString notes = MakeFile(QStringLiteral("notes.txt"));
    const QString a = MakeFile(QStringLiteral("a.avi"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a), QUrl(QStringLiteral("https://example.org/b.avi")),
                  QUrl::fromLocalFile(notes)});
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;

    QDragEnterEvent enter(QPoint(10, 10), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);

    // Moving over a control still reaches the window's target.
    QDragMoveEvent move(QPoint(30, 20), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.window, &move);
    EXPECT_TRUE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), Qt::CopyAction);
    EXPECT_EQ(overs, QList<QPoint>{QPoint(30, 20)});

    QDropEvent drop(QPointF(30, 20), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    // The paths arrive with the drop; the handler runs once the drop has been answered.
    EXPECT_EQ(dropped, (QStringList{a, notes}));
    EXPECT_EQ(drops, 0);
    QApplication::processEvents();
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(loaded, a);
    EXPECT_TRUE(dropped.isEmpty());

    // notes.txt first: nothing is loaded, and the list is emptied all the same.
    data.setUrls({QUrl::fromLocalFile(notes), QUrl::fromLocalFile(a)});
    ASSERT_TRUE(Enter(&w.window, data, offered));
    QDropEvent second(QPointF(30, 20), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.window, &second);
    QApplication::processEvents();
    EXPECT_EQ(drops, 2);
    EXPECT_EQ(loaded, QString());
    EXPECT_TRUE(dropped.isEmpty());
}

TEST_F(DragDrop, DropOverAControlReachesTheWindowsTarget) {
    // Qt hands a drag to the widget under the cursor and passes it up to the first one that
    // accepts drops: the controls of the window do not, so the window's target gets it.
    TWindow w;
    QStringList dropped;
    RegisterDropTarget(&w.window, &dropped, {}, {});
    const QString a = MakeFile(QStringLiteral("a.avi"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(a)});
    const QPoint inChild = w.child->rect().center();
    EXPECT_TRUE(Enter(w.child, data, Qt::CopyAction, inChild));
    QDragMoveEvent move(w.child->geometry().center(), Qt::CopyAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&w.window, &move);
    EXPECT_TRUE(move.isAccepted());
    QDropEvent drop(QPointF(w.child->geometry().center()), Qt::CopyAction, &data, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(&w.window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(dropped, QStringList{a});
}

TEST_F(DragDrop, DragsWithoutFilesOrCopyAreRefused) {
    TWindow w;
    QStringList dropped;
    int drops = 0;
    int overs = 0;
    RegisterDropTarget(
        &w.window, &dropped, [&overs](TMyWideDropTarget*, const QPoint&) { ++overs; },
        [&drops](TMyWideDropTarget*) { ++drops; });

    QMimeData text;
    text.setText(QStringLiteral("just words"));
    text.setUrls({QUrl(QStringLiteral("https://example.org/a.avi"))});
    EXPECT_FALSE(Enter(&w.window, text, Qt::CopyAction));
    EXPECT_FALSE(Enter(w.child, text, Qt::CopyAction));

    // Files that may only be moved or linked: we copy, so this drag is refused too.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(MakeFile(QStringLiteral("a.avi")))});
    EXPECT_FALSE(Enter(&w.window, files, Qt::MoveAction | Qt::LinkAction));
    ASSERT_TRUE(Enter(&w.window, files, Qt::CopyAction | Qt::MoveAction));
    QDragMoveEvent move(QPoint(5, 5), Qt::MoveAction | Qt::LinkAction, &files, Qt::LeftButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&w.window, &move);
    EXPECT_FALSE(move.isAccepted());
    // A drop whose data holds no local file adds nothing.
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.window, &drop);
    EXPECT_FALSE(drop.isAccepted());

    QApplication::processEvents();
    EXPECT_TRUE(dropped.isEmpty());
    EXPECT_EQ(drops, 0);
    EXPECT_EQ(overs, 0);
}

TEST_F(DragDrop, RevokedTargetTakesNoMoreDrops) {
    TWindow w;
    QStringList dropped;
    int drops = 0;
    EXPECT_EQ(RegisterDropTarget(nullptr, &dropped, {}, {}), nullptr);
    EXPECT_EQ(RegisterDropTarget(&w.window, nullptr, {}, {}), nullptr);
    EXPECT_FALSE(w.window.acceptDrops());
    RegisterDropTarget(&w.window, &dropped, {}, [&drops](TMyWideDropTarget*) { ++drops; });

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(MakeFile(QStringLiteral("a.avi")))});
    // Revoked between the drop and the handler's turn: the handler is not called.
    ASSERT_TRUE(Enter(&w.window, data, Qt::CopyAction));
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.window, &drop);
    EXPECT_EQ(dropped.size(), 1);
    RevokeDropTarget(&w.window);
    QApplication::processEvents();
    EXPECT_EQ(drops, 0);
    EXPECT_FALSE(w.window.acceptDrops());
    EXPECT_EQ(w.window.findChildren<TMyWideDropTarget*>().size(), 0);

    dropped.clear();
    EXPECT_FALSE(Enter(&w.window, data, Qt::CopyAction));
    QDropEvent again(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w.window, &again);
    QApplication::processEvents();
    EXPECT_FALSE(again.isAccepted());
    EXPECT_TRUE(dropped.isEmpty());
    EXPECT_EQ(drops, 0);
}

} // namespace
