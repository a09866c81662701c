// CliCommands: the subcommands of clipvane-cli and what they share (exit codes, argument parsing,
// loading a source, output checks, the progress bar).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

class TAVIExtractor;

namespace cli {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1; // the file cannot be opened or used, or the job failed
constexpr int ExitUsage = 2;

constexpr const char* ProgramName = "clipvane-cli";

#ifndef CLIPVANE_VERSION
#define CLIPVANE_VERSION "0.0.0.0"
#endif
// The project version of this build (the executable also carries it in its version resource).
constexpr const char* BuildVersion = CLIPVANE_VERSION;

struct TCommand {
    const char* Name;
    const char* Summary; // one line for the tool's help
    const char* Help;    // the command's own --help text
    int (*Run)(const std::vector<std::string>& Args);
};

const std::vector<TCommand>& Commands();

// Prints "clipvane-cli: message" to stderr.
void PrintError(const std::string& Message);
// A usage error: the message and a pointer to the command's help; returns ExitUsage.
int UsageError(const std::string& Command, const std::string& Message);

const TCommand* FindCommand(const std::string& Name);

// An option of a command: "--Long", or "-Short" when Short is set. A value follows as the next
// argument or, for the long form, after "=".
struct TOption {
    const char* Long;
    char Short;
    bool TakesValue;
};

struct TParsedArgs {
    std::vector<std::string> Files;            // the arguments that are not options
    std::map<std::string, std::string> Values; // by long name, the last one given
    std::map<std::string, bool> Flags;         // by long name
    bool Has(const std::string& Long) const { return Values.count(Long) || Flags.count(Long); }
};

// Parses "COMMAND [-h|--help] [OPTIONS] [--] ARGS". True with *Parsed filled when the command is
// to run; otherwise false with *Exit set, after printing the help or a usage error. Exactly
// FileCount non-option arguments are required.
bool ParseArgs(const std::string& Command, const std::vector<std::string>& Args,
               const std::vector<TOption>& Options, size_t FileCount, TParsedArgs* Parsed,
               int* Exit);
// The same for commands that take one FILE and no options.
bool ParseFileArg(const std::string& Command, const std::vector<std::string>& Args,
                  std::string* File, int* Exit);
// A frame number as given on the command line: decimal digits only, from 0, below 2^31.
bool ParseFrameNumber(const std::string& Text, int32_t* Frame);

// Opens FileName the way the program's loader does: a file that cannot be opened or has no
// usable video is refused, whatever its size. Reports the reason on stderr.
bool LoadSource(TAVIExtractor& Engine, const std::string& FileName);

// Reports on stderr and returns false when Frame lies past the last frame of the source.
bool CheckFrameInSource(const TAVIExtractor& Engine, int32_t Frame);

// Makes way for an output file, reporting on stderr why not: the output must not name the source
// (compared without regard to case, as full paths, and as the same file on disk) nor a folder,
// and an existing file is only replaced with Force. A replaced regular file or link is removed
// first; other existing files (devices, pipes) are written to as they are.
bool PrepareOutput(const std::string& Source, const std::string& Output, bool Force);
// After a failed job: removes what was written of Output when it is a regular file, so that a
// failure never leaves something that looks like a result.
void RemovePartialOutput(const std::string& Output);

class TProgressBar;
// Runs a job that writes Output with Bar showing its progress. A failure removes the partial
// output and reports the engine's message; the result is the exit status.
int RunOutputJob(TAVIExtractor& Engine, TProgressBar& Bar, const std::string& Output,
                 const std::function<void()>& Job);

// A progress bar on stderr, drawn only when stderr is a terminal and not Quiet. The engine sets
// its progress back to 0 at the end of a job; the bar never moves back.
class TProgressBar {
public:
    explicit TProgressBar(bool Quiet);
    ~TProgressBar();
    TProgressBar(const TProgressBar&) = delete;
    TProgressBar& operator=(const TProgressBar&) = delete;

    void Show(uint8_t Percent);
    // Ends the bar's line: kept after a success, erased after a failure so that the message
    // that follows starts a clean line.
    void Finish(bool Completed);
    std::function<void(uint8_t)> Handler() {
        return [this](uint8_t Percent) { Show(Percent); };
    }

private:
    bool enabled_;
    bool drawn_ = false;
    int shown_ = -1;
};

int RunInfo(const std::vector<std::string>& Args);
int RunKeyFrames(const std::vector<std::string>& Args);
int RunCut(const std::vector<std::string>& Args);
int RunExtractAudio(const std::vector<std::string>& Args);
int RunGrab(const std::vector<std::string>& Args);
// Installers' commands, left out of the help: the uninstall entry of an installation.
int RunInstallEntry(const std::vector<std::string>& Args);
int RunRemoveEntry(const std::vector<std::string>& Args);

} // namespace cli
