// A file written by the schema before the stats figures were packed a row per
// pinger (made by that version, with figures lacking an uptime or a latency,
// a pinger cached and one missing, a key type and the capability strings)
// reads back the same runs once brought up to date, and again as it is then.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "history/HistoryDb.h"
#include "history/RecentRuns.h"
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

}  // namespace
}  // namespace parlux::test
