// The cut and audio workers and the wait dialog on real files: results, errors kept and handed
// to the main thread, the dialog refusing to close while a cut runs.
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/U_CutDlg.h"
#include "engine/ui/U_CutThd.h"
#include "engine/ui/U_ExtractThd.h"
#include "tests/common/ProbeFacts.h"
#include "tests/common/SampleFiles.h"
#include "tests/common/TestMedia.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using namespace testmedia;

namespace {

bool OnMainThread() {
    return QThread::currentThread() == qApp->thread();
}

// What a termination handler saw.
struct Termination {
    int calls = 0;
    bool onMain = false;
    bool failed = false;
    QString error;
};

void Watch(TJobThd& job, Termination& seen) {
    job.OnTerminate = [&seen](TJobThd* sender) {
        ++seen.calls;
        seen.onMain = OnMainThread();
        seen.failed = sender->Failed();
        seen.error = sender->ErrorMessage();
    };
}

// Video packets [first, last] of the source as ffprobe sees them, renumbered from 0.
std::vector<ProbePacket> ExpectedVideo(const std::string& source, int32_t first, int32_t last) {
    std::vector<ProbePacket> out;
    for (ProbePacket p : ProbePackets(source, "v"))
        if (p.frame >= first && p.frame <= last) {
            p.frame -= first;
            out.push_back(p);
        }
    return out;
}

void ExpectSameVideo(const std::vector<ProbePacket>& got, const std::vector<ProbePacket>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].frame, want[i].frame) << i;
        EXPECT_EQ(got[i].size, want[i].size) << i;
        EXPECT_EQ(got[i].key, want[i].key) << i;
    }
}

} // namespace

TEST(CutThd, CutsOnTheWorkerAndReportsOnTheMainThread) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    TAVIExtractor x;
    x.Open(sample.path);
    ASSERT_TRUE(x.Valid);

    // Progress and the end, in the order the main thread receives them.
    std::vector<int> events; // percent, or -1 for the termination handler
    bool progressOnMain = true;
    TProgressRelay relay([&](uint8_t p) {
        progressOnMain = progressOnMain && OnMainThread();
        events.push_back(p);
    });
    x.OnProgress = relay.Callback();

    const int32_t first = 14; // between key frames 12 and 24
    const int32_t last = 50;
    const int32_t key = x.NearestKeyFrame(first);
    ASSERT_LT(key, first);
    const std::string out = TempDir() + "/worker-cut.avi";
    x.CreateOutput(out);

    auto* job = new TCutThd;
    QPointer<TCutThd> alive(job);
    job->Extractor = &x;
    job->FirstFrame = first;
    job->LastFrame = last;
    job->FreeOnTerminate = true;
    Termination seen;
    Watch(*job, seen);
    job->OnTerminate = [&, handler = job->OnTerminate](TJobThd* sender) {
        handler(sender);
        events.push_back(-1);
    };
    job->Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.calls > 0 && !alive; }, 30000));

    EXPECT_EQ(seen.calls, 1);
    EXPECT_TRUE(seen.onMain);
    EXPECT_FALSE(seen.failed) << seen.error.toStdString();
    EXPECT_TRUE(seen.error.isEmpty());
    EXPECT_FALSE(x.Writing);
    ExpectSameVideo(ProbePackets(out, "v"), ExpectedVideo(sample.path, key, last));
    EXPECT_FALSE(ProbePackets(out, "a").empty());

    // Progress came through on the main thread, ended with 0, and all before the handler.
    EXPECT_TRUE(progressOnMain);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.back(), -1);
    EXPECT_EQ(events[events.size() - 2], 0);
    EXPECT_EQ(std::count(events.begin(), events.end(), -1), 1);
    for (int p : events)
        EXPECT_LE(p, 100);
}

TEST(CutDlg, RunsTheCutAndClosesItself) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMjpeg());
    TAVIExtractor x;
    x.Open(sample.path);
    const std::string out = TempDir() + "/dialog-cut.avi";
    x.CreateOutput(out);
    TCutDlg dlg;
    dlg.Extractor = &x;
    dlg.FirstFrame = 5;
    dlg.LastFrame = 20;
    EXPECT_EQ(dlg.Run(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.Busy);
    EXPECT_FALSE(dlg.LastFailed());
    EXPECT_TRUE(dlg.LastError().isEmpty());
    ExpectSameVideo(ProbePackets(out, "v"), ExpectedVideo(sample.path, 5, 20));
}

TEST(CutDlg, EscapeAndCloseCancelTheCutWhichStopsAtItsNextChunk) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMjpeg());
    TAVIExtractor x;
    x.Open(sample.path);
    const std::string out = TempDir() + "/held-cut.avi";
    x.CreateOutput(out);
    TCutDlg dlg;
    EXPECT_EQ(dlg.objectName(), "CutDlg");
    EXPECT_EQ(dlg.windowTitle(), "Please wait...");
    EXPECT_EQ(dlg.wait_lbl->text(), "Please wait...");
    dlg.Extractor = &x;
    dlg.FirstFrame = 0;
    dlg.LastFrame = x.FrameCount() - 1;

    // Holding the engine's lock keeps the cut from getting anywhere until we let go.
    auto held = x.AcquireLock();
    bool checked = false;
    QTimer::singleShot(0, &dlg, [&] {
        EXPECT_TRUE(dlg.Busy);
        // Closing asks the cut to stop; the dialog stays until it has.
        EXPECT_FALSE(dlg.close());
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_FALSE(dlg.cancel_btn->isEnabled());
        QTest::keyClick(&dlg, Qt::Key_Escape);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_TRUE(x.Writing) << "the cut ended while the engine was held";
        checked = true;
        held.unlock();
    });
    EXPECT_EQ(dlg.Run(), QDialog::Accepted);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(dlg.LastFailed());
    EXPECT_TRUE(dlg.LastCancelled());
    EXPECT_FALSE(dlg.QuitAsked());
    EXPECT_FALSE(x.Writing);
    // Once the cut is over the dialog closes like any other.
    dlg.show();
    EXPECT_TRUE(dlg.close());
}

TEST(CutDlg, ProgressShowsThePercentageAndTheTimeLeft) {
    TCutDlg dlg;
    dlg.Busy = true;
    dlg.SetProgress(40);
    EXPECT_EQ(dlg.prog->text(), "40%");
    // Two fifths done in 20 s: 30 s to go.
    EXPECT_EQ(TCutDlg::TimeLeftLine("%s - about %s left", 40, 20000), "40% - about 0:30 left");
    EXPECT_EQ(TCutDlg::TimeLeftLine("%s - about %s left", 1, 20000), "");
    EXPECT_EQ(TCutDlg::TimeLeftLine("%s - about %s left", 50, 500), "");
    // A translation that leaves out a "%s" loses that value only.
    EXPECT_EQ(TCutDlg::TimeLeftLine("%s", 50, 4000), "50%");
}

TEST(CutDlg, AFailingCutClosesTheDialogAndKeepsTheError) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    TCutDlg dlg;

    // An output device that is always full.
    TAVIExtractor x;
    x.Open(sample.path);
    x.CreateOutput("/dev/full");
    dlg.Extractor = &x;
    dlg.FirstFrame = 0;
    dlg.LastFrame = x.FrameCount() - 1;
    EXPECT_EQ(dlg.Run(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.Busy);
    EXPECT_TRUE(dlg.LastFailed());
    EXPECT_EQ(dlg.LastError(), "StreamWrite failed. Err: $8004406E (No space left on device)");
    EXPECT_FALSE(x.Writing);

    // A source that shrinks under the open engine: the reads fail.
    const std::string shrinking = TempDir() + "/dlg-shrinking.avi";
    std::filesystem::copy_file(sample.path, shrinking);
    TAVIExtractor y;
    y.Open(shrinking);
    std::filesystem::resize_file(shrinking, FileSizeOf(shrinking) / 2);
    y.CreateOutput(TempDir() + "/dlg-partial.avi");
    dlg.Extractor = &y;
    dlg.LastFrame = y.FrameCount() - 1;
    EXPECT_EQ(dlg.Run(), QDialog::Accepted);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(dlg.LastFailed());
    EXPECT_TRUE(dlg.LastError().startsWith("StreamRead failed. Err: $"))
        << dlg.LastError().toStdString();

    // The next, successful run forgets the earlier error.
    TAVIExtractor z;
    z.Open(sample.path);
    z.CreateOutput(TempDir() + "/dlg-after-failure.avi");
    dlg.Extractor = &z;
    dlg.LastFrame = 10;
    EXPECT_EQ(dlg.Run(), QDialog::Accepted);
    EXPECT_FALSE(dlg.LastFailed());
    EXPECT_TRUE(dlg.LastError().isEmpty());
}

TEST(ExtractThd, WritesTheMp3AndReportsOnTheMainThread) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    SAMPLE_OR_SKIP(sample, samplefiles::MencoderMpeg4CbrMp3());
    TAVIExtractor x;
    x.Open(sample.path);
    ASSERT_TRUE(x.IsMP3 && x.AudioReadable);
    const std::string out = TempDir() + "/worker.mp3";
    auto* job = new TExtractThd;
    QPointer<TExtractThd> alive(job);
    job->Extractor = &x;
    job->OutputName = out;
    job->FreeOnTerminate = true;
    Termination seen;
    Watch(*job, seen);
    job->Start();
    EXPECT_TRUE(job->Running());
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.calls > 0 && !alive; }, 30000));
    EXPECT_TRUE(seen.onMain);
    EXPECT_FALSE(seen.failed) << seen.error.toStdString();

    const std::string reference = TempDir() + "/reference.mp3";
    ASSERT_EQ(testmedia::Run("ffmpeg -nostdin -v error -y -i " + Quote(sample.path) +
                             " -map 0:a:0 -c copy -f data " + Quote(reference))
                  .exitCode,
              0);
    EXPECT_EQ(ReadAll(out), ReadAll(reference));
}

TEST(ExtractThd, AFailureIsKeptForTheHandler) {
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    TAVIExtractor x;
    x.Open(sample.path);
    for (const std::string& out :
         {TempDir() + "/missing/folder/out.mp3", std::string("/dev/full")}) {
        auto* job = new TExtractThd;
        job->Extractor = &x;
        job->OutputName = out;
        job->FreeOnTerminate = true;
        Termination seen;
        Watch(*job, seen);
        job->Start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return seen.calls > 0; }, 30000)) << out;
        EXPECT_TRUE(seen.onMain);
        EXPECT_TRUE(seen.failed) << out;
        EXPECT_FALSE(seen.error.isEmpty()) << out;
    }
    EXPECT_FALSE(std::filesystem::exists(TempDir() + "/missing"));
}

TEST(ExtractThd, WithoutAnEngineOrWhenDeletedEarly) {
    // No engine: nothing to do, the handler still runs.
    TExtractThd idle;
    Termination seen;
    Watch(idle, seen);
    idle.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.calls > 0; }, 5000));
    EXPECT_FALSE(seen.failed);
    EXPECT_TRUE(idle.Finished());

    // An owned job deleted while it runs: the deletion waits for the work, and the handler of a
    // deleted job never runs.
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    TAVIExtractor x;
    x.Open(sample.path);
    const std::string out = TempDir() + "/owned.mp3";
    Termination late;
    {
        auto job = std::make_unique<TExtractThd>();
        job->Extractor = &x;
        job->OutputName = out;
        Watch(*job, late);
        job->Start();
    }
    QTest::qWait(50);
    EXPECT_EQ(late.calls, 0);
    TAVIExtractor y;
    y.Open(sample.path);
    const std::string direct = TempDir() + "/direct.mp3";
    y.ExtractAudio(direct);
    EXPECT_EQ(ReadAll(out), ReadAll(direct));
}
