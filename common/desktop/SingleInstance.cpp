#include "common/desktop/SingleInstance.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>

#include "common/core/StderrLines.h"
#include "common/desktop/SystemFolders.h"

namespace parlux {

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
    WriteStderr(program.toLocal8Bit().toStdString() + ": " + text + "\n");
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
