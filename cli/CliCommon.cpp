// CliCommon: argument parsing, error reporting, source loading, output checks and the progress
// bar shared by the subcommands.
#include "cli/CliCommands.h"

#include "cli/CliSignals.h"

#include "engine/avi/EngineErrors.h"
#include "engine/jobs/U_AVIExtractor.h"
#include "support/files/U_TobrelUtils.h"
#include "support/text/CaseFold.h"

#include <csignal>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace cli {

namespace {

std::string SignalName(int Signal) {
    switch (Signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal " + std::to_string(Signal);
    }
}

namespace fs = std::filesystem;

const char* const CutHelp =
    "Usage: clipvane-cli cut FILE --from F --to L -o OUT [--force] [--quiet]\n"
    "\n"
    "Saves frames F to L of FILE, both included, as the AVI file OUT. Video and audio are\n"
    "copied as stored, without re-encoding. As with the program's \"Beginning\" mark, the cut\n"
    "starts at the key frame at or before F, so OUT may begin a few frames before F\n"
    "('clipvane-cli keyframes FILE' lists the key frames). L is not moved. Key frames are the\n"
    "frames that really stand alone: where the file's index cannot be trusted to mark them\n"
    "(no index, or every frame flagged), the frames themselves are looked at. When OUT is\n"
    "written, a line on stdout says which frame it starts with:\n"
    "  first frame 25 (the key frame at or before 28), last frame 55\n"
    "\n"
    "Frame numbers count from 0: the first frame is 0, the last one the frame count minus 1.\n"
    "\n"
    "Options:\n"
    "  --from F          first frame, moved back to the key frame at or before it\n"
    "  --to L            last frame, included\n"
    "  -o, --output OUT  the file to write; it must not name FILE, compared as full paths\n"
    "                    without regard to case\n"
    "  --force           replace OUT when it exists (nothing is asked)\n"
    "  -q, --quiet       no progress bar (it is drawn on stderr only when that is a terminal)\n"
    "                    and no line about the first frame\n"
    "\n"
    "Exit status: 0 when OUT was written. 1 when FILE cannot be used, L lies past the last\n"
    "frame of FILE, OUT is refused or the cut fails; the reason is on stderr (for a failed cut\n"
    "the engine's message) and a partly written OUT is removed. 2 on bad usage, including a\n"
    "frame number that is not a whole number from 0, and F greater than L. Ctrl+C (SIGINT),\n"
    "SIGTERM and SIGHUP stop the cut and remove the partial OUT; the status is then 128 plus\n"
    "the signal's number (130 for Ctrl+C).\n";

const char* const ExtractAudioHelp =
    "Usage: clipvane-cli extract-audio FILE -o OUT.mp3 [--force] [--quiet]\n"
    "\n"
    "Writes the MP3 audio track of FILE to OUT as a plain MP3 stream: the stored audio data in\n"
    "order, neither decoded nor re-encoded, with no header or tag added. Only MP3 audio that\n"
    "can be read is extracted; other audio is refused.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT  the file to write; it must not name FILE\n"
    "  --force           replace OUT when it exists (nothing is asked)\n"
    "  -q, --quiet       no progress bar (it is drawn on stderr only when that is a terminal)\n"
    "\n"
    "Exit status: 0 when OUT was written. 1 when FILE cannot be used, has no audio, its audio\n"
    "is not MP3 or cannot be read, OUT is refused or the extraction fails; the reason is on\n"
    "stderr and a partly written OUT is removed. 2 on bad usage. Ctrl+C (SIGINT), SIGTERM and\n"
    "SIGHUP stop the extraction and remove the partial OUT; the status is then 128 plus the\n"
    "signal's number (130 for Ctrl+C).\n";

const char* const GrabHelp =
    "Usage: clipvane-cli grab FILE --frame N -o OUT [--force]\n"
    "\n"
    "Decodes frame N of FILE and saves it as a picture in the format OUT's extension names,\n"
    "compared without regard to case: .bmp writes a 32-bit BMP with rows from the top,\n"
    ".jpg or .jpeg a JPEG of quality 100. Other extensions are refused.\n"
    "\n"
    "Frame numbers count from 0: the first frame is 0, the last one the frame count minus 1.\n"
    "\n"
    "Options:\n"
    "  --frame N         the frame to save\n"
    "  -o, --output OUT  the picture file to write\n"
    "  --force           replace OUT when it exists (nothing is asked)\n"
    "\n"
    "Exit status: 0 when OUT was written. 1 when FILE cannot be used, N lies past its last\n"
    "frame, no decoder handles its video, the frame cannot be decoded, OUT is refused or\n"
    "cannot be written; the reason is on stderr. 2 on bad usage, including a frame number\n"
    "that is not a whole number from 0 and an OUT that is neither .bmp, .jpg nor .jpeg.\n";

// The name as the system will resolve it: absolute, with "." and ".." taken out; with
// Canonical also with symbolic links followed as far as the path exists.
std::string FullName(const std::string& Name, bool Canonical) {
    std::error_code ec;
    fs::path p = Canonical ? fs::weakly_canonical(fs::path(Name), ec)
                           : fs::absolute(fs::path(Name), ec).lexically_normal();
    return ec ? std::string() : p.string();
}

// The window refuses the source's own name without regard to case; here the same name can
// also be spelt through "./", "..", a link or a second hard link, and all of them would write
// over the file being read.
bool NamesSource(const std::string& Source, const std::string& Output) {
    for (bool canonical : {false, true}) {
        const std::string a = FullName(Source, canonical);
        const std::string b = FullName(Output, canonical);
        if (!a.empty() && casefold::Equal(a, b))
            return true;
    }
    std::error_code ec;
    return fs::equivalent(fs::path(Source), fs::path(Output), ec) && !ec;
}

constexpr int BarWidth = 40;

} // namespace

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> list = {
        {"info", "print the properties of an AVI file",
         "Usage: clipvane-cli info FILE [--json]\n"
         "\n"
         "Prints the properties of FILE as name=value lines: file_size, file_name,\n"
         "video_resolution, video_nbframes, video_bitrate, video_fourcc, video_fps (when the\n"
         "frame duration is at least 1 ms) and, when the file has audio, audio_channels,\n"
         "audio_samples, audio_bitrate and audio_code. Then the audio flags HasAudio,\n"
         "AudioReadable, UseChunkIndex and IsMP3 as 0 or 1.\n"
         "\n"
         "  --json  one JSON object instead: file, properties (the lines above, as strings),\n"
         "          frames, width, height, duration_ms, key_frames (their count), video_code,\n"
         "          video_decodable, has_audio, audio_readable, use_chunk_index, is_mp3\n",
         RunInfo},
        {"keyframes", "print the key frame numbers of an AVI file",
         "Usage: clipvane-cli keyframes FILE [--json]\n"
         "\n"
         "Prints the numbers of the key frames of FILE's video, counted from 0, one per line.\n"
         "\n"
         "  --json  one JSON object instead: {\"file\": ..., \"key_frames\": [...]}\n",
         RunKeyFrames},
        {"cut", "save a range of frames as a new AVI file, without re-encoding", CutHelp, RunCut},
        {"extract-audio", "write the MP3 audio track to a raw MP3 file", ExtractAudioHelp,
         RunExtractAudio},
        {"grab", "save one frame as a BMP or JPEG picture", GrabHelp, RunGrab},
    };
    return list;
}

void PrintError(const std::string& Message) {
    std::cerr << ProgramName << ": " << Message << '\n';
}

int UsageError(const std::string& Command, const std::string& Message) {
    PrintError(Message);
    if (Command.empty())
        std::cerr << "Try '" << ProgramName << " --help'.\n";
    else
        std::cerr << "Try '" << ProgramName << ' ' << Command << " --help'.\n";
    return ExitUsage;
}

const TCommand* FindCommand(const std::string& Name) {
    for (const TCommand& c : Commands())
        if (Name == c.Name)
            return &c;
    return nullptr;
}

bool ParseArgs(const std::string& Command, const std::vector<std::string>& Args,
               const std::vector<TOption>& Options, size_t FileCount, TParsedArgs* Parsed,
               int* Exit) {
    *Parsed = TParsedArgs();
    bool help = false;
    bool options = true;
    for (size_t i = 0; i < Args.size(); ++i) {
        const std::string& a = Args[i];
        if (!options || a.size() < 2 || a[0] != '-') {
            Parsed->Files.push_back(a);
            continue;
        }
        if (a == "--") {
            options = false;
            continue;
        }
        if (a == "-h" || a == "--help") {
            help = true;
            continue;
        }
        // "--name", "--name=value", "-x", "-xvalue"
        const bool isLong = a[1] == '-';
        const size_t eq = isLong ? a.find('=') : std::string::npos;
        const std::string name = isLong ? a.substr(2, eq == std::string::npos ? eq : eq - 2) : "";
        const TOption* option = nullptr;
        for (const TOption& o : Options)
            if (isLong ? name == o.Long : (o.Short != 0 && a[1] == o.Short))
                option = &o;
        if (!option) {
            *Exit = UsageError(Command, "unknown option '" + a + "'");
            return false;
        }
        const std::string shown = std::string("--") + option->Long;
        std::string inlineValue;
        bool hasInline = false;
        if (isLong && eq != std::string::npos) {
            inlineValue = a.substr(eq + 1);
            hasInline = true;
        } else if (!isLong && a.size() > 2) {
            inlineValue = a.substr(2);
            hasInline = true;
        }
        if (!option->TakesValue) {
            if (hasInline) {
                *Exit = UsageError(Command, "option '" + shown + "' takes no value");
                return false;
            }
            Parsed->Flags[option->Long] = true;
            continue;
        }
        if (hasInline) {
            Parsed->Values[option->Long] = inlineValue;
        } else if (i + 1 < Args.size()) {
            Parsed->Values[option->Long] = Args[++i];
        } else {
            *Exit = UsageError(Command, "option '" + shown + "' needs a value");
            return false;
        }
    }
    if (help) {
        if (const TCommand* c = FindCommand(Command))
            std::cout << c->Help;
        *Exit = ExitOk;
        return false;
    }
    if (Parsed->Files.size() != FileCount) {
        *Exit = UsageError(Command, Parsed->Files.size() < FileCount ? "missing FILE"
                                                                     : "too many arguments");
        return false;
    }
    return true;
}

bool ParseFileArg(const std::string& Command, const std::vector<std::string>& Args,
                  std::string* File, int* Exit) {
    TParsedArgs parsed;
    if (!ParseArgs(Command, Args, {}, 1, &parsed, Exit))
        return false;
    *File = parsed.Files[0];
    return true;
}

bool ParseFrameNumber(const std::string& Text, int32_t* Frame) {
    if (Text.empty() || Text.size() > 10)
        return false;
    int64_t value = 0;
    for (char c : Text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value > INT32_MAX)
        return false;
    *Frame = static_cast<int32_t>(value);
    return true;
}

bool LoadSource(TAVIExtractor& Engine, const std::string& FileName) {
    try {
        Engine.Open(FileName);
    } catch (const std::exception& e) {
        PrintError(FileName + ": " + DescribeError(e));
        return false;
    }
    if (!Engine.Valid) {
        PrintError(FileName + ": not a usable AVI file (no readable video stream)");
        return false;
    }
    return true;
}

bool CheckFrameInSource(const TAVIExtractor& Engine, int32_t Frame) {
    const int32_t count = Engine.FrameCount();
    if (Frame < count)
        return true;
    PrintError(Engine.FileName + ": frame " + std::to_string(Frame) + " is past the last frame (" +
               (count > 0 ? "frames 0 to " + std::to_string(count - 1) : std::string("no frames")) +
               ")");
    return false;
}

bool PrepareOutput(const std::string& Source, const std::string& Output, bool Force) {
    if (NamesSource(Source, Output)) {
        PrintError(Output + ": File name must be different from the source file");
        return false;
    }
    std::error_code ec;
    const fs::file_status own = fs::symlink_status(fs::path(Output), ec);
    if (ec || !fs::exists(own))
        return true;
    if (fs::is_directory(fs::status(fs::path(Output), ec))) {
        PrintError(Output + ": is a folder");
        return false;
    }
    if (!Force) {
        PrintError(Output + ": File already exists (--force replaces it)");
        return false;
    }
    if (fs::is_regular_file(own) || fs::is_symlink(own)) {
        fs::remove(fs::path(Output), ec);
        if (ec) {
            PrintError(Output + ": cannot replace it: " + ec.message());
            return false;
        }
    }
    return true;
}

void RemovePartialOutput(const std::string& Output) {
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(fs::path(Output), ec)))
        fs::remove(fs::path(Output), ec);
}

int RunOutputJob(TAVIExtractor& Engine, TProgressBar& Bar, const std::string& Output,
                 const std::function<void()>& Job) {
    const TStopSignals signals;
    Engine.OnProgress = Bar.Handler();
    Engine.ShouldStop = [] { return TStopSignals::Caught() != 0; };
    std::string failure;
    try {
        Job();
    } catch (const std::exception& e) {
        failure = DescribeError(e);
    }
    Engine.OnProgress = nullptr;
    Engine.ShouldStop = nullptr;
    if (const int signal = TStopSignals::Caught()) {
        Bar.Finish(false);
        RemovePartialOutput(Output);
        PrintError(Output + ": stopped by " + SignalName(signal) +
                   "; the partial output is removed");
        return TStopSignals::ExitStatus(signal);
    }
    if (!failure.empty()) {
        Bar.Finish(false);
        RemovePartialOutput(Output);
        PrintError(Output + ": " + failure);
        return ExitFailed;
    }
    Bar.Finish(true);
    return ExitOk;
}

TProgressBar::TProgressBar(bool Quiet) : enabled_(!Quiet && ::isatty(STDERR_FILENO) == 1) {}

TProgressBar::~TProgressBar() {
    Finish(false);
}

void TProgressBar::Show(uint8_t Percent) {
    const int p = Percent > 100 ? 100 : Percent;
    if (!enabled_ || p <= shown_)
        return;
    shown_ = p;
    const int filled = p * BarWidth / 100;
    std::string line = "\r[";
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(BarWidth - filled), ' ');
    line += "] ";
    const std::string number = std::to_string(p);
    line.append(3 - number.size(), ' ');
    line += number + "%";
    std::cerr << line << std::flush;
    drawn_ = true;
}

void TProgressBar::Finish(bool Completed) {
    if (!drawn_)
        return;
    if (Completed)
        std::cerr << '\n';
    else
        std::cerr << '\r' << std::string(BarWidth + 8, ' ') << '\r';
    std::cerr << std::flush;
    drawn_ = false;
}

} // namespace cli
