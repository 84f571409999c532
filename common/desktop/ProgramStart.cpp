#include "common/desktop/ProgramStart.h"

#include <fcntl.h>
#include <spawn.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <string_view>

#include "common/core/Process.h"
#include "common/core/ScratchFiles.h"
#include "common/core/Transfers.h"
#include "common/core/WaitedRun.h"
#include "common/desktop/CommandLine.h"

extern char** environ;

namespace parlux {

namespace {

QStringList ToQt(std::vector<std::string>::const_iterator begin, std::vector<std::string>::const_iterator end) {
    QStringList list;
    for (auto it = begin; it != end; ++it) list << QString::fromStdString(*it);
    return list;
}

}  // namespace

bool StartDetachedArgv(const std::vector<std::string>& argv, short showStyle) {
    if (argv.empty()) return false;
    QProcess process;
    process.setProgram(QString::fromStdString(argv.front()));
    process.setArguments(ToQt(argv.begin() + 1, argv.end()));
    process.setStandardInputFile(QProcess::nullDevice());
    // A program of the suite shows its window as asked (ShowAsAsked); the
    // opener and other programs pay no heed to the variable.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kWindowStateVariable), QString::fromLatin1(WindowStateWord(showStyle)));
    process.setProcessEnvironment(environment);
    return process.startDetached();
}

const char* WindowStateWord(short showStyle) {
    switch (showStyle) {
        case kShowMinimized:
            return "minimized";
        case kShowMaximized:
            return "maximized";
        default:
            return "normal";  // a window is never started hidden: nobody could reach it
    }
}

void ShowAsAsked(QWidget* window) {
    const QByteArray asked = qgetenv(kWindowStateVariable);
    // Asked of this copy only: what it starts in turn is asked anew.
    qunsetenv(kWindowStateVariable);
    if (asked == "minimized")
        window->showMinimized();
    else if (asked == "maximized")
        window->showMaximized();
    else
        window->show();
}

void ExecCmd(const std::string& commandLine, short showStyle) {
    (void)showStyle;  // there is no portable way to start a hidden or minimised window
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) return;
    QProcess process;
    process.setProgram(QString::fromStdString(ResolveProgram(words.front())));
    process.setArguments(ToQt(words.begin() + 1, words.end()));
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    // Nothing will type into the child: it reads end-of-file instead of waiting.
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(-1)) return;
    process.waitForFinished(-1);
}

bool StartDetached(const std::string& commandLine, short showStyle) {
    try {
        return StartDetachedArgv(MapCommandLine(commandLine), showStyle);
    } catch (...) {
        return false;
    }
}

pid_t StartChild(const std::string& commandLine, short showStyle) {
    std::vector<std::string> words;
    try {
        words = MapCommandLine(commandLine);
    } catch (...) {
        return -1;
    }
    if (words.empty()) return -1;
    // The environment as StartDetachedArgv gives it: ours, with the window
    // state asked for.
    const std::string state = std::string(kWindowStateVariable) + "=" + WindowStateWord(showStyle);
    const std::string prefix = std::string(kWindowStateVariable) + "=";
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry)
        if (!std::string_view(*entry).starts_with(prefix)) env.emplace_back(*entry);
    env.push_back(state);
    std::vector<char*> argv, envp;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    // Nothing will type into the child; its output is ours (the night's log).
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = -1;
    // A signal that comes while the child is being started waits until it
    // is noted, so that it is passed on; the child starts with none blocked.
    sigset_t ending, before, none;
    sigemptyset(&ending);
    sigemptyset(&none);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&ending, signal);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    ::pthread_sigmask(SIG_BLOCK, &ending, &before);
    // A night being ended by a signal starts nothing more.
    const int rc = SignalPending() ? -1 : ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    if (rc == 0) NoteWaitedChild(pid);
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int WaitForStarted(pid_t pid) {
    return WaitForChild(pid, [] { QCoreApplication::processEvents(QEventLoop::AllEvents, kWaitSliceMs); });
}

int StartAndWait(const std::string& commandLine, short showStyle) {
    const pid_t pid = StartChild(commandLine, showStyle);
    return pid < 0 ? -1 : WaitForStarted(pid);
}

}  // namespace parlux
