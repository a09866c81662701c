// ReadOnlyFile: a file opened for reading only, read at positions (pread), so that several
// threads may read it at once and the file itself is never changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class ReadOnlyFile {
public:
    // Opens name read-only, not inherited by programs we start. Only regular files: after a
    // failure IsOpen() is false and Error() holds the errno (EISDIR for a folder, EINVAL for a
    // device or pipe).
    explicit ReadOnlyFile(const std::string& name);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Error() const { return error_; }
    int Descriptor() const { return fd_; }
    // The size when the file was opened.
    uint64_t Size() const { return size_; }

    // Reads up to size bytes at offset; fewer at the end of the file or on a read error.
    size_t ReadAt(uint64_t offset, void* buffer, size_t size) const;
    // True when all size bytes were read.
    bool ReadExactly(uint64_t offset, void* buffer, size_t size) const {
        return ReadAt(offset, buffer, size) == size;
    }

private:
    int fd_ = -1;
    int error_ = 0;
    uint64_t size_ = 0;
};

// The one read loop: up to size bytes of fd at offset, going on after interruptions and short
// reads; fewer only at the end of the file or on an error.
size_t ReadFileAt(int fd, uint64_t offset, void* buffer, size_t size);
