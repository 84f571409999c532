#pragma once
// What the history's pages are written from after a run: the database, the
// run just recorded and its time, the last runs of each stats type and the
// change lines, read once for every page made from them.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "history/Consensus.h"
#include "history/HistoryDb.h"
#include "history/HistoryRun.h"
#include "history/RecentRuns.h"

namespace parlux::history {

struct RemailerStories;

// One recorded night's lines, its newest run's time and whether anything
// changed in it.
struct NightOfChanges {
    std::string date;  // "YYYY/MM/DD"
    std::string newestGmt;
    std::int64_t newestRun = 0;
    std::vector<std::string> lines;
    bool changed = false;
};

class PageSource {
public:
    PageSource(HistoryDb& db, const Run& run, std::string stamp) : db_(db), run_(run), stamp_(std::move(stamp)) {}

    HistoryDb& db() { return db_; }
    const Run& run() const { return run_; }
    const std::string& stamp() const { return stamp_; }  // "YYYY/MM/DD HH:NN:SS" (GMT)
    // The stats type's last runs, at least the last n of them, read once
    // (take last(n) of them).
    const RecentRuns& recent(const std::string& type, int n);
    // The last recorded nights' changes (WeekOfChanges), and their lines.
    const std::vector<NightOfChanges>& nights();
    const std::vector<std::string>& changeLines();
    // What the pingers agree on tonight (ReadConsensus).
    const Consensus& consensus();
    // The type's last runs read already (ReadRunsBefore and AddLastRun).
    void adopt(RecentRuns runs) { recent_[runs.type] = std::move(runs); }
    // What another program may have recorded since is read again; the runs
    // of this run's own type, which only this program records, are kept.
    void readAgain();

    // The remailer whose own page is being written.
    const std::string& remailer() const { return remailer_; }
    void setRemailer(std::string name) { remailer_ = std::move(name); }
    // What the remailers' pages read from the history, read by the first of
    // them (RemailerPage).
    std::shared_ptr<const RemailerStories>& stories() { return stories_; }

private:
    HistoryDb& db_;
    const Run& run_;
    std::string stamp_;
    std::map<std::string, RecentRuns> recent_;
    std::optional<std::vector<NightOfChanges>> nights_;
    std::optional<std::vector<std::string>> changeLines_;
    std::optional<Consensus> consensus_;
    std::string remailer_;
    std::shared_ptr<const RemailerStories> stories_;
};

}  // namespace parlux::history
