#include "history/RemailerPage.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/core/InParallel.h"
#include "common/core/SitePage.h"
#include "common/core/StatsTypes.h"
#include "history/PageCells.h"
#include "history/TrendChart.h"
#include "history/TrendPage.h"

namespace parlux::history {

using namespace cells;

// What the history holds of the remailers, read once for all their pages. A
// named namespace: RemailerStories, which PageSource holds, is made of them.
namespace remailer_stories {

// A stats type's figures of its last runs found by remailer, read once for
// all the pages: the series are the source's recent runs', kept as long as
// the stories are.
struct StatsIndex {
    const RecentRuns* recent = nullptr;
    std::size_t first = 0;                                          // the runs charted are recent's from here on
    std::unordered_map<std::string_view, std::uint32_t> remailers;  // name -> place
    std::vector<std::size_t> style;                                 // by nick: its style in the charts
    std::vector<std::string> nickCells;   // by nick: its first cell, its style's stroke and its nick
    std::vector<std::string> plainCells;  // by nick: the same without the stroke, for a band's chart
    // By nick: the word of its freshness tonight, "" when the consensus has none.
    std::vector<std::string_view> state;
};

// A pinger's key ID or capability string and the first run of its last stretch.
struct HeldValue {
    std::string value, since;
    std::size_t lastRun = 0;
    bool orBefore = false;  // the stretch reaches back past the runs read
};

struct TypeStory {
    std::map<std::string, HeldValue> held;  // key and capability-string types, by nick
};

struct TypeRead {
    std::string type;
    std::vector<std::string> runGmts;   // oldest first; the last is tonight's
    std::unique_ptr<TrendChart> chart;  // stats types: draws every remailer's charts of them
    std::unique_ptr<StatsIndex> stats;  // stats types: their figures by remailer
};

// A thread's room for the pages it makes, one page at a time.
struct Workspace {
    // The series of a type with a figure in the runs charted: (nick, series),
    // in the order of names.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> met;
    std::vector<std::int32_t> values;                 // their figures, as the charts read them
    std::vector<std::unique_ptr<TrendChart>> charts;  // by type: the thread's copy of its charts

    TrendChart& chart(std::size_t type, const TrendChart& shared) {
        if (charts.size() <= type) charts.resize(type + 1);
        if (!charts[type]) charts[type] = std::make_unique<TrendChart>(shared);
        return *charts[type];
    }
};

}  // namespace remailer_stories

using namespace remailer_stories;

struct RemailerStories {
    std::vector<TypeRead> types;                                        // in the suite's order
    std::unordered_map<std::string, std::vector<TypeStory>> remailers;  // key and capability types: one story per type
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

// A stats type's runs from the source's recent runs.
void ReadStats(const RecentRuns& recent, TypeRead& read) {
    auto index = std::make_unique<StatsIndex>();
    StatsIndex& x = *index;
    x.recent = &recent;
    x.first = recent.firstOfLast(kTrendRuns);
    for (std::uint32_t m = 0; m < recent.remailers.size(); ++m) x.remailers.emplace(recent.remailers[m].second, m);
    std::vector<bool> met(recent.nicks.size(), false);
    for (const RecentRun& run : recent.last(kTrendRuns)) {
        read.runGmts.push_back(run.gmt);
        for (const RecentPinger& p : run.pingers) met[p.nick] = true;
    }
    // The pingers of the runs take their styles in the order of their names.
    x.style.assign(recent.nicks.size(), 0);
    std::size_t styles = 0;
    for (std::size_t k = 0; k < met.size(); ++k) {
        x.style[k] = met[k] ? styles++ : styles;
        x.nickCells.push_back(Cell(LegendKey(x.style[k]) + "&nbsp;" + site::HtmlEscape(recent.nicks[k].second)));
        x.plainCells.push_back(TextCell(recent.nicks[k].second));
    }
    read.chart = std::make_unique<TrendChart>(read.runGmts);
    read.stats = std::move(index);
}

const TypeRuns* ConsensusOf(const Consensus& consensus, const std::string& type) {
    const auto it =
        std::find_if(consensus.types.begin(), consensus.types.end(), [&](const TypeRuns& t) { return t.type == type; });
    return it == consensus.types.end() ? nullptr : &*it;
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
            ReadStats(source.recent(read.type, kTrendRuns), read);
            if (const TypeRuns* consensus = ConsensusOf(source.consensus(), read.type)) {
                StatsIndex& x = *read.stats;
                x.state.resize(x.recent->nicks.size());
                for (std::size_t k = 0; k < x.state.size(); ++k)
                    if (const auto f = consensus->tonight().freshness.find(x.recent->nicks[k].second);
                        f != consensus->tonight().freshness.end())
                        x.state[k] = FreshnessWord(f->second);
            }
            continue;
        }
        const auto ids = db.lastRuns(read.type, kTrendRuns);
        // A full window of runs may have older ones before it.
        const bool runsBefore = ids.size() == static_cast<std::size_t>(kTrendRuns);
        for (std::size_t r = 0; r < ids.size(); ++r) {
            const StoredRun run = db.load(ids[r]);
            read.runGmts.push_back(run.gmt);
            for (const Figure& f : run.figures) {
                auto& remailer = out.remailers[f.remailer];
                remailer.resize(types.size());
                TakeValue(kind == Kind::Keys ? f.keyId : f.caps, run.gmt, r, runsBefore, remailer[t].held[f.pinger]);
            }
        }
    }
    return out;
}

// The page.

std::string Section(std::string_view title) {
    return Row("    <td colspan=\"4\"><strong><font color=\"#0000FF\">" + site::HtmlEscape(title) +
               "</font></strong></td>\r\n");
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

// A cell of text, as TextCell writes it, straight onto the page.
void AppendTextCell(std::string& out, std::string_view text) {
    out += "    <td>";
    const std::size_t from = out.size();
    site::AppendHtml(out, text);
    if (out.size() == from) out += kNothing;
    out += "</td>\r\n";
}

// An uptime in hundredths of a percent as Percent writes it ("99.60 %"), from
// the whole number: a figure a night, a pinger a remailer, adds up.
void AppendUptimeCell(std::string& out, std::int32_t hundredths) {
    if (hundredths == kNoFigure) return AppendTextCell(out, {});
    const std::uint32_t magnitude =
        hundredths < 0 ? 0U - static_cast<std::uint32_t>(hundredths) : static_cast<std::uint32_t>(hundredths);
    char whole[16];
    const auto end = std::to_chars(whole, whole + sizeof whole, magnitude / 100).ptr;
    out += "    <td>";
    if (hundredths < 0) out += '-';
    out.append(whole, end);
    out += '.';
    out += static_cast<char>('0' + magnitude / 10 % 10);
    out += static_cast<char>('0' + magnitude % 10);
    out += " %</td>\r\n";
}

// The remailer's series of a stats type, one per pinger with a figure of it in
// the runs charted; false when it has none.
bool GatherSeries(const StatsIndex& x, std::uint32_t remailer, Workspace& w) {
    const RecentRuns& recent = *x.recent;
    w.met.clear();
    for (const std::uint32_t s : recent.ofRemailer(remailer))
        if (recent.givenSince(s, x.first)) w.met.emplace_back(recent.series[s].nick, s);
    return !w.met.empty();
}

// The two charts of a stats type, uptime and latency over its last runs, a
// line per pinger in its own style.
void AppendCharts(std::string& out, TrendChart& chart, const StatsIndex& x, Workspace& w) {
    const RecentRuns& recent = *x.recent;
    const std::size_t runs = recent.runs.size() - x.first;
    ChartInput uptime{ChartScale::Uptime, {}}, latency{ChartScale::Latency, {}};
    // Room made first: the charts' series are spans of it.
    std::vector<std::int32_t>& values = w.values;
    values.clear();
    values.reserve(w.met.size() * runs * 2);
    for (const auto& [nick, series] : w.met) {
        const auto cached = recent.cachedOf(nick, x.first);
        const std::string_view name = recent.nicks[nick].second;
        recent.appendUptimes(series, x.first, values);
        uptime.series.push_back(
            {x.style[nick], name, {values.end() - static_cast<std::ptrdiff_t>(runs), runs}, cached});
        recent.appendLatencies(series, x.first, values);
        latency.series.push_back(
            {x.style[nick], name, {values.end() - static_cast<std::ptrdiff_t>(runs), runs}, cached});
    }
    chart.draw(out, uptime);
    chart.draw(out, latency);
}

// Tonight's figures of each pinger, their medians and the charts of the
// series GatherSeries left in the index.
void AppendStatsSection(std::string& p, std::size_t type, const TypeRead& read, const TypeRuns* consensus,
                        const std::string& name, Workspace& w) {
    const StatsIndex& x = *read.stats;
    const bool v1 = IsVersion1(read.type);
    p += Section(read.type);
    p += Row(HeadCell("Pinger") + HeadCell("Uptime tonight") + HeadCell("Latency tonight") + HeadCell("Figures"));
    const RecentRuns& recent = *x.recent;
    const std::size_t runs = read.runGmts.size();
    // A chart of more pingers than kTitledSeries draws no line of its own
    // for each: no stroke then beside the pinger's name to find it by.
    const std::vector<std::string>& nickCells = w.met.size() > kTitledSeries ? x.plainCells : x.nickCells;
    // A row is some 200 bytes, the charts some 200 a run.
    p.reserve(p.size() + w.met.size() * 200 + runs * 400 + 4096);
    for (const auto& [nick, series] : w.met) {
        const std::size_t tonight = recent.runs.size() - 1;
        const std::int32_t uptime = recent.uptimeAt(series, tonight), latency = recent.latencyAt(series, tonight);
        if (uptime == kNoFigure && latency == kNoFigure) continue;
        const std::string_view state = x.state.empty() ? std::string_view() : x.state[nick];
        p += "  <tr>\r\n";
        p += nickCells[nick];
        AppendUptimeCell(p, uptime);
        AppendTextCell(p, latency == kNoFigure ? std::string() : LatencyText(latency, v1));
        AppendTextCell(
            p, recent.cachedOf(nick, x.first).back() ? std::string(state) + " (a cached copy)" : std::string(state));
        p += "  </tr>\r\n";
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
    p += "  <tr>\r\n";
    p += HeadCell("Last " + std::to_string(read.runGmts.size()) + " runs");
    p += "    <td colspan=\"3\">";
    AppendCharts(p, w.chart(type, *read.chart), x, w);
    p += "</td>\r\n  </tr>\r\n";
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
                         const std::string& stamp, Workspace& w) {
    std::string p = Head("The story of one remailer as the remailer pingers tell it",
                         "Remailer " + site::HtmlEscape(name) + " (Stats, Keys and Capability Strings)", stamp,
                         site::HtmlEscape(Genealogy(consensus, name)) +
                             " Per stats type each pinger's figures tonight (stale: a cached copy or a page that "
                             "stopped updating; ahead: a page dated after the run) and the last runs' charts; per "
                             "key type each pinger's key ID and the night it took it; the capability strings the "
                             "same way; tonight's broken chains.",
                         ChartStyles());
    const auto story = stories.remailers.find(name);
    for (std::size_t t = 0; t < stories.types.size(); ++t) {
        const TypeRead& read = stories.types[t];
        if (read.stats) {
            const auto at = read.stats->remailers.find(name);
            if (at != read.stats->remailers.end() && GatherSeries(*read.stats, at->second, w))
                AppendStatsSection(p, t, read, ConsensusOf(consensus, read.type), name, w);
        } else if (story != stories.remailers.end()) {
            p += HeldSection(read, story->second[t]);
        }
    }
    p += ChainsSection(consensus, name);
    p += Foot();
    return p;
}

}  // namespace

const RemailerStories& StoriesOf(PageSource& source) {
    if (!source.stories()) source.stories() = std::make_shared<const RemailerStories>(ReadStories(source));
    return *source.stories();
}

std::string RemailerPageOf(PageSource& source) {
    Workspace w;
    return RemailerPage(source.consensus(), StoriesOf(source), source.remailer(), source.stamp(), w);
}

void EachRemailerPage(PageSource& source, const std::function<void(std::string, std::string)>& take, unsigned threads) {
    // Everything the pages read from the file is read first, on this thread.
    const Consensus& consensus = source.consensus();
    const RemailerStories& stories = StoriesOf(source);
    std::vector<Workspace> rooms(std::max(threads, 1U));
    InParallel(consensus.seen.size(), threads, [&](std::size_t i, unsigned worker) {
        const std::string& name = consensus.seen[i].name;
        take(RemailerPageName(name), RemailerPage(consensus, stories, name, source.stamp(), rooms[worker]));
    });
}

}  // namespace parlux::history
