// AVIExtractor_test: TAVIExtractor on AVI files from ffmpeg, mencoder and GStreamer, checked
// against ffprobe, plus patched and broken copies of them.
#include "engine/avi/EngineErrors.h"
#include "engine/jobs/U_AVIExtractor.h"
#include "support/text/U_SizeFormat.h"
#include "tests/common/ProbeFacts.h"
#include "tests/common/SampleFiles.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <regex>

namespace fs = std::filesystem;
using testmedia::Make;
using testmedia::ProbeStream;

namespace {

// Files the shared catalogue does not have. Video is stream 0 and audio stream 1 unless said
// otherwise.
const std::string kFfmpegMp3 =
    "ffmpeg -v error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=3 "
    "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=3 -map 0:v -map 1:a "
    "-c:v mpeg4 -vtag divx -g 12 -c:a libmp3lame -b:a 64k -ac 2 -f avi {out}";
const std::string kFfmpegPcmNtsc =
    "ffmpeg -v error -y -f lavfi -i testsrc2=size=176x144:rate=30000/1001:duration=2 "
    "-f lavfi -i sine=frequency=300:sample_rate=22050:duration=2 -map 0:v -map 1:a "
    "-c:v mpeg4 -vtag XVID -g 15 -c:a pcm_s16le -ac 1 -f avi {out}";
const std::string kFfmpegNoAudio =
    "ffmpeg -v error -y -f lavfi -i testsrc2=size=176x144:rate=30000/1001:duration=2 "
    "-c:v mpeg4 -vtag XVID -g 10 -an -f avi {out}";
// 24-bit PCM is described by a 40-byte WAVEFORMATEXTENSIBLE.
const std::string kFfmpegPcm24 =
    "ffmpeg -v error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=2 "
    "-f lavfi -i sine=sample_rate=48000:duration=2 -map 0:v -map 1:a "
    "-c:v mpeg4 -c:a pcm_s24le -ac 1 -f avi {out}";
// Audio first: its chunks are "00wb", so the "01wb" fallback finds nothing.
const std::string kFfmpegAudioFirst =
    "ffmpeg -v error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=2 "
    "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -map 1:a -map 0:v "
    "-c:v mpeg4 -g 12 -c:a libmp3lame -b:a 64k -f avi {out}";
const std::string kFfmpegAudioOnly = "ffmpeg -v error -y -f lavfi -i sine=duration=1 "
                                     "-c:a libmp3lame -f avi {out}";

samplefiles::Sample Made(const std::string& name, const std::string& command) {
    if (!testmedia::HaveTool("ffmpeg"))
        return {{}, "ffmpeg not found; install the Debian package ffmpeg"};
    std::string why;
    std::string path = Make(name, command, &why);
    return {path, why};
}

struct Source {
    std::string name;
    std::function<samplefiles::Sample()> make;
};

void PrintTo(const Source& source, std::ostream* out) {
    *out << source.name;
}

// The shared catalogue plus a lower-case handler code, NTSC timing and a file without audio.
std::vector<Source> Sources() {
    std::vector<Source> list;
    for (const samplefiles::Kind& k : samplefiles::AllKinds()) {
        std::string name = k.name;
        std::replace(name.begin(), name.end(), '-', '_');
        list.push_back({name, k.make});
    }
    list.push_back({"ffmpeg_divx_mp3", [] { return Made("mp3.avi", kFfmpegMp3); }});
    list.push_back({"ffmpeg_xvid_pcm_ntsc", [] { return Made("pcmntsc.avi", kFfmpegPcmNtsc); }});
    list.push_back({"ffmpeg_xvid_no_audio", [] { return Made("noaudio.avi", kFfmpegNoAudio); }});
    return list;
}

std::vector<std::pair<std::string, std::string>> Properties(const TAVIExtractor& e) {
    std::vector<std::string> list{"stale=1"};
    e.GetProperties(&list);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string& line : list) {
        const size_t eq = line.find('=');
        pairs.emplace_back(line.substr(0, eq), eq == std::string::npos ? "" : line.substr(eq + 1));
    }
    return pairs;
}

std::map<std::string, std::string> PropertyMap(const TAVIExtractor& e) {
    std::map<std::string, std::string> m;
    for (const auto& [k, v] : Properties(e))
        m[k] = v;
    return m;
}

std::vector<std::string> Keys(const TAVIExtractor& e) {
    std::vector<std::string> keys;
    for (const auto& [k, v] : Properties(e))
        keys.push_back(k);
    return keys;
}

// ffprobe's codec_tag_string, upper-case and ending where a NUL byte ("[0]") ends a shown text.
std::string ShownFourCC(std::string s) {
    s = s.substr(0, s.find("[0]"));
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string FixedTwo(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

// Whole milliseconds per frame from ffprobe's frame rate "num/den".
int64_t MsPerFrameOf(const std::string& rate) {
    const size_t slash = rate.find('/');
    const int64_t num = std::stoll(rate.substr(0, slash));
    const int64_t den = std::stoll(rate.substr(slash + 1));
    return num == 0 ? 0 : den * 1000 / num;
}

// Position of the format data ("strf") that follows the stream header of a type; 0 if none.
size_t StreamFormat(const std::vector<uint8_t>& bytes, const char* type) {
    const size_t header = samplefiles::FindStreamHeader(bytes, type);
    if (header == 0)
        return 0;
    const size_t strf = header + samplefiles::Get32(bytes, header - 4);
    if (strf + 8 > bytes.size() || std::memcmp(&bytes[strf], "strf", 4) != 0)
        return 0;
    return strf + 8;
}

// A copy whose stream header of a type has the given dwScale and dwRate.
samplefiles::Sample WithTiming(const samplefiles::Sample& source, const char* type, uint32_t scale,
                               uint32_t rate) {
    const std::string tag = std::string(type) + std::to_string(scale) + "-" + std::to_string(rate);
    return samplefiles::PatchedCopy(source, tag, [&](std::vector<uint8_t>& f) {
        const size_t at = samplefiles::FindStreamHeader(f, type);
        if (at == 0)
            f.clear(); // no such header: no copy
        samplefiles::Put32(f, at + samplefiles::kStrhScale, scale);
        samplefiles::Put32(f, at + samplefiles::kStrhRate, rate);
    });
}

// Descriptors of this process that refer to a file.
int DescriptorsOn(const std::string& path) {
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        if (fs::read_symlink(entry.path(), linkError) == target)
            ++count;
    }
    return count;
}

bool IsOpenFailure(const std::string& message) {
    return std::regex_match(message, std::regex(R"(FileOpen failed\. Err: \$[0-9A-F]{8})"));
}

// Whatever Open makes of a file, the queries must answer without crashing or running away.
void ExerciseWithoutCrash(const std::string& file) {
    TAVIExtractor e;
    try {
        e.Open(file);
    } catch (const EAssertionFailed& error) {
        EXPECT_TRUE(IsOpenFailure(error.what())) << error.what();
        EXPECT_FALSE(e.Opened);
        return;
    }
    std::vector<std::string> list;
    e.GetProperties(&list);
    const int32_t count = e.FrameCount();
    EXPECT_EQ(count >= 0, e.Valid);
    int32_t walked = 0;
    for (int32_t k = e.NextKeyFrame(-1), last = -1; k > last && k < count;
         last = k, k = e.NextKeyFrame(k))
        ++walked;
    EXPECT_LE(walked, std::max(count, 0));
    if (count > 0) {
        e.NearestKeyFrame(count - 1);
        e.PreviousKeyFrame(count);
    }
    e.Close();
}

// ---------------------------------------------------------------------------------------------

class ExtractorOnSource : public ::testing::TestWithParam<Source> {
protected:
    std::string file;

    void SetUp() override {
        REQUIRE_TOOL("ffprobe", "ffmpeg");
        const samplefiles::Sample sample = GetParam().make();
        if (!sample)
            GTEST_SKIP() << sample.reason;
        file = sample.path;
    }
};

TEST_P(ExtractorOnSource, PropertiesAgreeWithFfprobe) {
    TAVIExtractor e;
    e.Open(file);
    ASSERT_TRUE(e.Valid);
    ASSERT_TRUE(e.Opened);

    const auto video = ProbeStream(file, "v");
    const auto audio = ProbeStream(file, "a");
    ASSERT_FALSE(video.empty());
    const int64_t ms = MsPerFrameOf(video.at("r_frame_rate"));

    std::vector<std::string> keys = {"file_size",      "file_name",     "video_resolution",
                                     "video_nbframes", "video_bitrate", "video_fourcc"};
    if (ms > 0)
        keys.push_back("video_fps");
    if (!audio.empty())
        keys.insert(keys.end(), {"audio_channels", "audio_samples", "audio_bitrate", "audio_code"});
    EXPECT_EQ(Keys(e), keys);

    auto p = PropertyMap(e);
    EXPECT_EQ(p["file_size"], FormatSize(static_cast<int64_t>(testmedia::FileSizeOf(file))));
    EXPECT_EQ(p["file_name"], file);
    EXPECT_EQ(p["video_resolution"], video.at("width") + "x" + video.at("height"));
    EXPECT_EQ(p["video_nbframes"], video.at("nb_frames"));
    EXPECT_EQ(e.FrameCount(), std::stoi(video.at("nb_frames")));
    EXPECT_EQ(p["video_fourcc"], ShownFourCC(video.at("codec_tag_string")));
    EXPECT_EQ(e.FrameDuration(), ms);
    EXPECT_EQ(e.FrameWidth(), std::stoi(video.at("width")));
    EXPECT_EQ(e.FrameHeight(), std::stoi(video.at("height")));
    if (ms > 0) {
        EXPECT_EQ(p["video_fps"], FixedTwo(1000.0 / static_cast<double>(ms)));
    }

    double videoBytes = 0;
    for (const auto& packet : testmedia::ProbePackets(file, "v"))
        videoBytes += static_cast<double>(packet.size);
    const double frames = std::stod(video.at("nb_frames"));
    const long expectedRate =
        ms > 0 ? std::lrint(videoBytes * 8 / (frames * static_cast<double>(ms))) : 0;
    EXPECT_EQ(p["video_bitrate"], std::to_string(expectedRate) + " Kbps");

    EXPECT_EQ(e.HasAudio, !audio.empty());
    if (!audio.empty()) {
        const unsigned tag = static_cast<unsigned>(std::stoul(audio.at("codec_tag"), nullptr, 16));
        char code[16];
        std::snprintf(code, sizeof code, "0x%X", tag);
        EXPECT_EQ(p["audio_channels"], audio.at("channels"));
        EXPECT_EQ(p["audio_samples"], audio.at("sample_rate") + " Hz");
        // ffprobe measures the bitrate of VBR audio; the list shows what the format says.
        const std::vector<uint8_t> bytes = testmedia::ReadAll(file);
        const size_t wfx = StreamFormat(bytes, "auds");
        ASSERT_NE(wfx, 0u);
        const double headerRate = samplefiles::Get32(bytes, wfx + 8) * 8.0 / 1000;
        EXPECT_EQ(p["audio_bitrate"], std::to_string(std::lrint(headerRate)) + " Kbps");
        EXPECT_EQ(p["audio_code"], code);
        EXPECT_EQ(e.IsMP3, tag == 0x55);
        EXPECT_TRUE(e.AudioReadable);
        EXPECT_FALSE(e.UseChunkIndex);
        EXPECT_EQ(e.Scanner, nullptr) << "the index is only read when the service fails";
    }
}

TEST_P(ExtractorOnSource, KeyFrameQueriesAgreeWithFfprobe) {
    const std::vector<int32_t> keys = testmedia::ProbeKeyFrames(file);
    ASSERT_FALSE(keys.empty());
    TAVIExtractor e;
    e.Open(file);
    ASSERT_TRUE(e.Valid);
    const int32_t n = e.FrameCount();
    ASSERT_GT(n, keys.back());
    for (int32_t f = 0; f < n; ++f) {
        SCOPED_TRACE("frame " + std::to_string(f));
        const auto atOrAfter = std::lower_bound(keys.begin(), keys.end(), f);
        const auto after = std::upper_bound(keys.begin(), keys.end(), f);
        const int32_t nearest = after == keys.begin() ? -1 : *std::prev(after);
        const int32_t previous = atOrAfter == keys.begin() ? -1 : *std::prev(atOrAfter);
        const int32_t next = after == keys.end() ? -1 : *after;
        EXPECT_EQ(e.NearestKeyFrame(f), nearest);
        EXPECT_EQ(e.PreviousKeyFrame(f), previous);
        EXPECT_EQ(e.NextKeyFrame(f), next);
    }
}

INSTANTIATE_TEST_SUITE_P(Producers, ExtractorOnSource, ::testing::ValuesIn(Sources()),
                         [](const auto& source) { return source.param.name; });

// ---------------------------------------------------------------------------------------------

TEST(AVIExtractor, FrameRateShownFromWholeMilliseconds) {
    SAMPLE_OR_SKIP(ntsc, Made("noaudio.avi", kFfmpegNoAudio));
    TAVIExtractor e;
    e.Open(ntsc.path);
    ASSERT_TRUE(e.Valid);
    EXPECT_FALSE(e.HasAudio);
    EXPECT_EQ(e.AudioStream, nullptr);
    EXPECT_EQ(Keys(e).size(), 7u);
    // 1001/30000 s is 33.37 ms, truncated to 33: the rate shown is 1000/33.
    EXPECT_EQ(e.FrameDuration(), 33);
    EXPECT_EQ(PropertyMap(e)["video_fps"], "30.30");

    // 2000 frames per second: below a whole millisecond, no frame duration at all.
    SAMPLE_OR_SKIP(fast, WithTiming(ntsc, "vids", 1, 2000));
    e.Open(fast.path);
    ASSERT_TRUE(e.Valid) << "a fast but well-formed stream must open";
    EXPECT_EQ(e.FrameDuration(), 0);
    const auto keys = Keys(e);
    EXPECT_EQ(keys.size(), 6u);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "video_fps"), 0);
    EXPECT_EQ(PropertyMap(e)["video_bitrate"], "0 Kbps");

    // A rate of 0 says nothing: the main header's frame duration stands in, as players take it.
    SAMPLE_OR_SKIP(rateless, WithTiming(ntsc, "vids", 1, 0));
    e.Open(rateless.path);
    ASSERT_TRUE(e.Valid);
    EXPECT_EQ(e.FrameDuration(), 33);
}

TEST(AVIExtractor, FormatLongerThan30BytesStillCountsAsAudio) {
    SAMPLE_OR_SKIP(pcm24, Made("pcm24.avi", kFfmpegPcm24));
    const std::string& file = pcm24.path;
    const std::vector<uint8_t> bytes = testmedia::ReadAll(file);
    const size_t wfx = StreamFormat(bytes, "auds");
    ASSERT_NE(wfx, 0u);
    ASSERT_GT(samplefiles::Get32(bytes, wfx - 4), 30u)
        << "ffmpeg no longer writes an extended format";
    const uint16_t tag = static_cast<uint16_t>(bytes[wfx] | (bytes[wfx + 1] << 8));

    TAVIExtractor e;
    e.Open(file);
    ASSERT_TRUE(e.Valid);
    EXPECT_TRUE(e.HasAudio);
    EXPECT_FALSE(e.IsMP3);
    const auto audio = ProbeStream(file, "a");
    auto p = PropertyMap(e);
    char code[16];
    std::snprintf(code, sizeof code, "0x%X", tag);
    EXPECT_EQ(p["audio_code"], code);
    EXPECT_EQ(p["audio_channels"], audio.at("channels"));
    EXPECT_EQ(p["audio_samples"], audio.at("sample_rate") + " Hz");
}

TEST(AVIExtractor, AudioTheServiceRefusesIsReadFromTheChunkIndex) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(original, samplefiles::FfmpegMpeg4CbrMp3());
    const size_t audioChunks = testmedia::ProbePackets(original.path, "a").size();
    ASSERT_GT(audioChunks, 0u);
    for (const auto& make :
         {samplefiles::UnreadableAudioSampleSize, samplefiles::UnreadableAudioZeroRate}) {
        SAMPLE_OR_SKIP(broken, make());
        SCOPED_TRACE(broken.path);
        TAVIExtractor e;
        e.Open(broken.path);
        ASSERT_TRUE(e.Valid);
        EXPECT_TRUE(e.HasAudio);
        EXPECT_TRUE(e.IsMP3);
        EXPECT_TRUE(e.AudioReadable);
        EXPECT_TRUE(e.UseChunkIndex);
        ASSERT_NE(e.Scanner, nullptr);
        EXPECT_TRUE(e.Scanner->IndexFound);
        EXPECT_EQ(e.Scanner->Chunks.size(), audioChunks);
    }

    // The same damage with the audio as stream 0: its chunks are not "01wb".
    SAMPLE_OR_SKIP(first, Made("audiofirst.avi", kFfmpegAudioFirst));
    SAMPLE_OR_SKIP(brokenFirst, WithTiming(first, "auds", 0, 44100));
    TAVIExtractor e;
    e.Open(brokenFirst.path);
    ASSERT_TRUE(e.Valid);
    EXPECT_TRUE(e.HasAudio);
    EXPECT_FALSE(e.AudioReadable);
    EXPECT_FALSE(e.UseChunkIndex);
    const auto keys = Keys(e);
    EXPECT_NE(std::find(keys.begin(), keys.end(), "audio_code"), keys.end());
}

TEST(AVIExtractor, OpenReleasesTheEarlierFileAndCloseEmptiesTheExtractor) {
    SAMPLE_OR_SKIP(sampleA, Made("mp3.avi", kFfmpegMp3));
    SAMPLE_OR_SKIP(sampleB, Made("noaudio.avi", kFfmpegNoAudio));
    const std::string &a = sampleA.path, &b = sampleB.path;
    TAVIExtractor e;
    e.Open(a);
    ASSERT_TRUE(e.Valid);
    EXPECT_TRUE(e.HasAudio);
    e.Open(b);
    EXPECT_EQ(DescriptorsOn(a), 0);
    EXPECT_EQ(e.FileName, b);
    EXPECT_TRUE(e.Valid);
    EXPECT_FALSE(e.HasAudio) << "flags of the earlier file must not survive";
    EXPECT_EQ(PropertyMap(e)["file_name"], b);

    e.Close();
    EXPECT_EQ(DescriptorsOn(b), 0);
    EXPECT_FALSE(e.Valid);
    EXPECT_FALSE(e.Opened);
    EXPECT_EQ(e.FrameCount(), -1);
    EXPECT_EQ(e.FrameWidth(), 0);
    EXPECT_EQ(e.FrameHeight(), 0);
    EXPECT_EQ(e.FrameDuration(), 0);
    EXPECT_EQ(e.NearestKeyFrame(0), -1);
    EXPECT_EQ(e.NextKeyFrame(0), -1);
    EXPECT_EQ(e.FileName, b) << "the name stays until the next Open";
    e.GetProperties(nullptr);
    e.Close(); // twice is harmless

    // A file with no video opens but is not valid; the next Open releases it.
    SAMPLE_OR_SKIP(sampleC, Made("audioonly.avi", kFfmpegAudioOnly));
    const std::string& audioOnly = sampleC.path;
    e.Open(audioOnly);
    EXPECT_TRUE(e.Opened);
    EXPECT_FALSE(e.Valid);
    EXPECT_EQ(e.FrameCount(), -1);
    e.Open(a);
    EXPECT_EQ(DescriptorsOn(audioOnly), 0);
    EXPECT_TRUE(e.Valid);
}

TEST(AVIExtractor, FileThatCannotBeOpenedRaisesAndLeavesItEmpty) {
    SAMPLE_OR_SKIP(sample, Made("mp3.avi", kFfmpegMp3));
    const std::string& a = sample.path;
    TAVIExtractor e;
    e.Open(a);
    ASSERT_TRUE(e.Valid);
    for (const std::string& bad : {testmedia::TempDir() + "/missing.avi", testmedia::TempDir()}) {
        SCOPED_TRACE(bad);
        try {
            e.Open(bad);
            ADD_FAILURE() << "no error raised";
        } catch (const EAssertionFailed& error) {
            EXPECT_TRUE(IsOpenFailure(error.what())) << error.what();
        }
        EXPECT_FALSE(e.Opened);
        EXPECT_FALSE(e.Valid);
        EXPECT_EQ(e.FrameCount(), -1);
        EXPECT_EQ(DescriptorsOn(a), 0);
    }
}

TEST(AVIExtractor, DamagedFilesNeverCrash) {
    SAMPLE_OR_SKIP(sample, Made("mp3.avi", kFfmpegMp3));
    const std::vector<uint8_t> good = testmedia::ReadAll(sample.path);
    ASSERT_GT(good.size(), 4096u);
    const std::string dir = testmedia::TempDir();
    std::mt19937 random(20240611);
    std::vector<std::string> files;
    auto add = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        testmedia::WriteAll(dir + "/" + name, bytes);
        files.push_back(dir + "/" + name);
    };

    add("empty.avi", {});
    std::vector<uint8_t> noise(5000);
    for (auto& b : noise)
        b = static_cast<uint8_t>(random());
    add("noise.avi", noise);
    std::vector<uint8_t> riffNoise(good.begin(), good.begin() + 12);
    riffNoise.insert(riffNoise.end(), noise.begin(), noise.end());
    add("riffnoise.avi", riffNoise);
    for (const size_t cut : {size_t{11}, size_t{12}, size_t{100}, size_t{2000}, good.size() / 2,
                             good.size() - 300, good.size() - 1})
        add("cut" + std::to_string(cut) + ".avi",
            std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(cut)));
    // Headers and index entries with damaged sizes, counts and offsets.
    for (int i = 0; i < 40; ++i) {
        std::vector<uint8_t> damaged = good;
        const size_t at = i < 20 ? random() % 0x1200 : good.size() - 1 - random() % 2000;
        damaged[at] ^= static_cast<uint8_t>(1u << (random() % 8));
        damaged[at & ~size_t{3}] = 0xFF;
        add("flip" + std::to_string(i) + ".avi", damaged);
    }
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        ExerciseWithoutCrash(f);
    }
}

} // namespace

namespace {

// ffprobe's picture types of the video frames, in the order their packets lie in the file.
std::vector<std::string> ProbedPictureTypes(const std::string& file) {
    std::vector<std::string> types;
    for (const auto& [pos, type] : testmedia::ProbePictureTypes(file))
        types.push_back(type);
    return types;
}

} // namespace

TEST(AVIExtractor, PictureTypesAgreeWithFfprobeAndTheCutPlanWithTheCut) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    for (const char* codec : {"mpeg4", "libx264", "mpeg2video"}) {
        SCOPED_TRACE(codec);
        std::string why;
        const std::string file =
            Make(std::string("ptype-") + codec + ".avi",
                 "ffmpeg -v error -y -f lavfi -i testsrc2=size=96x64:rate=25:duration=3 "
                 "-f lavfi -i sine=duration=3 -c:v " +
                     std::string(codec) + " -bf 2 -g 25 -c:a libmp3lame -f avi {out}",
                 &why);
        if (file.empty()) {
            ADD_FAILURE() << why;
            continue;
        }
        TAVIExtractor x;
        x.Open(file);
        std::vector<std::string> ours;
        bool sawB = false;
        for (int32_t f = 0; f < x.FrameCount(); ++f) {
            const TFrameFacts facts = x.DescribeFrame(f);
            EXPECT_EQ(facts.Key, x.NearestKeyFrame(f) == f) << f;
            if (facts.Picture == TPictureType::Empty)
                continue;
            ours.push_back(PictureTypeText(facts.Picture));
            sawB = sawB || facts.Picture == TPictureType::B;
        }
        EXPECT_TRUE(sawB);
        EXPECT_EQ(ours, ProbedPictureTypes(file));

        // The plan's first frame and size are the cut's.
        const TCutPlan plan = x.PlanCut(30, 60);
        EXPECT_EQ(plan.FirstFrame, x.CutStartFrame(30));
        EXPECT_EQ(plan.DurationMs, (60 - plan.FirstFrame + 1) * 40);
        const std::string out = testmedia::TempDir() + "/plan-" + codec + ".avi";
        x.CreateOutput(out);
        x.SaveRange(30, 60);
        const double real = static_cast<double>(testmedia::FileSizeOf(out));
        EXPECT_NEAR(static_cast<double>(plan.Bytes), real, real * 0.05);
    }
}
