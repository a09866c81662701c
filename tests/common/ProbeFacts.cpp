// ProbeFacts: ffprobe queries for the tests.
#include "tests/common/ProbeFacts.h"

#include "tests/common/TestMedia.h"

#include <algorithm>
#include <sstream>

namespace testmedia {

std::vector<ProbePacket> ProbePackets(const std::string& file, const std::string& kind) {
    const RunResult r =
        Run("ffprobe -v error -select_streams " + kind +
            ":0 -show_entries packet=dts,size,pos,flags -of csv=p=0 " + Quote(file));
    std::vector<ProbePacket> packets;
    if (r.exitCode != 0)
        return packets;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        // "dts,size,pos,flags", in the order ffprobe prints its packet fields.
        std::istringstream fields(line);
        std::string dts, size, pos, flags;
        if (!std::getline(fields, dts, ',') || !std::getline(fields, size, ',') ||
            !std::getline(fields, pos, ',') || !std::getline(fields, flags))
            continue;
        ProbePacket p;
        p.frame = dts == "N/A" ? -1 : std::stoll(dts);
        p.size = std::stoll(size);
        p.pos = pos == "N/A" ? -1 : std::stoll(pos);
        p.key = flags.find('K') != std::string::npos;
        packets.push_back(p);
    }
    return packets;
}

std::map<int64_t, std::string> ProbePictureTypes(const std::string& file) {
    const RunResult r = Run("ffprobe -v error -select_streams v:0 -show_entries "
                            "frame=pkt_pos,pict_type -of csv=p=0 " +
                            Quote(file));
    std::map<int64_t, std::string> types;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        // pkt_pos,pict_type[,side data...]
        std::istringstream fields(line);
        std::string pos, type;
        if (std::getline(fields, pos, ',') && std::getline(fields, type, ',') && pos != "N/A")
            types[std::stoll(pos)] = type;
    }
    return types;
}

std::map<std::string, std::string> ProbeStream(const std::string& file, const std::string& kind) {
    const RunResult r = Run("ffprobe -v error -select_streams " + kind +
                            ":0 -show_entries stream -of default=nw=1 " + Quote(file));
    std::map<std::string, std::string> fields;
    if (r.exitCode != 0)
        return fields;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos && !fields.count(line.substr(0, eq)))
            fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
}

std::vector<int32_t> ProbeKeyFrames(const std::string& file) {
    std::vector<int32_t> keys;
    for (const ProbePacket& p : ProbePackets(file, "v"))
        if (p.key && p.frame >= 0)
            keys.push_back(static_cast<int32_t>(p.frame));
    std::sort(keys.begin(), keys.end());
    return keys;
}

} // namespace testmedia
