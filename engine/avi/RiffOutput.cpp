// RiffOutput: the buffered output file.
#include "engine/avi/RiffOutput.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBufferSize = size_t{4} << 20;

} // namespace

namespace avi {

BufferedFile::~BufferedFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool BufferedFile::Open(const std::string& name) {
    fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        Fail(errno);
        return false;
    }
    buf_.reserve(kBufferSize);
    return true;
}

void BufferedFile::Fail(int error) {
    failed_ = true;
    if (error_ == 0)
        error_ = error;
}

bool BufferedFile::Append(const void* p, size_t n) {
    if (failed_)
        return false;
    if (buf_.size() + n > kBufferSize && !Flush())
        return false;
    if (n >= kBufferSize) {
        if (!Put(bufStart_, p, n))
            return false;
        bufStart_ += n;
        return true;
    }
    const auto* b = static_cast<const uint8_t*>(p);
    buf_.insert(buf_.end(), b, b + n);
    return true;
}

bool BufferedFile::Flush() {
    if (failed_)
        return false;
    const bool ok = Put(bufStart_, buf_.data(), buf_.size());
    if (ok)
        bufStart_ += buf_.size();
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
    return Flush() && Put(pos, p, n);
}

void BufferedFile::Restart(uint64_t pos) {
    buf_.clear();
    bufStart_ = pos;
    failed_ = fd_ < 0;
}

bool BufferedFile::Truncate(uint64_t size) {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        Fail(fd_ < 0 ? EBADF : errno);
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > size &&
        ::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool BufferedFile::Close() {
    const bool flushed = Flush();
    const bool closed = fd_ >= 0 && ::close(fd_) == 0;
    if (!closed)
        Fail(fd_ < 0 ? EBADF : errno);
    fd_ = -1;
    return closed && flushed;
}

// Writes all n bytes at pos. What a failing write took still counts as on the disk, so that
// DiskEnd knows how far appended data got.
bool BufferedFile::Put(uint64_t pos, const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pwrite(fd_, b + done, n - done, static_cast<off_t>(pos + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (pos == bufStart_)
                bufStart_ += done;
            // A write the system took none of without saying why means the disk is full.
            Fail(got < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

} // namespace avi
