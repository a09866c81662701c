// LangBuild: PO templates from reference files, language files from PO files, dumps.
#include "localisation/LangBuild.h"

#include "localisation/CodePage.h"

#include <cstdio>
#include <map>

namespace langbuild {
namespace {

using langfile::Entry;
using langfile::LangFileData;
using langfile::Value;

std::string Hex(uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
    return buf;
}

bool ParseNumber(const std::string& text, long long& value) {
    if (text.empty())
        return false;
    std::size_t used = 0;
    try {
        value = std::stoll(text, &used, 0);
    } catch (...) {
        return false;
    }
    return used == text.size();
}

// Message strings of the catalog that count as translated, by context.
std::map<std::string, std::string> Translations(const po::Catalog& catalog) {
    std::map<std::string, std::string> map;
    for (const po::Message& m : catalog.messages)
        if (m.hasContext && !m.fuzzy && !m.str.empty())
            map.emplace(m.context, m.str);
    return map;
}

struct Encoder {
    int charset;
    std::string& error;
    bool operator()(const std::string& context, const std::string& utf8, std::string& out) const {
        bool lossless = true;
        out = EncodeCharsetText(utf8, charset, &lossless);
        if (!lossless)
            error = context + ": \"" + utf8 + "\" cannot be written in character set " +
                    std::to_string(charset) + " (code page " +
                    std::to_string(CodePageOfCharset(charset)) + ")";
        return lossless;
    }
};

bool HeaderInt(const po::Catalog& catalog, const char* name, long long fallback, long long low,
               long long high, long long& value, std::string& error) {
    const std::string text = catalog.HeaderField(name);
    if (text.empty()) {
        value = fallback;
        return true;
    }
    if (!ParseNumber(text, value) || value < low || value > high) {
        error = std::string("header field ") + name + " is not a number from " +
                std::to_string(low) + " to " + std::to_string(high) + ": " + text;
        return false;
    }
    return true;
}

} // namespace

std::string TextContext(const std::string& path) {
    return path + "|Text";
}
std::string HintContext(const std::string& path) {
    return path + "|Hint";
}
std::string ListContext(const std::string& path, std::size_t line) {
    return path + "|List|" + std::to_string(line);
}

po::Catalog MakeTemplate(const LangFileData& reference) {
    po::Catalog catalog;
    catalog.header = {
        {"Project-Id-Version", "Clipvane " + langfile::PackedVersionText(reference.appVersion)},
        {"Language", ""},
        {"MIME-Version", "1.0"},
        {"Content-Type", "text/plain; charset=UTF-8"},
        {"Content-Transfer-Encoding", "8bit"},
        {"X-Clipvane-LangId", ""},
        {"X-Clipvane-LangName", ""},
        {"X-Clipvane-LocalCaption", ""},
        {"X-Clipvane-Remark", ""},
        {"X-Clipvane-Charset", "0"},
        {"X-Clipvane-FontName", ""},
        {"X-Clipvane-MinFontSize", "8"}};
    auto add = [&](const std::string& context, const std::string& id, const std::string& note) {
        po::Message m;
        m.hasContext = true;
        m.context = context;
        m.id = id;
        m.comments.push_back(note);
        catalog.messages.push_back(std::move(m));
    };
    for (const Entry& e : reference.entries) {
        if (!e.text.data.empty())
            add(TextContext(e.path), DecodeCharsetText(e.text.data, reference.charset),
                e.path + " text");
        if (!e.hint.data.empty())
            add(HintContext(e.path), DecodeCharsetText(e.hint.data, reference.charset),
                e.path + " hint");
        const auto lines = langfile::SplitLines(e.list.data);
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (!lines[i].empty())
                add(ListContext(e.path, i), DecodeCharsetText(lines[i], reference.charset),
                    e.path + " line " + std::to_string(i + 1));
    }
    return catalog;
}

bool Build(const LangFileData& reference, const po::Catalog& catalog, const BuildOptions& options,
           LangFileData& out, std::string& error, std::vector<std::string>* warnings) {
    long long langId = 0, charset = 0, minFont = 8;
    const std::string langIdText = catalog.HeaderField("X-Clipvane-LangId");
    if (!ParseNumber(langIdText, langId) || langId <= 0 || langId > 0xFFFF) {
        error = "header field X-Clipvane-LangId must be a LANGID such as 0x040C: " + langIdText;
        return false;
    }
    if (!HeaderInt(catalog, "X-Clipvane-Charset", 0, 0, 255, charset, error) ||
        !HeaderInt(catalog, "X-Clipvane-MinFontSize", 8, 1, 72, minFont, error))
        return false;

    out = LangFileData{};
    out.langId = static_cast<uint16_t>(langId);
    out.charset = static_cast<uint8_t>(charset);
    out.minFontSize = static_cast<int32_t>(minFont);
    out.appVersion = options.appVersion ? options.appVersion : reference.appVersion;
    out.imeName = reference.imeName;
    out.flag = options.flag;
    const Encoder encode{out.charset, error};
    const std::string fontName = catalog.HeaderField("X-Clipvane-FontName");
    if (!encode("X-Clipvane-LangName", catalog.HeaderField("X-Clipvane-LangName"), out.langName) ||
        !encode("X-Clipvane-LocalCaption", catalog.HeaderField("X-Clipvane-LocalCaption"),
                out.localCaption) ||
        !encode("X-Clipvane-Remark", catalog.HeaderField("X-Clipvane-Remark"), out.remark) ||
        !encode("X-Clipvane-FontName", fontName.empty() ? reference.fontName : fontName,
                out.fontName))
        return false;
    if (out.langName.empty()) {
        error = "header field X-Clipvane-LangName is empty";
        return false;
    }

    auto translations = Translations(catalog);
    auto take = [&](const std::string& context, std::string& encoded, bool& found) {
        found = false;
        auto it = translations.find(context);
        if (it == translations.end())
            return true;
        found = true;
        const bool ok = encode(context, it->second, encoded);
        translations.erase(it);
        return ok;
    };
    for (const Entry& ref : reference.entries) {
        Entry e;
        e.path = ref.path;
        e.text = ref.text;
        e.hint = ref.hint;
        e.list = ref.list;
        // Untranslated values keep the reference's text and tag, so the file stays a complete
        // template; only flagged values are applied.
        bool found = false;
        std::string encoded;
        if (!take(TextContext(ref.path), encoded, found))
            return false;
        if (found)
            e.text = Value{langfile::kKindText | langfile::kTranslatedBit, encoded};
        if (!take(HintContext(ref.path), encoded, found))
            return false;
        if (found)
            e.hint = Value{(ref.hint.tag & langfile::kShowHintBit) | langfile::kKindHint |
                               langfile::kTranslatedBit,
                           encoded};
        auto lines = langfile::SplitLines(ref.list.data);
        bool anyLine = false;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (!take(ListContext(ref.path, i), encoded, found))
                return false;
            if (found) {
                lines[i] = encoded;
                anyLine = true;
            }
        }
        if (anyLine)
            e.list =
                Value{langfile::kKindList | langfile::kTranslatedBit, langfile::JoinLines(lines)};
        out.entries.push_back(std::move(e));
    }
    if (warnings)
        for (const auto& [context, text] : translations)
            warnings->push_back("no such text in the reference: " + context);
    return true;
}

std::string Dump(const LangFileData& d) {
    auto text = [&](const std::string& bytes) {
        return po::Quote(DecodeCharsetText(bytes, d.charset));
    };
    std::string out;
    out += "LangId        " + Hex(d.langId, 4) + "\n";
    out += "Revision      " + std::to_string(d.revision) + "\n";
    out += "LangName      " + text(d.langName) + "\n";
    out += "LocalCaption  " + text(d.localCaption) + "\n";
    out += "Remark        " + text(d.remark) + "\n";
    out += "Notes         " + text(d.notes) + "\n";
    out += "Flag          " +
           (d.flag.empty() ? std::string("none") : std::to_string(d.flag.size()) + " bytes") + "\n";
    if (d.revision >= 1) {
        out += "AppVersion    " + langfile::PackedVersionText(d.appVersion) + "\n";
        out += "ImeName       " + text(d.imeName) + "\n";
        out += "FontName      " + text(d.fontName) + "\n";
        out += "Charset       " + std::to_string(d.charset) + " (code page " +
               std::to_string(CodePageOfCharset(d.charset)) + ")\n";
    }
    if (d.revision >= 2)
        out += "ExtraFlag     " + std::to_string(d.extraFlag) + "\n";
    if (d.revision == 4)
        out += "MinFontSize   " + std::to_string(d.minFontSize) + "\n";
    out += "Entries       " + std::to_string(d.entries.size()) + "\n";
    for (const Entry& e : d.entries) {
        out += "\n" + e.path + "  [" + Hex(static_cast<uint32_t>(e.nameTag), 3) + "]";
        if (e.alignment != 0)
            out += "  alignment " + std::to_string(e.alignment);
        out += "\n";
        auto value = [&](const char* label, const Value& v) {
            if (v.Present())
                out += std::string("  ") + label + " " + Hex(static_cast<uint32_t>(v.tag), 2) +
                       (v.Translated() ? " translated " : "            ") + text(v.data) + "\n";
        };
        value("text", e.text);
        value("hint", e.hint);
        value("list", e.list);
    }
    return out;
}

} // namespace langbuild
