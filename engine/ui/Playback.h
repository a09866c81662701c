// Playback: TPlayback, playing the open file from a frame - pictures decoded ahead on a worker
// thread and shown by the clock of the sound being heard, so that a late picture is dropped,
// never the sound.
#pragma once

#include "engine/ui/AudioOutput.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QTimer>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class TAVIExtractor;

// Forwards at speed 1 the sound plays and sets the time; at other speeds, backwards, without a
// sound device or without sound that can be decoded, the wall clock does. A sound that is still
// starting holds the clock at the first frame; one that has not started within a second and a
// half is given up.
//
// Main thread only, but for the worker inside. Stop is immediate and leaves ShownFrame as the
// last frame put on screen.
class TPlayback : public QObject {
    Q_OBJECT
public:
    // Why a playback is silent, or that it is not.
    enum class TSound { Pending, On, NoTrack, NoDevice, Undecodable, Lost, OtherSpeed };
    struct TRange {
        int32_t From = 0;
        int32_t To = 0; // the last frame played; below From when Speed is negative
        int Speed = 1;  // frames of the file per frame of time: 1, 2, 4, 8 or their negatives
    };

    explicit TPlayback(TAVIExtractor* Extractor, QObject* Parent = nullptr);
    ~TPlayback() override;

    // Stops what plays, then plays Range of the file open in the extractor.
    void Start(const TRange& Range, float Volume);
    void Stop();
    bool Playing() const { return playing_; }
    int Speed() const { return range_.Speed; }
    // The last frame put on screen; -1 before the first.
    int32_t ShownFrame() const { return shown_; }
    TSound Sound() const { return sound_; }
    // The English reason behind a silent Sound.
    std::string SilentWhy() const { return silentWhy_; }
    void SetVolume(float Volume);
    // Since Start: frames put on screen, and frames of the range passed over unseen.
    int64_t FramesShown() const { return framesShown_; }
    int64_t FramesDropped() const;

signals:
    void FrameShown(int32_t Frame, const QImage& Image);
    // The sound's state became known (on, or why not).
    void SoundKnown(TSound Sound);
    // The last frame of the range has had its time.
    void Finished(int32_t Frame);

private:
    struct TPicture {
        int32_t frame = 0;
        QImage image;
    };

    TAVIExtractor* extractor_;
    TAudioOutput audio_;
    QTimer tick_;
    TRange range_;
    bool playing_ = false;
    int32_t shown_ = -1;
    TSound sound_ = TSound::Pending;
    std::string silentWhy_;
    int64_t framesShown_ = 0;
    QElapsedTimer sinceShown_;
    QElapsedTimer sinceStart_;

    // Guarded by mutex_: the pictures decoded ahead, the clock, the worker's state.
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::deque<TPicture> ahead_;
    bool stopWorker_ = false;
    bool workerDone_ = false;
    int64_t dropped_ = 0;
    bool wallClock_ = false;
    int64_t wallFromMs_ = 0;
    int64_t startMs_ = 0;
    QElapsedTimer wall_;
    // The sound's clock as the pictures follow it, and when it was last read (microseconds of
    // soundWall_).
    mutable int64_t soundClockUs_ = 0;
    mutable int64_t soundReadUs_ = 0;
    QElapsedTimer soundWall_;
    std::thread worker_;

    int64_t ClockMsLocked() const;
    void UseWallClockLocked(int64_t FromMs);
    bool DueLocked(int32_t Frame, int64_t NowMs) const;
    void Work();
    void Tick();
    void WatchSound();
};
