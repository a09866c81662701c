// StoreHandleLinux: record-store files on Linux - pread/pwrite and flock for the sharing rules.
#include "localisation/StoreHandle.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

class LinuxStoreHandle final : public StoreHandle {
public:
    explicit LinuxStoreHandle(int fd) : fd_(fd) {}
    ~LinuxStoreHandle() override { ::close(fd_); }
    LinuxStoreHandle(const LinuxStoreHandle&) = delete;
    LinuxStoreHandle& operator=(const LinuxStoreHandle&) = delete;

    int64_t Size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0)
            return -1;
        return st.st_size;
    }

    int64_t ReadAt(int64_t offset, void* buffer, int64_t count) override {
        auto* out = static_cast<char*>(buffer);
        int64_t done = 0;
        while (done < count) {
            const ssize_t got = ::pread(fd_, out + done, static_cast<size_t>(count - done),
                                        static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += got;
        }
        return done;
    }

    bool WriteAt(int64_t offset, const void* buffer, int64_t count) override {
        const auto* in = static_cast<const char*>(buffer);
        int64_t done = 0;
        while (done < count) {
            const ssize_t put = ::pwrite(fd_, in + done, static_cast<size_t>(count - done),
                                         static_cast<off_t>(offset + done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            done += put;
        }
        return true;
    }

    bool Truncate(int64_t size) override {
        while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
            if (errno != EINTR)
                return false;
        }
        return true;
    }

private:
    int fd_;
};

// O_NONBLOCK keeps a FIFO or device from blocking the open; only regular files are accepted, so
// the flag changes nothing afterwards.
int OpenRegular(const std::string& path, int flags, std::string& errorText) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        errorText = SystemError("Cannot open", path);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        errorText = "Cannot open " + path + ": not a regular file";
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::unique_ptr<StoreHandle> OpenStoreHandle(const std::string& path, StoreOpenMode mode,
                                             std::string& errorText) {
    const int fd =
        OpenRegular(path, mode == StoreOpenMode::ReadWrite ? O_RDWR : O_RDONLY, errorText);
    if (fd < 0)
        return nullptr;
    // flock is advisory: it keeps our own stores (and other copies of the program) apart, which
    // is what the share modes are for.
    int lock = 0;
    if (mode == StoreOpenMode::ReadDenyWrite)
        lock = LOCK_SH;
    else if (mode == StoreOpenMode::ReadWrite)
        lock = LOCK_EX;
    if (lock != 0 && ::flock(fd, lock | LOCK_NB) != 0) {
        errorText = SystemError("Cannot lock", path);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<LinuxStoreHandle>(fd);
}

std::unique_ptr<StoreHandle> CreateStoreHandle(const std::string& path, std::string& errorText) {
    const int fd = OpenRegular(path, O_RDWR | O_CREAT | O_EXCL, errorText);
    if (fd < 0)
        return nullptr;
    // The file is new, so the lock can only fail if another store raced us to it; we still own
    // the creation and go on.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
    return std::make_unique<LinuxStoreHandle>(fd);
}
