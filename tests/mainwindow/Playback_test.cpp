// Playback_test: playing in the real window through a real sound server (PulseAudio with a null
// sink, started here), its sound recorded off the sink's monitor and set against the pictures
// shown; stopping on every event that must stop it; playing silently without a server.
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/BitmapImage.h"
#include "engine/ui/Playback.h"
#include "mainwindow/FrameImage.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/U_MainDlg.h"
#include "support/settings/U_TobrelSettings.h"
#include "tests/common/Beeps.h"
#include "tests/common/SampleFiles.h"
#include "tests/common/TestMedia.h"
#include "tests/mainwindow/MainWindowTestSupport.h"
#include "tests/qtcommon/SoundServer.h"

#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <numeric>

using testmedia::Quote;
using testmedia::Run;

namespace {

using soundtest::SteadySeconds;

// A recording of the null sink's monitor, 44.1 kHz stereo, from its start to Stop.
struct TRecording {
    std::string path;
    std::string pid;
    double startedAt = 0; // steady time of the first sample

    explicit TRecording(const std::string& Path) : path(Path) {
        pid = Run("parec --device=clipvane_null.monitor --format=s16le --rate=44100 --channels=2 "
                  "--latency-msec=5 --raw " +
                  Quote(path) + " > /dev/null 2>&1 & echo $!")
                  .out;
        pid = pid.substr(0, pid.find('\n'));
    }
    std::vector<int16_t> Stop() {
        const double stoppedAt = SteadySeconds();
        Run("kill -INT " + pid + "; sleep 0.2");
        const std::vector<uint8_t> bytes = testmedia::ReadAll(path);
        // The server hands the recorder sound only once its sink runs: the recording is
        // anchored at its end, a few milliseconds before the recorder was stopped.
        startedAt = stoppedAt - double(bytes.size()) / 4 / 44100.0;
        std::vector<int16_t> pcm(bytes.size() / 2);
        std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
        return pcm;
    }
};

// A frame put on screen by the playback: when, and whether it was the white one.
struct TShown {
    int32_t frame = 0;
    double at = 0;
    bool white = false;
};

bool IsWhite(const QImage& Image) {
    const QRgb centre = Image.pixel(Image.width() / 2, Image.height() / 2);
    return qGray(centre) > 200;
}

class Playback : public mwtest::MainWindowTest {
protected:
    void SetUp() override {
        if (std::getenv(soundtest::kNoServer))
            GTEST_SKIP() << "runs without a sound server: see the PlaybackSilent tests";
        if (!soundtest::Server().failure.empty())
            GTEST_SKIP() << soundtest::Server().failure;
        MainWindowTest::SetUp();
    }

    void Record(std::vector<TShown>& Shown) {
        QObject::connect(dlg->Player, &TPlayback::FrameShown, dlg,
                         [&Shown](int32_t Frame, const QImage& Image) {
                             Shown.push_back({Frame, SteadySeconds(), IsWhite(Image)});
                         });
    }

    // Starts playing with Space on the bar and lets it run.
    void PlayFor(int Ms) {
        dlg->bar->setFocus();
        QTest::keyClick(dlg->bar, Qt::Key_Space);
        ASSERT_TRUE(dlg->Playing());
        QTest::qWait(Ms);
    }

    // Stopped, with the frame last shown on screen, in the bar and as the current frame.
    void ExpectStoppedOnShownFrame(const char* Event) {
        EXPECT_FALSE(dlg->Playing()) << Event;
        const int32_t shown = dlg->Player->ShownFrame();
        EXPECT_GT(shown, 0) << Event;
        EXPECT_EQ(dlg->bar->value(), shown) << Event;
        EXPECT_EQ(dlg->CurrentFrame, shown) << Event;
        TFrameBitmap bitmap;
        ASSERT_TRUE(dlg->Extractor->GetFrameBitmap(bitmap, shown));
        EXPECT_EQ(dlg->img->Picture(),
                  ImageFromBitmap(bitmap).convertToFormat(dlg->img->Picture().format()))
            << Event;
    }
};

TEST_F(Playback, SoundArrivesInTimeWithThePictures) {
    SAMPLE_OR_SKIP(sample, samplefiles::FlashBeep("flashbeep-mp3cbr", "-c:a libmp3lame -b:a 128k"));
    LoadAndWait(sample.path);
    std::vector<TShown> shown;
    Record(shown);
    // From frame 10 to the end of the file, where it stops by itself: five flashes and beeps
    // in 5.6 s, none of them at the start, which was on screen before.
    dlg->GotoFrame(10, false);
    ASSERT_TRUE(WaitForPreview());
    TRecording recording(dir + "/monitor.raw");
    QTest::qWait(300);
    QSignalSpy finished(dlg->Player, &TPlayback::Finished);
    dlg->bar->setFocus();
    QTest::keyClick(dlg->bar, Qt::Key_Space);
    ASSERT_TRUE(dlg->Playing());
    ASSERT_TRUE(finished.wait(12000));
    QTest::qWait(300);
    const std::vector<int16_t> pcm = recording.Stop();
    EXPECT_EQ(dlg->Player->Sound(), TPlayback::TSound::On) << dlg->Player->SilentWhy();
    const int32_t last = dlg->Extractor->FrameCount() - 1;
    EXPECT_EQ(dlg->Player->ShownFrame(), last);
    EXPECT_EQ(dlg->CurrentFrame, last);
    EXPECT_EQ(dlg->bar->value(), last);

    const size_t frames = pcm.size() / 2;
    const double played = double(last + 1 - 10) / 25;
    EXPECT_NEAR(beeps::SoundSpan(pcm.data(), frames, 2, 44100), played, played * 0.05);
    const std::vector<double> beepsAt = beeps::Onsets(pcm.data(), frames, 2, 44100);
    std::vector<double> flashesAt;
    for (size_t i = 1; i < shown.size(); ++i)
        if (shown[i].white && !shown[i - 1].white)
            flashesAt.push_back(shown[i].at - recording.startedAt);
    ASSERT_EQ(beepsAt.size(), 5u);
    ASSERT_EQ(flashesAt.size(), 5u);
    std::vector<double> offsets;
    for (size_t k = 0; k < 5; ++k) {
        EXPECT_NEAR(beepsAt[k] - beepsAt[0], double(k), 0.02) << "beep " << k;
        offsets.push_back(beepsAt[k] - flashesAt[k]);
    }
    const auto [low, high] = std::minmax_element(offsets.begin(), offsets.end());
    EXPECT_LE(*high - *low, 0.040) << "picture and sound drift apart";
    // The recorder's own start-up delay is all that may stand between them.
    EXPECT_LT(std::abs(std::accumulate(offsets.begin(), offsets.end(), 0.0) / 5), 0.15);
    std::cout << "sound span " << beeps::SoundSpan(pcm.data(), frames, 2, 44100)
              << " s; picture-to-sound offsets " << offsets[0] << " .. " << offsets[4]
              << " s; frames shown " << dlg->Player->FramesShown() << ", dropped "
              << dlg->Player->FramesDropped() << "\n";
}

TEST_F(Playback, StopsOnEachEventLeavingTheFrame) {
    SAMPLE_OR_SKIP(sample, samplefiles::FlashBeep("flashbeep-mp3cbr", "-c:a libmp3lame -b:a 128k"));
    LoadAndWait(sample.path);

    PlayFor(500);
    mwtest::CancelFileDialog();
    dlg->audio_btnClick();
    ExpectStoppedOnShownFrame("audio extraction");

    PlayFor(300);
    dlg->start_btnClick(); // marks while playing
    EXPECT_TRUE(dlg->Playing());
    QTest::qWait(300);
    dlg->end_btnClick();
    mwtest::CancelFileDialog();
    dlg->commit_btnClick();
    ExpectStoppedOnShownFrame("save");
    EXPECT_LT(dlg->BeginFrame, dlg->EndFrame);

    // The selection plays from the cut's real first frame and ends at the end mark.
    dlg->GotoFrame(60, false);
    dlg->start_btnClick();
    dlg->GotoFrame(80, false);
    dlg->end_btnClick();
    int32_t firstPlayed = -1;
    QObject::connect(dlg->Player, &TPlayback::FrameShown, dlg, [&firstPlayed](int32_t Frame) {
        if (firstPlayed < 0)
            firstPlayed = Frame;
    });
    QSignalSpy finished(dlg->Player, &TPlayback::Finished);
    QTest::keyClick(dlg->bar, Qt::Key_Space, Qt::ShiftModifier);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(firstPlayed, dlg->Extractor->CutStartFrame(60));
    EXPECT_EQ(dlg->CurrentFrame, 80);
    EXPECT_FALSE(dlg->Playing());

    PlayFor(300);
    dlg->LangueAfterLanguageSwitch();
    ExpectStoppedOnShownFrame("language switch");

    PlayFor(300);
    QTest::keyClick(dlg->bar, Qt::Key_K);
    ExpectStoppedOnShownFrame("K");

    // L again doubles the speed, J turns round, K stops.
    PlayFor(100);
    QTest::keyClick(dlg->bar, Qt::Key_L);
    EXPECT_EQ(dlg->Player->Speed(), 2);
    QTest::keyClick(dlg->bar, Qt::Key_L);
    EXPECT_EQ(dlg->Player->Speed(), 4);
    QTest::keyClick(dlg->bar, Qt::Key_J);
    EXPECT_EQ(dlg->Player->Speed(), -1);
    const int32_t before = dlg->CurrentFrame;
    QTest::qWait(400);
    EXPECT_LT(dlg->CurrentFrame, before);
    QTest::keyClick(dlg->bar, Qt::Key_K);
    EXPECT_FALSE(dlg->Playing());

    // A step stops it too, from the frame that was shown.
    PlayFor(300);
    QTest::keyClick(dlg->bar, Qt::Key_Right);
    EXPECT_FALSE(dlg->Playing());
    EXPECT_EQ(dlg->CurrentFrame, dlg->Player->ShownFrame() + 1);

    PlayFor(300);
    dlg->LoadFile(QString::fromStdString(sample.path));
    EXPECT_FALSE(dlg->Playing());

    PlayFor(300);
    dlg->close();
    EXPECT_FALSE(dlg->Playing());
    EXPECT_TRUE(boxes.Shown.empty()) << boxes.Texts().join(QStringLiteral(" | ")).toStdString();
}

TEST_F(Playback, VolumeAndMuteAreRemembered) {
    SAMPLE_OR_SKIP(sample, samplefiles::FlashBeep("flashbeep-mp3cbr", "-c:a libmp3lame -b:a 128k"));
    LoadAndWait(sample.path);
    dlg->volume_bar->setValue(30);
    QTest::keyClick(dlg->bar, Qt::Key_M);
    EXPECT_TRUE(dlg->mute_btn->isChecked());
    EXPECT_EQ(ReadAppSetting("Volume"), "30");
    EXPECT_EQ(ReadAppSetting("Muted"), "1");
    DestroyAppForms(forms);
    forms = CreateAppForms();
    dlg = forms.MainDlg;
    dlg->AppEvtActivate();
    EXPECT_EQ(dlg->volume_bar->value(), 30);
    EXPECT_TRUE(dlg->mute_btn->isChecked());
}

class PlaybackSilent : public mwtest::MainWindowTest {
protected:
    void SetUp() override {
        if (!std::getenv(soundtest::kNoServer))
            GTEST_SKIP() << "needs a process without a sound server (" << soundtest::kNoServer
                         << "=1)";
        soundtest::Server();
        MainWindowTest::SetUp();
    }
    // Plays a second from frame 0 and says how many frames went by.
    int32_t PlayASecond(const std::string& Path) {
        LoadAndWait(Path);
        dlg->bar->setFocus();
        QTest::keyClick(dlg->bar, Qt::Key_Space);
        QTest::qWait(1000);
        return dlg->CurrentFrame;
    }
};

TEST_F(PlaybackSilent, PlaysThePictureAndSaysWhy) {
    SAMPLE_OR_SKIP(sample, samplefiles::FlashBeep("flashbeep-mp3cbr", "-c:a libmp3lame -b:a 128k"));
    EXPECT_GE(PlayASecond(sample.path), 18);
    EXPECT_TRUE(dlg->Playing());
    EXPECT_EQ(dlg->Player->Sound(), TPlayback::TSound::NoDevice);
    EXPECT_EQ(dlg->StatusPanel(3),
              dlg->Translate(QStringLiteral(
                  "Playing without sound: no sound device or sound server was found.")));
    dlg->StopPlayback();

    SAMPLE_OR_SKIP(mute, samplefiles::FfmpegMjpeg());
    EXPECT_GE(PlayASecond(mute.path), 18);
    EXPECT_EQ(dlg->Player->Sound(), TPlayback::TSound::NoTrack);
    EXPECT_TRUE(boxes.Shown.empty()) << boxes.Texts().join(QStringLiteral(" | ")).toStdString();
    dlg->StopPlayback();

    SAMPLE_OR_SKIP(unreadable, mwtest::UnreadableAudioAvi());
    EXPECT_GE(PlayASecond(unreadable.path), 18);
    EXPECT_EQ(dlg->Player->Sound(), TPlayback::TSound::Undecodable);
    EXPECT_EQ(dlg->StatusPanel(3),
              dlg->TranslateWith(
                  QStringLiteral("Playing without sound: the audio cannot be decoded (%s)."),
                  {QStringLiteral("the audio stream's header gives no rate")}));
}

} // namespace
