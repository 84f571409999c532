#include "history/Consensus.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <set>

#include "common/core/DateTime.h"
#include "common/core/StatsTypes.h"
#include "history/PageSource.h"

namespace parlux::history {

namespace {

// "YYYY/MM/DD HH:NN:SS" as a time; nothing for what is not one.
std::optional<DateTime> StampTime(const std::string& stamp) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (stamp.size() != 19 || std::sscanf(stamp.c_str(), "%4d/%2d/%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s) != 6)
        return std::nullopt;
    return MakeDateTime(y, mo, d, h, mi, s);
}

bool Reached(PingerState state) { return state == PingerState::Downloaded || state == PingerState::Local; }

// The figures of one remailer in a run.
struct RemailerFigures {
    int listed = 0;
    std::vector<double> uptimes, latencies;  // the fresh ones
};

// A stats run from the source's recent runs: the consensus of each remailer
// and each pinger's distance from it, by numbers.
ConsensusRun StatsRun(HistoryDb& db, const RecentRuns& recent, std::size_t at) {
    const RecentRun& r = recent.runs[at];
    ConsensusRun c;
    c.run.id = r.id;
    c.run.type = recent.type;
    c.run.gmt = r.gmt;
    for (const RecentPinger& p : r.pingers) c.run.pingers.push_back({recent.nicks[p.nick].second, p.state});
    c.updated = db.updateTimes(r.id);
    c.freshness = FreshnessOf(c.run, c.updated);
    std::vector<char> fresh(recent.nicks.size(), 0);
    for (const RecentPinger& p : r.pingers)
        fresh[p.nick] = c.freshness.at(recent.nicks[p.nick].second) == Freshness::Fresh;
    std::vector<RemailerFigures> figures(recent.remailers.size());
    const auto uptimeOf = [&](std::uint32_t s) { return recent.uptimeAt(s, at); };
    for (std::uint32_t s = 0; s < recent.series.size(); ++s) {
        if (!recent.givenAt(s, at)) continue;
        const SeriesKey& f = recent.series[s];
        RemailerFigures& m = figures[f.remailer];
        ++m.listed;
        if (!fresh[f.nick]) continue;
        if (uptimeOf(s) != kNoFigure) m.uptimes.push_back(static_cast<double>(uptimeOf(s)) / 100.0);
        if (const std::int32_t latency = recent.latencyAt(s, at); latency != kNoFigure)
            m.latencies.push_back(static_cast<double>(latency));
    }
    std::vector<std::optional<double>> medians(figures.size());
    for (std::size_t m = 0; m < figures.size(); ++m) {
        RemailerFigures& from = figures[m];
        if (!from.listed) continue;
        StatsConsensus& to = c.remailers[recent.remailers[m].second];
        to.listed = from.listed;
        to.fresh = static_cast<int>(from.uptimes.size());
        if (const auto latency = Median(std::move(from.latencies))) to.latency = std::lround(*latency);
        if (!from.uptimes.empty()) {
            const auto [low, high] = std::minmax_element(from.uptimes.begin(), from.uptimes.end());
            to.spread = *high - *low > kSpreadPoints;
        }
        to.uptime = medians[m] = Median(std::move(from.uptimes));
    }
    std::vector<std::vector<double>> strays(recent.nicks.size());
    for (std::uint32_t s = 0; s < recent.series.size(); ++s) {
        const SeriesKey& f = recent.series[s];
        if (recent.givenAt(s, at) && uptimeOf(s) != kNoFigure && medians[f.remailer])
            strays[f.nick].push_back(static_cast<double>(uptimeOf(s)) / 100.0 - *medians[f.remailer]);
    }
    for (std::size_t k = 0; k < strays.size(); ++k)
        if (!strays[k].empty()) c.strays.emplace(recent.nicks[k].second, std::move(strays[k]));
    return c;
}

// The remailers a pinger gave a figure of in the last of the runs.
void ListedTonight(const RecentRuns& recent, std::set<std::string>& listed) {
    if (recent.runs.empty()) return;
    for (std::uint32_t m = 0; m < recent.remailers.size(); ++m) {
        const auto series = recent.ofRemailer(m);
        if (std::any_of(series.begin(), series.end(),
                        [&](std::uint32_t s) { return recent.givenAt(s, recent.runs.size() - 1); }))
            listed.insert(recent.remailers[m].second);
    }
}

ConsensusRun ReadRun(HistoryDb& db, std::int64_t id) {
    ConsensusRun r;
    r.run = db.load(id);
    r.updated = db.updateTimes(id);
    r.freshness = FreshnessOf(r.run, r.updated);
    return r;
}

}  // namespace

std::string_view FreshnessWord(Freshness freshness) {
    switch (freshness) {
        case Freshness::Fresh:
            return "fresh";
        case Freshness::Stale:
            return "stale";
        case Freshness::Ahead:
            return "ahead";
    }
    return "stale";
}

std::map<std::string, Freshness> FreshnessOf(const StoredRun& run, const std::map<std::string, std::string>& updated) {
    std::map<std::string, Freshness> out;
    const auto runTime = StampTime(run.gmt);
    const auto aheadOf = [&](const std::string& nick) -> std::optional<DateTime> {
        const auto it = updated.find(nick);
        return it == updated.end() ? std::nullopt : StampTime(it->second);
    };
    const auto ahead = [&](const std::optional<DateTime>& t) {
        return t && runTime && *t > *runTime + std::chrono::hours(kAheadSlackHours);
    };
    // The newest page of the type tonight, leaving out those ahead of the clock.
    std::optional<DateTime> newest;
    for (const PingerSeen& p : run.pingers) {
        const auto t = aheadOf(p.nick);
        if (Reached(p.state) && t && !ahead(t) && (!newest || *t > *newest)) newest = t;
    }
    // A run recorded before the history kept update times has none at all:
    // what was reached counts, as for the types whose pages print none.
    const bool printsTimes = KindOf(run.type) == Kind::Stats && !updated.empty();
    for (const PingerSeen& p : run.pingers) {
        const auto t = aheadOf(p.nick);
        const bool recent = !printsTimes || (t && newest && *t + std::chrono::hours(kStaleAfterHours) >= *newest);
        Freshness f = Freshness::Stale;
        if (ahead(t))
            f = Freshness::Ahead;
        else if (Reached(p.state) && recent)
            f = Freshness::Fresh;
        out[p.nick] = f;
    }
    return out;
}

std::optional<double> Median(std::vector<double> values) {
    if (values.empty()) return std::nullopt;
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2.0;
}

KeyIdsByRemailer KeyIds(const StoredRun& run) {
    KeyIdsByRemailer out;
    for (const Figure& f : run.figures)
        if (!f.keyId.empty()) out[f.remailer][f.pinger] = f.keyId;
    return out;
}

std::string LatencyText(long seconds, bool version1) {
    char buffer[32];
    const long h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (version1 && h > 0)
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", h, m, s);
    else if (version1)
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld", m, s);
    else if (h > 0)
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld", h, m);
    else
        std::snprintf(buffer, sizeof buffer, ":%02ld", m);
    return buffer;
}

std::string RemailerPageName(std::string_view name) {
    std::string out = "Remailer_";
    for (const char c : name) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '_' || c == '-';
        if (plain) {
            out += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    // A hostile list's name must not make a file name too long to write:
    // a long one is cut and told apart by a hash of the whole ("~" is never
    // plain, so no other name's file has it).
    constexpr std::size_t kKept = 180;
    if (out.size() > kKept + 20) {
        std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
        for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        char tail[24];
        std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(hash));
        out.resize(kKept);
        const std::size_t escape = out.find_last_of('%');
        if (escape != std::string::npos && escape + 3 > out.size()) out.resize(escape);  // never half an escape
        out += tail;
    }
    return out + ".html";
}

Consensus ReadConsensus(PageSource& source) {
    HistoryDb& db = source.db();
    Consensus c;
    std::set<std::string> listedTonight;
    for (const std::string& type : db.types()) {
        TypeRuns& t = c.types.emplace_back();
        t.type = type;
        const bool stats = KindOf(type) == Kind::Stats;
        if (stats) {
            const RecentRuns& recent = source.recent(type, kNightsBack + 1);
            for (std::size_t at = recent.firstOfLast(kNightsBack + 1); at < recent.runs.size(); ++at)
                t.runs.push_back(StatsRun(db, recent, at));
            ListedTonight(recent, listedTonight);
        } else {
            for (const std::int64_t id : db.lastRuns(type, 1)) t.runs.push_back(ReadRun(db, id));
        }
        t.lastReached = db.lastReached(type);
        if (t.runs.empty()) {
            c.types.pop_back();
            continue;
        }
        for (const Figure& f : t.tonight().run.figures) listedTonight.insert(f.remailer);
        if (stats) {
            auto chains = db.brokenChains(t.tonight().run.id);
            c.brokenChains.insert(c.brokenChains.end(), chains.begin(), chains.end());
        }
    }
    c.seen = db.remailersSeen();
    for (const RemailerSeen& r : c.seen) {
        if (listedTonight.count(r.name)) continue;
        const std::string after = db.firstRunAfter(r.lastGmt);
        c.goneSince[r.name] = after.empty() ? r.lastGmt : after;
    }
    return c;
}

}  // namespace parlux::history
