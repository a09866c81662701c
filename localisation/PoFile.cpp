// PoFile: a small reader and writer of gettext PO files.
#include "localisation/PoFile.h"

#include "support/text/CaseFold.h"

#include <cstddef>

namespace po {
namespace {

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

enum class Field { None, Context, Id, Str, Skip };

void ParseHeader(const std::string& text, Catalog& catalog) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos)
            catalog.header.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
        start = end + 1;
    }
}

std::string Lines(const char* keyword, const std::string& text) {
    const std::size_t firstBreak = text.find('\n');
    // A text that breaks inside: one quoted piece per line, as msgmerge writes them.
    if (firstBreak == std::string::npos || firstBreak + 1 == text.size())
        return std::string(keyword) + " " + Quote(text) + "\n";
    std::string out = std::string(keyword) + " \"\"\n";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        out += Quote(text.substr(start, end - start)) + "\n";
        start = end;
    }
    return out;
}

} // namespace

std::string Catalog::HeaderField(const std::string& name) const {
    for (const auto& [key, value] : header)
        if (casefold::Equal(key, name))
            return value;
    return {};
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

bool Unquote(const std::string& quoted, std::string& text) {
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"')
        return false;
    text.clear();
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '"')
            return false;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i + 1 > quoted.size() - 1)
            return false;
        switch (quoted[i]) {
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        case 't':
            text += '\t';
            break;
        case '"':
            text += '"';
            break;
        case '\\':
            text += '\\';
            break;
        case 'a':
            text += '\a';
            break;
        case 'b':
            text += '\b';
            break;
        case 'f':
            text += '\f';
            break;
        case 'v':
            text += '\v';
            break;
        default:
            return false;
        }
    }
    return true;
}

bool Parse(const std::string& text, Catalog& catalog, std::string& error) {
    catalog = Catalog{};
    Message current;
    Field field = Field::None;
    bool started = false;
    bool skipEntry = false;
    auto flush = [&] {
        if (started && !skipEntry) {
            if (!current.hasContext && current.id.empty() && catalog.header.empty() &&
                catalog.messages.empty())
                ParseHeader(current.str, catalog);
            else
                catalog.messages.push_back(current);
        }
        current = Message{};
        started = false;
        skipEntry = false;
        field = Field::None;
    };
    std::size_t lineNo = 0, start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        ++lineNo;
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (line.empty()) {
            if (end == text.size())
                break;
            continue;
        }
        if (line[0] == '#') {
            // Comments begin a new entry when the previous one is complete.
            if (field == Field::Str || field == Field::Skip)
                flush();
            if (StartsWith(line, "#~"))
                skipEntry = true, started = true;
            else if (StartsWith(line, "#,") && line.find("fuzzy") != std::string::npos)
                current.fuzzy = true;
            else if (StartsWith(line, "#."))
                current.comments.push_back(Trim(line.substr(2)));
            continue;
        }
        std::string* target = nullptr;
        std::string rest;
        if (line[0] == '"') {
            if (field == Field::None)
                return error = where + "a string outside an entry", false;
            if (field == Field::Skip)
                continue;
            target = field == Field::Context ? &current.context
                     : field == Field::Id    ? &current.id
                                             : &current.str;
            rest = line;
        } else {
            const std::size_t space = line.find_first_of(" \t");
            const std::string keyword = line.substr(0, space);
            rest = space == std::string::npos ? "" : Trim(line.substr(space));
            if (keyword == "msgctxt") {
                if (field == Field::Str || field == Field::Skip)
                    flush();
                field = Field::Context, target = &current.context, current.hasContext = true;
            } else if (keyword == "msgid") {
                if (field == Field::Str || field == Field::Skip)
                    flush();
                field = Field::Id, target = &current.id;
            } else if (keyword == "msgstr" || keyword == "msgstr[0]") {
                if (field != Field::Id && field != Field::Skip)
                    return error = where + "msgstr without msgid", false;
                field = Field::Str, target = &current.str;
            } else if (keyword == "msgid_plural" || StartsWith(keyword, "msgstr[")) {
                // Plural entries are not ours; keep the parser in step and drop the entry.
                skipEntry = true;
                field = Field::Skip;
                continue;
            } else {
                return error = where + "unknown keyword " + keyword, false;
            }
            started = true;
        }
        std::string piece;
        if (!Unquote(rest, piece))
            return error = where + "bad string " + rest, false;
        *target += piece;
    }
    if (field == Field::Id)
        return error = "the last entry has no msgstr", false;
    flush();
    return true;
}

std::string Format(const Catalog& catalog) {
    std::string out;
    if (!catalog.header.empty()) {
        std::string header;
        for (const auto& [key, value] : catalog.header)
            header += key + ": " + value + "\n";
        out += "msgid \"\"\n" + Lines("msgstr", header) + "\n";
    }
    for (const Message& m : catalog.messages) {
        for (const std::string& c : m.comments)
            out += "#. " + c + "\n";
        if (m.fuzzy)
            out += "#, fuzzy\n";
        if (m.hasContext)
            out += "msgctxt " + Quote(m.context) + "\n";
        out += Lines("msgid", m.id);
        out += Lines("msgstr", m.str);
        out += "\n";
    }
    return out;
}

} // namespace po
