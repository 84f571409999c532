#include "history/ChangesReport.h"

#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "common/core/SitePage.h"

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

std::string Section(const std::string& type, const std::vector<std::string>& gmts) {
    std::string head = type + "  ";
    for (std::size_t i = 0; i < gmts.size(); ++i) head += (i ? " -> " : "") + gmts[i] + " GMT";
    return head;
}

}  // namespace

std::vector<std::string> ChangesBetween(const StoredRun& before, const StoredRun& now,
                                        const std::vector<std::pair<std::string, int>>& notReached) {
    std::vector<std::string> out;
    out.reserve(notReached.size());
    const std::string type = now.type;
    const Kind kind = KindOf(type);
    for (const auto& [nick, runs] : notReached)
        out.push_back(type + "  " + nick + "  not reached  " + std::to_string(runs) + " runs");
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
    if (kind != Kind::Keys) return out;
    const auto differedBefore = DifferingKeys(before);
    for (const auto& [remailer, ids] : DifferingKeys(now)) {
        if (differedBefore.count(remailer)) continue;
        std::string line = type + "  " + remailer + "  keys differ";
        for (const auto& [nick, id] : ids) line += "  " + nick + "=" + id;
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> ChangeLines(HistoryDb& db) {
    std::vector<std::string> out;
    for (const std::string& type : db.types()) {
        const auto runs = db.lastRuns(type, 2);
        if (runs.empty()) continue;
        if (!out.empty()) out.emplace_back();
        if (runs.size() == 1) {
            out.push_back(Section(type, {db.gmtOf(runs[0])}));
            out.push_back(type + "  first recorded run");
            continue;
        }
        const StoredRun before = db.load(runs[0]), now = db.load(runs[1]);
        out.push_back(Section(type, {before.gmt, now.gmt}));
        std::vector<std::pair<std::string, int>> notReached;
        for (const auto& p : now.pingers)
            if (p.state == PingerState::Cached || p.state == PingerState::Missing)
                notReached.emplace_back(p.nick, db.runsNotReached(type, p.nick));
        const auto lines = ChangesBetween(before, now, notReached);
        out.insert(out.end(), lines.begin(), lines.end());
    }
    return out;
}

std::string ChangesText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

std::string ChangesPage(const std::vector<std::string>& lines, const std::string& stamp) {
    std::string p = site::PageHead("Changes between the last two runs of the comparison of remailer pingers",
                                   "changes, remailer, comparison, pingers, keys, uptime, anonymous, mixmaster, PGP");
    p += "<h3 align=\"left\"><font color=\"#008000\">Changes between the last two recorded runs __ __ " +
         site::HtmlEscape(stamp) + " GMT.</font></h3>\r\n";
    p += site::MailNotice();
    p += "<br>\r\n<pre>\r\n";
    for (const auto& line : lines) p += site::HtmlEscape(line) + "\r\n";
    p += "</pre>\r\n";
    p += site::PageFoot();
    return p;
}

}  // namespace parlux::history
