#include "history/ConsensusPages.h"

#include <cstdio>
#include <set>
#include <tuple>

#include "common/core/SitePage.h"
#include "common/core/StatsTypes.h"
#include "history/PageCells.h"

namespace parlux::history {

using namespace cells;

namespace {

std::string Signed(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%+.2f", value);
    return buffer;
}

bool IsStats(const TypeRuns& t) { return KindOf(t.type) == Kind::Stats; }
bool IsKeys(const TypeRuns& t) { return KindOf(t.type) == Kind::Keys; }

// The four cells of one stats type for one remailer.
std::string StatsCells(const TypeRuns& t, const std::string& remailer) {
    const auto& tonight = t.tonight().remailers;
    const auto it = tonight.find(remailer);
    if (it == tonight.end()) return Cell({}) + Cell({}) + Cell({}) + Cell({});
    const StatsConsensus& c = it->second;
    std::string change;
    if (c.uptime && t.runs.size() > 1) {
        const auto& before = t.runs.front().remailers;
        const auto was = before.find(remailer);
        if (was != before.end() && was->second.uptime) change = Signed(*c.uptime - *was->second.uptime);
    }
    return TextCell(c.uptime ? Percent(*c.uptime) + (c.spread ? " *" : "") : std::string()) +
           TextCell(c.latency ? LatencyText(*c.latency, IsVersion1(t.type)) : std::string()) +
           TextCell(std::to_string(c.fresh) + " of " + std::to_string(c.listed)) + TextCell(change);
}

std::string KeyCell(const KeyIdsByRemailer& keys, const std::string& remailer) {
    const auto it = keys.find(remailer);
    if (it == keys.end()) return Cell({});
    std::set<std::string> distinct;
    for (const auto& entry : it->second) distinct.insert(entry.second);
    if (distinct.size() == 1) return TextCell("keys agree");
    std::string text;
    for (const auto& [nick, id] : it->second) text += (text.empty() ? "" : " ") + nick + "=" + id;
    return TextCell(text);
}

// remailer -> the broken chains it is in tonight, each chain once.
std::map<std::string, int> BrokenCounts(const std::vector<BrokenChain>& chains) {
    std::set<std::tuple<int, std::string, std::string>> distinct;
    for (const BrokenChain& c : chains) distinct.emplace(c.chainType, c.from, c.to);
    std::map<std::string, int> out;
    for (const auto& [type, from, to] : distinct) {
        ++out[from];
        if (to != from) ++out[to];
    }
    return out;
}

}  // namespace

std::string RemailersPage(const Consensus& consensus, const std::string& stamp) {
    std::string p = Head("What the remailer pingers agree on, remailer by remailer",
                         "Remailers (Consensus of the Pingers) (Stats and Keys)", stamp,
                         "Per type the median uptime and latency of the fresh figures, the pingers with a fresh "
                         "figure of those that list the remailer (* where the fresh uptimes are more than 10 points "
                         "apart) and the median uptime's change over the last seven runs.");
    std::string head = HeadCell("Remailer");
    std::vector<KeyIdsByRemailer> keys;
    for (const TypeRuns& t : consensus.types) {
        if (IsStats(t)) {
            for (const char* what : {" uptime", " latency", " pingers", " 7 runs"}) head += HeadCell(t.type + what);
        } else if (IsKeys(t)) {
            head += HeadCell(t.type + " keys");
            keys.push_back(KeyIds(t.tonight().run));
        }
    }
    p += Row(head + HeadCell("Broken chains") + HeadCell("First seen") + HeadCell("Listed"));
    const auto broken = BrokenCounts(consensus.brokenChains);
    for (const RemailerSeen& r : consensus.seen) {
        std::string cells =
            Cell("<a href=\"" + site::HtmlEscape(RemailerPageName(r.name)) + "\">" + site::HtmlEscape(r.name) + "</a>");
        std::size_t k = 0;
        for (const TypeRuns& t : consensus.types) {
            if (IsStats(t)) cells += StatsCells(t, r.name);
            if (IsKeys(t)) cells += KeyCell(keys[k++], r.name);
        }
        const auto count = broken.find(r.name);
        cells += TextCell(std::to_string(count == broken.end() ? 0 : count->second));
        cells += TextCell(DateOf(r.firstGmt));
        const auto gone = consensus.goneSince.find(r.name);
        cells += TextCell(gone == consensus.goneSince.end() ? std::string() : "gone since " + DateOf(gone->second));
        p += Row(cells);
    }
    return p + Foot();
}

namespace {

// nick -> the median of its uptimes' differences from the consensus over
// the stats types' last runs.
std::map<std::string, double> Strays(const Consensus& consensus) {
    std::map<std::string, std::vector<double>> differences;
    for (const TypeRuns& t : consensus.types) {
        if (!IsStats(t)) continue;
        const std::size_t from = t.runs.size() > kNightsBack ? t.runs.size() - kNightsBack : 0;
        for (std::size_t i = from; i < t.runs.size(); ++i)
            for (const auto& [nick, values] : t.runs[i].strays) {
                auto& all = differences[nick];
                all.insert(all.end(), values.begin(), values.end());
            }
    }
    std::map<std::string, double> out;
    for (auto& [nick, values] : differences) out[nick] = *Median(std::move(values));
    return out;
}

// nick -> the remailers for which it alone publishes its key ID tonight.
std::map<std::string, std::set<std::string>> OwnKeys(const Consensus& consensus) {
    std::map<std::string, std::set<std::string>> out;
    for (const TypeRuns& t : consensus.types) {
        if (!IsKeys(t)) continue;
        for (const auto& [remailer, ids] : KeyIds(t.tonight().run)) {
            std::map<std::string, int> publishers;
            for (const auto& entry : ids) ++publishers[entry.second];
            for (const auto& [nick, id] : ids)
                if (ids.size() > 1 && publishers[id] == 1) out[nick].insert(remailer);
        }
    }
    return out;
}

std::string TypeCell(const TypeRuns& t, const std::string& nick) {
    const ConsensusRun& tonight = t.tonight();
    const auto freshness = tonight.freshness.find(nick);
    if (freshness == tonight.freshness.end()) return Cell({});
    const auto reached = t.lastReached.find(nick);
    std::string text = "reached " + (reached == t.lastReached.end() ? std::string("never") : reached->second);
    if (const auto updated = tonight.updated.find(nick); updated != tonight.updated.end())
        text += ", updated " + updated->second;
    return TextCell(text + ", " + std::string(FreshnessWord(freshness->second)));
}

}  // namespace

std::string PingersHealthPage(const Consensus& consensus, const std::string& stamp) {
    std::string p =
        Head("How each remailer pinger stands against the others", "Pingers (Health) (Stats and Keys)", stamp,
             "Per type the last run that reached the pinger, its page's update time and whether its "
             "figures are fresh; the median of its uptimes' differences from the median of the fresh "
             "figures over the last seven runs; the remailers for which it alone publishes its key ID.");
    std::string head = HeadCell("Pinger");
    std::set<std::string> nicks;
    for (const TypeRuns& t : consensus.types) {
        head += HeadCell(t.type == kCapStringsType ? std::string("capability strings") : t.type);
        for (const PingerSeen& seen : t.tonight().run.pingers) nicks.insert(seen.nick);
    }
    p += Row(head + HeadCell("Strays from the consensus") + HeadCell("Keys only it publishes"));
    const auto strays = Strays(consensus);
    const auto own = OwnKeys(consensus);
    for (const std::string& nick : nicks) {
        std::string cells = TextCell(nick);
        for (const TypeRuns& t : consensus.types) cells += TypeCell(t, nick);
        const auto stray = strays.find(nick);
        cells += TextCell(stray == strays.end() ? std::string() : Signed(stray->second));
        std::string remailers;
        if (const auto it = own.find(nick); it != own.end())
            for (const auto& name : it->second) remailers += (remailers.empty() ? "" : ", ") + name;
        p += Row(cells + TextCell(remailers));
    }
    return p + Foot();
}

}  // namespace parlux::history
