#include "history/ChangesReport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <unordered_map>

#include "common/core/SitePage.h"
#include "common/core/StatsTypes.h"
#include "history/Consensus.h"

namespace parlux::history {

namespace {

// An uptime that moved by this many hundredths of a percent or more.
constexpr std::int64_t kUptimeChangeHundredths = static_cast<std::int64_t>(kUptimeChangePoints * 100.0);

// A change line and the place of its pinger and remailer in the order of
// their names, which is the order of the lines.
struct PlacedLine {
    std::uint32_t nick, remailer;
    std::string line;
};

// The changes between the runs of one type, compared by the numbers of
// names and texts: a large grid is half a million pairs a run, and only the
// few that changed are ever spelt out.
class RunComparer {
public:
    explicit RunComparer(HistoryDb& db)
        : db_(db), nicks_(db.names(NameTable::Nick)), remailers_(db.names(NameTable::Remailer)) {
        for (std::uint32_t i = 0; i < nicks_.size(); ++i) nickPlaces_.emplace(nicks_[i].first, i);
        for (std::uint32_t i = 0; i < remailers_.size(); ++i) remailerPlaces_.emplace(remailers_[i].first, i);
    }

    // The figures' changes, in the order of pinger and remailer names.
    void figureChanges(const MarkedRun& before, const MarkedRun& now, std::vector<std::string>& out) {
        begin(now.type);
        // Both runs' figures are in the order of the numbers: one walk down
        // the two, each pair met once.
        auto w = before.figures.begin(), i = now.figures.begin();
        const auto wasEnd = before.figures.end(), isEnd = now.figures.end();
        while (w != wasEnd || i != isEnd) {
            const bool gone = i == isEnd || (w != wasEnd && Before(*w, *i));
            const bool came = !gone && (w == wasEnd || Before(*i, *w));
            const FigureMark& f = gone ? *w : *i;
            if (gone || came) {
                add(f, gone ? "vanished" : "appeared");
            } else {
                lineChanges(*w, *i);
                ++w;
            }
            if (gone)
                ++w;
            else
                ++i;
        }
        end(out);
        if (kind_ == Kind::Keys) newlyDifferingKeys(before, now, out);
    }

    // The same of two stats runs read for the pages, side by side in their
    // series (which are in the order of the numbers too): a large grid's
    // runs are not spelt out as marks for it.
    void seriesChanges(const RecentRuns& recent, std::size_t was, std::size_t is, std::vector<std::string>& out) {
        begin(recent.type);
        for (std::uint32_t s = 0; s < recent.series.size(); ++s) {
            const bool before = recent.givenAt(s, was), now = recent.givenAt(s, is);
            if (before && now)
                lineChanges(MarkOf(recent, s, was), MarkOf(recent, s, is));
            else if (before || now)
                add(MarkOf(recent, s, before ? was : is), before ? "vanished" : "appeared");
        }
        end(out);
    }

private:
    void begin(const std::string& type) {
        kind_ = KindOf(type);
        type_ = &type;
        lines_.clear();
    }
    void end(std::vector<std::string>& out) {
        std::stable_sort(lines_.begin(), lines_.end(), [](const PlacedLine& a, const PlacedLine& b) {
            return std::tie(a.nick, a.remailer) < std::tie(b.nick, b.remailer);
        });
        for (auto& placed : lines_) out.push_back(std::move(placed.line));
    }

    static bool Before(const FigureMark& a, const FigureMark& b) {
        return std::tie(a.nick, a.remailer) < std::tie(b.nick, b.remailer);
    }

    std::uint32_t nickPlace(std::int64_t id) const { return nickPlaces_.at(id); }
    std::uint32_t remailerPlace(std::int64_t id) const { return remailerPlaces_.at(id); }

    void add(const FigureMark& f, const std::string& what) {
        const std::uint32_t nick = nickPlace(f.nick), remailer = remailerPlace(f.remailer);
        lines_.push_back(
            {nick, remailer, *type_ + "  " + nicks_[nick].second + "  " + remailers_[remailer].second + "  " + what});
    }
    // A text kept twice under two numbers is still the same text.
    bool sameText(std::int64_t a, std::int64_t b) { return a == b || db_.textOf(a) == db_.textOf(b); }

    // The change of one pinger's line that stayed, or nothing.
    void lineChanges(const FigureMark& was, const FigureMark& is) {
        switch (kind_) {
            case Kind::Stats:
                if (was.known && is.known && std::llabs(is.value - was.value) >= kUptimeChangeHundredths)
                    add(is, "uptime " + FormatPercent(static_cast<double>(was.value) / 100.0) + "% -> " +
                                FormatPercent(static_cast<double>(is.value) / 100.0) + "%");
                break;
            case Kind::Keys:
                if (!sameText(was.value, is.value))
                    add(is, "key " + db_.textOf(was.value) + " -> " + db_.textOf(is.value));
                break;
            case Kind::CapStrings:
                if (!sameText(was.value, is.value)) {
                    add(is, "capabilities changed");
                    lines_.push_back({lines_.back().nick, lines_.back().remailer, "    " + db_.textOf(was.value)});
                    lines_.push_back({lines_.back().nick, lines_.back().remailer, "    " + db_.textOf(is.value)});
                }
                break;
        }
    }

    // remailer -> the pingers' key IDs, when they are not all the same (by
    // their places in the order of names).
    std::map<std::uint32_t, std::map<std::uint32_t, std::string>> differingKeys(const MarkedRun& run) {
        std::map<std::uint32_t, std::map<std::uint32_t, std::string>> ids;
        for (const auto& f : run.figures)
            if (std::string id = db_.textOf(f.value); !id.empty())
                ids[remailerPlace(f.remailer)][nickPlace(f.nick)] = std::move(id);
        for (auto it = ids.begin(); it != ids.end();) {
            std::set<std::string> distinct;
            for (const auto& entry : it->second) distinct.insert(entry.second);
            it = distinct.size() > 1 ? std::next(it) : ids.erase(it);
        }
        return ids;
    }

    // The remailers whose pingers' key IDs differ now and agreed before.
    void newlyDifferingKeys(const MarkedRun& before, const MarkedRun& now, std::vector<std::string>& out) {
        const auto differedBefore = differingKeys(before);
        for (const auto& [remailer, ids] : differingKeys(now)) {
            if (differedBefore.count(remailer)) continue;
            std::string line = now.type + "  " + remailers_[remailer].second + "  keys differ";
            for (const auto& [nick, id] : ids) line += "  " + nicks_[nick].second + "=" + id;
            out.push_back(line);
        }
    }

    HistoryDb& db_;
    const NamedRows nicks_, remailers_;  // in the order of the names
    std::unordered_map<std::int64_t, std::uint32_t> nickPlaces_, remailerPlaces_;
    Kind kind_ = Kind::Stats;
    const std::string* type_ = nullptr;
    std::vector<PlacedLine> lines_;
};

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

std::string Section(const std::string& type, const std::vector<std::string>& gmts) {
    std::string head = type + "  ";
    for (std::size_t i = 0; i < gmts.size(); ++i) head += (i ? " -> " : "") + gmts[i] + " GMT";
    return head;
}

// How many runs in a row a pinger was not reached: each run's count follows
// from the one before it, and only the first run of a type's week is read
// back.
class RunsNotReached {
public:
    explicit RunsNotReached(HistoryDb& db) : db_(db) {}
    void begin(const MarkedRun& first) {
        first_ = &first;
        counts_.clear();
    }
    // The count up to the run before the one compared now.
    int upToBefore(const std::string& nick) {
        if (first_) {
            auto [it, fresh] = counts_.try_emplace(nick, 0);
            if (fresh) it->second = db_.runsNotReachedUpTo(first_->type, nick, first_->id);
            return it->second;
        }
        const auto it = counts_.find(nick);
        return it == counts_.end() ? 0 : it->second;
    }
    // The run compared now becomes the one before.
    void advance(const MarkedRun& now) {
        std::unordered_map<std::string, int> next;
        for (const auto& p : now.pingers)
            if (NotReached(p.state)) next.emplace(p.nick, 1 + upToBefore(p.nick));
        counts_ = std::move(next);
        first_ = nullptr;
    }

private:
    HistoryDb& db_;
    const MarkedRun* first_ = nullptr;
    std::unordered_map<std::string, int> counts_;  // nick -> runs, of the pingers not reached
};

// The runs of a type one after the other, two at a time: the run just
// recorded is at hand, a stats type's runs already read for the other pages
// are taken from there, the others are read into the room of the one before.
class RunsInTurn {
public:
    RunsInTurn(HistoryDb& db, PageSource* source) : db_(db), source_(source) {}
    void type(const std::string& type) {
        recent_ = source_ && KindOf(type) == Kind::Stats ? &source_->recent(type, kPairsKept + 1) : nullptr;
    }
    // The next run; the one before it stays as it was.
    const MarkedRun& next(std::int64_t id) {
        turn_ ^= 1;
        at_[turn_] = kNotRead;
        shown_[turn_] = db_.recordedMarks(id);
        if (!shown_[turn_]) {
            if (recent_ && (at_[turn_] = PlaceOfRun(*recent_, id)) != kNotRead)
                MarksOf(*recent_, at_[turn_], read_[turn_], false);
            else
                db_.loadMarks(id, read_[turn_]);
            shown_[turn_] = &read_[turn_];
        }
        return *shown_[turn_];
    }
    // The last two runs' figures compared.
    void compare(RunComparer& comparer, std::vector<std::string>& lines) {
        const int before = turn_ ^ 1;
        if (at_[before] != kNotRead && at_[turn_] != kNotRead)
            return comparer.seriesChanges(*recent_, at_[before], at_[turn_], lines);
        // One of them was recorded by this run: the other's figures spelt out.
        for (const int t : {before, turn_})
            if (at_[t] != kNotRead) MarksOf(*recent_, at_[t], read_[t], true);
        comparer.figureChanges(*shown_[before], *shown_[turn_], lines);
    }

private:
    static constexpr std::size_t kNotRead = kNoRun;
    HistoryDb& db_;
    PageSource* source_;
    const RecentRuns* recent_ = nullptr;
    MarkedRun read_[2];
    const MarkedRun* shown_[2] = {nullptr, nullptr};
    std::size_t at_[2] = {kNotRead, kNotRead};  // a run of recent_, its place there
    int turn_ = 0;
};

std::vector<std::string> PairLines(RunsNotReached& counts, RunsInTurn& turns, RunComparer& comparer,
                                   const MarkedRun& before, const MarkedRun& now) {
    std::vector<std::pair<std::string, int>> notReached, reachedAgain;
    for (const auto& p : now.pingers) {
        if (NotReached(p.state)) {
            notReached.emplace_back(p.nick, 1 + counts.upToBefore(p.nick));
            continue;
        }
        const auto was = std::find_if(before.pingers.begin(), before.pingers.end(),
                                      [&p](const PingerSeen& seen) { return seen.nick == p.nick; });
        if (p.state == PingerState::Downloaded && was != before.pingers.end() && NotReached(was->state))
            reachedAgain.emplace_back(p.nick, counts.upToBefore(p.nick));
    }
    counts.advance(now);
    std::vector<std::string> lines;
    lines.reserve(notReached.size() + reachedAgain.size());
    for (const auto& [nick, runs] : notReached)
        lines.push_back(now.type + "  " + nick + "  not reached  " + Runs(runs));
    for (const auto& [nick, runs] : reachedAgain)
        lines.push_back(now.type + "  " + nick + "  reached again after " + Runs(runs));
    turns.compare(comparer, lines);
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

std::vector<NightOfChanges> Week(HistoryDb& db, PageSource* source) {
    std::vector<PairOfRuns> pairs;
    std::optional<RunComparer> comparer;
    RunsInTurn runs(db, source);
    RunsNotReached counts(db);
    const auto types = db.types();
    for (std::size_t t = 0; t < types.size(); ++t) {
        const auto ids = db.lastRuns(types[t], kPairsKept + 1);
        if (ids.empty()) continue;
        if (ids.size() <= static_cast<std::size_t>(kPairsKept)) {  // the type's first run is among them
            const std::string gmt = db.gmtOf(ids.front());
            pairs.push_back({gmt, ids.front(), t, {Heading(types[t]) + "  first recorded run"}});
        }
        if (ids.size() < 2) continue;
        if (!comparer) comparer.emplace(db);
        runs.type(types[t]);
        const MarkedRun* before = &runs.next(ids.front());
        counts.begin(*before);
        for (std::size_t k = 1; k < ids.size(); ++k) {
            const MarkedRun& now = runs.next(ids[k]);
            pairs.push_back({now.gmt, now.id, t, PairLines(counts, runs, *comparer, *before, now)});
            before = &now;
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

}  // namespace

std::vector<NightOfChanges> WeekOfChanges(HistoryDb& db) { return Week(db, nullptr); }

std::vector<NightOfChanges> WeekOfChanges(PageSource& source) { return Week(source.db(), &source); }

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
