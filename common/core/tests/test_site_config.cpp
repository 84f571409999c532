// Parlux.conf: the maintainer's addresses read from the data folder, and each
// kind of line it may hold.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/core/SiteConfig.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

struct ConfCase {
    const char* name;
    std::string text;
    std::string error;  // after "<path>:"; "" when the file is good
    std::string site = {}, mail = {}, mirror3 = {};
};

TEST(SiteConfigFile, EachKindOfLineReadOrRefusedWithItsPlace) {
    const std::string kSite(site::kDefaultSite), kMail(site::kDefaultMail), kMirror3(site::kDefaultMirrors[2]);
    // Every key of the list, as the unknown-key message names them.
    const std::string kKeys = " (the keys are site, mail, mirror1 to mirror4, history and history_days)";
    const ConfCase cases[] = {
        {"no lines", "", "", kSite, kMail, kMirror3},
        {"comments, blanks, CR LF and spaces around =",
         "# my site\r\n\r\n   \r\n  # indented comment\r\nsite=https://remailers.example.net/~kim\r\n"
         "  mail  =  kim@example.net  \r\nmirror3 = http://m3.example.net/kim/Parlux/\r\n",
         "", "https://remailers.example.net/~kim", "kim@example.net", "http://m3.example.net/kim/Parlux/"},
        {"a later line of a key wins", "site = http://a.example.net\nsite = http://b.example.net/x\n", "",
         "http://b.example.net/x", kMail, kMirror3},
        {"a host without a folder, no last line end", "site = https://example.net", "", "https://example.net", kMail,
         kMirror3},
        {"unknown key", "site = http://a.example.net\nmirror5 = http://x.example.net/\n",
         "2: unknown key \"mirror5\"" + kKeys},
        {"no mirror 0", "mirror0 = http://x.example.net/\n", "1: unknown key \"mirror0\"" + kKeys},
        {"no leading zero", "mirror01 = http://x.example.net/\n", "1: unknown key \"mirror01\"" + kKeys},
        {"a mirror without its number", "mirror = http://x.example.net/\n", "1: unknown key \"mirror\"" + kKeys},
        {"the last mirror", "mirror4 = http://m4.example.net/kim/Parlux/\n", "", kSite, kMail, kMirror3},
        {"keys are lower case", "Site = http://a.example.net\n", "1: unknown key \"Site\"" + kKeys},
        {"no =", "# fine\nsite https://a.example.net\n", "2: no \"=\" (lines are key = value)"},
        {"blank value", "mail =   \n", "1: no value for mail"},
        {"double quote", "site = http://a.example.net/\"onload=x\n", "1: site holds a double quote"},
        {"angle bracket", "mail = kim@example.net<script>\n", "1: mail holds \"<\""},
        {"closing bracket", "mirror1 = http://a.example.net/>\n", "1: mirror1 holds \">\""},
        {"blank inside", "site = http://a.example.net/my site\n", "1: site holds a blank"},
        {"control character", "mail = kim@exa\x01mple.net\n", "1: mail holds a control character"},
        {"not http or https", "site = ftp://a.example.net\n", "1: site is not an http:// or https:// address"},
        {"javascript mirror", "mirror2 = javascript:alert(1)\n", "1: mirror2 is not an http:// or https:// address"},
        {"no host", "site = https:///kim\n", "1: site names no host"},
        {"trailing slash", "site = https://a.example.net/kim/\n",
         "1: site ends in \"/\" (the pages add \"/Parlux/...\")"},
        {"mail without @", "mail = kim.example.net\n", "1: mail is not a mail address (no \"@\")"},
        {"mail with a query", "mail = kim@example.net?cc=x@y\n", "1: mail holds \"?\", \"&\" or \"#\""},
        {"mail with a fragment", "mail = kim@example.net#x\n", "1: mail holds \"?\", \"&\" or \"#\""},
        {"site with a query", "site = https://a.example.net/kim?a=1&b=2\n",
         "1: site holds \"?\" (a query): only scheme, host and folder"},
        {"mirror with a fragment", "mirror4 = https://a.example.net/kim/Parlux/#frag\n",
         "1: mirror4 holds \"#\" (a fragment): only scheme, host and folder"},
        {"site with a user and password", "site = https://user:pw@a.example.net\n",
         "1: site holds \"@\" (a user or password): only scheme, host and folder"},
        {"mirror with a user", "mirror1 = http://kim@a.example.net/Parlux/\n",
         "1: mirror1 holds \"@\" (a user or password): only scheme, host and folder"},
        {"a byte-order mark before the first key", "\xEF\xBB\xBFsite = https://bom.example.net\r\n", "",
         "https://bom.example.net", kMail, kMirror3},
        {"a byte-order mark anywhere else is part of a key", "# x\n\xEF\xBB\xBFsite = https://bom.example.net\n",
         "2: unknown key \"\xEF\xBB\xBFsite\"" + kKeys},
    };
    for (const ConfCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir data;
        WriteFile(data / "Parlux.conf", c.text);
        const std::string path = (data / "Parlux.conf").string();
        if (c.error.empty()) {
            const site::SiteConfig config = site::LoadSiteConfig(data.path());
            EXPECT_EQ(config.site, c.site);
            EXPECT_EQ(config.mail, c.mail);
            EXPECT_EQ(config.mirrors[2], c.mirror3);
            EXPECT_EQ(config.mirrors[0], site::kDefaultMirrors[0]);
        } else {
            try {
                site::LoadSiteConfig(data.path());
                ADD_FAILURE() << "accepted";
            } catch (const site::SiteConfigError& e) {
                EXPECT_EQ(e.what(), path + ":" + c.error);
            }
        }
    }
    TempDir none;  // no file: the built-in addresses
    EXPECT_EQ(site::LoadSiteConfig(none.path()).site, kSite);
    // A file that is there but cannot be read stops the program instead of
    // leaving the built-in addresses on the pages.
    const std::string conf = (none / "Parlux.conf").string();
    fs::create_symlink(none / "gone.conf", none / "Parlux.conf");
    try {
        site::LoadSiteConfig(none.path());
        ADD_FAILURE() << "a dangling link accepted";
    } catch (const site::SiteConfigError& e) {
        EXPECT_EQ(e.what(), conf + ": cannot be read: a link to a file that is not there");
    }
    fs::remove(none / "Parlux.conf");
    fs::create_directory(none / "Parlux.conf");
    EXPECT_THROW(site::LoadSiteConfig(none.path()), site::SiteConfigError);
    fs::remove(none / "Parlux.conf");

    // One the user may not read.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    WriteFile(none / "Parlux.conf", "site = https://remailers.example.net/~kim\n");
    fs::permissions(none / "Parlux.conf", fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(none.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const std::string said = AnswerAsUser(65534, [&none] {
        try {
            return site::LoadSiteConfig(none.path()).site;
        } catch (const site::SiteConfigError& e) {
            return std::string(e.what());
        }
    });
    EXPECT_EQ(said, conf + ": cannot be read: Permission denied");
}

}  // namespace
}  // namespace parlux::test
