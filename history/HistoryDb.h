#pragma once
// Parlux.sqlite: the runs the comparers have recorded. One file in the data
// folder, in WAL mode so that the three comparers of a night record side by
// side, each waiting at most the busy timeout for the others. Nicks,
// remailers and texts are kept once and referred to by number; a run keeps
// only the figures a page or report reads. The schema carries its version in
// PRAGMA user_version, and an older file is brought up to date one step per
// version when it is opened.
//
// The file is data and never code: whoever owns the data folder may have
// written it, and the night may run as root. Triggers, views and the
// schema's functions never run, a schema holding anything that is not the
// history's own is refused as damaged, and every step gives up after its
// time limit.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "history/HistoryRun.h"

struct sqlite3;

namespace parlux::history {

// The schema this build writes; a file of a later one is left alone.
inline constexpr int kSchemaVersion = 4;
// How long a program waits for another's write to end.
inline constexpr int kBusyTimeoutMs = 5000;
// The file's name in the data folder.
inline constexpr std::string_view kHistoryName = "Parlux.sqlite";
// How long one step (opening, recording, a page) may take before it gives up.
inline constexpr std::chrono::milliseconds kStepTimeLimit{30000};
// The log a run leaves behind, at most: a larger one is folded back into the
// file and emptied at once, a smaller one when SQLite's own turn comes or the
// last program closes the file. It never grows without bound.
inline constexpr std::int64_t kLogKeptBytes = 4 << 20;
// The connection's cache of pages, and the same while pages are read once
// (a large grid's month of figures).
inline constexpr int kCacheKiB = 32768, kReadOnceCacheKiB = 2048;
// The runs of a type kept whatever their age: a clock that was once far
// ahead never empties a type.
inline constexpr int kRunsAlwaysKept = 30;

// What went wrong: what() is "<path>: <SQLite's words>"; damaged() when the
// file is not a database or its image is malformed.
class HistoryError : public std::runtime_error {
public:
    HistoryError(const std::string& what, int code) : std::runtime_error(what), code_(code) {}
    int code() const { return code_; }
    bool damaged() const;

private:
    int code_;
};

// A run read back: its pingers and what they showed.
struct StoredRun {
    std::int64_t id = 0;
    std::string type, gmt;
    std::vector<PingerSeen> pingers;
    std::vector<Figure> figures;
};

// A remailer and the first and last recorded run that listed it.
struct RemailerSeen {
    std::string name, firstGmt, lastGmt;
};

// A figure as the changes report compares it: pinger and remailer by
// number, and the one column the report reads: the uptime in hundredths of a
// percent (known when there is one), or the number of the key ID's or the
// capability string's text.
struct FigureMark {
    std::int64_t nick = 0, remailer = 0;
    std::int64_t value = 0;
    bool known = false;
};

// A run as the changes report reads it: the pingers in the order of their
// names, the figures in the order of the pinger's and remailer's numbers.
struct MarkedRun {
    std::int64_t id = 0;
    std::string type, gmt;
    std::vector<PingerSeen> pingers;
    std::vector<FigureMark> figures;
};

// The name tables, whose rows the figures refer to by number.
enum class NameTable { Nick, Remailer };
using NamedRows = std::vector<std::pair<std::int64_t, std::string>>;  // number, name

// One figure of a pinger's packed row: the remailer by number, the uptime
// in hundredths of a percent and the latency in seconds as they are kept.
struct StatsEntry {
    std::int64_t remailer;
    std::optional<std::int64_t> hundredths, latency;
};

// A pinger's packed row of a stats run, read figure by figure, in the order of
// the remailers' numbers. The bytes come from a file anyone may have written:
// a step that is no step, unknown flags or a number cut short end it, and
// damaged() says so.
class StatsRowReader {
public:
    explicit StatsRowReader(std::string_view bytes) : bytes_(bytes) {}
    // The next figure; false at the end, and when the bytes are not a packing
    // (damaged() says which).
    bool next(StatsEntry& e) {
        if (at_ == bytes_.size()) return false;
        std::uint64_t step = 0, flags = 0, value = 0;
        if (!varint(step) || step == 0 || step > kMaxStep - remailer_ || !byte(flags) || flags > 3) return fail();
        remailer_ += step;
        e.remailer = static_cast<std::int64_t>(remailer_);
        e.hundredths.reset(), e.latency.reset();
        if (flags & 1) {
            if (!varint(value)) return fail();
            e.hundredths = UnZigZag(value);
        }
        if (flags & 2) {
            if (!varint(value)) return fail();
            e.latency = UnZigZag(value);
        }
        return true;
    }
    bool damaged() const { return damaged_; }

private:
    static constexpr std::uint64_t kMaxStep = std::numeric_limits<std::int64_t>::max();
    static std::int64_t UnZigZag(std::uint64_t value) {
        return static_cast<std::int64_t>(value >> 1) ^ -static_cast<std::int64_t>(value & 1);
    }
    bool fail() {
        damaged_ = true;
        return false;
    }
    bool byte(std::uint64_t& out) {
        if (at_ == bytes_.size()) return false;
        out = static_cast<unsigned char>(bytes_[at_++]);
        return true;
    }
    bool varint(std::uint64_t& out) {
        // Most are one byte: a step to the next remailer, the flags.
        if (at_ < bytes_.size() && static_cast<unsigned char>(bytes_[at_]) < 0x80) {
            out = static_cast<unsigned char>(bytes_[at_++]);
            return true;
        }
        out = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            std::uint64_t b = 0;
            if (!byte(b) || (shift == 63 && b > 1)) return false;
            out |= (b & 0x7f) << shift;
            if (!(b & 0x80)) return true;
        }
        return false;
    }
    std::string_view bytes_;
    std::size_t at_ = 0;
    std::uint64_t remailer_ = 0;
    bool damaged_ = false;
};

// A pinger's packed rows of some runs one after another: each row's run,
// by its place among the runs asked for, and where its bytes end.
struct StatsRows {
    std::string bytes;
    std::vector<std::pair<std::size_t, std::size_t>> rows;  // run, end

    std::string_view row(std::size_t i) const {
        const std::size_t from = i == 0 ? 0 : rows[i - 1].second;
        return std::string_view(bytes).substr(from, rows[i].second - from);
    }
};

// How a pinger's figures came to one of the runs asked for.
struct StatePoint {
    std::size_t run;
    std::int64_t nick;
    PingerState state;
};

class HistoryDb {
public:
    // Opens (creating when missing) and brings the schema up to date. The
    // folder may be reached through links; the file, its log and its index
    // must not be links. Throws HistoryError.
    explicit HistoryDb(std::filesystem::path path, int busyTimeoutMs = kBusyTimeoutMs,
                       std::chrono::milliseconds stepLimit = kStepTimeLimit);
    ~HistoryDb();
    HistoryDb(const HistoryDb&) = delete;
    HistoryDb& operator=(const HistoryDb&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // The run in one transaction, with the runs more than keepDays older
    // than the newest recorded run removed in the same one (0 keeps all),
    // the last kRunsAlwaysKept of each type kept whatever their age. The log
    // is folded back into the file after it.
    void record(const Run& run, int keepDays);
    // Several runs in one transaction (a night of every type, say).
    void record(const std::vector<Run>& runs, int keepDays);
    // The time of the type's newest recorded run, "" when none.
    std::string newestGmt(const std::string& type);

    // Types with a recorded run, in the order of the suite's types.
    std::vector<std::string> types();
    // The ids of the type's last n runs, oldest first.
    std::vector<std::int64_t> lastRuns(const std::string& type, int n);
    StoredRun load(std::int64_t id);
    // The run as the changes report reads it: numbers, not names. Read into
    // a run already there, its room is used again.
    void loadMarks(std::int64_t id, MarkedRun& into);
    // The run of a key or capability-string type this connection recorded
    // last, when it is the one asked for: what loadMarks would read back,
    // without reading it. (A stats run's pages read its figures back with the
    // runs before it.)
    const MarkedRun* recordedMarks(std::int64_t id) const;
    // A text by its number ("" when there is none).
    std::string textOf(std::int64_t id);
    // The runs of the type in a row, newest first, in which the pinger was not
    // reached (counted while it was listed and not downloaded).
    int runsNotReached(const std::string& type, const std::string& nick);

private:
    class Statement;

public:
    // The packed rows of the stats runs given (oldest first), pinger by
    // pinger in the order of their numbers, copied out: a large grid's month
    // is millions of figures, each run's rows read once in the order the file
    // keeps them, and unpacked (StatsRowReader) by the threads that share the
    // work while the next pinger's rows are read. Its reads stay open until
    // the last pinger or the end of its life; the pages are read once, and
    // the connection keeps a small cache of them meanwhile.
    class StatsRowsByPinger {
    public:
        StatsRowsByPinger(HistoryDb& db, const std::vector<std::int64_t>& runs);
        ~StatsRowsByPinger();
        StatsRowsByPinger(const StatsRowsByPinger&) = delete;
        StatsRowsByPinger& operator=(const StatsRowsByPinger&) = delete;
        // The next pinger's rows; false after the last (or a read that failed).
        bool next(std::int64_t& nick, StatsRows& out);

    private:
        void step(std::size_t run);
        HistoryDb& db_;
        std::vector<std::unique_ptr<Statement>> runs_;  // each at its next row, or done (null)
    };
    // What a row that is no packing makes of the file.
    HistoryError damagedFigures() const;
    // How each pinger's figures came to the runs given (oldest first).
    std::vector<StatePoint> pingerStates(const std::vector<std::int64_t>& runs);
    // Every row of a name table, in the order of the names.
    NamedRows names(NameTable table);
    std::string gmtOf(std::int64_t id);
    // The run's pingers' page update times, by nick (those that printed one).
    std::map<std::string, std::string> updateTimes(std::int64_t run);
    // The run's broken chains, in the order of pinger, chain and names.
    std::vector<BrokenChain> brokenChains(std::int64_t run);
    // The remailers listed by a run the history still keeps, by name.
    std::vector<RemailerSeen> remailersSeen();
    // The time of the first run recorded after that time, "" when none.
    std::string firstRunAfter(const std::string& gmt);
    // The time of the type's last run that downloaded each pinger, by nick.
    std::map<std::string, std::string> lastReached(const std::string& type);

    // The write lock held until commit() or the end of its life (which
    // rolls back): what is read under it is one moment of the file.
    class WriteLock {
    public:
        explicit WriteLock(HistoryDb& db);
        ~WriteLock();
        WriteLock(const WriteLock&) = delete;
        WriteLock& operator=(const WriteLock&) = delete;
        // Throws HistoryError when the commit fails.
        void commit();

    private:
        HistoryDb& db_;
        bool open_ = true;
    };

    // One moment of the file read until the end of its life: unlike the
    // write lock it keeps no other program from recording meanwhile, so that
    // what is read may be written out while it is held.
    class Snapshot {
    public:
        explicit Snapshot(HistoryDb& db);
        ~Snapshot();
        Snapshot(const Snapshot&) = delete;
        Snapshot& operator=(const Snapshot&) = delete;

    private:
        HistoryDb& db_;
    };

    // One step of the history: SQLite gives up (HistoryError, "gave up after
    // N s") once the step has taken longer than the limit.
    class Step {
    public:
        explicit Step(HistoryDb& db);
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        HistoryDb& db_;
    };

    // Changes whenever another connection has committed since the last look.
    std::int64_t dataVersion();

    // "ok" when the file is whole.
    std::string integrityCheck();
    std::int64_t count(const std::string& table);

    // As runsNotReached, counted back from the run given (an older night's
    // count, for the week of changes).
    int runsNotReachedUpTo(const std::string& type, const std::string& nick, std::int64_t run);

private:
    friend class WriteLock;
    friend class Snapshot;
    friend class Step;
    class Reused;
    [[noreturn]] void fail(int code) const;
    void exec(const char* sql);
    void setCache(int kib) noexcept;
    void open();
    void refuseForeignObjects(int version);
    void migrate();
    void record(std::span<const Run> runs, int keepDays);
    void insert(const Run& run);
    struct Place;
    // The figures of a stats run, a packed row per pinger; of the other
    // kinds, a row per figure.
    // A stats run's figures that come by places, after those by name.
    void placeByNumbers(const Run& run, std::vector<Place>& places);
    void insertStats(std::int64_t runId, const std::vector<Place>& places);
    void insertFigures(const Run& run, std::int64_t runId, const std::vector<Place>& places);
    // The run's broken chains.
    void insertSeen(const Run& run, std::int64_t runId);
    // The first and last run that listed each of the run's remailers.
    void insertListed(const Run& run, const std::vector<Place>& places);
    // A key or capability-string run just inserted, kept for the report as
    // loadMarks would read it.
    void keepMarks(const Run& run, std::int64_t runId, const std::vector<Place>& places);
    void prune(int keepDays);
    // The run's type, time and pingers (in the order of their names); false
    // when there is no such run.
    bool loadHead(std::int64_t id, std::string& type, std::string& gmt, std::vector<PingerSeen>& pingers);
    // The run's figures, in the order of pinger and remailer names.
    void loadFigures(StoredRun& run);
    void rollback();
    // Folds the log back into the file and empties it.
    void checkpoint();
    // The same once the log has passed kLogKeptBytes.
    void checkpointWhenLarge();
    void useWal();
    static int Progress(void* self);
    std::int64_t intern(const char* table, const char* column, const std::string& value,
                        std::unordered_map<std::string, std::int64_t>& cache);
    std::int64_t textId(const std::string& value);

    std::filesystem::path path_;
    sqlite3* db_ = nullptr;
    int busyTimeoutMs_;
    std::chrono::milliseconds stepLimit_;
    // While a step runs: when it gives up.
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool timedOut_ = false;
    std::unordered_map<std::string, std::int64_t> nicks_, remailers_, texts_;
    std::unordered_map<std::int64_t, std::string> textsById_;
    // The statements read again and again, prepared once (by their text).
    std::unordered_map<const char*, std::unique_ptr<Statement>> prepared_;
    std::optional<MarkedRun> recorded_;
};

}  // namespace parlux::history
