// U_MainDlgCommands: the split and trim marks, saving the marked sequence, extracting the audio
// and the picture, and what follows a job: progress, controls, failure reports.
#include "mainwindow/U_MainDlg.h"

#include "engine/avi/EngineErrors.h"

#include "engine/decode/PictureExport.h"
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/U_CutDlg.h"
#include "engine/ui/U_ExtractThd.h"
#include "engine/ui/U_JobThd.h"
#include "mainwindow/FrameImage.h"
#include "mainwindow/SeekBar.h"
#include "mainwindow/dialogs/C_WideDialogs.h"
#include "mainwindow/dialogs/U_MsgDlg.h"
#include "support/log/U_Log.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>

#include <cstring>
#include <exception>
#include <utility>

namespace {

// The picture on screen as the picture writers take it.
TFrameBitmap BitmapOf(const QImage& Picture) {
    const QImage rgb = Picture.convertToFormat(QImage::Format_RGB32);
    TFrameBitmap bitmap;
    bitmap.Width = rgb.width();
    bitmap.Height = rgb.height();
    const size_t row = static_cast<size_t>(rgb.width()) * 4;
    bitmap.Pixels.resize(row * static_cast<size_t>(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(bitmap.Pixels.data() + row * static_cast<size_t>(y), rgb.constScanLine(y), row);
    return bitmap;
}

} // namespace

void TMainDlg::start_btnClick() {
    if (!SourceValid())
        return;
    BeginFrame = Extractor->CutStartFrame(CurrentFrame);
    beginMarked_ = true;
    bar->SetSelStart(BeginFrame);
    bar->SetAskedStart(BeginFrame == CurrentFrame ? -1 : CurrentFrame);
    SayWhereCutStarts();
    UpdateRangeReadout();
    // The arrows go on stepping through frames.
    bar->setFocus();
}

void TMainDlg::SayWhereCutStarts() {
    // The mark the user set is not where the output will begin: say where it does.
    const int32_t asked = bar->AskedStart();
    SayDone(asked < 0 || asked == BeginFrame
                ? QString()
                : TranslateWith(
                      QStringLiteral("The cut starts at frame %s, the key frame %s "
                                     "frames before the mark."),
                      {QString::number(BeginFrame + 1), QString::number(asked - BeginFrame)}));
}

void TMainDlg::end_btnClick() {
    if (!SourceValid())
        return;
    EndFrame = CurrentFrame;
    endMarked_ = true;
    bar->SetSelEnd(EndFrame);
    UpdateRangeReadout();
    bar->setFocus();
}

bool TMainDlg::RangeReady() {
    if (!beginMarked_ || !endMarked_) {
        const QString missing =
            !beginMarked_ && !endMarked_
                ? QStringLiteral("Mark the beginning and the end of the sequence first "
                                 "(\"Beginning\", \"End\").")
            : !beginMarked_
                ? QStringLiteral("Mark the beginning of the sequence first (\"Beginning\").")
                : QStringLiteral("Mark the end of the sequence first (\"End\").");
        ShowMessage(Translate(missing));
        return false;
    }
    // Saved as it stands this would be an empty file.
    if (EndFrame < BeginFrame) {
        ShowMessage(Translate(QStringLiteral(
            "The end mark lies before the beginning mark. Mark the end after the beginning.")));
        return false;
    }
    if (EndFrame == BeginFrame) {
        ShowMessage(Translate(QStringLiteral("The beginning and the end are on the same frame. "
                                             "Mark the end after the beginning.")));
        return false;
    }
    return true;
}

void TMainDlg::SuggestSaveName(TWideSaveDialog* Dialog, const QString& Name) {
    const QFileInfo source(QString::fromStdString(Extractor->FileName));
    Dialog->SetInitialDir(lastSaveFolder_.isEmpty() ? source.absolutePath() : lastSaveFolder_);
    Dialog->SetFileName(Name);
}

void TMainDlg::RestoreMarks(int32_t Begin, int32_t End, int32_t Frame) {
    if (!SourceValid())
        return;
    BeginFrame = Begin;
    EndFrame = End;
    beginMarked_ = endMarked_ = true;
    bar->SetSelStart(BeginFrame);
    bar->SetSelEnd(EndFrame);
    UpdateRangeReadout();
    GotoFrame(Frame, false);
}

void TMainDlg::SayDone(const QString& Text) {
    lastMessage_ = Text;
    SetPanel(3, Text);
}

bool TMainDlg::IsSourceName(const QString& FileName) const {
    const QFileInfo chosen(FileName);
    const QFileInfo source(QString::fromStdString(Extractor->FileName));
    if (chosen.absoluteFilePath().compare(source.absoluteFilePath(), Qt::CaseInsensitive) == 0)
        return true;
    // Another spelling of the same file (a link, "..") is the same file all the same.
    return chosen.exists() && chosen.canonicalFilePath() == source.canonicalFilePath();
}

bool TMainDlg::ConfirmOverwrite(const QString& FileName) {
    if (!QFileInfo::exists(FileName))
        return true;
    return MsgBox(this, Translate(QStringLiteral("File already exists. Overwrite ?")), kMbYesNo,
                  kKindWarning) == kIdYes;
}

void TMainDlg::ReportFailure(const QString& EngineMessage) {
    KLogAdd(Log.get(), EngineMessage.toStdString(), TKLog::kError);
    QString text = Translate(QString::fromLatin1(kFailedJobText));
    text.replace(QStringLiteral("%s"), EngineMessage);
    MsgBox(this, text, kMbOk, kKindError);
}

void TMainDlg::commit_btnClick() {
    StopPlayback();
    if (!SourceValid() || !CutDlg || !RangeReady())
        return;
    // Said again, in view while the name is chosen.
    SayWhereCutStarts();
    const QString base = QFileInfo(QString::fromStdString(Extractor->FileName)).completeBaseName();
    SuggestSaveName(JSDAvi, QStringLiteral("%1-%2-%3.avi")
                                .arg(base)
                                .arg(int64_t{BeginFrame} + 1)
                                .arg(int64_t{EndFrame} + 1));
    if (!JSDAvi->Execute())
        return;
    const QString name = JSDAvi->FileName();
    KLogAdd(Log.get(), "Extracting sequence to : " + name.toStdString(), TKLog::kInfo);
    if (IsSourceName(name)) {
        ShowMessage(Translate(QStringLiteral("File name must be different")));
        return;
    }
    if (!ConfirmOverwrite(name))
        return;
    QFile::remove(name);

    for (QPushButton* b : {commit_btn, audio_btn, picture_btn})
        b->setEnabled(false);
    try {
        Extractor->CreateOutput(name.toStdString());
    } catch (const std::exception& e) {
        commit_btn->setEnabled(true);
        picture_btn->setEnabled(true);
        audio_btn->setEnabled(Extractor->IsMP3 && Extractor->AudioReadable);
        ReportFailure(QString::fromStdString(DescribeError(e)));
        return;
    }
    CutDlg->Extractor = Extractor.get();
    CutDlg->FirstFrame = BeginFrame;
    CutDlg->LastFrame = EndFrame;
    CutDlg->TimeLeftText = Translate(QStringLiteral("%s - about %s left"));
    // Nothing behind the dialog acts on the source while the cut reads it.
    SetJobControls(false);
    const int32_t frame = CurrentFrame;
    CutDlg->Run();
    const bool failed = CutDlg->LastFailed();
    const QString source = QString::fromStdString(Extractor->FileName);
    Extractor->Close();
    ExtractionDone();
    lastSaveFolder_ = QFileInfo(name).absolutePath();
    if (failed) {
        // What was written is not the sequence asked for: drop it and stay on the source.
        const bool cancelled = CutDlg->LastCancelled();
        if (cancelled)
            KLogAdd(Log.get(), "Cut cancelled", TKLog::kInfo);
        else
            ReportFailure(CutDlg->LastError());
        QFile::remove(name);
        LoadFile(source);
        RestoreMarks(CutDlg->FirstFrame, CutDlg->LastFrame, frame);
        if (cancelled)
            SayDone(TranslateWith(QStringLiteral("The cut was cancelled; %s is unchanged."),
                                  {QFileInfo(source).fileName()}));
        if (CutDlg->QuitAsked())
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    LoadFile(name);
    SayDone(TranslateWith(QStringLiteral("Saved %s"), {name}));
}

void TMainDlg::audio_btnClick() {
    StopPlayback();
    if (!SourceValid() || ExtractingAudio())
        return;
    SuggestSaveName(JSDSound,
                    QFileInfo(QString::fromStdString(Extractor->FileName)).completeBaseName() +
                        QStringLiteral(".mp3"));
    if (!JSDSound->Execute())
        return;
    const QString name = JSDSound->FileName();
    if (!ConfirmOverwrite(name))
        return;
    KLogAdd(Log.get(), "Extracting audio to : " + name.toStdString(), TKLog::kInfo);
    SetJobControls(false);

    auto* worker = new TExtractThd(this);
    worker->Extractor = Extractor.get();
    worker->OutputName = name.toStdString();
    worker->FreeOnTerminate = true;
    worker->OnTerminate = [this](TJobThd* Sender) { AudioDone(Sender); };
    audioWorker_ = worker;
    worker->Start();
}

void TMainDlg::AudioDone(TJobThd* Sender) {
    audioWorker_ = nullptr;
    const bool failed = Sender->Failed();
    ExtractionDone();
    const QString written = QString::fromStdString(static_cast<TExtractThd*>(Sender)->OutputName);
    lastSaveFolder_ = QFileInfo(written).absolutePath();
    if (failed) {
        ReportFailure(Sender->ErrorMessage());
        QFile::remove(written);
    } else {
        SayDone(TranslateWith(QStringLiteral("Saved %s"), {written}));
    }
    if (closeWhenDone_) {
        closeWhenDone_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    if (!pendingLoad_.isEmpty())
        LoadFile(std::exchange(pendingLoad_, QString()));
}

void TMainDlg::picture_btnClick() {
    // The picture saved is the one on screen.
    StopPlayback();
    if (!SourceValid())
        return;
    SuggestSaveName(
        JSDPic, QStringLiteral("%1-%2.bmp")
                    .arg(QFileInfo(QString::fromStdString(Extractor->FileName)).completeBaseName())
                    .arg(int64_t{CurrentFrame} + 1));
    if (!JSDPic->Execute())
        return;
    const QString name = JSDPic->FileName();
    if (!ConfirmOverwrite(name))
        return;
    KLogAdd(Log.get(), "Extracting picture to : " + name.toStdString(), TKLog::kInfo);
    if (PictureFormatOf(name.toStdString()) == TPictureFormat::None || img->Picture().isNull())
        return;
    lastSaveFolder_ = QFileInfo(name).absolutePath();
    try {
        SavePicture(name.toStdString(), BitmapOf(img->Picture()));
        SayDone(TranslateWith(QStringLiteral("Saved %s"), {name}));
    } catch (const std::exception& e) {
        ReportFailure(QString::fromStdString(DescribeError(e)));
    }
}

void TMainDlg::SetJobControls(bool Enabled) {
    for (QWidget* w : {static_cast<QWidget*>(commit_btn), static_cast<QWidget*>(audio_btn),
                       static_cast<QWidget*>(picture_btn), static_cast<QWidget*>(start_btn),
                       static_cast<QWidget*>(end_btn), static_cast<QWidget*>(bar)})
        w->setEnabled(Enabled);
    // Loading and the property walk would use the engine the job is reading.
    Open1->setEnabled(Enabled);
    Properties1->setEnabled(Enabled && SourceValid());
}

void TMainDlg::ExtractionDone() {
    KLogAdd(Log.get(), "Extraction done", TKLog::kInfo);
    SetJobControls(true);
    audio_btn->setEnabled(Extractor && Extractor->IsMP3 && Extractor->AudioReadable);
}

void TMainDlg::ShowProgress(uint8_t Percent) {
    relay_->Report(Percent);
}

void TMainDlg::SetProgressPosition(uint8_t Percent) {
    pb->setValue(Percent);
    if (CutDlg && CutDlg->Busy)
        CutDlg->SetProgress(Percent);
}
