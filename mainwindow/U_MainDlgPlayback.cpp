// U_MainDlgPlayback: playing the file in the main window - the transport row around the seek
// bar, Space and the shuttle keys, playing the selection, the volume and what the window says
// about the sound.
#include "mainwindow/U_MainDlg.h"

#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/Playback.h"
#include "mainwindow/SeekBar.h"
#include "support/settings/U_TobrelSettings.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace {

constexpr int kMaxSpeed = 8;
constexpr int kDefaultVolume = 80;

// "Volume" (0 to 100) and "Muted" ("1") as the settings keep them; a missing or unreadable
// volume is the default.
int StoredVolume() {
    bool ok = false;
    const int v = QString::fromStdString(ReadAppSetting("Volume")).trimmed().toInt(&ok);
    return ok && v >= 0 && v <= 100 ? v : kDefaultVolume;
}

} // namespace

QWidget* TMainDlg::CreateTransport() {
    auto* row = new QWidget(this);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(4);
    play_btn = new QToolButton(row);
    play_btn->setObjectName(QStringLiteral("play_btn"));
    // Space belongs to the bar: the button must not keep the focus that plays.
    play_btn->setFocusPolicy(Qt::NoFocus);
    play_btn->setAutoRaise(true);
    bar = new TSeekBar(row);
    bar->setObjectName(QStringLiteral("bar"));
    mute_btn = new QToolButton(row);
    mute_btn->setObjectName(QStringLiteral("mute_btn"));
    mute_btn->setCheckable(true);
    mute_btn->setFocusPolicy(Qt::NoFocus);
    mute_btn->setAutoRaise(true);
    volume_bar = new QSlider(Qt::Horizontal, row);
    volume_bar->setObjectName(QStringLiteral("volume_bar"));
    volume_bar->setRange(0, 100);
    volume_bar->setFixedWidth(80);
    volume_bar->setFocusPolicy(Qt::NoFocus);
    line->addWidget(play_btn, 0, Qt::AlignTop);
    line->addWidget(bar, 1);
    line->addWidget(mute_btn, 0, Qt::AlignTop);
    line->addWidget(volume_bar, 0, Qt::AlignTop);
    connect(play_btn, &QToolButton::clicked, this, [this] { Play1Click(); });
    connect(mute_btn, &QToolButton::clicked, this, [this] { MuteChanged(); });
    connect(volume_bar, &QSlider::valueChanged, this, [this] { VolumeChanged(); });
    connect(volume_bar, &QSlider::sliderReleased, this, [this] { VolumeChanged(); });
    RefreshPlayControls();
    return row;
}

void TMainDlg::CreatePlayer() {
    Player = new TPlayback(Extractor.get(), this);
    connect(Player, &TPlayback::FrameShown, this,
            [this](int32_t Frame, const QImage& Image) { ShowPlayedFrame(Frame, Image); });
    connect(Player, &TPlayback::Finished, this, [this] { PlaybackEnded(); });
    connect(Player, &TPlayback::SoundKnown, this, [this] { SaySound(); });
    // A run that writes no settings reads none either.
    const QSignalBlocker quiet(volume_bar);
    volume_bar->setValue(VerbRun ? kDefaultVolume : StoredVolume());
    mute_btn->setChecked(!VerbRun && ReadAppSetting("Muted") == "1");
    RefreshPlayControls();
    RetranslatePlayback();
}

bool TMainDlg::Playing() const {
    return Player && Player->Playing();
}

void TMainDlg::PlayFrom(int32_t From, int32_t To, int Speed) {
    if (!SourceValid() || !Player)
        return;
    Tmr->stop();
    SayDone(QString());
    Player->Start({From, To, Speed}, Volume());
    RefreshPlayControls();
}

void TMainDlg::StopPlayback() {
    if (!Playing())
        return;
    Player->Stop();
    RefreshPlayControls();
}

void TMainDlg::Play1Click() {
    if (Playing()) {
        StopPlayback();
        return;
    }
    if (!SourceValid())
        return;
    const int32_t last = Extractor->FrameCount() - 1;
    // At the end, play starts over.
    PlayFrom(CurrentFrame >= last ? 0 : CurrentFrame, last, 1);
}

void TMainDlg::PlaySelection1Click() {
    StopPlayback();
    if (!SourceValid() || !RangeReady())
        return;
    // BeginFrame is where the cut really starts: the output's first frame.
    PlayFrom(BeginFrame, EndFrame, 1);
}

void TMainDlg::PlayForwards1Click() {
    if (!SourceValid())
        return;
    const int32_t last = Extractor->FrameCount() - 1;
    if (Playing() && Player->Speed() > 0) {
        PlayFrom(Player->ShownFrame() >= 0 ? Player->ShownFrame() : CurrentFrame, last,
                 std::min(Player->Speed() * 2, kMaxSpeed));
        return;
    }
    StopPlayback();
    PlayFrom(CurrentFrame >= last ? 0 : CurrentFrame, last, 1);
}

void TMainDlg::PlayBackwards1Click() {
    if (!SourceValid())
        return;
    if (Playing() && Player->Speed() < 0) {
        PlayFrom(Player->ShownFrame() >= 0 ? Player->ShownFrame() : CurrentFrame, 0,
                 std::max(Player->Speed() * 2, -kMaxSpeed));
        return;
    }
    StopPlayback();
    if (CurrentFrame > 0)
        PlayFrom(CurrentFrame, 0, -1);
}

void TMainDlg::Pause1Click() {
    StopPlayback();
}

void TMainDlg::Mute1Click() {
    mute_btn->setChecked(!mute_btn->isChecked());
    MuteChanged();
}

void TMainDlg::MuteChanged() {
    if (!VerbRun)
        WriteAppSetting("Muted", mute_btn->isChecked() ? "1" : "0");
    if (Player)
        Player->SetVolume(Volume());
    RefreshPlayControls();
}

float TMainDlg::Volume() const {
    return mute_btn->isChecked() ? 0.0f : static_cast<float>(volume_bar->value()) / 100.0f;
}

void TMainDlg::VolumeChanged() {
    if (Player)
        Player->SetVolume(Volume());
    // Stored once the handle is let go, not at every step of a drag.
    if (!VerbRun && !volume_bar->isSliderDown())
        WriteAppSetting("Volume", std::to_string(volume_bar->value()));
}

void TMainDlg::ShowPlayedFrame(int32_t Frame, const QImage& Image) {
    // The bar follows without asking the preview for the frame: it is on screen already.
    playbackMoving_ = true;
    bar->GoTo(Frame);
    playbackMoving_ = false;
    if (Frame != CurrentFrame)
        GotoFrame(Frame, true);
    ShowFrame(true, Image);
}

void TMainDlg::PlaybackEnded() {
    RefreshPlayControls();
}

void TMainDlg::SaySound() {
    if (!Player || !Player->Playing())
        return;
    const QString why = QString::fromStdString(Player->SilentWhy());
    const int speed = Player->Speed();
    switch (Player->Sound()) {
    case TPlayback::TSound::NoTrack:
        SayDone(Translate(QStringLiteral("Playing without sound: the file has no audio track.")));
        break;
    case TPlayback::TSound::NoDevice:
        SayDone(Translate(
            QStringLiteral("Playing without sound: no sound device or sound server was found.")));
        break;
    case TPlayback::TSound::Undecodable:
        SayDone(TranslateWith(
            QStringLiteral("Playing without sound: the audio cannot be decoded (%s)."), {why}));
        break;
    case TPlayback::TSound::Lost:
        SayDone(
            TranslateWith(QStringLiteral("The sound stopped (%s); the picture plays on."), {why}));
        break;
    case TPlayback::TSound::OtherSpeed:
        SayDone(TranslateWith(speed > 0
                                  ? QStringLiteral("Playing forwards at %sx, without sound.")
                                  : QStringLiteral("Playing backwards at %sx, without sound."),
                              {QString::number(std::abs(speed))}));
        break;
    default:
        break;
    }
    RefreshPlayControls();
}

void TMainDlg::RefreshPlayControls() {
    const bool playing = Playing();
    play_btn->setIcon(
        style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    mute_btn->setIcon(style()->standardIcon(mute_btn->isChecked() ? QStyle::SP_MediaVolumeMuted
                                                                  : QStyle::SP_MediaVolume));
    play_btn->setEnabled(SourceValid());
    if (PlaySelection1)
        PlaySelection1->setEnabled(SourceValid());
}

void TMainDlg::RetranslatePlayback() {
    play_btn->setToolTip(Translate(QStringLiteral("Play/Pause")) + QStringLiteral(" (Space)"));
    mute_btn->setToolTip(Translate(QStringLiteral("Mute")) + QStringLiteral(" (M)"));
    volume_bar->setToolTip(Translate(QStringLiteral("Volume")));
}

bool TMainDlg::RunPlaybackKey(int Key, Qt::KeyboardModifiers Held) {
    if (Held == Qt::ShiftModifier && Key == Qt::Key_Space) {
        PlaySelection1Click();
        return true;
    }
    if (Held != Qt::NoModifier)
        return false;
    switch (Key) {
    case Qt::Key_Space:
        Play1Click();
        return true;
    case Qt::Key_J:
        PlayBackwards1Click();
        return true;
    case Qt::Key_K:
        Pause1Click();
        return true;
    case Qt::Key_L:
        PlayForwards1Click();
        return true;
    case Qt::Key_M:
        Mute1Click();
        return true;
    default:
        return false;
    }
}
