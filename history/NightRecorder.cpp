#include "history/NightRecorder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "common/core/PageShelf.h"
#include "history/DiskRoom.h"
#include "history/HistoryPages.h"
#include "history/TrendPage.h"

namespace parlux::history {

namespace fs = std::filesystem;

std::string DamagedName(DateTime gmt) {
    const DateTimeParts t = SplitDateTime(gmt);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s.damaged-%04d%02d%02d-%02d%02d%02d", std::string(kHistoryName).c_str(),
                  t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buffer;
}

namespace {

// How often a program writes the changes report again while others record.
constexpr int kChangesRounds = 4;

// A run more than a day before the newest recorded run of its type: the
// clock of one of the two was wrong. It is recorded all the same, and the
// reports keep comparing the runs in the order they were recorded.
void SayWhenBehind(HistoryDb& db, const Run& run, DateTime gmt,
                   const std::function<void(const std::string&)>& complain) {
    const std::string newest = db.newestGmt(run.type);
    if (newest.empty() || FormatStamp(gmt + std::chrono::days(1)) >= newest) return;
    complain("history: the run of " + run.gmt + " GMT is more than a day before the newest recorded run of " +
             run.type + ", " + newest + " GMT: the clock of one of the two was wrong");
}

}  // namespace

NightRecorder::NightRecorder(fs::path dataFolder, std::function<void(const std::string&)> complain, int busyTimeoutMs,
                             std::chrono::milliseconds stepLimit)
    : dataFolder_(std::move(dataFolder)),
      path_(dataFolder_ / std::string(kHistoryName)),
      complain_(std::move(complain)),
      busyTimeoutMs_(busyTimeoutMs),
      stepLimit_(stepLimit) {}

void NightRecorder::setAside(DateTime gmt, const std::string& why) {
    // The log and the shared-memory index go with it: a new file must not
    // take up the old one's log.
    const std::string name = DamagedName(gmt);
    std::error_code ec;
    fs::rename(path_, dataFolder_ / name, ec);
    std::string line = "history not recorded: " + why;
    if (ec) {
        line += "; it could not be set aside: " + ec.message();
    } else {
        for (const char* suffix : {"-wal", "-shm"}) {
            std::error_code ignored;
            if (fs::exists(path_.string() + suffix, ignored))
                fs::rename(path_.string() + suffix, dataFolder_ / (name + suffix), ignored);
        }
        line += "; kept as " + name + ", a new history begins with the next run";
    }
    complain_(line);
}

// A type's runs being read on a thread of their own.
struct NightRecorder::Ahead {
    std::string type;
    std::vector<std::int64_t> ids;   // the last ones before the run recorded next
    std::optional<RecentRuns> runs;  // once read, when they could be
    std::thread thread;

    ~Ahead() {
        if (thread.joinable()) thread.join();
    }
};

NightRecorder::~NightRecorder() = default;

void NightRecorder::readAhead(const std::string& type) {
    ahead_.reset();
    struct stat info {};
    if (KindOf(type) != Kind::Stats || ::lstat(path_.c_str(), &info) != 0) return;  // no history yet
    try {
        HistoryDb& db = open();
        const HistoryDb::Step step(db);
        auto ahead = std::make_unique<Ahead>();
        ahead->type = type;
        ahead->ids = db.lastRuns(type, kTrendRuns - 1);
        if (ahead->ids.empty()) return;
        Ahead& a = *ahead;
        a.thread = std::thread([&a, path = path_, busy = busyTimeoutMs_, limit = stepLimit_] {
            try {
                HistoryDb reader(path, busy, limit);
                const HistoryDb::Step step(reader);
                a.runs = ReadRunsBefore(reader, a.type, kTrendRuns, a.ids, 1);
            } catch (...) {
                a.runs.reset();  // the pages read them on the night's own connection
            }
        });
        ahead_ = std::move(ahead);
    } catch (...) {
        // What keeps them from being read ahead keeps the run from being
        // recorded too, and recordRun says so.
    }
}

std::optional<RecentRuns> NightRecorder::takeAhead(HistoryDb& db, const std::string& type) {
    const std::unique_ptr<Ahead> ahead = std::move(ahead_);
    if (!ahead) return std::nullopt;
    if (ahead->thread.joinable()) ahead->thread.join();
    if (!ahead->runs || ahead->type != type) return std::nullopt;
    // The runs read and the one just recorded must be the type's last.
    const std::vector<std::int64_t> last = db.lastRuns(type, kTrendRuns);
    if (last.size() != ahead->ids.size() + 1 || !std::equal(ahead->ids.begin(), ahead->ids.end(), last.begin()))
        return std::nullopt;
    if (!AddLastRun(*ahead->runs, db, last.back())) return std::nullopt;
    return std::move(ahead->runs);
}

// The connection of the last run, when it still is to the file at the path
// (another program may have set that one aside meanwhile); else a new one.
HistoryDb& NightRecorder::open() {
    struct stat info {};
    const bool there = ::stat(path_.c_str(), &info) == 0;
    if (db_ && !(there && info.st_ino == inode_ && info.st_dev == device_)) db_.reset();
    if (!db_) {
        db_.emplace(path_, busyTimeoutMs_, stepLimit_);
        if (::stat(path_.c_str(), &info) == 0) inode_ = info.st_ino, device_ = info.st_dev;
    }
    return *db_;
}

void NightRecorder::recordRun(Run run, DateTime gmt, int keptDays) {
    const std::string stamp = FormatStamp(gmt);
    run.gmt = stamp;
    if (const auto short_ = ShortOfRoom(dataFolder_, run.figures.size() + run.statsFigures.size())) {
        ahead_.reset();
        complain_("history not recorded: " + *short_);
        return;
    }
    try {
        HistoryDb& db = open();
        const HistoryDb::Step step(db);
        SayWhenBehind(db, run, gmt, complain_);
        db.record(run, keptDays);
        // The pages read the figures back from the file: a large grid's room
        // is given back before they read.
        std::vector<Figure>().swap(run.figures);
        std::vector<StatsFigure>().swap(run.statsFigures);
    } catch (const HistoryError& e) {
        return failed(e, gmt, "history not recorded: ");
    } catch (const std::exception& e) {
        ahead_.reset();
        db_.reset();
        complain_(path_.string() + ": history not recorded: " + e.what());
        return;
    }
    try {
        writePages(*db_, run, stamp);
    } catch (const HistoryError& e) {
        failed(e, gmt, "history pages not written: ");  // an earlier run's figures may be what is damaged
    } catch (const std::exception& e) {
        ahead_.reset();
        db_.reset();
        complain_(std::string("history pages not written: ") + e.what());
    }
}

void NightRecorder::failed(const HistoryError& e, DateTime gmt, const char* what) {
    ahead_.reset();  // its reader is done with the file before anything is done to it
    const bool damaged = e.damaged();
    db_.reset();  // closed before it is renamed
    if (damaged)
        setAside(gmt, e.what());
    else
        complain_(what + std::string(e.what()));
}

void NightRecorder::writeFile(PageShelf& shelf, const std::string& name, const std::string& content) {
    try {
        shelf.replace(name, content);
    } catch (const fs::filesystem_error&) {
        const std::lock_guard<std::mutex> lock(complaining_);
        complain_("history page not written: " + (dataFolder_ / name).string());
    }
}

void NightRecorder::writePages(HistoryDb& db, const Run& run, const std::string& stamp) {
    // One source for all: the type's last runs are read once for every page.
    PageSource source(db, run, stamp);
    if (KindOf(run.type) == Kind::Stats) {
        PageShelf shelf(dataFolder_);  // taken before the step: its wait is not the file's
        const HistoryDb::Step step(db);
        if (auto ahead = takeAhead(db, run.type)) source.adopt(std::move(*ahead));
        for (const HistoryPageKind& kind : HistoryPageKinds())
            if (kind.scope == PageScope::PerStatsType) writeFile(shelf, kind.fileName(run.type), kind.write(source));
    }
    // Every program writes the night's pages whole, each page as it is made,
    // all read at one moment of the file (a snapshot, which keeps no other
    // program from recording). A program that recorded meanwhile writes its
    // own after it; one whose copy may have come last with a run missing
    // writes them again, so the last copy holds every type.
    for (int round = 0; round < kChangesRounds; ++round) {
        std::int64_t version = 0;
        {
            // Taken before the file is read: a program waiting for the shelf
            // holds no part of the file.
            PageShelf shelf(dataFolder_);
            if (round > 0) source.readAgain();
            const HistoryDb::Step step(db);
            const HistoryDb::Snapshot snapshot(db);
            version = db.dataVersion();
            EachNightPage(
                source, [&](const std::string& name, const std::string& content) { writeFile(shelf, name, content); });
        }
        if (db.dataVersion() == version) return;
    }
}

}  // namespace parlux::history
