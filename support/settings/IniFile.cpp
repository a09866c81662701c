// IniFile: the private profile reader and writer.
#include "support/settings/IniFile.h"
#include "support/text/Utf8.h"

#include "support/files/AtomicFile.h"
#include "support/text/CaseFold.h"

#include <unordered_set>

namespace ini {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

struct LineView {
    enum Kind { Blank, Comment, Section, Entry } kind = Blank;
    std::string_view name;
    std::string_view value;
    bool hasValue = false;
};

LineView Classify(std::string_view line) {
    LineView v;
    const std::string_view t = Trim(line);
    if (t.empty())
        return v;
    if (t.front() == ';') {
        v.kind = LineView::Comment;
        return v;
    }
    if (t.front() == '[') {
        const size_t close = t.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            v.kind = LineView::Section;
            v.name = Trim(t.substr(1, close - 1));
            return v;
        }
    }
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos) {
        v.name = t;
    } else {
        v.name = Trim(t.substr(0, eq));
        v.value = Trim(t.substr(eq + 1));
        v.hasValue = true;
    }
    // A line without a name counts for nothing.
    v.kind = v.name.empty() ? LineView::Blank : LineView::Entry;
    return v;
}

bool HasBreak(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string DecodeUtf16(std::string_view b, bool bigEndian) {
    std::string out;
    out.reserve(b.size());
    auto unit = [&](size_t i) -> char32_t {
        const auto lo = static_cast<uint8_t>(b[bigEndian ? i + 1 : i]);
        const auto hi = static_cast<uint8_t>(b[bigEndian ? i : i + 1]);
        return static_cast<char32_t>(hi) << 8 | lo;
    };
    for (size_t i = 0; i + 1 < b.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < b.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        utf8::Append(out, c);
    }
    return out;
}

// Bytes that are not UTF-8 become U+FFFD: UTF-16 cannot carry them.
std::string EncodeUtf16(std::string_view s, bool bigEndian) {
    std::string out;
    out.reserve(s.size() * 2 + 2);
    auto put = [&](char32_t u) {
        const auto hi = static_cast<char>(u >> 8);
        const auto lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    put(0xFEFF);
    size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<uint8_t>(s[i]);
        size_t len = 1;
        char32_t c = 0xFFFD;
        if (b0 < 0x80) {
            c = b0;
        } else {
            const size_t need = (b0 & 0xE0) == 0xC0   ? 2
                                : (b0 & 0xF0) == 0xE0 ? 3
                                : (b0 & 0xF8) == 0xF0 ? 4
                                                      : 0;
            if (need > 0 && i + need <= s.size()) {
                char32_t v = b0 & (0x7F >> need);
                bool ok = true;
                for (size_t k = 1; k < need; ++k) {
                    const auto bk = static_cast<uint8_t>(s[i + k]);
                    ok = ok && (bk & 0xC0) == 0x80;
                    v = (v << 6) | (bk & 0x3F);
                }
                const char32_t min = need == 2 ? 0x80 : need == 3 ? 0x800 : 0x10000;
                if (ok && v >= min && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                    c = v;
                    len = need;
                }
            }
        }
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
        i += len;
    }
    return out;
}

} // namespace

bool IniDocument::Parse(std::string_view bytes, IniDocument& doc) {
    doc = IniDocument();
    if (bytes.size() > limits::kMaxIniBytes)
        return false;
    std::string decoded;
    std::string_view text = bytes;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        doc.encoding_ = Encoding::Utf8Bom;
        text.remove_prefix(3);
    } else if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        const bool big = bytes[0] == '\xFE';
        doc.encoding_ = big ? Encoding::Utf16Be : Encoding::Utf16Le;
        decoded = DecodeUtf16(bytes.substr(2), big);
        text = decoded;
    }
    const size_t firstBreak = text.find('\n');
    if (firstBreak != std::string_view::npos)
        doc.eol_ = (firstBreak > 0 && text[firstBreak - 1] == '\r') ? "\r\n" : "\n";
    size_t pos = 0;
    while (pos < text.size()) {
        if (doc.lines_.size() >= limits::kMaxIniLines) {
            doc = IniDocument();
            return false;
        }
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        // Only a CR that belongs to the file's kind of line end goes; any other stays, so that
        // writing the file back changes nothing but the lines written.
        if (doc.eol_ == "\r\n" && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        doc.lines_.emplace_back(line);
        pos = end + 1;
    }
    return true;
}

std::string IniDocument::Serialise() const {
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += eol_;
    }
    switch (encoding_) {
    case Encoding::Utf8Bom:
        return "\xEF\xBB\xBF" + text;
    case Encoding::Utf16Le:
        return EncodeUtf16(text, false);
    case Encoding::Utf16Be:
        return EncodeUtf16(text, true);
    case Encoding::Bytes:
        break;
    }
    return text;
}

size_t IniDocument::FindSection(std::string_view section) const {
    section = Trim(section);
    for (size_t i = 0; i < lines_.size(); ++i) {
        const LineView v = Classify(lines_[i]);
        if (v.kind == LineView::Section && casefold::Equal(v.name, section))
            return i;
    }
    return std::string::npos;
}

size_t IniDocument::SectionEnd(size_t header) const {
    size_t i = header + 1;
    while (i < lines_.size() && Classify(lines_[i]).kind != LineView::Section)
        ++i;
    return i;
}

size_t IniDocument::FindEntry(size_t header, std::string_view name) const {
    name = Trim(name);
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        const LineView v = Classify(lines_[i]);
        if (v.kind == LineView::Entry && casefold::Equal(v.name, name))
            return i;
    }
    return std::string::npos;
}

std::string IniDocument::ReadString(std::string_view section, std::string_view name,
                                    std::string_view fallback) const {
    // The other platform cuts trailing blanks off the default too.
    while (!fallback.empty() && IsSpace(fallback.back()))
        fallback.remove_suffix(1);
    const size_t header = FindSection(section);
    if (header == std::string::npos)
        return std::string(fallback);
    const size_t entry = FindEntry(header, name);
    if (entry == std::string::npos)
        return std::string(fallback);
    const LineView v = Classify(lines_[entry]);
    if (!v.hasValue)
        return std::string(fallback);
    return ProfileValue(v.value);
}

uint32_t IniDocument::ReadInteger(std::string_view section, std::string_view name,
                                  int32_t fallback) const {
    const std::string text = ReadString(section, name, "");
    if (text.empty())
        return static_cast<uint32_t>(fallback);
    return ProfileIntFromText(text);
}

std::vector<std::string> IniDocument::SectionNames(std::string_view section) const {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    const size_t header = FindSection(section);
    if (header == std::string::npos)
        return names;
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        const LineView v = Classify(lines_[i]);
        if (v.kind == LineView::Entry && seen.insert(casefold::Fold(v.name)).second)
            names.emplace_back(v.name);
    }
    return names;
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const std::string& line : lines_) {
        const LineView v = Classify(line);
        if (v.kind == LineView::Section && seen.insert(casefold::Fold(v.name)).second)
            names.emplace_back(v.name);
    }
    return names;
}

bool IniDocument::WriteString(std::string_view section, std::string_view name,
                              std::string_view value, bool& changed) {
    changed = false;
    section = Trim(section);
    name = Trim(name);
    while (!value.empty() && IsSpace(value.front()))
        value.remove_prefix(1);
    if (section.empty() || name.empty() || HasBreak(section) || HasBreak(name) || HasBreak(value) ||
        name.find('=') != std::string_view::npos || name.front() == ';' || name.front() == '[')
        return false;
    if (lines_.size() + 3 > limits::kMaxIniLines)
        return false;

    const size_t header = FindSection(section);
    if (header == std::string::npos) {
        if (!lines_.empty() && !Trim(lines_.back()).empty())
            lines_.emplace_back();
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::string(name) + "=" + std::string(value));
        changed = true;
        return true;
    }
    const size_t entry = FindEntry(header, name);
    if (entry != std::string::npos) {
        const LineView v = Classify(lines_[entry]);
        if (v.hasValue && v.value == value)
            return true;
        // The name keeps its spelling in the file.
        lines_[entry] = std::string(v.name) + "=" + std::string(value);
        changed = true;
        return true;
    }
    size_t last = header;
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
        if (!Trim(lines_[i]).empty())
            last = i;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1),
                  std::string(name) + "=" + std::string(value));
    changed = true;
    return true;
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view name, bool& changed) {
    changed = false;
    const size_t header = FindSection(section);
    if (header == std::string::npos)
        return true;
    const size_t entry = FindEntry(header, name);
    if (entry == std::string::npos)
        return true;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(entry));
    changed = true;
    return true;
}

bool IniDocument::EraseSection(std::string_view section, bool& changed) {
    changed = false;
    const size_t header = FindSection(section);
    if (header == std::string::npos)
        return true;
    const size_t end = SectionEnd(header);
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(end));
    changed = true;
    return true;
}

uint32_t ProfileIntFromText(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ')
        ++i;
    bool minus = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        minus = text[i] == '-';
        ++i;
    }
    uint32_t base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        // Only the lower-case prefixes count.
        if (text[i + 1] == 'x')
            base = 16;
        else if (text[i + 1] == 'o')
            base = 8;
        else if (text[i + 1] == 'b')
            base = 2;
        if (base != 10)
            i += 2;
    }
    uint32_t total = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'z')
            digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'Z')
            digit = static_cast<uint32_t>(c - 'A' + 10);
        else
            break;
        if (digit >= base)
            break;
        total = total * base + digit;
    }
    return minus ? 0u - total : total;
}

std::string ProfileValue(std::string_view raw) {
    std::string_view t = Trim(raw);
    if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front())
        t = t.substr(1, t.size() - 2);
    return std::string(t);
}

IniFile::IniFile(std::string fileName) : fileName_(std::move(fileName)) {}

bool IniFile::Load(IniDocument& doc) const {
    doc = IniDocument();
    std::string bytes;
    int err = 0;
    switch (atomicfile::ReadCapped(fileName_, limits::kMaxIniBytes, bytes, err)) {
    case atomicfile::ReadResult::Missing:
        return true;
    case atomicfile::ReadResult::Ok:
        return IniDocument::Parse(bytes, doc);
    case atomicfile::ReadResult::TooLarge:
    case atomicfile::ReadResult::Failed:
        break;
    }
    return false;
}

template <typename Change> bool IniFile::Modify(Change change) {
    const std::string target = atomicfile::ResolveLink(fileName_);
    int err = 0;
    if (!atomicfile::MayReplace(target, err))
        return false;
    IniDocument doc;
    std::string bytes;
    switch (atomicfile::ReadCapped(target, limits::kMaxIniBytes, bytes, err)) {
    case atomicfile::ReadResult::Missing:
        break;
    case atomicfile::ReadResult::Ok:
        if (!IniDocument::Parse(bytes, doc))
            return false;
        break;
    case atomicfile::ReadResult::TooLarge:
    case atomicfile::ReadResult::Failed:
        return false;
    }
    bool changed = false;
    if (!change(doc, changed))
        return false;
    if (!changed)
        return true;
    bytes = doc.Serialise();
    if (bytes.size() > limits::kMaxIniBytes)
        return false;
    return atomicfile::Replace(target, atomicfile::PrivateTempPath(target), bytes, 0644, err);
}

std::string IniFile::ReadString(std::string_view section, std::string_view name,
                                std::string_view fallback) const {
    IniDocument doc;
    Load(doc);
    return doc.ReadString(section, name, fallback);
}

uint32_t IniFile::ReadInteger(std::string_view section, std::string_view name,
                              int32_t fallback) const {
    IniDocument doc;
    Load(doc);
    return doc.ReadInteger(section, name, fallback);
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
    IniDocument doc;
    Load(doc);
    return doc.SectionNames(section);
}

std::vector<std::string> IniFile::ReadSections() const {
    IniDocument doc;
    Load(doc);
    return doc.Sections();
}

bool IniFile::WriteString(std::string_view section, std::string_view name, std::string_view value) {
    return Modify([&](IniDocument& doc, bool& changed) {
        return doc.WriteString(section, name, value, changed);
    });
}

bool IniFile::DeleteKey(std::string_view section, std::string_view name) {
    return Modify(
        [&](IniDocument& doc, bool& changed) { return doc.DeleteKey(section, name, changed); });
}

bool IniFile::EraseSection(std::string_view section) {
    return Modify(
        [&](IniDocument& doc, bool& changed) { return doc.EraseSection(section, changed); });
}

} // namespace ini
