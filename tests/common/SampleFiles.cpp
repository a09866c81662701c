// SampleFiles: commands that make the shared test AVI files, and header patching of copies.
#include "tests/common/SampleFiles.h"

#include "tests/common/TestMedia.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using testmedia::HaveTool;
using testmedia::Make;
using testmedia::Quote;
using testmedia::Run;

namespace samplefiles {

namespace {

const std::string kVideo3s = "-f lavfi -i testsrc=size=160x120:rate=25:duration=3 ";
const std::string kSine3s = "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=3 ";

Sample Missing(const std::string& tool, const std::string& package) {
    return {{}, tool + " not found; install the Debian package " + package};
}

Sample Made(const std::string& name, const std::string& command) {
    Sample s;
    s.path = Make(name, command, &s.reason);
    return s;
}

Sample FromFfmpeg(const std::string& name, const std::string& args) {
    if (!HaveTool("ffmpeg"))
        return Missing("ffmpeg", "ffmpeg");
    return Made(name, "ffmpeg -nostdin -v error -y " + args + " -f avi {out}");
}

bool HaveGstElement(const std::string& element) {
    return Run("gst-inspect-1.0 --exists " + element).exitCode == 0;
}

// Input for mencoder, which cannot generate test sources itself.
Sample MencoderSource() {
    return FromFfmpeg("mencoder-source.avi", kVideo3s + kSine3s +
                                                 "-map 0:v -map 1:a -c:v rawvideo "
                                                 "-pix_fmt yuv420p -c:a pcm_s16le -ac 2");
}

Sample FromMencoder(const std::string& name, const std::string& args) {
    if (!HaveTool("mencoder"))
        return Missing("mencoder", "mencoder");
    const Sample source = MencoderSource();
    if (!source)
        return source;
    return Made(name, "mencoder -really-quiet " + Quote(source.path) + " " + args + " -o {out}");
}

// A plain RIFF model of a small AVI for the rewriting helpers: the "hdrl" list's content, the
// data chunks of "movi" in order with their "idx1" flags.
struct MoviChunk {
    std::string id;
    std::vector<uint8_t> data;
    uint32_t flags = 0x10;
};

struct SimpleAvi {
    std::vector<uint8_t> hdrl; // without the "LIST" header, starting with "hdrl"
    std::vector<MoviChunk> chunks;
};

std::string IdAt(const std::vector<uint8_t>& f, size_t at) {
    return at + 4 <= f.size() ? std::string(f.begin() + static_cast<long>(at),
                                            f.begin() + static_cast<long>(at) + 4)
                              : std::string();
}

bool ParseSimple(const std::vector<uint8_t>& f, SimpleAvi& avi) {
    if (IdAt(f, 0) != "RIFF" || IdAt(f, 8) != "AVI ")
        return false;
    size_t moviType = 0;
    std::vector<std::pair<std::string, uint32_t>> idx1; // id, flags; data entries only
    std::vector<uint32_t> idx1Offsets;
    for (size_t at = 12; at + 8 <= f.size();) {
        const std::string id = IdAt(f, at);
        const size_t size = Get32(f, at + 4);
        if (at + 8 + size > f.size())
            return false;
        if (id == "LIST" && IdAt(f, at + 8) == "hdrl") {
            avi.hdrl.assign(f.begin() + static_cast<long>(at + 8),
                            f.begin() + static_cast<long>(at + 8 + size));
        } else if (id == "LIST" && IdAt(f, at + 8) == "movi") {
            moviType = at + 8;
            for (size_t c = at + 12; c + 8 <= at + 8 + size;) {
                const std::string cid = IdAt(f, c);
                const size_t csize = Get32(f, c + 4);
                if (cid.size() == 4 && std::isdigit(static_cast<unsigned char>(cid[0])))
                    avi.chunks.push_back({cid,
                                          {f.begin() + static_cast<long>(c + 8),
                                           f.begin() + static_cast<long>(c + 8 + csize)},
                                          0x10});
                c += 8 + csize + (csize & 1);
            }
        } else if (id == "idx1") {
            for (size_t e = at + 8; e + 16 <= at + 8 + size; e += 16) {
                if ((Get32(f, e + 4) & 1) == 0) // not a "rec " list
                    idx1.emplace_back(IdAt(f, e), Get32(f, e + 4));
            }
        }
        at += 8 + size + (size & 1);
    }
    if (avi.hdrl.empty() || moviType == 0)
        return false;
    if (idx1.size() == avi.chunks.size()) {
        for (size_t i = 0; i < idx1.size(); ++i) {
            if (idx1[i].first == avi.chunks[i].id)
                avi.chunks[i].flags = idx1[i].second;
        }
    }
    return true;
}

void Append32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Append64(std::vector<uint8_t>& out, uint64_t v) {
    Append32(out, static_cast<uint32_t>(v));
    Append32(out, static_cast<uint32_t>(v >> 32));
}
void AppendId(std::vector<uint8_t>& out, const std::string& id) {
    out.insert(out.end(), id.begin(), id.begin() + 4);
}
void AppendChunk(std::vector<uint8_t>& out, const std::string& id,
                 const std::vector<uint8_t>& data) {
    AppendId(out, id);
    Append32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1)
        out.push_back(0);
}
// Starts a "LIST" (or "RIFF") and returns where its size goes; EndList fills it in.
size_t BeginList(std::vector<uint8_t>& out, const std::string& id, const std::string& type) {
    AppendId(out, id);
    const size_t sizeAt = out.size();
    Append32(out, 0);
    AppendId(out, type);
    return sizeAt;
}
void EndList(std::vector<uint8_t>& out, size_t sizeAt) {
    Put32(out, sizeAt, static_cast<uint32_t>(out.size() - sizeAt - 4));
}

Sample Rewritten(const Sample& source, const std::string& tag,
                 const std::function<std::vector<uint8_t>(const SimpleAvi&)>& build) {
    return PatchedCopy(source, tag, [&](std::vector<uint8_t>& f) {
        SimpleAvi avi;
        if (ParseSimple(f, avi))
            f = build(avi);
        else
            f.clear();
    });
}

} // namespace

Sample WithoutIdx1(const Sample& source) {
    return PatchedCopy(source, "noidx1", [](std::vector<uint8_t>& f) {
        for (size_t at = 12; at + 8 <= f.size();) {
            const size_t size = Get32(f, at + 4);
            if (IdAt(f, at) == "idx1")
                std::memcpy(f.data() + at, "JUNK", 4);
            at += 8 + size + (size & 1);
        }
    });
}

Sample WithRecLists(const Sample& source) {
    return Rewritten(source, "reclists", [](const SimpleAvi& avi) {
        std::vector<uint8_t> out;
        const size_t riff = BeginList(out, "RIFF", "AVI ");
        AppendId(out, "LIST");
        Append32(out, static_cast<uint32_t>(avi.hdrl.size()));
        out.insert(out.end(), avi.hdrl.begin(), avi.hdrl.end());
        const size_t movi = BeginList(out, "LIST", "movi");
        const size_t moviType = movi + 4;
        std::vector<uint8_t> idx1;
        for (size_t i = 0; i < avi.chunks.size(); i += 2) {
            const size_t rec = BeginList(out, "LIST", "rec ");
            const size_t recIdx = idx1.size();
            AppendId(idx1, "rec ");
            Append32(idx1, 0x1); // AVIIF_LIST
            Append32(idx1, static_cast<uint32_t>(rec - 4 - moviType));
            Append32(idx1, 0);
            for (size_t k = i; k < std::min(i + 2, avi.chunks.size()); ++k) {
                AppendId(idx1, avi.chunks[k].id);
                Append32(idx1, avi.chunks[k].flags);
                Append32(idx1, static_cast<uint32_t>(out.size() - moviType));
                Append32(idx1, static_cast<uint32_t>(avi.chunks[k].data.size()));
                AppendChunk(out, avi.chunks[k].id, avi.chunks[k].data);
            }
            EndList(out, rec);
            Put32(idx1, recIdx + 12, Get32(out, rec));
        }
        EndList(out, movi);
        AppendChunk(out, "idx1", idx1);
        EndList(out, riff);
        return out;
    });
}

Sample AsOpenDml(const Sample& source) {
    return Rewritten(source, "opendml", [](const SimpleAvi& avi) {
        // Streams: one per "strl"; the header list is rebuilt with an "indx" in each.
        std::vector<std::vector<uint8_t>> strls;
        std::vector<uint8_t> avih;
        const std::vector<uint8_t>& h = avi.hdrl;
        for (size_t at = 4; at + 8 <= h.size();) {
            const std::string id = IdAt(h, at);
            const size_t size = Get32(h, at + 4);
            if (id == "avih") {
                avih.assign(h.begin() + static_cast<long>(at + 8),
                            h.begin() + static_cast<long>(at + 8 + size));
            } else if (id == "LIST" && IdAt(h, at + 8) == "strl") {
                std::vector<uint8_t> strl;
                for (size_t s = at + 12; s + 8 <= at + 8 + size;) {
                    const std::string sid = IdAt(h, s);
                    const size_t ssize = Get32(h, s + 4);
                    if (sid == "strh" || sid == "strf" || sid == "strn")
                        AppendChunk(strl, sid,
                                    {h.begin() + static_cast<long>(s + 8),
                                     h.begin() + static_cast<long>(s + 8 + ssize)});
                    s += 8 + ssize + (ssize & 1);
                }
                strls.push_back(strl);
            }
            at += 8 + size + (size & 1);
        }
        // Each index names the chunk id of its stream.
        std::vector<std::string> ids(strls.size());
        for (size_t n = 0; n < ids.size(); ++n) {
            ids[n] = "00dc";
            ids[n][0] = static_cast<char>('0' + n / 10);
            ids[n][1] = static_cast<char>('0' + n % 10);
        }
        for (const MoviChunk& c : avi.chunks) {
            const size_t n = static_cast<size_t>((c.id[0] - '0') * 10 + (c.id[1] - '0'));
            if (n < ids.size())
                ids[n] = c.id;
        }
        std::vector<uint8_t> out;
        const size_t riff = BeginList(out, "RIFF", "AVI ");
        const size_t hdrl = BeginList(out, "LIST", "hdrl");
        AppendChunk(out, "avih", avih);
        std::vector<size_t> superEntryAt; // where each stream's one super index entry goes
        for (size_t n = 0; n < strls.size(); ++n) {
            const size_t strl = BeginList(out, "LIST", "strl");
            out.insert(out.end(), strls[n].begin(), strls[n].end());
            AppendId(out, "indx");
            Append32(out, 24 + 16);
            out.push_back(4); // wLongsPerEntry
            out.push_back(0);
            out.push_back(0); // bIndexSubType
            out.push_back(0); // bIndexType: AVI_INDEX_OF_INDEXES
            Append32(out, 1); // nEntriesInUse
            AppendId(out, ids[n]);
            Append32(out, 0);
            Append32(out, 0);
            Append32(out, 0);
            superEntryAt.push_back(out.size());
            Append64(out, 0); // qwOffset, filled in below
            Append32(out, 0); // dwSize
            Append32(out, 0); // dwDuration
            EndList(out, strl);
        }
        EndList(out, hdrl);
        const size_t movi = BeginList(out, "LIST", "movi");
        const uint64_t base = movi + 4; // qwBaseOffset: the "movi" code, as ffmpeg writes
        std::vector<std::vector<std::pair<uint32_t, uint32_t>>> entries(strls.size());
        for (const MoviChunk& c : avi.chunks) {
            const size_t n = static_cast<size_t>((c.id[0] - '0') * 10 + (c.id[1] - '0'));
            const auto offset = static_cast<uint32_t>(out.size() + 8 - base);
            auto size = static_cast<uint32_t>(c.data.size());
            if ((c.flags & 0x10) == 0)
                size |= 0x80000000u;
            if (n < entries.size())
                entries[n].emplace_back(offset, size);
            AppendChunk(out, c.id, c.data);
        }
        for (size_t n = 0; n < strls.size(); ++n) {
            const size_t ix = out.size();
            std::string id = "ix00";
            id[2] = static_cast<char>('0' + n / 10);
            id[3] = static_cast<char>('0' + n % 10);
            AppendId(out, id);
            Append32(out, static_cast<uint32_t>(24 + 8 * entries[n].size()));
            out.push_back(2); // wLongsPerEntry
            out.push_back(0);
            out.push_back(0); // bIndexSubType
            out.push_back(1); // bIndexType: AVI_INDEX_OF_CHUNKS
            Append32(out, static_cast<uint32_t>(entries[n].size()));
            AppendId(out, ids[n]);
            Append64(out, base);
            Append32(out, 0);
            for (const auto& [offset, size] : entries[n]) {
                Append32(out, offset);
                Append32(out, size);
            }
            std::vector<uint8_t> qw;
            Append64(qw, ix);
            std::copy(qw.begin(), qw.end(), out.begin() + static_cast<long>(superEntryAt[n]));
            Put32(out, superEntryAt[n] + 8, static_cast<uint32_t>(out.size() - ix));
            Put32(out, superEntryAt[n] + 12, static_cast<uint32_t>(entries[n].size()));
        }
        EndList(out, movi);
        EndList(out, riff);
        return out;
    });
}

Sample FfmpegMpeg4CbrMp3() {
    return FromFfmpeg("ffmpeg-mpeg4-cbrmp3.avi",
                      kVideo3s + kSine3s +
                          "-map 0:v -map 1:a -c:v mpeg4 -g 12 -c:a libmp3lame -b:a 128k");
}

Sample FfmpegMpeg4VbrMp3() {
    return FromFfmpeg("ffmpeg-mpeg4-vbrmp3.avi",
                      kVideo3s + kSine3s +
                          "-map 0:v -map 1:a -c:v mpeg4 -g 12 -c:a libmp3lame -q:a 4");
}

Sample FlashBeep(const std::string& name, const std::string& audioArgs) {
    return FromFfmpeg(name + ".avi",
                      "-f lavfi -i \"color=c=0x202020:s=320x240:r=25:d=6,"
                      "drawbox=c=white:t=fill:enable='lt(mod(n,25),1)'\" "
                      "-f lavfi -i \"aevalsrc='if(lt(mod(t,1),0.1),0.7*sin(2*PI*1000*t),"
                      "0.05*sin(2*PI*300*t))':s=44100:d=6\" "
                      "-map 0:v -map 1:a -c:v mpeg4 -q:v 3 -g 50 -ac 2 " +
                          audioArgs);
}

Sample FfmpegMsmpeg4v2Pcm() {
    return FromFfmpeg("ffmpeg-msmpeg4v2-pcm.avi",
                      kVideo3s + kSine3s +
                          "-map 0:v -map 1:a -c:v msmpeg4v2 -g 12 -c:a pcm_s16le -ac 2");
}

Sample FfmpegMjpeg() {
    return FromFfmpeg("ffmpeg-mjpeg.avi", kVideo3s + "-c:v mjpeg -pix_fmt yuvj420p -q:v 8 -an");
}

Sample FfmpegRawvideo() {
    return FromFfmpeg("ffmpeg-rawvideo.avi", "-f lavfi -i testsrc=size=64x48:rate=25:duration=2 "
                                             "-c:v rawvideo -pix_fmt bgr24 -an");
}

Sample FfmpegH264() {
    if (!HaveTool("ffmpeg"))
        return Missing("ffmpeg", "ffmpeg");
    static const bool x264 = Run("ffmpeg -hide_banner -encoders | grep -q libx264").exitCode == 0;
    if (!x264)
        return {{}, "ffmpeg has no libx264 encoder (Debian's ffmpeg has it)"};
    return FromFfmpeg("ffmpeg-h264.avi",
                      kVideo3s + kSine3s +
                          "-map 0:v -map 1:a -c:v libx264 -preset veryfast -bf 2 -g 12 "
                          "-c:a libmp3lame -b:a 128k");
}

Sample MencoderMpeg4CbrMp3() {
    return FromMencoder("mencoder-mpeg4-cbrmp3.avi",
                        "-ovc lavc -lavcopts vcodec=mpeg4:keyint=12 -oac mp3lame "
                        "-lameopts cbr:br=128");
}

Sample MencoderMpeg4VbrMp3() {
    return FromMencoder("mencoder-mpeg4-vbrmp3.avi",
                        "-ovc lavc -lavcopts vcodec=mpeg4:keyint=12 -oac mp3lame "
                        "-lameopts vbr=2:q=4");
}

Sample GstreamerMpeg4Mp3() {
    if (!HaveTool("gst-launch-1.0"))
        return Missing("gst-launch-1.0", "gstreamer1.0-tools");
    if (!HaveGstElement("avimux") || !HaveGstElement("lamemp3enc"))
        return Missing("GStreamer avimux/lamemp3enc", "gstreamer1.0-plugins-good");
    if (!HaveGstElement("avenc_mpeg4"))
        return Missing("GStreamer avenc_mpeg4", "gstreamer1.0-libav");
    return Made("gstreamer-mpeg4-mp3.avi",
                "gst-launch-1.0 -q videotestsrc num-buffers=75 ! "
                "video/x-raw,width=160,height=120,framerate=25/1 ! avenc_mpeg4 gop-size=12 ! "
                "avimux name=mux ! filesink location={out} "
                "audiotestsrc num-buffers=130 ! audio/x-raw,rate=44100,channels=1 ! "
                "lamemp3enc target=bitrate bitrate=128 cbr=true ! mux.");
}

Sample UnreadableAudioSampleSize() {
    return PatchedCopy(FfmpegMpeg4CbrMp3(), "samplesize1152", [](std::vector<uint8_t>& f) {
        if (const size_t strh = FindStreamHeader(f, "auds"))
            Put32(f, strh + kStrhSampleSize, 1152);
    });
}

Sample UnreadableAudioZeroRate() {
    return PatchedCopy(FfmpegMpeg4CbrMp3(), "rate0", [](std::vector<uint8_t>& f) {
        if (const size_t strh = FindStreamHeader(f, "auds"))
            Put32(f, strh + kStrhRate, 0);
    });
}

Sample FfmpegOpenDml(const std::string& dir) {
    if (!HaveTool("ffmpeg"))
        return Missing("ffmpeg", "ffmpeg");
    // 420 frames of 1280x720 BGR24: 1.16 GB, past the 1 GiB where ffmpeg starts "AVIX".
    constexpr uint64_t kNeeded = 3ull << 30;
    if (testmedia::FreeSpace(dir) < kNeeded)
        return {{}, "less than 3 GiB free in " + dir};
    const std::string out = dir + "/opendml.avi";
    const testmedia::RunResult r =
        Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=1280x720:rate=25 "
            "-frames:v 420 -c:v rawvideo -pix_fmt bgr24 -f avi " +
            Quote(out));
    if (r.exitCode != 0) {
        std::error_code ec;
        fs::remove(out, ec);
        return {{}, "ffmpeg failed: " + r.err};
    }
    return {out, {}};
}

const std::vector<Kind>& AllKinds() {
    static const std::vector<Kind> kinds = {
        {"ffmpeg-mpeg4-cbrmp3", FfmpegMpeg4CbrMp3},
        {"ffmpeg-mpeg4-vbrmp3", FfmpegMpeg4VbrMp3},
        {"ffmpeg-msmpeg4v2-pcm", FfmpegMsmpeg4v2Pcm},
        {"ffmpeg-mjpeg", FfmpegMjpeg},
        {"ffmpeg-rawvideo", FfmpegRawvideo},
        {"ffmpeg-h264", FfmpegH264},
        {"mencoder-mpeg4-cbrmp3", MencoderMpeg4CbrMp3},
        {"mencoder-mpeg4-vbrmp3", MencoderMpeg4VbrMp3},
        {"gstreamer-mpeg4-mp3", GstreamerMpeg4Mp3},
    };
    return kinds;
}

size_t FindStreamHeader(const std::vector<uint8_t>& file, const char* type, int n) {
    for (size_t at = 0; at + 12 <= file.size(); ++at) {
        if (std::memcmp(file.data() + at, "strh", 4) == 0 &&
            std::memcmp(file.data() + at + 8, type, 4) == 0 && n-- == 0)
            return at + 8;
    }
    return 0;
}

void Put32(std::vector<uint8_t>& file, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4 && at + i < file.size(); ++i)
        file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Get32(const std::vector<uint8_t>& file, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && at + i < file.size(); ++i)
        v |= static_cast<uint32_t>(file[at + i]) << (8 * i);
    return v;
}

Sample PatchedCopy(const Sample& source, const std::string& tag,
                   const std::function<void(std::vector<uint8_t>&)>& patch) {
    if (!source)
        return source;
    const fs::path src(source.path);
    const std::string target =
        testmedia::MediaDir() + "/" + src.stem().string() + "-" + tag + src.extension().string();
    if (fs::exists(target))
        return {target, {}};
    std::vector<uint8_t> bytes = testmedia::ReadAll(source.path);
    patch(bytes);
    if (bytes.empty())
        return {{}, "cannot rewrite " + source.path};
    // Written beside and renamed, so that test processes running at once never see half a file.
    const std::string partial = target + ".part" + std::to_string(getpid());
    testmedia::WriteAll(partial, bytes);
    std::error_code ec;
    fs::rename(partial, target, ec);
    if (ec)
        return {{}, "cannot write " + target + ": " + ec.message()};
    return {target, {}};
}

} // namespace samplefiles
