// U_MainDlgNavigation: loading a source into the main window, the seek bar and its debounced
// preview, the navigation commands and their keys, and the properties command.
#include "mainwindow/U_MainDlg.h"

#include "engine/avi/EngineErrors.h"
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/U_FileInfoDlg.h"
#include "engine/ui/U_PictureExtractThd.h"
#include "mainwindow/FrameImage.h"
#include "mainwindow/Readout.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/dialogs/C_WideDialogs.h"
#include "mainwindow/dialogs/U_MsgDlg.h"
#include "support/files/U_TobrelUtils.h"
#include "support/files/U_UnicodeUtils.h"
#include "support/log/U_Log.h"

#include <QAction>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <optional>
#include <system_error>

namespace {

// The modifier a modifier key itself stands for; NoModifier for any other key.
Qt::KeyboardModifier ModifierOfKey(int Key) {
    switch (Key) {
    case Qt::Key_Shift:
        return Qt::ShiftModifier;
    case Qt::Key_Alt:
        return Qt::AltModifier;
    case Qt::Key_Control:
        return Qt::ControlModifier;
    default:
        return Qt::NoModifier;
    }
}

// Shift, Alt and Ctrl as they stand once the event's key is taken into account: a pressed
// modifier key is held, a released one no longer is (platforms differ in what they report).
Qt::KeyboardModifiers HeldModifiers(const QKeyEvent* Event, bool Pressed) {
    Qt::KeyboardModifiers held =
        Event->modifiers() & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
    const Qt::KeyboardModifier own = ModifierOfKey(Event->key());
    if (own != Qt::NoModifier)
        held.setFlag(own, Pressed);
    return held;
}

// The one modifier held; NoModifier when none or several are.
Qt::KeyboardModifier OnlyModifier(Qt::KeyboardModifiers Held) {
    Qt::KeyboardModifier only = Qt::NoModifier;
    int count = 0;
    for (const Qt::KeyboardModifier m : {Qt::ShiftModifier, Qt::AltModifier, Qt::ControlModifier})
        if (Held.testFlag(m)) {
            only = m;
            ++count;
        }
    return count == 1 ? only : Qt::NoModifier;
}

const char* HintOf(Qt::KeyboardModifier Modifier) {
    switch (Modifier) {
    case Qt::ShiftModifier:
        return "Key";
    case Qt::AltModifier:
        return "x50";
    case Qt::ControlModifier:
        return "Begin/End";
    default:
        return "";
    }
}

} // namespace

QString FrameTimeText(int32_t Frame, int32_t MsPerFrame) {
    return QString::fromStdString(FormatDuration(int64_t{Frame} * MsPerFrame / 1000));
}

QString PreviewHintText(int32_t Frame, int32_t FrameCount, int32_t MsPerFrame) {
    // Line feed, then carriage return: the order the hint has always had.
    return QStringLiteral("Frame : %1 / %2 \n\rTime (hh:mm:ss) : %3 / %4")
        .arg(int64_t{Frame} + 1)
        .arg(FrameCount)
        .arg(FrameTimeText(Frame, MsPerFrame))
        .arg(QString::fromStdString(FormatDuration(int64_t{MsPerFrame} * FrameCount / 1000)));
}

bool TMainDlg::SourceValid() const {
    return Extractor && Extractor->Valid;
}

void TMainDlg::ReportUnopened(const QString& ShortName, const std::exception& Error) {
    const std::string engine = DescribeError(Error);
    KLogAdd(Log.get(), "Unable to open file : " + engine, TKLog::kError);
    QString reason;
    const auto* avi = dynamic_cast<const EAssertionFailed*>(&Error);
    if (avi && avi->SystemError() != 0)
        reason = QString::fromStdString(std::generic_category().message(avi->SystemError()));
    else if (avi && avi->Result() == AVIERR_BADFORMAT)
        reason = Translate(QStringLiteral("it is not an AVI file, or its headers are damaged"));
    else if (avi && avi->Result() == AVIERR_FILEREAD)
        reason = Translate(QStringLiteral("it could not be read"));
    else if (avi && avi->Result() == AVIERR_MEMORY)
        reason = Translate(QStringLiteral("it holds far more chunks than any video does"));
    // The engine's own words follow, for a report.
    reason = reason.isEmpty() ? QString::fromStdString(engine)
                              : reason + QStringLiteral(" (") + QString::fromLatin1(Error.what()) +
                                    QLatin1Char(')');
    ShowMessage(TranslateWith(QStringLiteral("%s cannot be opened: %s"), {ShortName, reason}));
}

void TMainDlg::ShowUnusable() {
    setWindowTitle(BaseCaption());
    bar->SetFrameCount(0);
    CurrentFrame = BeginFrame = EndFrame = 0;
    beginMarked_ = endMarked_ = false;
    for (int i = 0; i < 3; ++i)
        SetPanel(i, QString());
    pos_lbl->clear();
    range_lbl->clear();
    SayDone(QString());
    img->setVisible(true);
    errorBox_->setVisible(false);
    for (QPushButton* b : {picture_btn, commit_btn, start_btn, end_btn, audio_btn})
        b->setEnabled(false);
    Properties1->setEnabled(false);
    RefreshPlayControls();
}

int32_t TMainDlg::FrameUnderBar() const {
    return bar->value();
}

void TMainDlg::LoadFile(const QString& FileName) {
    // The audio job reads the engine that Open would close: load once it has ended.
    if (ExtractingAudio()) {
        pendingLoad_ = FileName;
        KLogAdd(Log.get(), "Loading after the audio extraction : " + FileName.toStdString(),
                TKLog::kInfo);
        return;
    }
    StopPlayback();
    const std::string name = FileName.toStdString();
    KLogAdd(Log.get(), "Loading : " + name, TKLog::kInfo);
    const QString shortName = QFileInfo(FileName).fileName();
    if (QString::fromStdString(WideExtractFileExt(name, true))
            .compare(QStringLiteral("avi"), Qt::CaseInsensitive) != 0) {
        ShowMessage(TranslateWith(QStringLiteral("%s cannot be opened: %s"),
                                  {shortName, Translate(QStringLiteral("Invalid file type"))}));
        return;
    }
    img->Clear();
    if (!Extractor)
        return;
    try {
        Extractor->Open(name);
    } catch (const std::exception& e) {
        // The file shown before was closed on the way.
        ShowUnusable();
        ReportUnopened(shortName, e);
        return;
    }
    if (!Extractor->Valid) {
        // Audio alone, or no stream at all: nothing here can be shown or cut.
        ShowUnusable();
        ShowMessage(TranslateWith(
            QStringLiteral("%s holds no video stream: there is nothing to cut or show."),
            {shortName}));
        return;
    }
    setWindowTitle(BaseCaption() + QStringLiteral(" (") + shortName + QLatin1Char(')'));
    // One bar position per frame, the key frames drawn from the index.
    bar->SetFrameCount(Extractor->FrameCount());
    bar->SetKeyFrames(Extractor->KeyFrames());
    barChange();
    BeginFrame = EndFrame = CurrentFrame = 0;
    beginMarked_ = endMarked_ = false;
    scrubKey_ = -1;
    SayDone(QString());
    UpdatePositionReadout();
    UpdateRangeReadout();
    SetPanel(0, shortName);
    SetPanel(1, QStringLiteral("%1x%2").arg(Extractor->FrameWidth()).arg(Extractor->FrameHeight()));
    audio_btn->setEnabled(Extractor->IsMP3 && Extractor->AudioReadable);
    if (Extractor->HasAudio && !Extractor->AudioReadable)
        ShowMessage(Translate(QStringLiteral("Audio track is present but not readable")));
    Properties1->setEnabled(Extractor->Valid);
    RefreshPlayControls();
}

void TMainDlg::GotoFrame(int32_t Frame, bool FromBar) {
    if (!SourceValid())
        return;
    const int32_t count = Extractor->FrameCount();
    Frame = std::max(std::min(Frame, count - 1), 0);
    // Setting the bar runs barChange at once, which comes back here from the bar.
    if (!FromBar && Frame != bar->value())
        bar->GoTo(Frame);
    CurrentFrame = Frame;
    SetPanel(2, FrameTimeText(Frame, Extractor->FrameDuration()));
    UpdatePositionReadout();
}

void TMainDlg::UpdatePositionReadout() {
    if (!SourceValid()) {
        pos_lbl->clear();
        return;
    }
    const int32_t count = Extractor->FrameCount();
    pos_lbl->setText(PositionLine([this](const QString& Text) { return Translate(Text); },
                                  CurrentFrame, count, Extractor->FrameTimeMs(CurrentFrame),
                                  Extractor->FrameTimeMs(count),
                                  Extractor->DescribeFrame(CurrentFrame)));
}

void TMainDlg::UpdateRangeReadout() {
    if (!SourceValid() || !beginMarked_ || !endMarked_ || EndFrame <= BeginFrame) {
        range_lbl->clear();
        return;
    }
    range_lbl->setText(CutLine([this](const QString& Text) { return Translate(Text); },
                               Extractor->PlanCut(BeginFrame, EndFrame), bar->AskedStart()));
}

void TMainDlg::MoveCursor(int32_t Delta) {
    const int64_t target = int64_t{CurrentFrame} + Delta;
    GotoFrame(static_cast<int32_t>(std::clamp<int64_t>(target, INT32_MIN, INT32_MAX)), false);
}

void TMainDlg::barChange() {
    if (!SourceValid())
        return;
    if (playbackMoving_) {
        GotoFrame(FrameUnderBar(), true);
        return;
    }
    // The user moves the bar: the playback gives way.
    StopPlayback();
    PendingFrame = 0;
    GotoFrame(FrameUnderBar(), true);
    // While the bar is dragged the key frame before it shows at once (it decodes alone); the
    // frame itself follows once the bar stands still.
    if (bar->isSliderDown() && PictureWorker) {
        const int32_t key = Extractor->NearestKeyFrame(CurrentFrame);
        if (key >= 0 && key != scrubKey_) {
            scrubKey_ = key;
            PictureWorker->RequestFrame(key);
        }
    }
    Tmr->start();
}

void TMainDlg::TmrTimer() {
    const int32_t frame = FrameUnderBar();
    if (frame == PendingFrame) {
        Tmr->stop();
        scrubKey_ = -1;
        PreviewFrame(PendingFrame);
    } else {
        PendingFrame = frame;
    }
}

void TMainDlg::PreviewFrame(int32_t Frame) {
    if (PictureWorker)
        PictureWorker->RequestFrame(Frame);
    if (Extractor)
        bar->setToolTip(
            PreviewHintText(Frame, Extractor->FrameCount(), Extractor->FrameDuration()));
}

void TMainDlg::ShowFrame(bool FrameReady, const QImage& Image) {
    if (!firstFrameShown_ && FrameReady) {
        firstFrameShown_ = true;
        if (OnFirstFrame)
            QMetaObject::invokeMethod(this, OnFirstFrame, Qt::QueuedConnection);
    }
    img->setVisible(FrameReady);
    errorBox_->setVisible(!FrameReady);
    // While the audio job runs its end brings these back.
    if (!ExtractingAudio()) {
        for (QPushButton* b : {picture_btn, commit_btn, start_btn, end_btn})
            b->setEnabled(FrameReady);
    }
    if (FrameReady) {
        img->SetPicture(Image);
        return;
    }
    img->Clear();
    // Only a missing decoder is the codec tool's business; damaged data is not.
    const bool decodable = Extractor && Extractor->VideoDecodable;
    errorReason_->setText(
        decodable ? Translate(QStringLiteral("This frame's data cannot be decoded."))
                  : TranslateWith(
                        QStringLiteral("No decoder on this system reads the video (%s)."),
                        {Extractor ? QString::fromStdString(Extractor->VideoCode) : QString()}));
    check_btn->setVisible(!decodable);
}

void TMainDlg::RunSeekCommand(int Key, Qt::KeyboardModifier Modifier) {
    const bool right = Key == Qt::Key_Right;
    switch (Modifier) {
    case Qt::ShiftModifier:
        right ? NextKeyFrame1Click() : PreviousKeyFrame1Click();
        break;
    case Qt::AltModifier:
        right ? N50FramesForward1Click() : N50FramesBackward1Click();
        break;
    case Qt::ControlModifier:
        right ? End1Click() : Beginning1Click();
        break;
    default:
        break;
    }
}

void TMainDlg::barKeyDown(QKeyEvent* Event, bool& Handled) {
    const Qt::KeyboardModifiers held = HeldModifiers(Event, true);
    RefreshModifierHint(held, true);
    const Qt::KeyboardModifier only = OnlyModifier(held);
    if (!Event->isAutoRepeat() && RunPlaybackKey(Event->key(), held)) {
        Handled = true;
        return;
    }
    // Up and Down go from key frame to key frame, as in other editors.
    if (held == Qt::NoModifier && (Event->key() == Qt::Key_Up || Event->key() == Qt::Key_Down)) {
        Event->key() == Qt::Key_Up ? NextKeyFrame1Click() : PreviousKeyFrame1Click();
        Handled = true;
        return;
    }
    if (only != Qt::NoModifier && (Event->key() == Qt::Key_Left || Event->key() == Qt::Key_Right)) {
        RunSeekCommand(Event->key(), only);
        Handled = true;
    }
}

void TMainDlg::barKeyUp(QKeyEvent* Event) {
    RefreshModifierHint(HeldModifiers(Event, false), false);
}

void TMainDlg::RefreshModifierHint(Qt::KeyboardModifiers Held, bool Pressed) {
    // A press shows the hint of a modifier held alone; with several held it leaves the hint as
    // it is. A release shows the hint of the last still held, in Shift, Alt, Ctrl order.
    Qt::KeyboardModifier shown = OnlyModifier(Held);
    if (Pressed && shown == Qt::NoModifier)
        return;
    if (!Pressed)
        for (const Qt::KeyboardModifier m :
             {Qt::ShiftModifier, Qt::AltModifier, Qt::ControlModifier})
            if (Held.testFlag(m))
                shown = m;
    SetPanel(3, shown == Qt::NoModifier ? lastMessage_
                                        : Translate(QString::fromLatin1(HintOf(shown))));
}

bool TMainDlg::eventFilter(QObject* Watched, QEvent* Event) {
    // Keys wherever the focus is in this window, so that a hint never outlives its key (the
    // menu bar takes Alt's release, a button may have the focus). A shortcut (Shift+Right and
    // the like) takes its key before the focus widget sees it: the override before it counts
    // as the press.
    const QEvent::Type type = Event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
        type == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(Event);
        auto* widget = qobject_cast<QWidget*>(Watched);
        const bool pressed = type != QEvent::KeyRelease;
        if (widget && widget->window() == this && !key->isAutoRepeat())
            RefreshModifierHint(HeldModifiers(key, pressed), pressed);
    } else if ((type == QEvent::WindowDeactivate && Watched == this) ||
               type == QEvent::ApplicationDeactivate) {
        RefreshModifierHint(Qt::NoModifier, false);
    }
    return QMainWindow::eventFilter(Watched, Event);
}

void TMainDlg::Open1Click() {
    if (WOD->Execute())
        LoadFile(WOD->FileName());
}

void TMainDlg::Properties1Click() {
    if (!SourceValid() || !FileInfoDlg)
        return;
    FileInfoDlg->Translator = [this](const QString& Text) { return Translate(Text); };
    FileInfoDlg->ShowInfo(*Extractor);
}

void TMainDlg::Beginning1Click() {
    if (SourceValid())
        GotoFrame(0, false);
}

void TMainDlg::End1Click() {
    if (SourceValid())
        GotoFrame(Extractor->FrameCount() - 1, false);
}

void TMainDlg::NextFrame1Click() {
    if (SourceValid())
        MoveCursor(1);
}

void TMainDlg::PreviousFrame1Click() {
    if (SourceValid())
        MoveCursor(-1);
}

void TMainDlg::N50FramesForward1Click() {
    if (SourceValid())
        MoveCursor(50);
}

void TMainDlg::N50FramesBackward1Click() {
    if (SourceValid())
        MoveCursor(-50);
}

void TMainDlg::NextKeyFrame1Click() {
    if (!SourceValid())
        return;
    const int32_t key = Extractor->NextKeyFrame(CurrentFrame);
    if (key > CurrentFrame)
        GotoFrame(key, false);
}

void TMainDlg::GoTo1Click() {
    if (!SourceValid())
        return;
    QInputDialog dialog(this);
    dialog.setWindowTitle(Translate(QStringLiteral("Go to")));
    dialog.setLabelText(Translate(QStringLiteral("Frame (from 1) or time (h:mm:ss.mmm):")));
    dialog.setTextValue(QString::number(int64_t{CurrentFrame} + 1));
    dialog.setOkButtonText(ButtonOk);
    dialog.setCancelButtonText(ButtonCancel);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::optional<int32_t> frame =
        ParsePosition(dialog.textValue(), [this](int64_t Ms) { return Extractor->FrameAtMs(Ms); });
    if (!frame) {
        ShowMessage(TranslateWith(QStringLiteral("%s is not a frame number or a time."),
                                  {dialog.textValue().trimmed()}));
        return;
    }
    GotoFrame(*frame, false);
    bar->setFocus();
}

void TMainDlg::PreviousKeyFrame1Click() {
    if (SourceValid())
        GotoFrame(Extractor->PreviousKeyFrame(CurrentFrame), false);
}
