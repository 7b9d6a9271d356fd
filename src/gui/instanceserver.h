#pragma once

#include "gui/startrequest.h"

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace ventara::gui {

// One window program per user: the first start listens on a local socket, and a later start
// hands its request (a tool and files) to it over that socket instead of opening a second
// launcher.
//
// The wire format: a 4-byte big-endian length, then StartRequest::encode(); the listening
// program answers with the single byte '1' once it has taken the request.
class InstanceServer : public QObject {
    Q_OBJECT

public:
    explicit InstanceServer(QObject *parent = nullptr);
    ~InstanceServer() override;

    // The socket of this user's window program: $XDG_RUNTIME_DIR/ventara-instance, or
    // ventara-instance-<uid> in the temporary folder when that is not set.
    static QString socketPath();

    // Listens at `path`, readable by this user only. A socket file left by a program that
    // ended is replaced. False when another program listens there already.
    bool listen(const QString &path = socketPath());

    // Hands `request` to the program listening at `path` and waits for its answer, at most
    // `timeoutMs`. True when it took the request. Needs no Qt application object (the window
    // program calls it before it opens its display).
    static bool handOver(const StartRequest &request, const QString &path = socketPath(),
                         int timeoutMs = 3000);

    // The largest request taken (bytes of the encoded request).
    static constexpr qint64 kMaxRequestSize = 4 * 1024 * 1024;

Q_SIGNALS:
    // A later start handed this request over (GUI thread).
    void requestReceived(const ventara::gui::StartRequest &request);

private:
    void readFrom(QLocalSocket *socket);

    QLocalServer *m_server;
};

} // namespace ventara::gui
