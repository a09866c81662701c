// Lang_Storageobj: TStorefile, the record store that language files are made of.
#include "localisation/Lang_Storageobj.h"

#include "localisation/StoreHandle.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr int32_t kHeadSize = 8;     // Size and Tag
constexpr int32_t kRecordExtra = 12; // Size, Tag and Back around the data
constexpr int64_t kScanWindow = 64 * 1024;

int32_t GetLE32(const uint8_t* p) {
    const uint32_t u = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                       static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(u);
}

// Record numbers start from the header's Count, which may be anything; they wrap rather than
// overflow.
void Bump(int32_t& value, int32_t by) {
    value = static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(by));
}

void PutLE32(uint8_t* p, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    p[0] = static_cast<uint8_t>(u);
    p[1] = static_cast<uint8_t>(u >> 8);
    p[2] = static_cast<uint8_t>(u >> 16);
    p[3] = static_cast<uint8_t>(u >> 24);
}

} // namespace

TStorefile::TStorefile() = default;

TStorefile::~TStorefile() {
    Close();
}

void TStorefile::CheckWritable() const {
    if (ReadOnly())
        throw EStorefileError(kReadOnlyMessage);
}

bool TStorefile::ReadInt32At(int64_t offset, int32_t& value) {
    uint8_t bytes[4];
    if (!handle_ || offset < 0 || handle_->ReadAt(offset, bytes, 4) != 4)
        return false;
    value = GetLE32(bytes);
    return true;
}

// The chain was checked at Open, but a file opened without a sharing claim can change under
// us, so every record head is checked again before it is used. A bad one ends the data there.
bool TStorefile::ReadHead(RecordHead& head) {
    uint8_t bytes[kHeadSize];
    if (handle_ && handle_->ReadAt(position_, bytes, kHeadSize) == kHeadSize) {
        head.size = GetLE32(bytes);
        head.tag = GetLE32(bytes + 4);
        if (head.size >= kHeadSize &&
            static_cast<int64_t>(position_) + head.size + 4 <= static_cast<int64_t>(fileEnd_))
            return true;
    }
    fileEnd_ = position_;
    return false;
}

// The layout carries no check of its own, so the record chain is walked once when the file is
// opened. A record is accepted when its Size is at least 8, the record and its Back field lie
// inside the file, and Back equals Size + 4. The first record that fails any of these ends the
// data: the store treats the file as ending at that record's start, as if the writer had
// stopped there. Every later move and read stays inside accepted records, so a garbage Size or
// Back can never send the cursor out of bounds; the ignored tail is dropped by the next append.
int64_t TStorefile::ScanRecords(int64_t physicalSize) {
    std::vector<uint8_t> window(kScanWindow);
    int64_t windowStart = 0;
    int64_t windowLength = 0;
    auto get = [&](int64_t offset, int32_t& value) {
        if (offset < windowStart || offset + 4 > windowStart + windowLength) {
            windowStart = offset;
            windowLength = handle_->ReadAt(offset, window.data(), kScanWindow);
            if (windowLength < 4)
                return false;
        }
        value = GetLE32(window.data() + (offset - windowStart));
        return true;
    };

    int64_t position = firstRecord_;
    while (physicalSize - position >= kRecordExtra) {
        int32_t size = 0;
        int32_t back = 0;
        if (!get(position, size) || size < kHeadSize ||
            static_cast<int64_t>(size) + 4 > physicalSize - position)
            break;
        if (!get(position + size, back) ||
            static_cast<int64_t>(back) != static_cast<int64_t>(size) + 4)
            break;
        position += static_cast<int64_t>(size) + 4;
    }
    return position;
}

void TStorefile::OpenExisting() {
    std::string error;
    openedReadOnly_ = readOnly_;
    handle_ = OpenStoreHandle(
        filename_, readOnly_ ? StoreOpenMode::ReadDenyWrite : StoreOpenMode::ReadWrite, error);
    if (!handle_) {
        openedReadOnly_ = true;
        handle_ = OpenStoreHandle(filename_, StoreOpenMode::ReadOnly, error);
    }
    auto fail = [&](const std::string& why) {
        handle_.reset();
        openedReadOnly_ = false;
        lastError_ = why;
    };
    if (!handle_)
        return fail(error);

    const int64_t physicalSize = handle_->Size();
    if (physicalSize < 0)
        return fail("Cannot tell the size of " + filename_);
    if (physicalSize > kMaxFileSize)
        return fail(filename_ + " is too big for a record store: " + std::to_string(physicalSize) +
                    " bytes, the limit is " + std::to_string(kMaxFileSize));

    const auto signatureLength = static_cast<int64_t>(signature_.size());
    if (signatureLength > 0) {
        std::string found(signature_.size(), '\0');
        if (handle_->ReadAt(0, found.data(), signatureLength) != signatureLength ||
            found != signature_)
            return fail(filename_ + " does not start with the signature \"" + signature_ + "\"");
    }

    // A header cut short inside Count counts no records; it still is a store of ours.
    int32_t count = 0;
    if (!ReadInt32At(signatureLength, count))
        count = 0;
    count_ = count;
    firstRecord_ = static_cast<int32_t>(signatureLength + 4);
    position_ = firstRecord_;
    recordIndex_ = 0;
    fileEnd_ = static_cast<int32_t>(ScanRecords(physicalSize));
    opened_ = true;
}

void TStorefile::CreateNew() {
    openedReadOnly_ = false;
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(filename_).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);

    std::string error;
    handle_ = CreateStoreHandle(filename_, error);
    if (!handle_) {
        lastError_ = error;
        return;
    }
    std::vector<uint8_t> header(signature_.begin(), signature_.end());
    header.resize(header.size() + 4, 0);
    if (!handle_->WriteAt(0, header.data(), static_cast<int64_t>(header.size()))) {
        handle_.reset();
        lastError_ = "Cannot write the header of " + filename_;
        return;
    }
    count_ = 0;
    firstRecord_ = static_cast<int32_t>(header.size());
    position_ = firstRecord_;
    fileEnd_ = firstRecord_;
    recordIndex_ = 0;
    opened_ = true;
}

void TStorefile::Open() {
    if (opened_ || filename_.empty())
        return;
    lastError_.clear();
    if (signature_.size() > static_cast<size_t>(kMaxFileSize) - 4) {
        lastError_ = "The signature is longer than a record store can be";
        return;
    }
    std::error_code ec;
    const std::filesystem::path path(filename_);
    if (!path.has_parent_path()) {
        const std::filesystem::path cwd = std::filesystem::current_path(ec);
        if (!ec)
            filename_ = (cwd / path).string();
    }
    if (std::filesystem::exists(filename_, ec))
        OpenExisting();
    else
        CreateNew();
}

void TStorefile::Close() {
    const bool wasReadOnly = openedReadOnly_;
    openedReadOnly_ = false;
    if (!opened_)
        return;
    if (!wasReadOnly) {
        uint8_t bytes[4];
        PutLE32(bytes, count_);
        // Close has no way to report; a failed write leaves the old Count, which readers cope
        // with since they read up to the end of the file.
        (void)handle_->WriteAt(firstRecord_ - 4, bytes, 4);
    }
    handle_.reset();
    fileEnd_ = 0;
    count_ = 0;
    recordIndex_ = 0;
    position_ = 0;
    firstRecord_ = 0;
    opened_ = false;
}

void TStorefile::Erase() {
    CheckWritable();
    const bool wasOpen = opened_;
    Close();
    if (!filename_.empty()) {
        std::error_code ec;
        std::filesystem::remove(filename_, ec);
    }
    if (wasOpen)
        Open();
}

bool TStorefile::First() {
    if (!opened_)
        return false;
    recordIndex_ = 0;
    position_ = firstRecord_;
    return true;
}

bool TStorefile::Last() {
    if (!opened_)
        return false;
    if (count_ > 0 && fileEnd_ > firstRecord_) {
        int32_t back = 0;
        int32_t size = 0;
        // Checked again for the same reason as ReadHead; a changed tail falls back to First.
        if (ReadInt32At(fileEnd_ - 4, back) && back >= kRecordExtra &&
            back <= fileEnd_ - firstRecord_ && ReadInt32At(fileEnd_ - back, size) &&
            static_cast<int64_t>(size) + 4 == back) {
            position_ = fileEnd_ - back;
            recordIndex_ = count_ - 1;
            return true;
        }
    }
    return First();
}

bool TStorefile::Next() {
    if (Eof())
        return false;
    RecordHead head;
    if (!ReadHead(head))
        return false;
    position_ += head.size + 4;
    Bump(recordIndex_, 1);
    return true;
}

bool TStorefile::Prior() {
    if (!opened_ || recordIndex_ <= 0 || position_ <= firstRecord_)
        return false;
    int32_t back = 0;
    int32_t size = 0;
    if (!ReadInt32At(position_ - 4, back) || back < kRecordExtra ||
        back > position_ - firstRecord_ || !ReadInt32At(position_ - back, size) ||
        static_cast<int64_t>(size) + 4 != back)
        return false;
    position_ -= back;
    Bump(recordIndex_, -1);
    return true;
}

bool TStorefile::GoTo(int32_t n) {
    if (!opened_)
        return false;
    if (n < 0 || n >= count_ || n == recordIndex_)
        return true;
    const int64_t target = n;
    const int64_t fromHere =
        target > recordIndex_ ? target - recordIndex_ : static_cast<int64_t>(recordIndex_) - target;
    const int64_t fromFirst = target;
    const int64_t fromLast = static_cast<int64_t>(count_) - 1 - target;
    if (fromFirst < fromHere && fromFirst <= fromLast)
        First();
    else if (fromLast < fromHere)
        Last();
    // Each step either moves or stops at an end of the data, so a Count larger than the real
    // number of records cannot make this loop run on.
    while (recordIndex_ < n && Next()) {
    }
    while (recordIndex_ > n && Prior()) {
    }
    return true;
}

int32_t TStorefile::ReadData(void* buffer, int32_t& n, bool advance) {
    RecordHead head;
    if (Eof() || !ReadHead(head)) {
        n = 0;
        return 0;
    }
    const int32_t length = head.size - kHeadSize;
    const int32_t wanted = n >= 0 && n < length ? n : length;
    n = wanted > 0 ? static_cast<int32_t>(handle_->ReadAt(position_ + kHeadSize, buffer, wanted))
                   : 0;
    if (advance) {
        position_ += length + kRecordExtra;
        Bump(recordIndex_, 1);
    }
    return head.tag;
}

int32_t TStorefile::ReadData(std::vector<uint8_t>& data, bool advance) {
    data.resize(static_cast<size_t>(DataSize()));
    auto n = static_cast<int32_t>(data.size());
    const int32_t tag = ReadData(data.data(), n, advance);
    data.resize(static_cast<size_t>(n));
    return tag;
}

int32_t TStorefile::DataSize() {
    RecordHead head;
    if (Eof() || !ReadHead(head))
        return 0;
    return head.size - kHeadSize;
}

int32_t TStorefile::ReadString(std::string& s, bool advance) {
    std::vector<uint8_t> data;
    const int32_t tag = ReadData(data, advance);
    s.assign(data.begin(), data.end());
    return tag;
}

int32_t TStorefile::ReadInteger(int32_t& v, bool advance) {
    uint8_t bytes[4];
    int32_t n = 4;
    const int32_t tag = ReadData(bytes, n, advance);
    auto value = static_cast<uint32_t>(v);
    for (int32_t i = 0; i < n; ++i) {
        const int shift = 8 * i;
        value = (value & ~(0xFFu << shift)) | static_cast<uint32_t>(bytes[i]) << shift;
    }
    v = static_cast<int32_t>(value);
    return tag;
}

int32_t TStorefile::WriteData(int32_t tag, const void* buffer, int32_t n) {
    CheckWritable();
    if (!opened_ || position_ != fileEnd_ || n < 0 || (n > 0 && buffer == nullptr))
        return 0;
    const int64_t newEnd = static_cast<int64_t>(fileEnd_) + n + kRecordExtra;
    if (newEnd > kMaxFileSize)
        return 0;
    // Bytes past the accepted records (a torn or garbage tail) would otherwise stay behind the
    // new record and end the chain right after it at the next Open.
    const int64_t physicalSize = handle_->Size();
    if (physicalSize < 0 || (physicalSize > fileEnd_ && !handle_->Truncate(fileEnd_)))
        return 0;

    std::vector<uint8_t> record(static_cast<size_t>(n) + kRecordExtra);
    PutLE32(record.data(), n + kHeadSize);
    PutLE32(record.data() + 4, tag);
    if (n > 0)
        std::memcpy(record.data() + kHeadSize, buffer, static_cast<size_t>(n));
    PutLE32(record.data() + kHeadSize + n, n + kRecordExtra);
    if (!handle_->WriteAt(fileEnd_, record.data(), static_cast<int64_t>(record.size()))) {
        // Never leave half a record: a short file is better than a torn chain.
        (void)handle_->Truncate(fileEnd_);
        return 0;
    }
    Bump(count_, 1);
    Bump(recordIndex_, 1);
    fileEnd_ = static_cast<int32_t>(newEnd);
    position_ = fileEnd_;
    return count_;
}

int32_t TStorefile::WriteString(int32_t tag, const std::string& s) {
    CheckWritable();
    if (s.size() > static_cast<size_t>(kMaxFileSize))
        return 0;
    return WriteData(tag, s.data(), static_cast<int32_t>(s.size()));
}

int32_t TStorefile::WriteInteger(int32_t tag, int32_t v) {
    uint8_t bytes[4];
    PutLE32(bytes, v);
    return WriteData(tag, bytes, 4);
}
