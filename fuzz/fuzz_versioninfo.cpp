// Fuzz target: locating and reading version resources in arbitrary PE and ELF images.
#include "support/versioninfo/C_VersionInfo.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> input(data, size);
    // The input as a whole image (PE or ELF), and as a bare version block.
    const std::vector<uint8_t> block = ExtractVersionResource(input);
    if (!block.empty()) {
        const TVersionFacts facts = ParseVersionInfo(block);
        (void)FileVersionIntOf(facts.FileVersion);
    }
    const TVersionFacts raw = ParseVersionInfo(input);
    (void)raw;
    TVersionValue value;
    (void)QueryVersionValue(input, "\\StringFileInfo\\\\040904B0\\CompanyName", value);
    return 0;
}
