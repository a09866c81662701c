// Loading a source into the main window: the checks and their messages, the caption, the status
// panels, the seek bar, the preview and the form's composition.
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/U_CutDlg.h"
#include "engine/ui/U_FileInfoDlg.h"
#include "localisation/Ts_MainTexts.h"
#include "localisation/ui/C_TextStorageComponent.h"
#include "localisation/ui/ComponentModel.h"
#include "mainwindow/FrameImage.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/U_MainDlg.h"
#include "support/log/U_Log.h"
#include "tests/common/TestMedia.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using mwtest::MainWindowTest;
namespace fs = std::filesystem;

// A file of Size bytes that takes no room on disk.
void MakeSparse(const std::string& Path, uint64_t Size) {
    std::ofstream(Path).close();
    fs::resize_file(Path, Size);
}

class MainDlgLoad : public MainWindowTest {};

TEST_F(MainDlgLoad, FormsAndComponentsKeepTheirOrderAndNames) {
    QStringList formNames;
    for (QObject* f : comp::Components(comp::Application()))
        formNames << comp::Name(f);
    EXPECT_EQ(formNames,
              (QStringList{"MainDlg", "AboutDlg", "C2CDDlg", "LangDlg", "FileInfoDlg", "CutDlg"}));
    EXPECT_EQ(comp::MainForm(), dlg);

    QStringList names;
    for (QObject* c : comp::Components(dlg))
        names << comp::Name(c);
    const QStringList controls{
        "top_pnl",   "title_lbl", "subtitle_lbl", "logo_btn",  "img",
        "error_img", "error_lbl", "check_btn",    "bar",       "split_trim_grp",
        "start_btn", "end_btn",   "commit_btn",   "audio_btn", "picture_btn",
        "pb",        "statbar",   "Tmr",          "Ts_Main",   "AppEvt",
        "WOD",       "JSDAvi",    "JSDSound",     "JSDPic",    "MainMenu1"};
    ASSERT_GE(names.size(), controls.size());
    EXPECT_EQ(names.mid(0, controls.size()), controls);
    for (const char* item : {"File1",
                             "Open1",
                             "Properties1",
                             "Exit1",
                             "Navigation1",
                             "Beginning1",
                             "End1",
                             "N1",
                             "NextFrame1",
                             "PreviousFrame1",
                             "N2",
                             "N50FramesForward1",
                             "N50FramesBackward1",
                             "N3",
                             "NextKeyFrame1",
                             "PreviousKeyFrame1",
                             "BurnDVD1",
                             "BurntoCD1",
                             "ConverttoDVD1",
                             "Options1",
                             "Language1",
                             "Fileassociation1",
                             "Enable1",
                             "Disable1",
                             "N4",
                             "Help1",
                             "Openlogfile1",
                             "N5",
                             "Checkforupdate1",
                             "N6",
                             "BugreportFeaturerequestKnownissues1",
                             "ChangeLog1",
                             "N7",
                             "About1"})
        EXPECT_TRUE(names.contains(QString::fromLatin1(item))) << item;
    EXPECT_EQ(comp::Components(forms.CutDlg).value(0),
              forms.CutDlg->findChild<QLabel*>("wait_lbl"));

    // The menu's texts, shortcuts and separators.
    EXPECT_EQ(dlg->Open1->text(), QStringLiteral("Load file..."));
    EXPECT_EQ(dlg->Open1->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(dlg->Exit1->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_EQ(dlg->Help1->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(dlg->Openlogfile1->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
    EXPECT_EQ(dlg->Checkforupdate1->shortcut(), QKeySequence(QStringLiteral("Ctrl+U")));
    EXPECT_EQ(dlg->GoTo1->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));
    EXPECT_EQ(dlg->About1->shortcut(), QKeySequence(QStringLiteral("Ctrl+B")));
    auto* navigation = dlg->findChild<QMenu*>(QStringLiteral("Navigation1"));
    ASSERT_NE(navigation, nullptr);
    QStringList entries;
    for (QAction* a : navigation->actions())
        entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(entries, (QStringList{"Beginning", "End", "-", "Next Frame", "Previous Frame", "-",
                                    "50 Frames Forward", "50 Frames Backward", "-",
                                    "Next Key Frame", "Previous Key Frame", "-", "Go to...", "-",
                                    "Play/Pause", "Play selection", "Play backwards", "Pause",
                                    "Play forwards", "Mute"}));
    auto* help = dlg->findChild<QMenu*>(QStringLiteral("N4"));
    ASSERT_NE(help, nullptr);
    entries.clear();
    for (QAction* a : help->actions())
        entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(entries, (QStringList{"Help", "Open log file", "-", "Check for update...", "-",
                                    "Bug report, Feature request, Known issues", "Change Log", "-",
                                    "About...", "Keyboard shortcuts..."}));

    // The message table: the original texts in order, the later ones after them.
    const QStringList items = dlg->Ts_Main->Items();
    ASSERT_EQ(items.size(), 96);
    EXPECT_EQ(items.first(), QStringLiteral("Invalid file type"));
    EXPECT_EQ(items[37], QStringLiteral("JPEG Files"));
    EXPECT_EQ(items[38], QString::fromLatin1(kFailedJobText));

    // Started: the bar cannot move, Properties waits for a file, the window is at least its
    // design size.
    EXPECT_EQ(dlg->bar->maximum(), 0);
    EXPECT_FALSE(dlg->Properties1->isEnabled());
    EXPECT_GE(dlg->width(), 499);
    EXPECT_EQ(dlg->Tmr->interval(), 50);
    EXPECT_EQ(dlg->windowTitle(), TMainDlg::BaseCaption());
    // The log lives in the maker's per-user folder, named after the title.
    EXPECT_EQ(dlg->Log->FileName(), dir + "/data/Quorlen/Clipvane/Clipvane.log");
    EXPECT_NE(LogLines().front().find("\tStarting"), std::string::npos);
}

TEST_F(MainDlgLoad, TypeCheckIgnoresCaseAndRefusesOtherExtensions) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    const QString caption = dlg->windowTitle();
    for (const char* name : {"clip", "clip.avi.bak", "clip.mpg", "clip.avi.", "dir.avi/clip"}) {
        SCOPED_TRACE(name);
        boxes.Shown.clear();
        const std::string path = dir + "/" + name;
        fs::create_directories(fs::path(path).parent_path());
        CopyTo(sample.path, name);
        dlg->LoadFile(QString::fromStdString(path));
        EXPECT_EQ(boxes.Texts(),
                  QStringList{QString::fromStdString(fs::path(path).filename().string()) +
                              QStringLiteral(" cannot be opened: Invalid file type")});
        ASSERT_EQ(boxes.Shown.size(), 1u);
        EXPECT_TRUE(boxes.Shown[0].Plain);
        EXPECT_EQ(boxes.Shown[0].Caption, QStringLiteral("Clipvane"));
        EXPECT_FALSE(dlg->Extractor->Valid);
        EXPECT_EQ(dlg->windowTitle(), caption);
        EXPECT_EQ(dlg->StatusPanel(0), QString());
        EXPECT_EQ(dlg->bar->maximum(), 0);
        const std::string last = LogLines().back();
        EXPECT_EQ(last.substr(0, 5), "Info\t");
        EXPECT_NE(last.find("\tLoading : " + path), std::string::npos);
    }

    boxes.Shown.clear();
    LoadAndWait(CopyTo(sample.path, "clip.AVI"));
    EXPECT_TRUE(boxes.Shown.empty());
    EXPECT_TRUE(dlg->Extractor->Valid);
    EXPECT_EQ(dlg->windowTitle(), TMainDlg::BaseCaption() + QStringLiteral(" (clip.AVI)"));
}

TEST_F(MainDlgLoad, AnySizeReachesTheEngine) {
    // Sparse zeros of 5 GiB: no size refusal; the engine finds no AVI file in them.
    const std::string big = dir + "/big.avi";
    MakeSparse(big, uint64_t{5} << 30);
    dlg->LoadFile(QString::fromStdString(big));
    // Named, with the cause in words and the engine's code after it.
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral(
                                 "big.avi cannot be opened: it is not an AVI file, or its headers "
                                 "are damaged (FileOpen failed. Err: $80044066)")});
    const std::vector<std::string> log = LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.back().substr(0, 6), "Error\t");
    EXPECT_NE(log.back().find("\tUnable to open file"), std::string::npos);
    EXPECT_NE(log[log.size() - 2].find("\tLoading : " + big), std::string::npos);
}

TEST_F(MainDlgLoad, FilesThatCannotBeCutDoNotLookAsIfTheyCould) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    SAMPLE_OR_SKIP(audio, mwtest::AudioOnlyAvi());
    // Audio alone: opens, but there is nothing to show or cut.
    const std::string audioOnly = CopyTo(audio.path, "voice.avi");
    LoadAndWait(sample.path);
    dlg->LoadFile(QString::fromStdString(audioOnly));
    EXPECT_EQ(boxes.Texts(),
              QStringList{QStringLiteral(
                  "voice.avi holds no video stream: there is nothing to cut or show.")});
    // A file that is not there: the one shown before is closed on the way.
    LoadAndWait(sample.path);
    boxes.Shown.clear();
    dlg->LoadFile(QString::fromStdString(dir + "/missing.avi"));
    EXPECT_EQ(boxes.Texts(),
              QStringList{QStringLiteral("missing.avi cannot be opened: No such file or directory "
                                         "(FileOpen failed. Err: $8004406F)")});
    EXPECT_FALSE(dlg->Extractor->Valid);
    EXPECT_EQ(dlg->windowTitle(), TMainDlg::BaseCaption());
    EXPECT_EQ(dlg->StatusPanel(0), QString());
    EXPECT_EQ(dlg->bar->maximum(), 0);
    for (QPushButton* b : {dlg->commit_btn, dlg->start_btn, dlg->end_btn, dlg->picture_btn})
        EXPECT_FALSE(b->isEnabled());
    // The frame commands do nothing until the next load.
    const int32_t before = dlg->CurrentFrame;
    dlg->End1Click();
    dlg->start_btnClick();
    EXPECT_EQ(dlg->CurrentFrame, before);
}

TEST_F(MainDlgLoad, LoadedFileSetsCaptionPanelsBarAndPreview) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    const std::string path = CopyTo(sample.path, "movie one.avi");
    LoadAndWait(path);
    EXPECT_TRUE(boxes.Shown.empty());
    EXPECT_EQ(dlg->windowTitle(), TMainDlg::BaseCaption() + QStringLiteral(" (movie one.avi)"));
    EXPECT_EQ(dlg->StatusPanel(0), QStringLiteral("movie one.avi"));
    EXPECT_EQ(dlg->StatusPanel(1), QStringLiteral("160x120"));
    EXPECT_EQ(dlg->StatusPanel(2), QStringLiteral("0:00"));
    EXPECT_EQ(dlg->bar->minimum(), 0);
    const int32_t n = dlg->Extractor->FrameCount();
    // One position per frame.
    EXPECT_EQ(dlg->bar->maximum(), n - 1);
    EXPECT_EQ(dlg->bar->KeyFrames(), dlg->Extractor->KeyFrames());
    EXPECT_EQ(dlg->bar->value(), 0);
    EXPECT_EQ(dlg->bar->SelStart(), 0);
    EXPECT_EQ(dlg->bar->SelEnd(), 0);
    EXPECT_EQ(dlg->bar->toolTip(),
              QStringLiteral("Frame : 1 / %1 \n\rTime (hh:mm:ss) : 0:00 / 0:0%2")
                  .arg(n)
                  .arg(n * 40 / 1000));
    EXPECT_TRUE(dlg->Properties1->isEnabled());
    EXPECT_TRUE(dlg->audio_btn->isEnabled());
    // The first frame is on screen and the frame commands are on.
    EXPECT_TRUE(dlg->img->isVisibleTo(dlg));
    EXPECT_FALSE(dlg->error_lbl->isVisibleTo(dlg));
    EXPECT_EQ(dlg->img->Picture().size(), QSize(160, 120));
    for (QPushButton* b : {dlg->commit_btn, dlg->start_btn, dlg->end_btn, dlg->picture_btn})
        EXPECT_TRUE(b->isEnabled());
    EXPECT_NE(LogLines().back().find("\tLoading : " + path), std::string::npos);
}

TEST_F(MainDlgLoad, LoadingAgainResetsMarksBarAndFrame) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    LoadAndWait(sample.path);
    dlg->GotoFrame(40, false);
    dlg->start_btnClick();
    dlg->End1Click();
    dlg->end_btnClick();
    ASSERT_NE(dlg->bar->SelStart(), dlg->bar->SelEnd());
    LoadAndWait(sample.path);
    EXPECT_EQ(dlg->CurrentFrame, 0);
    EXPECT_EQ(dlg->BeginFrame, 0);
    EXPECT_EQ(dlg->EndFrame, 0);
    EXPECT_EQ(dlg->bar->value(), 0);
    EXPECT_EQ(dlg->bar->SelStart(), 0);
    EXPECT_EQ(dlg->bar->SelEnd(), 0);
    EXPECT_EQ(dlg->StatusPanel(2), QStringLiteral("0:00"));
}

TEST_F(MainDlgLoad, AudioStateDecidesExtractAudio) {
    SAMPLE_OR_SKIP(pcm, samplefiles::FfmpegMsmpeg4v2Pcm());
    LoadAndWait(pcm.path);
    EXPECT_FALSE(dlg->audio_btn->isEnabled());
    EXPECT_TRUE(boxes.Shown.empty());

    SAMPLE_OR_SKIP(silent, samplefiles::FfmpegMjpeg());
    LoadAndWait(silent.path);
    EXPECT_FALSE(dlg->audio_btn->isEnabled());
    EXPECT_TRUE(boxes.Shown.empty());

    // Present but unreadable: said once, and the load still succeeds.
    SAMPLE_OR_SKIP(unreadable, mwtest::UnreadableAudioAvi());
    LoadAndWait(unreadable.path);
    EXPECT_EQ(boxes.Texts(),
              QStringList{QStringLiteral("Audio track is present but not readable")});
    EXPECT_TRUE(dlg->Extractor->Valid);
    EXPECT_FALSE(dlg->audio_btn->isEnabled());
    EXPECT_TRUE(dlg->Properties1->isEnabled());
    EXPECT_EQ(dlg->StatusPanel(0),
              QString::fromStdString(fs::path(unreadable.path).filename().string()));
}

TEST_F(MainDlgLoad, UndecodableFrameShowsTheErrorInsteadOfTheImage) {
    SAMPLE_OR_SKIP(sample, mwtest::UndecodableAvi());
    LoadAndWait(sample.path);
    ASSERT_TRUE(dlg->Extractor->Valid);
    EXPECT_FALSE(dlg->img->isVisibleTo(dlg));
    EXPECT_TRUE(dlg->error_img->isVisibleTo(dlg));
    EXPECT_TRUE(dlg->error_lbl->isVisibleTo(dlg));
    EXPECT_TRUE(dlg->check_btn->isVisibleTo(dlg));
    EXPECT_EQ(dlg->error_lbl->text(), QStringLiteral("Unable to extract frame"));
    for (QPushButton* b : {dlg->commit_btn, dlg->start_btn, dlg->end_btn, dlg->picture_btn})
        EXPECT_FALSE(b->isEnabled());
    EXPECT_TRUE(boxes.Shown.empty());

    // A decodable file brings the image back.
    SAMPLE_OR_SKIP(good, mwtest::Mp3Avi());
    LoadAndWait(good.path);
    EXPECT_TRUE(dlg->img->isVisibleTo(dlg));
    EXPECT_FALSE(dlg->error_lbl->isVisibleTo(dlg));
    EXPECT_TRUE(dlg->commit_btn->isEnabled());
}

TEST_F(MainDlgLoad, PropertiesShowTheSourcesFileInformation) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    LoadAndWait(sample.path);
    QStringList lines;
    mwtest::WhenModal([](QWidget* w) { return qobject_cast<TFileInfoDlg*>(w) != nullptr; },
                      [&](QWidget* w) {
                          auto* info = qobject_cast<TFileInfoDlg*>(w);
                          for (int i = 0; i < info->tv->topLevelItemCount(); ++i) {
                              const QTreeWidgetItem* branch = info->tv->topLevelItem(i);
                              lines << branch->text(0);
                              for (int c = 0; c < branch->childCount(); ++c)
                                  lines << branch->child(c)->text(0);
                          }
                          info->accept();
                      });
    dlg->Properties1->trigger();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.value(0), QStringLiteral("File Info"));
    EXPECT_EQ(lines.value(1), QStringLiteral("File Name : ") + QString::fromStdString(sample.path));
    EXPECT_TRUE(lines.contains(QStringLiteral("Resolution : 160x120")));
    EXPECT_TRUE(lines.contains(QStringLiteral("FPS : 25.00 Frame/sec")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Code : 0x55 (MP3)")));
}

TEST_F(MainDlgLoad, OpenCommandLoadsThroughTheOpenDialog) {
    SAMPLE_OR_SKIP(sample, mwtest::Mp3Avi());
    const std::string path = CopyTo(sample.path, "chosen.avi");
    mwtest::AcceptFileDialog(QString::fromStdString(path));
    dlg->Open1->trigger();
    ASSERT_TRUE(WaitForPreview());
    EXPECT_EQ(dlg->StatusPanel(0), QStringLiteral("chosen.avi"));

    // Cancelled: nothing changes.
    mwtest::CancelFileDialog();
    dlg->Open1->trigger();
    EXPECT_EQ(dlg->StatusPanel(0), QStringLiteral("chosen.avi"));
}

} // namespace
