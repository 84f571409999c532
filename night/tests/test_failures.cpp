// What cannot be recorded costs one stderr line and nothing else: the night's
// pages are those of a run without history, a damaged file is set aside and
// a new history begins, a killed writer leaves every earlier run whole, and
// three comparers record at one time.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "common/core/SiteConfig.h"
#include "common/core/StderrLines.h"
#include "history/HistoryDb.h"
#include "history/NightRecorder.h"
#include "night/tests/ChildProcess.h"
#include "night/tests/NightsFixture.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

Night Usual() {
    Night n;
    n.pingers["alpha"] = {{"austria"}, {"dizum", 98.5}, {"frell"}};
    n.pingers["beta"] = {{"dizum"}, {"hermetix", 60.0}};
    return n;
}

// Overwrites the file's pages after the first with bytes no page holds.
void Scramble(const fs::path& path) {
    std::string bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 8192U);
    for (std::size_t i = 4096 + 100; i < bytes.size(); i += 7) bytes[i] = static_cast<char>(0xA5);
    WriteFile(path, bytes);
}

struct FailureCase {
    const char* name;
    std::function<void()> arrange;  // in the test, before the night
    std::function<void()> inChild;  // in the child, before the night
    std::string line;               // after "Pulsegrid: history not recorded: <path>: "; "" none
    bool setAside = false;
    std::size_t runsAfter = 2;  // PGP-2 runs in the file after the next night
};

class HistoryFailures : public NightsTest {
protected:
    fs::path db() const { return data_ / "Parlux.sqlite"; }
    std::string path() const { return db().string(); }

    // Pulsegrid's night in a child, prepared by before; what it said on stderr.
    std::string pulsegridNight(const std::function<void()>& before, DateTime gmt = SecondNight()) {
        const pid_t pid = StartChild(program_ / "err.txt", [&] {
            before();
            SetStderrProgram("Pulsegrid");
            runNight(Usual(), gmt, kPulsegrid);
        });
        EXPECT_EQ(AwaitChild(pid), 0);
        return ReadFile(program_ / "err.txt");
    }

    // Everything but the list, for the next case.
    void clearData() {
        for (const auto& e : fs::directory_iterator(data_.path()))
            if (e.path().filename() != "Pingers.lst") fs::remove_all(e.path());
        busyTimeoutMs_ = history::kBusyTimeoutMs;
    }

    // What the night said and left, and whether the next night records again.
    void expectAfter(const FailureCase& c, const std::string& said,
                     const std::map<std::string, std::string>& expected) {
        const bool fails = !c.line.empty();
        std::string line = "Pulsegrid: history not recorded: " + path() + ": " + c.line;
        const std::string aside = "Parlux.sqlite.damaged-20261209-031500";
        if (c.setAside) line += "; kept as " + aside + ", a new history begins with the next run";
        EXPECT_EQ(said, fails ? line + "\n" : "");
        EXPECT_EQ(pages(), expected);
        // Nothing of a night that failed reached the reports.
        const std::string report = fs::exists(data_ / "Changes.txt") ? ReadFile(data_ / "Changes.txt") : "";
        EXPECT_EQ(report.find("2026/12/09") == std::string::npos, fails);
        EXPECT_EQ(fs::exists(data_ / aside), c.setAside);
        EXPECT_EQ(fs::exists(db()), !c.setAside);

        // The next night records again (as its own user, in a file of its own).
        fs::permissions(data_.path(), fs::perms::all);
        if (fs::exists(db())) fs::permissions(db(), fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(pulsegridNight([] {}, SecondNight() + std::chrono::days(1)), "");
        history::HistoryDb again(db());
        EXPECT_EQ(again.integrityCheck(), "ok");
        EXPECT_EQ(again.lastRuns("PGP-2", 5).size(), c.runsAfter);
    }
};

TEST_F(HistoryFailures, AFileThatCannotBeWrittenCostsOneLineAndNoPage) {
    listPingers({"alpha", "beta"});
    // The pages of the night without history, to hold the others against.
    runNight(Usual(), SecondNight(), kPulsegrid, false);
    const auto expected = pages();
    ASSERT_EQ(expected.size(), 4U);

    const auto firstNight = [this] { runNight(Usual(), FirstNight(), kPulsegrid); };
    std::unique_ptr<history::HistoryDb> holder;
    std::unique_ptr<history::HistoryDb::WriteLock> lock;
    const FailureCase cases[] = {
        {"a history that works: the same pages, not a word", [&] { firstNight(); }, [] {}, "", false, 3},
        {"a file that is not a database", [this] { WriteFile(db(), std::string(64 * 1024, 'x')); }, [] {},
         "file is not a database", true, 1},
        {"a damaged database",
         [&] {
             firstNight();
             Scramble(db());
         },
         [] {}, "database disk image is malformed", true, 1},
        {"a read-only file",
         [&] {
             firstNight();
             fs::permissions(db(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
             // The pages stay the child's to write.
             for (const fs::path& folder : {data_.path(), program_.path()}) {
                 [[maybe_unused]] const int rc = ::chown(folder.c_str(), 65534, 65534);
                 for (const auto& e : fs::directory_iterator(folder)) {
                     if (e.path() == db()) continue;
                     [[maybe_unused]] const int each = ::chown(e.path().c_str(), 65534, 65534);
                 }
             }
         },
         [] { BecomeNobody(); }, "attempt to write a readonly database"},
        {"locked by another program past the busy timeout",
         [&] {
             firstNight();
             busyTimeoutMs_ = 300;
             holder = std::make_unique<history::HistoryDb>(db());
             lock = std::make_unique<history::HistoryDb::WriteLock>(*holder);
         },
         [] {}, "database is locked"},
        {"a full disk", [] {},
         [] {
             std::signal(SIGXFSZ, SIG_IGN);
             const rlimit limit{24 * 1024, 24 * 1024};
             ::setrlimit(RLIMIT_FSIZE, &limit);
         },
         "disk I/O error", false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearData();
        c.arrange();
        const auto started = std::chrono::steady_clock::now();
        const std::string said = pulsegridNight(c.inChild);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        lock.reset();
        holder.reset();

        expectAfter(c, said, expected);
    }
}

// SQL run on the file as its owner might, outside the history; the first
// column of the last row it gives.
std::string Plant(const fs::path& db, const std::string& sql) {
    sqlite3* handle = nullptr;
    std::string last;
    sqlite3_open(db.c_str(), &handle);
    const auto keep = [](void* to, int, char** values, char**) {
        return *static_cast<std::string*>(to) = values[0], 0;
    };
    EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), keep, &last, nullptr), SQLITE_OK) << sqlite3_errmsg(handle);
    sqlite3_close(handle);
    return last;
}

// A small run of one type; text goes into every text it stores.
history::Run SmallRun(const std::string& type, const std::string& text = "") {
    history::Figure f;
    f.pinger = "alpha" + text, f.remailer = "dizum" + text, f.uptimePercent = text.empty() ? 99.0 : 50.0;
    f.keyId = f.keySize = f.keyDate = f.keyState = f.caps = "mix" + text;
    return {"Pulsegrid", type, "", {{f.pinger, history::PingerState::Downloaded}}, {f}, {f.remailer}};
}

// A run of 20 pingers × 100 remailers, as the recorder gets it.
history::Run BigRun(int night) {
    history::Run run;
    run.program = "Pulsegrid";
    run.type = "MIX-2";
    for (int p = 0; p < 20; ++p) {
        run.pingers.push_back({"pinger" + std::to_string(p), history::PingerState::Downloaded});
        for (int r = 0; r < 100; ++r) {
            history::Figure f;
            f.pinger = run.pingers.back().nick;
            f.remailer = "rem" + std::to_string(r);
            f.uptimePercent = (night * 7 + p + r) % 101;
            f.latencySeconds = 60 * r;
            run.figures.push_back(f);
        }
    }
    return run;
}

// Surroundings that turn against the history: each costs at most its lines,
// never runs what the file holds, and never prints a text of the file as markup.
TEST_F(HistoryFailures, HostileSurroundingsCostTheirLinesAndNothingElse) {
    const std::string no = "history not recorded: " + path(), hostile = "<q onmouseover=alert(1)>";
    const auto damaged = [&](const std::string& why) {
        return no + ": " + why +
               "; kept as Parlux.sqlite.damaged-20261209-031500, a new history begins with the next run";
    };
    const auto foreign = [&](const std::string& objects) {
        return damaged("holds what is not the history's own (" + objects + ")");
    };
    const auto behind = [](const char* run, const char* newest) {
        return std::string("history: the run of ") + run +
               " GMT is more than a day before the newest recorded run of " + "PGP-2, " + newest +
               " GMT: the clock of one of the two was wrong";
    };
    const auto pgp2 = [](int year, int month, int day) {
        return std::pair{MakeDateTime(year, month, day, 3, 15), SmallRun("PGP-2")};
    };
    const auto notRan = [this] {
        EXPECT_EQ(Plant(data_ / "Parlux.sqlite.damaged-20261209-031500", "SELECT count(*) FROM victim"), "0");
    };
    struct Hostile {
        const char* name;
        std::function<void()> arrange;                          // after the first night
        std::vector<std::pair<DateTime, history::Run>> nights;  // then these
        std::vector<std::string> said;
        std::function<void()> after = [] {};
        fs::path folder = {};  // where the nights record; the data folder when empty
        std::chrono::milliseconds limit = history::kStepTimeLimit;
    };
    const std::vector<std::pair<DateTime, history::Run>> next = {pgp2(2026, 12, 9)};
    const std::string victim = "CREATE TABLE victim(x); CREATE TRIGGER t ";
    const auto dizumNight = [](DateTime gmt, const std::string& type, const std::string& text = "") {
        return std::pair{gmt, SmallRun(type, text)};
    };
    // clang-format off
    const Hostile cases[] = {
        {"a data folder reached through a link",
         [this] { fs::create_directory_symlink(data_.path(), program_ / "link"); }, next, {},
         [this] { EXPECT_EQ(history::HistoryDb(db()).lastRuns("PGP-2", 5).size(), 2U); }, program_ / "link"},
        {"the database a link",
         [this] { fs::rename(db(), program_ / "elsewhere"), fs::create_symlink(program_ / "elsewhere", db()); },
         next, {no + ": a link, not opened"}},
        {"its log a link", [this] { fs::create_symlink(program_ / "elsewhere", path() + "-wal"); }, next,
         {no + "-wal: a link, not opened"}, [this] { EXPECT_FALSE(fs::exists(program_ / "elsewhere")); }},
        {"a trigger and a view in the file",
         [&] { Plant(db(), victim + "AFTER INSERT ON run BEGIN INSERT INTO victim VALUES(1); END; CREATE VIEW v AS "
                           "SELECT * FROM run;"); },
         next, {foreign("table victim, trigger t, view v")}, notRan},
        {"an endless trigger",
         [&] { Plant(db(), victim + "BEFORE INSERT ON run BEGIN INSERT INTO victim WITH RECURSIVE c(x) AS "
                           "(SELECT 1 UNION ALL SELECT x+1 FROM c) SELECT x FROM c; END;"); },
         next, {foreign("table victim, trigger t")}, notRan},
        {"a stats row's figures cut short", [&] { Plant(db(), "UPDATE stats_block SET figures=x'0503'"); }, next,
         {damaged("the figures of a run are damaged")}},
        {"a stats row's remailer past the largest number",
         [&] { Plant(db(), "UPDATE stats_block SET figures=x'ffffffffffffffffff0100'"); }, next,
         {damaged("the figures of a run are damaged")}},
        {"a step past its time limit", [] {}, {{SecondNight(), BigRun(1)}}, {no + ": gave up after 0.001 s"},
         [] {}, {}, std::chrono::milliseconds(1)},
        {"a hostile text in each stored column", [&] { Plant(db(), "UPDATE run SET gmt='" + hostile + "'"); },
         {dizumNight(SecondNight(), "PGP-2", hostile), dizumNight(SecondNight(), "K-TY2"),
          dizumNight(SecondNight(), "K-TY2", hostile), dizumNight(SecondNight(), "0000"),
          dizumNight(SecondNight(), "0000", hostile)}, {},
         [&] {
             for (const char* page : {"Changes.html", "Trend_PGP-2.html"}) {
                 EXPECT_EQ(ReadFile(data_ / page).find("<q"), std::string::npos) << page;
                 EXPECT_NE(ReadFile(data_ / page).find("&lt;q onmouseover"), std::string::npos) << page;
             }
         }},
        {"a clock a year ahead, then back", [] {},
         {pgp2(2026, 12, 9), pgp2(2026, 12, 7), pgp2(2031, 1, 1), pgp2(2026, 12, 10)},
         {behind("2026/12/07 03:15:00", "2026/12/09 03:15:00"), behind("2026/12/10 03:15:00", "2031/01/01 03:15:00")},
         [this] {
             EXPECT_EQ(history::HistoryDb(db()).lastRuns("PGP-2", 10).size(), 5U);
             EXPECT_EQ(changes().substr(0, 25), "Night of 2026/12/10 GMT\r\n");
         }},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clearData();
        fs::remove_all(program_ / "link");
        fs::remove(program_ / "elsewhere");
        std::vector<std::string> said;
        const auto complain = [&said](const std::string& line) { said.push_back(line); };
        history::NightRecorder(data_.path(), complain)
            .recordRun(SmallRun("PGP-2"), FirstNight(), site::SiteConfig{}.historyDays);
        c.arrange();
        const auto started = std::chrono::steady_clock::now();
        history::NightRecorder recorder(c.folder.empty() ? data_.path() : c.folder, complain, history::kBusyTimeoutMs,
                                        c.limit);
        for (const auto& [gmt, run] : c.nights) recorder.recordRun(run, gmt, site::SiteConfig{}.historyDays);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        EXPECT_EQ(said, c.said);
        c.after();
    }
}

// On a nearly full disk the comparison pages a night writes are those of a
// night without history, and the history says why it stepped aside.
TEST_F(HistoryFailures, OnANearlyFullDiskThePagesComeFirst) {
    if (::mount("tmpfs", data_.path().c_str(), "tmpfs", 0, "size=3m") != 0)
        GTEST_SKIP() << "no 3 MB tmpfs can be mounted here (" << std::strerror(errno) << "): needs root";
    const std::unique_ptr<const char, void (*)(const char*)> unmount(data_.path().c_str(),
                                                                     [](const char* at) { ::umount2(at, MNT_DETACH); });
    listPingers({"alpha", "beta"});
    // Left: about 150 KB, as on the disk that lost its pages.
    const auto room = fs::space(data_.path()).available;
    WriteFile(data_ / "filler", std::string(room - 150 * 1024, 'f'));
    runNight(Usual(), SecondNight(), kPulsegrid, false);
    const auto expected = pages();
    ASSERT_EQ(expected.size(), 4U);
    for (const auto& [name, text] : expected) fs::remove(data_ / name);

    const std::string said = pulsegridNight([] {});
    EXPECT_EQ(pages(), expected);
    EXPECT_TRUE(said.starts_with("Pulsegrid: history not recorded: " + data_.path().string() + ": only ")) << said;
    EXPECT_FALSE(fs::exists(db()));
}

TEST_F(HistoryFailures, AKilledWriterLeavesEveryEarlierRunWhole) {
    // A child forked while other threads run may find a lock of the
    // sanitizer's allocator held for ever: this test needs no pinger, so no
    // server thread runs. And the database alone: the pages a recorder writes
    // after each run would only slow the writer down.
    server_.stop();
    const pid_t pid = StartChild(program_ / "err.txt", [this] {
        history::HistoryDb writer(db());
        for (int night = 0;; ++night) {
            history::Run run = BigRun(night);
            run.gmt = FormatStamp(FirstNight() + std::chrono::hours(night));
            writer.record(run, site::SiteConfig{}.historyDays);
        }
    });
    // Killed in the middle of a run once a few are in.
    // The sanitizer build on a busy machine writes slowly: look now and
    // then, so that the writer finds moments to fold its log back (a reader
    // that is always there holds the folding back, though it never waits).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
        try {
            if (history::HistoryDb(db()).lastRuns("MIX-2", 10).size() >= 4) break;
        } catch (const history::HistoryError&) {}
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(7));
    ::kill(pid, SIGKILL);
    EXPECT_EQ(AwaitChild(pid), -1);

    history::HistoryDb after(db());
    EXPECT_EQ(after.integrityCheck(), "ok");
    const auto runs = after.lastRuns("MIX-2", 1000);
    ASSERT_GE(runs.size(), 4U);
    for (const auto id : runs) EXPECT_EQ(after.load(id).figures.size(), 2000U) << id;
    EXPECT_EQ(after.count("stats_block"), static_cast<std::int64_t>(20 * runs.size()));  // a row per pinger
    EXPECT_EQ(ReadFile(program_ / "err.txt"), "");
}

TEST_F(HistoryFailures, ThreeComparersRecordAtOnce) {
    listPingers({"alpha", "beta"});
    // The pages served, and a first download for Flaggrid to read.
    runNight(Usual(), FirstNight(), kAll, false);
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<pid_t> children;
    const std::pair<int, const char*> comparers[] = {
        {kPulsegrid, "Pulsegrid"}, {kLockgrid, "Lockgrid"}, {kFlaggrid, "Flaggrid"}};
    for (const auto& [which, name] : comparers) {
        children.push_back(StartChild(program_ / (std::string(name) + ".err"), [&, which = which, name = name] {
            ::close(gate[1]);
            char go;
            [[maybe_unused]] const auto opened = ::read(gate[0], &go, 1);  // returns once the gate is closed
            SetStderrProgram(name);
            for (int night = 0; night < 8; ++night) runNight(Usual(), FirstNight() + std::chrono::days(night), which);
            for (const auto& text : messages_.texts) std::fprintf(stderr, "%s\n", text.c_str());
        }));
    }
    ::close(gate[0]);
    ::close(gate[1]);  // all three start together
    for (const pid_t pid : children) EXPECT_EQ(AwaitChild(pid), 0);
    for (const auto& [which, name] : comparers)
        EXPECT_EQ(ReadFile(program_ / (std::string(name) + ".err")), "") << name;

    history::HistoryDb db(data_ / "Parlux.sqlite");
    EXPECT_EQ(db.integrityCheck(), "ok");
    EXPECT_EQ(db.count("run"), 24);
    EXPECT_EQ(db.types(), (std::vector<std::string>{"PGP-2", "K-TY2", "0000"}));
    // Whoever wrote the report last, it holds every type.
    const std::string text = changes();
    for (const char* type : {"PGP-2  ", "K-TY2  ", "capability strings  "})
        EXPECT_NE(text.find(type), std::string::npos) << type;
}

}  // namespace
}  // namespace parlux::test
