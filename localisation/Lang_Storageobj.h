// Lang_Storageobj: TStorefile, the record store that language files are made of.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class StoreHandle;

// Raised by writes to a store that is read-only.
class EStorefileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// File layout, all integers 32-bit little-endian signed:
//   Signature (its bytes, no length, no terminator), Count, then records back to back up to the
//   end of the file, each: Size (data length + 8), Tag, Data, Back (data length + 12).
// The data ends at the end of the file, not after Count records; Count is kept in memory and
// written into the header by Close.
//
// Strings are stored and returned as the raw 8-bit bytes of the record: language files hold
// texts in the code page of their character set, and decoding them is the reader's business.
//
// A cursor stands on one record (or at the end); reads return the record's tag. Every read of
// a closed store behaves as at the end: tag 0, nothing read.
class TStorefile {
public:
    // Files above this size are refused: a language file is a few kilobytes, and every offset of
    // the layout is 32-bit.
    static constexpr int32_t kMaxFileSize = 64 * 1024 * 1024;
    static constexpr const char* kReadOnlyMessage =
        "Attempt to write a data while in ReadOnly mode";

    TStorefile();
    ~TStorefile();
    TStorefile(const TStorefile&) = delete;
    TStorefile& operator=(const TStorefile&) = delete;

    // Bytes expected at the start of the file and written at the start of a new one; empty
    // means no signature.
    const std::string& Signature() const { return signature_; }
    void SetSignature(const std::string& signature) { signature_ = signature; }
    const std::string& Filename() const { return filename_; }
    void SetFilename(const std::string& filename) { filename_ = filename; }
    // True when set, and also while the file is open but could only be opened for reading.
    bool ReadOnly() const { return readOnly_ || openedReadOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // Opens Filename, or creates it (with missing folders) when it does not exist. Never
    // raises: a file that cannot be opened or created, whose signature differs or that is too
    // big leaves the store closed, and LastError says why.
    void Open();
    // Writes Count into the header (unless opened read-only) and closes.
    void Close();
    // Deletes the file; an open store is closed, deleted and opened again, empty.
    void Erase();

    bool Opened() const { return opened_; }
    bool Eof() const { return !opened_ || position_ >= fileEnd_; }
    // The header's record count as maintained by the writer; 0 when no file is open.
    int32_t Count() const { return opened_ ? count_ : 0; }
    // Number of the current record, from 0.
    int32_t RecordIndex() const { return recordIndex_; }
    // Why the last Open left the store closed; empty after a successful Open.
    const std::string& LastError() const { return lastError_; }

    // Cursor moves. First and Last tell whether a file is open, Next whether a record was
    // passed, Prior whether there was one to go back to, GoTo whether a file is open.
    bool First();
    bool Last();
    bool Next();
    bool Prior();
    bool GoTo(int32_t n);

    // Copies the first n bytes of the current record's data when 0 <= n < data length, else all
    // of it (so buffer must hold DataSize() bytes when n is negative or larger than the data);
    // n comes back as the number copied. With advance the cursor moves to the next record.
    int32_t ReadData(void* buffer, int32_t& n, bool advance = true);
    // The whole data of the current record.
    int32_t ReadData(std::vector<uint8_t>& data, bool advance = true);
    // Data length of the current record; 0 at the end. The cursor stays.
    int32_t DataSize();
    int32_t ReadString(std::string& s, bool advance = true);
    // Reads up to 4 bytes, little-endian, into the low bytes of v; when the record is shorter the
    // upper bytes of v keep what they held.
    int32_t ReadInteger(int32_t& v, bool advance = true);

    // Appends a record when a file is open and the cursor stands at the end. Return the new
    // Count, or 0 when nothing was written. Raise EStorefileError when ReadOnly() is true.
    int32_t WriteData(int32_t tag, const void* buffer, int32_t n);
    int32_t WriteString(int32_t tag, const std::string& s);
    int32_t WriteInteger(int32_t tag, int32_t v);

private:
    struct RecordHead {
        int32_t size = 0;
        int32_t tag = 0;
    };

    void CheckWritable() const;
    bool ReadInt32At(int64_t offset, int32_t& value);
    bool ReadHead(RecordHead& head);
    int64_t ScanRecords(int64_t physicalSize);
    void OpenExisting();
    void CreateNew();

    bool opened_ = false;
    std::string signature_;
    std::string filename_;
    int32_t fileEnd_ = 0;
    int32_t count_ = 0;
    int32_t recordIndex_ = 0;
    int32_t position_ = 0;
    std::unique_ptr<StoreHandle> handle_;
    int32_t firstRecord_ = 0;
    bool readOnly_ = false;
    bool openedReadOnly_ = false;
    std::string lastError_;
};
