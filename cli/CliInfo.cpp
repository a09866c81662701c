// CliInfo: "clipvane-cli info FILE", the property list of a source and its audio flags.
#include "cli/CliCommands.h"

#include "engine/jobs/U_AVIExtractor.h"

#include <iostream>

namespace cli {

int RunInfo(const std::vector<std::string>& Args) {
    std::string file;
    if (int exitCode = ExitOk; !ParseFileArg("info", Args, &file, &exitCode))
        return exitCode;

    TAVIExtractor engine;
    if (!LoadSource(engine, file))
        return ExitFailed;
    std::vector<std::string> properties;
    engine.GetProperties(&properties);
    for (const std::string& line : properties)
        std::cout << line << '\n';
    std::cout << "HasAudio=" << int{engine.HasAudio} << '\n'
              << "AudioReadable=" << int{engine.AudioReadable} << '\n'
              << "UseChunkIndex=" << int{engine.UseChunkIndex} << '\n'
              << "IsMP3=" << int{engine.IsMP3} << '\n';
    return std::cout.flush() ? ExitOk : ExitFailed;
}

} // namespace cli
