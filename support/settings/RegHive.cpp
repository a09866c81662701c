// RegHive: the in-memory hive and the REGEDIT4 reader and writer.
#include "support/settings/RegHive.h"

#include "support/text/CaseFold.h"
#include "support/text/U_NumberText.h"

#include <algorithm>
#include <cstdio>

namespace reg {

RegValue RegValue::String(std::string text) {
    RegValue v;
    v.type = kRegString;
    v.text = std::move(text);
    return v;
}

RegValue RegValue::Dword(uint32_t number) {
    RegValue v;
    v.type = kRegDword;
    v.number = number;
    return v;
}

RegValue RegValue::Raw(uint32_t type, std::vector<uint8_t> data) {
    RegValue v;
    v.type = type;
    v.data = std::move(data);
    return v;
}

struct RegHive::Node {
    struct Entry {
        uint64_t seq = 0;
        std::string name;
        RegValue value;
    };
    std::string name;
    std::map<std::string, std::unique_ptr<Node>> subkeys; // by folded name
    std::map<std::string, Entry> values;                  // by folded name

    size_t CountKeys() const {
        size_t n = 1;
        for (const auto& [folded, sub] : subkeys)
            n += sub->CountKeys();
        return n;
    }
    size_t CountValues() const {
        size_t n = values.size();
        for (const auto& [folded, sub] : subkeys)
            n += sub->CountValues();
        return n;
    }
};

RegHive::RegHive(std::string rootName)
    : rootName_(std::move(rootName)), root_(std::make_unique<Node>()) {
    root_->name = rootName_;
    keyCount_ = 1;
}

RegHive::~RegHive() = default;
RegHive::RegHive(RegHive&&) noexcept = default;
RegHive& RegHive::operator=(RegHive&&) noexcept = default;

namespace {

bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

} // namespace

bool RegHive::SplitPath(std::string_view path, std::vector<std::string>& names) {
    names.clear();
    if (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    if (path.empty())
        return true;
    size_t start = 0;
    while (true) {
        const size_t end = path.find('\\', start);
        const std::string_view name = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (name.empty() || name.size() > limits::kMaxKeyNameBytes || HasControl(name) ||
            names.size() >= limits::kMaxDepth)
            return false;
        names.emplace_back(name);
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

bool RegHive::ValidValueName(std::string_view name) {
    return name.size() <= limits::kMaxValueNameBytes && !HasControl(name);
}

bool RegHive::ValidValue(const RegValue& value) {
    if (value.type == kRegString)
        return value.text.size() <= limits::kMaxValueBytes;
    if (value.type == kRegDword)
        return true;
    return value.data.size() <= limits::kMaxValueBytes;
}

RegHive::Node* RegHive::Find(std::string_view path) const {
    std::vector<std::string> names;
    if (!SplitPath(path, names))
        return nullptr;
    Node* node = root_.get();
    for (const std::string& name : names) {
        auto it = node->subkeys.find(casefold::Fold(name));
        if (it == node->subkeys.end())
            return nullptr;
        node = it->second.get();
    }
    return node;
}

bool RegHive::KeyExists(std::string_view path) const {
    return Find(path) != nullptr;
}

RegStatus RegHive::CreateKey(std::string_view path, bool& created) {
    created = false;
    std::vector<std::string> names;
    if (!SplitPath(path, names))
        return RegStatus::InvalidParameter;
    Node* node = root_.get();
    for (const std::string& name : names) {
        std::string folded = casefold::Fold(name);
        auto it = node->subkeys.find(folded);
        if (it == node->subkeys.end()) {
            if (keyCount_ >= limits::kMaxKeys)
                return RegStatus::QuotaExceeded;
            auto sub = std::make_unique<Node>();
            sub->name = name;
            it = node->subkeys.emplace(std::move(folded), std::move(sub)).first;
            ++keyCount_;
            created = true;
        }
        node = it->second.get();
    }
    return RegStatus::Success;
}

RegStatus RegHive::DeleteKey(std::string_view path, DeleteMode mode) {
    std::vector<std::string> names;
    if (!SplitPath(path, names))
        return RegStatus::InvalidParameter;
    if (names.empty())
        return RegStatus::InvalidParameter;
    Node* parent = root_.get();
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        auto it = parent->subkeys.find(casefold::Fold(names[i]));
        if (it == parent->subkeys.end())
            return RegStatus::NotFound;
        parent = it->second.get();
    }
    auto it = parent->subkeys.find(casefold::Fold(names.back()));
    if (it == parent->subkeys.end())
        return RegStatus::NotFound;
    Node& victim = *it->second;
    if (mode == DeleteMode::IfEmpty && (!victim.subkeys.empty() || !victim.values.empty()))
        return RegStatus::NotEmpty;
    keyCount_ -= victim.CountKeys();
    valueCount_ -= victim.CountValues();
    parent->subkeys.erase(it);
    return RegStatus::Success;
}

RegStatus RegHive::QueryValue(std::string_view path, std::string_view name, RegValue& value) const {
    const Node* node = Find(path);
    if (!node)
        return RegStatus::NotFound;
    auto it = node->values.find(casefold::Fold(name));
    if (it == node->values.end())
        return RegStatus::NotFound;
    value = it->second.value;
    return RegStatus::Success;
}

RegStatus RegHive::SetValue(std::string_view path, std::string_view name, const RegValue& value,
                            bool& changed) {
    changed = false;
    Node* node = Find(path);
    if (!node)
        return RegStatus::KeyDeleted;
    return SetValueAt(*node, name, value, changed);
}

RegStatus RegHive::SetValueAt(Node& node, std::string_view name, const RegValue& value,
                              bool& changed) {
    changed = false;
    if (!ValidValueName(name) || !ValidValue(value))
        return RegStatus::InvalidParameter;
    std::string folded = casefold::Fold(name);
    auto it = node.values.lower_bound(folded);
    if (it != node.values.end() && it->first == folded) {
        // The platform keeps the name as first written.
        if (!(it->second.value == value)) {
            it->second.value = value;
            changed = true;
        }
        return RegStatus::Success;
    }
    if (node.values.size() >= limits::kMaxValuesPerKey || valueCount_ >= limits::kMaxValues)
        return RegStatus::QuotaExceeded;
    node.values.emplace_hint(it, std::move(folded),
                             Node::Entry{nextSeq_++, std::string(name), value});
    ++valueCount_;
    changed = true;
    return RegStatus::Success;
}

RegStatus RegHive::DeleteValue(std::string_view path, std::string_view name) {
    Node* node = Find(path);
    if (!node)
        return RegStatus::NotFound;
    return DeleteValueAt(*node, name);
}

RegStatus RegHive::DeleteValueAt(Node& node, std::string_view name) {
    if (node.values.erase(casefold::Fold(name)) == 0)
        return RegStatus::NotFound;
    --valueCount_;
    return RegStatus::Success;
}

RegStatus RegHive::EnumKeys(std::string_view path, std::vector<std::string>& names) const {
    names.clear();
    const Node* node = Find(path);
    if (!node)
        return RegStatus::NotFound;
    for (const auto& [folded, sub] : node->subkeys)
        names.push_back(sub->name);
    return RegStatus::Success;
}

namespace {

template <typename Entry>
std::vector<const Entry*> InOrder(const std::map<std::string, Entry>& values) {
    std::vector<const Entry*> order;
    order.reserve(values.size());
    for (const auto& [folded, entry] : values)
        order.push_back(&entry);
    std::sort(order.begin(), order.end(),
              [](const Entry* a, const Entry* b) { return a->seq < b->seq; });
    return order;
}

} // namespace

RegStatus RegHive::EnumValues(std::string_view path, std::vector<RegNamedValue>& values) const {
    values.clear();
    const Node* node = Find(path);
    if (!node)
        return RegStatus::NotFound;
    for (const Node::Entry* entry : InOrder(node->values))
        values.emplace_back(entry->name, entry->value);
    return RegStatus::Success;
}

// ---- reading -------------------------------------------------------------------------------

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// 1 to 8 hex digits, nothing else.
bool ParseHex32(std::string_view s, uint32_t& out) {
    if (s.empty() || s.size() > 8)
        return false;
    uint32_t v = 0;
    for (char c : s) {
        const int d = HexDigit(c);
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    out = v;
    return true;
}

// prefix is lower-case ASCII.
bool StartsNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const char c = s[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != prefix[i])
            return false;
    }
    return true;
}

} // namespace

class HiveReader {
public:
    HiveReader(std::string_view text, RegHive& hive, HiveParseError& error)
        : text_(text), hive_(hive), error_(error) {}

    bool Run() {
        if (text_.size() > limits::kMaxHiveBytes)
            return Fail(0, "file larger than the limit");
        if (text_.substr(0, 3) == "\xEF\xBB\xBF")
            text_.remove_prefix(3);
        bool haveHeader = false;
        std::string_view line;
        while (NextLine(line)) {
            const std::string_view t = TrimBlanks(line);
            if (t.empty() || t.front() == ';')
                continue;
            if (!haveHeader) {
                if (t != "REGEDIT4" && t != "Windows Registry Editor Version 5.00")
                    return Fail(lineNo_, "not a REGEDIT4 file");
                haveHeader = true;
                continue;
            }
            if (t.front() == '[') {
                if (!KeyLine(t))
                    return false;
            } else if (!ValueLine(t)) {
                return false;
            }
        }
        return error_.reason.empty();
    }

private:
    bool Fail(size_t line, std::string reason) {
        error_.line = line;
        error_.reason = std::move(reason);
        return false;
    }

    // The next physical line without its end; false at the end of the text or on a bad line.
    bool NextLine(std::string_view& line) {
        if (pos_ >= text_.size() || !error_.reason.empty())
            return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++lineNo_;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > limits::kMaxLineBytes)
            return Fail(lineNo_, "line too long");
        if (line.find('\0') != std::string_view::npos)
            return Fail(lineNo_, "NUL byte in the text");
        return true;
    }

    bool KeyLine(std::string_view t) {
        const size_t close = t.rfind(']');
        if (close == std::string_view::npos || !TrimBlanks(t.substr(close + 1)).empty())
            return Fail(lineNo_, "key line without \"]\"");
        std::string_view path = t.substr(1, close - 1);
        bool remove = false;
        if (!path.empty() && path.front() == '-') {
            remove = true;
            path.remove_prefix(1);
        }
        const size_t sep = path.find('\\');
        const std::string_view root = path.substr(0, sep);
        if (!casefold::Equal(root, hive_.RootName()))
            return Fail(lineNo_, "key outside " + hive_.RootName());
        const std::string_view rest =
            sep == std::string_view::npos ? std::string_view() : path.substr(sep + 1);
        std::vector<std::string> names;
        if ((sep != std::string_view::npos && rest.empty()) || !RegHive::SplitPath(rest, names) ||
            (!rest.empty() && rest.front() == '\\'))
            return Fail(lineNo_, "bad key name");
        if (remove) {
            if (names.empty())
                return Fail(lineNo_, "cannot delete the root key");
            hive_.DeleteKey(rest, DeleteMode::Tree);
            key_ = nullptr;
            return true;
        }
        bool created = false;
        if (hive_.CreateKey(rest, created) != RegStatus::Success)
            return Fail(lineNo_, "too many keys");
        key_ = hive_.Find(rest);
        return true;
    }

    // A quoted text starting at s[0] == '"', with the REGEDIT4 escapes "\\" and "\"".
    bool Quoted(std::string_view s, size_t& used, std::string& out) {
        out.clear();
        for (size_t i = 1; i < s.size(); ++i) {
            const char c = s[i];
            if (c == '"') {
                used = i + 1;
                return true;
            }
            if (c == '\\') {
                if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"'))
                    return Fail(lineNo_, "bad escape in a quoted text");
                out += s[++i];
            } else {
                out += c;
            }
        }
        return Fail(lineNo_, "quoted text without its closing quote");
    }

    bool ValueLine(std::string_view t) {
        if (!key_)
            return Fail(lineNo_, "value outside a key");
        std::string name;
        size_t used = 0;
        if (t.front() == '@') {
            used = 1;
        } else if (t.front() == '"') {
            if (!Quoted(t, used, name))
                return false;
        } else {
            return Fail(lineNo_, "unexpected text");
        }
        std::string_view rest = TrimBlanks(t.substr(used));
        if (rest.empty() || rest.front() != '=')
            return Fail(lineNo_, "value without \"=\"");
        rest = TrimBlanks(rest.substr(1));
        if (!RegHive::ValidValueName(name))
            return Fail(lineNo_, "bad value name");

        RegValue value;
        if (!rest.empty() && rest.front() == '"') {
            std::string text;
            if (!Quoted(rest, used, text))
                return false;
            if (!TrimBlanks(rest.substr(used)).empty())
                return Fail(lineNo_, "text after a quoted value");
            value = RegValue::String(std::move(text));
        } else if (rest == "-") {
            hive_.DeleteValueAt(*key_, name);
            return true;
        } else if (StartsNoCase(rest, "dword:")) {
            uint32_t n = 0;
            if (!ParseHex32(rest.substr(6), n))
                return Fail(lineNo_, "bad dword");
            value = RegValue::Dword(n);
        } else if (StartsNoCase(rest, "hex")) {
            if (!HexValue(rest.substr(3), value))
                return false;
        } else {
            return Fail(lineNo_, "unknown value form");
        }
        if (!RegHive::ValidValue(value))
            return Fail(lineNo_, "value larger than the limit");
        bool changed = false;
        if (hive_.SetValueAt(*key_, name, value, changed) != RegStatus::Success)
            return Fail(lineNo_, "too many values");
        return true;
    }

    // After "hex": an optional "(type)", ":", then byte pairs separated by commas, continued on
    // the next line after a trailing "\".
    bool HexValue(std::string_view rest, RegValue& value) {
        uint32_t type = kRegBinary;
        if (!rest.empty() && rest.front() == '(') {
            const size_t close = rest.find(')');
            if (close == std::string_view::npos || !ParseHex32(rest.substr(1, close - 1), type))
                return Fail(lineNo_, "bad hex type");
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':')
            return Fail(lineNo_, "hex value without \":\"");
        rest.remove_prefix(1);

        std::vector<uint8_t> bytes;
        size_t joined = 0;
        while (true) {
            std::string_view part = TrimBlanks(rest);
            const bool more = !part.empty() && part.back() == '\\';
            if (more)
                part = TrimBlanks(part.substr(0, part.size() - 1));
            joined += part.size();
            if (joined > limits::kMaxLineBytes)
                return Fail(lineNo_, "hex value too long");
            if (!HexBytes(part, more, bytes))
                return false;
            if (!more)
                break;
            std::string_view next;
            if (!NextLine(next))
                return error_.reason.empty() ? Fail(lineNo_, "hex value cut off at the end")
                                             : false;
            rest = next;
        }

        if (type == kRegString) {
            // How a string with characters the quoted form cannot hold is written: the bytes and
            // a terminating NUL.
            if (!bytes.empty() && bytes.back() == 0)
                bytes.pop_back();
            value = RegValue::String(std::string(bytes.begin(), bytes.end()));
        } else if (type == kRegDword) {
            if (bytes.size() != 4)
                return Fail(lineNo_, "hex(4) value of other than four bytes");
            value = RegValue::Dword(
                static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
        } else {
            value = RegValue::Raw(type, std::move(bytes));
        }
        return true;
    }

    // One line's share of a byte list. A trailing comma is allowed before a continuation only:
    // at the very end it is the mark of a file cut short.
    bool HexBytes(std::string_view s, bool more, std::vector<uint8_t>& bytes) {
        if (s.empty())
            return true;
        size_t start = 0;
        while (start <= s.size()) {
            size_t comma = s.find(',', start);
            const bool last = comma == std::string_view::npos;
            if (last)
                comma = s.size();
            const std::string_view item = TrimBlanks(s.substr(start, comma - start));
            if (item.empty()) {
                if (!last || start == 0 || !more)
                    return Fail(lineNo_, "empty item in a hex list");
                break;
            }
            if (item.size() > 2 || HexDigit(item[0]) < 0 ||
                (item.size() == 2 && HexDigit(item[1]) < 0))
                return Fail(lineNo_, "bad byte in a hex list");
            if (bytes.size() >= limits::kMaxValueBytes)
                return Fail(lineNo_, "value larger than the limit");
            uint32_t b = 0;
            ParseHex32(item, b);
            bytes.push_back(static_cast<uint8_t>(b));
            if (last)
                break;
            start = comma + 1;
        }
        return true;
    }

    std::string_view text_;
    RegHive& hive_;
    HiveParseError& error_;
    size_t pos_ = 0;
    size_t lineNo_ = 0;
    RegHive::Node* key_ = nullptr; // the key that value lines go to
};

bool ParseHive(std::string_view text, RegHive& hive, HiveParseError& error) {
    error = HiveParseError{};
    return HiveReader(text, hive, error).Run();
}

// ---- writing -------------------------------------------------------------------------------

namespace {

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

bool NeedsHexForm(std::string_view text) {
    // Tabs survive the quoted form; line breaks and other control bytes would not.
    return std::any_of(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F;
    });
}

void AppendHexList(std::string& out, const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    size_t lineStart = out.rfind('\n') + 1;
    for (size_t i = 0; i < count; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0xF];
        if (i + 1 < count) {
            out += ',';
            // regedit wraps at about 80 columns, continuing with two blanks.
            if (out.size() - lineStart > 76) {
                out += "\\\n  ";
                lineStart = out.size() - 2;
            }
        }
    }
}

void AppendValue(std::string& out, const std::string& name, const RegValue& value) {
    if (name.empty())
        out += '@';
    else
        AppendQuoted(out, name);
    out += '=';
    char buf[16];
    if (value.type == kRegString) {
        if (!NeedsHexForm(value.text)) {
            AppendQuoted(out, value.text);
        } else {
            out += "hex(1):";
            std::vector<uint8_t> bytes(value.text.begin(), value.text.end());
            bytes.push_back(0);
            AppendHexList(out, bytes.data(), bytes.size());
        }
    } else if (value.type == kRegDword) {
        std::snprintf(buf, sizeof buf, "dword:%08x", value.number);
        out += buf;
    } else {
        if (value.type == kRegBinary) {
            out += "hex:";
        } else {
            std::snprintf(buf, sizeof buf, "hex(%x):", value.type);
            out += buf;
        }
        AppendHexList(out, value.data.data(), value.data.size());
    }
    out += '\n';
}

} // namespace

bool WriteHive(const RegHive& hive, std::string& out) {
    out = "REGEDIT4\n";
    struct Frame {
        const RegHive::Node* node;
        std::string path;
    };
    // Depth-first without recursion: the depth limit is generous.
    std::vector<Frame> stack;
    stack.push_back({hive.root_.get(), hive.rootName_});
    while (!stack.empty()) {
        Frame frame = std::move(stack.back());
        stack.pop_back();
        const RegHive::Node& node = *frame.node;
        // The root is written only when it holds values; other keys always, empty ones too.
        if (frame.node != hive.root_.get() || !node.values.empty()) {
            out += "\n[";
            out += frame.path;
            out += "]\n";
            for (const auto* entry : InOrder(node.values))
                AppendValue(out, entry->name, entry->value);
        }
        if (out.size() > limits::kMaxHiveBytes) {
            out.clear();
            return false;
        }
        for (auto it = node.subkeys.rbegin(); it != node.subkeys.rend(); ++it)
            stack.push_back({it->second.get(), frame.path + "\\" + it->second->name});
    }
    return true;
}

} // namespace reg
