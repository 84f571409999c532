#pragma once
// The last runs of a stats type as the night's pages read them: by numbers,
// read from the history once after a run and shared by every page written
// from it. A large grid's month is millions of figures: one small row each,
// no names.
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "history/HistoryDb.h"
#include "history/TrendChart.h"

namespace parlux::history {

// One pinger's figures of one remailer in a run: pinger and remailer by their
// places in the order of names (RecentRuns::nicks, ::remailers), the uptime in
// hundredths of a percent and the latency in seconds, kNoFigure where there
// is none.
struct RecentFigure {
    std::uint32_t nick, remailer;
    std::int32_t uptime, latency;
};

struct RecentPinger {
    std::uint32_t nick;
    PingerState state;
};

struct RecentRun {
    std::int64_t id = 0;
    std::string gmt;
    std::vector<RecentPinger> pingers;  // in the order of names
    std::vector<RecentFigure> figures;  // in the order the history keeps them
};

struct RecentRuns {
    std::string type;
    NamedRows nicks, remailers;   // in the order of names
    std::vector<RecentRun> runs;  // oldest first
    int asked = 0;                // the runs asked for when they were read
    // The last n of them (all when fewer).
    std::span<const RecentRun> last(std::size_t n) const {
        const std::size_t from = runs.size() > n ? runs.size() - n : 0;
        return {runs.data() + from, runs.size() - from};
    }
};

// The type's last n runs.
RecentRuns ReadRecentRuns(HistoryDb& db, const std::string& type, int n);
// One of them as the changes report compares it (HistoryDb::loadMarks); false
// when it is not among them.
bool MarksOf(const RecentRuns& recent, std::int64_t id, MarkedRun& into);

}  // namespace parlux::history
