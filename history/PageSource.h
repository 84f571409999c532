#pragma once
// What the history's pages are written from after a run: the database, the
// run just recorded and its time, and the change lines, read once for every
// page made from them.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "history/HistoryDb.h"
#include "history/HistoryRun.h"

namespace parlux::history {

class PageSource {
public:
    PageSource(HistoryDb& db, const Run& run, std::string stamp) : db_(db), run_(run), stamp_(std::move(stamp)) {}

    HistoryDb& db() { return db_; }
    const Run& run() const { return run_; }
    const std::string& stamp() const { return stamp_; }  // "YYYY/MM/DD HH:NN:SS" (GMT)
    // Between the last two runs of every type (ChangeLines).
    const std::vector<std::string>& changeLines();

private:
    HistoryDb& db_;
    const Run& run_;
    std::string stamp_;
    std::optional<std::vector<std::string>> changeLines_;
};

}  // namespace parlux::history
