// A file written by the schema before the stats figures were packed a row per
// pinger (made by that version, with figures lacking an uptime or a latency,
// a pinger cached and one missing, a key type and the capability strings)
// reads back the same runs once brought up to date, and again as it is then.
// The last runs read ahead of the next run, and the pages made of them, are
// the same as when read whole, on one thread or several.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <tuple>

#include "common/core/SiteConfig.h"
#include "history/ChangesReport.h"
#include "history/HistoryDb.h"
#include "history/NightRecorder.h"
#include "history/RecentRuns.h"
#include "history/RemailerPage.h"
#include "history/TrendPage.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

// A run: a line for it, per pinger and per figure.
std::string DumpRun(const history::StoredRun& run) {
    std::string out = run.type + " " + run.gmt + "\n";
    for (const auto& p : run.pingers) out += "  " + p.nick + " " + std::to_string(static_cast<int>(p.state)) + "\n";
    for (const auto& f : run.figures) {
        out += "  " + f.pinger + " " + f.remailer;
        out += f.uptimePercent ? " " + history::FormatPercent(*f.uptimePercent) : std::string(" -");
        out += f.latencySeconds ? " " + std::to_string(*f.latencySeconds) : std::string(" -");
        out += " " + f.keyId + " " + f.caps + "\n";
    }
    return out;
}

// Every run of the file.
std::string DumpRuns(history::HistoryDb& db) {
    std::string out;
    for (const std::string& type : db.types())
        for (const std::int64_t id : db.lastRuns(type, 100)) out += DumpRun(db.load(id));
    return out;
}

// A stats run as the pages read it among the last runs, in the order of names.
history::StoredRun FromRecent(const history::RecentRuns& recent, std::size_t at) {
    history::StoredRun run{recent.runs[at].id, recent.type, recent.runs[at].gmt, {}, {}};
    for (const auto& p : recent.runs[at].pingers) run.pingers.push_back({recent.nicks[p.nick].second, p.state});
    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> given;  // nick, remailer, series
    for (std::uint32_t s = 0; s < recent.series.size(); ++s)
        if (recent.givenAt(s, at)) given.emplace_back(recent.series[s].nick, recent.series[s].remailer, s);
    std::sort(given.begin(), given.end());
    for (const auto& [nick, remailer, s] : given) {
        history::Figure& f = run.figures.emplace_back();
        f.pinger = recent.nicks[nick].second;
        f.remailer = recent.remailers[remailer].second;
        if (recent.uptimeAt(s, at) != history::kNoFigure) f.uptimePercent = recent.uptimeAt(s, at) / 100.0;
        if (recent.latencyAt(s, at) != history::kNoFigure) f.latencySeconds = recent.latencyAt(s, at);
    }
    return run;
}

TEST(StoredRuns, AFileOfTheEarlierSchemaReadsBackTheSameRuns) {
    TempDir data;
    fs::copy_file(SourceDir() / "history/tests/data/Parlux-v3.sqlite", data / "Parlux.sqlite");
    for (const char* open : {"brought up to date", "as it is then"}) {
        SCOPED_TRACE(open);
        history::HistoryDb db(data / "Parlux.sqlite");
        EXPECT_EQ(db.integrityCheck(), "ok");
        EXPECT_EQ(db.count("stats_block"), 4);  // two pingers in each stats run
        ExpectGolden(DumpRuns(db), SourceDir() / "history/tests/golden/Parlux-v3-runs.txt");
        // The pages read the same runs as each pinger's series of each remailer.
        for (const std::string& type : db.types()) {
            if (history::KindOf(type) != history::Kind::Stats) continue;
            const history::RecentRuns recent = history::ReadRecentRuns(db, type, 100);
            for (std::size_t at = 0; at < recent.runs.size(); ++at)
                EXPECT_EQ(DumpRun(FromRecent(recent, at)), DumpRun(db.load(recent.runs[at].id)));
        }
    }
}

// A comparer may account for a stats run by places, the names kept once:
// the history keeps the same run as from figures by name, the later of a
// pair given twice included.
TEST(StoredRuns, FiguresByPlacesAreKeptAsFiguresByName) {
    TempDir data;
    history::HistoryDb db(data / "Parlux.sqlite");
    history::Run byName{"Pulsegrid", "MIX-2", "2026/12/09 03:00:00", {{"beta", history::PingerState::Cached}}, {}, {}};
    history::Run byPlaces = byName;
    byPlaces.statsNames = {"dizum", "beta", "austria"};
    const std::vector<std::tuple<std::uint32_t, std::int32_t, std::int32_t>> figures = {
        {0, 9960, 300}, {2, history::kNoStatsFigure, 40000}, {0, 10000, history::kNoStatsFigure}};
    for (const auto& [remailer, hundredths, latency] : figures) {
        byPlaces.statsFigures.push_back({1, remailer, hundredths, latency});
        history::Figure& f = byName.figures.emplace_back();
        f.pinger = "beta";
        f.remailer = byPlaces.statsNames[remailer];
        if (hundredths != history::kNoStatsFigure) f.uptimePercent = hundredths / 100.0;
        if (latency != history::kNoStatsFigure) f.latencySeconds = latency;
    }
    db.record(std::vector<history::Run>{byName, byPlaces}, 0);
    const auto ids = db.lastRuns("MIX-2", 2);
    ASSERT_EQ(ids.size(), 2U);
    EXPECT_EQ(DumpRun(db.load(ids[1])), DumpRun(db.load(ids[0])));
    EXPECT_EQ(db.load(ids[1]).figures.size(), 2U);
    // And the pages read it back whole, the latency past 16 bits included.
    const history::RecentRuns recent = history::ReadRecentRuns(db, "MIX-2", 2);
    for (std::size_t at = 0; at < 2; ++at) EXPECT_EQ(DumpRun(FromRecent(recent, at)), DumpRun(db.load(ids[at])));
}

// Nights of MIX-1, four pingers and 150 remailers (more than a stretch of
// trend rows): uptimes that fall and rise, some without one, gamma cached on
// the third night; on the fifth gamma gives no figure, beta its first of
// rem149 and delta (listed before, without figures) its first of all.
history::Run Night(int night) {
    history::Run run{"Pulsegrid", "MIX-1", FormatStamp(MakeDateTime(2026, 12, night, 3, 15)), {}, {}, {}};
    for (const std::string nick : {"alpha", "beta", "delta", "gamma"}) {
        run.pingers.push_back(
            {nick, nick == "gamma" && night == 3 ? history::PingerState::Cached : history::PingerState::Downloaded});
        if ((nick == "gamma" && night == 5) || (nick == "delta" && night < 5)) continue;
        for (int m = 0; m < 150; ++m) {
            if (nick == "beta" && m == 149 && night < 5) continue;
            history::Figure& f = run.figures.emplace_back();
            f.pinger = nick;
            f.remailer = "rem" + std::to_string(100 + m);
            if (m % 7 != night) f.uptimePercent = 99.0 - (m * night + nick[0]) % 40;
            f.latencySeconds = 60 * night + m;
        }
    }
    for (int m = 0; m < 150; ++m) run.remailerOrder.push_back("rem" + std::to_string(100 + m));
    return run;
}

// All that the pages read of the runs.
std::string DumpRecent(const history::RecentRuns& recent) {
    std::string out;
    for (std::size_t at = 0; at < recent.runs.size(); ++at) out += DumpRun(FromRecent(recent, at));
    for (const auto& key : recent.series)
        out += std::to_string(key.nick) + "," + std::to_string(key.remailer) + "," + std::to_string(key.place) + " ";
    for (const auto s : recent.byRemailer) out += std::to_string(s) + " ";
    return out;
}

TEST(StoredRuns, TheLastRunsReadAheadOfTheNextAreTheSameAsReadWhole) {
    TempDir data;
    history::HistoryDb db(data / "Parlux.sqlite");
    for (int night = 1; night <= 4; ++night) db.record(Night(night), 0);
    history::RecentRuns ahead = history::ReadRunsBefore(db, "MIX-1", 30, db.lastRuns("MIX-1", 29), 2);
    db.record(Night(5), 0);
    ASSERT_TRUE(history::AddLastRun(ahead, db, db.lastRuns("MIX-1", 1).front()));
    const std::string whole = DumpRecent(history::ReadRecentRuns(db, "MIX-1", 30, 1));
    EXPECT_EQ(DumpRecent(ahead), whole);
    EXPECT_EQ(DumpRecent(history::ReadRecentRuns(db, "MIX-1", 30, 3)), whole);
    // A remailer new with the next run: they are read again whole.
    history::RecentRuns before = history::ReadRunsBefore(db, "MIX-1", 30, db.lastRuns("MIX-1", 29), 1);
    history::Run sixth = Night(6);
    sixth.figures.push_back(sixth.figures.back());
    sixth.figures.back().remailer = "rem999";
    db.record(sixth, 0);
    EXPECT_FALSE(history::AddLastRun(before, db, db.lastRuns("MIX-1", 1).front()));
}

TEST(StoredRuns, PagesMadeOnSeveralThreadsAreThoseOfOne) {
    TempDir data;
    history::HistoryDb db(data / "Parlux.sqlite");
    for (int night = 1; night <= 5; ++night) db.record(Night(night), 0);
    const history::Run tonight = Night(5);
    history::PageSource source(db, tonight, tonight.gmt);
    const history::RecentRuns& recent = source.recent("MIX-1", history::kTrendRuns);
    history::TrendInput in{"MIX-1", tonight.gmt, tonight.remailerOrder, {}, {}, &recent, 0, {}, {}};
    for (const auto& run : recent.runs) in.runGmts.push_back(run.gmt);
    for (std::uint32_t k = 0; k < recent.nicks.size(); ++k) {
        in.styleOf.push_back(k);
        in.pingers.push_back(recent.nicks[k].second);
    }
    for (std::uint32_t m = 0; m < recent.remailers.size(); ++m) in.rowRemailer.push_back(m);
    EXPECT_EQ(history::TrendPage(in, 3), history::TrendPage(in, 1));
    std::map<unsigned, std::map<std::string, std::string>> pages;
    std::mutex taking;
    for (const unsigned threads : {1U, 3U})
        history::EachRemailerPage(
            source,
            [&](const std::string& name, const std::string& page) {
                const std::lock_guard<std::mutex> lock(taking);
                pages[threads][name] = page;
            },
            threads);
    EXPECT_EQ(pages[1].size(), 150U);
    EXPECT_EQ(pages[3], pages[1]);
    // The changes report compares the runs the pages read as it compares
    // those it reads itself.
    const std::vector<std::string> lines = source.changeLines();
    EXPECT_EQ(lines, history::ChangeLines(db));
    for (const char* change :
         {"  gamma  rem100  vanished", "  delta  rem100  appeared", "  beta  rem249  appeared", "  uptime "}) {
        EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                               [&](const std::string& line) { return line.find(change) != std::string::npos; }),
                  lines.end())
            << change;
    }
}

// A recorder that reads the last runs ahead writes the pages of one that does
// not, also on the nights it must read them again whole: a remailer new with
// the run, another run of the type recorded meanwhile.
TEST(StoredRuns, PagesOfRunsReadAheadAreThoseOfRunsReadAfter) {
    site::SetCurrent(site::SiteConfig{});
    TempDir ahead, after;
    std::vector<std::string> complaints;
    const auto complain = [&](const std::string& line) { complaints.push_back(line); };
    history::NightRecorder reading(ahead.path(), complain), plain(after.path(), complain);
    for (int night = 1; night <= 6; ++night) {
        history::Run run = Night(night);
        if (night == 4) {
            run.figures.push_back(run.figures.front());
            run.figures.back().remailer = "rem999";
        }
        reading.readAhead("MIX-1");
        if (night == 5) {
            for (const auto& data : {ahead.path(), after.path()}) {
                history::HistoryDb other(data / "Parlux.sqlite");
                other.record(Night(4), 0);
            }
        }
        reading.recordRun(run, MakeDateTime(2026, 12, night, 3, 15), 0);
        plain.recordRun(run, MakeDateTime(2026, 12, night, 3, 15), 0);
        int pages = 0;
        for (const auto& entry : std::filesystem::directory_iterator(after.path())) {
            const std::string name = entry.path().filename().string();
            if (!name.ends_with(".html") && !name.ends_with(".txt") && !name.ends_with(".atom")) continue;
            ++pages;
            EXPECT_TRUE(ReadFile(ahead / name) == ReadFile(entry.path())) << "night " << night << ": " << name;
        }
        EXPECT_EQ(pages, night < 4 ? 156 : 157);  // the trend page, five of the night, the remailers'
    }
    EXPECT_TRUE(complaints.empty()) << complaints.front();
}

}  // namespace
}  // namespace parlux::test
