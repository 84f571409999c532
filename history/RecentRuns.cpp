#include "history/RecentRuns.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

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

// The run this connection just recorded, from what it kept of it.
void FromMarks(const MarkedRun& kept, const PlaceIndex& nicks, const PlaceIndex& remailers, const RecentRuns& recent,
               RecentRun& run) {
    std::unordered_map<std::string_view, std::uint32_t> nickPlaces;
    for (std::uint32_t i = 0; i < recent.nicks.size(); ++i) nickPlaces.emplace(recent.nicks[i].second, i);
    for (const PingerSeen& p : kept.pingers)
        if (const auto it = nickPlaces.find(p.nick); it != nickPlaces.end())
            run.pingers.push_back({it->second, p.state});
    run.figures.reserve(kept.figures.size());
    for (const FigureMark& f : kept.figures) {
        const std::uint32_t nick = nicks.of(f.nick), remailer = remailers.of(f.remailer);
        if (nick == PlaceIndex::kNone || remailer == PlaceIndex::kNone) continue;
        run.figures.push_back({nick, remailer,
                               Clamped(f.known ? std::optional(f.value) : std::nullopt, -1000000, 1000000),
                               Clamped(f.latency, 0, 1000000000)});
    }
}

}  // namespace

RecentRuns ReadRecentRuns(HistoryDb& db, const std::string& type, int n) {
    RecentRuns recent;
    recent.type = type;
    recent.asked = n;
    recent.nicks = db.names(NameTable::Nick);
    recent.remailers = db.names(NameTable::Remailer);
    const PlaceIndex nicks(recent.nicks), remailers(recent.remailers);
    const auto ids = db.lastRuns(type, n);
    recent.runs.resize(ids.size());
    // The run just recorded is at hand; the others are read, each into its place.
    std::vector<std::int64_t> read;
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        recent.runs[i].id = ids[i];
        recent.runs[i].gmt = db.gmtOf(ids[i]);
        if (const MarkedRun* kept = db.recordedMarks(ids[i])) {
            FromMarks(*kept, nicks, remailers, recent, recent.runs[i]);
        } else {
            read.push_back(ids[i]);
            at.push_back(i);
        }
    }
    for (const StatePoint& s : db.pingerStates(read))
        if (const std::uint32_t nick = nicks.of(s.nick); nick != PlaceIndex::kNone)
            recent.runs[at[s.run]].pingers.push_back({nick, s.state});
    for (RecentRun& run : recent.runs)
        std::sort(run.pingers.begin(), run.pingers.end(),
                  [](const RecentPinger& a, const RecentPinger& b) { return a.nick < b.nick; });
    // Runs are much the size of the one before: room for as many figures.
    db.eachStatsFigure(read, [&](const StatsPoint& point) {
        const std::size_t i = at[point.run];
        auto& figures = recent.runs[i].figures;
        if (figures.empty() && i > 0) figures.reserve(recent.runs[i - 1].figures.size());
        const std::uint32_t nick = nicks.of(point.nick), remailer = remailers.of(point.remailer);
        if (nick == PlaceIndex::kNone || remailer == PlaceIndex::kNone) return;
        figures.push_back(
            {nick, remailer, Clamped(point.hundredths, -1000000, 1000000), Clamped(point.latency, 0, 1000000000)});
    });
    return recent;
}

bool MarksOf(const RecentRuns& recent, std::int64_t id, MarkedRun& into) {
    const auto run =
        std::find_if(recent.runs.begin(), recent.runs.end(), [id](const RecentRun& r) { return r.id == id; });
    if (run == recent.runs.end()) return false;
    into.id = id;
    into.type = recent.type;
    into.gmt = run->gmt;
    into.pingers.clear();
    for (const RecentPinger& p : run->pingers) into.pingers.push_back({recent.nicks[p.nick].second, p.state});
    // The figures came in the order of the numbers, as the report walks them.
    into.figures.clear();
    into.figures.reserve(run->figures.size());
    for (const RecentFigure& f : run->figures)
        into.figures.push_back({recent.nicks[f.nick].first, recent.remailers[f.remailer].first, f.uptime,
                                f.uptime != kNoFigure,
                                f.latency == kNoFigure ? std::nullopt : std::optional<std::int64_t>(f.latency)});
    return true;
}

}  // namespace parlux::history
