// PictureCache: the decoded pictures kept around the current frame.
#include "engine/decode/PictureCache.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <iterator>

namespace {

// What the picture's buffers hold; shared buffers count in full for each picture, so the
// budget is never exceeded however the decoder shares them.
size_t BytesOf(const AVFrame& Picture) {
    size_t bytes = sizeof(AVFrame);
    for (const AVBufferRef* buffer : Picture.buf)
        if (buffer)
            bytes += buffer->size;
    for (int i = 0; i < Picture.nb_extended_buf; ++i)
        bytes += Picture.extended_buf[i]->size;
    return bytes;
}

} // namespace

void TPictureCache::FrameFree::operator()(AVFrame* f) const {
    av_frame_free(&f);
}

TPictureCache::TPictureCache() = default;
TPictureCache::~TPictureCache() = default;

void TPictureCache::SetBudget(size_t Bytes) {
    budget_ = Bytes;
    Trim();
}

void TPictureCache::Focus(int64_t Frame) {
    focus_ = Frame;
}

void TPictureCache::Put(int64_t Frame, const AVFrame& Picture) {
    const size_t bytes = BytesOf(Picture);
    if (bytes > budget_)
        return;
    if (auto old = kept_.find(Frame); old != kept_.end())
        Drop(old);
    Entry entry;
    entry.picture.reset(av_frame_clone(&Picture));
    if (!entry.picture)
        return;
    entry.bytes = bytes;
    bytes_ += bytes;
    kept_.emplace(Frame, std::move(entry));
    Trim();
}

const AVFrame* TPictureCache::Get(int64_t Frame) const {
    const auto it = kept_.find(Frame);
    return it == kept_.end() ? nullptr : it->second.picture.get();
}

void TPictureCache::Clear() {
    kept_.clear();
    bytes_ = 0;
}

void TPictureCache::Drop(std::map<int64_t, Entry>::iterator It) {
    bytes_ -= It->second.bytes;
    kept_.erase(It);
}

void TPictureCache::Trim() {
    // The farthest from the focus is always at one end of the ordered map.
    while (bytes_ > budget_ && !kept_.empty()) {
        const auto first = kept_.begin();
        const auto last = std::prev(kept_.end());
        Drop(focus_ - first->first >= last->first - focus_ ? first : last);
    }
}
