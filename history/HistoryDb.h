#pragma once
// Parlux.sqlite: the runs the comparers have recorded. One file in the data
// folder, in WAL mode so that the three comparers of a night record side by
// side, each waiting at most the busy timeout for the others. Nicks,
// remailers and texts are kept once and referred to by number; the stats
// texts of a run are kept compressed in one piece. The schema carries
// its version in PRAGMA user_version, and an older file is brought up to date
// one step per version when it is opened.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "history/HistoryRun.h"

struct sqlite3;

namespace parlux::history {

// The schema this build writes; a file of a later one is left alone.
inline constexpr int kSchemaVersion = 1;
// How long a program waits for another's write to end.
inline constexpr int kBusyTimeoutMs = 5000;
// The file's name in the data folder.
inline constexpr std::string_view kHistoryName = "Parlux.sqlite";

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

// A run read back: its pingers and what they showed (the raw texts only when asked).
struct StoredRun {
    std::int64_t id = 0;
    std::string type, gmt;
    std::vector<PingerSeen> pingers;
    std::vector<Figure> figures;
};

// One pinger's uptime at one run, for the trend pages.
struct UptimePoint {
    std::size_t run;  // index into the runs asked for, oldest first
    std::string pinger, remailer;
    double uptime;
};

class HistoryDb {
public:
    // Opens (creating when missing) and brings the schema up to date.
    // Throws HistoryError.
    explicit HistoryDb(std::filesystem::path path, int busyTimeoutMs = kBusyTimeoutMs);
    ~HistoryDb();
    HistoryDb(const HistoryDb&) = delete;
    HistoryDb& operator=(const HistoryDb&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // The run in one transaction, with the runs older than oldestKept (GMT
    // "YYYY/MM/DD HH:NN:SS"; "" keeps all) removed in the same one.
    void record(const Run& run, const std::string& oldestKept);
    // Several runs in one transaction (a night of every type, say).
    void record(const std::vector<Run>& runs, const std::string& oldestKept);

    // Types with a recorded run, in the order of the suite's types.
    std::vector<std::string> types();
    // The ids of the type's last n runs, oldest first.
    std::vector<std::int64_t> lastRuns(const std::string& type, int n);
    StoredRun load(std::int64_t id, bool withRaw = false);
    // The runs of the type in a row, newest first, in which the pinger was not
    // reached (counted while it was listed and not downloaded).
    int runsNotReached(const std::string& type, const std::string& nick);
    // Every uptime of the runs given (oldest first).
    std::vector<UptimePoint> uptimes(const std::vector<std::int64_t>& runs);
    std::string gmtOf(std::int64_t id);

    // The write lock held for as long as it lives: the reports written from
    // the database are written by one program at a time.
    class WriteLock {
    public:
        explicit WriteLock(HistoryDb& db);
        ~WriteLock();
        WriteLock(const WriteLock&) = delete;
        WriteLock& operator=(const WriteLock&) = delete;

    private:
        HistoryDb& db_;
    };

    // "ok" when the file is whole.
    std::string integrityCheck();
    std::int64_t count(const std::string& table);

private:
    friend class WriteLock;
    class Statement;
    [[noreturn]] void fail(int code) const;
    void exec(const char* sql);
    void migrate();
    void insert(const Run& run);
    void useWal();
    std::int64_t intern(const char* table, const char* column, const std::string& value,
                        std::map<std::string, std::int64_t>& cache);
    std::int64_t textId(const std::string& value);
    std::string textOf(std::int64_t id);
    // Every row of nick or remailer by number.
    std::map<std::int64_t, std::string> names(const char* table);

    std::filesystem::path path_;
    sqlite3* db_ = nullptr;
    int busyTimeoutMs_;
    std::map<std::string, std::int64_t> nicks_, remailers_, texts_;
    std::map<std::int64_t, std::string> textsById_;
};

}  // namespace parlux::history
