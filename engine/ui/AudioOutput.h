// AudioOutput: TAudioOutput, the sound of a playback - an AVI file's audio decoded on a thread
// of its own and played through Qt Multimedia's QAudioSink - and the time being heard.
#pragma once

#include <QThread>

#include <cstdint>
#include <memory>
#include <string>

class TSoundFeed;

// The file is read through a handle of its own (kept for the next start on the same file), so
// the sound never waits for a picture being decoded, and opening it never holds up the window:
// Start returns at once and State tells when the sound plays or why it does not. Start, Stop
// and SetVolume belong to one thread (the main one); State, Why and HeardMs may be asked from
// any.
class TAudioOutput {
public:
    enum class TState { Stopped, Starting, Playing, NoTrack, NoDevice, Undecodable, Lost };

    TAudioOutput();
    ~TAudioOutput();
    TAudioOutput(const TAudioOutput&) = delete;
    TAudioOutput& operator=(const TAudioOutput&) = delete;

    // Starts FileName's first audio stream at FromMs of stream time, at Volume (0 to 1).
    void Start(const std::string& FileName, int64_t FromMs, float Volume);
    // Ends the sound; returns once the device has let go.
    void Stop();
    TState State() const;
    // Why the sound does not play, in English, when State says it does not.
    std::string Why() const;
    // The stream time being heard, in milliseconds; -1 before the first sound is out.
    int64_t HeardMs() const;
    void SetVolume(float Volume);

private:
    QThread thread_;
    TSoundFeed* feed_ = nullptr; // lives on thread_
};
