// Extracting the audio (the window stays usable, loading and closing wait for the job) and the
// picture on screen, with real files checked by ffmpeg and by decoding the written pictures.
#include "engine/jobs/U_AVIExtractor.h"
#include "mainwindow/FrameImage.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/U_MainDlg.h"
#include "tests/common/TestMedia.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QAction>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

using mwtest::MainWindowTest;
namespace fs = std::filesystem;

// The stored audio bytes as ffmpeg reads them, for comparison with the raw MP3 written.
std::vector<uint8_t> AudioOf(const std::string& File, const std::string& Dir) {
    const std::string out = Dir + "/ffmpeg-audio.raw";
    testmedia::Run("ffmpeg -nostdin -v error -y -i " + testmedia::Quote(File) +
                   " -map 0:a:0 -c copy -f data " + testmedia::Quote(out));
    return testmedia::ReadAll(out);
}

class MainDlgExtract : public MainWindowTest {
protected:
    std::vector<QWidget*> JobControls() const {
        return {dlg->commit_btn, dlg->audio_btn, dlg->picture_btn,
                dlg->start_btn,  dlg->end_btn,   dlg->bar};
    }
    bool WaitForAudioJob() {
        return QTest::qWaitFor([this] { return !dlg->ExtractingAudio(); }, 30000);
    }
};

TEST_F(MainDlgExtract, AudioJobLeavesTheWindowUsableAndLoadsWaitingFilesAfterwards) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    SAMPLE_OR_SKIP(other, samplefiles::FfmpegMjpeg());
    const std::string source = CopyTo(sample.path, "source.avi");
    LoadAndWait(source);
    ASSERT_TRUE(dlg->audio_btn->isEnabled());

    // The test holds the engine, so the job waits at its start for as long as the test likes.
    auto held = dlg->Extractor->AcquireLock();
    mwtest::AcceptFileDialog(QString::fromStdString(dir + "/sound"));
    dlg->audio_btn->click();
    ASSERT_TRUE(dlg->ExtractingAudio());
    for (QWidget* w : JobControls())
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(dlg->Open1->isEnabled());
    EXPECT_FALSE(dlg->Properties1->isEnabled());

    // The event loop runs on while the job waits.
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 20; }, 10000));
    EXPECT_TRUE(dlg->ExtractingAudio());
    // Navigation still works.
    dlg->NextFrame1->trigger();
    EXPECT_EQ(dlg->CurrentFrame, 1);
    // A file to load waits for the job: the engine the job reads stays open.
    dlg->LoadFile(QString::fromStdString(other.path));
    EXPECT_EQ(dlg->Extractor->FileName, source);
    EXPECT_TRUE(boxes.Shown.empty());

    held.unlock();
    ASSERT_TRUE(WaitForAudioJob());
    const std::string mp3 = dir + "/sound.mp3";
    ASSERT_TRUE(fs::exists(mp3));
    EXPECT_EQ(testmedia::ReadAll(mp3), AudioOf(source, dir));
    EXPECT_TRUE(boxes.Shown.empty());

    // Then the waiting file is loaded, and the controls are back.
    EXPECT_EQ(dlg->Extractor->FileName, other.path);
    ASSERT_TRUE(QTest::qWaitFor([this] { return shownFrame == dlg->PendingFrame; }, 10000));
    for (QWidget* w : JobControls()) {
        if (w != dlg->audio_btn) {
            EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
        }
    }
    EXPECT_FALSE(dlg->audio_btn->isEnabled()); // the MJPEG file has no audio
    EXPECT_TRUE(dlg->Open1->isEnabled());
    EXPECT_TRUE(dlg->Properties1->isEnabled());
    EXPECT_EQ(dlg->pb->value(), 0);

    const std::vector<std::string> log = LogLines();
    std::vector<std::string> tail;
    for (const std::string& line : log)
        for (const char* text : {"\tExtracting audio to : ", "\tExtraction done", "\tLoading : "})
            if (line.find(text) != std::string::npos)
                tail.push_back(text);
    ASSERT_GE(tail.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(tail.end() - 3, tail.end()),
              (std::vector<std::string>{"\tExtracting audio to : ", "\tExtraction done",
                                        "\tLoading : "}));
}

TEST_F(MainDlgExtract, ClosingWaitsForTheAudioJob) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    LoadAndWait(sample.path);
    auto held = dlg->Extractor->AcquireLock();
    mwtest::AcceptFileDialog(QString::fromStdString(dir + "/sound.mp3"));
    dlg->audio_btn->click();
    ASSERT_TRUE(dlg->ExtractingAudio());
    EXPECT_FALSE(dlg->close());
    EXPECT_TRUE(dlg->isVisible());
    held.unlock();
    ASSERT_TRUE(WaitForAudioJob());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dlg->isVisible(); }, 5000));
    EXPECT_TRUE(fs::exists(dir + "/sound.mp3"));
}

TEST_F(MainDlgExtract, FailedAudioJobIsReportedAndTheControlsComeBack) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    LoadAndWait(sample.path);
    const std::string target = dir + "/missing/folder/sound.mp3";
    mwtest::AcceptFileDialog(QString::fromStdString(target));
    dlg->audio_btn->click();
    ASSERT_TRUE(WaitForAudioJob());
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_TRUE(boxes.Shown[0].Text.startsWith(QStringLiteral("Operation failed: ")));
    EXPECT_TRUE(boxes.Shown[0].Text.contains(QString::fromStdString(target)));
    EXPECT_EQ(boxes.Shown[0].Kind, kKindError);
    for (QWidget* w : JobControls())
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    const std::vector<std::string> log = LogLines();
    bool error = false;
    bool done = false;
    for (const std::string& line : log) {
        error = error || (line.rfind("Error\t", 0) == 0 && line.find(target) != std::string::npos);
        done = done || line.find("\tExtraction done") != std::string::npos;
    }
    EXPECT_TRUE(error);
    EXPECT_TRUE(done);
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(MainDlgExtract, ExistingSoundFileIsKeptAfterNo) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    LoadAndWait(sample.path);
    const std::string target = dir + "/sound.mp3";
    testmedia::WriteAll(target, {'o', 'l', 'd'});
    boxes.Answers = {kIdNo};
    mwtest::AcceptFileDialog(QString::fromStdString(target));
    dlg->audio_btn->click();
    EXPECT_FALSE(dlg->ExtractingAudio());
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("File already exists. Overwrite ?")});
    EXPECT_EQ(testmedia::ReadAll(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_TRUE(dlg->audio_btn->isEnabled());
}

// How long the event loop stands still at most while ten minutes of audio are extracted.
// Printed, not asserted: the number depends on the machine.
TEST_F(MainDlgExtract, LongestEventLoopStallDuringTheAudioJob) {
    SAMPLE_OR_SKIP(sample, mwtest::LongMp3Avi());
    LoadAndWait(sample.path);
    int maxProgress = 0;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(dlg->pb, &QProgressBar::valueChanged, &ticker,
                     [&](int v) { maxProgress = std::max(maxProgress, v); });
    ticker.setInterval(2);
    ticker.setTimerType(Qt::PreciseTimer);
    // A plain event loop, as the program runs one: a stall is time the loop could not tick.
    QEventLoop loop;
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
        ++ticks;
        if (!dlg->ExtractingAudio())
            loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    mwtest::AcceptFileDialog(QString::fromStdString(dir + "/long.mp3"));
    dlg->audio_btn->click();
    ASSERT_TRUE(dlg->ExtractingAudio());
    clock.start();
    ticker.start();
    loop.exec();
    const qint64 total = clock.elapsed();
    ticker.stop();
    const bool ended = !dlg->ExtractingAudio();
    ASSERT_TRUE(ended);
    std::printf("[ stall    ] audio job %lld ms, %d ticks, longest event-loop stall %lld ms, "
                "highest progress shown %d%%\n",
                static_cast<long long>(total), ticks, static_cast<long long>(longest), maxProgress);
    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(boxes.Shown.empty());
    EXPECT_EQ(dlg->pb->value(), 0);
    EXPECT_GT(testmedia::FileSizeOf(dir + "/long.mp3"), 20000000u);
}

TEST_F(MainDlgExtract, PictureIsWrittenByItsExtension) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    LoadAndWait(sample.path);
    dlg->GotoFrame(30, false);
    shownFrame = -1;
    ASSERT_TRUE(WaitForPreview());
    const QImage shown = dlg->img->Picture().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(160, 120));

    // Typed without extension under the bitmap filter: a BMP of the frame on screen.
    mwtest::AcceptFileDialog(QString::fromStdString(dir + "/shot"), 1);
    dlg->picture_btn->click();
    const std::string bmp = dir + "/shot.bmp";
    ASSERT_TRUE(fs::exists(bmp));
    const std::vector<uint8_t> bytes = testmedia::ReadAll(bmp);
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    QImage fromBmp(QString::fromStdString(bmp));
    ASSERT_FALSE(fromBmp.isNull());
    EXPECT_EQ(fromBmp.convertToFormat(QImage::Format_RGB32), shown);
    EXPECT_NE(LogLines().back().find("\tExtracting picture to : " + bmp), std::string::npos);

    // Any letter case of .jpeg is a JPEG.
    mwtest::AcceptFileDialog(QString::fromStdString(dir + "/shot.JPEG"), 2);
    dlg->picture_btn->click();
    const std::vector<uint8_t> jpeg = testmedia::ReadAll(dir + "/shot.JPEG");
    ASSERT_GT(jpeg.size(), 3u);
    EXPECT_EQ(jpeg[0], 0xFF);
    EXPECT_EQ(jpeg[1], 0xD8);
    EXPECT_EQ(QImage(QString::fromStdString(dir + "/shot.JPEG"), "JPEG").size(), shown.size());

    // Another extension writes nothing and says nothing.
    mwtest::AcceptFileDialog(QString::fromStdString(dir + "/shot.png"), 1);
    dlg->picture_btn->click();
    EXPECT_FALSE(fs::exists(dir + "/shot.png"));
    EXPECT_TRUE(boxes.Shown.empty());

    // An existing picture stays after No.
    boxes.Answers = {kIdNo};
    const auto before = testmedia::ReadAll(bmp);
    dlg->GotoFrame(60, false);
    shownFrame = -1;
    ASSERT_TRUE(WaitForPreview());
    mwtest::AcceptFileDialog(QString::fromStdString(bmp), 1);
    dlg->picture_btn->click();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("File already exists. Overwrite ?")});
    EXPECT_EQ(testmedia::ReadAll(bmp), before);
}

} // namespace
