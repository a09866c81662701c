// SettingsStoreLinux: the settings store on Linux - one REGEDIT4 hive file per root, under the
// XDG configuration folders, changed under a lock with an atomic rename.
#include "support/settings/SettingsStore.h"

#include "support/files/AtomicFile.h"
#include "support/files/U_UnicodeUtils.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace reg {

namespace {

constexpr mode_t kUserFileMode = 0600;
constexpr mode_t kUserDirMode = 0700;
constexpr mode_t kMachineFileMode = 0644;
constexpr mode_t kMachineDirMode = 0755;

RegStatus FromErrno(int err, RegStatus otherwise) {
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
        return RegStatus::AccessDenied;
    case ENOMEM:
        return RegStatus::QuotaExceeded;
    default:
        return otherwise;
    }
}

class FileLock {
public:
    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() {
        if (fd_ >= 0)
            close(fd_); // closing drops the lock
    }
    // errno is left as the failing call set it.
    bool Take(const std::string& lockPath, mode_t mode) {
        fd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
        if (fd_ < 0)
            return false;
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR)
                return false;
        }
        return true;
    }

private:
    int fd_ = -1;
};

std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

// An unreadable hive that cannot be set aside (a machine hive we may not write) is reported
// once per process and state of the file, not at every read.
bool FirstReport(const std::string& path) {
    static std::mutex m;
    static std::set<std::string> seen;
    struct stat st {};
    std::string id = path;
    if (stat(path.c_str(), &st) == 0)
        id += "|" + std::to_string(st.st_ino) + "|" + std::to_string(st.st_size) + "|" +
              std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    std::lock_guard lock(m);
    return seen.insert(id).second;
}

class HiveFile {
public:
    HiveFile(std::string path, std::string rootName, mode_t fileMode, mode_t dirMode,
             std::function<void()> beforeRename)
        : path_(std::move(path)), rootName_(std::move(rootName)), fileMode_(fileMode),
          dirMode_(dirMode), beforeRename_(std::move(beforeRename)) {}

    // The hive as stored now. A broken file reads as an empty hive and is set aside when the
    // lock can be had.
    RegStatus Load(RegHive& hive) {
        hive = RegHive(rootName_);
        std::string text;
        int err = 0;
        switch (atomicfile::ReadCapped(path_, limits::kMaxHiveBytes, text, err)) {
        case atomicfile::ReadResult::Missing:
            return RegStatus::Success;
        case atomicfile::ReadResult::Failed:
            return FromErrno(err, RegStatus::ReadFault);
        case atomicfile::ReadResult::TooLarge:
            break;
        case atomicfile::ReadResult::Ok: {
            HiveParseError error;
            if (ParseHive(text, hive, error))
                return RegStatus::Success;
            hive = RegHive(rootName_);
            break;
        }
        }
        const std::string target = atomicfile::ResolveLink(path_);
        FileLock lock;
        if (lock.Take(target + ".lock", fileMode_))
            return LoadLocked(target, hive);
        if (FirstReport(path_))
            SettingsLog("Settings: " + path_ + " cannot be read; it is used as an empty hive", 2);
        return RegStatus::Success;
    }

    // Runs change on the stored hive under the lock and stores the result when it changed.
    RegStatus Modify(const std::function<RegStatus(RegHive&, bool&)>& change) {
        const std::string target = atomicfile::ResolveLink(path_);
        if (!WideForceDirectories(atomicfile::FolderOf(target), dirMode_))
            return CannotWrite(target, errno);
        FileLock lock;
        if (!lock.Take(target + ".lock", fileMode_))
            return CannotWrite(target, errno);
        RegHive hive(rootName_);
        RegStatus status = LoadLocked(target, hive);
        if (status != RegStatus::Success)
            return status;
        bool changed = false;
        status = change(hive, changed);
        if (!changed)
            return status;
        std::string text;
        if (!WriteHive(hive, text))
            return RegStatus::QuotaExceeded;
        const RegStatus stored = Store(target, text);
        return stored != RegStatus::Success ? stored : status;
    }

private:
    // With the lock held: reads the hive; a file that cannot be parsed is renamed aside.
    RegStatus LoadLocked(const std::string& target, RegHive& hive) {
        hive = RegHive(rootName_);
        std::string text;
        int err = 0;
        HiveParseError error;
        switch (atomicfile::ReadCapped(target, limits::kMaxHiveBytes, text, err)) {
        case atomicfile::ReadResult::Missing:
            return RegStatus::Success;
        case atomicfile::ReadResult::Failed:
            return FromErrno(err, RegStatus::ReadFault);
        case atomicfile::ReadResult::TooLarge:
            error.reason = "file larger than the limit";
            break;
        case atomicfile::ReadResult::Ok:
            if (ParseHive(text, hive, error))
                return RegStatus::Success;
            hive = RegHive(rootName_);
            break;
        }
        return SetAside(target, error);
    }

    RegStatus SetAside(const std::string& target, const HiveParseError& error) {
        const std::string base = target + ".broken-" + TimeStamp();
        std::string aside = base;
        struct stat st {};
        for (int n = 2; lstat(aside.c_str(), &st) == 0; ++n) {
            if (n > 1000)
                return RegStatus::WriteFault;
            aside = base + "-" + std::to_string(n);
        }
        std::string why = error.reason;
        if (error.line > 0)
            why = "line " + std::to_string(error.line) + ": " + why;
        if (rename(target.c_str(), aside.c_str()) != 0) {
            const int err = errno;
            if (FirstReport(target))
                SettingsLog("Settings: " + target + " cannot be read (" + why +
                                ") nor set aside: " + std::strerror(err),
                            2);
            return FromErrno(err, RegStatus::WriteFault);
        }
        SettingsLog("Settings: " + target + " cannot be read (" + why + "); kept as " + aside +
                        ", going on with an empty hive",
                    2);
        return RegStatus::Success;
    }

    RegStatus Store(const std::string& target, const std::string& text) {
        // The temporary name is fixed: only the holder of the lock writes it, and one left by a
        // copy that died before its rename is overwritten by the next change.
        int err = 0;
        if (!atomicfile::Replace(target, target + ".tmp", text, fileMode_, err, beforeRename_))
            return CannotWrite(target, err);
        return RegStatus::Success;
    }

    static RegStatus CannotWrite(const std::string& target, int err) {
        SettingsWriteFailed("Settings: " + target + " cannot be written (" +
                            std::generic_category().message(err) + ")");
        return FromErrno(err, RegStatus::WriteFault);
    }

    std::string path_;
    std::string rootName_;
    mode_t fileMode_;
    mode_t dirMode_;
    std::function<void()> beforeRename_;
};

class HiveFileStore final : public SettingsStore {
public:
    explicit HiveFileStore(HiveFiles files)
        : user_(files.currentUser, RootName(RegRoot::CurrentUser), kUserFileMode, kUserDirMode,
                files.beforeRename),
          machine_(files.localMachine, RootName(RegRoot::LocalMachine), kMachineFileMode,
                   kMachineDirMode, files.beforeRename) {}

    RegStatus OpenKey(RegRoot root, const std::string& path, bool create) override {
        std::vector<std::string> names;
        if (!RegHive::SplitPath(path, names))
            return RegStatus::InvalidParameter;
        RegHive hive("");
        const RegStatus status = Hive(root).Load(hive);
        if (status != RegStatus::Success)
            return status;
        // Opening an existing key for writing must not rewrite the file.
        if (hive.KeyExists(path) || !create)
            return hive.KeyExists(path) ? RegStatus::Success : RegStatus::NotFound;
        return Hive(root).Modify(
            [&](RegHive& h, bool& changed) { return h.CreateKey(path, changed); });
    }

    RegStatus QueryValue(RegRoot root, const std::string& path, const std::string& name,
                         RegValue& value) override {
        RegHive hive("");
        const RegStatus status = Hive(root).Load(hive);
        if (status != RegStatus::Success)
            return status;
        return hive.QueryValue(path, name, value);
    }

    RegStatus SetValue(RegRoot root, const std::string& path, const std::string& name,
                       const RegValue& value) override {
        if (!RegHive::ValidValueName(name) || !RegHive::ValidValue(value))
            return RegStatus::InvalidParameter;
        return Hive(root).Modify(
            [&](RegHive& h, bool& changed) { return h.SetValue(path, name, value, changed); });
    }

    RegStatus DeleteValue(RegRoot root, const std::string& path, const std::string& name) override {
        return Hive(root).Modify([&](RegHive& h, bool& changed) {
            const RegStatus status = h.DeleteValue(path, name);
            changed = status == RegStatus::Success;
            return status;
        });
    }

    RegStatus DeleteKey(RegRoot root, const std::string& path, DeleteMode mode) override {
        return Hive(root).Modify([&](RegHive& h, bool& changed) {
            const RegStatus status = h.DeleteKey(path, mode);
            changed = status == RegStatus::Success;
            return status;
        });
    }

    RegStatus EnumKeys(RegRoot root, const std::string& path,
                       std::vector<std::string>& names) override {
        names.clear();
        RegHive hive("");
        const RegStatus status = Hive(root).Load(hive);
        if (status != RegStatus::Success)
            return status;
        return hive.EnumKeys(path, names);
    }

    RegStatus EnumValues(RegRoot root, const std::string& path,
                         std::vector<RegNamedValue>& values) override {
        values.clear();
        RegHive hive("");
        const RegStatus status = Hive(root).Load(hive);
        if (status != RegStatus::Success)
            return status;
        return hive.EnumValues(path, values);
    }

private:
    HiveFile& Hive(RegRoot root) { return root == RegRoot::LocalMachine ? machine_ : user_; }

    HiveFile user_;
    HiveFile machine_;
};

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/tmp";
}

} // namespace

HiveFiles DefaultHiveFiles() {
    HiveFiles files;
    if (const char* dir = std::getenv("CLIPVANE_REGISTRY_DIR"); dir && *dir) {
        files.currentUser = std::string(dir) + "/user.reg";
        files.localMachine = std::string(dir) + "/machine.reg";
        return files;
    }
    std::string config;
    // XDG base directories: a relative value is to be ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        config = xdg;
    else
        config = HomeFolder() + "/.config";
    files.currentUser = config + "/Quorlen/registry/user.reg";
    files.localMachine = "/etc/xdg/Quorlen/registry/machine.reg";
    return files;
}

std::unique_ptr<SettingsStore> CreateHiveFileStore(HiveFiles files) {
    return std::make_unique<HiveFileStore>(std::move(files));
}

std::unique_ptr<SettingsStore> CreateSettingsStore() {
    return CreateHiveFileStore(DefaultHiveFiles());
}

} // namespace reg
