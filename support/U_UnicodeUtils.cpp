// U_UnicodeUtils: the wide-character file layer on POSIX calls.
#include "U_UnicodeUtils.h"

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
