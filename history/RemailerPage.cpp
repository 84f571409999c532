#include "history/RemailerPage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "common/core/SitePage.h"
#include "common/core/StatsTypes.h"
#include "history/PageCells.h"
#include "history/TrendChart.h"
#include "history/TrendPage.h"

namespace parlux::history {

using namespace cells;

// What the history holds of the remailers, read once for all their pages.
namespace {

// One pinger's figures for a remailer, run by run (kNoFigure where it gave none).
struct PingerSeries {
    std::vector<std::int32_t> uptimes;    // hundredths of a percent
    std::vector<std::int32_t> latencies;  // seconds
    std::vector<std::uint8_t> cached;     // nonzero: a cached copy's figure
};

// A pinger's key ID or capability string and the first run of its last stretch.
struct HeldValue {
    std::string value, since;
    std::size_t lastRun = 0;
    bool orBefore = false;  // the stretch reaches back past the runs read
};

struct TypeStory {
    std::map<std::string, PingerSeries> series;  // stats types, by nick
    std::map<std::string, HeldValue> held;       // key and capability-string types, by nick
};

struct TypeRead {
    std::string type;
    std::vector<std::string> runGmts;   // oldest first; the last is tonight's
    std::vector<std::string> nicks;     // every pinger of those runs, by name: its chart style
    std::unique_ptr<TrendChart> chart;  // stats types: draws every remailer's charts of them
    std::size_t style(const std::string& nick) const {
        return static_cast<std::size_t>(std::lower_bound(nicks.begin(), nicks.end(), nick) - nicks.begin());
    }
};

}  // namespace

struct RemailerStories {
    std::vector<TypeRead> types;                                        // in the suite's order
    std::unordered_map<std::string, std::vector<TypeStory>> remailers;  // one story per type
};

namespace {

void TakeValue(const std::string& value, const std::string& gmt, std::size_t r, bool runsBefore, HeldValue& held) {
    if (value.empty()) return;
    const bool same = held.value == value && !held.since.empty() && held.lastRun + 1 == r;
    if (!same) {
        held.value = value;
        held.since = gmt;
        held.orBefore = r == 0 && runsBefore;
    }
    held.lastRun = r;
}

// A stats type's runs from the source's recent runs, by numbers until each
// figure finds its remailer's and pinger's story.
void ReadStats(const RecentRuns& recent, std::size_t t, std::size_t types, TypeRead& read, RemailerStories& out) {
    const auto runs = recent.last(kTrendRuns);
    std::vector<bool> met(recent.nicks.size(), false);
    std::vector<std::vector<TypeStory>*> stories(recent.remailers.size(), nullptr);
    for (std::size_t r = 0; r < runs.size(); ++r) {
        read.runGmts.push_back(runs[r].gmt);
        std::vector<std::uint8_t> cached(recent.nicks.size(), 0);
        for (const RecentPinger& p : runs[r].pingers) {
            met[p.nick] = true;
            cached[p.nick] = p.state == PingerState::Cached ? 1 : 0;
        }
        for (const RecentFigure& f : runs[r].figures) {
            auto*& story = stories[f.remailer];
            if (!story) {
                story = &out.remailers[recent.remailers[f.remailer].second];
                story->resize(types);
            }
            PingerSeries& s = (*story)[t].series[recent.nicks[f.nick].second];
            if (s.uptimes.empty()) {
                s.uptimes.assign(runs.size(), kNoFigure);
                s.latencies.assign(runs.size(), kNoFigure);
                s.cached.assign(runs.size(), 0);
            }
            s.uptimes[r] = f.uptime;
            s.latencies[r] = f.latency;
            s.cached[r] = cached[f.nick];
        }
    }
    for (std::size_t k = 0; k < met.size(); ++k)
        if (met[k]) read.nicks.push_back(recent.nicks[k].second);
    read.chart = std::make_unique<TrendChart>(read.runGmts);
}

RemailerStories ReadStories(PageSource& source) {
    HistoryDb& db = source.db();
    RemailerStories out;
    const auto types = db.types();
    for (std::size_t t = 0; t < types.size(); ++t) {
        TypeRead& read = out.types.emplace_back();
        read.type = types[t];
        const Kind kind = KindOf(read.type);
        if (kind == Kind::Stats) {
            ReadStats(source.recent(read.type, kTrendRuns), t, types.size(), read, out);
            continue;
        }
        const auto ids = db.lastRuns(read.type, kTrendRuns);
        // A full window of runs may have older ones before it.
        const bool runsBefore = ids.size() == static_cast<std::size_t>(kTrendRuns);
        std::set<std::string> nicks;
        for (std::size_t r = 0; r < ids.size(); ++r) {
            const StoredRun run = db.load(ids[r]);
            read.runGmts.push_back(run.gmt);
            for (const PingerSeen& p : run.pingers) nicks.insert(p.nick);
            for (const Figure& f : run.figures) {
                auto& remailer = out.remailers[f.remailer];
                remailer.resize(types.size());
                TakeValue(kind == Kind::Keys ? f.keyId : f.caps, run.gmt, r, runsBefore, remailer[t].held[f.pinger]);
            }
        }
        read.nicks.assign(nicks.begin(), nicks.end());
    }
    return out;
}

// The page.

std::string Section(std::string_view title) {
    return Row("    <td colspan=\"4\"><strong><font color=\"#0000FF\">" + site::HtmlEscape(title) +
               "</font></strong></td>\r\n");
}

// A pinger's cell: its style in the charts and its nick.
std::string Nick(const TypeRead& read, const std::string& nick) {
    return Cell(LegendKey(read.style(nick)) + "&nbsp;" + site::HtmlEscape(nick));
}

std::string Genealogy(const Consensus& consensus, const std::string& name) {
    const auto seen = std::find_if(consensus.seen.begin(), consensus.seen.end(),
                                   [&](const RemailerSeen& r) { return r.name == name; });
    if (seen == consensus.seen.end()) return "Not listed by a run the history keeps.";
    std::string line = "First seen " + DateOf(seen->firstGmt);
    const auto gone = consensus.goneSince.find(name);
    if (gone == consensus.goneSince.end()) return line + ", listed tonight.";
    return line + ", last seen " + DateOf(seen->lastGmt) + ", gone since " + DateOf(gone->second) + ".";
}

const TypeRuns* ConsensusOf(const Consensus& consensus, const std::string& type) {
    const auto it =
        std::find_if(consensus.types.begin(), consensus.types.end(), [&](const TypeRuns& t) { return t.type == type; });
    return it == consensus.types.end() ? nullptr : &*it;
}

std::string FigureText(std::int32_t value, bool uptime, bool version1) {
    if (value == kNoFigure) return {};
    return uptime ? Percent(value / 100.0) : LatencyText(value, version1);
}

// The two charts of a stats type, uptime and latency over its last runs, a
// line per pinger in its own style.
void AppendCharts(std::string& out, const TypeRead& read, const std::map<std::string, PingerSeries>& series) {
    ChartInput uptime{ChartScale::Uptime, {}}, latency{ChartScale::Latency, {}};
    for (const auto& [nick, s] : series) {
        uptime.series.push_back({read.style(nick), nick, s.uptimes, s.cached});
        latency.series.push_back({read.style(nick), nick, s.latencies, s.cached});
    }
    read.chart->draw(out, uptime);
    read.chart->draw(out, latency);
}

std::string StatsSection(const TypeRead& read, const TypeStory& story, const TypeRuns* consensus,
                         const std::string& name) {
    const bool v1 = IsVersion1(read.type);
    std::string p = Section(read.type) + Row(HeadCell("Pinger") + HeadCell("Uptime tonight") +
                                             HeadCell("Latency tonight") + HeadCell("Figures"));
    for (const auto& [nick, s] : story.series) {
        if (s.uptimes.back() == kNoFigure && s.latencies.back() == kNoFigure) continue;
        std::string state;
        if (consensus) {
            const auto f = consensus->tonight().freshness.find(nick);
            if (f != consensus->tonight().freshness.end()) state = FreshnessWord(f->second);
        }
        if (s.cached.back()) state += " (a cached copy)";
        p += Row(Nick(read, nick) + TextCell(FigureText(s.uptimes.back(), true, v1)) +
                 TextCell(FigureText(s.latencies.back(), false, v1)) + TextCell(state));
    }
    if (consensus) {
        const auto c = consensus->tonight().remailers.find(name);
        if (c != consensus->tonight().remailers.end())
            p += Row(HeadCell("Median of the fresh") +
                     TextCell(c->second.uptime ? Percent(*c->second.uptime) : std::string()) +
                     TextCell(c->second.latency ? LatencyText(*c->second.latency, v1) : std::string()) +
                     TextCell(std::to_string(c->second.fresh) + " of " + std::to_string(c->second.listed) +
                              " pingers fresh"));
    }
    std::string charts;
    AppendCharts(charts, read, story.series);
    return p + Row(HeadCell("Last " + std::to_string(read.runGmts.size()) + " runs") + "    <td colspan=\"3\">" +
                   charts + "</td>\r\n");
}

// Key IDs and capability strings: each pinger's tonight and since when.
std::string HeldSection(const TypeRead& read, const TypeStory& story) {
    const bool keys = KindOf(read.type) == Kind::Keys;
    const std::size_t tonight = read.runGmts.size() - 1;
    std::map<std::string, int> holders;
    for (const auto& [nick, held] : story.held)
        if (held.lastRun == tonight) ++holders[held.value];
    if (holders.empty()) return {};
    std::string p = Section(keys ? read.type + " keys" : std::string("capability strings"));
    p += Row(HeadCell("Pinger") + HeadCell(keys ? "Key ID" : "Capability string") + HeadCell("Since") +
             HeadCell("Held by"));
    for (const auto& [nick, held] : story.held) {
        if (held.lastRun != tonight) continue;
        const std::string heldBy =
            holders.size() > 1 ? std::to_string(holders[held.value]) + " of " + std::to_string(holders.size()) : "";
        p += Row(TextCell(nick) + TextCell(held.value) +
                 TextCell(DateOf(held.since) + (held.orBefore ? " or before" : "")) + TextCell(heldBy));
    }
    return p;
}

// Tonight's broken chains with the remailer at either end, each with the
// pingers that report it.
std::string ChainsSection(const Consensus& consensus, const std::string& name) {
    std::map<std::tuple<int, std::string, std::string>, std::set<std::string>> chains;
    for (const BrokenChain& c : consensus.brokenChains)
        if (c.from == name || c.to == name) chains[{c.chainType, c.from, c.to}].insert(c.pinger);
    if (chains.empty()) return {};
    std::string p = Section("Broken chains tonight") +
                    Row(HeadCell("Chain") + HeadCell("Section") + HeadCell("Reported by") + Cell({}));
    for (const auto& [chain, pingers] : chains) {
        const auto& [type, from, to] = chain;
        std::string by;
        for (const auto& nick : pingers) by += (by.empty() ? "" : ", ") + nick;
        p += Row(TextCell("(" + from + " " + to + ")") + TextCell(type == 1 ? "type-I" : "type-II") + TextCell(by) +
                 Cell({}));
    }
    return p;
}

std::string RemailerPage(const Consensus& consensus, const RemailerStories& stories, const std::string& name,
                         const std::string& stamp) {
    std::string p = Head("The story of one remailer as the remailer pingers tell it",
                         "Remailer " + site::HtmlEscape(name) + " (Stats, Keys and Capability Strings)", stamp,
                         site::HtmlEscape(Genealogy(consensus, name)) +
                             " Per stats type each pinger's figures tonight (stale: a cached copy or a page that "
                             "stopped updating; ahead: a page dated after the run) and the last runs' charts; per "
                             "key type each pinger's key ID and the night it took it; the capability strings the "
                             "same way; tonight's broken chains.",
                         ChartStyles());
    const auto story = stories.remailers.find(name);
    if (story != stories.remailers.end()) {
        for (std::size_t t = 0; t < stories.types.size(); ++t) {
            const TypeRead& read = stories.types[t];
            if (KindOf(read.type) == Kind::Stats) {
                if (!story->second[t].series.empty())
                    p += StatsSection(read, story->second[t], ConsensusOf(consensus, read.type), name);
            } else {
                p += HeldSection(read, story->second[t]);
            }
        }
    }
    return p + ChainsSection(consensus, name) + Foot();
}

}  // namespace

std::string RemailerPageOf(PageSource& source) {
    if (!source.stories()) source.stories() = std::make_shared<const RemailerStories>(ReadStories(source));
    return RemailerPage(source.consensus(), *source.stories(), source.remailer(), source.stamp());
}

}  // namespace parlux::history
