// U_SystemFacts: system tests, version names and per-user folders of unit U_TobrelUtils, on Linux.
#include "support/platform/U_SystemFacts.h"

#include "support/files/U_TobrelUtils.h"
#include "support/files/U_UnicodeUtils.h"
#include "support/settings/SettingsStore.h"
#include "support/text/U_NumberText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

const char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

std::string Printf2(const char* format, int a, int b) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && StartsText(a, b);
}

bool IsDotOrDotDot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// "*.<Ext>" as the other platform matches long names: the name ends with "." and Ext, case
// ignored. (Its second match against 8.3 short names has no counterpart here.)
bool MatchesExt(const std::string& name, const std::string& ext) {
    return name.size() > ext.size() && name[name.size() - ext.size() - 1] == '.' &&
           EqualsNoCase(name.substr(name.size() - ext.size()), ext);
}

std::vector<std::string> EntryNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsDotOrDotDot(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// Folders nested deeper than this are left alone; only a crafted tree gets there.
constexpr int kMaxDeleteDepth = 64;

void DeleteMatching(const std::string& Folder, const std::string& Ext, int depth) {
    const std::string folder = WideIncludeTrailingBackslash(Folder);
    for (const std::string& name : EntryNames(folder)) {
        if (!MatchesExt(name, Ext))
            continue;
        const std::string path = folder + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (depth < kMaxDeleteDepth)
                DeleteMatching(path, Ext, depth + 1);
        } else {
            // Read-only files go too: removing a name needs only the folder's rights.
            ::unlink(path.c_str());
        }
    }
    ::rmdir(folder.c_str());
}

// Unquotes an os-release value: double quotes with backslash escapes, single quotes verbatim.
std::string OsReleaseValue(std::string value) {
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
        value.pop_back();
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return value.substr(1, value.size() - 2);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        std::string out;
        for (size_t i = 1; i + 1 < value.size(); ++i) {
            if (value[i] == '\\' && i + 2 < value.size())
                ++i;
            out += value[i];
        }
        return out;
    }
    return value;
}

std::string ReadTextFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    // os-release files are a few hundred bytes; the cap keeps an odd one from costing much.
    constexpr std::streamsize kMax = 64 * 1024;
    std::string buffer(static_cast<size_t>(kMax), '\0');
    in.read(buffer.data(), kMax);
    buffer.resize(static_cast<size_t>(in.gcount()));
    return buffer;
}

std::optional<std::string> MachineString(const std::string& name) {
    reg::RegKey key(reg::RegRoot::LocalMachine);
    if (key.Open(kCurrentVersionKey, reg::access::kRead, false) != reg::RegStatus::Success)
        return std::nullopt;
    std::string text;
    if (key.ReadString(name, text) != reg::RegStatus::Success)
        return std::nullopt;
    return text;
}

} // namespace

bool Is64BitWindows() {
    return false;
}

bool Is64BitSystem() {
    if (sizeof(void*) == 8)
        return true;
    utsname names{};
    if (::uname(&names) != 0)
        return false;
    const std::string machine = names.machine;
    return machine.find("64") != std::string::npos || machine == "s390x";
}

bool IsBeforeVista() {
    return false;
}

bool IsAdministrator() {
    return ::geteuid() == 0;
}

std::string YesNo(bool Flag) {
    return Flag ? "Yes" : "No";
}

std::string NTVersionName(int Major, int Minor, int32_t Build) {
    const std::string version = Printf2("%d.%d", Major, Minor);
    if (Major == 5 && Minor == 0)
        return version + " (Windows 2000)";
    if (Major == 5 && Minor == 1)
        return version + " (Windows XP)";
    if (Major == 5 && Minor == 2)
        return version + " (Windows 2003)";
    if (Major == 6 && Minor == 0)
        return version + " (Vista)";
    if (Major == 6 && Minor == 1)
        return version + " (Seven)";
    if (Major == 6 && Minor == 2)
        return version + " (Windows8)";
    if (Major == 6 && Minor == 3)
        return version + " (Windows8.1)";
    if (Major == 10 && Minor == 0) {
        // Windows 11 still reports 10.0; only its build numbers tell it apart.
        if (Build < 20000)
            return "10.0." + std::to_string(Build) + " (Windows10)";
        return "11.0." + std::to_string(Build) + " (Windows11)";
    }
    return version;
}

std::string WindowsVersionName(const TWindowsVersionFacts& Facts) {
    if (!Facts.VersionQueryOk)
        return "Unknown";
    if (Facts.PlatformId == kPlatformWin32Windows) {
        const std::string version = Printf2("%d.%d", Facts.Major, Facts.Minor);
        if (Facts.Major == 4 && Facts.Minor == 0)
            return version + " (95)";
        if (Facts.Major == 4 && Facts.Minor == 10)
            return version + (Facts.CSDVersion.size() >= 2 && Facts.CSDVersion[1] == 'A' ? " (98SE)"
                                                                                         : " (98)");
        if (Facts.Major == 4 && Facts.Minor == 90)
            return version + " (ME)";
        return version + " (Unknown)";
    }
    if (Facts.PlatformId == kPlatformWin32NT) {
        if (!Facts.WorkstationOk)
            return "Unknown";
        return NTVersionName(Facts.WorkstationMajor, Facts.WorkstationMinor,
                             StrToIntDef(Facts.CurrentBuildNumber, 0));
    }
    return "Unknown";
}

std::string WindowsVersionName() {
    return WindowsVersionName(TWindowsVersionFacts());
}

std::string ReadBuildNumber() {
    return MachineString("CurrentBuildNumber").value_or("");
}

std::string ReactOSVersion(const TReactOSFacts& Facts) {
    if (!Facts.ProductName || !EqualsNoCase(*Facts.ProductName, "ReactOS") || !Facts.BuildLab)
        return {};
    const std::string& buildLab = *Facts.BuildLab;
    if (ContainsText("unknown", buildLab) && Facts.SystemRoot)
        return FileVersionText(WideIncludeTrailingBackslash(*Facts.SystemRoot) + "explorer.exe") +
               " (" + buildLab + ")";
    return buildLab;
}

std::string ReactOSVersion() {
    TReactOSFacts facts;
    facts.ProductName = MachineString("ProductName");
    facts.BuildLab = MachineString("BuildLab");
    facts.SystemRoot = MachineString("SystemRoot");
    return ReactOSVersion(facts);
}

std::string LinuxVersionLine(const std::string& OsReleaseText, const std::string& KernelRelease) {
    std::string pretty = "Linux";
    std::istringstream lines(OsReleaseText);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        if (line.compare(start, 12, "PRETTY_NAME=") == 0)
            pretty = OsReleaseValue(line.substr(start + 12));
    }
    std::string text = "Linux : " + pretty;
    if (!KernelRelease.empty())
        text += " " + KernelRelease;
    return text;
}

std::string LinuxVersionLine() {
    // os-release lives in /etc, with /usr/lib as its fallback.
    std::string osRelease = ReadTextFile("/etc/os-release");
    if (osRelease.empty())
        osRelease = ReadTextFile("/usr/lib/os-release");
    struct utsname names {};
    const std::string release = ::uname(&names) == 0 ? names.release : "";
    return LinuxVersionLine(osRelease, release);
}

std::string AppDataFolder() {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules say.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return WideIncludeTrailingBackslash(xdg);
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return WideIncludeTrailingBackslash(home) + ".local/share/";
    return {};
}

std::string UserDataFolder(const std::string& ExeName, const std::string& AppTitle) {
    const size_t slash = ExeName.rfind('/');
    const std::string exeFolder = slash == std::string::npos ? "" : ExeName.substr(0, slash + 1);
    const std::string data = AppDataFolder();
    if (data.empty())
        return exeFolder;
    // A fresh account may lack the data folder and its parents (~/.local); the base-directory
    // rules say to make them, private to the user, before writing into it. The two folders of
    // ours take the defaults.
    WideForceDirectories(data, 0700);
    WideCreateDirectory(data + "Quorlen");
    const std::string folder = data + "Quorlen/" + AppTitle;
    WideCreateDirectory(folder);
    if (WideDirectoryExists(folder))
        return WideIncludeTrailingBackslash(folder);
    return exeFolder;
}

void RemoveEmptyMakerFolder() {
    const std::string data = AppDataFolder();
    if (data.empty())
        return;
    const std::string maker = data + "Quorlen/";
    std::vector<std::string> subfolders;
    ListSubfolders(maker, subfolders);
    if (subfolders.empty())
        ::rmdir(maker.c_str());
}

std::string CleanVirtualStore(const std::string& Folder) {
    const std::string data = AppDataFolder();
    if (data.empty())
        return {};
    // The other platform drops "X:\"; here the root is the leading "/".
    std::string relative = Folder;
    if (relative.size() >= 3 && relative[1] == ':' && (relative[2] == '\\' || relative[2] == '/'))
        relative.erase(0, 3);
    else
        relative.erase(0, std::min(relative.size(), relative.find_first_not_of('/')));
    const std::string store = data + "VirtualStore/" + relative;
    if (!WideDirectoryExists(store))
        return {};
    DeleteFilesByExt(WideIncludeTrailingBackslash(store), "SPK");
    return store;
}

bool DeleteFilesByExt(const std::string& Folder, const std::string& Ext) {
    DeleteMatching(Folder, Ext, 0);
    return true;
}

void ListSubfolders(const std::string& Folder, std::vector<std::string>& List) {
    SetFsRedirection(true);
    const std::string folder = WideIncludeTrailingBackslash(Folder);
    for (const std::string& name : EntryNames(folder)) {
        if (WideDirectoryExists(folder + name))
            List.push_back(folder + name);
    }
    SetFsRedirection(false);
}

bool SetFsRedirection(bool Disable) {
    (void)Disable;
    return true;
}
