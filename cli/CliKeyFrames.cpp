// CliKeyFrames: "clipvane-cli keyframes FILE", the key frames of a source's video, from 0.
#include "cli/CliCommands.h"

#include "engine/jobs/U_AVIExtractor.h"

#include <iostream>

namespace cli {

int RunKeyFrames(const std::vector<std::string>& Args) {
    std::string file;
    if (int exitCode = ExitOk; !ParseFileArg("keyframes", Args, &file, &exitCode))
        return exitCode;

    TAVIExtractor engine;
    if (!LoadSource(engine, file))
        return ExitFailed;
    // The same search the window's "Next Key Frame" makes; it must move forward to go on.
    const int32_t count = engine.FrameCount();
    for (int32_t k = engine.NextKeyFrame(-1), last = -1; k > last && k < count;
         last = k, k = engine.NextKeyFrame(k))
        std::cout << k << '\n';
    return std::cout.flush() ? ExitOk : ExitFailed;
}

} // namespace cli
