// Short histories through the real comparers: the rows of Remailers.html and
// Pingers_Health.html after their last night, cells' texts " | " apart.
#include <gtest/gtest.h>

#include <regex>

#include "night/tests/NightsFixture.h"

namespace parlux::test {
namespace {

// Everyone agrees; "old" is seen for the last time.
Night QuietNight() {
    Night n;
    for (const char* nick : {"alpha", "beta", "gamma", "delta", "eps"}) {
        n.pingers[nick] = {{"dizum"}, {"frell"}, {"old"}};
        n.generated[nick] = "Tue 08 Dec 2026 02:00:00 GMT";
    }
    n.pingers["gamma"].pop_back();  // its copy kept while it is down must not list "old"
    const double dizum[] = {100, 90, 80, 70, 98};
    int i = 0;
    for (auto& [nick, shown] : n.pingers) shown[0].uptime = dizum[i++];  // alpha beta delta eps gamma
    n.pingers["eps"][1].uptime = 80;
    n.down = {"zeta"};
    n.pingers["zeta"] = {{"dizum"}};
    return n;
}

// beta's page stopped updating, gamma is down, delta's clock runs ahead,
// alpha has a key of its own for dizum and a broken chain; nobody lists "old".
Night TroubledNight() {
    Night n = QuietNight();
    for (auto& [nick, shown] : n.pingers)
        if (shown.back().name == "old") shown.pop_back();
    n.generated["alpha"] = "Wed 09 Dec 2026 02:00:00 GMT";
    n.generated["beta"] = "Tue 08 Dec 2026 01:00:00 GMT";
    n.generated["delta"] = "Wed 09 Dec 2026 06:00:00 GMT";
    n.generated["eps"] = "Wed 09 Dec 2026 01:30:00 GMT";
    n.down.push_back("gamma");
    n.pingers["alpha"][0].key = "fedcba9876543210fedcba9876543210";
    n.broken["alpha"] = "Broken type-I remailer chains:\r\n(frell dizum)\r\n(* dizum)\r\n(not a pair\r\n(eps x)\r\n";
    n.broken["eps"] = "Broken type-II remailer chains:\r\n(frell dizum)\r\n";
    return n;
}

// Each table row of a page, its cells' texts " | " apart.
std::vector<std::string> Rows(const std::string& page) {
    std::vector<std::string> rows;
    const std::regex row("<tr>\\r\\n((?:.|\\r|\\n)*?)  </tr>"), cell("<td>(.*?)</td>"), tag("<[^>]*>");
    for (std::sregex_iterator r(page.begin(), page.end(), row), end; r != end; ++r) {
        std::string text;
        const std::string cells = (*r)[1];
        for (std::sregex_iterator c(cells.begin(), cells.end(), cell); c != end; ++c)
            text += (text.empty() ? "" : " | ") + std::regex_replace((*c)[1].str(), tag, "");
        rows.push_back(std::regex_replace(text, std::regex("&nbsp;"), ""));
    }
    return rows;
}

struct ConsensusCase {
    const char* name;
    std::vector<Night> nights;
    std::vector<std::string> remailers, health;
};

class ConsensusPages : public NightsTest, public ::testing::WithParamInterface<ConsensusCase> {};

const char* const kRemailersHead =
    "Remailer | PGP-2 uptime | PGP-2 latency | PGP-2 pingers | PGP-2 7 runs | K-TY2 keys | Broken chains | First seen"
    " | Listed";
const char* const kHealthHead = "Pinger | PGP-2 | K-TY2 | Strays from the consensus | Keys only it publishes";
const std::string kKeys =
    "alpha=fedcba9876543210fedcba9876543210 beta=0123456789abcdef0123456789abcdef "
    "delta=0123456789abcdef0123456789abcdef eps=0123456789abcdef0123456789abcdef "
    "gamma=0123456789abcdef0123456789abcdef";

// A pinger's row: the last run reaching it (night 8 or 9), its page's update
// time and freshness, its strays and own keys, and its keys' freshness.
std::string Seen(const std::string& nick, int reached, const std::string& updated, const char* freshness,
                 const std::string& rest, const char* keys = "fresh") {
    const std::string when = "reached 2026/12/0" + std::to_string(reached) + " 03:15:00";
    return nick + " | " + when + ", updated 2026/12/0" + updated + ", " + freshness + " | " + when + ", " + keys +
           " | " + rest;
}

TEST_P(ConsensusPages, RowsAfterTheLastNight) {
    listPingers({"alpha", "beta", "gamma", "delta", "eps", "zeta"});
    DateTime gmt = FirstNight();
    for (const Night& night : GetParam().nights) {
        runNight(night, gmt, kPulsegrid | kLockgrid);
        gmt += std::chrono::days(1);
    }
    EXPECT_EQ(Rows(ReadFile(data_ / "Remailers.html")), GetParam().remailers);
    EXPECT_EQ(Rows(ReadFile(data_ / "Pingers_Health.html")), GetParam().health);
}

INSTANTIATE_TEST_SUITE_P(
    Nights, ConsensusPages,
    ::testing::Values(
        ConsensusCase{
            "quiet",
            {QuietNight()},
            {kRemailersHead, "dizum | 90.00 % * | :28 | 5 of 5 |  | keys agree | 0 | 2026/12/08 | ",
             "frell | 100.00 % * | :28 | 5 of 5 |  | keys agree | 0 | 2026/12/08 | ",
             "old | 100.00 % | :28 | 4 of 4 |  | keys agree | 0 | 2026/12/08 | "},
            {kHealthHead, Seen("alpha", 8, "8 02:00:00", "fresh", "+0.00 | "),
             Seen("beta", 8, "8 02:00:00", "fresh", "+0.00 | "), Seen("delta", 8, "8 02:00:00", "fresh", "+0.00 | "),
             Seen("eps", 8, "8 02:00:00", "fresh", "-20.00 | "), Seen("gamma", 8, "8 02:00:00", "fresh", "+4.00 | "),
             "zeta | reached never, stale | reached never, stale |  | "}},
        ConsensusCase{
            "troubled",
            {QuietNight(), TroubledNight()},
            {kRemailersHead, "dizum | 85.00 % * | :28 | 2 of 5 | -5.00 | " + kKeys + " | 3 | 2026/12/08 | ",
             "frell | 90.00 % * | :28 | 2 of 5 | -10.00 | keys agree | 2 | 2026/12/08 | ",
             "old |  |  |  |  |  | 0 | 2026/12/08 | gone since 2026/12/09"},
            {kHealthHead, Seen("alpha", 9, "9 02:00:00", "fresh", "+10.00 | dizum"),
             Seen("beta", 9, "8 01:00:00", "stale", "+0.00 | "), Seen("delta", 9, "9 06:00:00", "ahead", "+0.00 | "),
             Seen("eps", 9, "9 01:30:00", "fresh", "-15.00 | "),
             Seen("gamma", 8, "8 02:00:00", "stale", "+9.00 | ", "stale"),
             "zeta | reached never, stale | reached never, stale |  | "}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace parlux::test
