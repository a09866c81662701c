// PoFile: the gettext PO files translators work in - reading and writing the entries we use.
#pragma once

#include <string>
#include <vector>

namespace po {

struct Message {
    std::vector<std::string> comments; // "#." lines, without the marker
    std::string context;               // msgctxt
    std::string id;                    // msgid
    std::string str;                   // msgstr
    bool fuzzy = false;
    bool hasContext = false;
};

struct Catalog {
    // The header entry's fields ("Language: fr", ...), in order; empty when the file has none.
    std::vector<std::pair<std::string, std::string>> header;
    std::vector<Message> messages;

    // The header field's value; empty when absent. Names match without regard to letter case.
    std::string HeaderField(const std::string& name) const;
};

// Parses PO text (UTF-8). Plural forms and obsolete entries are passed over. False with a reason
// naming the line when the text is not a PO file.
bool Parse(const std::string& text, Catalog& catalog, std::string& error);
// Writes a catalog as PO text: header entry first, then one entry per message.
std::string Format(const Catalog& catalog);

// C-style quoting of a PO string and its reverse.
std::string Quote(const std::string& text);
bool Unquote(const std::string& quoted, std::string& text);

} // namespace po
