// C_VersionInfo: locating VS_VERSIONINFO in PE and ELF images, queries on it, TVersionInfo.
#include "C_VersionInfo.h"

#include "U_LangNames.h"
#include "U_NumberText.h"
#include "U_TobrelUtils.h"
#include "U_UnicodeUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A version block's lengths are 16-bit, so no real block is larger.
constexpr size_t kMaxBlock = 0x10000;
// Caps on counts read from the file. Real executables have a few dozen sections and resource
// types; these only bound the work on garbage.
constexpr uint32_t kMaxPeSections = 0x10000;
constexpr uint32_t kMaxDirEntries = 0x1000;
constexpr uint64_t kMaxElfSections = 0x10000;
constexpr uint16_t kRtVersion = 16;
constexpr uint16_t kVsVersionInfo = 1;
constexpr size_t kFixedInfoSize = 52;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint64_t Le64(const uint8_t* p) {
    return static_cast<uint64_t>(Le32(p)) | static_cast<uint64_t>(Le32(p + 4)) << 32;
}

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
    TFileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* out, size_t count) const override {
        if (!Fits(offset, count))
            return false;
        auto* to = static_cast<uint8_t*>(out);
        while (count > 0) {
            const ssize_t got = ::pread(fd_, to, count, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false; // the file shrank under us
            to += got;
            offset += static_cast<uint64_t>(got);
            count -= static_cast<size_t>(got);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_;
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

// ---- version blocks ----

size_t Align4(size_t at) {
    return (at + 3) & ~size_t{3};
}

// One node of the version tree: wLength, wValueLength, wType, a NUL-terminated UTF-16 key, then
// the value and the children, each on a 4-byte boundary of the whole block.
struct TNode {
    size_t end = 0; // past the node, never beyond its parent
    size_t keyAt = 0;
    size_t keyUnits = 0;
    size_t valueAt = 0;
    size_t valueEnd = 0;
    size_t childrenAt = 0;
    uint16_t valueLength = 0;
    bool text = false;
};

bool ReadNode(std::span<const uint8_t> b, size_t at, size_t limit, TNode& node) {
    if (at > limit || limit - at < 6)
        return false;
    const uint16_t length = Le16(&b[at]);
    if (length < 6)
        return false;
    node.end = std::min(limit, at + length);
    node.valueLength = Le16(&b[at + 2]);
    node.text = Le16(&b[at + 4]) != 0;
    node.keyAt = at + 6;
    size_t k = node.keyAt;
    while (k + 2 <= node.end && Le16(&b[k]) != 0)
        k += 2;
    if (k + 2 > node.end)
        return false; // key without its terminator
    node.keyUnits = (k - node.keyAt) / 2;
    node.valueAt = std::min(Align4(k + 2), node.end);
    const size_t valueBytes = size_t{node.valueLength} * (node.text ? 2 : 1);
    node.valueEnd = std::min(node.valueAt + valueBytes, node.end);
    node.childrenAt = Align4(node.valueAt + valueBytes);
    return true;
}

char16_t FoldAscii(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        uint32_t cp = 0xFFFD;
        size_t n = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
            cp = (c & 0x1Fu) << 6 | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
            n = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < s.size()) {
            cp = (c & 0x0Fu) << 12 | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6 |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
            n = 3;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < s.size()) {
            cp = (c & 0x07u) << 18 | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12 |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6 |
                 (static_cast<unsigned char>(s[i + 3]) & 0x3Fu);
            n = 4;
        }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp > 0xFFFF ? 0xFFFD : cp);
        }
        i += n;
    }
    return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE text up to its first NUL; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::span<const uint8_t> bytes) {
    std::string out;
    const size_t units = bytes.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = Le16(&bytes[2 * i]);
        if (u == 0)
            break;
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units) {
            const uint32_t low = Le16(&bytes[2 * i + 2]);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u < 0xE000)
            u = 0xFFFD;
        AppendUtf8(out, u);
    }
    return out;
}

bool KeyEquals(std::span<const uint8_t> b, const TNode& node, const std::u16string& key) {
    if (node.keyUnits != key.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i)
        if (FoldAscii(static_cast<char16_t>(Le16(&b[node.keyAt + 2 * i]))) != FoldAscii(key[i]))
            return false;
    return true;
}

std::string RemoveParentheses(std::string text) {
    std::erase_if(text, [](char c) { return c == '(' || c == ')'; });
    return text;
}

std::string OwnModuleFileName() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

// Installed as soon as this unit is linked in.
const bool readerInstalled = (InstallFileVersionReader(), true);

} // namespace

std::vector<uint8_t> ExtractVersionResource(std::span<const uint8_t> Image) {
    return ExtractFrom(TMemorySource(Image));
}

std::vector<uint8_t> ReadVersionResource(const std::string& FileName) {
    // Non-blocking open: a FIFO must not make us wait for a writer.
    const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    std::vector<uint8_t> block;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        block = ExtractFrom(TFileSource(fd, static_cast<uint64_t>(st.st_size)));
    ::close(fd);
    return block;
}

bool QueryVersionValue(std::span<const uint8_t> Block, std::string_view SubBlock,
                       TVersionValue& Value) {
    TNode node;
    if (!ReadNode(Block, 0, Block.size(), node))
        return false;
    size_t at = 0;
    while (at < SubBlock.size()) {
        size_t slash = SubBlock.find('\\', at);
        if (slash == std::string_view::npos)
            slash = SubBlock.size();
        if (slash == at) {
            ++at;
            continue;
        }
        const std::u16string key = Utf8ToUtf16(SubBlock.substr(at, slash - at));
        bool found = false;
        // Every child is at least 8 bytes long with its padding, so this walk ends.
        for (size_t child = node.childrenAt; child < node.end;) {
            TNode c;
            if (!ReadNode(Block, child, node.end, c))
                break;
            if (KeyEquals(Block, c, key)) {
                node = c;
                found = true;
                break;
            }
            child = Align4(child + Le16(&Block[child]));
        }
        if (!found)
            return false;
        at = slash;
    }
    Value.Data = Block.subspan(node.valueAt, node.valueEnd - node.valueAt);
    Value.Length = node.valueLength;
    Value.IsText = node.text;
    return true;
}

TVersionFacts ParseVersionInfo(std::span<const uint8_t> Block) {
    TVersionFacts f;
    TVersionValue v;
    if (!QueryVersionValue(Block, "\\VarFileInfo\\Translation", v) || v.Data.size() < 4)
        return f;
    f.TranslationValue = static_cast<int32_t>(Le32(v.Data.data()));
    f.LanguageCount = static_cast<int32_t>(v.Length / 4);
    const auto translation = static_cast<uint32_t>(f.TranslationValue);
    f.LanguageName = LanguageNameOf(static_cast<uint16_t>(translation & 0xFFFF));
    char prefix[40];
    std::snprintf(prefix, sizeof prefix, "StringFileInfo\\%.4x%.4x\\", translation & 0xFFFF,
                  translation >> 16);
    f.StringPrefix = prefix;

    // The platform hands out the fixed part without checking its size; here a short one counts
    // as missing rather than being read past its end.
    if (!QueryVersionValue(Block, "\\", v) || v.Data.size() < kFixedInfoSize)
        return f;
    const uint8_t* fixed = v.Data.data();
    auto dword = [fixed](int index) { return static_cast<int32_t>(Le32(fixed + 4 * index)); };
    f.FileMajorVersion = dword(2);
    f.FileMinorVersion = dword(3);
    f.ProductMajorVersion = dword(4);
    f.ProductMinorVersion = dword(5);
    f.FileFlagsMask = dword(6);
    f.FileFlags = dword(7);
    f.FileOS = dword(8);
    f.FileType = dword(9);
    f.FileSubtype = dword(10);
    const uint32_t dateMS = Le32(fixed + 44);
    const uint32_t dateLS = Le32(fixed + 48);
    f.FileDate = static_cast<int32_t>((dateMS & 0xFFFF) | (dateLS & 0xFFFF) << 16);

    auto text = [&](const char* name, std::string& out) {
        TVersionValue s;
        if (QueryVersionValue(Block, f.StringPrefix + name, s) && s.Length != 0)
            out = Utf16ToUtf8(s.Data);
        else
            out.clear();
    };
    text("Comments", f.Comments);
    text("CompanyName", f.CompanyName);
    text("FileDescription", f.FileDescription);
    text("FileVersion", f.FileVersion);
    f.FileVersion = RemoveParentheses(f.FileVersion);
    f.FileVersionFloat = VersionFloat(f.FileVersion);
    text("InternalName", f.InternalName);
    text("LegalCopyright", f.LegalCopyright);
    text("LegalTrademarks", f.LegalTrademark);
    text("OriginalFilename", f.OriginalFilename);
    text("ProductName", f.ProductName);
    text("ProductVersion", f.ProductVersion);
    f.ProductVersion = RemoveParentheses(f.ProductVersion);
    f.ProductVersionFloat = VersionFloat(f.ProductVersion);
    f.Loaded = true;
    return f;
}

int32_t FileVersionIntOf(const std::string& FileVersion) {
    uint32_t numbers[4] = {0, 0, 0, 0};
    int completed = 0;
    std::string digits;
    for (size_t i = 0; i < FileVersion.size() && completed < 5; ++i) {
        const char c = FileVersion[i];
        if (c >= '0' && c <= '9')
            digits += c;
        if (c == '.' || c == ',' || i + 1 == FileVersion.size()) {
            // A run of digits too long for an integer counts as 0.
            const int32_t n = StrToIntDef(digits.empty() ? "0" : digits, 0);
            if (completed < 4)
                numbers[completed] = static_cast<uint32_t>(n);
            ++completed;
            digits.clear();
        }
    }
    return static_cast<int32_t>((numbers[0] & 255) << 24 | (numbers[1] & 255) << 16 |
                                (numbers[2] & 63) << 10 | (numbers[3] & 1023));
}

double VersionFloat(const std::string& Text, char DecimalSeparator) {
    if (Text.empty())
        return 0;
    double value = 0;
    const bool whole = TryStrToFloat(Text, value, '.');
    std::string s = Text;
    if (const size_t comma = s.find(','); comma != std::string::npos)
        s[comma] = '.';
    if (whole)
        return value;
    // P counts from 1 as the runtime's strings do; 0 means no point.
    const size_t point = s.find('.');
    const size_t p = point == std::string::npos ? 0 : point + 1;
    if (p > 0)
        s[p - 1] = DecimalSeparator;
    if (p == s.size())
        s += '0';
    auto dropped = [](char c) {
        return c == ' ' || c == ',' || c == '.' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    // P stays where it was while characters before it go, so the protected place may end up
    // holding another character than the separator: that is how the rule reads texts.
    for (size_t i = 0; i < s.size();) {
        if (i + 1 != p && dropped(s[i]))
            s.erase(i, 1);
        else
            ++i;
    }
    return TryStrToFloat(s, value, DecimalSeparator) ? value : 0;
}

double VersionFloat(const std::string& Text) {
    return VersionFloat(Text, UserDecimalSeparator());
}

bool ReadFixedFileVersion(const std::string& FileName, uint32_t& VersionMS, uint32_t& VersionLS) {
    const std::vector<uint8_t> block = ReadVersionResource(FileName);
    TVersionValue v;
    if (block.empty() || !QueryVersionValue(block, "\\", v) || v.Data.size() < kFixedInfoSize)
        return false;
    VersionMS = Le32(v.Data.data() + 8);
    VersionLS = Le32(v.Data.data() + 12);
    return true;
}

void InstallFileVersionReader() {
    SetFileVersionReader(&ReadFixedFileVersion);
}

// ---- TCustomversion_Info ----

TCustomversion_Info::TCustomversion_Info() : fileName_(OwnModuleFileName()) {
    (void)readerInstalled;
}

void TCustomversion_Info::SetFileName(const std::string& Value) {
    if (!WideFileExists(Value))
        return;
    fileName_ = Value;
    ClearInfo();
}

void TCustomversion_Info::UseOwnModule() {
    SetFileName(OwnModuleFileName());
}

void TCustomversion_Info::ClearInfo() {
    facts_ = TVersionFacts();
    buffer_.clear();
    buffer_.shrink_to_fit();
}

void TCustomversion_Info::LoadInfo() {
    facts_.Loaded = false;
    if (!WideFileExists(fileName_))
        return;
    buffer_ = ReadVersionResource(fileName_);
    if (buffer_.empty())
        return;
    facts_ = ParseVersionInfo(buffer_);
}

const TVersionFacts& TCustomversion_Info::Facts() {
    if (!facts_.Loaded)
        LoadInfo();
    return facts_;
}

std::string TCustomversion_Info::Comments() {
    return Facts().Comments;
}
std::string TCustomversion_Info::CompanyName() {
    return Facts().CompanyName;
}
std::string TCustomversion_Info::FileDescription() {
    return Facts().FileDescription;
}
double TCustomversion_Info::FileDate() {
    return Facts().FileDate;
}
int32_t TCustomversion_Info::FileFlags() {
    return Facts().FileFlags;
}
int32_t TCustomversion_Info::FileFlagsMask() {
    return Facts().FileFlagsMask;
}
int32_t TCustomversion_Info::FileMajorVersion() {
    return Facts().FileMajorVersion;
}
int32_t TCustomversion_Info::FileMinorVersion() {
    return Facts().FileMinorVersion;
}
int32_t TCustomversion_Info::FileOS() {
    return Facts().FileOS;
}
int32_t TCustomversion_Info::FileType() {
    return Facts().FileType;
}
int32_t TCustomversion_Info::FileSubtype() {
    return Facts().FileSubtype;
}
std::string TCustomversion_Info::FileVersion() {
    return Facts().FileVersion;
}
double TCustomversion_Info::FileVersionFloat() {
    return Facts().FileVersionFloat;
}
int32_t TCustomversion_Info::FileVersionInt() {
    return FileVersionIntOf(Facts().FileVersion);
}
std::string TCustomversion_Info::InternalName() {
    return Facts().InternalName;
}
int32_t TCustomversion_Info::LanguageCount() {
    return Facts().LanguageCount;
}
std::string TCustomversion_Info::LanguageName() {
    return Facts().LanguageName;
}
std::string TCustomversion_Info::LegalCopyright() {
    return Facts().LegalCopyright;
}
std::string TCustomversion_Info::LegalTrademark() {
    return Facts().LegalTrademark;
}
std::string TCustomversion_Info::OriginalFilename() {
    return Facts().OriginalFilename;
}
int32_t TCustomversion_Info::ProductMajorVersion() {
    return Facts().ProductMajorVersion;
}
int32_t TCustomversion_Info::ProductMinorVersion() {
    return Facts().ProductMinorVersion;
}
std::string TCustomversion_Info::ProductName() {
    return Facts().ProductName;
}
std::string TCustomversion_Info::ProductVersion() {
    return Facts().ProductVersion;
}
double TCustomversion_Info::ProductVersionFloat() {
    return Facts().ProductVersionFloat;
}
int32_t TCustomversion_Info::TranslationValue() {
    return Facts().TranslationValue;
}
bool TCustomversion_Info::InfoLoaded() {
    return Facts().Loaded;
}

// ---- TVersionInfo ----

TVersionInfo::TVersionInfo() {
    fileName_.clear();
    ClearInfo();
}
