// U_SystemFacts: part of unit U_TobrelUtils - system tests, version names, per-user folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// ---- System tests ----

// No WOW64 exists here: false.
bool Is64BitWindows();
// Whether the system runs 64-bit programs: this one is, or the kernel's machine is 64-bit.
bool Is64BitSystem();
// This is no pre-Vista Windows: false.
bool IsBeforeVista();
// Administrator rights mean running with effective user id 0.
bool IsAdministrator();
// "Yes" or "No".
std::string YesNo(bool Flag);

// ---- Windows version for the log ----

// "Major.Minor" with the name of the release: 5.0 (Windows 2000) to 6.3 (Windows8.1); 10.0 is
// written "10.0.<build> (Windows10)" below build 20000 and "11.0.<build> (Windows11)" from it;
// other versions get no name.
std::string NTVersionName(int Major, int Minor, int32_t Build);

// What the Windows version query and the workstation query answer. The version name is made of
// these alone, so it can be checked without that system.
struct TWindowsVersionFacts {
    bool VersionQueryOk = false; // the version query (8-bit structure) succeeded
    uint32_t PlatformId = 0;     // 1: Windows 95 family, 2: NT family
    int Major = 0;               // of the version query
    int Minor = 0;
    std::string CSDVersion;     // service-pack text
    bool WorkstationOk = false; // the workstation query at level 100 succeeded
    int WorkstationMajor = 0;   // NT names take the version from this query
    int WorkstationMinor = 0;
    std::string CurrentBuildNumber; // registry text; empty when missing
};
inline constexpr uint32_t kPlatformWin32Windows = 1;
inline constexpr uint32_t kPlatformWin32NT = 2;

// "Unknown" without a successful version query; the 95 family as "4.10 (98SE)" and the like;
// the NT family through NTVersionName with the workstation's version and the build number
// (0 when missing or not a number; "Unknown" when the workstation query failed).
std::string WindowsVersionName(const TWindowsVersionFacts& Facts);
// The running system's: there is no Windows version query here, so "Unknown".
std::string WindowsVersionName();
// The "CurrentBuildNumber" of the machine hive's "SOFTWARE\Microsoft\Windows NT\CurrentVersion";
// empty when the key or value is missing (always, on a system that is not Windows).
std::string ReadBuildNumber();

// What ReactOSVersion reads from the machine hive's "SOFTWARE\Microsoft\Windows NT\CurrentVersion"
// (nullopt for a missing value).
struct TReactOSFacts {
    std::optional<std::string> ProductName;
    std::optional<std::string> BuildLab;
    std::optional<std::string> SystemRoot;
};
// Empty unless ProductName is "ReactOS" (any case) and BuildLab exists; then BuildLab, or, when
// BuildLab holds "unknown" (any case) and SystemRoot exists, the file version of "explorer.exe"
// in SystemRoot followed by " (" BuildLab ")".
std::string ReactOSVersion(const TReactOSFacts& Facts);
// The same from the machine hive of the settings store. That hive holds no such key on this
// system, so the answer is empty and the start-up log writes the Linux line instead.
std::string ReactOSVersion();

// The start-up log line of this system: "Linux : " with the distribution's name (PRETTY_NAME of
// os-release) and the kernel release, for example "Linux : Debian GNU/Linux 12 (bookworm)
// 6.1.0-18-amd64".
std::string LinuxVersionLine();
// The same from the text of an os-release file and a kernel release; PRETTY_NAME defaults to
// "Linux" as os-release prescribes.
std::string LinuxVersionLine(const std::string& OsReleaseText, const std::string& KernelRelease);

// ---- Folders ----
// Folders are "/"-separated and given with a trailing "/" where the names say so.

// The user's application data folder ($XDG_DATA_HOME, an absolute path, else ~/.local/share)
// with a trailing "/"; empty when neither is known. It stands for both the roaming and the local
// application data folder of the other platform.
std::string AppDataFolder();

// The maker's per-user folder of the program, "<data>/Quorlen/<AppTitle>/", made when missing;
// the folder of ExeName when the data folder is unknown or the folder cannot be made.
std::string UserDataFolder(const std::string& ExeName, const std::string& AppTitle);
// Removes "<data>/Quorlen/" when it has no subfolder left (and no files: the removal fails
// quietly then).
void RemoveEmptyMakerFolder();
// The copy of Folder that file virtualisation would keep under "<data>/VirtualStore/" (Folder
// without its root: the drive "X:\" there, "/" here). When it exists, its language files ("SPK")
// are deleted and its path is returned; otherwise "". No virtualisation exists here, so this
// finds nothing unless someone made that folder.
std::string CleanVirtualStore(const std::string& Folder);
// Deletes the entries of Folder matching "*.<Ext>" (case ignored, as file names are matched
// there): folders among them recursively, files whatever their permissions; then removes Folder
// itself if it is empty. Symbolic links are removed, never followed. Always true.
bool DeleteFilesByExt(const std::string& Folder, const std::string& Ext);
// Appends the full path of every folder in Folder (sorted by name) to List.
void ListSubfolders(const std::string& Folder, std::vector<std::string>& List);
// No file-system redirection exists here: does nothing and answers true.
bool SetFsRedirection(bool Disable);
