// What the main window draws: the frame scaled without blending, the marked range on the seek
// bar. With CLIPVANE_SCREENSHOT_DIR set the window's pictures are also saved there.
#include "mainwindow/FrameImage.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/U_MainDlg.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSet>

#include <gtest/gtest.h>

namespace {

using mwtest::MainWindowTest;

class MainDlgLook : public MainWindowTest {
protected:
    void Save(const char* Name) {
        const QByteArray to = qgetenv("CLIPVANE_SCREENSHOT_DIR");
        if (!to.isEmpty())
            dlg->grab().save(QString::fromLocal8Bit(to) + QLatin1Char('/') +
                             QString::fromLatin1(Name));
    }
};

QSet<QRgb> ColoursOf(const QImage& Image) {
    const QImage rgb = Image.convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            colours.insert(rgb.pixel(x, y));
    return colours;
}

int CountColour(const QImage& Image, QRgb Colour, int FromX, int ToX) {
    const QImage rgb = Image.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = std::max(FromX, 0); x <= std::min(ToX, rgb.width() - 1); ++x)
            n += rgb.pixel(x, y) == Colour;
    return n;
}

TEST_F(MainDlgLook, FrameKeepsItsShapeWithoutBlendingAndTheRangeIsDrawn) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    dlg->resize(640, 720);
    LoadAndWait(sample.path);
    Save("main-window.png");

    // Scaled up in its own 4:3 shape, black beside it, each screen pixel one of the frame's.
    const QImage frame = dlg->img->Picture();
    const QRect shown = dlg->img->PictureRect();
    ASSERT_GT(shown.width(), frame.width());
    EXPECT_NEAR(shown.width() * 3.0 / shown.height(), 4.0, 0.05);
    EXPECT_TRUE(shown.width() == dlg->img->width() || shown.height() == dlg->img->height());
    const QImage drawn = dlg->img->grab().toImage();
    QSet<QRgb> source = ColoursOf(frame);
    source.insert(qRgb(0, 0, 0));
    int foreign = 0;
    for (const QRgb c : ColoursOf(drawn))
        foreign += !source.contains(c);
    EXPECT_EQ(foreign, 0);
    EXPECT_EQ(drawn.pixel(shown.center().x(), 1), qRgb(0, 0, 0)) << "no bar above a tall area";

    // The marked range shows between its two ends, right of the handle.
    const QRgb band = dlg->bar->palette().color(QPalette::Highlight).rgb();
    const int x1 = dlg->bar->width() * 3 / 10;
    const int x2 = dlg->bar->width() * 7 / 10;
    const int before = CountColour(dlg->bar->grab().toImage(), band, x1, x2);
    dlg->bar->SetSelStart(dlg->bar->maximum() * 3 / 10);
    dlg->bar->SetSelEnd(dlg->bar->maximum() * 7 / 10);
    const int after = CountColour(dlg->bar->grab().toImage(), band, x1, x2);
    EXPECT_EQ(before, 0);
    EXPECT_GT(after, (x2 - x1) * 2);
    Save("main-window-marked.png");

    SAMPLE_OR_SKIP(broken, mwtest::UndecodableAvi());
    LoadAndWait(broken.path);
    Save("main-window-undecodable.png");
}

TEST_F(MainDlgLook, WidePixelsAreShownWide) {
    // 160x120 pictures meant for a 16:9 screen, said only by the file's video properties
    // (MJPEG's own header has no room for it) and by MPEG-4's own header too.
    for (const char* codec : {"mjpeg", "mpeg4"}) {
        SCOPED_TRACE(codec);
        SAMPLE_OR_SKIP(wide, mwtest::WideAvi(codec));
        LoadAndWait(wide.path);
        EXPECT_EQ(dlg->img->Picture().size(), QSize(160, 120));
        EXPECT_EQ(dlg->img->DisplaySize(), QSize(213, 120));
        const QRect shown = dlg->img->PictureRect();
        EXPECT_NEAR(shown.width() * 9.0 / shown.height(), 16.0, 0.1);
    }
}

TEST_F(MainDlgLook, SmallestAndFirstSizesKeepTheControlsWhole) {
    // The window cannot be made so small that controls overlap or are cut.
    dlg->resize(300, 250);
    dlg->show();
    QCoreApplication::processEvents();
    EXPECT_GE(dlg->width(), dlg->minimumSizeHint().width());
    EXPECT_GE(dlg->height(), dlg->minimumSizeHint().height());
    for (QWidget* w :
         {static_cast<QWidget*>(dlg->start_btn), static_cast<QWidget*>(dlg->end_btn),
          static_cast<QWidget*>(dlg->commit_btn), static_cast<QWidget*>(dlg->audio_btn),
          static_cast<QWidget*>(dlg->picture_btn)}) {
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << w->objectName().toStdString();
        const QRect inWindow(w->mapTo(dlg, QPoint(0, 0)), w->size());
        EXPECT_TRUE(dlg->rect().contains(inWindow)) << w->objectName().toStdString();
    }
    EXPECT_FALSE(dlg->start_btn->geometry().intersects(dlg->end_btn->geometry()));
    // The first size fits the screen it opens on.
    const QRect area = dlg->screen()->availableGeometry();
    TMainDlg fresh(nullptr, false);
    EXPECT_LE(fresh.width(), area.width());
    EXPECT_LE(fresh.height(), area.height());
    EXPECT_TRUE(area.contains(fresh.pos()));
}

} // namespace
