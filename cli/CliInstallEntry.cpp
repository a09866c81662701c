// CliInstallEntry: install-entry and remove-entry, the installers' commands that write and remove
// the uninstall entry by which an installed copy of Clipvane tells itself from a portable one.
#include "cli/CliCommands.h"

#include "support/platform/MakerHost.h"
#include "support/settings/SettingsStore.h"
#include "support/settings/U_TobrelSettings.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace cli {

namespace {

using reg::RegKey;
using reg::RegRoot;
using reg::RegStatus;

// The keys above the entry, innermost first; remove-entry drops those it leaves empty.
const char* const kUninstallParents[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
    "SOFTWARE\\Microsoft\\Windows",
    "SOFTWARE\\Microsoft",
    "SOFTWARE",
};

std::string EntryKey() {
    return std::string(kUninstallParents[0]) + "\\" + kAppTitle;
}

const char* const InstallEntryHelp =
    "Usage: clipvane-cli install-entry --machine|--user [--uninstall-command TEXT] PREFIX\n"
    "\n"
    "Records Clipvane as installed under PREFIX: writes the uninstall entry \"Quorlen\n"
    "Clipvane\" to the settings store. An installed program keeps its settings in the store;\n"
    "without the entry it runs portable, with a settings.ini beside the executable. An entry\n"
    "written before, for any PREFIX, is replaced. 'cmake --install' and the Debian package\n"
    "run this command; there is rarely a reason to run it by hand.\n"
    "\n"
    "Options:\n"
    "  --machine                 the machine hive (/etc/xdg/Quorlen/registry), for an\n"
    "                            installation for every user\n"
    "  --user                    the hive of the user running the command\n"
    "                            ($XDG_CONFIG_HOME/Quorlen/registry)\n"
    "  --uninstall-command TEXT  how the installation is removed, kept in the entry\n"
    "\n"
    "CLIPVANE_REGISTRY_DIR, when set, names the one folder that holds both hives.\n"
    "Exit status: 0 when the entry was written, 1 when the hive cannot be written (the\n"
    "reason is on stderr), 2 on bad usage.\n";

const char* const RemoveEntryHelp =
    "Usage: clipvane-cli remove-entry --machine|--user PREFIX\n"
    "\n"
    "Removes the uninstall entry that install-entry wrote for PREFIX, and the keys above it\n"
    "that are left empty. An entry that records another PREFIX is left alone, so that\n"
    "removing one installation does not turn another one portable; that, and finding no\n"
    "entry at all, is reported on stderr and still counts as success.\n"
    "\n"
    "Options:\n"
    "  --machine  the machine hive (/etc/xdg/Quorlen/registry)\n"
    "  --user     the hive of the user running the command\n"
    "\n"
    "CLIPVANE_REGISTRY_DIR, when set, names the one folder that holds both hives.\n"
    "Exit status: 0 when no entry for PREFIX is left, 1 when the hive cannot be changed,\n"
    "2 on bad usage.\n";

struct TEntryArgs {
    RegRoot Root = RegRoot::CurrentUser;
    std::string Prefix;
    std::string UninstallCommand;
    bool HasUninstallCommand = false;
};

// The prefix as both commands compare it: absolute, without "." and ".." and without a trailing
// "/", so "/usr/local/" given at install time matches "/usr/local" at removal.
std::string NormalPrefix(const std::string& Prefix) {
    std::error_code ec;
    std::string p = std::filesystem::absolute(Prefix, ec).lexically_normal().string();
    if (ec)
        return std::string();
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

// "COMMAND [--help] --machine|--user [--uninstall-command TEXT] PREFIX". True when the command
// is to run; otherwise *Exit holds the status, after the help or a usage error was printed.
bool ParseEntryArgs(const std::string& Command, const char* Help, bool TakesUninstallCommand,
                    const std::vector<std::string>& Args, TEntryArgs* Parsed, int* Exit) {
    bool machine = false;
    bool user = false;
    bool options = true;
    std::vector<std::string> prefixes;
    for (size_t i = 0; i < Args.size(); ++i) {
        const std::string& a = Args[i];
        if (!options || a.size() < 2 || a[0] != '-') {
            prefixes.push_back(a);
        } else if (a == "--") {
            options = false;
        } else if (a == "-h" || a == "--help") {
            std::cout << Help;
            *Exit = ExitOk;
            return false;
        } else if (a == "--machine") {
            machine = true;
        } else if (a == "--user") {
            user = true;
        } else if (TakesUninstallCommand && a.rfind("--uninstall-command=", 0) == 0) {
            Parsed->UninstallCommand = a.substr(a.find('=') + 1);
            Parsed->HasUninstallCommand = true;
        } else if (TakesUninstallCommand && a == "--uninstall-command") {
            if (i + 1 >= Args.size()) {
                *Exit = UsageError(Command, "option '--uninstall-command' needs a value");
                return false;
            }
            Parsed->UninstallCommand = Args[++i];
            Parsed->HasUninstallCommand = true;
        } else {
            *Exit = UsageError(Command, "unknown option '" + a + "'");
            return false;
        }
    }
    if (machine == user) {
        *Exit = UsageError(Command, "give one of --machine and --user");
        return false;
    }
    if (prefixes.size() != 1) {
        *Exit = UsageError(Command, prefixes.empty() ? "missing PREFIX" : "too many arguments");
        return false;
    }
    Parsed->Root = machine ? RegRoot::LocalMachine : RegRoot::CurrentUser;
    Parsed->Prefix = NormalPrefix(prefixes[0]);
    if (prefixes[0].empty() || Parsed->Prefix.empty()) {
        *Exit = UsageError(Command, "PREFIX '" + prefixes[0] + "' is not a usable folder name");
        return false;
    }
    return true;
}

std::string HiveText(RegRoot Root) {
    const reg::HiveFiles files = reg::DefaultHiveFiles();
    return Root == RegRoot::LocalMachine ? "machine hive " + files.localMachine
                                         : "user hive " + files.currentUser;
}

std::string StatusText(RegStatus Status) {
    switch (Status) {
    case RegStatus::AccessDenied:
        return "access denied";
    case RegStatus::ReadFault:
        return "cannot be read";
    case RegStatus::WriteFault:
        return "cannot be written";
    default:
        return "error " + std::to_string(static_cast<int32_t>(Status));
    }
}

int HiveFailure(RegRoot Root, const std::string& What, RegStatus Status) {
    PrintError("cannot " + What + " in the " + HiveText(Root) + ": " + StatusText(Status));
    return ExitFailed;
}

} // namespace

int RunInstallEntry(const std::vector<std::string>& Args) {
    TEntryArgs a;
    int exit = ExitOk;
    if (!ParseEntryArgs("install-entry", InstallEntryHelp, true, Args, &a, &exit))
        return exit;

    // A fresh key, so that nothing of an older installation's entry stays behind.
    const std::shared_ptr<reg::SettingsStore> store = reg::DefaultSettingsStore();
    const std::string key = EntryKey();
    if (store->OpenKey(a.Root, key, false) == RegStatus::Success) {
        const RegStatus status = store->DeleteKey(a.Root, key, reg::DeleteMode::Tree);
        if (status != RegStatus::Success && status != RegStatus::NotFound)
            return HiveFailure(a.Root, "replace the uninstall entry", status);
    }
    RegKey entry(a.Root, store);
    RegStatus status = entry.Open(key, reg::access::kAllAccess, true);
    if (status != RegStatus::Success)
        return HiveFailure(a.Root, "write the uninstall entry", status);

    const std::string site = "https://" + std::string(MakerHost()) + "/";
    std::vector<reg::RegNamedValue> values = {
        {"DisplayName", reg::RegValue::String(kInstalledPrefix)},
        {"DisplayVersion", reg::RegValue::String(BuildVersion)},
        {"Publisher", reg::RegValue::String("Quorlen")},
        {"InstallLocation", reg::RegValue::String(a.Prefix)},
        {"DisplayIcon", reg::RegValue::String(a.Prefix + "/bin/clipvane")},
        {"URLInfoAbout", reg::RegValue::String(site)},
        // Nothing to repair or change: an installation is removed and installed again.
        {"NoModify", reg::RegValue::Dword(1)},
        {"NoRepair", reg::RegValue::Dword(1)},
    };
    if (a.HasUninstallCommand)
        values.emplace_back("UninstallString", reg::RegValue::String(a.UninstallCommand));
    for (const reg::RegNamedValue& v : values) {
        status = entry.Write(v.first, v.second);
        if (status != RegStatus::Success)
            return HiveFailure(a.Root, "write the uninstall entry", status);
    }
    return ExitOk;
}

int RunRemoveEntry(const std::vector<std::string>& Args) {
    TEntryArgs a;
    int exit = ExitOk;
    if (!ParseEntryArgs("remove-entry", RemoveEntryHelp, false, Args, &a, &exit))
        return exit;

    const std::shared_ptr<reg::SettingsStore> store = reg::DefaultSettingsStore();
    const std::string key = EntryKey();
    RegKey entry(a.Root, store);
    RegStatus status = entry.Open(key, reg::access::kRead, false);
    if (status == RegStatus::NotFound) {
        PrintError("no uninstall entry in the " + HiveText(a.Root));
        return ExitOk;
    }
    if (status != RegStatus::Success)
        return HiveFailure(a.Root, "read the uninstall entry", status);
    std::string location;
    if (entry.ReadString("InstallLocation", location) != RegStatus::Success ||
        location != a.Prefix) {
        PrintError("the uninstall entry in the " + HiveText(a.Root) + " records " +
                   (location.empty() ? std::string("no installation folder")
                                     : "an installation in " + location) +
                   ", not " + a.Prefix + "; left as it is");
        return ExitOk;
    }
    entry.Close();

    status = store->DeleteKey(a.Root, key, reg::DeleteMode::Tree);
    if (status != RegStatus::Success && status != RegStatus::NotFound)
        return HiveFailure(a.Root, "remove the uninstall entry", status);
    // Parents are only tidied up: one still in use, or already gone, ends the walk.
    for (const char* parent : kUninstallParents) {
        if (store->DeleteKey(a.Root, parent, reg::DeleteMode::IfEmpty) != RegStatus::Success)
            break;
    }
    return ExitOk;
}

} // namespace cli
