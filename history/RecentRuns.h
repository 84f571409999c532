#pragma once
// The last runs of a stats type as the night's pages read them: by numbers,
// read from the history once after a run and shared by every page written
// from it. A large grid's month is millions of figures: each pinger's series
// of each remailer is one stretch of a flat array, found by the remailer for
// the pages that chart it and by the run for those that count it.
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "history/HistoryDb.h"
#include "history/TrendChart.h"

namespace parlux::history {

// How a pinger's figures came to a run: the pinger by its place in the order
// of names (RecentRuns::nicks).
struct RecentPinger {
    std::uint32_t nick;
    PingerState state;
};

struct RecentRun {
    std::int64_t id = 0;
    std::string gmt;
    std::vector<RecentPinger> pingers;  // in the order of names
};

// A pinger's figures of a remailer, both by their places in the order of
// names, and the series' place among the pinger's.
struct SeriesKey {
    std::uint32_t nick, remailer, place;
};

// A pinger's series one after another, run by run: the uptime in hundredths
// of a percent and the latency in seconds, kNoFigure where there is none.
struct PingerFigures {
    std::vector<std::int32_t> uptimes, latencies;
};

struct RecentRuns {
    std::string type;
    NamedRows nicks, remailers;   // in the order of names
    std::vector<RecentRun> runs;  // oldest first
    int asked = 0;                // the runs asked for when they were read
    // A series for each pinger and remailer with a figure in the runs, in the
    // order of the pinger's and the remailer's numbers (as the history keeps
    // them and the changes report walks them).
    std::vector<SeriesKey> series;
    // By nick: its series' figures.
    std::vector<PingerFigures> figures;
    // By series, a bit a run (givenWords words each): set where the pinger
    // gave a figure at all (which may hold neither uptime nor latency).
    std::vector<std::uint64_t> given;
    std::size_t givenWords = 0;
    // By nick, run by run (at nick * runs.size() + run): nonzero where the
    // pinger's figures came from a cached copy.
    std::vector<std::uint8_t> cached;
    // The series of each remailer, in the order of the pingers' names:
    // byRemailer[remailerStart[m] .. remailerStart[m + 1]).
    std::vector<std::uint32_t> remailerStart, byRemailer;

    // Where the last n runs begin (all of them when fewer).
    std::size_t firstOfLast(std::size_t n) const { return runs.size() > n ? runs.size() - n : 0; }
    std::span<const RecentRun> last(std::size_t n) const {
        const std::size_t from = firstOfLast(n);
        return {runs.data() + from, runs.size() - from};
    }
    // A series' figures from run `from` on.
    std::span<const std::int32_t> uptimesOf(std::uint32_t s, std::size_t from) const {
        return {figures[series[s].nick].uptimes.data() + series[s].place * runs.size() + from, runs.size() - from};
    }
    std::span<const std::int32_t> latenciesOf(std::uint32_t s, std::size_t from) const {
        return {figures[series[s].nick].latencies.data() + series[s].place * runs.size() + from, runs.size() - from};
    }
    std::span<const std::uint8_t> cachedOf(std::uint32_t nick, std::size_t from) const {
        return {cached.data() + nick * runs.size() + from, runs.size() - from};
    }
    bool givenAt(std::uint32_t s, std::size_t run) const {
        return (given[s * givenWords + run / 64] >> (run % 64) & 1) != 0;
    }
    // Whether the series has a figure in any run from `from` on.
    bool givenSince(std::uint32_t s, std::size_t from) const {
        for (std::size_t w = from / 64; w < givenWords; ++w) {
            std::uint64_t bits = given[s * givenWords + w];
            if (w == from / 64) bits &= ~std::uint64_t{0} << (from % 64);
            if (bits) return true;
        }
        return false;
    }
    std::span<const std::uint32_t> ofRemailer(std::uint32_t m) const {
        return {byRemailer.data() + remailerStart[m], remailerStart[m + 1] - remailerStart[m]};
    }
};

// The type's last n runs.
RecentRuns ReadRecentRuns(HistoryDb& db, const std::string& type, int n);
// One of them as the changes report compares it (HistoryDb::loadMarks); false
// when it is not among them.
bool MarksOf(const RecentRuns& recent, std::int64_t id, MarkedRun& into);

}  // namespace parlux::history
