// U_UnicodeUtils: the wide-character file layer on POSIX calls.
#include "support/files/U_UnicodeUtils.h"

#include <cerrno>

#include <sys/stat.h>

namespace {

bool StatOf(const std::string& name, struct stat& st) {
    return !name.empty() && ::stat(name.c_str(), &st) == 0;
}

} // namespace

bool WideFileExists(const std::string& Name) {
    struct stat st {};
    return StatOf(Name, st) && !S_ISDIR(st.st_mode);
}

bool WideDirectoryExists(const std::string& Name) {
    struct stat st {};
    return StatOf(Name, st) && S_ISDIR(st.st_mode);
}

bool WideCreateDirectory(const std::string& Name) {
    return !Name.empty() && ::mkdir(Name.c_str(), 0777) == 0;
}

bool WideForceDirectories(const std::string& Name, unsigned Mode) {
    struct stat st {};
    if (::stat(Name.c_str(), &st) == 0) {
        errno = ENOTDIR;
        return S_ISDIR(st.st_mode);
    }
    if (errno != ENOENT || Name.empty())
        return false;
    const size_t slash = Name.find_last_of('/', Name.find_last_not_of('/'));
    if (slash != std::string::npos && slash > 0 &&
        !WideForceDirectories(Name.substr(0, slash), Mode))
        return false;
    return ::mkdir(Name.c_str(), static_cast<mode_t>(Mode)) == 0 || errno == EEXIST;
}

std::string WideExtractFileExt(const std::string& Name, bool WithoutPoint) {
    const size_t at = Name.find_last_of(".:/");
    if (at == std::string::npos || Name[at] != '.')
        return {};
    return Name.substr(WithoutPoint ? at + 1 : at);
}

std::string WideIncludeTrailingBackslash(const std::string& Path) {
    if (Path.empty() || Path.back() == '/')
        return Path;
    return Path + '/';
}
