// fuzz_riffscan: the RIFF index scanner on arbitrary files.
#include "engine/avi/U_AviIndexScan.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// The scanner reads files, so each input goes to a file; memory-backed when /dev/shm exists.
struct InputFile {
    std::string path;
    InputFile() {
        const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path = dir + "/fuzz_riffscan-" + std::to_string(getpid()) + ".avi";
    }
    ~InputFile() { unlink(path.c_str()); }
};

volatile uint64_t sink;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const InputFile input;
    const std::string& path = input.path;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);

    TAviIndexScanner scanner;
    scanner.Scan(path);
    // Every entry the scan keeps was read from the file, 16 bytes each.
    if (scanner.Entries.size() > size / sizeof(TAviIndexEntry))
        std::abort();
    if (!scanner.IndexFound && !scanner.Entries.empty())
        std::abort();
    if (scanner.MoviPosition > size)
        std::abort();
    scanner.SelectChunks("01wb");
    uint64_t sum = 0;
    for (const TAviIndexEntry& entry : scanner.Chunks)
        sum += scanner.DataPosition(entry) + entry.Size;
    scanner.SelectChunks("00dc");
    if (scanner.Chunks.size() > scanner.Entries.size())
        std::abort();
    sink = sum;
    return 0;
}
