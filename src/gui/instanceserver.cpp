#include "instanceserver.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtEndian>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace ventara::gui {

namespace {

// A connected Unix socket to `path`, or -1.
int connectTo(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return -1;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const QByteArray &bytes) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + written, size_t(bytes.size() - written), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

} // namespace

InstanceServer::InstanceServer(QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this)) {
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
            readFrom(socket);
        }
    });
}

InstanceServer::~InstanceServer() = default;

QString InstanceServer::socketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QStringLiteral("/ventara-instance");
    return QDir::tempPath() + QStringLiteral("/ventara-instance-") + QString::number(getuid());
}

bool InstanceServer::listen(const QString &path) {
    // Another program listens there. (QLocalServer with socket options replaces whatever is
    // at the path, so this is asked first.)
    if (const int fd = connectTo(path); fd >= 0) {
        close(fd);
        return false;
    }
    if (m_server->listen(path))
        return true;
    // A socket file left by a program that ended.
    QLocalServer::removeServer(path);
    return m_server->listen(path);
}

void InstanceServer::readFrom(QLocalSocket *socket) {
    if (socket->property("done").toBool())
        return;
    if (socket->bytesAvailable() < 4)
        return;
    char header[4];
    socket->peek(header, 4);
    const quint32 size = qFromBigEndian<quint32>(header);
    if (size > kMaxRequestSize) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < 4 + qint64(size))
        return;
    socket->read(4);
    const std::optional<StartRequest> request = StartRequest::decode(socket->read(size));
    socket->setProperty("done", true);
    if (!request) {
        socket->abort();
        return;
    }
    socket->write("1", 1);
    socket->flush();
    socket->disconnectFromServer();
    Q_EMIT requestReceived(*request);
}

bool InstanceServer::handOver(const StartRequest &request, const QString &path, int timeoutMs) {
    const int fd = connectTo(path);
    if (fd < 0)
        return false;
    const QByteArray payload = request.encode();
    char header[4];
    qToBigEndian<quint32>(quint32(payload.size()), header);
    bool taken = false;
    if (writeAll(fd, QByteArray(header, 4) + payload)) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd poller{fd, POLLIN, 0};
            const int ready = poll(&poller, 1, int(left.count()));
            if (ready < 0 && errno == EINTR)
                continue;
            char answer = 0;
            taken = ready > 0 && ::recv(fd, &answer, 1, 0) == 1 && answer == '1';
            break;
        }
    }
    close(fd);
    return taken;
}

} // namespace ventara::gui
