// The maker's web addresses: each page on the maker's host over https, with its path and query.
#include "mainwindow/handoff/WebLinks.h"
#include "support/files/U_TobrelUtils.h"

#include <QSet>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>

namespace {

using TLink = std::function<QString(std::string_view)>;

struct TPage {
    const char* what;
    TLink link;
    const char* path;
    const char* query; // "" for none
};

const std::vector<TPage>& Pages() {
    static const std::vector<TPage> pages = {
        {"help", HelpUrl, "/doc/cpv", ""},
        {"bug tracker", BugTrackerUrl, "/bugs/view_all_bug_page.php", "project_id=3"},
        {"change log", ChangeLogUrl, "/bugs/changelog_page.php", "project_id=3"},
        {"catalogue", SoftwareCatalogueUrl, "/", "software"},
        {"download", DownloadPageUrl, "/", "download"},
        {"XOL programs", XolProgramsUrl, "/xol.php", ""},
        {"codec tool", CodecToolPageUrl, "/", "qlt"},
        {"site root", SiteRootUrl, "/", ""},
        {"forum", ForumUrl, "/forum", ""},
    };
    return pages;
}

void ExpectPagesOn(std::string_view Host, const QString& ExpectedHost, int ExpectedPort) {
    QSet<QString> seen;
    for (const TPage& page : Pages()) {
        const QString text = page.link(Host);
        const QUrl url(text, QUrl::StrictMode);
        ASSERT_TRUE(url.isValid()) << page.what << ": " << text.toStdString();
        EXPECT_EQ(url.scheme(), QStringLiteral("https")) << page.what;
        EXPECT_EQ(url.host(), ExpectedHost) << page.what;
        EXPECT_EQ(url.port(), ExpectedPort) << page.what;
        EXPECT_EQ(url.path(), QString::fromLatin1(page.path)) << page.what;
        EXPECT_EQ(url.hasQuery(), *page.query != 0) << page.what;
        EXPECT_EQ(url.query(), QString::fromLatin1(page.query)) << page.what;
        EXPECT_TRUE(url.userInfo().isEmpty() && !url.hasFragment()) << page.what;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), static_cast<qsizetype>(Pages().size()));
}

TEST(WebLinks, EveryPageIsOnTheMakersHostOverHttps) {
    const std::string_view host = MakerHost();
    ExpectPagesOn(host, QString::fromUtf8(host.data(), static_cast<qsizetype>(host.size())), -1);
    // The same page the support helpers give to the burn hand-off.
    EXPECT_EQ(XolProgramsUrl(), QString::fromStdString(PartnerPageUrl()));
    // The default arguments are the maker's host.
    EXPECT_EQ(HelpUrl(), HelpUrl(MakerHost()));
    EXPECT_EQ(ContactMailUrl(), ContactMailUrl(MakerHost()));
}

TEST(WebLinks, AnotherHostAndPortAreKept) {
    ExpectPagesOn("downloads.example.net:8443", QStringLiteral("downloads.example.net"), 8443);
}

TEST(WebLinks, ContactAddressIsOnTheMakersDomain) {
    EXPECT_EQ(ContactAddress("www.quorlen.example"), QStringLiteral("contact@quorlen.example"));
    EXPECT_EQ(ContactAddress("quorlen.example"), QStringLiteral("contact@quorlen.example"));
    EXPECT_EQ(ContactAddress("www."), QStringLiteral("contact@www."));
    const QUrl mail(ContactMailUrl("www.quorlen.example"), QUrl::StrictMode);
    ASSERT_TRUE(mail.isValid());
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(mail.path(), QStringLiteral("contact@quorlen.example"));
}

TEST(WebLinks, SomethingThatIsNoHostGivesNoLink) {
    // Each of these would lead the browser or the mail program somewhere else.
    for (const std::string_view bad :
         {std::string_view(), std::string_view("evil.example/x?"), std::string_view("a@b.example"),
          std::string_view("host.example#x"), std::string_view("two words")}) {
        for (const TPage& page : Pages())
            EXPECT_EQ(page.link(bad), QString()) << page.what << " on " << bad;
        EXPECT_EQ(ContactMailUrl(bad), QString()) << bad;
    }
}

} // namespace
