#include "desktop/Desktop.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/Process.h"

namespace parlux {

namespace {

namespace fs = std::filesystem;

constexpr const char* kOpener = "xdg-open";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool EndsWithExe(const std::string& name) { return name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".exe"; }

std::string Trim(std::string_view text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

// The file name of a program as written on a command line, where either slash
// may separate the folders.
std::string BaseName(const std::string& program) {
    const auto slash = program.find_last_of("/\\");
    return slash == std::string::npos ? program : program.substr(slash + 1);
}

// The text after the first word of a command line (the word ends at the first
// blank outside double quotes, as SplitCommandLine reads it), trimmed.
std::string AfterFirstWord(std::string_view commandLine) {
    std::size_t i = 0;
    while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
    bool quoted = false;
    for (; i < commandLine.size(); ++i) {
        if (commandLine[i] == '"')
            quoted = !quoted;
        else if (!quoted && IsBlank(commandLine[i]))
            break;
    }
    return Trim(commandLine.substr(i));
}

// One path given as the rest of a command line: taken as written, so that
// unquoted blanks stay part of it; quotes only group.
std::string PathArgument(const std::string& rest) {
    if (rest.find('"') == std::string::npos) return rest;
    std::string joined;
    for (const auto& word : SplitCommandLine(rest)) joined += (joined.empty() ? "" : " ") + word;
    return joined;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

// A path written with backslashes (program folder + "\" + name) names the same
// file with slashes when only that one exists.
std::string LocalPath(const std::string& path) {
    if (path.find('\\') == std::string::npos || Exists(path)) return path;
    std::string slashed = path;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    return Exists(slashed) ? slashed : path;
}

bool Runnable(const std::string& program) {
    if (program.empty()) return false;
    if (program.find('/') == std::string::npos)
        return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
    std::error_code ec;
    return fs::is_regular_file(program, ec) && ::access(program.c_str(), X_OK) == 0;
}

// The suite's programs are built without the ".exe" of their names; a program
// that cannot be found as written is looked for without it.
std::string ResolveProgram(const std::string& program) {
    if (Runnable(program)) return program;
    std::string slashed = program;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    for (const auto& candidate : {slashed, slashed.substr(0, slashed.size() - (EndsWithExe(slashed) ? 4 : 0))})
        if (candidate != program && Runnable(candidate)) return candidate;
    return program;
}

QStringList ToQt(std::vector<std::string>::const_iterator begin, std::vector<std::string>::const_iterator end) {
    QStringList list;
    for (auto it = begin; it != end; ++it) list << QString::fromStdString(*it);
    return list;
}

bool StartDetachedArgv(const std::vector<std::string>& argv) {
    if (argv.empty()) return false;
    QProcess process;
    process.setProgram(QString::fromStdString(argv.front()));
    process.setArguments(ToQt(argv.begin() + 1, argv.end()));
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

bool g_headless = false;

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

std::vector<std::string> MapCommandLine(const std::string& commandLine) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) return {};
    const std::string name = Lower(BaseName(words.front()));

    // The text editor and the hex editor both become the desktop's opener.
    if (name == "editpad.exe" || name == "editpad" || name == "hedit.exe" || name == "hedit") {
        const std::string file = LocalPath(PathArgument(AfterFirstWord(commandLine)));
        if (file.empty()) return {};
        return {kOpener, file};
    }
    if (name == "explorer.exe" || name == "explorer") {
        // "/n," (new window) and "/e," (with the folder tree) only shape the window.
        std::string rest = AfterFirstWord(commandLine);
        for (;;) {
            const std::string head = Lower(rest.substr(0, 3));
            if (head != "/n," && head != "/e,") break;
            rest = Trim(rest.substr(3));
        }
        const std::string folder = LocalPath(PathArgument(rest));
        if (folder.empty()) return {};
        return {kOpener, folder};
    }
    words.front() = ResolveProgram(words.front());
    return words;
}

void ShellOpen(QWidget* window, const QString& target) {
    (void)window;  // the opener's windows belong to the desktop, not to ours
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
        QProcess::startDetached(QString::fromLatin1(kOpener), {target});
    } catch (...) {
        // Opening is a convenience: a failure leaves the caller where it was.
    }
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
    (void)showStyle;  // accepted for the callers; the window manager places the window
    try {
        return StartDetachedArgv(MapCommandLine(commandLine));
    } catch (...) {
        return false;
    }
}

std::string SystemDirectory() {
#if defined(__x86_64__)
    constexpr const char* kTriplet = "x86_64-linux-gnu";
#elif defined(__aarch64__)
    constexpr const char* kTriplet = "aarch64-linux-gnu";
#elif defined(__i386__)
    constexpr const char* kTriplet = "i386-linux-gnu";
#elif defined(__arm__)
    constexpr const char* kTriplet = "arm-linux-gnueabihf";
#elif defined(__riscv) && __riscv_xlen == 64
    constexpr const char* kTriplet = "riscv64-linux-gnu";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    constexpr const char* kTriplet = "powerpc64le-linux-gnu";
#elif defined(__s390x__)
    constexpr const char* kTriplet = "s390x-linux-gnu";
#else
    constexpr const char* kTriplet = "";
#endif
    std::error_code ec;
    const std::string multiarch = std::string("/usr/lib/") + kTriplet;
    if (*kTriplet && fs::is_directory(multiarch, ec)) return multiarch;
    if (sizeof(void*) == 8 && fs::is_directory("/usr/lib64", ec)) return "/usr/lib64";
    return "/usr/lib";
}

bool NoDisplayAvailable() { return !Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM"); }

namespace {

// Checks with lstat that folder is a real folder (not a link) of this user,
// closed to everyone else; problem says otherwise.
bool PrivateFolder(const std::string& folder, std::string& problem) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        problem = folder + " cannot be used: " + std::strerror(errno);
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        problem = folder + " is a link, not a folder";
    } else if (!S_ISDIR(info.st_mode)) {
        problem = folder + " is not a folder";
    } else if (info.st_uid != ::geteuid()) {
        problem =
            folder + " belongs to user " + std::to_string(info.st_uid) + ", not to user " + std::to_string(::geteuid());
    } else if ((info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        problem = folder + " is open to other users (mode " + mode + ")";
    } else {
        return true;
    }
    return false;
}

// The private folder's own path in the temp folder, "" when there is no temp folder.
std::string TempPrivateFolder() {
    std::error_code ec;
    const fs::path temp = fs::temp_directory_path(ec);
    return ec ? std::string() : (temp / ("parlux-" + std::to_string(::geteuid()))).string();
}

bool XdgRuntimeFolderIsPrivate(std::string* problem) {
    if (!Set("XDG_RUNTIME_DIR")) return false;
    std::string why;
    const bool ok = PrivateFolder(std::getenv("XDG_RUNTIME_DIR"), why);
    if (!ok && problem) *problem = "XDG_RUNTIME_DIR " + why;
    return ok;
}

}  // namespace

std::string PrivateRuntimeFolder(std::string* problem) {
    std::string xdgProblem;
    if (XdgRuntimeFolderIsPrivate(&xdgProblem)) return std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = TempPrivateFolder();
    std::string why;
    if (folder.empty()) {
        why = "there is no temp folder";
    } else if (::mkdir(folder.c_str(), 0700) == 0) {
        // Just made by this process, so its mode may be set: the umask may
        // have taken the owner's own rights.
        ::chmod(folder.c_str(), 0700);
        if (PrivateFolder(folder, why)) return folder;
    } else if (errno != EEXIST) {
        why = folder + " cannot be created: " + std::strerror(errno);
    } else if (PrivateFolder(folder, why)) {
        return folder;
    }
    if (problem) *problem = xdgProblem.empty() ? why : xdgProblem + "; " + why;
    return {};
}

void PrepareDisplay() {
    // Cron and su sessions have no runtime folder (or another user's): name
    // this user's private one, so that Qt neither warns nor falls back to a
    // folder it would have to trust.
    if (!XdgRuntimeFolderIsPrivate(nullptr)) {
        const std::string folder = PrivateRuntimeFolder();
        if (!folder.empty()) ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    }
    if (NoDisplayAvailable()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        g_headless = true;
        return;
    }
    // A program started by a headless one inherits its platform: it has no
    // screen either.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    g_headless = platform == "offscreen" || platform == "minimal";
}

bool RunningHeadless() { return g_headless; }

void QtMessageSink::critical(std::string_view text) {
    // A box on a screen nobody sees would wait for ever: offscreen platforms
    // and runs without an application object get the text on stderr too.
    const QString platform = QGuiApplication::platformName();
    const bool noScreen = RunningHeadless() || !qobject_cast<QApplication*>(QCoreApplication::instance()) ||
                          platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
    if (noScreen) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok, parent_);
    box.exec();
}

namespace {

// The user of the other end of a connected local socket; -1 when unknown.
long PeerUid(const QLocalSocket& socket) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    const auto fd = static_cast<int>(socket.socketDescriptor());
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return -1;
    return static_cast<long>(credentials.uid);
}

bool PeerIsThisUser(const QLocalSocket& socket) { return PeerUid(socket) == static_cast<long>(::geteuid()); }

void SayOnStderr(const QString& program, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", program.toLocal8Bit().constData(), text.c_str());
    std::fflush(stderr);
}

// A name that QLocalServer keeps as one file in the private folder.
QString SocketName(const QString& text) {
    QString name;
    for (const QChar c : text) {
        const bool plain = (c.unicode() < 128 && c.isLetterOrNumber()) || c == u'-' || c == u'_' || c == u'.';
        name += plain ? c : QChar(u'_');
    }
    if (name.isEmpty() || name.startsWith(u'.')) name.prepend(u'_');
    return name.left(80);
}

}  // namespace

SingleInstance::SingleInstance(const QString& programName, QObject* parent)
    : QObject(parent), programName_(programName) {
    const std::string folder = PrivateRuntimeFolder(&problem_);
    if (!folder.empty()) serverName_ = QString::fromStdString(folder) + u'/' + SocketName(programName);
}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

bool SingleInstance::anotherIsRunning() {
    if (server_) return false;
    if (serverName_.isEmpty()) {
        // Better two copies than none: a shared folder is not trusted with the socket.
        SayOnStderr(programName_, "no private folder for the one-copy check (" + problem_ + "): running without it");
        return false;
    }
    // Two copies started at the same moment must not both take the name: the
    // look and the taking happen under a lock (freed by a crashed holder).
    QLockFile lock(serverName_ + QStringLiteral(".lock"));
    lock.tryLock(2000);

    {
        QLocalSocket socket;
        socket.connectToServer(serverName_);
        if (socket.waitForConnected(500) && !PeerIsThisUser(socket)) {
            SayOnStderr(programName_, serverName_.toStdString() + " is held by user " +
                                          std::to_string(PeerUid(socket)) + ": not obeyed, taken over");
            socket.abort();
        } else if (socket.state() == QLocalSocket::ConnectedState) {
            socket.write("activate\n");
            socket.flush();
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(1000);
            return true;
        }
    }

    // Nobody answered: a socket left by a copy that crashed is only in the way.
    QLocalServer::removeServer(serverName_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
    if (!server_->listen(serverName_))
        SayOnStderr(programName_, serverName_.toStdString() + " cannot be listened on (" +
                                      server_->errorString().toStdString() + "): running without the one-copy check");
    return false;
}

void SingleInstance::onConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        if (!PeerIsThisUser(*socket)) {  // only this user's copies may wake this one
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto read = [this, socket] {
            if (!socket->canReadLine() && socket->bytesAvailable() < 64) return;  // not all there yet
            const QByteArray request = socket->readLine(64).trimmed();
            disconnect(socket, nullptr, this, nullptr);
            socket->disconnectFromServer();
            socket->deleteLater();
            if (request == "activate") {
                ActivateWindow(window_);
                emit activationRequested();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}

void ActivateWindow(QWidget* window) {
    if (!window) return;
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace parlux
