// AtomicFileLinux: capped reads and rename-based replacement with POSIX calls.
#include "support/files/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace atomicfile {

namespace {

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

ReadResult ReadCapped(const std::string& path, size_t maxBytes, std::string& bytes, int& err) {
    bytes.clear();
    err = 0;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        // Below a plain file nothing exists either.
        return err == ENOENT || err == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        err = EISDIR;
        close(fd);
        return ReadResult::Failed;
    }
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        close(fd);
        return ReadResult::TooLarge;
    }
    bytes.resize(static_cast<size_t>(st.st_size) + 1);
    size_t got = 0;
    while (true) {
        if (got == bytes.size()) {
            // The file grew since fstat: read on, but never past the cap.
            if (bytes.size() > maxBytes) {
                close(fd);
                bytes.clear();
                return ReadResult::TooLarge;
            }
            bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
        }
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            close(fd);
            bytes.clear();
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    bytes.resize(got);
    return ReadResult::Ok;
}

bool Replace(const std::string& path, const std::string& tmpPath, const std::string& bytes,
             unsigned newMode, int& err, const std::function<void()>& beforeRename) {
    err = 0;
    mode_t mode = static_cast<mode_t>(newMode);
    struct stat st {};
    if (stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    // A temporary file left by a process that died before its rename is simply overwritten.
    const int fd =
        open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) {
        err = errno;
        return false;
    }
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    if (!ok)
        err = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(tmpPath.c_str());
        return false;
    }
    if (beforeRename)
        beforeRename();
    if (rename(tmpPath.c_str(), path.c_str()) != 0) {
        err = errno;
        unlink(tmpPath.c_str());
        return false;
    }
    // The rename itself lasts only once the folder is synced.
    const int dirFd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char buf[PATH_MAX];
    if (realpath(path.c_str(), buf))
        return buf;
    return path;
}

std::string PrivateTempPath(const std::string& path) {
    return path + ".tmp-" + std::to_string(getpid());
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MayReplace(const std::string& path, int& err) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        err = errno;
        return err == ENOENT;
    }
    if ((st.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0) {
        err = EACCES;
        return false;
    }
    return true;
}

} // namespace atomicfile
