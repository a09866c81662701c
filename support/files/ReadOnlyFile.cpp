// ReadOnlyFile: opening for reading and the positional read loop.
#include "support/files/ReadOnlyFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ReadOnlyFile::ReadOnlyFile(const std::string& name) {
    // Not blocking, so that opening a named pipe by mistake cannot hang; it is refused below.
    fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = S_ISDIR(st.st_mode) ? EISDIR : S_ISREG(st.st_mode) ? errno : EINVAL;
        ::close(fd_);
        fd_ = -1;
        return;
    }
    size_ = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

size_t ReadOnlyFile::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    return fd_ >= 0 ? ReadFileAt(fd_, offset, buffer, size) : 0;
}

size_t ReadFileAt(int fd, uint64_t offset, void* buffer, size_t size) {
    auto* p = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, p + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}
