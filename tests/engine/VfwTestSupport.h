// VfwTestSupport: handle guards for the AVIFile service and what ffmpeg/ffprobe report about a
// file's packets, shared by the Vfw*_test files.
#pragma once

#include "engine/avi/VFW.h"
#include "tests/common/TestMedia.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/md5.h>
}

namespace vfwtest {

// Releases its handle at the end of the scope.
struct File {
    PAVIFILE p = nullptr;
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() {
        if (p)
            AVIFileRelease(p);
    }
};

struct Stream {
    PAVISTREAM p = nullptr;
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    ~Stream() {
        if (p)
            AVIStreamRelease(p);
    }
};

inline HRESULT OpenRead(File& f, const std::string& path) {
    return AVIFileOpenW(&f.p, path, OF_SHARE_DENY_WRITE, nullptr);
}

inline AVISTREAMINFOW InfoOf(PAVISTREAM s) {
    AVISTREAMINFOW info{};
    AVIStreamInfoW(s, &info, sizeof info);
    return info;
}

inline std::vector<uint8_t> FormatOf(PAVISTREAM s) {
    LONG size = 0;
    if (AVIStreamReadFormat(s, 0, nullptr, &size) != AVIERR_OK || size < 0)
        return {};
    std::vector<uint8_t> format(static_cast<size_t>(size));
    AVIStreamReadFormat(s, 0, format.data(), &size);
    return format;
}

// Reads lSamples samples at pos (one sample for streams with dwSampleSize 0) through the
// size query and a read, as the engine does. hr receives the first failure.
inline std::vector<uint8_t> ReadSamples(PAVISTREAM s, LONG pos, LONG samples, HRESULT* hr,
                                        LONG* got = nullptr) {
    LONG bytes = 0;
    HRESULT r = AVIStreamRead(s, pos, samples, nullptr, 0, &bytes, nullptr);
    std::vector<uint8_t> data;
    if (r == AVIERR_OK) {
        data.resize(static_cast<size_t>(bytes));
        LONG read = 0;
        // A zero-byte sample still needs a buffer pointer to be a read, not a size query.
        uint8_t dummy = 0;
        r = AVIStreamRead(s, pos, samples, data.empty() ? &dummy : data.data(), bytes, &read, got);
        data.resize(static_cast<size_t>(read));
    }
    if (hr)
        *hr = r;
    return data;
}

inline std::string Md5Hex(const std::vector<uint8_t>& data) {
    uint8_t digest[16];
    av_md5_sum(digest, data.data(), data.size());
    char hex[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return hex;
}

// What a stream holds, read through the service: its sample range, and per read the MD5 of
// the data and whether it starts at a key frame. Streams with dwSampleSize 0 are read sample by
// sample, byte-counted ones in convenient amounts (chunk by chunk).
struct Digest {
    LONG start = -1;
    LONG length = -1;
    std::vector<LONG> at;
    std::vector<std::string> md5;
    std::vector<bool> key;
    HRESULT error = AVIERR_OK; // the first failed read
};

inline Digest DigestOf(PAVISTREAM s) {
    Digest d;
    d.start = AVIStreamStart(s);
    d.length = AVIStreamLength(s);
    for (LONG pos = d.start; pos < d.start + d.length;) {
        const bool oneByOne = InfoOf(s).dwSampleSize == 0 || InfoOf(s).fccType == streamtypeVIDEO;
        HRESULT hr = AVIERR_OK;
        LONG got = 0;
        const std::vector<uint8_t> data =
            ReadSamples(s, pos, oneByOne ? 1 : AVISTREAMREAD_CONVENIENT, &hr, &got);
        if (hr != AVIERR_OK || got <= 0) {
            d.error = hr != AVIERR_OK ? hr : AVIERR_ERROR;
            break;
        }
        d.at.push_back(pos);
        d.md5.push_back(Md5Hex(data));
        d.key.push_back(AVIStreamFindSample(s, pos, FIND_KEY | FIND_PREV) == pos);
        pos += got;
    }
    return d;
}

// Digests of the first video and audio stream of a file (audio empty when there is none);
// error is the open's result when it fails.
struct FileDigest {
    HRESULT error = AVIERR_OK;
    Digest video;
    Digest audio;
};

inline FileDigest DigestFile(const std::string& path) {
    FileDigest fd;
    File f;
    fd.error = OpenRead(f, path);
    if (fd.error != AVIERR_OK)
        return fd;
    Stream v, a;
    if (AVIFileGetStream(f.p, &v.p, streamtypeVIDEO, 0) == AVIERR_OK)
        fd.video = DigestOf(v.p);
    if (AVIFileGetStream(f.p, &a.p, streamtypeAUDIO, 0) == AVIERR_OK)
        fd.audio = DigestOf(a.p);
    return fd;
}

// One packet of "ffmpeg -i F -c copy -f framemd5 -": the decoding time stamp, which an AVI
// demuxer counts in samples of the stream (chunks, or dwSampleSize units), the byte size and
// the MD5 of the data. Empty chunks produce no packet.
struct Packet {
    int64_t dts = 0;
    int64_t size = 0;
    std::string md5;
};

// Packets of framemd5 output by the stream index of each line, in file order.
inline std::map<int, std::vector<Packet>> ParseFrameMd5(const std::string& text) {
    std::map<int, std::vector<Packet>> packets;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string stream, dts, pts, duration, size, md5;
        if (std::getline(fields, stream, ',') && std::getline(fields, dts, ',') &&
            std::getline(fields, pts, ',') && std::getline(fields, duration, ',') &&
            std::getline(fields, size, ',') && std::getline(fields, md5)) {
            const size_t at = md5.find_first_not_of(' ');
            packets[std::stoi(stream)].push_back(
                {std::stoll(dts), std::stoll(size), at == std::string::npos ? "" : md5.substr(at)});
        }
    }
    return packets;
}

// Packets of the first video stream ("v") and the first audio stream ("a"), in file order,
// from one run of ffmpeg.
inline std::map<std::string, std::vector<Packet>> FrameMd5All(const std::string& file) {
    const testmedia::RunResult r =
        testmedia::Run("ffmpeg -nostdin -v error -i " + testmedia::Quote(file) +
                       " -map 0:v:0 -map '0:a:0?' -c copy -f framemd5 -");
    std::map<std::string, std::vector<Packet>> packets;
    for (auto& [stream, list] : ParseFrameMd5(r.out))
        packets[stream == 0 ? "v" : "a"] = std::move(list);
    return packets;
}

// Packets of the first stream of a kind ("v" or "a").
inline std::vector<Packet> FrameMd5(const std::string& file, const std::string& kind) {
    const testmedia::RunResult r =
        testmedia::Run("ffmpeg -nostdin -v error -i " + testmedia::Quote(file) + " -map 0:" + kind +
                       ":0 -c copy -f framemd5 -");
    auto packets = ParseFrameMd5(r.out);
    return packets.empty() ? std::vector<Packet>{} : std::move(packets.begin()->second);
}

// Key flags of ffprobe's packets of the first video stream, by time stamp (chunk number).
inline std::map<int64_t, bool> ProbeVideoKeys(const std::string& file) {
    const testmedia::RunResult r = testmedia::Run(
        "ffprobe -v error -select_streams v:0 -show_entries packet=dts,flags -of csv=p=0 " +
        testmedia::Quote(file));
    std::map<int64_t, bool> keys;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t comma = line.find(',');
        if (comma == std::string::npos || line.compare(0, comma, "N/A") == 0)
            continue;
        keys[std::stoll(line.substr(0, comma))] = line.find('K', comma) != std::string::npos;
    }
    return keys;
}

// ffprobe's stream fields (with packets counted) of the first stream of a kind ("v", "a").
inline std::map<std::string, std::string> ProbeStreamCounted(const std::string& file,
                                                             const std::string& kind) {
    const testmedia::RunResult r =
        testmedia::Run("ffprobe -v error -count_packets -select_streams " + kind +
                       ":0 -show_entries stream -of default=nw=1 " + testmedia::Quote(file));
    std::map<std::string, std::string> fields;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos && !fields.count(line.substr(0, eq)))
            fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
}

// What ffprobe says about the first video stream ("v") and the first audio stream ("a"): the
// stream's fields (packets counted) and its packets' key flags by time stamp.
struct ProbeResult {
    std::map<std::string, std::map<std::string, std::string>> streams;
    std::map<std::string, std::map<int64_t, bool>> keys;
};

inline ProbeResult Probe(const std::string& file) {
    const testmedia::RunResult r = testmedia::Run(
        "ffprobe -v error -count_packets -show_entries "
        "stream=index,codec_type,codec_tag,width,height,channels,sample_rate,nb_frames,"
        "nb_read_packets:packet=stream_index,dts,flags -of compact " +
        testmedia::Quote(file));
    ProbeResult result;
    std::map<std::string, std::string> kindOfIndex;
    std::vector<std::map<std::string, std::string>> packets;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream parts(line);
        std::string section, part;
        std::getline(parts, section, '|');
        std::map<std::string, std::string> fields;
        while (std::getline(parts, part, '|')) {
            const size_t eq = part.find('=');
            if (eq != std::string::npos)
                fields[part.substr(0, eq)] = part.substr(eq + 1);
        }
        if (section == "stream") {
            const std::string kind = fields["codec_type"] == "video"   ? "v"
                                     : fields["codec_type"] == "audio" ? "a"
                                                                       : "";
            if (!kind.empty() && !result.streams.count(kind)) {
                result.streams[kind] = fields;
                kindOfIndex[fields["index"]] = kind;
            }
        } else if (section == "packet") {
            packets.push_back(fields);
        }
    }
    for (auto& p : packets) {
        const auto kind = kindOfIndex.find(p["stream_index"]);
        if (kind == kindOfIndex.end() || p["dts"] == "N/A" || p["dts"].empty())
            continue;
        result.keys[kind->second][std::stoll(p["dts"])] = p["flags"].find('K') != std::string::npos;
    }
    return result;
}

} // namespace vfwtest
