// RiffOutput: the buffered output file.
#include "engine/avi/RiffOutput.h"

#include "support/files/ReadOnlyFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
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
    struct statfs fs {};
    if (::fstatfs(fd_, &fs) == 0 && fs.f_bsize >= 512 && fs.f_bsize <= (1 << 20) &&
        (fs.f_bsize & (fs.f_bsize - 1)) == 0)
        blockSize_ = static_cast<uint64_t>(fs.f_bsize);
    // For measuring and for file systems whose in-kernel copies misbehave.
    if (const char* buffered = std::getenv("CLIPVANE_BUFFERED_COPY"); buffered && *buffered == '1')
        copyRefused_ = true;
    return true;
}

bool BufferedFile::CopyFrom(int sourceFd, uint64_t sourceOffset, uint64_t length) {
    if (!Flush())
        return false;
    // Up to the source's next block boundary first, so that the rest starts on one: a copy
    // that starts inside a block shares nothing.
    const uint64_t head = std::min(length, (blockSize_ - sourceOffset % blockSize_) % blockSize_);
    uint64_t done = 0;
    for (const uint64_t part : {head, length - head}) {
        uint64_t copied = 0;
        if (part > 0 && !copyRefused_ &&
            !KernelCopy(sourceFd, sourceOffset + done, part, &copied) && failed_)
            return false;
        done += copied;
        if (copied < part && !BufferedCopy(sourceFd, sourceOffset + done, part - copied))
            return false;
        done += part - copied;
    }
    return true;
}

bool BufferedFile::KernelCopy(int sourceFd, uint64_t sourceOffset, uint64_t length,
                              uint64_t* done) {
    *done = 0;
    while (*done < length) {
        auto in = static_cast<off_t>(sourceOffset + *done);
        auto out = static_cast<off_t>(bufStart_);
        const ssize_t n = ::copy_file_range(sourceFd, &in, fd_, &out, length - *done, 0);
        if (n > 0) {
            *done += static_cast<uint64_t>(n);
            bufStart_ += static_cast<uint64_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Refusals (another file system, a file system or kernel without it) and the end of
        // the source leave the rest to the plain copy, which tells a real error for itself.
        if (n == 0 || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP || errno == ENOSYS ||
            errno == EBADF || errno == ETXTBSY || errno == EPERM) {
            copyRefused_ = copyRefused_ || n < 0;
            return false;
        }
        Fail(errno);
        return false;
    }
    return true;
}

bool BufferedFile::BufferedCopy(int sourceFd, uint64_t sourceOffset, uint64_t length) {
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(length, kBufferSize)));
    for (uint64_t done = 0; done < length;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(length - done, block.size()));
        if (ReadFileAt(sourceFd, sourceOffset + done, block.data(), want) != want) {
            Fail(EIO); // the source ended or could not be read
            return false;
        }
        if (!Put(bufStart_, block.data(), want))
            return false;
        bufStart_ += want;
        done += want;
    }
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
