// The desktop layer: starting programs, the opener, message boxes without a
// display, and one running copy per program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include "common/core/DataFolderLock.h"
#include "common/core/StandardOptions.h"
#include "common/core/StderrLines.h"
#include "common/desktop/CommandLine.h"
#include "common/desktop/Headless.h"
#include "common/desktop/MessageBoxes.h"
#include "common/desktop/Opener.h"
#include "common/desktop/ProgramStart.h"
#include "common/desktop/SingleInstance.h"
#include "common/desktop/SystemFolders.h"
#include "testsupport/TestSupport.h"

namespace parlux {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;
using Strings = std::vector<std::string>;

void MakeExecutable(const fs::path& path, const std::string& script) {
    WriteFile(path, script);
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

// A script that appends one line per run to log: its own name and its
// arguments, separated by '|'.
void MakeRecorder(const fs::path& path, const fs::path& log) {
    MakeExecutable(path,
                   "#!/bin/sh\n"
                   "line=$(basename \"$0\")\n"
                   "for a in \"$@\"; do line=\"$line|$a\"; done\n"
                   "printf '%s\\n' \"$line\" >> '" +
                       log.string() + "'\n");
}

// The lines of log once it has at least count of them (5 s at most).
Strings WaitForLines(const fs::path& log, std::size_t count) {
    Strings lines;
    for (int i = 0; i < 500; ++i) {
        lines.clear();
        std::string content = ReadFile(log), line;
        for (char c : content) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else {
                line += c;
            }
        }
        if (lines.size() >= count) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return lines;
}

// A folder with a recording "xdg-open", put first on PATH for the test.
class OpenerTest : public ::testing::Test {
protected:
    OpenerTest() : path_("PATH", (bin.path().string() + ":" + std::getenv("PATH")).c_str()) {
        MakeRecorder(bin / "xdg-open", log());
    }
    fs::path log() const { return bin / "started.log"; }

    TempDir bin;
    ScopedEnv path_;
};

TEST(MapCommandLine, EditorAndExplorerGoToTheOpener) {
    EXPECT_EQ(MapCommandLine("EditPad.exe /data/DMP-S_Pingers.tmp"), (Strings{"xdg-open", "/data/DMP-S_Pingers.tmp"}));
    EXPECT_EQ(MapCommandLine("Editpad.exe /data/Comp_DS_PGP-1.txt"), (Strings{"xdg-open", "/data/Comp_DS_PGP-1.txt"}));
    EXPECT_EQ(MapCommandLine("\"/opt/Edit Pad/EDITPAD.EXE\" /d/x.txt"), (Strings{"xdg-open", "/d/x.txt"}));
    EXPECT_EQ(MapCommandLine("C:\\Tools\\editpad.exe /d/x.txt"), (Strings{"xdg-open", "/d/x.txt"}));
    // The data folder may hold blanks; the rest of the line is the one file.
    EXPECT_EQ(MapCommandLine("EditPad.exe /home/u/My Parlux/Comp_RS_MIX-2.txt"),
              (Strings{"xdg-open", "/home/u/My Parlux/Comp_RS_MIX-2.txt"}));
    EXPECT_EQ(MapCommandLine("EditPad.exe \"/home/u/My Parlux/a.txt\""),
              (Strings{"xdg-open", "/home/u/My Parlux/a.txt"}));
    // The hex editor too; a work file with blanks stays one argument.
    EXPECT_EQ(MapCommandLine("HEdit.exe Work/my www.tmp"), (Strings{"xdg-open", "Work/my www.tmp"}));

    EXPECT_EQ(MapCommandLine("EXPLORER.EXE /n,/e,/home/u/Parlux"), (Strings{"xdg-open", "/home/u/Parlux"}));
    EXPECT_EQ(MapCommandLine("EXPLORER.EXE /n,/srv/My Data"), (Strings{"xdg-open", "/srv/My Data"}));
    EXPECT_EQ(MapCommandLine("explorer.exe /N,/E,\"/srv/a b\""), (Strings{"xdg-open", "/srv/a b"}));

    // Nothing to open: nothing to start.
    EXPECT_TRUE(MapCommandLine("EditPad.exe").empty());
    EXPECT_TRUE(MapCommandLine("EXPLORER.EXE /n,/e,").empty());
    EXPECT_TRUE(MapCommandLine("").empty());
    EXPECT_TRUE(MapCommandLine("   ").empty());
}

// A file name may hold a double quote: a path quoted as a whole reaches the
// opener with the quotes of its name.
TEST(MapCommandLine, QuotesOfAQuotedPathStayInTheName) {
    TempDir dir;
    const std::string both = (dir / "say\" hi.txt").string();  // a quote, then a blank outside it
    WriteFile(both, "x");
    struct Case {
        std::string commandLine;
        std::string file;
    };
    const std::vector<Case> cases = {
        {"EditPad.exe \"/data/a\"b.txt\"", "/data/a\"b.txt"},
        {"EditPad.exe \"/d/say \"hi\" there.txt\"", "/d/say \"hi\" there.txt"},
        {"HEdit.exe \"/d/\"quoted\".tmp\"", "/d/\"quoted\".tmp"},
        {"EditPad.exe \"" + both + "\"", both},
        {"EditPad.exe \"/home/u/My Parlux/a.txt\"", "/home/u/My Parlux/a.txt"},
        {"EditPad.exe \"/d/a b\".txt", "/d/a b.txt"},  // quotes only group
        {"EXPLORER.EXE /n,\"/srv/\"odd\" folder\"", "/srv/\"odd\" folder"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MapCommandLine(c.commandLine), (Strings{"xdg-open", c.file})) << c.commandLine;
}

TEST(MapCommandLine, OtherProgramsKeepTheirWords) {
    EXPECT_EQ(MapCommandLine("sleep 1"), (Strings{"sleep", "1"}));
    EXPECT_EQ(MapCommandLine("\"my tool\" -x \"a b\""), (Strings{"my tool", "-x", "a b"}));
    // A name that merely contains the editor's is not the editor.
    EXPECT_EQ(MapCommandLine("NotEditPad.exe x"), (Strings{"NotEditPad.exe", "x"}));
}

TEST(MapCommandLine, SuiteProgramRunsWithoutExe) {
    TempDir dir;
    MakeExecutable(dir / "Flaggrid", "#!/bin/sh\n");
    MakeExecutable(dir / "Both", "#!/bin/sh\n");
    MakeExecutable(dir / "Both.exe", "#!/bin/sh\n");
    const std::string folder = dir.path().string();

    EXPECT_EQ(MapCommandLine(folder + "/Flaggrid.exe FULL_AUTO"), (Strings{folder + "/Flaggrid", "FULL_AUTO"}));
    EXPECT_EQ(MapCommandLine(folder + "/FLAGGRID.EXE"), (Strings{folder + "/FLAGGRID.EXE"}));  // names are exact
    EXPECT_EQ(MapCommandLine(folder + "\\Flaggrid.exe FULL_AUTO"), (Strings{folder + "/Flaggrid", "FULL_AUTO"}));
    EXPECT_EQ(MapCommandLine(folder + "/Both.exe"), (Strings{folder + "/Both.exe"}));
    EXPECT_EQ(MapCommandLine(folder + "/Missing.exe x"), (Strings{folder + "/Missing.exe", "x"}));
}

TEST_F(OpenerTest, StartDetachedRunsTheMappedProgram) {
    const std::string folder = bin.path().string();
    MakeRecorder(bin / "Flaggrid", log());

    EXPECT_TRUE(StartDetached("EditPad.exe " + folder + "/DMP-S_Stats.tmp", kShowMinimized));
    ASSERT_EQ(WaitForLines(log(), 1).size(), 1u);
    EXPECT_TRUE(StartDetached(folder + "/Flaggrid.exe FULL_AUTO", kShowMinimized));
    EXPECT_EQ(WaitForLines(log(), 2), (Strings{"xdg-open|" + folder + "/DMP-S_Stats.tmp", "Flaggrid|FULL_AUTO"}));

    EXPECT_FALSE(StartDetached(folder + "/NoSuchProgram.exe FULL_AUTO", kShowNormal));
    EXPECT_FALSE(StartDetached("", kShowNormal));
}

// The window state asked for reaches a started program of the suite (and
// the opener, which pays it no heed); the program shows its window so.
TEST_F(OpenerTest, StartedProgramsGetTheWindowStateAskedFor) {
    const std::string folder = bin.path().string();
    MakeExecutable(bin / "Flaggrid",
                   "#!/bin/sh\nprintf '%s\\n' \"$PARLUX_WINDOW_STATE\" >> '" + log().string() + "'\n");
    struct Case {
        short style;
        const char* word;
    };
    const std::vector<Case> cases = {
        {kShowMinimized, "minimized"}, {kShowMaximized, "maximized"}, {kShowNormal, "normal"}, {kShowHidden, "normal"}};
    Strings expected;
    for (const auto& c : cases) {
        EXPECT_TRUE(StartDetached(folder + "/Flaggrid.exe FULL_AUTO", c.style));
        expected.push_back(c.word);
        EXPECT_EQ(WaitForLines(log(), expected.size()), expected);
    }

    for (const auto& c : cases) {
        QWidget window;
        qputenv(kWindowStateVariable, c.word);
        ShowAsAsked(&window);
        EXPECT_EQ(window.isMinimized(), c.style == kShowMinimized) << c.word;
        EXPECT_EQ(window.isMaximized(), c.style == kShowMaximized) << c.word;
        EXPECT_TRUE(window.isVisible()) << c.word;
        EXPECT_TRUE(qgetenv(kWindowStateVariable).isEmpty());  // asked of this copy only
    }
    QWidget unasked;
    ShowAsAsked(&unasked);
    EXPECT_FALSE(unasked.isMinimized() || unasked.isMaximized());
}

TEST_F(OpenerTest, ShellOpenHandsTheTargetOverAsOneWord) {
    // Blanks, quotes and shell syntax reach the opener untouched, and no shell runs them.
    const std::string trap = (bin / "trap").string();
    const std::string garbage = "no such \"file\" ; touch " + trap + " $(touch " + trap + ") | `x` 'q' %20 *";
    // Empty and blank targets open nothing: the garbage is the first line.
    ShellOpen(nullptr, QString());
    ShellOpen(nullptr, QStringLiteral("   "));
    ShellOpen(nullptr, QString::fromStdString(garbage));
    ASSERT_EQ(WaitForLines(log(), 1).size(), 1u);  // one at a time, so that the order is known
    ShellOpen(nullptr, QStringLiteral("https://example.invalid/Parlux/"));
    EXPECT_EQ(WaitForLines(log(), 2), (Strings{"xdg-open|" + garbage, "xdg-open|https://example.invalid/Parlux/"}));
    EXPECT_FALSE(fs::exists(trap));
}

// An opener that fails, or none at all, is told in a box with the target
// and the opener's reason; one that opens says nothing.
TEST_F(OpenerTest, AnOpenerThatFailsIsToldWithItsReason) {
    const std::string target = (bin / "report.txt").string();
    const struct {
        const char* name;
        std::string script;  // "" for no opener on PATH
        std::string said;    // "" for nothing
    } cases[] = {
        {"it says why", "echo \"xdg-open: no method available for opening '$1'\" >&2; exit 3",
         target + " cannot be opened: xdg-open: no method available for opening '" + target + "'"},
        {"it says nothing", "exit 4", target + " cannot be opened: xdg-open ended with status 4"},
        {"it opens", "exit 0", ""},
        {"there is none", "", target + " cannot be opened: xdg-open was not found"},
    };
    // Opened by name, or by the editor's command line (a result box, Fetchprobe's N).
    for (const bool byEditor : {false, true})
        for (const auto& c : cases) {
            test::RecordingMessages messages;
            fs::remove(bin / "xdg-open");
            std::unique_ptr<ScopedEnv> noPath;
            if (c.script.empty())
                noPath = std::make_unique<ScopedEnv>("PATH", bin.path().c_str());
            else
                MakeExecutable(bin / "xdg-open", "#!/bin/sh\n" + c.script + "\n");
            if (byEditor && c.script.empty()) {
                EXPECT_FALSE(
                    StartOrOpen(nullptr, "EditPad.exe " + target, kShowNormal, &messages));  // the caller says so
                continue;
            }
            if (byEditor)
                EXPECT_TRUE(StartOrOpen(nullptr, "EditPad.exe " + target, kShowNormal, &messages));
            else
                ShellOpen(nullptr, QString::fromStdString(target), &messages);
            QElapsedTimer timer;
            timer.start();
            while (messages.texts.empty() && timer.elapsed() < (c.said.empty() ? 1000 : 5000))
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            EXPECT_EQ(messages.texts, c.said.empty() ? Strings{} : Strings{c.said}) << c.name;
        }
}

TEST_F(OpenerTest, ShellOpenStartsASuiteProgram) {
    MakeRecorder(bin / "Gridhub", log());
    ShellOpen(nullptr, QString::fromStdString((bin / "Gridhub.exe").string()));
    EXPECT_EQ(WaitForLines(log(), 1), (Strings{"Gridhub"}));
}

TEST(StartDetached, WithoutAnOpenerNothingStarts) {
    TempDir empty;
    ScopedEnv path("PATH", empty.path().c_str());
    EXPECT_FALSE(StartDetached("EditPad.exe /tmp/x.txt", kShowNormal));
}

TEST(ExecCmd, WaitsForTheProgramToEnd) {
    TempDir dir;
    const auto out = dir / "out.txt";
    QElapsedTimer timer;
    timer.start();
    ExecCmd("sh -c \"sleep 0.3; echo done > " + out.string() + "\"", kShowHidden);
    EXPECT_GE(timer.elapsed(), 300);
    EXPECT_EQ(ReadFile(out), "done\n");
}

TEST(ExecCmd, ProgramThatCannotStartReturnsAtOnce) {
    QElapsedTimer timer;
    timer.start();
    ExecCmd("/no/such/folder/pgp.exe -kvc", kShowHidden);
    ExecCmd("", kShowHidden);
    EXPECT_LT(timer.elapsed(), 1000);
}

TEST(ExecCmd, ChildReadsNoInput) {
    // A child that reads its input must see the end of it, not wait for a user.
    TempDir dir;
    QElapsedTimer timer;
    timer.start();
    ExecCmd("timeout 5 sh -c \"cat > " + (dir / "in.txt").string() + "\"", kShowHidden);
    EXPECT_LT(timer.elapsed(), 4000);
    EXPECT_TRUE(fs::exists(dir / "in.txt"));
}

TEST(ExecCmd, SuiteProgramRunsWithoutExe) {
    TempDir dir;
    MakeRecorder(dir / "Tool", dir / "ran.log");
    ExecCmd((dir / "Tool.exe").string() + " a \"b c\"", kShowHidden);
    EXPECT_EQ(ReadFile(dir / "ran.log"), "Tool|a|b c\n");
}

TEST(SystemDirectory, HoldsTheCLibrary) {
    bool found = false;
    for (const auto& entry : fs::directory_iterator(SystemDirectory()))
        found = found || entry.path().filename().string().rfind("libc.so", 0) == 0;
    EXPECT_TRUE(found) << SystemDirectory();
}

// Captures what is written to file descriptor 2 while alive.
class StderrCapture {
public:
    explicit StderrCapture(const fs::path& file) {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~StderrCapture() {
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
    }

private:
    int saved_;
};

TEST(Headless, DisplayDetection) {
    ScopedEnv display("DISPLAY", nullptr), wayland("WAYLAND_DISPLAY", nullptr), platform("QT_QPA_PLATFORM", "");
    EXPECT_TRUE(NoDisplayAvailable());  // an empty value counts as none
    {
        ScopedEnv x("DISPLAY", ":0");
        EXPECT_FALSE(NoDisplayAvailable());
    }
    {
        ScopedEnv w("WAYLAND_DISPLAY", "wayland-0");
        EXPECT_FALSE(NoDisplayAvailable());
    }
    {
        ScopedEnv p("QT_QPA_PLATFORM", "xcb");
        EXPECT_FALSE(NoDisplayAvailable());
        PrepareDisplay();  // a chosen platform is left alone
        EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "xcb");
        EXPECT_FALSE(RunningHeadless());
    }
    {
        // Inherited from a headless program that started this one.
        ScopedEnv p("QT_QPA_PLATFORM", "offscreen");
        PrepareDisplay();
        EXPECT_TRUE(RunningHeadless());
    }
}

TEST(Headless, MessagesGoToStderrWithoutBlocking) {
    ScopedEnv display("DISPLAY", nullptr), wayland("WAYLAND_DISPLAY", nullptr), platform("QT_QPA_PLATFORM", nullptr);
    PrepareDisplay();
    EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "offscreen");
    EXPECT_TRUE(RunningHeadless());

    // Should a box open after all, close it so that the test fails instead of hanging.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    guard.start(2000);

    // Each box is one line after its caption, the program's name, as cron mails it.
    TempDir dir;
    SetStderrProgram("Pulsegrid");
    {
        StderrCapture capture(dir / "stderr.txt");
        QtMessageSink sink;
        EXPECT_FALSE(sink.interactive());
        sink.critical("/home/u/Parlux/DMP-S_Stats.tmp Not found");
        sink.critical("9\r\nSubscript out of range\r\nArray not Initialized");
    }
    SetStderrProgram("");
    EXPECT_EQ(ReadFile(dir / "stderr.txt"),
              "Pulsegrid: /home/u/Parlux/DMP-S_Stats.tmp Not found\n"
              "Pulsegrid: 9; Subscript out of range; Array not Initialized\n");
}

QString UniqueName() {
    std::random_device random;
    return QStringLiteral("parlux-probe-%1-%2").arg(QCoreApplication::applicationPid()).arg(random());
}

QString ProbePath() { return QString::fromStdString((test::BinDir() / "single_instance_probe").string()); }

// Reads the probe's output until it holds word (5 s at most).
bool WaitForOutput(QProcess& process, const QByteArray& word, QByteArray& output) {
    QElapsedTimer timer;
    timer.start();
    while (!output.contains(word) && timer.elapsed() < 5000) {
        process.waitForReadyRead(100);
        output += process.readAllStandardOutput();
    }
    return output.contains(word);
}

TEST(SingleInstance, SecondCopyActivatesTheFirstAndEnds) {
    const QString name = UniqueName();
    QProcess first;
    first.start(ProbePath(), {name});
    QByteArray firstOutput;
    ASSERT_TRUE(WaitForOutput(first, "first", firstOutput)) << firstOutput.toStdString();

    QProcess second;
    second.start(ProbePath(), {name});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 3);
    EXPECT_EQ(second.readAllStandardOutput(), "second\n");

    ASSERT_TRUE(first.waitForFinished(5000));
    firstOutput += first.readAllStandardOutput();
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(firstOutput, "first\nrestored\n");
}

TEST(SingleInstance, SocketOfAKilledCopyDoesNotBlock) {
    const QString name = UniqueName();
    const QString socketFile = SingleInstance(name).serverName();
    QProcess killed;
    killed.start(ProbePath(), {name});
    QByteArray output;
    ASSERT_TRUE(WaitForOutput(killed, "first", output));
    killed.kill();
    ASSERT_TRUE(killed.waitForFinished(5000));
    ASSERT_TRUE(QFile::exists(socketFile));  // what the crash left behind

    QProcess next;
    next.start(ProbePath(), {name});
    output.clear();
    EXPECT_TRUE(WaitForOutput(next, "first", output)) << output.toStdString();

    QProcess second;
    second.start(ProbePath(), {name});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 3);
    ASSERT_TRUE(next.waitForFinished(5000));
    EXPECT_EQ(next.exitCode(), 0);
}

TEST(SingleInstance, InProcessActivationRestoresTheWindow) {
    const QString name = UniqueName();
    SingleInstance first(name);
    // A plain file where the socket goes, as another leftover.
    const QString socketFile = first.serverName();
    {
        QFile leftover(socketFile);
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    }
    ASSERT_FALSE(first.anotherIsRunning());
    EXPECT_FALSE(first.anotherIsRunning());  // asking again changes nothing

    QWidget window;
    window.showMinimized();
    first.setWindow(&window);
    QSignalSpy activated(&first, &SingleInstance::activationRequested);

    SingleInstance second(name);
    EXPECT_EQ(second.serverName(), first.serverName());
    EXPECT_TRUE(second.anotherIsRunning());
    ASSERT_TRUE(activated.wait(5000));
    EXPECT_EQ(activated.count(), 1);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
}

TEST(SingleInstance, ServerNameIsOneSafeFileNameInThePrivateFolder) {
    const QString path = SingleInstance(QStringLiteral("../Pulse grid/ä")).serverName();
    const QString folder = QString::fromStdString(PrivateRuntimeFolder());
    ASSERT_FALSE(folder.isEmpty());
    ASSERT_TRUE(path.startsWith(folder + u'/')) << path.toStdString();
    const QString name = path.mid(folder.size() + 1);
    EXPECT_FALSE(name.contains(u'/'));
    EXPECT_FALSE(name.contains(u' '));
    EXPECT_FALSE(name.startsWith(u'.'));
    EXPECT_NE(path, SingleInstance(QStringLiteral("Flaggrid")).serverName());
}

// The private folder for sockets and locks, and the runtime folder the display
// is given: only a real folder of this user closed to others is taken, and a
// planted one is refused without its mode (or its target's) being changed.
class PrivateFolderTest : public ::testing::Test {
protected:
    PrivateFolderTest() : tmpdir_("TMPDIR", tmp.path().c_str()), xdg_("XDG_RUNTIME_DIR", nullptr) {}
    fs::path own() const { return tmp / ("parlux-" + std::to_string(::geteuid())); }
    static unsigned Mode(const fs::path& path) {
        struct stat info {};
        ::lstat(path.c_str(), &info);
        return info.st_mode & 07777;
    }

    TempDir tmp;
    ScopedEnv tmpdir_, xdg_;
};

TEST_F(PrivateFolderTest, OnlyThisUsersClosedFolderIsTaken) {
    TempDir elsewhere;
    const fs::path target = elsewhere / "target";
    fs::create_directory(target);
    ::chmod(target.c_str(), 0755);
    const std::string own = this->own().string();
    struct Case {
        const char* what;
        std::function<void()> plant;  // what is at parlux-<uid> before the call
        std::string expected;         // the folder taken; "" for none
        std::string problem;          // the reason given
        bool needsRoot = false;       // to give a folder away
    };
    const std::vector<Case> cases = {
        {"nothing: created", [] {}, own, ""},
        {"a link to a folder", [&] { fs::create_directory_symlink(target, own); }, "",
         own + " is a link, not a folder"},
        {"a plain file", [&] { WriteFile(own, "x"); }, "", own + " is not a folder"},
        {"a folder open to others",
         [&] {
             fs::create_directory(own);
             ::chmod(own.c_str(), 0777);
         },
         "", own + " is open to other users (mode 0777)"},
        {"another user's folder",
         [&] {
             fs::create_directory(own);
             ::chmod(own.c_str(), 0700);
             ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
         },
         "", own + " belongs to user 65534, not to user " + std::to_string(::geteuid()), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && ::geteuid() != 0) continue;
        std::error_code ec;
        fs::remove_all(own, ec);
        c.plant();
        const unsigned before = fs::exists(fs::symlink_status(own)) ? Mode(own) : 0;
        std::string problem;
        EXPECT_EQ(PrivateRuntimeFolder(&problem), c.expected);
        EXPECT_EQ(problem, c.problem);
        if (c.expected.empty()) {
            EXPECT_EQ(Mode(own), before);
            EXPECT_TRUE(SingleInstance(QStringLiteral("Pulsegrid")).serverName().isEmpty());
            // The display is not given it either.
            PrepareDisplay();
            EXPECT_EQ(std::getenv("XDG_RUNTIME_DIR"), nullptr);
        } else {
            EXPECT_EQ(Mode(own), 0700u);
        }
        EXPECT_EQ(Mode(target), 0755u);
    }

    // XDG_RUNTIME_DIR is taken when it is private, passed over when it is not.
    fs::remove_all(own);
    TempDir runtime;
    ::chmod(runtime.path().c_str(), 0700);
    {
        ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path().c_str());
        EXPECT_EQ(PrivateRuntimeFolder(), runtime.path().string());
        ::chmod(runtime.path().c_str(), 0755);
        std::string problem;
        EXPECT_EQ(PrivateRuntimeFolder(&problem), own);
        EXPECT_EQ(problem, "");
        EXPECT_EQ(Mode(runtime.path()), 0755u);
        PrepareDisplay();  // the display gets the private folder instead
        EXPECT_STREQ(std::getenv("XDG_RUNTIME_DIR"), own.c_str());
    }
}

TEST_F(PrivateFolderTest, WithoutAPrivateFolderTheCopyRunsUnguardedAndSaysSo) {
    fs::create_directory_symlink(tmp.path(), own());
    SingleInstance first(QStringLiteral("Pulsegrid"));
    TempDir out;
    {
        StderrCapture capture(out / "stderr.txt");
        EXPECT_FALSE(first.anotherIsRunning());
    }
    EXPECT_EQ(ReadFile(out / "stderr.txt"), "Pulsegrid: no private folder for the one-copy check (" + own().string() +
                                                " is a link, not a folder): running without it\n");
    EXPECT_TRUE(fs::is_symlink(own()));
}

// A socket at the copy's name whose listener is another user (as root could
// leave one) is neither obeyed nor left in the way.
TEST_F(PrivateFolderTest, ASocketOfAnotherUserIsTakenOver) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to listen as another user";
    SingleInstance first(QStringLiteral("Pulsegrid"));
    const std::string path = first.serverName().toStdString();
    ASSERT_FALSE(path.empty());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t squatter = ::fork();
    ASSERT_GE(squatter, 0);
    if (squatter == 0) {
        // Bound by root in the private folder, listening as user 65534: the
        // peer credentials are those of the listener.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::setgid(65534) != 0 ||
            ::setuid(65534) != 0 || ::listen(fd, 4) != 0)
            ::_exit(1);
        if (::write(ready[1], "r", 1) != 1) ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);

    TempDir out;
    bool another = true;
    {
        StderrCapture capture(out / "stderr.txt");
        another = first.anotherIsRunning();
    }
    ::kill(squatter, SIGKILL);
    ::waitpid(squatter, nullptr, 0);
    EXPECT_FALSE(another);
    EXPECT_EQ(ReadFile(out / "stderr.txt"), "Pulsegrid: " + path + " is held by user 65534: not obeyed, taken over\n");
    // The name is this copy's now: a later copy wakes it.
    QSignalSpy activated(&first, &SingleInstance::activationRequested);
    EXPECT_TRUE(SingleInstance(QStringLiteral("Pulsegrid")).anotherIsRunning());
    EXPECT_TRUE(activated.wait(5000));
}

}  // namespace
}  // namespace parlux

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The probes' sockets go to a private folder of this run, never shared
    // with a test run of another worktree.
    parlux::test::TempDir runtime;
    ::chmod(runtime.path().c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    // Never put test windows on a real screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
