// WebLinks: the addresses of the maker's pages the program opens in the browser.
#pragma once

#include "support/platform/MakerHost.h"

#include <QString>

#include <string_view>

// Every page lies on the maker's host, reached over https; Host stands in for it in tests and
// for builds of another site. A host holding "/", "?", "#" or "@" is no host: the functions
// then answer "" rather than a link that leads elsewhere.

// The program's online documentation ("Help", F1).
QString HelpUrl(std::string_view Host = MakerHost());
// The issue tracker's list of this program's issues ("Bug report, Feature request, Known issues").
QString BugTrackerUrl(std::string_view Host = MakerHost());
// The issue tracker's change log of this program ("Change Log").
QString ChangeLogUrl(std::string_view Host = MakerHost());
// The maker's software catalogue (the logo in the window's header).
QString SoftwareCatalogueUrl(std::string_view Host = MakerHost());
// The download page (yes to the new-version question).
QString DownloadPageUrl(std::string_view Host = MakerHost());
// The page that offers the XOL burning and conversion programs; PartnerPageUrl for the maker's
// host.
QString XolProgramsUrl(std::string_view Host = MakerHost());
// The page of the codec inspection tool ("Check Video Codecs" without the tool).
QString CodecToolPageUrl(std::string_view Host = MakerHost());
// The site root (About box, "Web Site").
QString SiteRootUrl(std::string_view Host = MakerHost());
// The forum (About box, "Forums").
QString ForumUrl(std::string_view Host = MakerHost());

// The maker's contact address: "contact@" and the host without a leading "www.".
QString ContactAddress(std::string_view Host = MakerHost());
// A "mailto:" link to it (About box, "Email").
QString ContactMailUrl(std::string_view Host = MakerHost());
