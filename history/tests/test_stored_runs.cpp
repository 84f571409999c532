// A file written by the schema before the stats figures were packed a row per
// pinger (made by that version, with figures lacking an uptime or a latency,
// a pinger cached and one missing, a key type and the capability strings)
// reads back the same runs once brought up to date, and again as it is then.
#include <gtest/gtest.h>

#include "history/HistoryDb.h"
#include "testsupport/TestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

// Every run of the file: a line per run, per pinger and per figure.
std::string DumpRuns(history::HistoryDb& db) {
    std::string out;
    for (const std::string& type : db.types())
        for (const std::int64_t id : db.lastRuns(type, 100)) {
            const history::StoredRun run = db.load(id);
            out += run.type + " " + run.gmt + "\n";
            for (const auto& p : run.pingers)
                out += "  " + p.nick + " " + std::to_string(static_cast<int>(p.state)) + "\n";
            for (const auto& f : run.figures) {
                out += "  " + f.pinger + " " + f.remailer;
                out += f.uptimePercent ? " " + history::FormatPercent(*f.uptimePercent) : std::string(" -");
                out += f.latencySeconds ? " " + std::to_string(*f.latencySeconds) : std::string(" -");
                out += " " + f.keyId + " " + f.caps + "\n";
            }
        }
    return out;
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
    }
}

}  // namespace
}  // namespace parlux::test
