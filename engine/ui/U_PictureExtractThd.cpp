// U_PictureExtractThd: the preview worker's loop, its request slot and the hand-over of each
// decoded frame to the main thread.
#include "engine/ui/U_PictureExtractThd.h"

#include "engine/jobs/U_AVIExtractor.h"
#include "engine/ui/BitmapImage.h"

#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <exception>

TPictureExtractThd::TPictureExtractThd(TAVIExtractor* AExtractor, QObject* Parent)
    : QObject(Parent), Extractor(AExtractor) {
    thread_ = std::thread([this] { Execute(); });
}

TPictureExtractThd::~TPictureExtractThd() {
    Terminate();
    if (thread_.joinable())
        thread_.join();
}

void TPictureExtractThd::RequestFrame(int32_t Frame) {
    {
        std::lock_guard<std::mutex> held(mutex_);
        RequestedFrame = Frame;
        requestPending_ = true;
    }
    Signal.notify_one();
}

void TPictureExtractThd::Terminate() {
    {
        std::lock_guard<std::mutex> held(mutex_);
        terminateRequested_ = true;
    }
    Signal.notify_all();
}

bool TPictureExtractThd::TerminateAndWait(int Ms) {
    Terminate();
    std::unique_lock<std::mutex> held(mutex_);
    if (!EndedSignal.wait_for(held, std::chrono::milliseconds(Ms), [this] { return threadEnded_; }))
        return false;
    held.unlock();
    // The worker only returns after saying so; the join cannot block for long.
    if (thread_.joinable())
        thread_.join();
    return true;
}

void TPictureExtractThd::SetGrabHook(std::function<void(int32_t)> Hook) {
    std::lock_guard<std::mutex> held(mutex_);
    GrabHook = std::move(Hook);
}

void TPictureExtractThd::Execute() {
    std::unique_lock<std::mutex> held(mutex_);
    while (!terminateRequested_) {
        // A bounded wait even without requests, so a stop is seen within WaitMs, as the main
        // window's shutdown counts on.
        Signal.wait_for(held, std::chrono::milliseconds(WaitMs),
                        [this] { return requestPending_ || terminateRequested_; });
        if (terminateRequested_ || !requestPending_)
            continue;
        requestPending_ = false;
        const int32_t frame = RequestedFrame;
        const std::function<void(int32_t)> hook = GrabHook;
        held.unlock();

        if (hook)
            hook(frame);
        bool ready = GrabFrame(frame);
        // An own copy, so the picture stays valid whatever the worker decodes next; a picture
        // Qt could not allocate counts as a frame that cannot be shown.
        QImage image = ready ? ImageFromBitmap(FrameBitmap) : QImage();
        ready = ready && !image.isNull();

        held.lock();
        resultReady_ = ready;
        resultImage_ = std::move(image);
        if (!resultPending_) {
            resultPending_ = true;
            QMetaObject::invokeMethod(this, "DeliverFrame", Qt::QueuedConnection);
        }
    }
    threadEnded_ = true;
    held.unlock();
    EndedSignal.notify_all();
}

bool TPictureExtractThd::GrabFrame(int32_t Frame) {
    if (!Extractor)
        return false;
    // An error must not end the thread: the frame just counts as not decodable.
    try {
        if (!Extractor->GetFrameBitmap(FrameBitmap, Frame))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void TPictureExtractThd::DeliverFrame() {
    {
        std::lock_guard<std::mutex> held(mutex_);
        resultPending_ = false;
        shownReady_ = resultReady_;
        shownImage_ = std::move(resultImage_);
        resultImage_ = QImage();
    }
    if (OnShowFrame)
        OnShowFrame(shownReady_, shownImage_);
    emit ShowFrame(shownReady_, shownImage_);
}
