// LangFile: reading and writing whole language files as plain data.
#include "localisation/LangFile.h"

#include "localisation/Lang_Storageobj.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace langfile {
namespace {

std::string ReadText(TStorefile& store) {
    std::string s;
    store.ReadString(s);
    return s;
}

int32_t ReadInt(TStorefile& store) {
    int32_t v = 0;
    store.ReadInteger(v);
    return v;
}

Value ReadValue(TStorefile& store) {
    Value v;
    v.tag = store.ReadString(v.data);
    return v;
}

// Revision 0 entries carry a kind instead of flag words; which values follow depends on it.
void ReadRevision0Entry(TStorefile& store, Entry& e) {
    const int32_t kind = e.nameTag;
    auto plain = [&](int32_t kindBits) {
        Value v = ReadValue(store);
        // An old file applies every non-empty value: mark it translated so both forms agree.
        if (!v.data.empty())
            v.tag = kindBits | kTranslatedBit;
        else
            v.tag = 0;
        return v;
    };
    if ((kind >= 6 && kind <= 11) || kind == 13) {
        e.text = plain(kKindText);
        e.hint = plain(kKindHint);
        if (kind == 11)
            e.list = plain(kKindList);
    } else if (kind == 12) {
        e.list = plain(kKindList);
    }
}

bool ReadHeader(TStorefile& store, LangFileData& d, std::string& error) {
    int32_t word = 0;
    int32_t n = 4;
    uint8_t bytes[4] = {0, 0, 0, 0};
    store.ReadData(bytes, n);
    std::memcpy(&word, bytes, sizeof word);
    d.langId = static_cast<uint16_t>(word & 0xFFFF);
    d.revision = n == 4 ? static_cast<uint16_t>((static_cast<uint32_t>(word) >> 16) & 0xFFFF) : 0;
    d.langName = ReadText(store);
    d.localCaption = ReadText(store);
    d.remark = ReadText(store);
    d.notes = ReadText(store);
    d.flag = ReadText(store);
    if (d.revision > 4) {
        error = "Format not supported in this revision";
        return false;
    }
    if (d.revision == 0) {
        d.charset = 1;
        return true;
    }
    d.appVersion = static_cast<uint32_t>(ReadInt(store));
    if (d.revision >= 2) {
        d.extraFlag = static_cast<uint8_t>(ReadInt(store) & 0xFF);
        d.extraText1 = ReadText(store);
        d.extraText2 = ReadText(store);
    }
    d.imeName = ReadText(store);
    d.fontName = ReadText(store);
    d.charset = static_cast<uint8_t>(ReadInt(store) & 0xFF);
    d.minFontSize = d.revision == 4 ? ReadInt(store) : 9;
    return true;
}

} // namespace

bool Read(const std::string& path, LangFileData& d, std::string& error) {
    d = LangFileData{};
    if (FILE* f = std::fopen(path.c_str(), "rb"))
        std::fclose(f);
    else {
        error = "cannot open " + path;
        return false;
    }
    TStorefile store;
    store.SetSignature(kSignature);
    store.SetReadOnly(true);
    store.SetFilename(path);
    store.Open();
    if (!store.Opened()) {
        error = path + " is not a language file";
        return false;
    }
    if (store.Count() < 6) {
        error = path + " holds fewer than 6 records";
        return false;
    }
    if (!ReadHeader(store, d, error))
        return false;
    while (!store.Eof()) {
        Entry e;
        e.nameTag = store.ReadString(e.path);
        if (d.revision == 0) {
            ReadRevision0Entry(store, e);
        } else {
            if (d.revision >= 3)
                e.alignment = ReadInt(store);
            e.text = ReadValue(store);
            e.hint = ReadValue(store);
            e.list = ReadValue(store);
        }
        d.entries.push_back(std::move(e));
    }
    return true;
}

bool Write(const std::string& path, const LangFileData& d, std::string& error) {
    TStorefile store;
    store.SetSignature(kSignature);
    store.SetFilename(path);
    store.Erase();
    store.Open();
    if (!store.Opened()) {
        error =
            "cannot write " + path + (store.LastError().empty() ? "" : ": " + store.LastError());
        return false;
    }
    const auto word = static_cast<int32_t>(static_cast<uint32_t>(d.langId) | (4u << 16));
    store.WriteInteger(0, word);
    store.WriteString(1, d.langName);
    store.WriteString(2, d.localCaption);
    store.WriteString(3, d.remark);
    store.WriteString(4, d.notes);
    store.WriteString(5, d.flag);
    store.WriteInteger(0x200, static_cast<int32_t>(d.appVersion));
    store.WriteInteger(0x204, d.extraFlag);
    store.WriteString(0x205, d.extraText1);
    store.WriteString(0x206, d.extraText2);
    store.WriteString(0x201, d.imeName);
    store.WriteString(0x202, d.fontName);
    store.WriteInteger(0x203, d.charset);
    store.WriteInteger(0x204, d.minFontSize);
    for (const Entry& e : d.entries) {
        const int32_t present =
            (e.text.Present() ? 1 : 0) + (e.hint.Present() ? 1 : 0) + (e.list.Present() ? 1 : 0);
        store.WriteString(0x210 + present, e.path);
        store.WriteInteger(0x300, e.alignment);
        store.WriteString(e.text.tag, e.text.data);
        store.WriteString(e.hint.tag, e.hint.data);
        store.WriteString(e.list.tag, e.list.data);
    }
    store.Close();
    return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string PackedVersionText(uint32_t packed) {
    return std::to_string(packed >> 24) + "." + std::to_string((packed >> 16) & 0xFF) + "." +
           std::to_string((packed >> 10) & 0x3F) + "." + std::to_string(packed & 0x3FF);
}

bool ParsePackedVersion(const std::string& text, uint32_t& packed) {
    static constexpr uint32_t kLimits[4] = {0xFF, 0xFF, 0x3F, 0x3FF};
    static constexpr int kShifts[4] = {24, 16, 10, 0};
    uint32_t result = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    for (int part = 0; part < 4; ++part) {
        uint32_t v = 0;
        auto [next, ec] = std::from_chars(p, end, v);
        if (ec != std::errc() || v > kLimits[part])
            return false;
        result |= v << kShifts[part];
        p = next;
        if (part < 3) {
            if (p == end || *p != '.')
                return false;
            ++p;
        }
    }
    if (p != end)
        return false;
    packed = result;
    return true;
}

} // namespace langfile
