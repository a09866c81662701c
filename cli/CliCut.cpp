// CliCut: "clipvane-cli cut FILE --from F --to L -o OUT", the lossless cut of a frame range.
#include "cli/CliCommands.h"

#include "engine/jobs/U_AVIExtractor.h"

#include <exception>
#include <iostream>
#include <string>

namespace cli {

namespace {

const std::vector<TOption> CutOptions = {
    {"from", 0, true},   {"to", 0, true},       {"output", 'o', true},
    {"force", 0, false}, {"quiet", 'q', false},
};

} // namespace

int RunCut(const std::vector<std::string>& Args) {
    TParsedArgs a;
    if (int exitCode = ExitOk; !ParseArgs("cut", Args, CutOptions, 1, &a, &exitCode))
        return exitCode;
    for (const char* required : {"from", "to", "output"})
        if (!a.Has(required))
            return UsageError("cut", std::string("missing --") + required);
    int32_t first = 0;
    int32_t last = 0;
    if (!ParseFrameNumber(a.Values["from"], &first))
        return UsageError("cut",
                          "--from needs a frame number from 0, not '" + a.Values["from"] + "'");
    if (!ParseFrameNumber(a.Values["to"], &last))
        return UsageError("cut", "--to needs a frame number from 0, not '" + a.Values["to"] + "'");
    if (first > last)
        return UsageError("cut", "--from " + std::to_string(first) + " lies after --to " +
                                     std::to_string(last));
    const std::string& file = a.Files[0];
    const std::string& output = a.Values["output"];
    if (output.empty())
        return UsageError("cut", "the output name is empty");

    TProgressBar bar(a.Has("quiet"));
    TAVIExtractor engine;
    if (!LoadSource(engine, file) || !CheckFrameInSource(engine, last))
        return ExitFailed;
    // As the window's "Beginning" does: a cut can only begin on a key frame.
    const int32_t start = engine.CutStartFrame(first);
    if (!PrepareOutput(file, output, a.Has("force")))
        return ExitFailed;

    const int result = RunOutputJob(engine, bar, output, [&] {
        engine.CreateOutput(output);
        engine.SaveRange(start, last);
    });
    // Where the cut really begins is the one thing a user cannot see from the command.
    if (result == ExitOk && !a.Has("quiet"))
        std::cout << "first frame " << start
                  << (start == first
                          ? std::string(" (a key frame)")
                          : " (the key frame at or before " + std::to_string(first) + ")")
                  << ", last frame " << last << '\n';
    return result;
}

} // namespace cli
