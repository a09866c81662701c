// CliExtractAudio: "clipvane-cli extract-audio FILE -o OUT.mp3", the MP3 track as a raw MP3 file.
#include "cli/CliCommands.h"

#include "engine/jobs/U_AVIExtractor.h"

#include <cstdio>
#include <exception>

namespace cli {

namespace {

const std::vector<TOption> ExtractAudioOptions = {
    {"output", 'o', true},
    {"force", 0, false},
    {"quiet", 'q', false},
};

// The engine writes nothing at all for other audio, so it is refused here with the reason.
bool CheckMp3Audio(const TAVIExtractor& Engine) {
    if (!Engine.HasAudio) {
        PrintError(Engine.FileName + ": has no audio track");
        return false;
    }
    if (!Engine.IsMP3) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%X", unsigned{Engine.AudioFormat.wfx.wFormatTag});
        PrintError(Engine.FileName + ": the audio is not MP3 (format code " + code +
                   "); only MP3 audio can be extracted");
        return false;
    }
    if (!Engine.AudioReadable) {
        PrintError(Engine.FileName + ": the MP3 audio cannot be read");
        return false;
    }
    return true;
}

} // namespace

int RunExtractAudio(const std::vector<std::string>& Args) {
    TParsedArgs a;
    if (int exitCode = ExitOk;
        !ParseArgs("extract-audio", Args, ExtractAudioOptions, 1, &a, &exitCode))
        return exitCode;
    if (!a.Has("output"))
        return UsageError("extract-audio", "missing --output");
    const std::string& file = a.Files[0];
    const std::string& output = a.Values["output"];
    if (output.empty())
        return UsageError("extract-audio", "the output name is empty");

    TProgressBar bar(a.Has("quiet"));
    TAVIExtractor engine;
    if (!LoadSource(engine, file) || !CheckMp3Audio(engine) ||
        !PrepareOutput(file, output, a.Has("force")))
        return ExitFailed;

    return RunOutputJob(engine, bar, output, [&] { engine.ExtractAudio(output); });
}

} // namespace cli
