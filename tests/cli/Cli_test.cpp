// Cli_test: the clipvane-cli program run on real files, its output checked against ffprobe.
#include "tests/common/ProbeFacts.h"
#include "tests/common/SampleFiles.h"
#include "tests/common/TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <tuple>

using testmedia::Quote;
using testmedia::RunResult;

namespace {

const std::string kMp3Avi =
    "ffmpeg -v error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=3 "
    "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=3 -map 0:v -map 1:a "
    "-c:v mpeg4 -vtag divx -g 12 -c:a libmp3lame -b:a 64k -ac 2 -f avi {out}";
const std::string kAudioOnlyAvi =
    "ffmpeg -v error -y -f lavfi -i sine=duration=1 -c:a libmp3lame -f avi {out}";

RunResult Cli(const std::string& args) {
    return testmedia::Run(Quote(CLIPVANE_CLI) + " " + args);
}

std::string MakeMedia(const std::string& name, const std::string& command) {
    std::string why;
    const std::string path = testmedia::Make(name, command, &why);
    EXPECT_FALSE(path.empty()) << why;
    return path;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// One video packet as "ffmpeg -c copy -f framemd5" sees it: decoding time (the frame's place,
// as AVI has one time base tick per frame), size and MD5 of the data.
using Packet = std::tuple<int64_t, int64_t, std::string>;

std::vector<Packet> VideoPackets(const std::string& file) {
    const RunResult r = testmedia::Run("ffmpeg -nostdin -v error -i " + Quote(file) +
                                       " -map 0:v -c copy -f framemd5 -");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<Packet> packets;
    for (const std::string& line : Lines(r.out)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');)
            f.push_back(field.substr(field.find_first_not_of(' ')));
        if (f.size() == 6)
            packets.emplace_back(std::stoll(f[1]), std::stoll(f[4]), f[5]);
    }
    return packets;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

int32_t FrameCountOf(const std::string& file) {
    const auto video = testmedia::ProbeStream(file, "v");
    return video.count("nb_frames") ? std::stoi(video.at("nb_frames")) : -1;
}

TEST(CliInfo, PrintsThePropertiesAndAudioFlags) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    const std::string file = MakeMedia("mp3.avi", kMp3Avi);
    ASSERT_FALSE(file.empty());
    const RunResult r = Cli("info " + Quote(file));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");

    std::vector<std::string> keys;
    std::map<std::string, std::string> values;
    for (const std::string& line : Lines(r.out)) {
        const size_t eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << line;
        keys.push_back(line.substr(0, eq));
        values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    const std::vector<std::string> expected = {
        "file_size",    "file_name", "video_resolution", "video_nbframes", "video_bitrate",
        "video_fourcc", "video_fps", "audio_channels",   "audio_samples",  "audio_bitrate",
        "audio_code",   "HasAudio",  "AudioReadable",    "UseChunkIndex",  "IsMP3"};
    EXPECT_EQ(keys, expected);

    const auto video = testmedia::ProbeStream(file, "v");
    const auto audio = testmedia::ProbeStream(file, "a");
    ASSERT_FALSE(video.empty());
    ASSERT_FALSE(audio.empty());
    EXPECT_EQ(values["file_name"], file);
    EXPECT_EQ(values["video_nbframes"], video.at("nb_frames"));
    EXPECT_EQ(values["video_resolution"], video.at("width") + "x" + video.at("height"));
    EXPECT_EQ(values["video_fourcc"], "DIVX"); // stored lower-case, shown upper-case
    EXPECT_EQ(values["audio_samples"], audio.at("sample_rate") + " Hz");
    EXPECT_EQ(values["audio_code"], "0x55");
    EXPECT_EQ(values["HasAudio"], "1");
    EXPECT_EQ(values["AudioReadable"], "1");
    EXPECT_EQ(values["UseChunkIndex"], "0");
    EXPECT_EQ(values["IsMP3"], "1");
}

TEST(CliKeyFrames, ListsTheKeyFramesFfprobeFinds) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    const std::string file = MakeMedia("mp3.avi", kMp3Avi);
    ASSERT_FALSE(file.empty());
    const RunResult r = Cli("keyframes " + Quote(file));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<int32_t> listed;
    for (const std::string& line : Lines(r.out))
        listed.push_back(std::stoi(line));
    const std::vector<int32_t> keys = testmedia::ProbeKeyFrames(file);
    EXPECT_GT(keys.size(), 1u);
    EXPECT_EQ(listed, keys);
}

TEST(CliJson, InfoAndKeyFramesAreJsonThatAgreesWithFfprobe) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    REQUIRE_TOOL("python3", "python3");
    const std::string source = MakeMedia("mp3.avi", kMp3Avi);
    ASSERT_FALSE(source.empty());
    // A name with a quote, a backslash and a byte that is no UTF-8 must still give valid JSON.
    const std::string file = testmedia::TempDir() + "/a\"b\\c\xff.avi";
    std::filesystem::copy_file(source, file, std::filesystem::copy_options::overwrite_existing);
    // Python's own JSON reader reads the output and prints what it found.
    const auto read = [](const std::string& Command, const std::string& Expression) {
        return testmedia::Run(
            Quote(CLIPVANE_CLI) + " " + Command + " | python3 -c " +
            Quote("import json, sys; d = json.load(sys.stdin); print(" + Expression + ")"));
    };
    const RunResult info =
        read("info --json " + Quote(file), "d['frames'], d['width'], d['height'], d['is_mp3'], "
                                           "d['has_audio'], d['properties']['video_fourcc'], "
                                           "d['key_frames'], d['file'].endswith('\ufffd.avi')");
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const auto video = testmedia::ProbeStream(source, "v");
    const std::vector<int32_t> keys = testmedia::ProbeKeyFrames(source);
    EXPECT_EQ(info.out, video.at("nb_frames") + " " + video.at("width") + " " + video.at("height") +
                            " True True DIVX " + std::to_string(keys.size()) + " True\n");

    const RunResult listed = read("keyframes --json " + Quote(file), "d['key_frames']");
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    std::string expected = "[";
    for (size_t i = 0; i < keys.size(); ++i)
        expected += (i ? ", " : "") + std::to_string(keys[i]);
    EXPECT_EQ(listed.out, expected + "]\n");
}

TEST(CliCut, CopiesThePacketsFromTheKeyFrameAtOrBeforeFromUpToTo) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    SAMPLE_OR_SKIP(source, samplefiles::FfmpegMpeg4CbrMp3());
    const std::vector<int32_t> keys = testmedia::ProbeKeyFrames(source.path);
    ASSERT_GE(keys.size(), 3u);
    // From lies between two key frames, so the cut has to start at the earlier one.
    const int32_t from = keys[1] + 3;
    ASSERT_LT(from, keys[2]);
    const int32_t to = keys[2] + 5;
    const std::string out = testmedia::TempDir() + "/cut.avi";

    const RunResult r = Cli("cut " + Quote(source.path) + " --from " + std::to_string(from) +
                            " --to " + std::to_string(to) + " -o " + Quote(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, ""); // no progress bar when stderr is not a terminal
    EXPECT_EQ(r.out, "first frame " + std::to_string(keys[1]) + " (the key frame at or before " +
                         std::to_string(from) + "), last frame " + std::to_string(to) + "\n");

    std::vector<Packet> expected;
    for (const Packet& p : VideoPackets(source.path))
        if (std::get<0>(p) >= keys[1] && std::get<0>(p) <= to)
            expected.emplace_back(std::get<0>(p) - keys[1], std::get<1>(p), std::get<2>(p));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(VideoPackets(out), expected);
    EXPECT_EQ(FrameCountOf(out), to - keys[1] + 1);
    EXPECT_EQ(testmedia::ProbeKeyFrames(out).front(), 0);
}

TEST(CliCut, RefusesTheSourceAndReplacesAnExistingFileOnlyWithForce) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(sample, samplefiles::FfmpegMpeg4CbrMp3());
    const std::string dir = testmedia::TempDir() + "/refuse";
    std::filesystem::create_directories(dir + "/sub");
    const std::string source = dir + "/Clip.avi";
    const std::vector<uint8_t> sourceBytes = testmedia::ReadAll(sample.path);
    testmedia::WriteAll(source, sourceBytes);
    const std::string range = " --from 0 --to 10 ";

    for (const std::string& same :
         {dir + "/CLIP.AVI", dir + "/sub/../clip.Avi", dir + "/./Clip.avi"}) {
        SCOPED_TRACE(same);
        for (const char* force : {"", " --force"}) {
            const RunResult r = Cli("cut " + Quote(source) + range + "-o " + Quote(same) + force);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_NE(r.err.find("File name must be different"), std::string::npos) << r.err;
        }
    }
    EXPECT_EQ(testmedia::ReadAll(source), sourceBytes);

    const std::string out = dir + "/out.avi";
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    testmedia::WriteAll(out, old);
    RunResult r = Cli("cut " + Quote(source) + range + "-o " + Quote(out));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("already exists"), std::string::npos) << r.err;
    EXPECT_EQ(testmedia::ReadAll(out), old);

    r = Cli("cut " + Quote(source) + range + "--force -o " + Quote(out));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FrameCountOf(out), 11);
}

TEST(CliCut, FailuresExitWith1AndTheEnginesMessage) {
    REQUIRE_TOOL("ffprobe", "ffmpeg");
    SAMPLE_OR_SKIP(source, samplefiles::FfmpegMpeg4CbrMp3());
    const std::string dir = testmedia::TempDir();
    const std::string cut = "cut " + Quote(source.path) + " --from 0 --to 20 ";

    const std::string missing = dir + "/no such folder/out.avi";
    RunResult r = Cli(cut + "-o " + Quote(missing));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("FileOpen failed. Err: $8004406F"), std::string::npos) << r.err;

    if (Exists("/dev/full")) {
        // An existing output needs --force; a device is written to, never removed.
        r = Cli(cut + "--force -o /dev/full");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("failed. Err: $8004406E"), std::string::npos) << r.err;
        EXPECT_TRUE(Exists("/dev/full"));
    }

    // A write that fails halfway (the file size limit) leaves no output that looks like a cut.
    const std::string limited = dir + "/limited.avi";
    r = testmedia::Run("ulimit -f 16 && trap '' XFSZ && " + Quote(CLIPVANE_CLI) + " " + cut +
                       "-o " + Quote(limited));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("StreamWrite failed. Err: $8004406E"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(limited));

    const int32_t frames = FrameCountOf(source.path);
    ASSERT_GT(frames, 0);
    r = Cli("cut " + Quote(source.path) + " --from 0 --to " + std::to_string(frames) + " -o " +
            Quote(dir + "/past.avi"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("past the last frame"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(dir + "/past.avi"));
}

TEST(CliCut, ProgressBarOnATerminalUnlessQuiet) {
    REQUIRE_TOOL("script", "bsdutils");
    SAMPLE_OR_SKIP(source, samplefiles::FfmpegMpeg4CbrMp3());
    const std::string dir = testmedia::TempDir();
    for (const bool quiet : {false, true}) {
        SCOPED_TRACE(quiet);
        const std::string out = dir + (quiet ? "/quiet.avi" : "/bar.avi");
        const std::string command = Quote(CLIPVANE_CLI) + " cut " + Quote(source.path) +
                                    " --from 0 --to 60 -o " + Quote(out) +
                                    (quiet ? " --quiet" : "");
        // script gives the program a terminal and copies what it writes there to stdout.
        const RunResult r = testmedia::Run("script -qec " + Quote(command) + " /dev/null");
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(r.out.find("100%") != std::string::npos, !quiet) << r.out;
        EXPECT_EQ(r.out.find('%') != std::string::npos, !quiet) << r.out;
    }
}

TEST(CliExtractAudio, WritesTheMp3PacketsAndRefusesOtherAudio) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    SAMPLE_OR_SKIP(mp3, samplefiles::FfmpegMpeg4CbrMp3());
    SAMPLE_OR_SKIP(pcm, samplefiles::FfmpegMsmpeg4v2Pcm());
    const std::string dir = testmedia::TempDir();

    const std::string out = dir + "/track.mp3";
    RunResult r = Cli("extract-audio " + Quote(mp3.path) + " -o " + Quote(out));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // The "data" muxer writes the packets as they are, with nothing around them.
    const std::string reference = dir + "/reference.mp3";
    ASSERT_EQ(testmedia::Run("ffmpeg -nostdin -v error -i " + Quote(mp3.path) +
                             " -map 0:a -c copy -f data " + Quote(reference))
                  .exitCode,
              0);
    const std::vector<uint8_t> written = testmedia::ReadAll(out);
    EXPECT_FALSE(written.empty());
    EXPECT_TRUE(written == testmedia::ReadAll(reference));

    const std::string refused = dir + "/pcm.mp3";
    r = Cli("extract-audio " + Quote(pcm.path) + " -o " + Quote(refused));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("not MP3"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(refused));
}

TEST(CliGrab, WritesTheFrameAsBmpOrJpegByExtension) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    SAMPLE_OR_SKIP(source, samplefiles::FfmpegMpeg4CbrMp3());
    const std::string dir = testmedia::TempDir();
    const std::vector<int32_t> keys = testmedia::ProbeKeyFrames(source.path);
    ASSERT_GE(keys.size(), 2u);
    const int32_t frame = keys[1] + 4; // needs the frames since the key frame decoded first
    const int w = 160;
    const int h = 120;

    const std::string bmp = dir + "/shot.bmp";
    RunResult r = Cli("grab " + Quote(source.path) + " --frame " + std::to_string(frame) + " -o " +
                      Quote(bmp));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<uint8_t> file = testmedia::ReadAll(bmp);
    ASSERT_EQ(file.size(), 54u + size_t{w} * h * 4);

    // ffmpeg's pictures of the frame and its neighbours, top row first: the grab must be
    // closest to the frame asked for.
    const std::string raw = dir + "/frames.bgra";
    ASSERT_EQ(testmedia::Run("ffmpeg -nostdin -v error -i " + Quote(source.path) +
                             " -vf \"select='between(pts\\," + std::to_string(frame - 1) + "\\," +
                             std::to_string(frame + 1) +
                             ")'\" -fps_mode passthrough -f rawvideo -pix_fmt bgra " + Quote(raw))
                  .exitCode,
              0);
    const std::vector<uint8_t> frames = testmedia::ReadAll(raw);
    const size_t size = size_t{w} * h * 4;
    ASSERT_EQ(frames.size(), 3 * size);
    double distance[3] = {};
    for (size_t k = 0; k < 3; ++k) {
        for (size_t i = 0; i < size; ++i)
            if (i % 4 != 3)
                distance[k] += std::abs(int{file[54 + i]} - int{frames[k * size + i]});
        distance[k] /= static_cast<double>(size) * 3 / 4;
    }
    EXPECT_LT(distance[1], distance[0]);
    EXPECT_LT(distance[1], distance[2]);
    EXPECT_LT(distance[1], 2.0);

    const std::string jpeg = dir + "/shot.JPG";
    r = Cli("grab " + Quote(source.path) + " --frame " + std::to_string(frame) + " -o " +
            Quote(jpeg));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    if (testmedia::HaveTool("djpeg")) {
        const RunResult d = testmedia::Run("djpeg " + Quote(jpeg));
        EXPECT_EQ(d.exitCode, 0) << d.err;
        EXPECT_EQ(d.out.rfind("P6\n160 120\n255\n", 0), 0u);
    } else {
        ADD_FAILURE() << "djpeg not found; install the Debian package libjpeg-turbo-progs";
    }

    const std::string png = dir + "/shot.png";
    r = Cli("grab " + Quote(source.path) + " --frame " + std::to_string(frame) + " -o " +
            Quote(png));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(".bmp"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(png));

    r = Cli("grab " + Quote(source.path) + " --frame " + std::to_string(FrameCountOf(source.path)) +
            " -o " + Quote(dir + "/past.bmp"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(Exists(dir + "/past.bmp"));
}

TEST(CliErrors, UnusableFilesExitWith1) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    const std::string dir = testmedia::TempDir();

    // The engine's message, then the cause in the system's words.
    RunResult r = Cli("info " + Quote(dir + "/missing.avi"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(std::regex_search(
        r.err, std::regex(R"(FileOpen failed\. Err: \$8004406F \(No such file or directory\)\n)")))
        << r.err;
    EXPECT_EQ(r.out, "");
    r = Cli("cut " + Quote(dir) + " --from 0 --to 1 -o " + Quote(dir + "/out.avi"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("$8004406F (Is a directory)"), std::string::npos) << r.err;

    testmedia::WriteAll(dir + "/garbage.avi", std::vector<uint8_t>(3000, 0x5A));
    r = Cli("keyframes " + Quote(dir + "/garbage.avi"));
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.err, "");

    const std::string audioOnly = MakeMedia("audioonly.avi", kAudioOnlyAvi);
    ASSERT_FALSE(audioOnly.empty());
    r = Cli("info " + Quote(audioOnly));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("video"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(CliErrors, FilesOf2GiBAndMoreReachTheEngine) {
    REQUIRE_TOOL("truncate", "coreutils");
    const std::string dir = testmedia::TempDir();
    const std::string big = dir + "/big.avi";
    // Sparse: no disk space is used. Zeros are no AVI file, which the engine says, not a size.
    ASSERT_EQ(testmedia::Run("truncate -s 5G " + Quote(big)).exitCode, 0);
    const RunResult r = Cli("info " + Quote(big));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.find("too big"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("FileOpen failed. Err: $80044066"), std::string::npos) << r.err;
}

TEST(CliUsage, BadUsageExitsWith2) {
    const std::string dir = testmedia::TempDir();
    for (const std::string& args :
         {std::string(), std::string("frobnicate x.avi"), std::string("--frobnicate"),
          std::string("info"), std::string("info a.avi b.avi"), std::string("keyframes --bogus x"),
          std::string("help nonsense"), std::string("cut x.avi --from 5 --to 4 -o y.avi"),
          std::string("cut x.avi --from -1 --to 4 -o y.avi"),
          std::string("cut x.avi --to 4 -o y.avi"), std::string("cut x.avi --from 1 --to 4"),
          std::string("cut x.avi --from 1 --to 4 -o"), std::string("extract-audio x.avi"),
          std::string("grab x.avi --frame 1x -o y.bmp"),
          std::string("grab x.avi --frame 1 -o y.png")}) {
        SCOPED_TRACE(args);
        const RunResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(CliUsage, HelpAndVersion) {
    RunResult r = Cli("--help");
    EXPECT_EQ(r.exitCode, 0);
    for (const char* command : {"info", "keyframes", "cut", "extract-audio", "grab"})
        EXPECT_NE(r.out.find(std::string("  ") + command + " "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("count from 0"), std::string::npos) << r.out;

    for (const char* command : {"info", "keyframes", "cut", "extract-audio", "grab"}) {
        SCOPED_TRACE(command);
        const std::string usage = std::string("Usage: clipvane-cli ") + command + " FILE";
        r = Cli(std::string(command) + " --help");
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind(usage, 0), 0u) << r.out;
        // Help wins over a file that does not exist.
        EXPECT_EQ(Cli(std::string(command) + " -h /nonexistent.avi").exitCode, 0);
        EXPECT_EQ(Cli(std::string("help ") + command).out, r.out);
    }
    for (const char* command : {"cut", "grab"})
        EXPECT_NE(Cli(std::string(command) + " --help").out.find("Frame numbers count from 0"),
                  std::string::npos)
            << command;

    r = Cli("--version");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(std::regex_match(r.out, std::regex(R"(clipvane-cli \d+\.\d+\.\d+\.\d+\n)")))
        << r.out;
}

} // namespace

TEST(CliErrors, AFullDiskNamesItsCause) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    const std::string source = MakeMedia("cli-mp3.avi", kMp3Avi);
    ASSERT_FALSE(source.empty());
    // /dev/full takes no byte: every write fails as on a full disk.
    const RunResult r = Cli("cut " + Quote(source) + " --from 0 --to 20 -o /dev/full --force");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Err: $8004406E (No space left on device)"), std::string::npos) << r.err;
}

// A cut long enough to be interrupted: each signal stops it, the partial output goes and the
// status is the conventional one.
TEST(CliSignals, InterruptedCutsRemoveTheirOutput) {
    REQUIRE_TOOL("ffmpeg", "ffmpeg");
    const std::string dir = testmedia::TempDir();
    if (testmedia::FreeSpace(dir) < (3ull << 30))
        GTEST_SKIP() << "less than 3 GiB free in " << dir;
    const std::string source = MakeMedia(
        "cli-raw-long.avi", "ffmpeg -v error -y -f lavfi -i testsrc=size=1280x720:rate=25 "
                            "-frames:v 250 -c:v rawvideo -pix_fmt bgr24 -f avi {out}");
    ASSERT_FALSE(source.empty());
    for (const auto& [signal, status] : {std::pair{"INT", 130}, {"TERM", 143}, {"HUP", 129}}) {
        const std::string out = dir + "/interrupted-" + signal + ".avi";
        // The signal goes once the output is growing, so that it lands inside the cut.
        const RunResult r = testmedia::Run(
            Quote(CLIPVANE_CLI) + " cut " + Quote(source) + " --from 0 --to 249 -o " + Quote(out) +
            " & pid=$!; for i in $(seq 1000); do [ \"$(stat -c %s " + Quote(out) +
            " 2>/dev/null || echo 0)\" -gt 8000000 ] && break; sleep 0.005; done; kill -" + signal +
            " $pid; wait $pid");
        EXPECT_EQ(r.exitCode, status) << signal << ": " << r.err;
        EXPECT_NE(r.err.find("stopped by SIG" + std::string(signal)), std::string::npos) << r.err;
        EXPECT_FALSE(Exists(out)) << signal;
    }
}
