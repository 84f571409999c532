// Parlux.conf in the data folder: a page that carries what it says, and a
// bad line that stops the run before the page is touched.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "common/core/DataFolderLock.h"
#include "common/core/SiteConfig.h"
#include "common/core/StderrLines.h"
#include "rosters/Rosters.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

// Rosterbase's page from a data folder with its own Parlux.conf: the site and
// the mail address are the maintainer's; a bad line stops the run before the
// page is touched.
TEST(SiteConfigFile, ThePageCarriesTheMaintainersAddresses) {
    TempDir data;
    WriteFile(data / "PingersBad.lst", "");
    WriteFile(data / "Pingers.lst", "\"PGP-1\",\"alpha\",\"http://alpha.example.net/rlist.html\"\r\n");
    WriteFile(data / "Parlux.conf", "site = https://remailers.example.net/~kim\nmail = kim@example.net\n");
    std::unique_ptr<DataFolderLock> lock;
    std::string problem;
    ASSERT_TRUE(OpenDataFolder("Rosterbase", data.path(), lock, problem)) << problem;
    ASSERT_TRUE(lock && lock->state() == DataFolderLock::State::Taken);
    RecordingMessages messages;
    std::ostringstream notes;
    const FixedClock clock(MakeDateTime(2026, 12, 8, 3, 15, 0), MakeDateTime(2026, 12, 8, 3, 15, 0));
    EXPECT_EQ(rosters::RunRosterbase(data.path(), clock, messages, notes), 0);
    const std::string page = ReadFile(data / "Pingers.html");
    const auto lines = CrLfLines(page);
    ASSERT_GT(lines.size(), 18u);
    EXPECT_EQ(lines[15],
              "<font color=\"#FF00FF\">Cached Data only available at <a href=\"https://remailers.example.net/~kim/"
              "Parlux/Pingers.html\"> https://remailers.example.net/~kim/Parlux/Pingers.html </a> i.e. NOT on "
              "mirrors.</font><br>");
    EXPECT_EQ(lines[16],
              "<font color=\"#FF00FF\"><a href=\"https://remailers.example.net/~kim/Parlux/PingersX.html\">"
              "List of Referenced Pingers, with LINKS + Date/Time Last_Upload at Pinger's WWW.</a></font><br>");
    EXPECT_NE(lines[17].find("mailto:kim@example.net?Subject=Parlux Page\""), std::string::npos);
    EXPECT_EQ(page.find("example.org"), std::string::npos);

    WriteFile(data / "Parlux.conf", "site = https://remailers.example.net/~kim\nmail = <kim@example.net>\n");
    lock.reset();
    EXPECT_FALSE(OpenDataFolder("Rosterbase", data.path(), lock, problem));
    EXPECT_EQ(problem, (data / "Parlux.conf").string() + ":2: mail holds \"<\"");
    EXPECT_EQ(lock, nullptr);  // stopped before the lock is even asked for
    site::SetCurrent(site::SiteConfig{});
}

}  // namespace
}  // namespace parlux::test
