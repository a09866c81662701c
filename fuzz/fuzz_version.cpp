// fuzz_version: arbitrary server replies read as version numbers; the text form of what was read
// must read back to the same version, and the packed halves must agree with it.
#include "update/U_Version.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A reply body is capped at 1 MiB by the client; keep inputs small enough to run fast.
    if (size > 4096)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TParvoVersion v(text);
    const TParvoVersion again(v.AsText());
    if (again.Major != v.Major || again.Minor != v.Minor || again.Release != v.Release ||
        again.Build != v.Build)
        std::abort();
    const TParvoVersion fromPair = TParvoVersion::CreateFromPair(v.High32(), v.Low32());
    if (fromPair.High32() != v.High32() || fromPair.Low32() != v.Low32())
        std::abort();
    if (v.IsNewerThanPair(v.High32(), v.Low32()))
        std::abort();
    return 0;
}
