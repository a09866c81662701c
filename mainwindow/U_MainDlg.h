// U_MainDlg: TMainDlg, the main window - its controls, menu and message table, loading a source,
// frame navigation, and the split, trim and extraction commands.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QSlider;
class QStatusBar;
class QTimer;
class QToolButton;
class TAVIExtractor;
class TAboutDlg;
class TC2CDDlg;
class TCutDlg;
class ELanguageFileError;
class TExtractThd;
class TFileInfoDlg;
class TFrameImage;
class TJobThd;
class TKLog;
class TLangDlg;
class TLangList;
class TParvoLite;
class TPictureExtractThd;
class TPlayback;
class TProgressRelay;
class TSeekBar;
class TTextStorageComponent;
class TWideOpenDialog;
class TWideSaveDialog;

// The seek bar's hint for frame Frame (from 0) of FrameCount frames of MsPerFrame milliseconds:
// two lines, frame number and time, each "current / total".
QString PreviewHintText(int32_t Frame, int32_t FrameCount, int32_t MsPerFrame);
// The time of frame Frame: Frame x MsPerFrame div 1000 seconds, as FormatDuration writes it.
QString FrameTimeText(int32_t Frame, int32_t MsPerFrame);

// The text added to the end of Ts_Main's design-time table: a cut, an extraction or a picture
// that failed, with the engine's English message in place of %s.
inline constexpr const char* kFailedJobText = "Operation failed: %s";
// Ts_Main's design-time texts.
std::vector<std::string> MainMessageTexts();

// The application-events component: its OnActivate runs when the application becomes active.
// It watches the application object, so it sees the activation before any signal does, and
// after the event filters installed later (the language list's among them).
class TApplicationEvents : public QObject {
    Q_OBJECT
public:
    explicit TApplicationEvents(QObject* Parent);
    std::function<void()> OnActivate;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
};

class TMainDlg : public QMainWindow {
    Q_OBJECT
public:
    // PortableImport false leaves "settings.ini" alone (a run that writes no settings).
    explicit TMainDlg(QWidget* Parent = nullptr, bool PortableImport = true);
    ~TMainDlg() override;

    // ---- State ----
    std::unique_ptr<TAVIExtractor> Extractor; // from the first activation
    TPictureExtractThd* PictureWorker = nullptr;
    TPlayback* Player = nullptr; // from the first activation
    QStringList DroppedFiles;
    std::unique_ptr<TKLog> Log;          // from the first activation
    std::unique_ptr<TParvoLite> Updater; // from the first activation
    // Called once, when the first frame of the first file is on screen (start-up timing).
    std::function<void()> OnFirstFrame;
    int32_t CurrentFrame = 0;
    int32_t BeginFrame = 0;
    int32_t EndFrame = 0;
    int32_t PendingFrame = 0;
    bool QuietUpdateCheck = false;
    bool VerbRun = false;
    // The arguments after the program name; the first one may name a file to load.
    QStringList CommandLine;

    // The forms the window works with, created beside it by the program entry.
    QPointer<TFileInfoDlg> FileInfoDlg;
    QPointer<TCutDlg> CutDlg;
    QPointer<TAboutDlg> AboutDlg;
    QPointer<TC2CDDlg> C2CDDlg;
    QPointer<TLangDlg> LangDlg;

    // ---- Controls, by their component names ----
    QFrame* top_pnl;
    QLabel* title_lbl;
    QLabel* subtitle_lbl;
    QToolButton* logo_btn;
    TFrameImage* img;
    QLabel* error_img;
    QLabel* error_lbl;
    QPushButton* check_btn;
    TSeekBar* bar;
    QToolButton* play_btn;
    QToolButton* mute_btn;
    QSlider* volume_bar; // 0 to 100
    QLabel* pos_lbl;     // where the current frame is and what it holds
    QLabel* range_lbl;   // what a cut of the marked range would write
    QGroupBox* split_trim_grp;
    QPushButton* start_btn;
    QPushButton* end_btn;
    QPushButton* commit_btn;
    QPushButton* audio_btn;
    QPushButton* picture_btn;
    QProgressBar* pb;
    QStatusBar* statbar;
    QTimer* Tmr;
    TLangList* Langue;
    TTextStorageComponent* Ts_Main;
    TApplicationEvents* AppEvt;
    TWideOpenDialog* WOD;
    TWideSaveDialog* JSDAvi;
    TWideSaveDialog* JSDSound;
    TWideSaveDialog* JSDPic;
    QMenuBar* MainMenu1;
    QAction* Open1 = nullptr;
    QAction* Properties1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Beginning1 = nullptr;
    QAction* End1 = nullptr;
    QAction* NextFrame1 = nullptr;
    QAction* PreviousFrame1 = nullptr;
    QAction* N50FramesForward1 = nullptr;
    QAction* N50FramesBackward1 = nullptr;
    QAction* NextKeyFrame1 = nullptr;
    QAction* PreviousKeyFrame1 = nullptr;
    QAction* GoTo1 = nullptr;
    QAction* Play1 = nullptr;
    QAction* PlaySelection1 = nullptr;
    QAction* PlayBackwards1 = nullptr;
    QAction* Pause1 = nullptr;
    QAction* PlayForwards1 = nullptr;
    QAction* Mute1 = nullptr;
    QAction* BurntoCD1 = nullptr;
    QAction* ConverttoDVD1 = nullptr;
    QAction* Language1 = nullptr;
    QAction* Enable1 = nullptr;
    QAction* Disable1 = nullptr;
    QAction* Help1 = nullptr;
    QAction* Openlogfile1 = nullptr;
    QAction* Checkforupdate1 = nullptr;
    QAction* BugreportFeaturerequestKnownissues1 = nullptr;
    QAction* ChangeLog1 = nullptr;
    QAction* About1 = nullptr;
    QAction* Keys1 = nullptr;

    // Text of status panel Index (0 to 3): file name, resolution, time, modifier hint.
    QString StatusPanel(int Index) const;
    // The message table's text for an English design-time text.
    QString Translate(const QString& Key) const;
    // The same with each "%s" replaced by the next of Args, in order.
    QString TranslateWith(const QString& Key, const QStringList& Args) const;
    // The title, " v" and the executable's file version.
    static QString BaseCaption();

    // The running executable's full path.
    static std::string ExePath();
    // "settings.ini" in the executable's folder: where a portable copy keeps its settings.
    static std::string PortableSettingsFile();

    // ---- Start and end ----
    // Portable import: a copy that is not installed reads "settings.ini" beside it.
    void FormCreate();
    // What the application's first activation runs, for a session that never activates it:
    // the language list's first activation, then AppEvtActivate. Each runs once.
    void FirstActivation();
    // The start-up sequence: log, engine, preview worker, drop target, command-line verb or
    // file, update check. Runs once.
    void AppEvtActivate();
    // "register" or "unregister": changes the association and closes the window; true when
    // Verb was one of them.
    bool RunCommandLineVerb(const QString& Verb);
    void OpenCommandLineFile();
    // VirtualStore clean-up and portable export.
    void FormClose();

    // ---- Language, update, About ----
    void LangueAfterLanguageSwitch();
    void Language1Click();
    void Checkforupdate1Click();
    void UpdateCheckDone();
    void About1Click();
    // Lists every key of the window.
    void Keys1Click();

    // ---- Association, drops, hand-offs ----
    void UpdateAssociationMenu();
    void Enable1Click();
    void Disable1Click();
    void FilesDropped();
    void BurntoCD1Click();
    void ConverttoDVD1Click();
    void check_btnClick();

    // ---- Loading and navigation ----
    void LoadFile(const QString& FileName);
    void GotoFrame(int32_t Frame, bool FromBar);
    void MoveCursor(int32_t Delta);
    void PreviewFrame(int32_t Frame);
    void barChange();
    void TmrTimer();
    void barKeyDown(QKeyEvent* Event, bool& Handled);
    void barKeyUp(QKeyEvent* Event);
    void Open1Click();
    void Properties1Click();
    void Beginning1Click();
    void End1Click();
    void NextFrame1Click();
    void PreviousFrame1Click();
    void N50FramesForward1Click();
    void N50FramesBackward1Click();
    void NextKeyFrame1Click();
    void PreviousKeyFrame1Click();
    // Asks for a frame number or a time and goes there.
    void GoTo1Click();
    // The preview worker's result (main thread).
    void ShowFrame(bool FrameReady, const QImage& Image);

    // ---- Playback (U_MainDlgPlayback.cpp) ----
    // Space: plays from the current frame, or pauses.
    void Play1Click();
    // From the cut's real first frame to the end mark.
    void PlaySelection1Click();
    // J and L: backwards and forwards, each press again doubling the speed (up to 8x); K: pause.
    void PlayBackwards1Click();
    void Pause1Click();
    void PlayForwards1Click();
    void Mute1Click();
    bool Playing() const;
    // Ends a playback, leaving its last frame on screen, in the bar and as the current frame.
    void StopPlayback();

    // ---- Split, trim and extraction ----
    void start_btnClick();
    void end_btnClick();
    void commit_btnClick();
    void audio_btnClick();
    void picture_btnClick();
    void ExtractionDone();
    // Any thread; the position reaches the progress bar on the main thread.
    void ShowProgress(uint8_t Percent);
    // An audio extraction is running (its worker has not ended yet).
    bool ExtractingAudio() const { return audioWorker_ != nullptr; }

    // ---- Menu commands on the maker's site and the log ----
    void Exit1Click();
    void Help1Click();
    void Openlogfile1Click();
    void BugreportFeaturerequestKnownissues1Click();
    void ChangeLog1Click();
    void logo_btnClick();
    // Says so when nothing on the system took Target (a web page, a file).
    void HandOff(const QString& Target, bool Taken);

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    TProgressRelay* relay_ = nullptr;
    QLabel* Panels[4] = {};
    // Holds error_img, error_lbl and check_btn, so that they show and hide together.
    QWidget* errorBox_ = nullptr;
    // Why the frame cannot be shown, under error_lbl.
    QLabel* errorReason_ = nullptr;
    TExtractThd* audioWorker_ = nullptr;
    // Asked for while an audio extraction ran; done when it ends.
    QString pendingLoad_;
    bool closeWhenDone_ = false;
    bool activated_ = false;
    bool settingsFailureShown_ = false;
    // "Beginning" and "End" were pressed since the file was loaded.
    bool beginMarked_ = false;
    bool endMarked_ = false;
    // Where the last file was saved, for the next save dialog.
    QString lastSaveFolder_;
    // A message about the last command, shown in the fourth panel while no key hint is.
    QString lastMessage_;
    // The key frame last shown while the bar is dragged.
    int32_t scrubKey_ = -1;
    bool firstFrameShown_ = false;
    // Said before the log existed; written to it once it does.
    std::vector<std::string> earlyLogLines_;

    // The bar is being moved by a playback, not by the user.
    bool playbackMoving_ = false;

    // U_MainDlgPlayback.cpp
    QWidget* CreateTransport();
    void CreatePlayer();
    void PlayFrom(int32_t From, int32_t To, int Speed);
    void ShowPlayedFrame(int32_t Frame, const QImage& Image);
    void PlaybackEnded();
    void SaySound();
    void RetranslatePlayback();
    void RefreshPlayControls();
    float Volume() const;
    void VolumeChanged();
    void MuteChanged();
    // Space, J, K, L and M on the seek bar; true when Key was one of them.
    bool RunPlaybackKey(int Key, Qt::KeyboardModifiers Held);

    // A smallest size that keeps the controls usable; a first size and place on the screen.
    void PlaceOnScreen();

    // U_MainDlgForm.cpp
    void CreateControls();
    QWidget* CreateHeader();
    QWidget* CreateImageArea();
    QWidget* CreateReadout();
    QWidget* CreateCommandRow();
    void CreateStatusBar();
    void CreateMenu();
    void CreateComponents();
    void OwnComponents();
    void ConnectControls();
    void SetPanel(int Index, const QString& Text);

    // U_MainDlgNavigation.cpp
    bool SourceValid() const;
    int32_t FrameUnderBar() const;
    // The readout of the current frame, and of the marked range.
    void UpdatePositionReadout();
    void UpdateRangeReadout();
    // In the message panel, when the cut starts before the beginning the user marked.
    void SayWhereCutStarts();
    // A file that cannot be opened: named, with the cause in words and the engine's after.
    void ReportUnopened(const QString& ShortName, const std::exception& Error);
    // Nothing loaded that can be shown or cut: empty picture, controls off.
    void ShowUnusable();
    void RunSeekCommand(int Key, Qt::KeyboardModifier Modifier);

    // The fourth panel: the hint of the one modifier held, else the last command's message.
    void RefreshModifierHint(Qt::KeyboardModifiers Held, bool Pressed);
    bool eventFilter(QObject* Watched, QEvent* Event) override;

    // U_MainDlgOptions.cpp
    // A language file that cannot be used: said once, naming the file, and logged.
    void ReportLanguageFile(const ELanguageFileError& Error);
    // Settings that cannot be stored: logged by the store; told to the user once per run.
    void ReportSettingsWriteFailure(const std::string& Message);

    // U_MainDlgCommands.cpp
    // Refuses a save without both marks, or with the end before the beginning, saying why.
    bool RangeReady();
    // The save dialog's folder (the last one saved to, else the source's) and name.
    void SuggestSaveName(TWideSaveDialog* Dialog, const QString& Name);
    // The marks and the frame as they were before a cut that did not complete.
    void RestoreMarks(int32_t Begin, int32_t End, int32_t Frame);
    // Shows Text in the fourth panel until a key hint takes its place.
    void SayDone(const QString& Text);
    void SetJobControls(bool Enabled);
    bool ConfirmOverwrite(const QString& FileName);
    bool IsSourceName(const QString& FileName) const;
    void ReportFailure(const QString& EngineMessage);
    void AudioDone(TJobThd* Sender);
    void SetProgressPosition(uint8_t Percent);
};
