// The Pulsegrid program itself, run headless as a subprocess (no display in
// its environment) on a scratch data folder: the unattended run, the command
// line test and the one-copy rule. These share build/bin/Pulsegrid.log and so
// run one at a time.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <QProcess>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "pulsegrid/gui_tests/Pingers.h"
#include "testsupport/QtTestSupport.h"

namespace parlux::test {
namespace {

namespace fs = std::filesystem;

class PulsegridProgram : public ProgramTest {
protected:
    PulsegridProgram() : ProgramTest("Pulsegrid") {
        ServePingers(server_);
        server_.start();
        WriteFile(data_ / "Pingers.lst", PingersList(server_));
    }
    ~PulsegridProgram() override { awaitFollowUp(); }

    std::vector<std::string> pages() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(data_.path()))
            if (e.path().filename().string().starts_with("Comp_")) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    int hits() const {
        int n = 0;
        for (const auto& type : kFourTypes) n += server_.hits("/alpha/" + type) + server_.hits("/beta/" + type);
        return n;
    }

    // The Flaggrid that a whole run starts (when one is built) works on our
    // data folder: let it finish before the folder goes, ending it if it hangs.
    std::vector<pid_t> followUps() const {
        std::vector<pid_t> pids;
        const std::string marker = "PARLUX_DATA=" + data_.path().string();
        std::error_code ec;
        for (const auto& e : fs::directory_iterator("/proc", ec)) {
            const std::string name = e.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            if (fs::read_symlink(e.path() / "exe", ec) != BinDir() / "Flaggrid" || ec) continue;
            const std::string environ = ReadFile(e.path() / "environ");
            if (environ.find(marker + '\0') != std::string::npos) pids.push_back(std::stoi(name));
        }
        return pids;
    }
    void awaitFollowUp() const {
        if (!fs::exists(BinDir() / "Flaggrid")) return;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!followUps().empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (pid_t pid : followUps()) ::kill(pid, SIGTERM);
    }

    LoopbackServer server_;
};

TEST_F(PulsegridProgram, FullAutoRunsEveryTypeHeadlessAndEnds) {
    // Output to files: the Flaggrid the run starts goes on writing after Pulsegrid has ended.
    auto process = start({"FULL_AUTO"}, true);
    ASSERT_TRUE(process->waitForFinished(60000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0);
    awaitFollowUp();

    std::vector<std::string> expected;
    for (const auto& type : kFourTypes) {
        expected.push_back("Comp_DS_" + type + ".html");
        expected.push_back("Comp_DS_" + type + ".txt");
        if (type.back() == '2') expected.push_back("Comp_RC_" + type + ".txt");
        expected.push_back("Comp_RS_" + type + ".txt");
    }
    // The Flaggrid it starts, when one is built, compares the same downloads.
    if (fs::exists(BinDir() / "Flaggrid")) expected.push_back("Comp_RC_0000.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(pages(), expected);
    EXPECT_EQ(server_.hits("/alpha/MIX-2"), 1);

    // Every record of the log, as it was written, on stdout, in order; the
    // Flaggrid it started (when there is one) adds its own records.
    const std::string out = ReadFile(tmp_ / "out.txt");
    std::vector<std::string> printed;
    for (std::size_t pos = 0, end; (end = out.find('\n', pos)) != std::string::npos; pos = end + 1)
        printed.push_back(out.substr(pos, end - pos));
    const auto logged = CrLfLines(ReadFile(runLog()));
    ASSERT_FALSE(logged.empty());
    if (!fs::exists(BinDir() / "Flaggrid")) {
        EXPECT_EQ(printed, logged);
    } else {
        std::size_t next = 0;
        for (const auto& line : printed)
            if (next < logged.size() && line == logged[next]) ++next;
        EXPECT_EQ(next, logged.size()) << "not printed: " << logged[std::min(next, logged.size() - 1)];
        const auto followUp = CrLfLines(ReadFile(BinDir() / "Flaggrid.log"));
        for (const auto& line : printed)
            EXPECT_TRUE(std::find(logged.begin(), logged.end(), line) != logged.end() ||
                        std::find(followUp.begin(), followUp.end(), line) != followUp.end())
                << line;
    }
    const auto tops = TopLines(ReadLog(runLog()));
    ASSERT_FALSE(tops.empty());
    EXPECT_EQ(tops.front(), "HYPER in Progress: ");
    EXPECT_EQ(tops.back(), "HYPER Completed: ");
    for (const auto& type : kFourTypes)
        EXPECT_NE(std::find(tops.begin(), tops.end(), "PRT_Compil Completed: " + type + " - True"), tops.end()) << type;

    // Every step found what it needed: no message.
    const std::string errors = ReadFile(tmp_ / "err.txt");
    EXPECT_EQ(errors.find("Not found"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Array not Initialized"), std::string::npos) << errors;
}

TEST_F(PulsegridProgram, ARunLogThatCannotBeWrittenStopsTheRunWithAnError) {
    fs::remove(runLog());
    fs::create_directory(runLog());
    auto process = start({"FULL_AUTO"});
    const bool finished = process->waitForFinished(15000);
    fs::remove(runLog());
    ASSERT_TRUE(finished);
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 1);
    const std::string errors = process->readAllStandardError().toStdString();
    EXPECT_NE(errors.find("run log"), std::string::npos) << errors;
    EXPECT_TRUE(pages().empty());
}

// A page that cannot be written fails the unattended run, with a summary
// that cron mails; a missing list fails it too.
TEST_F(PulsegridProgram, AnUnattendedRunThatCouldNotWriteAPageEndsWithASummaryAndStatusOne) {
    fs::create_directory(data_ / "Comp_DS_MIX-1.txt");
    auto process = start({"FULL_AUTO"}, true);
    ASSERT_TRUE(process->waitForFinished(60000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 1);
    awaitFollowUp();
    const std::string errors = ReadFile(tmp_ / "err.txt");
    const std::string summary = "Pulsegrid: 0 pingers not reached, 1 page not written\nPulsegrid: not written: " +
                                (data_ / "Comp_DS_MIX-1.txt").string() + "\n";
    EXPECT_NE(errors.find(summary), std::string::npos) << errors;

    fs::remove(data_ / "Comp_DS_MIX-1.txt");
    fs::remove(data_ / "Pingers.lst");
    auto again = start({"FULL_AUTO"}, true);
    ASSERT_TRUE(again->waitForFinished(60000));
    EXPECT_EQ(again->exitCode(), 1);
    awaitFollowUp();
    EXPECT_NE(ReadFile(tmp_ / "err.txt").find("Pulsegrid: list missing: " + (data_ / "Pingers.lst").string() + "\n"),
              std::string::npos);
}

// SIGTERM, SIGINT or SIGHUP while a pinger is awaited: the scratch files of
// the transfers in flight go with the program, the cached copies stay as
// they were, and the program ends as that signal ends a program.
TEST_F(PulsegridProgram, ASignalTakesTheScratchFilesAlongAndEndsTheProgramAsItWould) {
    std::mutex mutex;
    std::condition_variable released;
    bool free = false;
    server_.handle("/gamma/PGP-1", [&](const httplib::Request&, httplib::Response& res) {
        std::unique_lock<std::mutex> lock(mutex);
        released.wait_for(lock, std::chrono::seconds(20), [&] { return free; });
        res.set_content("late", "text/html");
    });
    WriteFile(data_ / "Pingers.lst",
              PingersList(server_) + "\"PGP-1\",\"gamma\",\"" + server_.url("/gamma/PGP-1") + "\"\r\n");
    auto scratch = [this] {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(data_.path()))
            if (e.path().filename().string().starts_with(".Pulsegrid.part-")) names.push_back(e.path().filename());
        return names;
    };
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signal));
        WriteFile(data_ / "gamma_rlist.shtml", "the copy of the night before\r\n");
        auto process = start({"FULL_AUTO"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (scratch().empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_FALSE(scratch().empty()) << "no transfer in flight";
        ::kill(static_cast<pid_t>(process->processId()), signal);
        ASSERT_TRUE(process->waitForFinished(15000));
        EXPECT_EQ(process->exitStatus(), QProcess::CrashExit);  // ended by the signal itself
        EXPECT_EQ(process->exitCode(), signal);
        EXPECT_EQ(scratch(), std::vector<std::string>{});
        EXPECT_EQ(ReadFile(data_ / "gamma_rlist.shtml"), "the copy of the night before\r\n");
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        free = true;
    }
    released.notify_all();
}

TEST_F(PulsegridProgram, AnyOtherCommandLineLeavesTheWindowIdle) {
    giveDisplay(true);  // without one such a command line ends the program at once
    for (const QStringList& arguments : {QStringList{"full_auto"}, QStringList{"FULL_AUTO", "x"},
                                         QStringList{"FULL_AUTO "}, QStringList{"Full_Auto"}}) {
        const std::string shown = arguments.join('|').toStdString();
        WriteFile(runLog(), "from an earlier run\r\n");
        auto process = start(arguments);
        std::string errors;
        EXPECT_TRUE(waitIdle(*process, errors)) << shown << ": " << errors;
        // Started up (the log emptied) and did nothing more.
        EXPECT_EQ(ReadFile(runLog()), "") << shown;
        EXPECT_TRUE(pages().empty()) << shown;
        EXPECT_EQ(hits(), 0) << shown;
        EXPECT_EQ(process->readAllStandardOutput().toStdString(), "") << shown;
        end(*process);
    }
}

// A copy with a window wakes the open one; an unattended copy has nobody to
// hand over to and is stopped by the data folder's lock instead, saying so.
TEST_F(PulsegridProgram, ASecondCopyWakesTheFirstAndTouchesNoFile) {
    giveDisplay(true);
    auto first = start({});
    std::string errors;
    ASSERT_TRUE(waitIdle(*first, errors)) << errors;

    WriteFile(runLog(), "kept\r\n");
    const auto stamp = fs::last_write_time(runLog());
    for (const QStringList& arguments : {QStringList{}, QStringList{"FULL_AUTO"}}) {
        auto second = start(arguments);
        ASSERT_TRUE(second->waitForFinished(10000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
        const bool unattended = !arguments.isEmpty();
        EXPECT_EQ(second->exitCode(), unattended ? 1 : 0);
        EXPECT_EQ(second->readAllStandardOutput().toStdString(), "");
        EXPECT_EQ(
            second->readAllStandardError().toStdString(),
            unattended ? "Pulsegrid: another copy is working in " + data_.path().string() + ": nothing done\n" : "");
    }
    EXPECT_EQ(ReadFile(runLog()), "kept\r\n");
    EXPECT_EQ(fs::last_write_time(runLog()), stamp);
    EXPECT_TRUE(pages().empty());
    EXPECT_EQ(hits(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
    // Woken, the first copy says nothing of the window it cannot raise on
    // the offscreen platform, and no line of its stderr lacks its name.
    first->waitForReadyRead(500);
    errors += first->readAllStandardError().toStdString();
    EXPECT_EQ(errors.find("raise()"), std::string::npos) << errors;
    for (std::size_t pos = 0, end; (end = errors.find('\n', pos)) != std::string::npos; pos = end + 1)
        EXPECT_EQ(errors.compare(pos, 11, "Pulsegrid: "), 0) << errors.substr(pos, end - pos);

    // A copy that dies leaves its socket behind; the next start is not fooled by it.
    first->kill();
    first->waitForFinished(5000);
    auto next = start({});
    errors.clear();
    EXPECT_TRUE(waitIdle(*next, errors)) << errors;
    EXPECT_EQ(ReadFile(runLog()), "");
    end(*next);
}

// A desktop session and cron differ in XDG_RUNTIME_DIR and TMPDIR, so the
// one-copy socket of one is not seen by the other: the data folder's lock
// still keeps a second copy from working on the same folder.
TEST_F(PulsegridProgram, TheDataFolderLockHoldsAcrossSessions) {
    giveDisplay(true);
    auto desktop = start({});
    std::string errors;
    ASSERT_TRUE(waitIdle(*desktop, errors)) << errors;
    WriteFile(runLog(), "kept\r\n");

    TempDir cronRuntime, cronTmp;
    fs::permissions(cronRuntime.path(), fs::perms::owner_all);
    setEnv("XDG_RUNTIME_DIR", QString::fromStdString(cronRuntime.path().string()));
    setEnv("TMPDIR", QString::fromStdString(cronTmp.path().string()));
    const std::string held = "Pulsegrid: another copy is working in " + data_.path().string() + ": nothing done\n";
    for (const bool display : {false, true}) {
        giveDisplay(display);  // the unattended copy, then one with a window that finds no socket to wake
        auto other = start(display ? QStringList{} : QStringList{"FULL_AUTO"});
        ASSERT_TRUE(other->waitForFinished(15000));
        EXPECT_EQ(other->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(other->exitCode(), 1) << display;
        EXPECT_EQ(other->readAllStandardError().toStdString(), held) << display;
        EXPECT_EQ(other->readAllStandardOutput().toStdString(), "");
    }
    EXPECT_EQ(ReadFile(runLog()), "kept\r\n");
    EXPECT_TRUE(pages().empty());
    EXPECT_EQ(hits(), 0);
    EXPECT_EQ(desktop->state(), QProcess::Running);

    // Once the first copy has gone, cron's run works.
    end(*desktop);
    giveDisplay(false);
    auto cron = start({"FULL_AUTO"}, true);
    ASSERT_TRUE(cron->waitForFinished(60000));
    EXPECT_EQ(cron->exitCode(), 0) << ReadFile(tmp_ / "err.txt");
    EXPECT_FALSE(pages().empty());
    awaitFollowUp();
    EXPECT_EQ(ReadFile(tmp_ / "err.txt"), "");  // a clean night mails nothing
}

}  // namespace
}  // namespace parlux::test
