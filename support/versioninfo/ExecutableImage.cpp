// ExecutableImage: finding the VS_VERSIONINFO block in the resource section of a PE image and in
// the ".rsrc_version" section of our own ELF programs.
#include "support/versioninfo/ExecutableImage.h"

#include "support/files/ByteOrder.h"
#include "support/files/ReadOnlyFile.h"

#include <algorithm>
#include <cstring>

namespace {

// Caps on counts read from the file. Real executables have a few dozen sections and resource
// types; these only bound the work on garbage.
constexpr uint32_t kMaxPeSections = 0x10000;
constexpr uint32_t kMaxDirEntries = 0x1000;
constexpr uint64_t kMaxElfSections = 0x10000;
constexpr uint16_t kRtVersion = 16;
constexpr uint16_t kVsVersionInfo = 1;
// A version block's lengths are 16-bit, so no real block is larger.
constexpr size_t kMaxBlock = 0x10000;

// Random access to an image, in memory or in a file. Reads succeed only when every byte asked
// for is there.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    virtual uint64_t Size() const = 0;
    virtual bool ReadAt(uint64_t offset, void* out, size_t count) const = 0;

    bool Fits(uint64_t offset, uint64_t count) const {
        return offset <= Size() && count <= Size() - offset;
    }
};

class TMemorySource final : public TByteSource {
public:
    explicit TMemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(uint64_t offset, void* out, size_t count) const override {
        if (!Fits(offset, count))
            return false;
        if (count > 0)
            std::memcpy(out, bytes_.data() + offset, count);
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
};

class TFileSource final : public TByteSource {
public:
    explicit TFileSource(const ReadOnlyFile& file) : file_(file) {}
    uint64_t Size() const override { return file_.Size(); }
    bool ReadAt(uint64_t offset, void* out, size_t count) const override {
        // A file that shrank under us reads short and fails.
        return Fits(offset, count) && file_.ReadExactly(offset, out, count);
    }

private:
    const ReadOnlyFile& file_;
};

struct TRange {
    uint64_t offset = 0;
    uint64_t size = 0;
};

// ---- PE ----

struct TPeSection {
    uint32_t va = 0;
    uint32_t rawSize = 0;
    uint32_t rawPtr = 0;
};

class TPeImage {
public:
    explicit TPeImage(const TByteSource& src) : src_(src) {}

    bool FindVersion(TRange& found) {
        if (!ReadHeaders())
            return false;
        // Type, then name, then language.
        uint32_t dir = 0;
        if (!FindEntry(0, EntryPick::Type, dir))
            return false;
        if (!FindEntry(dir, EntryPick::Name, dir))
            return false;
        uint32_t dataEntry = 0;
        if (!FindEntry(dir, EntryPick::Language, dataEntry))
            return false;
        uint8_t entry[16];
        if (!ReadRva(static_cast<uint64_t>(resRva_) + dataEntry, entry, sizeof entry))
            return false;
        const uint32_t dataRva = Le32(entry);
        const uint32_t dataSize = Le32(entry + 4);
        uint64_t offset = 0;
        uint64_t available = 0;
        if (!MapRva(dataRva, offset, available) || dataSize == 0)
            return false;
        // A data entry claiming more than its section holds is read as far as the section goes;
        // the block's own length decides the rest.
        found.offset = offset;
        found.size = std::min<uint64_t>({dataSize, available, kMaxBlock});
        return true;
    }

private:
    enum class EntryPick { Type, Name, Language };

    bool ReadHeaders() {
        uint8_t dos[64];
        if (!src_.ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
            return false;
        const uint64_t pe = Le32(dos + 0x3C);
        uint8_t coff[24];
        if (!src_.ReadAt(pe, coff, sizeof coff) || std::memcmp(coff, "PE\0\0", 4) != 0)
            return false;
        const uint32_t sectionCount = std::min<uint32_t>(Le16(coff + 6), kMaxPeSections);
        const uint16_t optSize = Le16(coff + 20);
        const uint64_t opt = pe + sizeof coff;
        uint8_t optHeader[240] = {};
        const size_t optRead = std::min<size_t>(optSize, sizeof optHeader);
        if (!src_.ReadAt(opt, optHeader, optRead) || optRead < 2)
            return false;
        size_t countAt = 0;
        switch (Le16(optHeader)) {
        case 0x10B: // PE32
            countAt = 92;
            break;
        case 0x20B: // PE32+
            countAt = 108;
            break;
        default:
            return false;
        }
        const size_t dirsAt = countAt + 4;
        const size_t resourceDirAt = dirsAt + 2 * 8;
        if (optRead < resourceDirAt + 8 || Le32(optHeader + countAt) <= 2)
            return false;
        resRva_ = Le32(optHeader + resourceDirAt);
        if (resRva_ == 0)
            return false;
        const uint64_t table = opt + optSize;
        for (uint32_t i = 0; i < sectionCount; ++i) {
            uint8_t s[40];
            if (!src_.ReadAt(table + uint64_t{i} * sizeof s, s, sizeof s))
                break; // a truncated table keeps the sections read so far
            sections_.push_back({Le32(s + 12), Le32(s + 16), Le32(s + 20)});
        }
        return !sections_.empty();
    }

    // File offset of an address, and how many bytes of its section's file data follow it.
    bool MapRva(uint64_t rva, uint64_t& offset, uint64_t& available) const {
        for (const TPeSection& s : sections_) {
            if (rva < s.va || rva - s.va >= s.rawSize)
                continue;
            const uint64_t within = rva - s.va;
            offset = uint64_t{s.rawPtr} + within;
            if (offset >= src_.Size())
                continue;
            available = std::min<uint64_t>(s.rawSize - within, src_.Size() - offset);
            return true;
        }
        return false;
    }

    bool ReadRva(uint64_t rva, void* out, size_t count) const {
        uint64_t offset = 0;
        uint64_t available = 0;
        return rva <= 0xFFFFFFFFu && MapRva(rva, offset, available) && available >= count &&
               src_.ReadAt(offset, out, count);
    }

    // Picks an entry of the directory at dirOffset (relative to the resource root) and returns
    // its offset: a subdirectory for Type and Name, a data entry for Language.
    bool FindEntry(uint32_t dirOffset, EntryPick pick, uint32_t& result) const {
        uint8_t head[16];
        const uint64_t dirRva = uint64_t{resRva_} + dirOffset;
        if (!ReadRva(dirRva, head, sizeof head))
            return false;
        const uint32_t count =
            std::min<uint32_t>(uint32_t{Le16(head + 12)} + Le16(head + 14), kMaxDirEntries);
        bool haveFallback = false;
        uint32_t fallback = 0;
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t e[8];
            if (!ReadRva(dirRva + sizeof head + uint64_t{i} * sizeof e, e, sizeof e))
                break;
            const uint32_t name = Le32(e);
            const uint32_t data = Le32(e + 4);
            const bool named = (name & 0x80000000u) != 0;
            const bool isDir = (data & 0x80000000u) != 0;
            const uint32_t target = data & 0x7FFFFFFFu;
            switch (pick) {
            case EntryPick::Type:
                if (!named && name == kRtVersion && isDir) {
                    result = target;
                    return true;
                }
                break;
            case EntryPick::Name:
                if (!isDir)
                    break;
                if (!named && name == kVsVersionInfo) {
                    result = target;
                    return true;
                }
                if (!haveFallback) {
                    haveFallback = true;
                    fallback = target;
                }
                break;
            case EntryPick::Language:
                if (!isDir) {
                    result = target;
                    return true;
                }
                break;
            }
        }
        if (haveFallback)
            result = fallback;
        return haveFallback;
    }

    const TByteSource& src_;
    uint32_t resRva_ = 0;
    std::vector<TPeSection> sections_;
};

// ---- ELF ----

class TElfImage {
public:
    explicit TElfImage(const TByteSource& src) : src_(src) {}

    bool FindVersion(TRange& found) {
        uint8_t h[64];
        if (!src_.ReadAt(0, h, 16) || std::memcmp(h,
                                                  "\x7F"
                                                  "ELF",
                                                  4) != 0)
            return false;
        wide_ = h[4] == 2;
        big_ = h[5] == 2;
        if ((h[4] != 1 && h[4] != 2) || (h[5] != 1 && h[5] != 2))
            return false;
        if (!src_.ReadAt(0, h, wide_ ? 64 : 52))
            return false;
        uint64_t shoff = wide_ ? U64(h + 0x28) : U32(h + 0x20);
        entSize_ = wide_ ? U16(h + 0x3A) : U16(h + 0x2E);
        uint64_t count = wide_ ? U16(h + 0x3C) : U16(h + 0x30);
        uint32_t strIndex = wide_ ? U16(h + 0x3E) : U16(h + 0x32);
        if (shoff == 0 || entSize_ < (wide_ ? 64u : 40u))
            return false;
        shoff_ = shoff;
        // Extended numbering: counts that do not fit 16 bits live in section 0.
        if (count == 0 || strIndex == 0xFFFF) {
            TSection zero;
            if (!ReadSection(0, zero))
                return false;
            if (count == 0)
                count = zero.size;
            if (strIndex == 0xFFFF)
                strIndex = zero.link;
        }
        count_ = std::min(count, kMaxElfSections);
        TSection strtab;
        if (strIndex >= count_ || !ReadSection(strIndex, strtab))
            return false;
        static constexpr char kName[] = ".rsrc_version";
        for (uint64_t i = 0; i < count_; ++i) {
            TSection s;
            if (!ReadSection(i, s))
                break;
            constexpr uint32_t kNoBits = 8;
            if (s.type == kNoBits || s.size == 0 || !src_.Fits(s.offset, s.size))
                continue;
            char name[sizeof kName] = {};
            if (s.name >= strtab.size || strtab.size - s.name < sizeof kName ||
                !src_.ReadAt(strtab.offset + s.name, name, sizeof kName))
                continue;
            if (std::memcmp(name, kName, sizeof kName) == 0) {
                found.offset = s.offset;
                found.size = std::min<uint64_t>(s.size, kMaxBlock);
                return true;
            }
        }
        return false;
    }

private:
    struct TSection {
        uint32_t name = 0;
        uint32_t type = 0;
        uint64_t offset = 0;
        uint64_t size = 0;
        uint32_t link = 0;
    };

    uint16_t U16(const uint8_t* p) const {
        return big_ ? static_cast<uint16_t>(p[0] << 8 | p[1]) : Le16(p);
    }
    uint32_t U32(const uint8_t* p) const {
        return big_ ? static_cast<uint32_t>(U16(p)) << 16 | U16(p + 2) : Le32(p);
    }
    uint64_t U64(const uint8_t* p) const {
        return big_ ? static_cast<uint64_t>(U32(p)) << 32 | U32(p + 4) : Le64(p);
    }

    bool ReadSection(uint64_t index, TSection& s) const {
        uint8_t e[64];
        const size_t size = wide_ ? 64 : 40;
        if (index > (UINT64_MAX - shoff_) / entSize_ ||
            !src_.ReadAt(shoff_ + index * entSize_, e, size))
            return false;
        s.name = U32(e);
        s.type = U32(e + 4);
        if (wide_) {
            s.offset = U64(e + 24);
            s.size = U64(e + 32);
            s.link = U32(e + 40);
        } else {
            s.offset = U32(e + 16);
            s.size = U32(e + 20);
            s.link = U32(e + 24);
        }
        return true;
    }

    const TByteSource& src_;
    bool wide_ = false;
    bool big_ = false;
    uint64_t shoff_ = 0;
    uint64_t entSize_ = 0;
    uint64_t count_ = 0;
};

std::vector<uint8_t> ExtractFrom(const TByteSource& src) {
    TRange range;
    bool found = TPeImage(src).FindVersion(range);
    if (!found)
        found = TElfImage(src).FindVersion(range);
    std::vector<uint8_t> block;
    if (!found || range.size == 0)
        return block;
    block.resize(static_cast<size_t>(range.size));
    if (!src.ReadAt(range.offset, block.data(), block.size()))
        block.clear();
    return block;
}

} // namespace

std::vector<uint8_t> VersionBlockOfImage(std::span<const uint8_t> image) {
    return ExtractFrom(TMemorySource(image));
}

std::vector<uint8_t> VersionBlockOfFile(const std::string& fileName) {
    const ReadOnlyFile file(fileName);
    if (!file.IsOpen())
        return {};
    return ExtractFrom(TFileSource(file));
}
