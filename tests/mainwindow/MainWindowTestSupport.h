// MainWindowTestSupport: the program's forms on a fixture, answered message boxes, file dialogs
// driven by timers, and the real AVI files the main window tests load.
#pragma once

#include "mainwindow/AppForms.h"
#include "mainwindow/dialogs/U_MsgDlg.h"
#include "tests/common/SampleFiles.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

class QFileDialog;
class QWidget;
class TMainDlg;

namespace mwtest {

// Records every box instead of showing it; MsgBox answers from Answers (first in, first out),
// kIdNo when none is left.
class TBoxes {
public:
    TBoxes();
    ~TBoxes();
    std::vector<TMsgBoxRequest> Shown;
    std::deque<int> Answers;
    // The texts shown, in order.
    QStringList Texts() const;

private:
    TMsgBoxHook Previous;
};

// Acts on the next modal widget that Matches once it is up (polled from the event loop), then
// stops. Schedule before the call that opens it. StopWatching ends every watch still waiting.
void WhenModal(const std::function<bool(QWidget*)>& Matches,
               const std::function<void(QWidget*)>& Act);
void StopWatching();
// Types Name (a file, or several each in double quotes) into the dialog's name field.
void ChooseFile(QFileDialog* Dialog, const QString& Name);
// Presses the dialog's Open/Save button.
void PressAccept(QFileDialog* Dialog);
// The next file dialog: choose FilterIndex (from 1, 0 keeps it), type Name and accept.
void AcceptFileDialog(const QString& Name, int FilterIndex = 0);
void CancelFileDialog();
// Counts file dialogs opened from now on (cancelling each at once); read Count afterwards.
struct TDialogCounter {
    int Count = 0;
    QString Suggested; // the file the last dialog offered, folder included
};
void CountFileDialogs(TDialogCounter& Counter);

// The program's forms with the main window started (log, engine, preview worker), its per-user
// folder in a temporary place and message boxes recorded.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads Path and waits until its first frame has been shown (or reported undecodable).
    void LoadAndWait(const std::string& Path);
    // Waits until the debounce has ended and the worker's result for the frame it asked for has
    // been shown. Set shownFrame to -1 before moving to the frame already shown.
    bool WaitForPreview();
    // The frames the preview worker started to decode, in order.
    std::vector<int32_t> Grabbed() const;
    void ForgetGrabbed();
    // A copy of Path under Name in this test's folder.
    std::string CopyTo(const std::string& Path, const std::string& Name);
    // The log's lines, oldest first.
    std::vector<std::string> LogLines() const;

    TAppForms forms;
    TMainDlg* dlg = nullptr;
    TBoxes boxes;
    std::string dir;
    int shownFrames = 0;
    int32_t shownFrame = -1; // the frame of the last result shown
};

// ffmpeg's mpeg4 + MP3 CBR file (75 frames at 25 fps, a key frame every 12).
samplefiles::Sample Mp3Avi();
// More than 10001 frames (10100 frames of 32x32 at 100 fps, a key frame every 250).
samplefiles::Sample ManyFramesAvi();
// MP3 as stream 0 with a header that cannot map samples to time: audio present, unreadable.
samplefiles::Sample UnreadableAudioAvi();
// A copy of the MJPEG sample whose FourCC no decoder knows.
samplefiles::Sample UndecodableAvi();
// Ten minutes of MP3 at 320 kbit/s beside tiny pictures, for timing the audio extraction.
samplefiles::Sample LongMp3Avi();
// 75 frames of MPEG-4 with B-frames, a key frame every 25 and one empty chunk.
samplefiles::Sample BFramesWithGapAvi();
// An AVI holding one MP3 stream and no video.
samplefiles::Sample AudioOnlyAvi();
// 160x120 pictures of Codec (an ffmpeg encoder) to be shown at 16:9.
samplefiles::Sample WideAvi(const std::string& Codec);

} // namespace mwtest

// Readable QString values in failure messages.
void PrintTo(const QString& Text, std::ostream* Out);
