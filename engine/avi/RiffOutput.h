// RiffOutput: what the AVI writer writes with - a little-endian record builder with RIFF chunk
// helpers, and an output file with a large write buffer that reports every short write.
#pragma once

#include "engine/avi/AviTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace avi {

// Little-endian record builder with RIFF chunk helpers: a chunk is opened with its size left
// open and closed by filling the size in and padding to even.
class Bytes {
public:
    std::vector<uint8_t> data;

    void U8(uint8_t v) { data.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v));
        U16(static_cast<uint16_t>(v >> 16));
    }
    void U64(uint64_t v) {
        U32(static_cast<uint32_t>(v));
        U32(static_cast<uint32_t>(v >> 32));
    }
    void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
    void Raw(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        data.insert(data.end(), b, b + n);
    }
    void Zeros(size_t n) { data.insert(data.end(), n, 0); }
    size_t BeginChunk(FOURCC id) {
        U32(id);
        U32(0);
        return data.size();
    }
    size_t BeginList(FOURCC listType) {
        const size_t body = BeginChunk(FourCC("LIST"));
        U32(listType);
        return body;
    }
    void EndChunk(size_t body) {
        const auto size = static_cast<uint32_t>(data.size() - body);
        for (int i = 0; i < 4; ++i)
            data[body - 4 + static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (8 * i));
        if (size & 1)
            U8(0);
    }
};

// Output file with a large write buffer. Every write reports whether all of it reached the
// system; DiskEnd tells how far the appended data got when one did not, Error the errno.
class BufferedFile {
public:
    BufferedFile() = default;
    ~BufferedFile();
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;

    // Creates (or empties) the file.
    bool Open(const std::string& name);

    uint64_t Pos() const { return bufStart_ + buf_.size(); }
    uint64_t DiskEnd() const { return bufStart_; }
    // The errno of the first failure (ENOSPC for a write the system took only in part).
    int Error() const { return error_; }

    bool Append(const void* p, size_t n);
    bool Flush();
    // Overwrites bytes already appended.
    bool Patch(uint64_t pos, const void* p, size_t n);
    // Forgets a failure and continues appending at pos (which may lie before the end).
    void Restart(uint64_t pos);
    // Appends length bytes of the file sourceFd from sourceOffset on, after what is buffered. The
    // copy runs in the kernel (copy_file_range: file systems that share extents share them, and
    // network shares copy on the server) and falls back to reading and writing where the
    // kernel refuses; the bytes written are the same either way. Extents can only be shared
    // where both positions lie at the same offset within a block (see BlockSize).
    bool CopyFrom(int sourceFd, uint64_t sourceOffset, uint64_t length);
    // The output file system's block size: a power of two from 512 bytes to 1 MiB.
    uint64_t BlockSize() const { return blockSize_; }
    // Cuts the file to size bytes when it is longer (a restart can leave old bytes beyond the end).
    bool Truncate(uint64_t size);
    bool Close();

private:
    bool Put(uint64_t pos, const void* p, size_t n);
    void Fail(int error);
    // In the kernel, as far as it goes: false when it refused (then copyRefused_ is set) or
    // failed (then the file has failed), with *done the bytes copied either way.
    bool KernelCopy(int sourceFd, uint64_t sourceOffset, uint64_t length, uint64_t* done);
    bool BufferedCopy(int sourceFd, uint64_t sourceOffset, uint64_t length);

    int fd_ = -1;
    std::vector<uint8_t> buf_;
    uint64_t bufStart_ = 0; // file position of buf_[0]; all before it was written
    bool failed_ = false;
    int error_ = 0;
    uint64_t blockSize_ = 4096;
    bool copyRefused_ = false; // the kernel refused once: the rest of the file goes buffered
};

} // namespace avi
