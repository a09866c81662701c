// WebLinks: the addresses of the maker's pages, built on the maker's host.
#include "mainwindow/handoff/WebLinks.h"

namespace {

bool UsableHost(std::string_view Host) {
    return !Host.empty() && Host.find_first_of("/?#@\\ ") == std::string_view::npos;
}

QString HostText(std::string_view Host) {
    return QString::fromUtf8(Host.data(), static_cast<qsizetype>(Host.size()));
}

// PathAndQuery starts with "/"; the root's queries ("?software") follow a "/" of their own.
QString SiteUrl(std::string_view Host, const char* PathAndQuery) {
    if (!UsableHost(Host))
        return {};
    return QStringLiteral("https://") + HostText(Host) + QString::fromLatin1(PathAndQuery);
}

} // namespace

QString HelpUrl(std::string_view Host) {
    return SiteUrl(Host, "/doc/cpv");
}

QString BugTrackerUrl(std::string_view Host) {
    return SiteUrl(Host, "/bugs/view_all_bug_page.php?project_id=3");
}

QString ChangeLogUrl(std::string_view Host) {
    return SiteUrl(Host, "/bugs/changelog_page.php?project_id=3");
}

QString SoftwareCatalogueUrl(std::string_view Host) {
    return SiteUrl(Host, "/?software");
}

QString DownloadPageUrl(std::string_view Host) {
    return SiteUrl(Host, "/?download");
}

QString XolProgramsUrl(std::string_view Host) {
    return SiteUrl(Host, "/xol.php");
}

QString CodecToolPageUrl(std::string_view Host) {
    return SiteUrl(Host, "/?qlt");
}

QString SiteRootUrl(std::string_view Host) {
    return SiteUrl(Host, "/");
}

QString ForumUrl(std::string_view Host) {
    return SiteUrl(Host, "/forum");
}

QString ContactAddress(std::string_view Host) {
    if (!UsableHost(Host))
        return {};
    constexpr std::string_view www = "www.";
    // "www.example.org" receives its mail as "example.org"; a bare "www." names no domain.
    if (Host.size() > www.size() && Host.substr(0, www.size()) == www)
        Host.remove_prefix(www.size());
    return QStringLiteral("contact@") + HostText(Host);
}

QString ContactMailUrl(std::string_view Host) {
    const QString address = ContactAddress(Host);
    return address.isEmpty() ? QString() : QStringLiteral("mailto:") + address;
}
