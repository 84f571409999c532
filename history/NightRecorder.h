#pragma once
// What a comparer does with a run once its pages are written: record it in
// Parlux.sqlite, remove the runs older than history_days, and rewrite the
// history's pages (HistoryPages) from the database. Whatever goes
// wrong here costs the night one stderr line and never a page of its own: a
// database that cannot be opened or written is left for the next run, and one
// that is damaged is renamed aside (never deleted) so that the next run
// begins a new one.
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "common/core/DateTime.h"
#include "common/core/PageShelf.h"
#include "history/HistoryDb.h"
#include "history/HistoryRun.h"
#include "history/RecentRuns.h"

namespace parlux::history {

class NightRecorder {
public:
    // complain gets each line for stderr (without the program's name).
    NightRecorder(std::filesystem::path dataFolder, std::function<void(const std::string&)> complain,
                  int busyTimeoutMs = kBusyTimeoutMs, std::chrono::milliseconds stepLimit = kStepTimeLimit);
    ~NightRecorder();
    NightRecorder(const NightRecorder&) = delete;
    NightRecorder& operator=(const NightRecorder&) = delete;

    // The stats type's last runs read on a thread of their own while the
    // comparer writes its pages and the run is recorded (a large grid's month
    // takes a good part of a second to read): called before recordRun, whose
    // pages take them up. When they cannot be read ahead, or something else
    // was recorded meanwhile, the pages read them as before.
    void readAhead(const std::string& type);
    // run.gmt is set from gmt, the time of the run's pages; the runs older
    // than keptDays (Parlux.conf's history_days) before it are removed.
    void recordRun(Run run, DateTime gmt, int keptDays);

    const std::filesystem::path& databasePath() const { return path_; }
    const std::filesystem::path& dataFolder() const { return dataFolder_; }

private:
    struct Ahead;
    HistoryDb& open();
    // The runs read ahead with the run just recorded added, when they are
    // the type's last ones; the thread that read them is done either way.
    std::optional<RecentRuns> takeAhead(HistoryDb& db, const std::string& type);
    // Every page kind of the history (HistoryPages) the run calls for.
    void writePages(HistoryDb& db, const Run& run, const std::string& stamp);
    // Called by several threads at once for the remailers' pages.
    void writeFile(PageShelf& shelf, const std::string& name, const std::string& content);
    void setAside(DateTime gmt, const std::string& why);
    // What a failed step says: a damaged file is set aside, anything else is
    // told after what (e.g. "history not recorded: ").
    void failed(const HistoryError& e, DateTime gmt, const char* what);

    std::filesystem::path dataFolder_, path_;
    std::function<void(const std::string&)> complain_;
    std::mutex complaining_;  // a page's line at a time
    int busyTimeoutMs_;
    std::chrono::milliseconds stepLimit_;
    // Kept open from one run to the next: a program records up to four.
    std::optional<HistoryDb> db_;
    std::uintmax_t inode_ = 0, device_ = 0;
    std::unique_ptr<Ahead> ahead_;
};

// "Parlux.sqlite.damaged-YYYYMMDD-HHMMSS"
std::string DamagedName(DateTime gmt);

}  // namespace parlux::history
