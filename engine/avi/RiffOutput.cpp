// RiffOutput: the buffered output file.
#include "engine/avi/RiffOutput.h"

#include <cstring>
#include <filesystem>

namespace {

constexpr size_t kBufferSize = size_t{4} << 20;

} // namespace

namespace avi {

bool BufferedFile::Open(const std::string& name) {
    file_.pubsetbuf(nullptr, 0); // buffering is ours; the stream buffer reports short writes
    if (!file_.open(std::filesystem::path(name),
                    std::ios::out | std::ios::binary | std::ios::trunc))
        return false;
    buf_.reserve(kBufferSize);
    return true;
}

bool BufferedFile::Append(const void* p, size_t n) {
    if (failed_)
        return false;
    if (buf_.size() + n > kBufferSize && !Flush())
        return false;
    if (n >= kBufferSize)
        return Put(p, n);
    const auto* b = static_cast<const uint8_t*>(p);
    buf_.insert(buf_.end(), b, b + n);
    return true;
}

bool BufferedFile::Flush() {
    if (failed_)
        return false;
    const bool ok = Put(buf_.data(), buf_.size());
    buf_.clear();
    return ok;
}

bool BufferedFile::Patch(uint64_t pos, const void* p, size_t n) {
    if (failed_ || pos + n > Pos())
        return false;
    if (pos >= bufStart_) {
        std::memcpy(buf_.data() + (pos - bufStart_), p, n);
        return true;
    }
    if (!Flush())
        return false;
    const bool ok = Seek(pos) &&
                    file_.sputn(static_cast<const char*>(p), static_cast<std::streamsize>(n)) ==
                        static_cast<std::streamsize>(n) &&
                    Seek(bufStart_);
    failed_ = !ok;
    return ok;
}

void BufferedFile::Restart(uint64_t pos) {
    buf_.clear();
    bufStart_ = pos;
    failed_ = !Seek(pos);
}

bool BufferedFile::Close() {
    const bool flushed = Flush();
    return file_.close() != nullptr && flushed;
}

bool BufferedFile::Seek(uint64_t pos) {
    const auto want = static_cast<std::streamoff>(pos);
    return file_.pubseekpos(want, std::ios::out) == std::streampos(want);
}

bool BufferedFile::Put(const void* p, size_t n) {
    const std::streamsize done =
        n == 0 ? 0 : file_.sputn(static_cast<const char*>(p), static_cast<std::streamsize>(n));
    if (done > 0)
        bufStart_ += static_cast<uint64_t>(done);
    if (done != static_cast<std::streamsize>(n)) {
        failed_ = true;
        return false;
    }
    return true;
}

} // namespace avi
