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

#include "common/core/InParallel.h"
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

// A column of figures kept in 16 bits while they fit, as uptimes in
// hundredths of a percent and most latencies in seconds do, and in 32 from the
// first that does not: a large grid's month is millions of them.
class FigureColumn {
public:
    // n more figures, none of them given.
    void grow(std::size_t n);
    void reserve(std::size_t n);
    std::int32_t operator[](std::size_t i) const { return wide_.empty() ? Widen(narrow_[i]) : wide_[i]; }
    void set(std::size_t i, std::int32_t value);
    // Appends the n figures from i on.
    void append(std::size_t i, std::size_t n, std::vector<std::int32_t>& out) const;

private:
    static constexpr std::int16_t kNarrowNone = INT16_MIN;
    static std::int32_t Widen(std::int16_t v) { return v == kNarrowNone ? kNoFigure : v; }
    std::vector<std::int16_t> narrow_;
    std::vector<std::int32_t> wide_;
};

// A pinger's series one after another, run by run: the uptime in hundredths
// of a percent and the latency in seconds, kNoFigure where there is none.
struct PingerFigures {
    FigureColumn uptimes, latencies;
    // A bit a run (RecentRuns::givenWords words a series): set where the
    // pinger gave a figure at all (which may hold neither uptime nor latency).
    std::vector<std::uint64_t> given;
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
    // A series' figure of a run.
    std::int32_t uptimeAt(std::uint32_t s, std::size_t run) const {
        return figures[series[s].nick].uptimes[series[s].place * runs.size() + run];
    }
    std::int32_t latencyAt(std::uint32_t s, std::size_t run) const {
        return figures[series[s].nick].latencies[series[s].place * runs.size() + run];
    }
    // Appends a series' figures from run `from` on.
    void appendUptimes(std::uint32_t s, std::size_t from, std::vector<std::int32_t>& out) const {
        figures[series[s].nick].uptimes.append(series[s].place * runs.size() + from, runs.size() - from, out);
    }
    void appendLatencies(std::uint32_t s, std::size_t from, std::vector<std::int32_t>& out) const {
        figures[series[s].nick].latencies.append(series[s].place * runs.size() + from, runs.size() - from, out);
    }
    std::span<const std::uint8_t> cachedOf(std::uint32_t nick, std::size_t from) const {
        return {cached.data() + nick * runs.size() + from, runs.size() - from};
    }
    bool givenAt(std::uint32_t s, std::size_t run) const { return (givenOf(s)[run / 64] >> (run % 64) & 1) != 0; }
    // Whether the series has a figure in any run from `from` on.
    bool givenSince(std::uint32_t s, std::size_t from) const {
        for (std::size_t w = from / 64; w < givenWords; ++w) {
            std::uint64_t bits = givenOf(s)[w];
            if (w == from / 64) bits &= ~std::uint64_t{0} << (from % 64);
            if (bits) return true;
        }
        return false;
    }
    const std::uint64_t* givenOf(std::uint32_t s) const {
        return figures[series[s].nick].given.data() + series[s].place * givenWords;
    }
    std::span<const std::uint32_t> ofRemailer(std::uint32_t m) const {
        return {byRemailer.data() + remailerStart[m], remailerStart[m + 1] - remailerStart[m]};
    }
};

// The type's last n runs, unpacked on up to `threads` threads.
RecentRuns ReadRecentRuns(HistoryDb& db, const std::string& type, int n, unsigned threads = WorkerThreads());
// The same read ahead, while the next run is recorded: the runs given (the
// last n - 1) with room for that one, which AddLastRun adds. Nothing reads
// them before it has.
RecentRuns ReadRunsBefore(HistoryDb& db, const std::string& type, int n, const std::vector<std::int64_t>& ids,
                          unsigned threads);
// The run recorded after them added; false when it cannot be (a name new
// since they were read): they are then read again whole.
bool AddLastRun(RecentRuns& recent, HistoryDb& db, std::int64_t id);
// The place of the run among them, kNoRun when it is not there.
inline constexpr std::size_t kNoRun = SIZE_MAX;
std::size_t PlaceOfRun(const RecentRuns& recent, std::int64_t id);
// A series' figure of a run, as the changes report compares it.
FigureMark MarkOf(const RecentRuns& recent, std::uint32_t s, std::size_t run);
// The run at that place as the changes report reads it (HistoryDb::loadMarks):
// its figures only when asked.
void MarksOf(const RecentRuns& recent, std::size_t at, MarkedRun& into, bool figures);

}  // namespace parlux::history
