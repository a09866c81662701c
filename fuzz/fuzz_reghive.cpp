// fuzz_reghive: arbitrary bytes read as a REGEDIT4 hive file; whatever reads must write back to a
// text that reads to the same hive and writes to the same text again.
#include "support/settings/RegHive.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// Every key and value, walked through the public interface.
void Walk(const reg::RegHive& hive, const std::string& path, size_t depth, std::string& out) {
    std::vector<reg::RegNamedValue> values;
    Check(hive.EnumValues(path, values) == reg::RegStatus::Success);
    for (const auto& [name, value] : values) {
        reg::RegValue again;
        Check(hive.QueryValue(path, name, again) == reg::RegStatus::Success);
        Check(again == value);
        out += name;
        out += '\n';
    }
    std::vector<std::string> keys;
    Check(hive.EnumKeys(path, keys) == reg::RegStatus::Success);
    for (const std::string& key : keys) {
        Check(depth < reg::limits::kMaxDepth);
        Walk(hive, path.empty() ? key : path + "\\" + key, depth + 1, out);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* root : {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"}) {
        reg::RegHive hive(root);
        reg::HiveParseError error;
        if (!reg::ParseHive(text, hive, error)) {
            Check(!error.reason.empty());
            continue;
        }
        std::string written;
        if (!reg::WriteHive(hive, written))
            continue;
        reg::RegHive back(root);
        Check(reg::ParseHive(written, back, error));
        std::string again;
        Check(reg::WriteHive(back, again));
        Check(again == written);
        Check(back.KeyCount() == hive.KeyCount() && back.ValueCount() == hive.ValueCount());
        std::string a;
        std::string b;
        Walk(hive, "", 0, a);
        Walk(back, "", 0, b);
        Check(a == b);
    }
    return 0;
}
