#include "history/HistoryPages.h"

#include <algorithm>

#include "common/core/InParallel.h"
#include "common/core/StatsTypes.h"
#include "history/ChangesFeed.h"
#include "history/ChangesReport.h"
#include "history/ConsensusPages.h"
#include "history/RemailerPage.h"
#include "history/TrendPage.h"

namespace parlux::history {

const std::vector<HistoryPageKind>& HistoryPageKinds() {
    static const std::vector<HistoryPageKind> kinds = {
        {"Trend_<type>.html", PageScope::PerStatsType, true, TrendPageOf},
        {"Changes.txt", PageScope::PerNight, false, ChangesTextOf},
        {"Changes.html", PageScope::PerNight, true, ChangesPageOf},
        {"Changes.atom", PageScope::PerNight, false, ChangesFeedOf},
        {"Remailers.html", PageScope::PerNight, true, RemailersPageOf},
        {"Pingers_Health.html", PageScope::PerNight, true, PingersHealthPageOf},
        {"Remailer_<name>.html", PageScope::PerRemailer, false, RemailerPageOf, EachRemailerPage},
    };
    return kinds;
}

std::string HistoryPageKind::fileName(std::string_view subject) const {
    if (scope == PageScope::PerRemailer) return RemailerPageName(subject);
    std::string file(name);
    const std::size_t at = file.find(kTypePlaceholder);
    if (at != std::string::npos) file.replace(at, kTypePlaceholder.size(), subject);
    return file;
}

const HistoryPageKind* PageKind(std::string_view name) {
    const auto& kinds = HistoryPageKinds();
    const auto it = std::find_if(kinds.begin(), kinds.end(), [name](const auto& kind) { return kind.name == name; });
    return it == kinds.end() ? nullptr : &*it;
}

std::vector<std::string> HistoryPageNames(const std::vector<HistoryPageKind>& kinds) {
    std::vector<std::string> names;
    for (const HistoryPageKind& kind : kinds) {
        if (!kind.inViewMenu || kind.scope == PageScope::PerRemailer) continue;
        if (kind.scope == PageScope::PerNight) {
            names.push_back(kind.fileName());
            continue;
        }
        for (const auto& type : kStatsTypes)
            if (KindOf(type.code) == Kind::Stats) names.push_back(kind.fileName(type.code));
    }
    return names;
}

const RecentRuns& PageSource::recent(const std::string& type, int n) {
    const auto it = recent_.find(type);
    if (it != recent_.end() && it->second.asked >= n) return it->second;
    return recent_[type] = ReadRecentRuns(db_, type, n);
}

const Consensus& PageSource::consensus() {
    if (!consensus_) consensus_ = ReadConsensus(*this);
    return *consensus_;
}

void PageSource::readAgain() {
    nights_.reset();
    changeLines_.reset();
    consensus_.reset();
    stories_.reset();
    for (auto it = recent_.begin(); it != recent_.end();)
        it = it->first == run_.type ? std::next(it) : recent_.erase(it);
}

void EachNightPage(PageSource& source, const std::function<void(std::string, std::string)>& take) {
    for (const HistoryPageKind& kind : HistoryPageKinds()) {
        if (kind.scope == PageScope::PerNight) take(kind.fileName(), kind.write(source));
        if (kind.scope == PageScope::PerRemailer) kind.writeEach(source, take, WorkerThreads());
    }
}

const std::vector<NightOfChanges>& PageSource::nights() {
    if (!nights_) nights_ = WeekOfChanges(*this);
    return *nights_;
}

const std::vector<std::string>& PageSource::changeLines() {
    if (!changeLines_) changeLines_ = ChangeLines(nights());
    return *changeLines_;
}

}  // namespace parlux::history
