// LangBuild: turning a reference language file into a PO template, building a language file from
// a translated PO file, and a readable dump - the work of the language tool.
#pragma once

#include "localisation/LangFile.h"
#include "localisation/PoFile.h"

#include <string>

namespace langbuild {

// The PO context of a value: "<path>|Text", "<path>|Hint", or "<path>|List|<line>" (lines from
// 0), so that each line of a message table is translated on its own.
std::string TextContext(const std::string& path);
std::string HintContext(const std::string& path);
std::string ListContext(const std::string& path, std::size_t line);

// A template with one message per text, hint and list line of the reference, in file order.
// Texts are decoded with the reference's character set.
po::Catalog MakeTemplate(const langfile::LangFileData& reference);

struct BuildOptions {
    std::string flag;        // BMP file bytes, or empty
    uint32_t appVersion = 0; // 0: the reference's
};

// Builds a revision-4 language file: every entry of the reference, with the translated values
// flagged and encoded in the code page of the catalog's charset. Header fields come from the
// catalog's "X-Clipvane-..." header fields. False with a reason for a missing or bad header
// field or a text the code page cannot hold. warnings receives one line per translation whose
// context names nothing in the reference.
bool Build(const langfile::LangFileData& reference, const po::Catalog& catalog,
           const BuildOptions& options, langfile::LangFileData& out, std::string& error,
           std::vector<std::string>* warnings = nullptr);

// A readable listing of a language file: header, then one block per entry with tags in hex and
// texts decoded to UTF-8.
std::string Dump(const langfile::LangFileData& data);

} // namespace langbuild
