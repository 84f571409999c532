// The Pulsegrid program itself, run headless as a subprocess (no display in
// its environment) on a scratch data folder: the unattended run, the command
// line test and the one-copy rule. These share build/bin/Pulsegrid.log and so
// run one at a time.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
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

    // Every record of the log, as it was written, on stdout after the
    // program's name, in order; the Flaggrid it started (when there is one)
    // adds its own records under its own name.
    auto printed = LinesByProgram(ReadFile(tmp_ / "out.txt"));
    const auto logged = CrLfLines(ReadFile(runLog()));
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(printed["Pulsegrid"], logged);
    if (fs::exists(BinDir() / "Flaggrid")) {
        EXPECT_EQ(printed["Flaggrid"], CrLfLines(ReadFile(BinDir() / "Flaggrid.log")));
    }
    EXPECT_EQ(printed[""], std::vector<std::string>{});
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

TEST_F(PulsegridProgram, ARunLogThatIsNoFileKeepsNoLogAndTheRunGoesOn) {
    fs::remove(runLog());
    fs::create_directory(runLog());
    auto process = start({"FULL_AUTO"});
    const bool finished = process->waitForFinished(60000);
    ASSERT_TRUE(finished);
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    const std::string errors = process->readAllStandardError().toStdString();
    const std::string refusal = runLog().string() + ": the run log is not a regular file: no log kept\n";
    EXPECT_EQ(errors.find(refusal), errors.rfind(refusal)) << errors;
    EXPECT_NE(errors.find(refusal), std::string::npos) << errors;
    EXPECT_FALSE(pages().empty());
    EXPECT_TRUE(fs::is_directory(runLog()));
    fs::remove(runLog());
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
    // Shared with the server's threads, which may still be answering when the
    // test's own frame is gone.
    struct Gate {
        std::mutex mutex;
        std::condition_variable released;
        bool free = false;
    };
    const auto gate = std::make_shared<Gate>();
    server_.handle("/gamma/PGP-1", [gate](const httplib::Request&, httplib::Response& res) {
        std::unique_lock<std::mutex> lock(gate->mutex);
        gate->released.wait_for(lock, std::chrono::seconds(20), [&] { return gate->free; });
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
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->free = true;
    }
    gate->released.notify_all();
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

// A small X server of its own, with a window manager, and the X tools that
// read what the window manager was told.
class XSession {
public:
    // The tools missing for a session, "" when all are there.
    static std::string missing() {
        std::string names;
        for (const char* tool : {"Xvfb", "openbox", "xprop", "xwininfo", "xdotool"})
            if (QStandardPaths::findExecutable(tool).isEmpty()) names += std::string(names.empty() ? "" : ", ") + tool;
        return names;
    }
    XSession() {
        server_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1000x24", "-nolisten", "tcp"});
        if (!server_.waitForStarted(5000)) return;
        QElapsedTimer timer;
        timer.start();
        while (display_.empty() && timer.elapsed() < 10000) {
            server_.waitForReadyRead(100);
            const std::string out = server_.readAllStandardOutput().trimmed().toStdString();
            if (!out.empty()) display_ = ":" + out;
        }
        if (display_.empty()) return;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromStdString(display_));
        manager_.setProcessEnvironment(env);
        manager_.start("openbox", {});
        manager_.waitForStarted(5000);
        // Ready once it owns the screen's window manager selection.
        for (int i = 0;
             i < 100 && run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") == std::string::npos; ++i)
            QThread::msleep(50);
    }
    ~XSession() {
        for (QProcess* p : {&manager_, &server_}) {
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill(), p->waitForFinished(5000);
        }
    }
    const std::string& display() const { return display_; }
    // A tool's output on this display.
    std::string run(const QString& tool, const QStringList& arguments) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromStdString(display_));
        p.setProcessEnvironment(env);
        p.start(tool, arguments);
        p.waitForFinished(10000);
        return p.readAllStandardOutput().toStdString();
    }
    // A number after "label" in a tool's output, -1 when not there.
    static int number(const std::string& output, const std::string& label) {
        const auto at = output.find(label);
        return at == std::string::npos ? -1 : std::atoi(output.c_str() + at + label.size());
    }

private:
    QProcess server_, manager_;
    std::string display_;
};

// Started minimized (as Gridhub's unattended launch and "+" start the
// programs) the window is mapped iconic; restored, its frame is centred on
// the screen.
TEST_F(PulsegridProgram, AMinimizedStartIsMappedIconicAndCentredWhenRestored) {
    if (const std::string missing = XSession::missing(); !missing.empty()) GTEST_SKIP() << "missing: " << missing;
    const XSession x;
    ASSERT_FALSE(x.display().empty()) << "Xvfb gave no display";
    // libxkbcommon-x11 hands strndup a keymap name without its NUL, which
    // the sanitizer build's strict string checks stop the program for.
    const QString asan = qEnvironmentVariable("ASAN_OPTIONS");
    auto program = start({}, false,
                         {{"DISPLAY", QString::fromStdString(x.display())},
                          {"QT_QPA_PLATFORM", "xcb"},
                          {"PARLUX_WINDOW_STATE", "minimized"},
                          {"ASAN_OPTIONS", asan.isEmpty() ? QString() : asan + ":strict_string_checks=0"}});
    std::string id;
    for (int i = 0; i < 200 && id.empty(); ++i) {
        id = x.run("xdotool", {"search", "--name", "Quill's Compare Stats"});
        id = id.substr(0, id.find('\n'));
        if (id.empty()) QThread::msleep(50);
    }
    ASSERT_FALSE(id.empty()) << "no window; stderr: " << program->readAllStandardError().toStdString();
    const auto state = [&x, &id] {
        return x.run("xprop", {"-id", QString::fromStdString(id), "WM_HINTS", "WM_STATE"});
    };
    std::string hints = state();
    for (int i = 0; i < 100 && hints.find("window state:") == std::string::npos; ++i) {
        QThread::msleep(50);
        hints = state();
    }
    EXPECT_NE(hints.find("Initial state is Iconic State."), std::string::npos) << hints;
    EXPECT_NE(hints.find("window state: Iconic"), std::string::npos) << hints;

    x.run("xdotool", {"windowactivate", "--sync", QString::fromStdString(id)});
    for (int i = 0; i < 100 && state().find("window state: Normal") == std::string::npos; ++i) QThread::msleep(50);
    QThread::msleep(600);  // the window's own look at its frame, once shown
    const std::string info = x.run("xwininfo", {"-id", QString::fromStdString(id)});
    const std::string extents = x.run("xprop", {"-id", QString::fromStdString(id), "_NET_FRAME_EXTENTS"});
    int left = 0, right = 0, top = 0, bottom = 0;
    std::sscanf(extents.c_str() + std::min(extents.find('='), extents.size()), "= %d, %d, %d, %d", &left, &right, &top,
                &bottom);
    const int frameX = XSession::number(info, "Absolute upper-left X:") - left;
    const int frameY = XSession::number(info, "Absolute upper-left Y:") - top;
    const int frameW = XSession::number(info, "Width:") + left + right;
    const int frameH = XSession::number(info, "Height:") + top + bottom;
    EXPECT_NE(state().find("window state: Normal"), std::string::npos);
    // Centred, to a few pixels of the guess at the frame before it was drawn.
    EXPECT_NEAR(2 * frameX + frameW, 1280, 16) << info << extents;
    EXPECT_NEAR(2 * frameY + frameH, 1000, 16) << info << extents;
    EXPECT_GE(frameY, 0);
    EXPECT_LE(frameY + frameH, 1000);
    end(*program);
}

}  // namespace
}  // namespace parlux::test
