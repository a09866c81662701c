// Playback: the picture worker, the clock and the tick that puts due pictures on screen.
#include "engine/ui/Playback.h"

#include "engine/decode/BgraImage.h"
#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/BitmapImage.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

namespace {

// Pictures decoded ahead of the clock: enough to ride out one slow picture.
constexpr size_t kAhead = 4;
constexpr int kTickMs = 4;
// A sound that has not started by then, or has started and is not heard, is given up.
constexpr int64_t kSoundGraceMs = 1500;

TPlayback::TSound SoundOf(TAudioOutput::TState State) {
    switch (State) {
    case TAudioOutput::TState::Playing:
        return TPlayback::TSound::On;
    case TAudioOutput::TState::NoTrack:
        return TPlayback::TSound::NoTrack;
    case TAudioOutput::TState::NoDevice:
        return TPlayback::TSound::NoDevice;
    case TAudioOutput::TState::Undecodable:
        return TPlayback::TSound::Undecodable;
    case TAudioOutput::TState::Lost:
        return TPlayback::TSound::Lost;
    default:
        return TPlayback::TSound::Pending;
    }
}

} // namespace

TPlayback::TPlayback(TAVIExtractor* Extractor, QObject* Parent)
    : QObject(Parent), extractor_(Extractor) {
    tick_.setTimerType(Qt::PreciseTimer);
    connect(&tick_, &QTimer::timeout, this, &TPlayback::Tick);
}

TPlayback::~TPlayback() {
    Stop();
}

void TPlayback::Start(const TRange& Range, float Volume) {
    Stop();
    if (!extractor_ || !extractor_->Valid)
        return;
    range_ = Range;
    if (range_.Speed == 0)
        range_.Speed = 1;
    shown_ = -1;
    framesShown_ = 0;
    silentWhy_.clear();
    startMs_ = std::max<int64_t>(extractor_->FrameTimeMs(range_.From), 0);
    {
        std::lock_guard<std::mutex> held(mutex_);
        ahead_.clear();
        stopWorker_ = false;
        workerDone_ = false;
        dropped_ = 0;
        wallClock_ = false;
        soundClockUs_ = startMs_ * 1000;
        soundReadUs_ = 0;
        soundWall_.start();
    }
    if (range_.Speed != 1) {
        sound_ = TSound::OtherSpeed;
    } else if (!extractor_->HasAudio) {
        sound_ = TSound::NoTrack;
        silentWhy_ = "the file has no audio track";
    } else {
        sound_ = TSound::Pending;
        audio_.Start(extractor_->FileName, startMs_, Volume);
    }
    if (sound_ != TSound::Pending) {
        std::lock_guard<std::mutex> held(mutex_);
        UseWallClockLocked(startMs_);
    }
    sinceStart_.start();
    sinceShown_.start();
    playing_ = true;
    worker_ = std::thread([this] { Work(); });
    tick_.start(kTickMs);
    if (sound_ != TSound::Pending)
        emit SoundKnown(sound_);
}

void TPlayback::Stop() {
    if (!playing_)
        return;
    playing_ = false;
    tick_.stop();
    {
        std::lock_guard<std::mutex> held(mutex_);
        stopWorker_ = true;
    }
    room_.notify_all();
    if (worker_.joinable())
        worker_.join();
    if (audio_.State() != TAudioOutput::TState::Stopped)
        audio_.Stop();
    std::lock_guard<std::mutex> held(mutex_);
    ahead_.clear();
}

void TPlayback::SetVolume(float Volume) {
    if (playing_ && sound_ == TSound::On)
        audio_.SetVolume(Volume);
}

int64_t TPlayback::FramesDropped() const {
    std::lock_guard<std::mutex> held(mutex_);
    return dropped_;
}

int64_t TPlayback::ClockMsLocked() const {
    if (wallClock_)
        return wallFromMs_ + range_.Speed * wall_.elapsed();
    const int64_t heard = audio_.HeardMs();
    const int64_t target = (heard < 0 ? startMs_ : heard) * 1000;
    // A device that has just started reports a position that runs ahead of what it plays until
    // it knows its latency: followed at twice the wall clock at most, a jump shows as a short
    // quick run of pictures instead of dropping them.
    const int64_t now = soundWall_.nsecsElapsed() / 1000;
    soundClockUs_ = std::min(target, soundClockUs_ + 2 * (now - soundReadUs_));
    soundReadUs_ = now;
    return soundClockUs_ / 1000;
}

void TPlayback::UseWallClockLocked(int64_t FromMs) {
    wallClock_ = true;
    wallFromMs_ = FromMs;
    wall_.start();
}

bool TPlayback::DueLocked(int32_t Frame, int64_t NowMs) const {
    const int64_t at = extractor_->FrameTimeMs(Frame);
    return range_.Speed > 0 ? at <= NowMs : at >= NowMs;
}

void TPlayback::Work() {
    const int step = range_.Speed > 0 ? 1 : -1;
    int32_t next = range_.From;
    TFrameBitmap bitmap;
    for (;;) {
        int64_t now = 0;
        {
            std::unique_lock<std::mutex> held(mutex_);
            room_.wait(held, [this] { return stopWorker_ || ahead_.size() < kAhead; });
            if (stopWorker_)
                break;
            now = ClockMsLocked();
        }
        // A picture whose time has gone is not worth decoding: go on with the one due now.
        const int32_t due = extractor_->FrameAtMs(now);
        int64_t skipped = 0;
        if (step > 0 && due > next) {
            skipped = due - next;
            next = due;
        } else if (step < 0 && due >= 0 && due < next) {
            skipped = next - due;
            next = due;
        }
        if (step > 0 ? next > range_.To : next < range_.To)
            break;
        bool decoded = false;
        try {
            decoded = extractor_->GetFrameBitmap(bitmap, next);
        } catch (const std::exception&) {
            decoded = false;
        }
        QImage image = decoded ? ImageFromBitmap(bitmap) : QImage();
        std::lock_guard<std::mutex> held(mutex_);
        dropped_ += skipped;
        if (image.isNull())
            ++dropped_;
        else
            ahead_.push_back({next, std::move(image)});
        next += step;
    }
    std::lock_guard<std::mutex> held(mutex_);
    workerDone_ = true;
}

void TPlayback::WatchSound() {
    if (sound_ != TSound::Pending && sound_ != TSound::On)
        return;
    const TSound now = SoundOf(audio_.State());
    const bool unheard = audio_.HeardMs() < 0 && sinceStart_.elapsed() > kSoundGraceMs;
    if (now == sound_ && !unheard)
        return;
    if (now == TSound::On && sound_ == TSound::Pending) {
        sound_ = TSound::On;
        emit SoundKnown(sound_);
        return;
    }
    // Silent from here on: the pictures go on by the wall clock from where the sound was.
    sound_ = now == TSound::Pending || now == TSound::On ? TSound::Lost : now;
    silentWhy_ = audio_.Why();
    if (silentWhy_.empty() || unheard)
        silentWhy_ = "the sound device does not play";
    {
        std::lock_guard<std::mutex> held(mutex_);
        UseWallClockLocked(ClockMsLocked());
    }
    if (audio_.State() == TAudioOutput::TState::Playing)
        audio_.Stop();
    emit SoundKnown(sound_);
}

void TPlayback::Tick() {
    WatchSound();
    TPicture show;
    bool have = false;
    bool done = false;
    {
        std::lock_guard<std::mutex> held(mutex_);
        const int64_t now = ClockMsLocked();
        while (!ahead_.empty() && DueLocked(ahead_.front().frame, now)) {
            if (have)
                ++dropped_;
            show = std::move(ahead_.front());
            ahead_.pop_front();
            have = true;
        }
        done = workerDone_ && ahead_.empty();
    }
    room_.notify_one();
    if (have) {
        shown_ = show.frame;
        ++framesShown_;
        sinceShown_.restart();
        emit FrameShown(show.frame, show.image);
        if (!playing_)
            return;
    }
    const int64_t slotMs = extractor_->FrameDuration() / std::max(1, std::abs(range_.Speed));
    if (done && sinceShown_.elapsed() >= slotMs) {
        const int32_t last = shown_;
        Stop();
        emit Finished(last);
    }
}
