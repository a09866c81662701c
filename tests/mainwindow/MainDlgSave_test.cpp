// Marks and Save in the main window, end to end: the wait dialog runs the real cut, the saved
// file is checked with ffprobe and becomes the current file; refusals and failures.
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/U_CutDlg.h"
#include "mainwindow/FrameImage.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/U_MainDlg.h"
#include "tests/common/ProbeFacts.h"
#include "tests/common/TestMedia.h"
#include "tests/mainwindow/MainWindowTestSupport.h"

#include <QAction>
#include <QFileDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using mwtest::MainWindowTest;
namespace fs = std::filesystem;

bool Contains(const std::vector<std::string>& Lines, const std::string& Text) {
    for (const std::string& line : Lines)
        if (line.find(Text) != std::string::npos)
            return true;
    return false;
}

// Index of the first line holding Text; -1 when none.
long IndexOf(const std::vector<std::string>& Lines, const std::string& Text) {
    for (size_t i = 0; i < Lines.size(); ++i)
        if (Lines[i].find(Text) != std::string::npos)
            return static_cast<long>(i);
    return -1;
}

class MainDlgSave : public MainWindowTest {
protected:
    // Loads a copy of the MP3 sample named Name and marks From (snapped to its key frame) to To.
    std::string LoadAndMark(const std::string& Name, int32_t From, int32_t To) {
        const std::string source = CopyTo(sample.path, Name);
        LoadAndWait(source);
        dlg->GotoFrame(From, false);
        dlg->start_btn->click();
        dlg->GotoFrame(To, false);
        dlg->end_btn->click();
        return source;
    }
    void SetUp() override {
        MainWindowTest::SetUp();
        sample = mwtest::Mp3Avi();
    }
    samplefiles::Sample sample;
};

TEST_F(MainDlgSave, MarkedSequenceIsSavedAndBecomesTheCurrentFile) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    if (!sample)
        GTEST_SKIP() << sample.reason;
    const std::vector<int32_t> keys = testmedia::ProbeKeyFrames(sample.path);
    ASSERT_GE(keys.size(), 4u);
    const int32_t from = keys[1] + 3;
    const int32_t to = keys[3] + 5;
    const std::string source = CopyTo(sample.path, "source.avi");
    LoadAndWait(source);

    // Beginning snaps to the key frame at or before the current frame, which stays.
    dlg->GotoFrame(from, false);
    dlg->start_btn->click();
    EXPECT_EQ(dlg->BeginFrame, keys[1]);
    EXPECT_EQ(dlg->CurrentFrame, from);
    EXPECT_EQ(dlg->bar->SelStart(), keys[1]);
    // End takes the current frame as it is.
    dlg->GotoFrame(to, false);
    dlg->end_btn->click();
    EXPECT_EQ(dlg->EndFrame, to);
    EXPECT_EQ(dlg->bar->SelEnd(), to);

    QString waitCaption;
    bool waitModal = false;
    mwtest::WhenModal([](QWidget* w) { return qobject_cast<TCutDlg*>(w) != nullptr; },
                      [&](QWidget* w) {
                          waitCaption = w->windowTitle();
                          waitModal = w->isModal();
                      });
    // Typed without extension: the dialog adds the filter's.
    mwtest::AcceptFileDialog(QString::fromStdString(dir + "/part"));
    dlg->commit_btn->click();
    const std::string part = dir + "/part.avi";

    EXPECT_TRUE(boxes.Shown.empty());
    ASSERT_TRUE(fs::exists(part));
    EXPECT_EQ(dlg->Extractor->FileName, part);
    EXPECT_EQ(dlg->windowTitle(), TMainDlg::BaseCaption() + QStringLiteral(" (part.avi)"));
    EXPECT_EQ(dlg->StatusPanel(0), QStringLiteral("part.avi"));
    EXPECT_EQ(dlg->CurrentFrame, 0);
    EXPECT_EQ(dlg->BeginFrame, 0);
    EXPECT_EQ(dlg->EndFrame, 0);
    EXPECT_EQ(dlg->bar->SelStart(), dlg->bar->SelEnd());
    EXPECT_EQ(dlg->Extractor->FrameCount(), to - keys[1] + 1);
    ASSERT_TRUE(WaitForPreview());
    EXPECT_EQ(shownFrame, 0);
    EXPECT_TRUE(dlg->img->isVisibleTo(dlg));
    EXPECT_TRUE(dlg->commit_btn->isEnabled());
    EXPECT_EQ(dlg->pb->value(), 0);
    if (!waitCaption.isEmpty()) { // a very quick cut may end before the poll sees the dialog
        EXPECT_EQ(waitCaption, QStringLiteral("Please wait..."));
        EXPECT_TRUE(waitModal);
    }

    // The saved video is the source's packets from the key frame to the end mark.
    const auto in = testmedia::ProbePackets(source, "v");
    const auto out = testmedia::ProbePackets(part, "v");
    std::vector<testmedia::ProbePacket> expected;
    for (const auto& p : in)
        if (p.frame >= keys[1] && p.frame <= to)
            expected.push_back(p);
    ASSERT_EQ(out.size(), expected.size());
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].size, expected[i].size) << i;
        EXPECT_EQ(out[i].key, expected[i].key) << i;
    }
    ASSERT_FALSE(out.empty());
    EXPECT_TRUE(out.front().key);

    const std::vector<std::string> log = LogLines();
    const long extracting = IndexOf(log, "\tExtracting sequence to : " + part);
    const long done = IndexOf(log, "\tExtraction done");
    const long loading = IndexOf(log, "\tLoading : " + part);
    ASSERT_GE(extracting, 0);
    EXPECT_GT(done, extracting);
    EXPECT_GT(loading, done);
}

TEST_F(MainDlgSave, ACancelledCutLeavesNoFileAndTheSourceAsItWas) {
    if (!sample)
        GTEST_SKIP() << sample.reason;
    const std::string source = CopyTo(sample.path, "source.avi");
    const std::vector<uint8_t> before = testmedia::ReadAll(source);
    LoadAndWait(source);
    const int32_t key = dlg->Extractor->NextKeyFrame(0);
    dlg->GotoFrame(key + 2, false);
    dlg->start_btn->click();
    dlg->GotoFrame(key + 20, false);
    dlg->end_btn->click();
    dlg->GotoFrame(key + 9, false);

    // The engine held, the cut waits at its start until Cancel has been pressed.
    auto held = dlg->Extractor->AcquireLock();
    bool controlsOff = false;
    mwtest::WhenModal([](QWidget* w) { return qobject_cast<TCutDlg*>(w) != nullptr; },
                      [&](QWidget* w) {
                          controlsOff = !dlg->start_btn->isEnabled() && !dlg->bar->isEnabled();
                          qobject_cast<TCutDlg*>(w)->cancel_btn->click();
                          held.unlock();
                      });
    mwtest::AcceptFileDialog(QString::fromStdString(dir + "/part.avi"));
    dlg->commit_btn->click();

    EXPECT_TRUE(controlsOff);
    EXPECT_TRUE(boxes.Shown.empty()) << boxes.Texts().join(" | ").toStdString();
    EXPECT_FALSE(fs::exists(dir + "/part.avi"));
    EXPECT_EQ(testmedia::ReadAll(source), before);
    EXPECT_EQ(dlg->Extractor->FileName, source);
    EXPECT_EQ(dlg->BeginFrame, key);
    EXPECT_EQ(dlg->EndFrame, key + 20);
    EXPECT_EQ(dlg->CurrentFrame, key + 9);
    EXPECT_EQ(dlg->StatusPanel(3),
              QStringLiteral("The cut was cancelled; source.avi is unchanged."));
    EXPECT_TRUE(dlg->start_btn->isEnabled());
}

TEST_F(MainDlgSave, AMissingOrReversedRangeIsRefusedWithItsReason) {
    if (!sample)
        GTEST_SKIP() << sample.reason;
    mwtest::TDialogCounter dialogs;
    mwtest::CountFileDialogs(dialogs);
    const auto refused = [&](const char* Text) {
        EXPECT_EQ(dialogs.Count, 0);
        EXPECT_EQ(boxes.Texts(), QStringList{QString::fromLatin1(Text)});
        boxes.Shown.clear();
    };

    LoadAndWait(sample.path);
    dlg->commit_btn->click();
    refused("Mark the beginning and the end of the sequence first (\"Beginning\", \"End\").");

    // Beginning and End on the same key frame.
    const int32_t key = dlg->Extractor->NextKeyFrame(0);
    dlg->GotoFrame(key, false);
    dlg->start_btn->click();
    EXPECT_EQ(QApplication::focusWidget(), dlg->bar); // the arrows go on stepping
    dlg->commit_btn->click();
    refused("Mark the end of the sequence first (\"End\").");
    dlg->end_btn->click();
    dlg->commit_btn->click();
    refused("The beginning and the end are on the same frame. Mark the end after the beginning.");

    // The end before the beginning would save no frame at all.
    dlg->GotoFrame(key - 1, false);
    dlg->end_btn->click();
    dlg->commit_btn->click();
    refused("The end mark lies before the beginning mark. Mark the end after the beginning.");

    // A real selection asks for a name in the source's folder (here cancelled: nothing else
    // happens).
    dlg->GotoFrame(key + 5, false);
    dlg->end_btn->click();
    dlg->commit_btn->click();
    EXPECT_EQ(dialogs.Count, 1);
    const fs::path source(sample.path);
    EXPECT_EQ(dialogs.Suggested.toStdString(),
              (source.parent_path() / (source.stem().string() + "-" + std::to_string(key + 1) +
                                       "-" + std::to_string(key + 6) + ".avi"))
                  .string());
    EXPECT_EQ(dlg->Extractor->FileName, sample.path);
    EXPECT_TRUE(boxes.Shown.empty());
}

TEST_F(MainDlgSave, SourceNameIsRefusedInAnyLetterCase) {
    if (!sample)
        GTEST_SKIP() << sample.reason;
    const std::string source = LoadAndMark("clip.avi", 14, 40);
    for (const char* name : {"CLIP.AVI", "clip.avi", "Clip.avi"}) {
        SCOPED_TRACE(name);
        boxes.Shown.clear();
        mwtest::AcceptFileDialog(QString::fromStdString(dir + "/" + name));
        dlg->commit_btn->click();
        EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("File name must be different")});
        ASSERT_EQ(boxes.Shown.size(), 1u);
        EXPECT_TRUE(boxes.Shown[0].Plain);
        EXPECT_EQ(dlg->Extractor->FileName, source);
        EXPECT_TRUE(dlg->commit_btn->isEnabled());
        EXPECT_TRUE(Contains(LogLines(), "\tExtracting sequence to : " + dir + "/" + name));
    }
    EXPECT_FALSE(fs::exists(dir + "/CLIP.AVI"));
    EXPECT_FALSE(fs::exists(dir + "/Clip.avi"));
}

TEST_F(MainDlgSave, ExistingOutputIsReplacedOnlyAfterYes) {
    if (!sample)
        GTEST_SKIP() << sample.reason;
    const std::string source = LoadAndMark("source.avi", 0, 30);
    const std::string old = dir + "/old.avi";
    testmedia::WriteAll(old, {'k', 'e', 'e', 'p'});

    boxes.Answers = {kIdNo};
    mwtest::AcceptFileDialog(QString::fromStdString(old));
    dlg->commit_btn->click();
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text, QStringLiteral("File already exists. Overwrite ?"));
    EXPECT_EQ(boxes.Shown[0].Buttons, kMbYesNo);
    EXPECT_EQ(boxes.Shown[0].Kind, kKindWarning);
    EXPECT_EQ(testmedia::ReadAll(old), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(dlg->Extractor->FileName, source);

    boxes.Answers = {kIdYes};
    mwtest::AcceptFileDialog(QString::fromStdString(old));
    dlg->commit_btn->click();
    EXPECT_EQ(boxes.Shown.size(), 2u);
    EXPECT_EQ(dlg->Extractor->FileName, old);
    EXPECT_EQ(dlg->Extractor->FrameCount(), 31);
    EXPECT_GT(testmedia::FileSizeOf(old), 1000u);
}

TEST_F(MainDlgSave, OutputThatCannotBeCreatedIsReported) {
    if (!sample)
        GTEST_SKIP() << sample.reason;
    const std::string source = LoadAndMark("source.avi", 0, 30);
    mwtest::AcceptFileDialog(QString::fromStdString(dir + "/no/such/folder/out.avi"));
    dlg->commit_btn->click();
    ASSERT_EQ(boxes.Shown.size(), 1u);
    EXPECT_EQ(boxes.Shown[0].Text,
              QStringLiteral("Operation failed: FileOpen failed. Err: $8004406F (No such file or "
                             "directory)"));
    EXPECT_EQ(boxes.Shown[0].Kind, kKindError);
    EXPECT_EQ(dlg->Extractor->FileName, source);
    EXPECT_TRUE(dlg->Extractor->Valid);
    for (QPushButton* b : {dlg->commit_btn, dlg->audio_btn, dlg->picture_btn})
        EXPECT_TRUE(b->isEnabled());
    const std::vector<std::string> log = LogLines();
    EXPECT_EQ(log.back().substr(0, 6), "Error\t");
    EXPECT_NE(log.back().find("FileOpen failed. Err: $8004406F"), std::string::npos);
}

TEST_F(MainDlgSave, FailingCutIsReportedAndTheSourceLoadedAgain) {
    if (!sample)
        GTEST_SKIP() << sample.reason;
    const std::string source = CopyTo(sample.path, "shrinking.avi");
    LoadAndWait(source);
    dlg->start_btn->click();
    dlg->End1Click();
    dlg->end_btn->click();
    // The source loses its second half under the open engine: the cut's reads fail.
    fs::resize_file(source, fs::file_size(source) / 2);

    const std::string out = dir + "/out.avi";
    mwtest::AcceptFileDialog(QString::fromStdString(out));
    dlg->commit_btn->click();

    ASSERT_GE(boxes.Shown.size(), 1u);
    const QString prefix = QStringLiteral("Operation failed: ");
    EXPECT_TRUE(boxes.Shown[0].Text.startsWith(prefix)) << boxes.Shown[0].Text.toStdString();
    EXPECT_TRUE(boxes.Shown[0].Text.contains(QStringLiteral(" failed. Err: $")));
    EXPECT_EQ(boxes.Shown[0].Kind, kKindError);
    const std::string message = boxes.Shown[0].Text.mid(prefix.size()).toStdString();
    // No partial output is left, and the source is what the window loads next.
    EXPECT_FALSE(fs::exists(out));
    const std::vector<std::string> log = LogLines();
    const long error = IndexOf(log, "Error\t");
    ASSERT_GE(error, 0);
    EXPECT_NE(log[static_cast<size_t>(error)].find(message), std::string::npos);
    const long reload = IndexOf(log, "\tLoading : " + source);
    // The first load of the source comes before; the reload after the error.
    long lastLoad = -1;
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i].find("\tLoading : ") != std::string::npos)
            lastLoad = static_cast<long>(i);
    EXPECT_GE(reload, 0);
    EXPECT_GT(lastLoad, error);
    EXPECT_NE(log[static_cast<size_t>(lastLoad)].find(source), std::string::npos);
    EXPECT_FALSE(Contains(log, "\tLoading : " + out));
    EXPECT_TRUE(dlg->Open1->isEnabled());
}

} // namespace
