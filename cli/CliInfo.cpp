// CliInfo: "clipvane-cli info FILE [--json]", the property list of a source and its audio flags.
#include "cli/CliCommands.h"
#include "cli/CliJson.h"

#include "engine/jobs/U_AVIExtractor.h"

#include <algorithm>
#include <iostream>

namespace cli {
namespace {

void PrintJson(const TAVIExtractor& Engine, const std::string& File,
               const std::vector<std::string>& Properties) {
    std::cout << "{\"file\": " << JsonString(File) << ",\n \"properties\": {";
    const char* separator = "";
    for (const std::string& line : Properties) {
        const size_t eq = line.find('=');
        std::cout << separator << JsonString(line.substr(0, eq)) << ": "
                  << JsonString(eq == std::string::npos ? std::string() : line.substr(eq + 1));
        separator = ", ";
    }
    const int32_t frames = Engine.FrameCount();
    std::cout << "},\n \"frames\": " << frames << ", \"width\": " << Engine.FrameWidth()
              << ", \"height\": " << Engine.FrameHeight()
              << ", \"duration_ms\": " << std::max<int64_t>(Engine.FrameTimeMs(frames), 0)
              << ", \"key_frames\": " << Engine.KeyFrames().size()
              << ",\n \"video_code\": " << JsonString(Engine.VideoCode)
              << ", \"video_decodable\": " << JsonBool(Engine.VideoDecodable)
              << ",\n \"has_audio\": " << JsonBool(Engine.HasAudio)
              << ", \"audio_readable\": " << JsonBool(Engine.AudioReadable)
              << ", \"use_chunk_index\": " << JsonBool(Engine.UseChunkIndex)
              << ", \"is_mp3\": " << JsonBool(Engine.IsMP3) << "}\n";
}

} // namespace

int RunInfo(const std::vector<std::string>& Args) {
    TParsedArgs parsed;
    if (int exitCode = ExitOk;
        !ParseArgs("info", Args, {{"json", 0, false}}, 1, &parsed, &exitCode))
        return exitCode;
    const std::string& file = parsed.Files[0];

    TAVIExtractor engine;
    if (!LoadSource(engine, file))
        return ExitFailed;
    std::vector<std::string> properties;
    engine.GetProperties(&properties);
    if (parsed.Has("json")) {
        PrintJson(engine, file, properties);
        return std::cout.flush() ? ExitOk : ExitFailed;
    }
    for (const std::string& line : properties)
        std::cout << line << '\n';
    std::cout << "HasAudio=" << int{engine.HasAudio} << '\n'
              << "AudioReadable=" << int{engine.AudioReadable} << '\n'
              << "UseChunkIndex=" << int{engine.UseChunkIndex} << '\n'
              << "IsMP3=" << int{engine.IsMP3} << '\n';
    return std::cout.flush() ? ExitOk : ExitFailed;
}

} // namespace cli
