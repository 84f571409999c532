#include "history/ChangesReport.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "common/core/SitePage.h"
#include "common/core/StatsTypes.h"
#include "history/Consensus.h"

namespace parlux::history {

namespace {

// A figure's place in a run's figures, sorted by pinger and remailer.
bool Before(const Figure& a, const Figure& b) {
    return std::tie(a.pinger, a.remailer) < std::tie(b.pinger, b.remailer);
}

// The change of one pinger's line that stayed, or nothing.
void LineChanges(const std::string& type, Kind kind, const Figure& was, const Figure& is,
                 std::vector<std::string>& out) {
    // Most pairs did not change: their line's head is made only when one did.
    const auto head = [&] { return type + "  " + is.pinger + "  " + is.remailer + "  "; };
    switch (kind) {
        case Kind::Stats:
            if (was.uptimePercent && is.uptimePercent &&
                std::fabs(*is.uptimePercent - *was.uptimePercent) >= kUptimeChangePoints - 1e-9)
                out.push_back(head() + "uptime " + FormatPercent(*was.uptimePercent) + "% -> " +
                              FormatPercent(*is.uptimePercent) + "%");
            break;
        case Kind::Keys:
            if (was.keyId != is.keyId) out.push_back(head() + "key " + was.keyId + " -> " + is.keyId);
            break;
        case Kind::CapStrings:
            if (was.caps != is.caps) {
                out.push_back(head() + "capabilities changed");
                out.push_back("    " + was.caps);
                out.push_back("    " + is.caps);
            }
            break;
    }
}

// remailer -> the pingers' key IDs, when they are not all the same.
std::map<std::string, std::map<std::string, std::string>> DifferingKeys(const StoredRun& run) {
    std::map<std::string, std::map<std::string, std::string>> ids;
    for (const auto& f : run.figures)
        if (!f.keyId.empty()) ids[f.remailer][f.pinger] = f.keyId;
    for (auto it = ids.begin(); it != ids.end();) {
        std::set<std::string> distinct;
        for (const auto& entry : it->second) distinct.insert(entry.second);
        it = distinct.size() > 1 ? std::next(it) : ids.erase(it);
    }
    return ids;
}

constexpr std::string_view kNoChange = "  no change";
constexpr std::string_view kNightHead = "Night of ";

std::string Runs(int n) { return std::to_string(n) + (n == 1 ? " run" : " runs"); }

// A section's head names the capability strings' type by what it holds.
std::string Heading(const std::string& type) {
    return type == kCapStringsType ? std::string("capability strings") : type;
}

bool NotReached(PingerState state) { return state == PingerState::Cached || state == PingerState::Missing; }

// Two consecutive runs of a type, as the night of the newer one shows them.
struct PairOfRuns {
    std::string gmt;  // the newer run's
    std::int64_t run;
    std::size_t type;  // in the suite's order
    std::vector<std::string> lines;
};

// The remailers whose pingers' key IDs differ now and agreed before.
void NewlyDifferingKeys(const StoredRun& before, const StoredRun& now, std::vector<std::string>& out) {
    const auto differedBefore = DifferingKeys(before);
    for (const auto& [remailer, ids] : DifferingKeys(now)) {
        if (differedBefore.count(remailer)) continue;
        std::string line = now.type + "  " + remailer + "  keys differ";
        for (const auto& [nick, id] : ids) line += "  " + nick + "=" + id;
        out.push_back(line);
    }
}

std::string Section(const std::string& type, const std::vector<std::string>& gmts) {
    std::string head = type + "  ";
    for (std::size_t i = 0; i < gmts.size(); ++i) head += (i ? " -> " : "") + gmts[i] + " GMT";
    return head;
}

std::vector<std::string> PairLines(HistoryDb& db, const StoredRun& before, const StoredRun& now) {
    std::vector<std::pair<std::string, int>> notReached, reachedAgain;
    for (const auto& p : now.pingers) {
        if (NotReached(p.state)) {
            notReached.emplace_back(p.nick, db.runsNotReachedUpTo(now.type, p.nick, now.id));
            continue;
        }
        const auto was = std::find_if(before.pingers.begin(), before.pingers.end(),
                                      [&p](const PingerSeen& seen) { return seen.nick == p.nick; });
        if (p.state == PingerState::Downloaded && was != before.pingers.end() && NotReached(was->state))
            reachedAgain.emplace_back(p.nick, db.runsNotReachedUpTo(now.type, p.nick, before.id));
    }
    auto lines = ChangesBetween(before, now, notReached, reachedAgain);
    if (lines.empty()) return {Heading(now.type) + std::string(kNoChange)};
    lines.insert(lines.begin(), Section(Heading(now.type), {before.gmt, now.gmt}));
    return lines;
}

// A line of the page: a remailer's name links to the trend page of its type
// (stats types have one), and keys that differ stand out.
std::string HtmlLine(const std::string& line) {
    std::vector<std::string> fields;
    for (std::size_t at = 0;;) {
        const std::size_t next = line.find("  ", at);
        fields.push_back(line.substr(at, next == std::string::npos ? std::string::npos : next - at));
        if (next == std::string::npos) break;
        at = next + 2;
    }
    const StatsTypeInfo* info = FindStatsType(fields[0]);
    const bool typed = info || fields[0] == Heading(std::string(kCapStringsType));
    // "<type>  <pinger>  <remailer>  <what>" and "<type>  <remailer>  keys differ  ...": the remailer's
    // name links to its own page, and a stats line's type to the type's trend page.
    const bool ofRemailer = typed && fields.size() == 4 && fields[2] != "not reached";
    const bool differ = typed && fields.size() > 2 && fields[2] == "keys differ";
    std::string out;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k) out += "  ";
        const std::string text = site::HtmlEscape(fields[k]);
        if (k == 0 && ofRemailer && info && !info->keys)
            out += "<a href=\"Trend_" + text + ".html\">" + text + "</a>";
        else if ((k == 2 && ofRemailer && !differ) || (k == 1 && differ))
            out += "<a href=\"" + site::HtmlEscape(RemailerPageName(fields[k])) + "\">" + text + "</a>";
        else if (k == 2 && differ)
            out += "<strong class=\"differ\">" + text + "</strong>";
        else
            out += text;
    }
    return out;
}

}  // namespace

std::vector<std::string> ChangesBetween(const StoredRun& before, const StoredRun& now,
                                        const std::vector<std::pair<std::string, int>>& notReached,
                                        const std::vector<std::pair<std::string, int>>& reachedAgain) {
    std::vector<std::string> out;
    out.reserve(notReached.size() + reachedAgain.size());
    const std::string type = now.type;
    const Kind kind = KindOf(type);
    for (const auto& [nick, runs] : notReached) out.push_back(type + "  " + nick + "  not reached  " + Runs(runs));
    for (const auto& [nick, runs] : reachedAgain)
        out.push_back(type + "  " + nick + "  reached again after " + Runs(runs));
    // Both runs' figures are in the order of pinger and remailer: one walk
    // down the two, each pair met once (a large grid is half a million).
    auto w = before.figures.begin(), i = now.figures.begin();
    const auto wasEnd = before.figures.end(), isEnd = now.figures.end();
    while (w != wasEnd || i != isEnd) {
        const bool gone = i == isEnd || (w != wasEnd && Before(*w, *i));
        const bool came = !gone && (w == wasEnd || Before(*i, *w));
        const Figure& f = gone ? *w : *i;
        if (gone || came) {
            out.push_back(type + "  " + f.pinger + "  " + f.remailer + "  " + (gone ? "vanished" : "appeared"));
        } else {
            LineChanges(type, kind, *w, *i, out);
            ++w;
        }
        if (gone)
            ++w;
        else
            ++i;
    }
    if (kind == Kind::Keys) NewlyDifferingKeys(before, now, out);
    return out;
}

std::vector<NightOfChanges> WeekOfChanges(HistoryDb& db) {
    std::vector<PairOfRuns> pairs;
    const auto types = db.types();
    for (std::size_t t = 0; t < types.size(); ++t) {
        const auto ids = db.lastRuns(types[t], kPairsKept + 1);
        if (ids.empty()) continue;
        if (ids.size() <= static_cast<std::size_t>(kPairsKept)) {  // the type's first run is among them
            const std::string gmt = db.gmtOf(ids.front());
            pairs.push_back({gmt, ids.front(), t, {Heading(types[t]) + "  first recorded run"}});
        }
        if (ids.size() < 2) continue;
        StoredRun before = db.load(ids.front());
        for (std::size_t k = 1; k < ids.size(); ++k) {
            StoredRun now = db.load(ids[k]);
            pairs.push_back({now.gmt, now.id, t, PairLines(db, before, now)});
            before = std::move(now);
        }
    }
    // Within a night the types in the suite's order, a type's newest pair first.
    std::stable_sort(pairs.begin(), pairs.end(), [](const PairOfRuns& a, const PairOfRuns& b) {
        return a.type != b.type ? a.type < b.type : a.run > b.run;
    });
    std::map<std::string, NightOfChanges> byDate;
    for (auto& pair : pairs) {
        NightOfChanges& night = byDate[pair.gmt.substr(0, 10)];
        night.date = pair.gmt.substr(0, 10);
        if (pair.run > night.newestRun) {
            night.newestRun = pair.run;
            night.newestGmt = pair.gmt;
        }
        night.changed = night.changed || !pair.lines.back().ends_with(kNoChange);
        night.lines.insert(night.lines.end(), pair.lines.begin(), pair.lines.end());
    }
    // Newest first by the order of recording: a clock once far ahead does not
    // keep its night on top.
    std::vector<NightOfChanges> nights;
    nights.reserve(byDate.size());
    for (auto& entry : byDate) nights.push_back(std::move(entry.second));
    std::sort(nights.begin(), nights.end(), [](const auto& a, const auto& b) { return a.newestRun > b.newestRun; });
    if (nights.size() > kNightsKept) nights.resize(kNightsKept);
    return nights;
}

std::vector<std::string> ChangeLines(const std::vector<NightOfChanges>& nights) {
    std::vector<std::string> out;
    for (const NightOfChanges& night : nights) {
        if (!out.empty()) out.emplace_back();
        out.push_back(std::string(kNightHead) + night.date + " GMT");
        out.insert(out.end(), night.lines.begin(), night.lines.end());
    }
    return out;
}

std::string ChangesText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

std::string ChangesPage(const std::vector<std::string>& lines, const std::string& stamp) {
    std::string p = site::PageHead("Changes of the last seven recorded nights of the comparison of remailer pingers",
                                   "changes, remailer, comparison, pingers, keys, uptime, anonymous, mixmaster, PGP",
                                   "<meta charset=\"utf-8\">\r\n"
                                   "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"Changes.atom\">\r\n");
    p += "<h3 align=\"left\"><font color=\"#008000\">Changes of the last seven recorded nights __ __ " +
         site::HtmlEscape(stamp) + " GMT.</font></h3>\r\n";
    p += site::MailNotice();
    p += "<br>\r\n";
    bool open = false;
    for (const auto& line : lines) {
        if (line.starts_with(kNightHead)) {
            if (open) p += "</pre>\r\n";
            // The night's date as its id: the feed's entries point at it.
            std::string id = line.substr(kNightHead.size(), 10);
            std::replace(id.begin(), id.end(), '/', '-');
            p += "<h4 id=\"" + site::HtmlEscape(id) + "\">" + site::HtmlEscape(line) + "</h4>\r\n<pre>\r\n";
            open = true;
            continue;
        }
        if (line.empty()) continue;  // the nights are apart already
        if (!open) p += "<pre>\r\n";
        open = true;
        p += HtmlLine(line) + "\r\n";
    }
    if (open) p += "</pre>\r\n";
    p += site::PageFoot();
    return p;
}

}  // namespace parlux::history
