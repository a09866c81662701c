// U_PictureExtractThd: TPictureExtractThd, the preview worker that lives as long as the main
// window and decodes the latest frame the window asked for.
#pragma once

#include "engine/decode/BgraImage.h"

#include <QImage>
#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class TAVIExtractor;

// The constructor starts the worker. RequestFrame (main thread) posts a frame into a single
// slot: requests made while a decode runs replace each other, so the worker decodes only the
// latest one next. The worker wakes at least every 200 ms to notice Terminate.
//
// Each decode ends with ShowFrame on the main thread (a queued call): FrameReady and Image
// hold the result (Image is a Format_RGB32 copy of the frame, null when not FrameReady), then
// OnShowFrame is called and the ShowFrame signal emitted; the main window applies them to its
// controls. Results the main thread has not taken yet merge into the latest.
//
// Shutdown: TerminateAndWait(1000) tells whether the thread ended in time; only then delete
// the object. The destructor itself terminates and waits for the thread without a bound.
class TPictureExtractThd : public QObject {
    Q_OBJECT
public:
    explicit TPictureExtractThd(TAVIExtractor* AExtractor, QObject* Parent = nullptr);
    ~TPictureExtractThd() override;
    TPictureExtractThd(const TPictureExtractThd&) = delete;
    TPictureExtractThd& operator=(const TPictureExtractThd&) = delete;

    static constexpr int WaitMs = 200;

    // Main thread.
    void RequestFrame(int32_t Frame);
    // Any thread: ask the worker to stop after the frame in progress.
    void Terminate();
    // Terminate, then wait up to Ms milliseconds; true when the thread has ended.
    bool TerminateAndWait(int Ms);

    // Result of the last decode delivered to the main thread (read in or after ShowFrame).
    bool FrameReady() const { return shownReady_; }
    const QImage& Image() const { return shownImage_; }
    std::function<void(bool FrameReady, const QImage& Image)> OnShowFrame;

    // Test hook: called on the worker with the frame number before each decode.
    void SetGrabHook(std::function<void(int32_t Frame)> Hook);

signals:
    void ShowFrame(bool FrameReady, const QImage& Image);

private slots:
    void DeliverFrame();

private:
    TAVIExtractor* Extractor;

    // Guarded by Mutex: the request slot, the stop flag, the finished result.
    std::mutex mutex_;
    std::condition_variable Signal;      // a request or a stop for the worker
    std::condition_variable EndedSignal; // the worker left its loop
    bool requestPending_ = false;
    int32_t RequestedFrame = 0;
    bool terminateRequested_ = false;
    bool threadEnded_ = false;
    bool resultPending_ = false;
    bool resultReady_ = false;
    QImage resultImage_;
    std::function<void(int32_t)> GrabHook;

    // Worker only.
    TFrameBitmap FrameBitmap;

    // Main thread only.
    bool shownReady_ = false;
    QImage shownImage_;

    std::thread thread_;

    void Execute();
    bool GrabFrame(int32_t Frame);
};
