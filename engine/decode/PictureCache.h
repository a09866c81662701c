// PictureCache: decoded pictures kept by frame number within a memory budget, so that stepping
// back through a group of pictures does not decode it again from its key frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

struct AVFrame;

class TPictureCache {
public:
    // 256 MiB: about 80 pictures of 1080p video as the decoder gives them (4:2:0).
    static constexpr size_t kDefaultBudget = size_t{256} << 20;

    TPictureCache();
    ~TPictureCache();
    TPictureCache(const TPictureCache&) = delete;
    TPictureCache& operator=(const TPictureCache&) = delete;

    // 0 keeps nothing. A smaller budget drops pictures at once.
    void SetBudget(size_t Bytes);
    size_t Budget() const { return budget_; }
    // The frame the user is at: pictures farthest from it go first.
    void Focus(int64_t Frame);
    // Keeps a reference to Picture's data for Frame, replacing an older one; a picture larger
    // than the whole budget is not kept.
    void Put(int64_t Frame, const AVFrame& Picture);
    // nullptr when Frame is not kept. Valid until the next call that changes the cache.
    const AVFrame* Get(int64_t Frame) const;
    void Clear();
    // What the kept pictures hold, never above the budget.
    size_t Bytes() const { return bytes_; }
    size_t Count() const { return kept_.size(); }

private:
    struct FrameFree {
        void operator()(AVFrame* f) const;
    };
    struct Entry {
        std::unique_ptr<AVFrame, FrameFree> picture;
        size_t bytes = 0;
    };
    std::map<int64_t, Entry> kept_;
    size_t budget_ = kDefaultBudget;
    size_t bytes_ = 0;
    int64_t focus_ = 0;

    void Drop(std::map<int64_t, Entry>::iterator It);
    void Trim();
};
