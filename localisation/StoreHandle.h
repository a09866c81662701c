// StoreHandle: the open file under a record store - positioned reads and writes, sharing rules.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// How a store opens an existing file. The sharing rules follow the other platform's share modes:
// a reader that denies writes and a writer exclude each other, so the second one to come falls
// back to plain reading.
enum class StoreOpenMode {
    ReadDenyWrite, // reading; nobody may write while it is open
    ReadWrite,     // reading and writing; nobody else may deny writes or write
    ReadOnly,      // plain reading, no sharing claim (the fallback)
};

class StoreHandle {
public:
    virtual ~StoreHandle() = default;

    // Current size of the file in bytes; -1 when it cannot be told.
    virtual int64_t Size() = 0;
    // Reads up to count bytes at offset; returns how many were read (short at the end of file).
    virtual int64_t ReadAt(int64_t offset, void* buffer, int64_t count) = 0;
    // Writes all count bytes at offset; false when any of them could not be written.
    virtual bool WriteAt(int64_t offset, const void* buffer, int64_t count) = 0;
    virtual bool Truncate(int64_t size) = 0;
};

// nullptr when the file cannot be opened in that mode, is not a regular file, or its sharing
// claim conflicts with another open handle. errorText says why.
std::unique_ptr<StoreHandle> OpenStoreHandle(const std::string& path, StoreOpenMode mode,
                                             std::string& errorText);
// Creates a new file for reading and writing; nullptr when it exists already or cannot be made.
std::unique_ptr<StoreHandle> CreateStoreHandle(const std::string& path, std::string& errorText);
