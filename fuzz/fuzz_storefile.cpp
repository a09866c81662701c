// fuzz_storefile: opens mutated bytes as a record store, walks it both ways and reads every kind.
#include "localisation/Lang_Storageobj.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string& StorePath() {
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string p = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_storefile." +
                        std::to_string(getpid()) + ".SPK";
        std::atexit([] { std::remove(StorePath().c_str()); });
        return p;
    }();
    return path;
}

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

// Reads every record forward, a different kind each time; returns how many there were.
int32_t ReadAll(TStorefile& store, uint8_t seed) {
    int32_t records = 0;
    uint8_t buffer[64];
    while (!store.Eof()) {
        Check(records < TStorefile::kMaxFileSize / 12);
        const int32_t size = store.DataSize();
        Check(size >= 0);
        switch ((seed + records) % 5) {
        case 0: {
            std::string s;
            store.ReadString(s, false);
            Check(static_cast<int32_t>(s.size()) == size);
            store.ReadString(s);
            break;
        }
        case 1: {
            int32_t v = 0;
            store.ReadInteger(v);
            break;
        }
        case 2: {
            int32_t n = static_cast<int32_t>(sizeof buffer);
            store.ReadData(buffer, n);
            Check(n >= 0 && n <= static_cast<int32_t>(sizeof buffer) && n <= size);
            break;
        }
        case 3: {
            std::vector<uint8_t> data;
            store.ReadData(data);
            Check(static_cast<int32_t>(data.size()) == size);
            break;
        }
        default:
            Check(store.Next());
            break;
        }
        ++records;
    }
    Check(store.DataSize() == 0 && !store.Next());
    return records;
}

// Walks from the last record back to the first; returns how many records it stood on.
int32_t WalkBack(TStorefile& store) {
    store.Last();
    int32_t visited = 0;
    while (!store.Eof()) {
        ++visited;
        Check(visited <= TStorefile::kMaxFileSize / 12);
        if (!store.Prior())
            break;
    }
    return visited;
}

int32_t ReadOnlyPass(const std::string& signature, const uint8_t* data, size_t size) {
    TStorefile store;
    store.SetSignature(signature);
    store.SetFilename(StorePath());
    store.SetReadOnly(true);
    store.Open();
    if (!store.Opened()) {
        Check(store.Eof() && store.Count() == 0);
        return -1;
    }
    const uint8_t seed = size > 0 ? data[size - 1] : 0;
    const int32_t forward = ReadAll(store, seed);
    const int32_t back = WalkBack(store);
    // Last numbers the last record Count - 1, and Prior stops at number 0, so a header Count
    // below the real number of records shortens the walk back, never lengthens it.
    Check(back <= forward);
    if (store.Count() >= forward && forward > 0)
        Check(back == forward);
    for (size_t i = 0; i + 4 <= size && i < 64; i += 4) {
        const int32_t n = static_cast<int32_t>(data[i] | data[i + 1] << 8 | data[i + 2] << 16 |
                                               static_cast<uint32_t>(data[i + 3]) << 24);
        Check(store.GoTo(n % 1024));
        Check(store.GoTo(n));
        std::string s;
        store.ReadString(s, false);
    }
    return forward;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = StorePath();
    // A new file each time: rewriting a truncated one makes ext4 flush it on every close.
    std::remove(path.c_str());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    const std::string signature = "XOL LANGUAGE FILE";
    ReadOnlyPass("", data, size);
    const int32_t records = ReadOnlyPass(signature, data, size);
    if (records < 0)
        return 0;

    // Appending to whatever was accepted must give a chain that reads back in full.
    {
        TStorefile store;
        store.SetSignature(signature);
        store.SetFilename(path);
        store.Open();
        Check(store.Opened() && !store.ReadOnly());
        while (store.Next()) {
        }
        const auto before = static_cast<uint32_t>(store.Count());
        Check(store.WriteString(1, "abc") == static_cast<int32_t>(before + 1));
        Check(store.WriteInteger(0x200, 0x01020C05) == static_cast<int32_t>(before + 2));
    }
    TStorefile store;
    store.SetSignature(signature);
    store.SetFilename(path);
    store.SetReadOnly(true);
    store.Open();
    Check(store.Opened());
    Check(ReadAll(store, 0) == records + 2);
    if (store.Count() > 0) {
        store.Last();
        int32_t v = 0;
        Check(store.ReadInteger(v) == 0x200 && v == 0x01020C05);
    }
    return 0;
}
