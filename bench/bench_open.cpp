// bench_open: how long opening and indexing an AVI file takes, and what its index costs in memory.
#include "engine/avi/VFW.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    }
    return 0;
}

long ChunkCount(PAVIFILE file) {
    long chunks = 0;
    for (DWORD type : {streamtypeVIDEO, streamtypeAUDIO}) {
        PAVISTREAM stream = nullptr;
        if (AVIFileGetStream(file, &stream, type, 0) != AVIERR_OK)
            continue;
        AVISTREAMINFOW info{};
        AVIStreamInfoW(stream, &info, sizeof info);
        if (info.dwSampleSize == 0) {
            chunks += AVIStreamLength(stream);
        } else {
            // Byte-counted audio: walk chunk by chunk through the convenient reads.
            LONG pos = AVIStreamStart(stream);
            const LONG end = pos + AVIStreamLength(stream);
            while (pos < end) {
                LONG bytes = 0, samples = 0;
                if (AVIStreamRead(stream, pos, AVISTREAMREAD_CONVENIENT, nullptr, 0, &bytes,
                                  &samples) != AVIERR_OK ||
                    samples <= 0)
                    break;
                pos += samples;
                ++chunks;
            }
        }
        AVIStreamRelease(stream);
    }
    return chunks;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_open FILE [repeats]\n");
        return 2;
    }
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    AVIFileInit();
    double best = 1e30;
    long rssDelta = 0;
    long chunks = 0;
    for (int i = 0; i < repeats; ++i) {
        const long rssBefore = StatusKb("VmRSS");
        const auto t0 = std::chrono::steady_clock::now();
        PAVIFILE file = nullptr;
        if (AVIFileOpenW(&file, argv[1], OF_SHARE_DENY_WRITE, nullptr) != AVIERR_OK) {
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 1;
        }
        PAVISTREAM video = nullptr;
        PAVISTREAM audio = nullptr;
        AVIFileGetStream(file, &video, streamtypeVIDEO, 0);
        AVIFileGetStream(file, &audio, streamtypeAUDIO, 0);
        // Touch both indexes, in case any part of them is built lazily.
        if (video)
            AVIStreamFindSample(video, AVIStreamLength(video) - 1, FIND_PREV | FIND_KEY);
        if (audio)
            AVIStreamFindSample(audio, AVIStreamLength(audio) - 1, FIND_PREV | FIND_OFFSET);
        const auto t1 = std::chrono::steady_clock::now();
        const long rssAfter = StatusKb("VmRSS");
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
        if (i == 0) // later opens reuse the memory the first one gave back
            rssDelta = rssAfter - rssBefore;
        if (audio)
            AVIStreamRelease(audio);
        if (i == 0)
            chunks = ChunkCount(file);
        if (video)
            AVIStreamRelease(video);
        AVIFileRelease(file);
    }
    AVIFileExit();
    std::printf("open_seconds_best=%.4f\n", best);
    std::printf("chunks=%ld\n", chunks);
    std::printf("index_rss_kb=%ld\n", rssDelta);
    if (chunks > 0)
        std::printf("bytes_per_chunk=%.1f\n",
                    static_cast<double>(rssDelta) * 1024.0 / static_cast<double>(chunks));
    return 0;
}
