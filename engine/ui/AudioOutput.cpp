// AudioOutput: the sound thread - a QIODevice that QAudioSink pulls decoded PCM from, and the
// heard time read off the sink.
#include "engine/ui/AudioOutput.h"

#include "engine/avi/VFW.h"
#include "engine/decode/AudioDecoder.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <exception>
#include <mutex>

namespace {

// What the device holds before it plays: enough to ride out a busy moment, little enough that
// a change of volume is heard soon.
constexpr int kBufferMs = 150;
constexpr int kPollMs = 5;
// How far the heard time may run on from its last reading.
constexpr int64_t kCarryUs = 30000;

int64_t SteadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// Everything here but the atomics and what mutex_ guards runs on the sound thread.
class TSoundFeed : public QIODevice {
public:
    ~TSoundFeed() override { Close(); }

    void Begin(const std::string& FileName, int64_t FromMs, float Volume);
    void End();
    void SetVolume(float Volume) {
        if (sink_)
            sink_->setVolume(Volume);
    }

    std::atomic<TAudioOutput::TState> state{TAudioOutput::TState::Stopped};
    std::atomic<int64_t> heardUs{-1};
    std::atomic<int64_t> polledAtUs{0};
    std::string Why() const {
        std::lock_guard<std::mutex> held(mutex_);
        return why_;
    }

protected:
    qint64 readData(char* Data, qint64 MaxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::string fileName_;
    PAVIFILE file_ = nullptr;
    PAVISTREAM stream_ = nullptr;
    std::unique_ptr<AudioDecoder> decoder_;
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<QTimer> poll_;
    int64_t startUs_ = 0;
    mutable std::mutex mutex_;
    std::string why_;

    void Fail(TAudioOutput::TState State, const std::string& Why) {
        {
            std::lock_guard<std::mutex> held(mutex_);
            why_ = Why;
        }
        state = State;
    }
    bool OpenFile(const std::string& FileName);
    void Close();
    void Poll();
};

bool TSoundFeed::OpenFile(const std::string& FileName) {
    if (decoder_ && FileName == fileName_)
        return true;
    Close();
    fileName_ = FileName;
    if (AVIFileOpenW(&file_, FileName, OF_SHARE_DENY_WRITE, nullptr) != AVIERR_OK) {
        file_ = nullptr;
        Fail(TAudioOutput::TState::Undecodable, "the file cannot be read");
        return false;
    }
    if (AVIFileGetStream(file_, &stream_, streamtypeAUDIO, 0) != AVIERR_OK) {
        stream_ = nullptr;
        Fail(TAudioOutput::TState::NoTrack, "the file has no audio track");
        return false;
    }
    std::string why;
    decoder_ = AudioDecoder::Open(stream_, &why);
    if (!decoder_) {
        Fail(TAudioOutput::TState::Undecodable, why);
        return false;
    }
    return true;
}

void TSoundFeed::Close() {
    End();
    decoder_.reset();
    if (stream_)
        AVIStreamRelease(stream_);
    if (file_)
        AVIFileRelease(file_);
    stream_ = nullptr;
    file_ = nullptr;
    fileName_.clear();
}

void TSoundFeed::Begin(const std::string& FileName, int64_t FromMs, float Volume) {
    End();
    try {
        if (!OpenFile(FileName))
            return;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            Fail(TAudioOutput::TState::NoDevice, "no sound device or sound server was found");
            return;
        }
        QAudioFormat format;
        format.setSampleRate(decoder_->Rate());
        format.setChannelCount(decoder_->Channels());
        format.setSampleFormat(QAudioFormat::Int16);
        decoder_->Seek(FromMs);
        startUs_ = FromMs * 1000;
        heardUs = -1;
        sink_ = std::make_unique<QAudioSink>(device, format);
        sink_->setBufferSize(format.bytesForDuration(kBufferMs * 1000));
        sink_->setVolume(Volume);
        QObject::connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State s) {
            if (s == QAudio::StoppedState && sink_ && sink_->error() != QAudio::NoError &&
                state == TAudioOutput::TState::Playing)
                Fail(TAudioOutput::TState::Lost, "the sound device stopped playing");
        });
        open(QIODevice::ReadOnly);
        sink_->start(this);
        if (sink_->error() != QAudio::NoError) {
            End();
            Fail(TAudioOutput::TState::NoDevice, "the sound device cannot be opened");
            return;
        }
        poll_ = std::make_unique<QTimer>();
        poll_->setTimerType(Qt::PreciseTimer);
        QObject::connect(poll_.get(), &QTimer::timeout, this, [this] { Poll(); });
        poll_->start(kPollMs);
        state = TAudioOutput::TState::Playing;
    } catch (const std::exception& e) {
        End();
        Fail(TAudioOutput::TState::Undecodable, e.what());
    }
}

void TSoundFeed::End() {
    poll_.reset();
    if (sink_) {
        sink_->stop();
        sink_.reset();
    }
    if (isOpen())
        close();
    heardUs = -1;
}

void TSoundFeed::Poll() {
    if (!sink_)
        return;
    const int64_t processed = sink_->processedUSecs();
    if (processed <= 0)
        return;
    polledAtUs = SteadyUs();
    heardUs = startUs_ + processed;
}

qint64 TSoundFeed::readData(char* Data, qint64 MaxSize) {
    if (!decoder_ || MaxSize <= 0)
        return 0;
    const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(decoder_->Channels());
    const size_t frames = static_cast<size_t>(MaxSize) / frameBytes;
    size_t got = 0;
    try {
        got = decoder_->Read(reinterpret_cast<int16_t*>(Data), frames);
    } catch (const std::exception&) {
        got = 0;
    }
    // Past the end of the sound the time goes on in silence, for pictures still to come.
    std::memset(Data + got * frameBytes, 0, (frames - got) * frameBytes);
    return static_cast<qint64>(frames * frameBytes);
}

TAudioOutput::TAudioOutput() {
    thread_.setObjectName(QStringLiteral("sound"));
    thread_.start();
    feed_ = new TSoundFeed;
    feed_->moveToThread(&thread_);
}

TAudioOutput::~TAudioOutput() {
    // The feed ends on its own thread, where its sink and timer live.
    QMetaObject::invokeMethod(
        feed_, [this] { delete feed_; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void TAudioOutput::Start(const std::string& FileName, int64_t FromMs, float Volume) {
    feed_->state = TState::Starting;
    QMetaObject::invokeMethod(
        feed_, [feed = feed_, FileName, FromMs, Volume] { feed->Begin(FileName, FromMs, Volume); },
        Qt::QueuedConnection);
}

void TAudioOutput::Stop() {
    QMetaObject::invokeMethod(
        feed_, [feed = feed_] { feed->End(); }, Qt::BlockingQueuedConnection);
    feed_->state = TState::Stopped;
}

TAudioOutput::TState TAudioOutput::State() const {
    return feed_->state;
}

std::string TAudioOutput::Why() const {
    return feed_->Why();
}

int64_t TAudioOutput::HeardMs() const {
    const int64_t heard = feed_->heardUs;
    if (heard < 0)
        return -1;
    const int64_t since = std::clamp<int64_t>(SteadyUs() - feed_->polledAtUs, 0, kCarryUs);
    return (heard + since) / 1000;
}

void TAudioOutput::SetVolume(float Volume) {
    QMetaObject::invokeMethod(
        feed_, [feed = feed_, Volume] { feed->SetVolume(Volume); }, Qt::QueuedConnection);
}
