#include "history/WorkbenchRun.h"

#include <map>
#include <set>

#include "common/core/GmtOffset.h"
#include "common/core/SiteConfig.h"
#include "common/core/StatsTypes.h"
#include "common/core/StderrLines.h"
#include "common/core/TextFields.h"
#include "flaggrid/CapStringsComparer.h"
#include "lockgrid/KeysComparer.h"
#include "pulsegrid/StatsComparer.h"
#include "workbench/PingerSteps.h"

namespace parlux::history {

namespace {

// The pingers of a downloading comparer: downloaded, or not reached with the
// copy of an earlier run (on the pages) or without one (no column).
std::vector<PingerSeen> DownloadedPingers(WorkbenchCore& wb, const std::string& type) {
    std::set<std::string> notReached;
    for (const auto& [what, why] : wb.report().notDownloaded)
        if (what.size() > type.size() + 1 && what.ends_with(" " + type))
            notReached.insert(what.substr(0, what.size() - type.size() - 1));
    std::vector<PingerSeen> out;
    const Table& pingers = wb.table(kPingersTable);
    for (int r = 0; r < wb.count(kPingersTable); ++r) {
        const std::string& nick = pingers.text(kListNick, r);
        const bool cached = notReached.erase(nick) > 0;
        out.push_back({nick, cached ? PingerState::Cached : PingerState::Downloaded});
    }
    for (const auto& nick : notReached) out.push_back({nick, PingerState::Missing});
    return out;
}

void StatsFigures(WorkbenchCore& wb, const std::string& type, Run& run) {
    const Table& stats = wb.table(kMainTable);
    const bool v1 = IsVersion1(type);
    for (int r = 0; r < wb.count(kMainTable); ++r) {
        const std::string& text = stats.text(kStatsText, r);
        if (text.empty()) continue;  // a pair the pinger did not report
        Figure f;
        f.pinger = stats.text(kStatsNick, r);
        f.remailer = stats.text(kStatsName, r);
        f.raw = text;
        f.latencySeconds = ParseLatency(text, v1);
        f.uptimePercent = ParseUptime(text, v1);
        run.figures.push_back(std::move(f));
    }
}

// "1024/ABCDEF12 2003/01/01  user <address> [revoked]": size, date, state.
void PgpDetail(const std::string& detail, Figure& f) {
    const std::string text = Trim(detail);
    const std::size_t slash = text.find('/');
    if (slash != std::string::npos) f.keySize = Trim(text.substr(0, slash));
    const std::size_t blank = text.find(' ');
    if (blank != std::string::npos) f.keyDate = text.substr(blank + 1, 10);
    f.keyState = text.ends_with(" [revoked]") ? "revoked" : text.ends_with(" [expired]") ? "expired" : "valid";
}

void Join(std::string& to, const std::string& more) {
    if (to.empty() || to == more) {
        to = more;
    } else {
        to += "," + more;
    }
}

// One figure per pinger and remailer: for the PGP types the remailer is the
// key's address (a pinger may carry more than one key for it: their IDs are
// joined), for the Mix types the remailer's name.
void KeyFigures(WorkbenchCore& wb, const std::string& type, Run& run) {
    const Table& keys = wb.table(kMainTable);
    const bool pgp = IsPgpKeyType(type);
    std::map<std::pair<std::string, std::string>, Figure> figures;
    for (int r = 0; r < wb.count(kMainTable); ++r) {
        const std::string& address = keys.text(kKeyAddress, r);
        const std::string& detail = keys.text(kKeyDetail, r);
        if (address.empty() && detail.empty()) continue;  // a pair the pinger does not carry
        const std::string& item = keys.text(kKeyItem, r);
        const std::string remailer = pgp && !address.empty() ? address : item;
        Figure& f = figures[{keys.text(kKeyNick, r), remailer}];
        f.pinger = keys.text(kKeyNick, r);
        f.remailer = remailer;
        if (pgp) {
            Figure one;
            PgpDetail(detail, one);
            Join(f.keyId, item);
            Join(f.keySize, one.keySize);
            Join(f.keyDate, one.keyDate);
            Join(f.keyState, one.keyState);
        } else {
            f.keyId = detail;
        }
    }
    for (auto& entry : figures) run.figures.push_back(std::move(entry.second));
}

void CapFigures(WorkbenchCore& wb, Run& run) {
    const Table& caps = wb.table(kMainTable);
    for (int r = 0; r < wb.count(kMainTable); ++r) {
        if (caps.text(kCapAddress, r).empty() && caps.text(kCapText, r).empty()) continue;
        Figure f;
        f.pinger = caps.text(kCapNick, r);
        f.remailer = caps.text(kCapName, r);
        f.caps = caps.text(kCapText, r);
        run.figures.push_back(std::move(f));
    }
}

}  // namespace

Run RunOf(WorkbenchCore& wb) {
    Run run;
    run.program = wb.description().program;
    run.type = wb.description().types.empty() ? std::string(kCapStringsType) : wb.statsType();
    const Kind kind = KindOf(run.type);
    if (kind == Kind::CapStrings) {
        const Table& pingers = wb.table(kPingersTable);
        for (int r = 0; r < wb.count(kPingersTable); ++r)
            run.pingers.push_back({pingers.text(kCapPingerNick, r), PingerState::Local});
        CapFigures(wb, run);
    } else {
        run.pingers = DownloadedPingers(wb, run.type);
        if (kind == Kind::Stats)
            StatsFigures(wb, run.type, run);
        else
            KeyFigures(wb, run.type, run);
    }
    const Table& pingeds = wb.table(kPingedsTable);
    for (int r = 0; r < wb.count(kPingedsTable); ++r) run.remailerOrder.push_back(pingeds.text(0, r));
    return run;
}

void HistoryHook::pagesWritten(WorkbenchCore& wb) {
    const site::SiteConfig& config = site::Current();
    if (!config.history) return;
    if (!recorder_ || recorder_->dataFolder() != wb.dataFolder())
        recorder_ = std::make_unique<NightRecorder>(
            wb.dataFolder(), [](const std::string& line) { StderrLine(line); }, busyTimeoutMs_);
    recorder_->recordRun(RunOf(wb), GmtNow(wb.clock()), config.historyDays);
}

}  // namespace parlux::history
