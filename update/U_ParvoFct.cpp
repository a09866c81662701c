// U_ParvoFct: product name, company name and version text of a program file.
#include "update/U_ParvoFct.h"

#include "support/files/U_TobrelUtils.h"
#include "support/versioninfo/C_VersionInfo.h"
#include "update/U_Version.h"

TDisplayedFileInfo GetDisplayedFileInfo(const std::string& FileName) {
    TVersionInfo info;
    info.SetFileName(FileName);
    TDisplayedFileInfo result;
    if (info.FileName().empty())
        return result;
    result.ProductName = info.ProductName();
    result.CompanyName = info.CompanyName();
    if (result.ProductName.empty() && !result.CompanyName.empty())
        result.ProductName = FileNameNoExt(FileName);
    return result;
}

std::string RunningVersionText(const std::string& FileName) {
    // FileVersionText reads through the installed reader; this unit may be the only user.
    InstallFileVersionReader();
    const std::string text = FileVersionText(FileName);
    const TParvoVersion version(text);
    return version.IsValid() ? version.AsText() : text;
}
