// CliKeyFrames: "clipvane-cli keyframes FILE [--json]", the key frames of a source's video, from 0.
#include "cli/CliCommands.h"
#include "cli/CliJson.h"

#include "engine/jobs/U_AVIExtractor.h"

#include <iostream>

namespace cli {

int RunKeyFrames(const std::vector<std::string>& Args) {
    TParsedArgs parsed;
    if (int exitCode = ExitOk;
        !ParseArgs("keyframes", Args, {{"json", 0, false}}, 1, &parsed, &exitCode))
        return exitCode;
    const std::string& file = parsed.Files[0];

    TAVIExtractor engine;
    if (!LoadSource(engine, file))
        return ExitFailed;
    const bool json = parsed.Has("json");
    if (json)
        std::cout << "{\"file\": " << JsonString(file) << ", \"key_frames\": [";
    // The same search the window's "Next Key Frame" makes; it must move forward to go on.
    const int32_t count = engine.FrameCount();
    const char* separator = "";
    for (int32_t k = engine.NextKeyFrame(-1), last = -1; k > last && k < count;
         last = k, k = engine.NextKeyFrame(k)) {
        if (json) {
            std::cout << separator << k;
            separator = ", ";
        } else {
            std::cout << k << '\n';
        }
    }
    if (json)
        std::cout << "]}\n";
    return std::cout.flush() ? ExitOk : ExitFailed;
}

} // namespace cli
