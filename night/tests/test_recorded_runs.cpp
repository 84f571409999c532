// Two nights of the three comparers over pingers served on loopback, with
// one thing changed between them: the change lines the report then holds.
#include <gtest/gtest.h>

#include <map>

#include "history/HistoryDb.h"
#include "night/tests/NightsFixture.h"

namespace parlux::test {
namespace {

const std::string kOldKey = "0123456789abcdef0123456789abcdef";
const std::string kNewKey = "fedcba9876543210fedcba9876543210";
const std::string kFirstNight =
    "Night of 2026/12/08 GMT\r\nPGP-2  first recorded run\r\nK-TY2  first recorded run\r\n"
    "capability strings  first recorded run\r\n";

// The first night: alpha and beta agree on everything.
Night AgreeingNight() {
    Night n;
    n.pingers["alpha"] = {{"austria"}, {"dizum"}, {"frell"}};
    n.pingers["beta"] = {{"dizum"}, {"frell"}};
    return n;
}

Shown& At(Night& n, const std::string& nick, const std::string& name) {
    for (auto& r : n.pingers[nick])
        if (r.name == name) return r;
    throw std::logic_error("no " + name + " at " + nick);
}

// The report's text after the second night: its types' sections (a type
// with no lines one line of its own), then the first night.
std::string Report(const std::vector<std::string>& pgp2, const std::vector<std::string>& ty2,
                   const std::vector<std::string>& caps) {
    std::string text = "Night of 2026/12/09 GMT\r\n";
    const std::pair<const char*, const std::vector<std::string>*> sections[] = {
        {"PGP-2", &pgp2}, {"K-TY2", &ty2}, {"capability strings", &caps}};
    for (const auto& [type, lines] : sections) {
        text += std::string(type) +
                (lines->empty() ? "  no change" : "  2026/12/08 03:15:00 GMT -> 2026/12/09 03:15:00 GMT") + "\r\n";
        for (const auto& line : *lines) text += line + "\r\n";
    }
    return text + "\r\n" + kFirstNight;
}

struct TwoNightsCase {
    const char* name;
    void (*change)(Night&);
    std::vector<std::string> pgp2, ty2, caps;
};

TEST_F(NightsTest, TwoNightsGiveTheChangeLinesOfWhatChanged) {
    const TwoNightsCase cases[] = {
        {"nothing changed", [](Night&) {}, {}, {}, {}},
        {"a remailer gone at one pinger",
         [](Night& n) { n.pingers["alpha"].erase(n.pingers["alpha"].begin()); },
         {"PGP-2  alpha  austria  vanished"},
         {"K-TY2  alpha  austria  vanished"},
         {"0000  alpha  austria  vanished"}},
        {"a remailer new at one pinger",
         [](Night& n) { n.pingers["beta"].push_back({"austria"}); },
         {"PGP-2  beta  austria  appeared"},
         {"K-TY2  beta  austria  appeared"},
         {"0000  beta  austria  appeared"}},
        {"an uptime drop of 40 points, and one of 15 that is no change",
         [](Night& n) {
             At(n, "alpha", "dizum").uptime = 60.0;
             At(n, "beta", "frell").uptime = 85.0;
         },
         {"PGP-2  alpha  dizum  uptime 100% -> 60%"},
         {},
         {}},
        {"a pinger down: its cached copy counts, nothing vanishes",
         [](Night& n) { n.down = {"beta"}; },
         {"PGP-2  beta  not reached  1 run"},
         {"K-TY2  beta  not reached  1 run"},
         {}},
        {"a key changed at one pinger",
         [](Night& n) { At(n, "alpha", "dizum").key = kNewKey; },
         {},
         {"K-TY2  alpha  dizum  key " + kOldKey + " -> " + kNewKey,
          "K-TY2  dizum  keys differ  alpha=" + kNewKey + "  beta=" + kOldKey},
         {}},
        {"a capability string changed",
         [](Night& n) { At(n, "beta", "frell").caps = "cpunk mix hash ek"; },
         {},
         {},
         {"0000  beta  frell  capabilities changed", "    cpunk mix pgp latent hash", "    cpunk mix hash ek"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(data_ / "Parlux.sqlite");
        listPingers({"alpha", "beta"});
        runNight(AgreeingNight(), FirstNight());
        EXPECT_EQ(changes(), kFirstNight);
        Night second = AgreeingNight();
        c.change(second);
        runNight(second, SecondNight());
        EXPECT_EQ(changes(), Report(c.pgp2, c.ty2, c.caps));
        EXPECT_TRUE(messages_.texts.empty()) << messages_.texts.front();
        messages_.texts.clear();
    }
}

TEST_F(NightsTest, APingerDownNightAfterNightIsCountedAndTheOldRunsGo) {
    listPingers({"alpha", "beta"});
    Night down = AgreeingNight();
    down.down = {"alpha"};
    runNight(AgreeingNight(), FirstNight());
    for (int night = 1; night <= 3; ++night) runNight(down, FirstNight() + std::chrono::days(night));
    const std::string text = changes();
    EXPECT_NE(text.find("PGP-2  alpha  not reached  3 runs\r\n"), std::string::npos) << text;
    // history_days = 2, measured from the newest run: of PGP-2's 32 runs the
    // two oldest go, the last 30 stay whatever their age; K-TY2 keeps its 5.
    {
        history::HistoryDb db(data_ / "Parlux.sqlite");
        for (int run = 0; run < 27; ++run)
            db.record({"Pulsegrid", "PGP-2", FormatStamp(SecondNight() + std::chrono::minutes(run)), {}, {}, {}}, 0);
    }
    site::SiteConfig config;
    config.historyDays = 2;
    site::SetCurrent(config);
    runNight(AgreeingNight(), FirstNight() + std::chrono::days(4));
    history::HistoryDb db(data_ / "Parlux.sqlite");
    EXPECT_EQ(db.lastRuns("PGP-2", 100).size(), 30U);
    EXPECT_EQ(db.gmtOf(db.lastRuns("PGP-2", 30).front()), "2026/12/10 03:15:00");
    EXPECT_EQ(db.lastRuns("K-TY2", 100).size(), 5U);
    EXPECT_EQ(db.load(db.lastRuns("PGP-2", 1).front()).gmt, "2026/12/12 03:15:00");
    EXPECT_EQ(db.integrityCheck(), "ok");
}

// Three nights: beta down while alpha's dizum swaps its key, then beta back
// and an uptime fallen. The report's text and page are golden files, the feed
// is well-formed with what a reader needs, and the site's skeleton links every
// page the night wrote and holds every image the pages show.
TEST_F(NightsTest, AWeekOfChangesMatchesItsGoldenPagesAndFeedAndTheSiteLinksThem) {
    site::SiteConfig config;
    config.mail = "zo\u00eb@example.net";
    site::SetCurrent(config);
    listPingers({"alpha", "beta"});
    runNight(AgreeingNight(), FirstNight());
    Night down = AgreeingNight();
    down.down = {"beta"};
    At(down, "alpha", "dizum").key = kNewKey;
    runNight(down, SecondNight());
    Night back = down;
    back.down.clear();
    At(back, "alpha", "frell").uptime = 50.0;
    runNight(back, SecondNight() + std::chrono::days(1));
    ExpectGolden(changes(), SourceDir() / "night/tests/golden/Changes.txt");
    ExpectGolden(ReadFile(data_ / "Changes.html"), SourceDir() / "night/tests/golden/Changes.html");

    const std::string feed = ReadFile(data_ / "Changes.atom");
    std::vector<std::string> open;
    std::map<std::string, int> seen;
    for (std::size_t at = feed.find('<'); at != std::string::npos; at = feed.find('<', at + 1)) {
        const std::string tag = feed.substr(at + 1, feed.find('>', at) - at - 1);
        const std::size_t from = tag[0] == '/' ? 1 : 0;
        const std::string name = tag.substr(from, tag.find_first_of(" />", from) - from);
        if (tag[0] == '?' || tag.back() == '/') continue;
        if (from == 0) {
            open.push_back(name);
            ++seen[name];
        } else {
            ASSERT_FALSE(open.empty()) << tag;
            EXPECT_EQ(open.back(), name);
            open.pop_back();
        }
    }
    EXPECT_TRUE(open.empty());
    EXPECT_EQ(seen, (std::map<std::string, int>{{"author", 1},
                                                {"content", 3},
                                                {"email", 1},
                                                {"entry", 3},
                                                {"feed", 1},
                                                {"id", 4},
                                                {"name", 1},
                                                {"title", 4},
                                                {"updated", 4}}));
    EXPECT_NE(feed.find("<id>" + config.site + "/Parlux/Changes.atom</id>"), std::string::npos);
    EXPECT_NE(feed.find("/Parlux/Changes.html#2026-12-10</id>"), std::string::npos);
    EXPECT_NE(feed.find("rel=\"self\""), std::string::npos);

    const auto skeleton = SourceDir() / "packaging/examples/site";
    const std::string index = ReadFile(skeleton / "Parlux/index.html");
    for (const auto& e : std::filesystem::directory_iterator(data_.path())) {
        const std::string name = e.path().filename().string();
        const bool page = name.starts_with("Comp_") || name.starts_with("Trend_") || name.starts_with("Changes.") ||
                          name == "Remailers.html" || (name.starts_with("Pingers") && name.ends_with(".html"));
        if (page) {
            EXPECT_NE(index.find("href=\"" + name + "\""), std::string::npos) << name;
        }
        if (!name.ends_with(".html")) continue;
        const std::string text = ReadFile(e.path());
        for (std::size_t at = text.find("\"../"); at != std::string::npos; at = text.find("\"../", at + 1)) {
            const std::string file = text.substr(at + 4, text.find('"', at + 1) - at - 4);
            EXPECT_TRUE(std::filesystem::exists(skeleton / file)) << name << ": " << file;
        }
    }
}

}  // namespace
}  // namespace parlux::test
