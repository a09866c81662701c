// U_ParvoFct: the names and version under which a program file presents itself.
#pragma once

#include <string>

// The product and company name a file shows in its version resource.
struct TDisplayedFileInfo {
    std::string ProductName;
    std::string CompanyName;
};

// From the file's version resource: ProductName and CompanyName. A file that names its maker but
// no product is known by its file name without extension. Both are empty for a file without a
// version resource (or a missing file).
TDisplayedFileInfo GetDisplayedFileInfo(const std::string& FileName);

// The file version as "Major.Minor.Release.Build" when it reads as a valid version; otherwise
// FileVersionText's answer as it is ("" without version information, "File not found").
std::string RunningVersionText(const std::string& FileName);
