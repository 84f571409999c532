// Two nights of the three comparers over pingers served on loopback, with
// one thing changed between them: the change lines the report then holds.
#include <gtest/gtest.h>

#include "history/HistoryDb.h"
#include "night/tests/NightsFixture.h"

namespace parlux::test {
namespace {

const std::string kOldKey = "0123456789abcdef0123456789abcdef";
const std::string kNewKey = "fedcba9876543210fedcba9876543210";

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

// The report's text: each type's section with its lines.
std::string Report(const std::string& times, const std::vector<std::string>& pgp2, const std::vector<std::string>& ty2,
                   const std::vector<std::string>& caps) {
    std::string text;
    const std::pair<const char*, const std::vector<std::string>*> sections[] = {
        {"PGP-2", &pgp2}, {"K-TY2", &ty2}, {"0000", &caps}};
    for (const auto& [type, lines] : sections) {
        if (!text.empty()) text += "\r\n";
        text += std::string(type) + "  " + times + "\r\n";
        for (const auto& line : *lines) text += line + "\r\n";
    }
    return text;
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
         {"PGP-2  beta  not reached  1 runs"},
         {"K-TY2  beta  not reached  1 runs"},
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
        EXPECT_EQ(changes(), Report("2026/12/08 03:15:00 GMT", {"PGP-2  first recorded run"},
                                    {"K-TY2  first recorded run"}, {"0000  first recorded run"}));
        Night second = AgreeingNight();
        c.change(second);
        runNight(second, SecondNight());
        EXPECT_EQ(changes(), Report("2026/12/08 03:15:00 GMT -> 2026/12/09 03:15:00 GMT", c.pgp2, c.ty2, c.caps));
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

}  // namespace
}  // namespace parlux::test
