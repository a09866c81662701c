// ShellAssociationLinux: the "Open with" entry as a desktop entry in the applications folder.
#include "support/platform/ShellAssociation.h"

#include "support/files/AtomicFile.h"
#include "support/files/U_UnicodeUtils.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// The entry is an "Open with" choice, not a program of its own: NoDisplay keeps it out of the
// application menus while file managers still list it for the MIME types it names. TryExec hides
// it once the executable is gone (a portable copy moved elsewhere) instead of leaving a dead
// choice behind. The AVI type is known under three MIME names; shared-mime-info treats the last
// two as aliases of the first, but desktops that match literally need them spelled out.

namespace {

constexpr const char* kEntryName = "clipvane-open.desktop";
constexpr const char* kMimeTypes = "video/x-msvideo;video/avi;video/msvideo;";
constexpr const char* kCacheTool = "update-desktop-database";
// Ours is a few hundred bytes; anything far larger at that name is not worth reading.
constexpr size_t kMaxEntryBytes = 64 * 1024;

std::string Reason(const std::string& What, int Err) {
    return What + ": " + std::strerror(Err);
}

std::string AbsoluteEnv(const char* Name) {
    const char* value = std::getenv(Name);
    // The base directory rules ignore relative values.
    if (value && value[0] == '/')
        return value;
    return {};
}

std::string HomeFolder() {
    std::string home = AbsoluteEnv("HOME");
    if (!home.empty())
        return home;
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

std::string ApplicationsFolder() {
    std::string data = AbsoluteEnv("XDG_DATA_HOME");
    if (data.empty()) {
        const std::string home = HomeFolder();
        if (home.empty())
            return {};
        data = home + "/.local/share";
    }
    while (data.size() > 1 && data.back() == '/')
        data.pop_back();
    return data + "/applications";
}

bool HasControl(const std::string& Text, bool AllowLineBreaks) {
    for (const char c : Text) {
        const auto u = static_cast<unsigned char>(c);
        if (AllowLineBreaks && (c == '\n' || c == '\t' || c == '\r'))
            continue;
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

// A caption as it can stand in the entry: control characters other than line breaks and tabs
// have no escape there and are left out.
std::string NameText(const std::string& Caption) {
    std::string out;
    for (const char c : Caption) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 0x20 && u != 0x7F) || c == '\n' || c == '\t' || c == '\r')
            out += c;
    }
    return out;
}

// The escapes of a desktop entry value. Blanks at either end would be trimmed by readers, so
// they are written as "\s".
std::string EscapeValue(const std::string& Value) {
    size_t first = 0;
    while (first < Value.size() && Value[first] == ' ')
        ++first;
    size_t last = Value.size();
    while (last > first && Value[last - 1] == ' ')
        --last;
    std::string out;
    for (size_t i = 0; i < Value.size(); ++i) {
        const char c = Value[i];
        if (c == ' ' && (i < first || i >= last))
            out += "\\s";
        else if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string UnescapeValue(const std::string& Value) {
    std::string out;
    for (size_t i = 0; i < Value.size(); ++i) {
        if (Value[i] != '\\' || i + 1 == Value.size()) {
            out += Value[i];
            continue;
        }
        switch (const char c = Value[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            out += c;
        }
    }
    return out;
}

// One argument of the Exec key, before the value escapes: always quoted, with the characters
// that keep a meaning inside quotes escaped, and "%" doubled since it opens field codes.
std::string QuoteExecArgument(const std::string& Arg) {
    std::string out = "\"";
    for (const char c : Arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        if (c == '%')
            out += '%';
        out += c;
    }
    return out + '"';
}

std::string EntryText(const std::string& Caption, const std::string& ExePath) {
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=" + EscapeValue(NameText(Caption)) + "\n";
    text += "TryExec=" + EscapeValue(ExePath) + "\n";
    // One file per start: the window loads only the first file it is given anyway. GLib looks
    // for the program before it turns "%%" back into "%", so a program path holding "%" is
    // started through env, whose own path is plain.
    const std::string starter = ExePath.find('%') == std::string::npos ? "" : "env ";
    text += "Exec=" + starter + EscapeValue(QuoteExecArgument(ExePath)) + " %f\n";
    text += std::string("MimeType=") + kMimeTypes + "\n";
    text += "NoDisplay=true\n";
    text += "Terminal=false\n";
    return text;
}

// The Name of the main group; false when the text has none.
bool ReadName(const std::string& Text, std::string& Name) {
    bool inMain = false;
    size_t pos = 0;
    while (pos < Text.size()) {
        size_t end = Text.find('\n', pos);
        if (end == std::string::npos)
            end = Text.size();
        std::string line = Text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            inMain = line == "[Desktop Entry]";
            continue;
        }
        if (!inMain)
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        size_t keyEnd = eq;
        while (keyEnd > 0 && line[keyEnd - 1] == ' ')
            --keyEnd;
        if (line.substr(0, keyEnd) != "Name")
            continue;
        size_t valueStart = eq + 1;
        while (valueStart < line.size() && line[valueStart] == ' ')
            ++valueStart;
        Name = UnescapeValue(line.substr(valueStart));
        return true;
    }
    return false;
}

std::string FindOnPath(const std::string& Tool) {
    const char* path = std::getenv("PATH");
    const std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t pos = 0;
    while (pos <= dirs.size()) {
        size_t end = dirs.find(':', pos);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = dirs.substr(pos, end - pos);
        pos = end + 1;
        if (dir.empty() || dir[0] != '/')
            continue;
        const std::string candidate = dir + "/" + Tool;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// Desktops look handlers up through the folder's mimeinfo.cache; without the tool they fall
// back to reading the entries themselves, so a missing or failing tool is no error.
void RefreshHandlerCache(const std::string& Folder) {
    const std::string tool = FindOnPath(kCacheTool);
    if (tool.empty())
        return;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = tool;
    std::string quiet = "-q";
    std::string folder = Folder;
    char* argv[] = {program.data(), quiet.data(), folder.data(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

bool CanRewrite(const std::string& Path) {
    int err = 0;
    const std::string folder = atomicfile::FolderOf(Path);
    // The entry is replaced by a rename, which needs the folder; a read-only entry is left
    // alone even so.
    return atomicfile::MayReplace(Path, err) && access(folder.c_str(), W_OK | X_OK) == 0;
}

} // namespace

std::string AssociationEntryPath() {
    try {
        const std::string folder = ApplicationsFolder();
        return folder.empty() ? std::string() : folder + "/" + kEntryName;
    } catch (const std::exception&) {
        return {};
    }
}

bool IsAssociated() {
    const std::string path = AssociationEntryPath();
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool AssociationOutdated(const std::string& Caption) {
    try {
        const std::string path = AssociationEntryPath();
        if (path.empty())
            return false;
        std::string text;
        int err = 0;
        if (atomicfile::ReadCapped(path, kMaxEntryBytes, text, err) != atomicfile::ReadResult::Ok)
            return false;
        std::string name;
        // An entry without a name is as stale as one with another name.
        if (ReadName(text, name) && name == NameText(Caption))
            return false;
        return CanRewrite(path);
    } catch (const std::exception&) {
        return false;
    }
}

std::string Associate(const std::string& Caption, const std::string& ExePath) {
    try {
        if (ExePath.empty() || ExePath[0] != '/')
            return "Executable path is not absolute: \"" + ExePath + "\"";
        // A path with other control characters cannot be written into the command.
        if (HasControl(ExePath, true))
            return "Executable path holds control characters";
        const std::string folder = ApplicationsFolder();
        if (folder.empty())
            return "No home folder to hold the desktop entry";
        int err = 0;
        // New folders are private, as the base directory rules ask for.
        if (!WideForceDirectories(folder, 0700))
            return Reason("Cannot create " + folder, errno);
        const std::string path = folder + "/" + kEntryName;
        // An entry the user made read-only stays as it is, although the folder would allow
        // replacing it.
        if (!atomicfile::MayReplace(path, err))
            return Reason("Cannot write " + path, err);
        if (!atomicfile::Replace(path, atomicfile::PrivateTempPath(path),
                                 EntryText(Caption, ExePath), 0644, err))
            return Reason("Cannot write " + path, err);
        RefreshHandlerCache(folder);
        return {};
    } catch (const std::exception& e) {
        return std::string("Association failed: ") + e.what();
    }
}

std::string Dissociate() {
    try {
        const std::string path = AssociationEntryPath();
        if (path.empty())
            return "No home folder to hold the desktop entry";
        if (unlink(path.c_str()) != 0) {
            const int err = errno;
            // Below a missing folder (or a file in its place) there is no entry either; a cache
            // that still names one removed by hand is brought up to date all the same.
            if (err == ENOENT || err == ENOTDIR) {
                if (err == ENOENT && access(atomicfile::FolderOf(path).c_str(), W_OK) == 0)
                    RefreshHandlerCache(atomicfile::FolderOf(path));
                return {};
            }
            return Reason("Cannot remove " + path, err);
        }
        RefreshHandlerCache(atomicfile::FolderOf(path));
        return {};
    } catch (const std::exception& e) {
        return std::string("Dissociation failed: ") + e.what();
    }
}
