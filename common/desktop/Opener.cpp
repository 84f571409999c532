#include "common/desktop/Opener.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "common/core/DataFolder.h"
#include "common/core/Sinks.h"
#include "common/core/TextFields.h"
#include "common/desktop/CommandLine.h"
#include "common/desktop/ProgramStart.h"

extern char** environ;

namespace parlux {

namespace {

// A bare file name ("Pingers.lst", "Stats.fnd") names the "Me" folder's copy;
// addresses and paths are taken as they are.
QString MeRelative(const QString& target) {
    if (target.contains(u'/') || target.contains(u':') || target.contains(u'\\')) return target;
    return QString::fromStdString((MeFolder() / target.toStdString()).string());
}

// The opener's last words, or its status when it said nothing.
std::string Reason(const std::string& output, int status) {
    std::string last;
    std::size_t begin = 0;
    while (begin < output.size()) {
        std::size_t end = output.find('\n', begin);
        if (end == std::string::npos) end = output.size();
        const std::string line = Trim(output.substr(begin, end - begin), " \t\r");
        if (!line.empty()) last = line;
        begin = end + 1;
    }
    if (!last.empty()) return last;
    return std::string(kOpener) + " ended with status " + std::to_string(status);
}

// Waits, from the event loop, for the opener to end, and tells messages when
// it failed. The opener runs under a shell that is no QProcess of ours: it is
// not ended with this program, so that what it opened stays open.
class OpenerWatch final : public QObject {
public:
    OpenerWatch(QObject* parent, pid_t pid, int fd, std::string target, MessageSink* messages)
        : QObject(parent), pid_(pid), fd_(fd), target_(std::move(target)), messages_(messages) {
        auto* notifier = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, notifier] {
            char buffer[512];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                if (output_.size() < 8192) output_.append(buffer, static_cast<std::size_t>(n));
                return;
            }
            notifier->setEnabled(false);
            finish();
        });
    }
    ~OpenerWatch() override {
        if (fd_ >= 0) ::close(fd_);
    }

private:
    void finish() {
        ::close(fd_);
        fd_ = -1;
        int wait = 0;
        ::waitpid(pid_, &wait, 0);
        // The shell prints the opener's status on its first line, then what
        // the opener said.
        const std::size_t end = output_.find('\n');
        const int status = std::atoi(output_.substr(0, end).c_str());
        if (status != 0 && messages_) {
            const std::string said = end == std::string::npos ? std::string() : output_.substr(end + 1);
            messages_->critical(target_ + " cannot be opened: " + Reason(said, status));
        }
        deleteLater();
    }

    pid_t pid_;
    int fd_;
    std::string target_;
    MessageSink* messages_;
    std::string output_;
};

// Starts the opener on target under a shell whose output comes to a pipe;
// false when nothing could be started.
bool StartWatchedOpener(QWidget* window, const std::string& target, MessageSink* messages) {
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
    const std::string script = "said=$(\"$0\" \"$1\" 2>&1 >/dev/null); printf '%d\\n%s' \"$?\" \"$said\"";
    std::string shell = "/bin/sh", dashC = "-c", opener = kOpener, argument = target;
    char* argv[] = {shell.data(),  dashC.data(),    const_cast<char*>(script.c_str()),
                    opener.data(), argument.data(), nullptr};
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    if (failed != 0) {
        ::close(pipe[0]);
        return false;
    }
    QObject* owner = window ? static_cast<QObject*>(window) : QCoreApplication::instance();
    if (!owner) {
        // No event loop to wait in: the shell is let go (and reaped by init
        // once this program has ended).
        ::close(pipe[0]);
        return true;
    }
    new OpenerWatch(owner, pid, pipe[0], target, messages);
    return true;
}

}  // namespace

bool StartOrOpen(QWidget* window, const std::string& commandLine, short showStyle, MessageSink* messages) {
    std::vector<std::string> argv;
    try {
        argv = MapCommandLine(commandLine);
    } catch (...) {
        return false;
    }
    if (argv.size() != 2 || argv.front() != kOpener) return StartDetachedArgv(argv, showStyle);
    // A bare name is the current folder's file here, not the "Me" folder's.
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::absolute(argv.back(), ec);
    if (!Runnable(kOpener)) return false;
    ShellOpen(window, QString::fromStdString(ec ? argv.back() : target.string()), messages);
    return true;
}

bool IsLocalTarget(const QString& target) {
    // "http://", "mailto:": an address; a Windows drive ("Y:\") is a path.
    const qsizetype colon = target.indexOf(u':');
    return colon < 0 || colon == 1 || target.startsWith(u'/');
}

void ShellOpen(QWidget* window, const QString& target, MessageSink* messages) {
    try {
        if (target.trimmed().isEmpty()) return;
        const std::string text = target.toStdString();
        if (EndsWithExe(text)) {
            const std::string program = ResolveProgram(text);
            if (program.find('/') != std::string::npos && Runnable(program)) {
                StartDetachedArgv({program});
                return;
            }
        }
        const std::string path = MeRelative(target).toStdString();
        if (!Runnable(kOpener)) {
            if (messages) messages->critical(path + " cannot be opened: " + kOpener + " was not found");
            return;
        }
        if (!StartWatchedOpener(window, path, messages) && messages)
            messages->critical(path + " cannot be opened: " + kOpener + " could not be started");
    } catch (...) {
        // Opening is a convenience: a failure leaves the caller where it was.
    }
}

}  // namespace parlux
