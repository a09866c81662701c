// MainWindowTestSupport: fixture, answered boxes, driven dialogs and sample files.
#include "tests/mainwindow/MainWindowTestSupport.h"

#include "engine/ui/U_PictureExtractThd.h"
#include "mainwindow/U_MainDlg.h"
#include "support/log/U_Log.h"
#include "tests/common/TestMedia.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>

namespace mwtest {

namespace {

std::atomic<int32_t> lastGrabbed{-1};
std::mutex grabbedMutex;
std::vector<int32_t> grabbed;

samplefiles::Sample FromCommand(const std::string& name, const std::string& command) {
    if (!testmedia::HaveTool("ffmpeg"))
        return {{}, "ffmpeg not found; install the Debian package ffmpeg"};
    samplefiles::Sample s;
    s.path = testmedia::Make(name, command, &s.reason);
    return s;
}

} // namespace

TBoxes::TBoxes() {
    Previous = SetMsgBoxHook([this](const TMsgBoxRequest& r) {
        Shown.push_back(r);
        if (r.Plain || Answers.empty())
            return r.Plain ? kIdOk : kIdNo;
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
    });
}

TBoxes::~TBoxes() {
    SetMsgBoxHook(Previous);
}

QStringList TBoxes::Texts() const {
    QStringList texts;
    for (const TMsgBoxRequest& r : Shown)
        texts << r.Text;
    return texts;
}

namespace {

QObject* Watchers() {
    static QPointer<QObject> watchers;
    if (!watchers)
        watchers = new QObject(qApp);
    return watchers;
}

} // namespace

void StopWatching() {
    for (QObject* w : Watchers()->children())
        delete w;
}

void WhenModal(const std::function<bool(QWidget*)>& Matches,
               const std::function<void(QWidget*)>& Act) {
    auto* timer = new QTimer(Watchers());
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, Matches, Act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !Matches(modal))
            return;
        timer->stop();
        timer->deleteLater();
        Act(modal);
    });
    timer->start();
}

namespace {

bool IsFileDialog(QWidget* w) {
    return qobject_cast<QFileDialog*>(w) != nullptr;
}

} // namespace

void PressAccept(QFileDialog* Dialog) {
    // Qt's file dialog keeps accept() to itself; its slot is what the Open/Save button calls.
    QMetaObject::invokeMethod(Dialog, "accept", Qt::DirectConnection);
}

void ChooseFile(QFileDialog* Dialog, const QString& Name) {
    // Typed, as a user would: once the name field has the focus, selectFile leaves it alone.
    if (auto* edit = Dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(Name);
    else
        Dialog->selectFile(Name);
}

void AcceptFileDialog(const QString& Name, int FilterIndex) {
    WhenModal(IsFileDialog, [Name, FilterIndex](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        if (FilterIndex > 0) {
            d->selectNameFilter(d->nameFilters().value(FilterIndex - 1));
            emit d->filterSelected(d->selectedNameFilter());
        }
        ChooseFile(d, Name);
        PressAccept(d);
        // Now and then the dialog takes in its folder after the press and stays open; press
        // again, and give up after a few seconds so that a test fails rather than hangs.
        auto* retry = new QTimer(Watchers());
        retry->setInterval(20);
        QObject::connect(retry, &QTimer::timeout, retry,
                         [retry, d = QPointer<QFileDialog>(d), Name] {
                             if (!d || !d->isVisible() || retry->property("tries").toInt() > 250) {
                                 if (d && d->isVisible())
                                     d->reject();
                                 retry->deleteLater();
                                 retry->stop();
                                 return;
                             }
                             retry->setProperty("tries", retry->property("tries").toInt() + 1);
                             ChooseFile(d, Name);
                             PressAccept(d);
                         });
        retry->start();
    });
}

void CancelFileDialog() {
    WhenModal(IsFileDialog, [](QWidget* w) { qobject_cast<QFileDialog*>(w)->reject(); });
}

void CountFileDialogs(TDialogCounter& Counter) {
    auto* timer = new QTimer(Watchers());
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [&Counter] {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            ++Counter.Count;
            Counter.Suggested = d->selectedFiles().value(0);
            d->reject();
        }
    });
    timer->start();
}

void MainWindowTest::SetUp() {
    QCoreApplication::setApplicationName(QStringLiteral("Clipvane"));
    // Closing the window is a test step here, not the end of the run.
    QApplication::setQuitOnLastWindowClosed(false);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = testmedia::TempDir() + "/" + info->test_suite_name() + "." + info->name();
    std::filesystem::create_directories(dir + "/data");
    // The log's folder is made under the per-user data folder.
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir + "/data"));

    forms = CreateAppForms();
    dlg = forms.MainDlg;
    dlg->show();
    dlg->AppEvtActivate();
    ASSERT_NE(dlg->PictureWorker, nullptr);
    dlg->PictureWorker->SetGrabHook([](int32_t Frame) {
        std::lock_guard lock(grabbedMutex);
        grabbed.push_back(Frame);
        lastGrabbed = Frame;
    });
    ForgetGrabbed();
    lastGrabbed = -1;
    shownFrame = -1;
    QObject::connect(dlg->PictureWorker, &TPictureExtractThd::ShowFrame, dlg, [this] {
        ++shownFrames;
        shownFrame = lastGrabbed;
    });
}

void MainWindowTest::TearDown() {
    StopWatching();
    DestroyAppForms(forms);
    dlg = nullptr;
}

bool MainWindowTest::WaitForPreview() {
    // Requested once the bar stood still for a tick; shown when the worker's result for that
    // very frame has arrived.
    return QTest::qWaitFor(
        [this] { return !dlg->Tmr->isActive() && shownFrame == dlg->PendingFrame; }, 10000);
}

void MainWindowTest::LoadAndWait(const std::string& Path) {
    shownFrame = -1;
    dlg->LoadFile(QString::fromStdString(Path));
    ASSERT_TRUE(WaitForPreview()) << "no preview of " << Path;
}

std::vector<int32_t> MainWindowTest::Grabbed() const {
    std::lock_guard lock(grabbedMutex);
    return grabbed;
}

void MainWindowTest::ForgetGrabbed() {
    std::lock_guard lock(grabbedMutex);
    grabbed.clear();
}

std::string MainWindowTest::CopyTo(const std::string& Path, const std::string& Name) {
    const std::string to = dir + "/" + Name;
    std::filesystem::copy_file(Path, to, std::filesystem::copy_options::overwrite_existing);
    return to;
}

std::vector<std::string> MainWindowTest::LogLines() const {
    std::vector<std::string> lines = dlg->Log->Lines();
    std::reverse(lines.begin(), lines.end());
    return lines;
}

samplefiles::Sample Mp3Avi() {
    return samplefiles::FfmpegMpeg4CbrMp3();
}

samplefiles::Sample ManyFramesAvi() {
    return FromCommand("mw-10100frames.avi",
                       "ffmpeg -nostdin -v error -y -f lavfi "
                       "-i testsrc=size=32x32:rate=100:duration=101 -c:v mpeg4 -g 250 "
                       "-f avi {out}");
}

samplefiles::Sample UnreadableAudioAvi() {
    const samplefiles::Sample first = FromCommand(
        "mw-audiofirst.avi",
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=2 "
        "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -map 1:a -map 0:v "
        "-c:v mpeg4 -g 12 -c:a libmp3lame -b:a 64k -f avi {out}");
    if (!first)
        return first;
    return samplefiles::PatchedCopy(first, "mw-auds-scale0", [](std::vector<uint8_t>& f) {
        const size_t at = samplefiles::FindStreamHeader(f, "auds");
        if (at == 0) {
            f.clear();
            return;
        }
        samplefiles::Put32(f, at + samplefiles::kStrhScale, 0);
    });
}

samplefiles::Sample UndecodableAvi() {
    const samplefiles::Sample mjpeg = samplefiles::FfmpegMjpeg();
    if (!mjpeg)
        return mjpeg;
    return samplefiles::PatchedCopy(mjpeg, "mw-fourcc-qqqq", [](std::vector<uint8_t>& f) {
        // The handler of "strh" and the compression of "strf" both name the codec.
        const size_t headers = std::min<size_t>(f.size(), 4096);
        for (size_t i = 0; i + 4 <= headers; ++i) {
            if (f[i] == 'M' && f[i + 1] == 'J' && f[i + 2] == 'P' && f[i + 3] == 'G') {
                f[i] = f[i + 1] = f[i + 2] = f[i + 3] = 'Q';
            }
        }
    });
}

samplefiles::Sample LongMp3Avi() {
    // Tiny pictures keep the file quick to make; the audio is what the job copies.
    return FromCommand("mw-long-mp3.avi",
                       "ffmpeg -nostdin -v error -y -f lavfi "
                       "-i testsrc=size=32x32:rate=5:duration=600 -f lavfi "
                       "-i sine=frequency=440:sample_rate=44100:duration=600 -map 0:v -map 1:a "
                       "-c:v mpeg4 -g 50 -c:a libmp3lame -b:a 320k -f avi {out}");
}

samplefiles::Sample WideAvi(const std::string& Codec) {
    return FromCommand("mw-wide-" + Codec + ".avi",
                       "ffmpeg -nostdin -v error -y -f lavfi "
                       "-i testsrc2=size=160x120:rate=25:duration=1 -aspect 16:9 -c:v " +
                           Codec + " -f avi {out}");
}

samplefiles::Sample BFramesWithGapAvi() {
    // The dropped picture leaves a hole in the time stamps, which the muxer fills with an empty
    // chunk.
    return FromCommand("mw-bframes-gap.avi",
                       "ffmpeg -nostdin -v error -y -f lavfi "
                       "-i testsrc2=size=96x64:rate=25:duration=3 -vf select='not(eq(n\\,20))' "
                       "-fps_mode passthrough -c:v mpeg4 -bf 2 -g 25 -f avi {out}");
}

samplefiles::Sample AudioOnlyAvi() {
    return FromCommand("mw-audio-only.avi", "ffmpeg -nostdin -v error -y -f lavfi "
                                            "-i sine=duration=1 -c:a libmp3lame -f avi {out}");
}

} // namespace mwtest

void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}
