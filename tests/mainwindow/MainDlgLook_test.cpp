// What the main window draws: the frame scaled without blending, the marked range on the seek
// bar. With CLIPVANE_SCREENSHOT_DIR set the window's pictures are also saved there.
#include "mainwindow/FrameImage.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/U_MainDlg.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QImage>
#include <QPixmap>
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

TEST_F(MainDlgLook, FrameIsStretchedWithoutBlendingAndTheRangeIsDrawn) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    dlg->resize(640, 720);
    LoadAndWait(sample.path);
    Save("main-window.png");

    // Stretched over the whole area, each screen pixel is one of the frame's pixels.
    const QImage frame = dlg->img->Picture();
    const QImage drawn = dlg->img->grab().toImage();
    ASSERT_GT(drawn.width(), frame.width());
    ASSERT_GT(drawn.height(), frame.height());
    const QSet<QRgb> source = ColoursOf(frame);
    int foreign = 0;
    for (const QRgb c : ColoursOf(drawn))
        foreign += !source.contains(c);
    EXPECT_EQ(foreign, 0);

    // The marked range shows between its two ends, right of the handle.
    const QRgb band = dlg->bar->palette().color(QPalette::Highlight).rgb();
    const int x1 = dlg->bar->width() * 3 / 10;
    const int x2 = dlg->bar->width() * 7 / 10;
    const int before = CountColour(dlg->bar->grab().toImage(), band, x1, x2);
    dlg->bar->SetSelStart(3000);
    dlg->bar->SetSelEnd(7000);
    const int after = CountColour(dlg->bar->grab().toImage(), band, x1, x2);
    EXPECT_EQ(before, 0);
    EXPECT_GT(after, (x2 - x1) * 2);
    Save("main-window-marked.png");

    SAMPLE_OR_SKIP(broken, mwtest::UndecodableAvi());
    LoadAndWait(broken.path);
    Save("main-window-undecodable.png");
}

} // namespace
