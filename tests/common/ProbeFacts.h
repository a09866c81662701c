// ProbeFacts: what ffprobe, an independent reader, says about a media file's streams and packets.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testmedia {

struct ProbePacket {
    int64_t frame = -1; // decoding time in the stream's time base: the chunk's place in AVI
    int64_t size = 0;
    int64_t pos = -1; // where the chunk lies in the file
    bool key = false;
};

// Packets of the first stream of a kind ("v" or "a"), in file order. ffprobe leaves out empty
// chunks, which is why the frame number comes from the time stamp and not the position (and
// from the decoding time, which AVI always has, unlike the presentation time of B-frames).
std::vector<ProbePacket> ProbePackets(const std::string& file, const std::string& kind);

// The picture type ffprobe decodes ("I", "P", "B", ...) of each video frame, by the file position
// of the packet it came from.
std::map<int64_t, std::string> ProbePictureTypes(const std::string& file);

// ffprobe's fields of the first stream of a kind (codec_tag_string, width, nb_frames, ...).
// Empty when ffprobe fails or there is no such stream.
std::map<std::string, std::string> ProbeStream(const std::string& file, const std::string& kind);

// Frame numbers of the key frames of the first video stream, ascending.
std::vector<int32_t> ProbeKeyFrames(const std::string& file);

} // namespace testmedia
