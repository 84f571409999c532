#include "history/HistoryDb.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_map>

#include "common/core/FolderOwner.h"
#include "common/core/StatsTypes.h"

namespace parlux::history {

namespace fs = std::filesystem;

bool HistoryError::damaged() const {
    const int primary = code_ & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// A prepared statement, finalized on the way out.
class HistoryDb::Statement {
public:
    Statement(HistoryDb& db, const char* sql) : db_(db) {
        const int rc = sqlite3_prepare_v2(db.db_, sql, -1, &stmt_, nullptr);
        if (rc != SQLITE_OK) db.fail(rc);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, std::int64_t value) {
        check(sqlite3_bind_int64(stmt_, i, value));
        return *this;
    }
    Statement& bindBlob(int i, const std::string& value) {
        check(sqlite3_bind_blob64(stmt_, i, value.data(), value.size(), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bind(int i, const std::string& value) {
        check(sqlite3_bind_text(stmt_, i, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT));
        return *this;
    }
    // True while there is a row.
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) db_.fail(rc);
        return false;
    }
    void run() {
        step();
        reset();
    }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    bool null(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    std::string_view bytes(int column) const {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
        return bytes ? std::string_view(bytes, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                     : std::string_view();
    }
    std::string text(int column) const {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
        return bytes ? std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                     : std::string();
    }

private:
    void check(int rc) const {
        if (rc != SQLITE_OK) db_.fail(rc);
    }
    HistoryDb& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// A statement prepared once and kept by the connection: given back reset on
// the way out, so that no read is left open to hold back the log's folding.
class HistoryDb::Reused {
public:
    Reused(HistoryDb& db, const char* sql) : statement_(prepare(db, sql)) {}
    ~Reused() { statement_.reset(); }
    Reused(const Reused&) = delete;
    Reused& operator=(const Reused&) = delete;
    Statement* operator->() { return &statement_; }

private:
    static Statement& prepare(HistoryDb& db, const char* sql) {
        auto& kept = db.prepared_[sql];
        if (!kept) kept = std::make_unique<Statement>(db, sql);
        return *kept;
    }
    Statement& statement_;
};

namespace {

// The schema, one step per version: step k brings version k-1 to k.
const char* const kMigrations[] = {
    // 1: the runs, their pingers and figures; names and texts once each.
    "CREATE TABLE nick(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
    "CREATE TABLE remailer(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
    "CREATE TABLE text(id INTEGER PRIMARY KEY, body TEXT NOT NULL UNIQUE);"
    // raw: the stats texts of the run, deflated in one piece (gone in 2).
    "CREATE TABLE run(id INTEGER PRIMARY KEY, program INTEGER NOT NULL, type INTEGER NOT NULL,"
    " gmt TEXT NOT NULL, listed INTEGER NOT NULL, downloaded INTEGER NOT NULL, cached INTEGER NOT NULL, raw BLOB);"
    "CREATE INDEX run_by_type ON run(type, id);"
    "CREATE INDEX run_by_time ON run(gmt);"
    "CREATE TABLE run_pinger(run INTEGER NOT NULL, nick INTEGER NOT NULL, state INTEGER NOT NULL,"
    " PRIMARY KEY(run, nick)) WITHOUT ROWID;"
    // The figures, a table per kind of type: uptime in hundredths of a
    // percent and latency in seconds; the key and capability fields are
    // numbers of texts.
    "CREATE TABLE stats_figure(run INTEGER NOT NULL, nick INTEGER NOT NULL, remailer INTEGER NOT NULL,"
    " latency INTEGER, uptime INTEGER, PRIMARY KEY(run, nick, remailer)) WITHOUT ROWID;"
    "CREATE TABLE key_figure(run INTEGER NOT NULL, nick INTEGER NOT NULL, remailer INTEGER NOT NULL,"
    " key_id INTEGER, key_size INTEGER, key_date INTEGER, key_state INTEGER, PRIMARY KEY(run, nick, remailer))"
    " WITHOUT ROWID;"
    "CREATE TABLE cap_figure(run INTEGER NOT NULL, nick INTEGER NOT NULL, remailer INTEGER NOT NULL, caps INTEGER,"
    " PRIMARY KEY(run, nick, remailer)) WITHOUT ROWID;",
    // 2: no page read the stats texts; they were half the file.
    "ALTER TABLE run DROP COLUMN raw;",
    // 3: the update time each pinger's page printed, the chains its page
    // calls broken (their remailers as texts: "*" is no remailer), and the
    // first and last run that listed each remailer, which the pages of the
    // remailers read without a walk through every figure.
    "ALTER TABLE run_pinger ADD COLUMN updated TEXT;"
    "CREATE TABLE broken_chain(run INTEGER NOT NULL, nick INTEGER NOT NULL, chain INTEGER NOT NULL,"
    " first INTEGER NOT NULL, second INTEGER NOT NULL, PRIMARY KEY(run, nick, chain, first, second)) WITHOUT ROWID;"
    "CREATE TABLE remailer_seen(remailer INTEGER PRIMARY KEY, first_gmt TEXT NOT NULL, last_gmt TEXT NOT NULL);"
    "INSERT INTO remailer_seen SELECT f.remailer, min(r.gmt), max(r.gmt) FROM (SELECT run, remailer FROM"
    " stats_figure UNION ALL SELECT run, remailer FROM key_figure UNION ALL SELECT run, remailer FROM cap_figure) f"
    " JOIN run r ON r.id = f.run GROUP BY f.remailer;",
    // 4: a stats run's figures a row per pinger, packed (PackStats), instead
    // of a row per figure: a large grid's run is half a million figures, and
    // every page reads them by run and pinger.
    "CREATE TABLE stats_block(run INTEGER NOT NULL, nick INTEGER NOT NULL, figures BLOB NOT NULL,"
    " PRIMARY KEY(run, nick)) WITHOUT ROWID;"
    "INSERT INTO stats_block SELECT run, nick, parlux_pack_stats(remailer, uptime, latency) FROM stats_figure"
    " GROUP BY run, nick;"
    "DROP TABLE stats_figure;",
};
static_assert(std::size(kMigrations) == kSchemaVersion);

// A time as the runs keep it, "YYYY/MM/DD HH:NN:SS": what is not one (a file
// written by hand may hold anything) is never taken for the newest run.
constexpr const char* kWellFormedGmt =
    "gmt GLOB '[0-9][0-9][0-9][0-9]/[0-9][0-9]/[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'";

// A pinger's figures in a stats run, packed: for each figure in the order of
// the remailers' numbers, the number's step from the one before (a varint),
// a byte saying which of uptime (1) and latency (2) are known, and those,
// zigzagged varints. The bytes come from a file anyone may have written:
// reading them checks every step.
void PutVarint(std::string& out, std::uint64_t value) {
    for (; value >= 0x80; value >>= 7) out += static_cast<char>((value & 0x7f) | 0x80);
    out += static_cast<char>(value);
}

std::uint64_t ZigZag(std::int64_t value) {
    return (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63);
}

// Entries in the order of their remailers, each remailer once.
std::string PackStats(const std::vector<StatsEntry>& entries) {
    std::string out;
    out.reserve(entries.size() * 6);
    std::int64_t previous = 0;
    for (const StatsEntry& e : entries) {
        PutVarint(out, static_cast<std::uint64_t>(e.remailer) - static_cast<std::uint64_t>(previous));
        previous = e.remailer;
        out += static_cast<char>((e.hundredths ? 1 : 0) | (e.latency ? 2 : 0));
        if (e.hundredths) PutVarint(out, ZigZag(*e.hundredths));
        if (e.latency) PutVarint(out, ZigZag(*e.latency));
    }
    return out;
}

// A pinger's packed figures, read into entries (their room used again).
void Unpack(std::string_view bytes, const fs::path& path, std::vector<StatsEntry>& entries) {
    entries.clear();
    StatsRowReader unpacker(bytes);
    for (StatsEntry e{}; unpacker.next(e);) entries.push_back(e);
    if (unpacker.damaged()) throw HistoryError(path.string() + ": the figures of a run are damaged", SQLITE_CORRUPT);
}

// parlux_pack_stats(remailer, uptime, latency): the packing of a group's
// figures, for the step that brings the old rows into stats_block. Ours, on
// our connection only, never callable from the file's schema.
void PackStep(sqlite3_context* context, int, sqlite3_value** values) {
    auto** entries = static_cast<std::vector<StatsEntry>**>(sqlite3_aggregate_context(context, sizeof(void*)));
    if (!entries) return sqlite3_result_error_nomem(context);
    if (!*entries) *entries = new std::vector<StatsEntry>;
    auto known = [](sqlite3_value* v) {
        return sqlite3_value_type(v) == SQLITE_NULL ? std::nullopt : std::optional(sqlite3_value_int64(v));
    };
    (*entries)->push_back({sqlite3_value_int64(values[0]), known(values[1]), known(values[2])});
}

void PackFinal(sqlite3_context* context) {
    auto** entries = static_cast<std::vector<StatsEntry>**>(sqlite3_aggregate_context(context, 0));
    const std::unique_ptr<std::vector<StatsEntry>> owned(entries ? *entries : nullptr);
    std::string packed;
    if (owned) {
        std::sort(owned->begin(), owned->end(),
                  [](const StatsEntry& a, const StatsEntry& b) { return a.remailer < b.remailer; });
        packed = PackStats(*owned);
    }
    sqlite3_result_blob64(context, packed.data(), packed.size(), SQLITE_TRANSIENT);
}

void AddOwnFunctions(sqlite3* db) {
    sqlite3_create_function_v2(db, "parlux_pack_stats", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
                               nullptr, nullptr, &PackStep, &PackFinal, nullptr);
}

// The objects of the history's own schema at a version: what the steps up to
// it make in an empty database.
using SchemaObject = std::tuple<std::string, std::string, std::string, std::string>;  // type, name, table, sql
std::set<SchemaObject> SchemaObjects(sqlite3* db) {
    std::set<SchemaObject> out;
    sqlite3_stmt* select = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT type, name, tbl_name, sql FROM sqlite_schema", -1, &select, nullptr) !=
        SQLITE_OK)
        return out;
    auto text = [select](int column) {
        const auto* bytes = sqlite3_column_text(select, column);
        return bytes ? std::string(reinterpret_cast<const char*>(bytes)) : std::string();
    };
    while (sqlite3_step(select) == SQLITE_ROW) out.emplace(text(0), text(1), text(2), text(3));
    sqlite3_finalize(select);
    return out;
}

std::set<SchemaObject> OwnSchema(int version) {
    sqlite3* db = nullptr;
    std::set<SchemaObject> out;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        AddOwnFunctions(db);
        for (int step = 0; step < version; ++step) sqlite3_exec(db, kMigrations[step], nullptr, nullptr, nullptr);
        out = SchemaObjects(db);
    }
    sqlite3_close(db);
    return out;
}

std::string Seconds(std::chrono::milliseconds limit) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(limit.count()) / 1000.0);
    return buffer;
}

int TypeOrder(const std::string& type) {
    for (std::size_t i = 0; i < kStatsTypes.size(); ++i)
        if (kStatsTypes[i].code == type) return static_cast<int>(i);
    return static_cast<int>(kStatsTypes.size());
}

}  // namespace

HistoryDb::HistoryDb(fs::path path, int busyTimeoutMs, std::chrono::milliseconds stepLimit)
    : path_(std::move(path)), busyTimeoutMs_(busyTimeoutMs), stepLimit_(stepLimit) {
    open();
    try {
        const Step opening(*this);
        // A new file's pages hold a large grid's packed row whole: a month of
        // a pinger's rows is read in a few pages rather than a few hundred.
        // (A file that exists keeps its own.)
        exec("PRAGMA page_size=65536");
        useWal();
        // A killed process loses at most its own run; a power cut at worst the last ones.
        exec("PRAGMA synchronous=NORMAL");
        // A large grid's run is some ten megabytes of pages: held until its
        // commit instead of spilled into the log halfway and read back.
        setCache(kCacheKiB);
        // The log is cut back to its kept size whenever it starts over: the
        // disk is the pages' first.
        exec(("PRAGMA journal_size_limit=" + std::to_string(kLogKeptBytes)).c_str());
        migrate();
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

void HistoryDb::open() {
    // The folder is the owner's choice, links and all; the file and the two
    // SQLite keeps beside it are the history's own and never lead elsewhere.
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const std::string name = path_.string() + suffix;
        struct stat info {};
        if (::lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            throw HistoryError(name + ": a link, not opened", SQLITE_CANTOPEN);
    }
    // Root's run in a user's data folder leaves the history to the user: the
    // file is given (made first when new) before SQLite opens it, which makes
    // its log and index with the file's owner; once SQLite holds it, another
    // descriptor's close would drop SQLite's locks on it.
    for (const char* suffix : {"", "-wal", "-shm"}) KeepForFolderOwner(path_.string() + suffix);
    if (::geteuid() == 0) {
        const int made = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (made >= 0) {
            KeepForFolderOwner(made, path_);
            ::close(made);
        }
    }
    std::error_code ec;
    const fs::path folder = fs::canonical(path_.parent_path().empty() ? fs::path(".") : path_.parent_path(), ec);
    const fs::path real = ec ? path_ : folder / path_.filename();
    // One thread uses a connection: no lock around each of its calls.
    const int rc = sqlite3_open_v2(
        real.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX,
        nullptr);
    if (rc != SQLITE_OK) {
        const std::string what = path_.string() + ": " + (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
        sqlite3_close(db_);
        db_ = nullptr;
        throw HistoryError(what, rc);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs_);
    // Nothing in the file runs as code.
    for (const auto& [option, value] : {std::pair{SQLITE_DBCONFIG_DEFENSIVE, 1},
                                        {SQLITE_DBCONFIG_ENABLE_TRIGGER, 0},
                                        {SQLITE_DBCONFIG_ENABLE_VIEW, 0},
                                        {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
                                        {SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0}})
        sqlite3_db_config(db_, option, value, nullptr);
    sqlite3_progress_handler(db_, 1000, &HistoryDb::Progress, this);
    AddOwnFunctions(db_);
}

int HistoryDb::Progress(void* self) {
    auto* db = static_cast<HistoryDb*>(self);
    if (!db->deadline_ || std::chrono::steady_clock::now() < *db->deadline_) return 0;
    db->timedOut_ = true;
    return 1;
}

HistoryDb::~HistoryDb() {
    prepared_.clear();  // a statement left unfinalized keeps the file open
    sqlite3_close(db_);
}

void HistoryDb::fail(int code) const {
    std::string words = sqlite3_errmsg(db_);
    if (words == "not an error" || words.empty()) words = sqlite3_errstr(code);
    if ((code & 0xff) == SQLITE_INTERRUPT && timedOut_) words = "gave up after " + Seconds(stepLimit_) + " s";
    throw HistoryError(path_.string() + ": " + words, code);
}

void HistoryDb::exec(const char* sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK) fail(rc);
}

void HistoryDb::useWal() {
    // Switching needs the file to itself for a moment; another program may be
    // switching or writing, so try again until the busy timeout has passed.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs_);
    while (true) {
        try {
            Statement mode(*this, "PRAGMA journal_mode=WAL");
            if (mode.step() && mode.text(0) == "wal") return;
            throw HistoryError(path_.string() + ": cannot use a write-ahead log", SQLITE_ERROR);
        } catch (const HistoryError& e) {
            if ((e.code() & 0xff) != SQLITE_BUSY && (e.code() & 0xff) != SQLITE_LOCKED) throw;
            if (std::chrono::steady_clock::now() >= until) throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

void HistoryDb::migrate() {
    auto version = [this] {
        Statement v(*this, "PRAGMA user_version");
        v.step();
        return static_cast<int>(v.integer(0));
    };
    if (version() == kSchemaVersion) return refuseForeignObjects(kSchemaVersion);
    exec("BEGIN IMMEDIATE");
    int found = 0;
    try {
        found = version();  // another program may have done it meanwhile
        if (found > kSchemaVersion)
            throw HistoryError(path_.string() + ": written by a later Parlux (schema " + std::to_string(found) +
                                   ", this one knows " + std::to_string(kSchemaVersion) + ")",
                               SQLITE_ERROR);
        refuseForeignObjects(found);
        for (int step = found; step < kSchemaVersion; ++step) exec(kMigrations[step]);
        exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
        exec("COMMIT");
    } catch (...) {
        rollback();
        throw;
    }
    // The stats texts dropped (2) and the figures packed (4) leave free
    // pages the size of half the file: given back once.
    if (found >= 1 && found < 4) {
        exec("VACUUM");
        checkpoint();
    }
}

void HistoryDb::refuseForeignObjects(int version) {
    std::string foreign;
    const auto own = OwnSchema(version);
    for (const auto& object : SchemaObjects(db_))
        if (!own.count(object))
            foreign += (foreign.empty() ? "" : ", ") + std::get<0>(object) + " " + std::get<1>(object);
    if (!foreign.empty())
        throw HistoryError(path_.string() + ": holds what is not the history's own (" + foreign + ")", SQLITE_CORRUPT);
}

void HistoryDb::rollback() {
    deadline_.reset();  // a step out of time still gives back what it began
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void HistoryDb::checkpoint() {
    // Never waits for another program: what a reader still holds is folded
    // back with the next run. The log's frames go back into the file as far
    // as the readers allow; only once it is all in and no reader is left on
    // it is the log emptied, at once or not at all. A log folded back whole
    // starts over with the next write and is cut to kLogKeptBytes then.
    sqlite3_busy_handler(db_, nullptr, nullptr);
    int logged = 0, folded = 0;
    const int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logged, &folded);
    if (rc == SQLITE_OK && logged > 0 && folded == logged)
        sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    sqlite3_busy_timeout(db_, busyTimeoutMs_);
}

void HistoryDb::checkpointWhenLarge() {
    // A night's run of an ordinary site leaves a log well under the kept
    // size: folding it back after every run would cost each run the disk's
    // time to write the file twice over.
    struct stat info {};
    const std::string log = path_.string() + "-wal";
    if (::stat(log.c_str(), &info) == 0 && info.st_size > kLogKeptBytes) checkpoint();
}

std::int64_t HistoryDb::intern(const char* table, const char* column, const std::string& value,
                               std::unordered_map<std::string, std::int64_t>& cache) {
    if (auto it = cache.find(value); it != cache.end()) return it->second;
    if (cache.empty()) {
        // The names are few and come back night after night: all of them at once.
        const std::string all = std::string("SELECT ") + column + ", id FROM " + table;
        Statement every(*this, all.c_str());
        while (every.step()) cache.emplace(every.text(0), every.integer(1));
        if (auto it = cache.find(value); it != cache.end()) return it->second;
    }
    const std::string find = std::string("SELECT id FROM ") + table + " WHERE " + column + "=?1";
    Statement select(*this, find.c_str());
    select.bind(1, value);
    std::int64_t id = 0;
    if (select.step()) {
        id = select.integer(0);
    } else {
        const std::string add = std::string("INSERT INTO ") + table + "(" + column + ") VALUES(?1)";
        Statement insert(*this, add.c_str());
        insert.bind(1, value).run();
        id = sqlite3_last_insert_rowid(db_);
    }
    cache.emplace(value, id);
    return id;
}

std::int64_t HistoryDb::textId(const std::string& value) { return intern("text", "body", value, texts_); }

std::string HistoryDb::textOf(std::int64_t id) {
    if (auto it = textsById_.find(id); it != textsById_.end()) return it->second;
    Reused select(*this, "SELECT body FROM text WHERE id=?1");
    select->bind(1, id);
    std::string body = select->step() ? select->text(0) : std::string();
    textsById_.emplace(id, body);
    return body;
}

// A run of a large grid is half a million figures: recorded where it is, never copied.
void HistoryDb::record(const Run& run, int keepDays) { record(std::span<const Run>(&run, 1), keepDays); }

void HistoryDb::record(const std::vector<Run>& runs, int keepDays) { record(std::span<const Run>(runs), keepDays); }

void HistoryDb::record(std::span<const Run> runs, int keepDays) {
    exec("BEGIN IMMEDIATE");
    try {
        for (const Run& run : runs) insert(run);
        if (keepDays > 0) prune(keepDays);
        exec("COMMIT");
    } catch (...) {
        rollback();
        // Numbers handed out inside the lost transaction are gone with it.
        nicks_.clear(), remailers_.clear(), texts_.clear(), textsById_.clear();
        recorded_.reset();
        throw;
    }
    checkpointWhenLarge();
}

void HistoryDb::prune(int keepDays) {
    // Measured from the newest run recorded, not from the clock: a night
    // with the clock far ahead removes nothing that was not old already.
    Statement cutoff(*this, (std::string("SELECT replace(datetime(replace(max(gmt), '/', '-'), ?1), '-', '/')"
                                         " FROM run WHERE ") +
                             kWellFormedGmt)
                                .c_str());
    cutoff.bind(1, "-" + std::to_string(keepDays) + " days");
    if (!cutoff.step() || cutoff.null(0)) return;
    const std::string oldestKept = cutoff.text(0);
    Statement doomed(*this,
                     "SELECT id FROM run r WHERE gmt < ?1"
                     " AND (SELECT count(*) FROM run x WHERE x.type = r.type AND x.id > r.id) >= ?2");
    doomed.bind(1, oldestKept).bind(2, kRunsAlwaysKept);
    std::vector<std::int64_t> ids;
    while (doomed.step()) ids.push_back(doomed.integer(0));
    const char* const prune[] = {
        "DELETE FROM stats_block WHERE run=?1",  "DELETE FROM key_figure WHERE run=?1",
        "DELETE FROM cap_figure WHERE run=?1",   "DELETE FROM run_pinger WHERE run=?1",
        "DELETE FROM broken_chain WHERE run=?1", "DELETE FROM run WHERE id=?1",
    };
    for (const char* sql : prune) {
        Statement remove(*this, sql);
        for (const auto id : ids) remove.bind(1, id).run();
    }
}

std::string HistoryDb::newestGmt(const std::string& type) {
    Statement select(*this, (std::string("SELECT max(r.gmt) FROM run r JOIN text t ON t.id = r.type"
                                         " WHERE t.body=?1 AND r.") +
                             kWellFormedGmt)
                                .c_str());
    select.bind(1, type);
    return select.step() ? select.text(0) : std::string();
}

// A figure of a run being recorded: its pinger and remailer by number.
// A stats type's figures are taken along: they may come by name (figures)
// or by places (statsFigures), one after the other.
struct HistoryDb::Place {
    std::int64_t nick, remailer;
    std::size_t figure;
    std::int32_t hundredths = kNoStatsFigure, latency = kNoStatsFigure;
};

namespace {

std::optional<std::int64_t> Known(std::int32_t value) {
    return value == kNoStatsFigure ? std::nullopt : std::optional<std::int64_t>(value);
}

}  // namespace

void HistoryDb::keepMarks(const Run& run, std::int64_t runId, const std::vector<Place>& places) {
    const Kind kind = KindOf(run.type);
    MarkedRun& kept = recorded_.emplace();
    kept.id = runId;
    kept.type = run.type;
    kept.gmt = run.gmt;
    // As the table keeps them: one line a pinger, its last state.
    kept.pingers = run.pingers;
    std::stable_sort(kept.pingers.begin(), kept.pingers.end(),
                     [](const PingerSeen& a, const PingerSeen& b) { return a.nick < b.nick; });
    for (std::size_t i = kept.pingers.size(); i-- > 1;)
        if (kept.pingers[i - 1].nick == kept.pingers[i].nick) kept.pingers.erase(kept.pingers.begin() + i - 1);
    kept.figures.reserve(places.size());
    for (const Place& place : places) {
        FigureMark mark{place.nick, place.remailer, 0, true};
        if (kind == Kind::Stats) {
            mark.known = place.hundredths != kNoStatsFigure;
            if (mark.known) mark.value = place.hundredths;
        } else {
            const Figure& f = run.figures[place.figure];
            mark.value = textId(kind == Kind::Keys ? f.keyId : f.caps);
        }
        auto& figures = kept.figures;
        // The same pair again: its later figure replaced the earlier one.
        if (!figures.empty() && figures.back().nick == mark.nick && figures.back().remailer == mark.remailer)
            figures.back() = mark;
        else
            figures.push_back(mark);
    }
}

const MarkedRun* HistoryDb::recordedMarks(std::int64_t id) const {
    return recorded_ && recorded_->id == id ? &*recorded_ : nullptr;
}

void HistoryDb::insert(const Run& run) {
    int downloaded = 0, cached = 0;
    for (const auto& p : run.pingers) {
        downloaded += p.state == PingerState::Downloaded;
        cached += p.state == PingerState::Cached;
    }
    Statement addRun(*this,
                     "INSERT INTO run(program, type, gmt, listed, downloaded, cached)"
                     " VALUES(?1,?2,?3,?4,?5,?6)");
    addRun.bind(1, textId(run.program)).bind(2, textId(run.type)).bind(3, run.gmt);
    addRun.bind(4, static_cast<std::int64_t>(run.pingers.size())).bind(5, downloaded).bind(6, cached);
    addRun.run();
    const std::int64_t runId = sqlite3_last_insert_rowid(db_);

    Statement addPinger(*this, "INSERT OR REPLACE INTO run_pinger(run, nick, state, updated) VALUES(?1,?2,?3,?4)");
    for (const auto& p : run.pingers) {
        addPinger.bind(1, runId).bind(2, intern("nick", "name", p.nick, nicks_));
        addPinger.bind(3, static_cast<std::int64_t>(p.state));
        if (!p.updated.empty()) addPinger.bind(4, p.updated);
        addPinger.run();
    }
    insertSeen(run, runId);

    const Kind kind = KindOf(run.type);
    // In the order of the table's key, the same pair's later figure last: each
    // row goes beside the one before it.
    std::vector<Place> places;
    places.reserve(run.figures.size() + run.statsFigures.size());
    const std::string* lastPinger = nullptr;
    std::int64_t nick = 0;
    for (std::size_t i = 0; i < run.figures.size(); ++i) {
        const Figure& f = run.figures[i];
        // A pinger's figures come together: its number is looked up once.
        if (!lastPinger || f.pinger != *lastPinger) nick = intern("nick", "name", f.pinger, nicks_);
        lastPinger = &f.pinger;
        Place& place = places.emplace_back(Place{nick, intern("remailer", "name", f.remailer, remailers_), i});
        if (kind != Kind::Stats) continue;
        if (f.uptimePercent) place.hundredths = static_cast<std::int32_t>(std::llround(*f.uptimePercent * 100.0));
        if (f.latencySeconds) place.latency = static_cast<std::int32_t>(*f.latencySeconds);
    }
    if (kind == Kind::Stats) placeByNumbers(run, places);
    insertListed(run, places);
    std::sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
        return std::tie(a.nick, a.remailer, a.figure) < std::tie(b.nick, b.remailer, b.figure);
    });
    if (kind == Kind::Stats)
        insertStats(runId, places);
    else
        insertFigures(run, runId, places);
    if (kind == Kind::Stats)
        recorded_.reset();
    else
        keepMarks(run, runId, places);
}

void HistoryDb::placeByNumbers(const Run& run, std::vector<Place>& places) {
    // Each name is looked up once, as a pinger's or a remailer's as it is used.
    constexpr std::int64_t kNotYet = -1;
    std::vector<std::int64_t> nicks(run.statsNames.size(), kNotYet), remailers(run.statsNames.size(), kNotYet);
    const auto number = [&](std::vector<std::int64_t>& numbers, std::uint32_t at, const char* table, auto& cache) {
        if (at >= run.statsNames.size()) throw std::out_of_range("a stats figure's name is not among the run's");
        if (numbers[at] == kNotYet) numbers[at] = intern(table, "name", run.statsNames[at], cache);
        return numbers[at];
    };
    const std::size_t first = run.figures.size();
    for (std::size_t i = 0; i < run.statsFigures.size(); ++i) {
        const StatsFigure& f = run.statsFigures[i];
        places.push_back({number(nicks, f.pinger, "nick", nicks_),
                          number(remailers, f.remailer, "remailer", remailers_), first + i, f.hundredths, f.latency});
    }
}

void HistoryDb::insertStats(std::int64_t runId, const std::vector<Place>& places) {
    Statement addBlock(*this, "INSERT INTO stats_block(run, nick, figures) VALUES(?1,?2,?3)");
    std::vector<StatsEntry> entries;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const Place& place = places[i];
        const StatsEntry entry{place.remailer, Known(place.hundredths), Known(place.latency)};
        // The same pair again: its later figure replaces the earlier one.
        if (!entries.empty() && entries.back().remailer == place.remailer)
            entries.back() = entry;
        else
            entries.push_back(entry);
        if (i + 1 < places.size() && places[i + 1].nick == place.nick) continue;
        addBlock.bind(1, runId).bind(2, place.nick).bindBlob(3, PackStats(entries)).run();
        entries.clear();
    }
}

void HistoryDb::insertFigures(const Run& run, std::int64_t runId, const std::vector<Place>& places) {
    const char* const inserts[] = {
        ("INSERT OR REPLACE INTO key_figure(run, nick, remailer, key_id, key_size, key_date, key_state)"
         " VALUES(?1,?2,?3,?4,?5,?6,?7)"),
        "INSERT OR REPLACE INTO cap_figure(run, nick, remailer, caps) VALUES(?1,?2,?3,?4)",
    };
    const Kind kind = KindOf(run.type);
    Statement addFigure(*this, inserts[kind == Kind::Keys ? 0 : 1]);
    for (const Place& place : places) {
        const Figure& f = run.figures[place.figure];
        addFigure.bind(1, runId).bind(2, place.nick).bind(3, place.remailer);
        if (kind == Kind::Keys) {
            addFigure.bind(4, textId(f.keyId)).bind(5, textId(f.keySize));
            addFigure.bind(6, textId(f.keyDate)).bind(7, textId(f.keyState));
        } else {
            addFigure.bind(4, textId(f.caps));
        }
        addFigure.run();
    }
}

void HistoryDb::insertSeen(const Run& run, std::int64_t runId) {
    Statement addChain(*this,
                       "INSERT OR IGNORE INTO broken_chain(run, nick, chain, first, second) VALUES(?1,?2,?3,?4,?5)");
    for (const BrokenChain& c : run.brokenChains) {
        addChain.bind(1, runId).bind(2, intern("nick", "name", c.pinger, nicks_)).bind(3, c.chainType);
        addChain.bind(4, textId(c.from)).bind(5, textId(c.to)).run();
    }
}

void HistoryDb::insertListed(const Run& run, const std::vector<Place>& places) {
    std::vector<std::int64_t> listed;
    listed.reserve(places.size());
    for (const Place& place : places) listed.push_back(place.remailer);
    std::sort(listed.begin(), listed.end());
    listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
    Statement seen(*this,
                   "INSERT INTO remailer_seen(remailer, first_gmt, last_gmt) VALUES(?1,?2,?2) ON CONFLICT(remailer)"
                   " DO UPDATE SET first_gmt = min(first_gmt, excluded.first_gmt),"
                   " last_gmt = max(last_gmt, excluded.last_gmt)");
    for (const std::int64_t remailer : listed) seen.bind(1, remailer).bind(2, run.gmt).run();
}

std::map<std::string, std::string> HistoryDb::updateTimes(std::int64_t run) {
    Statement select(*this,
                     "SELECT n.name, p.updated FROM run_pinger p JOIN nick n ON n.id = p.nick"
                     " WHERE p.run=?1 AND p.updated IS NOT NULL");
    select.bind(1, run);
    std::map<std::string, std::string> out;
    while (select.step()) out.emplace(select.text(0), select.text(1));
    return out;
}

std::vector<BrokenChain> HistoryDb::brokenChains(std::int64_t run) {
    Statement select(*this,
                     "SELECT n.name, c.chain, a.body, b.body FROM broken_chain c JOIN nick n ON n.id = c.nick"
                     " JOIN text a ON a.id = c.first JOIN text b ON b.id = c.second WHERE c.run=?1"
                     " ORDER BY n.name, c.chain, a.body, b.body");
    select.bind(1, run);
    std::vector<BrokenChain> out;
    while (select.step())
        out.push_back({select.text(0), static_cast<int>(select.integer(1)), select.text(2), select.text(3)});
    return out;
}

std::vector<RemailerSeen> HistoryDb::remailersSeen() {
    // The remailers some kept run listed: the history's days.
    Statement select(*this, (std::string("SELECT m.name, s.first_gmt, s.last_gmt FROM remailer_seen s"
                                         " JOIN remailer m ON m.id = s.remailer WHERE s.last_gmt >="
                                         " (SELECT min(gmt) FROM run WHERE ") +
                             kWellFormedGmt + ") ORDER BY m.name")
                                .c_str());
    std::vector<RemailerSeen> out;
    while (select.step()) out.push_back({select.text(0), select.text(1), select.text(2)});
    return out;
}

std::string HistoryDb::firstRunAfter(const std::string& gmt) {
    Statement select(*this, (std::string("SELECT min(gmt) FROM run WHERE gmt > ?1 AND ") + kWellFormedGmt).c_str());
    select.bind(1, gmt);
    return select.step() ? select.text(0) : std::string();
}

std::map<std::string, std::string> HistoryDb::lastReached(const std::string& type) {
    Statement select(*this,
                     "SELECT n.name, max(r.gmt) FROM run_pinger p JOIN run r ON r.id = p.run"
                     " JOIN text t ON t.id = r.type JOIN nick n ON n.id = p.nick"
                     " WHERE t.body=?1 AND p.state=?2 GROUP BY n.name");
    select.bind(1, type).bind(2, static_cast<std::int64_t>(PingerState::Downloaded));
    std::map<std::string, std::string> out;
    while (select.step()) out.emplace(select.text(0), select.text(1));
    return out;
}

std::vector<std::string> HistoryDb::types() {
    Statement select(*this, "SELECT DISTINCT t.body FROM run r JOIN text t ON t.id = r.type");
    std::vector<std::string> out;
    while (select.step()) out.push_back(select.text(0));
    std::stable_sort(out.begin(), out.end(),
                     [](const std::string& a, const std::string& b) { return TypeOrder(a) < TypeOrder(b); });
    return out;
}

std::vector<std::int64_t> HistoryDb::lastRuns(const std::string& type, int n) {
    Statement select(*this,
                     "SELECT r.id FROM run r JOIN text t ON t.id = r.type WHERE t.body=?1 ORDER BY r.id DESC LIMIT ?2");
    select.bind(1, type).bind(2, n);
    std::vector<std::int64_t> ids;
    while (select.step()) ids.push_back(select.integer(0));
    std::reverse(ids.begin(), ids.end());
    return ids;
}

std::string HistoryDb::gmtOf(std::int64_t id) {
    Statement select(*this, "SELECT gmt FROM run WHERE id=?1");
    select.bind(1, id);
    return select.step() ? select.text(0) : std::string();
}

bool HistoryDb::loadHead(std::int64_t id, std::string& type, std::string& gmt, std::vector<PingerSeen>& pingers) {
    {
        Reused select(*this, "SELECT t.body, r.gmt FROM run r JOIN text t ON t.id = r.type WHERE r.id=?1");
        select->bind(1, id);
        if (!select->step()) return false;
        type = select->text(0);
        gmt = select->text(1);
    }
    Reused select(*this,
                  "SELECT n.name, p.state FROM run_pinger p JOIN nick n ON n.id = p.nick"
                  " WHERE p.run=?1 ORDER BY n.name");
    select->bind(1, id);
    while (select->step()) pingers.push_back({select->text(0), static_cast<PingerState>(select->integer(1))});
    return true;
}

StoredRun HistoryDb::load(std::int64_t id) {
    StoredRun run;
    run.id = id;
    if (loadHead(id, run.type, run.gmt, run.pingers)) loadFigures(run);
    return run;
}

void HistoryDb::loadMarks(std::int64_t id, MarkedRun& run) {
    run.id = id;
    run.type.clear(), run.gmt.clear(), run.pingers.clear(), run.figures.clear();
    if (!loadHead(id, run.type, run.gmt, run.pingers)) return;
    // Only the column the report compares, in the order of the table's key.
    const Kind kind = KindOf(run.type);
    if (kind == Kind::Stats) {
        Reused select(*this, "SELECT nick, figures FROM stats_block WHERE run=?1 ORDER BY nick");
        select->bind(1, id);
        std::vector<StatsEntry> entries;
        while (select->step()) {
            Unpack(select->bytes(1), path_, entries);
            for (const StatsEntry& e : entries)
                run.figures.push_back(
                    {select->integer(0), e.remailer, e.hundredths.value_or(0), e.hundredths.has_value()});
        }
        return;
    }
    Reused select(*this, kind == Kind::Keys
                             ? "SELECT nick, remailer, key_id FROM key_figure WHERE run=?1 ORDER BY nick, remailer"
                             : "SELECT nick, remailer, caps FROM cap_figure WHERE run=?1 ORDER BY nick, remailer");
    select->bind(1, id);
    while (select->step())
        run.figures.push_back({select->integer(0), select->integer(1), select->integer(2), !select->null(2)});
}

namespace {

// A figure as it is read: its pinger and remailer by their place in the order
// of names, its columns as kept.
struct FigureRow {
    std::uint32_t nick, remailer;
    std::array<std::int64_t, 4> column;
    std::array<bool, 4> null;
};

// number -> place in the order of names
std::unordered_map<std::int64_t, std::uint32_t> Places(const NamedRows& rows) {
    std::unordered_map<std::int64_t, std::uint32_t> places;
    places.reserve(rows.size());
    for (std::uint32_t i = 0; i < rows.size(); ++i) places.emplace(rows[i].first, i);
    return places;
}

}  // namespace

void HistoryDb::loadFigures(StoredRun& run) {
    const Kind kind = KindOf(run.type);
    const char* const selects[] = {
        "SELECT nick, figures FROM stats_block WHERE run=?1",
        "SELECT nick, remailer, key_id, key_size, key_date, key_state FROM key_figure WHERE run=?1",
        "SELECT nick, remailer, caps FROM cap_figure WHERE run=?1",
    };
    const int columns[] = {2, 4, 1};
    const NamedRows nicks = names(NameTable::Nick), remailers = names(NameTable::Remailer);
    const auto nickPlaces = Places(nicks), remailerPlaces = Places(remailers);
    // The rows come in the order of the numbers; the figures go in the order
    // of the names: the small rows are sorted, and each figure made once in
    // its place.
    std::vector<FigureRow> rows;
    Statement select(*this, selects[static_cast<int>(kind)]);
    select.bind(1, run.id);
    std::vector<StatsEntry> entries;
    while (kind == Kind::Stats && select.step()) {
        Unpack(select.bytes(1), path_, entries);
        for (const StatsEntry& e : entries)
            rows.push_back({nickPlaces.at(select.integer(0)),
                            remailerPlaces.at(e.remailer),
                            {e.latency.value_or(0), e.hundredths.value_or(0)},
                            {!e.latency, !e.hundredths}});
    }
    while (kind != Kind::Stats && select.step()) {
        FigureRow row{nickPlaces.at(select.integer(0)), remailerPlaces.at(select.integer(1)), {}, {}};
        for (int c = 0; c < columns[static_cast<int>(kind)]; ++c) {
            row.null[c] = select.null(c + 2);
            row.column[c] = select.integer(c + 2);
        }
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end(), [](const FigureRow& a, const FigureRow& b) {
        return std::tie(a.nick, a.remailer) < std::tie(b.nick, b.remailer);
    });
    run.figures.reserve(rows.size());
    for (const FigureRow& row : rows) {
        Figure& f = run.figures.emplace_back();
        f.pinger = nicks[row.nick].second;
        f.remailer = remailers[row.remailer].second;
        if (kind == Kind::Stats) {
            if (!row.null[0]) f.latencySeconds = row.column[0];
            if (!row.null[1]) f.uptimePercent = static_cast<double>(row.column[1]) / 100.0;
        } else if (kind == Kind::Keys) {
            f.keyId = textOf(row.column[0]);
            f.keySize = textOf(row.column[1]);
            f.keyDate = textOf(row.column[2]);
            f.keyState = textOf(row.column[3]);
        } else {
            f.caps = textOf(row.column[0]);
        }
    }
}

int HistoryDb::runsNotReached(const std::string& type, const std::string& nick) {
    return runsNotReachedUpTo(type, nick, std::numeric_limits<std::int64_t>::max());
}

HistoryDb::StatsRowsByPinger::StatsRowsByPinger(HistoryDb& db, const std::vector<std::int64_t>& runs) : db_(db) {
    db.setCache(kReadOnceCacheKiB);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        runs_.push_back(
            std::make_unique<Statement>(db, "SELECT nick, figures FROM stats_block WHERE run=?1 ORDER BY nick"));
        runs_.back()->bind(1, runs[i]);
        step(i);
    }
}

HistoryDb::StatsRowsByPinger::~StatsRowsByPinger() {
    runs_.clear();
    db_.setCache(kCacheKiB);
}

void HistoryDb::setCache(int kib) noexcept {
    // Only a hint: a cache left as it was costs memory, nothing else.
    char pragma[48];
    std::snprintf(pragma, sizeof pragma, "PRAGMA cache_size=-%d", kib);
    sqlite3_exec(db_, pragma, nullptr, nullptr, nullptr);
}

void HistoryDb::StatsRowsByPinger::step(std::size_t run) {
    try {
        if (!runs_[run]->step()) runs_[run].reset();
    } catch (...) {
        for (auto& statement : runs_) statement.reset();  // nothing more is read
        throw;
    }
}

bool HistoryDb::StatsRowsByPinger::next(std::int64_t& nick, StatsRows& out) {
    out.bytes.clear();
    out.rows.clear();
    bool any = false;
    for (const auto& run : runs_)
        if (run && (!any || run->integer(0) < nick)) nick = run->integer(0), any = true;
    if (!any) return false;
    for (std::size_t i = 0; i < runs_.size(); ++i) {
        if (!runs_[i] || runs_[i]->integer(0) != nick) continue;
        out.bytes += runs_[i]->bytes(1);
        out.rows.emplace_back(i, out.bytes.size());
        step(i);
    }
    return true;
}

HistoryError HistoryDb::damagedFigures() const {
    return HistoryError(path_.string() + ": the figures of a run are damaged", SQLITE_CORRUPT);
}

std::vector<StatePoint> HistoryDb::pingerStates(const std::vector<std::int64_t>& runs) {
    Statement select(*this, "SELECT nick, state FROM run_pinger WHERE run=?1");
    std::vector<StatePoint> out;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        select.bind(1, runs[i]);
        while (select.step()) out.push_back({i, select.integer(0), static_cast<PingerState>(select.integer(1))});
        select.reset();
    }
    return out;
}

NamedRows HistoryDb::names(NameTable table) {
    // Names compare as bytes here as they do in std::string.
    Statement select(*this, table == NameTable::Nick ? "SELECT id, name FROM nick ORDER BY name"
                                                     : "SELECT id, name FROM remailer ORDER BY name");
    NamedRows out;
    while (select.step()) out.emplace_back(select.integer(0), select.text(1));
    return out;
}

HistoryDb::WriteLock::WriteLock(HistoryDb& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }

HistoryDb::WriteLock::~WriteLock() {
    if (open_) db_.rollback();
}

void HistoryDb::WriteLock::commit() {
    open_ = false;
    try {
        db_.exec("COMMIT");
    } catch (...) {
        db_.rollback();
        throw;
    }
}

HistoryDb::Snapshot::Snapshot(HistoryDb& db) : db_(db) {
    db_.exec("BEGIN");
    // The moment is taken by the first read, here, not by whichever page reads first.
    Statement first(db_, "SELECT count(*) FROM run WHERE id = 0");
    first.step();
}

HistoryDb::Snapshot::~Snapshot() {
    // Nothing was written: there is nothing a failed end could lose.
    if (sqlite3_exec(db_.db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) db_.rollback();
}

HistoryDb::Step::Step(HistoryDb& db) : db_(db) {
    db_.deadline_ = std::chrono::steady_clock::now() + db_.stepLimit_;
    db_.timedOut_ = false;
}

HistoryDb::Step::~Step() { db_.deadline_.reset(); }

std::int64_t HistoryDb::dataVersion() {
    Statement select(*this, "PRAGMA data_version");
    select.step();
    return select.integer(0);
}

std::string HistoryDb::integrityCheck() {
    Statement check(*this, "PRAGMA integrity_check");
    std::string out;
    while (check.step()) {
        if (!out.empty()) out += '\n';
        out += check.text(0);
    }
    return out;
}

std::int64_t HistoryDb::count(const std::string& table) {
    Statement select(*this, ("SELECT count(*) FROM " + table).c_str());
    select.step();
    return select.integer(0);
}

int HistoryDb::runsNotReachedUpTo(const std::string& type, const std::string& nick, std::int64_t run) {
    Reused select(*this,
                  "SELECT p.state FROM run r JOIN text t ON t.id = r.type"
                  " LEFT JOIN nick n ON n.name=?2 LEFT JOIN run_pinger p ON p.run = r.id AND p.nick = n.id"
                  " WHERE t.body=?1 AND r.id <= ?3 ORDER BY r.id DESC");
    select->bind(1, type).bind(2, nick).bind(3, run);
    int runs = 0;
    while (select->step()) {
        if (select->null(0)) break;
        const auto state = static_cast<PingerState>(select->integer(0));
        if (state != PingerState::Cached && state != PingerState::Missing) break;
        ++runs;
    }
    return runs;
}

}  // namespace parlux::history
