// What cannot be recorded costs one stderr line and nothing else: the night's
// pages are those of a run without history, a damaged file is set aside and
// a new history begins, a killed writer leaves every earlier run whole, and
// three comparers record at one time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "common/core/SiteConfig.h"
#include "common/core/StderrLines.h"
#include "history/HistoryDb.h"
#include "history/NightRecorder.h"
#include "history/tests/ChildProcess.h"
#include "history/tests/NightsFixture.h"

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
            if (e.path().filename() != "Pingers.lst") fs::remove(e.path());
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
            f.raw = "text of " + std::to_string(night);
            run.figures.push_back(f);
        }
    }
    return run;
}

TEST_F(HistoryFailures, AKilledWriterLeavesEveryEarlierRunWhole) {
    const pid_t pid = StartChild(program_ / "err.txt", [this] {
        history::NightRecorder recorder(data_.path(), [](const std::string& line) { StderrLine(line); });
        for (int night = 0;; ++night)
            recorder.recordRun(BigRun(night), FirstNight() + std::chrono::hours(night), site::SiteConfig{}.historyDays);
    });
    // Killed in the middle of a run once a few are in.
    // The sanitizer build on a busy machine writes slowly: look now and
    // then, so that the looks do not keep the writer waiting.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
        try {
            if (history::HistoryDb(db()).lastRuns("MIX-2", 10).size() >= 4) break;
        } catch (const history::HistoryError&) {}
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(7));
    ::kill(pid, SIGKILL);
    EXPECT_EQ(AwaitChild(pid), -1);

    history::HistoryDb after(db());
    EXPECT_EQ(after.integrityCheck(), "ok");
    const auto runs = after.lastRuns("MIX-2", 1000);
    ASSERT_GE(runs.size(), 4U);
    for (const auto id : runs) EXPECT_EQ(after.load(id).figures.size(), 2000U) << id;
    EXPECT_EQ(after.count("stats_figure"), static_cast<std::int64_t>(2000 * runs.size()));
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
    for (const char* type : {"PGP-2  ", "K-TY2  ", "0000  "}) EXPECT_NE(text.find(type), std::string::npos) << type;
}

}  // namespace
}  // namespace parlux::test
