// main: entry of clipvane-cli, the command-line face of the Clipvane engine.
#include "cli/CliCommands.h"

#include "support/files/U_TobrelUtils.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

void PrintToolHelp() {
    std::cout << "Usage: " << cli::ProgramName << " COMMAND [ARGS]\n"
              << "       " << cli::ProgramName << " --help | --version\n"
              << "\n"
              << "Clipvane on the command line: looks into AVI files, cuts them without\n"
              << "re-encoding, and saves their MP3 audio or single frames.\n"
              << "\n"
              << "Commands:\n";
    for (const cli::TCommand& c : cli::Commands()) {
        std::string name = c.Name;
        name.resize(std::max<size_t>(name.size() + 2, 16), ' ');
        std::cout << "  " << name << c.Summary << '\n';
    }
    std::cout << "\n"
              << "Run '" << cli::ProgramName << " COMMAND --help' for the help of a command.\n"
              << "Frame numbers count from 0: the first frame is 0.\n"
              << "Exit status: 0 on success, 1 when a file cannot be opened or used or the job\n"
              << "fails, 2 on bad usage. Files of any size are read.\n";
}

// The version stamped into our own executable; the build's project version when there is none.
std::string VersionText() {
    std::string v = FileVersionText("/proc/self/exe");
    if (v.empty() || v == "File not found")
        v = cli::BuildVersion;
    return v;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.empty())
        return cli::UsageError("", "missing COMMAND");

    const std::string& first = args[0];
    if (first == "-h" || first == "--help" || first == "help") {
        if (first == "help" && args.size() > 1) {
            if (const cli::TCommand* c = cli::FindCommand(args[1])) {
                std::cout << c->Help;
                return cli::ExitOk;
            }
            return cli::UsageError("", "unknown command '" + args[1] + "'");
        }
        PrintToolHelp();
        return cli::ExitOk;
    }
    if (first == "--version") {
        std::cout << cli::ProgramName << ' ' << VersionText() << '\n';
        return cli::ExitOk;
    }
    if (first == "install-entry" || first == "remove-entry") {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        return first == "install-entry" ? cli::RunInstallEntry(rest) : cli::RunRemoveEntry(rest);
    }
    const cli::TCommand* command = cli::FindCommand(first);
    if (!command)
        return cli::UsageError("", first[0] == '-' ? "unknown option '" + first + "'"
                                                   : "unknown command '" + first + "'");
    args.erase(args.begin());
    return command->Run(args);
}
