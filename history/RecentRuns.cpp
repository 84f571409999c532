#include "history/RecentRuns.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>

#include "common/core/InParallel.h"

namespace parlux::history {

namespace {

// The numbers of a name table to places in the order of names: a table
// indexed by number while the numbers stay close to the rows' count (as the
// history hands them out), a hash for a file whose numbers are far apart.
class PlaceIndex {
public:
    explicit PlaceIndex(const NamedRows& rows) {
        std::int64_t highest = 0;
        bool dense = true;
        for (const auto& row : rows) {
            dense = dense && row.first >= 0;
            highest = std::max(highest, row.first);
        }
        dense = dense && highest < static_cast<std::int64_t>(rows.size()) * 4 + 4096;
        for (std::uint32_t i = 0; i < rows.size(); ++i) {
            if (dense) {
                const auto at = static_cast<std::size_t>(rows[i].first);
                if (table_.size() <= at) table_.resize(at + 1, kNone);
                table_[at] = i;
            } else {
                hashed_.emplace(rows[i].first, i);
            }
        }
    }
    // kNone for a number the table does not hold.
    std::uint32_t of(std::int64_t number) const {
        if (hashed_.empty())
            return number >= 0 && static_cast<std::uint64_t>(number) < table_.size()
                       ? table_[static_cast<std::size_t>(number)]
                       : kNone;
        const auto it = hashed_.find(number);
        return it == hashed_.end() ? kNone : it->second;
    }
    static constexpr std::uint32_t kNone = UINT32_MAX;

private:
    std::vector<std::uint32_t> table_;
    std::unordered_map<std::int64_t, std::uint32_t> hashed_;
};

// Only a file written by hand holds figures past these.
std::int32_t Clamped(const std::optional<std::int64_t>& value, std::int64_t low, std::int64_t high) {
    return value ? static_cast<std::int32_t>(std::clamp(*value, low, high)) : kNoFigure;
}

}  // namespace

namespace {

// Series places sorted by a key of each, keeping the order of equal keys;
// where each key's places begin, and the end, in starts.
std::vector<std::uint32_t> CountingSort(const std::vector<std::uint32_t>& in, std::size_t keys,
                                        const std::function<std::uint32_t(std::uint32_t)>& key,
                                        std::vector<std::uint32_t>& starts) {
    starts.assign(keys + 1, 0);
    for (const std::uint32_t s : in) ++starts[key(s) + 1];
    for (std::size_t k = 0; k < keys; ++k) starts[k + 1] += starts[k];
    std::vector<std::uint32_t> out(in.size());
    std::vector<std::uint32_t> next(starts.begin(), starts.end() - 1);
    for (const std::uint32_t s : in) out[next[key(s)]++] = s;
    return out;
}

// Reads the series pinger by pinger, one reader a thread: each pinger's rows
// of the runs are unpacked once, each remailer it gave a figure of in any of
// them becomes one of its series where it is first met, and its series are
// listed in the order of the remailers' numbers.
class SeriesReader {
public:
    SeriesReader(RecentRuns& recent, std::size_t runs, const PlaceIndex& remailers)
        : recent_(recent), runs_(runs), remailers_(remailers), slot_(recent.remailers.size(), PlaceIndex::kNone) {}

    StatsRows rows;  // the rows being read, copied out of the file

    // The pinger's series read before (its stretch of recent.series), for
    // a run added to them: their places are kept, new ones come after.
    void resume(std::span<const SeriesKey> before) {
        mine_.assign(before.size(), PlaceIndex::kNone);
        for (const SeriesKey& key : before) {
            mine_[key.place] = key.remailer;
            slot_[key.remailer] = key.place;
        }
    }

    // The rows into the pinger's figures; its series into `series`. False
    // when a row is no packing.
    bool pinger(std::uint32_t nick, std::vector<SeriesKey>& series) {
        const std::size_t runs = runs_, words = recent_.givenWords;
        PingerFigures& figures = recent_.figures[nick];
        // Pingers mostly list much the same remailers: room for as many as the last.
        figures.uptimes.reserve(lastCount_ * runs);
        figures.latencies.reserve(lastCount_ * runs);
        figures.given.reserve(lastCount_ * words);
        bool whole = true;
        for (std::size_t i = 0; i < rows.rows.size() && whole; ++i) {
            const std::size_t run = rows.rows[i].first;
            StatsRowReader row(rows.row(i));
            for (StatsEntry e{}; row.next(e);) {
                const std::uint32_t remailer = remailers_.of(e.remailer);
                if (remailer == PlaceIndex::kNone) continue;
                if (slot_[remailer] == PlaceIndex::kNone) {
                    slot_[remailer] = static_cast<std::uint32_t>(mine_.size());
                    mine_.push_back(remailer);
                    figures.uptimes.grow(runs);
                    figures.latencies.grow(runs);
                    figures.given.resize(figures.given.size() + words, 0);
                }
                const std::size_t place = slot_[remailer];
                figures.uptimes.set(place * runs + run, Clamped(e.hundredths, -1000000, 1000000));
                figures.latencies.set(place * runs + run, Clamped(e.latency, 0, 1000000000));
                figures.given[place * words + run / 64] |= std::uint64_t{1} << (run % 64);
            }
            whole = !row.damaged();
        }
        // Places follow the order they were met in; the series follow the numbers.
        std::vector<std::uint32_t> places(mine_.size());
        for (std::uint32_t place = 0; place < places.size(); ++place) places[place] = place;
        std::sort(places.begin(), places.end(), [&](std::uint32_t a, std::uint32_t b) {
            return recent_.remailers[mine_[a]].first < recent_.remailers[mine_[b]].first;
        });
        series.reserve(places.size());
        for (const std::uint32_t place : places) series.push_back({nick, mine_[place], place});
        for (const std::uint32_t remailer : mine_) slot_[remailer] = PlaceIndex::kNone;
        lastCount_ = mine_.size();
        mine_.clear();
        return whole;
    }

private:
    RecentRuns& recent_;
    std::size_t runs_;
    const PlaceIndex& remailers_;
    std::vector<std::uint32_t> slot_;  // by remailer place: its series' place among the pinger's
    std::vector<std::uint32_t> mine_;  // the pinger's remailers, by their places
    std::size_t lastCount_ = 0;
};

}  // namespace

void FigureColumn::set(std::size_t i, std::int32_t value) {
    if (wide_.empty()) {
        if (value == kNoFigure) {
            narrow_[i] = kNarrowNone;
            return;
        }
        if (value > INT16_MIN && value <= INT16_MAX) {
            narrow_[i] = static_cast<std::int16_t>(value);
            return;
        }
        wide_.reserve(narrow_.size());
        for (const std::int16_t v : narrow_) wide_.push_back(Widen(v));
        std::vector<std::int16_t>().swap(narrow_);
    }
    wide_[i] = value;
}

void FigureColumn::grow(std::size_t n) {
    if (wide_.empty())
        narrow_.resize(narrow_.size() + n, kNarrowNone);
    else
        wide_.resize(wide_.size() + n, kNoFigure);
}

void FigureColumn::reserve(std::size_t n) {
    if (wide_.empty()) narrow_.reserve(n);
}

void FigureColumn::append(std::size_t i, std::size_t n, std::vector<std::int32_t>& out) const {
    if (!wide_.empty()) {
        out.insert(out.end(), wide_.begin() + static_cast<std::ptrdiff_t>(i),
                   wide_.begin() + static_cast<std::ptrdiff_t>(i + n));
        return;
    }
    // Room made at once: the pages append some thirty million of them a night.
    const std::size_t at = out.size();
    out.resize(at + n);
    std::int32_t* to = out.data() + at;
    const std::int16_t* from = narrow_.data() + i;
    for (std::size_t k = 0; k < n; ++k) to[k] = Widen(from[k]);
}

namespace {

// The runs given, from recent.runs[first] on: their numbers, times and
// pingers, and which pingers' figures came from a cached copy.
void TakeHeads(RecentRuns& recent, HistoryDb& db, const std::vector<std::int64_t>& ids, std::size_t first,
               const PlaceIndex& nicks) {
    const std::size_t runs = recent.runs.size();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        recent.runs[first + i].id = ids[i];
        recent.runs[first + i].gmt = db.gmtOf(ids[i]);
    }
    for (const StatePoint& s : db.pingerStates(ids))
        if (const std::uint32_t nick = nicks.of(s.nick); nick != PlaceIndex::kNone) {
            recent.runs[first + s.run].pingers.push_back({nick, s.state});
            if (s.state == PingerState::Cached) recent.cached[nick * runs + first + s.run] = 1;
        }
    for (std::size_t i = first; i < first + ids.size(); ++i)
        std::sort(recent.runs[i].pingers.begin(), recent.runs[i].pingers.end(),
                  [](const RecentPinger& a, const RecentPinger& b) { return a.nick < b.nick; });
}

// The runs given, with room for `runs` of them (the last ones left for runs
// added later); their series not yet found by remailer (FindByRemailer).
RecentRuns ReadRuns(HistoryDb& db, const std::string& type, int n, const std::vector<std::int64_t>& ids,
                    std::size_t runs, unsigned threads) {
    RecentRuns recent;
    recent.type = type;
    recent.asked = n;
    recent.nicks = db.names(NameTable::Nick);
    recent.remailers = db.names(NameTable::Remailer);
    const PlaceIndex nicks(recent.nicks), remailers(recent.remailers);
    recent.runs.resize(runs);
    recent.cached.assign(recent.nicks.size() * runs, 0);
    TakeHeads(recent, db, ids, 0, nicks);
    recent.figures.resize(recent.nicks.size());
    recent.givenWords = (runs + 63) / 64;
    // One thread at a time reads the file; the others unpack meanwhile. The
    // pingers' series are listed in the order they were read.
    HistoryDb::StatsRowsByPinger file(db, ids);
    std::mutex reading;
    std::deque<std::vector<SeriesKey>> ofPinger;
    std::atomic<bool> failed{false};
    std::vector<SeriesReader> readers(std::max(threads, 1U), SeriesReader(recent, runs, remailers));
    InParallel(readers.size(), threads, [&](std::size_t, unsigned worker) {
        SeriesReader& reader = readers[worker];
        try {
            while (!failed) {
                std::int64_t number = 0;
                std::vector<SeriesKey>* series = nullptr;
                {
                    const std::lock_guard<std::mutex> lock(reading);
                    if (!file.next(number, reader.rows)) return;
                    series = &ofPinger.emplace_back();
                }
                const std::uint32_t nick = nicks.of(number);
                if (nick != PlaceIndex::kNone && !reader.pinger(nick, *series)) throw db.damagedFigures();
            }
        } catch (...) {
            failed = true;
            throw;
        }
    });
    readers.clear();
    std::size_t count = 0;
    for (const auto& series : ofPinger) count += series.size();
    recent.series.reserve(count);
    for (auto& series : ofPinger) {
        recent.series.insert(recent.series.end(), series.begin(), series.end());
        std::vector<SeriesKey>().swap(series);
    }
    return recent;
}

void FindByRemailer(RecentRuns& recent) {
    // By remailer, and within one by the pingers' names.
    std::vector<std::uint32_t> all(recent.series.size());
    for (std::uint32_t s = 0; s < all.size(); ++s) all[s] = s;
    std::vector<std::uint32_t> nickStarts;
    const auto byNick = CountingSort(
        all, recent.nicks.size(), [&](std::uint32_t s) { return recent.series[s].nick; }, nickStarts);
    recent.byRemailer = CountingSort(
        byNick, recent.remailers.size(), [&](std::uint32_t s) { return recent.series[s].remailer; },
        recent.remailerStart);
}

}  // namespace

RecentRuns ReadRecentRuns(HistoryDb& db, const std::string& type, int n, unsigned threads) {
    const auto ids = db.lastRuns(type, n);
    RecentRuns recent = ReadRuns(db, type, n, ids, ids.size(), threads);
    FindByRemailer(recent);
    return recent;
}

RecentRuns ReadRunsBefore(HistoryDb& db, const std::string& type, int n, const std::vector<std::int64_t>& ids,
                          unsigned threads) {
    return ReadRuns(db, type, n, ids, ids.size() + 1, threads);
}

bool AddLastRun(RecentRuns& recent, HistoryDb& db, std::int64_t id) {
    // A name new since they were read moves the places of those after it.
    if (recent.runs.empty() || recent.runs.back().id != 0 || db.names(NameTable::Nick) != recent.nicks ||
        db.names(NameTable::Remailer) != recent.remailers)
        return false;
    const PlaceIndex nicks(recent.nicks), remailers(recent.remailers);
    const std::size_t runs = recent.runs.size(), at = runs - 1;
    TakeHeads(recent, db, {id}, at, nicks);
    // Each pinger's rows of the run after its series of the runs before; the
    // series stay in the order of the numbers.
    const std::vector<SeriesKey> before = std::move(recent.series);
    recent.series.clear();
    recent.series.reserve(before.size());
    std::size_t o = 0;
    const auto number = [&](std::size_t i) { return recent.nicks[before[i].nick].first; };
    SeriesReader reader(recent, runs, remailers);
    HistoryDb::StatsRowsByPinger file(db, {id});
    for (std::int64_t nick = 0; file.next(nick, reader.rows);) {
        for (; o < before.size() && number(o) < nick; ++o) recent.series.push_back(before[o]);
        const std::size_t from = o;
        while (o < before.size() && number(o) == nick) ++o;
        const std::uint32_t place = nicks.of(nick);
        if (place == PlaceIndex::kNone) continue;
        reader.resume({before.data() + from, o - from});
        for (auto& row : reader.rows.rows) row.first = at;
        if (!reader.pinger(place, recent.series)) throw db.damagedFigures();
    }
    recent.series.insert(recent.series.end(), before.begin() + static_cast<std::ptrdiff_t>(o), before.end());
    FindByRemailer(recent);
    return true;
}

std::size_t PlaceOfRun(const RecentRuns& recent, std::int64_t id) {
    const auto run =
        std::find_if(recent.runs.begin(), recent.runs.end(), [id](const RecentRun& r) { return r.id == id; });
    return run == recent.runs.end() ? kNoRun : static_cast<std::size_t>(run - recent.runs.begin());
}

FigureMark MarkOf(const RecentRuns& recent, std::uint32_t s, std::size_t run) {
    const std::int32_t uptime = recent.uptimeAt(s, run);
    return {recent.nicks[recent.series[s].nick].first, recent.remailers[recent.series[s].remailer].first,
            uptime == kNoFigure ? 0 : uptime, uptime != kNoFigure};
}

void MarksOf(const RecentRuns& recent, std::size_t at, MarkedRun& into, bool figures) {
    const RecentRun& run = recent.runs[at];
    into.id = run.id;
    into.type = recent.type;
    into.gmt = run.gmt;
    into.pingers.clear();
    for (const RecentPinger& p : run.pingers) into.pingers.push_back({recent.nicks[p.nick].second, p.state});
    // The series are in the order of the numbers, as the report walks them.
    into.figures.clear();
    if (!figures) return;
    into.figures.reserve(recent.series.size());
    for (std::uint32_t s = 0; s < recent.series.size(); ++s)
        if (recent.givenAt(s, at)) into.figures.push_back(MarkOf(recent, s, at));
}

}  // namespace parlux::history
