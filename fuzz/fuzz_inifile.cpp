// fuzz_inifile: arbitrary bytes read as a private profile file; every section and name read, then
// a write that must read back and leave a text that reads the same again.
#include "support/settings/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// Printable ASCII taken from the input, so that any encoding of the file can hold it.
std::string Printable(std::string_view from, size_t count) {
    std::string s;
    for (char c : from.substr(0, count)) {
        if (c >= 0x20 && c < 0x7F)
            s += c;
    }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ini::IniDocument doc;
    if (!ini::IniDocument::Parse(bytes, doc))
        return 0;
    for (const std::string& section : doc.Sections()) {
        for (const std::string& name : doc.SectionNames(section)) {
            doc.ReadString(section, name, "");
            doc.ReadInteger(section, name, 0);
        }
    }
    ini::ProfileIntFromText(bytes.substr(0, 64));

    const std::string section = Printable(bytes.substr(size / 3), 8);
    const std::string name = Printable(bytes.substr(size / 2), 8);
    const std::string value = Printable(bytes.substr(size - size / 4), 16);
    bool changed = false;
    if (!doc.WriteString(section, name, value, changed))
        return 0;
    const std::string expected = ini::ProfileValue(value);
    Check(doc.ReadString(section, name, "") == expected);

    const std::string text = doc.Serialise();
    ini::IniDocument back;
    Check(ini::IniDocument::Parse(text, back) || text.size() > ini::limits::kMaxIniBytes);
    if (text.size() <= ini::limits::kMaxIniBytes) {
        Check(back.ReadString(section, name, "") == expected);
        Check(back.Serialise() == text);
    }
    return 0;
}
